// Geometry: vertices, polygon groups, per polygon-vertex inputs, material
// placeholders and hostile indices.
#include "ColladaReaderFixture.h"

#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"

#include <string>
#include <vector>

namespace colladatest {
namespace {

const char* const kCubeSources =
    "<source id=\"pos\"><float_array id=\"pa\" count=\"24\">0 0 0 1 0 0 1 1 0 0 1 0 0 0 1 1 0 1 1 1 1 0 1 1"
    "</float_array><technique_common><accessor source=\"#pa\" count=\"8\" stride=\"3\"/></technique_common>"
    "</source>"
    "<source id=\"nrm\"><float_array id=\"na\" count=\"9\">0 0 1 0 1 0 1 0 0</float_array><technique_common>"
    "<accessor source=\"#na\" count=\"3\" stride=\"3\"/></technique_common></source>"
    "<source id=\"uv\" name=\"map1\"><float_array id=\"ua\" count=\"8\">0 0 1 0 1 1 0 1</float_array>"
    "<technique_common><accessor source=\"#ua\" count=\"4\" stride=\"2\"/></technique_common></source>"
    "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#pos\"/></vertices>";

std::string Geometry(const std::string& groups, const std::string& sources = kCubeSources) {
    return "<library_geometries><geometry id=\"g\"><mesh>" + sources + groups +
           "</mesh></geometry></library_geometries>";
}

std::string MeshScene(const std::string& groups, const std::string& bind = "") {
    return Doc(Geometry(groups) + Scene("<node id=\"box\"><instance_geometry url=\"#g\">" + bind +
                                        "</instance_geometry></node>"));
}

class ColladaGeometryTest : public ColladaReaderTest {
protected:
    KDuzMesh* Mesh() {
        KDuzNode* node = Node("box");
        return node != nullptr ? dynamic_cast<KDuzMesh*>(node->GetNodeAttribute()) : nullptr;
    }
};

TEST_F(ColladaGeometryTest, TrianglesWithNormalsPerPolygonVertex) {
    ASSERT_TRUE(Read(MeshScene("<triangles count=\"3\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
                               "<input semantic=\"NORMAL\" source=\"#nrm\" offset=\"1\"/>"
                               "<p>0 0 1 0 2 0  0 1 2 1 3 1  4 2 5 2 6 2</p></triangles>")))
        << AllSaid();
    KDuzMesh* mesh = Mesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 8);
    ASSERT_EQ(mesh->GetPolygonCount(), 3);
    EXPECT_EQ(mesh->GetPolygonVertex(2, 1), 5);
    const KDuzLayerElementNormal* normals = mesh->GetLayer(0)->GetNormals();
    ASSERT_NE(normals, nullptr);
    EXPECT_EQ(normals->GetMappingMode(), KDuzLayerElement::eByPolygonVertex);
    EXPECT_EQ(normals->GetReferenceMode(), KDuzLayerElement::eDirect);
    ASSERT_EQ(normals->GetDirectArray().Count(), 9);
    EXPECT_EQ(normals->GetDirectArray()[8][0], 1.0);
}

TEST_F(ColladaGeometryTest, GroupOrderAndPolygonSizes) {
    // Triangles come after polygons and polygon lists whatever the document order.
    ASSERT_TRUE(Read(MeshScene("<triangles><input semantic=\"VERTEX\" source=\"#v\"/><p>0 1 2</p></triangles>"
                               "<polygons><input semantic=\"VERTEX\" source=\"#v\"/><p>0 1 2 3</p><p>4 5 6</p>"
                               "<p>0 4 5 1 2</p></polygons>"
                               "<polylist count=\"2\"><input semantic=\"VERTEX\" source=\"#v\"/>"
                               "<vcount>3 4</vcount><p>7 6 5 4 5 6 7</p></polylist>")))
        << AllSaid();
    KDuzMesh* mesh = Mesh();
    ASSERT_NE(mesh, nullptr);
    const int sizes[] = {4, 3, 5, 3, 4, 3};
    ASSERT_EQ(mesh->GetPolygonCount(), 6);
    for (int p = 0; p < 6; ++p) EXPECT_EQ(mesh->GetPolygonSize(p), sizes[p]) << p;
    EXPECT_EQ(mesh->GetPolygonVertex(3, 0), 7);
    EXPECT_EQ(mesh->GetPolygonVertex(5, 0), 0);
}

TEST_F(ColladaGeometryTest, SharedUvSourceIsStoredOnceAndSetsMakeLayers) {
    ASSERT_TRUE(Read(MeshScene(
        "<triangles material=\"a\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
        "<input semantic=\"TEXCOORD\" source=\"#uv\" offset=\"1\" set=\"0\"/><p>0 0 1 1 2 2</p></triangles>"
        "<triangles material=\"b\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
        "<input semantic=\"TEXCOORD\" source=\"#uv\" offset=\"1\" set=\"0\"/>"
        "<input semantic=\"TEXCOORD\" source=\"#uv\" offset=\"1\" set=\"2\"/><p>0 3 2 2 3 1</p></triangles>")))
        << AllSaid();
    KDuzMesh* mesh = Mesh();
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetLayerCount(), 3);
    const KDuzLayerElementUV* uvs = mesh->GetLayer(0)->GetUVsOfType(3);
    ASSERT_NE(uvs, nullptr);
    EXPECT_STREQ(uvs->GetName(), "map1");
    EXPECT_EQ(uvs->GetMappingMode(), KDuzLayerElement::eByPolygonVertex);
    EXPECT_EQ(uvs->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
    EXPECT_EQ(uvs->GetDirectArray().Count(), 4);
    ASSERT_EQ(uvs->GetIndexArray().Count(), 6);
    EXPECT_EQ(uvs->GetIndexArray()[3], 3);
    // Set 2 only in the second group: the first group's corners get a
    // neutral coordinate of their own, the second's keep theirs.
    const KDuzLayerElementUV* second = mesh->GetLayer(2)->GetUVsOfType(3);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->GetIndexArray().Count(), 6);
    const KgeUVVector& pad = second->GetDirectArray()[second->GetIndexArray()[0]];
    EXPECT_EQ(pad[0], 0.0);
    EXPECT_EQ(pad[1], 0.0);
    for (int c = 3; c < 6; ++c) {
        const KgeUVVector& own = second->GetDirectArray()[second->GetIndexArray()[c]];
        const KgeUVVector& first = uvs->GetDirectArray()[uvs->GetIndexArray()[c]];
        EXPECT_EQ(own[0], first[0]) << c;
        EXPECT_EQ(own[1], first[1]) << c;
    }
}

