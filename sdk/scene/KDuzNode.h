// The element of the scene tree. A node has at most one parent, any number
// of children and node attributes; none of them is stored in the node: they
// are its connections (children and attributes are its sources, the parent
// its first node destination). Its transform values live in the properties
// of its internal object; the evaluation reads the default take's curves.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/base/KStringList.h"
#include "sdk/base/KTime.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/base/duzVectorTemplate3.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzNodeTransform.h"

#include <memory>
#include <vector>

namespace duzsdk {

class KDuzNode;
class KDuzNode_internal;
class KDuzNodeLimits;
class KDuzSdkManager;
class KDuzTakeNode;

// Error codes of a node.
enum EDuzNodeError : int {
    eDuzNodeErrorTakeNode = 0,
    eDuzNodeErrorNodeNameClash = 1,
    eDuzNodeErrorMaterialNameClash = 2,
    eDuzNodeErrorTextureNameClash = 3,
    eDuzNodeErrorNotAChild = 4,
    eDuzNodeErrorCyclicGraph = 5,
    eDuzNodeErrorIndexOutOfRange = 7,
    eDuzNodeErrorAttributeNotConnected = 8,
    eDuzNodeErrorCount = 9,
};
// Texts of the codes above, code 6 empty.
extern const char* const kDuzNodeErrorTexts[eDuzNodeErrorCount];

// Attribute type codes, the same values as KDuzNodeAttribute's.
enum ENodeAttributeType : int {
    eUnidentified = KDuzNodeAttribute::eUnidentified,
    eNull = KDuzNodeAttribute::eNull,
    eMarker = KDuzNodeAttribute::eMarker,
    eSkeleton = KDuzNodeAttribute::eSkeleton,
    eMesh = KDuzNodeAttribute::eMesh,
    eNurb = KDuzNodeAttribute::eNurb,
    ePatch = KDuzNodeAttribute::ePatch,
    eCamera = KDuzNodeAttribute::eCamera,
    eCameraSwitcher = KDuzNodeAttribute::eCameraSwitcher,
    eLight = KDuzNodeAttribute::eLight,
    eOpticalReference = KDuzNodeAttribute::eOpticalReference,
    eNurbsCurve = KDuzNodeAttribute::eNurbsCurve,
    eTrimNurbsSurface = KDuzNodeAttribute::eTrimNurbsSurface,
    eBoundary = KDuzNodeAttribute::eBoundary,
    eNurbsSurface = KDuzNodeAttribute::eNurbsSurface,
};

// Kinds of character-link records.
enum EDuzCharacterLinkType : int {
    eDuzCharacterLinkCharacter = 0,
    eDuzCharacterLinkControlSet = 1,
    eDuzCharacterLinkEffector = 2,
    eDuzCharacterLinkAuxEffector = 3,
};

// A back-reference from a character or control set to this node.
struct KDuzNodeCharacterLink {
    void* object = nullptr;
    int type = 0;
    int index = 0;
    int extra = 0;
    bool operator==(const KDuzNodeCharacterLink&) const = default;
};

// Clears a character-side reference to a dying node; installed by the
// character layer. Must check its indices: the records may come from a file.
using KDuzCharacterLinkClearer = void (*)(const KDuzNodeCharacterLink& link, KDuzNode* node);
void KDuzSetCharacterLinkClearer(KDuzCharacterLinkClearer clearer);

class KDuzNode : public KDuzTakeNodeContainer {
public:
    KDuzNode(KDuzSdkManager* manager, const char* name);
    ~KDuzNode() override;

