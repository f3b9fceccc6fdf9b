// Invariant: every badge of a run lands on exactly one slot of one page, inside the paper, never
// over another card; a duplex back lands behind its own front; nothing of one card is drawn
// outside its slot; each printer keeps its own offset.
#include "render/PageComposer.h"
#include "render/PrinterCalibration.h"
#include "support/AllKindsBadge.h"

#include <QImage>
#include <QPainter>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::SheetKind)
Q_DECLARE_METATYPE(vm::Duplex)

namespace {

const QSizeF Landscape = cardSizeTwips(Orientation::Landscape);
const QSizeF Portrait = cardSizeTwips(Orientation::Portrait);

// A card filled with one colour, with a small mark of another at its top-left corner.
BadgeSide colouredCard(QSizeF card, qint32 fill, qint32 corner)
{
    BadgeSide side;
    addShape(side, 0, QRectF(QPointF(), card), 0, 0, 1, fill);
    addShape(side, 0, QRectF(0, 0, 400, 400), 0, 0, 1, corner);
    return side;
}

// The page drawn at `dpi` on white paper, by a painter that works in twips.
template <class Draw> QImage paint(const SheetLayout& layout, double dpi, Draw draw)
{
    QImage image(int(std::lround(twipsToPixels(layout.page.width(), dpi))),
                 int(std::lround(twipsToPixels(layout.page.height(), dpi))), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    setTwipsTransform(painter, dpi, dpi);
    draw(painter);
    return image;
}

// Pixels of mostly one colour, as a bounding box in pixels.
QRect boundsOf(const QImage& image, QRgb colour)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (qAbs(qRed(p) - qRed(colour)) < 60 && qAbs(qGreen(p) - qGreen(colour)) < 60 &&
                qAbs(qBlue(p) - qBlue(colour)) < 60)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

QRectF toPixels(const QRectF& twips, double dpi)
{
    return {twipsToPixels(twips.x(), dpi), twipsToPixels(twips.y(), dpi),
            twipsToPixels(twips.width(), dpi), twipsToPixels(twips.height(), dpi)};
}

// A page's mirror image across its vertical (long edge) or horizontal (short edge) centre line.
QRectF turnedOver(const QRectF& rect, QSizeF page, Duplex duplex)
{
    if (duplex == Duplex::LongEdge)
        return {page.width() - rect.right(), rect.top(), rect.width(), rect.height()};
    return {rect.left(), page.height() - rect.bottom(), rect.width(), rect.height()};
}

bool near(double a, double b)
{
    return qAbs(a - b) < 0.01;
}

bool near(const QRectF& a, const QRectF& b)
{
    return near(a.left(), b.left()) && near(a.top(), b.top()) && near(a.width(), b.width()) &&
           near(a.height(), b.height());
}

} // namespace

class tst_PageComposer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void paperSheetsHoldTheCardsThatFitCentred_data();
    void paperSheetsHoldTheCardsThatFitCentred();
    void everyBadgeLandsOnceAndBacksLandBehindFronts_data();
    void everyBadgeLandsOnceAndBacksLandBehindFronts();
    void cropMarksStayInTheGuttersAndOnTheCutLines_data();
    void cropMarksStayInTheGuttersAndOnTheCutLines();
    void cardsAreClippedToTheirSlotAndTurnedToFit();
    void printerOffsetsAreKeptPerPrinter();
    void calibrationSheetOutlinesTheFirstCardWithScales();
};

void tst_PageComposer::paperSheetsHoldTheCardsThatFitCentred_data()
{
    QTest::addColumn<SheetKind>("paper");
    QTest::addColumn<QSizeF>("card");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QSizeF>("pageMm");
    QTest::newRow("A4 landscape cards") << SheetKind::A4 << Landscape << 2 << 5 << QSizeF(210, 297);
    QTest::newRow("A4 portrait cards") << SheetKind::A4 << Portrait << 3 << 3 << QSizeF(210, 297);
    QTest::newRow("Letter landscape cards")
        << SheetKind::Letter << Landscape << 2 << 4 << QSizeF(215.9, 279.4);
    QTest::newRow("Letter portrait cards")
        << SheetKind::Letter << Portrait << 3 << 3 << QSizeF(215.9, 279.4);
}

