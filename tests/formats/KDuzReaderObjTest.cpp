// The OBJ reader: small OBJ texts read by ours and by tinyobjloader must give
// the same faces; groups, generated normals, materials and hostile input.
#include <gtest/gtest.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;

namespace {

std::string Fmt(double a) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", std::abs(a) < 5e-5 ? 0.0 : a);
    return text;
}

class ObjReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("objreader_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Reads the text as `name` (reference node off unless asked); the result of Read.
    bool Read(const std::string& text, const std::string& name = "test.obj", bool referenceNode = false) {
        KDuzReaderObj reader(manager);
        if (!reader.FileOpen(Write(name, text).c_str())) return false;
        auto* options = dynamic_cast<KDuzStreamOptionsObjReader*>(reader.GetReadOptions(false));
        EXPECT_NE(options, nullptr);
        options->SetBoolOption("REFERENCENODE", referenceNode);
        const bool ok = reader.Read(scene, options);
        messages = reader.GetMessageText().Buffer();
        error = reader.GetLastErrorID();
        EXPECT_TRUE(reader.FileClose());
        options->Destroy();
        return ok;
    }

    std::vector<KDuzNode*> Nodes(KDuzNode* parent = nullptr) const {
        if (parent == nullptr) parent = scene->GetRootNode();
        std::vector<KDuzNode*> nodes;
        for (int i = 0; i < parent->GetChildCount(); ++i) nodes.push_back(parent->GetChild(i));
        return nodes;
    }
    static KDuzMesh* MeshOf(KDuzNode* node) { return dynamic_cast<KDuzMesh*>(node->GetNodeAttribute()); }

    // Every face of every mesh as text: its corners' position, uv (when the
    // mesh has uvs) and, when `normals`, normal; sorted, as groups reorder faces.
    std::vector<std::string> OurFaces(bool normals) const {
        std::vector<std::string> faces;
        for (KDuzNode* node : Nodes()) {
            KDuzMesh* mesh = MeshOf(node);
            if (mesh == nullptr) continue;
            const KgeUVVector* uvs = mesh->GetTextureUV(3);
            for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
                std::string face;
                for (int k = 0; k < mesh->GetPolygonSize(p); ++k) {
                    const int cp = mesh->GetPolygonVertex(p, k);
                    const KgeTVector& v = mesh->GetControlPoints()[cp];
                    face += "(" + Fmt(v[0]) + "," + Fmt(v[1]) + "," + Fmt(v[2]);
                    if (uvs != nullptr) {
                        const KgeUVVector& uv = uvs[mesh->GetTextureUVIndex(p, k, 3)];
                        face += "|" + Fmt(uv.mU) + "," + Fmt(uv.mV);
                    }
                    if (normals) {
                        const KgeTVector& n = mesh->GetNormals()[cp];
                        face += "|" + Fmt(n[0]) + "," + Fmt(n[1]) + "," + Fmt(n[2]);
                    }
                    face += ")";
                }
                faces.push_back(face);
            }
        }
        std::sort(faces.begin(), faces.end());
        return faces;
    }

    static std::vector<std::string> PeerFaces(const std::string& text, bool normals) {
        tinyobj::ObjReaderConfig config;
        config.triangulate = false;
        tinyobj::ObjReader peer;
        EXPECT_TRUE(peer.ParseFromString(text, "", config)) << peer.Error();
        const auto& a = peer.GetAttrib();
        std::vector<std::string> faces;
        for (const auto& shape : peer.GetShapes()) {
            size_t at = 0;
            for (const unsigned char count : shape.mesh.num_face_vertices) {
                std::string face;
                for (unsigned k = 0; k < count; ++k) {
                    const tinyobj::index_t i = shape.mesh.indices[at++];
                    face += "(" + Fmt(a.vertices[3 * i.vertex_index]) + "," + Fmt(a.vertices[3 * i.vertex_index + 1]) +
                            "," + Fmt(a.vertices[3 * i.vertex_index + 2]);
                    if (i.texcoord_index >= 0) {
                        face += "|" + Fmt(a.texcoords[2 * i.texcoord_index]) + "," +
                                Fmt(a.texcoords[2 * i.texcoord_index + 1]);
                    }
                    if (normals) {
                        face += "|" + Fmt(a.normals[3 * i.normal_index]) + "," + Fmt(a.normals[3 * i.normal_index + 1]) +
                                "," + Fmt(a.normals[3 * i.normal_index + 2]);
                    }
                    face += ")";
                }
                faces.push_back(face);
            }
        }
        std::sort(faces.begin(), faces.end());
        return faces;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    std::filesystem::path folder;
    std::string messages;
    int error = -1;
};

