// The root of the internal object model: a plug with ordered source and
// destination connections, child plugs that mirror them through type filters,
// and three event channels (values, objects, connections).
#pragma once

#include <cstdint>

#include "sdk/object/KPlugConnectionList.h"
#include "sdk/object/KPlugHandle.h"
#include "sdk/object/KPlugType.h"

#include <vector>

namespace duzsdk {

class KObjectSpace;

// Connection flag: the entry was made into a one-way sink.
inline constexpr int kConnectionOneWay = 0x2;

// Connection event codes (channel 3).
enum EPlugConnectionEvent : int {
    kEventMayConnectSource = 0,
    kEventMayConnectDestination = 1,
    kEventSourceAdding = 2,
    kEventDestinationAdding = 3,
    kEventSourceAdded = 4,
    kEventDestinationAdded = 5,
    kEventSourceRemoving = 6,
    kEventDestinationRemoving = 7,
    kEventSourceRemoved = 8,
    kEventDestinationRemoved = 9,
    kEventSourceSideReplacing = 10,
    kEventSourceSideReplaced = 11,
    kEventDestinationSideReplacing = 12,
    kEventDestinationSideReplaced = 13,
    kEventPlug16 = 16,
    kEventPlug17 = 17,
};

// Object event code (channel 2) that announces a plug's teardown.
inline constexpr int kObjectEventTeardown = 23;

// The chain of plugs a connection event passed through on its way up to the
// owner that handles it.
struct KPlugEventChain {
    const KPlugEventChain* previous;
    KPlug* plug;
};

using KPlugValueHandler = bool (*)(void* target, int a, int code, KPlug* plug, const void* newValue,
                                   const void* oldValue, int d);
using KPlugObjectHandler = bool (*)(void* target, int a, int code, KPlug* object, const void* data,
                                    const void* c, int d);
using KPlugConnectionHandler = bool (*)(void* target, const KPlugEventChain* chain, int code,
                                        KPlug* plug, int index, KPlug* other, int flags,
                                        KPlug* extra);

// A local receiver of a plug's events, called while the plug has no owner
// (or handles its own events). Any handler may be null. A handler that
// answers false refuses a query event.
struct KPlugListener {
    void* target = nullptr;
    KPlugValueHandler onValue = nullptr;
    KPlugObjectHandler onObject = nullptr;
    KPlugConnectionHandler onConnection = nullptr;
    bool active = true;
};

class KPlug {
public:
    enum : int {
        kAcceptsSources = 0x01,
        kAcceptsDestinations = 0x02,
        kOneWaySink = 0x04,
        kRegisteredChild = 0x08,
        kCreatedByOwner = 0x10,
        kHeapOwned = 0x20,
        kTornDown = 0x40,
    };
    static constexpr unsigned kInterfaceObjectModel = 0xDE1947F3u;

    KPlug();
    virtual ~KPlug();
    KPlug(const KPlug&) = delete;
    KPlug& operator=(const KPlug&) = delete;

    // ---- virtual operations ------------------------------------------------
    virtual void* GetInterface(unsigned id);
    // Deletes the plug.
    virtual void Destroy(int unused = 0);
    virtual void Initialize(KObjectSpace* space);
    // Object event 23, flag 0x40, then every connection cut. Runs once.
    virtual void Teardown();
    virtual void TeardownHook5() {}
    virtual void TeardownHook6() {}
    virtual bool IsPlugType(int number) const;
    virtual int GetPlugTypeNumber() const;
    virtual const char* GetPlugTypeName() const;
    virtual KPlugTypeInfo* GetPlugTypeInfo() const;
    virtual int GetStaticTypeNumber() const { return kPlugTypeKPlug; }
    virtual const char* GetStaticTypeLabel() const { return ""; }
    virtual KPlug* CreateChildPlug(KPlugFilter* type);
    virtual bool IsReplacementPending(KPlug* a, KPlug* b);
    virtual bool IsDetachable(int check);
    virtual bool SendValueEvent(int a, int code, KPlug* plug, const void* newValue,
                                const void* oldValue, int d);
    virtual bool SendObjectEvent(int a, int code, KPlug* object, const void* data, const void* c,
                                 int d);
    virtual bool SendConnectionEvent(const KPlugEventChain* chain, int code, KPlug* plug, int index,
                                     KPlug* other, int flags, KPlug* extra);
    virtual void OnConnectionsChanged(KPlug* plug);
    virtual bool SetOwner(KPlug* owner);
    virtual bool AddChildPlug(KPlug* plug);
    // Detaches the plug when this plug is its owner.
    virtual bool RemoveChildPlug(KPlug* plug);
    virtual void SendEvent16();
    virtual void SendEvent17();
    virtual void BeginDisconnect() {}
    virtual void EndDisconnect() {}

    static KPlugTypeInfo* ClassTypeInfo();

    // ---- connections -------------------------------------------------------
    bool ConnectSource(KPlug* source, int flags = 0);
    bool ConnectDestination(KPlug* destination, int flags = 0);
    bool ConnectSourceAt(int index, KPlug* source, int flags = 0);
    bool ConnectDestinationAt(int index, KPlug* destination, int flags = 0);
    bool DisconnectSource(KPlug* source);
    bool DisconnectDestination(KPlug* destination);
    bool DisconnectSourceAt(int index);
    bool DisconnectDestinationAt(int index);
    void DisconnectAllSources();
    void DisconnectAllDestinations();
    // Cuts every connection (unless this is a registered child plug), then
    // destroys the child plugs. Filters are not asked again: a plug whose
    // filter changed since it connected must still be cut loose.
    void DisconnectAll();
    bool ReplaceSource(KPlug* oldPlug, KPlug* newPlug, int index);
    bool ReplaceDestination(KPlug* oldPlug, KPlug* newPlug, int index);
    bool SetSource(int index, KPlug* plug);
    bool SetDestination(int index, KPlug* plug);

