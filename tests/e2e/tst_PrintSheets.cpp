// Invariant: vellumark-print lays cards out on A4 and Letter sheets exactly where the page
// composer says (centred grid, crop marks outside the corners), puts each duplex back behind its
// own front, moves everything by exactly the printer offset, writes the same file on every core
// as on one, and --check lists what would print wrong without writing anything.
#include "demo/DemoProject.h"
#include "project/Database.h"
#include "support/Commands.h"
#include "support/FileBytes.h"
#include "support/PdfText.h"
#include "support/Skip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

namespace {

constexpr double MmPerPoint = 25.4 / 72;
constexpr double GutterTwips = 3 / 25.4 * 1440;

// Where the grid's card `slot` stands, in twips from the page's top-left: centred on the page,
// 3 mm apart, row by row.
QPointF slotTopLeft(QSizeF page, QSizeF card, int columns, int rows, int slot)
{
    const QSizeF grid(columns * card.width() + (columns - 1) * GutterTwips,
                      rows * card.height() + (rows - 1) * GutterTwips);
    return {(page.width() - grid.width()) / 2 + (slot % columns) * (card.width() + GutterTwips),
            (page.height() - grid.height()) / 2 + (slot / columns) * (card.height() + GutterTwips)};
}

QStringList keys(int first, int last)
{
    QStringList arguments;
    for (int key = first; key <= last; ++key)
        arguments << QStringLiteral("--key") << QString::number(key);
    return arguments;
}

QString email(int empNo)
{
    const DemoPerson p = demoPerson(empNo);
    return QStringLiteral("%1.%2@example.org").arg(p.firstName.toLower(), p.lastName.toLower());
}

} // namespace

class tst_PrintSheets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void sheetsHoldACentredGridOfCards_data();
    void sheetsHoldACentredGridOfCards();
    void cropMarksStandOutsideTheCorners();
    void duplexBacksLandBehindTheirFronts_data();
    void duplexBacksLandBehindTheirFronts();
    void offsetMovesEverythingByExactlyThatMuch_data();
    void offsetMovesEverythingByExactlyThatMuch();
    void everyCoreWritesTheFileOneCoreWrites();
    void checkListsWhatWouldPrintWrong();
    void refusesSheetArgumentsThatCannotWork_data();
    void refusesSheetArgumentsThatCannotWork();

private:
    QString out(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_project;
};

void tst_PrintSheets::initTestCase()
{
    VM_SKIP_IF(pdfToolsMissing());
    const Run demo =
        runCommand(QStringLiteral(VELLUMARK_DEMO), {out(QStringLiteral("demo")), "--people", "60"});
    QVERIFY2(demo.exitCode == 0, qPrintable(demo.errors));
    m_project = out(QStringLiteral("demo/data/Demo.Prj"));
}

void tst_PrintSheets::sheetsHoldACentredGridOfCards_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("badge");
    QTest::addColumn<QSizeF>("pagePoints");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QPointF>("lastName"); // where the badge has its LastName field, twips
    const QSizeF a4(210 / MmPerPoint, 297 / MmPerPoint), letter(612, 792);
    const auto row = [](const char* name, const char* sheet, const char* badge, QSizeF page,
                        int columns, int rows, QPointF lastName) {
        QTest::newRow(name) << QString(sheet) << QString(badge) << page << columns << rows
                            << lastName;
    };
    // Every paper and orientation is laid out in the page composer's suite; here the run puts
    // its cards where the layout says, on each paper once.
    row("A4, landscape cards", "A4", "Staff", a4, 2, 5, QPointF(1980, 1200));
    row("Letter, portrait cards", "letter", "Visitor", letter, 3, 3, QPointF(300, 4200));
}

