#include "sdk/object/KPlugConnectionList.h"

#include <algorithm>

namespace duzsdk {

namespace {

// Below this many dead slots the front is not worth compacting.
constexpr std::size_t kMinDeadToCompact = 16;

}  // namespace

void KPlugConnectionList::SetHead(std::size_t head) {
    if (head == 0) return;
    mSlots.front() = {nullptr, static_cast<int>(head)};
}

void KPlugConnectionList::insert(std::size_t pos, KPlugConnection entry) {
    const std::size_t head = Head();
    pos = std::min(pos, mSlots.size() - head);
    // A dead slot right before the front takes an entry made there, unless it
    // is the one that carries the count.
    if (pos == 0 && head >= 2) {
        mSlots[head - 1] = entry;
        SetHead(head - 1);
        return;
    }
    if (head == 1) {   // the only dead slot would be overwritten: drop it
        mSlots.erase(mSlots.begin());
        mSlots.insert(mSlots.begin() + static_cast<std::ptrdiff_t>(pos), entry);
        return;
    }
    mSlots.insert(mSlots.begin() + static_cast<std::ptrdiff_t>(head + pos), entry);
}

void KPlugConnectionList::erase(std::size_t pos) {
    const std::size_t head = Head();
    const std::size_t live = mSlots.size() - head;
    if (pos >= live) return;
    if (live == 1) {
        mSlots.clear();
        return;
    }
    const auto first = mSlots.begin() + static_cast<std::ptrdiff_t>(head);
    if (pos >= live / 2) {   // nearer the back: the entries after it move
        mSlots.erase(first + static_cast<std::ptrdiff_t>(pos));
        return;
    }
    // Nearer the front: the entries before it move up by one, and the slot
    // they leave joins the dead ones.
    std::move_backward(first, first + static_cast<std::ptrdiff_t>(pos), first + static_cast<std::ptrdiff_t>(pos) + 1);
    const std::size_t dead = head + 1;
    if (dead >= kMinDeadToCompact && dead > live - 1) {
        mSlots.erase(mSlots.begin(), mSlots.begin() + static_cast<std::ptrdiff_t>(dead));
        return;
    }
    mSlots[head] = {nullptr, 0};
    SetHead(dead);
}

}  // namespace duzsdk
