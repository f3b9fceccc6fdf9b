// Invariant: a badge written by this program reads back into the same elements and writes again
// byte for byte, whichever way it was saved; a damaged or foreign file never breaks the reader:
// it keeps every element it read whole and reports why it stopped. A badge from a system with
// another code page reads in it and saves back in its own bytes.
#include "badge/BadgeFile.h"
#include "common/QuotedLines.h"
#include "common/TextCodePage.h"
#include "support/AllKindsBadge.h"
#include "support/FileBytes.h"
#include "support/StatusChecks.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::LoadStatus)

namespace {

const QString Project = QStringLiteral("Staff");
const QString Database = QStringLiteral("/srv/cards/staff.sqlite");
constexpr auto Front = BadgeSideId::Front;
constexpr auto Back = BadgeSideId::Back;

QStringList lines(const char* joined)
{
    return QString::fromUtf8(joined).split(QLatin1Char('|'));
}

// As lines(), with "F" and "B" standing for the front and back marker lines; "" is no lines.
QStringList marked(const char* joined)
{
    QStringList file = *joined ? lines(joined) : QStringList();
    for (QString& line : file) {
        if (line == QLatin1String("F"))
            line = FrontMarker;
        else if (line == QLatin1String("B"))
            line = BackMarker;
    }
    return file;
}

SideReadResult readSide(const QStringList& file, BadgeSideId which,
                        FieldTagRule rule = FieldTagRule::TableAndColumn)
{
    return readBadgeSide(file, which, Project, Database, rule);
}

// What the file holds of a side, to compare sides.
QStringList stored(const BadgeSide& side)
{
    return sideSectionLines(side, Front, false);
}

// The designer's save: general, the displayed side (and the other when never stored), assemble.
Status saveAsTheDesigner(const QString& dir, const QString& path, const BadgeLayout& badge,
                         BadgeSideId displayed, bool otherSideStored)
{
    const BadgeSide& side = displayed == Front ? badge.front : badge.back;
    if (Status s =
            writeScratchFile(dir, ScratchFile::General, generalSectionLines(Project, Database, 1));
        !s)
        return s;
    if (Status s = saveDisplayedSide(dir, displayed, side, otherSideStored); !s)
        return s;
    return assembleBadgeFile(dir, path);
}

} // namespace

class tst_BadgeFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writesTheExampleSideLineForLine();
    void roundTripIsByteIdentical();
    void encodedWritersWriteTheLines_data();
    void encodedWritersWriteTheLines();
    void deletedElementsLeaveGapsInTheFileOnly();
    void blankSides();
    void truncatedFilesKeepWholeElements();
    void namesWhereAShortFileEnds_data();
    void namesWhereAShortFileEnds();
    void checksProjectDatabaseOrientationAndTags_data();
    void checksProjectDatabaseOrientationAndTags();
    void aQuoteOrAMarkerInAnyValueStaysAValue_data();
    void aQuoteOrAMarkerInAnyValueStaysAValue();
    void geometryBeyondAnyCardIsHeldOnRead();
    void splitsAtTheMarkers_data();
    void splitsAtTheMarkers();
    void scratchFilesAndLogos();
    void aLegacyBadgeSavesBackInItsOwnCodePage();
};

void tst_BadgeFile::writesTheExampleSideLineForLine()
{
    BadgeSide side;
    Comment& comment = addComment(side, {2400, 1500}, QStringLiteral("New Comment"));
    comment.Width = 1065;
    comment.Height = 195;
    comment.FontName = QStringLiteral("MS Sans Serif");
    comment.FontSize = 8.25f;
    comment.BackColor = qint32(0x8000000F);
    QCOMPARE(stored(side).mid(1),
             lines("TotalComments:1|Comment:1|Caption:New Comment|left:2400|top:1500|width:1065|"
                   "height:195|fontname:MS Sans Serif|fontsize:8.25|fontcolor:0|bold:False|"
                   "italic:False|underline:False|backstyle:0|backcolor:-2147483633|TotalFields:0|"
                   "TotalLogo:0|TotalShape:0|Photo:0|left:120|top:120|width:1215|height:1455|"
                   "Sign:0|left:120|top:1680|width:1215|height:375"));
    QCOMPARE(generalSectionLines(Project, Database, 1),
             lines("ProjectName:Staff|DatabasePath=/srv/cards/staff.sqlite|Orientation:1"));
}

