// Invariant: a badge written by this program reads back into the same elements and writes again
// byte for byte, whichever way it was saved; a damaged or foreign file never breaks the reader:
// it keeps every element it read whole and reports why it stopped.
#include "badge/BadgeFile.h"
#include "common/QuotedLines.h"
#include "support/AllKindsBadge.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::BadgeSideId)
Q_DECLARE_METATYPE(vm::LoadStatus)
Q_DECLARE_METATYPE(vm::FieldTagRule)

namespace {

const QString Project = QStringLiteral("Staff");
const QString Database = QStringLiteral("/srv/cards/staff.sqlite");

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList fileLines(const QString& path)
{
    return decodeQuotedLines(fileBytes(path));
}

SideReadResult readSide(const QStringList& lines, BadgeSideId which,
                        FieldTagRule rule = FieldTagRule::TableAndColumn)
{
    return readBadgeSide(lines, which, Project, Database, rule);
}

// The designer's save: general, the displayed side (and the other when never stored), assemble.
QString saveAsTheDesigner(const QString& dir, const QString& badgePath, const BadgeLayout& badge,
                          BadgeSideId displayed, bool otherSideStored)
{
    QString error = writeScratchFile(
        dir, ScratchFile::General,
        generalSectionLines(badge.projectName, badge.databasePath, badge.orientation));
    const BadgeSide& side = displayed == BadgeSideId::Front ? badge.front : badge.back;
    error += saveDisplayedSide(dir, displayed, side, otherSideStored);
    return error + assembleBadgeFile(dir, badgePath);
}

QString sideText(const BadgeSide& side)
{
    return sideSectionLines(side, BadgeSideId::Front, false).join(QLatin1Char('\n'));
}

BadgeSide threeComments()
{
    BadgeSide side;
    const QStringList captions{QStringLiteral("one"), QStringLiteral("two"),
                               QStringLiteral("three")};
    for (qsizetype i = 0; i < captions.size(); ++i)
        addComment(side, textAt(side.Label1.templateElement(), float(100 * i), 0, captions[i]));
    return side;
}

} // namespace

class tst_BadgeFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writesTheExampleSideLineForLine();
    void roundTripIsByteIdentical_data();
    void roundTripIsByteIdentical();
    void deletedElementsLeaveGapsInTheFileOnly();
    void aBlankBackEndsWithItsMarkerTwice();
    void aFrontNeverStoredIsWrittenEmptyNotBlank();
    void anOldBlankFrontReadsAsEmpty();
    void truncatedFilesKeepWholeElements();
    void checksProjectDatabaseAndOrientation_data();
    void checksProjectDatabaseAndOrientation();
    void fieldTagsFollowTheReadersRule_data();
    void fieldTagsFollowTheReadersRule();
    void aCaptionWithTheBackMarkerEndsTheFrontEarly();
    void splitRewritesTheScratchFiles();
    void scratchFilesAreFoundWithoutRegardToCase();
    void assemblingRefusesEmptyScratchFiles();
    void loadingReportsMissingFilesAndLogos();
};

void tst_BadgeFile::writesTheExampleSideLineForLine()
{
    BadgeSide side;
    Comment comment =
        textAt(side.Label1.templateElement(), 2400, 1500, QStringLiteral("New Comment"));
    comment.Width = 1065;
    comment.Height = 195;
    comment.FontName = QStringLiteral("MS Sans Serif");
    comment.FontSize = 8.25f;
    comment.ForeColor = 0;
    comment.BackColor = qint32(0x8000000F);
    addComment(side, comment);

    const QStringList expected{"=================FRONT SIDE=====================",
                               "TotalComments:1",
                               "Comment:1",
                               "Caption:New Comment",
                               "left:2400",
                               "top:1500",
                               "width:1065",
                               "height:195",
                               "fontname:MS Sans Serif",
                               "fontsize:8.25",
                               "fontcolor:0",
                               "bold:False",
                               "italic:False",
                               "underline:False",
                               "backstyle:0",
                               "backcolor:-2147483633",
                               "TotalFields:0",
                               "TotalLogo:0",
                               "TotalShape:0",
                               "Photo:0",
                               "left:120",
                               "top:120",
                               "width:1215",
                               "height:1455",
                               "Sign:0",
                               "left:120",
                               "top:1680",
                               "width:1215",
                               "height:375"};
    QCOMPARE(sideSectionLines(side, BadgeSideId::Front, false), expected);
    QCOMPARE(generalSectionLines(Project, Database, 1),
             (QStringList{"ProjectName:Staff", "DatabasePath=/srv/cards/staff.sqlite",
                          "Orientation:1"}));
}

