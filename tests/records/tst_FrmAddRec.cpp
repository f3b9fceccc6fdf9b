// Invariant: what the operator types into "Edit Table" reaches the master table when saved and
// is never lost when the database refuses it: the row keeps what was typed, the engine's reason
// is shown, and a row changed at another station meanwhile is not overwritten unseen. An Access
// database is never offered for editing.
#include "project/ProjectSettings.h"
#include "records/FrmAddRec.h"
#include "records/MasterTableModel.h"
#include "support/EngineRows.h"
#include "support/Samples.h"
#include "support/ScriptedDialogs.h"
#include "support/Skip.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QUrl>

using namespace vm;
using namespace vm::test;

namespace {

const QStringList Staff = {
    R"(create table "Staff" ("StaffID" integer primary key not null, "Name" varchar(30) not null,
       "DeptNo" integer, "Note" varchar(40)))",
    R"(insert into "Staff" values (1, 'Ada', 10, null), (2, 'Bob', 20, 'night'))",
};

enum Column { StaffID, Name, DeptNo, Note };

// The table as the database holds it now, one "id|name|dept|note" line a row, by id.
QStringList tableRows(DatabaseConnection& db)
{
    QStringList rows;
    auto all = db.select(R"(select * from [Staff] order by [StaffID])");
    while (all.query.next()) {
        QStringList cells;
        for (int c = 0; c < 4; ++c)
            cells << (all.query.isNull(c) ? QStringLiteral("<null>")
                                          : all.query.value(c).toString());
        rows << cells.join(u'|');
    }
    return rows;
}

int rowOf(const FrmAddRec& window, const QString& id)
{
    const QAbstractItemModel* model = window.dtGrid1->model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, StaffID).data().toString() == id)
            return row;
    return -1;
}

// Types into a cell as the operator does: the editor opens, the text replaces the old one and
// Enter closes it.
void type(FrmAddRec& window, int row, int column, const QString& text)
{
    QTableView* grid = window.dtGrid1;
    const QModelIndex index = grid->model()->index(row, column);
    grid->setCurrentIndex(index);
    grid->edit(index);
    QLineEdit* editor = nullptr; // closed editors linger until deleted later
    for (QLineEdit* open : grid->viewport()->findChildren<QLineEdit*>())
        if (open->isVisible())
            editor = open;
    QVERIFY(editor);
    editor->selectAll();
    editor->insert(text); // keyClicks takes Latin-1 only
    QTest::keyClick(editor, Qt::Key_Return);
}

QString shown(const FrmAddRec& window, int row, int column)
{
    return window.dtGrid1->model()->index(row, column).data().toString();
}

} // namespace

class tst_FrmAddRec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void addsChangesAndDeletesRows_data() { addEngineRows(); }
    void addsChangesAndDeletesRows();
    void refusedRowsKeepWhatWasTyped_data();
    void refusedRowsKeepWhatWasTyped();
    void chosenRecordSurvivesSaves_data() { addEngineRows(); }
    void chosenRecordSurvivesSaves();
    void closingAsksAboutPendingEdits_data();
    void closingAsksAboutPendingEdits();
    void changesOfAnotherStationAreNotOverwritten_data() { addEngineRows(); }
    void changesOfAnotherStationAreNotOverwritten();
    void savesAgainOnceTheServerIsBack();
    void accessDatabaseIsReadOnly();

private:
    std::unique_ptr<ScratchDatabase> openStaff(DatabaseEngine engine);

    ScriptedDialogs m_dialogs;
};

void tst_FrmAddRec::init()
{
    ProjectSettings::instance().reset();
    m_dialogs.clear();
}

std::unique_ptr<ScratchDatabase> tst_FrmAddRec::openStaff(DatabaseEngine engine)
{
    auto scratch = std::make_unique<ScratchDatabase>(engine);
    const QString path = scratch->build(Staff);
    if (path.isEmpty())
        qWarning("%s", qPrintable(scratch->error));
    ProjectSettings& project = ProjectSettings::instance();
    project.DatabasePath = path;
    project.MasterTable = QStringLiteral("Staff");
    project.UniqueField = QStringLiteral("StaffID");
    return path.isEmpty() ? nullptr : std::move(scratch);
}

#define OPEN_STAFF(scratch)                                                                        \
    QFETCH(DatabaseEngine, engine);                                                                \
    VM_SKIP_IF(engineUnavailable(engine));                                                         \
    const auto scratch = openStaff(engine);                                                        \
    QVERIFY(scratch)

