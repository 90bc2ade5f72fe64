// The "Connections" section of a version 6 file, and the fix-up of the
// camera switcher's "Camera Index" animation that needs every link read.
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/base/KDynamicArray.h"
#include "sdk/geometry/KDuzGeometryBase.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

enum class ConnectCode { kNone, kObjectObject, kPropertyObject, kObjectProperty };

// Only the exact two-letter texts are codes.
ConnectCode ConnectCodeOf(const char* text) {
    if (text == nullptr) return ConnectCode::kNone;
    if (std::strcmp(text, "OO") == 0) return ConnectCode::kObjectObject;
    if (std::strcmp(text, "PO") == 0) return ConnectCode::kPropertyObject;
    if (std::strcmp(text, "OP") == 0) return ConnectCode::kObjectProperty;
    return ConnectCode::kNone;
}

// A geometry kept in a record of its own is linked to its model. The model
// record made an empty attribute of the same type in its place; the linked
// geometry replaces it, so the node's default attribute is the one with the
// content. True when the link was made here.
bool AttachGeometry(KDuzObject* source, KDuzPlug* destination) {
    auto* geometry = dynamic_cast<KDuzGeometryBase*>(source);
    auto* node = dynamic_cast<KDuzNode*>(destination);
    if (geometry == nullptr || node == nullptr || node->GetNodeAttributeIndex(geometry) >= 0) return false;
    auto* placeholder = dynamic_cast<KDuzGeometryBase*>(node->GetNodeAttribute());
    if (placeholder != nullptr && node->GetNodeAttributeCount() == 1 &&
        placeholder->GetControlPointsCount() == 0 &&
        KDuzNode::GetAttributeTypeOf(placeholder) == KDuzNode::GetAttributeTypeOf(geometry)) {
        if (KDuzObject* previous = node->SetNodeAttribute(geometry)) previous->Destroy();
        return true;
    }
    return node->AddNodeAttribute(geometry);
}

}  // namespace

void KDuzReaderDuz6::RedirectToNodeAttribute(KDuzObject* source, KDuzPlug*& destination) {
    auto* node = dynamic_cast<KDuzNode*>(destination);
    if (source == nullptr || node == nullptr) return;
    const bool redirect = source->Is(KDuzClassIdOf(eDuzClassDeformer)) ||
                          source->Is(KDuzClassIdOf(eDuzClassGeometryWeightedMap)) ||
                          (source->Is(KDuzClassIdOf(eDuzClassTexture)) && node->GetLight() != nullptr);
    if (redirect) destination = node->GetSrcObject(KDuzClassIdOf(eDuzClassNodeAttribute), 0);
}

bool KDuzReaderDuz6::ReadConnections(KDuzScene* /*scene*/) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || !duz->FieldReadBegin("Connections")) return true;
    if (!duz->FieldReadBlockBegin()) {
        duz->FieldReadEnd();
        return true;
    }
    while (duz->FieldReadBegin("Connect")) {
        KDuzObject* sourceObject = nullptr;
        KDuzPlug* destination = nullptr;
        // Property handles share their record, so a copy kept here is the
        // property itself.
        KDuzProperty destinationProperty;
        KDuzProperty sourceProperty;
        switch (ConnectCodeOf(duz->FieldReadString())) {
            case ConnectCode::kObjectObject: {
                sourceObject = FindObjectByName(duz->FieldReadString());
                destination = FindObjectByName(duz->FieldReadString());
                RedirectToNodeAttribute(sourceObject, destination);
                if (AttachGeometry(sourceObject, destination)) sourceObject = nullptr;
                break;
            }
            case ConnectCode::kPropertyObject: {
                // Without its object the property name is not read, so the
                // destination read next is that name: no link either way.
                KDuzObject* owner = FindObjectByName(duz->FieldReadString());
                if (owner != nullptr) sourceProperty = owner->FindProperty(duz->FieldReadString(), true);
                destination = FindObjectByName(duz->FieldReadString());
                if (sourceProperty.IsValid() && destination != nullptr &&
                    !destination->IsConnectedSrcProperty(sourceProperty))
                    destination->ConnectSrcProperty(sourceProperty);
                destination = nullptr;
                break;
            }
            case ConnectCode::kObjectProperty: {
                sourceObject = FindObjectByName(duz->FieldReadString());
                KDuzObject* owner = FindObjectByName(duz->FieldReadString());
                if (owner != nullptr) {
                    destinationProperty = owner->FindProperty(duz->FieldReadString(), true);
                    if (destinationProperty.IsValid()) destination = &destinationProperty;
                }
                break;
            }
            case ConnectCode::kNone:
                break;
        }
        if (sourceObject != nullptr && destination != nullptr &&
            !destination->IsConnectedSrcObject(sourceObject))
            destination->ConnectSrcObject(sourceObject);
        duz->FieldReadEnd();
    }
    duz->FieldReadBlockEnd();
    duz->FieldReadEnd();
    return true;
}

void KDuzReaderDuz6::RemapCameraSwitcherIndices(KDuzScene* scene) {
    KDuzNode* switcherNode = scene != nullptr ? scene->GetCameraSwitcherNode() : nullptr;
    auto* switcher = switcherNode != nullptr
                         ? dynamic_cast<KDuzCameraSwitcher*>(switcherNode->GetCameraSwitcher())
                         : nullptr;
    if (switcher == nullptr) return;
    const int count = switcher->GetCameraNameCount();
    if (count <= 0) return;

    KPointerArray<KDuzNode> cameras;
    scene->FillNodeAttributeList(cameras, KDuzNodeAttribute::eCamera, true);
    // 1-based position of the first camera node of each name.
    std::unordered_map<std::string, int> positions;
    for (int j = 0; j < cameras.Count(); ++j) {
        KDuzNode* camera = cameras.GetAt(j, nullptr);
        if (camera != nullptr) positions.emplace(camera->GetName(), j + 1);
    }
    std::vector<int> map(static_cast<size_t>(count), -1);
    for (int i = 0; i < count; ++i) {
        const char* wanted = switcher->GetCameraName(i);
        const auto found = wanted != nullptr ? positions.find(wanted) : positions.end();
        if (found != positions.end()) map[static_cast<size_t>(i)] = found->second;
    }
    auto remap = [&](float value, float* out) {
        const double truncated = static_cast<double>(value);
        // Values outside 1..N (and NaN) keep what they are.
        if (!(truncated >= 1.0 && truncated < static_cast<double>(count) + 1.0)) return false;
        const int position = static_cast<int>(truncated);
        const int mapped = map[static_cast<size_t>(position - 1)];
        if (mapped == -1) return false;
        *out = static_cast<float>(mapped);
        return true;
    };
    for (int t = 0; t < switcherNode->GetTakeNodeCount(); ++t) {
        KDuzTakeNode* take = switcherNode->GetTakeNodeAt(t);
        KFCurve* curve = take != nullptr ? take->GetCameraIndexCurve() : nullptr;
        if (curve == nullptr) continue;
        float value = 0.0f;
        if (remap(curve->GetDefaultValue(), &value)) curve->SetDefaultValue(value);
        for (int k = 0; k < curve->KeyGetCount(); ++k)
            if (remap(curve->KeyGetValue(k), &value)) curve->KeySetValue(k, value);
    }
}

}  // namespace duzsdk