void tst_BadgeFile::roundTripIsByteIdentical_data()
{
    QTest::addColumn<BadgeLayout>("badge");
    QTest::newRow("every kind on both sides") << allKindsBadge(QStringLiteral("/srv/logo.png"));

    BadgeLayout odd = allKindsBadge(QStringLiteral("/srv/Logo: main, \"new\".png"));
    odd.orientation = 2;
    odd.front.Label1.at(1).Caption = QStringLiteral("Ünïcode 日本, \"quoted\": yes");
    odd.front.Label1.at(1).FontName = QStringLiteral("Font \"X\"");
    odd.front.Label1.at(1).Left = 1.0f / 3;
    odd.front.myShape1.at(1).BorderColor = qint32(0x80000012);
    QTest::newRow("quotes, fractions, system colour, portrait") << odd;

    BadgeLayout empty;
    empty.projectName = Project;
    empty.databasePath = Database;
    QTest::newRow("nothing but frames") << empty;
}

void tst_BadgeFile::roundTripIsByteIdentical()
{
    QFETCH(BadgeLayout, badge);
    QTemporaryDir dir;
    const QString direct = dir.filePath(QStringLiteral("direct.Lyt"));
    const QString designed = dir.filePath(QStringLiteral("designed.Lyt"));
    const QString again = dir.filePath(QStringLiteral("again.Lyt"));

    QCOMPARE(writeBadgeFile(direct, badge), QString());
    // Back first with the front never stored, then the front with the back stored.
    QCOMPARE(saveAsTheDesigner(dir.path(), designed, badge, BadgeSideId::Back, false), QString());
    QCOMPARE(saveAsTheDesigner(dir.path(), designed, badge, BadgeSideId::Front, true), QString());
    QCOMPARE(fileBytes(designed), fileBytes(direct));

    const QStringList lines = fileLines(direct);
    QCOMPARE(lines.last(), lines[lines.size() - 2]);
    const SideReadResult front = readSide(lines, BadgeSideId::Front);
    const SideReadResult back = readSide(lines, BadgeSideId::Back);
    QCOMPARE(front.status, LoadStatus::Loaded);
    QVERIFY(!front.endedEarly && !back.endedEarly);
    QCOMPARE(front.orientation, badge.orientation);

    BadgeLayout read = badge;
    read.front = front.side;
    read.back = back.side;
    QCOMPARE(writeBadgeFile(again, read), QString());
    QCOMPARE(fileBytes(again), fileBytes(direct));

    // Values survive, not just their text; a double quote comes back typographic.
    auto storable = [](Comment text) {
        text.Caption.replace(QLatin1Char('"'), QChar(0x201D));
        text.FontName.replace(QLatin1Char('"'), QChar(0x201D));
        return text;
    };
    for (const auto& [original, read] :
         {std::pair(&badge.front, &front.side), std::pair(&badge.back, &back.side)}) {
        QCOMPARE(read->Label1.count(), original->Label1.count());
        for (const auto& [index, comment] : original->Label1)
            QCOMPARE(read->Label1.at(index), storable(comment));
        for (const auto& [index, field] : original->lblField)
            QCOMPARE(static_cast<const Comment&>(read->lblField.at(index)), storable(field));
        for (const auto& [index, logo] : original->Image1) {
            QCOMPARE(read->Image1.at(index).frame(), logo.frame());
            QCOMPARE(read->Image1.at(index).Tag,
                     QString(logo.Tag).replace(QLatin1Char('"'), QChar(0x201D)));
        }
        for (const auto& [index, shape] : original->myShape1)
            QCOMPARE(read->myShape1.at(index), shape);
        QCOMPARE(read->imgPhoto, original->imgPhoto);
        QCOMPARE(read->imgSign, original->imgSign);
    }
}