TEST_F(ColladaGeometryTest, PrimitiveShapesBecomePolygons) {
    struct Case {
        std::string groups;
        std::vector<std::vector<int>> polygons;
        const char* said;   // a warning the read must give, or empty
    };
    const std::string vertex = "<input semantic=\"VERTEX\" source=\"#v\"/>";
    const Case cases[] = {
        // Strips keep one winding; fans turn about their first corner.
        {"<tristrips>" + vertex + "<p>0 1 2 3</p></tristrips>", {{0, 1, 2}, {2, 1, 3}}, ""},
        {"<trifans>" + vertex + "<p>0 1 2 3</p><p>4 5</p></trifans>", {{0, 1, 2}, {0, 2, 3}},
         "polygons of fewer than three corners are left out: 1"},
        // A polygon with holes is read as its outer polygon.
        {"<polygons>" + vertex + "<ph><p>0 1 2 3</p><h>4 5 6</h></ph><p>4 5 6</p></polygons>",
         {{0, 1, 2, 3}, {4, 5, 6}}, "polygons with holes are read without their holes"},
        // Polygons of no or one corner take their tuples with them.
        {"<polylist>" + vertex + "<vcount>3 0 1 3</vcount><p>0 1 2 7 4 5 6</p></polylist>",
         {{0, 1, 2}, {4, 5, 6}}, "polygons of fewer than three corners are left out: 2"},
        {"<triangles>" + vertex + "<p>0 1 2 3</p></triangles>", {{0, 1, 2}},
         "polygons of fewer than three corners are left out: 1"},
        {"<lines>" + vertex + "<p>0 1</p></lines><triangles>" + vertex + "<p>0 1 2</p></triangles>", {{0, 1, 2}},
         "<lines> in a mesh is not read: only faces are"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.groups);
        scene = KDuzScene::Create(manager, "");
        ASSERT_TRUE(Read(MeshScene(c.groups))) << AllSaid();
        KDuzMesh* mesh = Mesh();
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->GetPolygonCount(), static_cast<int>(c.polygons.size()));
        for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
            std::vector<int> corners;
            for (int k = 0; k < mesh->GetPolygonSize(p); ++k) corners.push_back(mesh->GetPolygonVertex(p, k));
            EXPECT_EQ(corners, c.polygons[static_cast<size_t>(p)]) << p;
        }
        if (*c.said != '\0') {
            EXPECT_TRUE(Said(c.said)) << AllSaid();
        }
    }
}

