// Mesh bodies of version 6 "Geometry" records (and of "Model" records that
// still carry their mesh), their control points and edges, and pose bodies.
#include "sdk/duz/KDuzReaderDuz6Records.h"

#include <climits>
#include <vector>

#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"

namespace duzsdk {

namespace {

// Every value of the current field as ints.
std::vector<int> ReadAllInts(KDuz& file)
{
    const int count = file.FieldReadGetValueCount();
    std::vector<int> values(static_cast<size_t>(count > 0 ? count : 0));
    if (!values.empty())
        file.FieldReadInts(values.data(), count);
    return values;
}

}  // namespace

bool KDuz6ReadVertices(KDuz& file, KDuzGeometryBase* geometry)
{
    if (geometry == nullptr || !file.FieldReadBegin("Vertices"))
        return true;
    // Straight from the file into the points, without a copy of the array.
    const int values = file.FieldReadGetValueCount();
    const int count = values > 0 ? values / 3 : 0;
    if (geometry->InitControlPoints(count)) {
        KgeTVector* points = geometry->GetControlPoints();
        for (int i = 0; i < count; ++i) {
            double xyz[3];
            file.FieldReadDoubles(xyz, 3);
            points[i] = KgeTVector(xyz[0], xyz[1], xyz[2], 1.0);
        }
    }
    file.FieldReadEnd();
    return true;
}

bool KDuz6ReadEdges(KDuz& file, KDuzMesh* mesh)
{
    if (mesh == nullptr || !file.FieldReadBegin("Edges"))
        return true;
    const std::vector<int> values = ReadAllInts(file);
    file.FieldReadEnd();
    if (values.empty())
        return true;
    const int count = static_cast<int>(values.size());
    if (!mesh->SetMeshEdgeCount(count))
        return true;
    // An edge names a polygon corner; one that names none would send users
    // of the edges outside the corner array, so it is stored as -1.
    const int corners = mesh->GetPolygonVertexArray().Count();
    for (int i = 0; i < count; ++i)
        mesh->SetMeshEdge(i, values[static_cast<size_t>(i)] >= 0 && values[static_cast<size_t>(i)] < corners
                                 ? values[static_cast<size_t>(i)]
                                 : -1);
    return true;
}

bool KDuz6ReadPolygonVertexIndex(KDuz& file, KDuzMesh* mesh)
{
    if (mesh == nullptr || !file.FieldReadBegin("PolygonVertexIndex"))
        return true;
    // Two passes over the values through a small window: the first sizes
    // both arrays, the second fills them, so the index array is never
    // copied as a whole.
    constexpr int kWindow = 4096;
    int window[kWindow];
    const int count = file.FieldReadGetValueCount() > 0 ? file.FieldReadGetValueCount() : 0;
    size_t ends = 0;
    int lastValue = 0;
    for (int done = 0; done < count; done += kWindow) {
        const int n = count - done < kWindow ? count - done : kWindow;
        file.FieldReadInts(window, n);
        for (int i = 0; i < n; ++i)
            ends += window[i] < 0 ? 1 : 0;
        lastValue = window[n - 1];
    }
    if (count > 0 && lastValue >= 0)
        ++ends;  // a last polygon without its end mark
    const int pointCount = mesh->GetControlPointsCount();
    KTypedArray<KDuzMeshPolygon>& polygons = mesh->GetPolygonArray();
    KTypedArray<int>& corners = mesh->GetPolygonVertexArray();
    // Both arrays take their largest size at once and are cut to what was
    // kept: a polygon naming a missing control point is dropped whole
    // instead of being walked out of range.
    const int cornerBase = corners.Count();
    const int polygonBase = polygons.Count();
    if (count == 0 || count > INT_MAX - cornerBase || ends > static_cast<size_t>(INT_MAX - polygonBase) ||
        !corners.SetCount(cornerBase + count) || !polygons.SetCount(polygonBase + static_cast<int>(ends))) {
        corners.SetCount(cornerBase);
        file.FieldReadEnd();
        return true;
    }
    int* cornerOut = corners.Data();
    KDuzMeshPolygon* polygonOut = polygons.Data();
    int cornerCount = cornerBase;
    int polygonCount = polygonBase;
    int start = cornerCount;
    bool valid = true;
    auto flush = [&] {
        if (cornerCount > start && valid) {
            KDuzMeshPolygon polygon;
            polygon.mStart = start;
            polygon.mSize = cornerCount - start;
            polygonOut[polygonCount++] = polygon;
        } else {
            cornerCount = start;
        }
        start = cornerCount;
        valid = true;
    };
    file.FieldReadBegin("PolygonVertexIndex");  // the same occurrence, from its first value
    for (int done = 0; done < count; done += kWindow) {
        const int n = count - done < kWindow ? count - done : kWindow;
        file.FieldReadInts(window, n);
        for (int i = 0; i < n; ++i) {
            const int value = window[i];
            const bool last = value < 0;
            // -(v + 1) in 64 bits: v may be INT_MIN.
            const int64_t index = last ? -(static_cast<int64_t>(value) + 1) : value;
            if (index >= pointCount)
                valid = false;
            cornerOut[cornerCount++] = static_cast<int>(index);
            if (last)
                flush();
        }
    }
    flush();
    file.FieldReadEnd();
    corners.SetCount(cornerCount);
    polygons.SetCount(polygonCount);
    return true;
}

bool KDuz6ReadMesh(const KDuz6RecordContext& context, KDuzMesh* mesh)
{
    if (mesh == nullptr || context.file == nullptr)
        return false;
    KDuz& file = *context.file;
    file.FieldReadIntOrDefault("GeometryVersion", 0);
    KDuz6ReadVertices(file, mesh);
    KDuz6ReadPolygonVertexIndex(file, mesh);
    KDuz6ReadEdges(file, mesh);
    KDuz6ReadLayers(context, mesh);
    KDuz6ReadLinks(context, mesh);
    KDuz6ReadShapes(context, mesh);
    return true;
}

bool KDuz6ReadPose(const KDuz6RecordContext& context, KDuzPose* pose, bool globalOnly)
{
    if (context.file == nullptr)
        return true;
    KDuz& file = *context.file;
    const int count = file.FieldReadIntOrDefault("NbPoseNodes", 0);
    const int available = file.FieldGetInstanceCount("PoseNode");
    for (int i = 0; i < count && i < available; ++i) {
        if (!file.FieldReadBeginInstance("PoseNode", i))
            break;
        if (file.FieldReadBlockBegin()) {
            const KString nodeName(file.FieldReadStringOrDefault("Node", ""));
            KgeMatrix matrix;
            if (file.FieldReadBegin("Matrix")) {
                if (file.FieldReadGetValueCount() >= 16)
                    file.FieldReadDoubles(matrix.Data(), 16);
                file.FieldReadEnd();
            }
            const bool local = !globalOnly && file.FieldReadIntOrDefault("Local", 0) != 0;
            if (pose != nullptr && context.findObject) {
                KDuzObject* object = context.findObject(nodeName.Buffer());
                if (object != nullptr && object->Is(KDuzNode::ClassId()))
                    pose->Add(static_cast<KDuzNode*>(object), matrix, local);
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    return true;
}

}  // namespace duzsdk
