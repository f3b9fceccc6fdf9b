#include "project/ColumnKind.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace vm {

ColumnKind columnKindForDeclaredType(const QString& declaredType)
{
    // Whole words only: "point" is no integer and "interval" no text.
    static const QSet<QString> otherWords = {
        QStringLiteral("date"),     QStringLiteral("time"),     QStringLiteral("timestamp"),
        QStringLiteral("datetime"), QStringLiteral("interval"), QStringLiteral("bool"),
        QStringLiteral("boolean"),  QStringLiteral("blob"),     QStringLiteral("bytea")};
    static const QSet<QString> textWords = {
        QStringLiteral("char"),  QStringLiteral("character"), QStringLiteral("varchar"),
        QStringLiteral("nchar"), QStringLiteral("nvarchar"),  QStringLiteral("text"),
        QStringLiteral("clob"),  QStringLiteral("citext"),    QStringLiteral("bpchar")};
    static const QSet<QString> numericWords = {
        QStringLiteral("int"),     QStringLiteral("integer"), QStringLiteral("int2"),
        QStringLiteral("int4"),    QStringLiteral("int8"),    QStringLiteral("smallint"),
        QStringLiteral("bigint"),  QStringLiteral("tinyint"), QStringLiteral("mediumint"),
        QStringLiteral("real"),    QStringLiteral("float"),   QStringLiteral("float4"),
        QStringLiteral("float8"),  QStringLiteral("double"),  QStringLiteral("decimal"),
        QStringLiteral("numeric"), QStringLiteral("number")};
    static const QRegularExpression nonWord(QStringLiteral("[^a-z0-9]+"));

    const QString type = declaredType.trimmed().toLower();
    if (type.contains(u'[')) // an array of anything
        return ColumnKind::Other;
    static const QRegularExpression arguments(QStringLiteral("\\(.*\\)"));
    const QStringList words = QString(type).remove(arguments).split(nonWord, Qt::SkipEmptyParts);
    auto any = [&](const QSet<QString>& set) {
        return std::any_of(words.begin(), words.end(),
                           [&](const QString& w) { return set.contains(w); });
    };
    if (any(otherWords))
        return ColumnKind::Other;
    if (any(textWords))
        return ColumnKind::Text;
    if (any(numericWords))
        return ColumnKind::Numeric;
    return ColumnKind::Other;
}

} // namespace vm
