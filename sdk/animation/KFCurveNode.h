#pragma once
// Node of an animation channel tree: inner nodes group channels ("Transform"
// holds "T", "R", "S"), leaves hold one KFCurve each. A node may carry a chain
// of layer nodes stacked over it, a shared time-warp node that remaps time, and
// an owner node told of changes.

#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/animation/KFCurve.h"
#include "sdk/base/KTime.h"

namespace duzsdk {

// The object model's data types and properties are only referred to here.
class KDataType;
class KProperty;
class KFCurveNode;

enum ECurveNodeLayerType : int {
    eCurveNodeLayerPlain = 0,
    eCurveNodeLayerTranslation = 1,
    eCurveNodeLayerRotation = 2,
    eCurveNodeLayerScaling = 3,
    eCurveNodeLayerQuaternion = 4,
};

// Notification flags of a curve node.
enum : int {
    kFCurveNodeNotifyDestroyed = 2,
    kFCurveNodeNotifyCurve = 4,
    kFCurveNodeNotifyTimeWarp = 8,
    kFCurveNodeNotifyLayers = 16,
};

// Node flags.
enum : int {
    kFCurveNodeFlagCarried = 0x02,
    kFCurveNodeFlagReference = 0x08,
    kFCurveNodeFlagLayersAllowed = 0x40,
    kFCurveNodeFlagCacheAnyTime = 0x80,
};

// Trees deeper than this are refused by the recursive operations that can be
// driven by file content.
inline constexpr int kFCurveNodeMaxDepth = 64;

struct KFCurveNodeNotification;
using KFCurveNodeCallback = void (*)(KFCurveNode* node, KFCurveNodeNotification* record, void* userData);

struct KFCurveNodeNotification {
    int mFlags = 0;
    int mCount = 0;
    int mReserved = 0;
    std::vector<KFCurveNodeCallback> mCallbacks;
    std::vector<void*> mUserData;
    bool mEnabled = true;
};

class KFCurveNode {
public:
    // The type name is given apart from the name (KFCurveNodeCreate uses the
    // name itself).
    KFCurveNode(const char* name, const char* typeName, const KDataType* dataType, int layerType = 0,
                int layerId = 0);
    // Shares the template's names.
    explicit KFCurveNode(KFCurveNode* templateNode);
    virtual ~KFCurveNode();
    KFCurveNode(const KFCurveNode&) = delete;
    KFCurveNode& operator=(const KFCurveNode&) = delete;

    // Child management (the node's virtual operations).
    virtual void Clear();
    virtual int AddChild(KFCurveNode* child);
    virtual void DetachChild(int index);
    virtual void RemoveChild(int index);
    virtual int GetChildCount() const;
    virtual KFCurveNode* GetChild(int index) const;
    virtual bool HasChild(const KFCurveNode* node, bool recursive = false) const;
    virtual KFCurveNode* FindChildByDataType(const KDataType* dataType) const;
    virtual int FindChildIndex(const KFCurveNode* child) const;
    virtual int FindChildIndexByName(const char* name) const;
    virtual void SetParent(KFCurveNode* parent);
    virtual KFCurveNode* GetParent() const;
    virtual int InsertChildSorted(KFCurveNode* child);

    // Names and types.
    const char* GetName() const;
    const char* GetTypeName() const;
    const KDataType* GetDataType() const;
    // Shares another node's names (a null node only releases this node's).
    void SetSharedName(KFCurveNode* source);
    // A bound property gives the node its name.
    void SetProperty(KProperty* property);
    KProperty* GetProperty() const;
    bool IsReferenceNode() const { return (mFlags & kFCurveNodeFlagReference) != 0; }
    bool LayersAllowed() const { return (mFlags & kFCurveNodeFlagLayersAllowed) != 0; }
    int GetFlags() const { return mFlags; }
    void SetFlag(int flag, bool on) { mFlags = on ? (mFlags | flag) : (mFlags & ~flag); }
    int GetUserTag() const { return mUserTag; }
    void SetUserTag(int tag) { mUserTag = tag; }
    int GetReferenceCount() const { return mReferenceCount; }
    KFCurveNode* GetTemplate() const { return mTemplate; }

