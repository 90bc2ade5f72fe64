#pragma once

#include <cstddef>

namespace duzsdk {

// Every allocation made by the SDK's own containers goes through these four
// hooks so that a host can route the SDK's memory traffic to its own heap.
// They start out as the C runtime's malloc, calloc, realloc and free.
using KMemAllocFunc = void* (*)(size_t size);
using KMemCallocFunc = void* (*)(size_t count, size_t size);
using KMemReallocFunc = void* (*)(void* pointer, size_t size);
using KMemFreeFunc = void (*)(void* pointer);

struct KMemHooks {
    KMemAllocFunc alloc = nullptr;
    KMemCallocFunc calloc = nullptr;
    KMemReallocFunc realloc = nullptr;
    KMemFreeFunc free = nullptr;
};

void* KMemAlloc(size_t size);
// Zero-filled; null when count * size overflows or the hook fails.
void* KMemCalloc(size_t count, size_t size);
// A null pointer allocates. On failure the old block stays valid and untouched.
void* KMemRealloc(void* pointer, size_t size);
// Nothing for null.
void KMemFree(void* pointer);

// The hooks in force. Replacing them is only safe while no block allocated
// through the previous hooks is still alive (typically at start-up or in a
// test). A null member restores the matching C runtime function.
KMemHooks KMemGetHooks();
void KMemSetHooks(const KMemHooks& hooks);
void KMemResetHooks();

// count * size in `out`; false when the product does not fit in size_t.
inline bool KMemMultiplySize(size_t count, size_t size, size_t* out)
{
    return !__builtin_mul_overflow(count, size, out);
}

// Realloc of count elements of `size` bytes, checked for overflow; null on
// overflow or failure, the old block then staying valid.
void* KMemReallocArray(void* pointer, size_t count, size_t size);

}  // namespace duzsdk
