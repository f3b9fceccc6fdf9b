#pragma once

#include <QString>

namespace vm {

// A name written as one double-quoted identifier, embedded quotes doubled. A dot stays part of
// the name: Access names never hold one, and a name the program inserts is never schema.table.
QString doubleQuotedName(const QString& name);

// Statement text in the Access notation (Table.[Column], [Name]) made fit for PostgreSQL:
// every [Name] becomes "Name", and a bare name written directly before ".[" is quoted too, so
// the capitals of both table and column survive. Text inside single quotes (literals) and
// double quotes (names quoted already) is copied unchanged.
QString bracketsToDoubleQuotes(const QString& sql);

} // namespace vm
