// Invariant: every edit of a badge is one step that undo takes back exactly (values, indexes and
// places in the stacking order) and redo makes again; drags and typing are one step each; the
// element model keeps an element's index as its identity.
#include "badge/Arrange.h"
#include "badge/BadgeDocument.h"
#include "badge/Snapping.h"
#include "support/AllKindsBadge.h"

#include <QSignalSpy>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::SnapOptions)
Q_DECLARE_METATYPE(vm::Arrangement)

namespace {

constexpr auto Front = BadgeSideId::Front;
constexpr auto Back = BadgeSideId::Back;

ElementRef comment(int index)
{
    return {ElementKind::Comment, index};
}

Comment moved(const BadgeSide& side, ElementRef element, float left, float top)
{
    Comment c = side.Label1.at(element.index);
    c.Left = left;
    c.Top = top;
    return c;
}

} // namespace

class tst_BadgeDocument : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void indexesAreIdentityAndStackPlacesCanBeRestored();
    void visitReachesEveryKindAndRefusesAnother();
    void undoAndRedoRetraceEveryStepExactly();
    void dragsAndTypingMergeIntoOneStep();
    void savingKeepsItsStateReachableByUndo();
    void backStaysBlankUntilSomethingIsPutOnIt();
    void snapping_data();
    void snapping();
    void editsKeepWholeTwipsAndRefuseWhatWouldVanish();
    void arranging_data();
    void arranging();
};

void tst_BadgeDocument::indexesAreIdentityAndStackPlacesCanBeRestored()
{
    BadgeSide side = allKindsBadge(QStringLiteral("/logo.png")).front;
    // A freshly built side stacks shapes lowest, then photograph, signature, logos, texts.
    const QList<ElementRef> loaded = side.stackingOrder();
    QCOMPARE(loaded.first(), (ElementRef{ElementKind::Shape, 1}));
    QCOMPARE(side.stackPosition({ElementKind::Photo, 0}), 2);
    QCOMPARE(loaded.last(), (ElementRef{ElementKind::Field, 2}));

    Comment third;
    third.Caption = QStringLiteral("third");
    QCOMPARE(side.add(third), comment(3));
    const int placeOfFirst = side.stackPosition(comment(1));
    const Comment first = side.Label1.at(1);
    QVERIFY(side.remove(comment(1)));
    QCOMPARE(side.stackPosition(comment(1)), -1);
    QVERIFY(!side.remove(comment(1)));
    QVERIFY(!side.remove({ElementKind::Photo, 0}));

    // The gap stays; a new element takes the highest index plus one.
    QCOMPARE(side.add(Comment()), comment(4));
    QVERIFY(!side.insert(comment(3), first, 0));                      // taken
    QVERIFY(!side.insert(comment(0), first, 0));                      // the template
    QVERIFY(!side.insert({ElementKind::Field, 1}, first, 0));         // another kind
    QVERIFY(!side.insert({ElementKind::Photo, 0}, side.imgPhoto, 0)); // not an array
    QVERIFY(side.insert(comment(1), first, placeOfFirst));
    QCOMPARE(side.Label1.at(1), first);
    QCOMPARE(side.stackPosition(comment(1)), placeOfFirst);

    const int last = int(side.stackingOrder().size()) - 1;
    side.moveInStack(comment(1), 1000);
    QCOMPARE(side.stackPosition(comment(1)), last);
    side.moveInStack(comment(1), -5);
    QCOMPARE(side.stackPosition(comment(1)), 0);
    QCOMPARE(side.add(PictureFrame()), ElementRef{});
}

void tst_BadgeDocument::visitReachesEveryKindAndRefusesAnother()
{
    BadgeSide side = allKindsBadge(QStringLiteral("/logo.png")).back;
    const QList<ElementRef> all = side.stackingOrder();
    QCOMPARE(all.size(), 9);
    for (const ElementRef& element : all) {
        side.visit(element, [](auto& e) { e.Left = 7; });
        QCOMPARE(side.geometry(element)->Left, 7.0f);
        const std::optional<Element> value = side.element(element);
        QVERIFY(value);
        QCOMPARE(arrayKindOf(*value).value_or(element.kind), element.kind);
        QVERIFY(side.setElement(element, *value));
    }
    // A field is no comment, although it has every property of one.
    QVERIFY(!side.setElement(comment(1), Field()));
    QVERIFY(!side.setElement(comment(9), Comment()));
    QVERIFY(!side.element(comment(9)));
    QVERIFY(!side.contains(comment(0)));
}

