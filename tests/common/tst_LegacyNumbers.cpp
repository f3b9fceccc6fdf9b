// Invariant: a number reads as its leading decimal number whatever follows, never overflows its
// type, and every float written by shortestDecimal reads back as the same float.
#include "common/LegacyNumbers.h"

#include <QTest>

#include <cfloat>
#include <cmath>

using namespace vm;

class tst_LegacyNumbers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsTheLeadingNumber_data();
    void readsTheLeadingNumber();
    void integersRoundHalfToEvenAndClamp_data();
    void integersRoundHalfToEvenAndClamp();
    void writesTheShortestDecimal_data();
    void writesTheShortestDecimal();
    void shortestDecimalReadsBackExactly();
};

void tst_LegacyNumbers::readsTheLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::newRow("integer") << "1440" << 1440.0;
    QTest::newRow("fraction") << "8.25" << 8.25;
    QTest::newRow("negative colour") << "-2147483633" << -2147483633.0;
    QTest::newRow("leading blanks") << "  \t12" << 12.0;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("trailing text") << "12abc" << 12.0;
    QTest::newRow("second point ends it") << "1.5.6" << 1.5;
    QTest::newRow("no exponent") << "1e5" << 1.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("point last") << "3." << 3.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("blank inside") << "1 2" << 1.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("beyond double") << QString(400, QLatin1Char('9')) << DBL_MAX;
    QTest::newRow("below double") << "0." + QString(400, QLatin1Char('0')) + "1" << 0.0;
}

void tst_LegacyNumbers::readsTheLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, number);
    QCOMPARE(leadingNumber(text), number);
}

void tst_LegacyNumbers::integersRoundHalfToEvenAndClamp_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("int16");
    QTest::addColumn<qint64>("int32");
    QTest::newRow("whole") << 4.0 << 4 << qint64(4);
    QTest::newRow("half down to even") << 2.5 << 2 << qint64(2);
    QTest::newRow("half up to even") << 3.5 << 4 << qint64(4);
    QTest::newRow("negative") << -1.6 << -2 << qint64(-2);
    QTest::newRow("beyond 16 bits") << 70000.0 << 32767 << qint64(70000);
    QTest::newRow("beyond 32 bits") << -1e12 << -32768 << qint64(INT32_MIN);
    QTest::newRow("huge") << DBL_MAX << 32767 << qint64(INT32_MAX);
    QTest::newRow("nan") << double(NAN) << 0 << qint64(0);
}

void tst_LegacyNumbers::integersRoundHalfToEvenAndClamp()
{
    QFETCH(double, value);
    QFETCH(int, int16);
    QFETCH(qint64, int32);
    QCOMPARE(int(roundToInt16(value)), int16);
    QCOMPARE(qint64(roundToInt32(value)), int32);
}

void tst_LegacyNumbers::writesTheShortestDecimal_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 1440.0f << "1440";
    QTest::newRow("fraction") << 8.25f << "8.25";
    QTest::newRow("not exact in binary") << 0.1f << "0.1";
    QTest::newRow("negative") << -15.5f << "-15.5";
    QTest::newRow("zero") << 0.0f << "0";
    QTest::newRow("large, in full") << 1e20f << "100000002004087734272";
    QTest::newRow("infinity") << INFINITY << "0";
}

void tst_LegacyNumbers::writesTheShortestDecimal()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(shortestDecimal(value), text);
}

void tst_LegacyNumbers::shortestDecimalReadsBackExactly()
{
    const float values[] = {1215.0f,  3.3333333f,  1e-30f,   FLT_MIN / 4, FLT_MAX,
                            -FLT_MAX, 4876.0f / 3, 2.0f / 7, 16777217.0f, 0.30000001f};
    for (float value : values) {
        const QString text = shortestDecimal(value);
        QVERIFY2(!text.contains(QLatin1Char('e')), qPrintable(text));
        QCOMPARE(leadingFloat(text), value);
    }
    QCOMPARE(leadingFloat(QString(60, QLatin1Char('9'))), FLT_MAX);
}

QTEST_APPLESS_MAIN(tst_LegacyNumbers)
#include "tst_LegacyNumbers.moc"
