// The OBJ writer: files it makes are read by tinyobjloader with the same
// geometry, groups and MTL values, and by our reader with the same geometry,
// which then survives a DUZ 6 round trip. Numbering, deformation, names,
// textures and files that cannot be made.
#include <gtest/gtest.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/animation/KFCurve.h"
#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/formats/KDuzWriterObj.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "duz/KDuzWriterDuz6SceneCompare.h"

using namespace duzsdk;

namespace {

std::string ObjNumber(double a) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", std::abs(a) < 5e-5 ? 0.0 : a);
    return text;
}

std::string ReadObjText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int CountLines(const std::string& text, const std::string& prefix) {
    int count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) ++count;
    }
    return count;
}

std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
    std::vector<std::string> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    }
    return out;
}

void SetColor(KDuzProperty property, double r, double g, double b) {
    const duzVectorTemplate3<double> color(r, g, b);
    property.SetValue(&color, eValueKindDouble3);
}
void SetDouble(KDuzProperty property, double value) { property.SetValue(&value, eValueKindDouble); }

class ObjWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("objwriter_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    // A node under the root holding a mesh of the given points and polygons.
    KDuzMesh* AddMesh(const char* name, const std::vector<KgeTVector>& points,
                      const std::vector<std::vector<int>>& polygons, KDuzNode* parent = nullptr) {
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        mesh->InitControlPoints(static_cast<int>(points.size()));
        std::copy(points.begin(), points.end(), mesh->GetControlPoints());
        for (const auto& polygon : polygons) {
            mesh->BeginPolygon();
            for (int corner : polygon) mesh->AddPolygon(corner);
            mesh->EndPolygon();
        }
        KDuzNode* node = KDuzNode::Create(manager, name);
        (parent != nullptr ? parent : scene->GetRootNode())->AddChild(node);
        node->SetNodeAttribute(mesh);
        return mesh;
    }

    static std::vector<KgeTVector> Quad(double z = 0.0) {
        return {KgeTVector(0, 0, z, 1), KgeTVector(1, 0, z, 1), KgeTVector(1, 1, z, 1), KgeTVector(0, 1, z, 1)};
    }

    // Exports the scene through the exporter (format by extension).
    bool Export(const std::filesystem::path& path, KDuzStreamOptions* options = nullptr) {
        KDuzExporter* exporter = KDuzExporter::Create(manager, "");
        exporter->Initialize(path.string().c_str());
        const bool ok = exporter->Export(scene, options);
        exportError = exporter->GetLastErrorID();
        exportMessages = exporter->GetMessageText().Buffer();
        exporter->Destroy();
        return ok;
    }

    // Reads the OBJ file with our reader into a new scene of the same manager.
    KDuzScene* ReadBack(const std::filesystem::path& path) {
        KDuzScene* read = KDuzScene::Create(manager, "read");
        KDuzReaderObj reader(manager);
        EXPECT_TRUE(reader.FileOpen(path.string().c_str()));
        auto* options = reader.GetReadOptions(false);
        options->SetBoolOption("REFERENCENODE", false);
        EXPECT_TRUE(reader.Read(read, options)) << reader.GetLastErrorString();
        readMessages = reader.GetMessageText().Buffer();
        options->Destroy();
        reader.FileClose();
        return read;
    }

    std::vector<std::string> FileNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    std::filesystem::path folder;
    int exportError = -1;
    std::string exportMessages;
    std::string readMessages;
};

// Every face of a scene as text: group (node name), material name, and per
// corner the world position, the uv and the normal when the mesh has them.
std::vector<std::string> SceneFaces(KDuzScene* scene, bool withMaterial) {
    std::vector<std::string> faces;
    std::vector<KDuzNode*> pending{scene->GetRootNode()};
    while (!pending.empty()) {
        KDuzNode* node = pending.back();
        pending.pop_back();
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        auto* mesh = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
        if (mesh == nullptr) continue;
        const KgeMatrix global = node->GetGlobalTransform();
        KDuzLayer* layer = mesh->GetLayer(0);
        const KDuzLayerElementNormal* normals = layer != nullptr ? layer->GetNormals() : nullptr;
        const KDuzLayerElementUV* uvs = layer != nullptr ? layer->GetUVsOfType(3) : nullptr;
        const KDuzLayerElementMaterial* materials = layer != nullptr ? layer->GetMaterials() : nullptr;
        int polygonVertex = 0;
        for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
            std::string face = std::string(node->GetName()) + ":";
            if (withMaterial && materials != nullptr && mesh->GetMaterialCount() > 0) {
                int index = 0;
                if (mesh->GetMaterialMappingMode() == 3) index = materials->GetIndexArray()[p];
                if (mesh->GetMaterialMappingMode() == 5) index = mesh->GetMaterialCount() - 1;
                face += mesh->GetMaterial(index)->GetName();
            }
            for (int k = 0; k < mesh->GetPolygonSize(p); ++k, ++polygonVertex) {
                const int cp = mesh->GetPolygonVertex(p, k);
                const KgeTVector v = global.TransformPoint(mesh->GetControlPoints()[cp]);
                face += "(" + ObjNumber(v[0]) + "," + ObjNumber(v[1]) + "," + ObjNumber(v[2]);
                auto entry = [&](const KDuzLayerElement& element) {
                    int at = element.GetMappingMode() == KDuzLayerElement::eByControlPoint ? cp : polygonVertex;
                    if (element.GetReferenceMode() != KDuzLayerElement::eDirect) at = element.GetIndexArray()[at];
                    return at;
                };
                if (uvs != nullptr) {
                    const KgeUVVector& uv = uvs->GetDirectArray()[entry(*uvs)];
                    face += "|" + ObjNumber(uv.mU) + "," + ObjNumber(uv.mV);
                }
                if (normals != nullptr) {
                    const KgeTVector& n = normals->GetDirectArray()[entry(*normals)];
                    face += "|" + ObjNumber(n[0]) + "," + ObjNumber(n[1]) + "," + ObjNumber(n[2]);
                }
                face += ")";
            }
            faces.push_back(face);
        }
    }
    std::sort(faces.begin(), faces.end());
    return faces;
}