void tst_BadgeFile::roundTripIsByteIdentical()
{
    BadgeLayout badge = allKindsBadge(QStringLiteral("/srv/Logo: \"new\".png"));
    badge.front.Label1.at(1).Caption = QStringLiteral("Ünïcode 日本, \"quoted\": yes");
    badge.front.Label1.at(1).Left = 1.0f / 3;
    QTemporaryDir dir;
    const QString direct = dir.filePath(QStringLiteral("direct.Lyt"));
    const QString designed = dir.filePath(QStringLiteral("designed.Lyt"));
    VM_VERIFY_OK(writeBadgeFile(direct, badge));
    // Back first with the front never stored, then the front with the back stored.
    VM_VERIFY_OK(saveAsTheDesigner(dir.path(), designed, badge, Back, false));
    VM_VERIFY_OK(saveAsTheDesigner(dir.path(), designed, badge, Front, true));
    QCOMPARE(fileBytes(designed), fileBytes(direct));

    // Writing is one-to-one on every value, so the same bytes mean the same values.
    const QStringList file = decodeQuotedLines(fileBytes(direct));
    badge.front = readSide(file, Front).side;
    badge.back = readSide(file, Back).side;
    QCOMPARE(encodeQuotedLines(badgeFileLines(badge)), fileBytes(direct));
    QCOMPARE(badge.front.Label1.at(1).Caption, QStringLiteral("Ünïcode 日本, ”quoted”: yes"));
    QCOMPARE(badge.front.Label1.at(2).BackColor, qint32(0x8000000F));
}

void tst_BadgeFile::encodedWritersWriteTheLines_data()
{
    QTest::addColumn<bool>("empty");
    QTest::newRow("every kind") << false;
    QTest::newRow("no elements") << true;
}

// The files are written in one buffer, the line lists line by line: the bytes must not differ.
void tst_BadgeFile::encodedWritersWriteTheLines()
{
    QFETCH(bool, empty);
    BadgeLayout badge;
    if (!empty) {
        badge = allKindsBadge(QStringLiteral("C:\\Logos\\\"Ünïcode\" 日本.png"));
        badge.front.Label1.at(1).Caption = QStringLiteral("two\r\nlines, \"quoted\"");
        badge.back.Label1.at(1).Caption = QStringView(u"unpaired \xD800 surrogate").toString();
        badge.back.lblField.at(1).FontName = QString();
        badge.projectName = QStringLiteral("Say \"Cheese\"");
    }
    for (bool blankBack : {false, true}) {
        QCOMPARE(encodedBadgeFile(badge, blankBack),
                 encodeQuotedLines(badgeFileLines(badge, blankBack)));
        for (BadgeSideId which : {Front, Back}) {
            const BadgeSide& side = which == Front ? badge.front : badge.back;
            QCOMPARE(encodedSideSection(side, which, blankBack),
                     encodeQuotedLines(sideSectionLines(side, which, blankBack)));
        }
    }
}

void tst_BadgeFile::deletedElementsLeaveGapsInTheFileOnly()
{
    BadgeLayout badge = allKindsBadge(QString());
    addComment(badge.front, {0, 0}, QStringLiteral("third"));
    QVERIFY(badge.front.remove({ElementKind::Comment, 2}));
    const QStringList file = badgeFileLines(badge);
    QCOMPARE(file.mid(4, 2), lines("TotalComments:2|Comment:1"));
    QCOMPARE(file[19], QStringLiteral("Comment:3"));
    const BadgeSide read = readSide(file, Front).side;
    QCOMPARE(read.Label1.highestIndex(), 2);
    QCOMPARE(read.Label1.at(2), badge.front.Label1.at(3));
}

