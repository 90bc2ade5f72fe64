#include "sdk/geometry/KDuzVertexCacheDeformer.h"

#include <new>

#include "sdk/base/KStringList.h"
#include "sdk/geometry/KDuzCache.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/PropertyDataTypeMap.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzVertexCacheDeformer_internal");

class KDuzVertexCacheDeformer_internal : public KDuzDeformer_internal {
public:
    explicit KDuzVertexCacheDeformer_internal(KDuzObject* object) : KDuzDeformer_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }
};

}  // namespace

KDuzVertexCacheDeformer::KDuzVertexCacheDeformer(KDuzSdkManager* manager, const char* name)
    : KDuzDeformer(manager, name) {
    SetInternalObject(new KDuzVertexCacheDeformer_internal(this));
    mChannelName.InitOnOwner(this, "ChannelName", PropertyDataTypeFromName("KString"), "");
    mActive.InitOnOwner(this, "Active", PropertyDataTypeFromName("Bool"), "");
    mChannelName.Set(KString());
    mActive.Set(true);
}

KDuzVertexCacheDeformer::~KDuzVertexCacheDeformer() {
    mActive.DestroyProperty();
    mChannelName.DestroyProperty();
}

KDuzVertexCacheDeformer* KDuzVertexCacheDeformer::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzVertexCacheDeformer*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzVertexCacheDeformer::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* deformer = new (std::nothrow) KDuzVertexCacheDeformer(manager, name);
    if (deformer != nullptr) deformer->PostCreate();
    return deformer;
}

KClassId KDuzVertexCacheDeformer::ClassId() { return KDuzClassIdOf(eDuzClassVertexCacheDeformer); }

KClassId KDuzVertexCacheDeformer::GetClassId() const { return ClassId(); }

void KDuzVertexCacheDeformer::PostCreate() { KDuzDeformer::PostCreate(); }

KStringList KDuzVertexCacheDeformer::GetTypeFlags() const {
    KStringList flags;
    flags.Append("Deformer");
    return flags;
}

void KDuzVertexCacheDeformer::DisconnectCaches() {
    while (KDuzObject* cache = GetSrcObject(KDuzCache::ClassId(), 0)) {
        if (!DisconnectSrcObject(cache)) break;
    }
}

void KDuzVertexCacheDeformer::SetCache(KDuzCache* cache) {
    if (cache == nullptr) return;
    DisconnectCaches();
    ConnectSrcObject(cache);
}

KDuzCache* KDuzVertexCacheDeformer::GetCache() const {
    return dynamic_cast<KDuzCache*>(GetSrcObject(KDuzCache::ClassId(), 0));
}

void KDuzVertexCacheDeformer::SetCacheChannel(const char* name) {
    if (mChannelName.IsValid()) mChannelName.Set(KString(name != nullptr ? name : ""));
}

KString KDuzVertexCacheDeformer::GetCacheChannel() const {
    return mChannelName.IsValid() ? mChannelName.Get() : KString();
}

void KDuzVertexCacheDeformer::SetActive(bool active) {
    if (mActive.IsValid()) mActive.Set(active);
}

bool KDuzVertexCacheDeformer::IsActive() const { return mActive.IsValid() && mActive.Get(); }

bool KDuzVertexCacheDeformer::CopyFrom(const KDuzVertexCacheDeformer& other) {
    if (&other == this) return true;
    SetActive(other.IsActive());
    SetCacheChannel(other.GetCacheChannel().Buffer());
    SetCache(other.GetCache());
    CopyBase(other);
    return true;
}

KDuzObject* KDuzVertexCacheDeformer::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzVertexCacheDeformer* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

}  // namespace duzsdk
