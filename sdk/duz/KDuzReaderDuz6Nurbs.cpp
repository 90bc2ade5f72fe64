// Curved-geometry bodies of version 6 "Geometry" records (and of "Model"
// records of sub-types "Nurb" and "Patch"): NURBs, NURBS surfaces,
// patches, NURBS curves, trimmed surfaces and boundaries.
#include "sdk/duz/KDuzReaderDuz6Records.h"

#include <strings.h>

#include <climits>
#include <cstring>
#include <type_traits>
#include <vector>

#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/geometry/KDuzBoundary.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzTrimNurbsSurface.h"
#include "sdk/io/KDuz.h"

namespace duzsdk {

namespace {

constexpr int kErrorCount = 9;     // the field file's "Count error"
constexpr int kErrorInvalid = 10;  // the field file's "Invalid data"
constexpr double kMinWeight = 0.00001;

bool SameText(const char* a, const char* b) { return a != nullptr && strcasecmp(a, b) == 0; }

void Report(KDuz& file, int code, const char* text, bool& ok) {
    file.GetError().SetLastErrorWithText(code, text);
    ok = false;
}

// Reads up to count ints of a field, 0 where the field has fewer.
void ReadInts(KDuz& file, const char* name, int* out, int count) {
    if (!file.FieldReadBegin(name)) return;
    for (int i = 0; i < count; ++i) out[i] = file.FieldReadInt();
    file.FieldReadEnd();
}

// The number of values a field holds; 0 when the file has no such field.
long long FieldValueCount(KDuz& file, const char* name) {
    if (!file.FieldReadBegin(name)) return 0;
    const long long count = file.FieldReadGetValueCount();
    file.FieldReadEnd();
    return count;
}

// Large grids and knot vectors are made only when the file holds their
// values: a few digits of dimensions or order could otherwise ask for
// gigabytes that no field fills. Small ones are made whatever the fields
// hold, and their fields then read as count errors.
constexpr long long kValuesMadeUnread = 1 << 16;

bool FileHoldsValues(KDuz& file, const char* name, long long needed) {
    return needed <= kValuesMadeUnread || FieldValueCount(file, name) >= needed;
}

// The values of "Points" a grid needs; grids past the largest allowed need
// more than any file holds.
long long GridValues(int uCount, int vCount, int valuesPerPoint) {
    const long long points = static_cast<long long>(uCount) * vCount;
    return points > KDuzGeometryBase::kMaxControlPoints ? LLONG_MAX : valuesPerPoint * points;
}

// A field of exactly count doubles into out; a field of another length is
// reported and not read.
void ReadExactDoubles(KDuz& file, const char* name, double* out, int count, const char* error, bool& ok) {
    if (!file.FieldReadBegin(name)) return;
    if (file.FieldReadGetValueCount() != count || (count > 0 && out == nullptr)) {
        Report(file, kErrorCount, error, ok);
    } else if (count > 0) {
        file.FieldReadDoubles(out, count);
    }
    file.FieldReadEnd();
}

void ReadExactInts(KDuz& file, const char* name, int* out, int count, const char* error, bool& ok) {
    if (!file.FieldReadBegin(name)) return;
    if (file.FieldReadGetValueCount() != count || (count > 0 && out == nullptr)) {
        Report(file, kErrorCount, error, ok);
    } else {
        for (int i = 0; i < count; ++i) out[i] = file.FieldReadInt();
    }
    file.FieldReadEnd();
}

// "Points": exactly four doubles per control point; weights at or below
// 0.00001 are kept as read and reported.
void ReadWeightedPoints(KDuz& file, KDuzGeometryBase& geometry, bool& ok) {
    if (!file.FieldReadBegin("Points")) return;
    const int count = geometry.GetControlPointsCount();
    if (file.FieldReadGetValueCount() != 4 * static_cast<long long>(count)) {
        Report(file, kErrorCount, "Control point definition error (wrong number of data).", ok);
    } else {
        KgeTVector* points = geometry.GetControlPoints();
        bool weightReported = false;
        for (int i = 0; i < count; ++i) {
            file.FieldReadDoubles(points[i].Data(), 4);
            if (!(points[i][3] > kMinWeight) && !weightReported) {
                Report(file, kErrorInvalid, "Weight of control point must be greater than 0 (invalid data).", ok);
                weightReported = true;
            }
        }
    }
    file.FieldReadEnd();
}

// The NURB and NURBS surface bodies differ in their field names, in how
// "Closed" reads and in the multiplicities.
template <class Surface>
bool ReadNurbsBody(const KDuz6RecordContext& context, Surface* surface, const char* versionName,
                   const char* orderName, bool withMultiplicities) {
    if (surface == nullptr || context.file == nullptr) return false;
    KDuz& file = *context.file;
    bool ok = true;
    const int version = file.FieldReadIntOrDefault(versionName, 0);
    int order[2] = {0, 0};
    ReadInts(file, orderName, order, 2);
    surface->SetOrder(order[0], order[1]);
    int types[2] = {eNurbPeriodic, eNurbPeriodic};
    if (file.FieldReadBegin("Form")) {
        for (int& type : types) {
            const KString form(file.FieldReadString());
            if (SameText(form.Buffer(), "Periodic")) {
                type = eNurbPeriodic;
            } else if (SameText(form.Buffer(), "Closed")) {
                type = !withMultiplicities || version > 100 ? eNurbClosed : eNurbPeriodic;
            } else if (SameText(form.Buffer(), "Open")) {
                type = eNurbOpen;
            } else {
                type = eNurbPeriodic;
                Report(file, kErrorInvalid, "Type of nurb unknown (invalid data).", ok);
            }
        }
        file.FieldReadEnd();
    }
    int display[3] = {surface->GetSurfaceDisplay(), surface->GetUStep(), surface->GetVStep()};
    if (file.FieldGetInstanceCount("SurfaceDisplay") > 0) {
        ReadInts(file, "SurfaceDisplay", display, 3);
        surface->SetSurfaceDisplay(display[0]);
        surface->SetStep(display[1], display[2]);
    }
    int step[2] = {surface->GetUStep(), surface->GetVStep()};
    ReadInts(file, "Step", step, 2);
    surface->SetStep(step[0], step[1]);
    int dimensions[2] = {0, 0};
    ReadInts(file, "Dimensions", dimensions, 2);
    // A refused grid (negative, too large, more than the file holds) leaves
    // counts 0: every field sized from it then reads as a count error.
    if (dimensions[0] < 0 || dimensions[1] < 0) {
        surface->InitControlPoints(dimensions[0], types[0], dimensions[1], types[1]);   // refused
    } else if (!FileHoldsValues(file, "Points", GridValues(dimensions[0], dimensions[1], 4))) {
        Report(file, kErrorCount, "Control point definition error (wrong number of data).", ok);
    } else if (!FileHoldsValues(file, "KnotVectorU", KDuzNurbKnotCount(types[0], surface->GetUOrder(), dimensions[0]))) {
        Report(file, kErrorCount, "U knot vector definition error (wrong number of data).", ok);
    } else if (!FileHoldsValues(file, "KnotVectorV", KDuzNurbKnotCount(types[1], surface->GetVOrder(), dimensions[1]))) {
        Report(file, kErrorCount, "V knot vector definition error (wrong number of data).", ok);
    } else {
        surface->InitControlPoints(dimensions[0], types[0], dimensions[1], types[1]);
    }
    ReadWeightedPoints(file, *surface, ok);
    if constexpr (std::is_same_v<Surface, KDuzNurb>) {
        if (withMultiplicities) {
            ReadExactInts(file, "MultiplicityU", surface->GetUMultiplicityVector(), surface->GetUCount(),
                          "Multiplicity U definition error (wrong number of data).", ok);
            ReadExactInts(file, "MultiplicityV", surface->GetVMultiplicityVector(), surface->GetVCount(),
                          "Multiplicity V definition error (wrong number of data).", ok);
        }
    }
    ReadExactDoubles(file, "KnotVectorU", surface->GetUKnotVector(), surface->GetUKnotArrayCount(),
                     "U knot vector definition error (wrong number of data).", ok);
    ReadExactDoubles(file, "KnotVectorV", surface->GetVKnotVector(), surface->GetVKnotArrayCount(),
                     "V knot vector definition error (wrong number of data).", ok);
    if constexpr (std::is_same_v<Surface, KDuzNurbsSurface>) {
        if (file.FieldReadIntOrDefault("FlipNormals", 0) != 0) surface->SetFlipNormals(true);
    }
    KDuz6ReadLayers(context, surface);
    KDuz6ReadLinks(context, surface);
    KDuz6ReadShapes(context, surface);
    return ok;
}

int PatchTypeOf(const char* text) {
    static const char* const kNames[] = {"Bezier", "BezierQuadric", "Cardinal", "BSpline"};
    for (int i = 0; i < 4; ++i) {
        if (SameText(text, kNames[i])) return i;
    }
    return ePatchLinear;
}

}  // namespace

bool KDuz6ReadNurb(const KDuz6RecordContext& context, KDuzNurb* nurb) {
    return ReadNurbsBody(context, nurb, "NurbVersion", "NurbOrder", true);
}

bool KDuz6ReadNurbsSurface(const KDuz6RecordContext& context, KDuzNurbsSurface* surface) {
    return ReadNurbsBody(context, surface, "NurbsSurfaceVersion", "NurbsSurfaceOrder", false);
}

bool KDuz6ReadPatch(const KDuz6RecordContext& context, KDuzPatch* patch) {
    if (patch == nullptr || context.file == nullptr) return false;
    KDuz& file = *context.file;
    file.FieldReadIntOrDefault("PatchVersion", 100);
    int types[2] = {ePatchLinear, ePatchLinear};
    if (file.FieldReadBegin("PatchType")) {
        for (int& type : types) type = PatchTypeOf(KString(file.FieldReadString()).Buffer());
        file.FieldReadEnd();
    }
    int dimensions[2] = {0, 0};
    ReadInts(file, "Dimensions", dimensions, 2);
    if (dimensions[0] >= 0 && dimensions[1] >= 0 &&
        !FileHoldsValues(file, "Points", GridValues(dimensions[0], dimensions[1], 3)))
        file.GetError().SetLastErrorWithText(kErrorCount, "Control point definition error (wrong number of data).");
    else
        patch->InitControlPoints(dimensions[0], types[0], dimensions[1], types[1]);
    if (file.FieldGetInstanceCount("SurfaceDisplay") > 0) {
        int display[3] = {0, 0, 0};
        ReadInts(file, "SurfaceDisplay", display, 3);
        patch->SetSurfaceDisplay(display[0]);
        patch->SetStep(display[1], display[2]);
    }
    int step[2] = {patch->GetUStep(), patch->GetVStep()};
    ReadInts(file, "Step", step, 2);
    patch->SetStep(step[0], step[1]);
    int pair[2] = {0, 0};
    if (file.FieldGetInstanceCount("Closed") > 0) {
        ReadInts(file, "Closed", pair, 2);
        patch->SetClosed(pair[0] != 0, pair[1] != 0);
    }
    if (file.FieldGetInstanceCount("UCapped") > 0) {
        ReadInts(file, "UCapped", pair, 2);
        patch->SetUCapped(pair[0] != 0, pair[1] != 0);
    }
    if (file.FieldGetInstanceCount("VCapped") > 0) {
        ReadInts(file, "VCapped", pair, 2);
        patch->SetVCapped(pair[0] != 0, pair[1] != 0);
    }
    if (file.FieldReadBegin("Points")) {
        // Never more points than the patch has, whatever the field holds.
        const int available = file.FieldReadGetValueCount() / 3;
        const int count = available < patch->GetControlPointsCount() ? available : patch->GetControlPointsCount();
        KgeTVector* points = patch->GetControlPoints();
        for (int i = 0; i < count; ++i) {
            double xyz[3];
            file.FieldReadDoubles(xyz, 3);
            points[i] = KgeTVector(xyz[0], xyz[1], xyz[2], 1.0);
        }
        file.FieldReadEnd();
    }
    KDuz6ReadLayers(context, patch);
    KDuz6ReadLinks(context, patch);
    KDuz6ReadShapes(context, patch);
    return true;
}

bool KDuz6ReadNurbsCurve(const KDuz6RecordContext& context, KDuzNurbsCurve* curve) {
    if (curve == nullptr || context.file == nullptr) return false;
    KDuz& file = *context.file;
    bool ok = true;
    file.FieldReadIntOrDefault("NurbsCurveVersion", 0);
    if (file.FieldGetInstanceCount("Order") > 0) curve->SetOrder(file.FieldReadIntOrDefault("Order", 0));
    int form = -1;
    if (file.FieldReadBegin("Form")) {
        const KString text(file.FieldReadString());
        if (SameText(text.Buffer(), "Open")) {
            form = eNurbsCurveOpen;
        } else if (SameText(text.Buffer(), "Closed")) {
            form = eNurbsCurveClosed;
        } else if (SameText(text.Buffer(), "Periodic")) {
            form = eNurbsCurvePeriodic;
        } else {
            Report(file, kErrorInvalid, "Type of nurbs curve unknown (invalid data).", ok);
        }
        file.FieldReadEnd();
    }
    if (file.FieldGetInstanceCount("Dimension") > 0) curve->SetDimension(file.FieldReadIntOrDefault("Dimension", 3));
    if (file.FieldGetInstanceCount("Rational") > 0) curve->SetRationalFlag(file.FieldReadIntOrDefault("Rational", 0) != 0);
    if (ok && file.FieldReadBegin("Points")) {
        const int values = file.FieldReadGetValueCount();
        // The knots follow from the order: made only when the file holds them.
        const long long knots = KDuzNurbsCurve::KnotCount(form, curve->GetOrder(), values / 4);
        if (values % 4 != 0 || !FileHoldsValues(file, "KnotVector", knots) ||
            !curve->InitControlPoints(values / 4, form)) {
            Report(file, kErrorCount, "Control point definition error (wrong number of data).", ok);
        } else {
            KgeTVector* points = curve->GetControlPoints();
            bool weightReported = false;
            for (int i = 0; i < values / 4; ++i) {
                file.FieldReadDoubles(points[i].Data(), 4);
                if (!(points[i][3] > kMinWeight) && !weightReported) {
                    Report(file, kErrorInvalid, "Weight of control point must be greater than 0 (invalid data).", ok);
                    weightReported = true;
                }
            }
        }
        file.FieldReadEnd();
    }
    if (ok && file.FieldReadBegin("KnotVector")) {
        if (file.FieldReadGetValueCount() != curve->GetKnotArrayCount() || curve->GetKnotCount() != curve->GetKnotArrayCount()) {
            Report(file, kErrorInvalid, "Knot vector definition error (wrong number of data).", ok);
        } else if (curve->GetKnotArrayCount() > 0) {
            file.FieldReadDoubles(curve->GetKnotVector(), curve->GetKnotArrayCount());
        }
        file.FieldReadEnd();
    }
    return ok;
}

bool KDuz6ReadTrimNurbsSurface(const KDuz6RecordContext& context, KDuzTrimNurbsSurface* surface) {
    if (surface == nullptr || context.file == nullptr) return false;
    KDuz& file = *context.file;
    file.FieldReadIntOrDefault("TrimmedNurbVersion", 0);
    if (file.FieldGetInstanceCount("FlipNormals") > 0 && file.FieldReadIntOrDefault("FlipNormals", 0) != 0)
        surface->SetFlipNormals(true);
    KDuz6ReadLayers(context, surface);
    return true;
}

bool KDuz6ReadBoundary(const KDuz6RecordContext& context, KDuzBoundary* boundary) {
    if (boundary == nullptr || context.file == nullptr) return false;
    context.file->FieldReadIntOrDefault("BoundaryVersion", 0);
    if (context.readProperties60) context.readProperties60(boundary);
    return true;
}

KDuzObject* KDuz6ReadCurvedGeometry(const KDuz6RecordContext& context, const char* subType, const char* name) {
    KDuzSdkManager* manager = context.manager;
    auto read = [&](auto* object, auto reader) -> KDuzObject* {
        if (object != nullptr) reader(context, object);
        return object;
    };
    if (std::strcmp(subType, "Nurb") == 0) return read(KDuzNurb::Create(manager, name), &KDuz6ReadNurb);
    if (std::strcmp(subType, "NurbsSurface") == 0)
        return read(KDuzNurbsSurface::Create(manager, name), &KDuz6ReadNurbsSurface);
    if (std::strcmp(subType, "Patch") == 0) return read(KDuzPatch::Create(manager, name), &KDuz6ReadPatch);
    if (std::strcmp(subType, "NurbsCurve") == 0)
        return read(KDuzNurbsCurve::Create(manager, name), &KDuz6ReadNurbsCurve);
    if (std::strcmp(subType, "TrimNurbsSurface") == 0)
        return read(KDuzTrimNurbsSurface::Create(manager, name), &KDuz6ReadTrimNurbsSurface);
    if (std::strcmp(subType, "Boundary") == 0) return read(KDuzBoundary::Create(manager, name), &KDuz6ReadBoundary);
    return nullptr;
}

}  // namespace duzsdk
