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

// What a picture setting finds before any badge is shown: for the people of the project (the
// joined rows of its tables, the first `limit` of them), how many have a picture file for the
// value of `field` in `folder`, looked up exactly as the record browser does.
struct PictureCoverage {
    qint64 people = 0;
    qint64 found = 0;
    bool moreThanLimit = false;
    QString lookedFor;         // the first name tried for the first person
    bool valuesEndInPicture = false; // a value ends in ".jpg" (or another ending) already
};
Result<PictureCoverage> pictureCoverage(DatabaseConnection& db, const StoredSettings& project,
                                        const QString& field, const QString& folder,
                                        int limit = 1000);

// The coverage in the operator's words: "Photographs found for 39 of 40 people; looked for
// /cards/Photos/E-001.jpg." with a hint when the values carry an ending of their own.
QString describeCoverage(const PictureCoverage& coverage, const QString& what,
                         const QString& field);

// "Cannot open the database ...: why", naming the database once (without a password), also when
// `why` from the connection names it already.
QString cannotOpenDatabase(const QString& databasePath, const QString& why);

} // namespace vm
