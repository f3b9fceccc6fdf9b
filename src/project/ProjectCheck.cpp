#include "project/ProjectCheck.h"

#include "common/DatabaseAddress.h"
#include "common/FileNames.h"
#include "common/PictureFiles.h"
#include "project/SqlText.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

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

Result<PictureCoverage> pictureCoverage(DatabaseConnection& db, const StoredSettings& project,
                                        const QString& field, const QString& folder, int limit)
{
    const qsizetype dot = field.indexOf(u'.');
    if (dot <= 0)
        return Status::failure(QStringLiteral("%1 names no table and column").arg(field));
    QString tables = db.quoteName(project.MasterTable);
    const qsizetype related = std::min(project.DataTables.size(), project.Relations.size());
    for (qsizetype i = 0; i < related; ++i)
        tables += u',' + db.quoteName(project.DataTables[i]);
    QString sql = QStringLiteral("select ") + db.quoteName(field.left(dot)) + QStringLiteral(".[") +
                  field.mid(dot + 1) + QStringLiteral("] from ") + tables;
    if (related > 0)
        sql += QStringLiteral(" where ") +
               project.Relations.mid(0, related).join(QStringLiteral(" AND "));
    sql += QStringLiteral(" limit %1").arg(limit + 1);
    DatabaseConnection::Selection rows = db.select(sql);
    if (rows.outcome != DatabaseConnection::Outcome::Ok)
        return Status::failure(rows.error);
    PictureCoverage coverage;
    static const QRegularExpression ending(QStringLiteral("\\.(jpe?g|bmp|png)\\s*\\z"),
                                           QRegularExpression::CaseInsensitiveOption);
    while (rows.query.next()) {
        if (coverage.people == limit) {
            coverage.moreThanLimit = true;
            break;
        }
        ++coverage.people;
        const QString value = rows.query.value(0).toString();
        if (coverage.lookedFor.isEmpty())
            coverage.lookedFor = withTrailingSlash(folder) + value + QStringLiteral(".jpg");
        coverage.valuesEndInPicture = coverage.valuesEndInPicture || ending.match(value).hasMatch();
        const Result<FoundPicture> found = findPicture(folder, value, PictureHeaderOnly);
        if (found && !found->picture.isNull() && !value.isEmpty())
            ++coverage.found;
    }
    return coverage;
}

QString describeCoverage(const PictureCoverage& coverage, const QString& what, const QString& field)
{
    if (coverage.people == 0)
        return QStringLiteral("%1: the tables hold nobody yet.").arg(what);
    QString text = QStringLiteral("%1 found for %2 of %3%4 people; looked for %5.")
                       .arg(what)
                       .arg(coverage.found)
                       .arg(coverage.moreThanLimit ? QStringLiteral("the first ") : QString())
                       .arg(coverage.people)
                       .arg(QDir::toNativeSeparators(coverage.lookedFor));
    if (coverage.valuesEndInPicture && coverage.found < coverage.people)
        text += QStringLiteral(" The values of %1 end in a picture ending already, and \u201c.jpg"
                               "\u201d is added to them: the values should hold the names "
                               "without their ending.")
                    .arg(field);
    return text;
}

} // namespace vm
