#pragma once

#include "records/PrintJournal.h"
#include "render/PageComposer.h"
#include "render/PrintSlot.h"

#include <map>

namespace vm {

// The badges collected on the print page, by badge number (the record browser's count less one
// when it added them). Numbers run on from page to page, so nothing added is ever dropped for
// want of a slot; a number not filled is an empty slot.
class PrintPage {
public:
    // False, and nothing changes, for a number outside 0 .. PrintPageLimit - 1.
    bool set(int ino, PrintSlot slot);
    bool remove(int ino);

    const PrintSlot* at(int ino) const;
    // The highest badge number in use plus one: the length of the run the pages are cut from.
    int itemCount() const;
    int filledCount() const { return int(m_slots.size()); }
    bool isEmpty() const { return m_slots.empty(); }
    const std::map<int, PrintSlot>& entries() const { return m_slots; }

    // The cards one page of the plan draws, filled with their records. A back without a reverse
    // side is left blank.
    QList<SheetCard> cards(const SheetPlan& plan, int page) const;

private:
    std::map<int, PrintSlot> m_slots;
};

// A slot's person as printed with the faces given (the slot's own side, its reverse); none for a
// slot without a record or without a face printed.
std::optional<PrintedBadge> printedBadge(const PrintSlot& slot, bool ownSide, bool reverse);

// The people the given pages of the plan print, each slot once with the faces those pages hold,
// in badge number order: what the issuance record is told of a print.
QList<PrintedBadge> printedBadges(const PrintPage& page, const SheetPlan& plan,
                                  const QList<int>& pages);

} // namespace vm
