// Meshes as "geometry" elements: positions, layer sources, vertices and one
// "polygons" group per material.
#include <string>
#include <unordered_set>

#include "sdk/formats/collada/ColladaXmlWrite.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

int ClusterTotal(KDuzMesh* mesh) {
    int total = 0;
    for (int i = 0; i < mesh->GetDeformerCount(); ++i) {
        auto* skin = static_cast<KDuzSkin*>(mesh->GetDeformerOfType(i, KDuzDeformer::eSkin));
        if (skin != nullptr) total += skin->GetClusterCount();
    }
    return total;
}

KString LayerText(int layer) { return ColladaIntText(layer); }

// Which entry of a layer element's source a polygon corner uses.
class CornerIndex {
public:
    CornerIndex(const KDuzLayerElement* element, int directCount, const char* kind)
        : mElement(element), mDirectCount(directCount), mKind(kind) {}

    // c: the running polygon-vertex counter; p: the polygon; point: its control point.
    int Get(int c, int p, int point, KString& warning, bool& outside) const {
        const int mapping = mElement->GetMappingMode();
        int slot = 0;
        switch (mapping) {
            case KDuzLayerElement::eByPolygonVertex: slot = c; break;
            case KDuzLayerElement::eByControlPoint: slot = point; break;
            case KDuzLayerElement::eByPolygon: slot = p; break;
            case KDuzLayerElement::eAllSame: slot = 0; break;
            default:
                if (warning.IsEmpty())
                    warning = KString("layer element type not supported for ") + mKind + ": " +
                              ColladaIntText(mapping);
                slot = point;
                break;
        }
        int index = slot;
        if (mElement->GetReferenceMode() != KDuzLayerElement::eDirect) {
            const auto& indices = mElement->GetIndexArray();
            index = slot >= 0 && slot < indices.Count() ? indices[slot] : -1;
        }
        // An index that names no value (-1 for "none", or past the values)
        // has no place in the document: the corner takes the first value.
        if (index < 0 || index >= mDirectCount) {
            outside = true;
            return 0;
        }
        return index;
    }

private:
    const KDuzLayerElement* mElement;
    int mDirectCount;
    const char* mKind;
};

// Layer elements without values write neither a source nor an input: a
// corner could point at nothing in them.
template <class Element>
const Element* WithValues(const Element* element) {
    return element != nullptr && element->GetDirectArray().Count() > 0 ? element : nullptr;
}

}  // namespace

// The material a polygon uses by the material element's own mapping and
// reference; null when its index is out of range.
KDuzSurfaceMaterial* ColladaPolygonMaterial(const KDuzLayerElementMaterial* element, int polygon) {
    const auto& direct = element->GetDirectArray();
    const auto& indices = element->GetIndexArray();
    const int slot = element->GetMappingMode() == KDuzLayerElement::eByPolygon ? polygon : 0;
    int index = slot;
    if (element->GetReferenceMode() != KDuzLayerElement::eDirect) {
        if (slot < 0 || slot >= indices.Count()) return nullptr;
        index = indices[slot];
    }
    if (index < 0 || index >= direct.Count()) return nullptr;
    return direct[index];
}

xmlNode* KDuzWriterCollada::ExportGeometry(KDuzNode* node, KDuzMesh* written) {
    const KString n = node->GetNameString();
    xmlNode* library = Library(mGeometriesPart, "library_geometries");
    mGeometriesPart.FlushBefore(library);
    // The mesh is written as it is made: a geometry that fails is taken back.
    const ColladaXmlStream::Mark mark = mGeometriesPart.GetMark();
    xmlNode* geometry = ColladaNewChild(library, "geometry");
    ColladaSetAttribute(geometry, "id", n + "-lib");
    ColladaSetAttribute(geometry, "name", n + "Mesh");
    mGeometryIds.insert(std::string((n + "-lib").Buffer()));
    if (!ExportMesh(node, written, ColladaNewChild(geometry, "mesh"))) {
        mGeometriesPart.Rewind(mark);
        xmlUnlinkNode(geometry);
        xmlFreeNode(geometry);
        return nullptr;
    }
    return geometry;
}

