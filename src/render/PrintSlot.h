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

    BadgeSide shown() const { return record ? filledSide(layout, drawnRecord()) : layout; }

    // The badge's other side, filled with the same record when printed, so a page can carry both
    // sides of each person (duplex or fold-over). Whoever builds the slot from the rendering
    // windows puts the other view's layout() here; none: only this side was added. Initialised,
    // so slots built as {layout, record, card} stay complete.
    std::optional<BadgeSide> reverse = std::nullopt;

    // Pictures kept as their files (photoPath, signPath) and decoded at these sizes when the
    // slot is drawn: a thousand badges of decoded photographs would take gigabytes. Invalid: the
    // record's pictures are held decoded (a slot built from a record as it is).
    QSize photoDecode = QSize();
    QSize signDecode = QSize();

    // For the issuance record: the badge's name, and whether `layout` is the badge's back (its
    // reverse then the front).
    QString badge = QString();
    bool back = false;

    std::optional<BadgeSide> shownReverse() const
    {
        if (!reverse)
            return std::nullopt;
        return record ? filledSide(*reverse, drawnRecord()) : *reverse;
    }

    // The record with its pictures, decoded now when they are kept as files (at `size` when
    // given: a check needs only to know they still decode).
    LinkedRecord drawnRecord(QSize size = {}) const;
    // Keeps the record's pictures as their files from now on, to be decoded at these sizes.
    void keepPicturesAsFiles(QSize photo, QSize sign);
    // The same at the size the frames of both sides print sharp at.
    void keepPicturesForPrint();
};

// Badges one print page holds; a further "+" says "Sorry, Out of page's limit!".
inline constexpr int PrintPageLimit = 1000;

} // namespace vm
