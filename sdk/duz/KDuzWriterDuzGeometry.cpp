// Geometry inside a version 5 "Model" record: the parts every geometry shares
// (materials, textures, skin links, shapes, extra texture layers), the mesh,
// NURB and patch bodies, and the model's "Properties" block.
#include <cmath>

#include "sdk/base/KgeMatrix.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"

namespace duzsdk {

namespace {

constexpr unsigned kNotSavedFlag = 1;

KgeTVector ThroughPivot(const double* p, const KgeTVector& point) {
    const double x = point[0];
    const double y = point[1];
    const double z = point[2];
    return KgeTVector(x * p[0] + y * p[4] + z * p[8] + p[12], x * p[1] + y * p[5] + z * p[9] + p[13],
                      x * p[2] + y * p[6] + z * p[10] + p[14], 1.0);
}

void WriteInts(KDuz& duz, const char* name, std::initializer_list<int> values) {
    duz.FieldWriteBegin(name);
    for (int value : values) duz.FieldWriteInt(value);
    duz.FieldWriteEnd();
}

void WritePoints(KDuz& duz, const KDuzGeometry* geometry, bool weightOne) {
    KgeMatrix pivot;
    geometry->GetPivot(pivot);
    const KgeTVector* points = geometry->GetControlPoints();
    duz.FieldWriteBegin(duz5::kPoints);
    for (int i = 0; i < geometry->GetControlPointsCount(); ++i) {
        const KgeTVector p = ThroughPivot(pivot.Data(), points[i]);
        for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(p[k]);
        if (weightOne) duz.FieldWriteDouble(1.0);
    }
    duz.FieldWriteEnd();
}

const char* NurbFormName(int type) { return type == 0 ? "Periodic" : type == 1 ? "Closed" : "Open"; }

}  // namespace

// ---- shared parts ---------------------------------------------------------------

void KDuzWriterDuz::WriteGeometryCommon(KDuzGeometry* geometry) {
    for (int i = 0; i < geometry->GetMaterialCount(0); ++i)
        if (KDuzSurfaceMaterial* material = geometry->GetMaterial(i, 0)) WriteMaterial(material);
    for (int l = 0; l < geometry->GetLayerCount(); ++l) {
        const KDuzLayerElementTexture* textures = geometry->GetLayer(l)->GetTextures();
        if (textures == nullptr) continue;
        for (KDuzTexture* texture : textures->GetDirectArray())
            if (texture != nullptr) WriteTexture(texture);
    }
    if (geometry->GetDeformerCountOfType(KDuzDeformer::eSkin) > 0) {
        if (auto* skin = dynamic_cast<KDuzSkin*>(geometry->GetDeformerOfType(0, KDuzDeformer::eSkin))) {
            for (int i = 0; i < skin->GetClusterCount(); ++i)
                if (KDuzCluster* cluster = skin->GetCluster(i)) WriteClusterLink(cluster);
        }
    }
    for (int i = 0; i < geometry->GetShapeCount(); ++i)
        WriteShape(geometry, geometry->GetShapeName(i), geometry->GetShape(i));
    WriteGeometryLayers(geometry);
}

void KDuzWriterDuz::CollectChangedPoints(const KDuzGeometry* base, const KDuzGeometryBase* shape,
                                         std::vector<int>& out) {
    const KgeTVector* a = base->GetControlPoints();
    const KgeTVector* b = shape->GetControlPoints();
    const int count = std::min(base->GetControlPointsCount(), shape->GetControlPointsCount());
    for (int i = 0; i < count; ++i)
        if (a[i][0] != b[i][0] || a[i][1] != b[i][1] || a[i][2] != b[i][2]) out.push_back(i);
}

void KDuzWriterDuz::WriteShape(KDuzGeometry* base, const char* name, KDuzGeometryBase* shape) {
    KDuz& duz = *GetFieldFile();
    std::vector<int> indices;
    if (shape != nullptr && base->GetControlPointsCount() == shape->GetControlPointsCount())
        CollectChangedPoints(base, shape, indices);
    const bool changed = !indices.empty();
    if (!changed) indices.assign(1, 0);
    duz.FieldWriteBegin(duz5::kShape);
    duz.FieldWriteString(name != nullptr ? name : "");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Indexes");
    for (int index : indices) duz.FieldWriteInt(index);
    duz.FieldWriteEnd();
    KgeMatrix pivot;
    base->GetPivot(pivot);
    duz.FieldWriteBegin("Vertices");
    for (int index : indices) {
        KgeTVector delta(0.0, 0.0, 0.0, 0.0);
        if (changed)
            delta = ThroughPivot(pivot.Data(), shape->GetControlPoints()[index]) -
                    ThroughPivot(pivot.Data(), base->GetControlPoints()[index]);
        for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(delta[k]);
    }
    duz.FieldWriteEnd();
    // Normal differences only where both normal arrays run by control point.
    auto normalsOf = [](const KDuzGeometryBase* geometry, int count) -> const KgeTVector* {
        const KDuzLayer* layer = geometry->GetLayer(0);
        const KDuzLayerElementNormal* normals = layer != nullptr ? layer->GetNormals() : nullptr;
        if (normals == nullptr || normals->GetMappingMode() != KDuzLayerElement::eByControlPoint ||
            normals->GetReferenceMode() != KDuzLayerElement::eDirect || normals->GetDirectArray().Count() != count)
            return nullptr;
        return normals->GetDirectArray().Data();
    };
    const int count = base->GetControlPointsCount();
    const KgeTVector* baseNormals =
        changed && dynamic_cast<KDuzMesh*>(base) != nullptr ? normalsOf(base, count) : nullptr;
    const KgeTVector* shapeNormals = baseNormals != nullptr ? normalsOf(shape, count) : nullptr;
    duz.FieldWriteBegin(duz5::kNormals);
    for (int index : indices) {
        KgeTVector delta(0.0, 0.0, 0.0, 0.0);
        if (shapeNormals != nullptr)
            delta = ThroughPivot(pivot.Data(), shapeNormals[index]) - ThroughPivot(pivot.Data(), baseNormals[index]);
        for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(delta[k]);
    }
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

bool KDuzWriterDuz::WriteGeometryLayers(KDuzGeometry* geometry) {
    KDuz& duz = *GetFieldFile();
    const int n = geometry->GetLayerCountOfType(eLayerElementDiffuseTextures);
    const int k = dynamic_cast<KDuzMesh*>(geometry) != nullptr ? 1 : 0;
    bool all = true;
    for (int i = 0; i + k < n; ++i) {
        duz.FieldWriteBegin(duz5::kGeometryLayer);
        duz.FieldWriteBlockBegin();
        KDuz6WriteIntField(duz, "LayerIndex", i);
        if (!WriteLayerTextureInfo(geometry, i + k)) all = false;
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    return all;
}

// ---- bodies ---------------------------------------------------------------------

bool KDuzWriterDuz::WriteMeshGeometry(KDuzMesh* mesh) {
    KDuz& duz = *GetFieldFile();
    if (mesh->GetControlPointsCount() > 0) {
        WriteGeometryCommon(mesh);
        KDuz6WriteIntField(duz, "GeometryVersion", 123);
        KDuzWriteVertices(duz, mesh);
        WriteNormals(mesh);
        WriteMaterialAssignation(mesh);
        WriteTextureAssignation(mesh);
        KDuzWritePolygonVertexIndex(duz, mesh);
        WritePolygonGroups(mesh);
        WriteGeometryUVInfo(mesh);
        WriteVertexColorInfo(mesh);
        // The first texture layer travels with the mesh.
        if (mesh->GetLayerCountOfType(eLayerElementDiffuseTextures) > 0) WriteLayerTextureInfo(mesh, 0);
    }
    if (mesh->GetUCount() * mesh->GetVCount() != 0) {
        KDuz6WriteIntField(duz, "UExtendedCount", mesh->GetUExtendedCount());
        KDuz6WriteIntField(duz, "UClosed", mesh->GetUClosed() ? 1 : 0);
        KDuz6WriteIntField(duz, "UTopCap", mesh->GetUTopCap() ? 1 : 0);
        KDuz6WriteIntField(duz, "UStep", mesh->GetUStep());
        KDuz6WriteIntField(duz, "UCount", mesh->GetUCount());
        KDuz6WriteIntField(duz, "VExtendedCount", mesh->GetVExtendedCount());
        KDuz6WriteIntField(duz, "VClosed", mesh->GetVClosed() ? 1 : 0);
        KDuz6WriteIntField(duz, "VTopCap", mesh->GetVTopCap() ? 1 : 0);
        KDuz6WriteIntField(duz, "VStep", mesh->GetVStep());
        KDuz6WriteIntField(duz, "VCount", mesh->GetVCount());
    }
    return true;
}

bool KDuzWriterDuz::WriteNurbGeometry(KDuzNurb* nurb) {
    KDuzNurb* flipped = nullptr;
    if (nurb->GetSwapUVFlag() || nurb->GetSwapLinksFlag()) {
        if (KDuzGeometryConverter* converter = KDuzGeometryConverter::Create(GetSdkManager(), "")) {
            flipped = converter->SwapNurbUV(nurb, nurb->GetSwapUVFlag(), nurb->GetSwapLinksFlag());
            converter->Destroy();
        }
    }
    KDuzNurb* source = flipped != nullptr ? flipped : nurb;
    if (source->GetControlPointsCount() > 0) {
        KDuz& duz = *GetFieldFile();
        duz.FieldWriteNamedString(duz5::kType, duz5::kTypeNurb);
        WriteGeometryCommon(source);
        KDuz6WriteIntField(duz, duz5::kNurbVersion, 100);
        WriteInts(duz, "SurfaceDisplay", {source->GetSurfaceDisplay(), source->GetUStep(), source->GetVStep()});
        WriteInts(duz, "NurbOrder", {source->GetUOrder(), source->GetVOrder()});
        WriteInts(duz, "Dimensions", {source->GetUCount(), source->GetVCount()});
        WriteInts(duz, "Step", {source->GetUStep(), source->GetVStep()});
        duz.FieldWriteBegin(duz5::kForm);
        duz.FieldWriteString(NurbFormName(source->GetNurbUType()));
        duz.FieldWriteString(NurbFormName(source->GetNurbVType()));
        duz.FieldWriteEnd();
        WritePoints(duz, source, true);
        auto writeArray = [&duz](const char* name, const int* values, int count) {
            duz.FieldWriteBegin(name);
            for (int i = 0; i < count && values != nullptr; ++i) duz.FieldWriteInt(values[i]);
            duz.FieldWriteEnd();
        };
        auto writeKnots = [&duz](const char* name, const double* values, int count) {
            duz.FieldWriteBegin(name);
            for (int i = 0; i < count && values != nullptr; ++i) duz.FieldWriteDouble(values[i]);
            duz.FieldWriteEnd();
        };
        // The stored arrays bound what is written, whatever the counts say.
        writeArray("MultiplicityU", source->GetUMultiplicityVector(), source->GetUCount());
        writeArray("MultiplicityV", source->GetVMultiplicityVector(), source->GetVCount());
        writeKnots("KnotVectorU", source->GetUKnotVector(),
                   std::min(source->GetUKnotCount(), source->GetUKnotArrayCount()));
        writeKnots("KnotVectorV", source->GetVKnotVector(),
                   std::min(source->GetVKnotCount(), source->GetVKnotArrayCount()));
        KDuz6WriteIntField(duz, duz5::kMaterials, source->GetMaterialCount(0));
    }
    if (flipped != nullptr) flipped->Destroy();
    return true;
}

bool KDuzWriterDuz::WritePatchGeometry(KDuzPatch* patch) {
    if (patch->GetControlPointsCount() <= 0) return true;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteNamedString(duz5::kType, duz5::kTypePatch);
    WriteGeometryCommon(patch);
    KDuz6WriteIntField(duz, duz5::kPatchVersion, 100);
    WriteInts(duz, "SurfaceDisplay", {patch->GetSurfaceDisplay(), patch->GetUStep(), patch->GetVStep()});
    duz.FieldWriteBegin(duz5::kPatchType);
    WriteSplineTypeName(patch->GetPatchUType());
    WriteSplineTypeName(patch->GetPatchVType());
    duz.FieldWriteEnd();
    WriteInts(duz, "Dimensions", {patch->GetUCount(), patch->GetVCount()});
    WriteInts(duz, "Step", {patch->GetUStep(), patch->GetVStep()});
    WriteInts(duz, "Closed", {patch->GetUClosed() ? 1 : 0, patch->GetVClosed() ? 1 : 0});
    WriteInts(duz, "UCapped", {patch->GetUCappedBottom() ? 1 : 0, patch->GetUCappedTop() ? 1 : 0});
    WriteInts(duz, "VCapped", {patch->GetVCappedBottom() ? 1 : 0, patch->GetVCappedTop() ? 1 : 0});
    WritePoints(duz, patch, false);
    KDuz6WriteIntField(duz, duz5::kMaterials, patch->GetMaterialCount(0));
    return true;
}

// ---- model properties -----------------------------------------------------------

bool KDuzWriterDuz::WriteModelProperties(KDuzNode* node) {
    const IDuzObject* file = mTarget != nullptr ? mTarget : mFile;
    // Files in the version 5 layout carry the node's values in its default
    // channels; only the layered layout has a model "Properties" block.
    if (file == nullptr || file->GetPropertyFormatFlag()) return true;
    node->UpdatePropertiesFromPivotsAndLimits();
    WritePropertiesBlock(node);
    return true;
}

void KDuzWriterDuz::WritePropertiesBlock(KDuzNode* node) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kProperties);
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 100);
    // Each property read through a peek: the write makes no handles.
    auto writeOne = [&duz](const KDuzProperty& property) {
        if (!property.IsValid() || property.GetFlag(kNotSavedFlag)) return;
        const int kind = property.GetValueKind();
        if (kind < eValueKindBool || kind > eValueKindTime) return;
        duz.FieldWriteBegin(property.GetName());
        switch (kind) {
            case eValueKindBool: {
                bool value = false;
                property.GetValue(&value, eValueKindBool);
                duz.FieldWriteInt(value ? 1 : 0);
                break;
            }
            case eValueKindInt:
            case eValueKindEnum: {
                int value = 0;
                property.GetValue(&value, kind);
                duz.FieldWriteInt(value);
                break;
            }
            case eValueKindFloat: {
                float value = 0.0f;
                property.GetValue(&value, eValueKindFloat);
                duz.FieldWriteFloat(value);
                break;
            }
            case eValueKindDouble:
                duz.FieldWriteDouble(property.GetDouble());
                break;
            case eValueKindDouble3: {
                const duzVectorTemplate3<double> value = property.GetDouble3();
                for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(value[k]);
                break;
            }
            case eValueKindDouble4: {
                double values[4] = {0, 0, 0, 0};
                property.GetDouble4(values);
                for (double value : values) duz.FieldWriteDouble(value);
                break;
            }
            case eValueKindMatrix: {
                const KgeMatrix value = property.GetMatrix();
                for (int k = 0; k < 16; ++k) duz.FieldWriteDouble(value.Data()[k]);
                break;
            }
            case eValueKindString:
                duz.FieldWriteKString(property.GetString());
                break;
            case eValueKindTime: {
                KTime value;
                property.GetValue(&value, eValueKindTime);
                duz.FieldWriteTime(value);
                break;
            }
            default:
                break;
        }
        duz.FieldWriteEnd();
    };
    auto writeAll = [&writeOne](KDuzObject* object) {
        for (int i = 0; i < object->GetPropertyCount(); ++i) object->PeekPropertyAt(i, writeOne);
    };
    writeAll(node);
    if (KDuzObject* attribute = node->GetSrcObject(KDuzNodeAttribute::ClassId(), 0)) writeAll(attribute);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

}  // namespace duzsdk