void tst_BadgeFile::deletedElementsLeaveGapsInTheFileOnly()
{
    BadgeLayout badge;
    badge.projectName = Project;
    badge.databasePath = Database;
    badge.front = threeComments();
    QVERIFY(badge.front.remove({ElementKind::Comment, 2}));

    const QStringList lines = badgeFileLines(badge);
    QCOMPARE(lines[4], QStringLiteral("TotalComments:2"));
    QCOMPARE(lines[5], QStringLiteral("Comment:1"));
    QCOMPARE(lines[19], QStringLiteral("Comment:3"));

    const BadgeSide read = readSide(lines, BadgeSideId::Front).side;
    QCOMPARE(read.Label1.count(), 2);
    QCOMPARE(read.Label1.highestIndex(), 2);
    QCOMPARE(read.Label1.at(2), badge.front.Label1.at(3));
}

void tst_BadgeFile::aBlankBackEndsWithItsMarkerTwice()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Front only.Lyt"));
    BadgeLayout badge = allKindsBadge(QString());
    QCOMPARE(saveAsTheDesigner(dir.path(), path, badge, BadgeSideId::Front, false), QString());

    const QStringList lines = fileLines(path);
    QCOMPARE(lines.mid(lines.size() - 2), (QStringList{BackMarker, BackMarker}));
    QCOMPARE(fileBytes(path), encodeQuotedLines(badgeFileLines(badge, true)));

    const SideReadResult back = readSide(lines, BadgeSideId::Back);
    QCOMPARE(back.status, LoadStatus::Loaded);
    QVERIFY(!back.endedEarly);
    QCOMPARE(sideText(back.side), sideText(BadgeSide()));
    QCOMPARE(readSide(lines, BadgeSideId::Front).side.Label1.count(), 2);
}

void tst_BadgeFile::aFrontNeverStoredIsWrittenEmptyNotBlank()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Back first.Lyt"));
    BadgeLayout badge = allKindsBadge(QString());
    QCOMPARE(saveAsTheDesigner(dir.path(), path, badge, BadgeSideId::Back, false), QString());

    const QStringList lines = fileLines(path);
    const SideReadResult front = readSide(lines, BadgeSideId::Front);
    QVERIFY(!front.endedEarly);
    QCOMPARE(sideText(front.side), sideText(BadgeSide()));
    const SideReadResult back = readSide(lines, BadgeSideId::Back);
    QCOMPARE(sideText(back.side), sideText(badge.back));
}

void tst_BadgeFile::anOldBlankFrontReadsAsEmpty()
{
    const BadgeLayout badge = allKindsBadge(QString());
    QStringList lines = generalSectionLines(Project, Database, 1);
    lines << sideSectionLines(BadgeSide(), BadgeSideId::Front, true)
          << sideSectionLines(badge.back, BadgeSideId::Back, false);
    lines << lines.last();

    const SideReadResult front = readSide(lines, BadgeSideId::Front);
    QCOMPARE(sideText(front.side), sideText(BadgeSide()));
    QCOMPARE(sideText(readSide(lines, BadgeSideId::Back).side), sideText(badge.back));
}

