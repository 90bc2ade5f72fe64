// The DXF writer: its exact lines, colour numbers, files that ezdxf reads
// with the same layers and faces, and meshes that keep their geometry
// through DXF and DUZ 6.
#include "DxfTestSupport.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/io/KDuzImporter.h"
#include "support/SceneDump.h"

using namespace duzsdk;
using namespace dxftest;

namespace {

KDuzSurfaceLambert* Lambert(KDuzSdkManager* manager, const char* name, double r, double g, double b) {
    KDuzSurfaceLambert* material = KDuzSurfaceLambert::Create(manager, name);
    const duzVectorTemplate3<double> colour(r, g, b);
    material->GetDiffuseColor().SetValue(&colour, eValueKindDouble3);
    return material;
}

// A mesh of the points and polygons; with materials, one per polygon
// (index into the list given, -1 for none is not possible by polygon).
KDuzMesh* MakeMesh(KDuzSdkManager* manager, const std::vector<KgeTVector>& points,
                   const std::vector<std::vector<int>>& polygons, const std::vector<KDuzSurfaceMaterial*>& materials = {},
                   const std::vector<int>& polygonMaterial = {}) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(static_cast<int>(points.size()));
    std::copy(points.begin(), points.end(), mesh->GetControlPoints());
    if (!materials.empty()) {
        mesh->InitMaterialIndices(polygonMaterial.empty() ? 5 : 3);
        for (KDuzSurfaceMaterial* material : materials) mesh->AddMaterial(material);
    }
    for (size_t p = 0; p < polygons.size(); ++p) {
        mesh->BeginPolygon(polygonMaterial.empty() ? 0 : polygonMaterial[p], -1, -1);
        for (int v : polygons[p]) mesh->AddPolygon(v);
        mesh->EndPolygon();
    }
    return mesh;
}

KDuzNode* AddDxfNode(KDuzSdkManager* manager, KDuzNode* parent, const char* name, KDuzObject* attribute) {
    KDuzNode* node = KDuzNode::Create(manager, name);
    if (attribute != nullptr) node->SetNodeAttribute(attribute);
    parent->AddChild(node);
    return node;
}

const std::vector<KgeTVector> kDxfQuad = {KgeTVector(1, 2, 3, 1), KgeTVector(4, 2, 3, 1), KgeTVector(4, 5, 3, 1),
                                       KgeTVector(1, 5, 3, 1)};

TEST_F(DxfTest, ColourNumbersOfMaterialColours) {
    struct Row {
        double r, g, b;
        int n;
    };
    const Row rows[] = {
        {1, 0, 0, 1},       {1, 1, 0, 2},           {0, 1, 1, 4},      {0.502, 0.502, 0.502, 8}, {0, 0, 0, 250},
        // Near greys by their average.
        {0.5, 0.5, 0.5, 251}, {0.2, 0.2, 0.2, 250}, {0.95, 0.9, 0.99, 255},
        // Hues, and the dimmer and paler steps; each reads back as itself.
        {1, 0.5, 0, 30},    {0, 0.75, 1, 140},      {0.5, 0, 0, 14},   {0.5, 0.25, 0.25, 15},
        // No positive channel: no hue to find, and no division by zero.
        {0, 0, -1, 250},    {-1, -1, -0.5, 250},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(KDuzWriterDxf::RgbToColorIndex(row.r, row.g, row.b), row.n) << row.r << " " << row.g << " " << row.b;
    }
    EXPECT_EQ(KDuzWriterDxf::RgbToColorIndex(std::nan(""), 0.5, 0.5), 250);
    // A material's colour is its diffuse colour times its factor.
    KDuzSurfaceLambert* material = Lambert(manager, "m", 1, 0, 0);
    const double half = 0.5;
    material->GetDiffuseFactor().SetValue(&half, eValueKindDouble);
    EXPECT_EQ(KDuzWriterDxf::MaterialColour(material), 14);
}

