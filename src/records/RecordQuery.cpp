#include "records/RecordQuery.h"

namespace vm {
namespace {

QString name(const NameQuoter& quote, const QString& text)
{
    return quote ? quote(text) : text;
}

// "Table.Column" as stored for the picture fields: each part quoted where the engine needs it.
QString qualifiedName(const NameQuoter& quote, const QString& field)
{
    if (!quote)
        return field;
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return quote(field);
    return quote(field.left(dot)) + QLatin1Char('.') + quote(field.mid(dot + 1));
}

// " where M.[U]=v", or empty for a key kind that is never written into statements.
QString masterCondition(const QString& master, const QString& uniqueField, const QString& value,
                        ColumnKind kind, const NameQuoter& quote)
{
    const QString column = QStringLiteral(" where ") + name(quote, master) + QStringLiteral(".[") +
                           uniqueField + QStringLiteral("]=");
    switch (kind) {
    case ColumnKind::Numeric:
        return column + value;
    case ColumnKind::Text:
        return column + QLatin1Char('\'') + value + QLatin1Char('\'');
    case ColumnKind::Other:
        break;
    }
    return {};
}

} // namespace

bool isPictureFieldSet(const QString& field)
{
    return !field.isEmpty() && field != NoneField;
}

RecordStatements buildRecordStatements(const StoredSettings& project, const QString& keyValue,
                                       ColumnKind keyKind, const NameQuoter& quote)
{
    RecordStatements s;
    const QString master = name(quote, project.MasterTable);
    const QString keyCondition =
        masterCondition(project.MasterTable, project.UniqueField, keyValue, keyKind, quote);

    QString selectList = master + QStringLiteral(".*");
    for (const QString& child : project.DataTables)
        selectList += QLatin1Char(',') + name(quote, child) + QStringLiteral(".*");

    QString tableList = master;
    QString condition;
    if (!keyCondition.isEmpty()) {
        // Each relation brings in the child table at the same position.
        for (qsizetype i = 0; i < project.Relations.size() && i < project.DataTables.size(); ++i)
            tableList += QLatin1Char(',') + name(quote, project.DataTables[i]);
        if (project.DataTables.isEmpty()) {
            condition = keyCondition;
        } else {
            condition = QStringLiteral(" where ");
            for (const QString& relation : project.Relations)
                condition += relation + QStringLiteral(" AND ");
            condition += keyCondition.mid(6); // keeps its leading blank: two before M
        }
    }
    s.recordSql =
        QStringLiteral("select ") + selectList + QStringLiteral(" from ") + tableList + condition;

    const bool photo = isPictureFieldSet(project.PhotoField);
    const bool sign = isPictureFieldSet(project.SignField);
    if (photo || sign) {
        QString columns;
        if (photo && sign)
            columns = qualifiedName(quote, project.PhotoField) + QStringLiteral(", ") +
                      qualifiedName(quote, project.SignField);
        else
            columns = qualifiedName(quote, photo ? project.PhotoField : project.SignField);
        s.pictureSql =
            QStringLiteral("Select ") + columns + QStringLiteral(" From ") + tableList + condition;
    }
    return s;
}

} // namespace vm