void tst_FrmAddRec::addsChangesAndDeletesRows()
{
    OPEN_STAFF(scratch);
    FrmAddRec window(m_dialogs);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Edit Table"));
    QCOMPARE(window.lblMasterTbl->text(), QStringLiteral("Table:Staff"));
    QVERIFY(!window.isReadOnly() && window.cmdSave->isEnabled());
    QSignalSpy changed(&window, &FrmAddRec::tableChanged);

    window.cmdAdd->click();
    const int added = window.dtGrid1->model()->rowCount() - 1;
    QCOMPARE(added, 2);
    type(window, added, StaffID, "3");
    type(window, added, Name, "Chloé");
    type(window, added, DeptNo, "30");
    type(window, rowOf(window, "1"), Name, "Ada Lovelace");
    type(window, rowOf(window, "2"), Note, ""); // emptied: stored as null
    window.cmdSave->click();
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(tableRows(scratch->connection()),
             QStringList({"1|Ada Lovelace|10|<null>", "2|Bob|20|<null>", "3|Chloé|30|<null>"}));

    // Deleting asks first; No keeps the row.
    window.dtGrid1->setCurrentIndex(window.dtGrid1->model()->index(rowOf(window, "2"), Name));
    m_dialogs.answers = {MessageAnswer::No};
    window.cmdDelete->click();
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages[0].text, QStringLiteral("Are you sure to delete selected record?"));
    QCOMPARE(m_dialogs.messages[0].buttons, MessageButtons::YesNo);
    QCOMPARE(tableRows(scratch->connection()).size(), 3);

    m_dialogs.answers = {MessageAnswer::Yes};
    window.cmdDelete->click();
    QCOMPARE(m_dialogs.messages.size(), 2);
    QCOMPARE(tableRows(scratch->connection()),
             QStringList({"1|Ada Lovelace|10|<null>", "3|Chloé|30|<null>"}));
    QCOMPARE(rowOf(window, "2"), -1);
    QCOMPARE(changed.size(), 2);
}

void tst_FrmAddRec::refusedRowsKeepWhatWasTyped_data()
{
    QTest::addColumn<DatabaseEngine>("engine");
    QTest::addColumn<bool>("newRow"); // typed into a new row, else into Ada's
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("fix");
    QTest::addColumn<QStringList>("reasons"); // the engine's words, any one of them
    for (DatabaseEngine engine : {DatabaseEngine::SQLite, DatabaseEngine::PostgreSQL}) {
        const char* tag = engine == DatabaseEngine::SQLite ? "SQLite" : "PostgreSQL";
        const QStringList duplicate = {"UNIQUE constraint failed", "duplicate key value"};
        const QStringList notNull = {"NOT NULL constraint failed", "null value in column"};
        const auto row = [&](const char* name, bool added, Column column, const char* typed,
                             const char* fix, const QStringList& reasons) {
            QTest::addRow("%s: %s", tag, name)
                << engine << added << int(column) << QString(typed) << QString(fix) << reasons;
        };
        row("duplicate key", true, StaffID, "1", "7", duplicate);
        row("key changed to another's", false, StaffID, "2", "8", duplicate);
        row("null where required", false, Name, "", "Ada B.", notNull);
        row("text in a number column", false, DeptNo, "ten", "11",
            {"“ten” is not a number, and the column DeptNo holds numbers"});
    }
}

void tst_FrmAddRec::refusedRowsKeepWhatWasTyped()
{
    QFETCH(bool, newRow);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, fix);
    QFETCH(QStringList, reasons);
    OPEN_STAFF(scratch);
    FrmAddRec window(m_dialogs);
    window.show();
    const QStringList before = tableRows(scratch->connection());
    int row = rowOf(window, "1");
    if (newRow) {
        window.cmdAdd->click();
        row = window.dtGrid1->model()->rowCount() - 1;
        type(window, row, Name, "Dora");
    }
    type(window, row, column, typed);
    window.cmdSave->click();

    QCOMPARE(m_dialogs.messages.size(), 1);
    const QString said = m_dialogs.messages.first().text;
    QVERIFY2(std::any_of(reasons.begin(), reasons.end(),
                         [&](const QString& r) { return said.contains(r); }),
             qPrintable(said));
    QCOMPARE(tableRows(scratch->connection()), before);
    QCOMPARE(shown(window, row, column), typed);
    if (newRow)
        QCOMPARE(shown(window, row, Name), QStringLiteral("Dora"));

    type(window, row, column, fix); // corrected, the same row goes in
    window.cmdSave->click();
    QCOMPARE(m_dialogs.messages.size(), 1);
    const QStringList after = tableRows(scratch->connection());
    QCOMPARE(after.size(), before.size() + (newRow ? 1 : 0));
    QVERIFY2(after.join('\n').contains(fix), qPrintable(after.join('\n')));
}

