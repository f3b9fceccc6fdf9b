#include "render/PageComposer.h"

#include <QPainter>

#include <algorithm>

namespace vm {
namespace {

// A hairline that still shows on every printer: a quarter point.
constexpr double CropMarkPen = 5;

bool isPortrait(QSizeF size)
{
    return size.width() < size.height();
}

void drawCard(QPainter& painter, const QRectF& slot, const SheetCard& card,
              const RenderOptions& render)
{
    painter.save();
    painter.translate(slot.topLeft());
    if (isPortrait(card.card) != isPortrait(slot.size()) &&
        card.card.width() != card.card.height()) {
        painter.translate(slot.width(), 0);
        painter.rotate(90);
    }
    RenderOptions clipped = render;
    clipped.cardTwips = card.card;
    renderBadgeSide(painter, card.side, clipped);
    painter.restore();
}

} // namespace

SheetPlan::SheetPlan(SheetLayout layout, SheetOptions options, int items)
    : m_layout(std::move(layout))
    , m_options(options)
    , m_items(std::max(0, items))
{
    if (!m_options.bothSides)
        m_options.duplex = Duplex::None;
}

bool SheetPlan::duplexing() const
{
    return m_options.bothSides && m_options.duplex != Duplex::None;
}

int SheetPlan::sequenceLength() const
{
    return m_options.bothSides && !duplexing() ? 2 * m_items : m_items;
}

int SheetPlan::pageCount() const
{
    const int perPage = std::max(1, m_layout.slotsPerPage());
    const int sheets = (sequenceLength() + perPage - 1) / perPage;
    return duplexing() ? 2 * sheets : sheets;
}

QList<PlacedCard> SheetPlan::page(int index) const
{
    QList<PlacedCard> cards;
    const int perPage = m_layout.slotsPerPage();
    if (index < 0 || index >= pageCount() || perPage == 0)
        return cards;
    if (duplexing()) {
        const int first = (index / 2) * perPage;
        const bool backs = index % 2 == 1;
        for (int slot = 0; slot < perPage && first + slot < m_items; ++slot)
            cards << PlacedCard{first + slot, backs ? CardFace::Back : CardFace::Front,
                                backs ? m_layout.mirroredSlot(slot, m_options.duplex) : slot};
        return cards;
    }
    const int first = index * perPage;
    for (int slot = 0; slot < perPage && first + slot < sequenceLength(); ++slot) {
        const int at = first + slot;
        if (m_options.bothSides)
            cards << PlacedCard{at / 2, at % 2 ? CardFace::Back : CardFace::Front, slot};
        else
            cards << PlacedCard{at, CardFace::Front, slot};
    }
    return cards;
}

int SheetPlan::pageOf(int item, CardFace face) const
{
    const int perPage = std::max(1, m_layout.slotsPerPage());
    if (duplexing())
        return 2 * (item / perPage) + (face == CardFace::Back ? 1 : 0);
    if (m_options.bothSides)
        return (2 * item + (face == CardFace::Back ? 1 : 0)) / perPage;
    return item / perPage;
}

bool SheetPlan::isBackSheet(int page) const
{
    return duplexing() && page % 2 == 1;
}

QList<QLineF> cropMarks(const SheetLayout& layout, int slot)
{
    const QRectF r = layout.slotRects.at(slot);
    const SheetLayout::Room room = layout.roomAround(slot);
    const double gap = mmToTwips(CropMarkGapMm);
    // Marks of neighbouring cards share the gutter and meet in its middle at most.
    auto length = [&](double space) {
        return std::min(mmToTwips(CropMarkLengthMm), space - 2 * gap);
    };
    QList<QLineF> lines;
    auto add = [&](QPointF from, QPointF direction, double space) {
        const double l = length(space);
        if (l > 0)
            lines << QLineF(from + direction * gap, from + direction * (gap + l));
    };
    const QPointF left(-1, 0), right(1, 0), up(0, -1), down(0, 1);
    add(r.topLeft(), left, room.left);
    add(r.topLeft(), up, room.top);
    add(r.topRight(), right, room.right);
    add(r.topRight(), up, room.top);
    add(r.bottomLeft(), left, room.left);
    add(r.bottomLeft(), down, room.bottom);
    add(r.bottomRight(), right, room.right);
    add(r.bottomRight(), down, room.bottom);
    return lines;
}

void paintSheet(QPainter& painter, const SheetLayout& layout, const QList<SheetCard>& cards,
                const SheetOptions& options, const RenderOptions& render)
{
    painter.save();
    painter.translate(mmToTwips(options.offsetMm.x()), mmToTwips(options.offsetMm.y()));
    RenderOptions marked = render;
    marked.testPrint = render.testPrint || options.testPrint;
    for (const SheetCard& card : cards) {
        if (card.slot >= 0 && card.slot < layout.slotsPerPage())
            drawCard(painter, layout.slotRects.at(card.slot), card, marked);
    }
    // A card page has no room outside its card.
    if (options.cropMarks && layout.kind != SheetKind::Card) {
        painter.setPen(QPen(Qt::black, CropMarkPen, Qt::SolidLine, Qt::FlatCap));
        for (const SheetCard& card : cards) {
            if (card.slot >= 0 && card.slot < layout.slotsPerPage())
                painter.drawLines(cropMarks(layout, card.slot));
        }
    }
    painter.restore();
}

} // namespace vm