TEST_F(ColladaGeometryTest, EachGroupKeepsItsOwnCornerDataAndMaterial) {
    // The first group has no normals, coordinates or material; the second
    // has all three, with a strip that uses its tuples twice.
    ASSERT_TRUE(Read(MeshScene(
        "<triangles><input semantic=\"VERTEX\" source=\"#v\"/><p>4 5 6</p></triangles>"
        "<tristrips material=\"red\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
        "<input semantic=\"NORMAL\" source=\"#nrm\" offset=\"1\"/>"
        "<input semantic=\"TEXCOORD\" source=\"#uv\" offset=\"2\" set=\"0\"/>"
        "<p>0 0 0  1 1 1  2 2 2  3 0 3</p></tristrips>")))
        << AllSaid();
    KDuzMesh* mesh = Mesh();
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetPolygonCount(), 3);
    const KDuzLayerElementMaterial* materials = mesh->GetLayer(0)->GetMaterials();
    ASSERT_NE(materials, nullptr);
    EXPECT_EQ(materials->GetMappingMode(), KDuzLayerElement::eByPolygon);
    ASSERT_EQ(materials->GetIndexArray().Count(), 3);
    EXPECT_EQ(materials->GetIndexArray()[0], -1);
    EXPECT_EQ(materials->GetIndexArray()[1], 0);
    EXPECT_EQ(materials->GetIndexArray()[2], 0);

    // Corners 3..8 are the strip's (0 1 2) and (2 1 3).
    const KDuzLayerElementNormal* normals = mesh->GetLayer(0)->GetNormals();
    ASSERT_NE(normals, nullptr);
    ASSERT_EQ(normals->GetDirectArray().Count(), 9);
    const double normalZ[] = {0, 0, 0, 1, 0, 0, 0, 0, 1};   // source rows: (0 0 1) (0 1 0) (1 0 0)
    const double normalY[] = {0, 0, 0, 0, 1, 0, 0, 1, 0};
    const KDuzLayerElementUV* uvs = mesh->GetLayer(0)->GetUVsOfType(3);
    ASSERT_NE(uvs, nullptr);
    ASSERT_EQ(uvs->GetIndexArray().Count(), 9);
    const double u[] = {0, 0, 0, 0, 1, 1, 1, 1, 0};
    const double v[] = {0, 0, 0, 0, 0, 1, 1, 0, 1};
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(normals->GetDirectArray()[c][2], normalZ[c]) << c;
        EXPECT_EQ(normals->GetDirectArray()[c][1], normalY[c]) << c;
        const KgeUVVector& uv = uvs->GetDirectArray()[uvs->GetIndexArray()[c]];
        EXPECT_EQ(uv[0], u[c]) << c;
        EXPECT_EQ(uv[1], v[c]) << c;
    }
}

