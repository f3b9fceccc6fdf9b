// Invariant: the issuance record keeps every entry appended, in one unbroken hash chain, in the
// project's database (PostgreSQL, SQLite) or beside the project (Access, or a role that may not
// make the schema); verification names the first entry that was changed, removed or put in
// between; two stations appending at once never fork the chain; keys never become statement
// text.
#include "project/ProjectFile.h"
#include "records/IssuanceRecord.h"
#include "support/EngineRows.h"
#include "support/Samples.h"
#include "support/Skip.h"
#include "support/StatusChecks.h"

#include <QFile>
#include <QJsonValue>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

using namespace vm;
using namespace vm::test;

namespace {

IssuanceEntry entry(const QString& key, const QString& fingerprint = QStringLiteral("f0"))
{
    IssuanceEntry e;
    e.project = QStringLiteral("Staff");
    e.layout = QStringLiteral("Visitor");
    e.sides = QStringLiteral("front+back");
    e.key = key;
    e.fingerprint = fingerprint;
    e.output = QStringLiteral("/tmp/out.pdf");
    e.station = stationName();
    e.user = operatingSystemUser();
    return e;
}

Status appendOne(IssuanceRecord& record, const QString& key)
{
    QList<IssuanceEntry> one{entry(key)};
    return record.append(one);
}

// A database of each kind, and a project file name beside which a record file would go.
struct Place {
    QTemporaryDir dir;
    std::unique_ptr<ScratchDatabase> scratch;
    StoredSettings project;
    QString projectFile;
    QString schema = QStringLiteral("vm_issued_%1").arg(QRandomGenerator::global()->generate());

    ~Place()
    {
        if (!scratch)
            return;
        scratch->connection().execute(QStringLiteral("set client_min_messages = warning"));
        scratch->connection().execute(
            QStringLiteral("drop schema if exists %1 cascade").arg(schema));
    }
};

} // namespace

class tst_IssuanceRecord : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keepsAChainWhereTheProjectIs_data();
    void keepsAChainWhereTheProjectIs();
    void findsTheFirstEntryThatDoesNotFit_data();
    void findsTheFirstEntryThatDoesNotFit();
    void twoStationsAppendingAtOnceDoNotFork_data();
    void twoStationsAppendingAtOnceDoNotFork();
    void aRoleThatMayNotMakeTheSchemaIsNamed();

private:
    // Null when the engine is unavailable (the row then skips).
    bool makePlace(Place& place, const QString& engine);
};

bool tst_IssuanceRecord::makePlace(Place& place, const QString& engine)
{
    place.project.ProjectName = QStringLiteral("Staff");
    place.projectFile = place.dir.filePath(QStringLiteral("Staff.Prj"));
    if (engine == QLatin1String("Access")) {
        place.project.DatabasePath = samplePath(QStringLiteral("northwind-jet4.mdb"));
        return true;
    }
    const DatabaseEngine kind =
        engine == QLatin1String("SQLite") ? DatabaseEngine::SQLite : DatabaseEngine::PostgreSQL;
    place.scratch = std::make_unique<ScratchDatabase>(kind);
    place.project.DatabasePath =
        place.scratch->build({QStringLiteral("create table Employee (EmpNo integer)")});
    return !place.project.DatabasePath.isEmpty();
}

void tst_IssuanceRecord::keepsAChainWhereTheProjectIs_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("kept"); // the companion's answer
    QTest::newRow("SQLite") << "SQLite"
                            << "database";
    QTest::newRow("PostgreSQL") << "PostgreSQL"
                                << "database";
    QTest::newRow("Access") << "Access"
                            << "file";
}

