// Invariant: vellumark-print renders exactly what the rendering windows show for each record,
// one card-sized page per side, logos lossless and photographs as JPEG; it names exactly the
// files it wrote, answers bad arguments (2) and unusable input (1) with a message instead of
// output, and a run that renders nothing leaves an earlier output as it was. Every command
// answers --help and --version without starting a window, and says nothing on standard error
// that is not about its work. A project without a companion file is read in the code page
// --codepage names; a companion's code page wins. Every badge rendered for a person is recorded
// as issued, test prints are marked and not recorded, and the record's chain is verified.
#include "badge/BadgeStore.h"
#include "common/SaveFile.h"
#include "demo/DemoProject.h"
#include "project/Database.h"
#include "support/AllKindsBadge.h"
#include "support/Commands.h"
#include "support/EngineRows.h"
#include "support/FileBytes.h"
#include "support/PdfText.h"
#include "support/Skip.h"
#include "support/StatusChecks.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace vm;
using namespace vm::test;

class tst_PrintCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rendersEveryRecordBothSides();
    void reportsWhatCannotBeUsed_data();
    void reportsWhatCannotBeUsed();
    void answersHelpAndVersionWithoutAWindow_data();
    void answersHelpAndVersionWithoutAWindow();
    void recordsThatDoNotLinkAreSkippedWithTheirReason();
    void aKeyOfTwoRecordsIsRefusedAndListedOnce();
    void aRunThatRendersNothingLeavesTheOutputAlone_data();
    void aRunThatRendersNothingLeavesTheOutputAlone();
    void namesExactlyTheFilesWritten_data();
    void namesExactlyTheFilesWritten();
    void keepsLogosLosslessAndPhotographsJpeg();
    void aLostConnectionStopsTheRun_data();
    void aLostConnectionStopsTheRun();
    void readsAProjectInTheCodePageNamed();
    void checksFittedAndConditionalFields();
    void recordsEveryBadgeIssued();

private:
    QTemporaryDir m_dir;
    QString m_project;
};

void tst_PrintCommand::initTestCase()
{
    VM_SKIP_IF(pdfToolsMissing());
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
    // Where the badge file places the fields, in twips.
    QVERIFY(front.hasWordAt(person.firstName, {1980, 860}));
    QVERIFY(front.hasWordAt(person.lastName, {1980, 1200}));
    QVERIFY(front.hasWordAt(QStringLiteral("17"), {2400, 2200}));
    QVERIFY(back.hasWordAt(person.department, {240, 960}));
    QVERIFY(!back.find(QStringLiteral("<Department.DeptName>")));
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

    // A badge cut off inside the back's first comment.
    QByteArray cut = staff.left(staff.indexOf("BACK SIDE"));
    cut += "BACK SIDE=====================\"\r\n\"TotalComments:1\"\r\n\"Comment:1\"\r\n";
    VM_VERIFY_OK(saveFileAtomically(badges + QStringLiteral("Cut.Lyt"), cut));

    // Arguments split at blanks; P is the project, O the output, D the test's folder.
    const auto row = [&](const char* name, const char* arguments, int exitCode,
                         const char* message) {
        QStringList split = QString(arguments).split(u' ', Qt::SkipEmptyParts);
        // One pass, prefix only: the temporary folder's own name may hold "D/".
        for (QString& argument : split) {
            if (argument == "P")
                argument = m_project;
            else if (argument == "O")
                argument = out;
            else if (argument.startsWith(QStringLiteral("D/")))
                argument = m_dir.filePath(argument.mid(2));
        }
        QTest::newRow(name) << split << exitCode << QString(message);
    };
    row("no arguments", "", 2, "usage:");
    row("badge named with its extension", "P --badge Staff.Lyt -o O", 0, "2 page(s) written");
    row("cut-off badge", "P --badge Cut --key 3 -o O", 1,
        "ends early: the back side is cut off at comment 1 of 1");
    row("key and all", "P --badge Staff --key 1 --all -o O", 2, "cannot be combined");
    row("bad dpi", "P --badge Staff --dpi abc -o O", 2, "--dpi");
    row("bad output", "P --badge Staff -o D/x.txt", 2, ".pdf or .png");
    row("no project", "D/none.Prj --badge Staff -o O", 1, "Cannot use the project");
    row("output folder missing", "P --badge Staff -o D/none/x.pdf", 1, "Cannot write");
    row("unknown badge", "P --badge Nothing -o O", 1, "; the project's badges are: Staff, Visitor");
    row("another project's badge", "P --badge Foreign -o O", 1, "Badge Not Loaded!");
    row("unknown record", "P --badge Moved --key 1 --key 9999 -o O", 1,
        "Record 9999: Employee has no record whose EmpNo is “9999”.");
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
}