bool KDuzWriterCollada::ExportMesh(KDuzNode* node, KDuzMesh* mesh, xmlNode* element) {
    if (mesh == nullptr) {
        NotifyError(KString("Could not get mesh for node ") + node->GetNameString());
        return false;
    }
    const KString n = node->GetNameString();
    const int clusters = ClusterTotal(mesh);
    bool ok = WriteMeshBody(element, mesh, n, clusters > 0, true) != nullptr;
    ok = ok && ExportMeshTextures(mesh, node);
    if (ok && clusters > 0) ok = ExportSkinController(mesh, n);
    if (ok && mesh->GetShapeCount() > 0) ok = ExportMorphController(mesh, n, node);
    return ok;
}

xmlNode* KDuzWriterCollada::WriteMeshBody(xmlNode* element, KDuzMesh* mesh, const KString& n, bool skinned,
                                          bool withMaterials) {
    mLastMeshSymbols.clear();
    WritePositions(element, mesh, n, !skinned);
    WriteLayerSources(element, mesh, n);
    if (WriteVertices(element, n, skinned ? n + "-BindPos" : n + "-lib-Position") == nullptr) return nullptr;

    KDuzLayer* layer0 = mesh->GetLayer(0);
    const KDuzLayerElementMaterial* materials = layer0 != nullptr ? layer0->GetMaterials() : nullptr;
    const bool hasMaterials = withMaterials && materials != nullptr && materials->GetDirectArray().Count() > 0;
    if (!hasMaterials) {
        // Textures that stand for their material give the groups only when
        // there are no materials: otherwise every polygon would be written
        // once per texture group and once per material group.
        const KDuzLayerElementTexture* textures = layer0 != nullptr && withMaterials ? layer0->GetTextures() : nullptr;
        bool any = false;
        if (textures != nullptr) {
            for (int i = 0; i < textures->GetDirectArray().Count(); ++i) {
                KDuzTexture* texture = textures->GetDirectArray()[i];
                if (texture == nullptr || texture->GetMaterialMode() != 1) continue;
                const KString symbol = texture->GetNameString() + "-diffuse-Material";
                if (WritePolygons(element, mesh, symbol, n, false) == nullptr) return nullptr;
                mLastMeshSymbols.push_back(symbol);
                any = true;
            }
        }
        if (!any && WritePolygons(element, mesh, KString(), n, false) == nullptr) return nullptr;
        return element;
    }
    // One group per distinct material; with one material for the whole mesh
    // only that one is used.
    const bool byPolygon = materials->GetMappingMode() == KDuzLayerElement::eByPolygon;
    std::unordered_set<std::string> done;
    const int count = byPolygon ? materials->GetDirectArray().Count() : 1;
    for (int i = 0; i < count; ++i) {
        KDuzSurfaceMaterial* material = byPolygon ? materials->GetDirectArray()[i] : ColladaPolygonMaterial(materials, 0);
        if (material == nullptr) continue;
        const KString name = material->GetNameString();
        if (!done.insert(std::string(name.Buffer())).second) continue;
        if (WritePolygons(element, mesh, name, n, byPolygon) == nullptr) return nullptr;
        mLastMeshSymbols.push_back(name);
        if (WriteMaterial(material) == nullptr) return nullptr;
    }
    if (done.empty()) return WritePolygons(element, mesh, KString(), n, false) != nullptr ? element : nullptr;
    bool unmaterialised = false;
    for (int p = 0; byPolygon && p < mesh->GetPolygonCount() && !unmaterialised; ++p)
        unmaterialised = ColladaPolygonMaterial(materials, p) == nullptr;
    if (unmaterialised && WritePolygons(element, mesh, KString(), n, true) == nullptr) return nullptr;
    return element;
}

void KDuzWriterCollada::WritePositions(xmlNode* element, KDuzMesh* mesh, const KString& n, bool unskinned) {
    // A skinned mesh keeps its own space too: the skin's bind shape matrix
    // carries it to where it was bound.
    ColladaAddVectorSource(element, n + (unskinned ? "-lib-Position" : "-BindPos"), mesh->GetControlPoints(),
                           mesh->GetControlPointsCount(), &mGeometriesPart);
}

