#pragma once

#include "render/BadgeRenderer.h"
#include "render/SheetLayout.h"

#include <QList>
#include <QPointF>

class QPainter;

namespace vm {

// The one page composer: the print page's preview, the printer, PDF files and vellumark-print
// all lay badges out and draw them through it, so what is previewed is what prints.

// Front is the side a run holds (the badge side added to the print page); Back its reverse.
enum class CardFace { Front, Back };

struct SheetOptions {
    bool bothSides = false;       // each badge's reverse is printed too
    Duplex duplex = Duplex::None; // with bothSides: where the reverses go
    bool cropMarks = false;       // short lines outside each card's corners
    QPointF offsetMm;             // the printer's calibration, added to every position
    bool testPrint = false;       // every card marked as a test print
};

// One card of a page: which badge of the run, which face, in which slot.
struct PlacedCard {
    int item = 0;
    CardFace face = CardFace::Front;
    int slot = 0;

    friend bool operator==(const PlacedCard&, const PlacedCard&) = default;
};

// How a run of `items` badges fills pages. Items are placed in run order, slot by slot; no item
// is ever dropped, there are simply as many pages as needed. Two-sided runs either follow each
// front by its back in the grid, or (duplex) follow each sheet of fronts by a sheet of backs
// mirrored so that every back lands behind its front.
class SheetPlan {
public:
    SheetPlan(SheetLayout layout, SheetOptions options, int items);

    const SheetLayout& layout() const { return m_layout; }
    const SheetOptions& options() const { return m_options; }
    int items() const { return m_items; }

    int pageCount() const;
    QList<PlacedCard> page(int index) const;
    // The page an item's face is printed on.
    int pageOf(int item, CardFace face = CardFace::Front) const;
    // Pages that hold only backs (duplex runs).
    bool isBackSheet(int page) const;

private:
    bool duplexing() const;
    int sequenceLength() const;

    SheetLayout m_layout;
    SheetOptions m_options;
    int m_items;
};

// A card to draw in one slot of a page. A card of the other orientation than the slot is turned
// a quarter clockwise to fit.
struct SheetCard {
    int slot = 0;
    BadgeSide side; // as it prints: filled with its record
    QSizeF card;    // twips
};

// Draws one page. The painter's units are twips with the page's top-left at the origin (see
// setTwipsTransform); the caller has started the page. Each card is clipped to itself, so nothing
// of one badge reaches its neighbour. Build `render` on the GUI thread (renderOptions).
void paintSheet(QPainter& painter, const SheetLayout& layout, const QList<SheetCard>& cards,
                const SheetOptions& options, const RenderOptions& render);

// Crop marks keep this far from the card and are at most this long, in millimetres.
inline constexpr double CropMarkGapMm = 0.5;
inline constexpr double CropMarkLengthMm = 3;
// The crop-mark lines beside one slot, in twips, offset not applied.
QList<QLineF> cropMarks(const SheetLayout& layout, int slot);

} // namespace vm