void tst_BadgeFile::blankSides()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("b.Lyt"));
    const BadgeLayout badge = allKindsBadge(QString());
    // Saved with only the front ever shown: the back is its marker, twice, and loads nothing.
    VM_VERIFY_OK(saveAsTheDesigner(dir.path(), path, badge, Front, false));
    QStringList file = decodeQuotedLines(fileBytes(path));
    QCOMPARE(file.mid(file.size() - 2), (QStringList{BackMarker, BackMarker}));
    const SideReadResult back = readSide(file, Back);
    QVERIFY(back.status == LoadStatus::Loaded && !back.endedEarly);
    QCOMPARE(stored(back.side), stored(BadgeSide()));

    // Saved with only the back ever shown: the front is written empty, not blank.
    VM_VERIFY_OK(saveAsTheDesigner(dir.path(), path, badge, Back, false));
    file = decodeQuotedLines(fileBytes(path));
    QCOMPARE(stored(readSide(file, Front).side), stored(BadgeSide()));
    QCOMPARE(stored(readSide(file, Back).side), stored(badge.back));

    // A blank front from an older file reads as empty rather than as the back's data.
    file = generalSectionLines(Project, Database, 1)
           << FrontMarker << sideSectionLines(badge.back, Back, false);
    QCOMPARE(stored(readSide(file << file.last(), Front).side), stored(BadgeSide()));
}

void tst_BadgeFile::truncatedFilesKeepWholeElements()
{
    const BadgeLayout badge = allKindsBadge(QString());
    const QStringList file = badgeFileLines(badge);
    const qsizetype frontEnd = 3 + stored(badge.front).size();
    for (BadgeSideId which : {Front, Back}) {
        const BadgeSide full = readSide(file, which).side;
        for (qsizetype kept = 3; kept <= file.size(); ++kept) {
            const SideReadResult read = readSide(file.mid(0, kept), which);
            const bool whole = kept >= (which == Front ? frontEnd : file.size() - 1);
            const QByteArray where = QByteArray::number(kept);
            QVERIFY2(read.endedEarly != whole || read.side.Label1.isEmpty(), where);
            QVERIFY2((stored(read.side) == stored(full)) == whole, where);
            for (const auto& [i, comment] : read.side.Label1)
                QVERIFY2(comment == full.Label1.at(i), where);
            for (const auto& [i, shape] : read.side.myShape1)
                QVERIFY2(shape == full.myShape1.at(i), where);
        }
    }
}

void tst_BadgeFile::namesWhereAShortFileEnds_data()
{
    QTest::addColumn<int>("cutFromEnd"); // lines taken off the end of the whole file
    QTest::addColumn<QString>("front");  // where each side ends; "whole" when read whole
    QTest::addColumn<QString>("back");
    QTest::addColumn<QString>("text");
    const BadgeLayout badge = allKindsBadge(QString());
    const int all = int(badgeFileLines(badge).size());
    const int back = int(stored(badge.back).size()) + 1; // and the duplicate last line
    const auto row = [](const char* name, int cut, const char* front, const char* back,
                        const char* text) {
        QTest::newRow(name) << cut << QString(front) << QString(back) << QString(text);
    };
    const QString bothMissing =
        QStringLiteral("the front side is missing and the back side is missing");
    row("duplicate line missing", 1, "whole", "whole", "");
    row("in the back's signature frame", 2, "whole", "the signature frame",
        "the back side is cut off at the signature frame");
    row("after the back marker", back - 1, "whole", "", "the back side is missing");
    // general, marker and total, comment 1, part of comment 2
    row("in the front's second comment", all - (3 + 2 + 14 + 3), "comment 2 of 2", "",
        "the front side is cut off at comment 2 of 2 and the back side is missing");
    row("general section only", all - 3, "", "", qPrintable(bothMissing));
    row("no orientation", all - 2, "", "", qPrintable(bothMissing));
}

void tst_BadgeFile::namesWhereAShortFileEnds()
{
    QFETCH(int, cutFromEnd);
    QFETCH(QString, front);
    QFETCH(QString, back);
    QFETCH(QString, text);
    const BadgeLayout badge = allKindsBadge(QString());
    const QStringList whole = badgeFileLines(badge);
    const QStringList file = whole.mid(0, whole.size() - cutFromEnd);
    const BadgeLayoutRead read = readBadgeLayout(file, Project, Database, {});
    QCOMPARE(read.status, LoadStatus::Loaded);
    QStringList ends;
    for (const BadgeLayoutRead::EarlyEnd& end : read.endedEarly)
        ends << QStringLiteral("%1:%2").arg(end.side == Front ? "front" : "back", end.part);
    QStringList expected;
    if (front != QLatin1String("whole"))
        expected << QStringLiteral("front:") + front;
    if (back != QLatin1String("whole"))
        expected << QStringLiteral("back:") + back;
    QCOMPARE(ends, expected);
    QCOMPARE(earlyEndText(read),
             text.isEmpty() ? QString()
                            : QStringLiteral("The badge file ends early: %1. Only the elements "
                                             "read whole are shown.")
                                  .arg(text));

    // One reading gives each side as reading it alone does.
    for (BadgeSideId which : {Front, Back}) {
        const SideReadResult alone = readSide(file, which, {});
        QCOMPARE(stored(alone.side), stored(read.side(which)));
        QCOMPARE(alone.endedEarly, (which == Front ? front : back) != QLatin1String("whole"));
        QCOMPARE(alone.orientation, read.orientation);
    }
}