    // Tree look-ups. Paths are "/"-separated; the text is never written to.
    KFCurveNode* FindByPath(const char* path) const;
    KFCurveNode* FindDescendantByDataType(const KDataType* dataType) const;
    bool GetTRSCurves(KFCurve* t[3], KFCurve* r[3], KFCurve* s[3]) const;
    KFCurveNode* FindOrCreateChild(const char* name, bool withCurve);
    void DeleteChild(KFCurveNode* node);

    // Curve, time warp, layers.
    KFCurve* GetCurve() const { return mCurve; }
    KFCurve* SetCurve(KFCurve* curve, bool destroyOld = true);
    void CreateCurves();
    KFCurveNode* GetTimeWarp() const { return mTimeWarp; }
    void SetTimeWarp(KFCurveNode* node);
    KFCurveNode* GetLayer() const { return mLayer; }
    void SetLayer(KFCurveNode* node, bool destroyOld = true);
    KFCurveNode* FindLayer(int layerId);
    int GetLayerType() const { return mLayerType; }
    int SetLayerType(int type, KFCurveNode* owner = nullptr);
    int GetLayerId() const { return mLayerId; }
    int GetRotationOrder() const { return mRotationOrder; }
    void SetRotationOrder(int order);
    bool GetQuaternionInterpolation() const { return mQuaternionInterpolation; }
    void SetQuaternionInterpolation(bool on);
    KFCurveNode* GetOwnerNode() const { return mOwner; }
    void SetOwnerNode(KFCurveNode* owner) { mOwner = owner; }

    // Copies.
    KFCurveNode* Clone(bool asTemplate, bool copyCurves = true, bool createCurves = false, int layerId = -1) const;
    void CopyFrom(KFCurveNode* source, bool moveCurves = false);
    void CopyLayersFrom(KFCurveNode* source);
    bool CreateLayer(int layerId, bool destroyOld = true);
    bool InsertLayer(int layerId);
    // Neutral values of the layer type, one per output channel; returns the count.
    int GetNeutralValues(double* values) const;

    // Counting and key times.
    int GetKeyCount(bool withLayers = false) const;
    bool GetKeySpan(KTime& start, KTime& stop) const;
    bool ExtendAnimationInterval(KTime& start, KTime& stop) const;
    // Entries beyond maskCount count as set; a null mask sets every entry.
    KTime GetPreviousKeyTime(KTime time, const bool* mask = nullptr, int maskCount = 0) const;
    KTime GetNextKeyTime(KTime time, const bool* mask = nullptr, int maskCount = 0, bool withLayers = false) const;

    // Notification.
    void Notify(int flags);
    void CallbackRegister(KFCurveNodeCallback callback, void* userData);
    void CallbackUnregister(KFCurveNodeCallback callback, void* userData);
    int GetChangeCount() const { return mChangeCount; }

    // Evaluation. Each writes one double per channel in tree order and returns
    // the position after the last value written. GetValueCount says how many
    // values that is.
    int GetValueCount() const;
    double* EvaluateAt(double* values, KTime time, int* indexHint = nullptr);
    double* Evaluate(double* values, KTime time, int* indexHint, bool useCache);
    double* EvaluateLayer(double* values, KTime time, int layerId, int* indexHint = nullptr);
    double* GatherValuesAt(double* values, KTime time, int* indexHint = nullptr) const;
    double* GatherDefaultValues(double* values) const;
    void InvalidateCache(int layerId = 0, bool withLayers = true);
    const double* KeyAppend(KTime time, const double* values, bool unrollRotation);
    void UnrollRotationValues(double* out, const double* values, KTime time) const;
    bool ReplaceRange(KFCurveNode* source, KTime start, KTime stop, bool useExactSpan, bool keysAtEndsWhenEmpty,
                      KTime offset);
    bool ReplaceQuaternionChannels(KFCurveNode* source, KTime start, KTime stop, double startFactor,
                                   double stopFactor, bool useExactSpan, bool keysAtEndsWhenEmpty, KTime offset);
    bool ComputeEulerOffsets(double* offsets, const double* previous, const double* current) const;

    int GetCacheState() const { return mCacheState; }

private:
    struct NameRecord;

