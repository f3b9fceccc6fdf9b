#pragma once

#include <functional>

struct pg_conn;
struct sqlite3;

namespace vm {

class DatabaseConnection;

// The engine handles under a connection, for the few reads that go past Qt SQL; null when the
// connection is of another engine or not open.
pg_conn* postgresHandle(const DatabaseConnection& db);
sqlite3* sqliteHandle(const DatabaseConnection& db);

// Stops the statement `db` runs at the moment, from any thread: PQcancel on PostgreSQL,
// sqlite3_interrupt on SQLite; does nothing for Access copies. Taken while the connection is
// open on its own thread; calling it after the connection has been closed is not allowed, so
// whoever closes the connection drops the canceller first.
std::function<void()> statementCanceller(const DatabaseConnection& db);

} // namespace vm
