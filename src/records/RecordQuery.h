#pragma once

#include "common/Status.h"
#include "project/SqlText.h"
#include "project/StoredSettings.h"
#include "records/RecordKey.h"

#include <QString>
#include <QStringList>

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

// The key condition is " where M.[U]=" + the key's literal (17, 'O''Brien'). The record
// statement joins the master table with every child table for that key; the picture statement
// reads the photo and signature columns of that same joined row (same table list, same whole
// condition), so a picture column of a child table comes from the related row. A key that cannot
// be written as a literal is refused with its problem. `quoteNumbers`: see RecordKey::sqlLiteral.
Result<RecordStatements> buildRecordStatements(const StoredSettings& project, const RecordKey& key,
                                               const NameQuoter& quote = {},
                                               bool quoteNumbers = false);

// What finds out why the record statement gave no row: the master row alone
// ("select M.* from M where M.[U]=v"), then for each child table the joined row of the master
// and that child by its own relation ("select Ci.* from M,Ci where Ri AND  M.[U]=v").
// countSql counts the master rows the key names ("select count(*) from M where M.[U]=v").
struct MissingRowStatements {
    QString masterSql;
    QString countSql;
    QStringList childSql; // one per relation that has its child table
};
Result<MissingRowStatements> buildMissingRowStatements(const StoredSettings& project,
                                                       const RecordKey& key,
                                                       const NameQuoter& quote = {},
                                                       bool quoteNumbers = false);

// Every value of the unique field that more than one master row holds, with how many:
// "select M.[U], count(*) from M where M.[U] is not null group by M.[U] having count(*) > 1".
QString buildSharedKeysStatement(const StoredSettings& project, const NameQuoter& quote = {});

} // namespace vm
