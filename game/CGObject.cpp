#include "game/CGObject.h"

#include "game/GameModelImport.h"
#include "game/GameUtil.h"

#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"

#include <cstdlib>

using namespace duzsdk;

namespace {

// The direct-array position a layer element gives for one corner, through
// its mapping and reference modes; -1 when the element has no value there.
template <class Element>
int ElementIndex(const Element* element, int polygon, int corner, int controlPoint) {
    if (element == nullptr) return -1;
    int index = -1;
    switch (element->GetMappingMode()) {
    case KDuzLayerElement::eByControlPoint: index = controlPoint; break;
    case KDuzLayerElement::eByPolygonVertex: index = corner; break;
    case KDuzLayerElement::eByPolygon: index = polygon; break;
    case KDuzLayerElement::eAllSame: index = 0; break;
    default: return -1;
    }
    if (element->GetReferenceMode() != KDuzLayerElement::eDirect) {
        const KTypedArray<int>& indices = element->GetIndexArray();
        if (index < 0 || index >= indices.Count()) return -1;
        index = indices[index];
    }
    return index >= 0 && index < element->GetDirectArray().Count() ? index : -1;
}

void ColorOf(const KDuzProperty& property, double alpha, float out[4]) {
    duzVectorTemplate3<double> value = KDuzTypedProperty<duzVectorTemplate3<double>>(property).Get();
    out[0] = static_cast<float>(value[0]);
    out[1] = static_cast<float>(value[1]);
    out[2] = static_cast<float>(value[2]);
    out[3] = static_cast<float>(alpha);
}

}  // namespace

void CGObject::Bind(const std::string& directory, const CGTexture* textures, const CGShader* shaderRecord) {
    settingsDirectory = directory;
    if (textures != nullptr) textureTable = textures->table;
    if (shaderRecord != nullptr) shader = *shaderRecord;
}

bool CGObject::ImportModel(const std::string& path) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    bool imported = false;
    if (manager != nullptr) {
        KDuzScene* scene = KDuzScene::Create(manager, "");
        if (scene != nullptr && GameImportScene(manager, scene, path)) {
            AddPartsFromScene(scene);
            imported = true;
        }
        // The arrays are copies, so nothing of the SDK outlives the import.
        manager->Destroy();
    }
    if (!imported)
        GameLog("model not imported: %s", path.c_str());
    else
        GameLog("model %s: %d parts", path.c_str(), PartCount());
    ReadModelSettings();
    BuildVertexBuffers();
    SetPartRange(0, PartCount() - 1);
    BuildDisplayList();
    return imported;
}

void CGObject::AddPartsFromScene(KDuzScene* scene) {
    if (scene == nullptr || scene->GetRootNode() == nullptr) return;
    KDuzNode* root = scene->GetRootNode();
    const int childCount = root->GetChildCount();
    for (int i = 0; i < childCount; ++i) {
        KDuzNode* node = root->GetChild(i);
        if (node == nullptr) continue;
        KDuzObject* attribute = node->GetNodeAttribute();
        auto* nodeAttribute = dynamic_cast<KDuzNodeAttribute*>(attribute);
        if (nodeAttribute == nullptr || nodeAttribute->GetAttributeType() != KDuzNodeAttribute::eMesh) continue;
        auto* mesh = dynamic_cast<KDuzMesh*>(node->GetMesh());
        if (mesh == nullptr) continue;

        CGPart part;
        const int pointCount = mesh->GetControlPointsCount();
        const KgeTVector* points = mesh->GetControlPoints();
        const KDuzLayer* layer0 = mesh->GetLayer(0);
        const KDuzLayerElementNormal* normals = layer0 != nullptr ? layer0->GetNormals() : nullptr;
        const KDuzLayerElementUV* uvs = layer0 != nullptr ? layer0->GetUVsOfType(3) : nullptr;
        part.controlPointCount = pointCount;
        part.uvCount = mesh->GetTextureUVCount(3);

        KgeMatrix m;   // identity
        m.CopyAffine(node->GetGlobalTransform());

        // Polygons are fanned into triangles: the physics and the draw calls
        // take three corners per triangle. Corners naming a missing control
        // point drop their polygon.
        const int polygonCount = mesh->GetPolygonCount();
        int corner = 0;   // first corner of the current polygon in the mesh
        for (int p = 0; p < polygonCount; ++p) {
            const int size = mesh->GetPolygonSize(p);
            bool valid = size >= 3;
            for (int c = 0; valid && c < size; ++c) {
                int k = mesh->GetPolygonVertex(p, c);
                valid = k >= 0 && k < pointCount;
            }
            if (valid) {
                for (int t = 1; t + 1 < size; ++t) {
                    for (int c : {0, t, t + 1}) {
                        const int k = mesh->GetPolygonVertex(p, c);
                        const KgeTVector& point = points[k];
                        const double in[4] = {point[0], point[1], point[2], 1.0};
                        for (int col = 0; col < 3; ++col) {
                            double sum = 0;
                            for (int r = 0; r < 4; ++r) sum += in[r] * m.GetElement(r, col);
                            part.vertices.push_back(static_cast<float>(sum));
                        }
                        const int n = ElementIndex(normals, p, corner + c, k);
                        for (int e = 0; e < 3; ++e)
                            part.normals.push_back(n < 0 ? 0.0f : static_cast<float>(normals->GetDirectArray()[n][e]));
                        const int u = ElementIndex(uvs, p, corner + c, k);
                        part.uvs.push_back(u < 0 ? 0.0f : static_cast<float>(uvs->GetDirectArray()[u].mU));
                        part.uvs.push_back(u < 0 ? 0.0f : static_cast<float>(uvs->GetDirectArray()[u].mV));
                    }
                    ++part.polygonCount;
                }
            }
            corner += size > 0 ? size : 0;
        }
        part.polygonVertexCount = part.polygonCount * 3;
        ReadNodeProperties(mesh, part.material);
        parts.push_back(std::move(part));
    }
}

