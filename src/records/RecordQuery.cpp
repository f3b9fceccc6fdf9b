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

// " where M.[U]=v"; the key is a checked literal, never raw text.
Result<QString> masterCondition(const StoredSettings& project, const RecordKey& key,
                                const NameQuoter& quote, bool quoteNumbers)
{
    if (!key.isValid())
        return Status::failure(key.problem());
    return QStringLiteral(" where ") + name(quote, project.MasterTable) + QStringLiteral(".[") +
           project.UniqueField + QStringLiteral("]=") + key.sqlLiteral(quoteNumbers);
}

qsizetype relatedChildren(const StoredSettings& project)
{
    return std::min(project.Relations.size(), project.DataTables.size());
}

} // namespace

bool isPictureFieldSet(const QString& field)
{
    return !field.isEmpty() && field != NoneField;
}

Result<RecordStatements> buildRecordStatements(const StoredSettings& project, const RecordKey& key,
                                               const NameQuoter& quote, bool quoteNumbers)
{
    const Result<QString> keyCondition = masterCondition(project, key, quote, quoteNumbers);
    if (!keyCondition)
        return keyCondition.status();
    const QString master = name(quote, project.MasterTable);

    QString selectList = master + QStringLiteral(".*");
    for (const QString& child : project.DataTables)
        selectList += QLatin1Char(',') + name(quote, child) + QStringLiteral(".*");

    // Each relation brings in the child table at the same position.
    QString tableList = master;
    for (qsizetype i = 0; i < relatedChildren(project); ++i)
        tableList += QLatin1Char(',') + name(quote, project.DataTables[i]);

    QString condition;
    if (project.DataTables.isEmpty()) {
        condition = *keyCondition;
    } else {
        condition = QStringLiteral(" where ");
        for (const QString& relation : project.Relations)
            condition += relation + QStringLiteral(" AND ");
        condition += keyCondition->mid(6); // keeps its leading blank: two before M
    }

    RecordStatements s;
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

Result<MissingRowStatements> buildMissingRowStatements(const StoredSettings& project,
                                                       const RecordKey& key,
                                                       const NameQuoter& quote,
                                                       bool quoteNumbers)
{
    const Result<QString> keyCondition = masterCondition(project, key, quote, quoteNumbers);
    if (!keyCondition)
        return keyCondition.status();
    const QString master = name(quote, project.MasterTable);
    MissingRowStatements s;
    s.masterSql =
        QStringLiteral("select ") + master + QStringLiteral(".* from ") + master + *keyCondition;
    s.countSql = QStringLiteral("select count(*) from ") + master + *keyCondition;
    for (qsizetype i = 0; i < relatedChildren(project); ++i) {
        const QString child = name(quote, project.DataTables[i]);
        s.childSql << QStringLiteral("select ") + child + QStringLiteral(".* from ") + master +
                          QLatin1Char(',') + child + QStringLiteral(" where ") +
                          project.Relations[i] + QStringLiteral(" AND ") + keyCondition->mid(6);
    }
    return s;
}

QString buildSharedKeysStatement(const StoredSettings& project, const NameQuoter& quote)
{
    const QString master = name(quote, project.MasterTable);
    const QString column = master + QStringLiteral(".[") + project.UniqueField + QLatin1Char(']');
    return QStringLiteral("select ") + column + QStringLiteral(", count(*) from ") + master +
           QStringLiteral(" where ") + column + QStringLiteral(" is not null group by ") + column +
           QStringLiteral(" having count(*) > 1");
}

} // namespace vm