// The same text from tinyobjloader's reading of a file.
std::vector<std::string> PeerFaces(const tinyobj::ObjReader& peer, bool withMaterial) {
    const auto& a = peer.GetAttrib();
    std::vector<std::string> faces;
    for (const auto& shape : peer.GetShapes()) {
        size_t at = 0;
        for (size_t f = 0; f < shape.mesh.num_face_vertices.size(); ++f) {
            std::string face = shape.name + ":";
            const int material = shape.mesh.material_ids[f];
            if (withMaterial && material >= 0) face += peer.GetMaterials()[material].name;
            for (unsigned k = 0; k < shape.mesh.num_face_vertices[f]; ++k) {
                const tinyobj::index_t i = shape.mesh.indices[at++];
                face += "(" + ObjNumber(a.vertices[3 * i.vertex_index]) + "," + ObjNumber(a.vertices[3 * i.vertex_index + 1]) + "," +
                        ObjNumber(a.vertices[3 * i.vertex_index + 2]);
                if (i.texcoord_index >= 0) {
                    face += "|" + ObjNumber(a.texcoords[2 * i.texcoord_index]) + "," + ObjNumber(a.texcoords[2 * i.texcoord_index + 1]);
                }
                if (i.normal_index >= 0) {
                    face += "|" + ObjNumber(a.normals[3 * i.normal_index]) + "," + ObjNumber(a.normals[3 * i.normal_index + 1]) + "," +
                            ObjNumber(a.normals[3 * i.normal_index + 2]);
                }
                face += ")";
            }
            faces.push_back(face);
        }
    }
    std::sort(faces.begin(), faces.end());
    return faces;
}

}  // namespace

// A scene with what OBJ can carry, in the forms a mesh may hold it:
//  - "left arm": moved and scaled node, normals and UVs by control point,
//    one Phong material for the whole mesh (a name with blanks);
//  - "plain": no normals, no UVs, no material (after a mesh with normals,
//    so its faces must not point at the first mesh's "vn" lines);
//  - "multi": normals and UVs by polygon vertex (UVs through indices) and a
//    Lambert and the Phong material chosen per polygon.
class ObjWriterPeerTest : public ObjWriterTest {
protected:
    void BuildScene() {
        red = KDuzSurfacePhong::Create(manager, "red paint");
        SetColor(red->GetAmbientColor(), 0.1, 0.0, 0.0);
        SetDouble(red->GetAmbientFactor(), 1.0);
        SetColor(red->GetDiffuseColor(), 0.8, 0.1, 0.2);
        SetDouble(red->GetDiffuseFactor(), 0.5);
        SetColor(red->GetSpecularColor(), 1.0, 1.0, 1.0);
        SetDouble(red->GetSpecularFactor(), 0.25);
        SetDouble(red->GetShininessExponent(), 20.0);
        SetColor(red->GetTransparentColor(), 1.0, 1.0, 1.0);
        SetDouble(red->GetTransparencyFactor(), 0.25);
        blue = KDuzSurfaceLambert::Create(manager, "blue");
        SetColor(blue->GetAmbientColor(), 0.0, 0.0, 0.2);
        SetDouble(blue->GetAmbientFactor(), 1.0);
        SetColor(blue->GetDiffuseColor(), 0.0, 0.0, 0.9);
        SetDouble(blue->GetDiffuseFactor(), 1.0);
        SetColor(blue->GetTransparentColor(), 1.0, 1.0, 1.0);
        SetDouble(blue->GetTransparencyFactor(), 0.0);

        std::vector<KgeTVector> arm = Quad();
        arm.emplace_back(2, 0.5, 0, 1);
        KDuzMesh* a = AddMesh("left arm", arm, {{0, 1, 2, 3}, {1, 4, 2}});
        a->GetNode()->SetLclTranslation(duzVectorTemplate3<double>(1, 2, 3));
        a->GetNode()->SetLclScaling(duzVectorTemplate3<double>(2, 2, 2));
        a->InitNormals();
        for (int i = 0; i < 5; ++i) a->GetNormals()[i] = KgeTVector(0, i == 4 ? 0.6 : 0, i == 4 ? 0.8 : 1, 0);
        a->InitTextureUVIndices(KDuzLayerElement::eByControlPoint);
        for (int i = 0; i < 5; ++i) a->AddTextureUV(KgeUVVector(0.1 * i, 1.0 - 0.2 * i));
        a->InitMaterialIndices(5);
        a->AddMaterial(red);

        AddMesh("plain", {KgeTVector(5, 0, 0, 1), KgeTVector(6, 0, 0, 1), KgeTVector(5, 1, 0, 1)}, {{0, 1, 2}});

        std::vector<KgeTVector> strip = Quad(-1);
        strip.emplace_back(2, 0, -1, 1);
        strip.emplace_back(2, 1, -1, 1);
        KDuzMesh* m = AddMesh("multi", strip, {{0, 1, 2, 3}, {1, 4, 5, 2}});
        KDuzLayer* layer = m->GetLayer(0);
        auto* normals = KDuzCreateLayerElementNormal(manager, "");
        normals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
        for (int i = 0; i < 8; ++i) normals->GetDirectArray().Add(KgeTVector(i < 4 ? 0 : 1, 0, i < 4 ? 1 : 0, 0));
        layer->SetNormals(normals);
        auto* uvs = KDuzCreateLayerElementUV(manager, "");
        uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
        uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
        for (int i = 0; i < 3; ++i) uvs->GetDirectArray().Add(KgeUVVector(0.25 * i, 0.5));
        for (int i = 0; i < 8; ++i) uvs->GetIndexArray().Add(i % 3);
        layer->SetUVsOfType(uvs, 3);
        m->InitMaterialIndices(3);
        m->AddMaterial(blue);
        m->AddMaterial(red);
        layer->GetMaterials()->GetIndexArray().Add(0);
        layer->GetMaterials()->GetIndexArray().Add(1);
    }

