// Invariant: the stacking order holds every element of the side exactly once: a loaded side
// stacks photograph, signature, comments, fields, logos, shapes; new elements go on top; moved
// elements stay where they were put; deleted ones drop out.
#include "badge/BadgeSide.h"

#include <QTest>

using namespace vm;

namespace {

using K = ElementKind;

BadgeSide loadedSide()
{
    BadgeSide side;
    side.myShape1.add();
    side.Label1.add();
    side.Label1.add();
    side.lblField.add();
    side.Image1.add();
    return side;
}

} // namespace

class tst_BadgeSide : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void stackingOrder();
    void aReusedIndexGoesOnTop();
    void unloadKeepsTemplatesAndFrames();
};

void tst_BadgeSide::stackingOrder()
{
    BadgeSide side = loadedSide();
    const QList<ElementRef> loaded{{K::Photo, 0}, {K::Sign, 0}, {K::Comment, 1}, {K::Comment, 2},
                                   {K::Field, 1}, {K::Logo, 1}, {K::Shape, 1}};
    QCOMPARE(side.stackingOrder(), loaded);

    side.sendToBack({K::Shape, 1});
    side.bringToFront({K::Photo, 0});
    const int added = side.addComment();
    QCOMPARE(added, 3);
    QCOMPARE(side.stackingOrder(), (QList<ElementRef>{{K::Shape, 1},
                                                      {K::Sign, 0},
                                                      {K::Comment, 1},
                                                      {K::Comment, 2},
                                                      {K::Field, 1},
                                                      {K::Logo, 1},
                                                      {K::Photo, 0},
                                                      {K::Comment, 3}}));

    QVERIFY(side.remove({K::Comment, 1}));
    QVERIFY(!side.remove({K::Photo, 0}));
    QVERIFY(!side.stackingOrder().contains(ElementRef{K::Comment, 1}));
    QCOMPARE(side.stackingOrder().size(), 7);
    side.bringToFront({K::Comment, 1}); // gone: nothing happens
    QCOMPARE(side.stackingOrder().size(), 7);
}

void tst_BadgeSide::aReusedIndexGoesOnTop()
{
    BadgeSide side = loadedSide();
    side.sendToBack({K::Shape, 1});
    QVERIFY(side.remove({K::Shape, 1}));
    QCOMPARE(side.addShape(), 1);
    QCOMPARE(side.stackingOrder().last(), (ElementRef{K::Shape, 1}));
}

void tst_BadgeSide::unloadKeepsTemplatesAndFrames()
{
    BadgeSide side = loadedSide();
    side.imgPhoto.Visible = true;
    side.Label1.templateElement().Caption = QStringLiteral("template");
    side.bringToFront({K::Comment, 1});
    side.UnloadBadgeElements();

    QVERIFY(side.Label1.isEmpty() && side.lblField.isEmpty() && side.Image1.isEmpty() &&
            side.myShape1.isEmpty());
    QCOMPARE(side.Label1.templateElement().Caption, QStringLiteral("template"));
    QVERIFY(side.imgPhoto.Visible);
    QCOMPARE(side.stackingOrder(), (QList<ElementRef>{{K::Photo, 0}, {K::Sign, 0}}));
    QCOMPARE(side.addComment(), 1);
}

QTEST_APPLESS_MAIN(tst_BadgeSide)
#include "tst_BadgeSide.moc"
