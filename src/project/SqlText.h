#pragma once

#include <QString>

#include <optional>

namespace vm {

// A name written as one double-quoted identifier, embedded quotes doubled. A dot stays part of
// the name: Access names never hold one, and a name the program inserts is never schema.table.
QString doubleQuotedName(const QString& name);

// A name as SQLite (and the Access copy) takes it: unchanged when it can stand bare (letters,
// digits and "_", no keyword), so the statements of ordinary names stay as they always were;
// otherwise in brackets: [Order], [O'Brien], [Dash-Table], [Order Details].
QString bracketedName(const QString& name);

// Why a table or column name cannot be used by a project: a double quote, which the project
// file cannot hold, or a closing bracket, which no bracketed name can. Empty when it can.
QString unusableNameReason(const QString& name);

// The statement that tries the join of a master and a child table by a relation without
// fetching a row ("select * from M,C where relation limit 0"); the names come quoted already.
QString relationProbeStatement(const QString& quotedMaster, const QString& quotedChild,
                               const QString& relation);

// Statement text in the Access notation (Table.[Column], [Name]) made fit for PostgreSQL:
// every [Name] becomes "Name", and a bare name written directly before ".[" is quoted too, so
// the capitals of both table and column survive. Text inside single quotes (literals) and
// double quotes (names quoted already) is copied unchanged.
QString bracketsToDoubleQuotes(const QString& sql);

// The two sides of a relation written Master.[Column]=Child.[Column] (either way round, blanks
// and brackets optional). Empty when the relation has another form or does not join the master
// table with `child`.
struct RelationColumns {
    QString masterColumn;
    QString childColumn;
};
std::optional<RelationColumns> relationColumns(const QString& relation, const QString& master,
                                               const QString& child);

} // namespace vm
