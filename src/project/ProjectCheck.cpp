#include "project/ProjectCheck.h"

#include "common/DatabaseAddress.h"
#include "project/SqlText.h"

#include <QDir>

namespace vm {

Status checkProjectDatabase(DatabaseConnection& db, const StoredSettings& project)
{
    const QString where = engineForPath(project.DatabasePath) == DatabaseEngine::PostgreSQL
                              ? WithoutPassword(project.DatabasePath)
                              : QDir::toNativeSeparators(project.DatabasePath);
    if (project.DatabasePath.isEmpty())
        return Status::failure(QStringLiteral("The project names no database."));
    if (!db.OpenProjectDatabase(project.DatabasePath))
        return Status::failure(
            QStringLiteral("Cannot open the database %1: %2").arg(where, db.errorText()));

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
    for (qsizetype i = 0; i < project.DataTables.size(); ++i) {
        const QString& child = project.DataTables[i];
        QString why;
        if (ListFieldNames(db, child, &why).isEmpty())
            problems << QStringLiteral("the child table %1 cannot be read (%2)").arg(child, why);
        else if (i >= project.Relations.size())
            problems << QStringLiteral("the child table %1 has no relation to the master table")
                            .arg(child);
        else if (const Status joined =
                     checkRelation(db, project.MasterTable, child, project.Relations[i]);
                 !joined)
            problems << joined.error();
    }
    if (problems.isEmpty())
        return {};
    return Status::failure(QStringLiteral("The database %1 does not fit the project: %2.")
                               .arg(where, problems.join(QStringLiteral("; "))));
}

Status checkRelation(DatabaseConnection& db, const QString& master, const QString& child,
                     const QString& relation)
{
    const DatabaseConnection::Selection probe = db.select(
        relationProbeStatement(db.quoteName(master), db.quoteName(child), relation));
    if (probe.outcome == DatabaseConnection::Outcome::Ok)
        return {};
    const QString refused = QStringLiteral("the relation %1 between %2 and %3 is refused by the "
                                           "database")
                                .arg(relation, master, child);
    if (const std::optional<RelationColumns> columns = relationColumns(relation, master, child)) {
        const ColumnKind masterKind = db.columnKind(master, columns->masterColumn);
        const ColumnKind childKind = db.columnKind(child, columns->childColumn);
        const auto holds = [](ColumnKind kind) {
            return kind == ColumnKind::Text ? QStringLiteral("text") : QStringLiteral("numbers");
        };
        const bool kinds = masterKind != ColumnKind::Other && childKind != ColumnKind::Other;
        if (kinds && masterKind != childKind)
            return Status::failure(
                QStringLiteral("%1: %2.%3 holds %4 and %5.%6 holds %7, which it does not "
                               "compare; choose two columns of the same kind")
                    .arg(refused, master, columns->masterColumn, holds(masterKind), child,
                         columns->childColumn, holds(childKind)));
    }
    return Status::failure(QStringLiteral("%1 (%2)").arg(refused, probe.error));
}

} // namespace vm