struct PeerCase {
    const char* name;
    const char* text;
    bool normals;   // every corner carries a normal in the file
};

// Fixtures in the style of the peer's own tests.
const PeerCase kPeerCases[] = {
    {"quad and ngon",
     "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 1.5 0\nf 1 2 3 4\nf 4 3 5 2 1\n", false},
    {"uvs and normals, shared position split by normal",
     "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 1\nvt 0 0\nvt 1 0\nvt 1 1\nvn 0 0 1\nvn 1 0 0\n"
     "f 1/1/1 2/2/1 3/3/1\nf 1/1/2 3/3/2 4/2/2\n", true},
    {"negative indices refer back from the statement",
     "v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvn 0 0 1\nf -3/-3/-1 -2/-2/-1 -1/-1/-1\n"
     "v 5 5 5\nvn 0 1 0\nf -4/1/-1 -3/2/-1 -1/3/-1\n", true},
    {"normals without uvs",
     "v 0 0 0\nv 1 0 0\nv 1 1 0\nvn 0 0 1\nf 1//1 2//1 3//1\n", true},
    {"groups, objects and smoothing groups",
     "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\ng left arm\ns 1\nf 1 2 3\no thing\ng right\ns off\nf 1 3 4\n"
     "g left arm\ns 2\nf 2 3 4\n", false},
    {"CRLF line ends, tabs, blank lines and no final line end",
     "v 0 0 0\r\nv\t1 0 0\r\nv 1 1 0\r\nv 0 1 0\r\nf 1 2 3 4\r\n# comment\r\n\r\nf 1 3 4", false},
};

}  // namespace

TEST_F(ObjReaderTest, FacesMatchThePeer) {
    for (const PeerCase& c : kPeerCases) {
        SCOPED_TRACE(c.name);
        manager->Destroy();
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        ASSERT_TRUE(Read(c.text)) << messages;
        const auto ours = OurFaces(c.normals);
        EXPECT_FALSE(ours.empty());
        EXPECT_EQ(ours, PeerFaces(c.text, c.normals));
    }
}

TEST_F(ObjReaderTest, LongFaceLineIsReadWhole) {
    // One n-gon far longer than any fixed line buffer, and a long comment.
    const int corners = 20000;
    std::string text = "# " + std::string(100000, 'x') + "\n";
    for (int i = 0; i < corners; ++i) text += "v " + std::to_string(i) + " " + std::to_string(i % 7) + " 0\n";
    text += "f";
    for (int i = 1; i <= corners; ++i) text += " " + std::to_string(i);
    text += "\n";
    ASSERT_TRUE(Read(text));
    ASSERT_EQ(Nodes().size(), 1u);
    KDuzMesh* mesh = MeshOf(Nodes()[0]);
    ASSERT_EQ(mesh->GetPolygonCount(), 1);
    EXPECT_EQ(mesh->GetPolygonSize(0), corners);
    EXPECT_EQ(mesh->GetControlPoints()[mesh->GetPolygonVertex(0, corners - 1)][0], corners - 1);
}

TEST_F(ObjReaderTest, ContinuationLinesJoinAcrossCrAndLf) {
    // A backslash joins the next physical line, whatever its line end.
    ASSERT_TRUE(Read("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 \\\r\n 3 \\\r4\n"));
    KDuzMesh* mesh = MeshOf(Nodes()[0]);
    ASSERT_EQ(mesh->GetPolygonCount(), 1);
    EXPECT_EQ(mesh->GetPolygonSize(0), 4);
}

