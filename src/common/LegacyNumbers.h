#pragma once

#include <QString>
#include <QStringView>

namespace vm {

// Numbers in project and badge files are read as the leading decimal number of a text: leading
// blanks are skipped, then an optional sign, digits and at most one "." are taken; whatever
// follows is ignored, and a text that does not start with a number reads as 0. Values beyond the
// type's range come back as its largest value.
double leadingNumber(QStringView text);
float leadingFloat(QStringView text);

// Integer codes, counts and colours: rounded to the nearest (half to even) and clamped to the
// type, so a damaged file cannot overflow them.
qint16 roundToInt16(double value);
qint32 roundToInt32(double value);

// The shortest decimal text that reads back to the same float: 1440, 8.25, 0.1. Never an
// exponent; non-finite values, which no file can hold, are written as 0.
QString shortestDecimal(float value);

// The same text in a buffer of its own, for writers that make many lines without a heap
// allocation for each number.
struct DecimalText {
    char text[64]; // the longest fixed float, FLT_MAX, has 39 digits; FLT_TRUE_MIN 47 characters
    qsizetype size = 0;

    QLatin1StringView view() const { return QLatin1StringView(text, size); }
};
DecimalText shortestDecimalText(float value);
DecimalText decimalText(qint64 value);

} // namespace vm
