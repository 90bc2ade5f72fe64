// Layer element records of version 6 geometry records and the "Layer"
// records that place them. Every element kind shares one frame (number,
// "Version", "Name", mapping and reference names); the kinds differ only in
// their data fields, and one table of kinds drives the walk.
#include <cstring>

#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

using duz6::LayerElementKind;
using duz6::LayerElementRow;

bool IsUV(const LayerElementRow& row) { return row.kind == LayerElementKind::UV; }

void WriteInts(KDuz& duz, const char* name, const KTypedArray<int>& values) {
    duz.FieldWriteBegin(name);
    for (int value : values) duz.FieldWriteInt(value);
    duz.FieldWriteEnd();
}

// The position of each object among the node's sources of its class, so an
// element index can be stored as a position among the node's connections.
template <class Object>
int PositionAmongNodeSources(const KDuzNode* node, const KClassId& classId, const Object* object) {
    if (node == nullptr || object == nullptr) return -1;
    const int count = node->GetSrcObjectCount(classId);
    for (int i = 0; i < count; ++i)
        if (node->GetSrcObject(classId, i) == object) return i;
    return -1;
}

// The indices of an index-to-direct element as positions among the node's
// connected objects (-1 for what is not connected); other modes as stored.
template <class Element>
std::vector<int> ConnectionIndices(const Element& element, const KDuzNode* node, const KClassId& classId) {
    const KTypedArray<int>& indices = element.GetIndexArray();
    std::vector<int> out;
    out.reserve(static_cast<size_t>(indices.Count()));
    const bool remap = element.GetReferenceMode() == KDuzLayerElement::eIndexToDirect;
    const auto& direct = element.GetDirectArray();
    // One lookup table per element keeps this linear in the index count.
    std::vector<int> positions;
    if (remap) {
        positions.resize(static_cast<size_t>(direct.Count()), -1);
        for (int d = 0; d < direct.Count(); ++d)
            positions[static_cast<size_t>(d)] = PositionAmongNodeSources(node, classId, direct[d]);
    }
    for (int index : indices) {
        if (!remap || index == -1)
            out.push_back(index);
        else
            out.push_back(index >= 0 && index < direct.Count() ? positions[static_cast<size_t>(index)] : -1);
    }
    return out;
}

}  // namespace

const char* KDuzWriterDuz6::GetMappingName(int mode) { return duz6::MappingName(mode); }
const char* KDuzWriterDuz6::GetReferenceName(int mode) { return duz6::ReferenceName(mode); }
const char* KDuzWriterDuz6::GetBlendModeName(int mode) { return duz6::BlendModeName(mode); }

namespace {

// The frame every element record shares. `skip` leaves an element out; the
// written ones are numbered in order, so that the number is also the
// element's position among the records a reader keeps.
template <class Skip, class Data>
void WriteElementRecords(KDuz& duz, KDuzLayerContainer* geometry, KDuzWriterDuz6::ElementTable& table,
                         const LayerElementRow& row, Skip skip, Data data) {
    const bool uv = IsUV(row);
    const int layers = geometry->GetLayerCountOfType(row.type, uv);
    int written = 0;
    for (int n = 0; n < layers; ++n) {
        KDuzLayer* layer = geometry->GetLayerOfType(n, row.type, uv);
        KDuzLayerElement* element = layer != nullptr ? layer->GetLayerElementOfType(row.type, uv) : nullptr;
        if (element == nullptr || skip(*element)) continue;
        table[element] = written;
        duz.FieldWriteBegin(row.record);
        duz.FieldWriteInt(written);
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin(duz6::kVersion);
        duz.FieldWriteInt(duz6::kLayerElementVersion);
        duz.FieldWriteEnd();
        duz.FieldWriteNamedString("Name", element->GetName());
        duz.FieldWriteNamedString("MappingInformationType", duz6::MappingName(element->GetMappingMode()));
        duz.FieldWriteNamedString("ReferenceInformationType", duz6::ReferenceName(element->GetReferenceMode()));
        data(*element);
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        ++written;
    }
}

auto Never = [](const KDuzLayerElement&) { return false; };

KDuzNode* NodeOf(KDuzLayerContainer* geometry) {
    return dynamic_cast<KDuzNode*>(geometry->GetDstObject(KDuzNode::ClassId(), 0));
}

}  // namespace

bool KDuzWriterDuz6::WriteNormalElements(KDuzLayerContainer* geometry, ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    WriteElementRecords(duz, geometry, table, duz6::kNormalRow, Never, [&](KDuzLayerElement& element) {
        const auto& normals = static_cast<KDuzLayerElementNormal&>(element).GetDirectArray();
        duz.FieldWriteBegin("Normals");
        for (int i = 0; i < normals.Count(); ++i)
            for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(normals[i][k]);
        duz.FieldWriteEnd();
    });
    return true;
}