void CGObject::ReadNodeProperties(const KDuzMesh* mesh, CGMaterial& material) {
    if (mesh == nullptr) return;
    for (int l = 0; l < mesh->GetLayerCount(); ++l) {
        const KDuzLayer* layer = mesh->GetLayer(l);
        const KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr;
        if (element == nullptr || element->GetMappingMode() == KDuzLayerElement::eByControlPoint) continue;
        const auto& direct = element->GetDirectArray();
        for (int i = 0; i < direct.Count(); ++i) {
            KDuzSurfaceMaterial* surface = direct[i];
            if (surface == nullptr) continue;
            // Phong first: its class is not a Lambert for the class-id test.
            if (surface->GetClassId().Is(KDuzSurfacePhong::ClassId())) {
                auto* phong = static_cast<KDuzSurfacePhong*>(surface);
                const double alpha = KDuzTypedProperty<double>(phong->GetTransparencyFactor()).Get();
                ColorOf(phong->GetAmbientColor(), alpha, material.ambient);
                ColorOf(phong->GetDiffuseColor(), alpha, material.diffuse);
                ColorOf(phong->GetSpecularColor(), alpha, material.specular);
                ColorOf(phong->GetEmissiveColor(), alpha, material.emission);
                material.shininess = static_cast<float>(KDuzTypedProperty<double>(phong->GetShininessExponent()).Get());
            } else if (surface->GetClassId().Is(KDuzSurfaceLambert::ClassId())) {
                auto* lambert = static_cast<KDuzSurfaceLambert*>(surface);
                const double alpha = KDuzTypedProperty<double>(lambert->GetTransparencyFactor()).Get();
                ColorOf(lambert->GetAmbientColor(), alpha, material.ambient);
                ColorOf(lambert->GetDiffuseColor(), alpha, material.diffuse);
                ColorOf(lambert->GetEmissiveColor(), alpha, material.emission);
            }
        }
    }
}

int CGObject::FindTexture(const std::string& textureName) const {
    int id = 0;
    for (const CGTexture::Tex& t : textureTable)
        if (t.name == textureName) id = t.id;
    return id;
}

void CGObject::ReadModelSettings() {
    for (const std::string& file : ListFiles(settingsDirectory)) {
        const std::string path = settingsDirectory + file;
        for (int i = 0; i < PartCount(); ++i) {
            const std::string key = std::to_string(i);
            const std::string texture = ReadSettings("texture", key, path);
            if (texture == "<err>") {
                textureIds.push_back(0);
                textured.push_back(false);
            } else {
                textureIds.push_back(FindTexture(texture));
                textured.push_back(true);
            }
            usesShader.push_back(ReadSettings("shader", key, path) != "<err>");
        }
        auto value = [&](const char* key) {
            return static_cast<float>(std::atof(ReadSettings("transformation", key, path).c_str()));
        };
        translation[0] = value("translation_x");
        translation[1] = value("translation_y");
        translation[2] = value("translation_z");
        rotationAxis[0] = value("rotation_x");
        rotationAxis[1] = value("rotation_y");
        rotationAxis[2] = value("rotation_z");
        rotationAngle = value("rotation_angle");
    }
}

void CGObject::SetRenderOptions(int mode, bool blend, int mipmap, bool lists, int filter) {
    polygonMode = mode;
    blending = blend;
    mipmapMode = mipmap;
    displayLists = lists;
    textureFilter = filter;
}
