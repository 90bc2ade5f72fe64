// Curved-geometry bodies: NURBs, NURBS surfaces, patches, NURBS curves,
// trimmed surfaces and boundaries, and the region rebuild after a read.
#include "KDuzReaderDuz6RecordsTestSupport.h"

#include "duz/KDuzReaderDuz6TestFixture.h"
#include "sdk/geometry/KDuzBoundary.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzTrimNurbsSurface.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {
namespace {

using Duz6Nurbs = Duz6RecordTest;

// A 2 x 2 bilinear NURB body around the given fields.
std::string NurbBody(const std::string& version, const std::string& form, const std::string& points,
                     const std::string& extra = "") {
    return "Geometry: \"Geometry::N\", \"Nurb\" {\n"
           "NurbVersion: " + version + "\nNurbOrder: 2,2\nForm: " + form +
           "\nSurfaceDisplay: 4,3,5\nDimensions: 2,2\n"
           "Points: " + points + "\n" + extra + "}\n";
}

const char* const kFourPoints = "0,0,0,1, 1,0,0,1, 0,1,0,1, 1,1,1,2";

TEST_F(Duz6Nurbs, NurbFormsDependOnTheVersion) {
    struct Case {
        const char* version;
        const char* form;
        int uType;
        int vType;
        bool ok;
    };
    const Case cases[] = {
        {"100", "\"Closed\", \"Open\"", eNurbPeriodic, eNurbOpen, true},
        {"101", "\"closed\", \"OPEN\"", eNurbClosed, eNurbOpen, true},
        {"101", "\"Periodic\", \"Spiral\"", eNurbPeriodic, eNurbPeriodic, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + c.form);
        TearDown();
        SetUp();
        Open(NurbBody(c.version, c.form, kFourPoints), "Geometry");
        KDuzNurb* nurb = KDuzNurb::Create(manager, "n");
        EXPECT_EQ(KDuz6ReadNurb(Context(), nurb), c.ok);
        EXPECT_EQ(nurb->GetNurbUType(), c.uType);
        EXPECT_EQ(nurb->GetNurbVType(), c.vType);
        EXPECT_EQ(nurb->GetSurfaceDisplay(), 4);
        EXPECT_EQ(nurb->GetUStep(), 3);
        EXPECT_EQ(nurb->GetVStep(), 5);
        if (!c.ok) {
            EXPECT_EQ(file.GetError().GetLastErrorIndex(), 10);
            EXPECT_STREQ(file.GetLastErrorString(), "Type of nurb unknown (invalid data).");
        }
    }
}

TEST_F(Duz6Nurbs, NurbFieldsOfTheWrongLengthAreReportedAndNotRead) {
    struct Case {
        const char* name;
        std::string points;
        std::string extra;
        int code;
        const char* text;
    };
    const Case cases[] = {
        {"short points", "0,0,0,1, 1,0,0,1, 0,1,0,1, 1,1,1", "", 9,
         "Control point definition error (wrong number of data)."},
        {"zero weight", "0,0,0,1, 1,0,0,0.00001, 0,1,0,1, 1,1,1,2", "", 10,
         "Weight of control point must be greater than 0 (invalid data)."},
        {"multiplicity", kFourPoints, "MultiplicityU: 1,1,1\n", 9,
         "Multiplicity U definition error (wrong number of data)."},
        {"knots", kFourPoints, "KnotVectorV: 0,0,1\n", 9, "V knot vector definition error (wrong number of data)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Open(NurbBody("200", "\"Open\", \"Open\"", c.points, c.extra), "Geometry");
        KDuzNurb* nurb = KDuzNurb::Create(manager, "n");
        EXPECT_FALSE(KDuz6ReadNurb(Context(), nurb));
        EXPECT_EQ(file.GetError().GetLastErrorIndex(), c.code);
        EXPECT_STREQ(file.GetLastErrorString(), c.text);
        ASSERT_EQ(nurb->GetControlPointsCount(), 4);
    }
}