void tst_IssuanceRecord::keepsAChainWhereTheProjectIs()
{
    QFETCH(QString, engine);
    QFETCH(QString, kept);
    if (engine == QLatin1String("PostgreSQL"))
        VM_SKIP_IF(engineUnavailable(DatabaseEngine::PostgreSQL));
    if (engine == QLatin1String("Access"))
        VM_SKIP_IF(missingSample(QStringLiteral("northwind-jet4.mdb")));
    Place place;
    QVERIFY2(makePlace(place, engine), qPrintable(place.scratch ? place.scratch->error : ""));

    {
        Result<IssuanceRecord::Opened> opened =
            IssuanceRecord::open(place.projectFile, place.project, place.schema);
        VM_VERIFY_OK(opened);
        QCOMPARE(opened->notice, QString());
        IssuanceRecord& record = *opened->record;
        // A key that would end a statement if it were written into one.
        const QString awkward = QStringLiteral("7'); drop table Employee; --");
        QList<IssuanceEntry> first{entry(QStringLiteral("3")), entry(awkward)};
        VM_VERIFY_OK(record.append(first));
        QCOMPARE(first[0].number, 1);
        QCOMPARE(first[1].previousHash, first[0].hash);
        QList<IssuanceEntry> second{entry(QStringLiteral("3"), QStringLiteral("f1"))};
        VM_VERIFY_OK(record.append(second, IssueReason::Replacement));
        QCOMPARE(second[0].reasonText, QStringLiteral("replacement"));
        QCOMPARE(first[0].reasonText, QStringLiteral("first issue"));

        const Result<std::optional<ChainBreak>> verified = record.verify();
        VM_VERIFY_OK(verified);
        QVERIFY2(!*verified, qPrintable(verified->value_or(ChainBreak{}).why));

        const Result<QHash<QString, IssueSummary>> summary = record.summary("Staff");
        VM_VERIFY_OK(summary);
        QCOMPARE(summary->size(), 2);
        QCOMPARE(summary->value("3").count, 2);
        QCOMPARE(summary->value("3").lastFingerprint, QStringLiteral("f1"));
        QCOMPARE(summary->value(awkward).count, 1);
        QVERIFY(record.summary("Other")->isEmpty());

        const Result<QList<IssuanceEntry>> ofKey = record.entries("Staff", {}, awkward);
        VM_VERIFY_OK(ofKey);
        QCOMPARE(ofKey->size(), 1);
        QCOMPARE(ofKey->first().hash, first[1].hash);
        QCOMPARE(record.entries("Staff", QDateTime::currentDateTimeUtc().addDays(1))->size(), 0);
        QCOMPARE(record.entries("Staff", QDateTime::currentDateTimeUtc().addDays(-1))->size(), 3);
    }
    QCOMPARE(projectCompanionValue(place.projectFile, "issuanceRecord")->toString(), kept);
    QCOMPARE(QFile::exists(issuanceFilePath(place.projectFile)), kept == QLatin1String("file"));
    // Another station opening the project finds the same record.
    Result<IssuanceRecord::Opened> again =
        IssuanceRecord::open(place.projectFile, place.project, place.schema);
    VM_VERIFY_OK(again);
    QCOMPARE(again->record->entries("Staff")->size(), 3);
    if (place.scratch) // the project's own tables are untouched
        QVERIFY(place.scratch->connection().select("select * from Employee").outcome ==
                DatabaseConnection::Outcome::Ok);
}

void tst_IssuanceRecord::findsTheFirstEntryThatDoesNotFit_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QStringList>("tampering"); // %1: the record's table
    QTest::addColumn<bool>("rehash");           // entry 2's hash made to fit its new content
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("why");
    for (const char* engine : {"SQLite", "PostgreSQL"}) {
        const bool pg = QByteArray(engine) == "PostgreSQL";
        const QString noTrigger = pg ? "alter table %1 disable trigger issued_kept"
                                     : "drop trigger vellumark_issued_kept";
        const QString noDeleteTrigger = pg ? "alter table %1 disable trigger issued_kept"
                                           : "drop trigger vellumark_issued_whole";
        QTest::newRow(QByteArray(engine) + " value changed")
            << engine << QStringList{noTrigger, "update %1 set person_key = '9' where number = 2"}
            << false << qint64(2) << "was changed after it was written";
        QTest::newRow(QByteArray(engine) + " hash made to fit")
            << engine << QStringList{noTrigger} << true << qint64(3) << "does not follow entry 2";
        QTest::newRow(QByteArray(engine) + " entry removed")
            << engine << QStringList{noDeleteTrigger, "delete from %1 where number = 3"} << false
            << qint64(4) << "entries between them are missing";
    }
}

