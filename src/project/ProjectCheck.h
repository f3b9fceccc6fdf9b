#pragma once

#include "common/Status.h"
#include "project/Database.h"
#include "project/StoredSettings.h"

namespace vm {

// Whether the project's database can serve its badges: opens DatabasePath on the connection,
// then looks for the master table, its unique field and the child tables. A failure names each
// thing that is missing; the connection is left open whenever the database opened.
Status checkProjectDatabase(DatabaseConnection& db, const StoredSettings& project);

// "Cannot open the database ...: why", naming the database once (without a password), also when
// `why` from the connection names it already.
QString cannotOpenDatabase(const QString& databasePath, const QString& why);

} // namespace vm
