// Invariant: the stacking order holds every element of the side exactly once: a loaded side
// stacks photograph, signature, comments, fields, logos, shapes; new elements go on top; moved
// elements stay where they were put; deleted ones drop out.
#include "badge/BadgeSide.h"

#include <QTest>

using namespace vm;

class tst_BadgeSide : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void stackingOrder();
};

void tst_BadgeSide::stackingOrder()
{
    using K = ElementKind;
    BadgeSide side;
    side.myShape1.add(); // as a load builds a side, without choosing an order
    side.Label1.add();
    side.lblField.add();
    QCOMPARE(side.stackingOrder(),
             (QList<ElementRef>{
                 {K::Photo, 0}, {K::Sign, 0}, {K::Comment, 1}, {K::Field, 1}, {K::Shape, 1}}));

    side.sendToBack({K::Shape, 1});
    side.bringToFront({K::Photo, 0});
    QCOMPARE(side.addComment(), 2);
    QCOMPARE(side.stackingOrder(), (QList<ElementRef>{{K::Shape, 1},
                                                      {K::Sign, 0},
                                                      {K::Comment, 1},
                                                      {K::Field, 1},
                                                      {K::Photo, 0},
                                                      {K::Comment, 2}}));

    // A deleted element leaves the order; a new one at its index goes on top.
    QVERIFY(side.remove({K::Shape, 1}) && !side.remove({K::Photo, 0}));
    QCOMPARE(side.addShape(), 1);
    QCOMPARE(side.stackingOrder().last(), (ElementRef{K::Shape, 1}));
    QCOMPARE(side.stackingOrder().size(), 6);

    side.imgPhoto.Visible = true;
    side.UnloadBadgeElements();
    QVERIFY(side.Label1.isEmpty() && side.lblField.isEmpty() && side.myShape1.isEmpty());
    QVERIFY(side.imgPhoto.Visible);
    QCOMPARE(side.stackingOrder(), (QList<ElementRef>{{K::Photo, 0}, {K::Sign, 0}}));
}

QTEST_APPLESS_MAIN(tst_BadgeSide)
#include "tst_BadgeSide.moc"