TEST_F(ColladaGeometryTest, MaterialMappingAndOnePlaceholderPerSymbol) {
    struct Case {
        std::string groups;
        KDuzLayerElement::EMappingMode mapping;
        int materials;
    };
    const std::string tri = "<input semantic=\"VERTEX\" source=\"#v\"/><p>0 1 2</p>";
    const Case cases[] = {
        {"<triangles material=\"red\">" + tri + "</triangles>", KDuzLayerElement::eAllSame, 1},
        {"<triangles material=\"red\">" + tri + "</triangles><triangles material=\"red\">" + tri + "</triangles>",
         KDuzLayerElement::eByPolygon, 1},
        {"<triangles material=\"red\">" + tri + "</triangles><triangles material=\"blue\">" + tri + "</triangles>",
         KDuzLayerElement::eByPolygon, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.groups);
        scene = KDuzScene::Create(manager, "");
        ASSERT_TRUE(Read(MeshScene(c.groups)));
        const KDuzLayerElementMaterial* element = Mesh()->GetLayer(0)->GetMaterials();
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(element->GetMappingMode(), c.mapping);
        EXPECT_EQ(element->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
        EXPECT_EQ(element->GetDirectArray().Count(), c.materials);
        EXPECT_STREQ(element->GetDirectArray()[0]->GetName(), "red");
    }
}

TEST_F(ColladaGeometryTest, VertexNormalsAreReplacedAndColoursKept) {
    const std::string sources = std::string(kCubeSources).replace(
        std::string(kCubeSources).find("<vertices"), std::string::npos,
        "<source id=\"col\"><float_array count=\"6\">1 0 0 0 1 0</float_array><technique_common>"
        "<accessor count=\"2\" stride=\"3\"/></technique_common></source>"
        "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#pos\"/><input semantic=\"NORMAL\" "
        "source=\"#nrm\"/><input semantic=\"COLOR\" source=\"#col\"/><input semantic=\"TEXCOORD\" "
        "source=\"#uv\"/><input semantic=\"BINORMAL\" source=\"#nrm\"/></vertices>");
    ASSERT_TRUE(Read(Doc(Geometry("", sources) + Scene("<node id=\"box\"><instance_geometry url=\"#g\"/></node>"))))
        << AllSaid();
    EXPECT_TRUE(Said("Warning: TEXCOORD not supported in vertices input"));
    EXPECT_TRUE(Said("Warning: BINORMAL not supported in vertices input"));
    KDuzMesh* mesh = Mesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 8);
    EXPECT_EQ(mesh->GetPolygonCount(), 0);
    const KDuzLayerElementVertexColor* colors = mesh->GetLayer(0)->GetVertexColors();
    ASSERT_NE(colors, nullptr);
    EXPECT_EQ(colors->GetMappingMode(), KDuzLayerElement::eByControlPoint);
    ASSERT_EQ(colors->GetDirectArray().Count(), 2);
    EXPECT_EQ(colors->GetDirectArray()[1].mGreen, 1.0);
}

TEST_F(ColladaGeometryTest, BadGeometryFailsWithItsMessage) {
    struct Case {
        std::string geometry;
        const char* said;
    };
    const std::string vertex = "<input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>";
    const Case cases[] = {
        {"<geometry id=\"g\"><mesh>" + std::string(kCubeSources) + "</mesh><mesh/></geometry>",
         "ERROR: more than one mesh defined for library g"},
        {"<geometry id=\"g\"><mesh/></geometry>", "ERROR: <vertex> node not found"},
        {"<geometry id=\"g\"><mesh><vertices><input semantic=\"POSITION\" source=\"#no\"/></vertices></mesh>"
         "</geometry>",
         "ERROR: source #no not source in vertices input"},
        {"<geometry id=\"g\"><mesh><vertices><input semantic=\"SHADE\" source=\"#no\"/></vertices></mesh>"
         "</geometry>",
         "ERROR: SHADE not supported in vertices input"},
        {"<geometry id=\"g\"><mesh>" + std::string(kCubeSources) + "<triangles><p>0 1 2</p></triangles></mesh>"
         "</geometry>",
         "ERROR: No vertices defined in mesh "},
        {"<geometry id=\"g\"><mesh>" + std::string(kCubeSources) + "<triangles>" + vertex +
             "<input semantic=\"NORMAL\" source=\"#gone\" offset=\"1\"/><p>0 0 1 0 2 0</p></triangles></mesh>"
             "</geometry>",
         "ERROR: source \"#gone\" not found as <source> for <input>"},
        // Hostile indices: a point past the positions, a normal past its source,
        // a tuple cut short, a negative offset, a polygon list longer than <p>.
        {"<geometry id=\"g\"><mesh>" + std::string(kCubeSources) + "<triangles>" + vertex +
             "<p>0 1 8</p></triangles></mesh></geometry>",
         "vertex index out of range"},
        {"<geometry id=\"g\"><mesh>" + std::string(kCubeSources) + "<triangles>" + vertex +
             "<input semantic=\"NORMAL\" source=\"#nrm\" offset=\"1\"/><p>0 0 1 0 2 3</p></triangles></mesh>"
             "</geometry>",
         "index out of range for NORMAL"},
        {"<geometry id=\"g\"><mesh>" + std::string(kCubeSources) + "<triangles>" + vertex +
             "<input semantic=\"NORMAL\" source=\"#nrm\" offset=\"1\"/><p>0 0 1 0 2</p></triangles></mesh>"
             "</geometry>",
         "incomplete index tuple"},
        {"<geometry id=\"g\"><mesh>" + std::string(kCubeSources) +
             "<triangles><input semantic=\"VERTEX\" source=\"#v\" offset=\"-1\"/><p>0 1 2</p></triangles></mesh>"
             "</geometry>",
         "invalid offset"},
        {"<geometry id=\"g\"><mesh>" + std::string(kCubeSources) + "<polylist>" + vertex +
             "<vcount>3 3</vcount><p>0 1 2</p></polylist></mesh></geometry>",
         "<vcount> does not match <p>"},
        {"<geometry id=\"g\"><mesh><source id=\"pos\"><float_array>1 2 3</float_array><technique_common>"
         "<accessor count=\"1000000000\" stride=\"3\"/></technique_common></source><vertices>"
         "<input semantic=\"POSITION\" source=\"#pos\"/></vertices></mesh></geometry>",
         "ERROR: reading array in <source>: #pos"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.geometry);
        EXPECT_FALSE(Read(Doc("<library_geometries>" + c.geometry + "</library_geometries>")));
        EXPECT_TRUE(Said(c.said)) << AllSaid();
    }
}

