// The version 5 blocks that carry a mesh's normals, material and texture
// assignment, UVs, polygon groups, vertex colours and texture layers. The
// layout knows only what these blocks express; elements that do not fit are
// left out.
#include "sdk/base/KgeMatrix.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/IDuzObject.h"

namespace duzsdk {

namespace {

void WriteIndexArray(KDuz& duz, const char* name, const KTypedArray<int>& values) {
    duz.FieldWriteBegin(name);
    for (int value : values) duz.FieldWriteInt(value);
    duz.FieldWriteEnd();
}

// Indices below `limit` as they are, others as 0.
void WriteBoundedIndices(KDuz& duz, const char* name, const KTypedArray<int>& values, int limit) {
    duz.FieldWriteBegin(name);
    for (int value : values) duz.FieldWriteInt(value >= 0 && value < limit ? value : 0);
    duz.FieldWriteEnd();
}

}  // namespace

void KDuzWriterDuz::WriteNormals(KDuzMesh* mesh) {
    const KDuzLayer* layer = mesh->GetLayer(0);
    const KDuzLayerElementNormal* normals = layer != nullptr ? layer->GetNormals() : nullptr;
    if (normals == nullptr) return;
    KgeMatrix pivot;
    mesh->GetPivot(pivot);
    const KgeTVector euler = pivot.GetEulerXYZ();
    const KgeMatrix rotation = KgeMatrix::FromEulerXYZ(euler[0], euler[1], euler[2]);
    const double* r = rotation.Data();
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kNormals);
    for (const KgeTVector& n : normals->GetDirectArray()) {
        duz.FieldWriteDouble(n[0] * r[0] + n[1] * r[4] + n[2] * r[8]);
        duz.FieldWriteDouble(n[0] * r[1] + n[1] * r[5] + n[2] * r[9]);
        duz.FieldWriteDouble(n[0] * r[2] + n[1] * r[6] + n[2] * r[10]);
    }
    duz.FieldWriteEnd();
}

void KDuzWriterDuz::WriteMaterialAssignation(KDuzMesh* mesh) {
    KDuz& duz = *GetFieldFile();
    const int mode = mesh->GetMaterialMappingMode();
    int count = 1;
    if (mode == KDuzLayerElement::eByControlPoint) {
        duz.FieldWriteNamedString(duz5::kMaterialAssignation, "ByVertice");
        count = mesh->GetControlPointsCount();
    } else if (mode == KDuzLayerElement::eByPolygon) {
        duz.FieldWriteNamedString(duz5::kMaterialAssignation, "ByPolygon");
        count = mesh->GetPolygonCount();
    } else {
        duz.FieldWriteNamedString(duz5::kMaterialAssignation, "AllSame");
    }
    const KDuzLayer* layer = mesh->GetLayer(0);
    const KDuzLayerElementMaterial* materials = layer != nullptr ? layer->GetMaterials() : nullptr;
    const int materialCount = mesh->GetMaterialCount(0);
    const bool indexed = materials != nullptr &&
                         (materials->GetReferenceMode() == KDuzLayerElement::eIndex ||
                          materials->GetReferenceMode() == KDuzLayerElement::eIndexToDirect) &&
                         materials->GetIndexArray().Count() > 0;
    duz.FieldWriteBegin(duz5::kMaterials);
    for (int i = 0; i < count; ++i) {
        if (materials == nullptr || materialCount == 0)
            duz.FieldWriteInt(0);
        else if (indexed)
            duz.FieldWriteInt(materials->GetIndexArray().GetAt(i, 0));
        else
            duz.FieldWriteInt(materialCount - 1);
    }
    duz.FieldWriteEnd();
}

void KDuzWriterDuz::WriteTextureAssignation(KDuzMesh* mesh) {
    const KDuzLayer* layer = mesh->GetLayerOfType(0, eLayerElementDiffuseTextures);
    const KDuzLayerElementTexture* textures = layer != nullptr ? layer->GetTextures() : nullptr;
    if (textures == nullptr) return;
    KDuz& duz = *GetFieldFile();
    if (textures->GetMappingMode() == KDuzLayerElement::eByPolygon) {
        duz.FieldWriteNamedString(duz5::kTextureMode, "ByPolygon");
        duz.FieldWriteBegin(duz5::kTextureId);
        for (int i = 0; i < mesh->GetPolygonCount(); ++i) duz.FieldWriteInt(textures->GetIndexArray().GetAt(i, 0));
        duz.FieldWriteEnd();
    } else if (textures->GetMappingMode() == KDuzLayerElement::eAllSame) {
        duz.FieldWriteNamedString(duz5::kTextureMode, "ByModel");
    }
}

