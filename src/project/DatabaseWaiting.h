#pragma once

#include "common/Status.h"
#include "project/Database.h"
#include "project/StoredSettings.h"
#include "widgets/frmProgress.h"

#include <optional>

class QMdiArea;

namespace vm {

// Database work the operator waits for, done on another thread while frmProgress says what is
// read once it takes long (a slow server, a large Access file copied).

// Opens `path` on `connection`. A connection of another thread connects first (and makes the
// Access copy, which lives while one connection holds it), so this thread's open then finds
// the server answering and the copy made. Only this thread asks for a password, so a server
// that wants one new to the session is asked for it here.
bool openWhileWaiting(QMdiArea* area, DatabaseConnection& connection, const QString& path);

// checkProjectDatabase on a connection of its own.
Status checkDatabaseWhileWaiting(QMdiArea* area, const StoredSettings& project);

// `read` on a connection of its own to the database `open` has open; on `open` itself when a
// second connection cannot be made.
template <class T>
T readAside(QMdiArea* area, DatabaseConnection& open, const QString& what,
            const std::function<T(DatabaseConnection&)>& read)
{
    std::optional<T> result;
    readWhileWaiting(area, what, [&, path = open.databasePath()] {
        DatabaseConnection aside;
        if (aside.OpenProjectDatabase(path))
            result = read(aside);
    });
    return result ? std::move(*result) : read(open);
}

} // namespace vm