    KDuzSurfacePhong* red = nullptr;
    KDuzSurfaceLambert* blue = nullptr;
};

// The names the OBJ file gives a face's node and material: blanks become
// underscores (the scene keeps its own names).
static void ObjWriterNamesAsWritten(std::vector<std::string>& faces) {
    for (std::string& face : faces) {
        const size_t end = face.find('(');
        for (size_t i = 0; i < end && i < face.size(); ++i)
            if (face[i] == ' ') face[i] = '_';
    }
}

TEST_F(ObjWriterPeerTest, PeerReadsTheSameFacesGroupsAndMaterials) {
    BuildScene();
    const std::vector<std::string> before = SceneFaces(scene, true);
    const auto path = folder / "my scene.obj";
    ASSERT_TRUE(Export(path)) << exportError;
    // Blanks in the MTL name would split the "mtllib" statement.
    EXPECT_EQ(FileNames(), (std::vector<std::string>{"my scene.obj", "my_scene.mtl"}));
    const std::string text = ReadObjText(path);
    EXPECT_NE(text.find("mtllib my_scene.mtl\n"), std::string::npos);

    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    tinyobj::ObjReader peer;
    ASSERT_TRUE(peer.ParseFromFile(path.string(), config)) << peer.Error();
    EXPECT_TRUE(peer.Warning().empty()) << peer.Warning();

    std::vector<std::string> names;
    for (const auto& shape : peer.GetShapes()) names.push_back(shape.name);
    EXPECT_EQ(names, (std::vector<std::string>{"left_arm", "plain", "multi"}));

    // The file names the objects for OBJ ("left arm" is written
    // "left_arm"), the scene keeps its names; the mesh without material
    // uses "default".
    std::vector<std::string> peerFaces = PeerFaces(peer, true);
    std::vector<std::string> ours = SceneFaces(scene, true);
    EXPECT_EQ(ours, before);
    ObjWriterNamesAsWritten(ours);
    for (std::string& face : ours) {
        if (face.rfind("plain:", 0) == 0) face.replace(0, 6, "plain:default");
    }
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(peerFaces, ours);
    EXPECT_EQ(before.size(), ours.size());

    struct MaterialRow {
        const char* name;
        float ka[3], kd[3], ks[3];
        float shininess, dissolve;
        int illum;
    };
    const MaterialRow rows[] = {
        {"red_paint", {0.1f, 0, 0}, {0.4f, 0.05f, 0.1f}, {0.25f, 0.25f, 0.25f}, 20.0f, 0.75f, 2},
        {"blue", {0, 0, 0.2f}, {0, 0, 0.9f}, {0, 0, 0}, 1.0f, 1.0f, 1},
    };
    for (const MaterialRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto& materials = peer.GetMaterials();
        const auto found = std::find_if(materials.begin(), materials.end(),
                                        [&](const tinyobj::material_t& m) { return m.name == row.name; });
        ASSERT_NE(found, materials.end());
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(found->ambient[k], row.ka[k], 1e-6);
            EXPECT_NEAR(found->diffuse[k], row.kd[k], 1e-6);
            if (row.illum == 2) {
                EXPECT_NEAR(found->specular[k], row.ks[k], 1e-6);
            }
        }
        if (row.illum == 2) {
            EXPECT_NEAR(found->shininess, row.shininess, 1e-6);
        }
        // The opacity: one minus the transparency (0.25 for red, 0 for blue).
        EXPECT_NEAR(found->dissolve, row.dissolve, 1e-6);
        EXPECT_EQ(found->illum, row.illum);
    }
}