void tst_BadgeDocument::undoAndRedoRetraceEveryStepExactly()
{
    BadgeDocument document;
    BadgeLayout start = allKindsBadge(QStringLiteral("/logo.png"));
    document.reset(start, false);
    QList<BadgeLayout> states{document.layout()};
    auto step = [&](bool done) {
        QVERIFY(done);
        states << document.layout();
    };

    Comment added;
    added.Caption = QStringLiteral("New Comment");
    step(document.addElement(Front, added, QStringLiteral("Comment")) == comment(3));
    step(document.removeElement(Front, comment(1)));
    step(document.moveInStack(Front, {ElementKind::Shape, 2}, 99));
    step(document.changeElement(Front, comment(2), moved(document.side(Front), comment(2), 5, 6),
                                QStringLiteral("Move")));
    document.setOrientation(Orientation::Portrait);
    step(document.orientation() == Orientation::Portrait);
    step(document.addElements(Back, {Shape(), Comment(), Logo()}, QStringLiteral("Paste")).size() ==
         3);
    step(document.removeElement(Back, {ElementKind::Shape, 2}));
    QVERIFY(!document.removeElement(Front, {ElementKind::Sign, 0}));
    QVERIFY(!document.moveInStack(Front, comment(1), 0)); // deleted
    QCOMPARE(document.undoStack()->count(), states.size() - 1);

    auto same = [](const BadgeLayout& a, const BadgeLayout& b) {
        return a.front == b.front && a.back == b.back && a.orientation == b.orientation;
    };
    for (qsizetype i = states.size() - 2; i >= 0; --i) {
        document.undoStack()->undo();
        QVERIFY2(same(document.layout(), states[i]), qPrintable(QString::number(i)));
    }
    QVERIFY(!document.isModified());
    for (qsizetype i = 1; i < states.size(); ++i) {
        document.undoStack()->redo();
        QVERIFY2(same(document.layout(), states[i]), qPrintable(QString::number(i)));
    }
}

void tst_BadgeDocument::dragsAndTypingMergeIntoOneStep()
{
    BadgeDocument document;
    document.reset(allKindsBadge(QStringLiteral("/logo.png")), false);
    QSignalSpy changes(&document, &BadgeDocument::elementChanged);
    const Comment start = document.side(Front).Label1.at(1);

    const quint64 drag = document.newMergeKey();
    for (int i = 1; i <= 10; ++i)
        document.changeElement(Front, comment(1), moved(document.side(Front), comment(1), i, i),
                               QStringLiteral("Move"), drag);
    QCOMPARE(document.undoStack()->count(), 1);
    QCOMPARE(changes.size(), 10);
    QCOMPARE(changes.last().at(1).value<ElementRef>(), comment(1));

    // Another element, or another gesture, is another step.
    document.changeElement(Front, comment(2), moved(document.side(Front), comment(2), 1, 1),
                           QStringLiteral("Move"), drag);
    document.changeElement(Front, comment(1), moved(document.side(Front), comment(1), 20, 20),
                           QStringLiteral("Move"), document.newMergeKey());
    QCOMPARE(document.undoStack()->count(), 3);
    document.undoStack()->setIndex(0);
    QCOMPARE(document.side(Front).Label1.at(1), start);

    // A drag that ends where it began leaves no step; nor does a change to the same values.
    document.undoStack()->clear();
    const quint64 back = document.newMergeKey();
    document.changeElement(Front, comment(1), moved(document.side(Front), comment(1), 50, 50),
                           QStringLiteral("Move"), back);
    document.changeElement(Front, comment(1), start, QStringLiteral("Move"), back);
    QCOMPARE(document.undoStack()->count(), 0);
    QVERIFY(!document.changeElement(Front, comment(1), start, QStringLiteral("Move"), back));
}

