// Invariant: several stations on one database never see a stale person. A row changed or
// deleted at another station is learnt of without reading the table again; of the people asked
// for one after another only the last is delivered, however slow the server; and closing never
// waits for a server that holds a read up.
#include "project/ProjectSettings.h"
#include "records/RecordChangeWatch.h"
#include "records/RecordLinkWorker.h"
#include "records/RecordListModel.h"
#include "support/EngineRows.h"
#include "support/Skip.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

using namespace vm;
using namespace vm::test;

namespace {

const QStringList People = {
    R"(create table "Staff" ("ID" integer, "Name" varchar(30)))",
    R"(insert into "Staff" values (1, 'Ada'), (2, 'Bob'), (3, 'Cy'))",
};

StoredSettings staffProject(const QString& path)
{
    StoredSettings project;
    project.DatabasePath = path;
    project.MasterTable = QStringLiteral("Staff");
    project.UniqueField = QStringLiteral("ID");
    return project;
}

// Holds every reader of Staff up until released: how a busy server looks to a station.
class TableHeld {
public:
    explicit TableHeld(DatabaseConnection& other)
        : m_other(other)
    {
        QVERIFY(m_other.database().transaction());
        QCOMPARE(m_other.execute(R"(lock table "Staff" in access exclusive mode)").error,
                 QString());
    }
    ~TableHeld() { m_other.database().rollback(); }

private:
    DatabaseConnection& m_other;
};

} // namespace

class tst_Stations : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsChangedElsewhereAreLearnt_data() { addEngineRows(); }
    void rowsChangedElsewhereAreLearnt();
    void theLastPersonAskedForWinsAndClosingDoesNotWait();
};

void tst_Stations::rowsChangedElsewhereAreLearnt()
{
    QFETCH(DatabaseEngine, engine);
    VM_SKIP_IF(engineUnavailable(engine));
    ScratchDatabase scratch(engine);
    const QString path = scratch.build(People);
    QVERIFY2(!path.isEmpty(), qPrintable(scratch.error));
    DatabaseConnection station;
    QVERIFY(station.OpenProjectDatabase(path));
    RecordChangeWatch watch(station, QStringLiteral("Staff"), QStringLiteral("ID"));
    QCOMPARE(watch.start(), QString());
    QCOMPARE(watch.isLive(), engine == DatabaseEngine::PostgreSQL);
    QSignalSpy changed(&watch, &RecordChangeWatch::rowChanged);

    DatabaseConnection& other = scratch.connection();
    for (const char* change :
         {R"(update "Staff" set "Name" = 'Adele' where "ID" = 1)",
          R"(delete from "Staff" where "ID" = 2)", R"(update "Staff" set "ID" = 4 where "ID" = 3)"})
        QCOMPARE(other.execute(QString::fromLatin1(change)).error, QString());

    if (engine == DatabaseEngine::SQLite) {
        QCOMPARE(watch.changedSinceLastCheck(), std::optional<bool>(true));
        QCOMPARE(watch.changedSinceLastCheck(), std::optional<bool>(false));
        return;
    }
    QTRY_COMPARE(changed.size(), 4);
    QList<QPair<QString, bool>> said;
    for (const QList<QVariant>& signal : changed)
        said << qMakePair(signal.at(0).toString(), signal.at(1).toBool());
    const QList<QPair<QString, bool>> expected = {
        {"1", false}, {"2", true}, {"3", true}, {"4", false}};
    QCOMPARE(said, expected);

    // A second station finds the trigger made and listens too.
    DatabaseConnection second;
    QVERIFY(second.OpenProjectDatabase(path));
    RecordChangeWatch again(second, QStringLiteral("Staff"), QStringLiteral("ID"));
    QCOMPARE(again.start(), QString());
    QSignalSpy heard(&again, &RecordChangeWatch::rowChanged);
    QCOMPARE(other.execute(R"(update "Staff" set "Name" = 'Ada' where "ID" = 1)").error, QString());
    QTRY_COMPARE(heard.size(), 1);

    // A role that may not make the trigger is told why, and its check still finds changes.
    QCOMPARE(other
                 .execute(R"(do $$ begin execute format('grant usage on schema %I to
             vellumark_pw', current_schema()); end $$)")
                 .error,
             QString());
    QCOMPARE(other.execute(R"(grant select on "Staff" to vellumark_pw)").error, QString());
    QUrl limitedUrl(path);
    limitedUrl.setUserName(QStringLiteral("vellumark_pw"));
    limitedUrl.setPassword(PasswordRoleSecret);
    DatabaseConnection limited;
    QVERIFY2(limited.OpenProjectDatabase(limitedUrl.toString()), qPrintable(limited.errorText()));
    RecordChangeWatch checking(limited, QStringLiteral("Other"), QStringLiteral("ID"));
    QCOMPARE(other.execute(R"(create table "Other" ("ID" integer))").error, QString());
    QCOMPARE(other.execute(R"(grant select on "Other" to vellumark_pw)").error, QString());
    const QString refused = checking.start();
    QVERIFY2(refused.contains(QLatin1String("Other")) && !checking.isLive(), qPrintable(refused));
    {
        // Written by a session that ends: a session left open reports its count up to ten
        // seconds late.
        DatabaseConnection writer;
        QVERIFY(writer.OpenProjectDatabase(path));
        QCOMPARE(writer.execute(R"(insert into "Other" values (1))").error, QString());
    }
    bool seen = false; // each check answers for the time since the one before
    QTRY_VERIFY((seen = seen || checking.changedSinceLastCheck().value_or(false)));
}

void tst_Stations::theLastPersonAskedForWinsAndClosingDoesNotWait()
{
    VM_SKIP_IF(engineUnavailable(DatabaseEngine::PostgreSQL));
    ScratchDatabase scratch(DatabaseEngine::PostgreSQL);
    const QString path = scratch.build(People);
    QVERIFY2(!path.isEmpty(), qPrintable(scratch.error));
    auto keyOf = [&](int id) {
        return RecordKey::fromValue(id, ColumnKind::Numeric);
    };

    auto worker = std::make_unique<RecordLinkWorker>(path, staffProject(path));
    QSignalSpy linked(worker.get(), &RecordLinkWorker::linked);
    {
        const TableHeld held(scratch.connection());
        worker->link(keyOf(1));
        QTest::qWait(100);
        worker->link(keyOf(2)); // chosen while the first is still read
        QTest::qWait(200);
        QVERIFY(worker->isLinking() && linked.isEmpty());
    }
    QTRY_COMPARE(linked.size(), 1);
    const LinkResult result = linked.first().at(1).value<LinkResult>();
    QVERIFY2(result.record, qPrintable(result.message));
    QCOMPARE(result.record->key.text(), QStringLiteral("2"));
    QTest::qWait(200);
    QCOMPARE(linked.size(), 1); // the first is never delivered

    // Closed while the server holds the read up: the statement is cancelled, nothing waits.
    const TableHeld held(scratch.connection());
    worker->link(keyOf(3));
    auto list = std::make_unique<RecordListModel>();
    list->reload({path, QStringLiteral("Staff"), QStringLiteral("ID")});
    QTest::qWait(200);
    QElapsedTimer closing;
    closing.start();
    worker.reset();
    list.reset();
    QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));
}

QTEST_GUILESS_MAIN(tst_Stations)
#include "tst_Stations.moc"