TEST_F(DxfTest, WriterLines) {
    KDuzNode* root = scene->GetRootNode();
    KDuzSurfaceLambert* red = Lambert(manager, "Red", 1, 0, 0);
    AddDxfNode(manager, root, "Box", MakeMesh(manager, kDxfQuad, {{0, 1, 2, 3}}, {red}));
    KDuzNode* hidden = AddDxfNode(manager, root, "Hidden", MakeMesh(manager, kDxfQuad, {{0, 1, 2}}, {red}));
    hidden->SetVisibility(false);
    AddDxfNode(manager, hidden, "Empty", nullptr);
    const std::string path = PathOf("lines.dxf");
    ASSERT_TRUE(WriteFile(scene, path, false));
    const std::string text = ReadText(path);

    EXPECT_EQ(text.rfind("999\nDizidir Dxf writer for DUZ\n  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1008\n", 0),
              0u);
    // The layer table counts every node below the root.
    EXPECT_NE(text.find("  0\nTABLE\n  2\nLAYER\n 70\n   3\n  0\nLAYER\n  2\nBox\n 70\n   0\n 62\n   1\n  6\nCONTINUOUS\n"),
              std::string::npos);
    // A hidden node's layer has its colour negated; its entities are written.
    EXPECT_NE(text.find("  0\nLAYER\n  2\nHidden\n 70\n   0\n 62\n   -1\n  6\nCONTINUOUS\n"), std::string::npos);
    EXPECT_NE(text.find("  0\nPOLYLINE\n  8\nHidden\n 62\n   1\n 66\n   1\n"), std::string::npos);
    EXPECT_NE(text.find("  0\nPOLYLINE\n  8\nBox\n 62\n   1\n 66\n   1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 70\n   64\n"
                        " 71\n   4\n 72\n   1\n"),
              std::string::npos);
    // The point (1, 2, 3) on the file's axes.
    EXPECT_NE(text.find("  0\nVERTEX\n  8\nBox\n 10\n1.0\n 20\n-3.0\n 30\n2.0\n 70\n   192\n"), std::string::npos);
    // A quad's corners in reverse order, 1-based.
    EXPECT_NE(text.find(" 70\n   128\n 71\n 4\n 72\n 3\n 73\n 2\n 74\n 1\n  0\nSEQEND\n"), std::string::npos);
    EXPECT_NE(text.find("  0\nSECTION\n  2\nBLOCKS\n  0\nENDSEC\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 19), "  0\nENDSEC\n  0\nEOF\n");

    // Read back: the hidden layer is hidden again.
    KDuzScene* read = KDuzScene::Create(manager, "");
    ASSERT_TRUE(ReadFile(path, {}, read));
    ASSERT_EQ(read->GetRootNode()->GetChildCount(), 2);
    EXPECT_TRUE(read->GetRootNode()->GetChild(0)->GetVisibility());
    EXPECT_FALSE(read->GetRootNode()->GetChild(1)->GetVisibility());

    // A scene without nodes: no tables, empty sections, still a file.
    KDuzScene* empty = KDuzScene::Create(manager, "");
    ASSERT_TRUE(WriteFile(empty, PathOf("empty.dxf")));
    const std::string emptyText = ReadText(PathOf("empty.dxf"));
    EXPECT_NE(emptyText.find("  2\nTABLES\n  0\nENDSEC\n"), std::string::npos);
    KDuzScene* emptyRead = KDuzScene::Create(manager, "");
    EXPECT_TRUE(ReadFile(PathOf("empty.dxf"), {}, emptyRead));
    EXPECT_EQ(emptyRead->GetRootNode()->GetChildCount(), 0);
    const std::string dump = RunPeer("dump '" + PathOf("empty.dxf") + "'");
    DXF_SKIP_WITHOUT_PEER();
    EXPECT_EQ(Lines(dump)[0], "audit 0");
}

TEST_F(DxfTest, WriterErrors) {
    KDuzWriterDxf writer(manager);
    EXPECT_FALSE(writer.FileCreate(folder.string().c_str()));
    EXPECT_EQ(writer.GetLastErrorID(), KDuzWriter::eFileNotOpened);
    ASSERT_TRUE(writer.FileCreate(PathOf("none.dxf").c_str()));
    EXPECT_FALSE(writer.Write(scene, nullptr));
    EXPECT_EQ(writer.GetLastErrorID(), KDuzWriter::eStreamOptionsNotSet);
    EXPECT_TRUE(writer.FileClose());
    EXPECT_TRUE(ReadText(PathOf("none.dxf")).empty());
}

TEST_F(DxfTest, PolygonsOfMoreThanFourCornersBecomeAFan) {
    const std::vector<KgeTVector> pentagon = {KgeTVector(0, 0, 0, 1), KgeTVector(2, 0, 0, 1), KgeTVector(3, 0, 2, 1),
                                              KgeTVector(1, 0, 3, 1), KgeTVector(-1, 0, 2, 1)};
    AddDxfNode(manager, scene->GetRootNode(), "Penta", MakeMesh(manager, pentagon, {{0, 1, 2, 3, 4}}));
    ASSERT_TRUE(WriteFile(scene, PathOf("penta.dxf"), false));
    EXPECT_NE(ReadText(PathOf("penta.dxf")).find(" 71\n   5\n 72\n   3\n"), std::string::npos);
    KDuzScene* read = KDuzScene::Create(manager, "");
    ASSERT_TRUE(ReadFile(PathOf("penta.dxf"), {}, read));
    KDuzMesh* mesh = MeshOf(read->GetRootNode()->GetChild(0));
    ASSERT_EQ(mesh->GetPolygonCount(), 3);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(mesh->GetPolygonVertex(p, 0), 0);
        EXPECT_EQ(mesh->GetPolygonVertex(p, 1), p + 1);
        EXPECT_EQ(mesh->GetPolygonVertex(p, 2), p + 2);
    }
}

TEST_F(DxfTest, EzdxfReadsTheWrittenLayersAndFaces) {
    // A parent with a transform and faces of two colours, a child without
    // materials, a quad and a triangle in each.
    KDuzSurfaceMaterial* red = Lambert(manager, "Red", 1, 0, 0);
    KDuzSurfaceMaterial* sky = Lambert(manager, "Sky", 0, 0.75, 1);
    const std::vector<KgeTVector> points = {KgeTVector(0, 0, 0, 1), KgeTVector(1, 0, 0, 1), KgeTVector(1, 1, 0, 1),
                                            KgeTVector(0, 1, 0, 1), KgeTVector(0.5, 2, 0.25, 1)};
    const std::vector<std::vector<int>> polygons = {{0, 1, 2, 3}, {3, 2, 4}};
    auto build = [&](KDuzScene* into) {
        KDuzNode* base = AddDxfNode(manager, into->GetRootNode(), "Base", MakeMesh(manager, points, polygons, {red, sky}, {0, 1}));
        base->SetLclTranslation(duzVectorTemplate3<double>(1, 2, 3));
        base->SetLclRotation(duzVectorTemplate3<double>(0, 30, 10));
        base->SetLclScaling(duzVectorTemplate3<double>(2, 2, 2));
        KDuzNode* arm = AddDxfNode(manager, base, "Arm", MakeMesh(manager, points, polygons));
        arm->SetLclTranslation(duzVectorTemplate3<double>(0, 0, -4));
        return base;
    };
    KDuzNode* base = build(scene);
    // The same scene triangulated in place: what the file holds with triangles.
    KDuzScene* triangles = KDuzScene::Create(manager, "triangles");
    KDuzNode* triangleBase = build(triangles);
    KDuzGeometryConverter* converter = KDuzGeometryConverter::Create(manager, "");
    converter->TriangulateInPlace(triangleBase);
    converter->TriangulateInPlace(triangleBase->GetChild(0));
    converter->Destroy();

    for (const bool triangulate : {false, true}) {
        SCOPED_TRACE(triangulate ? "triangulated" : "as they are");
        const std::string path = PathOf(triangulate ? "tri.dxf" : "quads.dxf");
        ASSERT_TRUE(WriteFile(scene, path, triangulate));
        const auto dump = Lines(RunPeer("dump '" + path + "'"));
        DXF_SKIP_WITHOUT_PEER();
        ASSERT_FALSE(dump.empty());
        EXPECT_EQ(dump[0], "audit 0");
        // The node colour is that of its last material.
        EXPECT_NE(std::find(dump.begin(), dump.end(), "layer Base 140"), dump.end());
        EXPECT_NE(std::find(dump.begin(), dump.end(), "layer Arm 0"), dump.end());
        EXPECT_EQ(PeerFaces(dump, true), SceneFaces((triangulate ? triangles : scene)->GetRootNode(), true));
        // Triangles are made for the file only: the scene keeps its polygons.
        EXPECT_EQ(MeshOf(base)->GetPolygonCount(), 2);
    }
}

TEST_F(DxfTest, MeshKeepsItsGeometryThroughDxfAndDuz6) {
    // What a DXF file holds of a mesh: world positions, polygons of up to
    // four corners and a palette colour per polygon. Not held: normals,
    // UVs, node transforms (baked into the points), material names and
    // every material value but the diffuse colour. The mesh is built with
    // only what DXF holds, so that nothing else differs.
    auto build = [&](KDuzScene* target) {
        KDuzSurfaceLambert* material = Lambert(manager, "Material0", 1, 0, 0);
        std::vector<KgeTVector> cube;
        for (int i = 0; i < 8; ++i) cube.emplace_back(i & 1 ? 1.5 : -0.5, i & 2 ? 2.25 : 0.0, i & 4 ? 1.0 : -3.0, 1.0);
        const std::vector<std::vector<int>> faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7}};
        AddDxfNode(manager, target->GetRootNode(), "Cube",
                MakeMesh(manager, cube, faces, {material}, std::vector<int>(faces.size(), 0)));
    };
    build(scene);
    ASSERT_TRUE(WriteFile(scene, PathOf("cube.dxf"), false));
    KDuzScene* fromDxf = KDuzScene::Create(manager, "");
    ASSERT_TRUE(ReadFile(PathOf("cube.dxf"), {}, fromDxf));
    KDuzScene* original = KDuzScene::Create(manager, "");
    build(original);

    auto throughDuz6 = [&](KDuzScene* source, const std::string& name) -> std::string {
        const std::string path = PathOf(name);
        KDuzExporter* exporter = KDuzExporter::Create(manager, "");
        exporter->Initialize(path.c_str());
        exporter->SetFileFormat(0);
        const bool exported = exporter->Export(source, nullptr);
        exporter->Destroy();
        EXPECT_TRUE(exported);
        KDuzScene* target = KDuzScene::Create(manager, "");
        KDuzImporter* importer = KDuzImporter::Create(manager, "");
        const bool imported = importer->Initialize(path.c_str()) && importer->Import(target, nullptr);
        importer->Destroy();
        EXPECT_TRUE(imported);
        return duztest::DumpScene(*target);
    };
    const std::string expected = throughDuz6(original, "original.duz");
    const std::string actual = throughDuz6(fromDxf, "fromdxf.duz");
    EXPECT_NE(expected.find("Cube"), std::string::npos);
    EXPECT_EQ(duztest::DiffDumps(expected, actual), "");
}

