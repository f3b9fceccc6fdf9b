#include "records/RecordChangeWatch.h"

#include "project/Database.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDriver>

namespace vm {
namespace {

// One function for every table: the key column comes as the trigger's argument, the old key as
// well when an update gives the row another key.
const char* const NotifyFunction = R"(
create or replace function %1() returns trigger language plpgsql as $body$
declare
  old_key text;
  new_key text;
begin
  if tg_op <> 'INSERT' then old_key := to_jsonb(old) ->> tg_argv[0]; end if;
  if tg_op <> 'DELETE' then new_key := to_jsonb(new) ->> tg_argv[0]; end if;
  if old_key is not null and old_key is distinct from new_key then
    perform pg_notify('%1', json_build_object('table', tg_table_name, 'key', old_key,
                                              'deleted', true)::text);
  end if;
  if new_key is not null then
    perform pg_notify('%1', json_build_object('table', tg_table_name, 'key', new_key,
                                              'deleted', false)::text);
  end if;
  return null;
end $body$)";

} // namespace

RecordChangeWatch::RecordChangeWatch(DatabaseConnection& db, const QString& table,
                                     const QString& keyColumn, QObject* parent)
    : QObject(parent)
    , m_db(db)
    , m_table(table)
    , m_keyColumn(keyColumn)
{
}

RecordChangeWatch::~RecordChangeWatch()
{
    if (m_live && m_db.isOpen())
        m_db.database().driver()->unsubscribeFromNotification(channel());
}

QString RecordChangeWatch::channel()
{
    return QStringLiteral("vellumark_row_changed");
}

QString RecordChangeWatch::start()
{
    m_lastCount = changeCount();
    if (m_db.engine() != DatabaseEngine::PostgreSQL)
        return {};
    if (const QString why = createTrigger(); !why.isEmpty())
        return QStringLiteral("Changes made at other stations show on Refresh: no trigger could "
                              "be made on the table %1 to announce them (%2).")
            .arg(m_table, why);
    QSqlDriver* driver = m_db.database().driver();
    connect(driver, &QSqlDriver::notification, this,
            [this](const QString& name, QSqlDriver::NotificationSource, const QVariant& payload) {
                onNotification(name, payload);
            });
    m_live = driver->subscribeToNotification(channel());
    if (!m_live)
        return QStringLiteral("Changes made at other stations show on Refresh: the server does "
                              "not let this station listen for them (%1).")
            .arg(driver->lastError().text());
    return {};
}

QString RecordChangeWatch::createTrigger()
{
    const QVariantList table{m_db.quoteName(m_table)};
    DatabaseConnection::Selection there = m_db.select(
        QStringLiteral("select 1 from pg_trigger where tgrelid = to_regclass(?) and tgname = ?"),
        {m_db.quoteName(m_table), channel()});
    if (there.outcome != DatabaseConnection::Outcome::Ok)
        return there.error;
    if (there.query.next())
        return {}; // another station made it
    there.query.finish();

    // Two stations making it at once: the second finds it made, or fails and looks again.
    const QString function = QString::fromLatin1(NotifyFunction).arg(channel());
    const QString trigger =
        QStringLiteral("create trigger %1 after insert or update or delete on %2 for each row "
                       "execute function %1(%3)")
            .arg(channel(), m_db.quoteName(m_table),
                 QLatin1Char('\'') + QString(m_keyColumn).replace(u'\'', QStringLiteral("''")) +
                     QLatin1Char('\''));
    QSqlDatabase database = m_db.database();
    if (!database.transaction())
        return database.lastError().text();
    QSqlQuery query(database);
    const bool made = query.exec(function) && query.exec(trigger);
    const QString why = made ? QString() : m_db.describe(query.lastError());
    query.finish();
    if (made && database.commit())
        return {};
    database.rollback();
    DatabaseConnection::Selection again = m_db.select(
        QStringLiteral("select 1 from pg_trigger where tgrelid = to_regclass(?) and tgname = ?"),
        {m_db.quoteName(m_table), channel()});
    if (again.outcome == DatabaseConnection::Outcome::Ok && again.query.next())
        return {};
    return why.isEmpty() ? database.lastError().text() : why;
}

void RecordChangeWatch::onNotification(const QString& name, const QVariant& payload)
{
    if (name != channel())
        return;
    const QJsonObject change = QJsonDocument::fromJson(payload.toString().toUtf8()).object();
    if (change.value(QStringLiteral("table")).toString() != m_table)
        return;
    Q_EMIT rowChanged(change.value(QStringLiteral("key")).toString(),
                      change.value(QStringLiteral("deleted")).toBool());
}

std::optional<qint64> RecordChangeWatch::changeCount()
{
    DatabaseConnection::Selection count;
    switch (m_db.engine()) {
    case DatabaseEngine::SQLite:
        count = m_db.select(QStringLiteral("pragma data_version"));
        break;
    case DatabaseEngine::PostgreSQL:
        count = m_db.select(QStringLiteral("select n_tup_ins + n_tup_upd + n_tup_del from "
                                           "pg_stat_user_tables where relid = to_regclass(?)"),
                            {m_db.quoteName(m_table)});
        break;
    case DatabaseEngine::Access:
        return std::nullopt;
    }
    if (count.outcome != DatabaseConnection::Outcome::Ok || !count.query.next())
        return std::nullopt;
    return count.query.value(0).toLongLong();
}

std::optional<bool> RecordChangeWatch::changedSinceLastCheck()
{
    const std::optional<qint64> now = changeCount();
    const std::optional<qint64> before = std::exchange(m_lastCount, now);
    if (!now || !before)
        return std::nullopt;
    return *now != *before;
}

} // namespace vm
