#pragma once

#include "common/Units.h"

#include <QList>
#include <QPageSize>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

namespace vm {

inline constexpr double TwipsPerMm = TwipsPerInch / 25.4;

inline constexpr double mmToTwips(double mm)
{
    return mm * TwipsPerMm;
}
inline constexpr double twipsToMm(double twips)
{
    return twips / TwipsPerMm;
}

// The paper a run of badges is printed on.
enum class SheetKind {
    Card,     // one card a page, the page the card's size: card printers
    A4,       // portrait sheets of cards to cut, centred
    Letter,   //
    SlotGrid, // the print page's own grid of six slotRects, at the printable area's top-left
};

// How the backs of a two-sided run land behind their fronts.
enum class Duplex {
    None,      // each back follows its front in the grid (fold-over badges)
    LongEdge,  // a sheet of backs follows each sheet of fronts, columns mirrored
    ShortEdge, // the same, rows mirrored
};

// Where the cards of one page go: slotRects row by row from the top left, in twips from the page's
// top-left corner. A card of the other orientation is turned a quarter to fit its slot.
struct SheetLayout {
    SheetKind kind = SheetKind::Card;
    QSizeF page; // twips
    QSizeF card; // the card size the slotRects are cut for
    int columns = 1;
    int rows = 1;
    QList<QRectF> slotRects;
    double gutter = 0; // between neighbouring slotRects; crop marks stay inside it

    int slotsPerPage() const { return int(slotRects.size()); }
    QPageSize pageSize() const;

    // Where the back of the card in `slot` goes on the sheet of backs.
    int mirroredSlot(int slot, Duplex duplex) const;

    // Room beside each edge of a slot: up to the neighbouring slot or the page's edge.
    struct Room {
        double left = 0, top = 0, right = 0, bottom = 0;
    };
    Room roomAround(int slot) const;
};

inline constexpr double SheetMarginMm = 5;
inline constexpr double SheetGutterMm = 3;

// One card the page's size.
SheetLayout cardSheet(QSizeF card);
// As many cards as fit on a portrait A4 or Letter page inside 5 mm margins with a 3 mm gutter,
// the grid centred on the page.
SheetLayout paperSheet(SheetKind paper, QSizeF card);
// Two rows of three portrait cards or three rows of two landscape ones, 120 twips apart and
// from the page's edges, as the print page has always laid them out.
SheetLayout slotGridSheet(Orientation orientation);
// Any of the above for a card of the given size.
SheetLayout sheetLayout(SheetKind kind, QSizeF card);

// "card", "A4", "Letter", "grid" (any letter case) and back.
std::optional<SheetKind> sheetKindFromName(const QString& name);
QString sheetKindName(SheetKind kind);

} // namespace vm