void tst_BadgeDocument::savingKeepsItsStateReachableByUndo()
{
    BadgeDocument document;
    document.reset(allKindsBadge(QStringLiteral("/logo.png")), false);
    QSignalSpy modified(&document, &BadgeDocument::modifiedChanged);
    const quint64 typing = document.newMergeKey();
    auto type = [&](const QString& caption) {
        Comment c = document.side(Front).Label1.at(1);
        c.Caption = caption;
        document.changeElement(Front, comment(1), c, QStringLiteral("Caption"), typing);
    };
    type(QStringLiteral("A"));
    QVERIFY(document.isModified());
    QCOMPARE(modified.size(), 1);
    type(QStringLiteral("AB"));
    document.markSaved();
    QVERIFY(!document.isModified());
    // Typing on after a save is a new step, so undo comes back to what was saved.
    type(QStringLiteral("ABC"));
    QCOMPARE(document.undoStack()->count(), 2);
    document.undoStack()->undo();
    QVERIFY(!document.isModified());
    QCOMPARE(document.side(Front).Label1.at(1).Caption, QStringLiteral("AB"));
    QCOMPARE(modified.size(), 4);
}

void tst_BadgeDocument::backStaysBlankUntilSomethingIsPutOnIt()
{
    BadgeDocument document;
    document.reset(BadgeLayout(), true);
    QVERIFY(document.backIsBlank());
    document.addElement(Front, Comment(), QStringLiteral("Comment"));
    QVERIFY(document.backIsBlank());
    PictureFrame photo = document.side(Back).imgPhoto;
    photo.Visible = true;
    document.changeElement(Back, {ElementKind::Photo, 0}, photo, QStringLiteral("Show Photo"));
    QVERIFY(!document.backIsBlank());
    document.undoStack()->undo();
    QVERIFY(document.backIsBlank());

    // A back that was read in full stays in full, even when it holds nothing.
    document.reset(BadgeLayout(), false);
    QVERIFY(!document.backIsBlank());
}

void tst_BadgeDocument::snapping_data()
{
    QTest::addColumn<QRectF>("moving");
    QTest::addColumn<SnapOptions>("options");
    QTest::addColumn<QPointF>("topLeft");
    QTest::addColumn<double>("guideX"); // -1: none
    QTest::addColumn<double>("guideY");

    const SnapOptions guides;
    SnapOptions grid = guides;
    grid.toGuides = false;
    grid.toGrid = true;
    grid.gridTwips = 100;
    SnapOptions off = grid;
    off.toGrid = false;

    // The card is 4876 x 3090; another element stands at (1000, 500, 600, 300).
    QTest::newRow("centre on the card's centre lines")
        << QRectF(1690.5, 1410, 1440, 300) << guides << QPointF(1718, 1395) << 2438.0 << 1545.0;
    QTest::newRow("left edge on another's right edge")
        << QRectF(1650, 2500.5, 100, 100) << guides << QPointF(1600, 2500.5) << 1600.0 << -1.0;
    QTest::newRow("right edge on another's left edge, top on its top")
        << QRectF(820, 520, 100, 100) << guides << QPointF(900, 500) << 1000.0 << 500.0;
    QTest::newRow("too far from every guide")
        << QRectF(3000, 2500, 300, 100) << guides << QPointF(3000, 2500) << -1.0 << -1.0;
    QTest::newRow("grid") << QRectF(1249, 351, 10, 10) << grid << QPointF(1200, 400) << -1.0
                          << -1.0;
    QTest::newRow("nothing") << QRectF(1249, 351, 10, 10) << off << QPointF(1249, 351) << -1.0
                             << -1.0;
}

void tst_BadgeDocument::snapping()
{
    QFETCH(QRectF, moving);
    QFETCH(SnapOptions, options);
    QFETCH(QPointF, topLeft);
    QFETCH(double, guideX);
    QFETCH(double, guideY);
    const SnapResult snapped =
        snapRect(moving, {QRectF(1000, 500, 600, 300)}, QSizeF(4876, 3090), options);
    QCOMPARE(snapped.topLeft, topLeft);
    QCOMPARE(snapped.guideX.value_or(-1), guideX);
    QCOMPARE(snapped.guideY.value_or(-1), guideY);
}

