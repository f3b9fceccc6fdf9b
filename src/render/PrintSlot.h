#pragma once

#include "badge/BadgeSide.h"
#include "records/LinkedRecord.h"

#include <QSizeF>

#include <optional>

namespace vm {

// One badge on the print page: the side as designed and the record it was filled with when it was
// added, so the page is drawn again at any resolution and never copied from the screen.
struct PrintSlot {
    BadgeSide layout;
    std::optional<LinkedRecord> record; // none: the side as designed, with its field references
    QSizeF cardTwips;

    BadgeSide shown() const { return record ? filledSide(layout, *record) : layout; }

    // The badge's other side, filled with the same record when printed, so a page can carry both
    // sides of each person (duplex or fold-over). Whoever builds the slot from the rendering
    // windows puts the other view's layout() here; none: only this side was added. Initialised,
    // so slots built as {layout, record, card} stay complete.
    std::optional<BadgeSide> reverse = std::nullopt;

    std::optional<BadgeSide> shownReverse() const
    {
        if (!reverse)
            return std::nullopt;
        return record ? filledSide(*reverse, *record) : *reverse;
    }
};

// Badges one print page holds; a further "+" says "Sorry, Out of page's limit!".
inline constexpr int PrintPageLimit = 1000;

} // namespace vm