void tst_BadgeFile::truncatedFilesKeepWholeElements()
{
    const BadgeLayout badge = allKindsBadge(QStringLiteral("/srv/logo.png"));
    const QStringList lines = badgeFileLines(badge);
    const qsizetype frontEnd = 3 + sideSectionLines(badge.front, BadgeSideId::Front, false).size();
    const qsizetype backEnd = lines.size() - 1;

    for (BadgeSideId which : {BadgeSideId::Front, BadgeSideId::Back}) {
        const BadgeSide full = readSide(lines, which).side;
        const qsizetype end = which == BadgeSideId::Front ? frontEnd : backEnd;
        for (qsizetype kept = 3; kept <= lines.size(); ++kept) {
            const SideReadResult read = readSide(lines.mid(0, kept), which);
            const QByteArray where = QByteArray::number(kept) + " lines kept";
            QVERIFY2(read.status == LoadStatus::Loaded, where);
            if (kept >= end) {
                QVERIFY2(!read.endedEarly, where);
                QVERIFY2(sideText(read.side) == sideText(full), where);
                continue;
            }
            for (const auto& [i, comment] : read.side.Label1)
                QVERIFY2(comment == full.Label1.at(i), where);
            for (const auto& [i, field] : read.side.lblField)
                QVERIFY2(field == full.lblField.at(i), where);
            for (const auto& [i, logo] : read.side.Image1)
                QVERIFY2(logo == full.Image1.at(i), where);
            for (const auto& [i, shape] : read.side.myShape1)
                QVERIFY2(shape == full.myShape1.at(i), where);
            QVERIFY2(sideText(read.side) != sideText(full), where);
        }
    }

    // Cut inside the second comment of the front: the first stays, the side says it ended.
    const SideReadResult cut = readSide(lines.mid(0, 3 + 1 + 1 + 14 + 7), BadgeSideId::Front);
    QVERIFY(cut.endedEarly);
    QCOMPARE(cut.side.Label1.count(), 1);
    QCOMPARE(cut.side.Label1.at(1), badge.front.Label1.at(1));
}

void tst_BadgeFile::checksProjectDatabaseAndOrientation_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    QTest::addColumn<LoadStatus>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("orientation");
    const QString none;
    QTest::newRow("as written") << 0 << "ProjectName:Staff" << LoadStatus::Loaded << none << 1;
    QTest::newRow("another project")
        << 0 << "ProjectName:Guests" << LoadStatus::WrongProject << "Badge Not Loaded!" << 0;
    QTest::newRow("project compared exactly")
        << 0 << "ProjectName:Staff " << LoadStatus::WrongProject << "Badge Not Loaded!" << 0;
    QTest::newRow("any key before the colon")
        << 0 << "Name:Staff" << LoadStatus::Loaded << none << 1;
    QTest::newRow("another database") << 1 << "DatabasePath=/srv/other.sqlite"
                                      << LoadStatus::WrongDatabase << "Wrong databse used!" << 0;
    QTest::newRow("database after the '=' only")
        << 1 << "DatabasePath:/srv/cards/staff.sqlite" << LoadStatus::WrongDatabase
        << "Wrong databse used!" << 0;
    QTest::newRow("portrait") << 2 << "Orientation:2" << LoadStatus::Loaded << none << 2;
    QTest::newRow("unknown orientation kept raw")
        << 2 << "Orientation:7" << LoadStatus::Loaded << none << 7;
    QTest::newRow("orientation not a number")
        << 2 << "Orientation:up" << LoadStatus::Loaded << none << 0;
}

void tst_BadgeFile::checksProjectDatabaseAndOrientation()
{
    QFETCH(int, line);
    QFETCH(QString, text);
    QFETCH(LoadStatus, status);
    QFETCH(QString, message);
    QFETCH(int, orientation);
    QStringList lines = badgeFileLines(allKindsBadge(QString()));
    lines[line] = text;
    for (BadgeSideId which : {BadgeSideId::Front, BadgeSideId::Back}) {
        const SideReadResult read = readSide(lines, which);
        QCOMPARE(read.status, status);
        QCOMPARE(read.errorText, message);
        QCOMPARE(int(read.orientation), orientation);
        QCOMPARE(read.side.Label1.isEmpty(), status != LoadStatus::Loaded);
    }
    QCOMPARE(readSide({}, BadgeSideId::Front).status, LoadStatus::WrongProject);
}