TEST_F(Duz6Nurbs, NurbReadsPointsKnotsAndMultiplicities) {
    Open(NurbBody("200", "\"Open\", \"Open\"", kFourPoints,
                  "MultiplicityU: 2,1\nMultiplicityV: 1,3\nKnotVectorU: 0,0,1,1\nKnotVectorV: 0,0,2,2\n"),
         "Geometry");
    KDuzNurb* nurb = KDuzNurb::Create(manager, "n");
    EXPECT_TRUE(KDuz6ReadNurb(Context(), nurb));
    EXPECT_EQ(nurb->GetControlPoints()[3][2], 1.0);
    EXPECT_EQ(nurb->GetControlPoints()[3][3], 2.0);
    EXPECT_EQ(nurb->GetUMultiplicityVector()[0], 2);
    EXPECT_EQ(nurb->GetVMultiplicityVector()[1], 3);
    EXPECT_EQ(nurb->GetVKnotVector()[3], 2.0);
}

TEST_F(Duz6Nurbs, HostileDimensionsAreRefusedWithoutAllocation) {
    for (const char* dimensions : {"-2,4", "100000,100000", "2147483647,2"}) {
        SCOPED_TRACE(dimensions);
        TearDown();
        SetUp();
        Open(std::string("Geometry: \"Geometry::S\", \"NurbsSurface\" {\nNurbsSurfaceOrder: 4,4\n"
                         "Form: \"Open\", \"Open\"\nDimensions: ") +
                 dimensions + "\nPoints: 0,0,0,1\nKnotVectorU: 0,1\n}\n",
             "Geometry");
        KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "s");
        EXPECT_FALSE(KDuz6ReadNurbsSurface(Context(), surface));
        EXPECT_EQ(surface->GetControlPointsCount(), 0);
        EXPECT_EQ(surface->GetUCount(), 0);
    }
}

// Orders and dimensions asking for more points or knots than the file
// holds (a fuzzer's 4 KB file asked for 3.4 GB of knots) are refused
// before anything is made.
TEST_F(Duz6Nurbs, CountsBeyondTheFileAreRefusedWithoutAllocation) {
    struct Case {
        const char* name;
        std::string record;
        const char* text;
    };
    const Case cases[] = {
        {"surface order", "\"NurbsSurface\" {\nNurbsSurfaceOrder: 400000000,2\nForm: \"Periodic\", \"Open\"\n"
                          "Dimensions: 2,2\n}\n",
         "U knot vector definition error (wrong number of data)."},
        {"nurb grid", "\"Nurb\" {\nNurbOrder: 2,2\nForm: \"Open\", \"Open\"\nDimensions: 4000,4000\n"
                      "Points: " + std::string(kFourPoints) + "\n}\n",
         "Control point definition error (wrong number of data)."},
        {"curve order", "\"NurbsCurve\" {\nOrder: 2000000000\nForm: \"Periodic\"\nPoints: 0,0,0,1, 1,1,0,1\n}\n",
         "Control point definition error (wrong number of data)."},
        {"patch grid", "\"Patch\" {\nPatchType: \"bspline\", \"bspline\"\nDimensions: 8000,8000\n"
                       "Points: 0,0,0, 1,0,0\n}\n",
         "Control point definition error (wrong number of data)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Open("Geometry: \"Geometry::G\", " + c.record, "Geometry");
        const std::string subType = c.record.substr(1, c.record.find('"', 1) - 1);
        KDuzObject* object = KDuz6ReadCurvedGeometry(Context(), subType.c_str(), "g");
        auto* geometry = dynamic_cast<KDuzGeometryBase*>(object);
        ASSERT_NE(geometry, nullptr);
        EXPECT_EQ(geometry->GetControlPointsCount(), 0);
        EXPECT_STREQ(file.GetLastErrorString(), c.text);
        if (auto* surface = dynamic_cast<KDuzNurbSurfaceBase*>(object)) {
            EXPECT_EQ(surface->GetUKnotArrayCount(), 0);
        }
        if (auto* curve = dynamic_cast<KDuzNurbsCurve*>(object)) {
            EXPECT_EQ(curve->GetKnotArrayCount(), 0);
        }
    }
}

