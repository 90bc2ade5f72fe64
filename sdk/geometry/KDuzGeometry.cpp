#include "sdk/geometry/KDuzGeometry.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KPlugHandleReleases.h"
#include "sdk/object/KPlugType.h"
#include "sdk/base/KgeMath.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <new>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzGeometry_internal");

KFCurveNode* TakeRoot(KDuzTakeNode* takeNode) {
    return takeNode != nullptr ? takeNode->GetCurveNode() : nullptr;
}

}  // namespace

KPlugTypeInfo* KDuzGeometry_internal::GetPlugTypeInfo() const {
    return PlugTypeInfoGetRecord(kTypeNumber);
}

int KDuzGeometry_internal::GetStaticTypeNumber() const { return kTypeNumber; }

// ---- life --------------------------------------------------------------------------

KDuzGeometry::KDuzGeometry(KDuzSdkManager* manager, const char* name)
    : KDuzGeometryBase(manager, name), mError(kDuzGeometryErrorTexts, eErrorCount) {}

KDuzGeometry::~KDuzGeometry() = default;

KDuzPlug* KDuzGeometry::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* geometry = new (std::nothrow) KDuzGeometry(manager, name);
    if (geometry != nullptr) geometry->PostCreate();
    return geometry;
}

KClassId KDuzGeometry::ClassId() { return KDuzClassIdOf(eDuzClassGeometry); }

KClassId KDuzGeometry::GetClassId() const { return ClassId(); }

void KDuzGeometry::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzGeometry_internal(this));
    KDuzGeometryBase::PostCreate();
    // The twin's "Color" becomes a public property.
    WrapInternalProperties();
}

void KDuzGeometry::DestroyContents(bool recursive, bool dependents) {
    mShapeIndex.reset();
    mShapes.clear();
    mShapeNames.clear();
    mRemembered.clear();
    KDuzGeometryBase::DestroyContents(recursive, dependents);
}

// ---- attachment ----------------------------------------------------------------------

void KDuzGeometry::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    const int shapeCount = GetShapeCount();
    for (int i = 0; i < shapeCount; ++i) AddShapeChannelToTake(takeNode, i);
}

void KDuzGeometry::RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) {
    const int shapeCount = GetShapeCount();
    for (int i = 0; i < shapeCount; ++i) RemoveShapeChannelFromTake(takeNode, i);
}

void KDuzGeometry::ConnectToScene(KDuzObject* scene) {
    KDuzObject* current = GetScene();
    // The shapes live in the geometry's scene, also when the geometry was
    // connected to the scene itself (it then already has that scene).
    if (scene != nullptr && (current == nullptr || current == scene)) {
        const int shapeCount = GetShapeCount();
        for (int i = 0; i < shapeCount; ++i) {
            KDuzShape* shape = LiveShape(static_cast<size_t>(i));
            if (shape != nullptr && shape->GetScene() == nullptr) shape->ConnectToScene(scene);
        }
    }
    // Connected straight to the scene, the geometry already has it, but its
    // deformers (and their clusters) must join as well.
    if (scene != nullptr && current == scene) ConnectDeformersToScene(scene);
    if (scene == current) return;
    if (scene != nullptr && current != nullptr) return;
    KDuzGeometryBase::ConnectToScene(scene);
}

void KDuzGeometry::SetNode(KDuzNode* node) {
    KDuzGeometryBase::SetNode(node);
    DropDestroyedShapes();
    for (const KString& name : mShapeNames) AddShapeProperty(name.Buffer());
}

// ---- shapes --------------------------------------------------------------------------