TEST_F(ObjReaderTest, StatementsAcrossTheReadBlockEndReadTheSame) {
    // The file is read in blocks of 64 KiB. A comment shifts the statements
    // after it across the first block's end at every offset: a CR LF pair
    // split by the end, a lone CR, and a library line whose names must
    // outlive the reading of the first library.
    // The library's last line has no end, so its reading reuses the line buffer.
    Write("objblock_a.mtl", "newmtl red\nKd 1 0 0\n# " + std::string(60, '-'));
    Write("objblock_b.mtl", "newmtl blue\nKd 0 0 1\n");
    const std::string body =
        "mtllib objblock_a.mtl objblock_b.mtl\r\nv 0 0 0\r\nv 1 0 0\rv 1 1 0\r\nusemtl blue\r\nf 1 2 3\r";
    const size_t block = 65536;
    for (size_t pad = block - body.size() - 4; pad <= block; ++pad) {
        SCOPED_TRACE(pad);
        manager->Destroy();
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        ASSERT_TRUE(Read("#" + std::string(pad, 'x') + "\n" + body));
        EXPECT_EQ(messages, "");
        ASSERT_EQ(Nodes().size(), 1u);
        KDuzMesh* mesh = MeshOf(Nodes()[0]);
        ASSERT_EQ(mesh->GetPolygonCount(), 1);
        ASSERT_EQ(mesh->GetPolygonSize(0), 3);
        EXPECT_EQ(mesh->GetControlPoints()[mesh->GetPolygonVertex(0, 2)][1], 1.0);
        ASSERT_EQ(mesh->GetMaterialCount(), 1);
        EXPECT_STREQ(mesh->GetMaterial(0)->GetName(), "blue");
    }
}

TEST_F(ObjReaderTest, BadCornersAreLeftOutAndShortFacesDropped) {
    // Positions 1..4 exist. Forward references, 0 and numbers beyond the
    // integer range name nothing.
    const std::string text =
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
        "f 1 2 99\n"                                  // two corners left: dropped
        "f 1 2 3 99\n"                                // a triangle stays
        "f 0 2 3\n"                                   // vertex 0: rejected
        "f 1 2 -5\n"                                  // beyond the last one read: dropped
        "f 99999999999999999999 2 3 4\n"              // unreadable number: rejected
        "f 1 2\n"                                     // two corners: dropped
        "f 1/x/y 3 4\n"                               // junk uv/normal count as absent
        "f 2 3 4 5\nv 0 0 1\n";                        // 5 is read only later
    ASSERT_TRUE(Read(text));
    ASSERT_EQ(Nodes().size(), 1u);
    KDuzMesh* mesh = MeshOf(Nodes()[0]);
    ASSERT_EQ(mesh->GetPolygonCount(), 3);
    for (int p = 0; p < 3; ++p) EXPECT_EQ(mesh->GetPolygonSize(p), 3);
    for (int i = 0; i < mesh->GetControlPointsCount(); ++i) {
        const KgeTVector& n = mesh->GetNormals()[i];
        EXPECT_NEAR(n[2], 1.0, 1e-9);   // generated from real corners only
    }
}

TEST_F(ObjReaderTest, MalformedVertexStatementsFailTheRead) {
    const char* const cases[] = {"v 1 2\n", "vn 0 1\n", "vt\n", "vt abc\n", "vp\n", "v 1 2 x\n"};
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(Read(text));
        EXPECT_EQ(error, KDuzReader::eFileCorrupted);
    }
    EXPECT_TRUE(Nodes().empty());
}

TEST_F(ObjReaderTest, OptionsAndFileAreChecked) {
    KDuzReaderObj reader(manager);
    EXPECT_FALSE(reader.FileOpen((folder / "missing.obj").c_str()));
    EXPECT_EQ(reader.GetLastErrorID(), KDuzReader::eFileNotOpened);
    EXPECT_FALSE(reader.FileOpen("/dev/zero"));   // endless: refused at once
    EXPECT_FALSE(reader.FileOpen(folder.c_str()));
    ASSERT_TRUE(reader.FileOpen(Write("a.obj", "v 0 0 0\n").c_str()));
    EXPECT_TRUE(reader.IsFileOpen());
    auto* wrong = KDuzStreamOptionsDxfReader::Create(manager, "");
    EXPECT_FALSE(reader.Read(scene, wrong));
    EXPECT_EQ(reader.GetLastErrorID(), KDuzReader::eStreamOptionsNotSet);
    EXPECT_FALSE(reader.Read(scene, nullptr));
    wrong->Destroy();
    auto* options = reader.GetReadOptions(false);
    EXPECT_TRUE(options->GetBoolOption("REFERENCENODE"));   // the option's default
    options->Destroy();
    EXPECT_TRUE(reader.FileClose());
    EXPECT_FALSE(reader.IsFileOpen());
}