void tst_PageComposer::paperSheetsHoldTheCardsThatFitCentred()
{
    QFETCH(SheetKind, paper);
    QFETCH(QSizeF, card);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(QSizeF, pageMm);

    const SheetLayout layout = sheetLayout(paper, card);
    QCOMPARE(layout.columns, columns);
    QCOMPARE(layout.rows, rows);
    QCOMPARE(layout.slotsPerPage(), columns * rows);
    QVERIFY(near(twipsToMm(layout.page.width()), pageMm.width()));
    QVERIFY(near(twipsToMm(layout.page.height()), pageMm.height()));

    QRectF used;
    for (int i = 0; i < layout.slotsPerPage(); ++i) {
        const QRectF slot = layout.slotRects[i];
        QCOMPARE(slot.size(), card);
        used |= slot;
        // Row by row from the top left, 3 mm apart.
        if (i % columns > 0)
            QVERIFY(near(slot.left() - layout.slotRects[i - 1].right(), mmToTwips(3)));
        if (i >= columns)
            QVERIFY(near(slot.top() - layout.slotRects[i - columns].bottom(), mmToTwips(3)));
    }
    const double left = used.left(), right = layout.page.width() - used.right();
    const double top = used.top(), bottom = layout.page.height() - used.bottom();
    QVERIFY(near(left, right) && near(top, bottom));
    QVERIFY(std::min({left, right, top, bottom}) >= mmToTwips(5) - 0.01);
    // One more column or row would not fit inside the margins.
    QVERIFY(2 * left < card.width() + mmToTwips(3) + 2 * mmToTwips(5));
    QVERIFY(2 * top < card.height() + mmToTwips(3) + 2 * mmToTwips(5));
}

void tst_PageComposer::everyBadgeLandsOnceAndBacksLandBehindFronts_data()
{
    QTest::addColumn<SheetKind>("kind");
    QTest::addColumn<QSizeF>("card");
    QTest::addColumn<bool>("bothSides");
    QTest::addColumn<Duplex>("duplex");
    for (SheetKind kind : {SheetKind::A4, SheetKind::Letter, SheetKind::Card, SheetKind::SlotGrid})
        for (QSizeF card : {Landscape, Portrait})
            for (auto [both, duplex] :
                 {std::pair{false, Duplex::None}, std::pair{false, Duplex::LongEdge},
                  std::pair{true, Duplex::None}, std::pair{true, Duplex::LongEdge},
                  std::pair{true, Duplex::ShortEdge}})
                QTest::addRow("%s %s both=%d duplex=%d", qPrintable(sheetKindName(kind)),
                              card == Landscape ? "landscape" : "portrait", both, int(duplex))
                    << kind << card << both << duplex;
}

