#include "project/ProjectCheck.h"

#include "common/DatabaseAddress.h"

#include <QDir>

namespace vm {

namespace {

QString shownAddress(const QString& databasePath)
{
    return engineForPath(databasePath) == DatabaseEngine::PostgreSQL
               ? WithoutPassword(databasePath)
               : QDir::toNativeSeparators(databasePath);
}

} // namespace

QString cannotOpenDatabase(const QString& databasePath, const QString& why)
{
    const QString where = shownAddress(databasePath);
    return why.contains(where) ? why
                               : QStringLiteral("Cannot open the database %1: %2").arg(where, why);
}

Status checkProjectDatabase(DatabaseConnection& db, const StoredSettings& project)
{
    const QString where = shownAddress(project.DatabasePath);
    if (project.DatabasePath.isEmpty())
        return Status::failure(QStringLiteral("The project names no database."));
    if (!db.OpenProjectDatabase(project.DatabasePath))
        return Status::failure(cannotOpenDatabase(project.DatabasePath, db.errorText()));

    QStringList problems;
    if (project.MasterTable.isEmpty()) {
        problems << QStringLiteral("the project names no master table");
    } else {
        QString why;
        const QStringList columns = ListFieldNames(db, project.MasterTable, &why);
        // PostgreSQL keeps the letter case of quoted names; the other engines ignore it.
        const Qt::CaseSensitivity cs =
            db.engine() == DatabaseEngine::PostgreSQL ? Qt::CaseSensitive : Qt::CaseInsensitive;
        if (columns.isEmpty())
            problems << QStringLiteral("the master table %1 cannot be read (%2)")
                            .arg(project.MasterTable, why);
        else if (project.UniqueField.isEmpty())
            problems << QStringLiteral("the project names no unique field");
        else if (!columns.contains(project.UniqueField, cs))
            problems << QStringLiteral("the master table %1 has no unique field %2")
                            .arg(project.MasterTable, project.UniqueField);
    }
    for (const QString& child : project.DataTables) {
        QString why;
        if (ListFieldNames(db, child, &why).isEmpty())
            problems << QStringLiteral("the child table %1 cannot be read (%2)").arg(child, why);
    }
    if (problems.isEmpty())
        return {};
    return Status::failure(QStringLiteral("The database %1 does not fit the project: %2.")
                               .arg(where, problems.join(QStringLiteral("; "))));
}

} // namespace vm