TEST_F(ObjReaderTest, GroupsBecomeNodes) {
    const std::string text =
        "v 0 0 0\nv 1 0 0\nv 1 1 0\n"
        "f 1 2 3\n"                  // no "g" yet: the group "default"
        "g Box\nf 1 2 3\n"
        "g box\nf 3 2 1\n"           // the same group as Box
        "g left arm\nf 1 2 3\n"
        "g empty\n"                  // no faces: no node
        "g";                         // keyword-only last line, no line end
    ASSERT_TRUE(Read(text, "chair.obj", true));
    const auto top = Nodes();
    ASSERT_EQ(top.size(), 1u);
    EXPECT_STREQ(top[0]->GetName(), "chair_root");
    std::vector<std::string> names;
    for (KDuzNode* node : Nodes(top[0])) names.push_back(node->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"Box", "default", "left_arm"}));
    EXPECT_EQ(MeshOf(Nodes(top[0])[0])->GetPolygonCount(), 2);
    EXPECT_EQ(messages, "");
}

TEST_F(ObjReaderTest, GeneratedNormalsFollowSmoothingGroups) {
    // Two faces folded along the edge 1-2: smoothing shares a normal at the
    // edge, "s off" and "s 0" give flat face normals.
    const std::string fold = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -1 1\nf 1 2 3\nf 2 1 4\n";
    struct Case {
        const char* smoothing;
        int controlPoints;
    };
    for (const Case c : {Case{"s 1\n", 4}, Case{"s off\n", 6}, Case{"s 0\n", 6}}) {
        SCOPED_TRACE(c.smoothing);
        manager->Destroy();
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        ASSERT_TRUE(Read(std::string(c.smoothing) + fold));
        KDuzMesh* mesh = MeshOf(Nodes()[0]);
        EXPECT_EQ(mesh->GetControlPointsCount(), c.controlPoints);
        const KgeTVector& n = mesh->GetNormals()[mesh->GetPolygonVertex(0, 0)];
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        EXPECT_NEAR(length, 1.0, 1e-9);
        if (c.controlPoints == 6) EXPECT_NEAR(n[2], 1.0, 1e-9);
        else EXPECT_LT(n[2], 0.99);
    }
}

TEST_F(ObjReaderTest, MadeNormalsMixWithReadOnesPerSmoothingGroup) {
    // A bare face, then one with normals of the file, both in smoothing
    // group 1 and sharing the vertices 1 and 2; then a bare face over the
    // same vertices in group 2, which sums its own faces only.
    ASSERT_TRUE(Read("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -1 1\ns 1\nf 1 2 3\nvn 1 0 0\nf 2//1 1//1 4//1\n"
                     "s 2\nf 1 3 2\n"));
    KDuzMesh* mesh = MeshOf(Nodes()[0]);
    ASSERT_EQ(mesh->GetPolygonCount(), 3);
    EXPECT_EQ(mesh->GetControlPointsCount(), 9);
    const double half = std::sqrt(0.5);
    struct Expected {
        int polygon;
        int corner;
        double normal[3];
    };
    const Expected expected[] = {
        {0, 0, {half, 0, half}},   // its face normal summed with the file's
        {0, 1, {half, 0, half}},
        {0, 2, {0, 0, 1}},         // its face's only
        {1, 0, {1, 0, 0}},         // the file's, kept
        {1, 2, {1, 0, 0}},
        {2, 0, {0, 0, -1}},        // group 2 knows nothing of group 1
        {2, 2, {0, 0, -1}},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(std::to_string(e.polygon) + "/" + std::to_string(e.corner));
        const KgeTVector& n = mesh->GetNormals()[mesh->GetPolygonVertex(e.polygon, e.corner)];
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(n[k], e.normal[k], 1e-12);
    }
}

