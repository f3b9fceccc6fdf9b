#include "common/LegacyNumbers.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace vm {
namespace {

// Reads the number at the start of the text. Scans the UTF-16 text directly into a buffer on the
// stack: every number of every badge file passes through here.
template <class Real> Real parseLeading(QStringView text)
{
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p < end && (*p == u' ' || *p == u'\t'))
        ++p;
    bool negative = false;
    if (p < end && (*p == u'-' || *p == u'+')) {
        negative = *p == u'-';
        ++p;
    }
    const char16_t* const first = p;
    bool point = false;
    bool anyDigit = false;
    // A non-zero digit before the point tells an overflow from an underflow when out of range.
    bool huge = false;
    for (; p < end; ++p) {
        if (*p >= u'0' && *p <= u'9') {
            anyDigit = true;
            huge = huge || (!point && *p != u'0');
        } else if (*p == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return 0;
    QVarLengthArray<char, 64> digits(p - first);
    std::copy(first, p, digits.begin()); // ASCII digits and "." only
    Real value = 0;
    const auto result =
        std::from_chars(digits.begin(), digits.end(), value, std::chars_format::fixed);
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
    return shortestDecimalText(value).view();
}

DecimalText shortestDecimalText(float value)
{
    DecimalText out;
    if (!std::isfinite(value)) {
        out.text[0] = '0';
        out.size = 1;
        return out;
    }
    const auto result =
        std::to_chars(std::begin(out.text), std::end(out.text), value, std::chars_format::fixed);
    out.size = result.ptr - out.text;
    return out;
}

DecimalText decimalText(qint64 value)
{
    DecimalText out;
    out.size = std::to_chars(std::begin(out.text), std::end(out.text), value).ptr - out.text;
    return out;
}

} // namespace vm
