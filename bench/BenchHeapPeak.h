// The largest heap in use during a step, for benchmarks that report a peak
// beside their time. Every allocation of the process goes through the
// overrides below, so the peak covers the SDK, libxml2, the standard library
// and a baseline alike. Include this header in one source file of a
// benchmark program only. The sanitizers bring their own allocator: there
// the counter stays 0.
#pragma once

#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#define DUZ_BENCH_TRACK_HEAP 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DUZ_BENCH_TRACK_HEAP 0
#endif
#endif
#ifndef DUZ_BENCH_TRACK_HEAP
#define DUZ_BENCH_TRACK_HEAP 1
#endif

namespace duzbench {

inline std::atomic<int64_t> gHeapInUse{0};
inline std::atomic<int64_t> gHeapPeak{0};
inline std::atomic<int64_t> gHeapBase{0};

// Where a step's own memory starts: what is in use now no longer counts.
inline void MarkHeapBase()
{
    gHeapBase.store(gHeapInUse.load());
    gHeapPeak.store(gHeapInUse.load());
}

// The peak since MarkHeapBase, above what was in use then.
inline int64_t HeapPeakSinceBase() { return gHeapPeak.load() - gHeapBase.load(); }

inline void NoteAlloc(void* p)
{
    if (p == nullptr)
        return;
    const auto size = static_cast<int64_t>(malloc_usable_size(p));
    const int64_t now = gHeapInUse.fetch_add(size) + size;
    int64_t peak = gHeapPeak.load();
    while (now > peak && !gHeapPeak.compare_exchange_weak(peak, now)) {
    }
}

inline void NoteFree(void* p)
{
    if (p != nullptr)
        gHeapInUse.fetch_sub(static_cast<int64_t>(malloc_usable_size(p)));
}

}  // namespace duzbench

#if DUZ_BENCH_TRACK_HEAP
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t size)
{
    void* p = __libc_malloc(size);
    duzbench::NoteAlloc(p);
    return p;
}
void* calloc(size_t count, size_t size)
{
    void* p = __libc_calloc(count, size);
    duzbench::NoteAlloc(p);
    return p;
}
void* realloc(void* old, size_t size)
{
    duzbench::NoteFree(old);
    void* p = __libc_realloc(old, size);
    if (p == nullptr && old != nullptr && size != 0)
        duzbench::NoteAlloc(old);  // the old block stays
    duzbench::NoteAlloc(p);
    return p;
}
void free(void* p)
{
    duzbench::NoteFree(p);
    __libc_free(p);
}
void* memalign(size_t alignment, size_t size)
{
    void* p = __libc_memalign(alignment, size);
    duzbench::NoteAlloc(p);
    return p;
}
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size)
{
    void* p = memalign(alignment, size);
    if (p == nullptr)
        return 12;  // ENOMEM
    *out = p;
    return 0;
}
}
#endif
