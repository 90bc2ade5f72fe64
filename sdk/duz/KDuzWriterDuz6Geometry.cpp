// Mesh bodies: control points through the geometry's pivot, polygon corners,
// edges, then the layer elements and the layers that place them.
#include "sdk/base/KgeMatrix.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/IDuzObject.h"

namespace duzsdk {

bool KDuzWriterDuz6::WriteVertices(const KDuzMesh* mesh) {
    KDuz& duz = *GetFieldFile();
    KgeMatrix m;
    mesh->GetPivot(m);
    const double* p = m.Data();
    const KgeTVector* points = mesh->GetControlPoints();
    const int count = mesh->GetControlPointsCount();
    duz.FieldWriteBegin("Vertices");
    for (int i = 0; i < count; ++i) {
        const double x = points[i][0];
        const double y = points[i][1];
        const double z = points[i][2];
        duz.FieldWriteDouble(x * p[0] + y * p[4] + z * p[8] + p[12]);
        duz.FieldWriteDouble(x * p[1] + y * p[5] + z * p[9] + p[13]);
        duz.FieldWriteDouble(x * p[2] + y * p[6] + z * p[10] + p[14]);
    }
    duz.FieldWriteEnd();
    return true;
}

bool KDuzWriterDuz6::WritePolygonVertexIndex(const KDuzMesh* mesh) {
    const KTypedArray<KDuzMeshPolygon>& polygons = mesh->GetPolygonArray();
    const KTypedArray<int>& corners = mesh->GetPolygonVertexArray();
    if (polygons.Count() == 0) return true;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin("PolygonVertexIndex");
    const int count = corners.Count();
    int polygon = 0;
    for (int i = 0; i < count; ++i) {
        // The last corner of a polygon is the one right before the next
        // polygon's start, or the array's last.
        while (polygon + 1 < polygons.Count() && polygons[polygon + 1].mStart <= i) ++polygon;
        const bool last = i == count - 1 || (polygon + 1 < polygons.Count() && polygons[polygon + 1].mStart == i + 1);
        duz.FieldWriteInt(last ? ~corners[i] : corners[i]);
    }
    duz.FieldWriteEnd();
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

// Shapes have no class in this SDK yet; their "Shape" blocks ("Indexes",
// "Vertices", "Normals") come with it.
void KDuzWriterDuz6::WriteShapes(KDuzGeometry* /*geometry*/) {}

}  // namespace duzsdk