TEST_F(ObjWriterPeerTest, OurReaderKeepsTheGeometryAndDuz6KeepsWhatWasRead) {
    BuildScene();
    const auto path = folder / "scene.obj";
    ASSERT_TRUE(Export(path)) << exportError;
    KDuzScene* read = ReadBack(path);
    EXPECT_EQ(readMessages, "");

    // The file names the objects for OBJ ("left arm" is written
    // "left_arm"). What OBJ does not hold: node transforms (baked into world
    // positions), the sharing of control points (one per position, uv and
    // normal), materials mapped all-same ("usemtl" makes them by polygon),
    // and a mesh without normals: it gets them made.
    std::vector<std::string> expected = SceneFaces(scene, true);
    std::vector<std::string> actual = SceneFaces(read, true);
    ObjWriterNamesAsWritten(expected);
    for (std::string& face : expected) {
        if (face.rfind("plain:", 0) == 0) {
            face.replace(0, 6, "plain:default");
            // The generated face normal of the plain triangle is +z.
            for (size_t at = face.find(')'); at != std::string::npos; at = face.find(')', at + 1)) {
                face.insert(at, "|0.0000,0.0000,1.0000");
                at += 21;
            }
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(actual, expected);

    // The material values come back through the MTL file, the colours with
    // their factors folded in.
    KDuzNode* multi = nullptr;
    for (int i = 0; i < read->GetRootNode()->GetChildCount(); ++i) {
        if (std::string(read->GetRootNode()->GetChild(i)->GetName()) == "multi") multi = read->GetRootNode()->GetChild(i);
    }
    ASSERT_NE(multi, nullptr);
    auto* multiMesh = dynamic_cast<KDuzMesh*>(multi->GetNodeAttribute());
    ASSERT_EQ(multiMesh->GetMaterialCount(), 2);
    auto* readRed = dynamic_cast<KDuzSurfacePhong*>(multiMesh->GetMaterial(multiMesh->GetMaterialIndex("red_paint")));
    auto* readBlue = dynamic_cast<KDuzSurfaceLambert*>(multiMesh->GetMaterial(multiMesh->GetMaterialIndex("blue")));
    ASSERT_NE(readRed, nullptr);
    ASSERT_NE(readBlue, nullptr);
    EXPECT_EQ(dynamic_cast<KDuzSurfacePhong*>(readBlue), nullptr);
    auto value = [](const KDuzProperty& property) {
        double v[3] = {-1, -1, -1};
        property.GetValue(v, property.GetValueKind());
        return std::vector<double>(v, v + 3);
    };
    const auto near = [](const std::vector<double>& a, std::vector<double> b) {
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], 1e-6) << k;
    };
    near(value(readRed->GetDiffuseColor()), {0.4, 0.05, 0.1});
    near(value(readRed->GetSpecularColor()), {0.25, 0.25, 0.25});
    EXPECT_NEAR(value(readRed->GetShininessExponent())[0], 20.0, 1e-6);
    EXPECT_NEAR(value(readRed->GetTransparencyFactor())[0], 0.25, 1e-6);
    near(value(readBlue->GetAmbientColor()), {0.0, 0.0, 0.2});
    EXPECT_NEAR(value(readBlue->GetTransparencyFactor())[0], 0.0, 1e-6);

    // The scene read from OBJ is kept whole by a DUZ 6 round trip.
    const auto duzPath = folder / "scene.duz";
    KDuzExporter* exporter = KDuzExporter::Create(manager, "");
    exporter->Initialize(duzPath.string().c_str());
    ASSERT_TRUE(exporter->Export(read));
    exporter->Destroy();
    KDuzScene* again = KDuzScene::Create(manager, "again");
    KDuzImporter* importer = KDuzImporter::Create(manager, "");
    ASSERT_TRUE(importer->Initialize(duzPath.string().c_str()));
    ASSERT_TRUE(importer->Import(again));
    importer->Destroy();
    duztest::SceneCompare compare(0.0);
    const std::vector<std::string> differences = compare.Compare(*read, *again);
    std::string joined;
    for (const std::string& line : differences) joined += line + "\n";
    EXPECT_TRUE(differences.empty()) << joined;
    EXPECT_EQ(SceneFaces(again, true), SceneFaces(read, true));
}

TEST_F(ObjWriterTest, CubeWithPointNormalsGivesMatchingVertexAndNormalNumbers) {
    std::vector<KgeTVector> points;
    for (int i = 0; i < 8; ++i) points.emplace_back(i & 1, (i >> 1) & 1, (i >> 2) & 1, 1);
    KDuzMesh* cube = AddMesh("cube", points,
                             {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}});
    cube->InitNormals();
    for (int i = 0; i < 8; ++i) cube->GetNormals()[i] = KgeTVector(points[i][0] - 0.5, points[i][1] - 0.5, points[i][2] - 0.5, 0);
    // A second mesh: its numbers start after the first one's.
    AddMesh("second", Quad(3), {{0, 1, 2, 3}})->InitNormals();
    const auto path = folder / "cube.obj";
    ASSERT_TRUE(Export(path));
    const std::string text = ReadObjText(path);
    EXPECT_EQ(CountLines(text, "v "), 12);
    EXPECT_EQ(CountLines(text, "vn "), 12);
    EXPECT_EQ(CountLines(text, "vt "), 0);
    EXPECT_EQ(text.find("mtllib"), std::string::npos);
    const auto faces = Lines(text, "f ");
    ASSERT_EQ(faces.size(), 7u);
    EXPECT_EQ(faces[0], "f 1//1 3//3 4//4 2//2");
    EXPECT_EQ(faces[6], "f 9//9 10//10 11//11 12//12");
    EXPECT_EQ(Lines(text, "vn ")[0], "vn -0.577350 -0.577350 -0.577350");
    EXPECT_EQ(text.rfind("# \n# Wavefront OBJ file\n# Created with Dizidir DUZ\n# \ng cube\nv 0.000000 0.000000 0.000000\n", 0), 0u);
}

// Output goes out in blocks that grow while a file fills them: a file of a
// few megabytes crosses every block size, and no byte may go missing or
// come twice at a block's end.
TEST_F(ObjWriterTest, LargeFileIsWrittenWholeAcrossGrowingBlocks) {
    constexpr int kSide = 300;
    std::vector<KgeTVector> points;
    std::vector<std::vector<int>> polygons;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) points.emplace_back(x * 0.37, y * 1.13 - 5.0, (x * y) % 17 * 1e3, 1);
    for (int y = 0; y + 1 < kSide; ++y)
        for (int x = 0; x + 1 < kSide; ++x)
            polygons.push_back({y * kSide + x, y * kSide + x + 1, (y + 1) * kSide + x + 1, (y + 1) * kSide + x});
    AddMesh("grid", points, polygons);
    const auto path = folder / "grid.obj";
    ASSERT_TRUE(Export(path));
    const std::string text = ReadObjText(path);
    ASSERT_GT(text.size(), 4u << 20);
    const auto vertices = Lines(text, "v ");
    ASSERT_EQ(vertices.size(), points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        char expected[128];
        std::snprintf(expected, sizeof expected, "v %f %f %f", points[i][0], points[i][1], points[i][2]);
        ASSERT_EQ(vertices[i], expected) << "vertex " << i;
    }
    const auto faces = Lines(text, "f ");
    ASSERT_EQ(faces.size(), polygons.size());
    EXPECT_EQ(faces.back(), "f " + std::to_string(kSide * kSide - kSide - 1) + " " +
                                std::to_string(kSide * kSide - kSide) + " " + std::to_string(kSide * kSide) + " " +
                                std::to_string(kSide * kSide - 1));
}

