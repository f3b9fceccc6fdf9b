#include "records/IssuanceRecord.h"

#include "common/FileNames.h"
#include "project/Database.h"
#include "project/ProjectFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonValue>
#include <QSet>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QVariant>

#include <pwd.h>
#include <unistd.h>

#include <atomic>

namespace vm {
namespace {

const QString CompanionKey = QStringLiteral("issuanceRecord");
const QString InDatabase = QStringLiteral("database");
const QString InFile = QStringLiteral("file");
const QString NoPreviousHash = QString(64, QLatin1Char('0'));
const QString Columns = QStringLiteral(
    "number, project, layout, sides, person_key, fingerprint, output, station, os_user, "
    "printed_at, reason, previous_hash, hash");
const QString InsufficientPrivilege = QStringLiteral("42501");

QString columnDefinitions(const QString& numberType)
{
    return QStringLiteral("(number %1 primary key, project text not null, layout text not null, "
                          "sides text not null, person_key text not null, fingerprint text not "
                          "null, output text not null, station text not null, os_user text not "
                          "null, printed_at text not null, reason text not null, previous_hash "
                          "text not null, hash text not null)")
        .arg(numberType);
}

QString nextFileConnection()
{
    static std::atomic<int> serial{0};
    return QStringLiteral("vellumark-issued-%1").arg(++serial);
}

// Runs a statement with its values bound; the error text on failure, with the engine's code.
struct Ran {
    bool ok = false;
    QString error;
    QString code;
    QSqlQuery query;
};

Ran run(const QSqlDatabase& db, const QString& sql, const QVariantList& binds = {})
{
    Ran ran{false, {}, {}, QSqlQuery(db)};
    ran.query.setForwardOnly(true);
    bool done = false;
    if (binds.isEmpty()) {
        done = ran.query.exec(sql);
    } else if (ran.query.prepare(sql)) {
        for (const QVariant& value : binds)
            ran.query.addBindValue(value);
        done = ran.query.exec();
    }
    ran.ok = done;
    if (!done) {
        const QSqlError error = ran.query.lastError();
        ran.code = error.nativeErrorCode();
        ran.error = error.databaseText().trimmed().isEmpty() ? error.text().trimmed()
                                                             : error.databaseText().trimmed();
    }
    return ran;
}

IssuanceEntry entryFrom(const QSqlQuery& row)
{
    IssuanceEntry entry;
    entry.number = row.value(0).toLongLong();
    entry.project = row.value(1).toString();
    entry.layout = row.value(2).toString();
    entry.sides = row.value(3).toString();
    entry.key = row.value(4).toString();
    entry.fingerprint = row.value(5).toString();
    entry.output = row.value(6).toString();
    entry.station = row.value(7).toString();
    entry.user = row.value(8).toString();
    entry.printedAt = QDateTime::fromString(row.value(9).toString(), Qt::ISODateWithMs);
    entry.reasonText = row.value(10).toString();
    entry.previousHash = row.value(11).toString();
    entry.hash = row.value(12).toString();
    entry.printedAtText = row.value(9).toString();
    return entry;
}

QString timeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

QString issueReasonName(IssueReason reason)
{
    switch (reason) {
    case IssueReason::Reprint:
        return QStringLiteral("reprint");
    case IssueReason::Replacement:
        return QStringLiteral("replacement");
    case IssueReason::FirstIssue:
        break;
    }
    return QStringLiteral("first issue");
}

std::optional<IssueReason> issueReasonNamed(const QString& name)
{
    for (IssueReason reason :
         {IssueReason::FirstIssue, IssueReason::Reprint, IssueReason::Replacement}) {
        QString spelled = issueReasonName(reason);
        if (name.compare(spelled, Qt::CaseInsensitive) == 0 ||
            name.compare(spelled.replace(QLatin1Char(' '), QLatin1Char('-')),
                         Qt::CaseInsensitive) == 0)
            return reason;
    }
    return std::nullopt;
}

QString IssuanceEntry::computedHash() const
{
    // Each field as its length and its UTF-8 bytes, so no text can pass for two fields.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    auto add = [&](const QString& text) {
        const QByteArray bytes = text.toUtf8();
        hash.addData(QByteArray::number(bytes.size()) + ':');
        hash.addData(bytes);
        hash.addData("\n");
    };
    add(QString::number(number));
    for (const QString* field : {&project, &layout, &sides, &key, &fingerprint, &output, &station,
                                 &user, &printedAtText, &reasonText, &previousHash})
        add(*field);
    return QString::fromLatin1(hash.result().toHex());
}

void IssuanceEntry::setPrintedAt(const QDateTime& time)
{
    printedAt = time.toUTC();
    printedAtText = timeText(time);
}

void IssuanceEntry::setReason(IssueReason value)
{
    reasonText = issueReasonName(value);
}

QString stationName()
{
    return QSysInfo::machineHostName();
}

QString operatingSystemUser()
{
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("uid %1").arg(geteuid()) : user;
}

QString issuanceFilePath(const QString& projectFile)
{
    const QFileInfo project(projectFile);
    return project.absoluteDir().filePath(project.completeBaseName() +
                                          QStringLiteral(".issued.sqlite"));
}

IssuanceRecord::~IssuanceRecord()
{
    m_db = QSqlDatabase();
    m_connection.reset();
    if (!m_fileConnection.isEmpty())
        QSqlDatabase::removeDatabase(m_fileConnection);
}

QString IssuanceRecord::table() const
{
    return m_postgres ? m_schema + QStringLiteral(".issued") : QStringLiteral("vellumark_issued");
}

Result<IssuanceRecord::Opened> IssuanceRecord::open(const QString& projectFile,
                                                    const StoredSettings& project,
                                                    const QString& schema, bool create)
{
    Opened opened;
    const Result<QJsonValue> recorded = projectCompanionValue(projectFile, CompanionKey);
    const QString wanted = recorded ? recorded->toString() : QString();
    if (!create && wanted.isEmpty())
        return opened;
    const DatabaseEngine engine = engineForPath(project.DatabasePath);
    const QString file = issuanceFilePath(projectFile);

    if (wanted != InFile && engine != DatabaseEngine::Access) {
        std::unique_ptr<IssuanceRecord> record(new IssuanceRecord);
        record->m_schema = schema;
        record->m_connection = std::make_unique<DatabaseConnection>();
        DatabaseConnection& db = *record->m_connection;
        if (!db.OpenProjectDatabase(project.DatabasePath))
            return Status::failure(
                QStringLiteral("The issuance record cannot be opened: %1").arg(db.errorText()));
        record->m_db = db.database();
        const bool postgres = db.engine() == DatabaseEngine::PostgreSQL;
        const Status prepared = record->prepare(postgres);
        if (prepared) {
            record->m_place =
                postgres ? QStringLiteral("the schema %1 of the project's database").arg(schema)
                         : QStringLiteral("the table vellumark_issued of the project's "
                                          "database %1")
                               .arg(QDir::toNativeSeparators(
                                   DatabaseConnection::resolvedFile(project.DatabasePath)));
            if (wanted.isEmpty()) {
                if (Status kept = setProjectCompanionValue(projectFile, CompanionKey, InDatabase);
                    !kept)
                    opened.notice = kept.error();
            }
            opened.record = std::move(record);
            return opened;
        }
        // Only a role without the right to make it moves the record to the file.
        if (!prepared.error().startsWith(InsufficientPrivilege) || wanted == InDatabase)
            return Status::failure(QStringLiteral("The issuance record cannot be opened: %1")
                                       .arg(prepared.error().section(QLatin1Char('\t'), 1)));
        opened.notice = prepared.error().section(QLatin1Char('\t'), 1) +
                        QStringLiteral(" The issuance record is kept in %1 beside the project "
                                       "instead.")
                            .arg(QDir::toNativeSeparators(file));
    }

    std::unique_ptr<IssuanceRecord> record(new IssuanceRecord);
    record->m_fileConnection = nextFileConnection();
    record->m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), record->m_fileConnection);
    record->m_db.setDatabaseName(file);
    record->m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000"));
    if (!record->m_db.open())
        return Status::failure(
            QStringLiteral("The issuance record %1 cannot be opened: %2")
                .arg(QDir::toNativeSeparators(file), record->m_db.lastError().text()));
    if (Status prepared = record->prepare(false); !prepared)
        return Status::failure(QStringLiteral("The issuance record %1 cannot be used: %2")
                                   .arg(QDir::toNativeSeparators(file),
                                        prepared.error().section(QLatin1Char('\t'), 1)));
    record->m_place = QDir::toNativeSeparators(file);
    if (wanted.isEmpty()) {
        if (Status kept = setProjectCompanionValue(projectFile, CompanionKey, InFile); !kept)
            opened.notice +=
                (opened.notice.isEmpty() ? QString() : QStringLiteral(" ")) + kept.error();
    }
    opened.record = std::move(record);
    return opened;
}