TEST_F(ColladaGeometryTest, UnknownGroupInputWarnsAndIsSkipped) {
    ASSERT_TRUE(Read(MeshScene("<triangles><input semantic=\"VERTEX\" source=\"#v\"/>"
                               "<input semantic=\"TEXTANGENT\" source=\"#nrm\" offset=\"0\"/><p>0 1 2</p></triangles>")));
    EXPECT_TRUE(Said("Warning: Unknown property for polygons: TEXTANGENT"));
    EXPECT_EQ(Mesh()->GetPolygonCount(), 1);
}

// Every mesh under a node, depth first.
void CollectGeometryTestMeshes(KDuzNode* node, std::vector<KDuzMesh*>& out) {
    if (auto* mesh = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute())) out.push_back(mesh);
    for (int i = 0; i < node->GetChildCount(); ++i) CollectGeometryTestMeshes(node->GetChild(i), out);
}

// A mesh read once is copied to every node that uses it: the last copy may
// take its arrays, so no earlier or later user may find it emptied.
TEST_F(ColladaGeometryTest, MeshUsedSeveralTimesIsWholeForEveryUser) {
    const std::string triangles =
        "<triangles count=\"3\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
        "<input semantic=\"NORMAL\" source=\"#nrm\" offset=\"1\"/>"
        "<p>0 0 1 0 2 0  0 1 2 1 3 1  4 2 5 2 6 2</p></triangles>";
    const std::string morph =
        "<library_controllers><controller id=\"mc\"><morph source=\"#g\" method=\"RELATIVE\">"
        "<source id=\"mt\"><IDREF_array id=\"mta\" count=\"1\">g2</IDREF_array><technique_common>"
        "<accessor source=\"#mta\" count=\"1\" stride=\"1\"/></technique_common></source>"
        "<source id=\"mw\"><float_array id=\"mwa\" count=\"1\">0.5</float_array><technique_common>"
        "<accessor source=\"#mwa\" count=\"1\" stride=\"1\"/></technique_common></source>"
        "<targets><input semantic=\"MORPH_TARGET\" source=\"#mt\"/><input semantic=\"MORPH_WEIGHT\" "
        "source=\"#mw\"/></targets></morph></controller></library_controllers>";
    const std::string twoGeometries = "<library_geometries><geometry id=\"g\"><mesh>" + std::string(kCubeSources) +
                                      triangles + "</mesh></geometry><geometry id=\"g2\"><mesh>" + kCubeSources +
                                      triangles + "</mesh></geometry></library_geometries>";
    const std::string scenes =
        "<library_visual_scenes><visual_scene id=\"vs\"><node id=\"a\"><instance_geometry url=\"#g\"/></node>"
        "</visual_scene></library_visual_scenes>";
    struct Case {
        const char* name;
        std::string document;
        size_t meshes;
    };
    const Case cases[] = {
        {"two nodes",
         Doc(Geometry(triangles) + Scene("<node id=\"a\"><instance_geometry url=\"#g\"/></node><node id=\"b\">"
                                         "<instance_geometry url=\"#g\"/></node>")),
         2},
        {"a node with two instances",
         Doc(Geometry(triangles) + Scene("<node id=\"a\"><instance_geometry url=\"#g\"/>"
                                         "<instance_geometry url=\"#g\"/></node><node id=\"b\"><instance_geometry "
                                         "url=\"#g\"/></node>")),
         2},
        {"a library node instanced twice",
         Doc(Geometry(triangles) +
             "<library_nodes><node id=\"ln\"><instance_geometry url=\"#g\"/></node></library_nodes>" +
             Scene("<node id=\"a\"><instance_node url=\"#ln\"/></node><node id=\"b\"><instance_node "
                   "url=\"#ln\"/></node>")),
         2},
        {"a morph target also placed on a node",
         Doc(twoGeometries + morph +
             Scene("<node id=\"a\"><instance_geometry url=\"#g2\"/></node><node id=\"m\"><instance_controller "
                   "url=\"#mc\"/></node>")),
         2},
        {"a visual scene instanced twice",
         Doc(Geometry(triangles) + scenes +
             "<scene><instance_visual_scene url=\"#vs\"/><instance_visual_scene url=\"#vs\"/></scene>"),
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        ASSERT_TRUE(Read(c.document)) << AllSaid();
        std::vector<KDuzMesh*> meshes;
        CollectGeometryTestMeshes(scene->GetRootNode(), meshes);
        ASSERT_GE(meshes.size(), c.meshes);
        for (KDuzMesh* mesh : meshes) {
            EXPECT_EQ(mesh->GetControlPointsCount(), 8);
            ASSERT_EQ(mesh->GetPolygonCount(), 3);
            EXPECT_EQ(mesh->GetPolygonVertex(2, 1), 5);
            const KDuzLayerElementNormal* normals = mesh->GetLayer(0)->GetNormals();
            ASSERT_NE(normals, nullptr);
            EXPECT_EQ(normals->GetDirectArray().Count(), 9);
            for (int s = 0; s < mesh->GetShapeCount(); ++s)
                EXPECT_EQ(mesh->GetShape(s)->GetControlPointsCount(), 8);
        }
    }
}

// The last instance of a library mesh uses the mesh itself: a read leaves
// the scene's meshes and the visual scene's, and no emptied library mesh.
// A mesh instanced twice, and nested nodes, keep what they read.
TEST_F(ColladaGeometryTest, LastInstanceOfALibraryMeshUsesIt) {
    const std::string triangles =
        "<triangles count=\"2\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
        "<p>0 1 2 4 5 6</p></triangles>";
    const std::string second =
        "<geometry id=\"h\"><mesh>"
        "<source id=\"hp\"><float_array id=\"hpa\" count=\"9\">0 0 0 1 0 0 0 1 0</float_array>"
        "<technique_common><accessor source=\"#hpa\" count=\"3\" stride=\"3\"/></technique_common></source>"
        "<vertices id=\"hv\"><input semantic=\"POSITION\" source=\"#hp\"/></vertices>"
        "<triangles count=\"1\"><input semantic=\"VERTEX\" source=\"#hv\" offset=\"0\"/><p>0 1 2</p>"
        "</triangles></mesh></geometry>";
    const std::string library = Geometry(triangles);
    const std::string geometries =
        library.substr(0, library.size() - std::string("</library_geometries>").size()) + second +
        "</library_geometries>";
    ASSERT_TRUE(Read(Doc(geometries +
                         Scene("<node id=\"a\"><instance_geometry url=\"#g\"/>"
                               "<node id=\"b\"><translate>1 2 3</translate><instance_geometry url=\"#h\"/>"
                               "<node id=\"c\"/></node></node>"
                               "<node id=\"d\"><instance_geometry url=\"#g\"/></node>"))))
        << AllSaid();
    struct Expected {
        const char* name;
        const char* parent;
        int points;
        int polygons;
    };
    for (const Expected& e : {Expected{"a", "", 8, 2}, Expected{"b", "a", 3, 1}, Expected{"c", "b", -1, -1},
                              Expected{"d", "", 8, 2}}) {
        SCOPED_TRACE(e.name);
        KDuzNode* node = Node(e.name);
        ASSERT_NE(node, nullptr);
        ASSERT_NE(node->GetParent(), nullptr);
        EXPECT_STREQ(node->GetParent()->GetName(), *e.parent != 0 ? e.parent : scene->GetRootNode()->GetName());
        auto* mesh = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
        if (e.points < 0) {
            EXPECT_EQ(mesh, nullptr);
            continue;
        }
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetControlPointsCount(), e.points);
        EXPECT_EQ(mesh->GetPolygonCount(), e.polygons);
    }
    EXPECT_EQ(Node("b")->GetLclTranslation(), duzVectorTemplate3<double>(1, 2, 3));
    // The two library meshes, one copy for the first use of g: the scene's
    // nodes hold the last uses themselves, not copies of them.
    EXPECT_EQ(manager->GetObjectCount(KDuzMesh::ClassId()), 2 + 1);
}

}  // namespace
}  // namespace colladatest
