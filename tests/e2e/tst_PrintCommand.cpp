// Invariant: vellumark-print renders exactly what the rendering windows show for each record,
// one card-sized page per side, and answers bad arguments (2) and unusable input (1) with a
// message instead of output.
#include "common/SaveFile.h"
#include "demo/DemoProject.h"
#include "project/Database.h"
#include "support/FileBytes.h"
#include "support/PdfText.h"
#include "support/Skip.h"
#include "support/StatusChecks.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

namespace {

struct Run {
    int exitCode = -1;
    QString errors;
};

Run runCommand(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(300000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

Run print(const QStringList& arguments)
{
    return runCommand(QStringLiteral(VELLUMARK_PRINT), arguments);
}

} // namespace

class tst_PrintCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rendersEveryRecordBothSides();
    void writesOnePngPerSide();
    void reportsWhatCannotBeUsed_data();
    void reportsWhatCannotBeUsed();
    void recordsThatDoNotLinkAreSkippedWithTheirReason();

private:
    QTemporaryDir m_dir;
    QString m_project;
};

void tst_PrintCommand::initTestCase()
{
    if (!havePdfText())
        VM_SKIP(QStringLiteral("pdftotext (poppler-utils) is not installed"));
    const Run demo =
        runCommand(QStringLiteral(VELLUMARK_DEMO), {m_dir.filePath(QStringLiteral("demo"))});
    QVERIFY2(demo.exitCode == 0, qPrintable(demo.errors));
    m_project = m_dir.filePath(QStringLiteral("demo/data/Demo.Prj"));
}

void tst_PrintCommand::rendersEveryRecordBothSides()
{
    const QString pdf = m_dir.filePath(QStringLiteral("all.pdf"));
    const Run run = print({m_project, "--badge", "Staff", "--all", "-o", pdf});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    // 200 people, one page per side: page 400 is the last.
    QVERIFY(pdfPage(pdf, 400).size.isValid());
    QVERIFY(!pdfPage(pdf, 401).size.isValid());

    // Person 17: front on page 33, back on page 34; every page is the card, 4876 x 3090 twips.
    const DemoPerson person = demoPerson(17);
    const PdfPage front = pdfPage(pdf, 33);
    const PdfPage back = pdfPage(pdf, 34);
    QCOMPARE(front.size, QSizeF(243.8, 154.5));
    const struct {
        const PdfPage& page;
        QString text;
        double left, top; // twips, as the badge file places the field
    } expected[] = {
        {front, person.firstName, 1980, 860},
        {front, person.lastName, 1980, 1200},
        {front, QStringLiteral("17"), 2400, 2200},
        {back, person.department, 240, 960},
    };
    for (const auto& e : expected) {
        const PdfWord* word = e.page.find(e.text);
        QVERIFY2(word, qPrintable(e.text));
        QVERIFY2(qAbs(word->box.left() - e.left / 20) < 0.5, qPrintable(e.text));
        QVERIFY2(qAbs(word->box.top() - e.top / 20) < 1, qPrintable(e.text));
    }
    QVERIFY(!back.find(QStringLiteral("<Department.DeptName>")));
}

void tst_PrintCommand::writesOnePngPerSide()
{
    const QString png = m_dir.filePath(QStringLiteral("card.png"));
    Run run = print({m_project, "--badge", "Visitor", "--key", "17", "--side", "front", "--dpi",
                     "144", "-o", png});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QCOMPARE(QImage(png).size(), QSize(309, 488)); // portrait card at 144 dpi
}

void tst_PrintCommand::reportsWhatCannotBeUsed_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString out = m_dir.filePath(QStringLiteral("x.pdf"));
    const QString badges = m_dir.filePath(QStringLiteral("demo/Badges/"));
    QFile::copy(badges + QStringLiteral("Staff.Lyt"), badges + QStringLiteral("Moved.Lyt"));
    const QByteArray staff = fileBytes(badges + QStringLiteral("Staff.Lyt"));
    VM_VERIFY_OK(
        saveFileAtomically(badges + QStringLiteral("Foreign.Lyt"),
                           QByteArray(staff).replace("ProjectName:Demo", "ProjectName:Elsewhere")));