TEST_F(ObjReaderTest, FacesKeepTheirOrderSizesAndMaterialsAcrossSmoothingSwitches) {
    // Runs of alike faces broken by a material, a corner count and smoothing
    // groups left and taken up again: the mesh lists smoothing group 1's
    // faces, then group 2's, each in file order, every corner on its own face.
    Write("two.mtl", "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n");
    const std::string text =
        "mtllib two.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\n"
        "usemtl red\ns 1\nf 1 2 3\nf 1 3 4\n"
        "s 2\nf 2 5 3\nf 2 3 1\n"
        "s 1\nf 1 2 4\nusemtl blue\nf 2 3 4\nf 1 2 3 4\n"
        "s 2\nf 5 3 2\n";
    ASSERT_TRUE(Read(text));
    KDuzMesh* mesh = MeshOf(Nodes()[0]);
    const int expected[][4] = {{1, 2, 3}, {1, 3, 4}, {1, 2, 4}, {2, 3, 4}, {1, 2, 3, 4},   // s 1
                               {2, 5, 3}, {2, 3, 1}, {5, 3, 2}};                           // s 2
    const int materials[] = {0, 0, 0, 1, 1, 0, 0, 1};
    ASSERT_EQ(mesh->GetPolygonCount(), 8);
    ASSERT_TRUE(mesh->CheckPolygonVertices());
    const int* materialIndices = mesh->GetMaterialIndices();
    ASSERT_NE(materialIndices, nullptr);
    for (int p = 0; p < 8; ++p) {
        SCOPED_TRACE(p);
        const int size = expected[p][3] == 0 ? 3 : 4;
        ASSERT_EQ(mesh->GetPolygonSize(p), size);
        for (int k = 0; k < size; ++k) {
            const KgeTVector& v = mesh->GetControlPoints()[mesh->GetPolygonVertex(p, k)];
            const double x[] = {0, 0, 1, 1, 0, 2};   // by 1-based position
            const double y[] = {0, 0, 0, 1, 1, 0};
            EXPECT_EQ(v[0], x[expected[p][k]]);
            EXPECT_EQ(v[1], y[expected[p][k]]);
        }
        EXPECT_EQ(materialIndices[p], materials[p]);
    }
}

TEST_F(ObjReaderTest, NumbersReadAsTheStandardLibraryReadsThem) {
    // Each spelling as the x of a vertex: short plain decimals take a quicker
    // path than the rest, and every one must give the same double as strtod.
    const char* const spellings[] = {
        "0.1", "-0.5", "0.30000000000000004", "123456.789012345", "-0", "7", "+2.5", "1e-3",
        "9007199254740993", "123456789012345678901", "0.1234567890123456789", "1.", ".5",
        "00012.50", "4.9406564584124654e-324", "1.7976931348623157e308",
    };
    // One smoothing group, so that a position is one control point.
    std::string text = "s 1\n";
    for (const char* spelling : spellings) text += std::string("v ") + spelling + " 0 0\n";
    const int count = static_cast<int>(std::size(spellings));
    for (int i = 1; i + 2 <= count; i += 3) {
        text += "f " + std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 2) + "\n";
    }
    text += "f " + std::to_string(count - 2) + " " + std::to_string(count - 1) + " " + std::to_string(count) + "\n";
    ASSERT_TRUE(Read(text));
    KDuzMesh* mesh = MeshOf(Nodes()[0]);
    // Points in the order the faces name them: positions 1 .. count, each once.
    ASSERT_EQ(mesh->GetControlPointsCount(), count);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(spellings[i]);
        const char* spelling = spellings[i][0] == '+' ? spellings[i] + 1 : spellings[i];
        const double expected = std::strtod(spelling, nullptr);
        const double x = mesh->GetControlPoints()[i][0];
        EXPECT_EQ(std::memcmp(&x, &expected, sizeof x), 0) << x << " " << expected;
    }
}

