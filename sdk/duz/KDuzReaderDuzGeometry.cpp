// Geometry, material and texture bodies of version 5 files. The layered
// layout shares the version 6 records; the old layout keeps its per-mesh
// records ("Normals", "Materials", "TextureUV", ...) and its materials and
// textures inline in the model.
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzReaderDuz.h"
#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

std::vector<int> ReadInts(KDuz& duz) {
    const int count = duz.FieldReadGetValueCount();
    std::vector<int> values(static_cast<size_t>(count > 0 ? count : 0));
    if (!values.empty()) duz.FieldReadInts(values.data(), count);
    return values;
}

std::vector<double> ReadDoubles(KDuz& duz) {
    const int count = duz.FieldReadGetValueCount();
    std::vector<double> values(static_cast<size_t>(count > 0 ? count : 0));
    if (!values.empty()) duz.FieldReadDoubles(values.data(), count);
    return values;
}

const char* NextText(KDuz& duz) { return duz.FieldReadGetRemainingValueCount() > 0 ? duz.FieldReadString() : ""; }

duzVectorTemplate3<double> Vec3(const double* v) { return duzVectorTemplate3<double>(v[0], v[1], v[2]); }

}  // namespace

bool KDuzReaderDuz::ReadMesh(KDuzMesh* mesh) {
    KDuz* duz = GetFieldFile();
    if (mesh == nullptr || duz == nullptr) return false;
    const int geometryVersion = duz->FieldReadIntOrDefault(duz6::kGeometryVersion, 0);
    (void)geometryVersion;
    if (!OldLayout()) {
        // The layered layout is the version 6 mesh body inside the model.
        KDuz6ReadMesh(MakeRecordContext(), mesh);
        return true;
    }
    KDuz6ReadVertices(*duz, mesh);
    KDuz6ReadPolygonVertexIndex(*duz, mesh);
    if (duz->FieldReadBegin(duz5::kNormals)) {
        const std::vector<double> values = ReadDoubles(*duz);
        duz->FieldReadEnd();
        const int count = static_cast<int>(values.size() / 3);
        if (count > 0 && mesh->InitNormals(count)) {
            KgeTVector* normals = mesh->GetNormals();
            for (int i = 0; i < count && normals != nullptr; ++i)
                normals[i] = KgeTVector(values[3 * i], values[3 * i + 1], values[3 * i + 2], 1.0);
        }
    }
    ReadPolygonGroups(mesh);
    ReadVertexColors(mesh);
    ReadInlineMaterialsAndTextures(mesh);

    const KString assignation(duz->FieldReadStringOrDefault(duz5::kMaterialAssignation, ""));
    if (assignation == KString("ByVertice")) mesh->InitMaterialIndices(1);
    else if (assignation == KString("ByPolygon")) mesh->InitMaterialIndices(3);
    else if (assignation == KString("AllSame")) mesh->InitMaterialIndices(5);
    if (!mInlineTextures.empty()) {
        const KString mode(duz->FieldReadStringOrDefault(duz5::kTextureMode, ""));
        if (mode == KString("ByPolygon")) mesh->InitTextureIndices(3);
        else if (mode == KString("ByModel")) mesh->InitTextureIndices(5);
    }
    if (duz->FieldReadBegin(duz5::kMaterials)) {
        const std::vector<int> values = ReadInts(*duz);
        duz->FieldReadEnd();
        if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
        KDuzLayer* layer = mesh->GetLayer(0);
        KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr;
        if (layer != nullptr && element == nullptr) {
            element = KDuzCreateLayerElementMaterial(mManager, "");
            layer->SetMaterials(element);
        }
        if (element != nullptr && element->GetReferenceMode() != KDuzLayerElement::eDirect) {
            // An index that names no material of the mesh is stored as 0.
            const int materials = mesh->GetMaterialCount();
            KTypedArray<int>& indices = element->GetIndexArray();
            indices.SetCount(0);
            for (int value : values) indices.Add(value >= 0 && value < materials ? value : 0);
        }
    }
    ReadMeshTextureId(mesh);
    static const char* const kGridInts[] = {"UExtendedCount", "VExtendedCount", "UStep", "VStep", "UCount", "VCount"};
    void (KDuzMesh::*const kGridSetters[])(int) = {&KDuzMesh::SetUExtendedCount, &KDuzMesh::SetVExtendedCount,
                                                   &KDuzMesh::SetUStep,          &KDuzMesh::SetVStep,
                                                   &KDuzMesh::SetUCount,         &KDuzMesh::SetVCount};
    for (int i = 0; i < 6; ++i)
        if (duz->FieldGetInstanceCount(kGridInts[i]) > 0) (mesh->*kGridSetters[i])(duz->FieldReadIntOrDefault(kGridInts[i], 0));
    static const char* const kGridFlags[] = {"UClosed", "VClosed", "UTopCap", "VTopCap"};
    void (KDuzMesh::*const kFlagSetters[])(bool) = {&KDuzMesh::SetUClosed, &KDuzMesh::SetVClosed, &KDuzMesh::SetUTopCap,
                                                    &KDuzMesh::SetVTopCap};
    for (int i = 0; i < 4; ++i)
        if (duz->FieldGetInstanceCount(kGridFlags[i]) > 0)
            (mesh->*kFlagSetters[i])(duz->FieldReadIntOrDefault(kGridFlags[i], 0) == 1);
    if (!mInlineTextures.empty() && duz->FieldReadBegin(duz5::kGeometryUVInfo)) {
        if (duz->FieldReadBlockBegin()) {
            const KString mapping(duz->FieldReadStringOrDefault("MappingInformationType", ""));
            int mode = 2;
            if (!mapping.IsEmpty()) {
                mode = mapping == KString("ByVertice") ? 1 : mapping == KString("ByPolygon") ? 2 : 5;
            } else {
                const int uvType = duz->FieldReadIntOrDefault(duz5::kUVType, 0);
                if (uvType == 1) mode = 2;
                else if (uvType == 2) mode = 3;
                else mode = KString(duz->FieldReadStringOrDefault(duz5::kTextureType, "")) == KString("ByFace") ? 3 : 2;
            }
            mesh->InitTextureUVIndices(mode);
            const char* uvField = duz->FieldGetInstanceCount(duz5::kTextureUV) > 0 ? duz5::kTextureUV : duz5::kTexturePUV;
            if (duz->FieldReadBegin(uvField)) {
                const std::vector<double> values = ReadDoubles(*duz);
                duz->FieldReadEnd();
                const int pairs = static_cast<int>(values.size() / 2);
                const int count = mesh->GetTextureUVMappingMode() == 2 ? pairs
                                                                        : std::min(pairs, mesh->GetControlPointsCount());
                if (mesh->InitTextureUV(count)) {
                    KgeUVVector* uvs = mesh->GetTextureUV();
                    for (int i = 0; i < count && uvs != nullptr; ++i) uvs[i] = KgeUVVector(values[2 * i], values[2 * i + 1]);
                }
            }
            KDuzLayer* layer = mesh->GetLayer(0);
            KDuzLayerElementUV* uv = layer != nullptr ? layer->GetUVs() : nullptr;
            if (uv != nullptr && uv->GetReferenceMode() == KDuzLayerElement::eIndexToDirect) {
                const char* indexField = duz->FieldGetInstanceCount(duz5::kTextureVertexIndex) > 0
                                             ? duz5::kTextureVertexIndex
                                             : duz5::kTextureUVVerticeIndex;
                KTypedArray<int>& indices = uv->GetIndexArray();
                const int uvCount = mesh->GetTextureUVCount();
                indices.SetCount(0);
                if (duz->FieldReadBegin(indexField)) {
                    // An index that names no UV is stored as 0.
                    for (int value : ReadInts(*duz)) indices.Add(value >= 0 && value < uvCount ? value : 0);
                    duz->FieldReadEnd();
                } else {
                    for (int i = 0; i < uvCount; ++i) indices.Add(i);
                }
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    if (geometryVersion <= duz5::kLastShortTextureGeometryVersion) ExtendTextureDirectArrays(mesh);
    return true;
}

void KDuzReaderDuz::ReadPolygonGroups(KDuzMesh* mesh) {
    KDuz* duz = GetFieldFile();
    KTypedArray<KDuzMeshPolygon>& polygons = mesh->GetPolygonArray();
    std::vector<int> values;
    if (duz->FieldReadBegin(duz5::kPolygonGroup)) {
        values = ReadInts(*duz);
        duz->FieldReadEnd();
    }
    if (!values.empty() && static_cast<int>(values.size()) == polygons.Count()) {
        if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
        KDuzLayer* layer = mesh->GetLayer(0);
        KDuzLayerElementPolygonGroup* element = layer != nullptr ? layer->GetPolygonGroups() : nullptr;
        if (layer != nullptr && element == nullptr) element = layer->SetPolygonGroups(KDuzCreateLayerElementPolygonGroup(mManager, ""));
        if (element != nullptr) {
            element->SetMappingMode(KDuzLayerElement::eByPolygon);
            element->SetReferenceMode(KDuzLayerElement::eIndex);
            KTypedArray<int>& indices = element->GetIndexArray();
            indices.SetCount(0);
            for (int value : values) indices.Add(value);
        }
        for (int i = 0; i < polygons.Count(); ++i) polygons.Data()[i].mGroup = values[static_cast<size_t>(i)];
        return;
    }
    for (int i = 0; i < polygons.Count(); ++i) polygons.Data()[i].mGroup = 0;
}

bool KDuzReaderDuz::ReadVertexColors(KDuzMesh* mesh) {
    KDuz* duz = GetFieldFile();
    if (!duz->FieldReadBegin(duz5::kVertexColorInfo)) return true;
    bool result = true;
    if (duz->FieldReadBlockBegin()) {
        if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
        KDuzLayer* layer = mesh->GetLayer(0);
        KDuzLayerElementVertexColor* element = layer != nullptr ? layer->GetVertexColors() : nullptr;
        if (layer != nullptr && element == nullptr) element = layer->SetVertexColors(KDuzCreateLayerElementVertexColor(mManager, ""));
        duz->FieldReadIntOrDefault(duz6::kVersion, 0);
        const KString mapping(duz->FieldReadStringOrDefault("MappingInformationType", ""));
        std::vector<double> colors;
        std::vector<int> indices;
        const bool indexed = duz->FieldGetInstanceCount("ColorIndex") > 0;
        if (duz->FieldReadBegin("Colors")) {
            colors = ReadDoubles(*duz);
            duz->FieldReadEnd();
        }
        if (duz->FieldReadBegin("ColorIndex")) {
            indices = ReadInts(*duz);
            duz->FieldReadEnd();
        }
        const size_t colorCount = colors.size() / 4;
        const bool byVertex = mapping == KString("ByVertice");
        const bool byCorner = mapping == KString("ByPolygonVertex");
        const size_t needed = byVertex   ? static_cast<size_t>(mesh->GetControlPointsCount())
                              : byCorner ? static_cast<size_t>(mesh->GetPolygonVertexArray().Count())
                                         : 0;
        bool valid = (byVertex || byCorner) && (indexed ? indices.size() : colorCount) == needed;
        // An index must name one of the colours read.
        for (int index : indices) valid = valid && index >= 0 && static_cast<size_t>(index) < colorCount;
        if (element != nullptr) {
            element->GetDirectArray().SetCount(0);
            element->GetIndexArray().SetCount(0);
            if (valid) {
                element->SetMappingMode(byVertex ? KDuzLayerElement::eByControlPoint : KDuzLayerElement::eByPolygonVertex);
                element->SetReferenceMode(indexed ? KDuzLayerElement::eIndexToDirect : KDuzLayerElement::eDirect);
                for (size_t i = 0; i < colorCount; ++i)
                    element->GetDirectArray().Add(
                        KDuzRGBAColor(colors[4 * i], colors[4 * i + 1], colors[4 * i + 2], colors[4 * i + 3]));
                for (int index : indices) element->GetIndexArray().Add(index);
            }
        }
        result = valid;
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
    return result;
}

void KDuzReaderDuz::ReadMeshTextureId(KDuzMesh* mesh) {
    KDuz* duz = GetFieldFile();
    if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
    KDuzLayer* layer = mesh->GetLayer(0);
    if (layer == nullptr) return;
    KDuzLayerElementTexture* element = layer->GetTextures();
    if (duz->FieldReadBegin(duz5::kTextureId)) {
        const std::vector<int> values = ReadInts(*duz);
        duz->FieldReadEnd();
        if (element == nullptr) element = layer->SetTextures(KDuzCreateLayerElementTexture(mManager, ""));
        if (element == nullptr) return;
        // An index that names no texture of the element is stored as 0.
        const int textures = element->GetDirectArray().Count();
        for (int value : values) element->GetIndexArray().Add(value >= 0 && value < textures ? value : 0);
    } else if (element != nullptr) {
        const int textures = element->GetDirectArray().Count();
        if (textures >= 1) element->GetIndexArray().Add(textures - 1);
    }
}

// Files of geometry version 123 and below index their inline textures
// straight from the texture records: the direct arrays are filled up to the
// highest index, each entry the inline texture at its position. Indices
// past the inline list name nothing and are left out.
void KDuzReaderDuz::ExtendTextureDirectArrays(KDuzMesh* mesh) {
    if (mInlineTextures.empty() || mesh->GetLayerCount() < 2) return;
    const int inline_ = static_cast<int>(mInlineTextures.size());
    for (int l = 0; l < mesh->GetLayerCount(); ++l) {
        KDuzLayer* layer = mesh->GetLayer(l);
        KDuzLayerElementTexture* element = layer != nullptr ? layer->GetTextures() : nullptr;
        if (element == nullptr || element->GetReferenceMode() != KDuzLayerElement::eIndexToDirect) continue;
        auto& direct = element->GetDirectArray();
        const KTypedArray<int>& indices = element->GetIndexArray();
        for (int i = 0; i < indices.Count(); ++i) {
            const int index = indices.Data()[i];
            if (index < 0 || index >= inline_) continue;
            while (direct.Count() <= index) direct.Add(mInlineTextures[static_cast<size_t>(direct.Count())]);
        }
    }
}

void KDuzReaderDuz::ReadInlineMaterialsAndTextures(KDuzGeometry* geometry) {
    KDuz* duz = GetFieldFile();
    if (geometry == nullptr || duz == nullptr) return;
    if (OptionIsSet("MATERIAL")) {
        while (duz->FieldReadBegin(duz5::kMaterial)) {
            KDuzSurfacePhong* material = KDuzSurfacePhong::Create(mManager, "");
            if (material != nullptr && !(ReadOldMaterial(material) && geometry->AddMaterial(material) >= 0))
                material->Destroy();
            duz->FieldReadEnd();
        }
    }
    if (OptionIsSet("TEXTURE")) {
        while (duz->FieldReadBegin(duz5::kTexture)) {
            KDuzTexture* texture = KDuzTexture::Create(mManager, "");
            if (texture != nullptr) {
                if (ReadOldTexture(texture)) mInlineTextures.push_back(texture);
                else texture->Destroy();
            }
            duz->FieldReadEnd();
        }
    }
    ReadOldLinks(geometry);
    KDuz6ReadShapes(MakeRecordContext(), geometry);
    // Each "GeometryLayer" with texture information makes a layer; without
    // any, every inline texture of a mesh goes to layer 0.
    bool layered = false;
    while (duz->FieldReadBegin(duz5::kGeometryLayer)) {
        if (duz->FieldReadBlockBegin()) {
            if (duz->FieldReadBegin(duz5::kLayerTextureInfo)) {
                layered = true;
                const int index = geometry->CreateLayer();
                if (index >= 0 && duz->FieldReadBlockBegin()) {
                    ReadLayerTextureMode(geometry, index);
                    duz->FieldReadBlockEnd();
                }
                duz->FieldReadEnd();
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    if (!layered && dynamic_cast<KDuzMesh*>(geometry) != nullptr)
        for (KDuzTexture* texture : mInlineTextures) geometry->AddTexture(texture);
    // A mesh keeps the blend mode of its first texture layer in a
    // "LayerTextureInfo" of its own, outside any "GeometryLayer".
    KDuzLayer* first = geometry->GetLayer(0);
    KDuzLayerElementTexture* textures = first != nullptr ? first->GetTextures() : nullptr;
    if (textures != nullptr && dynamic_cast<KDuzMesh*>(geometry) != nullptr &&
        duz->FieldReadBegin(duz5::kLayerTextureInfo)) {
        if (duz->FieldReadBlockBegin()) {
            textures->SetBlendMode(duz->FieldReadIntOrDefault("TextureBlendMode", textures->GetBlendMode()));
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
}

bool KDuzReaderDuz::ReadLayerTextureMode(KDuzGeometry* geometry, int layerIndex) {
    KDuz* duz = GetFieldFile();
    KDuzLayer* layer = geometry != nullptr ? geometry->GetLayer(layerIndex) : nullptr;
    if (layer == nullptr) return false;
    KDuzLayerElementTexture* element = layer->GetTextures();
    if (element == nullptr) element = layer->SetTextures(KDuzCreateLayerElementTexture(mManager, ""));
    if (element == nullptr) return false;
    auto* mesh = dynamic_cast<KDuzMesh*>(geometry);
    bool ok = true;
    int mapping = KDuzLayerElement::eNone;
    switch (duz->FieldReadIntOrDefault(duz5::kTextureMode, 0)) {
        case 0: break;
        case 2: mapping = KDuzLayerElement::eAllSame; break;
        case 6:
            if (mesh != nullptr) mapping = KDuzLayerElement::eByPolygon;
            else ok = false;
            break;
        default: ok = false; break;
    }
    element->SetMappingMode(static_cast<KDuzLayerElement::EMappingMode>(mapping));
    element->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    element->SetBlendMode(duz->FieldReadIntOrDefault("TextureBlendMode", 2));
    auto& direct = element->GetDirectArray();
    KTypedArray<int>& indices = element->GetIndexArray();
    const int inlineCount = static_cast<int>(mInlineTextures.size());
    if (mapping == KDuzLayerElement::eByPolygon) {
        const int polygons = mesh->GetPolygonCount();
        if (polygons > 0 && duz->FieldReadBegin(duz5::kTextureId)) {
            const std::vector<int> values = ReadInts(*duz);
            duz->FieldReadEnd();
            std::map<int, int> positions;
            for (int i = 0; i < polygons && i < static_cast<int>(values.size()); ++i) {
                const int t = values[static_cast<size_t>(i)];
                // A texture index that names no inline texture is stored as 0.
                if (t < 0 || t >= inlineCount) {
                    indices.Add(0);
                    ok = false;
                    continue;
                }
                auto found = positions.find(t);
                if (found == positions.end()) {
                    direct.Add(mInlineTextures[static_cast<size_t>(t)]);
                    found = positions.emplace(t, direct.Count() - 1).first;
                }
                indices.Add(found->second);
            }
        }
    } else {
        const int t = duz->FieldReadIntOrDefault(duz5::kTextureId, 0);
        if (t >= 0 && t < inlineCount) {
            direct.Add(mInlineTextures[static_cast<size_t>(t)]);
            indices.Add(direct.Count() - 1);
        }
    }
    const int uvMode = duz->FieldReadIntOrDefault("UVMode", 0);
    if (uvMode == 0) return ok;
    KDuzLayerElementUV* uv = layer->SetUVsOfType(KDuzCreateLayerElementUV(mManager, ""), 3);
    if (uv == nullptr) return false;
    int uvMapping = KDuzLayerElement::eNone;
    int uvReference = KDuzLayerElement::eDirect;
    if (uvMode == 3 || uvMode == 4) {
        uvMapping = KDuzLayerElement::eByControlPoint;
        uvReference = uvMode == 4 ? KDuzLayerElement::eIndexToDirect : KDuzLayerElement::eDirect;
    } else if ((uvMode == 7 || uvMode == 8) && mesh != nullptr) {
        uvMapping = KDuzLayerElement::eByPolygonVertex;
        uvReference = uvMode == 8 ? KDuzLayerElement::eIndexToDirect : KDuzLayerElement::eDirect;
    } else {
        ok = false;
    }
    uv->SetMappingMode(static_cast<KDuzLayerElement::EMappingMode>(uvMapping));
    uv->SetReferenceMode(static_cast<KDuzLayerElement::EReferenceMode>(uvReference));
    if (uvMapping == KDuzLayerElement::eNone) return ok;
    const int uvCount = duz->FieldReadIntOrDefault("UVCount", 0);
    if (uvCount > 0 && duz->FieldReadBegin("UV")) {
        const std::vector<double> values = ReadDoubles(*duz);
        duz->FieldReadEnd();
        const size_t pairs = std::min(static_cast<size_t>(uvCount), values.size() / 2);
        for (size_t i = 0; i < pairs; ++i) uv->GetDirectArray().Add(KgeUVVector(values[2 * i], values[2 * i + 1]));
    }
    if (uvReference != KDuzLayerElement::eIndexToDirect) return ok;
    const int corners = uvMapping == KDuzLayerElement::eByControlPoint ? geometry->GetControlPointsCount()
                                                                        : mesh->GetPolygonVertexArray().Count();
    if (corners > 0 && duz->FieldReadBegin("UVId")) {
        const std::vector<int> values = ReadInts(*duz);
        duz->FieldReadEnd();
        const int available = uv->GetDirectArray().Count();
        for (int i = 0; i < corners && i < static_cast<int>(values.size()); ++i) {
            const int index = values[static_cast<size_t>(i)];
            const bool valid = index >= 0 && index < available;
            uv->GetIndexArray().Add(valid ? index : 0);
            ok = ok && valid;
        }
    }
    return ok;
}

bool KDuzReaderDuz::ReadOldMaterial(KDuzSurfaceMaterial* material) {
    KDuz* duz = GetFieldFile();
    if (material == nullptr || duz == nullptr) return false;
    material->SetName(KDuz6StripPrefix(NextText(*duz)).Buffer());
    if (!duz->FieldReadBlockBegin()) return true;
    const KString model = KString(duz->FieldReadStringOrDefault("ShadingModel", "phong")).Lower();
    // Through the material's values: a material read makes no handles.
    material->SetShadingModelText(model);
    auto* lambert = dynamic_cast<KDuzSurfaceLambert*>(material);
    auto* phong = dynamic_cast<KDuzSurfacePhong*>(material);
    double v[3] = {0.0, 0.0, 0.0};
    auto colour = [&](const char* field, EDuzMaterialProperty color, EDuzMaterialProperty factor) {
        if (!KDuz6ReadDoublesField(*duz, field, v, 3)) return;
        material->SetBuiltInDouble3(color, Vec3(v));
        material->SetBuiltInDouble(factor, 1.0);
    };
    if (lambert != nullptr) {
        colour("Ambient", eMaterialAmbientColor, eMaterialAmbientFactor);
        colour("Diffuse", eMaterialDiffuseColor, eMaterialDiffuseFactor);
    }
    if (phong != nullptr) colour("Specular", eMaterialSpecularColor, eMaterialSpecularFactor);
    if (lambert != nullptr) colour("Emissive", eMaterialEmissiveColor, eMaterialEmissiveFactor);
    const duzVectorTemplate3<double> white(1.0, 1.0, 1.0);
    if (phong != nullptr && duz->FieldReadBegin("Shininess")) {
        double shininess = duz->FieldReadDouble();
        if (duz->GetSectionVersion(duz->GetCurrentSectionIndex()) < 3000) shininess /= 1.28;
        material->SetBuiltInDouble(eMaterialShininessExponent, shininess);
        duz->FieldReadEnd();
    }
    if (phong != nullptr && duz->FieldReadBegin("Reflectivity")) {
        material->SetBuiltInDouble(eMaterialReflectionFactor, duz->FieldReadDouble());
        material->SetBuiltInDouble3(eMaterialReflectionColor, white);
        duz->FieldReadEnd();
    }
    if (lambert != nullptr && duz->FieldReadBegin("Alpha")) {
        const double transparency = 1.0 - duz->FieldReadDouble();
        material->SetBuiltInDouble3(eMaterialTransparentColor, white);
        material->SetBuiltInDouble(eMaterialTransparencyFactor, transparency);
        duz->FieldReadEnd();
    }
    if (duz->FieldGetInstanceCount(duz5::kProperties) > 0) ReadOldProperties(material);
    duz->FieldReadBlockEnd();
    return true;
}

bool KDuzReaderDuz::ReadOldTexture(KDuzTexture* texture) {
    KDuz* duz = GetFieldFile();
    if (texture == nullptr || duz == nullptr) return false;
    texture->SetName(KDuz6StripPrefix(NextText(*duz)).Buffer());
    if (!duz->FieldReadBlockBegin()) return true;
    texture->SetMediaName(KDuz6StripPrefix(duz->FieldReadStringOrDefault("Media", "")).Buffer());
    double v[3] = {0.0, 0.0, 0.0};
    if (KDuz6ReadDoublesField(*duz, "Translation", v, 2)) texture->SetDefaultT(KgeTVector(v[0], v[1], 0.0, 0.0));
    if (KDuz6ReadDoublesField(*duz, "Rotation", v, 3)) texture->SetDefaultR(KgeTVector(v[0], v[1], v[2], 0.0));
    if (KDuz6ReadDoublesField(*duz, "Scaling", v, 2)) texture->SetDefaultS(KgeTVector(v[0], v[1], 1.0, 0.0));
    if (duz->FieldReadBegin("TextureAlpha")) {
        const double alpha = duz->FieldReadDouble();
        texture->SetDefaultAlpha(alpha < 0.0 ? 0.0 : alpha > 1.0 ? 1.0 : alpha);
        duz->FieldReadEnd();
    }
    // The first value of these is V, the second U.
    if (KDuz6ReadDoublesField(*duz, "ModelUVTranslation", v, 2)) texture->SetModelUVTranslation(v[1], v[0]);
    if (KDuz6ReadDoublesField(*duz, "ModelUVScaling", v, 2)) texture->SetModelUVScaling(v[1], v[0]);
    auto code = [&](const char* field, std::initializer_list<const char*> names) {
        const KString text(duz->FieldReadStringOrDefault(field, ""));
        int index = 0;
        for (const char* name : names) {
            if (text == KString(name)) return index;
            ++index;
        }
        return 0;
    };
    texture->SetAlphaSource(code("Texture_Alpha_Source", {"None", "RGB_Intensity", "Alpha_Black"}));
    if (duz->FieldReadBegin("Cropping")) {
        int c[4] = {0, 0, 0, 0};
        if (duz->FieldReadGetValueCount() >= 4) duz->FieldReadInts(c, 4);
        // Kept as the file's fourth, second, third and first value.
        texture->SetCropping(c[3], c[2], c[1], c[0]);
        duz->FieldReadEnd();
    }
    texture->SetMappingType(code("Texture_Mapping_Type",
                                 {"None", "Planar", "Spherical", "Cylindrical", "Box", "Face", "UV", "Environment"}));
    texture->SetPlanarMappingNormal(code("Texture_Planar_Mapping_Normal", {"X", "Y", "Z"}));
    texture->SetSwapUV(duz->FieldReadIntOrDefault("SwapUV", 0) != 0);
    texture->SetMaterialMode(duz->FieldReadIntOrDefault("MaterialMode", 0));
    texture->SetTextureUse(code("TextureUse", {"Standard", "ShadowMap", "LightMap", "SphericalReflexionMap",
                                               "SphereReflexionMap", "BumpNormalMap"}));
    const int wrapV = duz->FieldReadIntOrDefault("WrapV", 0);
    const int wrapU = duz->FieldReadIntOrDefault("WrapU", 0);
    texture->SetWrapMode(wrapU, wrapV);
    texture->SetBlendMode(duz->FieldReadIntOrDefault("BlendMode", 0));
    if (duz->FieldGetInstanceCount(duz5::kProperties) > 0) ReadOldProperties(texture);
    duz->FieldReadBlockEnd();
    return true;
}

// "Link" fields of an old-layout geometry: clusters whose models are named,
// found when every model exists.
void KDuzReaderDuz::ReadOldLinks(KDuzGeometry* geometry) {
    KDuz* duz = GetFieldFile();
    if (geometry == nullptr || duz == nullptr || !OptionIsSet("LINK")) return;
    while (duz->FieldReadBegin(duz5::kLink)) {
        KDuzCluster* cluster = KDuzCluster::Create(mManager, "");
        if (cluster != nullptr) {
            if (ReadOldCluster(cluster)) {
                KDuzSkin* skin = nullptr;
                for (int i = 0; i < geometry->GetDeformerCount() && skin == nullptr; ++i)
                    skin = dynamic_cast<KDuzSkin*>(geometry->GetDeformer(i));
                // Clusters join the first skin, also one the geometry had
                // before its first link.
                cluster->DropIndicesOutside(geometry->GetControlPointsCount());
                if (skin == nullptr && (skin = KDuzSkin::Create(mManager, "")) != nullptr &&
                    !geometry->ConnectSrcObject(skin)) {
                    skin->Destroy();
                    skin = nullptr;
                }
                if (skin == nullptr || !skin->ConnectSrcObject(cluster)) {
                    mClusterNames.erase(cluster);
                    cluster->Destroy();
                }
            } else {
                cluster->Destroy();
            }
        }
        duz->FieldReadEnd();
    }
}

bool KDuzReaderDuz::ReadOldCluster(KDuzCluster* cluster) {
    KDuz* duz = GetFieldFile();
    if (cluster == nullptr || duz == nullptr) return false;
    ClusterNames names;
    names.link = KDuz6StripPrefix(NextText(*duz));
    if (!duz->FieldReadBlockBegin()) {
        mClusterNames[cluster] = names;
        return true;
    }
    const KString mode(duz->FieldReadStringOrDefault("Mode", ""));
    cluster->SetLinkMode(KDuz6TextEqualsNoCase(mode.Buffer(), "Additive") ? 1
                         : KDuz6TextEqualsNoCase(mode.Buffer(), "Total1") ? 2 : 0);
    KDuz6ReadClusterUserDataAndWeights(*duz, cluster);
    KgeMatrix transform;
    KgeMatrix link;
    if (duz->FieldReadBegin("Transform")) {
        if (duz->FieldReadGetValueCount() >= 16) duz->FieldReadDoubles(transform.Data(), 16);
        duz->FieldReadEnd();
    }
    if (duz->FieldReadBegin("TransformLink")) {
        if (duz->FieldReadGetValueCount() >= 16) duz->FieldReadDoubles(link.Data(), 16);
        duz->FieldReadEnd();
    }
    // The file holds the transforms relative to the link: the link's
    // matrix goes first, as the writers and the version 6 reader have it.
    const KgeMatrix rebuiltLink = KDuzCluster::Rebuild(link);
    KgeMatrix product;
    KgeMatrixMultiplyAffine(product.Data(), rebuiltLink.Data(), KDuzCluster::Rebuild(transform).Data());
    cluster->SetTransformMatrix(product);
    cluster->SetTransformLinkMatrix(link);
    if (duz->FieldReadBegin("AssociateModel")) {
        names.associate = KDuz6StripPrefix(NextText(*duz));
        if (duz->FieldReadBlockBegin()) {
            KgeMatrix associate;
            if (duz->FieldReadBegin("Transform")) {
                if (duz->FieldReadGetValueCount() >= 16) duz->FieldReadDoubles(associate.Data(), 16);
                duz->FieldReadEnd();
                KgeMatrix associateProduct;
                KgeMatrixMultiplyAffine(associateProduct.Data(), rebuiltLink.Data(),
                                        KDuzCluster::Rebuild(associate).Data());
                cluster->SetTransformAssociateModelMatrix(associateProduct);
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    if (duz->FieldReadBegin("TransformParent")) {
        KgeMatrix parent;
        if (duz->FieldReadGetValueCount() >= 16) {
            duz->FieldReadDoubles(parent.Data(), 16);
            cluster->SetTransformParentMatrix(parent);
        }
        duz->FieldReadEnd();
    }
    duz->FieldReadBlockEnd();
    mClusterNames[cluster] = names;
    return true;
}

}  // namespace duzsdk