    static KDuzNode* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- object slots ----
    KClassId GetClassId() const override;
    void DestroyContents(bool recursive, bool dependents) override;
    int GetNameKind() const override { return 1; }
    // Clone type 2 only: a new node of this name, copied from this one.
    KDuzObject* Clone(int type) override;
    KDuzNode_internal* GetNodeInternal() const { return mInternal; }
    KString GetTypeName() const override;
    KStringList GetTypeFlags() const override;
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;
    // A fresh node's default take: the transform and visibility channels.
    void FillDefaultTakeLater(KDuzTakeNode* takeNode) override;
    void PropertyChanged(KDuzProperty& property) override;
    // The node's report of a change of a property that is not animatable
    // only touches the transforms, which a reader does itself.
    bool StoresReadValueWithoutHandle(int /*index*/) const override { return true; }
    bool ConnectNotify(const KDuzConnectEvent& event) override;
    // By name; both drop the transform caches.
    bool SetCurrentTakeNodeByName(const char* name) override;
    bool SetCurrentTakeNode(int index) override;
    // Over the node's whole subtree.
    bool GetAnimationInterval(KTime& start, KTime& stop) override;
    bool SetCurrentTakeNodeByIndex(int index) { return SetCurrentTakeNode(index); }

    // Copies the node's own state (not its children) from source.
    void Copy(const KDuzNode& source);

    // ---- hierarchy ----
    KDuzNode* GetParent() const;
    // Moves the child here (one parent only). Refuses a null child, the node
    // itself and its ancestors (error 5).
    bool AddChild(KDuzNode* child);
    KDuzNode* RemoveChild(KDuzNode* child);
    int GetChildCount(bool recursive = false) const;
    // Null when out of range.
    KDuzNode* GetChild(int index) const;
    // Pre-order, case-sensitive.
    KDuzNode* FindChild(const char* name, bool recursive = true, bool initialName = false) const;
    void AddChildName(const char* name);
    int GetChildNameCount() const { return static_cast<int>(mChildNames.size()); }
    // Null when out of range.
    const char* GetChildName(int index) const;
    // True when node is this node or one of its ancestors.
    bool IsSelfOrAncestor(const KDuzNode* node) const;
    // True when connecting child below this node would close a loop.
    bool WouldCreateCycle(const KDuzNode* child) const;

    // ---- node attributes ----
    int GetNodeAttributeCount() const;
    KDuzObject* GetNodeAttributeByIndex(int index) const;
    int GetDefaultNodeAttributeIndex() const;
    bool SetDefaultNodeAttributeIndex(int index);
    int GetNodeAttributeIndex(const KDuzObject* attribute);
    KDuzObject* GetNodeAttribute() const;
    // Returns the previous default attribute detached (the caller owns it),
    // or null when the attribute was attached already.
    KDuzObject* SetNodeAttribute(KDuzObject* attribute);
    bool AddNodeAttribute(KDuzObject* attribute);
    // The type code of an attribute (0 for null or unknown).
    static int GetAttributeTypeOf(const KDuzObject* attribute);

    KDuzObject* GetNull() const { return DefaultIfType(eNull); }
    KDuzObject* GetMarker() const { return DefaultIfType(eMarker); }
    KDuzObject* GetSkeleton() const { return DefaultIfType(eSkeleton); }
    KDuzObject* GetCamera() const { return DefaultIfType(eCamera); }
    KDuzObject* GetCameraSwitcher() const { return DefaultIfType(eCameraSwitcher); }
    KDuzObject* GetLight() const { return DefaultIfType(eLight); }
    KDuzObject* GetGeometry() const;
    KDuzObject* GetMesh() const { return FindGeometryOfType(eMesh); }
    KDuzObject* GetNurb() const { return FindGeometryOfType(eNurb); }
    KDuzObject* GetPatch() const { return FindGeometryOfType(ePatch); }
    KDuzObject* GetNurbsCurve() const { return FindGeometryOfType(eNurbsCurve); }
    KDuzObject* GetNurbsSurface() const { return FindGeometryOfType(eNurbsSurface); }

    // ---- targets ----
    bool SetLookAtTarget(KDuzObject* object);
    KDuzNode* GetLookAtTarget() const;
    bool SetUpVectorTarget(KDuzObject* object);
    KDuzNode* GetUpVectorTarget() const;
    void SetPostTargetRotation(const KgeTVector& v) { mPostTargetRotation = v; }
    KgeTVector GetPostTargetRotation() const { return mPostTargetRotation; }
    void SetTargetUpVector(const KgeTVector& v) { mTargetUpVector = v; }
    KgeTVector GetTargetUpVector() const { return mTargetUpVector; }

