#pragma once

#include "project/Database.h"
#include "project/ProjectSettings.h"

#include <QString>

#include <functional>

namespace vm {

// How inserted table and column names are written: unchanged on SQLite and the Access copy (the
// statements stay exactly as the system has always written them), double-quoted on PostgreSQL.
using NameQuoter = std::function<QString(const QString&)>;

// The two statements that fetch one record and its picture columns.
struct RecordStatements {
    QString masterCondition; // " where M.[U]=v", or empty when the key kind has no condition
    QString selectList;      // "M.*,C1.*,..."
    QString tableList;       // "M,C1,..."
    QString condition;       // relations and master condition, or empty
    QString recordSql;       // "select " + select list + " from " + table list + condition
    QString pictureSql;      // "Select photo, sign From ..."; empty when neither field is set
};

// A photo or signature field counts as set unless it is "<None>" or empty.
bool isPictureFieldSet(const QString& field);

// " where M.[U]=v" (numeric key), " where M.[U]='v'" (text key; v is not escaped, so a quote in
// it makes the statement invalid), empty for any other kind.
QString masterCondition(const QString& master, const QString& uniqueField, const QString& value,
                        ColumnKind kind, const NameQuoter& quote = {});

// The record statement joins the master table with every child table for one key value; the
// picture statement reads the photo and signature columns of that same joined row (same table
// list, same whole condition), so a picture column of a child table comes from the related row.
RecordStatements buildRecordStatements(const StoredSettings& project, const QString& keyValue,
                                       ColumnKind keyKind, const NameQuoter& quote = {});

} // namespace vm
