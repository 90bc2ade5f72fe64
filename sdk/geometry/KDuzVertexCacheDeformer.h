// A deformer that drives a geometry's control points from a point-cache
// file, described by the cache connected as its source.
#pragma once

#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/object/KDuzProperty.h"

namespace duzsdk {

class KDuzCache;

class KDuzVertexCacheDeformer : public KDuzDeformer {
public:
    KDuzVertexCacheDeformer(KDuzSdkManager* manager, const char* name);
    ~KDuzVertexCacheDeformer() override;

    static KDuzVertexCacheDeformer* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    void PostCreate() override;
    KString GetTypeName() const override { return KString("VertexCacheDeformer"); }
    KStringList GetTypeFlags() const override;
    int GetDeformerType() const override { return eVertexCache; }
    // Mode 2: a deformer of this name filled by CopyFrom; other modes null.
    KDuzObject* Clone(int mode) override;

    // Null is ignored; otherwise the cache replaces every connected one.
    void SetCache(KDuzCache* cache);
    KDuzCache* GetCache() const;
    void DisconnectCaches();
    void SetCacheChannel(const char* name);
    KString GetCacheChannel() const;
    void SetActive(bool active);
    bool IsActive() const;
    // Active flag, channel, the other's cache (a null one leaves this
    // deformer's), then the deformer part.
    bool CopyFrom(const KDuzVertexCacheDeformer& other);

private:
    KDuzTypedProperty<KString> mChannelName;
    KDuzTypedProperty<bool> mActive;
};

}  // namespace duzsdk
