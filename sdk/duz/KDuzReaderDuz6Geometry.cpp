// Mesh bodies of version 6 "Geometry" records (and of "Model" records that
// still carry their mesh), their control points and edges, and pose bodies.
#include "sdk/duz/KDuzReaderDuz6Records.h"

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

std::vector<double> ReadAllDoubles(KDuz& file)
{
    const int count = file.FieldReadGetValueCount();
    std::vector<double> values(static_cast<size_t>(count > 0 ? count : 0));
    if (!values.empty())
        file.FieldReadDoubles(values.data(), count);
    return values;
}

}  // namespace

bool KDuz6ReadVertices(KDuz& file, KDuzGeometryBase* geometry)
{
    if (geometry == nullptr || !file.FieldReadBegin("Vertices"))
        return true;
    const std::vector<double> values = ReadAllDoubles(file);
    file.FieldReadEnd();
    const int count = static_cast<int>(values.size() / 3);
    if (!geometry->InitControlPoints(count))
        return true;
    KgeTVector* points = geometry->GetControlPoints();
    for (int i = 0; i < count; ++i)
        points[i] = KgeTVector(values[3 * i], values[3 * i + 1], values[3 * i + 2], 1.0);
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
    const std::vector<int> values = ReadAllInts(file);
    file.FieldReadEnd();
    const int pointCount = mesh->GetControlPointsCount();
    KTypedArray<KDuzMeshPolygon>& polygons = mesh->GetPolygonArray();
    KTypedArray<int>& corners = mesh->GetPolygonVertexArray();
    // Corners are staged per polygon so that a polygon naming a missing
    // control point is dropped whole instead of being walked out of range.
    std::vector<int> pending;
    bool valid = true;
    auto flush = [&] {
        if (!pending.empty() && valid) {
            KDuzMeshPolygon polygon;
            polygon.mStart = corners.Count();
            polygon.mSize = static_cast<int>(pending.size());
            for (int index : pending)
                corners.Add(index);
            polygons.Add(polygon);
        }
        pending.clear();
        valid = true;
    };
    for (int value : values) {
        const bool last = value < 0;
        // -(v + 1) in 64 bits: v may be INT_MIN.
        const int64_t index = last ? -(static_cast<int64_t>(value) + 1) : value;
        if (index >= pointCount)
            valid = false;
        pending.push_back(static_cast<int>(index));
        if (last)
            flush();
    }
    flush();
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