void tst_PrintSheets::sheetsHoldACentredGridOfCards()
{
    QFETCH(QString, sheet);
    QFETCH(QString, badge);
    QFETCH(QSizeF, pagePoints);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(QPointF, lastName);
    const int perSheet = columns * rows;
    const QString pdf = out(QStringLiteral("grid-%1-%2.pdf").arg(sheet, badge));
    const Run run = print(
        QStringList{m_project, "--badge", badge, "--side", "front", "--sheet", sheet, "-o", pdf} +
        keys(1, perSheet + 1));
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));

    const QSizeF card = badge == QLatin1String("Staff") ? QSizeF(4876, 3090) : QSizeF(3090, 4876);
    const PdfPage first = pdfPage(pdf, 1);
    QVERIFY(qAbs(first.size.width() - pagePoints.width()) < 0.05);
    QVERIFY(qAbs(first.size.height() - pagePoints.height()) < 0.05);
    for (int slot = 0; slot < perSheet; ++slot) {
        const QPointF at = slotTopLeft(pagePoints * 20, card, columns, rows, slot) + lastName;
        QVERIFY2(first.hasWordAt(demoPerson(slot + 1).lastName, at),
                 qPrintable(QStringLiteral("slot %1").arg(slot)));
    }
    // The one more goes to the first slot of a second sheet.
    const QPointF at = slotTopLeft(pagePoints * 20, card, columns, rows, 0) + lastName;
    QVERIFY(pdfPage(pdf, 2).hasWordAt(demoPerson(perSheet + 1).lastName, at));
    QVERIFY(!pdfPage(pdf, 3).size.isValid());
}

void tst_PrintSheets::cropMarksStandOutsideTheCorners()
{
    // At 254 dpi a pixel is a tenth of a millimetre.
    auto render = [&](const QString& name, bool marks) {
        const QString pdf = out(name + QStringLiteral(".pdf"));
        QStringList arguments{m_project, "--badge", "Staff", "--side", "back",
                              "--sheet", "A4",      "-o",    pdf};
        if (marks)
            arguments << QStringLiteral("--crop-marks");
        return print(arguments + keys(1, 2)).exitCode == 0 ? pdfPageImage(pdf, 1, 254) : QImage();
    };
    const QImage with = render(QStringLiteral("marks"), true);
    const QImage without = render(QStringLiteral("plain"), false);
    QVERIFY(!with.isNull() && !without.isNull());

    const QPointF corner =
        slotTopLeft(QSizeF(210, 297) / MmPerPoint * 20, QSizeF(4876, 3090), 2, 5, 0) / 1440 * 254;
    const double cardWidth = 4876.0 / 1440 * 254;
    auto inked = [](const QImage& image, QPointF at, bool horizontal) {
        for (int d = -2; d <= 2; ++d) {
            const QPoint p = horizontal ? QPoint(int(at.x()), int(at.y()) + d)
                                        : QPoint(int(at.x()) + d, int(at.y()));
            if (qGray(image.pixel(p)) < 200)
                return true;
        }
        return false;
    };
    const struct {
        QPointF at;
        bool horizontal;
    } marks[] = {
        {corner + QPointF(-20, 0), true},              // left of the top-left corner
        {corner + QPointF(0, -20), false},             // above it
        {corner + QPointF(cardWidth + 15, 0), true},   // in the gutter right of the first card
        {corner + QPointF(cardWidth + 15, 545), true}, // ... and at its bottom edge
    };
    for (const auto& mark : marks) {
        QVERIFY2(inked(with, mark.at, mark.horizontal),
                 qPrintable(QStringLiteral("%1,%2").arg(mark.at.x()).arg(mark.at.y())));
        QVERIFY(!inked(without, mark.at, mark.horizontal));
    }
    // Half a millimetre of white between a card and its marks.
    QVERIFY(!inked(with, corner + QPointF(-3, -3), true));
}

void tst_PrintSheets::duplexBacksLandBehindTheirFronts_data()
{
    QTest::addColumn<QString>("edge");
    QTest::newRow("long edge") << "long";
    QTest::newRow("short edge") << "short";
}

