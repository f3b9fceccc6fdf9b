#pragma once

#include "project/ColumnKind.h"
#include "project/ProjectSettings.h"

#include <QString>

#include <functional>

namespace vm {

// How inserted table and column names are written: unchanged on SQLite and the Access copy (the
// statements stay exactly as the system has always written them), double-quoted on PostgreSQL.
using NameQuoter = std::function<QString(const QString&)>;

// The two statements that fetch one record and its picture columns.
struct RecordStatements {
    QString recordSql;  // "select M.*,C1.*,... from M,C1,..." + relations and key condition
    QString pictureSql; // "Select photo, sign From ..."; empty when neither field is set
};

// A photo or signature field counts as set unless it is "<None>" or empty.
bool isPictureFieldSet(const QString& field);

// The key condition is " where M.[U]=v" for a numeric key and " where M.[U]='v'" for a text key
// (v is not escaped, so a quote in it makes the statement invalid); any other kind has none, and
// the table list then holds the master table alone.
//
// The record statement joins the master table with every child table for one key value; the
// picture statement reads the photo and signature columns of that same joined row (same table
// list, same whole condition), so a picture column of a child table comes from the related row.
RecordStatements buildRecordStatements(const StoredSettings& project, const QString& keyValue,
                                       ColumnKind keyKind, const NameQuoter& quote = {});

} // namespace vm
