#pragma once

#include <cstddef>
#include <cstdlib>
#include <unordered_map>

#include "sdk/base/KMemory.h"

namespace duzsdk::test {

// Allocation hooks that record the SDK's memory traffic and can be told to
// refuse requests, so tests can see that every block comes back and that a
// refused allocation leaves the container intact.
struct MemTraffic {
    int allocations = 0;  // blocks handed out (alloc, calloc, realloc of null)
    int reallocations = 0;  // successful resizes of an existing block
    int frees = 0;
    int refused = 0;
    int unknownFrees = 0;  // frees of blocks these hooks never handed out
    size_t lastSize = 0;
    // Refuse every request above this many bytes.
    size_t refuseAbove = static_cast<size_t>(-1);
    // Refuse once this many more requests have succeeded (-1: never).
    int failAfter = -1;
    std::unordered_map<void*, size_t> live;
};

inline MemTraffic& Traffic()
{
    static MemTraffic traffic;
    return traffic;
}

inline bool Refuse(size_t size)
{
    MemTraffic& t = Traffic();
    bool refuse = size > t.refuseAbove || t.failAfter == 0;
    if (refuse) {
        ++t.refused;
    } else if (t.failAfter > 0) {
        --t.failAfter;
    }
    return refuse;
}

inline void* CountingAlloc(size_t size)
{
    if (Refuse(size)) {
        return nullptr;
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) {
        ++Traffic().allocations;
        Traffic().lastSize = size;
        Traffic().live[block] = size;
    }
    return block;
}

inline void* CountingCalloc(size_t count, size_t size)
{
    if (Refuse(count * size)) {
        return nullptr;
    }
    void* block = std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
    if (block != nullptr) {
        ++Traffic().allocations;
        Traffic().lastSize = count * size;
        Traffic().live[block] = count * size;
    }
    return block;
}

inline void* CountingRealloc(void* pointer, size_t size)
{
    if (pointer == nullptr) {
        return CountingAlloc(size);
    }
    if (Refuse(size)) {
        return nullptr;
    }
    void* block = std::realloc(pointer, size == 0 ? 1 : size);
    if (block != nullptr) {
        ++Traffic().reallocations;
        Traffic().lastSize = size;
        Traffic().live.erase(pointer);
        Traffic().live[block] = size;
    }
    return block;
}

inline void CountingFree(void* pointer)
{
    MemTraffic& t = Traffic();
    if (t.live.erase(pointer) == 0) {
        ++t.unknownFrees;
    }
    ++t.frees;
    std::free(pointer);
}

// Installs the counting hooks for the life of the object.
class ScopedCountingHooks {
public:
    ScopedCountingHooks()
    {
        Traffic() = MemTraffic{};
        KMemSetHooks(KMemHooks{CountingAlloc, CountingCalloc, CountingRealloc, CountingFree});
    }
    ~ScopedCountingHooks() { KMemResetHooks(); }
    ScopedCountingHooks(const ScopedCountingHooks&) = delete;
    ScopedCountingHooks& operator=(const ScopedCountingHooks&) = delete;

    MemTraffic& traffic() { return Traffic(); }
};

}  // namespace duzsdk::test
