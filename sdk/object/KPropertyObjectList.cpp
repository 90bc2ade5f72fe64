#include "sdk/object/KPropertyObjectList.h"

#include "sdk/object/KObject.h"
#include "sdk/object/KPropertyTemplate.h"

namespace duzsdk {

KPropertyObjectList::KPropertyObjectList(KObject* owner, const char* name, bool user) {
    mInfo.flags |= KPropertyInfo::kIsList | KPropertyInfo::kIsObjectList;
    KPropertyTemplateSetUp(this, owner, name, nullptr, user, nullptr, 0, eKPropObject);
}

KPropertyObjectList::~KPropertyObjectList() {
    if (!(GetFlags() & kTornDown)) Teardown();
}

KPlugTypeInfo* KPropertyObjectList::ClassTypeInfo() {
    return PlugTypeInfoGetRecord(kPlugTypeKPropertyObjectList);
}

KPlugTypeInfo* KPropertyObjectList::GetPlugTypeInfo() const { return ClassTypeInfo(); }

bool KPropertyObjectList::SendConnectionEvent(const KPlugEventChain* chain, int code, KPlug* plug,
                                              int index, KPlug* other, int flags, KPlug* extra) {
    if (plug == this && (code == kEventSourceAdded || code == kEventSourceRemoved)) Touch();
    return KPropertyList::SendConnectionEvent(chain, code, plug, index, other, flags, extra);
}

int KPropertyObjectList::GetCount() const {
    return UsesSources() ? GetSourceCount() : GetDestinationCount();
}

KObject* KPropertyObjectList::GetObject(int index) const {
    return KObjectCast(UsesSources() ? GetSource(index) : GetDestination(index));
}

bool KPropertyObjectList::Add(KObject* object) {
    Touch();
    return UsesSources() ? ConnectSource(object) : ConnectDestination(object);
}

bool KPropertyObjectList::SetAt(int index, KObject* object) {
    Touch();
    return UsesSources() ? SetSource(index, object) : SetDestination(index, object);
}

bool KPropertyObjectList::RemoveAt(int index) {
    Touch();
    return UsesSources() ? DisconnectSourceAt(index) : DisconnectDestinationAt(index);
}

bool KPropertyObjectList::InsertAt(int index, KObject* object) {
    Touch();
    return UsesSources() ? ConnectSourceAt(index, object) : ConnectDestinationAt(index, object);
}

bool KPropertyObjectList::Remove(KObject* object) {
    Touch();
    return UsesSources() ? DisconnectSource(object) : DisconnectDestination(object);
}

void KPropertyObjectList::Clear() {
    Touch();
    if (UsesSources()) DisconnectAllSources();
    else DisconnectAllDestinations();
}

void KPropertyObjectList::SetTypes(int companion, int filter) {
    mCompanionType = companion;
    mFilterType = filter;
    SetTypeInfo(PlugTypeInfoGet(filter), GetFlags() & kRegisteredChild);
}

void KPropertyObjectList::GetTypes(int& companion, int& filter) const {
    companion = mCompanionType;
    filter = mFilterType;
}

int KPropertyObjectList::IndexOf(const KObject* object) const {
    if (object == nullptr) return -1;
    for (int i = 0; i < GetSourceCount(); ++i) {
        KPlug* entry = GetSource(i);
        if (entry == object && KObjectCast(entry) != nullptr) return i;
    }
    return -1;
}

}  // namespace duzsdk
