#include "project/Database.h"

#include "common/DatabaseAddress.h"
#include "project/SqlText.h"
#include "project/StoredSettings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>

#include <libpq-fe.h>

#include <atomic>

namespace vm {
namespace {

const QString SQLiteDriver = QStringLiteral("QSQLITE");
const QString PostgreSQLDriver = QStringLiteral("QPSQL");
constexpr int SQLiteReadOnly = 8;
constexpr int LockTimeoutMs = 10000;
const QString LockNotAvailable =
    QStringLiteral("55P03"); // SQLITE_READONLY, what "PRAGMA query_only" answers a write with

QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

// A libpq connection parameter value, quoted as its connection strings want.
QString connectionValue(QString value)
{
    value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + value + u'\'';
}

// Passwords the operator gave, or found in an address, for this session only, by the address
// without its password.
struct SessionPasswords {
    QMutex lock;
    PasswordPrompt prompt;
    QHash<QString, QString> given;
    QSet<QString> told;
};

SessionPasswords& session()
{
    static SessionPasswords passwords;
    return passwords;
}

bool mayAsk()
{
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Whether the server wants a password that libpq found nowhere (not in ~/.pgpass, PGPASSFILE,
// PGPASSWORD). libpq drops the connection QPSQL tried, so a second attempt tells.
bool serverWantsPassword(const QSqlDatabase& db, const QStringList& options)
{
    QStringList parameters = options;
    parameters << QStringLiteral("dbname=") + connectionValue(db.databaseName());
    if (!db.userName().isEmpty())
        parameters << QStringLiteral("user=") + connectionValue(db.userName());
    if (!db.hostName().isEmpty())
        parameters << QStringLiteral("host=") + connectionValue(db.hostName());
    if (db.port() != -1)
        parameters << QStringLiteral("port=%1").arg(db.port());
    PGconn* probe = PQconnectdb(parameters.join(u' ').toUtf8().constData());
    const bool wants = probe && PQconnectionNeedsPassword(probe);
    PQfinish(probe);
    return wants;
}

struct ProjectFolder {
    QMutex lock;
    QString folder;
};

ProjectFolder& projectFolder()
{
    static ProjectFolder folder;
    return folder;
}

// The deepest folder on the way to `path` that exists, or a file standing where a folder should.
QFileInfo lastOnTheWay(const QString& path)
{
    QFileInfo folder(QFileInfo(path).absolutePath());
    while (!folder.exists() && !folder.isRoot())
        folder = QFileInfo(folder.absolutePath());
    return folder;
}

// Missing files, folders and unreadable files get the same words on both file engines. A folder
// on the way that may not be entered, or a file in place of a folder, hides the file: that is
// said, not that the file is missing.
QString fileProblem(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("No database file is given.");
    const QFileInfo info(path);
    if (const QFileInfo last = lastOnTheWay(path); !info.exists() && last.exists()) {
        if (!last.isDir())
            return QStringLiteral("%1 is a file, not a folder, so the database file %2 cannot "
                                  "be reached.")
                .arg(quoted(last.absoluteFilePath()), quoted(path));
        if (!last.isReadable() || !last.isExecutable())
            return QStringLiteral("The folder %1 cannot be read (permission denied), so the "
                                  "database file %2 cannot be reached.")
                .arg(quoted(last.absoluteFilePath()), quoted(path));
    }
    if (!info.exists())
        return QStringLiteral("The database file %1 does not exist.").arg(quoted(path));
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a database file.").arg(quoted(path));
    if (!info.isFile()) // a FIFO or a device would hang the reading
        return QStringLiteral("%1 is not a file but a device, pipe or socket.").arg(quoted(path));
    if (!info.isReadable())
        return QStringLiteral("The database file %1 cannot be read (permission denied).")
            .arg(quoted(path));
    return {};
}

// One in-memory copy of an Access file, shared by every connection to it. SQLite keeps a named
// shared-cache memory database alive while one connection to it is open, so the copy goes with
// the last connection that uses it.
struct SharedAccessCopy {
    QString uri;
    AccessCopy copy;
    int users = 0;
};

QMutex& accessCopiesLock()
{
    static QMutex lock;
    return lock;
}

QHash<QString, SharedAccessCopy>& accessCopies()
{
    static QHash<QString, SharedAccessCopy> copies;
    return copies;
}

quint64 nextSerial()
{
    static std::atomic<quint64> serial{0};
    return ++serial;
}

// A file replaced or changed on disk gets a copy of its own; connections still open on the old
// one keep reading it.
QString accessCopyKey(const QString& path, const QByteArray& charset)
{
    const QFileInfo info(path);
    return info.canonicalFilePath() + u'\n' + QString::fromLatin1(charset) + u'\n' +
           QString::number(info.size()) + u'\n' +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

} // namespace

DatabaseEngine engineForPath(const QString& databasePath)
{
    if (isAccessFileName(splitAccessPath(databasePath).file))
        return DatabaseEngine::Access;
    if (databasePath.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        databasePath.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return DatabaseEngine::PostgreSQL;
    return DatabaseEngine::SQLite;
}

QString DatabaseConnectionString(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
           QStringLiteral(";Persist Security Info=False");
}

void DatabaseConnection::setPasswordPrompt(PasswordPrompt prompt)
{
    QMutexLocker locker(&session().lock);
    session().prompt = std::move(prompt);
}

DatabaseConnection::DatabaseConnection()
{
    m_connectionName = QStringLiteral("vellumark-%1").arg(nextSerial());
}

DatabaseConnection::~DatabaseConnection()
{
    close();
}

void DatabaseConnection::setProjectFolder(const QString& folder)
{
    QMutexLocker locker(&projectFolder().lock);
    projectFolder().folder = folder;
}

QString DatabaseConnection::resolvedFile(const QString& file)
{
    QMutexLocker locker(&projectFolder().lock);
    if (file.isEmpty() || QDir::isAbsolutePath(file) || projectFolder().folder.isEmpty())
        return file;
    return QDir(projectFolder().folder).filePath(file);
}

bool DatabaseConnection::OpenProjectDatabase(const QString& path)
{
    close();
    m_lost = false;
    m_path = path;
    m_engine = engineForPath(path);
    switch (m_engine) {
    case DatabaseEngine::SQLite:
        return openSQLite(path);
    case DatabaseEngine::Access:
        return openAccess(path);
    case DatabaseEngine::PostgreSQL:
        return openPostgreSQL(path);
    }
    return false;
}

bool DatabaseConnection::isOpen() const
{
    return m_db.isOpen();
}

void DatabaseConnection::close()
{
    if (!m_sharedCopy.isEmpty()) {
        releaseAccessCopy();
    } else if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_access = AccessCopy();
    m_error.clear();
}

void DatabaseConnection::releaseAccessCopy()
{
    QMutexLocker locker(&accessCopiesLock());
    // Closed under the lock: the copy must be gone before its entry is, or a new connection
    // could attach to a database that is about to vanish.
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
    auto entry = accessCopies().find(m_sharedCopy);
    if (entry != accessCopies().end() && --entry->users == 0)
        accessCopies().erase(entry);
    m_sharedCopy.clear();
}

QString DatabaseConnection::errorText() const
{
    return m_error;
}

DatabaseEngine DatabaseConnection::engine() const
{
    return m_engine;
}

QString DatabaseConnection::databasePath() const
{
    return m_path;
}

bool DatabaseConnection::isReadOnly() const
{
    return m_engine == DatabaseEngine::Access;
}

QSqlDatabase DatabaseConnection::database() const
{
    return m_db;
}

void DatabaseConnection::setAccessCharset(const QByteArray& charset)
{
    m_accessCharset = charset;
}

namespace {

QMutex& projectCharsetLock()
{
    static QMutex lock;
    return lock;
}

QByteArray& projectCharset()
{
    static QByteArray charset;
    return charset;
}

} // namespace

void DatabaseConnection::setProjectAccessCharset(const QByteArray& charset)
{
    const QMutexLocker locked(&projectCharsetLock());
    projectCharset() = charset;
}

bool DatabaseConnection::fail(const QString& why)
{
    const QString kept = why;
    close();
    m_error = kept;
    return false;
}

bool DatabaseConnection::addDatabase(const QString& driver)
{
    if (!QSqlDatabase::isDriverAvailable(driver))
        return fail(QStringLiteral("The Qt SQL driver %1 is not installed.").arg(driver));
    m_db = QSqlDatabase::addDatabase(driver, m_connectionName);
    return true;
}

bool DatabaseConnection::openSQLite(const QString& typedPath)
{
    const QString path = resolvedFile(typedPath);
    if (const QString problem = fileProblem(path); !problem.isEmpty())
        return fail(problem);
    if (!addDatabase(SQLiteDriver))
        return false;
    // mode=rw opens without creating, so a path that vanished since the check above still
    // never becomes a new empty database.
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    m_db.setDatabaseName(url.toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw"));
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open())
        return fail(QStringLiteral("The database file %1 cannot be opened: %2")
                        .arg(quoted(path), m_db.lastError().databaseText()));
    // SQLite reads the header only when first asked something.
    QSqlQuery probe(m_db);
    if (!probe.exec(QStringLiteral("select count(*) from sqlite_schema"))) {
        // SQLITE_BUSY and SQLITE_LOCKED: another program holds the file, which is fine otherwise.
        const int code = probe.lastError().nativeErrorCode().toInt() & 0xff;
        if (code == 5 || code == 6)
            return fail(QStringLiteral("The database file %1 is locked: another program is "
                                       "writing to it. Try again when it has finished.")
                            .arg(quoted(path)));
        return fail(QStringLiteral("%1 is not a SQLite database (%2).")
                        .arg(quoted(path), probe.lastError().databaseText()));
    }
    return true;
}

bool DatabaseConnection::openAccess(const QString& databasePath)
{
    const AccessLocation location = splitAccessPath(databasePath);
    const QString path = resolvedFile(location.file);
    QByteArray charset = location.charset.isEmpty() ? m_accessCharset : location.charset;
    if (charset.isEmpty() && m_usesProjectCharset) {
        const QMutexLocker locked(&projectCharsetLock());
        charset = projectCharset();
    }
    if (const QString problem = fileProblem(path); !problem.isEmpty())
        return fail(problem);
    if (!addDatabase(SQLiteDriver))
        return false;

    // Held while importing, so two windows opening the same file at once import it once.
    QMutexLocker locker(&accessCopiesLock());
    const QString key = accessCopyKey(path, charset);
    auto entry = accessCopies().find(key);
    const bool shared = entry != accessCopies().end();
    const QString uri =
        shared
            ? entry->uri
            : QStringLiteral("file:vellumark-access-%1?mode=memory&cache=shared").arg(nextSerial());
    m_db.setDatabaseName(uri);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    if (!m_db.open()) {
        locker.unlock();
        return fail(m_db.lastError().text());
    }
    QSqlQuery pragma(m_db);
    QString why;
    if (!pragma.exec(QStringLiteral("PRAGMA temp_store = MEMORY")))
        why = pragma.lastError().text();
    else if (!shared)
        why = copyAccessFile(path, charset, m_db, &m_access);
    // The copy is never written back; refusing writes outright says so instead of letting
    // changes vanish when the window closes.
    if (why.isEmpty() && !pragma.exec(QStringLiteral("PRAGMA query_only = ON")))
        why = pragma.lastError().text();
    if (!why.isEmpty()) {
        pragma = QSqlQuery();
        locker.unlock();
        return fail(why);
    }
    if (shared) {
        m_access = entry->copy;
        ++entry->users;
    } else {
        accessCopies().insert(key, {uri, m_access, 1});
    }
    m_sharedCopy = key;
    return true;
}

bool DatabaseConnection::openPostgreSQL(const QString& path)
{
    const QUrl url(path);
    const QString database = url.path(QUrl::FullyDecoded).mid(1);
    // Messages never repeat a password given by mistake.
    const QString address = WithoutPassword(path);
    const QString shown = quoted(address);
    if (!url.isValid() || database.isEmpty() || database.contains(u'/'))
        return fail(QStringLiteral("%1 is no PostgreSQL address of the form "
                                   "postgresql://user@host:port/database.")
                        .arg(shown));

    // Qt hands connect options to libpq with every ";" turned into a blank.
    QStringList options;
    bool hasTimeout = false;
    bool hasLockTimeout = false;
    bool passwordGiven = !url.password().isEmpty();
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        passwordGiven = passwordGiven || key.compare(u"password", Qt::CaseInsensitive) == 0;
        hasLockTimeout = hasLockTimeout || value.contains(QLatin1String("lock_timeout"));
        if (key.contains(u';') || value.contains(u';'))
            return fail(QStringLiteral("%1: a connection parameter holds \";\", which cannot be "
                                       "passed on.")
                            .arg(shown));
        options << key + u'=' + connectionValue(value);
        hasTimeout = hasTimeout || key == u"connect_timeout";
    }
    if (!hasTimeout) // an unreachable server must not hang the window
        options << QStringLiteral("connect_timeout=10");

    if (!addDatabase(PostgreSQLDriver))
        return false;
    m_db.setHostName(url.host(QUrl::FullyDecoded));
    if (url.port() != -1)
        m_db.setPort(url.port());
    m_db.setUserName(url.userName(QUrl::FullyDecoded));
    m_db.setDatabaseName(database);
    m_db.setConnectOptions(options.join(u';'));
    SessionPasswords& passwords = session();
    {
        QMutexLocker locker(&passwords.lock);
        m_db.setPassword(passwordGiven ? url.password(QUrl::FullyDecoded)
                                       : passwords.given.value(address));
        if (passwordGiven && passwords.prompt.tell && mayAsk() &&
            !passwords.told.contains(address)) {
            passwords.told.insert(address);
            const auto tell = passwords.prompt.tell;
            locker.unlock();
            tell(QStringLiteral("The address of the database %1 holds a password. It is used "
                                "for this session only and is not saved with the project; "
                                "next time it is asked for, unless ~/.pgpass gives it.")
                     .arg(shown));
        }
    }
    bool opened = m_db.open();
    bool asked = false;
    // Only an authentication failure is tried again: an unreachable server would wait twice.
    const auto authentication = [this] {
        const QString why = m_db.lastError().databaseText();
        return why.contains(QLatin1String("fe_sendauth")) ||
               why.contains(QLatin1String("password"), Qt::CaseInsensitive);
    };
    // A password given earlier this session that no longer works is asked for again.
    if (!opened && !passwordGiven && mayAsk() && authentication() &&
        serverWantsPassword(m_db, options)) {
        QMutexLocker locker(&passwords.lock);
        passwords.given.remove(address);
        const auto ask = passwords.prompt.ask;
        locker.unlock();
        if (const std::optional<QString> answer =
                ask ? ask(address, m_db.userName()) : std::nullopt) {
            asked = true;
            m_db.setPassword(*answer);
            opened = m_db.open();
        }
    }
    if (!opened) {
        const QString why = m_db.lastError().databaseText().trimmed();
        if (asked)
            return fail(QStringLiteral("Cannot connect to the PostgreSQL database %1: the "
                                       "password entered for %2 was not accepted (%3).")
                            .arg(shown, quoted(m_db.userName()), why));
        return fail(
            QStringLiteral("Cannot connect to the PostgreSQL database %1: %2").arg(shown, why));
    }
    if (asked) {
        QMutexLocker locker(&passwords.lock);
        passwords.given.insert(address, m_db.password());
    }
    m_ownLockTimeout = hasLockTimeout;
    const QString notSetUp = setUpPostgreSQLSession();
    return notSetUp.isEmpty() || fail(notSetUp);
}

QString DatabaseConnection::setUpPostgreSQLSession()
{
    // Literals double their quotes and nothing else, which holds only while a backslash is a
    // plain character; a server configured otherwise must not change that for us.
    QSqlQuery setup(m_db);
    if (!setup.exec(QStringLiteral("set standard_conforming_strings = on")) ||
        // A table another station holds locked must not freeze a window or a batch forever;
        // the address may name a lock_timeout of its own (options=-c lock_timeout=...).
        (!m_ownLockTimeout &&
         !setup.exec(QStringLiteral("set lock_timeout = '%1ms'").arg(LockTimeoutMs))))
        return QStringLiteral("Cannot set up the PostgreSQL connection %1: %2")
            .arg(quoted(WithoutPassword(m_path)), setup.lastError().databaseText().trimmed());
    return {};
}

bool DatabaseConnection::connectionBroken() const
{
    if (m_engine != DatabaseEngine::PostgreSQL || !m_db.isValid())
        return false;
    const QVariant handle = m_db.driver()->handle();
    
    // Qt's driver names the type by libpq's struct, "pg_conn*".
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 &&
                              qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return false;
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    return !connection || PQstatus(connection) == CONNECTION_BAD;
}

bool DatabaseConnection::reconnect()
{
    if (m_engine != DatabaseEngine::PostgreSQL || !m_db.isValid())
        return isOpen();
    // The same QSqlDatabase, user and password: whoever shares it sees the new connection.
    m_db.close();
    if (!m_db.open()) {
        m_error = QStringLiteral("Cannot connect to the PostgreSQL database %1: %2")
                      .arg(quoted(WithoutPassword(m_path)),
                           m_db.lastError().databaseText().trimmed());
        return false;
    }
    m_lost = false;
    m_error = setUpPostgreSQLSession();
    return m_error.isEmpty();
}

QString DatabaseConnection::quoteName(const QString& name) const
{
    return m_engine == DatabaseEngine::PostgreSQL ? doubleQuotedName(name) : bracketedName(name);
}

DatabaseConnection::Outcome DatabaseConnection::classify(const QSqlError& error) const
{
    if (m_engine == DatabaseEngine::PostgreSQL) { // SQLSTATE class 42: syntax or access rule
        if (connectionLost(error))
            return Outcome::Lost;
        return error.nativeErrorCode().startsWith(QLatin1String("42")) ? Outcome::Rejected
                                                                       : Outcome::Failed;
    }
    // QSQLITE reports what fails to compile as a statement error and what fails while
    // running as a connection error.
    return error.type() == QSqlError::StatementError ? Outcome::Rejected : Outcome::Failed;
}

QString DatabaseConnection::describe(const QSqlError& error) const
{
    if (m_engine == DatabaseEngine::Access) {
        if (error.nativeErrorCode() == QString::number(SQLiteReadOnly))
            return QStringLiteral("The Access database %1 is opened read-only: changes cannot "
                                  "be saved to it.")
                .arg(quoted(m_path));
        static const QString noSuchTable = QStringLiteral("no such table: ");
        const QString text = error.databaseText();
        if (text.startsWith(noSuchTable)) {
            const QString reason = m_access.notCopied.value(text.mid(noSuchTable.size()).toLower());
            if (!reason.isEmpty())
                return reason;
        }
    }
    if (m_engine == DatabaseEngine::PostgreSQL) {
        if (connectionLost(error))
            return QStringLiteral("The connection to the database server %1 was lost (%2). "
                                  "The next record chosen, or Refresh, connects again.")
                .arg(quoted(QUrl(m_path).toString(QUrl::RemovePassword)),
                     error.databaseText().trimmed());
        if (error.nativeErrorCode() == LockNotAvailable)
            return QStringLiteral("Another station holds %1 locked; waited %2 seconds. Try again "
                                  "when it is free.")
                .arg(lockedTables())
                .arg(LockTimeoutMs / 1000);
    }
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text() : text;
}

bool DatabaseConnection::connectionLost(const QSqlError& error) const
{
    if (m_engine != DatabaseEngine::PostgreSQL || !m_db.isValid())
        return false;
    // 57P01-57P03: the server shut down or ended the session; class 08: the connection failed.
    const QString code = error.nativeErrorCode();
    return code.startsWith(QLatin1String("57P0")) || code.startsWith(QLatin1String("08")) ||
           connectionBroken();
}

QString DatabaseConnection::lockedTables() const
{
    // Asked after the wait was given up, so what is named is what another session still holds.
    QSqlQuery query(m_db);
    QStringList tables;
    if (query.exec(QStringLiteral(
            "select distinct c.relname from pg_catalog.pg_locks l "
            "join pg_catalog.pg_class c on c.oid = l.relation "
            "where l.granted and l.pid <> pg_catalog.pg_backend_pid() "
            "and l.mode = 'AccessExclusiveLock' and c.relkind in ('r', 'v', 'm', 'p') "
            "and pg_catalog.pg_table_is_visible(c.oid) order by 1"))) {
        while (query.next())
            tables << quoted(query.value(0).toString());
    }
    return tables.isEmpty() ? QStringLiteral("a table this needs")
                            : QStringLiteral("the table %1").arg(tables.join(QStringLiteral(", ")));
}

QString DatabaseConnection::unreadableReason(const QString& table) const
{
    return m_engine == DatabaseEngine::Access ? m_access.notCopied.value(table.toLower())
                                              : QString();
}

DatabaseConnection::Selection DatabaseConnection::select(const QString& sql,
                                                         const QVariantList& binds, Scroll scroll,
                                                         Precision precision)
{
    Selection selection;
    if (m_lost) { // the server may be back (a restart): one new connection before giving up
        m_lost = false;
        if (!OpenProjectDatabase(m_path)) {
            m_lost = true;
            selection.outcome = Outcome::Lost;
            selection.error = QStringLiteral("The connection to the database was lost and "
                                             "cannot be made again: %1 Refresh, or the next "
                                             "record chosen, tries again.")
                                  .arg(m_error);
            return selection;
        }
    }
    if (!isOpen()) {
        selection.error = QStringLiteral("No database is open.");
        return selection;
    }
    const QString text = m_engine == DatabaseEngine::PostgreSQL ? bracketsToDoubleQuotes(sql) : sql;
    selection.query = QSqlQuery(m_db);
    selection.query.setForwardOnly(scroll == Scroll::ForwardOnly);
    if (precision == Precision::Exact)
        selection.query.setNumericalPrecisionPolicy(QSql::HighPrecision);
    bool done = false;
    if (binds.isEmpty()) {
        done = selection.query.exec(text);
    } else if (selection.query.prepare(text)) {
        for (const QVariant& value : binds)
            selection.query.addBindValue(value);
        done = selection.query.exec();
    }
    if (done) {
        selection.outcome = Outcome::Ok;
    } else {
        selection.outcome = classify(selection.query.lastError());
        selection.error = describe(selection.query.lastError());
        m_lost = selection.outcome == Outcome::Lost;
    }
    return selection;
}

DatabaseConnection::Selection DatabaseConnection::execute(const QString& sql,
                                                          const QVariantList& binds)
{
    if (isReadOnly() && isOpen()) {
        Selection refused;
        refused.error = describe(QSqlError(QString(), QString(), QSqlError::StatementError,
                                           QString::number(SQLiteReadOnly)));
        return refused;
    }
    return select(sql, binds);
}

ColumnKind DatabaseConnection::columnKind(const QString& table, const QString& column)
{
    if (!isOpen())
        return ColumnKind::Other;
    if (m_engine == DatabaseEngine::Access)
        return m_access.columnKinds.value(table.toLower())
            .value(column.toLower(), ColumnKind::Other);
    QSqlQuery query(m_db);
    if (m_engine == DatabaseEngine::SQLite) {
        query.prepare(QStringLiteral("select type from pragma_table_info(?) "
                                     "where name = ? collate nocase"));
        query.addBindValue(table);
        query.addBindValue(column);
    } else {
        // Names are matched exactly first, then without regard to case, as a bare name would.
        query.prepare(QStringLiteral(
            "select pg_catalog.format_type(a.atttypid, a.atttypmod) "
            "from pg_catalog.pg_attribute a join pg_catalog.pg_class c on c.oid = a.attrelid "
            "where pg_catalog.pg_table_is_visible(c.oid) and a.attnum > 0 and not a.attisdropped "
            "and lower(c.relname) = lower(?) and lower(a.attname) = lower(?) "
            "order by c.relname = ? desc, a.attname = ? desc limit 1"));
        for (const QString& value : {table, column, table, column})
            query.addBindValue(value);
    }
    if (!query.exec() || !query.next())
        return ColumnKind::Other;
    return columnKindForDeclaredType(query.value(0).toString());
}

ColumnKind DatabaseConnection::keyColumnKind(const QString& table, const QString& column)
{
    const ColumnKind declared = columnKind(table, column);
    if (declared != ColumnKind::Other || m_engine != DatabaseEngine::SQLite)
        return declared;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("select type from pragma_table_info(?) "
                                 "where name = ? collate nocase"));
    query.addBindValue(table);
    query.addBindValue(column);
    // Only a column without a declared type (no affinity) compares by what each value holds.
    if (!query.exec() || !query.next() || !query.value(0).toString().trimmed().isEmpty())
        return declared;
    const QString name = quoteName(table) + QStringLiteral(".[") + column + u']';
    DatabaseConnection::Selection held = select(
        QStringLiteral("select exists(select 1 from %1 where typeof(%2) in ('integer', 'real')), "
                       "exists(select 1 from %1 where typeof(%2) in ('text', 'blob'))")
            .arg(quoteName(table), name));
    if (held.outcome != Outcome::Ok || !held.query.next())
        return declared;
    const bool numbers = held.query.value(0).toBool(), texts = held.query.value(1).toBool();
    if (numbers && !texts)
        return ColumnKind::Numeric;
    if (texts && !numbers)
        return ColumnKind::Text;
    return declared;
}

QStringList DatabaseConnection::catalogue()
{
    if (!isOpen())
        return {};
    if (m_engine == DatabaseEngine::Access)
        return m_access.catalogue;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    const QString sql =
        m_engine == DatabaseEngine::SQLite
            // The issuance record's own table is no table of people.
            ? QStringLiteral("select name from sqlite_schema where type in ('table', 'view') "
                             "and name not like 'sqlite\\_%' escape '\\' and name <> "
                             "'vellumark_issued' order by rowid")
            : QStringLiteral(
                  "select c.relname from pg_catalog.pg_class c "
                  "join pg_catalog.pg_namespace n on n.oid = c.relnamespace "
                  "where c.relkind in ('r', 'v', 'm', 'f', 'p') and not c.relispartition "
                  "and n.nspname <> 'information_schema' and n.nspname not like 'pg\\_%' "
                  "and pg_catalog.pg_table_is_visible(c.oid) order by c.oid");
    QStringList names;
    if (!query.exec(sql)) {
        m_error = describe(query.lastError());
        return names;
    }
    while (query.next())
        names << query.value(0).toString();
    return names;
}

QStringList ListUserTables(DatabaseConnection& connection)
{
    QStringList tables;
    for (const QString& name : connection.catalogue()) {
        if (!name.startsWith(QLatin1String("MSys"), Qt::CaseSensitive))
            tables << name;
    }
    return tables;
}

QStringList ListFieldNames(DatabaseConnection& connection, const QString& table, QString* error)
{
    // No row is fetched: a server would otherwise send the whole table.
    const DatabaseConnection::Selection selection =
        connection.select(QStringLiteral("select * from ") + connection.quoteName(table) +
                          QStringLiteral(" limit 0"));
    if (selection.outcome != DatabaseConnection::Outcome::Ok) {
        if (error)
            *error = selection.error;
        return {};
    }
    const QSqlRecord record = selection.query.record();
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

QString unusableTableReason(const DatabaseConnection& connection, const QString& table)
{
    if (const QString reason = connection.unreadableReason(table); !reason.isEmpty())
        return reason;
    return unusableNameReason(table);
}

QStringList ListQualifiedFields(DatabaseConnection& connection, const QStringList& tables)
{
    QStringList fields{NoneField};
    for (const QString& table : tables) {
        for (const QString& column : ListFieldNames(connection, table))
            fields << table + u'.' + column;
    }
    return fields;
}

} // namespace vm
