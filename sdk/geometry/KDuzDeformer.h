// The two roots of the deformer family. A deformer (skin, vertex cache) is
// a source of the geometry it changes; a sub-deformer (cluster) is a source
// of its deformer. Both are animatable objects with an error object and a
// multi-layer flag.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/base/KErrorState.h"

namespace duzsdk {

class KDuzDeformer_internal : public KDuzTakeNodeContainer_internal {
public:
    explicit KDuzDeformer_internal(KDuzObject* object) : KDuzTakeNodeContainer_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzSubDeformer_internal : public KDuzTakeNodeContainer_internal {
public:
    explicit KDuzSubDeformer_internal(KDuzObject* object) : KDuzTakeNodeContainer_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzDeformer : public KDuzTakeNodeContainer {
public:
    // The kinds that geometry queries select by.
    enum EDeformerType : int { eUnknown = 0, eSkin = 1, eVertexCache = 2 };

    KDuzDeformer(KDuzSdkManager* manager, const char* name);
    ~KDuzDeformer() override;

    static KDuzDeformer* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    void PostCreate() override;
    int GetNameKind() const override { return eDuzNameKindDeformer; }
    // Curve nodes of every animatable property.
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;

    virtual int GetDeformerType() const { return eUnknown; }

    void SetMultiLayer(bool multiLayer) { mMultiLayer = multiLayer; }
    bool GetMultiLayer() const { return mMultiLayer; }
    KErrorState& GetError() { return mError; }
    // The take nodes, the error state and the multi-layer flag.
    void CopyBase(const KDuzDeformer& other);

private:
    KErrorState mError;
    bool mMultiLayer = false;
};

class KDuzSubDeformer : public KDuzTakeNodeContainer {
public:
    enum ESubDeformerType : int { eUnknown = 0, eCluster = 1 };

    KDuzSubDeformer(KDuzSdkManager* manager, const char* name);
    ~KDuzSubDeformer() override;

    static KDuzSubDeformer* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    void PostCreate() override;
    int GetNameKind() const override { return eDuzNameKindSubDeformer; }
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;

    virtual int GetSubDeformerType() const { return eUnknown; }

    void SetMultiLayer(bool multiLayer) { mMultiLayer = multiLayer; }
    bool GetMultiLayer() const { return mMultiLayer; }
    KErrorState& GetError() { return mError; }
    void CopyBase(const KDuzSubDeformer& other);

private:
    KErrorState mError;
    bool mMultiLayer = false;
};

// Curve nodes of every animatable internal property of the container.
void KDuzAddAnimatablePropertiesToTakeNode(KDuzTakeNodeContainer& container, KDuzTakeNode* takeNode);

}  // namespace duzsdk
