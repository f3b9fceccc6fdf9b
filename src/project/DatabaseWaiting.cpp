#include "project/DatabaseWaiting.h"

#include "common/DatabaseAddress.h"
#include "project/ProjectCheck.h"

namespace vm {

bool openWhileWaiting(QMdiArea* area, DatabaseConnection& connection, const QString& path)
{
    DatabaseConnection first; // closed after `connection` opened, keeping the copy alive
    readWhileWaiting(area, QStringLiteral("Opening the database %1").arg(WithoutPassword(path)),
                     [&] { static_cast<void>(first.OpenProjectDatabase(path)); });
    return connection.OpenProjectDatabase(path);
}

Status checkDatabaseWhileWaiting(QMdiArea* area, const StoredSettings& project)
{
    std::optional<Status> fits;
    readWhileWaiting(area,
                     QStringLiteral("Checking the tables and relations of %1 in %2")
                         .arg(project.ProjectName, WithoutPassword(project.DatabasePath)),
                     [&] {
                         DatabaseConnection db;
                         fits = checkProjectDatabase(db, project);
                     });
    if (!*fits && engineForPath(project.DatabasePath) == DatabaseEngine::PostgreSQL) {
        DatabaseConnection db; // perhaps refused for want of a password only this thread asks
        fits = checkProjectDatabase(db, project);
    }
    return *fits;
}

} // namespace vm