void tst_PrintSheets::duplexBacksLandBehindTheirFronts()
{
    QFETCH(QString, edge);
    const QString pdf = out(QStringLiteral("duplex-%1.pdf").arg(edge));
    const Run run = print(
        QStringList{m_project, "--badge", "Staff", "--sheet", "A4", "--duplex", edge, "-o", pdf} +
        keys(1, 13));
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    const QSizeF page = QSizeF(210, 297) / MmPerPoint * 20;
    const QSizeF card(4876, 3090);
    // Sheets of fronts and of backs: 10 + 3 people make four pages.
    for (int sheet = 0; sheet < 2; ++sheet) {
        const PdfPage fronts = pdfPage(pdf, 2 * sheet + 1);
        const PdfPage backs = pdfPage(pdf, 2 * sheet + 2);
        for (int slot = 0; slot < 10 && sheet * 10 + slot < 13; ++slot) {
            const int empNo = sheet * 10 + slot + 1;
            const QPointF front = slotTopLeft(page, card, 2, 5, slot);
            QVERIFY(fronts.hasWordAt(demoPerson(empNo).lastName, front + QPointF(1980, 1200)));
            // Turned over, the sheet shows its mirror image: the back's slot is the front's,
            // mirrored across the middle of the page.
            QPointF back(page.width() - front.x() - card.width(), front.y());
            if (edge == QLatin1String("short"))
                back = QPointF(front.x(), page.height() - front.y() - card.height());
            QVERIFY2(backs.hasWordAt(email(empNo), back + QPointF(240, 2240)),
                     qPrintable(email(empNo)));
        }
    }
    QVERIFY(!pdfPage(pdf, 5).size.isValid());
}

void tst_PrintSheets::offsetMovesEverythingByExactlyThatMuch_data()
{
    QTest::addColumn<QStringList>("layout");
    QTest::newRow("card pages") << QStringList{};
    QTest::newRow("A4 sheets, both sides") << QStringList{"--sheet", "A4", "--crop-marks"};
}

void tst_PrintSheets::offsetMovesEverythingByExactlyThatMuch()
{
    QFETCH(QStringList, layout);
    const QString still = out(QStringLiteral("still-%1.pdf").arg(layout.size()));
    const QString moved = out(QStringLiteral("moved-%1.pdf").arg(layout.size()));
    const QStringList common = QStringList{m_project, "--badge", "Staff"} + layout + keys(3, 4);
    QCOMPARE(print(common + QStringList{"-o", still}).exitCode, 0);
    const Run run = print(common + QStringList{"--offset", "2.5,-1", "-o", moved});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));

    for (int page = 1; pdfPage(still, page).size.isValid(); ++page) {
        const PdfPage a = pdfPage(still, page);
        const PdfPage b = pdfPage(moved, page);
        QCOMPARE(b.size, a.size);
        QVERIFY(!a.words.isEmpty());
        QCOMPARE(b.words.size(), a.words.size());
        for (qsizetype i = 0; i < a.words.size(); ++i) {
            QCOMPARE(b.words[i].text, a.words[i].text);
            const QPointF shift = b.words[i].box.topLeft() - a.words[i].box.topLeft();
            QVERIFY2(qAbs(shift.x() * MmPerPoint - 2.5) < 0.01 &&
                         qAbs(shift.y() * MmPerPoint + 1) < 0.01,
                     qPrintable(a.words[i].text));
        }
    }
}

void tst_PrintSheets::everyCoreWritesTheFileOneCoreWrites()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_HASH_SEED"), QStringLiteral("0")); // font order
    QByteArray files[2];
    const QString jobs[2] = {QStringLiteral("1"), QStringLiteral("3")};
    for (int i = 0; i < 2; ++i) {
        QVERIFY(QDir().mkpath(out(QStringLiteral("jobs") + jobs[i])));
        const QString pdf = out(QStringLiteral("jobs%1/all.pdf").arg(jobs[i]));
        const Run run = runCommand(QStringLiteral(VELLUMARK_PRINT),
                                   {m_project, "--badge", "Staff", "--all", "--sheet", "A4",
                                    "--duplex", "long", "--jobs", jobs[i], "-o", pdf},
                                   environment);
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        files[i] = fileBytes(pdf);
        static const QRegularExpression made(QStringLiteral("/CreationDate \\(D:\\d+Z\\)"));
        files[i] = QString::fromLatin1(files[i]).remove(made).toLatin1();
    }
    QVERIFY(files[0].size() > 100000);
    QVERIFY2(files[0] == files[1], "the runs differ");
}

