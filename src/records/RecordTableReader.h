#pragma once

#include "project/ColumnKind.h"
#include "records/RecordRows.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace vm {

class DatabaseConnection;

// What a reading learns before the first row.
struct RecordTableColumns {
    QStringList names;        // in table order
    QList<ColumnKind> kinds;  // numbers sort by value
    int keyColumn = -1;       // the key's column; -1 when the table has none of that name
    // The key's kind as a link compares it (DatabaseConnection::keyColumnKind), which can differ
    // from how its column sorts; found here so the window never asks the database for it.
    ColumnKind keyKind = ColumnKind::Other;
    qint64 expectedRows = -1; // by a count before reading; -1 when the count failed
};

struct RecordTableSink {
    std::function<void(const RecordTableColumns&)> columns;
    std::function<void(RecordChunkPtr)> chunk;
};

// Reads every row of `table` in one forward-only pass and hands the rows over in chunks: a
// small first one at once, then bigger ones, or what has come in after a tenth of a second
// from a slow server. SQLite files and Access copies are read straight from SQLite's own
// interface, which costs a third of going through a value per cell. Returns why the reading
// failed or stopped early; empty when every row was read or when `cancelled` was set.
QString readRecordTable(DatabaseConnection& db, const QString& table, const QString& keyColumn,
                        const RecordTableSink& sink, const std::atomic<bool>& cancelled);

} // namespace vm
