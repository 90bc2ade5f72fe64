#include "sdk/object/KPlug.h"

#include <algorithm>

namespace duzsdk {

namespace {

int gLivePlugs = 0;

// Position of the last entry for plug; the end when the plug is null or
// absent.
int InsertPosition(const KPlugConnectionList& list, const KPlug* before) {
    const int found = before != nullptr ? list.find_last(before) : -1;
    return found != -1 ? found : static_cast<int>(list.size());
}

// The list's stamp changes with every edit, only through these.
uint64_t gConnectionEpoch = 1;
uint64_t gPublicEpoch = 1;

int InsertEntry(KPlugConnectionList& list, uint64_t& stamp, int pos, KPlugConnection entry) {
    stamp = ++gConnectionEpoch;
    if (pos < 0 || pos > static_cast<int>(list.size())) pos = static_cast<int>(list.size());
    list.insert(static_cast<std::size_t>(pos), entry);
    return pos;
}

void EraseEntry(KPlugConnectionList& list, uint64_t& stamp, int pos) {
    stamp = ++gConnectionEpoch;
    list.erase(static_cast<std::size_t>(pos));
}

void ClearEntries(KPlugConnectionList& list, uint64_t& stamp) {
    stamp = ++gConnectionEpoch;
    list.clear();
}

// A mirroring child keeps its owner's entries as an ordered subsequence.
// Its insert position is that of its first entry at or after the owner's
// position; one merged walk finds it without rescanning the owner's list.
int ChildInsertPosition(const KPlugConnectionList& ownerList,
                        const KPlugConnectionList& childList, int ownerPosition) {
    // Appending to the owner appends to the child: no walk needed.
    if (ownerPosition >= static_cast<int>(ownerList.size())) return static_cast<int>(childList.size());
    auto owner = ownerList.begin();
    int j = 0;
    int i = 0;
    for (const KPlugConnection& entry : childList) {
        while (owner != ownerList.end() && owner->plug != entry.plug) {
            ++owner;
            ++j;
        }
        if (owner == ownerList.end()) break;
        if (j >= ownerPosition) return i;
        ++owner;
        ++j;
        ++i;
    }
    return static_cast<int>(childList.size());
}

KPlug* TopLevel(KPlug* plug) {
    while (plug != nullptr && (plug->GetFlags() & KPlug::kRegisteredChild) && plug->GetOwner())
        plug = plug->GetOwner();
    return plug;
}

struct ChildInsert {
    KPlug* child;
    int position;
};

}  // namespace

KPlug::KPlug() : mFilter(PlugTypeInfoGet(kPlugTypeNone)), mListStamp(++gConnectionEpoch) { ++gLivePlugs; }

KPlug::~KPlug() {
    mFlags |= kTornDown;   // nothing may report on a plug that is going away
    DisconnectAll();
    if (mHandle != nullptr) {
        if (KPlugHandlePool* pool = KPlugHandlePoolGet()) pool->Release(this, mHandle);
        mHandle = nullptr;
    }
    if (mListeners != nullptr) {
        for (KPlugListener* listener : *mListeners) delete listener;
        delete mListeners;
        mListeners = nullptr;
    }
    if (mOwner != nullptr && (mFlags & kRegisteredChild)) mOwner->UnregisterChild(this);
    --gLivePlugs;
}

int KPlug::GetLiveCount() { return gLivePlugs; }

uint64_t KPlug::GetConnectionEpoch() { return gConnectionEpoch; }

void KPlug::AdvanceConnectionEpoch() {
    ++gConnectionEpoch;
    ++gPublicEpoch;
}

uint64_t KPlug::GetPublicEpoch() { return gPublicEpoch; }

KPlugTypeInfo* KPlug::ClassTypeInfo() { return PlugTypeInfoGetRecord(kPlugTypeKPlug); }

void* KPlug::GetInterface(unsigned id) {
    if (id == 0 || id == 2 || id == kInterfaceObjectModel) return this;
    return nullptr;
}

void KPlug::Destroy(int) { delete this; }

void KPlug::Initialize(KObjectSpace*) {}

void KPlug::Teardown() {
    if (mFlags & kTornDown) return;
    SendObjectEvent(0, kObjectEventTeardown, this, nullptr, nullptr, 0);
    mFlags |= kTornDown;
    DisconnectAll();
}

bool KPlug::IsPlugType(int number) const {
    const KPlugTypeInfo* info = GetPlugTypeInfo();
    return info != nullptr && info->IsA(number);
}

int KPlug::GetPlugTypeNumber() const { return GetPlugTypeInfo()->GetTypeNumber(); }

const char* KPlug::GetPlugTypeName() const { return GetPlugTypeInfo()->GetName(); }

KPlugTypeInfo* KPlug::GetPlugTypeInfo() const { return ClassTypeInfo(); }

KPlug* KPlug::CreateChildPlug(KPlugFilter*) {
    KPlug* plug = new KPlug;
    plug->Initialize(nullptr);
    return plug;
}

bool KPlug::IsReplacementPending(KPlug* a, KPlug* b) {
    return mOwner != nullptr && mOwner->IsReplacementPending(a, b);
}

bool KPlug::IsDetachable(int) { return mOwner != nullptr; }

// ---- event channels --------------------------------------------------------

bool KPlug::SendValueEvent(int a, int code, KPlug* plug, const void* newValue,
                           const void* oldValue, int d) {
    if (mOwner != nullptr && !(mFlags & kCreatedByOwner))
        return mOwner->SendValueEvent(a, code, plug, newValue, oldValue, d);
    return DispatchValueToListeners(a, code, plug, newValue, oldValue, d);
}

bool KPlug::SendObjectEvent(int a, int code, KPlug* object, const void* data, const void* c,
                            int d) {
    if (mOwner != nullptr && !(mFlags & kCreatedByOwner))
        return mOwner->SendObjectEvent(a, code, object, data, c, d);
    return DispatchObjectToListeners(a, code, object, data, c, d);
}

bool KPlug::SendConnectionEvent(const KPlugEventChain* chain, int code, KPlug* plug, int index,
                                KPlug* other, int flags, KPlug* extra) {
    if (mOwner != nullptr && !(mFlags & kCreatedByOwner)) {
        KPlugEventChain link{chain, this};
        return mOwner->SendConnectionEvent(&link, code, plug, index, other, flags, extra);
    }
    return DispatchConnectionToListeners(chain, code, plug, index, other, flags, extra);
}

// Each dispatch walks by index and re-reads the count, so a handler may add
// listeners; removed ones are only marked and are freed once the outermost
// dispatch is over.
bool KPlug::DispatchValueToListeners(int a, int code, KPlug* plug, const void* newValue,
                                     const void* oldValue, int d) {
    bool result = true;
    if (mListeners == nullptr) return result;
    ++mDispatchDepth;
    for (std::size_t i = 0; i < mListeners->size(); ++i) {
        KPlugListener* l = (*mListeners)[i];
        if (l->active && l->onValue && !l->onValue(l->target, a, code, plug, newValue, oldValue, d))
            result = false;
    }
    --mDispatchDepth;
    PurgeListeners();
    return result;
}

bool KPlug::DispatchObjectToListeners(int a, int code, KPlug* object, const void* data,
                                      const void* c, int d) {
    bool result = true;
    if (mListeners == nullptr) return result;
    ++mDispatchDepth;
    for (std::size_t i = 0; i < mListeners->size(); ++i) {
        KPlugListener* l = (*mListeners)[i];
        if (l->active && l->onObject && !l->onObject(l->target, a, code, object, data, c, d))
            result = false;
    }
    --mDispatchDepth;
    PurgeListeners();
    return result;
}

bool KPlug::DispatchConnectionToListeners(const KPlugEventChain* chain, int code, KPlug* plug,
                                          int index, KPlug* other, int flags, KPlug* extra) {
    bool result = true;
    if (mListeners == nullptr) return result;
    ++mDispatchDepth;
    for (std::size_t i = 0; i < mListeners->size(); ++i) {
        KPlugListener* l = (*mListeners)[i];
        if (l->active && l->onConnection &&
            !l->onConnection(l->target, chain, code, plug, index, other, flags, extra))
            result = false;
    }
    --mDispatchDepth;
    PurgeListeners();
    return result;
}

void KPlug::PurgeListeners() {
    if (mListeners == nullptr || mDispatchDepth > 0) return;
    auto& list = *mListeners;
    auto end = std::remove_if(list.begin(), list.end(), [](KPlugListener* l) {
        if (l->active) return false;
        delete l;
        return true;
    });
    list.erase(end, list.end());
}

KPlugListener* KPlug::AddListener(void* target, KPlugValueHandler onValue,
                                  KPlugObjectHandler onObject,
                                  KPlugConnectionHandler onConnection) {
    if (mListeners == nullptr) mListeners = new std::vector<KPlugListener*>;
    KPlugListener* listener = new KPlugListener;
    listener->target = target;
    listener->onValue = onValue;
    listener->onObject = onObject;
    listener->onConnection = onConnection;
    mListeners->push_back(listener);
    return listener;
}

bool KPlug::RemoveListener(KPlugListener* listener) {
    if (mListeners == nullptr || listener == nullptr) return false;
    auto it = std::find(mListeners->begin(), mListeners->end(), listener);
    if (it == mListeners->end() || !listener->active) return false;
    listener->active = false;
    PurgeListeners();
    return true;
}

void KPlug::OnConnectionsChanged(KPlug* plug) {
    if (mOwner != nullptr) mOwner->OnConnectionsChanged(plug);
}

void KPlug::SendEvent16() {
    SendConnectionEvent(nullptr, kEventPlug16, this, -1, nullptr, 0, nullptr);
}

void KPlug::SendEvent17() {
    SendConnectionEvent(nullptr, kEventPlug17, this, -1, nullptr, 0, nullptr);
}

// ---- owner and child plugs -------------------------------------------------

bool KPlug::SetOwner(KPlug* owner) {
    if (owner == mOwner) return false;
    if (owner != nullptr) {
        SetOwner(nullptr);
        mOwner = owner;
        if (mFlags & kRegisteredChild) owner->RegisterChild(this);
    } else {
        if ((mFlags & kRegisteredChild) && mOwner != nullptr) mOwner->UnregisterChild(this);
        mOwner = nullptr;
    }
    return true;
}

bool KPlug::AddChildPlug(KPlug* plug) {
    if (plug == nullptr || plug->mOwner == this) return false;
    plug->SetOwner(this);
    return true;
}

bool KPlug::RemoveChildPlug(KPlug* plug) {
    if (plug == nullptr || plug->mOwner != this) return false;
    return plug->SetOwner(nullptr);
}

void KPlug::RegisterChild(KPlug* child) {
    if (std::find(mChildren.begin(), mChildren.end(), child) != mChildren.end()) return;
    mChildren.push_back(child);
    ClearEntries(child->mSources, child->mListStamp);
    ClearEntries(child->mDestinations, child->mListStamp);
    for (const KPlugConnection& entry : mSources) {
        if (child->AcceptsSource(entry.plug))
            InsertEntry(child->mSources, child->mListStamp, -1, entry);
    }
    for (const KPlugConnection& entry : mDestinations) {
        if (child->AcceptsDestination(entry.plug))
            InsertEntry(child->mDestinations, child->mListStamp, -1, entry);
    }
}

void KPlug::UnregisterChild(KPlug* child) {
    auto it = std::find(mChildren.begin(), mChildren.end(), child);
    if (it != mChildren.end()) mChildren.erase(it);
    // A detached child no longer mirrors anything.
    ClearEntries(child->mSources, child->mListStamp);
    ClearEntries(child->mDestinations, child->mListStamp);
}

KPlug* KPlug::GetChildPlugAt(int index) const {
    if (index < 0 || index >= static_cast<int>(mChildren.size())) return nullptr;
    return mChildren[index];
}

KPlug* KPlug::FindChildPlug(const KPlugFilter* type) const {
    if (type == nullptr || type->GetTypeNumber() == kPlugTypeNone ||
        type->GetTypeNumber() == kPlugTypeKPlug)
        return const_cast<KPlug*>(this);
    for (int i = static_cast<int>(mChildren.size()) - 1; i >= 0; --i) {
        if (mChildren[i]->mFilter != nullptr && mChildren[i]->mFilter->IsSameType(type))
            return mChildren[i];
    }
    return nullptr;
}

KPlug* KPlug::GetChildPlug(KPlugFilter* type) {
    if (KPlug* found = FindChildPlug(type)) return found;
    KPlug* child = CreateChildPlug(type);
    if (child == nullptr) return nullptr;
    AddChildPlug(child);
    child->SetTypeInfo(type, kRegisteredChild);
    child->mFlags |= kCreatedByOwner;
    return child;
}

void KPlug::SetTypeInfo(KPlugFilter* filter, int flag8) {
    mFilter = filter != nullptr ? filter : PlugTypeInfoGet(kPlugTypeNone);
    bool wasChild = (mFlags & kRegisteredChild) != 0;
    bool isChild = (flag8 & kRegisteredChild) != 0;
    if (isChild == wasChild) return;
    if (isChild) {
        mFlags |= kRegisteredChild;
        if (mOwner != nullptr) mOwner->RegisterChild(this);
    } else {
        if (mOwner != nullptr) mOwner->UnregisterChild(this);
        mFlags &= ~kRegisteredChild;
    }
}

void KPlug::DestroyChildPlugs() {
    while (!mChildren.empty()) {
        KPlug* child = mChildren.back();
        mChildren.pop_back();
        ClearEntries(child->mSources, child->mListStamp);
        ClearEntries(child->mDestinations, child->mListStamp);
        if (child->mFlags & kCreatedByOwner) {
            child->mOwner = nullptr;
            child->mFlags |= kTornDown;
            child->Destroy(0);
        } else {
            // Left alive by its maker; it must not point at a dying owner.
            child->mOwner = nullptr;
        }
    }
}

// ---- handles ---------------------------------------------------------------

KPlugHandle* KPlug::GetHandle() {
    if (mHandle == nullptr) {
        if (KPlugHandlePool* pool = KPlugHandlePoolGet()) mHandle = pool->Allocate(this);
    }
    return mHandle;
}

// ---- queries ---------------------------------------------------------------

int KPlug::FindSource(const KPlug* plug) const {
    return mSources.find_last(plug);
}

int KPlug::FindDestination(const KPlug* plug) const {
    return mDestinations.find_last(plug);
}

KPlug* KPlug::GetSource(int index) const {
    if (index < 0 || index >= GetSourceCount()) return nullptr;
    return mSources[index].plug;
}

KPlug* KPlug::GetDestination(int index) const {
    if (index < 0 || index >= GetDestinationCount()) return nullptr;
    return mDestinations[index].plug;
}

int KPlug::GetSourceFlags(int index) const {
    if (index < 0 || index >= GetSourceCount()) return 0;
    return mSources[index].flags;
}

int KPlug::GetDestinationFlags(int index) const {
    if (index < 0 || index >= GetDestinationCount()) return 0;
    return mDestinations[index].flags;
}

bool KPlug::AcceptsSource(const KPlug* plug) const {
    return (mFlags & kAcceptsSources) && mFilter->Accepts(plug);
}

bool KPlug::AcceptsDestination(const KPlug* plug) const {
    return (mFlags & kAcceptsDestinations) && mFilter->Accepts(plug);
}

bool KPlug::MayConnectSource(KPlug* plug, int flags) {
    return AcceptsSource(plug) &&
           SendConnectionEvent(nullptr, kEventMayConnectSource, this, -1, plug, flags, nullptr);
}

bool KPlug::MayConnectDestination(KPlug* plug, int flags) {
    return AcceptsDestination(plug) &&
           SendConnectionEvent(nullptr, kEventMayConnectDestination, this, -1, plug, flags,
                               nullptr);
}

// ---- connect ---------------------------------------------------------------

bool KPlug::Connect(KPlug* S, KPlug* D, KPlug* beforeInD, KPlug* beforeInS, int F) {
    for (;;) {
        if (S == nullptr || D == nullptr || S == D) return false;
        if (D->mFlags & kOneWaySink) F |= kConnectionOneWay;
        const bool oneWay = (F & kConnectionOneWay) != 0;
        if (!D->MayConnectSource(S, 0)) return false;
        if (!oneWay && !S->MayConnectDestination(D, 0)) return false;
        // Connections always join top-level plugs; children only mirror them.
        if ((S->mFlags & kRegisteredChild) && S->mOwner != nullptr) {
            S = S->mOwner;
            continue;
        }
        if ((D->mFlags & kRegisteredChild) && D->mOwner != nullptr) {
            D = D->mOwner;
            continue;
        }
        break;
    }
    const bool oneWay = (F & kConnectionOneWay) != 0;

    D->SendConnectionEvent(nullptr, kEventSourceAdding, D, -1, S, F, nullptr);
    if (!oneWay) S->SendConnectionEvent(nullptr, kEventDestinationAdding, S, -1, D, F, nullptr);

    const int dPos = InsertPosition(D->mSources, beforeInD);
    const int sPos = oneWay ? -1 : InsertPosition(S->mDestinations, beforeInS);

    std::vector<ChildInsert> dChildren;
    std::vector<ChildInsert> sChildren;
    for (std::size_t i = 0; i < D->mChildren.size(); ++i) {
        KPlug* child = D->mChildren[i];
        if (child->MayConnectSource(S, 0))
            dChildren.push_back({child, ChildInsertPosition(D->mSources, child->mSources, dPos)});
    }
    if (!oneWay) {
        for (std::size_t i = 0; i < S->mChildren.size(); ++i) {
            KPlug* child = S->mChildren[i];
            if (child->MayConnectDestination(D, 0))
                sChildren.push_back(
                    {child, ChildInsertPosition(S->mDestinations, child->mDestinations, sPos)});
        }
    }
    for (const ChildInsert& c : dChildren)
        c.child->SendConnectionEvent(nullptr, kEventSourceAdding, c.child, -1, S, F, nullptr);
    for (const ChildInsert& c : sChildren)
        c.child->SendConnectionEvent(nullptr, kEventDestinationAdding, c.child, -1, D, F, nullptr);

    // Handlers of the events above may have changed the lists: InsertEntry
    // clamps the positions.
    const int dIndex = InsertEntry(D->mSources, D->mListStamp, dPos, {S, F});
    int sIndex = -1;
    if (oneWay) {
        S->mOneWaySinks.push_back(D);
    } else {
        sIndex = InsertEntry(S->mDestinations, S->mListStamp, sPos, {D, F});
    }
    for (ChildInsert& c : dChildren)
        c.position = InsertEntry(c.child->mSources, c.child->mListStamp, c.position, {S, F});
    for (ChildInsert& c : sChildren)
        c.position =
            InsertEntry(c.child->mDestinations, c.child->mListStamp, c.position, {D, F});

    D->SendConnectionEvent(nullptr, kEventSourceAdded, D, dIndex, S, F, nullptr);
    if (!oneWay) S->SendConnectionEvent(nullptr, kEventDestinationAdded, S, sIndex, D, F, nullptr);
    for (const ChildInsert& c : dChildren)
        c.child->SendConnectionEvent(nullptr, kEventSourceAdded, c.child, c.position, S, F, nullptr);
    for (const ChildInsert& c : sChildren)
        c.child->SendConnectionEvent(nullptr, kEventDestinationAdded, c.child, c.position, D, F,
                                     nullptr);
    return true;
}

bool KPlug::ConnectSource(KPlug* source, int flags) {
    return Connect(source, this, nullptr, nullptr, flags);
}

bool KPlug::ConnectDestination(KPlug* destination, int flags) {
    return Connect(this, destination, nullptr, nullptr, flags);
}

bool KPlug::ConnectSourceAt(int index, KPlug* source, int flags) {
    return Connect(source, this, GetSource(index), nullptr, flags);
}

bool KPlug::ConnectDestinationAt(int index, KPlug* destination, int flags) {
    return Connect(this, destination, nullptr, GetDestination(index), flags);
}

// ---- disconnect ------------------------------------------------------------

bool KPlug::Disconnect(KPlug* S, KPlug* D, int iHint, int jHint, bool force) {
    KPlug* topS = TopLevel(S);
    KPlug* topD = TopLevel(D);
    if (topS != S) jHint = -1;
    if (topD != D) iHint = -1;
    S = topS;
    D = topD;
    if (S == nullptr || D == nullptr) return false;

    int i = (iHint >= 0 && iHint < D->GetSourceCount() && D->mSources[iHint].plug == S)
                ? iHint
                : D->FindSource(S);
    int j = (jHint >= 0 && jHint < S->GetDestinationCount() && S->mDestinations[jHint].plug == D)
                ? jHint
                : S->FindDestination(D);
    if (i == -1 && j == -1) return false;
    // A one-way entry lives only in the sink; the source need not accept it.
    const bool oneWay = (i != -1 && (D->mSources[i].flags & kConnectionOneWay) && j == -1);
    if (!force) {
        if (!D->AcceptsSource(S)) return false;
        if (!oneWay && !S->AcceptsDestination(D)) return false;
    }

    std::vector<KPlug*> dChildren;
    std::vector<KPlug*> sChildren;
    if (i != -1) {
        for (KPlug* child : D->mChildren)
            if (child->AcceptsSource(S)) dChildren.push_back(child);
    }
    if (j != -1) {
        for (KPlug* child : S->mChildren)
            if (child->AcceptsDestination(D)) sChildren.push_back(child);
    }

    D->BeginDisconnect();
    S->BeginDisconnect();
    if (i != -1) D->SendConnectionEvent(nullptr, kEventSourceRemoving, D, i, S, 0, nullptr);
    if (j != -1) S->SendConnectionEvent(nullptr, kEventDestinationRemoving, S, j, D, 0, nullptr);
    for (KPlug* c : dChildren)
        c->SendConnectionEvent(nullptr, kEventSourceRemoving, c, -1, S, 0, nullptr);
    for (KPlug* c : sChildren)
        c->SendConnectionEvent(nullptr, kEventDestinationRemoving, c, -1, D, 0, nullptr);

    // The handlers above may have moved or cut entries already: look again.
    if (i != -1 && (i >= D->GetSourceCount() || D->mSources[i].plug != S)) i = D->FindSource(S);
    if (j != -1 && (j >= S->GetDestinationCount() || S->mDestinations[j].plug != D))
        j = S->FindDestination(D);
    std::vector<int> dChildIndex(dChildren.size());
    std::vector<int> sChildIndex(sChildren.size());
    for (std::size_t k = 0; k < dChildren.size(); ++k)
        dChildIndex[k] = dChildren[k]->FindSource(S);
    for (std::size_t k = 0; k < sChildren.size(); ++k)
        sChildIndex[k] = sChildren[k]->FindDestination(D);

    if (i != -1) {
        if (D->mSources[i].flags & kConnectionOneWay) {
            auto it = std::find(S->mOneWaySinks.begin(), S->mOneWaySinks.end(), D);
            if (it != S->mOneWaySinks.end()) S->mOneWaySinks.erase(it);
        }
        EraseEntry(D->mSources, D->mListStamp, i);
    }
    if (j != -1) EraseEntry(S->mDestinations, S->mListStamp, j);
    for (std::size_t k = 0; k < dChildren.size(); ++k)
        if (dChildIndex[k] != -1)
            EraseEntry(dChildren[k]->mSources, dChildren[k]->mListStamp, dChildIndex[k]);
    for (std::size_t k = 0; k < sChildren.size(); ++k)
        if (sChildIndex[k] != -1)
            EraseEntry(sChildren[k]->mDestinations, sChildren[k]->mListStamp,
                       sChildIndex[k]);

    if (i != -1) D->SendConnectionEvent(nullptr, kEventSourceRemoved, D, i, S, 0, nullptr);
    if (j != -1) S->SendConnectionEvent(nullptr, kEventDestinationRemoved, S, j, D, 0, nullptr);
    for (std::size_t k = 0; k < dChildren.size(); ++k)
        dChildren[k]->SendConnectionEvent(nullptr, kEventSourceRemoved, dChildren[k],
                                          dChildIndex[k], S, 0, nullptr);
    for (std::size_t k = 0; k < sChildren.size(); ++k)
        sChildren[k]->SendConnectionEvent(nullptr, kEventDestinationRemoved, sChildren[k],
                                          sChildIndex[k], D, 0, nullptr);
    D->EndDisconnect();
    S->EndDisconnect();

    if (!S->IsReplacementPending(D, S)) {
        D->OnConnectionsChanged(D);
        S->OnConnectionsChanged(S);
    }
    return true;
}

bool KPlug::DisconnectSource(KPlug* source) { return Disconnect(source, this, -1, -1, false); }

bool KPlug::DisconnectDestination(KPlug* destination) {
    return Disconnect(this, destination, -1, -1, false);
}

bool KPlug::DisconnectSourceAt(int index) {
    KPlug* source = GetSource(index);
    if (source == nullptr) return false;
    return Disconnect(source, this, index, -1, false);
}

bool KPlug::DisconnectDestinationAt(int index) {
    KPlug* destination = GetDestination(index);
    if (destination == nullptr) return false;
    return Disconnect(this, destination, -1, index, false);
}

// Last first; a handler may cut further connections, so the walk goes on
// below the smaller of the old position and the new count.
void KPlug::DisconnectAllSourcesImpl(bool force) {
    if (GetSourceCount() == 0) return;
    ++mWalkDepth;
    int i = GetSourceCount() - 1;
    while (i >= 0) {
        if (i < GetSourceCount()) Disconnect(mSources[i].plug, this, i, -1, force);
        i = std::min(i, GetSourceCount()) - 1;
    }
    --mWalkDepth;
    // Changes reported while the walk ran were held back; report once more
    // now, as the last thing, since the owner may destroy this plug.
    if (mWalkDepth == 0 && !(mFlags & kTornDown)) OnConnectionsChanged(this);
}

void KPlug::DisconnectAllDestinationsImpl(bool force) {
    if (GetDestinationCount() == 0) return;
    ++mWalkDepth;
    int i = GetDestinationCount() - 1;
    while (i >= 0) {
        if (i < GetDestinationCount()) Disconnect(this, mDestinations[i].plug, -1, i, force);
        i = std::min(i, GetDestinationCount()) - 1;
    }
    --mWalkDepth;
    if (mWalkDepth == 0 && !(mFlags & kTornDown)) OnConnectionsChanged(this);
}

void KPlug::DisconnectAllSources() { DisconnectAllSourcesImpl(false); }

void KPlug::DisconnectAllDestinations() { DisconnectAllDestinationsImpl(false); }

void KPlug::DisconnectOneWaySinks() {
    while (!mOneWaySinks.empty()) {
        KPlug* sink = mOneWaySinks.back();
        if (!Disconnect(this, sink, -1, -1, true)) {
            // The sink no longer lists us (it was changed behind our back).
            mOneWaySinks.pop_back();
        }
    }
}

void KPlug::DisconnectAll() {
    if (!(mFlags & kRegisteredChild)) {
        DisconnectAllSourcesImpl(true);
        DisconnectAllDestinationsImpl(true);
        DisconnectOneWaySinks();
    }
    DestroyChildPlugs();
}

// ---- replace ---------------------------------------------------------------

void KPlug::SendReplaceEvents(KPlug* S, KPlug* D, KPlug* newPlug, bool after) {
    const int toDestination = after ? kEventDestinationSideReplaced : kEventDestinationSideReplacing;
    const int toSource = after ? kEventSourceSideReplaced : kEventSourceSideReplacing;
    D->SendConnectionEvent(nullptr, toDestination, D, -1, S, 0, newPlug);
    S->SendConnectionEvent(nullptr, toSource, S, -1, D, 0, newPlug);
    std::vector<KPlug*> dChildren(D->mChildren);
    std::vector<KPlug*> sChildren(S->mChildren);
    for (KPlug* c : dChildren) c->SendConnectionEvent(nullptr, toDestination, D, -1, S, 0, newPlug);
    for (KPlug* c : sChildren) c->SendConnectionEvent(nullptr, toSource, S, -1, D, 0, newPlug);
    if (after) {
        S->OnConnectionsChanged(S);
        D->OnConnectionsChanged(D);
    }
}

bool KPlug::ReplaceDestination(KPlug* oldPlug, KPlug* newPlug, int index) {
    int k = FindDestination(oldPlug);
    if (k == -1) return false;
    const int flags = mDestinations[k].flags & ~kConnectionOneWay;
    SendReplaceEvents(this, oldPlug, newPlug, false);
    bool result = DisconnectDestinationAt(k);
    if (result) {
        KPlug* beforeInNew = newPlug != nullptr ? newPlug->GetSource(index) : nullptr;
        result = Connect(this, newPlug, beforeInNew, GetDestination(k), flags);
    }
    SendReplaceEvents(this, oldPlug, newPlug, true);
    return result;
}

bool KPlug::ReplaceSource(KPlug* oldPlug, KPlug* newPlug, int index) {
    int k = FindSource(oldPlug);
    if (k == -1) return false;
    const int flags = mSources[k].flags & ~kConnectionOneWay;
    SendReplaceEvents(oldPlug, this, newPlug, false);
    bool result = DisconnectSourceAt(k);
    if (result) {
        KPlug* beforeInNew = newPlug != nullptr ? newPlug->GetDestination(index) : nullptr;
        result = Connect(newPlug, this, GetSource(k), beforeInNew, flags);
    }
    SendReplaceEvents(oldPlug, this, newPlug, true);
    return result;
}

bool KPlug::SetSource(int index, KPlug* plug) {
    if (index < 0) return false;
    if (index >= GetSourceCount()) return ConnectSource(plug);
    return ReplaceSource(mSources[index].plug, plug, -1);
}

bool KPlug::SetDestination(int index, KPlug* plug) {
    if (index < 0) return false;
    if (index >= GetDestinationCount()) return ConnectDestination(plug);
    return ReplaceDestination(mDestinations[index].plug, plug, -1);
}

}  // namespace duzsdk
