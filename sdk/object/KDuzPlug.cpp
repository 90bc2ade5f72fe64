#include "sdk/object/KDuzPlug.h"

#include "sdk/object/KDuzProperty.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzSdkManager.h"

#include <cstring>
#include <vector>

namespace duzsdk {

// ---- twins -------------------------------------------------------------------

KPlugTypeInfo* KDuzPlug_internal::ClassTypeInfo() {
    return PlugTypeInfoGetRecord(kPlugTypeKDuzPlugInternal);
}

KPlugTypeInfo* KDuzPlug_internal::GetPlugTypeInfo() const { return ClassTypeInfo(); }

KDuzPlug* KDuzGetPublicPlug(const KPlug* plug) {
    if (plug == nullptr) return nullptr;
    if (const auto* object = dynamic_cast<const KDuzObject_internal*>(plug))
        return object->GetPublicObject();
    if (const auto* twin = dynamic_cast<const KDuzPlug_internal*>(plug)) return twin->GetPublicPlug();
    return nullptr;
}

KDuzObject* KDuzGetPublicObject(const KPlug* plug) {
    if (plug == nullptr) return nullptr;
    if (const auto* object = dynamic_cast<const KDuzObject_internal*>(plug))
        return object->GetPublicObject();
    return nullptr;
}

namespace {

bool MatchPublicPlug(const KPlug* plug, const KClassIdInfo* info) {
    KDuzPlug* publicPlug = KDuzGetPublicPlug(plug);
    return publicPlug != nullptr &&
           publicPlug->IsRuntime(KClassId(const_cast<KClassIdInfo*>(info)));
}

// Whether a connected object is kept by a query on a class: a null class
// keeps every object.
bool Keeps(const KDuzObject* object, const KClassIdInfo* info) {
    if (object == nullptr) return false;
    if (info == nullptr) return true;
    return object->IsRuntime(KClassId(const_cast<KClassIdInfo*>(info)));
}

const KClassIdInfo* InfoOrObject(const KClassId& classId) {
    return classId.IsValid() ? classId.GetInfo() : KDuzObject::ClassId().GetInfo();
}

// The kept objects of one side of an internal plug, in connection order.
template <typename Visit>
void WalkSide(const KPlug* plug, bool sources, const KClassIdInfo* info, Visit visit) {
    if (plug == nullptr) return;
    const int count = sources ? plug->GetSourceCount() : plug->GetDestinationCount();
    for (int i = 0; i < count; ++i) {
        KPlug* other = sources ? plug->GetSource(i) : plug->GetDestination(i);
        KDuzObject* object = KDuzGetPublicObject(other);
        if (Keeps(object, info) && !visit(object)) return;
    }
}

int CountSide(const KPlug* plug, bool sources, const KClassIdInfo* info) {
    int count = 0;
    WalkSide(plug, sources, info, [&](KDuzObject*) {
        ++count;
        return true;
    });
    return count;
}

KDuzObject* FindInSources(const KPlug* plug, const KClassIdInfo* info, const char* name, int start) {
    if (name == nullptr) return nullptr;
    if (start < 0) start = 0;
    int index = 0;
    KDuzObject* found = nullptr;
    WalkSide(plug, true, info, [&](KDuzObject* object) {
        if (index++ >= start && std::strcmp(object->GetName(), name) == 0) {
            found = object;
            return false;
        }
        return true;
    });
    return found;
}

}  // namespace

void KDuzInstallClassMatcher() { KClassIdSetPlugMatcher(&MatchPublicPlug); }

// ---- the base plug ---------------------------------------------------------

KClassId KDuzPlug::ClassId() { return KDuzClassIdOf(eDuzClassPlug); }

KClassId KDuzPlug::GetClassId() const { return ClassId(); }

void KDuzPlug::Destroy(bool recursive, bool dependents) {
    if (KDuzSdkManager* manager = GetSdkManager()) manager->UnregisterObject(this);
    DestroyContents(recursive, dependents);
    delete this;
}

bool KDuzPlug::Is(const KClassId& classId) const { return GetClassId().Is(classId); }

bool KDuzPlug::IsRuntime(const KClassId& classId) const {
    return GetRuntimeClassId().Is(classId);
}

// ---- connections -----------------------------------------------------------

namespace {

// Asks both sides, announces, runs the change and announces again; the
// first code is the destination's, the source's is three higher.
bool ChangeConnection(KDuzPlug* destination, KDuzPlug* source, int firstCode, bool connect) {
    if (source == nullptr) return false;
    KPlug* internalDestination = destination->GetInternalPlug();
    KPlug* internalSource = source->GetInternalPlug();
    if (internalDestination == nullptr || internalSource == nullptr) return false;
    KDuzConnectEvent event{firstCode, source, destination};
    if (!destination->ConnectNotify(event)) return false;
    event.code = firstCode + 3;
    if (!source->ConnectNotify(event)) return false;
    event.code = firstCode + 1;
    destination->ConnectNotify(event);
    event.code = firstCode + 4;
    source->ConnectNotify(event);
    const bool done = connect ? internalDestination->ConnectSource(internalSource)
                              : internalDestination->DisconnectSource(internalSource);
    event.code = firstCode + 2;
    destination->ConnectNotify(event);
    event.code = firstCode + 5;
    source->ConnectNotify(event);
    return done;
}

}  // namespace

bool KDuzPlug::ConnectSrcObject(KDuzObject* object) {
    return ChangeConnection(this, object, eDuzConnectAskDestination, true);
}

bool KDuzPlug::DisconnectSrcObject(KDuzObject* object) {
    return ChangeConnection(this, object, eDuzDisconnectAskDestination, false);
}

bool KDuzPlug::ConnectSrcProperty(KDuzProperty& property) {
    return ChangeConnection(this, &property, eDuzConnectAskDestination, true);
}

bool KDuzPlug::DisconnectSrcProperty(KDuzProperty& property) {
    return ChangeConnection(this, &property, eDuzDisconnectAskDestination, false);
}

bool KDuzPlug::IsConnectedSrcProperty(const KDuzProperty& property) const {
    const KPlug* plug = GetInternalPlug();
    const KPlug* source = property.GetInternalPlug();
    return plug != nullptr && source != nullptr && plug->IsSourceConnected(source);
}

bool KDuzPlug::IsConnectedSrcObject(const KDuzObject* object) const {
    const KPlug* plug = GetInternalPlug();
    return object != nullptr && plug != nullptr && object->GetInternalPlug() != nullptr &&
           plug->IsSourceConnected(object->GetInternalPlug());
}

bool KDuzPlug::IsConnectedDstObject(const KDuzObject* object) const {
    const KPlug* plug = GetInternalPlug();
    return object != nullptr && plug != nullptr && object->GetInternalPlug() != nullptr &&
           object->GetInternalPlug()->IsSourceConnected(plug);
}

KDuzPlug::SideCursor& KDuzPlug::CursorFor(const KPlug* plug, bool sources, const KClassIdInfo* info) const {
    const uint64_t stamp = plug->GetListStamp();
    const uint64_t publicEpoch = KPlug::GetPublicEpoch();
    if (mCursor.plug != plug || mCursor.stamp != stamp || mCursor.publicEpoch != publicEpoch ||
        mCursor.info != info || mCursor.sources != sources) {
        mCursor = SideCursor();
        mCursor.plug = plug;
        mCursor.stamp = stamp;
        mCursor.publicEpoch = publicEpoch;
        mCursor.info = info;
        mCursor.sources = sources;
    }
    return mCursor;
}

int KDuzPlug::CountKept(bool sources, const KClassIdInfo* info) const {
    const KPlug* plug = GetInternalPlug();
    if (plug == nullptr) return 0;
    SideCursor& cursor = CursorFor(plug, sources, info);
    if (cursor.count < 0) cursor.count = CountSide(plug, sources, info);
    return cursor.count;
}

KDuzObject* KDuzPlug::KeptAt(bool sources, const KClassIdInfo* info, int index) const {
    const KPlug* plug = GetInternalPlug();
    if (plug == nullptr || index < 0) return nullptr;
    SideCursor& cursor = CursorFor(plug, sources, info);
    if (cursor.count >= 0 && index >= cursor.count) return nullptr;
    auto at = [&](int position) {
        return KDuzGetPublicObject(sources ? plug->GetSource(position) : plug->GetDestination(position));
    };
    if (index == cursor.index) return at(cursor.position);
    if (cursor.index >= 0 && index < cursor.index && cursor.index - index <= index) {
        // Back from where the last walk stopped: loops that go from the
        // last index down stay linear.
        int kept = cursor.index;
        for (int position = cursor.position - 1; position >= 0; --position) {
            KDuzObject* object = at(position);
            if (!Keeps(object, info) || --kept != index) continue;
            cursor.index = kept;
            cursor.position = position;
            return object;
        }
    }
    int kept = -1;
    int position = -1;
    if (index > cursor.index) {   // go on from where the last walk stopped
        kept = cursor.index;
        position = cursor.position;
    }
    const int size = sources ? plug->GetSourceCount() : plug->GetDestinationCount();
    while (++position < size) {
        KDuzObject* object = at(position);
        if (!Keeps(object, info) || ++kept != index) continue;
        cursor.index = kept;
        cursor.position = position;
        return object;
    }
    cursor.count = kept + 1;
    return nullptr;
}

int KDuzPlug::GetSrcObjectCount(const KClassId& classId) const { return CountKept(true, InfoOrObject(classId)); }

KDuzObject* KDuzPlug::GetSrcObject(const KClassId& classId, int index) const {
    return KeptAt(true, InfoOrObject(classId), index);
}

KDuzObject* KDuzPlug::FindSrcObject(const KClassId& classId, const char* name, int start) const {
    return FindInSources(GetInternalPlug(), InfoOrObject(classId), name, start);
}

bool KDuzPlug::DisconnectAllSrcObjects(const KClassId& classId) {
    std::vector<KDuzObject*> sources;
    WalkSide(GetInternalPlug(), true, InfoOrObject(classId), [&](KDuzObject* object) {
        sources.push_back(object);
        return true;
    });
    for (auto it = sources.rbegin(); it != sources.rend(); ++it) DisconnectSrcObject(*it);
    return true;
}

int KDuzPlug::GetDstObjectCount(const KClassId& classId) const { return CountKept(false, InfoOrObject(classId)); }

KDuzObject* KDuzPlug::GetDstObject(const KClassId& classId, int index) const {
    return KeptAt(false, InfoOrObject(classId), index);
}

int KDuzPlug::GetSrcObjectCountByInfo(const KClassIdInfo* info) const {
    return info != nullptr ? CountKept(true, info) : 0;
}

KDuzObject* KDuzPlug::GetSrcObjectByInfo(int index, const KClassIdInfo* info) const {
    return info != nullptr ? KeptAt(true, info, index) : nullptr;
}

KDuzObject* KDuzPlug::FindSrcObjectByInfo(const char* name, const KClassIdInfo* info, int start) const {
    return info != nullptr ? FindInSources(GetInternalPlug(), info, name, start) : nullptr;
}

KDuzObject* KDuzPlug::GetDstObjectByInfo(int index, const KClassIdInfo* info) const {
    return info != nullptr ? KeptAt(false, info, index) : nullptr;
}

}  // namespace duzsdk
