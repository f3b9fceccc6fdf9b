// Invariant: a number reads as its leading decimal number whatever follows, never overflows its
// type, and every float written by shortestDecimal reads back as the same float.
#include "common/LegacyNumbers.h"

#include <QTest>

#include <cfloat>

using namespace vm;

class tst_LegacyNumbers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsTheLeadingNumber_data();
    void readsTheLeadingNumber();
    void writtenFloatsReadBackExactly();
};

void tst_LegacyNumbers::readsTheLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("int16");
    QTest::newRow("half to even") << "2.5" << 2.5 << 2;
    QTest::newRow("blanks, sign, trailing text") << " \t-12.5abc" << -12.5 << -12;
    QTest::newRow("second point, exponent") << "1.5.6e5" << 1.5 << 2;
    QTest::newRow("point first") << ".5" << 0.5 << 0;
    QTest::newRow("not a number") << "- 5" << 0.0 << 0;
    QTest::newRow("beyond 16 bits") << "-70000" << -70000.0 << -32768;
    QTest::newRow("beyond double") << QString(400, QLatin1Char('9')) << DBL_MAX << 32767;
    QTest::newRow("below double") << "0." + QString(400, QLatin1Char('0')) + "1" << 0.0 << 0;
}

void tst_LegacyNumbers::readsTheLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, number);
    QFETCH(int, int16);
    QCOMPARE(leadingNumber(text), number);
    QCOMPARE(int(roundToInt16(number)), int16);
}

void tst_LegacyNumbers::writtenFloatsReadBackExactly()
{
    QCOMPARE(shortestDecimal(1440) + shortestDecimal(8.25f) + shortestDecimal(INFINITY),
             QStringLiteral("14408.250"));
    for (float value : {0.1f, 3.3333333f, 1e-30f, FLT_MIN / 4, FLT_MAX, -FLT_MAX, 16777217.0f}) {
        const QString text = shortestDecimal(value);
        QVERIFY2(!text.contains(QLatin1Char('e')), qPrintable(text));
        QCOMPARE(leadingFloat(text), value);
    }
    QCOMPARE(leadingFloat(QString(60, QLatin1Char('9'))), FLT_MAX);
    QCOMPARE(roundToInt32(-1e12), INT32_MIN); // colours clamp too
}

QTEST_APPLESS_MAIN(tst_LegacyNumbers)
#include "tst_LegacyNumbers.moc"
