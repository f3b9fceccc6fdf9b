#include "records/FieldFormatting.h"

#include "records/LinkedRecord.h"

#include <QDateTime>

#include <optional>

namespace vm {
namespace {

bool isNumberType(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

// Values come typed from PostgreSQL and as text from SQLite, whose DATE columns hold ISO dates.
std::optional<QDateTime> asDateTime(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate().startOfDay();
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    QString text = value.toString().trimmed();
    if (text.size() > 10 && text.at(10) == QLatin1Char(' '))
        text[10] = QLatin1Char('T');
    if (text.size() == 10) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid())
            return date.startOfDay();
    }
    const QDateTime dateTime = QDateTime::fromString(text, Qt::ISODate);
    if (dateTime.isValid())
        return dateTime;
    return std::nullopt;
}

std::optional<double> asNumber(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    if (isNumberType(value))
        return value.toDouble();
    bool ok = false;
    const double number = QLocale::c().toDouble(value.toString().trimmed(), &ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

// A condition's value as typed: a number, yes/no words for flags, or a date as ISO or dd.MM.yyyy.
std::optional<double> typedNumber(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("yes"))
        return 1;
    if (t == QLatin1String("false") || t == QLatin1String("no"))
        return 0;
    return asNumber(QVariant(text));
}

std::optional<QDateTime> typedDate(const QString& text)
{
    if (std::optional<QDateTime> iso = asDateTime(QVariant(text)))
        return iso;
    const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("d.M.yyyy"));
    return date.isValid() ? std::optional<QDateTime>(date.startOfDay()) : std::nullopt;
}

bool isBlank(const QVariant& value)
{
    return value.isNull() || value.toString().trimmed().isEmpty();
}

template <class T> int order(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

QString numberText(const QVariant& value, const FieldFormat& format, const QLocale& locale)
{
    QLocale shown = locale;
    shown.setNumberOptions(format.thousands ? QLocale::DefaultNumberOptions
                                            : QLocale::OmitGroupSeparator);
    const QString text = value.toString().trimmed();
    if (format.decimals < 0) {
        // Whole numbers stay exact beyond a double's 15 digits.
        bool whole = false;
        const qlonglong integer = QLocale::c().toLongLong(text, &whole);
        if (whole)
            return shown.toString(integer);
    }
    const std::optional<double> number =
        value.metaType().id() == QMetaType::Bool ? std::nullopt : asNumber(value);
    if (!number)
        return value.toString();
    return format.decimals < 0 ? shown.toString(*number, 'f', QLocale::FloatingPointShortest)
                               : shown.toString(*number, 'f', format.decimals);
}

} // namespace

QString formattedValue(const QVariant& value, const FieldFormat& format, const QLocale& locale)
{
    if (isBlank(value))
        return {};
    QString text = value.toString();
    const std::optional<QDateTime> date =
        format.dateFormat.isEmpty() ? std::nullopt : asDateTime(value);
    if (date)
        text = locale.toString(*date, format.dateFormat);
    else if (format.decimals >= 0 || format.thousands)
        text = numberText(value, format, locale);
    if (format.letterCase == LetterCase::Upper)
        text = locale.toUpper(text);
    else if (format.letterCase == LetterCase::Lower)
        text = locale.toLower(text);
    return text.trimmed().isEmpty() ? QString() : format.prefix + text + format.suffix;
}

ConditionOutcome evaluate(const HideCondition& condition, const QSqlRecord& record)
{
    if (!condition.isSet())
        return ConditionOutcome::DoesNotHold;
    const int column = joinedColumn(record, condition.column.trimmed());
    if (column < 0)
        return ConditionOutcome::NoSuchColumn;
    const QVariant value = record.value(column);
    auto outcome = [](bool holds) {
        return holds ? ConditionOutcome::Holds : ConditionOutcome::DoesNotHold;
    };
    if (condition.test == ConditionTest::Empty)
        return outcome(isBlank(value));
    if (condition.test == ConditionTest::NotEmpty)
        return outcome(!isBlank(value));

    int compared = 0;
    const std::optional<double> number = isBlank(value) ? std::nullopt : asNumber(value);
    const std::optional<double> wanted = typedNumber(condition.value);
    const std::optional<QDateTime> date = asDateTime(value);
    const std::optional<QDateTime> wantedDate = typedDate(condition.value);
    if (number && wanted)
        compared = order(*number, *wanted);
    else if (date && wantedDate)
        compared = order(*date, *wantedDate);
    else
        compared = QString::compare(value.isNull() ? QString() : value.toString().trimmed(),
                                    condition.value.trimmed(), Qt::CaseInsensitive);
    switch (condition.test) {
    case ConditionTest::Equal:
        return outcome(compared == 0);
    case ConditionTest::NotEqual:
        return outcome(compared != 0);
    case ConditionTest::Less:
        return outcome(compared < 0);
    case ConditionTest::Greater:
        return outcome(compared > 0);
    case ConditionTest::LessOrEqual:
        return outcome(compared <= 0);
    case ConditionTest::GreaterOrEqual:
        return outcome(compared >= 0);
    default:
        return ConditionOutcome::DoesNotHold;
    }
}

QString conditionProblem(const HideCondition& condition, const QSqlRecord& record)
{
    if (evaluate(condition, record) != ConditionOutcome::NoSuchColumn)
        return {};
    return QStringLiteral("its condition \"%1\" names the column %2, which the record does not "
                          "have")
        .arg(conditionText(condition), condition.column);
}

} // namespace vm