bool KDuzWriterDuz6::WritePolygonGroupElements(KDuzLayerContainer* geometry, ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    WriteElementRecords(
        duz, geometry, table, duz6::kPolygonGroupRow,
        [](const KDuzLayerElement& element) { return element.GetReferenceMode() == KDuzLayerElement::eDirect; },
        [&](KDuzLayerElement& element) { WriteInts(duz, "PolygonGroup", element.GetIndexArray()); });
    return true;
}

bool KDuzWriterDuz6::WriteColorElements(KDuzLayerContainer* geometry, ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    WriteElementRecords(
        duz, geometry, table, duz6::kColorRow,
        [](const KDuzLayerElement& element) { return element.GetReferenceMode() == KDuzLayerElement::eIndex; },
        [&](KDuzLayerElement& element) {
            const auto& colors = static_cast<KDuzLayerElementVertexColor&>(element).GetDirectArray();
            duz.FieldWriteBegin("Colors");
            for (int i = 0; i < colors.Count(); ++i) {
                duz.FieldWriteDouble(colors[i].mRed);
                duz.FieldWriteDouble(colors[i].mGreen);
                duz.FieldWriteDouble(colors[i].mBlue);
                duz.FieldWriteDouble(colors[i].mAlpha);
            }
            duz.FieldWriteEnd();
            if (element.GetReferenceMode() == KDuzLayerElement::eIndexToDirect)
                WriteInts(duz, "ColorIndex", element.GetIndexArray());
        });
    return true;
}

bool KDuzWriterDuz6::WriteLayerElementUVs(KDuzLayerContainer* geometry, ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    for (const LayerElementRow& row : duz6::kUVRows) {
        WriteElementRecords(
            duz, geometry, table, row,
            [](const KDuzLayerElement& element) { return element.GetReferenceMode() == KDuzLayerElement::eIndex; },
            [&](KDuzLayerElement& element) {
                const auto& uvs = static_cast<KDuzLayerElementUV&>(element).GetDirectArray();
                duz.FieldWriteBegin("UV");
                for (int i = 0; i < uvs.Count(); ++i) {
                    duz.FieldWriteDouble(uvs[i][0]);
                    duz.FieldWriteDouble(uvs[i][1]);
                }
                duz.FieldWriteEnd();
                if (element.GetReferenceMode() == KDuzLayerElement::eIndexToDirect)
                    WriteInts(duz, "UVIndex", element.GetIndexArray());
            });
    }
    return true;
}

bool KDuzWriterDuz6::WriteLayerElementSmoothing(KDuzLayerContainer* geometry, ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    WriteElementRecords(duz, geometry, table, duz6::kSmoothingRow, Never, [&](KDuzLayerElement& element) {
        const auto& values = static_cast<KDuzLayerElementSmoothing&>(element).GetDirectArray();
        duz.FieldWriteBegin("Smoothing");
        for (int i = 0; i < values.Count(); ++i) duz.FieldWriteInt(values[i] ? 1 : 0);
        duz.FieldWriteEnd();
    });
    return true;
}

bool KDuzWriterDuz6::WriteLayerElementVisibility(KDuzLayerContainer* geometry, ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    WriteElementRecords(duz, geometry, table, duz6::kVisibilityRow, Never, [&](KDuzLayerElement& element) {
        const auto& values = static_cast<KDuzLayerElementVisibility&>(element).GetDirectArray();
        duz.FieldWriteBegin("Visibility");
        for (int i = 0; i < values.Count(); ++i) duz.FieldWriteInt(values[i] ? 1 : 0);
        duz.FieldWriteEnd();
    });
    return true;
}

bool KDuzWriterDuz6::WriteLayerElementMaterials(KDuzLayerContainer* geometry, ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    const KDuzNode* node = NodeOf(geometry);
    WriteElementRecords(
        duz, geometry, table, duz6::kMaterialRow,
        [](const KDuzLayerElement& element) { return element.GetReferenceMode() == KDuzLayerElement::eDirect; },
        [&](KDuzLayerElement& element) {
            const auto& materials = static_cast<KDuzLayerElementMaterial&>(element);
            const std::vector<int> indices =
                ConnectionIndices(materials, node, KDuzSurfaceMaterial::ClassId());
            duz.FieldWriteBegin("Materials");
            // All the same: one value, none when the element names nothing.
            if (element.GetMappingMode() == KDuzLayerElement::eAllSame) {
                if (!indices.empty()) duz.FieldWriteInt(indices.front());
            }
            else
                for (int index : indices) duz.FieldWriteInt(index);
            duz.FieldWriteEnd();
        });
    return true;
}