void tst_BadgeFile::fieldTagsFollowTheReadersRule_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<FieldTagRule>("rule");
    QTest::addColumn<QString>("tag");
    QTest::newRow("designer") << "<Employee.FirstName>" << FieldTagRule::ColumnOnly << "FirstName";
    QTest::newRow("rendering") << "<Employee.FirstName>" << FieldTagRule::TableAndColumn
                               << "Employee.FirstName";
    QTest::newRow("designer, two dots") << "<A.B.C>" << FieldTagRule::ColumnOnly << "B.C";
    QTest::newRow("designer, no dot") << "<Name>" << FieldTagRule::ColumnOnly << "FieldName:<Name";
    QTest::newRow("rendering, no dot") << "<Name>" << FieldTagRule::TableAndColumn << "Name";
    QTest::newRow("rendering, empty") << "" << FieldTagRule::TableAndColumn << "";
}

void tst_BadgeFile::fieldTagsFollowTheReadersRule()
{
    QFETCH(QString, reference);
    QFETCH(FieldTagRule, rule);
    QFETCH(QString, tag);
    BadgeLayout badge;
    badge.projectName = Project;
    badge.databasePath = Database;
    addField(badge.front, textAt(badge.front.lblField.templateElement(), 0, 0, reference),
             QString());
    const BadgeSide read = readSide(badgeFileLines(badge), BadgeSideId::Front, rule).side;
    QCOMPARE(read.lblField.at(1).Caption, reference);
    QCOMPARE(read.lblField.at(1).Tag, tag);
}

void tst_BadgeFile::aCaptionWithTheBackMarkerEndsTheFrontEarly()
{
    BadgeLayout badge;
    badge.projectName = Project;
    badge.databasePath = Database;
    const QString caption = QStringLiteral("a ====BACK SIDE==== b");
    addComment(badge.front, textAt(badge.front.Label1.templateElement(), 0, 0, caption));
    badge.front.Label1.at(1).Width = badge.front.Label1.at(1).Height = 0;
    addComment(badge.back,
               textAt(badge.back.Label1.templateElement(), 500, 500, QStringLiteral("back")));
    const QStringList lines = badgeFileLines(badge);

    const SplitBadge split = splitBadgeLines(lines);
    QCOMPARE(split.front.last(), QStringLiteral("Comment:1"));
    QCOMPARE(split.back.first(), QStringLiteral("Caption:") + caption);

    QCOMPARE(readSide(lines, BadgeSideId::Front).side.Label1.at(1).Caption, caption);
    // The back is taken to start at the caption: what follows reads as zero totals.
    const SideReadResult back = readSide(lines, BadgeSideId::Back);
    QCOMPARE(back.side.Label1.count(), 0);
    QVERIFY(!back.side.imgSign.Visible);
}