void tst_PrintCommand::aKeyOfTwoRecordsIsRefusedAndListedOnce()
{
    // Person 19 takes person 17's number for this test, in a copy of the table without its
    // primary key.
    DatabaseConnection db;
    QVERIFY(db.OpenProjectDatabase(m_dir.filePath(QStringLiteral("demo/data/demo.sqlite"))));
    auto change = [&](const QStringList& statements) {
        for (const QString& sql : statements)
            if (db.execute(sql).outcome != DatabaseConnection::Outcome::Ok)
                return false;
        return true;
    };
    QVERIFY(change({"alter table Employee rename to EmployeeKept",
                 "create table Employee as select * from EmployeeKept",
                 "update Employee set EmpNo = 17 where EmpNo = 19"}));
    const auto restore = qScopeGuard([&] {
        QVERIFY(change({"drop table Employee", "alter table EmployeeKept rename to Employee"}));
    });
    const QString shared =
        QStringLiteral("The key \u201c17\u201d names 2 rows of Employee (their EmpNo is the same)");

    // The check lists the key once, beside every other problem; a tab or line break in a key
    // stays inside its column.
    Run run = print({m_project, "--badge", "Staff", "--check", "--all"});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.output.filter(QStringLiteral("17\t") + shared).size(), 1);
    run = print({m_project, "--badge", "Staff", "--check", "--key", "17", "--key", "a\tb\nc\\"});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.output.size(), 2);
    QVERIFY2(run.output[0].startsWith(QStringLiteral("17\t") + shared), qPrintable(run.output[0]));
    QVERIFY2(run.output[1].startsWith(QStringLiteral("a\\tb\\nc\\\\\tThe key")),
             qPrintable(run.output[1]));

    // Printing every record leaves both out and says so once; the others print.
    const QString pdf = m_dir.filePath(QStringLiteral("shared.pdf"));
    run = print({m_project, "--badge", "Staff", "--all", "-o", pdf});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errors.count(shared), 1);
    DatabaseConnection::Selection people =
        db.select(QStringLiteral("select count(*) from EmployeeKept"));
    QVERIFY(people.query.next());
    QVERIFY2(run.errors.contains(
                 QStringLiteral("%1 record(s)").arg(people.query.value(0).toInt() - 2)),
             qPrintable(run.errors));
}

void tst_PrintCommand::aRunThatRendersNothingLeavesTheOutputAlone_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("pdf") << "keep.pdf" << QStringList{};
    QTest::newRow("png") << "keep.png" << QStringList{"--side", "front", "--dpi", "72"};
}

void tst_PrintCommand::aRunThatRendersNothingLeavesTheOutputAlone()
{
    QFETCH(QString, name);
    QFETCH(QStringList, options);
    const QString folder = m_dir.filePath(QStringLiteral("keep-") + name.right(3));
    QVERIFY(QDir().mkpath(folder));
    const QString out = QDir(folder).filePath(name);
    const QStringList badge = QStringList{m_project, "--badge", "Staff"} + options;

    Run run = print(badge + QStringList{"--key", "17", "-o", out});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    const QByteArray good = fileBytes(out);
    QVERIFY(!good.isEmpty());

    run = print(badge + QStringList{"--key", "9999", "-o", out});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(QStringLiteral("Record 9999: Employee has no record")),
             qPrintable(run.errors));
    QVERIFY2(run.errors.contains(QStringLiteral("nothing was written")), qPrintable(run.errors));
    QCOMPARE(run.output, QStringList());
    QCOMPARE(fileBytes(out), good);
    QCOMPARE(filesIn(folder), QStringList{out}); // no temporary file left behind

    // Nor is a new file created.
    const QString fresh = QDir(folder).filePath(QStringLiteral("fresh.") + name.right(3));
    QCOMPARE(print(badge + QStringList{"--key", "9999", "-o", fresh}).exitCode, 1);
    QVERIFY(!QFile::exists(fresh));
}

