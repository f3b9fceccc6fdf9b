#pragma once

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

} // namespace vm