void tst_BadgeFile::splitRewritesTheScratchFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("b.Lyt"));
    const BadgeLayout badge = allKindsBadge(QString());
    QCOMPARE(writeBadgeFile(path, badge), QString());
    QCOMPARE(splitBadgeFile(path, dir.path()), QString());

    const QStringList general = fileLines(scratchFilePath(dir.path(), ScratchFile::General));
    QCOMPARE(general,
             (QStringList{"DatabasePath=/srv/cards/staff.sqlite", "Orientation:1", FrontMarker}));
    QCOMPARE(fileLines(scratchFilePath(dir.path(), ScratchFile::Front)),
             sideSectionLines(badge.front, BadgeSideId::Front, false));
    QCOMPARE(fileLines(scratchFilePath(dir.path(), ScratchFile::Back)),
             sideSectionLines(badge.back, BadgeSideId::Back, false));

    // A save after a load writes the general part anew and gives the same file back.
    const QString saved = dir.filePath(QStringLiteral("saved.Lyt"));
    QCOMPARE(saveAsTheDesigner(dir.path(), saved, badge, BadgeSideId::Front, true), QString());
    QCOMPARE(fileBytes(saved), fileBytes(path));

    QCOMPARE(clearSideScratchFiles(dir.path()), QString());
    QCOMPARE(fileBytes(scratchFilePath(dir.path(), ScratchFile::Front)), QByteArray());
    QCOMPARE(fileLines(scratchFilePath(dir.path(), ScratchFile::General)),
             generalSectionLines(Project, Database, 1));
}

void tst_BadgeFile::scratchFilesAreFoundWithoutRegardToCase()
{
    QTemporaryDir dir;
    for (const char* name : {"General.TMP", "FRONT.tmp", "Back.Tmp"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString path = dir.filePath(QStringLiteral("b.Lyt"));
    const BadgeLayout badge = allKindsBadge(QString());
    QCOMPARE(saveAsTheDesigner(dir.path(), path, badge, BadgeSideId::Front, false), QString());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase),
             (QStringList{"b.Lyt", "Back.Tmp", "FRONT.tmp", "General.TMP"}));
    QCOMPARE(fileBytes(path), encodeQuotedLines(badgeFileLines(badge, true)));
}

void tst_BadgeFile::assemblingRefusesEmptyScratchFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("b.Lyt"));
    const BadgeLayout badge = allKindsBadge(QString());
    QCOMPARE(saveAsTheDesigner(dir.path(), path, badge, BadgeSideId::Front, false), QString());
    const QByteArray before = fileBytes(path);

    QCOMPARE(clearSideScratchFiles(dir.path()), QString());
    const QString error = assembleBadgeFile(dir.path(), path);
    QVERIFY2(error.contains(QStringLiteral("front.tmp is empty")), qPrintable(error));
    QVERIFY(QFile::remove(scratchFilePath(dir.path(), ScratchFile::General)));
    QVERIFY(assembleBadgeFile(dir.path(), path).contains(QStringLiteral("general.tmp")));
    QCOMPARE(fileBytes(path), before);
}

void tst_BadgeFile::loadingReportsMissingFilesAndLogos()
{
    QTemporaryDir dir;
    const QString logo = dir.filePath(QStringLiteral("Logo.png"));
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(logo));
    BadgeLayout badge = allKindsBadge(dir.filePath(QStringLiteral("logo.PNG")));
    badge.front.Image1.at(badge.front.addLogo()).Tag = dir.filePath(QStringLiteral("gone.png"));
    QCOMPARE(writeBadgeFile(dir.filePath(QStringLiteral("Badge.Lyt")), badge), QString());

    const SideReadResult read =
        loadBadgeSide(dir.filePath(QStringLiteral("badge.lyt")), BadgeSideId::Front, Project,
                      Database, FieldTagRule::TableAndColumn);
    QCOMPARE(read.status, LoadStatus::Loaded);
    QCOMPARE(read.side.Image1.at(1).Picture.size(), QSize(4, 2));
    QCOMPARE(read.missingLogos, QStringList{dir.filePath(QStringLiteral("gone.png"))});

    const SideReadResult missing =
        loadBadgeSide(dir.filePath(QStringLiteral("none.Lyt")), BadgeSideId::Front, Project,
                      Database, FieldTagRule::TableAndColumn);
    QCOMPARE(missing.status, LoadStatus::CannotOpen);
    QVERIFY(missing.errorText.contains(QStringLiteral("none.Lyt")));
}

QTEST_MAIN(tst_BadgeFile)
#include "tst_BadgeFile.moc"