    // Answered from the entry counts: no walk, however long the list.
    bool IsSourceConnected(const KPlug* plug) const { return mSources.contains(plug); }
    bool IsDestinationConnected(const KPlug* plug) const { return mDestinations.contains(plug); }
    int FindSource(const KPlug* plug) const;
    int FindDestination(const KPlug* plug) const;
    int GetSourceCount() const { return static_cast<int>(mSources.size()); }
    int GetDestinationCount() const { return static_cast<int>(mDestinations.size()); }
    // Null when the index is out of range.
    KPlug* GetSource(int index) const;
    KPlug* GetDestination(int index) const;
    int GetSourceFlags(int index) const;
    int GetDestinationFlags(int index) const;

    bool AcceptsSource(const KPlug* plug) const;
    bool AcceptsDestination(const KPlug* plug) const;
    bool MayConnectSource(KPlug* plug, int flags);
    bool MayConnectDestination(KPlug* plug, int flags);

    // ---- child plugs and types ---------------------------------------------
    KPlug* FindChildPlug(const KPlugFilter* type) const;
    KPlug* GetChildPlug(KPlugFilter* type);
    void SetTypeInfo(KPlugFilter* filter, int flag8);
    KPlugFilter* GetTypeInfo() const { return mFilter; }
    int GetChildPlugCount() const { return static_cast<int>(mChildren.size()); }
    KPlug* GetChildPlugAt(int index) const;

    KPlug* GetOwner() const { return mOwner; }
    // Whether any listener was ever added to this plug (and not all freed).
    bool HasListeners() const { return mListeners != nullptr && !mListeners->empty(); }
    int GetFlags() const { return mFlags; }
    void SetFlags(int flags) { mFlags = flags; }
    void ModifyFlags(int bits, bool set) { mFlags = set ? (mFlags | bits) : (mFlags & ~bits); }

    // ---- handles and listeners ---------------------------------------------
    KPlugHandle* GetHandle();
    KPlugListener* AddListener(void* target, KPlugValueHandler onValue,
                               KPlugObjectHandler onObject, KPlugConnectionHandler onConnection);
    // Marks the listener inactive; its record is freed after the running
    // dispatch, so a handler may remove itself or another listener.
    bool RemoveListener(KPlugListener* listener);

    // Number of plugs alive in the process.
    static int GetLiveCount();
    // Grows with every change to any plug's connection lists (and whenever a
    // public object leaves its internal twin), so a cached walk over a list
    // knows when it is stale.
    static uint64_t GetConnectionEpoch();
    static void AdvanceConnectionEpoch();
    // A value of the epoch taken whenever this plug's own lists change: a
    // cached walk over them stays good while it and the public epoch hold,
    // whatever happens to other plugs.
    uint64_t GetListStamp() const { return mListStamp; }
    // Grows only when a public object leaves its internal twin.
    static uint64_t GetPublicEpoch();

    // The walks behind DisconnectAll; force skips the filters.
    void DisconnectAllSourcesImpl(bool force);
    void DisconnectAllDestinationsImpl(bool force);
    // True while one of the walks above runs on this plug; an owner must not
    // destroy the plug then (the walk reports the change when it is done).
    bool IsInDisconnectWalk() const { return mWalkDepth > 0; }

protected:
    bool DispatchValueToListeners(int a, int code, KPlug* plug, const void* newValue,
                                  const void* oldValue, int d);
    bool DispatchObjectToListeners(int a, int code, KPlug* object, const void* data,
                                   const void* c, int d);
    bool DispatchConnectionToListeners(const KPlugEventChain* chain, int code, KPlug* plug,
                                       int index, KPlug* other, int flags, KPlug* extra);
    // Cut the connection from source to destination, on top-level plugs.
    static bool Disconnect(KPlug* source, KPlug* destination, int sourceIndexHint,
                           int destinationIndexHint, bool force);

private:
    static bool Connect(KPlug* source, KPlug* destination, KPlug* beforeInDestination,
                        KPlug* beforeInSource, int flags);
    void SendReplaceEvents(KPlug* source, KPlug* destination, KPlug* newPlug, bool after);
    void RegisterChild(KPlug* child);
    void UnregisterChild(KPlug* child);
    void DestroyChildPlugs();
    void PurgeListeners();
    void DisconnectOneWaySinks();

    KPlugHandle* mHandle = nullptr;
    KPlug* mOwner = nullptr;
    KPlugConnectionList mSources;
    KPlugConnectionList mDestinations;
    std::vector<KPlug*> mChildren;
    int mFlags = kAcceptsSources | kAcceptsDestinations | kHeapOwned;
    KPlugFilter* mFilter;
    std::vector<KPlugListener*>* mListeners = nullptr;
    int mDispatchDepth = 0;
    int mWalkDepth = 0;
    uint64_t mListStamp;
    // Sinks that hold this plug as a one-way source; they are cut when this
    // plug goes, so no sink keeps a pointer to a dead source.
    std::vector<KPlug*> mOneWaySinks;
};

}  // namespace duzsdk