    const QString b = QStringLiteral("--badge"), o = QStringLiteral("-o");
    QTest::newRow("no arguments") << QStringList{} << 2 << "usage:";
    QTest::newRow("key and all") << QStringList{m_project, b,       "Staff", "--key",
                                                "1",       "--all", o,       out}
                                 << 2 << "cannot be combined";
    QTest::newRow("bad dpi") << QStringList{m_project, b, "Staff", "--dpi", "abc", o, out} << 2
                             << "--dpi";
    QTest::newRow("bad output") << QStringList{m_project, b, "Staff", o, m_dir.filePath("x.txt")}
                                << 2 << ".pdf or .png";
    QTest::newRow("no project") << QStringList{m_dir.filePath("none.Prj"), b, "Staff", o, out} << 1
                                << "Cannot use the project";
    QTest::newRow("no badge file")
        << QStringList{m_project, b, "Nothing", o, out} << 1 << "Nothing";
    QTest::newRow("another project's badge")
        << QStringList{m_project, b, "Foreign", o, out} << 1 << "Badge Not Loaded!";
    QTest::newRow("unknown record")
        << QStringList{m_project, b, "Moved", "--key", "1", "--key", "9999", o, out} << 1
        << "Record 9999: Employee has no record whose EmpNo is \u201c9999\u201d.";
}

void tst_PrintCommand::reportsWhatCannotBeUsed()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run run = print(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
}

void tst_PrintCommand::recordsThatDoNotLinkAreSkippedWithTheirReason()
{
    // Person 18's department row goes missing for this test.
    DatabaseConnection db;
    QVERIFY(db.OpenProjectDatabase(m_dir.filePath(QStringLiteral("demo/data/demo.sqlite"))));
    DatabaseConnection::Selection own =
        db.select(QStringLiteral("select DeptID from Employee where EmpNo = 18"));
    QVERIFY(own.query.next());
    const QString department = own.query.value(0).toString();
    own.query.finish();
    auto setDepartment = [&](const QString& id) {
        return db.execute(
                     QStringLiteral("update Employee set DeptID = %1 where EmpNo = 18").arg(id))
                   .outcome == DatabaseConnection::Outcome::Ok;
    };
    const auto restore = qScopeGuard([&] { QVERIFY(setDepartment(department)); });
    QVERIFY(setDepartment(QStringLiteral("99")));

    const QString pdf = m_dir.filePath(QStringLiteral("skipped.pdf"));
    Run run = print({m_project, "--badge", "Staff", "--key", "17", "--key", "18", "--key",
                     "1 OR 1=1", "-o", pdf});
    QCOMPARE(run.exitCode, 1);
    for (const char* reason :
         {"Record 18: The record \u201c18\u201d of Employee has no row in its child table "
          "Department: no Department row has DeptID \u201c99\u201d.",
          "Record 1 OR 1=1: The key \u201c1 OR 1=1\u201d is not a number; EmpNo of Employee "
          "holds numbers."})
        QVERIFY2(run.errors.contains(QString::fromUtf8(reason)), qPrintable(run.errors));
    QVERIFY2(!run.errors.contains(QStringLiteral("no such record")), qPrintable(run.errors));
    // Person 17 alone is printed, front and back.
    QVERIFY(pdfPage(pdf, 1).find(demoPerson(17).firstName));
    QVERIFY(pdfPage(pdf, 2).size.isValid());
    QVERIFY(!pdfPage(pdf, 3).size.isValid());

    // A key that would widen the statement prints nobody, not a mix of two people.
    const QString widened = m_dir.filePath(QStringLiteral("widened.pdf"));
    run = print({m_project, "--badge", "Staff", "--key", "1 OR 1=1", "-o", widened});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(QStringLiteral("\u201c1 OR 1=1\u201d is not a number")),
             qPrintable(run.errors));
    if (QFile::exists(widened)) {
        for (int page = 1; pdfPage(widened, page).size.isValid(); ++page)
            QVERIFY(pdfPage(widened, page).words.isEmpty());
    }
}

QTEST_GUILESS_MAIN(tst_PrintCommand)
#include "tst_PrintCommand.moc"