void tst_PrintCommand::namesExactlyTheFilesWritten_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expected"); // file names, sorted
    QTest::newRow("pdf") << "cards.pdf" << QStringList{"cards.pdf"};
    // The unknown record in the middle leaves a gap in the numbers, not a file.
    QTest::newRow("png") << "cards.png"
                         << QStringList{"cards-0001-back.png", "cards-0001-front.png",
                                        "cards-0003-back.png", "cards-0003-front.png"};
}

void tst_PrintCommand::namesExactlyTheFilesWritten()
{
    QFETCH(QString, name);
    QFETCH(QStringList, expected);
    const QString folder = m_dir.filePath(QStringLiteral("names-") + name.right(3));
    QVERIFY(QDir().mkpath(folder));
    const Run run = print({m_project, "--badge", "Staff", "--key", "17", "--key", "9999", "--key",
                           "18", "--dpi", "72", "-o", QDir(folder).filePath(name)});
    QCOMPARE(run.exitCode, 1); // one record could not be rendered
    QStringList paths;
    for (const QString& file : expected)
        paths << QDir(folder).filePath(file);
    QCOMPARE(filesIn(folder), paths);
    if (name.endsWith(QLatin1String(".png"))) // the card at the resolution asked for
        QCOMPARE(QImage(paths.first()).size(), QSize(244, 155));
    QStringList reported = run.output;
    reported.sort();
    QCOMPARE(reported, paths);
}

void tst_PrintCommand::keepsLogosLosslessAndPhotographsJpeg()
{
    const QString pdf = m_dir.filePath(QStringLiteral("pictures.pdf"));
    const Run run =
        print({m_project, "--badge", "Staff", "--key", "17", "--side", "front", "-o", pdf});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    const DemoPerson person = demoPerson(17);
    QVERIFY(!person.photoSuffix.isEmpty() && !person.signSuffix.isEmpty());

    // Told apart by their shapes: the logo is square, the photograph 3:4, the signature 4:1.
    const QString demo = m_dir.filePath(QStringLiteral("demo/"));
    const QSize logo = QImage(demo + QStringLiteral("Logo/logo.png")).size();
    const QList<PdfImage> images = pdfImages(pdf);
    auto find = [&](double aspect) -> qsizetype {
        for (qsizetype i = 0; i < images.size(); ++i) {
            const QSize size = images[i].size;
            if (images[i].type == QLatin1String("image") &&
                qAbs(double(size.width()) / size.height() - aspect) < 0.05)
                return i;
        }
        return -1;
    };
    const qsizetype l = find(double(logo.width()) / logo.height());
    const qsizetype photo = find(0.75);
    const qsizetype sign = find(4.0);
    QVERIFY(l >= 0 && photo >= 0 && sign >= 0);

    QCOMPARE(images[l].size, logo);                        // as the file has it, never resampled
    QCOMPARE(images[l].encoding, QStringLiteral("image")); // flate: lossless
    QVERIFY(l + 1 < images.size());
    QCOMPARE(images[l + 1].type, QStringLiteral("smask")); // its soft edges
    QCOMPARE(images[l + 1].bitsPerComponent, 8);
    QCOMPARE(images[photo].encoding, QStringLiteral("jpeg"));
    QCOMPARE(images[sign].encoding, QStringLiteral("jpeg"));
    // Decoded no larger than printed, 1500 twips wide at 300 dpi, or the 600-pixel JPEG at half
    // its size, 4% short of that, which it decodes fastest.
    const int printed = 1500 * 300 / 1440;
    QVERIFY2(images[photo].size.width() <= printed + 1 &&
                 images[photo].size.width() >= printed * 0.95,
             qPrintable(QString::number(images[photo].size.width())));
}