// A save re-reads the table: a changed key moves Ada to the end, so row numbers taken before it
// name another person after it.
void tst_FrmAddRec::chosenRecordSurvivesSaves()
{
    OPEN_STAFF(scratch);
    DatabaseConnection& station = scratch->connection();
    QVERIFY(station
                .execute(R"(insert into [Staff] values (3, 'Cy', 30, null),
        (4, 'Di', 40, null), (5, 'Ed', 50, null), (6, 'Fay', 60, null))")
                .outcome == DatabaseConnection::Outcome::Ok);
    FrmAddRec window(m_dialogs);
    window.show();
    QTableView* grid = window.dtGrid1;

    // Moving to another row writes the row left; the grid stays on the person moved to.
    type(window, rowOf(window, "1"), StaffID, "9");
    grid->setCurrentIndex(grid->model()->index(rowOf(window, "4"), Name));
    QTRY_COMPARE(tableRows(station).last(), QStringLiteral("9|Ada|10|<null>"));
    QCOMPARE(shown(window, grid->currentIndex().row(), StaffID), QStringLiteral("4"));

    // Deleting with an edit pending elsewhere deletes the person chosen.
    type(window, rowOf(window, "9"), StaffID, "1");
    grid->setCurrentIndex(grid->model()->index(rowOf(window, "5"), Name));
    m_dialogs.answers = {MessageAnswer::Yes};
    window.cmdDelete->click();
    QVERIFY2(m_dialogs.messages.size() == 1, qPrintable(m_dialogs.messageTexts().join('\n')));
    QCOMPARE(tableRows(station), QStringList({"1|Ada|10|<null>", "2|Bob|20|night", "3|Cy|30|<null>",
                                              "4|Di|40|<null>", "6|Fay|60|<null>"}));

    // An empty new row is said to be left out, in words; nothing reaches the table.
    window.cmdAdd->click();
    window.cmdSave->click();
    QCOMPARE(m_dialogs.messages.size(), 2);
    QCOMPARE(m_dialogs.messages.last().text,
             QStringLiteral("Nothing was typed into the new record, so it was not saved."));
    QCOMPARE(tableRows(station).size(), 5);
    QCOMPARE(grid->model()->rowCount(), 5);
}

void tst_FrmAddRec::closingAsksAboutPendingEdits_data()
{
    QTest::addColumn<DatabaseEngine>("engine");
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("stored");
    for (DatabaseEngine engine : {DatabaseEngine::SQLite, DatabaseEngine::PostgreSQL}) {
        const char* tag = engine == DatabaseEngine::SQLite ? "SQLite" : "PostgreSQL";
        QTest::addRow("%s: save", tag) << engine << MessageAnswer::Yes << true << "Ada B.";
        QTest::addRow("%s: discard", tag) << engine << MessageAnswer::No << true << "Ada";
        QTest::addRow("%s: cancel", tag) << engine << MessageAnswer::Cancel << false << "Ada";
    }
}

void tst_FrmAddRec::closingAsksAboutPendingEdits()
{
    QFETCH(MessageAnswer, answer);
    QFETCH(bool, closed);
    QFETCH(QString, stored);
    OPEN_STAFF(scratch);
    FrmAddRec window(m_dialogs);
    window.show();
    type(window, rowOf(window, "1"), Name, "Ada B.");
    m_dialogs.answers = {answer};
    QCOMPARE(window.close(), closed);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages[0].buttons, MessageButtons::YesNoCancel);
    QCOMPARE(tableRows(scratch->connection()).at(0).section('|', 1, 1), stored);
    if (!closed) // still pending: the next close asks again
        QVERIFY(window.tableModel()->isDirty());
}

void tst_FrmAddRec::changesOfAnotherStationAreNotOverwritten()
{
    OPEN_STAFF(scratch);
    FrmAddRec window(m_dialogs);
    window.show();
    DatabaseConnection& station = scratch->connection();
    auto elsewhere = [&](const QString& sql) {
        const auto done = station.execute(sql);
        QVERIFY2(done.outcome == DatabaseConnection::Outcome::Ok, qPrintable(done.error));
    };

    // Another column changed elsewhere: both changes stay.
    elsewhere(R"(update [Staff] set [Note] = 'day' where [StaffID] = 2)");
    type(window, rowOf(window, "2"), Name, "Bob B.");
    window.cmdSave->click();
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messageTexts().join('\n')));
    QCOMPARE(tableRows(station).at(1), QStringLiteral("2|Bob B.|20|day"));

    // The same column: said, theirs kept, ours still in the grid; saving again writes ours.
    elsewhere(R"(update [Staff] set [Name] = 'Ada (HR)' where [StaffID] = 1)");
    type(window, rowOf(window, "1"), Name, "Ada L.");
    window.cmdSave->click();
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages.first().text.contains(QLatin1String("another station has changed")),
             qPrintable(m_dialogs.messages.first().text));
    QCOMPARE(tableRows(station).at(0), QStringLiteral("1|Ada (HR)|10|<null>"));
    QCOMPARE(shown(window, rowOf(window, "1"), Name), QStringLiteral("Ada L."));
    window.cmdSave->click();
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(tableRows(station).at(0), QStringLiteral("1|Ada L.|10|<null>"));

    // Deleted elsewhere: nothing is written, what was typed stays.
    elsewhere(R"(delete from [Staff] where [StaffID] = 2)");
    type(window, rowOf(window, "2"), Name, "Bob C.");
    window.cmdSave->click();
    QCOMPARE(m_dialogs.messages.size(), 2);
    QVERIFY2(m_dialogs.messages.last().text.contains(QLatin1String("has deleted it")),
             qPrintable(m_dialogs.messages.last().text));
    QCOMPARE(shown(window, rowOf(window, "2"), Name), QStringLiteral("Bob C."));
    QCOMPARE(tableRows(station).size(), 1);
}