TEST_F(ObjWriterTest, NumbersArePrintedAsFixedSixDecimalsWithoutLocale) {
    // Values printf "%f" rounds in its own way: ties, negative zero, huge.
    const double values[] = {0.0,  -0.0,   0.1234565, -2.5e-7, 1e-7, 123456789.1234567, -1e20, 0.5e-6,
                             1.0 / 3.0, DBL_MAX / 4};
    std::vector<KgeTVector> points;
    for (double v : values) points.emplace_back(v, -v, v * 3, 1);
    AddMesh("numbers", points, {{0, 1, 2}});
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    // A decimal comma must not reach the file, whichever locale is set.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const auto path = folder / "numbers.obj";
    const bool exported = Export(path);
    std::setlocale(LC_NUMERIC, saved.c_str());
    ASSERT_TRUE(exported);
    const auto lines = Lines(ReadObjText(path), "v ");
    ASSERT_EQ(lines.size(), std::size(values));
    for (size_t i = 0; i < lines.size(); ++i) {
        char expected[1024];
        // Zero is written without sign: the world transform adds +0.
        std::snprintf(expected, sizeof expected, "v %f %f %f", values[i] + 0.0, -values[i] + 0.0, values[i] * 3 + 0.0);
        EXPECT_EQ(lines[i], expected);
    }
}

TEST_F(ObjWriterTest, NamesBecomeSingleWords) {
    // Blanks, tabs and line ends in names would split or inject statements.
    KDuzSurfacePhong* material = KDuzSurfacePhong::Create(manager, "two  blanks\nf 1 2 3");
    KDuzMesh* mesh = AddMesh("left arm\tupper\nv 9 9 9", Quad(), {{0, 1, 2, 3}});
    mesh->InitMaterialIndices(5);
    mesh->AddMaterial(material);
    const auto path = folder / "names.obj";
    ASSERT_TRUE(Export(path));
    const std::string text = ReadObjText(path);
    EXPECT_EQ(CountLines(text, "v "), 4);
    EXPECT_EQ(CountLines(text, "f "), 1);
    EXPECT_EQ(Lines(text, "g "), (std::vector<std::string>{"g left_arm_upper_v_9_9_9"}));
    EXPECT_EQ(Lines(text, "usemtl "), (std::vector<std::string>{"usemtl two__blanks_f_1_2_3"}));
    EXPECT_EQ(Lines(ReadObjText(folder / "names.mtl"), "newmtl "),
              (std::vector<std::string>{"newmtl two__blanks_f_1_2_3"}));
    KDuzScene* read = ReadBack(path);
    EXPECT_EQ(readMessages, "");
    ASSERT_EQ(read->GetRootNode()->GetChildCount(), 1);
    auto* readMesh = dynamic_cast<KDuzMesh*>(read->GetRootNode()->GetChild(0)->GetNodeAttribute());
    ASSERT_NE(readMesh, nullptr);
    ASSERT_EQ(readMesh->GetMaterialCount(), 1);
    EXPECT_STREQ(readMesh->GetMaterial(0)->GetName(), "two__blanks_f_1_2_3");
}

TEST_F(ObjWriterTest, EmptyMeshesAndBrokenPolygonsWriteNoFaces) {
    // An empty mesh keeps its "g" line only; OBJ has no way to hold it, so
    // reading the file back gives no node for it.
    AddMesh("empty", {}, {});
    KDuzMesh* broken = AddMesh("broken", Quad(), {{0, 1, 2, 3}, {0, 1, 2}});
    // The second polygon names a control point the mesh does not have.
    broken->GetPolygonVertexArray()[5] = 99;
    const auto path = folder / "empty.obj";
    ASSERT_TRUE(Export(path));
    const std::string text = ReadObjText(path);
    EXPECT_EQ(Lines(text, "g "), (std::vector<std::string>{"g empty", "g broken"}));
    EXPECT_EQ(Lines(text, "f "), (std::vector<std::string>{"f 1 2 3 4"}));
    KDuzScene* read = ReadBack(path);
    ASSERT_EQ(read->GetRootNode()->GetChildCount(), 1);
    EXPECT_STREQ(read->GetRootNode()->GetChild(0)->GetName(), "broken");
}

TEST_F(ObjWriterTest, BrokenNormalAndUvIndicesDropOnlyThoseElements) {
    KDuzMesh* mesh = AddMesh("mesh", Quad(), {{0, 1, 2, 3}});
    KDuzLayer* layer = mesh->GetLayer(0);
    auto* normals = KDuzCreateLayerElementNormal(manager, "");
    normals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    normals->GetDirectArray().Add(KgeTVector(0, 0, 1, 0));   // 1 of 4 needed
    layer->SetNormals(normals);
    auto* uvs = KDuzCreateLayerElementUV(manager, "");
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    uvs->GetDirectArray().Add(KgeUVVector(0, 0));
    for (int i : {0, 0, 7, 0}) uvs->GetIndexArray().Add(i);   // index 7 is out of range
    layer->SetUVsOfType(uvs, 3);
    const auto path = folder / "broken.obj";
    ASSERT_TRUE(Export(path));
    const std::string text = ReadObjText(path);
    EXPECT_EQ(CountLines(text, "vn "), 0);
    EXPECT_EQ(CountLines(text, "vt "), 0);
    EXPECT_EQ(Lines(text, "f "), (std::vector<std::string>{"f 1 2 3 4"}));
}