void KDuzWriterDuz::WriteGeometryUVInfo(KDuzMesh* mesh) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kGeometryUVInfo);
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 240);
    const KDuzLayer* layer = mesh->GetLayer(0);
    const KDuzLayerElementUV* uvs = layer != nullptr ? layer->GetUVs() : nullptr;
    const int mode = uvs != nullptr ? uvs->GetMappingMode() : KDuzLayerElement::eNone;
    if (uvs == nullptr || (mode != KDuzLayerElement::eByControlPoint && mode != KDuzLayerElement::eByPolygonVertex)) {
        duz.FieldWriteNamedString("MappingInformationType", "NoMappingInformation");
    } else {
        duz.FieldWriteNamedString("MappingInformationType",
                                  mode == KDuzLayerElement::eByControlPoint ? "ByVertice" : "ByPolygon");
        duz.FieldWriteBegin(duz5::kTextureUV);
        for (const KgeUVVector& uv : uvs->GetDirectArray()) {
            duz.FieldWriteDouble(uv.mU);
            duz.FieldWriteDouble(uv.mV);
        }
        duz.FieldWriteEnd();
        if (mode == KDuzLayerElement::eByPolygonVertex && uvs->GetIndexArray().Count() != 0)
            WriteIndexArray(duz, "TextureUVVerticeIndex", uvs->GetIndexArray());
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz::WritePolygonGroups(KDuzMesh* mesh) {
    const int count = mesh->GetPolygonCount();
    bool differ = false;
    for (int i = 1; i < count && !differ; ++i) differ = mesh->GetPolygonGroup(i) != mesh->GetPolygonGroup(0);
    if (!differ) return;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kPolygonGroup);
    for (int i = 0; i < count; ++i) duz.FieldWriteInt(mesh->GetPolygonGroup(i));
    duz.FieldWriteEnd();
}

bool KDuzWriterDuz::WriteVertexColorInfo(KDuzMesh* mesh) {
    const KDuzLayer* layer = mesh->GetLayer(0);
    const KDuzLayerElementVertexColor* colors = layer != nullptr ? layer->GetVertexColors() : nullptr;
    if (colors == nullptr) return true;
    const int mode = colors->GetMappingMode();
    if (mode != KDuzLayerElement::eByControlPoint && mode != KDuzLayerElement::eByPolygonVertex) return true;
    const int expected =
        mode == KDuzLayerElement::eByControlPoint ? mesh->GetControlPointsCount() : mesh->GetPolygonVertexCount();
    const int reference = colors->GetReferenceMode();
    const bool accepted = (reference == KDuzLayerElement::eDirect && colors->GetDirectArray().Count() == expected) ||
                          (reference == KDuzLayerElement::eIndexToDirect && colors->GetIndexArray().Count() == expected);
    if (!accepted) return false;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kVertexColorInfo);
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 100);
    duz.FieldWriteNamedString("MappingInformationType",
                              mode == KDuzLayerElement::eByControlPoint ? "ByVertice" : "ByPolygonVertex");
    duz.FieldWriteBegin("Colors");
    for (const KDuzRGBAColor& color : colors->GetDirectArray()) {
        duz.FieldWriteDouble(color.mRed);
        duz.FieldWriteDouble(color.mGreen);
        duz.FieldWriteDouble(color.mBlue);
        duz.FieldWriteDouble(color.mAlpha);
    }
    duz.FieldWriteEnd();
    if (reference == KDuzLayerElement::eIndexToDirect) WriteIndexArray(duz, "ColorIndex", colors->GetIndexArray());
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return true;
}

