// An ordered connection list whose entries can leave from either end in
// constant time. Objects are mostly let go in the order they were made or in
// reverse, and a scene's, a root's or the registry's list holds one entry per
// object: erasing from the front of a plain vector moved the whole list each
// time, so destroying a scene object by object was quadratic.
#pragma once

#include <cstddef>
#include <vector>

namespace duzsdk {

class KPlug;

// One entry of a connection list. A live entry never has a null plug.
struct KPlugConnection {
    KPlug* plug;
    int flags;
};

class KPlugConnectionList {
public:
    using const_iterator = std::vector<KPlugConnection>::const_iterator;

    std::size_t size() const { return mSlots.size() - Head(); }
    bool empty() const { return size() == 0; }
    const KPlugConnection& operator[](std::size_t index) const { return mSlots[Head() + index]; }
    const_iterator begin() const { return mSlots.begin() + static_cast<std::ptrdiff_t>(Head()); }
    const_iterator end() const { return mSlots.end(); }

    // pos is clamped to [0, size()].
    void insert(std::size_t pos, KPlugConnection entry);
    void erase(std::size_t pos);
    void clear() { mSlots.clear(); }

private:
    // Entries erased from the front leave dead slots there instead of moving
    // the rest; the first dead slot carries their number in its flags, so the
    // list costs no more memory than a vector. They are dropped once they
    // outnumber the live entries, which keeps that work linear overall.
    std::size_t Head() const {
        return (!mSlots.empty() && mSlots.front().plug == nullptr) ? static_cast<std::size_t>(mSlots.front().flags)
                                                                    : 0;
    }
    void SetHead(std::size_t head);

    std::vector<KPlugConnection> mSlots;
};

}  // namespace duzsdk