void KDuzWriterCollada::WriteLayerSources(xmlNode* element, KDuzMesh* mesh, const KString& n) {
    const int layers = mesh->GetLayerCount();
    for (int i = 0; i < layers; ++i) {
        const KDuzLayerElementNormal* normals = WithValues(mesh->GetLayer(i)->GetNormals());
        if (normals == nullptr) continue;
        const auto& values = normals->GetDirectArray();
        ColladaAddVectorSource(element, n + "-lib-Normal" + LayerText(i), values.Data(), values.Count(),
                               &mGeometriesPart);
    }
    for (int i = 0; i < layers; ++i) {
        const KDuzLayerElementUV* uvs = WithValues(mesh->GetLayer(i)->GetUVsOfType(eLayerElementDiffuseTextures));
        if (uvs == nullptr) continue;
        const auto& values = uvs->GetDirectArray();
        ColladaAddUvSource(element, n + "-lib-UV" + LayerText(i), values.Data(), values.Count(), &mGeometriesPart);
    }
    for (int i = 0; i < layers; ++i) {
        const KDuzLayerElementVertexColor* colors = WithValues(mesh->GetLayer(i)->GetVertexColors());
        if (colors == nullptr) continue;
        const auto& values = colors->GetDirectArray();
        ColladaAddColorSource(element, n + "-lib-VertexColors" + LayerText(i), values.Data(), values.Count(),
                              &mGeometriesPart);
    }
    for (int i = 0; i < layers; ++i) {
        if (mesh->GetLayer(i)->GetPolygonGroups() != nullptr)
            NotifyWarning(KString("Polygon groups are not supported (node ") + n + ")");
    }
}

xmlNode* KDuzWriterCollada::WriteVertices(xmlNode* element, const KString& n, const KString& positionsId) {
    xmlNode* vertices = ColladaNewChild(element, "vertices");
    ColladaSetAttribute(vertices, "id", n + "-lib-Vertex");
    ColladaAddInput(vertices, "POSITION", positionsId.Buffer(), -1, -1);
    return vertices;
}

