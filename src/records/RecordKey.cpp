#include "records/RecordKey.h"

#include <QLocale>
#include <QRegularExpression>

namespace vm {
namespace {

QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

// Digits with an optional sign, point and exponent: what both engines read as a number literal
// and nothing else (no "0x1F", "1,000", "inf" or trailing words).
bool isNumberLiteral(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("\\A[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?\\z"));
    return number.match(text).hasMatch();
}

QVariant numberValue(const QString& literal)
{
    bool integral = false;
    const qlonglong whole = QLocale::c().toLongLong(literal, &integral);
    if (integral)
        return whole;
    return QLocale::c().toDouble(literal);
}

} // namespace

Result<RecordKey> RecordKey::fromText(const QString& text, ColumnKind kind)
{
    RecordKey key;
    key.m_kind = kind;
    key.m_problem.clear();
    if (kind == ColumnKind::Numeric) {
        key.m_text = text.trimmed();
        if (!isNumberLiteral(key.m_text))
            return Status::failure(QStringLiteral("The key %1 is not a number.").arg(quoted(text)));
        key.m_value = numberValue(key.m_text);
        return key;
    }
    if (text.contains(QChar(0)))
        return Status::failure(
            QStringLiteral("The key %1 holds a NUL character.").arg(quoted(text)));
    key.m_text = text.isNull() ? QStringLiteral("") : text;
    key.m_value = key.m_text;
    return key;
}

RecordKey RecordKey::fromValue(const QVariant& value, ColumnKind kind)
{
    RecordKey key;
    key.m_kind = kind;
    key.m_value = value;
    key.m_text = value.toString();
    if (value.isNull()) {
        key.m_problem = QStringLiteral("The record has no key value.");
        return key;
    }
    Result<RecordKey> typed = fromText(key.m_text, kind);
    if (!typed) {
        key.m_problem = typed.error();
        return key;
    }
    typed->m_value = value;
    return *typed;
}

QString RecordKey::sqlLiteral(bool quoteNumbers) const
{
    if (!isValid())
        return {};
    // A number read from a column of no declared kind (SQLite without a type) stays a number:
    // SQLite compares such a column's 17 with '17' as unequal.
    const bool number =
        m_kind == ColumnKind::Numeric ||
        (m_kind == ColumnKind::Other && isNumberLiteral(m_text) &&
         (m_value.typeId() == QMetaType::LongLong || m_value.typeId() == QMetaType::Double ||
          m_value.typeId() == QMetaType::Int));
    if (number && !quoteNumbers)
        return m_text;
    QString literal = m_text;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + literal + QLatin1Char('\'');
}

} // namespace vm