int KDuzGeometry::AddShape(KDuzShape* shape, const char* name) {
    if (shape == nullptr) {
        mError.SetLastError(eParameterIsNull);
        return -1;
    }
    DropDestroyedShapes();
    const bool validName = name != nullptr && name[0] != '\0' && std::strchr(name, '/') == nullptr;
    bool sameName = false;
    if (HasShape(shape, validName ? name : nullptr, &sameName)) {
        mError.SetLastError(eShapeAlreadyAdded);
        return -1;
    }
    // Channels are children of the take's root named after the shape, so a
    // "/" would make the name a path that never finds its channel.
    if (!validName) {
        mError.SetLastError(eShapeNameIsInvalid);
        return -1;
    }
    if (sameName) {
        mError.SetLastError(eShapeNameIsAlreadyUsed);
        return -1;
    }
    const int index = GetShapeCount();
    mShapes.push_back(HdlKObject::FromPlug(shape->GetInternalPlug()));
    mShapeNames.emplace_back(name);
    if (mShapeIndex) {
        mShapeIndex->shapes.insert(shape);
        mShapeIndex->names.emplace(name);
    }
    if (GetNode() != nullptr) {
        AddShapeProperty(name);
        if (KDuzTakeNodeContainer* container = GetNodeContainer()) {
            for (int i = 0; i < container->GetTakeNodeCount(); ++i)
                AddShapeChannelToTake(container->GetTakeNodeAt(i), index);
        }
    }
    if (KDuzObject* scene = GetScene()) shape->ConnectToScene(scene);
    return index;
}

bool KDuzGeometry::HasShape(const KDuzShape* shape, const char* name, bool* sameName) const {
    // Short lists are walked: an index would cost more than it saves.
    constexpr size_t kIndexFrom = 32;
    if (!mShapeIndex && mShapes.size() >= kIndexFrom) {
        auto index = std::make_unique<ShapeIndex>();
        for (size_t k = 0; k < mShapes.size(); ++k) {
            index->shapes.insert(LiveShape(k));
            index->names.emplace(mShapeNames[k].Buffer());
        }
        mShapeIndex = std::move(index);
    }
    if (mShapeIndex) {
        *sameName = name != nullptr && mShapeIndex->names.count(name) != 0;
        return mShapeIndex->shapes.count(shape) != 0;
    }
    bool found = false;
    for (size_t k = 0; k < mShapes.size() && !found; ++k) found = LiveShape(k) == shape;
    for (size_t k = 0; k < mShapeNames.size() && name != nullptr && !*sameName; ++k)
        *sameName = std::strcmp(mShapeNames[k].Buffer(), name) == 0;
    return found;
}

void KDuzGeometry::ClearShape() {
    // The channels go from every take of the node; the node link stays.
    if (KDuzTakeNodeContainer* container = GetNodeContainer()) {
        for (int t = 0; t < container->GetTakeNodeCount(); ++t) {
            const int shapeCount = GetShapeCount();
            for (int i = 0; i < shapeCount; ++i)
                RemoveShapeChannelFromTake(container->GetTakeNodeAt(t), i);
        }
    }
    mShapeIndex.reset();
    mShapes.clear();
    mShapeNames.clear();
}

KDuzShape* KDuzGeometry::GetShape(int index) {
    if (index < 0 || index >= GetShapeCount()) {
        mError.SetLastError(eParameterOutOfRange);
        return nullptr;
    }
    return LiveShape(static_cast<size_t>(index));
}

int KDuzGeometry::GetShapeCount() const {
    DropDestroyedShapes();
    return static_cast<int>(mShapes.size());
}

KDuzShape* KDuzGeometry::LiveShape(size_t index) const {
    return index < mShapes.size() ? dynamic_cast<KDuzShape*>(KDuzGetPublicObject(mShapes[index].Get())) : nullptr;
}

