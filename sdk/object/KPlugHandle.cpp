#include "sdk/object/KPlugHandle.h"

#include "sdk/object/KPlug.h"
#include "sdk/object/KPlugHandleReleases.h"
#include "sdk/object/KPlugType.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace duzsdk {

namespace {

// Handle blocks stay allocated for the life of the process: a weak reference
// may outlive the plug system, and resolving it must never read freed memory.
// A stopped pool marks its records free, so such a reference stays dead.
struct RetainedBlocks {
    std::vector<std::unique_ptr<KPlugHandle[]>> blocks;
    std::size_t inUse = 0;
};

RetainedBlocks& Retained() {
    static RetainedBlocks retained;
    return retained;
}

std::uint64_t gSerialCounter = 0;   // guarded by the pool's lock
int gPlugSystemCount = 0;
std::atomic<std::uint64_t> gReleaseCount{0};
KPlugHandlePool* gPool = nullptr;

std::uint64_t NextSerial() {
    ++gSerialCounter;
    if (gSerialCounter == 0 || gSerialCounter == KPlugHandle::kFreeSerial) ++gSerialCounter;
    return gSerialCounter;
}

}  // namespace

struct KPlugHandlePool::Impl {
    std::mutex lock;
    KPlugHandle* freeHead = nullptr;
    std::vector<KPlugHandle*> blocks;

    bool Grow() {
        RetainedBlocks& retained = Retained();
        KPlugHandle* block;
        if (retained.inUse < retained.blocks.size()) {
            block = retained.blocks[retained.inUse].get();
        } else {
            KPlugHandle* fresh = new (std::nothrow) KPlugHandle[kBlockSize];
            if (fresh == nullptr) return false;
            retained.blocks.emplace_back(fresh);
            block = fresh;
        }
        ++retained.inUse;
        for (int i = 0; i < kBlockSize; ++i) {
            block[i].serial = KPlugHandle::kFreeSerial;
            block[i].nextFree = (i + 1 < kBlockSize) ? &block[i + 1] : freeHead;
        }
        freeHead = block;
        blocks.push_back(block);
        return true;
    }
};

KPlugHandlePool::KPlugHandlePool() : mImpl(new Impl) {}

KPlugHandlePool::~KPlugHandlePool() {
    for (KPlugHandle* block : mImpl->blocks) {
        for (int i = 0; i < kBlockSize; ++i) {
            block[i].serial = KPlugHandle::kFreeSerial;
            block[i].nextFree = nullptr;
        }
    }
    Retained().inUse = 0;
    delete mImpl;
}

KPlugHandle* KPlugHandlePool::Allocate(KPlug* plug) {
    std::lock_guard<std::mutex> guard(mImpl->lock);
    if (mImpl->freeHead == nullptr && !mImpl->Grow()) return nullptr;
    KPlugHandle* record = mImpl->freeHead;
    mImpl->freeHead = record->nextFree;
    record->serial = NextSerial();
    record->plug = plug;
    return record;
}

void KPlugHandlePool::Release(KPlug* plug, KPlugHandle* record) {
    if (record == nullptr) return;
    std::lock_guard<std::mutex> guard(mImpl->lock);
    if (record->serial == KPlugHandle::kFreeSerial || record->plug != plug) return;
    record->serial = KPlugHandle::kFreeSerial;
    record->nextFree = mImpl->freeHead;
    mImpl->freeHead = record;
    gReleaseCount.fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t KPlugHandleReleaseCount() { return gReleaseCount.load(std::memory_order_relaxed); }

int KPlugHandlePool::GetBlockCount() const {
    return static_cast<int>(mImpl->blocks.size());
}

void KPlugSystemInit() {
    if (gPlugSystemCount++ == 0) {
        gPool = new KPlugHandlePool;
    }
}

void KPlugSystemRelease() {
    if (gPlugSystemCount <= 0) return;
    if (--gPlugSystemCount == 0) {
        PlugTypeInfoReleaseOwned();
        delete gPool;
        gPool = nullptr;
    }
}

bool KPlugSystemIsActive() { return gPool != nullptr; }

KPlugHandlePool* KPlugHandlePoolGet() { return gPool; }

HdlKObject HdlKObject::FromPlug(KPlug* plug) {
    if (plug == nullptr) return {};
    KPlugHandle* record = plug->GetHandle();
    if (record == nullptr) return {};
    return {record->serial, record};
}

KPlug* HdlKObject::Get() const {
    if (record == nullptr || !KPlugSystemIsActive()) return nullptr;
    if (record->serial != serial || serial == KPlugHandle::kFreeSerial) return nullptr;
    return record->plug;
}

}  // namespace duzsdk
