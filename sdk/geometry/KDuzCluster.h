// A cluster binds control points of a geometry, with weights, to one link
// node of a skin, together with the matrices that held when it was bound.
#pragma once

#include <vector>

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/base/KString.h"
#include "sdk/base/KgeMatrix.h"

namespace duzsdk {

class KDuzNode;

class KDuzCluster : public KDuzTakeNodeContainer {
public:
    enum ELinkMode : int { eNormalize = 0, eAdditive = 1, eTotalOne = 2 };

    KDuzCluster(KDuzSdkManager* manager, const char* name);
    ~KDuzCluster() override;

    static KDuzCluster* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    int GetNameKind() const override { return eDuzNameKindSubDeformer; }
    KString GetTypeName() const override { return KString("Cluster"); }

    // Link mode 1, identity matrices, no indices, no names, no link node.
    void Reset();

    void SetLinkMode(int mode) { mLinkMode = mode; }
    int GetLinkMode() const { return mLinkMode; }
    void SetUserData(const char* id, const char* data);
    const KString& GetUserDataID() const { return mUserDataId; }
    const KString& GetUserData() const { return mUserData; }

    // Ignored for a negative index.
    void AddControlPointIndex(int index, double weight);
    int GetControlPointIndicesCount() const { return static_cast<int>(mIndices.size()); }
    const int* GetControlPointIndices() const { return mIndices.data(); }
    const double* GetControlPointWeights() const { return mWeights.data(); }

    // Matrices are kept as stored.
    void SetTransformMatrix(const KgeMatrix& matrix) { mTransform = matrix; }
    const KgeMatrix& GetTransformMatrix() const { return mTransform; }
    void SetTransformLinkMatrix(const KgeMatrix& matrix) { mTransformLink = matrix; }
    const KgeMatrix& GetTransformLinkMatrix() const { return mTransformLink; }
    void SetTransformAssociateModelMatrix(const KgeMatrix& matrix) { mTransformAssociateModel = matrix; }
    const KgeMatrix& GetTransformAssociateModelMatrix() const { return mTransformAssociateModel; }
    void SetTransformParentMatrix(const KgeMatrix& matrix);
    const KgeMatrix& GetTransformParentMatrix() const { return mTransformParent; }
    bool IsTransformParentSet() const { return mTransformParentSet; }

    // The names of the link node and of the associate model as a file gave
    // them, for the reader that resolves them.
    void SetLinkName(const char* name) { mLinkName = name != nullptr ? name : ""; }
    const KString& GetLinkName() const { return mLinkName; }
    void SetAssociateModelName(const char* name) { mAssociateModelName = name != nullptr ? name : ""; }
    const KString& GetAssociateModelName() const { return mAssociateModelName; }

    // The link node is the cluster's first node source.
    void SetLink(KDuzNode* node);
    KDuzNode* GetLink() const;

private:
    int mLinkMode = eAdditive;
    KString mUserDataId;
    KString mUserData;
    std::vector<int> mIndices;
    std::vector<double> mWeights;
    KgeMatrix mTransform;
    KgeMatrix mTransformLink;
    KgeMatrix mTransformAssociateModel;
    KgeMatrix mTransformParent;
    bool mTransformParentSet = false;
    KString mLinkName;
    KString mAssociateModelName;
};

}  // namespace duzsdk