void KDuzGeometry::DropDestroyedShapes() const {
    // Without the plug system every handle is dead; else only a release
    // since the last look can have taken a shape.
    const std::uint64_t releases = KPlugHandleReleaseCount();
    if (KPlugSystemIsActive() && releases == mShapesCheckedAt) return;
    mShapesCheckedAt = releases;
    size_t kept = 0;
    size_t keptRemembered = 0;
    for (size_t k = 0; k < mShapes.size(); ++k) {
        if (LiveShape(k) == nullptr) {
            // The shape's weight channel goes with it, as when the list is
            // cleared.
            auto* self = const_cast<KDuzGeometry*>(this);
            if (KDuzTakeNodeContainer* container = self->GetNodeContainer()) {
                for (int t = 0; t < container->GetTakeNodeCount(); ++t) {
                    KFCurveNode* root = TakeRoot(container->GetTakeNodeAt(t));
                    if (root != nullptr) root->RemoveChild(root->FindChildIndexByName(mShapeNames[k].Buffer()));
                }
            }
            continue;
        }
        if (kept != k) {
            mShapes[kept] = mShapes[k];
            mShapeNames[kept] = mShapeNames[k];
            if (k < mRemembered.size()) mRemembered[kept] = mRemembered[k];
        }
        if (k < mRemembered.size()) ++keptRemembered;
        ++kept;
    }
    if (kept == mShapes.size()) return;
    mRemembered.resize(keptRemembered);
    mShapes.resize(kept);
    mShapeNames.resize(kept);
    mShapeIndex.reset();
}

const char* KDuzGeometry::GetShapeName(int index) {
    if (index < 0 || index >= GetShapeCount()) {
        mError.SetLastError(eParameterOutOfRange);
        return nullptr;
    }
    return mShapeNames[static_cast<size_t>(index)].Buffer();
}

KFCurveNode* KDuzGeometry::FindShapeChannelCurveNode(KDuzTakeNode* takeNode, int index) {
    if (index < 0) {
        mError.SetLastError(eParameterOutOfRange);
        return nullptr;
    }
    if (takeNode == nullptr) {
        mError.SetLastError(eParameterIsNull);
        return nullptr;
    }
    const char* name = GetShapeName(index);
    KFCurveNode* root = TakeRoot(takeNode);
    if (name == nullptr || name[0] == '\0' || root == nullptr) return nullptr;
    // A child of the root only: a path search would take a shape named "X"
    // for the node's translation curve.
    return root->GetChild(root->FindChildIndexByName(name));
}

KFCurve* KDuzGeometry::GetShapeChannel(KDuzTakeNode* takeNode, int index) {
    KFCurveNode* node = FindShapeChannelCurveNode(takeNode, index);
    KFCurve* curve = node != nullptr ? node->GetCurve() : nullptr;
    if (curve == nullptr) mError.SetLastError(eNoShapeCurveFound);
    return curve;
}

double KDuzGeometry::GetShapeChannelValue(int index) {
    KDuzTakeNode* take = GetNodeDefaultTake();
    if (take == nullptr) return 0.0;
    KFCurveNode* node = FindShapeChannelCurveNode(take, index);
    const KFCurve* curve = node != nullptr ? node->GetCurve() : nullptr;
    return curve != nullptr ? curve->GetDefaultValue() : 0.0;
}

bool KDuzGeometry::AddShapeChannelToTake(KDuzTakeNode* takeNode, int index) {
    KFCurveNode* root = TakeRoot(takeNode);
    if (root == nullptr || index < 0 || index >= static_cast<int>(mShapeNames.size())) return false;
    const char* name = mShapeNames[static_cast<size_t>(index)].Buffer();
    if (name[0] == '\0') return false;
    KFCurveNode* channel = root->FindOrCreateChild(name, true);
    if (channel == nullptr) return false;
    if (channel->GetCurve() == nullptr) channel->SetCurve(KFCurveCreate());
    if (KFCurve* curve = channel->GetCurve()) {
        const float* color = kDuzShapeChannelColors[index % 20];
        curve->SetColor(color[0], color[1], color[2]);
    }
    return true;
}

void KDuzGeometry::RemoveShapeChannelFromTake(KDuzTakeNode* takeNode, int index) {
    KFCurveNode* root = TakeRoot(takeNode);
    if (root == nullptr || index < 0 || index >= static_cast<int>(mShapeNames.size())) return;
    const int child = root->FindChildIndexByName(mShapeNames[static_cast<size_t>(index)].Buffer());
    if (child >= 0) root->RemoveChild(child);
}