void tst_BadgeDocument::editsKeepWholeTwipsAndRefuseWhatWouldVanish()
{
    BadgeDocument document;
    const ElementRef c = document.addElement(Front, Comment(), QStringLiteral("New"));
    Comment value = document.side(Front).Label1.at(c.index);
    value.Left = 1399.2188f;
    value.Top = -0.5f;
    QVERIFY(document.changeElement(Front, c, value, QStringLiteral("Move")));
    QCOMPARE(document.side(Front).Label1.at(c.index).frame().topLeft(), QPointF(1399, -1));

    const int steps = document.undoStack()->count();
    for (auto vanish : {+[](Comment& e) { e.Width = -1; }, +[](Comment& e) { e.Height = -300; },
                        +[](Comment& e) { e.FontSize = 0; },
                        +[](Comment& e) {
                            e.FontSize = -8;
                        }}) {
        Comment bad = document.side(Front).Label1.at(c.index);
        vanish(bad);
        QVERIFY(!refusedValues(bad).isEmpty());
        QVERIFY(!document.changeElement(Front, c, bad, QStringLiteral("Edit")));
        QVERIFY(!document.changeElements(Front, {{c, bad}}, QStringLiteral("Edit")));
        QVERIFY(document.addElement(Front, bad, QStringLiteral("New")).index == 0);
    }
    QCOMPARE(document.undoStack()->count(), steps);

    // One read so from a file can still be moved and mended.
    BadgeLayout layout;
    layout.front.Label1.at(layout.front.addComment()).Width = -50;
    document.reset(layout, true);
    Comment legacy = document.side(Front).Label1.at(1);
    legacy.Left = 200;
    QVERIFY(document.changeElement(Front, comment(1), legacy, QStringLiteral("Move")));
}

void tst_BadgeDocument::arranging_data()
{
    QTest::addColumn<Arrangement>("how");
    QTest::addColumn<QList<QRectF>>("expected");
    // From (100, 100, 1000, 400), (2000, 900, 600, 300) and (1000, 2000, 400, 800).
    auto row = [](const char* name, Arrangement how, QList<QRectF> expected) {
        QTest::newRow(name) << how << expected;
    };
    row("left", Arrangement::AlignLeft,
        {{100, 100, 1000, 400}, {100, 900, 600, 300}, {100, 2000, 400, 800}});
    row("centre", Arrangement::AlignCentre,
        {{850, 100, 1000, 400}, {1050, 900, 600, 300}, {1150, 2000, 400, 800}});
    row("right", Arrangement::AlignRight,
        {{1600, 100, 1000, 400}, {2000, 900, 600, 300}, {2200, 2000, 400, 800}});
    row("top", Arrangement::AlignTop,
        {{100, 100, 1000, 400}, {2000, 100, 600, 300}, {1000, 100, 400, 800}});
    row("middle", Arrangement::AlignMiddle,
        {{100, 1250, 1000, 400}, {2000, 1300, 600, 300}, {1000, 1050, 400, 800}});
    row("bottom", Arrangement::AlignBottom,
        {{100, 2400, 1000, 400}, {2000, 2500, 600, 300}, {1000, 2000, 400, 800}});
    // Outermost stay; equal gaps of 250 (across) and 600 (down) between neighbours.
    row("distributed across", Arrangement::DistributeHorizontally,
        {{100, 100, 1000, 400}, {2000, 900, 600, 300}, {1350, 2000, 400, 800}});
    row("distributed down", Arrangement::DistributeVertically,
        {{100, 100, 1000, 400}, {2000, 1100, 600, 300}, {1000, 2000, 400, 800}});
    row("same width as the first", Arrangement::SameWidth,
        {{100, 100, 1000, 400}, {2000, 900, 1000, 300}, {1000, 2000, 1000, 800}});
    row("same height as the first", Arrangement::SameHeight,
        {{100, 100, 1000, 400}, {2000, 900, 600, 400}, {1000, 2000, 400, 400}});
}

void tst_BadgeDocument::arranging()
{
    QFETCH(Arrangement, how);
    QFETCH(QList<QRectF>, expected);
    const QList<QRectF> rects{{100, 100, 1000, 400}, {2000, 900, 600, 300}, {1000, 2000, 400, 800}};
    QCOMPARE(arranged(rects, how, 0), expected);
    // Two cannot be spaced: they stay.
    if (how == Arrangement::DistributeHorizontally || how == Arrangement::DistributeVertically)
        QCOMPARE(arranged(rects.mid(0, 2), how, 0), rects.mid(0, 2));
}

QTEST_GUILESS_MAIN(tst_BadgeDocument)
#include "tst_BadgeDocument.moc"
