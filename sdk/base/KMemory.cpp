#include "sdk/base/KMemory.h"

#include <cstdlib>

namespace duzsdk {

namespace {

void* DefaultAlloc(size_t size) { return std::malloc(size); }
void* DefaultCalloc(size_t count, size_t size) { return std::calloc(count, size); }
void* DefaultRealloc(void* pointer, size_t size) { return std::realloc(pointer, size); }
void DefaultFree(void* pointer) { std::free(pointer); }

KMemHooks& Hooks()
{
    // Constant-initialised so the hooks are in force before any other
    // static initialiser of the SDK allocates.
    static constinit KMemHooks hooks{DefaultAlloc, DefaultCalloc, DefaultRealloc, DefaultFree};
    return hooks;
}

}  // namespace

void* KMemAlloc(size_t size) { return Hooks().alloc(size); }

void* KMemCalloc(size_t count, size_t size)
{
    size_t total = 0;
    if (!KMemMultiplySize(count, size, &total)) {
        return nullptr;
    }
    return Hooks().calloc(count, size);
}

void* KMemRealloc(void* pointer, size_t size) { return Hooks().realloc(pointer, size); }

void KMemFree(void* pointer)
{
    if (pointer != nullptr) {
        Hooks().free(pointer);
    }
}

void* KMemReallocArray(void* pointer, size_t count, size_t size)
{
    size_t total = 0;
    if (!KMemMultiplySize(count, size, &total)) {
        return nullptr;
    }
    return KMemRealloc(pointer, total);
}

KMemHooks KMemGetHooks() { return Hooks(); }

void KMemSetHooks(const KMemHooks& hooks)
{
    KMemHooks& current = Hooks();
    current.alloc = hooks.alloc != nullptr ? hooks.alloc : DefaultAlloc;
    current.calloc = hooks.calloc != nullptr ? hooks.calloc : DefaultCalloc;
    current.realloc = hooks.realloc != nullptr ? hooks.realloc : DefaultRealloc;
    current.free = hooks.free != nullptr ? hooks.free : DefaultFree;
}

void KMemResetHooks() { KMemSetHooks(KMemHooks{}); }

}  // namespace duzsdk
