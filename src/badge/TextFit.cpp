#include "badge/TextFit.h"

#include <array>
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

} // namespace

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
