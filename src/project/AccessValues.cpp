#include "project/AccessValues.h"

#include <QByteArray>
#include <QDate>
#include <QtEndian>

#include <charconv>
#include <cmath>

namespace vm {

QString accessDateTimeText(double days)
{
    constexpr double firstDay = -657434.0;     // 0100-01-01
    constexpr double dayAfterLast = 2958466.0; // 10000-01-01
    if (!std::isfinite(days) || days < firstDay || days >= dayAfterLast)
        return {};
    double whole = 0;
    const double fraction = std::fabs(std::modf(days, &whole));
    qint64 day = qint64(whole);
    qint64 seconds = std::llround(fraction * 86400.0);
    if (seconds >= 86400) { // the time of day always runs forward, also before 1899-12-30
        ++day;
        seconds -= 86400;
    }
    const QDate date = QDate(1899, 12, 30).addDays(day);
    if (date.year() > 9999)
        return {};
    // Written digit by digit: this runs for every date of an imported table.
    char16_t text[19];
    auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = char16_t(u'0' + value % 10);
    };
    put(0, date.year(), 4);
    text[4] = u'-';
    put(5, date.month(), 2);
    text[7] = u'-';
    put(8, date.day(), 2);
    text[10] = u' ';
    put(11, int(seconds / 3600), 2);
    text[13] = u':';
    put(14, int(seconds / 60 % 60), 2);
    text[16] = u':';
    put(17, int(seconds % 60), 2);
    return QString(reinterpret_cast<const QChar*>(text), 19);
}

QString scaledDecimalText(bool negative, const std::array<quint32, 4>& magnitude, int scale)
{
    std::array<quint32, 4> rest = magnitude;
    QString digits;
    auto isZero = [&] {
        return rest[0] == 0 && rest[1] == 0 && rest[2] == 0 && rest[3] == 0;
    };
    while (!isZero()) {
        quint64 remainder = 0;
        for (quint32& word : rest) {
            const quint64 part = (remainder << 32) | word;
            word = quint32(part / 10);
            remainder = part % 10;
        }
        digits.prepend(QChar(u'0' + int(remainder)));
    }
    scale = qMax(scale, 0);
    if (digits.size() <= scale)
        digits.prepend(QString(scale - digits.size() + 1, u'0'));
    QString text = digits;
    if (scale > 0) {
        text.insert(text.size() - scale, u'.');
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    if (negative && text != u"0")
        text.prepend(u'-');
    return text;
}

QString currencyText(qint64 tenThousandths)
{
    const quint64 magnitude =
        tenThousandths < 0 ? 0 - quint64(tenThousandths) : quint64(tenThousandths);
    return scaledDecimalText(tenThousandths < 0,
                             {0, 0, quint32(magnitude >> 32), quint32(magnitude)}, 4);
}

QString accessDecimalText(const unsigned char* bytes, int scale)
{
    std::array<quint32, 4> magnitude;
    for (int word = 0; word < 4; ++word)
        magnitude[word] = qFromLittleEndian<quint32>(bytes + 1 + 4 * word);
    return scaledDecimalText((bytes[0] & 0x80) != 0, magnitude, scale);
}

double singleAsDouble(float value)
{
    if (!std::isfinite(value))
        return double(value);
    char shortest[32];
    const auto end = std::to_chars(shortest, shortest + sizeof shortest, value).ptr;
    return QByteArray(shortest, end - shortest).toDouble();
}

} // namespace vm