void tst_PageComposer::everyBadgeLandsOnceAndBacksLandBehindFronts()
{
    QFETCH(SheetKind, kind);
    QFETCH(QSizeF, card);
    QFETCH(bool, bothSides);
    QFETCH(Duplex, duplex);
    const SheetLayout layout = sheetLayout(kind, card);
    const int perPage = layout.slotsPerPage();

    for (int items : {0, 1, perPage - 1, perPage, perPage + 1, 25, 1000}) {
        SheetOptions options;
        options.bothSides = bothSides;
        options.duplex = duplex;
        const SheetPlan plan(layout, options, items);
        QHash<QPair<int, int>, QPair<int, int>> where; // (item, face) -> (page, slot)
        for (int page = 0; page < plan.pageCount(); ++page) {
            const QList<PlacedCard> cards = plan.page(page);
            QVERIFY2(!cards.isEmpty(), "no page is left blank");
            QSet<int> used;
            for (const PlacedCard& c : cards) {
                QVERIFY(c.slot >= 0 && c.slot < perPage);
                QVERIFY2(!used.contains(c.slot), "two cards in one slot");
                used << c.slot;
                const auto key = qMakePair(c.item, int(c.face));
                QVERIFY2(!where.contains(key), "a badge printed twice");
                where.insert(key, qMakePair(page, c.slot));
                QCOMPARE(plan.pageOf(c.item, c.face), page);
                QCOMPARE(plan.isBackSheet(page),
                         bothSides && duplex != Duplex::None && c.face == CardFace::Back);
            }
        }
        QCOMPARE(int(where.size()), bothSides ? 2 * items : items);
        for (int item = 0; item < items; ++item) {
            QVERIFY(where.contains(qMakePair(item, int(CardFace::Front))));
            if (!bothSides)
                continue;
            const auto front = where.value(qMakePair(item, int(CardFace::Front)));
            const auto back = where.value(qMakePair(item, int(CardFace::Back)));
            if (duplex == Duplex::None) {
                // Fold-over: the back is the very next card of the run.
                QCOMPARE(back.first * perPage + back.second,
                         front.first * perPage + front.second + 1);
                continue;
            }
            QCOMPARE(back.first, front.first + 1);
            QCOMPARE(back.second, layout.mirroredSlot(front.second, duplex));
            QVERIFY2(near(layout.slotRects[back.second],
                          turnedOver(layout.slotRects[front.second], layout.page, duplex)),
                     "the back does not land behind its front");
        }
    }
}

void tst_PageComposer::cropMarksStayInTheGuttersAndOnTheCutLines_data()
{
    QTest::addColumn<SheetKind>("kind");
    QTest::addColumn<QSizeF>("card");
    for (SheetKind kind : {SheetKind::A4, SheetKind::Letter, SheetKind::SlotGrid})
        for (QSizeF card : {Landscape, Portrait})
            QTest::addRow("%s %s", qPrintable(sheetKindName(kind)),
                          card == Landscape ? "landscape" : "portrait")
                << kind << card;
}

void tst_PageComposer::cropMarksStayInTheGuttersAndOnTheCutLines()
{
    QFETCH(SheetKind, kind);
    QFETCH(QSizeF, card);
    const SheetLayout layout = sheetLayout(kind, card);
    const QRectF paper(QPointF(), layout.page);
    const double gap = mmToTwips(CropMarkGapMm);
    for (int slot = 0; slot < layout.slotsPerPage(); ++slot) {
        const QList<QLineF> marks = cropMarks(layout, slot);
        QCOMPARE(marks.size(), 8);
        const QRectF own = layout.slotRects[slot];
        for (const QLineF& mark : marks) {
            QVERIFY(paper.contains(mark.p1()) && paper.contains(mark.p2()));
            QVERIFY(mark.length() > mmToTwips(1));
            QVERIFY(mark.length() <= mmToTwips(CropMarkLengthMm) + 0.01);
            // Each mark continues one of the card's edges, where the cut goes.
            const bool horizontal = mark.p1().y() == mark.p2().y();
            const double line = horizontal ? mark.p1().y() : mark.p1().x();
            const QList<double> edges = horizontal ? QList<double>{own.top(), own.bottom()}
                                                   : QList<double>{own.left(), own.right()};
            QVERIFY(edges.contains(line));
            // ...and keeps clear of every card, its own included.
            const QRectF box = QRectF(mark.p1(), mark.p2()).normalized();
            for (const QRectF& other : layout.slotRects)
                QVERIFY2(!box.intersects(other.adjusted(-gap + 1, -gap + 1, gap - 1, gap - 1)),
                         "a crop mark reaches into a card");
        }
    }
    QVERIFY(cropMarks(cardSheet(card), 0).isEmpty());
}

