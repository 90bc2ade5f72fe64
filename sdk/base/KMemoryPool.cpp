#include "sdk/base/KMemoryPool.h"

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KMemory.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace duzsdk {

void* KXAllocStd::Alloc(size_t size) { return KMemAlloc(size); }
void* KXAllocStd::Realloc(void* pointer, size_t size) { return KMemRealloc(pointer, size); }
void KXAllocStd::Free(void* pointer) { KMemFree(pointer); }

namespace {

struct PoolRegistry {
    std::mutex lock;
    KTypedArray<KMemoryReusePool*>* pools = nullptr;
    std::atomic<KMemoryReusePool*> defaultPool{nullptr};
};

PoolRegistry& Registry()
{
    static PoolRegistry registry;
    return registry;
}

// Serves users of the default pool while no pool list exists. It keeps no
// buckets, so it only writes and reads the block header; it is never
// destroyed so that blocks freed during static destruction still find it.
KMemoryReusePool& PassThroughPool()
{
    static KMemoryReusePool* pool = new KMemoryReusePool(0, 2, 0, 0);
    return *pool;
}

// Free blocks link to each other through their first bytes; the block start
// comes from the allocator, so memcpy keeps the access free of alignment
// assumptions.
void* ReadLink(const void* block)
{
    void* next = nullptr;
    std::memcpy(&next, block, sizeof next);
    return next;
}

void WriteLink(void* block, void* next) { std::memcpy(block, &next, sizeof next); }

struct BlockHeader {
    uint32_t roundedSize;
    uint8_t pad;
};

BlockHeader ReadHeader(const void* user)
{
    const auto* header = static_cast<const uint8_t*>(user) - KMemoryReusePool::kHeaderSize;
    BlockHeader result{};
    std::memcpy(&result.roundedSize, header, sizeof result.roundedSize);
    result.pad = header[4];
    return result;
}

KMemoryReusePool* CreatePoolLocked(PoolRegistry& registry, size_t maxSize, int sizeShift,
                                   int alignShift, size_t retainLimit)
{
    if (registry.pools == nullptr) {
        return nullptr;
    }
    auto* pool = new (std::nothrow) KMemoryReusePool(maxSize, sizeShift, alignShift, retainLimit);
    if (pool == nullptr) {
        return nullptr;
    }
    if (registry.pools->Add(pool) < 0) {
        delete pool;
        return nullptr;
    }
    return pool;
}

}  // namespace

KMemoryReusePool::KMemoryReusePool(size_t maxSize, int sizeShift, int alignShift,
                                   size_t retainLimit)
    : mMaxSize(maxSize),
      mSizeShift(std::clamp(sizeShift, 0, kMaxSizeShift)),
      mAlignShift(std::clamp(alignShift, 0, kMaxAlignShift)),
      mRetainLimit(retainLimit)
{
    mLowMask = (size_t(1) << mSizeShift) - 1;
    mBucketCount = mMaxSize >> mSizeShift;
    if (mBucketCount > 0) {
        // Without buckets the pool still works; it just pools nothing.
        mBuckets = static_cast<void**>(KMemCalloc(mBucketCount, sizeof(void*)));
        if (mBuckets == nullptr) {
            mBucketCount = 0;
        }
    }
}

KMemoryReusePool::~KMemoryReusePool()
{
    Purge();
    KMemFree(mBuckets);
    mBuckets = nullptr;
    KMemoryReusePool* self = this;
    Registry().defaultPool.compare_exchange_strong(self, nullptr);
}

bool KMemoryReusePool::ComputeRoundedSize(size_t size, size_t* rounded) const
{
    // Header plus the largest pad the alignment may need.
    const size_t slack = (size_t(1) << mAlignShift) + kHeaderSize - 1;
    if (size > SIZE_MAX - slack - mLowMask) {
        return false;
    }
    const size_t total = size + slack;
    size_t bucket = total >> mSizeShift;
    if ((total & mLowMask) != 0) {
        ++bucket;
    }
    const size_t result = bucket << mSizeShift;
    // The header keeps the size in 32 bits.
    if (result > UINT32_MAX) {
        return false;
    }
    *rounded = result;
    return true;
}

bool KMemoryReusePool::IsPoolable(size_t rounded) const
{
    // The bucket index is checked as well: with a maxSize that is not a
    // multiple of the step, the last bucket below maxSize would not exist.
    return mBuckets != nullptr && rounded >= kMinBlockSize && rounded < mMaxSize &&
           (rounded >> mSizeShift) < mBucketCount;
}

void* KMemoryReusePool::Alloc(IXAlloc& allocator, size_t size)
{
    size_t rounded = 0;
    if (!ComputeRoundedSize(size, &rounded)) {
        return nullptr;
    }
    uint8_t* block = nullptr;
    if (IsPoolable(rounded)) {
        std::lock_guard<std::mutex> guard(mLock);
        void*& head = mBuckets[rounded >> mSizeShift];
        if (head != nullptr) {
            block = static_cast<uint8_t*>(head);
            head = ReadLink(block);
            --mPooledBlocks;
        }
    }
    if (block == nullptr) {
        block = static_cast<uint8_t*>(allocator.Alloc(rounded));
        if (block == nullptr) {
            return nullptr;
        }
        std::lock_guard<std::mutex> guard(mLock);
        mBytesHeld += static_cast<int64_t>(rounded);
        ++mBlocksHeld;
    }

    size_t pad = 0;
    if (mAlignShift > 0) {
        const uintptr_t mask = (uintptr_t(1) << mAlignShift) - 1;
        const uintptr_t userAddress = reinterpret_cast<uintptr_t>(block) + kHeaderSize;
        if ((userAddress & mask) != 0) {
            pad = (mask + 1) - (userAddress & mask);
        }
    }
    uint8_t* header = block + pad;
    const auto size32 = static_cast<uint32_t>(rounded);
    std::memcpy(header, &size32, sizeof size32);
    header[4] = static_cast<uint8_t>(pad);
    header[5] = header[6] = header[7] = 0;
    return header + kHeaderSize;
}

void KMemoryReusePool::Free(IXAlloc& allocator, void* user)
{
    if (user == nullptr) {
        return;
    }
    const BlockHeader header = ReadHeader(user);
    uint8_t* block = static_cast<uint8_t*>(user) - kHeaderSize - header.pad;
    const size_t rounded = header.roundedSize;
    {
        std::lock_guard<std::mutex> guard(mLock);
        const bool retain =
            mRetainLimit == 0 || static_cast<int64_t>(mRetainLimit) >= mBytesHeld;
        if (IsPoolable(rounded) && retain) {
            void*& head = mBuckets[rounded >> mSizeShift];
            WriteLink(block, head);
            head = block;
            ++mPooledBlocks;
            return;
        }
        mBytesHeld -= static_cast<int64_t>(rounded);
        --mBlocksHeld;
    }
    allocator.Free(block);
}

void* KMemoryReusePool::Realloc(IXAlloc& allocator, void* user, size_t newSize)
{
    void* fresh = Alloc(allocator, newSize);
    if (fresh == nullptr || user == nullptr) {
        return fresh;
    }
    std::memcpy(fresh, user, std::min(newSize, UsableSize(user)));
    Free(allocator, user);
    return fresh;
}

void KMemoryReusePool::Purge()
{
    std::lock_guard<std::mutex> guard(mLock);
    if (mBuckets == nullptr) {
        return;
    }
    for (size_t i = 0; i < mBucketCount; ++i) {
        void* block = mBuckets[i];
        while (block != nullptr) {
            void* next = ReadLink(block);
            KMemFree(block);
            // Only what goes back is subtracted: blocks still in use stay
            // counted, so later frees keep the totals right.
            mBytesHeld -= static_cast<int64_t>(i << mSizeShift);
            --mBlocksHeld;
            block = next;
        }
        mBuckets[i] = nullptr;
    }
    mPooledBlocks = 0;
}

void* KMemoryReusePool::AllocStd(size_t size)
{
    KXAllocStd allocator;
    return Alloc(allocator, size);
}

void KMemoryReusePool::FreeStd(void* user)
{
    KXAllocStd allocator;
    Free(allocator, user);
}

size_t KMemoryReusePool::UsableSize(const void* user)
{
    const BlockHeader header = ReadHeader(user);
    return header.roundedSize - header.pad - kHeaderSize;
}

int64_t KMemoryReusePool::GetBytesHeld() const
{
    std::lock_guard<std::mutex> guard(mLock);
    return mBytesHeld;
}

int64_t KMemoryReusePool::GetBlocksHeld() const
{
    std::lock_guard<std::mutex> guard(mLock);
    return mBlocksHeld;
}

int64_t KMemoryReusePool::GetPooledBlockCount() const
{
    std::lock_guard<std::mutex> guard(mLock);
    return mPooledBlocks;
}

bool KMemoryPoolsInit()
{
    PoolRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (registry.pools != nullptr) {
        return true;
    }
    registry.pools = new (std::nothrow) KTypedArray<KMemoryReusePool*>(16);
    if (registry.pools == nullptr) {
        return false;
    }
    // The start-up pool: 4-byte steps up to 128 KiB, no retention limit.
    CreatePoolLocked(registry, 0x20000, 2, 0, 0);
    return true;
}

KMemoryReusePool* KMemoryPoolsCreate(size_t maxSize, int sizeShift, int alignShift,
                                     size_t retainLimit)
{
    PoolRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    return CreatePoolLocked(registry, maxSize, sizeShift, alignShift, retainLimit);
}

void KMemoryPoolsPurgeAll()
{
    PoolRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (registry.pools == nullptr) {
        return;
    }
    for (int i = 0; i < registry.pools->Count(); ++i) {
        (*registry.pools)[i]->Purge();
    }
}

void KMemoryPoolsRelease()
{
    PoolRegistry& registry = Registry();
    KTypedArray<KMemoryReusePool*>* pools = nullptr;
    {
        std::lock_guard<std::mutex> guard(registry.lock);
        pools = registry.pools;
        registry.pools = nullptr;
    }
    if (pools == nullptr) {
        return;
    }
    // Destroying a pool purges it and, for the default pool, clears the
    // default.
    for (int i = 0; i < pools->Count(); ++i) {
        delete (*pools)[i];
    }
    delete pools;
}

bool KMemoryPoolsIsInitialized()
{
    PoolRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    return registry.pools != nullptr;
}

KMemoryReusePool* KMemoryPoolsGetDefault() { return Registry().defaultPool.load(); }

void KMemoryPoolsSetDefault(KMemoryReusePool* pool) { Registry().defaultPool.store(pool); }

KMemoryReusePool* KMemoryPoolsGetOrCreateDefault()
{
    PoolRegistry& registry = Registry();
    KMemoryReusePool* pool = registry.defaultPool.load();
    if (pool != nullptr) {
        return pool;
    }
    std::lock_guard<std::mutex> guard(registry.lock);
    pool = registry.defaultPool.load();
    if (pool == nullptr) {
        // Same steps as the start-up pool, but freed blocks go back to the
        // allocator once more than 2 MiB are held.
        pool = CreatePoolLocked(registry, 0x20000, 2, 0, 0x200000);
        if (pool != nullptr) {
            registry.defaultPool.store(pool);
        }
    }
    return pool;
}

void* KMemoryPoolsAllocDefault(size_t size)
{
    KMemoryReusePool* pool = KMemoryPoolsGetOrCreateDefault();
    return (pool != nullptr ? *pool : PassThroughPool()).AllocStd(size);
}

void KMemoryPoolsFreeDefault(void* user)
{
    KMemoryReusePool* pool = KMemoryPoolsGetDefault();
    (pool != nullptr ? *pool : PassThroughPool()).FreeStd(user);
}

}  // namespace duzsdk