TEST_F(ObjReaderTest, CornerNumbersOfEveryLengthNameTheSamePosition) {
    // Up to 18 digits a corner is read in one pass; longer ones go the
    // general way. Leading zeros keep the number; slashes give the same
    // position in every form.
    struct Case {
        const char* face;
        int polygons;
    };
    const Case cases[] = {
        {"f 1 2 3\n", 1},
        {"f 000000000000000001 2 3\n", 1},     // 18 digits
        {"f 0000000000000000001 2 3\n", 1},    // 19 digits
        {"f 00000000000000000000000001/1 2/1 3/1\n", 1},
        {"f 1//1 2//1 3//1\n", 1},
        {"f 1/1/1 2/1/1 3/1/1\n", 1},
        {"f 1/1/ 2/1/ 3/1/\n", 1},
        {"f 1x 2 3\n", 0},                     // not a corner: the face is dropped
        {"f 0 2 3\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        manager->Destroy();
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        ASSERT_TRUE(Read(std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n") + c.face));
        const auto nodes = Nodes();
        const int polygons = nodes.empty() ? 0 : MeshOf(nodes[0])->GetPolygonCount();
        ASSERT_EQ(polygons, c.polygons);
        if (polygons == 0) continue;
        KDuzMesh* mesh = MeshOf(nodes[0]);
        for (int k = 0; k < 3; ++k) {
            const KgeTVector& v = mesh->GetControlPoints()[mesh->GetPolygonVertex(0, k)];
            EXPECT_EQ(v[0], k == 1 ? 1.0 : 0.0);
            EXPECT_EQ(v[1], k == 2 ? 1.0 : 0.0);
        }
    }
}

TEST_F(ObjReaderTest, MaterialsComeFromTheLibraryBesideTheFile) {
    Write("parts.mtl",
          "newmtl matte\nillum 1\nKd 0.5 0.25 1\nd 0.25\n"
          "newmtl shiny\nKs 1 1 1\nNs 40\nTr 0.25\nmap_Kd  wood grain.png  \n"
          "newmtl matte\nillum 2\n");   // a second definition is not used
    const std::string text =
        "mtllib parts.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\n"
        "usemtl matte\nf 1 2 3\nusemtl shiny\nf 1 3 2\nusemtl matte\nf 2 3 1\n";
    // The working directory is elsewhere, so the library is found beside the OBJ file.
    ASSERT_TRUE(Read(text));
    EXPECT_EQ(messages, "");
    KDuzNode* node = Nodes()[0];
    KDuzMesh* mesh = MeshOf(node);
    EXPECT_EQ(node->GetShadingMode(), 5);
    ASSERT_EQ(mesh->GetMaterialCount(), 2);
    auto* matte = mesh->GetMaterial(0);
    auto* shiny = dynamic_cast<KDuzSurfacePhong*>(mesh->GetMaterial(1));
    EXPECT_STREQ(matte->GetName(), "matte");
    EXPECT_EQ(dynamic_cast<KDuzSurfacePhong*>(matte), nullptr);
    ASSERT_NE(shiny, nullptr);
    const auto* lambert = dynamic_cast<KDuzSurfaceLambert*>(matte);
    EXPECT_DOUBLE_EQ(KDuzTypedProperty<double>(lambert->GetTransparencyFactor()).Get(), 0.75);
    EXPECT_DOUBLE_EQ(KDuzTypedProperty<double>(shiny->GetTransparencyFactor()).Get(), 0.75);
    EXPECT_DOUBLE_EQ(KDuzTypedProperty<double>(shiny->GetShininessExponent()).Get(), 40.0);
    EXPECT_DOUBLE_EQ(KDuzTypedProperty<duzVectorTemplate3<double>>(lambert->GetDiffuseColor()).Get()[1], 0.25);
    const int* materials = mesh->GetMaterialIndices();
    ASSERT_NE(materials, nullptr);
    EXPECT_EQ(materials[0], 0);
    EXPECT_EQ(materials[1], 1);
    EXPECT_EQ(materials[2], 0);
    // Only the shiny face has a texture: the placeholder takes index 0.
    ASSERT_NE(mesh->GetTexture(1), nullptr);
    EXPECT_STREQ(mesh->GetTexture(0)->GetName(), "_empty_");
    EXPECT_STREQ(mesh->GetTexture(1)->GetFileName(), "wood grain.png");
}

TEST_F(ObjReaderTest, LibraryBesideTheFileWinsOverOneInTheWorkingFolder) {
    // A library of the same name in the working folder must not supply the
    // materials; it is only the fallback when none is beside the file.
    const auto working = folder / "working";
    std::filesystem::create_directories(working);
    std::ofstream(working / "lib.mtl") << "newmtl paint\nKd 0 1 0\n";
    std::ofstream(working / "only.mtl") << "newmtl paint\nKd 0 0 1\n";
    Write("lib.mtl", "newmtl paint\nKd 1 0 0\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(working);
    const bool beside = Read("mtllib lib.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nusemtl paint\nf 1 2 3\n", "a.obj");
    const bool fallback = Read("mtllib only.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nusemtl paint\nf 1 2 3\n", "b.obj");
    std::filesystem::current_path(previous);
    ASSERT_TRUE(beside);
    ASSERT_TRUE(fallback);
    const auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 2u);
    const double expected[2][3] = {{1, 0, 0}, {0, 0, 1}};
    for (int n = 0; n < 2; ++n) {
        const auto* material = dynamic_cast<KDuzSurfaceLambert*>(MeshOf(nodes[n])->GetMaterial(0));
        ASSERT_NE(material, nullptr);
        const auto color = KDuzTypedProperty<duzVectorTemplate3<double>>(material->GetDiffuseColor()).Get();
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(color[k], expected[n][k]) << n << " " << k;
    }
}

TEST_F(ObjReaderTest, FileWithoutAnyKnownStatementIsNotAnObjFile) {
    struct Row {
        const char* name;
        std::string text;
        bool result;
    };
    const Row rows[] = {
        // An image renamed .obj: nothing in it is a statement.
        {"bitmap", std::string("BM\x36\x00\x0c\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\nBM junk\n", 24), false},
        {"unknown words only", "hello world\nsolid cube\n", false},
        // Nothing but comments, or nothing at all, is an empty OBJ file.
        {"comments only", "# nothing here\n", true},
        {"empty", "", true},
        {"one known among unknown", "hello\nv 0 0 0\n", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Read(row.text), row.result);
        if (!row.result) {
            EXPECT_EQ(error, KDuzReader::eFileCorrupted);
        }
    }
}

TEST_F(ObjReaderTest, MissingLibrariesAndMaterialsAreReportedNotFatal) {
    const std::string text =
        "mtllib nowhere.mtl /dev/zero\nv 0 0 0\nv 1 0 0\nv 1 1 0\n"
        "usemtl red\nf 1 2 3\nusemtl red\nf 1 3 2\nbogus 1 2\n";
    ASSERT_TRUE(Read(text));
    EXPECT_EQ(messages,
              "Unable to load material library\n"
              "Unable to read material \"red\" in .mtl file\n"
              "Unable to read material \"red\" in .mtl file\n"
              "Object not supported : bogus\n");
    KDuzMesh* mesh = MeshOf(Nodes()[0]);
    EXPECT_EQ(mesh->GetPolygonCount(), 2);
    EXPECT_EQ(mesh->GetMaterialCount(), 0);
}

TEST_F(ObjReaderTest, RegistryMakesTheReaderForObjFiles) {
    KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    ASSERT_NE(registry, nullptr);
    int index = -1;
    for (int i = 0; i < registry->GetReaderCount(); ++i) {
        if (std::string(registry->GetReaderEntry(i)->extension) == "obj") index = i;
    }
    ASSERT_GE(index, 0);
    EXPECT_STREQ(registry->GetReaderEntry(index)->description, "Wavefront OBJ (*.obj)");
    KDuzReader* reader = registry->CreateReader(manager, nullptr, index);
    EXPECT_NE(dynamic_cast<KDuzReaderObj*>(reader), nullptr);
    delete reader;
}

TEST_F(ObjReaderTest, UvsAreKeptOnlyForGroupsWhereEveryCornerHasOne) {
    // Group "a" mixes faces with and without uvs; group "b" has them all.
    // Smoothing shares the generated normals, so keys differ only by uv.
    const std::string text =
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0.5 0.25\nvt 1 0\nvt 1 1\n"
        "s 1\ng a\nf 1/1 2/2 3/3\nf 2 3 1\n"
        "g b\nf 1/3 2/2 3/1\n";
    ASSERT_TRUE(Read(text));
    const auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 2u);
    KDuzMesh* mixed = MeshOf(nodes[0]);
    KDuzMesh* full = MeshOf(nodes[1]);
    EXPECT_EQ(mixed->GetTextureUV(3), nullptr);
    EXPECT_EQ(mixed->GetControlPointsCount(), 3);   // uv-less keys: one point per position
    ASSERT_NE(full->GetTextureUV(3), nullptr);
    const KgeUVVector& uv = full->GetTextureUV(3)[full->GetTextureUVIndex(0, 2, 3)];
    EXPECT_DOUBLE_EQ(uv.mU, 0.5);
    EXPECT_DOUBLE_EQ(uv.mV, 0.25);
}

// A rational B-spline surface of degree (1, 2), 2 x 3 control points, u
// fastest in the file. The NURB's U is the file's v, so file point k lands
// at k / 2 + 3 * (k mod 2).
const char kSurface[] =
    "v 0 0 0\nv 1 0 0\nv 0 1 0 2\nv 1 1 0\nv 0 2 1\nv 1 2 1\n"
    "g patch\ncstype rat bspline\ndeg 1 2\n"
    "surf 0 1 0 1 1 2 3 4 5 6\nparm u 0 0 1 1\nparm v 0 0 0 1 1 1\nend\n";

TEST_F(ObjReaderTest, RationalBsplineSurfaceBecomesANurbNode) {
    ASSERT_TRUE(Read(std::string(kSurface) + "g box\nf 1 2 4\n", "surface.obj", true));
    EXPECT_EQ(messages, "");
    // The surface hangs under the scene's root, beside the reference node.
    const auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_STREQ(nodes[0]->GetName(), "patch");
    EXPECT_STREQ(nodes[1]->GetName(), "surface_root");
    auto* nurb = dynamic_cast<KDuzNurb*>(nodes[0]->GetNodeAttribute());
    ASSERT_NE(nurb, nullptr);
    EXPECT_EQ(nurb->GetUOrder(), 3);
    EXPECT_EQ(nurb->GetVOrder(), 2);
    EXPECT_EQ(nurb->GetUCount(), 3);
    EXPECT_EQ(nurb->GetVCount(), 2);
    EXPECT_EQ(nurb->GetNurbUType(), eNurbOpen);
    EXPECT_EQ(nurb->GetNurbVType(), eNurbOpen);
    ASSERT_EQ(nurb->GetUKnotCount(), 6);
    ASSERT_EQ(nurb->GetVKnotCount(), 4);
    EXPECT_EQ(std::vector<double>(nurb->GetUKnotVector(), nurb->GetUKnotVector() + 6),
              (std::vector<double>{0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(std::vector<double>(nurb->GetVKnotVector(), nurb->GetVKnotVector() + 4),
              (std::vector<double>{0, 0, 1, 1}));
    const int expectedFilePoint[6] = {0, 2, 4, 1, 3, 5};   // NURB index -> file point
    for (int i = 0; i < 6; ++i) {
        const KgeTVector& p = nurb->GetControlPoints()[i];
        const int k = expectedFilePoint[i];
        EXPECT_EQ(p[0], k % 2);
        EXPECT_EQ(p[1], k / 2);
        EXPECT_EQ(p[3], k == 2 ? 2.0 : 1.0);   // the weight of the "v" statement
    }
    EXPECT_EQ(MeshOf(Nodes(nodes[1])[0])->GetPolygonCount(), 1);
}

TEST_F(ObjReaderTest, SurfacesThatCannotBeBuiltAreSkipped) {
    struct Case {
        const char* name;
        const char* from;   // replaced in kSurface
        const char* to;
        const char* message;
    };
    const char* const kSkipped = "Surface skipped: its control points do not fit its degrees and knots\n";
    const Case cases[] = {
        {"not rational", "cstype rat bspline", "cstype bspline", ""},
        {"bezier", "cstype rat bspline", "cstype rat bezier", ""},
        {"a point fewer than the knots ask", "1 2 3 4 5 6\n", "1 2 3 4 5\n", kSkipped},
        {"a point that does not exist", "1 2 3 4 5 6\n", "1 2 3 4 5 99\n", kSkipped},
        {"degree 0", "deg 1 2", "deg 0 2", kSkipped},
        {"degree beyond the knots", "deg 1 2", "deg 1 9", kSkipped},
        {"knots out of order", "parm u 0 0 1 1", "parm u 0 1 0 1", kSkipped},
        {"no v knots", "parm v 0 0 0 1 1 1\n", "", kSkipped},
        {"a corner that is not a number", "1 2 3 4 5 6\n", "1 2 3 4 5 x\n", ""},
        {"no parameter range", "surf 0 1 0 1 1 2 3 4 5 6", "surf 0 1 0", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager->Destroy();
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        std::string text = kSurface;
        text.replace(text.find(c.from), std::strlen(c.from), c.to);
        // The block is read past in any case: the face after it is kept.
        ASSERT_TRUE(Read(text + "g box\nf 1 2 4\n"));
        EXPECT_EQ(messages, c.message);
        const auto nodes = Nodes();
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_STREQ(nodes[0]->GetName(), "box");
    }
}

TEST_F(ObjReaderTest, SurfaceBeforeAnyTypeFailsTheRead) {
    std::string text = kSurface;
    text.replace(text.find("cstype rat bspline\n"), 19, "");
    EXPECT_FALSE(Read(text));
    EXPECT_TRUE(Nodes().empty());
    // A failing read later in the file leaves no surface behind either.
    EXPECT_FALSE(Read(std::string(kSurface) + "v 1 2\n"));
    EXPECT_TRUE(Nodes().empty());
}