bool KDuzWriterDuz6::WriteLayerElementTextures(KDuzLayerContainer* geometry, ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    const KDuzNode* node = NodeOf(geometry);
    for (const LayerElementRow& row : duz6::kTextureRows) {
        WriteElementRecords(
            duz, geometry, table, row,
            [](const KDuzLayerElement& element) { return element.GetReferenceMode() == KDuzLayerElement::eDirect; },
            [&](KDuzLayerElement& element) {
                const auto& textures = static_cast<KDuzLayerElementTexture&>(element);
                duz.FieldWriteNamedString("BlendMode", duz6::BlendModeName(textures.GetBlendMode()));
                duz.FieldWriteBegin("TextureAlpha");
                duz.FieldWriteDouble(textures.GetAlpha());
                duz.FieldWriteEnd();
                const std::vector<int> indices = ConnectionIndices(textures, node, KDuzTexture::ClassId());
                duz.FieldWriteBegin("TextureId");
                for (int index : indices) duz.FieldWriteInt(index);
                duz.FieldWriteEnd();
            });
    }
    return true;
}

bool KDuzWriterDuz6::WriteLayerElementUserData(KDuzLayerContainer* geometry, ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    WriteElementRecords(duz, geometry, table, duz6::kUserDataRow, Never, [&](KDuzLayerElement& element) {
        auto& data = static_cast<KDuzLayerElementUserData&>(element);
        duz.FieldWriteBegin("UserDataId");
        duz.FieldWriteInt(data.GetId());
        duz.FieldWriteEnd();
        for (int a = 0; a < data.GetAttributeCount(); ++a) {
            const PropertyDataType type = data.GetDataType(a);
            duz.FieldWriteBegin("UserDataArray");
            duz.FieldWriteBlockBegin();
            duz.FieldWriteNamedString("UserDataType", type.GetName());
            const char* name = data.GetDataName(a);
            duz.FieldWriteNamedString("UserDataName", name != nullptr ? name : "");
            duz.FieldWriteBegin("UserData");
            const KDynamicArray* values = data.GetDirectArrayOf(a);
            const int kind = type.GetValueKind();
            const int count = values != nullptr ? values->Count() : 0;
            const auto* bytes = values != nullptr ? static_cast<const unsigned char*>(values->Data()) : nullptr;
            const int size = values != nullptr ? values->ElementSize() : 0;
            for (int j = 0; j < count; ++j) {
                const unsigned char* slot = bytes + static_cast<size_t>(j) * static_cast<size_t>(size);
                if (kind == eValueKindBool) {
                    bool v = false;
                    std::memcpy(&v, slot, sizeof v);
                    duz.FieldWriteInt(v ? 1 : 0);
                } else if (kind == eValueKindInt) {
                    int v = 0;
                    std::memcpy(&v, slot, sizeof v);
                    duz.FieldWriteInt(v);
                } else if (kind == eValueKindFloat) {
                    float v = 0.0f;
                    std::memcpy(&v, slot, sizeof v);
                    duz.FieldWriteFloat(v);
                } else if (kind == eValueKindDouble) {
                    double v = 0.0;
                    std::memcpy(&v, slot, sizeof v);
                    duz.FieldWriteDouble(v);
                } else {
                    duz.FieldWriteInt(-1);
                }
            }
            duz.FieldWriteEnd();
            duz.FieldWriteBlockEnd();
            duz.FieldWriteEnd();
        }
        if (element.GetReferenceMode() == KDuzLayerElement::eIndexToDirect)
            WriteInts(duz, "UserDataIndex", element.GetIndexArray());
    });
    return true;
}

bool KDuzWriterDuz6::WriteLayers(KDuzLayerContainer* geometry, const ElementTable& table) {
    KDuz& duz = *GetFieldFile();
    int number = 0;
    for (int l = 0; l < geometry->GetLayerCount(); ++l) {
        const KDuzLayer* layer = geometry->GetLayer(l);
        if (layer == nullptr) continue;
        bool any = false;
        for (const LayerElementRow& row : duz6::kLayerReferenceRows)
            if (layer->GetLayerElementOfType(row.type, IsUV(row)) != nullptr) any = true;
        if (!any) continue;
        duz.FieldWriteBegin("Layer");
        duz.FieldWriteInt(number++);
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin(duz6::kVersion);
        duz.FieldWriteInt(duz6::kLayerVersion);
        duz.FieldWriteEnd();
        for (const LayerElementRow& row : duz6::kLayerReferenceRows) {
            const KDuzLayerElement* element = layer->GetLayerElementOfType(row.type, IsUV(row));
            if (element == nullptr) continue;
            const auto found = table.find(element);
            duz.FieldWriteBegin("LayerElement");
            duz.FieldWriteBlockBegin();
            duz.FieldWriteNamedString("Type", row.record);
            duz.FieldWriteBegin("TypedIndex");
            duz.FieldWriteInt(found != table.end() ? found->second : 0);
            duz.FieldWriteEnd();
            duz.FieldWriteBlockEnd();
            duz.FieldWriteEnd();
        }
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    return true;
}

}  // namespace duzsdk
