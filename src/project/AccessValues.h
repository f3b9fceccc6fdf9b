#pragma once

#include <QString>

#include <array>

namespace vm {

// Typed values of an Access file, decoded from their stored bytes rather than from libmdb's
// printed text, which follows the process locale and cannot print dates before 1900.

// A date and time (days since 1899-12-30, the fraction the time of day, also before that day:
// -1.25 is 1899-12-29 06:00) as "yyyy-MM-dd hh:mm:ss", to the nearest second. Empty when the
// value lies outside the years 100 to 9999, which Access cannot hold either.
QString accessDateTimeText(double days);

// An integer scaled by 10^scale as exact decimal text without trailing zeros ("-12.5").
// The magnitude has 128 bits, most significant 32-bit word first.
QString scaledDecimalText(bool negative, const std::array<quint32, 4>& magnitude, int scale);

// Currency: a 64-bit count of ten-thousandths.
QString currencyText(qint64 tenThousandths);

// Decimal: 17 stored bytes, a sign byte (0x80 negative) and four little-endian 32-bit words,
// most significant first.
QString accessDecimalText(const unsigned char* bytes, int scale);

// A Single as the double that prints like it: 0.15f becomes 0.15, not 0.15000000596.
double singleAsDouble(float value);

} // namespace vm
