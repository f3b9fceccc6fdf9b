// Invariant: typed Access values decode from their stored bytes exactly, whatever the locale,
// over the whole range Access holds (the samples hold no Decimal column, so its bytes are built).
#include "project/AccessValues.h"

#include <QTest>

#include <limits>

using namespace vm;

class tst_AccessValues : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void datesCountDaysFrom1899_data();
    void datesCountDaysFrom1899();
    void decimalsAreExact();
};

void tst_AccessValues::datesCountDaysFrom1899_data()
{
    QTest::addColumn<double>("days");
    QTest::addColumn<QString>("text");
    QTest::newRow("noon next day") << 1.5 << "1899-12-31 12:00:00";
    QTest::newRow("time runs forward before day 0") << -1.25 << "1899-12-29 06:00:00";
    QTest::newRow("rounding carries a day") << 0.9999999 << "1899-12-31 00:00:00";
    QTest::newRow("first day") << -657434.0 << "0100-01-01 00:00:00";
    QTest::newRow("too late") << 2958466.0 << "";
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << "";
}

void tst_AccessValues::datesCountDaysFrom1899()
{
    QFETCH(double, days);
    QFETCH(QString, text);
    QCOMPARE(accessDateTimeText(days), text);
}

void tst_AccessValues::decimalsAreExact()
{
    QCOMPARE(currencyText(std::numeric_limits<qint64>::min()), "-922337203685477.5808");
    // Decimal: a sign byte, then four little-endian words, most significant first.
    auto decimal = [](unsigned char sign, quint32 top, quint32 bottom, int scale) {
        unsigned char bytes[17] = {sign};
        for (int b = 0; b < 4; ++b) {
            bytes[1 + b] = (top >> (8 * b)) & 0xff;
            bytes[13 + b] = (bottom >> (8 * b)) & 0xff;
        }
        return accessDecimalText(bytes, scale);
    };
    QCOMPARE(decimal(0x80, 0, 12345, 2), "-123.45");
    QCOMPARE(decimal(0, 0, 5, 3), "0.005");
    QCOMPARE(decimal(0x80, 0, 0, 4), "0");
    QCOMPARE(decimal(0, 1, 0, 0), "79228162514264337593543950336");
}

QTEST_GUILESS_MAIN(tst_AccessValues)
#include "tst_AccessValues.moc"
