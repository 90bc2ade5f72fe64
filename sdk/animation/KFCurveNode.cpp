// The channel tree of KFCurveNode: children, names, look-ups, curves, time
// warps, layer chains, copies, key times and notification.

#include "sdk/animation/KFCurveNode.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "sdk/base/KFirstNameIndex.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KProperty.h"

namespace duzsdk {

struct KFCurveNode::NameRecord {
    std::string name;
    std::string typeName;
    const KDataType* dataType = nullptr;
    KProperty* property = nullptr;
    int references = 1;
};

namespace {

bool IsDataTypeNamed(const KDataType* type, const char* name)
{
    return type && type->GetName() && std::strcmp(type->GetName(), name) == 0;
}

// The short path segments that stand for the transform data types.
const char* TransformTypeForSegment(const char* segment, std::size_t length)
{
    if (length != 1) return nullptr;
    switch (segment[0]) {
    case 'T': return "Lcl Translation";
    case 'R': return "Lcl Rotation";
    case 'S': return "Lcl Scaling";
    default: return nullptr;
    }
}

bool MaskEntry(const bool* mask, int maskCount, int index)
{
    return !mask || index >= maskCount || index < 0 || mask[index];
}

}  // namespace

KFCurveNode* KFCurveNodeCreate(const char* name, const KDataType* dataType, int layerType, int layerId)
{
    const char* typeName = IsDataTypeNamed(dataType, "TimeWarp") ? "" : name;
    return new (std::nothrow) KFCurveNode(name, typeName, dataType, layerType, layerId);
}

KFCurveNode* KFCurveNodeCreateFromTemplate(KFCurveNode* templateNode)
{
    if (!templateNode) return nullptr;
    return new (std::nothrow) KFCurveNode(templateNode);
}

void KFCurveObjectDelete(KFCurveNode* node)
{
    delete node;
}

// ---------------------------------------------------------------------------
// Construction

KFCurveNode::KFCurveNode(const char* name, const char* typeName, const KDataType* dataType, int layerType,
                         int layerId)
    : mName(new NameRecord), mOwner(this), mLayerId(layerId)
{
    mName->name = name ? name : "";
    mName->typeName = typeName ? typeName : "";
    mName->dataType = dataType;
    SetLayerType(layerType);
}

KFCurveNode::KFCurveNode(KFCurveNode* templateNode)
    : mOwner(this), mTemplate(templateNode)
{
    mName = templateNode->mName;
    ++mName->references;
    SetLayerType(templateNode->mLayerType);
    mRotationOrder = templateNode->mRotationOrder;
    mQuaternionInterpolation = templateNode->mQuaternionInterpolation;
    mCacheState = templateNode->mCacheState;
    mCachedTime = templateNode->mCachedTime;
    std::memcpy(mCachedValues, templateNode->mCachedValues, sizeof mCachedValues);
}

KFCurveNode::~KFCurveNode()
{
    Notify(kFCurveNodeNotifyDestroyed);
    delete mNotification;
    mNotification = nullptr;
    Clear();
    if (mParent) {
        auto& siblings = mParent->mChildren;
        auto it = std::find(siblings.begin(), siblings.end(), this);
        if (it != siblings.end()) siblings.erase(it);
        mParent->mChildIndex.reset();
        mParent = nullptr;
    }
    ReleaseName();
}

void KFCurveNode::ReleaseName()
{
    if (mName && --mName->references <= 0) delete mName;
    mName = nullptr;
}

// ---------------------------------------------------------------------------
// Children

void KFCurveNode::Clear()
{
    for (int i = GetChildCount() - 1; i >= 0; --i) {
        if (IsReferenceNode()) DetachChild(i); else RemoveChild(i);
    }
    mChildren.clear();
    mChildren.shrink_to_fit();
    mChildIndex.reset();
    delete mCurve;
    mCurve = nullptr;
    // A layer belongs to the node whose chain holds it; the reference count
    // only tracks sharing as a time warp.
    KFCurveNode* layer = mLayer;
    mLayer = nullptr;
    delete layer;
    mOwner = this;
    if (mTimeWarp) {
        KFCurveNode* warp = mTimeWarp;
        mTimeWarp = nullptr;
        if (--warp->mReferenceCount < 1) delete warp;
    }
}

int KFCurveNode::AddChild(KFCurveNode* child)
{
    if (!child) return -1;
    mChildren.push_back(child);
    if (!IsReferenceNode()) child->mParent = this;
    IndexAppendedChild();
    return static_cast<int>(mChildren.size()) - 1;
}

void KFCurveNode::DetachChild(int index)
{
    if (index < 0 || index >= GetChildCount()) return;
    KFCurveNode* child = mChildren[static_cast<size_t>(index)];
    mChildren.erase(mChildren.begin() + index);
    mChildIndex.reset();
    if (!IsReferenceNode()) child->mParent = nullptr;
}

void KFCurveNode::RemoveChild(int index)
{
    if (index < 0 || index >= GetChildCount()) return;
    KFCurveNode* child = mChildren[static_cast<size_t>(index)];
    DetachChild(index);
    delete child;
}

int KFCurveNode::GetChildCount() const
{
    return static_cast<int>(mChildren.size());
}

KFCurveNode* KFCurveNode::GetChild(int index) const
{
    if (index < 0 || index >= GetChildCount()) return nullptr;
    return mChildren[static_cast<size_t>(index)];
}

bool KFCurveNode::HasChild(const KFCurveNode* node, bool recursive) const
{
    if (!node) return false;
    if (FindChildIndex(node) >= 0) return true;
    if (!recursive) return false;
    // Depth-first below each child; a tree deeper than the limit is not searched further.
    struct Frame { const KFCurveNode* n; int depth; };
    std::vector<Frame> stack;
    for (const KFCurveNode* child : mChildren) stack.push_back({child, 1});
    while (!stack.empty()) {
        const Frame f = stack.back();
        stack.pop_back();
        if (f.n->FindChildIndex(node) >= 0) return true;
        if (f.depth >= kFCurveNodeMaxDepth) continue;
        for (const KFCurveNode* child : f.n->mChildren) stack.push_back({child, f.depth + 1});
    }
    return false;
}

KFCurveNode* KFCurveNode::FindChildByDataType(const KDataType* dataType) const
{
    for (KFCurveNode* child : mChildren) {
        if (child->GetDataType() == dataType) return child;
    }
    return nullptr;
}

int KFCurveNode::FindChildIndex(const KFCurveNode* child) const
{
    for (int i = 0; i < GetChildCount(); ++i) {
        if (mChildren[static_cast<size_t>(i)] == child) return i;
    }
    return -1;
}

namespace {

// Advances whenever a node's name may change without its parent knowing:
// a shared name record or its property changed.
std::atomic<std::uint64_t> gCurveNodeNameEpoch{0};

// Names compare without case: hashed the same way.
size_t HashNameNoCase(const char* name)
{
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name); *c; ++c) {
        const unsigned char lower = *c >= 'A' && *c <= 'Z' ? static_cast<unsigned char>(*c + 32) : *c;
        hash = (hash ^ lower) * 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

struct NameEpochs {
    std::uint64_t curveNodes = 0;
    std::uint64_t properties = 0;
    bool operator==(const NameEpochs&) const = default;
};

NameEpochs CurrentNameEpochs()
{
    return {gCurveNodeNameEpoch.load(std::memory_order_relaxed), KPropertyNameEpoch()};
}

}  // namespace

struct KFCurveNode::ChildIndex : KFirstNameIndex<NameEpochs> {
    using KFirstNameIndex::KFirstNameIndex;
};

void KFCurveNode::IndexAppendedChild()
{
    if (mChildIndex) mChildIndex->Add(HashNameNoCase(mChildren.back()->GetName()), mChildren.size() - 1);
}

int KFCurveNode::FindChildIndexByName(const char* name) const
{
    if (!name) return -1;
    if (mChildren.size() < ChildIndex::kWorthFrom) {
        for (int i = 0; i < GetChildCount(); ++i) {
            if (strcasecmp(mChildren[static_cast<size_t>(i)]->GetName(), name) == 0) return i;
        }
        return -1;
    }
    const NameEpochs epochs = CurrentNameEpochs();
    if (!mChildIndex || !mChildIndex->IsFor(epochs)) {
        mChildIndex = std::make_unique<ChildIndex>(epochs, mChildren.size(),
                                                   [this](size_t i) { return HashNameNoCase(mChildren[i]->GetName()); });
    }
    // Names may repeat: the first child wins, as in a walk.
    return mChildIndex->FindFirst(HashNameNoCase(name),
                                  [&](size_t i) { return strcasecmp(mChildren[i]->GetName(), name) == 0; });
}

void KFCurveNode::SetParent(KFCurveNode* parent)
{
    mParent = parent;
}

KFCurveNode* KFCurveNode::GetParent() const
{
    return mParent;
}

int KFCurveNode::InsertChildSorted(KFCurveNode* child)
{
    if (!child) return -1;
    int index = 0;
    while (index < GetChildCount() && strcasecmp(mChildren[static_cast<size_t>(index)]->GetName(), child->GetName()) < 0)
        ++index;
    mChildren.insert(mChildren.begin() + index, child);
    mChildIndex.reset();
    if (!IsReferenceNode()) child->mParent = this;
    return index;
}

// ---------------------------------------------------------------------------
// Names

const char* KFCurveNode::GetName() const
{
    if (!mName) return "";
    if (mName->property && mName->property->GetName()) return mName->property->GetName();
    return mName->name.c_str();
}

const char* KFCurveNode::GetTypeName() const
{
    return mName ? mName->typeName.c_str() : "";
}

const KDataType* KFCurveNode::GetDataType() const
{
    return mName ? mName->dataType : nullptr;
}

void KFCurveNode::SetSharedName(KFCurveNode* source)
{
    if (source && source->mName == mName) return;
    gCurveNodeNameEpoch.fetch_add(1, std::memory_order_relaxed);
    ReleaseName();
    if (source && source->mName) {
        mName = source->mName;
        ++mName->references;
    }
}

void KFCurveNode::SetProperty(KProperty* property)
{
    gCurveNodeNameEpoch.fetch_add(1, std::memory_order_relaxed);
    if (mName) mName->property = property;
}

KProperty* KFCurveNode::GetProperty() const
{
    return mName ? mName->property : nullptr;
}

// ---------------------------------------------------------------------------
// Look-ups

KFCurveNode* KFCurveNode::FindSegment(const char* segment, std::size_t length, int depth) const
{
    if (depth > kFCurveNodeMaxDepth) return nullptr;
    const char* typeName = TransformTypeForSegment(segment, length);
    for (KFCurveNode* child : mChildren) {
        const char* name = child->GetName();
        if ((std::strlen(name) == length && strncasecmp(name, segment, length) == 0) ||
            (typeName && IsDataTypeNamed(child->GetDataType(), typeName)))
            return child;
        if (KFCurveNode* found = child->FindSegment(segment, length, depth + 1)) return found;
    }
    return nullptr;
}

KFCurveNode* KFCurveNode::FindByPath(const char* path) const
{
    if (!path) return nullptr;
    const KFCurveNode* current = this;
    const char* segment = path;
    for (;;) {
        const char* slash = std::strchr(segment, '/');
        const std::size_t length = slash ? static_cast<std::size_t>(slash - segment) : std::strlen(segment);
        current = current->FindSegment(segment, length, 0);
        if (!current) return nullptr;
        if (!slash) break;
        segment = slash + 1;
    }
    return const_cast<KFCurveNode*>(current);
}

KFCurveNode* KFCurveNode::FindDescendantImpl(const KDataType* dataType, int depth) const
{
    if (depth > kFCurveNodeMaxDepth) return nullptr;
    for (KFCurveNode* child : mChildren) {
        if (child->GetDataType() == dataType) return child;
        if (KFCurveNode* found = child->FindDescendantImpl(dataType, depth + 1)) return found;
    }
    return nullptr;
}

KFCurveNode* KFCurveNode::FindDescendantByDataType(const KDataType* dataType) const
{
    if (!dataType) return nullptr;
    return FindDescendantImpl(dataType, 0);
}

bool KFCurveNode::GetTRSCurves(KFCurve* t[3], KFCurve* r[3], KFCurve* s[3]) const
{
    static const char* const kGroups[3] = {"T", "R", "S"};
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    KFCurve** outs[3] = {t, r, s};
    bool all = true;
    for (int g = 0; g < 3; ++g) {
        const KFCurveNode* group = FindByPath(kGroups[g]);
        for (int a = 0; a < 3; ++a) {
            const KFCurveNode* axis = group ? group->GetChild(group->FindChildIndexByName(kAxes[a])) : nullptr;
            KFCurve* curve = axis ? axis->GetCurve() : nullptr;
            if (outs[g]) outs[g][a] = curve;
            all = all && curve;
        }
    }
    return all;
}

KFCurveNode* KFCurveNode::FindOrCreateChild(const char* name, bool withCurve)
{
    KFCurveNode* child = GetChild(FindChildIndexByName(name));
    if (!child) {
        child = new (std::nothrow) KFCurveNode(name, name, nullptr, 0, 0);
        if (!child) return nullptr;
        AddChild(child);
    }
    if (withCurve && !child->GetCurve()) child->SetCurve(KFCurveCreate());
    return child;
}

void KFCurveNode::DeleteChild(KFCurveNode* node)
{
    const int index = FindChildIndex(node);
    if (index < 0) return;
    if (!IsReferenceNode()) node->mParent = nullptr;
    mChildren.erase(mChildren.begin() + index);
    mChildIndex.reset();
    delete node;
}

// ---------------------------------------------------------------------------
// Curve, time warp, layers

KFCurve* KFCurveNode::SetCurve(KFCurve* curve, bool destroyOld)
{
    if (curve == mCurve) return nullptr;
    KFCurve* old = mCurve;
    if (destroyOld) {
        delete old;
        old = nullptr;
    }
    mCurve = curve;
    Notify(kFCurveNodeNotifyCurve);
    return old;
}

void KFCurveNode::CreateCurvesImpl(int depth)
{
    if (depth > kFCurveNodeMaxDepth) return;
    if (mChildren.empty()) {
        if (!mCurve) mCurve = KFCurveCreate();
        return;
    }
    for (KFCurveNode* child : mChildren) child->CreateCurvesImpl(depth + 1);
}

void KFCurveNode::CreateCurves()
{
    CreateCurvesImpl(0);
}

void KFCurveNode::SetTimeWarp(KFCurveNode* node)
{
    if (node == mTimeWarp || node == this) return;
    KFCurveNode* old = mTimeWarp;
    mTimeWarp = node;
    if (node) ++node->mReferenceCount;
    if (old && --old->mReferenceCount <= 0) delete old;
    Notify(kFCurveNodeNotifyTimeWarp);
}

void KFCurveNode::SetLayer(KFCurveNode* node, bool destroyOld)
{
    if (node == mLayer || node == this) return;
    if (destroyOld) delete mLayer;
    mLayer = node;
    if (mOwner) mOwner->Notify(kFCurveNodeNotifyLayers);
}

KFCurveNode* KFCurveNode::FindLayer(int layerId)
{
    for (KFCurveNode* n = this; n; n = n->mLayer) {
        if (n->mLayerId == layerId) return n;
        if (n->mLayerId > layerId) return nullptr;
    }
    return nullptr;
}

int KFCurveNode::SetLayerType(int type, KFCurveNode* owner)
{
    if (type == mLayerType) return 0;
    const int children = GetChildCount();
    const int wanted = type == eCurveNodeLayerRotation ? 3 : type == eCurveNodeLayerQuaternion ? 4 : children;
    if (wanted != children) {
        if (children == 3 && type == eCurveNodeLayerQuaternion) {
            auto* w = new (std::nothrow) KFCurveNode("W", "W", KDataTypeFindByName("Number"), 0, mLayerId);
            if (w) {
                AddChild(w);
                w->SetCurve(KFCurveCreate());
                if (owner) w->SetOwnerNode(owner);
            }
        } else if (children == 4 && type == eCurveNodeLayerRotation && mLayerType == eCurveNodeLayerQuaternion) {
            RemoveChild(3);
        }
    }
    mLayerType = type;
    return 1;
}

void KFCurveNode::SetRotationOrder(int order)
{
    for (KFCurveNode* n = this; n; n = n->mLayer) n->mRotationOrder = order;
}

void KFCurveNode::SetQuaternionInterpolation(bool on)
{
    for (KFCurveNode* n = this; n; n = n->mLayer) n->mQuaternionInterpolation = on;
    if (mOwner) {
        mOwner->InvalidateCache(mOwner->mLayerId, true);
        mOwner->Notify(kFCurveNodeNotifyLayers);
    }
}

// ---------------------------------------------------------------------------
// Copies

KFCurveNode* KFCurveNode::CloneImpl(bool asTemplate, bool copyCurves, bool createCurves, int layerId,
                                    int depth) const
{
    if (depth > kFCurveNodeMaxDepth) return nullptr;
    KFCurveNode* copy;
    if (asTemplate) {
        copy = new (std::nothrow) KFCurveNode(const_cast<KFCurveNode*>(this));
    } else {
        const int id = layerId == -1 ? mLayerId : layerId;
        copy = new (std::nothrow) KFCurveNode(GetName(), GetTypeName(), GetDataType(), 0, id);
        if (copy) {
            copy->mLayerType = mLayerType;
            copy->mUserTag = mUserTag;
            copy->mQuaternionInterpolation = mQuaternionInterpolation;
            copy->mRotationOrder = mRotationOrder;
            copy->mFlags = (copy->mFlags & ~kFCurveNodeFlagCarried) | (mFlags & kFCurveNodeFlagCarried);
            if (id != 0) copy->mOwner = mOwner;
        }
    }
    if (!copy) return nullptr;
    if (mCurve) {
        if (copyCurves) {
            copy->mCurve = KFCurveCreate();
            if (copy->mCurve) copy->mCurve->CopyFrom(*mCurve, true);
        } else if (createCurves) {
            copy->mCurve = KFCurveCreate();
        }
    }
    for (const KFCurveNode* child : mChildren) {
        KFCurveNode* childCopy = child->CloneImpl(asTemplate, copyCurves, createCurves, layerId, depth + 1);
        if (childCopy) copy->AddChild(childCopy);
    }
    return copy;
}

KFCurveNode* KFCurveNode::Clone(bool asTemplate, bool copyCurves, bool createCurves, int layerId) const
{
    return CloneImpl(asTemplate, copyCurves, createCurves, layerId, 0);
}

void KFCurveNode::CopyFromImpl(KFCurveNode* source, bool moveCurves, int depth, bool withLayers)
{
    if (!source || source == this || depth > kFCurveNodeMaxDepth) return;
    mCacheState = source->mCacheState;
    mCachedTime = source->mCachedTime;
    std::memcpy(mCachedValues, source->mCachedValues, sizeof mCachedValues);
    if (source->mCurve) {
        if (moveCurves) {
            KFCurve* moved = source->mCurve;
            source->mCurve = nullptr;
            source->Notify(kFCurveNodeNotifyCurve);
            SetCurve(moved, true);
        } else if (mCurve) {
            mCurve->CopyFrom(*source->mCurve, true);
        } else {
            SetCurve(source->mCurve->Clone(), true);
        }
    }
    mLayerType = source->mLayerType;
    const int common = std::min(GetChildCount(), source->GetChildCount());
    for (int i = 0; i < common; ++i)
        mChildren[static_cast<size_t>(i)]->CopyFromImpl(source->mChildren[static_cast<size_t>(i)], moveCurves,
                                                        depth + 1, true);
    if (withLayers) CopyLayersFrom(source);
}

void KFCurveNode::CopyFrom(KFCurveNode* source, bool moveCurves)
{
    CopyFromImpl(source, moveCurves, 0, true);
}

void KFCurveNode::CopyLayersFrom(KFCurveNode* source)
{
    if (!source || source == this) return;
    KFCurveNode* tail = this;
    int guard = 0;
    for (KFCurveNode* s = source->mLayer; s && guard < 100000; s = s->mLayer, ++guard) {
        // Drop this chain's layers that the source does not have.
        while (tail->mLayer && tail->mLayer->mLayerId < s->mLayerId) {
            KFCurveNode* gone = tail->mLayer;
            tail->mLayer = gone->mLayer;
            gone->mLayer = nullptr;
            delete gone;
        }
        KFCurveNode* next = tail->mLayer;
        if (!next || s->mLayerId < next->mLayerId) {
            if (!tail->CreateLayer(s->mLayerId, false)) return;
            tail->mLayer->mLayer = next;
            next = tail->mLayer;
        }
        next->CopyFromImpl(s, false, 0, false);
        tail = next;
    }
    while (tail->mLayer) {
        KFCurveNode* gone = tail->mLayer;
        tail->mLayer = gone->mLayer;
        gone->mLayer = nullptr;
        delete gone;
    }
}

namespace {

// Gives each curve of a fresh layer the neutral value of its channel and the
// colour of the matching base curve.
void InitLayerCurves(KFCurveNode* layer, const KFCurveNode* base, int depth)
{
    if (!layer || depth > kFCurveNodeMaxDepth) return;
    std::vector<double> neutral(static_cast<size_t>(layer->GetNeutralValues(nullptr)));
    const int n = layer->GetNeutralValues(neutral.data());
    int channel = 0;
    if (KFCurve* curve = layer->GetCurve()) {
        curve->SetDefaultValue(static_cast<float>(n > 0 ? neutral[0] : 0.0));
        if (base && base->GetCurve()) curve->SetColor(base->GetCurve()->GetColor());
        channel = 1;
    }
    for (int i = 0; i < layer->GetChildCount(); ++i, ++channel) {
        KFCurveNode* child = layer->GetChild(i);
        const KFCurveNode* baseChild = base ? base->GetChild(i) : nullptr;
        if (child->GetChildCount() == 0) {
            if (KFCurve* curve = child->GetCurve()) {
                curve->SetDefaultValue(static_cast<float>(channel < n ? neutral[channel] : 0.0));
                if (baseChild && baseChild->GetCurve()) curve->SetColor(baseChild->GetCurve()->GetColor());
            }
        } else {
            InitLayerCurves(child, baseChild, depth + 1);
        }
    }
}

}  // namespace

int KFCurveNode::GetNeutralValues(double* values) const
{
    const int n = (mCurve ? 1 : 0) + GetChildCount();
    if (values) {
        for (int i = 0; i < n; ++i) {
            if (mLayerType == eCurveNodeLayerScaling) {
                values[i] = 1.0;
            } else if (mLayerType == eCurveNodeLayerQuaternion) {
                values[i] = i == 3 ? 1.0 : 0.0;
            } else {
                values[i] = 0.0;
            }
        }
    }
    return n;
}

bool KFCurveNode::CreateLayer(int layerId, bool destroyOld)
{
    if (!LayersAllowed()) return false;
    KFCurveNode* layer = CloneImpl(false, false, true, layerId, 0);
    if (!layer) return false;
    SetLayer(layer, destroyOld);
    InitLayerCurves(layer, this, 0);
    return true;
}

bool KFCurveNode::InsertLayer(int layerId)
{
    if (!LayersAllowed() || layerId == mLayerId) return false;
    if (!mLayer) return layerId != 0 && CreateLayer(layerId, true);
    KFCurveNode* n = this;
    while (n->mLayer && n->mLayer->mLayerId < layerId) n = n->mLayer;
    if (n->mLayer && n->mLayer->mLayerId == layerId) return false;
    KFCurveNode* rest = n->mLayer;
    if (!n->CreateLayer(layerId, false)) return false;
    n->mLayer->mLayer = rest;
    if (mOwner) mOwner->Notify(kFCurveNodeNotifyLayers);
    return true;
}

// ---------------------------------------------------------------------------
// Counting and key times

int KFCurveNode::GetKeyCountImpl(bool withLayers, int depth) const
{
    if (depth > kFCurveNodeMaxDepth) return 0;
    int count = mCurve ? mCurve->KeyGetCount() : 0;
    for (const KFCurveNode* child : mChildren) count += child->GetKeyCountImpl(withLayers, depth + 1);
    if (withLayers && mLayer) count += mLayer->GetKeyCountImpl(true, depth + 1);
    return count;
}

int KFCurveNode::GetKeyCount(bool withLayers) const
{
    return GetKeyCountImpl(withLayers, 0);
}

bool KFCurveNode::ExtendImpl(std::int64_t& start, std::int64_t& stop, int depth) const
{
    if (depth > kFCurveNodeMaxDepth) return false;
    bool found = false;
    if (mCurve && mCurve->KeyGetCount() > 0) {
        start = std::min(start, mCurve->KeyGetTime(0).Get());
        stop = std::max(stop, mCurve->KeyGetTime(mCurve->KeyGetCount() - 1).Get());
        found = true;
    }
    for (const KFCurveNode* child : mChildren) found = child->ExtendImpl(start, stop, depth + 1) || found;
    if (mLayer) found = mLayer->ExtendImpl(start, stop, depth + 1) || found;
    return found;
}

bool KFCurveNode::GetKeySpan(KTime& start, KTime& stop) const
{
    std::int64_t s = kFCurveInfiniteTicks, e = kFCurveMinusInfiniteTicks;
    if (!ExtendImpl(s, e, 0)) return false;
    start = KTime(s);
    stop = KTime(e);
    return true;
}

bool KFCurveNode::ExtendAnimationInterval(KTime& start, KTime& stop) const
{
    std::int64_t s = start.Get(), e = stop.Get();
    if (!ExtendImpl(s, e, 0)) return false;
    start = KTime(s);
    stop = KTime(e);
    return true;
}

void KFCurveNode::KeyTimeSearch(std::int64_t time, const bool* mask, int maskCount, bool next, bool withLayers,
                                std::int64_t& best, bool& found, int depth) const
{
    if (depth > kFCurveNodeMaxDepth) return;
    if (mCurve && mCurve->KeyGetCount() > 0 && MaskEntry(mask, maskCount, 0)) {
        const int n = mCurve->KeyGetCount();
        const double p = mCurve->KeyFind(KTime(time));
        if (next) {
            const int i = static_cast<int>(std::ceil(p + 1e-6));
            if (i >= 0 && i < n) {
                const std::int64_t t = mCurve->KeyGetTime(i).Get();
                if (t > time && (!found || t < best)) best = t, found = true;
            }
        } else {
            const int i = static_cast<int>(std::floor(p - 1e-6));
            if (i >= 0 && i < n) {
                const std::int64_t t = mCurve->KeyGetTime(i).Get();
                if (t < time && (!found || t > best)) best = t, found = true;
            }
        }
    }
    for (int i = 0; i < GetChildCount(); ++i) {
        if (!MaskEntry(mask, maskCount, i)) continue;
        const bool* childMask = mask && i < maskCount ? mask + i : nullptr;
        const int childCount = mask && i < maskCount ? maskCount - i : 0;
        mChildren[static_cast<size_t>(i)]->KeyTimeSearch(time, childMask, childCount, next, false, best, found,
                                                         depth + 1);
    }
    if (next && withLayers && mLayer) mLayer->KeyTimeSearch(time, mask, maskCount, next, true, best, found, depth + 1);
}

KTime KFCurveNode::GetPreviousKeyTime(KTime time, const bool* mask, int maskCount) const
{
    std::int64_t best = time.Get();
    bool found = false;
    KeyTimeSearch(time.Get(), mask, maskCount, false, false, best, found, 0);
    return KTime(found ? best : time.Get());
}

KTime KFCurveNode::GetNextKeyTime(KTime time, const bool* mask, int maskCount, bool withLayers) const
{
    std::int64_t best = time.Get();
    bool found = false;
    KeyTimeSearch(time.Get(), mask, maskCount, true, withLayers, best, found, 0);
    return KTime(found ? best : time.Get());
}

// ---------------------------------------------------------------------------
// Notification

void KFCurveNode::Notify(int flags)
{
    ++mChangeCount;
    if (!mNotification) return;
    KFCurveNodeNotification& record = *mNotification;
    record.mFlags |= flags;
    ++record.mCount;
    if (!record.mEnabled) return;
    const std::vector<KFCurveNodeCallback> callbacks = record.mCallbacks;
    const std::vector<void*> data = record.mUserData;
    for (size_t i = callbacks.size(); i-- > 0;) callbacks[i](this, &record, data[i]);
    record.mFlags = 0;
    record.mCount = 0;
}

void KFCurveNode::CallbackRegister(KFCurveNodeCallback callback, void* userData)
{
    if (!mNotification) mNotification = new KFCurveNodeNotification;
    mNotification->mCallbacks.push_back(callback);
    mNotification->mUserData.push_back(userData);
}

void KFCurveNode::CallbackUnregister(KFCurveNodeCallback callback, void* userData)
{
    if (!mNotification) return;
    auto& cbs = mNotification->mCallbacks;
    auto& data = mNotification->mUserData;
    for (size_t i = cbs.size(); i-- > 0;) {
        if (cbs[i] == callback && data[i] == userData) {
            cbs.erase(cbs.begin() + static_cast<std::ptrdiff_t>(i));
            data.erase(data.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

}  // namespace duzsdk
