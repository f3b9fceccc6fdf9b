// Invariant: plain colours convert both ways without loss, and system colours follow the
// palette they are drawn with.
#include "common/OleColor.h"

#include <QGuiApplication>
#include <QTest>

using namespace vm;

class tst_OleColor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plainColoursAreBgr_data();
    void plainColoursAreBgr();
    void systemColoursComeFromThePalette_data();
    void systemColoursComeFromThePalette();
};

void tst_OleColor::plainColoursAreBgr_data()
{
    QTest::addColumn<qint32>("ole");
    QTest::addColumn<QColor>("color");
    QTest::newRow("white") << 16777215 << QColor(255, 255, 255);
    QTest::newRow("red") << 255 << QColor(255, 0, 0);
    QTest::newRow("blue") << 0xff0000 << QColor(0, 0, 255);
    QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
}

void tst_OleColor::plainColoursAreBgr()
{
    QFETCH(qint32, ole);
    QFETCH(QColor, color);
    QCOMPARE(colorFromOle(ole), color);
    QCOMPARE(oleFromColor(color), ole);
    // A palette index or alpha never leaks into the stored value.
    QCOMPARE(colorFromOle(ole | 0x02000000), color);
    QColor translucent = color;
    translucent.setAlpha(10);
    QCOMPARE(oleFromColor(translucent), ole);
}

void tst_OleColor::systemColoursComeFromThePalette_data()
{
    QTest::addColumn<qint32>("ole");
    QTest::addColumn<int>("role");
    QTest::newRow("button face") << qint32(0x8000000F) << int(QPalette::Button);
    QTest::newRow("window") << qint32(0x80000005) << int(QPalette::Base);
    QTest::newRow("window text") << qint32(0x80000008) << int(QPalette::Text);
    QTest::newRow("selection") << qint32(0x8000000D) << int(QPalette::Highlight);
}

void tst_OleColor::systemColoursComeFromThePalette()
{
    QFETCH(qint32, ole);
    QFETCH(int, role);
    QPalette palette;
    palette.setColor(QPalette::ColorRole(role), QColor(1, 2, 3));
    QCOMPARE(colorFromOle(ole, palette), QColor(1, 2, 3));
    QCOMPARE(colorFromOle(ole),
             QGuiApplication::palette().color(QPalette::Active, QPalette::ColorRole(role)));
    QCOMPARE(colorFromOle(qint32(0x800000FF), palette), QColor(Qt::black));
}

QTEST_MAIN(tst_OleColor)
#include "tst_OleColor.moc"
