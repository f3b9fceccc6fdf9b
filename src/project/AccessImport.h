#pragma once

#include "project/ColumnKind.h"

#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace vm {

// An Access file as copied into SQLite: what its catalogue lists and what the copy holds.
struct AccessCopy {
    // Tables (system tables too), queries and linked tables, in the catalogue's order.
    QStringList catalogue;
    // Kind of every copied column, by lower-case table name and lower-case column name
    // (Access names ignore case).
    QHash<QString, QHash<QString, ColumnKind>> columnKinds;
    // Catalogue entries that have no rows in the copy, by lower-case name, with the reason.
    QHash<QString, QString> notCopied;
    qint64 rows = 0;
};

// True for an Access file of the Jet 3 format, the only one whose text follows a code page (Jet 4
// and later keep Unicode). False for anything else, including files that cannot be read.
bool isJet3File(const QString& path);

// Copies every table of the Access file at `path` into `target`, an open and empty SQLite
// database. `jet3Charset` names the code page of Jet 3 text ("CP1256") when the file's header
// names the wrong one; empty keeps libmdb's choice (MDB_JET3_CHARSET from the environment, else
// the header's). The Access file is only ever read. Returns an empty text on success, else why
// the file cannot be read.
QString copyAccessFile(const QString& path, const QByteArray& jet3Charset, QSqlDatabase& target,
                       AccessCopy* copy);

} // namespace vm
