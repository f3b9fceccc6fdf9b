#include "project/StatementCancel.h"

#include "project/Database.h"

#include <QSqlDriver>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <memory>

namespace vm {

pg_conn* postgresHandle(const DatabaseConnection& db)
{
    const QVariant handle = db.database().driver()->handle();
    // Qt registers the handle under the name of libpq's struct.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

sqlite3* sqliteHandle(const DatabaseConnection& db)
{
    const QVariant handle = db.database().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

std::function<void()> statementCanceller(const DatabaseConnection& db)
{
    if (!db.isOpen())
        return [] {
        };
    if (PGconn* connection = postgresHandle(db)) {
        // The cancel object is libpq's own for this purpose: usable from another thread, and
        // after the connection itself has gone (the server then finds nothing to cancel).
        const std::shared_ptr<PGcancel> cancel(PQgetCancel(connection), PQfreeCancel);
        return [cancel] {
            char why[256];
            if (cancel)
                static_cast<void>(PQcancel(cancel.get(), why, int(sizeof why)));
        };
    }
    if (sqlite3* handle = sqliteHandle(db))
        return [handle] {
            sqlite3_interrupt(handle);
        };
    return [] {
    };
}

} // namespace vm
