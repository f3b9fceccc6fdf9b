// Invariant: every typed Access value decodes from its stored bytes to the value Access shows,
// exactly, whatever the locale and for the whole range Access can hold.
#include "project/AccessValues.h"

#include <QTest>

#include <limits>

using namespace vm;

class tst_AccessValues : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void datesCountDaysFrom1899_data();
    void datesCountDaysFrom1899();
    void currencyIsExact_data();
    void currencyIsExact();
    void decimalsAreExact_data();
    void decimalsAreExact();
    void singlesKeepTheirShortestDigits();
};

void tst_AccessValues::datesCountDaysFrom1899_data()
{
    QTest::addColumn<double>("days");
    QTest::addColumn<QString>("text");

    QTest::newRow("day zero") << 0.0 << "1899-12-30 00:00:00";
    QTest::newRow("noon next day") << 1.5 << "1899-12-31 12:00:00";
    QTest::newRow("a Northwind order") << 34550.0 << "1994-08-04 00:00:00";
    QTest::newRow("time runs forward before day zero") << -1.25 << "1899-12-29 06:00:00";
    QTest::newRow("time only, negative zero day") << -0.5 << "1899-12-30 12:00:00";
    QTest::newRow("seconds are rounded") << 0.5 + 1.4 / 86400 << "1899-12-30 12:00:01";
    QTest::newRow("rounding carries into the next day") << 0.9999999 << "1899-12-31 00:00:00";
    QTest::newRow("first day Access holds") << -657434.0 << "0100-01-01 00:00:00";
    QTest::newRow("last second Access holds")
        << 2958465.0 + 86399.0 / 86400 << "9999-12-31 23:59:59";
    QTest::newRow("year 632") << -463126.0 << "0632-01-01 00:00:00";
    QTest::newRow("before year 100") << -657435.0 << "";
    QTest::newRow("after year 9999") << 2958466.0 << "";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "";
}

void tst_AccessValues::datesCountDaysFrom1899()
{
    QFETCH(double, days);
    QFETCH(QString, text);
    QCOMPARE(accessDateTimeText(days), text);
}

void tst_AccessValues::currencyIsExact_data()
{
    QTest::addColumn<qint64>("tenThousandths");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << qint64(0) << "0";
    QTest::newRow("whole") << qint64(140000) << "14";
    QTest::newRow("all four places") << qint64(123456) << "12.3456";
    QTest::newRow("trailing zeros dropped") << qint64(98000) << "9.8";
    QTest::newRow("negative below one") << qint64(-5000) << "-0.5";
    QTest::newRow("largest") << std::numeric_limits<qint64>::max() << "922337203685477.5807";
    QTest::newRow("smallest") << std::numeric_limits<qint64>::min() << "-922337203685477.5808";
}

void tst_AccessValues::currencyIsExact()
{
    QFETCH(qint64, tenThousandths);
    QFETCH(QString, text);
    QCOMPARE(currencyText(tenThousandths), text);
}

void tst_AccessValues::decimalsAreExact_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("text");

    // Sign byte, then four little-endian words, most significant first.
    auto stored = [](unsigned char sign, quint32 w0, quint32 w1, quint32 w2, quint32 w3) {
        QByteArray bytes(1, char(sign));
        for (quint32 word : {w0, w1, w2, w3})
            for (int b = 0; b < 4; ++b)
                bytes.append(char((word >> (8 * b)) & 0xff));
        return bytes;
    };
    QTest::newRow("two places") << stored(0, 0, 0, 0, 12345) << 2 << "123.45";
    QTest::newRow("negative") << stored(0x80, 0, 0, 0, 12345) << 2 << "-123.45";
    QTest::newRow("smaller than the scale") << stored(0, 0, 0, 0, 5) << 3 << "0.005";
    QTest::newRow("negative zero") << stored(0x80, 0, 0, 0, 0) << 4 << "0";
    QTest::newRow("second word") << stored(0, 0, 0, 1, 0) << 0 << "4294967296";
    QTest::newRow("top word") << stored(0, 1, 0, 0, 0) << 0 << "79228162514264337593543950336";
    QTest::newRow("28 places") << stored(0, 0, 0, 0, 1) << 28 << "0.0000000000000000000000000001";
}

void tst_AccessValues::decimalsAreExact()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, scale);
    QFETCH(QString, text);
    QCOMPARE(accessDecimalText(reinterpret_cast<const unsigned char*>(stored.constData()), scale),
             text);
}

void tst_AccessValues::singlesKeepTheirShortestDigits()
{
    QCOMPARE(singleAsDouble(0.15f), 0.15);
    QCOMPARE(singleAsDouble(-2.5f), -2.5);
    QCOMPARE(singleAsDouble(16777216.0f), 16777216.0);
    QCOMPARE(singleAsDouble(3.4028235e38f), 3.4028235e38);
}

QTEST_GUILESS_MAIN(tst_AccessValues)
#include "tst_AccessValues.moc"
