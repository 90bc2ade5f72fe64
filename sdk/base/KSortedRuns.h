#pragma once

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include "sdk/base/KMemory.h"

namespace duzsdk {

// The sorted maps keep their records as a few sorted runs laid end to end:
// an insert appends a record as a run of its own and merges the newest runs
// while the last is at least half the one before it, so a map holds about
// log n runs and every record takes part in about log n merges. A look-up
// searches the runs newest first; whatever asks for an index merges them all
// once. The result is what inserting each record in turn before the records
// with an equal key would have made: sorted, and among equal keys the later
// insert first. Interleaved inserts and look-ups stay n log^2 n in total,
// where merging every appended record at each look-up was quadratic.
class KSortedRuns {
public:
    // Every record [0, count) forms one sorted run.
    void Reset(int count)
    {
        starts_.clear();
        if (count > 0) starts_.push_back(0);
    }

    int RunCount() const { return static_cast<int>(starts_.size()); }

    // Record count - 1 has just been appended.
    template <class T, class Less>
    void Appended(T* items, int count, Less less)
    {
        static_assert(std::is_trivially_copyable_v<T>, "the runs move plain bytes");
        const int added = count - 1;
        // Strictly above the last record of the last run: it stays sorted
        // (an equal key has to go before the older ones, so it starts a run).
        if (!starts_.empty() && less(items[added - 1], items[added])) return;
        starts_.push_back(added);
        while (starts_.size() >= 2) {
            const int last = starts_.back();
            const int previous = starts_[starts_.size() - 2];
            if (last - previous > 2 * (count - last)) break;
            MergeLastTwo(items, count, less);
        }
    }

    // Merges every run into one.
    template <class T, class Less>
    void MergeAll(T* items, int count, Less less)
    {
        while (starts_.size() >= 2) MergeLastTwo(items, count, less);
    }

    // Calls visit(begin, end) for each run, newest first, until it returns true.
    template <class Visit>
    void VisitNewestFirst(int count, Visit visit) const
    {
        int end = count;
        for (auto start = starts_.rbegin(); start != starts_.rend(); ++start) {
            if (visit(*start, end)) return;
            end = *start;
        }
    }

private:
    template <class T, class Less>
    void MergeLastTwo(T* items, int count, Less less)
    {
        const int newer = starts_.back();
        starts_.pop_back();
        const int older = starts_.back();
        const size_t total = static_cast<size_t>(count - older);
        T* work = static_cast<T*>(KMemReallocArray(nullptr, total, sizeof(T)));
        if (work == nullptr) {
            // No room for a work buffer: one ordered insert per newer record,
            // each after the newer ones already placed (they are not above it)
            // and before the older records that are not below it.
            T* placed = items + older;
            for (int next = newer; next < count; ++next) {
                const T item = items[next];
                T* at = std::lower_bound(placed, items + next, item, less);
                std::memmove(static_cast<void*>(at + 1), at, static_cast<size_t>(items + next - at) * sizeof(T));
                *at = item;
                placed = at + 1;
            }
            return;
        }
        // std::merge takes the first range's record on a tie: the newer run first.
        std::merge(items + newer, items + count, items + older, items + newer, work, less);
        std::memcpy(static_cast<void*>(items + older), work, total * sizeof(T));
        KMemFree(work);
    }

    std::vector<int> starts_;  // first record of each run, oldest run first
};

}  // namespace duzsdk