xmlNode* KDuzWriterCollada::WritePolygons(xmlNode* element, KDuzMesh* mesh, const KString& material,
                                          const KString& n, bool filterByMaterial) {
    xmlNode* polygons = ColladaNewChild(element, "polygons");
    if (polygons == nullptr) return nullptr;
    if (!material.IsEmpty()) ColladaSetAttribute(polygons, "material", material);
    ColladaAddInput(polygons, "VERTEX", (n + "-lib-Vertex").Buffer(), 0, -1);

    struct LayerInputs {
        const KDuzLayerElementNormal* normals;
        const KDuzLayerElementUV* uvs;
        const KDuzLayerElementVertexColor* colors;
    };
    std::vector<LayerInputs> layers;
    std::vector<CornerIndex> corners;
    int offset = 0;
    for (int i = 0; i < mesh->GetLayerCount(); ++i) {
        const KDuzLayer* layer = mesh->GetLayer(i);
        const LayerInputs in{WithValues(layer->GetNormals()),
                             WithValues(layer->GetUVsOfType(eLayerElementDiffuseTextures)),
                             WithValues(layer->GetVertexColors())};
        if (in.normals != nullptr) {
            ColladaAddInput(polygons, "NORMAL", (n + "-lib-Normal" + LayerText(i)).Buffer(), ++offset, -1);
            corners.emplace_back(in.normals, in.normals->GetDirectArray().Count(), "normals");
        }
        if (in.uvs != nullptr) {
            ColladaAddInput(polygons, "TEXCOORD", (n + "-lib-UV" + LayerText(i)).Buffer(), ++offset, i);
            corners.emplace_back(in.uvs, in.uvs->GetDirectArray().Count(), "UVs");
        }
        if (in.colors != nullptr) {
            ColladaAddInput(polygons, "COLOR", (n + "-lib-VertexColors" + LayerText(i)).Buffer(), ++offset, i);
            corners.emplace_back(in.colors, in.colors->GetDirectArray().Count(), "vertex colors");
        }
        layers.push_back(in);
    }

    KDuzLayer* layer0 = mesh->GetLayer(0);
    const KDuzLayerElementMaterial* materials = layer0 != nullptr ? layer0->GetMaterials() : nullptr;
    filterByMaterial = filterByMaterial && materials != nullptr &&
                       materials->GetMappingMode() == KDuzLayerElement::eByPolygon;
    std::vector<KString> warnings(corners.size());
    bool outside = false;
    const int pointCount = mesh->GetControlPointsCount();
    const int polygonCount = mesh->GetPolygonCount();
    // The group without material takes the polygons that have none.
    auto inGroup = [&](int p) {
        if (!filterByMaterial) return true;
        const KDuzSurfaceMaterial* own = ColladaPolygonMaterial(materials, p);
        return own == nullptr ? material.IsEmpty() : !material.IsEmpty() && own->GetNameString() == material;
    };
    // The count comes first in the document: counted before the polygons
    // are written out.
    int written = 0;
    for (int p = 0; p < polygonCount; ++p) written += inGroup(p) ? 1 : 0;
    ColladaSetAttribute(polygons, "count", ColladaIntText(written));
    mGeometriesPart.Open(polygons);
    int c = 0;
    for (int p = 0; p < polygonCount; ++p) {
        const int size = mesh->GetPolygonSize(p);
        if (!inGroup(p)) {
            c += size;
            continue;
        }
        mGeometriesPart.StartElement("p");
        for (int k = 0; k < size; ++k, ++c) {
            int point = mesh->GetPolygonVertex(p, k);
            if (point < 0 || point >= pointCount) {
                point = 0;
                outside = true;
            }
            if (k > 0) mGeometriesPart.PlainChar(' ');
            mGeometriesPart.PlainInt(point);
            for (size_t e = 0; e < corners.size(); ++e) {
                mGeometriesPart.PlainChar(' ');
                mGeometriesPart.PlainInt(corners[e].Get(c, p, point, warnings[e], outside));
            }
        }
        mGeometriesPart.EndElement();
    }
    for (const KString& warning : warnings)
        if (!warning.IsEmpty()) NotifyWarning(warning);
    if (outside)
        NotifyWarning(KString("Indices that name no value are written as 0 (node ") + n + ")");
    return polygons;
}

bool KDuzWriterCollada::WriteMorphTargetGeometries(xmlNode* visualScene) {
    if (mShapeGeometries.empty()) return true;
    if (!mGeometriesPart.HasRoot()) {
        NotifyError("Could not find geometry library");
        return false;
    }
    for (const ShapeGeometry& entry : mShapeGeometries) {
        if (mGeometryIds.count(std::string(entry.id.Buffer())) != 0) continue;
        const int cut = entry.id.Find("-lib");
        const KString base = cut >= 0 ? KString(entry.id.Buffer(), cut) : entry.id;
        xmlNode* geometry = WriteShapeGeometry(entry.mesh, entry.id);
        if (geometry == nullptr) return false;
        mVisualScenesPart.FlushBefore(visualScene);
        xmlNode* node = ColladaNewChild(visualScene, "node");
        if (node == nullptr) return false;
        ColladaSetAttribute(node, "id", base);
        ColladaSetAttribute(node, "name", base);
        xmlNode* instance = ColladaNewChild(node, "instance_geometry");
        ColladaSetAttribute(instance, "url", KString("#") + entry.id);
    }
    return true;
}

xmlNode* KDuzWriterCollada::WriteShapeGeometry(KDuzMesh* shape, const KString& id) {
    const int cut = id.Find("-lib");
    const KString base = cut >= 0 ? KString(id.Buffer(), cut) : id;
    xmlNode* library = Library(mGeometriesPart, "library_geometries");
    mGeometriesPart.FlushBefore(library);
    xmlNode* geometry = ColladaNewChild(library, "geometry");
    ColladaSetAttribute(geometry, "id", id);
    ColladaSetAttribute(geometry, "name", base + "Mesh");
    mGeometryIds.insert(std::string(id.Buffer()));
    xmlNode* mesh = ColladaNewChild(geometry, "mesh");
    if (WriteMeshBody(mesh, shape, base, false, false) == nullptr) return nullptr;
    return geometry;
}

}  // namespace duzsdk