void tst_PrintCommand::aLostConnectionStopsTheRun_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("print") << QStringList{"-o", "keep.pdf"};
    QTest::newRow("check") << QStringList{"--check"};
}

// The server going away mid-run (a restart, a session ended) stops the run with one message:
// no record after it is skipped one line each, and the last good output stays.
void tst_PrintCommand::aLostConnectionStopsTheRun()
{
    QFETCH(QStringList, options);
    VM_SKIP_IF(engineUnavailable(DatabaseEngine::PostgreSQL));
    ScratchDatabase scratch(DatabaseEngine::PostgreSQL);
    // Reading person 3 ends the session that reads it.
    const QString url = scratch.build({
        R"(create table "Department" ("DeptID" integer primary key, "DeptName" varchar(40),
           "Site" varchar(60), "Phone" varchar(20)))",
        R"(insert into "Department" values (1, 'Sales', 'Harbour', '1'))",
        R"(create table "People" ("EmpNo" integer primary key, "FirstName" varchar(30),
           "LastName" varchar(30), "Title" varchar(40), "DeptID" integer, "HireDate" date,
           "ValidUntil" date, "Email" varchar(80)))",
        R"(insert into "People" select n, 'First' || n, 'Last' || n, 'Clerk', 1,
           date '2020-01-01', date '2027-12-31', 'p' || n || '@example.org'
           from generate_series(1, 6) n)",
        R"(create function ends_session(n integer, name text) returns text language plpgsql
           as $$ begin if n = 3 then perform pg_terminate_backend(pg_backend_pid()); end if;
           return name; end $$)",
        R"(create view "Employee" as select "EmpNo", ends_session("EmpNo", "FirstName") as
           "FirstName", "LastName", "Title", "DeptID", "HireDate", "ValidUntil", "Email"
           from "People")",
    });
    QVERIFY2(!url.isEmpty(), qPrintable(scratch.error));
    const QString folder = m_dir.filePath(QStringLiteral("lost-") + QTest::currentDataTag());
    const QString project = folder + QStringLiteral("/data/Demo.Prj");
    QCOMPARE(runCommand(QStringLiteral(VELLUMARK_DEMO), {folder, "--people", "6"}).exitCode, 0);
    const QByteArray sqlite = QFile::encodeName(folder + QStringLiteral("/data/demo.sqlite"));
    for (const QString& file : {project, folder + QStringLiteral("/Badges/Staff.Lyt")})
        VM_VERIFY_OK(saveFileAtomically(file, fileBytes(file).replace(sqlite, url.toUtf8())));

    for (QString& option : options)
        if (option == QLatin1String("keep.pdf"))
            option = QDir(folder).filePath(option);
    const QString pdf = QDir(folder).filePath(QStringLiteral("keep.pdf"));
    VM_VERIFY_OK(saveFileAtomically(pdf, "an earlier run's output"));
    const Run run = print(QStringList{project, "--badge", "Staff", "--jobs", "1", "--key", "1",
                                      "--key", "2", "--key", "3", "--key", "4", "--key", "5"} +
                          options);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(QStringLiteral("The connection to the database was lost while "
                                                "linking the record \u201c3\u201d")),
             qPrintable(run.errors));
    QVERIFY2(!run.errors.contains(QLatin1String("Record 4")), qPrintable(run.errors));
    QCOMPARE(run.output, QStringList());
    QCOMPARE(fileBytes(pdf), QByteArray("an earlier run's output"));
}