    // ---- display state ----
    void SetVisibility(bool visible);
    bool GetVisibility() const;
    void SetShadingMode(int mode) { mShadingMode = mode; }
    int GetShadingMode() const { return mShadingMode; }
    void SetMultiLayer(bool on) { mMultiLayer = on; }
    bool GetMultiLayer() const { return mMultiLayer; }
    void SetMultiTake(int value) { mMultiTake = value; }
    int GetMultiTake() const { return mMultiTake; }
    // 0 off, 1 counter-clockwise, 2 clockwise (stored for the file layers).
    void SetCullingType(int type) { mCullingType = type; }
    int GetCullingType() const { return mCullingType; }
    void SetFlagged(bool on) { mFlagged = on; }
    bool IsFlagged(bool recursive = false) const;
    void SetLegacyModel(bool on) { mLegacyModel = on; }
    bool GetLegacyModel() const { return mLegacyModel; }

    // ---- character links ----
    int AddCharacterLink(void* object, int type, int index, int extra);
    int FindCharacterLink(void* object, int type, int index, int extra) const;
    int RemoveCharacterLink(void* object, int type, int index, int extra);
    int GetCharacterLinkCount() const { return static_cast<int>(mCharacterLinks.size()); }
    // Null when out of range.
    const KDuzNodeCharacterLink* GetCharacterLink(int index) const;

    // ---- errors ----
    KErrorState& GetError() { return mError; }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }
    int GetLastErrorIndex() const { return mError.GetLastErrorIndex(); }

    // ---- local transform properties ----
    duzVectorTemplate3<double> GetLclTranslation() const;
    duzVectorTemplate3<double> GetLclRotation() const;
    duzVectorTemplate3<double> GetLclScaling() const;
    bool SetLclTranslation(const duzVectorTemplate3<double>& v);
    bool SetLclRotation(const duzVectorTemplate3<double>& v);
    bool SetLclScaling(const duzVectorTemplate3<double>& v);
    void SetTransformationInheritType(int type);
    int GetTransformationInheritType() const;
    void SetRotationActive(bool active);
    bool GetRotationActive() const;
    void ResetTransformProperties();
    // Run by the writers before writing a node.
    void UpdatePropertiesFromPivotsAndLimits();
    // Run by the readers after reading a node.
    void UpdatePivotsAndLimitsFromProperties();

    // ---- pivot sets (set 0 or 1; set 0 is mirrored into the evaluation record) ----
    void SetRotationOffset(int set, const KgeTVector& v);
    KgeTVector GetRotationOffset(int set) const;
    void SetRotationPivot(int set, const KgeTVector& v);
    KgeTVector GetRotationPivot(int set) const;
    void SetScalingOffset(int set, const KgeTVector& v);
    KgeTVector GetScalingOffset(int set) const;
    void SetScalingPivot(int set, const KgeTVector& v);
    KgeTVector GetScalingPivot(int set) const;
    void SetPreRotation(int set, const KgeTVector& v);
    KgeTVector GetPreRotation(int set) const;
    void SetPostRotation(int set, const KgeTVector& v);
    KgeTVector GetPostRotation(int set) const;
    void SetGeometricTranslation(int set, const KgeTVector& v);
    KgeTVector GetGeometricTranslation(int set) const;
    void SetGeometricRotation(int set, const KgeTVector& v);
    KgeTVector GetGeometricRotation(int set) const;
    void SetGeometricScaling(int set, const KgeTVector& v);
    KgeTVector GetGeometricScaling(int set) const;
    void SetRotationOrder(int set, int order);
    void GetRotationOrder(int set, int& order) const;
    void SetRotationSpaceForLimitOnly(int set, bool on);
    bool GetRotationSpaceForLimitOnly(int set) const;
    void SetQuaternionInterpolate(int set, bool on);
    bool GetQuaternionInterpolate(int set) const;
    void SetPivotState(int set, int state);
    int GetPivotState(int set) const;
    // Null for a set other than 0 or 1.
    const KDuzNodePivotSet* GetPivotSet(int set) const;
    void SelectPivotSet(int set);
    // This node and its subtree.
    void ResetPivotSet(int set);

