#include "sdk/geometry/KDuzCache.h"

#include <new>

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/PropertyDataTypeMap.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzCache_internal");

class KDuzCache_internal : public KDuzObject_internal {
public:
    explicit KDuzCache_internal(KDuzObject* object) : KDuzObject_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }
};

}  // namespace

KDuzCache::KDuzCache(KDuzSdkManager* manager, const char* name)
    : KDuzObject(manager, name),
      mError(kDuzCacheErrorTexts, static_cast<int>(sizeof(kDuzCacheErrorTexts) / sizeof(kDuzCacheErrorTexts[0]))) {
    SetInternalObject(new KDuzCache_internal(this));
    mFileName.InitOnOwner(this, "CacheFileName", PropertyDataTypeFromName("KString"), "");
    mAbsoluteFileName.InitOnOwner(this, "CacheAbsoluteFileName", PropertyDataTypeFromName("KString"), "");
    mFileType.InitOnOwner(this, "CacheFileType", PropertyDataTypeFromName("Enum"), "");
    mFileName.Set(KString());
    mAbsoluteFileName.Set(KString());
    mFileType.Set(0);
}

KDuzCache::~KDuzCache() {
    ReleaseFiles();
    mFileType.DestroyProperty();
    mAbsoluteFileName.DestroyProperty();
    mFileName.DestroyProperty();
}

KDuzCache* KDuzCache::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzCache*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzCache::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* cache = new (std::nothrow) KDuzCache(manager, name);
    if (cache != nullptr) cache->PostCreate();
    return cache;
}

KClassId KDuzCache::ClassId() { return KDuzClassIdOf(eDuzClassCache); }

KClassId KDuzCache::GetClassId() const { return ClassId(); }

void KDuzCache::PostCreate() {
    KDuzObject::PostCreate();
    WrapInternalProperties();
}

KDuzObject* KDuzCache::Clone(int /*mode*/) { return Create(GetSdkManager(), GetName()); }

void KDuzCache::SetCacheFileName(const char* relative, const char* absolute) {
    if (mFileName.IsValid()) mFileName.Set(KString(relative != nullptr ? relative : ""));
    if (mAbsoluteFileName.IsValid()) mAbsoluteFileName.Set(KString(absolute != nullptr ? absolute : ""));
}

void KDuzCache::GetCacheFileName(KString& relative, KString& absolute) const {
    relative = "";
    absolute = "";
    if (mFileName.IsValid()) relative = mFileName.Get();
    if (mAbsoluteFileName.IsValid()) absolute = mAbsoluteFileName.Get();
}

bool KDuzCache::SetCacheFileType(int type) { return mFileType.IsValid() && mFileType.Set(type); }

int KDuzCache::GetCacheFileType() const { return mFileType.IsValid() ? mFileType.Get() : 0; }

void KDuzCache::ReleaseFiles() {
    mFiles[0] = nullptr;
    mFiles[1] = nullptr;
    for (int& counter : mCounters) counter = 0;
}

}  // namespace duzsdk
