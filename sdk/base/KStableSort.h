#pragma once

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "sdk/base/KMemory.h"

namespace duzsdk {

// Stable merge sort of plain records with the caller's work buffer (room for
// count records).
template <class T, class Less>
void KStableSortWithBuffer(T* items, int count, T* work, Less less)
{
    static_assert(std::is_trivially_copyable_v<T>, "KStableSort moves plain bytes");
    if (count < 2) {
        return;
    }
    T* from = items;
    T* to = work;
    for (int width = 1; width < count; width *= 2) {
        for (int low = 0; low < count; low += 2 * width) {
            int middle = std::min(low + width, count);
            int high = std::min(low + 2 * width, count);
            std::merge(from + low, from + middle, from + middle, from + high, to + low, less);
        }
        std::swap(from, to);
    }
    if (from != items) {
        std::memcpy(static_cast<void*>(items), from, static_cast<size_t>(count) * sizeof(T));
    }
}

// Stable sort of plain records whose work buffer comes from the allocation
// hooks, so the SDK's memory traffic stays on them. When the buffer cannot be
// had it falls back to an in-place sort, which keeps the order by key but not
// the order of equal keys.
template <class T, class Less>
void KStableSort(T* items, int count, Less less)
{
    static_assert(std::is_trivially_copyable_v<T>, "KStableSort moves plain bytes");
    if (count < 2) {
        return;
    }
    T* work = static_cast<T*>(KMemReallocArray(nullptr, static_cast<size_t>(count), sizeof(T)));
    if (work == nullptr) {
        std::sort(items, items + count, less);
        return;
    }
    KStableSortWithBuffer(items, count, work, less);
    KMemFree(work);
}

}  // namespace duzsdk
