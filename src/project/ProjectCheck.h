#pragma once

#include "common/Status.h"
#include "project/Database.h"
#include "project/StoredSettings.h"

namespace vm {

// Whether the project's database can serve its badges: opens DatabasePath on the connection,
// then looks for the master table, its unique field and the child tables, and runs the join of
// each child table by its relation. A failure names each thing that is missing or refused; the
// connection is left open whenever the database opened.
Status checkProjectDatabase(DatabaseConnection& db, const StoredSettings& project);

// Whether the database takes the join of `master` and `child` by `relation`: the join runs
// without fetching a row. A refusal says why in words (columns of different kinds, a column
// that is not there) and names the relation.
Status checkRelation(DatabaseConnection& db, const QString& master, const QString& child,
                     const QString& relation);

} // namespace vm