bool KDuzGeometry::AddShapeProperty(const char* name) {
    if (GetNode() == nullptr || name == nullptr || FindProperty(name).IsValid()) return false;
    KDuzNodeAttribute_internal* internal = GetAttributeInternal();
    if (internal == nullptr || internal->AddChannelProperty(name, "Shape") == nullptr) return false;
    WrapInternalProperties();
    return true;
}

// ---- shape channel names in files --------------------------------------------------------

namespace {

// Replaces the root's child named from by a new curve node named to that
// holds a copy of it; nothing when there is no such child.
void RenameChannel(KFCurveNode* root, const char* from, const char* to) {
    if (root == nullptr) return;
    const int index = root->FindChildIndexByName(from);
    KFCurveNode* old = root->GetChild(index);
    if (old == nullptr) return;
    KFCurveNode* renamed = KFCurveNodeCreate(to);
    if (renamed == nullptr) return;
    renamed->CopyFrom(old, false);
    root->RemoveChild(index);
    root->AddChild(renamed);
}

constexpr const char kShapeSuffix[] = " (Shape)";

}  // namespace

KString KDuzGeometry::MakeDefaultShapeChannelName(int index) {
    if (index < 0) return KString();
    char text[40];
    std::snprintf(text, sizeof(text), "Shape %02d%s", index + 1, kShapeSuffix);
    return KString(text);
}

KString KDuzGeometry::MakeShapeChannelName(const char* name) {
    std::string text = name != nullptr ? name : "";
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    const size_t suffix = sizeof(kShapeSuffix) - 1;
    if (text.size() < suffix || text.compare(text.size() - suffix, suffix, kShapeSuffix) != 0)
        text += kShapeSuffix;
    return KString(text.c_str());
}

void KDuzGeometry::ConvertShapeChannelNames(KDuzTakeNode* takeNode) {
    KFCurveNode* root = TakeRoot(takeNode);
    if (root == nullptr || GetNode() == nullptr || GetAttributeType() == eMesh) return;
    const int shapeCount = GetShapeCount();
    for (int i = 0; i < shapeCount; ++i) {
        const char* name = mShapeNames[static_cast<size_t>(i)].Buffer();
        int found = root->FindChildIndexByName(MakeShapeChannelName(name).Buffer());
        if (found < 0) found = root->FindChildIndexByName(MakeDefaultShapeChannelName(i).Buffer());
        const int target = root->FindChildIndexByName(name);
        if (found < 0 || target < 0 || target == found) continue;
        root->GetChild(target)->CopyFrom(root->GetChild(found), true);
        root->RemoveChild(found);
    }
}

void KDuzGeometry::PrepareShapeChannelsForWrite(KDuzTakeNode* takeNode) {
    const bool mesh = GetAttributeType() == eMesh;
    const int shapeCount = GetShapeCount();
    for (int i = 0; i < shapeCount; ++i) {
        const size_t k = static_cast<size_t>(i);
        // The names are taken once: from the second take on, the shape
        // already carries its file name and would be remembered as such.
        if (k >= mRemembered.size()) {
            RememberedNames names;
            names.memory = mShapeNames[k];
            if (mesh) {
                names.file = names.memory;
                names.fileChannel = MakeShapeChannelName(names.memory.Buffer());
            } else {
                char text[24];
                std::snprintf(text, sizeof(text), "Shape %02d", i + 1);
                names.file = text;
                names.fileChannel = MakeDefaultShapeChannelName(i);
            }
            mRemembered.push_back(names);
        }
        const RememberedNames& names = mRemembered[k];
        mShapeNames[k] = names.file;
        mShapeIndex.reset();
        RenameChannel(TakeRoot(takeNode), names.memory.Buffer(), names.fileChannel.Buffer());
    }
}

