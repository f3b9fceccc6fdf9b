#include "badge/TextFit.h"

#include <QJsonValue>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace vm {
namespace {

constexpr std::array<std::pair<ConditionTest, const char*>, 8> Symbols{{
    {ConditionTest::Equal, "="},
    {ConditionTest::NotEqual, "<>"},
    {ConditionTest::Less, "<"},
    {ConditionTest::Greater, ">"},
    {ConditionTest::LessOrEqual, "<="},
    {ConditionTest::GreaterOrEqual, ">="},
    {ConditionTest::Empty, "is empty"},
    {ConditionTest::NotEmpty, "is not empty"},
}};

const char* const Modes[] = {"as designed", "wrap", "shrink", "wrap and shrink"};
const char* const Across[] = {"start", "left", "centre", "right"};
const char* const Down[] = {"top", "middle", "bottom"};
const char* const Cases[] = {"as stored", "upper", "lower"};

template <std::size_t N> QString nameOf(const char* const (&names)[N], int value)
{
    return QLatin1String(names[std::clamp(value, 0, int(N) - 1)]);
}

// The index of the name; the fallback for a name not known.
template <std::size_t N>
int indexOf(const char* const (&names)[N], const QJsonValue& value, int fallback)
{
    for (std::size_t i = 0; i < N; ++i)
        if (value.toString() == QLatin1String(names[i]))
            return int(i);
    return fallback;
}

double boundedNumber(const QJsonValue& value, double low, double high, double fallback)
{
    const double number = value.toDouble(fallback);
    return std::isfinite(number) ? std::clamp(number, low, high) : fallback;
}

} // namespace

QJsonObject toJson(const TextFit& fit)
{
    const TextFit plain;
    QJsonObject json;
    if (fit.mode != plain.mode)
        json[QLatin1String("mode")] = nameOf(Modes, int(fit.mode));
    if (fit.minimumSize != plain.minimumSize)
        json[QLatin1String("minimumSize")] = double(fit.minimumSize);
    if (fit.maximumLines != plain.maximumLines)
        json[QLatin1String("maximumLines")] = fit.maximumLines;
    if (fit.ellipsis != plain.ellipsis)
        json[QLatin1String("ellipsis")] = fit.ellipsis;
    if (fit.horizontal != plain.horizontal)
        json[QLatin1String("horizontal")] = nameOf(Across, int(fit.horizontal));
    if (fit.vertical != plain.vertical)
        json[QLatin1String("vertical")] = nameOf(Down, int(fit.vertical));
    return json;
}

TextFit textFitFromJson(const QJsonObject& json)
{
    TextFit fit;
    fit.mode = FitMode(indexOf(Modes, json.value(QLatin1String("mode")), int(fit.mode)));
    fit.minimumSize =
        float(boundedNumber(json.value(QLatin1String("minimumSize")), 1, 1000, fit.minimumSize));
    fit.maximumLines =
        int(boundedNumber(json.value(QLatin1String("maximumLines")), 0, 99, fit.maximumLines));
    fit.ellipsis = json.value(QLatin1String("ellipsis")).toBool(fit.ellipsis);
    fit.horizontal = HorizontalAlign(
        indexOf(Across, json.value(QLatin1String("horizontal")), int(fit.horizontal)));
    fit.vertical =
        VerticalAlign(indexOf(Down, json.value(QLatin1String("vertical")), int(fit.vertical)));
    return fit;
}

QJsonObject toJson(const FieldFormat& format)
{
    const FieldFormat plain;
    QJsonObject json;
    auto text = [&](const char* key, const QString& value) {
        if (!value.isEmpty())
            json[QLatin1String(key)] = value;
    };
    text("date", format.dateFormat);
    if (format.decimals != plain.decimals)
        json[QLatin1String("decimals")] = format.decimals;
    if (format.thousands)
        json[QLatin1String("thousands")] = true;
    if (format.letterCase != plain.letterCase)
        json[QLatin1String("case")] = nameOf(Cases, int(format.letterCase));
    text("prefix", format.prefix);
    text("suffix", format.suffix);
    if (format.hideWhen.isSet()) {
        json[QLatin1String("hideWhen")] =
            QJsonObject{{QLatin1String("column"), format.hideWhen.column},
                        {QLatin1String("test"), conditionSymbol(format.hideWhen.test)},
                        {QLatin1String("value"), format.hideWhen.value}};
    }
    return json;
}

FieldFormat fieldFormatFromJson(const QJsonObject& json)
{
    FieldFormat format;
    format.dateFormat = json.value(QLatin1String("date")).toString();
    format.decimals = int(boundedNumber(json.value(QLatin1String("decimals")), -1, 10, -1));
    format.thousands = json.value(QLatin1String("thousands")).toBool();
    format.letterCase =
        LetterCase(indexOf(Cases, json.value(QLatin1String("case")), int(format.letterCase)));
    format.prefix = json.value(QLatin1String("prefix")).toString();
    format.suffix = json.value(QLatin1String("suffix")).toString();
    const QJsonObject hide = json.value(QLatin1String("hideWhen")).toObject();
    format.hideWhen.test = conditionTest(hide.value(QLatin1String("test")).toString());
    format.hideWhen.column = hide.value(QLatin1String("column")).toString();
    format.hideWhen.value = hide.value(QLatin1String("value")).toString();
    return format;
}

QString conditionSymbol(ConditionTest test)
{
    for (const auto& [t, symbol] : Symbols)
        if (t == test)
            return QLatin1String(symbol);
    return {};
}

ConditionTest conditionTest(const QString& symbol)
{
    const QString s = symbol.simplified();
    for (const auto& [t, text] : Symbols)
        if (s.compare(QLatin1String(text), Qt::CaseInsensitive) == 0)
            return t;
    return s == QLatin1String("!=") ? ConditionTest::NotEqual : ConditionTest::None;
}

QString conditionText(const HideCondition& condition)
{
    if (!condition.isSet())
        return {};
    const bool unary =
        condition.test == ConditionTest::Empty || condition.test == ConditionTest::NotEmpty;
    QString text = condition.column + QLatin1Char(' ') + conditionSymbol(condition.test);
    if (!unary)
        text += QLatin1Char(' ') + condition.value;
    return text;
}

QStringList commonDateFormats()
{
    return {QStringLiteral("dd.MM.yyyy"),  QStringLiteral("yyyy-MM-dd"),
            QStringLiteral("dd/MM/yyyy"),  QStringLiteral("MM/dd/yyyy"),
            QStringLiteral("d MMMM yyyy"), QStringLiteral("MMMM d, yyyy"),
            QStringLiteral("dd MMM yyyy"), QStringLiteral("MM/yyyy"),
            QStringLiteral("yyyy"),        QStringLiteral("dd.MM.yyyy hh:mm")};
}

} // namespace vm