    void ReleaseName();
    KFCurveNode* FindSegment(const char* segment, std::size_t length, int depth) const;
    KFCurveNode* FindDescendantImpl(const KDataType* dataType, int depth) const;
    KFCurveNode* CloneImpl(bool asTemplate, bool copyCurves, bool createCurves, int layerId, int depth) const;
    void CopyFromImpl(KFCurveNode* source, bool moveCurves, int depth, bool withLayers);
    int GetKeyCountImpl(bool withLayers, int depth) const;
    bool ExtendImpl(std::int64_t& start, std::int64_t& stop, int depth) const;
    void KeyTimeSearch(std::int64_t time, const bool* mask, int maskCount, bool next, bool withLayers,
                       std::int64_t& best, bool& found, int depth) const;
    int GetValueCountImpl(int depth) const;
    double* EvaluateImpl(double* values, KTime time, int* indexHint, bool useCache, int depth);
    double* EvaluateChildren(double* values, KTime time, int* indexHint, bool useCache, int depth);
    double* EvaluateRotation(double* values, KTime time, int* indexHint, bool useCache, int depth);
    bool EvaluateRotationQuaternion(double* values, KTime time, int* indexHint, bool useCache);
    double* GatherImpl(double* values, KTime time, int* indexHint, int depth) const;
    double* GatherDefaultImpl(double* values, int depth) const;
    void InvalidateImpl(int layerId, bool withLayers, int depth);
    const double* KeyAppendImpl(KTime time, const double* values, int depth);
    bool ReplaceRangeImpl(KFCurveNode* source, KTime start, KTime stop, bool useExactSpan, bool keysAtEnds,
                          KTime offset, int depth);
    void CreateCurvesImpl(int depth);
    // Keeps the child index in step with a child appended at the end.
    void IndexAppendedChild();

    bool mQuaternionInterpolation = false;
    NameRecord* mName = nullptr;
    int mFlags = kFCurveNodeFlagLayersAllowed | 0x20;
    int mReferenceCount = 0;
    std::vector<KFCurveNode*> mChildren;
    // Look-up of children by name for nodes with many (a take node's root
    // has one child per animated property): made when first needed, kept
    // in step with appended children, dropped by any other change.
    struct ChildIndex;
    mutable std::unique_ptr<ChildIndex> mChildIndex;
    KFCurve* mCurve = nullptr;
    KFCurveNode* mTimeWarp = nullptr;
    KFCurveNode* mLayer = nullptr;
    KFCurveNode* mOwner = nullptr;
    KFCurveNode* mTemplate = nullptr;
    KFCurveNode* mParent = nullptr;
    int mLayerType = 0;
    int mLayerId = 0;
    int mChangeCount = 0;
    int mRotationOrder = 0;
    int mCacheState = 1;
    double mCachedValues[4] = {0.0, 0.0, 0.0, 0.0};
    std::int64_t mCachedTime = kFCurveInfiniteTicks;
    KFCurveNodeNotification* mNotification = nullptr;
    int mUserTag = 0;
};

// A new node named `name` whose type name is the name itself (none for the
// "TimeWarp" data type); null when allocation fails.
KFCurveNode* KFCurveNodeCreate(const char* name, const KDataType* dataType = nullptr, int layerType = 0,
                               int layerId = 0);
KFCurveNode* KFCurveNodeCreateFromTemplate(KFCurveNode* templateNode);

// Vector and angle helpers of the node evaluation.
void KgeVectorAddN(double* dst, const double* a, const double* b, int n);
void KgeVectorScaleN(double* dst, const double* a, double s, int n);
void KgeVectorLerpN(double* dst, const double* a, const double* b, double u, int n);
void KgeVectorBezierN(double* dst, const double* p0, const double* p1, const double* p2, const double* p3, double u,
                      int n);
double KgeVector4Length(const double* v);
double KgeAngleNearest(double angle, double reference);
void KgeMatrixFromQuaternionRotation(double* m, const double* q);
void KgeMatrixFromEulerXYZRotation(double* m, const double* euler);
// Picks the Euler triple equivalent to the candidate that lies nearest the
// reference; true when the alternative form was taken.
bool KgeEulerEquivalentChoose(double* out, const double* candidate, const double* reference, const int* axes);
bool KgeEulerEquivalentChooseForOrder(double* out, const double* candidate, const double* reference, int order);

}  // namespace duzsdk
