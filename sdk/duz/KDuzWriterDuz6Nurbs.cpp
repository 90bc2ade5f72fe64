// Curved-geometry bodies: NURBs and patches inside their model records,
// NURBS surfaces, NURBS curves, trimmed surfaces and boundaries in
// "Geometry" records. Every point goes through the geometry's pivot.
#include "sdk/base/KgeMatrix.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/geometry/KDuzBoundary.h"
#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzTrimNurbsSurface.h"
#include "sdk/io/KDuz.h"
#include "sdk/scene/KDuzNode.h"

#include <algorithm>
#include <initializer_list>

namespace duzsdk {

namespace {

const char* NurbFormName(int type) {
    return type == eNurbPeriodic ? "Periodic" : type == eNurbClosed ? "Closed" : "Open";
}

const char* CurveFormName(int type) {
    return type == eNurbsCurvePeriodic ? "Periodic" : type == eNurbsCurveClosed ? "Closed" : "Open";
}

const char* PatchTypeName(int type) {
    static const char* const kNames[] = {"Bezier", "BezierQuadric", "Cardinal", "BSpline", "Linear"};
    return type >= 0 && type <= 4 ? kNames[type] : "Linear";
}

void WriteInts(KDuz& duz, const char* name, std::initializer_list<int> values) {
    duz.FieldWriteBegin(name);
    for (int value : values) duz.FieldWriteInt(value);
    duz.FieldWriteEnd();
}

void WriteDoubles(KDuz& duz, const char* name, const double* values, int count) {
    duz.FieldWriteBegin(name);
    for (int i = 0; i < count; ++i) duz.FieldWriteDouble(values[i]);
    duz.FieldWriteEnd();
}

// The points through the pivot: x, y, z and, with weights, the weight.
void WritePoints(KDuz& duz, const KDuzGeometry& geometry, bool weights) {
    KgeMatrix pivot;
    geometry.GetPivot(pivot);
    const double* p = pivot.Data();
    const KgeTVector* points = geometry.GetControlPoints();
    duz.FieldWriteBegin("Points");
    for (int i = 0; i < geometry.GetControlPointsCount(); ++i) {
        const double x = points[i][0];
        const double y = points[i][1];
        const double z = points[i][2];
        duz.FieldWriteDouble(x * p[0] + y * p[4] + z * p[8] + p[12]);
        duz.FieldWriteDouble(x * p[1] + y * p[5] + z * p[9] + p[13]);
        duz.FieldWriteDouble(x * p[2] + y * p[6] + z * p[10] + p[14]);
        if (weights) duz.FieldWriteDouble(points[i][3]);
    }
    duz.FieldWriteEnd();
}

// A geometry that asks for a flipped export is written as its flipped copy;
// null when it asks for none or the copy cannot be made.
template <class Geometry>
Geometry* FlippedCopy(KDuzSdkManager* manager, Geometry* geometry,
                      Geometry* (KDuzGeometryConverter::*swap)(const Geometry*, bool, bool)) {
    if (!geometry->GetSwapUVFlag() && !geometry->GetSwapLinksFlag()) return nullptr;
    KDuzGeometryConverter* converter = KDuzGeometryConverter::Create(manager, "");
    if (converter == nullptr) return nullptr;
    Geometry* flipped = (converter->*swap)(geometry, geometry->GetSwapUVFlag(), geometry->GetSwapLinksFlag());
    converter->Destroy();
    return flipped;
}

}  // namespace

bool KDuzWriterDuz6::WriteNurbBody(KDuzNurb* nurb) {
    if (nurb->GetControlPointsCount() <= 0) return false;
    KDuzNurb* flipped = FlippedCopy(GetSdkManager(), nurb, &KDuzGeometryConverter::SwapNurbUV);
    KDuzNurb* source = flipped != nullptr ? flipped : nurb;
    KDuz& duz = *GetFieldFile();
    WriteInts(duz, "NurbVersion", {200});
    WriteInts(duz, "SurfaceDisplay", {source->GetSurfaceDisplay(), source->GetUStep(), source->GetVStep()});
    WriteInts(duz, "NurbOrder", {source->GetUOrder(), source->GetVOrder()});
    WriteInts(duz, "Dimensions", {source->GetUCount(), source->GetVCount()});
    WriteInts(duz, "Step", {source->GetUStep(), source->GetVStep()});
    duz.FieldWriteBegin("Form");
    duz.FieldWriteString(NurbFormName(source->GetNurbUType()));
    duz.FieldWriteString(NurbFormName(source->GetNurbVType()));
    duz.FieldWriteEnd();
    WritePoints(duz, *source, true);
    duz.FieldWriteBegin("MultiplicityU");
    for (int i = 0; i < source->GetUCount(); ++i) duz.FieldWriteInt(source->GetUMultiplicityVector()[i]);
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("MultiplicityV");
    for (int i = 0; i < source->GetVCount(); ++i) duz.FieldWriteInt(source->GetVMultiplicityVector()[i]);
    duz.FieldWriteEnd();
    // The arrays as sized: a count that changed with the orders afterwards
    // never sends the writer past them.
    WriteDoubles(duz, "KnotVectorU", source->GetUKnotVector(), std::min(source->GetUKnotCount(), source->GetUKnotArrayCount()));
    WriteDoubles(duz, "KnotVectorV", source->GetVKnotVector(), std::min(source->GetVKnotCount(), source->GetVKnotArrayCount()));
    const bool written = WriteGeometryBody(source);
    if (flipped != nullptr) flipped->Destroy();
    return written;
}

bool KDuzWriterDuz6::WriteNurbsSurfaceBody(KDuzNurbsSurface* surface) {
    if (surface->GetControlPointsCount() <= 0) return false;
    KDuzNurbsSurface* flipped = FlippedCopy(GetSdkManager(), surface, &KDuzGeometryConverter::SwapNurbsSurfaceUV);
    KDuzNurbsSurface* source = flipped != nullptr ? flipped : surface;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteNamedString("Type", "NurbsSurface");
    WriteInts(duz, "NurbsSurfaceVersion", {100});
    WriteInts(duz, "SurfaceDisplay", {source->GetSurfaceDisplay(), source->GetUStep(), source->GetVStep()});
    WriteInts(duz, "NurbsSurfaceOrder", {source->GetUOrder(), source->GetVOrder()});
    WriteInts(duz, "Dimensions", {source->GetUCount(), source->GetVCount()});
    WriteInts(duz, "Step", {source->GetUStep(), source->GetVStep()});
    duz.FieldWriteBegin("Form");
    duz.FieldWriteString(NurbFormName(source->GetNurbUType()));
    duz.FieldWriteString(NurbFormName(source->GetNurbVType()));
    duz.FieldWriteEnd();
    WritePoints(duz, *source, true);
    WriteDoubles(duz, "KnotVectorU", source->GetUKnotVector(), std::min(source->GetUKnotCount(), source->GetUKnotArrayCount()));
    WriteDoubles(duz, "KnotVectorV", source->GetVKnotVector(), std::min(source->GetVKnotCount(), source->GetVKnotArrayCount()));
    const bool written = WriteGeometryBody(source);
    WriteInts(duz, "FlipNormals", {source->GetFlipNormals() ? 1 : 0});
    if (flipped != nullptr) flipped->Destroy();
    return written;
}

bool KDuzWriterDuz6::WritePatchBody(KDuzPatch* patch) {
    KDuz& duz = *GetFieldFile();
    WriteInts(duz, "PatchVersion", {100});
    WriteInts(duz, "SurfaceDisplay", {patch->GetSurfaceDisplay(), patch->GetUStep(), patch->GetVStep()});
    duz.FieldWriteBegin("PatchType");
    duz.FieldWriteString(PatchTypeName(patch->GetPatchUType()));
    duz.FieldWriteString(PatchTypeName(patch->GetPatchVType()));
    duz.FieldWriteEnd();
    WriteInts(duz, "Dimensions", {patch->GetUCount(), patch->GetVCount()});
    WriteInts(duz, "Step", {patch->GetUStep(), patch->GetVStep()});
    WriteInts(duz, "Closed", {patch->GetUClosed() ? 1 : 0, patch->GetVClosed() ? 1 : 0});
    WriteInts(duz, "UCapped", {patch->GetUCappedBottom() ? 1 : 0, patch->GetUCappedTop() ? 1 : 0});
    WriteInts(duz, "VCapped", {patch->GetVCappedBottom() ? 1 : 0, patch->GetVCappedTop() ? 1 : 0});
    WritePoints(duz, *patch, false);
    return WriteGeometryBody(patch);
}

bool KDuzWriterDuz6::WriteNurbsCurveBody(KDuzNurbsCurve* curve) {
    if (curve->GetControlPointsCount() <= 0) return false;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteNamedString("Type", "NurbsCurve");
    WriteInts(duz, "NurbsCurveVersion", {100});
    WriteInts(duz, "Order", {curve->GetOrder()});
    WriteInts(duz, "Dimension", {curve->GetDimension()});
    duz.FieldWriteNamedString("Form", CurveFormName(curve->GetCurveType()));
    WriteInts(duz, "Rational", {curve->IsRational() ? 1 : 0});
    WritePoints(duz, *curve, true);
    WriteDoubles(duz, "KnotVector", curve->GetKnotVector(), std::min(curve->GetKnotCount(), curve->GetKnotArrayCount()));
    return WriteGeometryBody(curve);
}

bool KDuzWriterDuz6::WriteTrimNurbsSurfaceBody(KDuzTrimNurbsSurface* surface) {
    KDuzBoundary* first = surface->GetBoundary(0, 0);
    if (surface->GetNurbsSurface() == nullptr || surface->GetRegionCount() == 0 || first == nullptr ||
        first->GetCurveCount() == 0)
        return false;
    KDuz& duz = *GetFieldFile();
    WriteInts(duz, "TrimmedNurbVersion", {100});
    duz.FieldWriteNamedString("Type", "TrimNurbsSurface");
    WriteInts(duz, "FlipNormals", {surface->GetFlipNormals() ? 1 : 0});
    return WriteGeometryBody(surface);
}

bool KDuzWriterDuz6::WriteBoundaryBody(KDuzBoundary* boundary) {
    if (boundary->GetCurveCount() == 0) return false;
    KDuz& duz = *GetFieldFile();
    const bool written = WriteGeometryBody(boundary);
    duz.FieldWriteNamedString("Type", "Boundary");
    WriteInts(duz, "BoundaryVersion", {100});
    WriteProperties(boundary);
    return written;
}

bool KDuzWriterDuz6::WriteSeparateGeometryBody(KDuzObject* geometry) {
    switch (KDuzNode::GetAttributeTypeOf(geometry)) {
        case KDuzNodeAttribute::eMesh:
            return WriteMeshBody(static_cast<KDuzMesh*>(geometry));
        case KDuzNodeAttribute::eNurb:
            return WriteNurbBody(static_cast<KDuzNurb*>(geometry));
        case KDuzNodeAttribute::ePatch:
            return WritePatchBody(static_cast<KDuzPatch*>(geometry));
        case KDuzNodeAttribute::eNurbsSurface:
            return WriteNurbsSurfaceBody(static_cast<KDuzNurbsSurface*>(geometry));
        case KDuzNodeAttribute::eNurbsCurve:
            return WriteNurbsCurveBody(static_cast<KDuzNurbsCurve*>(geometry));
        case KDuzNodeAttribute::eTrimNurbsSurface:
            return WriteTrimNurbsSurfaceBody(static_cast<KDuzTrimNurbsSurface*>(geometry));
        case KDuzNodeAttribute::eBoundary:
            return WriteBoundaryBody(static_cast<KDuzBoundary*>(geometry));
        default:
            return false;
    }
}

}  // namespace duzsdk
