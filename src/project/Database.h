#pragma once

#include "common/DatabaseAddress.h"
#include "project/AccessImport.h"
#include "project/ColumnKind.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>

namespace vm {

// Where a project's data lives, chosen from its DatabasePath.
enum class DatabaseEngine { SQLite, Access, PostgreSQL };

// .mdb and .accdb files are Access databases, postgresql:// and postgres:// URLs PostgreSQL
// servers, anything else a SQLite file.
DatabaseEngine engineForPath(const QString& databasePath);

// The connection text of the legacy provider, still shown and stored wherever one is.
QString DatabaseConnectionString(const QString& path);

// One window's connection to the project database. Each window owns its own, so each holds a
// uniquely named QSqlDatabase that lives as long as this object.
//   SQLite file: read-write; a missing file is an error, never a new empty database.
//   Access file: copied into an in-memory SQLite database on open, read-only. Connections to the
//   same unchanged file share one copy (any thread), so a second window does not import again.
//   PostgreSQL (postgresql://user@host:port/dbname): read-write; the password comes from the
//   path (kept in memory only), ~/.pgpass, PGPASSFILE or PGPASSWORD, or else from the operator
//   through the password prompt, and is then kept for the session only.
// How the program's windows take part in connecting; the core itself shows nothing.
struct PasswordPrompt {
    // The password of `user` for `address` (shown without any password); nothing: cancelled.
    std::function<std::optional<QString>(const QString& address, const QString& user)> ask;
    // Says something once a session, such as that a password in an address is not saved.
    std::function<void(const QString& text)> tell;
};

class DatabaseConnection {
public:
    // Installed by the program's main window; an empty prompt asks nothing. Only the thread of
    // the application object asks, other threads use the passwords already given.
    static void setPasswordPrompt(PasswordPrompt prompt);

    DatabaseConnection();
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    // The folder of the open project's file: a database file named by a relative path lies
    // there, wherever the program was started from. Empty: the current folder.
    static void setProjectFolder(const QString& folder);
    static QString resolvedFile(const QString& file);

    // Closes whatever was open and opens `path`. False: errorText() says why.
    bool OpenProjectDatabase(const QString& path);
    bool isOpen() const;
    void close();
    QString errorText() const;
    DatabaseEngine engine() const;
    QString databasePath() const;
    bool isReadOnly() const; // true for Access copies
    QSqlDatabase database() const;

    // The code page of Jet 3 text for Access files opened from now on ("CP1256"), for files whose
    // header names the wrong one. Empty: the open project's (setProjectAccessCharset), else
    // MDB_JET3_CHARSET from the environment, else the header. A code page named in the path
    // itself (older projects) takes precedence.
    void setAccessCharset(const QByteArray& charset);
    // The open project's, from its companion file, for every connection that names none.
    static void setProjectAccessCharset(const QByteArray& charset);
    // Off for a connection that names the code page itself, empty meaning the header's (the
    // wizard, trying code pages for a project not yet saved).
    void setUsesProjectAccessCharset(bool uses) { m_usesProjectCharset = uses; }

    // A name as this program inserts it into a statement: double-quoted on PostgreSQL, which
    // folds bare names to lower case; elsewhere unchanged when it can stand bare, so statement
    // texts stay exactly as the legacy system wrote them, and bracketed when it cannot ([Order],
    // [O'Brien]).
    QString quoteName(const QString& name) const;

    // Rejected: the engine refused the statement text (syntax, unknown table or column).
    // Failed: anything else (no connection, a refused write, a server gone away).
    // Lost: the connection to the server is gone (a restart, a terminated session).
    enum class Outcome { Ok, Rejected, Failed, Lost };
    struct Selection {
        Outcome outcome = Outcome::Failed;
        QString error;
        QSqlQuery query;
    };
    // Forward-only results cost a row at a time; scrollable ones keep every row fetched.
    enum class Scroll { ForwardOnly, Scrollable };
    // Exact: decimal numbers come back as their text, not rounded to double (keys).
    enum class Precision { Double, Exact };

    // After a statement found the server gone (Lost), the next one connects again first.
    // Runs a statement written in Table.[Column] notation; on PostgreSQL the bracketed names
    // (outside string literals) become double-quoted ones first. `binds` fill its "?" in order.
    Selection select(const QString& sql, const QVariantList& binds = {},
                     Scroll scroll = Scroll::ForwardOnly, Precision precision = Precision::Double);
    // The same for a statement that changes data; refused on Access copies without running.
    Selection execute(const QString& sql, const QVariantList& binds = {});

    // The kind of a column for writing key values; Other when the table or column is unknown.
    ColumnKind columnKind(const QString& table, const QString& column);
    // The same for the unique field: a SQLite column declared without a type takes the kind of
    // what it holds (numbers only: Numeric, text only: Text), as SQLite compares a number there
    // with a quoted literal as unequal.
    ColumnKind keyColumnKind(const QString& table, const QString& column);

    // The engine's own list of tables and views in catalogue order, engine-internal tables left
    // out; for an Access file every table (system tables too), query and linked table.
    QStringList catalogue();

    // Why a catalogue entry of an Access file has no rows here (a saved query that cannot be
    // translated, a linked table); empty when it can be read, and for every other engine.
    QString unreadableReason(const QString& table) const;

    // The text an operator is shown for an error of this connection's database.
    QString describe(const QSqlError& error) const;

    // Whether the server went away under this connection (a restart, a terminated session);
    // known once a statement has found it gone.
    bool connectionBroken() const;
    // Connects again to the same server in place, so a model or query made on database() keeps
    // working with what it holds. False: errorText() says why.
    bool reconnect();

private:
    bool fail(const QString& why);
    bool openSQLite(const QString& path);
    bool openAccess(const QString& path);
    void releaseAccessCopy();
    bool openPostgreSQL(const QString& url);
    bool addDatabase(const QString& driver);
    Outcome classify(const QSqlError& error) const;
    bool connectionLost(const QSqlError& error) const;
    QString lockedTables() const;
    QString setUpPostgreSQLSession(); // why not; empty when done

    QString m_connectionName;
    QSqlDatabase m_db;
    DatabaseEngine m_engine = DatabaseEngine::SQLite;
    QString m_path;
    QString m_error;
    QByteArray m_accessCharset;
    bool m_usesProjectCharset = true;
    AccessCopy m_access;
    QString m_sharedCopy; // the registry key of the Access copy this connection uses
    bool m_lost = false;  // the server went away: the next statement connects again first
    bool m_ownLockTimeout = false; // the address names a lock_timeout of its own
};

// The schema questions of the configuration wizard and the designer; identical on every engine.

// The catalogue without the names that begin with "MSys" (compared with case).
QStringList ListUserTables(DatabaseConnection& connection);

// The columns of "select * from " + table, in order, the name quoted as the engine needs it.
// On failure: empty, and *error says why.
QStringList ListFieldNames(DatabaseConnection& connection, const QString& table,
                           QString* error = nullptr);

// Why a listed table cannot serve a project: it has no rows here, or its name cannot be written
// into a project file or a statement. Empty when it can.
QString unusableTableReason(const DatabaseConnection& connection, const QString& table);

// "<None>", then "Table.Column" for every column of the tables in order; a table whose columns
// cannot be read is skipped silently.
QStringList ListQualifiedFields(DatabaseConnection& connection, const QStringList& tables);

} // namespace vm