bool KDuzWriterDuz::WriteLayerTextureInfo(KDuzGeometry* geometry, int n) {
    KDuzLayer* layer = geometry->GetLayerOfType(n, eLayerElementDiffuseTextures);
    const KDuzLayerElementTexture* textures = layer != nullptr ? layer->GetTextures() : nullptr;
    if (textures == nullptr) return false;
    auto* mesh = dynamic_cast<KDuzMesh*>(geometry);
    const int mapping = textures->GetMappingMode();
    const int indexCount = textures->GetIndexArray().Count();
    const bool mappingFits = mapping == KDuzLayerElement::eNone || mapping == KDuzLayerElement::eAllSame ||
                             (mapping == KDuzLayerElement::eByPolygon && mesh != nullptr);
    if (!mappingFits || textures->GetReferenceMode() != KDuzLayerElement::eIndexToDirect) return false;
    // One texture for all: an index array that repeats one index (as a read
    // of this layout leaves it) says no more than that index.
    int written = indexCount;
    if (mapping == KDuzLayerElement::eAllSame && indexCount > 1) {
        const int* indices = textures->GetIndexArray().Data();
        for (int i = 1; i < indexCount; ++i)
            if (indices[i] != indices[0]) return false;
        written = 1;
    }
    if (mapping == KDuzLayerElement::eByPolygon && indexCount != mesh->GetPolygonCount()) return false;

    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kLayerTextureInfo);
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "TextureBlendMode", textures->GetBlendMode());
    KDuz6WriteIntField(duz, duz5::kTextureMode, mapping == KDuzLayerElement::eNone       ? 0
                                           : mapping == KDuzLayerElement::eByPolygon ? 6
                                                                                     : 2);
    KDuz6WriteIntField(duz, "TextureIdCount", written);
    const int limit = textures->GetDirectArray().Count();
    duz.FieldWriteBegin("TextureId");
    for (int i = 0; i < written; ++i) {
        const int value = textures->GetIndexArray().Data()[i];
        duz.FieldWriteInt(value >= 0 && value < limit ? value : 0);
    }
    duz.FieldWriteEnd();

    if (KDuzLayerElementUV* uvs = layer->GetUVs()) {
        // The layout holds UVs by control point or by polygon vertex only;
        // anything else is dropped from the element (the scene keeps the change).
        int uvMapping = uvs->GetMappingMode();
        const int reference = uvs->GetReferenceMode();
        if (uvMapping > KDuzLayerElement::eByPolygonVertex) uvMapping = KDuzLayerElement::eNone;
        if (reference != KDuzLayerElement::eDirect && reference != KDuzLayerElement::eIndexToDirect)
            uvMapping = KDuzLayerElement::eNone;
        const int inUse = reference == KDuzLayerElement::eDirect ? uvs->GetDirectArray().Count()
                                                                  : uvs->GetIndexArray().Count();
        if (uvMapping == KDuzLayerElement::eByControlPoint && inUse != geometry->GetControlPointsCount())
            uvMapping = KDuzLayerElement::eNone;
        if (uvMapping == KDuzLayerElement::eByPolygonVertex &&
            (mesh == nullptr || inUse != mesh->GetPolygonVertexCount()))
            uvMapping = KDuzLayerElement::eNone;
        uvs->SetMappingMode(static_cast<KDuzLayerElement::EMappingMode>(uvMapping));
        const bool direct = reference == KDuzLayerElement::eDirect;
        const int uvMode = uvMapping == KDuzLayerElement::eNone ? 0
                           : uvMapping == KDuzLayerElement::eByControlPoint ? (direct ? 3 : 4)
                                                                            : (direct ? 7 : 8);
        KDuz6WriteIntField(duz, "UVMode", uvMode);
        if (uvMapping != KDuzLayerElement::eNone) {
            KDuz6WriteIntField(duz, "UVCount", uvs->GetDirectArray().Count());
            duz.FieldWriteBegin("UV");
            for (const KgeUVVector& uv : uvs->GetDirectArray()) {
                duz.FieldWriteDouble(uv.mU);
                duz.FieldWriteDouble(uv.mV);
            }
            duz.FieldWriteEnd();
            if (!direct) {
                KDuz6WriteIntField(duz, "UVIdCount", uvs->GetIndexArray().Count());
                WriteBoundedIndices(duz, "UVId", uvs->GetIndexArray(), uvs->GetDirectArray().Count());
            }
        }
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return true;
}

void KDuzWriterDuz::WriteSplineTypeName(int type) {
    static const char* const kNames[] = {"Bezier", "BezierQuadric", "Cardinal", "BSpline", "Linear"};
    if (type >= 0 && type <= 4) GetFieldFile()->FieldWriteString(kNames[type]);
}

}  // namespace duzsdk
