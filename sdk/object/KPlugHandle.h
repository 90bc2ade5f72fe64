// Weak handles to plugs: pooled records that let lists and objects refer to
// a plug without keeping it alive, and the counted start and stop of the
// plug system that owns the pool.
#pragma once

#include <cstdint>

namespace duzsdk {

class KPlug;

// A pooled record. Serials are 64-bit and never reach the free marker, so a
// live record never looks free and a stale reference never matches again.
struct KPlugHandle {
    static constexpr std::uint64_t kFreeSerial = 0x5A5A5A5A;
    std::uint64_t serial = kFreeSerial;
    union {
        KPlug* plug;
        KPlugHandle* nextFree;
    };
    KPlugHandle() : plug(nullptr) {}
};

// Weak reference {serial, record}: live while the record still carries the
// serial it had when the reference was taken.
struct HdlKObject {
    std::uint64_t serial = 0;
    KPlugHandle* record = nullptr;

    HdlKObject() = default;
    HdlKObject(std::uint64_t s, KPlugHandle* r) : serial(s), record(r) {}
    // Takes a reference to the plug (creating its handle); null for null.
    static HdlKObject FromPlug(KPlug* plug);

    // The plug while the plug system is active and the record matches.
    KPlug* Get() const;
    bool IsLive() const { return Get() != nullptr; }
    bool IsNull() const { return record == nullptr; }
    bool operator==(const HdlKObject& other) const {
        return serial == other.serial && record == other.record;
    }
};

class KPlugHandlePool {
public:
    static constexpr int kBlockSize = 10240;

    // Takes a free record, growing by one block when none is left; stores
    // {next serial, plug}. Null when the pool cannot grow.
    KPlugHandle* Allocate(KPlug* plug);
    // Frees the plug's record when it is in use and points back at it.
    void Release(KPlug* plug, KPlugHandle* record);

    int GetBlockCount() const;

    KPlugHandlePool();
    ~KPlugHandlePool();
    KPlugHandlePool(const KPlugHandlePool&) = delete;
    KPlugHandlePool& operator=(const KPlugHandlePool&) = delete;

private:
    struct Impl;
    Impl* mImpl;
};

// Counted start and stop; the first start creates the pool, the last stop
// frees the owned type records and destroys the pool.
void KPlugSystemInit();
void KPlugSystemRelease();
bool KPlugSystemIsActive();
// The pool while the plug system is active, else null.
KPlugHandlePool* KPlugHandlePoolGet();

}  // namespace duzsdk