TEST_F(ObjWriterTest, SecondWriteWithTheSameWriterNumbersFromOne) {
    AddMesh("a", Quad(), {{0, 1, 2, 3}});
    AddMesh("b", Quad(1), {{3, 2, 1, 0}});
    KDuzWriterObj writer(manager);
    KDuzStreamOptions* options = writer.GetWriteOptions();
    std::string texts[2];
    for (int i = 0; i < 2; ++i) {
        const auto path = folder / ("again" + std::to_string(i) + ".obj");
        ASSERT_TRUE(writer.FileCreate(path.string().c_str()));
        ASSERT_TRUE(writer.Write(scene, options));
        ASSERT_TRUE(writer.FileClose());
        texts[i] = ReadObjText(path);
    }
    options->Destroy();
    EXPECT_EQ(texts[0], texts[1]);
    EXPECT_EQ(Lines(texts[1], "f "), (std::vector<std::string>{"f 1 2 3 4", "f 8 7 6 5"}));
}

TEST_F(ObjWriterTest, OptionsOfAnotherFormatAreRefused) {
    AddMesh("a", Quad(), {{0, 1, 2, 3}});
    KDuzWriterObj writer(manager);
    KDuzStreamOptions* wrong = KDuzStreamOptionsObjReader::Create(manager, "");
    ASSERT_TRUE(writer.FileCreate((folder / "x.obj").string().c_str()));
    EXPECT_FALSE(writer.Write(scene, wrong));
    EXPECT_EQ(writer.GetLastErrorID(), KDuzWriter::eStreamOptionsNotSet);
    EXPECT_FALSE(writer.Write(scene, nullptr));
    writer.FileClose();
    wrong->Destroy();
}

TEST_F(ObjWriterTest, TriangulateOptionSplitsPolygons) {
    AddMesh("pentagon", {KgeTVector(0, 0, 0, 1), KgeTVector(1, 0, 0, 1), KgeTVector(1.5, 1, 0, 1),
                         KgeTVector(0.5, 2, 0, 1), KgeTVector(-0.5, 1, 0, 1)},
            {{0, 1, 2, 3, 4}});
    KDuzStreamOptions* options = KDuzStreamOptionsObjWriter::Create(manager, "");
    options->SetBoolOption("TRIANGULATE", true);
    const auto path = folder / "tri.obj";
    ASSERT_TRUE(Export(path, options));
    options->Destroy();
    const auto faces = Lines(ReadObjText(path), "f ");
    ASSERT_EQ(faces.size(), 3u);
    for (const std::string& face : faces) EXPECT_EQ(std::count(face.begin(), face.end(), ' '), 3) << face;
}

// Blend shapes and skins are baked into the written points; the scene keeps
// its own mesh, so a second export writes the same file.
TEST_F(ObjWriterTest, DeformationIsWrittenWithoutChangingTheScene) {
    KDuzMesh* mesh = AddMesh("body", Quad(), {{0, 1, 2, 3}});
    mesh->InitNormals();
    for (int i = 0; i < 4; ++i) mesh->GetNormals()[i] = KgeTVector(0, 0, 1, 0);
    KDuzShape* shape = KDuzShape::Create(manager, "");
    shape->CopyFrom(static_cast<const KDuzGeometryBase&>(*mesh));
    shape->GetControlPoints()[1] = KgeTVector(1, 0, 2, 1);
    ASSERT_EQ(mesh->AddShape(shape, "lift"), 0);
    KDuzShape* mismatched = KDuzShape::Create(manager, "");
    mismatched->InitControlPoints(2);   // cannot be matched point by point: skipped
    ASSERT_EQ(mesh->AddShape(mismatched, "other"), 1);
    mesh->GetShapeChannel(mesh->GetNode()->GetDefaultTakeNode(), 0)->SetDefaultValue(0.5f);
    mesh->GetShapeChannel(mesh->GetNode()->GetDefaultTakeNode(), 1)->SetDefaultValue(1.0f);

    KDuzNode* bone = KDuzNode::Create(manager, "bone");
    scene->GetRootNode()->AddChild(bone);
    bone->SetLclTranslation(duzVectorTemplate3<double>(0, 10, 0));
    KDuzCluster* cluster = KDuzCluster::Create(manager, "");
    cluster->SetLink(bone);
    cluster->SetLinkMode(0);
    cluster->AddControlPointIndex(2, 1.0);
    cluster->AddControlPointIndex(3, 1.0);
    cluster->AddControlPointIndex(1000, 1.0);   // beyond the mesh: skipped
    ASSERT_GE(mesh->AddClusterToSkin(cluster), 0);

    std::string texts[2];
    for (int i = 0; i < 2; ++i) {
        const auto path = folder / ("deformed" + std::to_string(i) + ".obj");
        ASSERT_TRUE(Export(path));
        texts[i] = ReadObjText(path);
    }
    EXPECT_EQ(texts[0], texts[1]);
    EXPECT_EQ(Lines(texts[0], "v "),
              (std::vector<std::string>{"v 0.000000 0.000000 0.000000", "v 1.000000 0.000000 1.000000",
                                        "v 1.000000 11.000000 0.000000", "v 0.000000 11.000000 0.000000"}));
    // Point 1 moved by the shape only, its normal stays the plane's normal.
    EXPECT_EQ(Lines(texts[0], "vn ")[1], "vn 0.000000 0.000000 1.000000");
    EXPECT_EQ(mesh->GetControlPoints()[1][2], 0.0);
    EXPECT_EQ(mesh->GetControlPoints()[2][1], 1.0);

    KDuzStreamOptions* options = KDuzStreamOptionsObjWriter::Create(manager, "");
    options->SetBoolOption("DEFORMATION", false);
    ASSERT_TRUE(Export(folder / "rest.obj", options));
    options->Destroy();
    EXPECT_EQ(Lines(ReadObjText(folder / "rest.obj"), "v ")[2], "v 1.000000 1.000000 0.000000");
}

