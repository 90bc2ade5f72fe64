// Mesh bodies: control points through the geometry's pivot, polygon corners,
// edges, then the layer elements and the layers that place them.
#include "sdk/base/KgeMatrix.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/IDuzObject.h"

namespace duzsdk {

bool KDuzWriterDuz6::WriteVertices(const KDuzMesh* mesh) {
    KDuzWriteVertices(*GetFieldFile(), mesh);
    return true;
}

bool KDuzWriterDuz6::WritePolygonVertexIndex(const KDuzMesh* mesh) {
    KDuzWritePolygonVertexIndex(*GetFieldFile(), mesh);
    return true;
}

bool KDuzWriterDuz6::WriteMeshBody(KDuzMesh* mesh) {
    if (mesh->GetControlPointsCount() <= 0) return false;
    KDuz& duz = *GetFieldFile();
    WriteVertices(mesh);
    WritePolygonVertexIndex(mesh);
    if (mesh->GetMeshEdgeCount() > 0) {
        duz.FieldWriteBegin("Edges");
        for (int i = 0; i < mesh->GetMeshEdgeCount(); ++i) duz.FieldWriteInt(mesh->GetMeshEdge(i));
        duz.FieldWriteEnd();
    }
    return WriteGeometryBody(mesh);
}

bool KDuzWriterDuz6::WriteGeometryBody(KDuzGeometry* geometry) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz6::kGeometryVersion);
    duz.FieldWriteInt(duz6::kGeometryVersionNumber);
    duz.FieldWriteEnd();
    mElementTable.clear();
    if (dynamic_cast<KDuzMesh*>(geometry) != nullptr) {
        WriteNormalElements(geometry, mElementTable);
        WritePolygonGroupElements(geometry, mElementTable);
        WriteColorElements(geometry, mElementTable);
        WriteLayerElementUVs(geometry, mElementTable);
        WriteLayerElementSmoothing(geometry, mElementTable);
        WriteLayerElementUserData(geometry, mElementTable);
        WriteLayerElementVisibility(geometry, mElementTable);
    }
    WriteLayerElementMaterials(geometry, mElementTable);
    WriteLayerElementTextures(geometry, mElementTable);
    WriteLayers(geometry, mElementTable);
    WriteShapes(geometry);
    mElementTable.clear();
    return true;
}

}  // namespace duzsdk