TEST_F(Duz6Nurbs, NurbsSurfaceClosedAndFlipNormals) {
    Open("Geometry: \"Geometry::S\", \"NurbsSurface\" {\nNurbsSurfaceVersion: 100\nNurbsSurfaceOrder: 2,2\n"
         "Form: \"Closed\", \"Open\"\nDimensions: 2,2\nPoints: " +
             std::string(kFourPoints) + "\nKnotVectorU: 0,0,1,1,2\nKnotVectorV: 0,0,1,1\nFlipNormals: 1\n}\n",
         "Geometry");
    KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "s");
    EXPECT_TRUE(KDuz6ReadNurbsSurface(Context(), surface));
    EXPECT_EQ(surface->GetNurbUType(), eNurbClosed);
    EXPECT_EQ(surface->GetUKnotVector()[4], 2.0);
    EXPECT_TRUE(surface->GetFlipNormals());
}

TEST_F(Duz6Nurbs, PatchTypesFlagsAndPoints) {
    Open("Geometry: \"Geometry::P\", \"Patch\" {\nPatchVersion: 100\nPatchType: \"bspline\", \"x\"\n"
         "Dimensions: 2,2\nSurfaceDisplay: 3,1,1\nStep: 6,7\nClosed: 1,0\nUCapped: 0,1\nVCapped: 1,0\n"
         // One triple more than the patch has points: it is not read.
         "Points: 0,0,0, 1,0,0, 0,1,0, 1,1,5, 9,9,9\n}\n",
         "Geometry");
    KDuzPatch* patch = KDuzPatch::Create(manager, "p");
    EXPECT_TRUE(KDuz6ReadPatch(Context(), patch));
    EXPECT_EQ(patch->GetPatchUType(), ePatchBSpline);
    EXPECT_EQ(patch->GetPatchVType(), ePatchLinear);
    EXPECT_EQ(patch->GetSurfaceDisplay(), 3);
    EXPECT_EQ(patch->GetUStep(), 6);
    EXPECT_EQ(patch->GetVStep(), 7);
    EXPECT_TRUE(patch->GetUClosed());
    EXPECT_FALSE(patch->GetVClosed());
    EXPECT_TRUE(patch->GetUCappedTop());
    EXPECT_TRUE(patch->GetVCappedBottom());
    ASSERT_EQ(patch->GetControlPointsCount(), 4);
    EXPECT_EQ(patch->GetControlPoints()[3][2], 5.0);
    EXPECT_EQ(patch->GetControlPoints()[3][3], 1.0);
}

TEST_F(Duz6Nurbs, NurbsCurveFormsPointsAndKnots) {
    struct Case {
        const char* name;
        std::string body;
        bool ok;
        int points;
        const char* text;
    };
    const Case cases[] = {
        {"open", "Order: 2\nForm: \"open\"\nDimension: 2\nRational: 0\nPoints: 0,0,0,1, 1,1,0,1\nKnotVector: 0,0,1,1\n",
         true, 2, ""},
        {"unknown form", "Order: 2\nForm: \"Spiral\"\nPoints: 0,0,0,1, 1,1,0,1\n", false, 0,
         "Type of nurbs curve unknown (invalid data)."},
        {"ten values", "Order: 2\nForm: \"Open\"\nPoints: 0,0,0,1, 1,1,0,1, 5,5\n", false, 0,
         "Control point definition error (wrong number of data)."},
        {"tiny weight", "Order: 2\nForm: \"Open\"\nPoints: 0,0,0,1, 1,1,0,0.00001\n", false, 2,
         "Weight of control point must be greater than 0 (invalid data)."},
        {"knot count", "Order: 2\nForm: \"Closed\"\nPoints: 0,0,0,1, 1,1,0,1\nKnotVector: 0,0,1,1\n", false, 2,
         "Knot vector definition error (wrong number of data)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Open("Geometry: \"Geometry::C\", \"NurbsCurve\" {\nNurbsCurveVersion: 100\n" + c.body + "}\n", "Geometry");
        KDuzNurbsCurve* curve = KDuzNurbsCurve::Create(manager, "c");
        EXPECT_EQ(KDuz6ReadNurbsCurve(Context(), curve), c.ok);
        EXPECT_EQ(curve->GetControlPointsCount(), c.points);
        if (c.ok) {
            EXPECT_EQ(curve->GetCurveType(), eNurbsCurveOpen);
            EXPECT_EQ(curve->GetDimension(), 2);
            EXPECT_FALSE(curve->GetRationalFlag());
            EXPECT_EQ(curve->GetKnotVector()[3], 1.0);
        } else {
            EXPECT_STREQ(file.GetLastErrorString(), c.text);
        }
    }
}

}  // namespace