void tst_PageComposer::cardsAreClippedToTheirSlotAndTurnedToFit()
{
    const double dpi = 72;
    // A portrait card in a landscape grid, its shape spilling far beyond the card.
    const SheetLayout layout = slotGridSheet(Orientation::Landscape);
    BadgeSide spilling = colouredCard(Portrait, 0x00c000, 0x0000c0);
    addShape(spilling, 0, QRectF(-3000, -3000, 12000, 12000), 0, 0, 1, 0x00c000);
    spilling.sendToBack({ElementKind::Shape, 3});
    const QImage page = paint(layout, dpi, [&](QPainter& painter) {
        paintSheet(painter, layout, {{4, spilling, Portrait}}, {}, {});
    });

    const QRectF slot = toPixels(layout.slotRects[4], dpi);
    const QRect green = boundsOf(page, qRgb(0, 0xc0, 0));
    QVERIFY2(!green.isEmpty(), "the card was drawn");
    QVERIFY(QRectF(green).adjusted(0.5, 0.5, -0.5, -0.5).intersects(slot));
    QVERIFY2(slot.adjusted(-1, -1, 1, 1).contains(QRectF(green)), "drawn outside its slot");
    // Turned a quarter clockwise: the card's top-left corner is at the slot's top right.
    const QRect corner = boundsOf(page, qRgb(0xc0, 0, 0));
    QVERIFY(qAbs(corner.right() + 1 - slot.right()) <= 1);
    QVERIFY(qAbs(corner.top() - slot.top()) <= 1);
}

void tst_PageComposer::printerOffsetsAreKeptPerPrinter()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("offsets.ini")), QSettings::IniFormat);
    const QString card = QStringLiteral("Card Printer/USB\\1");
    const QString laser = QStringLiteral("Office Laser");
    setPrinterOffsetMm(settings, card, QPointF(1.2, -0.4));
    setPrinterOffsetMm(settings, laser, QPointF(-50, qQNaN()));
    settings.sync();

    QSettings reread(dir.filePath(QStringLiteral("offsets.ini")), QSettings::IniFormat);
    QCOMPARE(printerOffsetMm(reread, card), QPointF(1.2, -0.4));
    QCOMPARE(printerOffsetMm(reread, laser), QPointF(-LargestPrinterOffsetMm, 0));
    QCOMPARE(printerOffsetMm(reread, QStringLiteral("Card Printer")), QPointF(0, 0));
}

void tst_PageComposer::calibrationSheetOutlinesTheFirstCardWithScales()
{
    const double dpi = 254; // a tenth of a millimetre a pixel
    const SheetLayout layout = paperSheet(SheetKind::A4, Landscape);
    const QImage page = paint(layout, dpi, [&](QPainter& painter) {
        paintCalibrationSheet(painter, layout, QStringLiteral("Office Laser"), QPointF(0.5, 0));
    });
    const QRectF card = toPixels(layout.slotRects[0], dpi);
    // The outline, and the scale reaching 5 mm beyond each edge and no further.
    QRect ink;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 200)
                ink |= QRect(x, y, 1, 1);
    QVERIFY(qAbs(ink.left() - (card.left() - 50)) <= 2);
    QVERIFY(qAbs(ink.top() - (card.top() - 50)) <= 2);
    QVERIFY(qAbs(ink.right() + 1 - (card.right() + 50)) <= 2);
    QVERIFY(qAbs(ink.bottom() + 1 - (card.bottom() + 50)) <= 2);
    // Ticks a millimetre apart across the left edge, ten pixels here.
    const int y = int(card.center().y()) - 10;
    QList<int> ticks;
    for (int x = int(card.left()) - 55; x <= int(card.left()) + 55; ++x)
        if (qGray(page.pixel(x, y)) < 200 && (ticks.isEmpty() || x - ticks.last() > 2))
            ticks << x;
    QCOMPARE(ticks.size(), 11);
    for (int i = 1; i < ticks.size(); ++i)
        QVERIFY(qAbs(ticks[i] - ticks[i - 1] - 10) <= 1);
    QVERIFY(qAbs(ticks[5] - card.left()) <= 1);
}

QTEST_MAIN(tst_PageComposer)
#include "tst_PageComposer.moc"
