#include "render/PrintPage.h"

namespace vm {

bool PrintPage::set(int ino, PrintSlot slot)
{
    if (ino < 0 || ino >= PrintPageLimit)
        return false;
    m_slots.insert_or_assign(ino, std::move(slot));
    return true;
}

bool PrintPage::remove(int ino)
{
    return m_slots.erase(ino) > 0;
}

const PrintSlot* PrintPage::at(int ino) const
{
    const auto it = m_slots.find(ino);
    return it == m_slots.end() ? nullptr : &it->second;
}

int PrintPage::itemCount() const
{
    return m_slots.empty() ? 0 : m_slots.rbegin()->first + 1;
}

QList<SheetCard> PrintPage::cards(const SheetPlan& plan, int page) const
{
    QList<SheetCard> cards;
    for (const PlacedCard& placed : plan.page(page)) {
        const PrintSlot* slot = at(placed.item);
        if (!slot)
            continue;
        if (placed.face == CardFace::Front) {
            cards << SheetCard{placed.slot, slot->shown(), slot->cardTwips};
        } else if (std::optional<BadgeSide> reverse = slot->shownReverse()) {
            cards << SheetCard{placed.slot, std::move(*reverse), slot->cardTwips};
        }
    }
    return cards;
}

} // namespace vm
