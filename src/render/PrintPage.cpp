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

std::optional<PrintedBadge> printedBadge(const PrintSlot& slot, bool ownSide, bool reverse)
{
    reverse = reverse && slot.reverse.has_value();
    if (!slot.record || (!ownSide && !reverse))
        return std::nullopt;
    // The record keeps the picture files' names: the fingerprint reads the files themselves.
    const BadgeSide* own = ownSide ? &slot.layout : nullptr;
    const BadgeSide* other = reverse ? &*slot.reverse : nullptr;
    const BadgeSide* front = slot.back ? other : own;
    const BadgeSide* back = slot.back ? own : other;
    QList<const BadgeSide*> layouts;
    for (const BadgeSide* side : {front, back}) {
        if (side)
            layouts << side;
    }
    return PrintedBadge{slot.badge, printedSidesName(front != nullptr, back != nullptr),
                        slot.record->key.text(), printedFingerprint(layouts, *slot.record)};
}

QList<PrintedBadge> printedBadges(const PrintPage& page, const SheetPlan& plan,
                                  const QList<int>& pages)
{
    std::map<int, std::pair<bool, bool>> faces; // item -> own side, reverse printed
    for (int p : pages) {
        for (const PlacedCard& placed : plan.page(p)) {
            auto& printed = faces[placed.item];
            (placed.face == CardFace::Front ? printed.first : printed.second) = true;
        }
    }
    QList<PrintedBadge> badges;
    for (const auto& [item, printed] : faces) {
        if (const PrintSlot* slot = page.at(item)) {
            if (std::optional<PrintedBadge> badge =
                    printedBadge(*slot, printed.first, printed.second))
                badges << *badge;
        }
    }
    return badges;
}

} // namespace vm