TEST_F(ObjWriterTest, TexturesGiveEntriesUvSwapsAndCopies) {
    const auto images = folder / "images";
    std::filesystem::create_directories(images);
    std::ofstream(images / "wood.png", std::ios::binary) << "wood";
    std::ofstream(images / "stone.png", std::ios::binary) << "stone";
    const auto out = folder / "out";
    std::filesystem::create_directories(out);
    std::ofstream(out / "stone.png", std::ios::binary) << "kept";

    KDuzSurfacePhong* material = KDuzSurfacePhong::Create(manager, "shared");
    KDuzTexture* wood = KDuzTexture::Create(manager, "wood");
    wood->SetFileName((images / "wood.png").string().c_str());
    wood->SetSwapUV(true);
    KDuzTexture* stone = KDuzTexture::Create(manager, "stone");
    stone->SetFileName((images / "stone.png").string().c_str());
    KDuzTexture* missing = KDuzTexture::Create(manager, "missing");
    missing->SetFileName((images / "missing.png").string().c_str());

    const KDuzTexture* textures[3] = {wood, stone, missing};
    for (int i = 0; i < 3; ++i) {
        KDuzMesh* mesh = AddMesh(("m" + std::to_string(i)).c_str(), Quad(i), {{0, 1, 2, 3}});
        mesh->InitTextureUVIndices(KDuzLayerElement::eByControlPoint);
        for (int k = 0; k < 4; ++k) mesh->AddTextureUV(KgeUVVector(0.1, 0.9));
        mesh->InitMaterialIndices(5);
        mesh->AddMaterial(material);
        mesh->InitTextureIndices(5);
        mesh->AddTexture(const_cast<KDuzTexture*>(textures[i]));
    }
    const auto path = out / "textured.obj";
    ASSERT_TRUE(Export(path));
    const std::string text = ReadObjText(path);
    // The same material with other textures gets numbered entries.
    EXPECT_EQ(Lines(text, "usemtl "), (std::vector<std::string>{"usemtl shared", "usemtl shared1", "usemtl shared2"}));
    const auto vt = Lines(text, "vt ");
    ASSERT_EQ(vt.size(), 12u);
    EXPECT_EQ(vt[0], "vt 0.900000 0.100000");   // swapped for wood
    EXPECT_EQ(vt[4], "vt 0.100000 0.900000");
    EXPECT_EQ(Lines(text, "f ")[2], "f 9/9 10/10 11/11 12/12");
    EXPECT_EQ(Lines(ReadObjText(out / "textured.mtl"), "map_Kd "),
              (std::vector<std::string>{"map_Kd wood.png", "map_Kd stone.png", "map_Kd missing.png"}));
    EXPECT_EQ(ReadObjText(out / "wood.png"), "wood");
    EXPECT_EQ(ReadObjText(out / "stone.png"), "kept");   // an existing file is not overwritten
    EXPECT_NE(exportMessages.find("Unable to locate texture file \"" + (images / "missing.png").string() + "\".\n"),
              std::string::npos);

    // The peer finds the texture names in the MTL entries.
    tinyobj::ObjReader peer;
    ASSERT_TRUE(peer.ParseFromFile(path.string())) << peer.Error();
    ASSERT_EQ(peer.GetMaterials().size(), 3u);
    EXPECT_EQ(peer.GetMaterials()[0].diffuse_texname, "wood.png");
}

TEST_F(ObjWriterTest, ReadersPlaceholderTextureGetsNoMap) {
    // Faces of a material without a texture, beside faces with one, read
    // back with a texture of no file: it must not come out as "map_Kd".
    std::ofstream(folder / "in.mtl") << "newmtl plain\nKd 1 0 0\nnewmtl wood\nmap_Kd wood.png\n";
    std::ofstream(folder / "in.obj") << "mtllib in.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\n"
                                        "usemtl plain\nf 1/1 2/2 3/3\nusemtl wood\nf 1/1 3/3 2/2\n";
    scene = ReadBack(folder / "in.obj");
    ASSERT_TRUE(Export(folder / "out.obj"));
    EXPECT_EQ(Lines(ReadObjText(folder / "out.mtl"), "map_Kd"), (std::vector<std::string>{"map_Kd wood.png"}));
    EXPECT_EQ(exportMessages.find("Unable to locate texture file \"\""), std::string::npos) << exportMessages;
}