void tst_BadgeFile::checksProjectDatabaseOrientationAndTags_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");
    QTest::addColumn<LoadStatus>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QStringList>("tags"); // designer's, rendering windows'
    const QStringList none;
    QTest::newRow("another project") << 0 << "ProjectName:Staff " << LoadStatus::WrongProject
                                     << "Badge Not Loaded!" << 0 << none;
    QTest::newRow("another database")
        << 1 << "DatabasePath:" + Database << LoadStatus::WrongDatabase << "Wrong databse used!"
        << 0 << none;
    QTest::newRow("any key, orientation raw")
        << 2 << "Side:7" << LoadStatus::Loaded << "" << 7 << lines("FirstName|Employee.FirstName");
    QTest::newRow("two dots") << 7 << "FieldName:<A.B.C>" << LoadStatus::Loaded << "" << 1
                              << lines("B.C|A.B.C");
    QTest::newRow("no dot") << 7 << "FieldName:<Name>" << LoadStatus::Loaded << "" << 1
                            << lines("FieldName:<Name|Name");
}

void tst_BadgeFile::checksProjectDatabaseOrientationAndTags()
{
    QFETCH(int, line);
    QFETCH(QString, text);
    QFETCH(LoadStatus, status);
    QFETCH(QString, message);
    QFETCH(int, orientation);
    QFETCH(QStringList, tags);
    BadgeLayout badge;
    addField(badge.front, {0, 0}, QStringLiteral("Employee.FirstName"));
    QStringList file = generalSectionLines(Project, Database, 1) << stored(badge.front);
    file[line] = text;
    for (auto rule : {FieldTagRule::ColumnOnly, FieldTagRule::TableAndColumn}) {
        const SideReadResult read = readSide(file, Front, rule);
        QCOMPARE(read.status, status);
        QCOMPARE(read.errorText, message);
        QCOMPARE(int(read.orientation), orientation);
        QCOMPARE(read.side.lblField.isEmpty() ? QString() : read.side.lblField.at(1).Tag,
                 tags.value(int(rule)));
    }
}

void tst_BadgeFile::aQuoteOrAMarkerInAnyValueStaysAValue_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("readAs"); // as it prints: the same to the eye
    const QString nbsp(QChar(0x00A0));
    QTest::newRow("quote") << "Say \"Cheese\"" << "Say ”Cheese”";
    QTest::newRow("back marker") << "a ====BACK SIDE==== b" << "a ====BACK" + nbsp + "SIDE==== b";
    QTest::newRow("front marker") << "====FRONT SIDE====" << "====FRONT" + nbsp + "SIDE====";
    QTest::newRow("overlapping markers") << "====BACK SIDE====BACK SIDE===="
                                         << "====BACK" + nbsp + "SIDE====BACK" + nbsp + "SIDE====";
}

void tst_BadgeFile::aQuoteOrAMarkerInAnyValueStaysAValue()
{
    QFETCH(QString, value);
    QFETCH(QString, readAs);
    // Every kind of text the file holds: caption, field, logo, font, project and database.
    BadgeLayout badge = allKindsBadge(QString());
    badge.projectName = value;
    badge.databasePath = value;
    for (BadgeSide* side : {&badge.front, &badge.back}) {
        side->Label1.at(1).Caption = value;
        side->Label1.at(1).FontName = value;
        side->lblField.at(1).Caption = value;
        side->Image1.at(1).Tag = value;
    }
    const QStringList file = decodeQuotedLines(encodedBadgeFile(badge));
    const SplitBadge split = splitBadgeLines(file);
    QCOMPARE(split.front.first(), FrontMarker);
    QCOMPARE(split.back.first(), BackMarker);
    const BadgeLayoutRead read =
        readBadgeLayout(file, badge.projectName, badge.databasePath, FieldTagRule::ColumnOnly);
    QCOMPARE(read.status, LoadStatus::Loaded);
    QVERIFY(read.endedEarly.isEmpty());
    QCOMPARE(stored(read.front), stored(badge.front));
    QCOMPARE(stored(read.back), stored(badge.back));
    QCOMPARE(read.back.Label1.at(1).Caption, readAs);
}