void tst_PrintCommand::readsAProjectInTheCodePageNamed()
{
    const QString badges = m_dir.filePath(QStringLiteral("demo/Badges/"));
    // "Пропуск" in Windows-1251, as a Cyrillic station wrote it.
    VM_VERIFY_OK(saveFileAtomically(
        badges + QStringLiteral("Cyrillic.Lyt"),
        fileBytes(badges + QStringLiteral("Staff.Lyt"))
            .replace("Staff identity card", "\xcf\xf0\xee\xef\xf3\xf1\xea")));
    const QString pdf = m_dir.filePath(QStringLiteral("cyrillic.pdf"));
    const Run run = print({m_project, "--badge", "Cyrillic", "--key", "3", "--side", "front",
                           "--codepage", "cp1251", "-o", pdf});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QVERIFY(pdfPage(pdf, 1).find(QStringLiteral("Пропуск")));

    const Run unknown = print({m_project, "--badge", "Cyrillic", "--codepage", "cp932", "-o", pdf});
    QCOMPARE(unknown.exitCode, 2);
    QVERIFY2(unknown.errors.contains(QStringLiteral("--codepage must be one of utf-8, cp1250")),
             qPrintable(unknown.errors));

    // The project says UTF-8 beside it: that wins, and the badge is refused where it does not fit.
    const QString companion = m_project + QStringLiteral(".json");
    VM_VERIFY_OK(saveFileAtomically(
        companion, R"({"format": "vellumark-project", "version": 1, "textCodePage": "UTF-8"})"));
    const auto removeCompanion = qScopeGuard([&] { QFile::remove(companion); });
    const Run refused = print({m_project, "--badge", "Cyrillic", "--key", "3", "--codepage",
                               "cp1251", "-o", pdf});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.errors.contains(QStringLiteral("Cyrillic.Lyt is not written in UTF-8: line")),
             qPrintable(refused.errors));
}

void tst_PrintCommand::answersHelpAndVersionWithoutAWindow_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("name");
    QTest::newRow("vellumark") << VELLUMARK_GUI << "vellumark";
    QTest::newRow("vellumark-print") << VELLUMARK_PRINT << "vellumark-print";
    QTest::newRow("vellumark-demo") << VELLUMARK_DEMO << "vellumark-demo";
}

void tst_PrintCommand::answersHelpAndVersionWithoutAWindow()
{
    QFETCH(QString, program);
    QFETCH(QString, name);
    // Without a display or a platform a window could not even be made.
    const QProcessEnvironment unset =
        environmentWithout({"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"});
    const Run help = runCommand(program, {QStringLiteral("--help")}, unset);
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.output.value(0).startsWith(QStringLiteral("usage: ") + name),
             qPrintable(help.output.join(QLatin1Char('\n'))));
    QCOMPARE(help.errors, QString());
    const Run version = runCommand(program, {QStringLiteral("--version")}, unset);
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.output, QStringList{name + QStringLiteral(" " VELLUMARK_VERSION)});
    QCOMPARE(version.errors, QString());

    if (name == QLatin1String("vellumark-print")) {
        // A run without XDG_RUNTIME_DIR says what it did and nothing else.
        const QString pdf = m_dir.filePath(QStringLiteral("quiet.pdf"));
        const Run run = runCommand(program, {m_project, "--badge", "Visitor", "-o", pdf}, unset);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.errors, QStringLiteral("vellumark-print: 0 record(s), 2 page(s) written to ") +
                                 pdf + QLatin1Char('\n'));
    }
    if (name == QLatin1String("vellumark")) {
        const Run unknown = runCommand(program, {QStringLiteral("--frobnicate")});
        QCOMPARE(unknown.exitCode, 2);
        QVERIFY2(unknown.errors.contains(QStringLiteral("unknown option: --frobnicate")),
                 qPrintable(unknown.errors));
    }
}