// Makes the table on first use. A failure is "CODE<tab>message".
Status IssuanceRecord::prepare(bool postgres)
{
    m_postgres = postgres;
    auto failed = [](const Ran& ran) {
        return Status::failure(ran.code + QLatin1Char('\t') + ran.error);
    };
    if (!postgres) {
        const QString t = table();
        for (const QString& sql :
             {QStringLiteral("create table if not exists %1 %2")
                  .arg(t, columnDefinitions(QStringLiteral("integer"))),
              QStringLiteral("create index if not exists %1_person on %1 (project, person_key)")
                  .arg(t),
              QStringLiteral("create trigger if not exists %1_kept before update on %1 begin "
                             "select raise(abort, 'issuance entries are never changed'); end")
                  .arg(t),
              QStringLiteral("create trigger if not exists %1_whole before delete on %1 begin "
                             "select raise(abort, 'issuance entries are never removed'); end")
                  .arg(t)}) {
            if (Ran ran = run(m_db, sql); !ran.ok)
                return failed(ran);
        }
        return {};
    }

    Ran present = run(m_db, QStringLiteral("select to_regclass(?) is not null"), {table()});
    if (!present.ok)
        return failed(present);
    if (present.query.next() && present.query.value(0).toBool())
        return {};
    present.query.finish();
    const QString t = table();
    // Two stations making it at once: the second waits here, then finds it made. The lock is
    // the session's, taken before the transaction: a transaction begun before the other
    // station's commit can go on seeing, in the server's catalogue caches, no table at all.
    if (Ran locked = run(m_db, QStringLiteral("select pg_advisory_lock(hashtext(?))"), {t});
        !locked.ok)
        return failed(locked);
    const auto unlock = qScopeGuard(
        [&] { run(m_db, QStringLiteral("select pg_advisory_unlock(hashtext(?))"), {t}); });
    if (!m_db.transaction())
        return Status::failure(QStringLiteral("\t") + m_db.lastError().text());
    auto rollback = [&](const Ran& ran) {
        m_db.rollback();
        if (ran.code == InsufficientPrivilege) {
            Ran role = run(m_db, QStringLiteral("select current_user, current_database()"));
            const QString name = role.ok && role.query.next() ? role.query.value(0).toString()
                                                              : QStringLiteral("of this project");
            const QString database =
                role.ok ? role.query.value(1).toString() : QStringLiteral("the database");
            return Status::failure(
                InsufficientPrivilege + QLatin1Char('\t') +
                QStringLiteral("The database role %1 may not create the schema %2 in %3 (%4). "
                               "An administrator can allow it with: create schema %2 "
                               "authorization %1;")
                    .arg(name, m_schema, database, ran.error));
        }
        return failed(ran);
    };
    Ran made = run(m_db, QStringLiteral("select to_regclass(?) is not null"), {t});
    if (!made.ok)
        return rollback(made);
    if (made.query.next() && made.query.value(0).toBool()) {
        made.query.finish();
        m_db.rollback();
        return {};
    }
    made.query.finish();
    const QStringList statements = {
        QStringLiteral("create schema if not exists %1").arg(m_schema),
        QStringLiteral("create table %1 %2").arg(t, columnDefinitions(QStringLiteral("bigint"))),
        QStringLiteral("create index issued_person on %1 (project, person_key)").arg(t),
        QStringLiteral("create or replace function %1.issued_kept() returns trigger language "
                       "plpgsql as $$ begin raise exception 'issuance entries are only ever "
                       "appended'; end $$")
            .arg(m_schema),
        QStringLiteral("create trigger issued_kept before update or delete on %1 for each row "
                       "execute function %2.issued_kept()")
            .arg(t, m_schema)};
    for (const QString& sql : statements) {
        if (const Ran ran = run(m_db, sql); !ran.ok)
            return rollback(ran);
    }
    if (!m_db.commit())
        return Status::failure(QStringLiteral("\t") + m_db.lastError().text());
    return {};
}