void tst_BadgeFile::geometryBeyondAnyCardIsHeldOnRead()
{
    BadgeLayout badge;
    addField(badge.front, {0, 0}, QStringLiteral("Employee.FirstName"));
    QStringList file = generalSectionLines(Project, Database, 1) << stored(badge.front);
    const qsizetype width = file.indexOf(QRegularExpression(QStringLiteral("width:.*")));
    file[width] = QStringLiteral("width:99999999999");
    file[width - 2] = QStringLiteral("left:-99999999999");
    file[width + 3] = QStringLiteral("fontsize:99999999999");
    const Field& field = readSide(file, Front).side.lblField.at(1);
    QCOMPARE(field.Width, LargestTwips);
    QCOMPARE(field.Left, -LargestTwips);
    QCOMPARE(field.FontSize, LargestFontSize);
}

void tst_BadgeFile::splitsAtTheMarkers_data()
{
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QStringList>("general");
    QTest::addColumn<QStringList>("front");
    QTest::addColumn<QStringList>("back");
    const auto row = [](const char* name, const char* file, const char* general, const char* front,
                        const char* back) {
        QTest::newRow(name) << marked(file) << marked(general) << marked(front) << marked(back);
    };
    row("whole", "P|g|h|F|a|B|b|c|c", "g|h|F", "F|a", "B|b|c");
    row("markers inside lines", "P|g|x ====FRONT SIDE==== y|a|z ====BACK SIDE====|b|b",
        "g|x ====FRONT SIDE==== y", "x ====FRONT SIDE==== y|a", "z ====BACK SIDE====|b");
    row("no lines", "", "", "", "");
    row("project line only", "P", "", "", "");
    row("no front marker", "P|g|h", "g|h", "h", "");
    row("front marker last", "P|g|F", "g|F", "F", "");
    row("no back marker: the last line", "P|F|a|b|z", "F", "F|a|b", "z");
    row("back marker last", "P|F|a|B", "F", "F|a", "B");
    row("blank back", "P|F|a|B|B", "F", "F|a", "B");
}

void tst_BadgeFile::splitsAtTheMarkers()
{
    QFETCH(QStringList, file);
    QFETCH(QStringList, general);
    QFETCH(QStringList, front);
    QFETCH(QStringList, back);
    const SplitBadge split = splitBadgeLines(file);
    QCOMPARE(split.general, general);
    QCOMPARE(split.front, front);
    QCOMPARE(split.back, back);

    // As read from the file, the parts are views of its lines.
    const DecodedLines decoded(encodeQuotedLines(file));
    const BadgeParts parts = splitBadgeLines(decoded.fields());
    auto texts = [](std::span<const QStringView> part) {
        QStringList texts;
        for (QStringView line : part)
            texts << line.toString();
        return texts;
    };
    QCOMPARE(texts(parts.general), general);
    QCOMPARE(texts(parts.front), front);
    QCOMPARE(texts(parts.back), back);
}