TEST_F(DxfTest, SkinsMoveTheWrittenPointsNotTheScene) {
    KDuzNode* root = scene->GetRootNode();
    KDuzMesh* mesh = MakeMesh(manager, kDxfQuad, {{0, 1, 2, 3}});
    AddDxfNode(manager, root, "Skinned", mesh);
    KDuzNode* bone = AddDxfNode(manager, root, "Bone", nullptr);
    bone->SetLclTranslation(duzVectorTemplate3<double>(0, 5, 0));
    KDuzCluster* cluster = KDuzCluster::Create(manager, "");
    cluster->SetLink(bone);
    cluster->SetLinkMode(KDuzCluster::eNormalize);
    for (int i = 0; i < 4; ++i) cluster->AddControlPointIndex(i, i == 3 ? 0.5 : 1.0);
    // A weight for a point that does not exist is left alone.
    cluster->AddControlPointIndex(99, 1.0);
    ASSERT_GE(mesh->AddClusterToSkin(cluster), 0);

    for (const bool deformation : {true, false}) {
        SCOPED_TRACE(deformation ? "deformed" : "as modelled");
        const std::string path = PathOf(deformation ? "skin.dxf" : "plain.dxf");
        ASSERT_TRUE(WriteFile(scene, path, false, deformation));
        KDuzScene* read = KDuzScene::Create(manager, "");
        ASSERT_TRUE(ReadFile(path, {}, read));
        KDuzMesh* back = MeshOf(read->GetRootNode()->GetChild(0));
        ASSERT_EQ(back->GetControlPointsCount(), 4);
        for (int i = 0; i < 4; ++i) {
            // Normalised by the weight: a single cluster moves every weighted
            // point all the way.
            EXPECT_NEAR(back->GetControlPoints()[i][1], kDxfQuad[i][1] + (deformation ? 5.0 : 0.0), 1e-9) << i;
            // The scene keeps its own points: writing again deforms no further.
            EXPECT_EQ(mesh->GetControlPoints()[i][1], kDxfQuad[i][1]);
        }
    }
}