// A badge whose last name is shrunk into a narrow frame, whose department hangs on a column the
// records lack and whose codes some values break: the check, reading the badge's companion, names
// each person whose name is shortened, the condition it cannot decide, and each code that cannot
// print with its reason, and no one else.
void tst_PrintCommand::checksFittedAndConditionalFields()
{
    const QString dir = m_dir.filePath(QStringLiteral("demo/Badges/"));
    const QString demoDatabase = m_dir.filePath(QStringLiteral("demo/data/demo.sqlite"));
    const OpenedBadge opened = openBadge(dir + QStringLiteral("Staff.Lyt"), QStringLiteral("Demo"),
                                         demoDatabase, FieldTagRule::TableAndColumn);
    QCOMPARE(opened.read.status, LoadStatus::Loaded);
    BadgeLayout badge{QStringLiteral("Fitted"), QStringLiteral("Demo"), demoDatabase,
                      opened.read.orientation,  opened.read.front,      opened.read.back};
    QRectF nameFrame;
    for (auto& [index, field] : badge.front.lblField) {
        if (field.Caption == QLatin1String("<Employee.LastName>")) {
            field.Width = 1500;
            field.fit.mode = FitMode::Shrink;
            field.fit.minimumSize = 12;
            nameFrame = field.frame();
        } else if (field.Caption == QLatin1String("<Department.DeptName>")) {
            field.format.hideWhen = {ConditionTest::Empty, QStringLiteral("Employee.Left"), {}};
        }
    }
    QVERIFY(nameFrame.isValid());
    // Codes a value can break: EAN-13 of a column that holds digits for all but one person, and
    // a Code 128 of the last name in a frame only short names fit at the smallest module.
    auto addCode = [&](const QString& column, Symbology symbology, QRectF frame) {
        Field& code = badge.front.lblField.at(badge.front.addField());
        place(code, frame);
        code.Caption = QLatin1Char('<') + column + QLatin1Char('>');
        code.Tag = column;
        code.barcode = Barcode{symbology, false, true, 0, 0};
    };
    addCode(QStringLiteral("Employee.Email"), Symbology::Ean13, {100, 2300, 2400, 700});
    addCode(QStringLiteral("Employee.LastName"), Symbology::Code128, {2600, 2300, 1500, 700});
    VM_VERIFY_OK(saveBadge(dir, dir + QStringLiteral("Fitted.Lyt"), badge, false));
    constexpr int Lettered = 7;
    // The people as the other tests know them afterwards.
    const QString kept = demoDatabase + QStringLiteral(".kept");
    QVERIFY(QFile::copy(demoDatabase, kept));
    const auto restore = qScopeGuard([&] {
        QFile::remove(demoDatabase);
        QFile::rename(kept, demoDatabase);
    });
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("codes"));
        db.setDatabaseName(demoDatabase);
        QVERIFY(db.open());
        QSqlQuery digits(db);
        QVERIFY(digits.exec(QStringLiteral("UPDATE Employee SET Email = printf('4%011d', EmpNo) "
                                           "WHERE EmpNo <> ") +
                            QString::number(Lettered)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("codes"));

    // The longest and the shortest last names of the demo's people.
    DemoPerson longest = demoPerson(1), shortest = demoPerson(1);
    for (int i = 2; i <= 200; ++i) {
        const DemoPerson p = demoPerson(i);
        if (p.lastName.size() > longest.lastName.size())
            longest = p;
        if (p.lastName.size() < shortest.lastName.size())
            shortest = p;
    }
    const Run check = print({m_project, "--badge", "Fitted", "--check", "--all"});
    QCOMPARE(check.exitCode, 3);
    auto problemsOf = [&](const DemoPerson& p, const QString& what) {
        return std::count_if(check.output.begin(), check.output.end(), [&](const QString& line) {
            return line.startsWith(QString::number(p.empNo) + u'\t') && line.contains(what);
        });
    };
    QCOMPARE(problemsOf(longest, QStringLiteral("front: <Employee.LastName> \"") +
                                     longest.lastName.left(20)),
             1);
    QCOMPARE(problemsOf(shortest, QStringLiteral("<Employee.LastName>")), 0);
    QCOMPARE(problemsOf(shortest, QStringLiteral("<Department.DeptName> is shown although its "
                                                 "condition \"Employee.Left is empty\" names "
                                                 "the column Employee.Left")),
             1);

    const QString ean = QStringLiteral("The barcode <Employee.Email> cannot print: EAN-13 holds 12 "
                                       "digits");
    const QString code128 = QStringLiteral("The barcode <Employee.LastName> cannot print: the code "
                                           "of \"") + longest.lastName + u'"';
    QCOMPARE(problemsOf(demoPerson(Lettered), ean), 1);
    QCOMPARE(problemsOf(longest, code128), 1);
    QCOMPARE(problemsOf(shortest, QStringLiteral("The barcode")), 0);
    // Only the one person's value is refused; the Staff badge's own code of the key prints for all.
    QCOMPARE(check.output.filter(QStringLiteral("<Employee.Email>")).size(), 1);
    QCOMPARE(check.output.filter(QStringLiteral("<Employee.EmpNo>")).size(), 0);
}