    // ---- evaluation ----
    KDuzNodeTransformEvaluation& GetTransformEvaluationRecord();
    const KDuzNodeTransformEvaluation& GetTransformEvaluationRecord() const;
    KDuzNodeLimits* GetLimits() const { return mLimits; }
    KgeTVector GetDefaultT(bool applyLimits = true);
    KgeTVector GetDefaultR(bool applyLimits = true);
    KgeTVector GetDefaultS(bool applyLimits = true);
    void GetDefaultTRS(bool applyLimits = true);
    KgeTVector GetLocalTFromCurrentTake(KTime time, bool applyLimits = true);
    KgeTVector GetLocalRFromCurrentTake(KTime time, bool applyLimits = true);
    KgeTVector GetLocalSFromCurrentTake(KTime time, bool applyLimits = true);
    void GetLocalTRSFromCurrentTake(KTime time, bool applyLimits = true);
    const KgeMatrix& GetGlobalTransform(int set = 0);
    const KgeMatrix& GetGlobalTransformAtTime(KTime time, int set = 0);
    // Forgets both caches (the node's own).
    void DropTransformCaches();
    void SetDecomposedTransform(const KgeMatrix& m);
    const KDuzDecomposedTransform& GetDecomposedTransform(int index) const;

    // ---- pivot conversion ----
    // Bakes pivot set 0 of this node and its subtree into the animation;
    // false for a frame rate that is not above 0.
    bool ConvertPivotAnimation(double frameRate, int flag);
    // direction 1: set 0 to set 1; direction 0: set 1 to set 0.
    bool ConvertPivotAnimationRecursive(int direction, double frameRate, int flag);

    // Bumped by every change that can move a node; caches filled at an
    // older count are refilled.
    static void TouchTransforms();

private:
    friend class KDuzNode_internal;

    KDuzObject* DefaultIfType(int type) const;
    KDuzObject* FindGeometryOfType(int type) const;
    void RecomputeDisplayValues();
    bool SetTarget(const char* propertyName, KDuzObject* object);
    KDuzNode* GetTarget(const char* propertyName) const;
    // A transform channel's value (id of the node's property list) read or
    // written without making a handle for it, unless one exists or the
    // take's curves follow the value.
    duzVectorTemplate3<double> ReadChannel(int id) const;
    bool WriteChannel(int id, const duzVectorTemplate3<double>& v);
    KgeTVector LocalDefault(int channel, bool applyLimits);
    KgeTVector LocalAtTime(int channel, KTime time, bool applyLimits);
    void ApplyLimits(int channel, KgeTVector& v) const;
    void ValidateCache(KDuzNodeTransformCache& cache);
    bool GlobalIsCached(bool atTime, KTime time);
    const KgeMatrix& EvaluateGlobal(bool atTime, KTime time, int set);
    // This node's global transform from its parent's, which is up to date.
    void ComposeOwnGlobal(bool atTime, KTime time, int set);
    bool GetSubtreeAnimationInterval(KTime& start, KTime& stop);
    void ConvertPivotAnimationNode(int direction, double frameRate, int flag);
    KDuzNodePivotSet* PivotSet(int set);
    // The "Transform" (T, R, S) and "Visibility" channels of a take.
    void AddTransformChannelsToTakeNode(KDuzTakeNode* takeNode);
    KDuzNodeCaches& Caches();
    // Whether the "Visibility" property is not made yet (it then holds 1).
    bool VisibilityUnmade() const;

    bool mLegacyModel = false;
    KDuzNode_internal* mInternal = nullptr;
    std::vector<KString*> mChildNames;
    int mCullingType = 0;
    int mReservedWord = 0;
    KgeTVector mPostTargetRotation;
    KgeTVector mTargetUpVector;
    int mShadingMode = 0;
    bool mMultiLayer = false;
    int mMultiTake = 1;
    std::unique_ptr<KDuzNodeCaches> mCaches;   // made on first evaluation
    KDuzNodeLimits* mLimits = nullptr;
    bool mFlagged = false;
    std::vector<KDuzNodeCharacterLink> mCharacterLinks;
    KErrorState mError;
    int mTrailingWord = 0;
};

}  // namespace duzsdk
