#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace duzsdk {

// Where a memory pool gets its memory from. Pool operations take the
// allocator as an argument so that one pool can serve callers with
// different heaps.
class IXAlloc {
public:
    virtual ~IXAlloc() = default;
    virtual void* Alloc(size_t size) = 0;
    virtual void* Realloc(void* pointer, size_t size) = 0;
    virtual void Free(void* pointer) = 0;
};

// The standard allocator: the SDK's allocation hooks.
class KXAllocStd final : public IXAlloc {
public:
    void* Alloc(size_t size) override;
    void* Realloc(void* pointer, size_t size) override;
    void Free(void* pointer) override;
};

// Keeps freed blocks in buckets by rounded size and hands them out again,
// so that the SDK's many small copy-on-write records do not go back to the
// system allocator one by one.
//
// Block layout: [pad bytes][header: 32-bit rounded size, 1 byte pad count,
// 3 unused bytes][user data]. The rounded size covers the whole block from
// its first byte. A free block in a bucket keeps the link to the next free
// block in its first pointer-sized bytes; the smallest block (8 bytes)
// holds it.
//
// Every pool locks its own buckets and counters, so one pool may be shared
// between threads.
class KMemoryReusePool {
public:
    static constexpr size_t kHeaderSize = 8;
    // The pad count is one byte, and every pooled block must hold a link.
    static constexpr int kMaxAlignShift = 8;
    static constexpr int kMaxSizeShift = 16;
    static constexpr size_t kMinBlockSize = 8;

    // Sizes are rounded up to 2^sizeShift bytes; blocks whose rounded size
    // reaches maxSize are never pooled; user data is aligned to
    // 2^alignShift bytes (0: no alignment beyond the header); a non-zero
    // retainLimit sends freed blocks back to the allocator while more than
    // that many bytes are held. Out-of-range shifts are clamped to the
    // limits above.
    KMemoryReusePool(size_t maxSize, int sizeShift, int alignShift, size_t retainLimit);
    ~KMemoryReusePool();

    KMemoryReusePool(const KMemoryReusePool&) = delete;
    KMemoryReusePool& operator=(const KMemoryReusePool&) = delete;

    // A block whose user area holds size bytes; null when the allocator
    // fails or the size cannot be represented.
    void* Alloc(IXAlloc& allocator, size_t size);
    // Nothing for null.
    void Free(IXAlloc& allocator, void* user);
    // A new block holding min(newSize, old user bytes) of the old block's
    // contents; the old block is freed. On failure the old block stays
    // valid and untouched and the result is null.
    void* Realloc(IXAlloc& allocator, void* user, size_t newSize);
    // Frees every pooled block through KMemFree and empties the buckets.
    void Purge();

    void* AllocStd(size_t size);
    void FreeStd(void* user);

    // The number of bytes of user data the block can hold.
    static size_t UsableSize(const void* user);

    size_t GetMaxSize() const { return mMaxSize; }
    int GetSizeShift() const { return mSizeShift; }
    int GetAlignShift() const { return mAlignShift; }
    size_t GetRetainLimit() const { return mRetainLimit; }
    // Bytes and blocks obtained from the allocator and not given back.
    int64_t GetBytesHeld() const;
    int64_t GetBlocksHeld() const;
    // Blocks currently waiting in the buckets.
    int64_t GetPooledBlockCount() const;

private:
    bool ComputeRoundedSize(size_t size, size_t* rounded) const;
    bool IsPoolable(size_t rounded) const;

    mutable std::mutex mLock;
    void** mBuckets = nullptr;
    size_t mMaxSize = 0;
    size_t mBucketCount = 0;
    int mSizeShift = 0;
    size_t mLowMask = 0;
    int mAlignShift = 0;
    size_t mRetainLimit = 0;
    // Signed: a block obtained by another pool (all pools share the block
    // layout) may be returned here.
    int64_t mBytesHeld = 0;
    int64_t mBlocksHeld = 0;
    int64_t mPooledBlocks = 0;
};

// The process-wide pool list, created at SDK start-up and released at SDK
// shutdown.
bool KMemoryPoolsInit();
// A new pool appended to the list; null when the list does not exist.
KMemoryReusePool* KMemoryPoolsCreate(size_t maxSize, int sizeShift, int alignShift,
                                     size_t retainLimit);
void KMemoryPoolsPurgeAll();
void KMemoryPoolsRelease();
bool KMemoryPoolsIsInitialized();

KMemoryReusePool* KMemoryPoolsGetDefault();
void KMemoryPoolsSetDefault(KMemoryReusePool* pool);
// The default pool, created (4-byte steps up to 0x20000, 2 MiB retention)
// when there is none yet; null when the pool list does not exist.
KMemoryReusePool* KMemoryPoolsGetOrCreateDefault();

// Allocation for users of the default pool. Before SDK start-up (or after
// shutdown) the memory comes straight from the allocation hooks, in the
// same block layout, so a block may be freed whether or not the pools
// exist by then.
void* KMemoryPoolsAllocDefault(size_t size);
void KMemoryPoolsFreeDefault(void* user);

}  // namespace duzsdk