TEST_F(DxfTest, ShapesMoveTheWrittenPointsByTheirChannelValue) {
    KDuzMesh* mesh = MakeMesh(manager, kDxfQuad, {{0, 1, 2, 3}});
    KDuzNode* node = AddDxfNode(manager, scene->GetRootNode(), "Shaped", mesh);
    KDuzShape* shape = KDuzShape::Create(manager, "");
    shape->CopyFrom(static_cast<const KDuzGeometryBase&>(*mesh));
    shape->GetControlPoints()[2] = KgeTVector(4, 9, 3, 1);
    ASSERT_EQ(mesh->AddShape(shape, "lift"), 0);
    KFCurve* channel = mesh->GetShapeChannel(node->GetDefaultTakeNode(), 0);
    ASSERT_NE(channel, nullptr);
    channel->SetDefaultValue(0.5f);

    ASSERT_TRUE(WriteFile(scene, PathOf("shape.dxf"), false));
    KDuzScene* read = KDuzScene::Create(manager, "");
    ASSERT_TRUE(ReadFile(PathOf("shape.dxf"), {}, read));
    KDuzMesh* back = MeshOf(read->GetRootNode()->GetChild(0));
    ASSERT_EQ(back->GetControlPointsCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(back->GetControlPoints()[i][1], i == 2 ? 7.0 : kDxfQuad[i][1], 1e-9) << i;
    }
    EXPECT_EQ(mesh->GetControlPoints()[2][1], 5.0);
}

}  // namespace