void KDuzGeometry::RestoreShapeChannelsAfterWrite(KDuzTakeNode* takeNode) {
    DropDestroyedShapes();
    for (size_t k = 0; k < mRemembered.size() && k < mShapeNames.size(); ++k) {
        const RememberedNames& names = mRemembered[k];
        mShapeNames[k] = names.memory;
        mShapeIndex.reset();
        RenameChannel(TakeRoot(takeNode), names.fileChannel.Buffer(), names.memory.Buffer());
    }
}

void KDuzGeometry::ClearShapeChannelNames() { mRemembered.clear(); }

// ---- pivot -------------------------------------------------------------------------

namespace {

void ApplyPivotTo(KDuzGeometryBase& geometry, const KgeMatrix& pivot, const KgeMatrix& rotation) {
    for (KgeTVector& point : geometry.GetControlPointArray()) {
        const double w = point[3];
        point = pivot.TransformPoint(point);
        point[3] = w;
    }
    // Normals of every layer turn with the points, not only layer 0's.
    for (int l = 0; l < geometry.GetLayerCount(); ++l) {
        KDuzLayerElementNormal* element = geometry.GetLayer(l)->GetNormals();
        if (element == nullptr) continue;
        for (KgeTVector& normal : element->GetDirectArray()) {
            const KgeTVector n = normal;
            for (int j = 0; j < 3; ++j) {
                normal[j] = n[0] * rotation.GetElement(0, j) + n[1] * rotation.GetElement(1, j) +
                            n[2] * rotation.GetElement(2, j);
            }
        }
    }
}

}  // namespace

void KDuzGeometry::ApplyPivot() {
    const KgeTVector angles = mPivot.GetEulerXYZ();
    const KgeMatrix rotation = KgeMatrix::FromEulerXYZ(angles[0], angles[1], angles[2]);
    ApplyPivotTo(*this, mPivot, rotation);
    // The shapes are blend targets of these points and move with them.
    const int shapeCount = GetShapeCount();
    for (int i = 0; i < shapeCount; ++i)
        if (KDuzShape* shape = LiveShape(static_cast<size_t>(i))) ApplyPivotTo(*shape, mPivot, rotation);
}

void KDuzGeometry::AdjustPivotOf(KDuzObject* object, const KgeMatrix& factor) {
    auto* geometry = dynamic_cast<KDuzGeometry*>(object);
    if (geometry == nullptr) return;
    KgeMatrix pivot;
    KgeMatrixMultiplyAffine(pivot.Data(), geometry->mPivot.Data(), factor.Data());
    geometry->SetPivot(pivot);
    geometry->ApplyPivot();
}

// ---- copy ------------------------------------------------------------------------------

bool KDuzGeometry::CopyFrom(const KDuzGeometry& other) {
    if (&other == this) return true;
    bool copied = KDuzGeometryBase::CopyFrom(other);
    copied = CopyDeformers(other) && copied;
    copied = CopyShapes(other) && copied;
    CopyPivot(other);
    return copied;
}

bool KDuzGeometry::CopyDeformers(const KDuzGeometry& other) {
    if (&other == this) return true;
    while (GetDeformerCount() > 0) {
        KDuzDeformer* deformer = RemoveDeformer(0);
        if (deformer == nullptr) break;
        deformer->Destroy();
    }
    bool copied = true;
    const int count = other.GetDeformerCount();
    for (int i = 0; i < count; ++i) {
        KDuzDeformer* source = other.GetDeformer(i);
        auto* clone = source != nullptr ? dynamic_cast<KDuzDeformer*>(source->Clone(2)) : nullptr;
        if (clone == nullptr) continue;
        if (AddDeformer(clone) < 0) {
            clone->Destroy();
            copied = false;
        }
    }
    return copied;
}