void tst_PrintCommand::recordsEveryBadgeIssued()
{
    QTemporaryDir dir;
    QVERIFY(runCommand(QStringLiteral(VELLUMARK_DEMO), {dir.filePath("demo")}).exitCode == 0);
    const QString project = dir.filePath("demo/data/Demo.Prj");
    const QString out = dir.filePath("out.pdf");
    auto printed = [&](QStringList arguments, int exitCode = 0) {
        const Run run = print(QStringList{project, "--badge", "Staff", "-o", out} + arguments);
        if (run.exitCode != exitCode)
            qWarning("%s", qPrintable(run.errors));
        return run.exitCode == exitCode;
    };
    // The record's lines as KEY:REASON, header first.
    auto record = [&](QStringList arguments = {}) {
        const Run run = print(QStringList{project, "--record"} + arguments);
        QStringList lines;
        for (const QString& line : run.output) {
            const QStringList fields = line.split('\t');
            lines << (fields.size() == 10 ? fields[2] + ':' + fields[5] : line);
        }
        return run.exitCode == 0 ? lines : QStringList{run.errors};
    };
    // The mark's red, which the demo badge does not use.
    auto markPixels = [&] {
        const QImage page = pdfPageImage(out, 1, 50);
        int red = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                red += c.red() > 150 && c.green() < 110 && c.blue() < 110;
            }
        return red;
    };
    const QString header = "key:reason";

    QVERIFY(printed({"--key", "3", "--key", "4"}));
    QCOMPARE(markPixels(), 0);
    QVERIFY(printed({"--key", "3", "--reason", "replacement"}));
    // A test print: marked on every card, recorded nowhere.
    QVERIFY(printed({"--key", "5", "--no-record", "--side", "front"}));
    QVERIFY(markPixels() > 100);
    QCOMPARE(record(), QStringList({header, "3:first issue", "4:first issue", "3:replacement"}));

    // Only those never printed, then only those whose badge changed since.
    QVERIFY(printed({"--key", "3", "--key", "5", "--not-printed"}));
    DatabaseConnection db;
    QVERIFY(db.OpenProjectDatabase(dir.filePath("demo/data/demo.sqlite")));
    QVERIFY(db.execute("update Employee set LastName = 'Other' where EmpNo = 4").error.isEmpty());
    QVERIFY(printed({"--changed-since-printed"}));
    QCOMPARE(record({"--key", "4"}), QStringList({header, "4:first issue", "4:reprint"}));
    QCOMPARE(record({"--since", "2999-01-01"}), QStringList{header});
    QCOMPARE(record().mid(4), QStringList({"5:first issue", "4:reprint"}));

    // The chain is whole until an entry is changed behind the program's back.
    QCOMPARE(print({project, "--verify-record"}).exitCode, 0);
    QVERIFY(db.execute("drop trigger vellumark_issued_kept").error.isEmpty());
    QVERIFY(db.execute("update vellumark_issued set person_key = '9' where number = 2")
                .error.isEmpty());
    const Run broken = print({project, "--verify-record"});
    QCOMPARE(broken.exitCode, 4);
    QVERIFY2(broken.output.join('\n').contains("at entry 2"), qPrintable(broken.output.join('\n')));

    QVERIFY(printed({"--key", "3", "--reason", "first-issue"}, 2));
    QVERIFY(printed({"--key", "3", "--since", "2026-01-01"}, 2));
}

QTEST_GUILESS_MAIN(tst_PrintCommand)
#include "tst_PrintCommand.moc"