TEST_F(ObjWriterTest, PathWithoutObjExtensionMakesNoMaterialFile) {
    KDuzMesh* mesh = AddMesh("a", Quad(), {{0, 1, 2, 3}});
    mesh->InitMaterialIndices(5);
    mesh->AddMaterial(KDuzSurfacePhong::Create(manager, "m"));
    KDuzWriterObj writer(manager);
    KDuzStreamOptions* options = writer.GetWriteOptions();
    const auto path = folder / "Scene.TXT";
    ASSERT_TRUE(writer.FileCreate(path.string().c_str()));
    ASSERT_TRUE(writer.Write(scene, options));
    ASSERT_TRUE(writer.FileClose());
    options->Destroy();
    const std::string text = ReadObjText(path);
    std::string lowered = path.string();
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_NE(text.find("mtllib " + lowered + "\n"), std::string::npos);
    EXPECT_EQ(Lines(text, "usemtl "), (std::vector<std::string>{"usemtl m"}));
    EXPECT_EQ(FileNames(), (std::vector<std::string>{"Scene.TXT"}));
    EXPECT_EQ(KDuzWriterObj::MaterialPathFor("/Out/My Scene.OBJ"), "/Out/My_Scene.mtl");
    EXPECT_EQ(KDuzWriterObj::MaterialPathFor("/out.obj/scene"), "");
}

// Files that cannot be made: an error, no success and nothing left behind.
TEST_F(ObjWriterTest, FailuresLeaveNoFiles) {
    KDuzMesh* mesh = AddMesh("a", Quad(), {{0, 1, 2, 3}});
    mesh->InitMaterialIndices(5);
    mesh->AddMaterial(KDuzSurfacePhong::Create(manager, "m"));

    // A folder in place of the target's folder.
    std::ofstream(folder / "plainfile") << "x";
    EXPECT_FALSE(Export(folder / "plainfile" / "scene.obj"));
    EXPECT_EQ(exportError, KDuzIO::eFileNotCreated);

    // The MTL name is taken by a folder: the export fails and neither the
    // OBJ file nor a temporary file stays.
    std::filesystem::create_directories(folder / "blocked.mtl" / "inside");
    EXPECT_FALSE(Export(folder / "blocked.obj"));
    EXPECT_EQ(exportError, KDuzIO::eFileNotCreated);
    EXPECT_EQ(FileNames(), (std::vector<std::string>{"blocked.mtl", "plainfile"}));

    // A device that takes no bytes: the write errors reach the caller.
    if (std::filesystem::exists("/dev/full")) {
        KDuzWriterObj writer(manager);
        KDuzStreamOptions* options = writer.GetWriteOptions();
        ASSERT_TRUE(writer.FileCreate("/dev/full"));
        const bool written = writer.Write(scene, options);
        const bool closed = writer.FileClose();
        EXPECT_FALSE(written && closed);
        EXPECT_EQ(writer.GetLastErrorID(), KDuzWriter::eOutOfDiskSpace);
        options->Destroy();
    }
}

TEST_F(ObjWriterTest, SurfacesAreWrittenAsTriangles) {
    const auto source = folder / "surface.obj";
    std::ofstream(source) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n"
                             "g patch\ncstype rat bspline\ndeg 1 1\n"
                             "surf 0 1 0 1 1 2 3 4\nparm u 0 0 1 1\nparm v 0 0 1 1\nend\n";
    scene = ReadBack(source);
    const auto path = folder / "out.obj";
    ASSERT_TRUE(Export(path));
    const std::string text = ReadObjText(path);
    EXPECT_EQ(Lines(text, "g "), (std::vector<std::string>{"g patch"}));
    const auto faces = Lines(text, "f ");
    ASSERT_FALSE(faces.empty());
    for (const std::string& face : faces) EXPECT_EQ(std::count(face.begin(), face.end(), ' '), 3) << face;
    // The flat patch stays in the plane z = 0, inside the unit square.
    for (const std::string& line : Lines(text, "v ")) {
        double x = -1, y = -1, z = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "v %lf %lf %lf", &x, &y, &z), 3) << line;
        EXPECT_GE(x, -1e-6);
        EXPECT_LE(x, 1 + 1e-6);
        EXPECT_GE(y, -1e-6);
        EXPECT_LE(y, 1 + 1e-6);
        EXPECT_NEAR(z, 0.0, 1e-6);
    }
}

TEST_F(ObjWriterTest, SkinLinkModesWeighThePointsTheirOwnWay) {
    // One point at y 1 bound with weight 0.5 to a bone moved by 10 in y.
    struct Case {
        int mode;
        const char* moved;
    };
    const Case cases[] = {
        {KDuzCluster::eNormalize, "v 0.000000 11.000000 0.000000"},   // divided by the weight sum
        {KDuzCluster::eAdditive, "v 0.000000 6.000000 0.000000"},     // half the move added
        {KDuzCluster::eTotalOne, "v 0.000000 6.000000 0.000000"},     // the rest stays in place
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        manager->Destroy();
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        KDuzMesh* mesh = AddMesh("skinned", {KgeTVector(0, 0, 0, 1), KgeTVector(1, 0, 0, 1), KgeTVector(0, 1, 0, 1)},
                                 {{0, 1, 2}});
        KDuzNode* bone = KDuzNode::Create(manager, "bone");
        scene->GetRootNode()->AddChild(bone);
        bone->SetLclTranslation(duzVectorTemplate3<double>(0, 10, 0));
        KDuzCluster* cluster = KDuzCluster::Create(manager, "");
        cluster->SetLink(bone);
        cluster->SetLinkMode(c.mode);
        cluster->AddControlPointIndex(2, 0.5);
        ASSERT_GE(mesh->AddClusterToSkin(cluster), 0);
        const auto path = folder / "skinned.obj";
        ASSERT_TRUE(Export(path));
        const auto v = Lines(ReadObjText(path), "v ");
        ASSERT_EQ(v.size(), 3u);
        EXPECT_EQ(v[0], "v 0.000000 0.000000 0.000000");   // unweighted points stay
        EXPECT_EQ(v[2], c.moved);
    }
}
