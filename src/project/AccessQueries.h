#pragma once

#include "common/Status.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

namespace vm {

struct AccessCopy;

// One row of a saved query's definition as the Access file keeps it (its MSysQueries table).
struct AccessQueryRow {
    int attribute = 0; // what the row describes: 1 kind, 2 parameter, 3 options, 5 source, ...
    int flag = 0;
    QString name1;
    QString name2;
    QString expression;
};

// Whether a source (a table or query name as the query names it) has a column, compared
// without regard to case; answers false for what it does not know.
using ColumnProbe = std::function<bool(const QString& source, const QString& column)>;

// The saved query as a SQLite SELECT over the copied tables, or why it has none. Only what
// SQLite does exactly as Access does is translated; anything else (texts joined with "&",
// parameters, form references, functions without an exact counterpart, action and crosstab
// queries) is refused with a reason the operator can read.
struct TranslatedQuery {
    QString sql;
    QStringList sources; // tables and queries it reads, as named in the file
};
Result<TranslatedQuery> translateAccessQuery(const QList<AccessQueryRow>& rows,
                                             const ColumnProbe& hasColumn);

// Makes a view of the copy for every saved query of `queries` that translates and runs, in an
// order that lets a query read another; each stays listed in copy->notCopied with the reason
// when it does not. Column kinds of the views join copy->columnKinds. The copy must hold the
// file's MSysObjects and MSysQueries tables.
void createQueryViews(QSqlDatabase& target, const QStringList& queries, AccessCopy* copy);

} // namespace vm