void tst_BadgeFile::aLegacyBadgeSavesBackInItsOwnCodePage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Arabic.Lyt"));
    // Written by an older station: Arabic in Windows-1256, and the Access file's code page still
    // after the database's name.
    BadgeLayout badge;
    badge.projectName = Project;
    badge.databasePath = QStringLiteral("/srv/cards/staff.mdb;charset=CP1256");
    addComment(badge.front, {100, 100}, QStringLiteral("محمد علي"));
    addComment(badge.back, {100, 100}, QStringLiteral("plain"));
    const QByteArray bytes = encodedBadgeFile(badge).replace(
        QStringLiteral("محمد علي").toUtf8(), "\xe3\xcd\xe3\xcf \xda\xe1\xed");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    struct PageGuard {
        ~PageGuard() { setLegacyCodePage({}); }
    } guard;
    setLegacyCodePage(*TextCodePage::named(u"cp1256"));

    const BadgeLayoutRead read = loadBadgeLayout(
        path, Project, QStringLiteral("/srv/cards/staff.mdb"), FieldTagRule::TableAndColumn);
    QCOMPARE(read.status, LoadStatus::Loaded);
    QCOMPARE(read.front.Label1.at(1).Caption, QStringLiteral("محمد علي"));

    // Unchanged, it saves back byte for byte, by the designer's way and straight.
    VM_VERIFY_OK(splitBadgeFile(path, dir.path()));
    VM_VERIFY_OK(writeScratchFile(dir.path(), ScratchFile::General,
                                  generalSectionLines(Project, badge.databasePath, 1)));
    const QString copy = dir.filePath(QStringLiteral("copy.Lyt"));
    VM_VERIFY_OK(assembleBadgeFile(dir.path(), copy));
    QCOMPARE(fileBytes(copy), bytes);
    VM_VERIFY_OK(writeBadgeFile(copy, badge));
    QCOMPARE(fileBytes(copy), bytes);

    // Read as UTF-8 it is refused, naming the file and the line, and nothing is written.
    setLegacyCodePage(TextCodePage::utf8());
    const qsizetype line = badgeFileLines(badge).indexOf(u"Caption:محمد علي") + 1;
    const BadgeLayoutRead refused = loadBadgeLayout(
        path, Project, QStringLiteral("/srv/cards/staff.mdb"), FieldTagRule::TableAndColumn);
    QCOMPARE(refused.status, LoadStatus::CannotOpen);
    QVERIFY2(refused.errorText.contains(QStringLiteral("Arabic.Lyt")) &&
                 refused.errorText.contains(QStringLiteral("line %1 ").arg(line)),
             qPrintable(refused.errorText));
    QVERIFY(!splitBadgeFile(path, dir.path()));
    QCOMPARE(decodeQuotedLines(fileBytes(dir.filePath(QStringLiteral("general.tmp")))).size(), 3);
}

void tst_BadgeFile::scratchFilesAndLogos()
{
    QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath(QStringLiteral("FRONT.tmp"))).open(QIODevice::WriteOnly));
    QImage logo(4, 2, QImage::Format_RGB32);
    QVERIFY(logo.save(dir.filePath(QStringLiteral("Logo.png"))));
    BadgeLayout badge = allKindsBadge(dir.filePath(QStringLiteral("logo.PNG")));
    addLogo(badge.front, dir.filePath(QStringLiteral("gone.png")), {});
    const QString path = dir.filePath(QStringLiteral("Badge.Lyt"));
    const QString copy = dir.filePath(QStringLiteral("copy.Lyt"));
    VM_VERIFY_OK(writeBadgeFile(path, badge));

    // A load splits the file; a save then gives it back. Names match without regard to case.
    VM_VERIFY_OK(splitBadgeFile(dir.filePath(QStringLiteral("badge.lyt")), dir.path()));
    QCOMPARE(decodeQuotedLines(fileBytes(dir.filePath(QStringLiteral("FRONT.tmp")))),
             stored(badge.front));
    VM_VERIFY_OK(saveAsTheDesigner(dir.path(), copy, badge, Front, true));
    QCOMPARE(fileBytes(copy), fileBytes(path));
    VM_VERIFY_OK(clearSideScratchFiles(dir.path()));
    QVERIFY(
        assembleBadgeFile(dir.path(), copy).error().contains(QStringLiteral("FRONT.tmp is empty")));
    QCOMPARE(fileBytes(copy), fileBytes(path));

    const SideReadResult read = loadBadgeSide(dir.filePath(QStringLiteral("badge.lyt")), Front,
                                              Project, Database, FieldTagRule::TableAndColumn);
    QCOMPARE(read.side.Image1.at(1).Picture.size(), logo.size());
    QCOMPARE(read.missingLogos, QStringList{dir.filePath(QStringLiteral("gone.png"))});
    const QString none = dir.filePath(QStringLiteral("none.Lyt"));
    QVERIFY(loadBadgeSide(none, Front, Project, Database, {}).errorText.contains(none));
}

QTEST_MAIN(tst_BadgeFile)
#include "tst_BadgeFile.moc"