void tst_IssuanceRecord::findsTheFirstEntryThatDoesNotFit()
{
    QFETCH(QString, engine);
    QFETCH(QStringList, tampering);
    QFETCH(bool, rehash);
    QFETCH(qint64, number);
    QFETCH(QString, why);
    if (engine == QLatin1String("PostgreSQL"))
        VM_SKIP_IF(engineUnavailable(DatabaseEngine::PostgreSQL));
    Place place;
    QVERIFY(makePlace(place, engine));
    Result<IssuanceRecord::Opened> opened =
        IssuanceRecord::open(place.projectFile, place.project, place.schema);
    VM_VERIFY_OK(opened);
    for (const char* key : {"1", "2", "3", "4", "5"})
        VM_VERIFY_OK(appendOne(*opened->record, key));

    // The record's own triggers refuse a change.
    const QString table = engine == QLatin1String("SQLite") ? QStringLiteral("vellumark_issued")
                                                            : place.schema + ".issued";
    DatabaseConnection& db = place.scratch->connection();
    QVERIFY(db.execute(QStringLiteral("update %1 set person_key = '9'").arg(table)).outcome !=
            DatabaseConnection::Outcome::Ok);
    for (const QString& statement : tampering) {
        const auto done = db.execute(statement.contains("%1") ? statement.arg(table) : statement);
        QVERIFY2(done.outcome == DatabaseConnection::Outcome::Ok, qPrintable(done.error));
    }
    if (rehash) {
        IssuanceEntry second = opened->record->entries("Staff", {}, QStringLiteral("2"))->first();
        second.key = QStringLiteral("9");
        const auto done = db.execute(
            QStringLiteral("update %1 set person_key = '9', hash = ? where number = 2").arg(table),
            {second.computedHash()});
        QVERIFY2(done.outcome == DatabaseConnection::Outcome::Ok, qPrintable(done.error));
    }
    const Result<std::optional<ChainBreak>> verified = opened->record->verify();
    VM_VERIFY_OK(verified);
    QVERIFY(verified->has_value());
    QCOMPARE((*verified)->number, number);
    QVERIFY2((*verified)->why.contains(why), qPrintable((*verified)->why));
}

void tst_IssuanceRecord::twoStationsAppendingAtOnceDoNotFork_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("record file") << "Access";
    QTest::newRow("SQLite") << "SQLite";
    QTest::newRow("PostgreSQL") << "PostgreSQL";
}

void tst_IssuanceRecord::twoStationsAppendingAtOnceDoNotFork()
{
    QFETCH(QString, engine);
    if (engine == QLatin1String("PostgreSQL"))
        VM_SKIP_IF(engineUnavailable(DatabaseEngine::PostgreSQL));
    if (engine == QLatin1String("Access"))
        VM_SKIP_IF(missingSample(QStringLiteral("northwind-jet4.mdb")));
    Place place;
    QVERIFY(makePlace(place, engine));
    // Stations at a new site make the record as they first print: all at once.
    constexpr int Stations = 4;
    constexpr int PerStation = 12;
    QStringList failures[Stations];
    auto station = [&](int which) {
        Result<IssuanceRecord::Opened> opened =
            IssuanceRecord::open(place.projectFile, place.project, place.schema);
        if (!opened) {
            failures[which] << opened.error();
            return;
        }
        for (int i = 0; i < PerStation; ++i) {
            if (Status done = appendOne(*opened->record, QStringLiteral("%1-%2").arg(which).arg(i));
                !done)
                failures[which] << done.error();
        }
    };
    std::vector<std::unique_ptr<QThread>> threads;
    for (int which = 0; which < Stations; ++which)
        threads.emplace_back(QThread::create(station, which));
    for (const auto& thread : threads)
        thread->start();
    QStringList failed;
    for (int which = 0; which < Stations; ++which) {
        threads[std::size_t(which)]->wait();
        failed += failures[which];
    }
    QVERIFY2(failed.isEmpty(), qPrintable(failed.join('\n')));

    Result<IssuanceRecord::Opened> opened =
        IssuanceRecord::open(place.projectFile, place.project, place.schema);
    const Result<std::optional<ChainBreak>> verified = opened->record->verify();
    VM_VERIFY_OK(verified);
    QVERIFY2(!*verified, qPrintable(verified->value_or(ChainBreak{}).why));
    QCOMPARE(opened->record->entries("Staff")->size(), Stations * PerStation);
}

void tst_IssuanceRecord::aRoleThatMayNotMakeTheSchemaIsNamed()
{
    VM_SKIP_IF(engineUnavailable(DatabaseEngine::PostgreSQL));
    Place place;
    QVERIFY(makePlace(place, "PostgreSQL"));
    // The test server's password role may connect but not create schemas.
    QUrl address(passwordRoleAddress());
    address.setPassword(PasswordRoleSecret);
    place.project.DatabasePath = address.toString();

    Result<IssuanceRecord::Opened> opened =
        IssuanceRecord::open(place.projectFile, place.project, place.schema);
    VM_VERIFY_OK(opened);
    QVERIFY2(opened->notice.contains("vellumark_pw") && opened->notice.contains(place.schema) &&
                 opened->notice.contains("Staff.issued.sqlite"),
             qPrintable(opened->notice));
    VM_VERIFY_OK(appendOne(*opened->record, "1"));
    QVERIFY(QFile::exists(issuanceFilePath(place.projectFile)));
    QCOMPARE(projectCompanionValue(place.projectFile, "issuanceRecord")->toString(), "file");
}

QTEST_GUILESS_MAIN(tst_IssuanceRecord)
#include "tst_IssuanceRecord.moc"
