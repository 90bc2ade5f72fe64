// Geometry, material and texture bodies of version 5 files. The layered
// layout shares the version 6 records; the old layout keeps its per-mesh
// records ("Normals", "Materials", "TextureUV", ...) and its materials and
// textures inline in the model.
#include <algorithm>
#include <cstring>
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
    return true;
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
    // Without layer records every inline texture goes to layer 0.
    if (dynamic_cast<KDuzMesh*>(geometry) != nullptr)
        for (KDuzTexture* texture : mInlineTextures) geometry->AddTexture(texture);
}

bool KDuzReaderDuz::ReadOldMaterial(KDuzSurfaceMaterial* material) {
    KDuz* duz = GetFieldFile();
    if (material == nullptr || duz == nullptr) return false;
    material->SetName(KDuz6StripPrefix(NextText(*duz)).Buffer());
    if (!duz->FieldReadBlockBegin()) return true;
    const KString model = KString(duz->FieldReadStringOrDefault("ShadingModel", "phong")).Lower();
    material->GetShadingModel().SetValue(&model, eValueKindString);
    auto* lambert = dynamic_cast<KDuzSurfaceLambert*>(material);
    auto* phong = dynamic_cast<KDuzSurfacePhong*>(material);
    double v[3] = {0.0, 0.0, 0.0};
    auto colour = [&](const char* field, KDuzProperty color, KDuzProperty factor) {
        if (!KDuz6ReadDoublesField(*duz, field, v, 3)) return;
        const duzVectorTemplate3<double> value = Vec3(v);
        color.SetValue(&value, eValueKindDouble3);
        const double one = 1.0;
        factor.SetValue(&one, eValueKindDouble);
    };
    if (lambert != nullptr) {
        colour("Ambient", lambert->GetAmbientColor(), lambert->GetAmbientFactor());
        colour("Diffuse", lambert->GetDiffuseColor(), lambert->GetDiffuseFactor());
    }
    if (phong != nullptr) colour("Specular", phong->GetSpecularColor(), phong->GetSpecularFactor());
    if (lambert != nullptr) colour("Emissive", lambert->GetEmissiveColor(), lambert->GetEmissiveFactor());
    if (phong != nullptr && duz->FieldReadBegin("Shininess")) {
        double shininess = duz->FieldReadDouble();
        if (duz->GetSectionVersion(duz->GetCurrentSectionIndex()) < 3000) shininess /= 1.28;
        phong->GetShininessExponent().SetValue(&shininess, eValueKindDouble);
        duz->FieldReadEnd();
    }
    if (phong != nullptr && duz->FieldReadBegin("Reflectivity")) {
        const double factor = duz->FieldReadDouble();
        phong->GetReflectionFactor().SetValue(&factor, eValueKindDouble);
        const duzVectorTemplate3<double> white(1.0, 1.0, 1.0);
        phong->GetReflectionColor().SetValue(&white, eValueKindDouble3);
        duz->FieldReadEnd();
    }
    if (lambert != nullptr && duz->FieldReadBegin("Alpha")) {
        const double transparency = 1.0 - duz->FieldReadDouble();
        const duzVectorTemplate3<double> white(1.0, 1.0, 1.0);
        lambert->GetTransparentColor().SetValue(&white, eValueKindDouble3);
        lambert->GetTransparencyFactor().SetValue(&transparency, eValueKindDouble);
        duz->FieldReadEnd();
    }
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
        texture->SetCropping(c[3], c[1], c[2], c[0]);
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
    KgeMatrix product;
    KgeMatrixMultiplyAffine(product.Data(), transform.Data(), link.Data());
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
                KgeMatrixMultiplyAffine(associateProduct.Data(), associate.Data(), link.Data());
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
