// A pose: one transform matrix per node, either the bind pose of a skinned
// model (the matrices the nodes had when the skin was bound) or a rest pose.
// Poses are scene objects created through the SDK manager.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzObjectName.h"

namespace duzsdk {

class KDuzNode;
class KDuzScene;
class KDuzSdkManager;

// One entry of a pose.
struct KDuzPoseInfo {
    KgeMatrix matrix;
    // True when the matrix is relative to the node's parent, false when global.
    bool local = false;
    KDuzNode* node = nullptr;   // not owned
};

class KDuzPose_internal : public KDuzObject_internal {
public:
    explicit KDuzPose_internal(KDuzObject* object) : KDuzObject_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzPose : public KDuzObject {
public:
    enum EError {
        eError = 0,
        eNotABindPose,
        eRootIsNull,
        eMissingParents,
        eMissingDeformers,
        eMissingDeformerParents,
        eRelativeMatricesDiffer,
        eErrorCount
    };

    KDuzPose(KDuzSdkManager* manager, const char* name);
    ~KDuzPose() override;

    static KDuzPose* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- KDuzPlug / KDuzObject ----
    KClassId GetClassId() const override;
    void PostCreate() override;
    void DestroyContents(bool recursive, bool dependents) override;
    int GetNameKind() const override { return eDuzNameKindPose2; }
    // Clone type 2 only: a pose of the same name and kind, without entries.
    KDuzObject* Clone(int mode) override;
    // "BindPose" or "RestPose".
    KString GetTypeName() const override;

    // ---- kind ----
    void SetIsBindPose(bool isBindPose) { mKind = isBindPose ? 'b' : 'r'; }
    bool IsBindPose() const { return mKind == 'b'; }
    bool IsRestPose() const { return mKind == 'r'; }

    // ---- entries ----
    int GetCount() const { return mEntries.Count(); }
    // The entry's index, or -1 for a null node or a matrix that disagrees
    // with the node's bind matrix in another bind pose of the manager. A
    // node already in the pose keeps its first matrix and flag.
    int Add(KDuzNode* node, const KgeMatrix& matrix, bool local = false);
    // Nothing for an index out of range.
    void Remove(int index);
    // Index of the node's entry, or -1.
    int Find(const KDuzNode* node) const;
    // Null for an index out of range.
    KDuzNode* GetNode(int index) const;
    // The identity matrix for an index out of range.
    const KgeMatrix& GetMatrix(int index) const;
    // False for an index out of range.
    bool IsLocalMatrix(int index) const;
    // The node's initial, current and extra name; empty names for an index
    // out of range or an entry without node.
    KDuzObjectName GetNodeName(int index) const;
    // Passes when the pose has no entry for the node, or one whose matrix
    // equals the given one within 1e-6 per element; index gets the entry's
    // position or -1.
    bool CheckNodeMatrix(const KDuzNode* node, const KgeMatrix& matrix, int& index) const;
    // Removes every entry of the node; the number removed.
    int RemoveNode(const KDuzNode* node);

    KErrorState& GetError() { return mError; }
    const KErrorState& GetError() const { return mError; }

private:
    void DeleteEntries();

    KErrorState mError;
    char mKind = 'r';
    KPointerArray<KDuzPoseInfo> mEntries;
};

// For each pose of the scene in order (type 0 every pose, 1 bind poses, 2
// rest poses, any other none) that has an entry for the node: appends the
// pose and the entry's index. True when anything was appended.
bool KDuzPoseGetPosesContaining(int type, KDuzScene* scene, KDuzNode* node,
                                KPointerArray<KDuzPose>& poses, KTypedArray<int>& indices);
// The same with type 0 over every scene of the manager.
bool KDuzPoseGetPosesContainingInManager(KDuzSdkManager* manager, KDuzNode* node,
                                         KPointerArray<KDuzPose>& poses, KTypedArray<int>& indices);
// Removes the node from every pose the manager holds, in a scene or not; a
// node being destroyed calls it so no pose keeps a dangling node.
void KDuzPoseRemoveNodeFromAllPoses(KDuzSdkManager* manager, const KDuzNode* node);

}  // namespace duzsdk
