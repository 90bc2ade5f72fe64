// Look-up of the first entry of a name in a list that mostly grows at its
// end: hashes of the names to positions, checked against the names when
// used (names repeat, and hashes may collide). The owner hashes the names
// its own way (with or without case), adds what it appends, and makes the
// index anew after any other change or when the stamp of the names it saw
// (a counter advanced wherever names can change unseen) has moved on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace duzsdk {

template <typename Stamp>
class KFirstNameIndex {
public:
    // Below this many entries a walk over the names is as quick as a hash.
    static constexpr std::size_t kWorthFrom = 24;

    // Entries 0 .. count - 1, hashAt(i) the hash of entry i's name.
    template <typename HashAt>
    KFirstNameIndex(const Stamp& stamp, std::size_t count, HashAt hashAt) : mStamp(stamp)
    {
        mIndices.reserve(count);
        for (std::size_t i = 0; i < count; ++i) mIndices.emplace(hashAt(i), static_cast<std::uint32_t>(i));
    }

    bool IsFor(const Stamp& stamp) const { return mStamp == stamp; }

    void Add(std::size_t hash, std::size_t index) { mIndices.emplace(hash, static_cast<std::uint32_t>(index)); }

    // The lowest index of that hash whose entry matches(index); -1 for none.
    template <typename Matches>
    int FindFirst(std::size_t hash, Matches matches) const
    {
        int best = -1;
        const auto [first, last] = mIndices.equal_range(hash);
        for (auto it = first; it != last; ++it) {
            const int index = static_cast<int>(it->second);
            if ((best < 0 || index < best) && matches(it->second)) best = index;
        }
        return best;
    }

private:
    std::unordered_multimap<std::size_t, std::uint32_t> mIndices;
    Stamp mStamp;
};

}  // namespace duzsdk