// A whole file: a trimmed surface, its surface and three boundaries linked
// in "Connections"; the regions exist once the read is over.
TEST_F(Duz6ReaderTest, TrimmedSurfaceRegionsAreRebuiltFromTheLinkedBoundaries) {
    auto boundary = [](const char* name, int outer) {
        return std::string("    Geometry: \"Geometry::") + name + "\", \"Boundary\" {\n        BoundaryVersion: 100\n"
               "        Properties60:  {\n            Property: \"OuterBoundary\", \"bool\", \"\"," +
               std::to_string(outer) + "\n        }\n    }\n";
    };
    ASSERT_TRUE(Load(std::string("Definitions:  {\n    ObjectType: \"Geometry\"\n}\n"
                                 "Objects:  {\n"
                                 "    Geometry: \"Geometry::T\", \"TrimNurbsSurface\" {\n"
                                 "        TrimmedNurbVersion: 100\n        FlipNormals: 1\n    }\n"
                                 "    Geometry: \"Geometry::S\", \"NurbsSurface\" {\n"
                                 "        NurbsSurfaceOrder: 2,2\n        Form: \"Open\", \"Open\"\n"
                                 "        Dimensions: 2,2\n        Points: 0,0,0,1, 1,0,0,1, 0,1,0,1, 1,1,0,1\n    }\n") +
                     boundary("O1", 0) + boundary("H1", 0) + boundary("O2", 1) +
                     "}\n"
                     "Connections:  {\n"
                     "    Connect: \"OO\", \"Geometry::S\", \"Geometry::T\"\n"
                     "    Connect: \"OO\", \"Geometry::O1\", \"Geometry::T\"\n"
                     "    Connect: \"OO\", \"Geometry::H1\", \"Geometry::T\"\n"
                     "    Connect: \"OO\", \"Geometry::O2\", \"Geometry::T\"\n"
                     "}\n"));
    KDuzTrimNurbsSurface* trimmed = nullptr;
    for (int i = 0; i < scene->GetSrcObjectCount(KDuzTrimNurbsSurface::ClassId()); ++i)
        trimmed = dynamic_cast<KDuzTrimNurbsSurface*>(scene->GetSrcObject(KDuzTrimNurbsSurface::ClassId(), i));
    ASSERT_NE(trimmed, nullptr);
    EXPECT_TRUE(trimmed->GetFlipNormals());
    ASSERT_NE(trimmed->GetNurbsSurface(), nullptr);
    EXPECT_EQ(trimmed->GetControlPointsCount(), 4);
    EXPECT_EQ(trimmed->GetRegionEnds(), (std::vector<int>{1, 2}));
    ASSERT_NE(trimmed->GetBoundary(0, 1), nullptr);
    EXPECT_STREQ(trimmed->GetBoundary(0, 1)->GetName(), "O2");
    // The first boundary is made outer by the rebuild.
    EXPECT_TRUE(trimmed->GetBoundary(0, 0)->OuterBoundary().Get());
}

}  // namespace duzsdk