bool KDuzGeometry::CopyShapes(const KDuzGeometry& other) {
    if (&other == this) return true;
    // Taken first: ClearShape empties the list.
    std::vector<KDuzShape*> previous;
    const int shapeCount = GetShapeCount();
    for (int i = 0; i < shapeCount; ++i) previous.push_back(LiveShape(static_cast<size_t>(i)));
    ClearShape();
    for (KDuzShape* shape : previous)
        if (shape != nullptr) shape->Destroy();
    bool copied = true;
    const int otherCount = other.GetShapeCount();
    for (int i = 0; i < otherCount; ++i) {
        const KDuzShape* source = other.LiveShape(static_cast<size_t>(i));
        KDuzShape* shape = KDuzShape::Create(GetSdkManager(), "");
        if (source == nullptr || shape == nullptr) {
            copied = false;
            continue;
        }
        shape->CopyFrom(*source);
        if (AddShape(shape, other.mShapeNames[static_cast<size_t>(i)].Buffer()) < 0) {
            shape->Destroy();
            copied = false;
        }
    }
    return copied;
}

// ---- deformers -------------------------------------------------------------------------

int KDuzGeometry::AddDeformer(KDuzDeformer* deformer) {
    if (deformer == nullptr) return -1;
    const int count = GetDeformerCount();
    if (!ConnectSrcObject(deformer)) return -1;
    if (KDuzObject* scene = GetScene()) ConnectDeformersToScene(scene);
    return count;
}

void KDuzGeometry::ConnectDeformersToScene(KDuzObject* scene) {
    const int count = GetDeformerCount();
    for (int i = 0; i < count; ++i) {
        KDuzDeformer* deformer = GetDeformer(i);
        if (deformer != nullptr && deformer->GetScene() == nullptr) deformer->ConnectToScene(scene);
    }
}

int KDuzGeometry::GetDeformerCount() const { return GetSrcObjectCount(KDuzDeformer::ClassId()); }

KDuzDeformer* KDuzGeometry::GetDeformer(int index) const {
    return dynamic_cast<KDuzDeformer*>(GetSrcObject(KDuzDeformer::ClassId(), index));
}

int KDuzGeometry::GetDeformerCountOfType(int type) const {
    if (type == 0) return GetDeformerCount();
    int count = 0;
    const int total = GetDeformerCount();
    for (int i = 0; i < total; ++i) {
        const KDuzDeformer* deformer = GetDeformer(i);
        if (deformer != nullptr && deformer->GetDeformerType() == type) ++count;
    }
    return count;
}

KDuzDeformer* KDuzGeometry::GetDeformerOfType(int n, int type) {
    KDuzDeformer* found = nullptr;
    if (type == 0) {
        found = GetDeformer(n);
    } else if (n >= 0) {
        const int total = GetDeformerCount();
        for (int i = 0, seen = 0; i < total && found == nullptr; ++i) {
            KDuzDeformer* deformer = GetDeformer(i);
            if (deformer != nullptr && deformer->GetDeformerType() == type && seen++ == n) found = deformer;
        }
    }
    if (found == nullptr) mError.SetLastError(eParameterOutOfRange);
    return found;
}

KDuzDeformer* KDuzGeometry::RemoveDeformer(int index) {
    KDuzDeformer* deformer = GetDeformer(index);
    if (deformer == nullptr) {
        mError.SetLastError(eParameterOutOfRange);
        return nullptr;
    }
    return DisconnectSrcObject(deformer) ? deformer : nullptr;
}

int KDuzGeometry::AddClusterToSkin(KDuzCluster* cluster) {
    if (cluster == nullptr) return -1;
    auto* skin = dynamic_cast<KDuzSkin*>(GetSrcObject(KDuzSkin::ClassId(), 0));
    if (skin == nullptr) {
        skin = KDuzSkin::Create(GetSdkManager(), "");
        if (skin == nullptr) return -1;
        if (AddDeformer(skin) < 0) {
            skin->Destroy();
            return -1;
        }
    }
    const int count = skin->GetClusterCount();
    return skin->ConnectSrcObject(cluster) ? count : -1;
}

}  // namespace duzsdk
