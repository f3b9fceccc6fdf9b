#pragma once

#include <QString>

namespace vm {

// How a key value is written into a statement: between single quotes, bare, or not at all.
enum class ColumnKind { Text, Numeric, Other };

// The kind of a column from its declared type on SQLite or PostgreSQL ("varchar(30)",
// "double precision", "timestamp without time zone", ...). Decided from the type name alone,
// never from a value: SQLite hands back dates as text and booleans as integers.
ColumnKind columnKindForDeclaredType(const QString& declaredType);

} // namespace vm
