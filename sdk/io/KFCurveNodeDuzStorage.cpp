// Curve-node trees in DUZ field files: one "Channel" (or "LayerChannel")
// field per node, nested blocks for children and layers.

#include "sdk/io/KFCurveNodeDuzStorage.h"

#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "sdk/animation/KFCurveTools.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KFCurveDuzStorage.h"
#include "sdk/object/KDataType.h"

namespace duzsdk {

namespace {

bool DataTypeIs(const KFCurveNode& node, const char* name)
{
    const KDataType* type = node.GetDataType();
    return type != nullptr && type->GetName() != nullptr && std::strcmp(type->GetName(), name) == 0;
}

const char* TransformDataTypeName(char letter)
{
    switch (letter) {
    case 'T': return "Lcl Translation";
    case 'R': return "Lcl Rotation";
    case 'S': return "Lcl Scaling";
    default: return nullptr;
    }
}

const char* ShortName(const KFCurveNode& node)
{
    if (DataTypeIs(node, "Lcl Translation")) return "T";
    if (DataTypeIs(node, "Lcl Rotation")) return "R";
    if (DataTypeIs(node, "Lcl Scaling")) return "S";
    return nullptr;
}

void SetCorrupted(KDuz& duz)
{
    if (!duz.GetError().HasError()) duz.GetError().SetLastError(KDuz::kErrorCorrupted);
}

// ------------------------------------------------------------------ writing

bool WriteNode(KFCurveNode& node, KDuz& duz, bool defaultOnly, bool shortNames, bool skipUserName, const char* fieldName,
               bool curveOption1, bool curveOption2, int depth)
{
    if (depth >= kFCurveNodeDuzMaxDepth) return false;
    bool whole = true;
    const char* name = node.GetName();
    const char* shortName = shortNames ? ShortName(node) : nullptr;
    duz.FieldWriteBegin(fieldName);
    duz.FieldWriteString(shortName != nullptr ? shortName : name);
    duz.FieldWriteBlockBegin();
    const char* typeName = node.GetTypeName();
    if (!skipUserName && std::strcmp(typeName != nullptr ? typeName : "", name != nullptr ? name : "") != 0)
        duz.FieldWriteNamedString("UserName", typeName);
    int timeWarpId = 0;
    if (node.GetTimeWarp() != nullptr && KFCurveGetTimeWarpId(&timeWarpId, node.GetTimeWarp())) {
        duz.FieldWriteBegin("TimeWarpID");
        duz.FieldWriteInt(timeWarpId);
        duz.FieldWriteEnd();
    }
    if (node.GetCurve() != nullptr) KFCurveDuzStore(*node.GetCurve(), duz, defaultOnly, curveOption1, curveOption2);
    for (int i = 0; i < node.GetChildCount(); ++i) {
        if (!WriteNode(*node.GetChild(i), duz, defaultOnly, shortNames, skipUserName, "Channel", curveOption1,
                       curveOption2, depth + 1))
            whole = false;
    }
    if (node.GetLayerId() != 0) {
        duz.FieldWriteBegin("LayerID");
        duz.FieldWriteInt(node.GetLayerId());
        duz.FieldWriteEnd();
    }
    if (node.GetLayerType() != 0) {
        duz.FieldWriteBegin("LayerType");
        duz.FieldWriteInt(node.GetLayerType());
        duz.FieldWriteEnd();
    }
    if (node.GetLayer() != nullptr && !defaultOnly) {
        if (!WriteNode(*node.GetLayer(), duz, false, shortNames, skipUserName, "LayerChannel", curveOption1, false,
                       depth + 1))
            whole = false;
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return whole;
}

// ------------------------------------------------------------------ reading

bool ReadNodeBlock(KFCurveNode& node, KDuz& duz, bool curveOption1, bool createMissing, bool curveOption2, int depth);
bool ReadLayer(KDuz& duz, KFCurveNode& node, bool curveOption1, int depth);

// What a node must be built with before its block is read: its type name and
// layer id. The block is entered and left again; the field stays current.
struct BlockPreview {
    std::string userName;
    int layerId = 0;
};

BlockPreview PreviewBlock(KDuz& duz)
{
    BlockPreview preview;
    if (duz.FieldReadBlockBegin()) {
        preview.userName = duz.FieldReadStringOrDefault("UserName", "");
        preview.layerId = duz.FieldReadIntOrDefault("LayerID", 0);
        duz.FieldReadBlockEnd();
    }
    return preview;
}

// Look-ups of a parent's channels by name (without regard to case) and by
// data type. A block can hold any number of channels, so reading them one
// scan each would be quadratic; the index follows the children as they are
// appended.
class ChildIndex {
public:
    explicit ChildIndex(KFCurveNode& parent) : parent_(parent) {}

    KFCurveNode* ByName(const std::string& name)
    {
        Sync();
        const auto it = byName_.find(Fold(name));
        return it != byName_.end() ? parent_.GetChild(it->second) : nullptr;
    }
    KFCurveNode* ByDataType(const char* typeName)
    {
        Sync();
        const auto it = byType_.find(typeName);
        return it != byType_.end() ? parent_.GetChild(it->second) : nullptr;
    }
    KFCurveNode& Parent() { return parent_; }

private:
    static std::string Fold(const std::string& text)
    {
        std::string folded = text;
        for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return folded;
    }
    void Sync()
    {
        const int count = parent_.GetChildCount();
        if (count < known_) {
            byName_.clear();
            byType_.clear();
            known_ = 0;
        }
        // The first child of a name or type is the one found, as in a scan.
        for (; known_ < count; ++known_) {
            const KFCurveNode* child = parent_.GetChild(known_);
            byName_.emplace(Fold(child->GetName() != nullptr ? child->GetName() : ""), known_);
            const KDataType* type = child->GetDataType();
            if (type != nullptr && type->GetName() != nullptr) byType_.emplace(type->GetName(), known_);
        }
    }

    KFCurveNode& parent_;
    int known_ = 0;
    std::unordered_map<std::string, int> byName_;
    std::unordered_map<std::string, int> byType_;
};

KFCurveNode* FindChannel(ChildIndex& children, const std::string& name)
{
    if (name.size() == 1) {
        if (const char* typeName = TransformDataTypeName(name[0])) {
            if (KFCurveNode* child = children.ByDataType(typeName)) return child;
        }
    }
    if (KFCurveNode* child = children.ByName(name)) return child;
    // "Rotation (remark)" is the channel "Rotation".
    const size_t paren = name.find('(');
    if (paren == std::string::npos) return nullptr;
    size_t cut = paren;
    if (cut > 0 && name[cut - 1] == ' ') {
        --cut;
        if (cut > 0 && name[cut - 1] == ' ') --cut;
    }
    return children.ByName(name.substr(0, cut));
}

KFCurveNode* ReadChannel(KDuz& duz, ChildIndex* children, bool curveOption1, bool createMissing, bool curveOption2,
                         int depth)
{
    KFCurveNode* parent = children != nullptr ? &children->Parent() : nullptr;
    // A channel that matches nothing is passed over for the next one; files
    // can hold any number of them, hence a loop.
    while (duz.FieldReadBegin("Channel")) {
        if (depth >= kFCurveNodeDuzMaxDepth) {
            // Deeper than any real tree: the rest of this block is not read.
            SetCorrupted(duz);
            duz.FieldReadEnd();
            return nullptr;
        }
        const std::string name = duz.FieldReadString();
        KFCurveNode* node = children != nullptr ? FindChannel(*children, name) : nullptr;
        if (node == nullptr) {
            if ((parent != nullptr && parent->GetCurve() != nullptr) || !createMissing) {
                duz.FieldReadEnd();
                curveOption2 = false;
                continue;
            }
            const BlockPreview preview = PreviewBlock(duz);
            const std::string typeName = preview.userName.empty() ? name : preview.userName;
            node = new (std::nothrow) KFCurveNode(name.c_str(), typeName.c_str(), nullptr, 0, preview.layerId);
            if (node == nullptr) {
                duz.FieldReadEnd();
                return nullptr;
            }
            if (parent != nullptr) parent->AddChild(node);
        }
        ReadNodeBlock(*node, duz, curveOption1, createMissing, curveOption2, depth);
        duz.FieldReadEnd();
        if (node->GetLayerId() > 0 && parent != nullptr && parent->GetOwnerNode() != nullptr) {
            KFCurveNode* owner = parent->GetOwnerNode();
            const int index = owner->FindChildIndexByName(node->GetName());
            if (index >= 0) {
                KFCurveNode* base = owner->GetChild(index);
                node->SetOwnerNode(base);
                node->SetSharedName(base);
            }
        }
        return node;
    }
    return nullptr;
}

bool IsAxisName(const char* name)
{
    return name != nullptr && (std::strcmp(name, "X") == 0 || std::strcmp(name, "Y") == 0 || std::strcmp(name, "Z") == 0);
}

bool NameHas(const char* name, const char* part) { return name != nullptr && std::strstr(name, part) != nullptr; }

// Layer types follow from the data type and the name.
void DeriveLayerType(KFCurveNode& node, KDuz& duz)
{
    const char* name = node.GetName();
    const auto named = [name](const char* text) { return name != nullptr && std::strcmp(name, text) == 0; };
    if (DataTypeIs(node, "Lcl Rotation") || named("R")) {
        if (node.GetChildCount() == 3) {
            node.SetLayerType(eCurveNodeLayerRotation);
        } else if (node.GetLayerType() == eCurveNodeLayerRotation) {
            node.SetLayerType(eCurveNodeLayerPlain);
        }
    } else if (DataTypeIs(node, "Lcl Translation") || named("T") || NameHas(name, "Translation")) {
        node.SetLayerType(eCurveNodeLayerTranslation);
    } else if (DataTypeIs(node, "Lcl Scaling") || named("S") || NameHas(name, "Scaling")) {
        node.SetLayerType(eCurveNodeLayerScaling);
    }

    // Sections of version 4000 gave such nodes layer types they never had.
    if (duz.GetSectionVersion(duz.GetCurrentSectionIndex()) != 4000 || node.GetLayerType() == 0) return;
    static const struct {
        const char* dataType;
        const char* letter;
    } kRows[] = {{"Lcl Rotation", "R"}, {"Lcl Translation", "T"}, {"Lcl Scaling", "S"}};
    for (const auto& row : kRows) {
        if (DataTypeIs(node, row.dataType) && NameHas(name, row.letter) && !named(row.letter)) {
            node.SetLayerType(eCurveNodeLayerPlain);
            break;
        }
    }
}

bool ReadNodeBlock(KFCurveNode& node, KDuz& duz, bool curveOption1, bool createMissing, bool curveOption2, int depth)
{
    if (duz.FieldReadBlockBegin()) {
        // The type name and layer id of a node built here came from the same
        // fields (PreviewBlock); an existing node keeps its own.
        duz.FieldReadStringOrDefault("UserName", "");

        if (KFCurve* curve = node.GetCurve()) {
            KFCurveDuzRetrieve(duz, curve, curveOption2, curveOption1);
        } else if (KFCurve* read = KFCurveDuzRetrieve(duz, curveOption2, curveOption1)) {
            if (node.GetChildCount() == 0) {
                node.SetCurve(read);
            } else {
                KFCurveObjectDelete(read);
            }
        }

        duz.FieldReadIntOrDefault("LayerID", 0);
        const int layerType = duz.FieldReadIntOrDefault("LayerType", 0);
        // A type outside the table would leave the evaluation guessing at
        // channel counts.
        if (layerType >= eCurveNodeLayerPlain && layerType <= eCurveNodeLayerQuaternion) node.SetLayerType(layerType);

        ChildIndex children(node);
        while (ReadChannel(duz, &children, curveOption1, createMissing, curveOption2, depth + 1) != nullptr) {
        }
        // Rotation layers combine exactly three channels and quaternion
        // layers four; a file that says otherwise gets a plain node.
        const int childCount = node.GetChildCount();
        if ((node.GetLayerType() == eCurveNodeLayerRotation && childCount != 3) ||
            (node.GetLayerType() == eCurveNodeLayerQuaternion && childCount != 4))
            node.SetLayerType(eCurveNodeLayerPlain);
        ReadLayer(duz, node, curveOption1, depth + 1);

        const int timeWarpId = duz.FieldReadIntOrDefault("TimeWarpID", 0);
        if (timeWarpId != 0) {
            if (KFCurveNode* timeWarp = KFCurveFindTimeWarp(timeWarpId)) {
                KFCurveNode* parent = node.GetParent();
                KFCurveNode* target =
                    node.GetLayerId() == 0 && parent != nullptr && IsAxisName(node.GetName()) ? parent : &node;
                target->SetTimeWarp(timeWarp);
            }
        }
        duz.FieldReadBlockEnd();
    }
    DeriveLayerType(node, duz);
    return true;
}

bool ReadLayer(KDuz& duz, KFCurveNode& node, bool curveOption1, int depth)
{
    if (!duz.FieldReadBegin("LayerChannel")) return false;
    if (depth >= kFCurveNodeDuzMaxDepth) {
        SetCorrupted(duz);
        duz.FieldReadEnd();
        return false;
    }
    const BlockPreview preview = PreviewBlock(duz);
    KFCurveNode* layer = nullptr;
    if (preview.layerId == 0) {
        layer = KFCurveNodeCreateFromTemplate(&node);
    } else {
        // Built from the node as a template, with the layer id of the file.
        layer = new (std::nothrow)
            KFCurveNode(node.GetName(), node.GetTypeName(), node.GetDataType(), node.GetLayerType(), preview.layerId);
        if (layer != nullptr) {
            layer->SetSharedName(&node);
            layer->SetRotationOrder(node.GetRotationOrder());
            if (node.GetQuaternionInterpolation()) layer->SetQuaternionInterpolation(true);
        }
    }
    if (layer == nullptr) {
        duz.FieldReadEnd();
        return false;
    }
    // A chain the node already had would otherwise be lost without an owner.
    node.SetLayer(layer, true);
    layer->SetOwnerNode(node.GetOwnerNode());
    ReadNodeBlock(*layer, duz, curveOption1, true, false, depth);
    duz.FieldReadEnd();
    return true;
}

}  // namespace

bool KFCurveNodeWriteDuz(KFCurveNode& node, KDuz& duz, bool defaultOnly, bool shortNames, bool skipUserName,
                         const char* fieldName, bool curveOption1, bool curveOption2)
{
    const bool whole = WriteNode(node, duz, defaultOnly, shortNames, skipUserName,
                                 fieldName != nullptr ? fieldName : "Channel", curveOption1, curveOption2, 0);
    return whole && !duz.GetError().HasError();
}

KFCurveNode* KFCurveNodeReadRootDuz(KDuz& duz, bool curveOption1, bool curveOption2)
{
    return ReadChannel(duz, nullptr, curveOption1, true, curveOption2, 0);
}

KFCurveNode* KFCurveNodeReadChannelDuz(KDuz& duz, KFCurveNode* parent, bool curveOption1, bool createMissing,
                                       bool curveOption2)
{
    if (parent == nullptr) return ReadChannel(duz, nullptr, curveOption1, createMissing, curveOption2, 0);
    ChildIndex children(*parent);
    return ReadChannel(duz, &children, curveOption1, createMissing, curveOption2, 0);
}

bool KFCurveNodeReadDuz(KFCurveNode& node, KDuz& duz, bool curveOption1, bool createMissing, bool curveOption2)
{
    return ReadNodeBlock(node, duz, curveOption1, createMissing, curveOption2, 0);
}

bool KFCurveNodeReadLayerDuz(KDuz& duz, KFCurveNode& node, bool curveOption1)
{
    return ReadLayer(duz, node, curveOption1, 0);
}

}  // namespace duzsdk