Status IssuanceRecord::append(QList<IssuanceEntry>& entries, IssueReason again)
{
    if (entries.isEmpty())
        return {};
    auto failed = [&](const QString& why) {
        return Status::failure(
            QStringLiteral("The print could not be written to the issuance record (%1): %2")
                .arg(m_place, why));
    };
    // The lock is taken before the last entry is read: a second station waits for it here.
    Ran begun = run(m_db, m_postgres ? QStringLiteral("begin") : QStringLiteral("begin immediate"));
    if (!begun.ok)
        return failed(begun.error);
    begun.query.finish();
    auto abandon = [&](const QString& why) {
        run(m_db, QStringLiteral("rollback"));
        return failed(why);
    };
    if (m_postgres) {
        if (Ran locked =
                run(m_db, QStringLiteral("lock table %1 in share row exclusive mode").arg(table()));
            !locked.ok)
            return abandon(locked.error);
    }
    Ran last = run(
        m_db,
        QStringLiteral("select number, hash from %1 order by number desc limit 1").arg(table()));
    if (!last.ok)
        return abandon(last.error);
    qint64 number = 0;
    QString previous = NoPreviousHash;
    if (last.query.next()) {
        number = last.query.value(0).toLongLong();
        previous = last.query.value(1).toString();
    }
    last.query.finish();
    const QString insert =
        QStringLiteral("insert into %1 (%2) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(table(), Columns);
    const QString printedBefore =
        QStringLiteral("select count(*) from %1 where project = ? and person_key = ?").arg(table());
    QSet<QPair<QString, QString>> printed; // earlier in this print
    for (IssuanceEntry& entry : entries) {
        if (entry.reasonText.isEmpty()) {
            const QPair<QString, QString> person(entry.project, entry.key);
            bool before = printed.contains(person);
            if (!before) {
                Ran counted = run(m_db, printedBefore, {entry.project, entry.key});
                if (!counted.ok)
                    return abandon(counted.error);
                before = counted.query.next() && counted.query.value(0).toLongLong() > 0;
            }
            entry.setReason(before ? again : IssueReason::FirstIssue);
            printed.insert(person);
        }
        entry.number = ++number;
        entry.previousHash = previous;
        if (entry.printedAtText.isEmpty())
            entry.setPrintedAt(QDateTime::currentDateTimeUtc());
        entry.hash = entry.computedHash();
        previous = entry.hash;
        QVariantList values{entry.number};
        // An unknown value is kept as an empty text: the columns take no null.
        for (const QString* text :
             {&entry.project, &entry.layout, &entry.sides, &entry.key, &entry.fingerprint,
              &entry.output, &entry.station, &entry.user, &entry.printedAtText, &entry.reasonText,
              &entry.previousHash, &entry.hash})
            values << (text->isNull() ? QStringLiteral("") : *text);
        const Ran inserted = run(m_db, insert, values);
        if (!inserted.ok)
            return abandon(inserted.error);
    }
    if (Ran committed = run(m_db, QStringLiteral("commit")); !committed.ok)
        return abandon(committed.error);
    return {};
}

Result<std::optional<ChainBreak>> IssuanceRecord::verify()
{
    Ran rows = run(m_db, QStringLiteral("select %1 from %2 order by number").arg(Columns, table()));
    if (!rows.ok)
        return Status::failure(
            QStringLiteral("The issuance record (%1) cannot be read: %2").arg(m_place, rows.error));
    qint64 expected = 1;
    QString previous = NoPreviousHash;
    while (rows.query.next()) {
        const IssuanceEntry entry = entryFrom(rows.query);
        auto broken = [&](const QString& why) {
            return std::optional<ChainBreak>(ChainBreak{entry.number, why});
        };
        if (entry.number != expected)
            return broken(
                QStringLiteral("entry %1 follows entry %2: %3 missing")
                    .arg(entry.number)
                    .arg(expected - 1)
                    .arg(entry.number > expected
                             ? QStringLiteral("the entries between them are")
                             : QStringLiteral("the numbering is out of order, an entry is")));
        if (entry.previousHash != previous)
            return broken(QStringLiteral("entry %1 does not follow entry %2: the hash it keeps "
                                         "of its predecessor is not entry %2's")
                              .arg(entry.number)
                              .arg(entry.number - 1));
        if (entry.computedHash() != entry.hash)
            return broken(QStringLiteral("entry %1 (%2, %3) was changed after it was written: "
                                         "its content does not give its hash")
                              .arg(entry.number)
                              .arg(entry.key, entry.printedAtText));
        previous = entry.hash;
        ++expected;
    }
    return std::optional<ChainBreak>();
}

Result<QList<IssuanceEntry>> IssuanceRecord::entries(const QString& project, const QDateTime& since,
                                                     const std::optional<QString>& key)
{
    QString sql = QStringLiteral("select %1 from %2 where project = ?").arg(Columns, table());
    QVariantList binds{project};
    if (since.isValid()) {
        sql += QStringLiteral(" and printed_at >= ?");
        binds << timeText(since);
    }
    if (key) {
        sql += QStringLiteral(" and person_key = ?");
        binds << *key;
    }
    Ran rows = run(m_db, sql + QStringLiteral(" order by number"), binds);
    if (!rows.ok)
        return Status::failure(
            QStringLiteral("The issuance record (%1) cannot be read: %2").arg(m_place, rows.error));
    QList<IssuanceEntry> found;
    while (rows.query.next())
        found << entryFrom(rows.query);
    return found;
}

Result<QHash<QString, IssueSummary>> IssuanceRecord::summary(const QString& project)
{
    const QString t = table();
    Ran rows = run(m_db,
                   QStringLiteral("select e.person_key, g.printed, e.printed_at, e.fingerprint, "
                                  "e.layout, e.sides from %1 e join (select max(number) as last, "
                                  "count(*) as printed from %1 where project = ? group by "
                                  "person_key) g on e.number = g.last")
                       .arg(t),
                   {project});
    if (!rows.ok)
        return Status::failure(
            QStringLiteral("The issuance record (%1) cannot be read: %2").arg(m_place, rows.error));
    QHash<QString, IssueSummary> summary;
    while (rows.query.next()) {
        IssueSummary& person = summary[rows.query.value(0).toString()];
        person.count = rows.query.value(1).toInt();
        person.lastPrinted =
            QDateTime::fromString(rows.query.value(2).toString(), Qt::ISODateWithMs);
        person.lastFingerprint = rows.query.value(3).toString();
        person.lastLayout = rows.query.value(4).toString();
        person.lastSides = rows.query.value(5).toString();
    }
    return summary;
}

} // namespace vm
