#include "render/SheetLayout.h"

#include <algorithm>
#include <cmath>

namespace vm {
namespace {

// The print page's grid: 120 twips between slotRects and from the page's edges.
constexpr double GridSpacing = 120;
constexpr int GridShortSide = 2;
constexpr int GridLongSide = 3;

SheetLayout grid(SheetKind kind, QSizeF page, QSizeF card, int columns, int rows, QPointF origin,
                 double gutter)
{
    SheetLayout layout;
    layout.kind = kind;
    layout.page = page;
    layout.card = card;
    layout.columns = columns;
    layout.rows = rows;
    layout.gutter = gutter;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            layout.slotRects << QRectF(origin.x() + c * (card.width() + gutter),
                                       origin.y() + r * (card.height() + gutter), card.width(),
                                       card.height());
    return layout;
}

QSizeF paperTwips(SheetKind paper)
{
    return paper == SheetKind::Letter ? QSizeF(8.5 * TwipsPerInch, 11 * TwipsPerInch)
                                      : QSizeF(mmToTwips(210), mmToTwips(297));
}

} // namespace

QPageSize SheetLayout::pageSize() const
{
    switch (kind) {
    case SheetKind::A4:
        return QPageSize(QPageSize::A4);
    case SheetKind::Letter:
        return QPageSize(QPageSize::Letter);
    case SheetKind::Card:
    case SheetKind::SlotGrid:
        break;
    }
    return QPageSize(QSizeF(twipsToPoints(page.width()), twipsToPoints(page.height())),
                     QPageSize::Point, QString(), QPageSize::ExactMatch);
}

int SheetLayout::mirroredSlot(int slot, Duplex duplex) const
{
    const int r = slot / columns;
    const int c = slot % columns;
    switch (duplex) {
    case Duplex::LongEdge:
        return r * columns + (columns - 1 - c);
    case Duplex::ShortEdge:
        return (rows - 1 - r) * columns + c;
    case Duplex::None:
        break;
    }
    return slot;
}

SheetLayout::Room SheetLayout::roomAround(int slot) const
{
    const QRectF& rect = slotRects.at(slot);
    const int r = slot / columns;
    const int c = slot % columns;
    Room room;
    room.left = c > 0 ? gutter : rect.left();
    room.right = c < columns - 1 ? gutter : page.width() - rect.right();
    room.top = r > 0 ? gutter : rect.top();
    room.bottom = r < rows - 1 ? gutter : page.height() - rect.bottom();
    return room;
}

SheetLayout cardSheet(QSizeF card)
{
    return grid(SheetKind::Card, card, card, 1, 1, {}, 0);
}

SheetLayout paperSheet(SheetKind paper, QSizeF card)
{
    const QSizeF page = paperTwips(paper);
    const double margin = mmToTwips(SheetMarginMm);
    const double gutter = mmToTwips(SheetGutterMm);
    auto fit = [&](double room, double size) {
        return std::max(1, int(std::floor((room - 2 * margin + gutter) / (size + gutter))));
    };
    const int columns = fit(page.width(), card.width());
    const int rows = fit(page.height(), card.height());
    const QSizeF used(columns * card.width() + (columns - 1) * gutter,
                      rows * card.height() + (rows - 1) * gutter);
    const QPointF origin((page.width() - used.width()) / 2, (page.height() - used.height()) / 2);
    return grid(paper, page, card, columns, rows, origin, gutter);
}

SheetLayout slotGridSheet(Orientation orientation)
{
    const QSizeF card = cardSizeTwips(orientation);
    const bool portrait = orientation == Orientation::Portrait;
    const int columns = portrait ? GridLongSide : GridShortSide;
    const int rows = portrait ? GridShortSide : GridLongSide;
    const QSizeF page(GridSpacing + columns * (card.width() + GridSpacing),
                      GridSpacing + rows * (card.height() + GridSpacing));
    return grid(SheetKind::SlotGrid, page, card, columns, rows, {GridSpacing, GridSpacing},
                GridSpacing);
}

SheetLayout sheetLayout(SheetKind kind, QSizeF card)
{
    switch (kind) {
    case SheetKind::Card:
        return cardSheet(card);
    case SheetKind::A4:
    case SheetKind::Letter:
        return paperSheet(kind, card);
    case SheetKind::SlotGrid:
        break;
    }
    return slotGridSheet(card.width() < card.height() ? Orientation::Portrait
                                                      : Orientation::Landscape);
}

std::optional<SheetKind> sheetKindFromName(const QString& name)
{
    for (SheetKind kind : {SheetKind::Card, SheetKind::A4, SheetKind::Letter, SheetKind::SlotGrid})
        if (name.compare(sheetKindName(kind), Qt::CaseInsensitive) == 0)
            return kind;
    return std::nullopt;
}

QString sheetKindName(SheetKind kind)
{
    switch (kind) {
    case SheetKind::Card:
        return QStringLiteral("card");
    case SheetKind::A4:
        return QStringLiteral("A4");
    case SheetKind::Letter:
        return QStringLiteral("Letter");
    case SheetKind::SlotGrid:
        break;
    }
    return QStringLiteral("grid");
}

} // namespace vm