// The server going away under the window (a restart) loses nothing typed: a save while it is
// gone says so and keeps the grid, a save once it is back writes it, on the window's own.
void tst_FrmAddRec::savesAgainOnceTheServerIsBack()
{
    VM_SKIP_IF(engineUnavailable(DatabaseEngine::PostgreSQL));
    DatabaseConnection admin;
    QVERIFY2(admin.OpenProjectDatabase(postgresUrl()), qPrintable(admin.errorText()));
    const QString name = QStringLiteral("vm_reconnect_%1").arg(QCoreApplication::applicationPid());
    auto run = [&](const QString& sql) {
        const auto done = admin.execute(sql.arg(name));
        QVERIFY2(done.outcome == DatabaseConnection::Outcome::Ok, qPrintable(done.error));
    };
    run(QStringLiteral("drop database if exists %1 with (force)"));
    run(QStringLiteral("create database %1"));
    const auto dropped = qScopeGuard([&] { run(QStringLiteral("drop database %1 with (force)")); });
    QUrl url(postgresUrl());
    url.setPath(QLatin1Char('/') + name);
    ProjectSettings& project = ProjectSettings::instance();
    project.DatabasePath = url.toString();
    project.MasterTable = QStringLiteral("Staff");
    project.UniqueField = QStringLiteral("StaffID");
    DatabaseConnection station;
    QVERIFY2(station.OpenProjectDatabase(project.DatabasePath), qPrintable(station.errorText()));
    for (const QString& statement : Staff)
        QVERIFY(station.execute(statement).outcome == DatabaseConnection::Outcome::Ok);
    station.close();

    FrmAddRec window(m_dialogs);
    window.show();
    auto serverGone = [&](bool back) {
        run(QStringLiteral("alter database %1 allow_connections ") + (back ? "true" : "false"));
        run(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity "
                           "where datname = '%1'"));
    };
    type(window, rowOf(window, "1"), Name, "Ada B.");
    serverGone(false);
    window.cmdSave->click();
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages[0].text.contains(QLatin1String("cannot be made again")) &&
                 m_dialogs.messages[0].text.contains(QLatin1String("What you typed is kept")),
             qPrintable(m_dialogs.messages[0].text));
    QCOMPARE(shown(window, rowOf(window, "1"), Name), QStringLiteral("Ada B."));

    serverGone(true);
    window.cmdSave->click();
    type(window, rowOf(window, "2"), Name, "Bob B.");
    serverGone(true); // a restart between two saves: connected again without a word
    window.cmdSave->click();
    QVERIFY2(m_dialogs.messages.size() == 1, qPrintable(m_dialogs.messageTexts().join('\n')));
    QVERIFY(station.OpenProjectDatabase(project.DatabasePath));
    QCOMPARE(tableRows(station), QStringList({"1|Ada B.|10|<null>", "2|Bob B.|20|night"}));
}

void tst_FrmAddRec::accessDatabaseIsReadOnly()
{
    VM_SKIP_IF(missingSample(QStringLiteral("northwind-jet4.mdb")));
    ProjectSettings& project = ProjectSettings::instance();
    project.DatabasePath = samplePath(QStringLiteral("northwind-jet4.mdb"));
    project.MasterTable = QStringLiteral("Employees");
    project.UniqueField = QStringLiteral("EmployeeID");
    FrmAddRec window(m_dialogs);
    window.show();
    QVERIFY(window.isReadOnly());
    QCOMPARE(window.dtGrid1->model()->rowCount(), 9);
    for (QPushButton* button : {window.cmdAdd, window.cmdDelete, window.cmdSave})
        QVERIFY(!button->isEnabled());
    QCOMPARE(window.dtGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
    auto* notice = window.findChild<QLabel*>(QStringLiteral("lblNotice"));
    QVERIFY(notice && notice->isVisible() && notice->text().contains(QLatin1String("read-only")));
    QVERIFY(m_dialogs.messages.isEmpty());
}

QTEST_MAIN(tst_FrmAddRec)
#include "tst_FrmAddRec.moc"