void tst_PrintSheets::checkListsWhatWouldPrintWrong()
{
    // A demo of its own: this test takes a department's row and the logo away.
    const QString folder = out(QStringLiteral("check"));
    const Run demo = runCommand(QStringLiteral(VELLUMARK_DEMO), {folder, "--people", "45"});
    QVERIFY2(demo.exitCode == 0, qPrintable(demo.errors));
    const QString project = folder + QStringLiteral("/data/Demo.Prj");

    // 36 has no signature file, 41 no photograph; 7's department row goes below. Pictures are
    // read by their headers, not decoded: the check passes where Qt may not decode a photograph
    // at all (a 1 MB allocation limit, less than one takes at 1200 dpi).
    QProcessEnvironment noDecoding = QProcessEnvironment::systemEnvironment();
    noDecoding.insert(QStringLiteral("QT_IMAGEIO_MAXALLOC"), QStringLiteral("1"));
    Run run = runCommand(QStringLiteral(VELLUMARK_PRINT),
                         {project, "--badge", "Staff", "--check", "--dpi", "1200", "--key", "2",
                          "--key", "5"},
                         noDecoding);
    QVERIFY2(run.exitCode == 0, qPrintable(run.output.join('\n') + run.errors));
    QCOMPARE(run.output, QStringList());

    {
        DatabaseConnection db;
        QVERIFY2(db.OpenProjectDatabase(folder + QStringLiteral("/data/demo.sqlite")),
                 qPrintable(db.errorText()));
        QSqlQuery remove(db.database());
        QVERIFY(remove.exec(QStringLiteral("DELETE FROM Department WHERE DeptID = (SELECT "
                                           "DeptID FROM Employee WHERE EmpNo = 7)")));
    }
    QVERIFY(QFile::remove(folder + QStringLiteral("/Logo/logo.png")));
    // 9's photograph is cut short: it would print half grey.
    const QString cutPhoto = folder + QStringLiteral("/Photos/9.jpg");
    QVERIFY(QFile::resize(cutPhoto, QFileInfo(cutPhoto).size() / 2));
    run = print({project, "--badge", "Staff", "--check", "--side", "front", "--key", "41", "--key",
                 "7", "--key", "2", "--key", "36", "--key", "9"});
    QCOMPARE(run.exitCode, 3);
    const QStringList expected = {
        QStringLiteral("*\tfront: The logo file %1/Logo/logo.png is missing").arg(folder),
        QStringLiteral("41\tfront: No photograph: %1/Photos/41.jpg, .jpeg or .bmp is missing")
            .arg(folder),
        QStringLiteral("7\t"),
        QStringLiteral("36\tfront: No signature: %1/Signs/36.jpg, .jpeg or .bmp is missing")
            .arg(folder),
        QStringLiteral("9\tThe photograph of the record \u201c9\u201d of Employee cannot be used: "
                       "%1 is cut short")
            .arg(cutPhoto),
    };
    QCOMPARE(run.output.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY2(run.output[i].startsWith(expected[i]), qPrintable(run.output[i]));
    QVERIFY2(run.output[2].contains(QStringLiteral("Department")), qPrintable(run.output[2]));
    QVERIFY(QDir(folder).entryList({QStringLiteral("*.pdf")}).isEmpty()); // nothing rendered
}

void tst_PrintSheets::refusesSheetArgumentsThatCannotWork_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown paper") << QStringList{"--sheet", "A5"} << "--sheet";
    QTest::newRow("crop marks on card pages") << QStringList{"--crop-marks"} << "--crop-marks";
    QTest::newRow("crop marks for a card printer")
        << QStringList{"--sheet", "card", "--crop-marks"} << "--crop-marks";
    QTest::newRow("duplex of one side")
        << QStringList{"--side", "front", "--duplex", "long"} << "both sides";
    QTest::newRow("duplex edge") << QStringList{"--duplex", "top"} << "--duplex";
    QTest::newRow("duplex on card-size pages") << QStringList{"--duplex", "long"} << "--sheet";
    QTest::newRow("offset without Y") << QStringList{"--offset", "1.5"} << "--offset";
    QTest::newRow("no threads") << QStringList{"--jobs", "0"} << "--jobs";
}

void tst_PrintSheets::refusesSheetArgumentsThatCannotWork()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const QString pdf = out(QStringLiteral("refused.pdf"));
    const Run run =
        print(QStringList{m_project, "--badge", "Staff", "--key", "1", "-o", pdf} + arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
    QVERIFY(!QFile::exists(pdf));
}

QTEST_GUILESS_MAIN(tst_PrintSheets)
#include "tst_PrintSheets.moc"
