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

} // namespace

bool isPictureFieldSet(const QString& field)
{
    return !field.isEmpty() && field != NoneField;
}

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

RecordStatements buildRecordStatements(const StoredSettings& project, const QString& keyValue,
                                       ColumnKind keyKind, const NameQuoter& quote)
{
    RecordStatements s;
    const QString master = name(quote, project.MasterTable);
    s.masterCondition =
        masterCondition(project.MasterTable, project.UniqueField, keyValue, keyKind, quote);

    s.selectList = master + QStringLiteral(".*");
    for (const QString& child : project.DataTables)
        s.selectList += QLatin1Char(',') + name(quote, child) + QStringLiteral(".*");

    s.tableList = master;
    if (!s.masterCondition.isEmpty()) {
        // Each relation brings in the child table at the same position.
        for (qsizetype i = 0; i < project.Relations.size() && i < project.DataTables.size(); ++i)
            s.tableList += QLatin1Char(',') + name(quote, project.DataTables[i]);
        if (project.DataTables.isEmpty()) {
            s.condition = s.masterCondition;
        } else {
            s.condition = QStringLiteral(" where ");
            for (const QString& relation : project.Relations)
                s.condition += relation + QStringLiteral(" AND ");
            s.condition += s.masterCondition.mid(6); // keeps its leading blank: two before M
        }
    }
    s.recordSql = QStringLiteral("select ") + s.selectList + QStringLiteral(" from ") +
                  s.tableList + s.condition;

    const bool photo = isPictureFieldSet(project.PhotoField);
    const bool sign = isPictureFieldSet(project.SignField);
    if (photo || sign) {
        QString columns;
        if (photo && sign)
            columns = qualifiedName(quote, project.PhotoField) + QStringLiteral(", ") +
                      qualifiedName(quote, project.SignField);
        else
            columns = qualifiedName(quote, photo ? project.PhotoField : project.SignField);
        s.pictureSql = QStringLiteral("Select ") + columns + QStringLiteral(" From ") +
                       s.tableList + s.condition;
    }
    return s;
}

} // namespace vm
