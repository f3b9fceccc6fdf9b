#include "common/LegacyNumbers.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace vm {
namespace {

// The number at the start of the text as plain ASCII ("-12.5"), or empty when there is none.
// Sets *hugeMagnitude when a non-zero digit stands before the point, which tells an overflow
// from an underflow when the value is out of range.
QByteArray numberPrefix(QStringView text, bool* negative, bool* hugeMagnitude)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    *negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        *negative = text[i] == QLatin1Char('-');
        ++i;
    }
    QByteArray digits;
    bool point = false;
    bool anyDigit = false;
    *hugeMagnitude = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            anyDigit = true;
            if (!point && c != QLatin1Char('0'))
                *hugeMagnitude = true;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
        digits += char(c.unicode());
    }
    return anyDigit ? digits : QByteArray();
}

template <class Real> Real parseLeading(QStringView text)
{
    bool negative = false;
    bool huge = false;
    const QByteArray digits = numberPrefix(text, &negative, &huge);
    if (digits.isEmpty())
        return 0;
    Real value = 0;
    const auto result = std::from_chars(digits.constData(), digits.constData() + digits.size(),
                                        value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range)
        value = huge ? std::numeric_limits<Real>::max() : Real(0);
    return negative ? -value : value;
}

template <class Int> Int roundToInt(double value)
{
    constexpr double low = std::numeric_limits<Int>::min();
    constexpr double high = std::numeric_limits<Int>::max();
    if (std::isnan(value))
        return 0;
    return Int(std::clamp(std::nearbyint(value), low, high));
}

} // namespace

double leadingNumber(QStringView text)
{
    return parseLeading<double>(text);
}

float leadingFloat(QStringView text)
{
    return parseLeading<float>(text);
}

qint16 roundToInt16(double value)
{
    return roundToInt<qint16>(value);
}

qint32 roundToInt32(double value)
{
    return roundToInt<qint32>(value);
}

QString shortestDecimal(float value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    char buffer[64]; // the longest fixed float, FLT_MAX, has 39 digits
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace vm
