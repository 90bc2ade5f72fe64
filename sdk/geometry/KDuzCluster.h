// A cluster binds control points of a geometry, with weights, to one link
// node of a skin, together with the matrices that held when it was bound.
#pragma once

#include <vector>

#include "sdk/base/KString.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/object/KDuzProperty.h"

namespace duzsdk {

class KDuzNode;

class KDuzCluster : public KDuzSubDeformer {
public:
    enum ELinkMode : int { eNormalize = 0, eAdditive = 1, eTotalOne = 2 };

    KDuzCluster(KDuzSdkManager* manager, const char* name);
    ~KDuzCluster() override;

    static KDuzCluster* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    void PostCreate() override;
    KString GetTypeName() const override { return KString("Cluster"); }
    KStringList GetTypeFlags() const override;
    int GetSubDeformerType() const override { return eCluster; }
    // Mode 2: a cluster of this name filled by CopyFrom (same link node and
    // associate model); other modes give null.
    KDuzObject* Clone(int mode) override;

    // Link mode 1, identity matrices, no indices, no names; the link node
    // and the associate model are disconnected.
    void Reset();
    // Reset, then the other's link, associate model, user data, link mode,
    // matrices as stored, parent flag, indices and weights.
    bool CopyFrom(const KDuzCluster& other);

    void SetLinkMode(int mode) { mLinkMode = mode; }
    int GetLinkMode() const { return mLinkMode; }
    void SetUserData(const char* id, const char* data);
    KString GetUserDataID() const { return mUserDataId; }
    KString GetUserData() const { return mUserData; }

    // Ignored for a negative index. Indices are not checked against any
    // geometry here: whoever applies the cluster checks them.
    void AddControlPointIndex(int index, double weight);
    int GetControlPointIndicesCount() const { return static_cast<int>(mIndices.size()); }
    const int* GetControlPointIndices() const { return mIndices.data(); }
    const double* GetControlPointWeights() const { return mWeights.data(); }
    // Drops every index (with its weight) outside 0 .. pointCount - 1, in
    // place and keeping the order; how many were dropped.
    int DropIndicesOutside(int pointCount);
    // Room for count more entries, so that readers fill without regrowing.
    void ReserveControlPointIndices(int count);

    // Setters keep the matrix as given; getters give it rebuilt from its
    // translation, Euler XYZ rotation and scaling, so shear and projective
    // terms do not survive. Each getter returns out.
    void SetTransformMatrix(const KgeMatrix& matrix) { mTransform = matrix; }
    KgeMatrix& GetTransformMatrix(KgeMatrix& out) const;
    void SetTransformLinkMatrix(const KgeMatrix& matrix) { mTransformLink = matrix; }
    KgeMatrix& GetTransformLinkMatrix(KgeMatrix& out) const;
    void SetTransformAssociateModelMatrix(const KgeMatrix& matrix) { mTransformAssociateModel = matrix; }
    KgeMatrix& GetTransformAssociateModelMatrix(KgeMatrix& out) const;
    // Also records that a parent matrix is set.
    void SetTransformParentMatrix(const KgeMatrix& matrix);
    KgeMatrix& GetTransformParentMatrix(KgeMatrix& out) const;
    bool IsTransformParentSet() const { return mTransformParentSet; }
    // The matrices exactly as stored, for readers that combine them.
    const KgeMatrix& GetStoredTransformMatrix() const { return mTransform; }
    const KgeMatrix& GetStoredTransformLinkMatrix() const { return mTransformLink; }
    const KgeMatrix& GetStoredTransformAssociateModelMatrix() const { return mTransformAssociateModel; }
    const KgeMatrix& GetStoredTransformParentMatrix() const { return mTransformParent; }
    // The matrix rebuilt from its translation, Euler XYZ rotation and scaling.
    static KgeMatrix Rebuild(const KgeMatrix& matrix);

    // The names of the link node and of the associate model as a file gave
    // them, for the reader that resolves them.
    void SetLinkName(const char* name) { mLinkName = name != nullptr ? name : ""; }
    const KString& GetLinkName() const { return mLinkName; }
    void SetAssociateModelName(const char* name) { mAssociateModelName = name != nullptr ? name : ""; }
    const KString& GetAssociateModelName() const { return mAssociateModelName; }

    // The link node is the cluster's first node source. True when the
    // connection was made.
    bool SetLink(KDuzNode* node);
    KDuzNode* GetLink() const;
    // The associate model is the node connected to "SrcModelReference";
    // setting one replaces the previous one. True when connected.
    bool SetAssociateModel(KDuzNode* node);
    KDuzNode* GetAssociateModel() const;
    // The "SrcModelReference" property (invalid when missing).
    KDuzProperty GetSrcModelReferenceProperty() const;

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
