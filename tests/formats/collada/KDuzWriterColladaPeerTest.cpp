// Where pycollada places what we write: node frames with post-rotations,
// camera and light directions, skinned meshes, in both transform modes.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/collada/ColladaTestSupport.h"
#include "formats/collada/ColladaWriterFixture.h"
#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzLight.h"

namespace colladatest {
namespace {

constexpr double kPeerWriteTolerance = 2e-4;   // the peer prints four decimals

// The numbers after `key` on the peer's line that starts with `prefix`
// (after its indentation).
std::vector<double> PeerNumbers(const std::string& peer, const std::string& prefix, const std::string& key) {
    std::istringstream lines(peer);
    std::string line;
    while (std::getline(lines, line)) {
        line.erase(0, line.find_first_not_of(' '));   // nesting
        if (line.rfind(prefix, 0) != 0) continue;
        const size_t at = line.find(" " + key + " ");
        if (at == std::string::npos) continue;
        std::istringstream numbers(line.substr(at + key.size() + 2));
        std::vector<double> values;
        std::string word;
        while (numbers >> word) {
            char* end = nullptr;
            const double value = std::strtod(word.c_str(), &end);
            if (end == word.c_str() || *end != '\0') break;
            values.push_back(value);
        }
        return values;
    }
    return {};
}

KgeTVector Direction(const KgeMatrix& global, const KgeTVector& local) {
    const KgeTVector tip = global.TransformPoint(local);
    const KgeTVector origin = global.TransformPoint(KgeTVector(0, 0, 0, 0));
    return KgeTVector(tip[0] - origin[0], tip[1] - origin[1], tip[2] - origin[2], 0);
}

void ExpectNear(const std::vector<double>& peer, const std::vector<KgeTVector>& ours, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(peer.size(), 3 * ours.size());
    for (size_t i = 0; i < ours.size(); ++i)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(peer[3 * i + c], ours[i][c], kPeerWriteTolerance) << i << " " << c;
}

class ColladaPeerFrameTest : public ColladaWriterTest {
protected:
    KDuzNode* Active(KDuzNode* node, duzVectorTemplate3<double> translation, duzVectorTemplate3<double> rotation,
                     const KgeTVector& post) {
        node->SetLclTranslation(translation);
        node->SetLclRotation(rotation);
        node->SetRotationActive(true);
        node->SetPostRotation(0, post);
        return node;
    }

    // The document as our reader reads it, in a new scene of the manager.
    KDuzScene* ReadBack(const std::string& path) {
        KDuzScene* read = KDuzScene::Create(manager, "");
        KDuzReaderCollada reader(manager);
        EXPECT_TRUE(reader.FileOpen(path.c_str()));
        KDuzStreamOptions* options = reader.GetReadOptions(false);
        EXPECT_TRUE(reader.Read(read, options));
        options->Destroy();
        reader.FileClose();
        return read;
    }

    std::vector<KgeTVector> WorldPoints(KDuzNode* node, const KgeMatrix& global) {
        auto* mesh = static_cast<KDuzMesh*>(node->GetNodeAttribute());
        std::vector<KgeTVector> points;
        for (int i = 0; i < mesh->GetControlPointsCount(); ++i)
            points.push_back(global.TransformPoint(mesh->GetControlPoints()[i]));
        return points;
    }
};

TEST_F(ColladaPeerFrameTest, FramesDirectionsAndSkinsMatchThePeer) {
    KDuzNode* turned = Active(AddNode("Turned", Pyramid()), {1, 2, 3}, {10, 0, 0}, KgeTVector(0, 0, -30, 0));
    KDuzNode* eye = Active(AddNode("Eye", KDuzCamera::Create(manager, "")), {0, 0, 5}, {0, 45, 0},
                           KgeTVector(0, 0, 10, 0));
    KDuzLight* spot = KDuzLight::Create(manager, "");
    spot->SetLightType(KDuzLight::eSpot);
    KDuzNode* lamp = Active(AddNode("Lamp", spot), {0, 4, 0}, {30, 0, 0}, KgeTVector(0, 0, 0, 0));
    KDuzLight* sun = KDuzLight::Create(manager, "");
    sun->SetLightType(KDuzLight::eDirectional);
    KDuzNode* sky = Active(AddNode("Sky", sun), {0, 0, 0}, {0, 0, 45}, KgeTVector(0, 20, 0, 0));

    // A body at x 5..6 bound to two bones where it stands.
    KDuzMesh* body = Pyramid();
    KDuzNode* bodyNode = AddNode("Body", body);
    bodyNode->SetLclTranslation({5, 0, 0});
    KDuzSkin* skin = KDuzSkin::Create(manager, "");
    body->AddDeformer(skin);
    const KgeMatrix bodyGlobal = bodyNode->GetGlobalTransform();
    const char* const bones[] = {"Hip", "Knee"};
    for (int b = 0; b < 2; ++b) {
        KDuzNode* bone = AddNode(bones[b], nullptr);
        bone->SetLclTranslation({5, static_cast<double>(b), 0});
        KDuzCluster* cluster = KDuzCluster::Create(manager, "");
        cluster->SetLink(bone);
        cluster->SetLinkMode(KDuzCluster::eTotalOne);
        cluster->SetTransformMatrix(bodyGlobal);
        cluster->SetTransformLinkMatrix(bone->GetGlobalTransform());
        for (int p = 0; p < 5; ++p) cluster->AddControlPointIndex(p, 0.5);
        skin->ConnectSrcObject(cluster);
    }

    const KgeMatrix turnedGlobal = turned->GetGlobalTransform();
    const KgeMatrix eyeGlobal = eye->GetGlobalTransform();
    const KgeMatrix lampGlobal = lamp->GetGlobalTransform();
    const KgeMatrix skyGlobal = sky->GetGlobalTransform();
    for (const bool singleMatrix : {false, true}) {
        SCOPED_TRACE(singleMatrix ? "single matrix" : "transform elements");
        const std::string path = Write(singleMatrix);
        ASSERT_FALSE(path.empty());
        ExpectValidDocument(path);
        const std::string peer = LoadWithPeer(path);
        SCOPED_TRACE(peer);
        ExpectNear(PeerNumbers(peer, "bound geometry Turned-lib", "positions"), WorldPoints(turned, turnedGlobal),
                   "post-rotated mesh");
        // Our cameras look along +X with +Y up; our spot and directional
        // lights shine along -Y.
        ExpectNear(PeerNumbers(peer, "bound camera Eye-lib", "direction"), {Direction(eyeGlobal, {1, 0, 0, 0})},
                   "camera direction");
        ExpectNear(PeerNumbers(peer, "bound camera Eye-lib", "up"), {Direction(eyeGlobal, {0, 1, 0, 0})}, "camera up");
        ExpectNear(PeerNumbers(peer, "bound camera Eye-lib", "position"), {eyeGlobal.GetTranslation()},
                   "camera position");
        ExpectNear(PeerNumbers(peer, "bound light Lamp-lib", "direction"), {Direction(lampGlobal, {0, -1, 0, 0})},
                   "spot direction");
        ExpectNear(PeerNumbers(peer, "bound light Sky-lib", "direction"), {Direction(skyGlobal, {0, -1, 0, 0})},
                   "directional light direction");
        ExpectNear(PeerNumbers(peer, "bound controller BodyController", "positions"), WorldPoints(bodyNode, bodyGlobal),
                   "skinned mesh at its bind");
    }
}

// A mesh under a camera and one under a spot light: the turn the writer
// gives those nodes is undone for their children, so pycollada places them
// where ours are, in both transform modes, also under a camera with a scale
// and pivots; our reader gives back the same frames. A
// document of the old writer (children in the turned frame, no undoing
// element) reads as before; one from another tool gets its children where
// that tool placed them.
TEST_F(ColladaPeerFrameTest, ChildrenOfCamerasAndLightsStayWhereTheyAre) {
    KDuzNode* eye = Active(AddNode("Eye", KDuzCamera::Create(manager, "")), {0, 0, 5}, {0, 45, 0},
                           KgeTVector(0, 0, 10, 0));
    KDuzLight* spot = KDuzLight::Create(manager, "");
    spot->SetLightType(KDuzLight::eSpot);
    KDuzNode* lamp = Active(AddNode("Lamp", spot), {0, 4, 0}, {30, 0, 0}, KgeTVector(0, 0, 0, 0));
    KDuzNode* rig = Active(AddNode("Rig", KDuzCamera::Create(manager, "")), {1, 1, 1}, {0, 0, 20},
                           KgeTVector(5, 0, 0, 0));
    rig->SetLclScaling({2, 2, 2});
    rig->SetRotationPivot(0, KgeTVector(0.5, 0, 0, 0));
    rig->SetScalingPivot(0, KgeTVector(0, 1, 0, 0));
    struct Child {
        const char* name;
        KDuzNode* parent;
        KDuzNode* node = nullptr;
        KgeMatrix global;
    };
    Child children[] = {{"OnEye", eye, nullptr, {}}, {"OnLamp", lamp, nullptr, {}}, {"OnRig", rig, nullptr, {}}};
    for (Child& child : children) {
        child.node = Active(AddNode(child.name, Pyramid(), child.parent), {1, 2, 3}, {0, 30, 0}, KgeTVector());
        child.global = child.node->GetGlobalTransform();
    }
    auto expectFrame = [](KDuzScene* read, const char* name, const KgeMatrix& expected) {
        KDuzNode* node = read->FindNode(name);
        ASSERT_NE(node, nullptr) << name;
        const KgeMatrix global = node->GetGlobalTransform();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(global.Data()[i], expected.Data()[i], 1e-4) << name << " " << i;
    };

    for (const bool singleMatrix : {false, true}) {
        SCOPED_TRACE(singleMatrix ? "single matrix" : "transform elements");
        const std::string path = Write(singleMatrix);
        ASSERT_FALSE(path.empty());
        ExpectValidDocument(path);
        const std::string peer = LoadWithPeer(path);
        SCOPED_TRACE(peer);
        for (const Child& child : children)
            ExpectNear(PeerNumbers(peer, "bound geometry " + std::string(child.name) + "-lib", "positions"),
                       WorldPoints(child.node, child.global), child.name);
        KDuzScene* read = ReadBack(path);
        for (const Child& child : children) expectFrame(read, child.name, child.global);
        read->Destroy();
    }

    // The old writer's shape: the same document without the undoing element.
    // The old writer and reader agreed on the turned frame, so its children
    // come back where they were.
    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    const std::string text = ReadFile(path);
    std::string old = text;
    for (size_t at; (at = old.find("<matrix sid=\"parentTurnInverse\">")) != std::string::npos;)
        old.erase(at, old.find("</matrix>", at) + 9 - at);
    ASSERT_NE(old, text);
    // Another tool's document in the new shape: the undoing element is one
    // of its children's transforms, which land where pycollada puts them.
    std::string foreign = text;
    const std::string tool = "<authoring_tool>DUZ COLLADA exporter</authoring_tool>";
    ASSERT_TRUE(Has(foreign, tool));
    foreign.replace(foreign.find(tool), tool.size(), "<authoring_tool>another tool</authoring_tool>");
    for (const std::string* document : {&old, &foreign}) {
        SCOPED_TRACE(document == &old ? "old writer" : "another tool");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << *document;
        KDuzScene* read = ReadBack(path);
        for (const Child& child : children) {
            expectFrame(read, child.parent->GetName(), child.parent->GetGlobalTransform());
            expectFrame(read, child.name, child.global);
        }
        read->Destroy();
    }
}

// A texture on the second of two UV sets: pycollada binds it to that set
// and finds on every corner the coordinates ours has.
TEST_F(ColladaPeerFrameTest, TextureOnTheSecondUvSetBindsItsCoordinates) {
    KDuzMesh* mesh = Pyramid();
    KDuzSurfaceLambert* skin = KDuzSurfaceLambert::Create(manager, "Skin");
    SetOneMaterial(mesh, skin);
    KDuzLayer* second = mesh->GetLayer(mesh->CreateLayer());
    ASSERT_NE(second, nullptr);
    KDuzLayerElementUV* uvs = KDuzCreateLayerElementUV(manager, "");
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    uvs->SetReferenceMode(KDuzLayerElement::eDirect);
    for (int c = 0; c < mesh->GetPolygonVertexCount(); ++c)
        uvs->GetDirectArray().Add(KgeUVVector(0.0625 * c, 1.0 - 0.03125 * c));
    second->SetUVsOfType(uvs, eLayerElementDiffuseTextures);
    KDuzTexture* checker = KDuzTexture::Create(manager, "Checker");
    checker->SetFileName((folder / "checker.png").string().c_str());
    KDuzLayerElementTexture* textures = KDuzCreateLayerElementTexture(manager, "");
    textures->SetMappingMode(KDuzLayerElement::eAllSame);
    textures->GetDirectArray().Add(checker);
    textures->GetIndexArray().Add(0);
    second->SetTexturesOfType(eLayerElementDiffuseTextures, textures);
    AddNode("Statue", mesh);

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    ExpectValidDocument(path);
    const std::string peer = LoadWithPeer(path);
    SCOPED_TRACE(peer);
    EXPECT_TRUE(Has(peer, "texture Skin image file://" + (folder / "checker.png").string() + " texcoord CHANNEL1 set 1\n"));
    std::vector<double> vertices;
    std::vector<double> expected;
    int c = 0;
    for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
        for (int k = 0; k < mesh->GetPolygonSize(p); ++k, ++c) {
            vertices.push_back(mesh->GetPolygonVertex(p, k));
            expected.push_back(uvs->GetDirectArray()[c][0]);
            expected.push_back(uvs->GetDirectArray()[c][1]);
        }
    }
    EXPECT_EQ(PeerNumbers(peer, "corners Skin", "vertices"), vertices);
    const std::vector<double> uvsSeen = PeerNumbers(peer, "corners Skin", "uv");
    ASSERT_EQ(uvsSeen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(uvsSeen[i], expected[i], kPeerWriteTolerance) << i;

    // Our reader puts the texture back on the second layer, by the binding,
    // under its own name.
    KDuzScene* read = ReadBack(path);
    KDuzNode* statue = read->FindNode("Statue");
    ASSERT_NE(statue, nullptr);
    auto* readMesh = dynamic_cast<KDuzMesh*>(statue->GetNodeAttribute());
    ASSERT_NE(readMesh, nullptr);
    ASSERT_GE(readMesh->GetLayerCount(), 2);
    EXPECT_EQ(readMesh->GetLayer(0)->GetTexturesOfType(3), nullptr);
    const KDuzLayerElementTexture* readTextures = readMesh->GetLayer(1)->GetTexturesOfType(3);
    ASSERT_NE(readTextures, nullptr);
    ASSERT_EQ(readTextures->GetDirectArray().Count(), 1);
    EXPECT_EQ(std::string(readTextures->GetDirectArray()[0]->GetFileName()), (folder / "checker.png").string());
    // Named as ours is: the image's name, not its id.
    EXPECT_STREQ(readTextures->GetDirectArray()[0]->GetName(), "Checker");
    read->Destroy();
}

TEST_F(ColladaPeerFrameTest, ObjectsWithoutNamesGetValidUniqueIds) {
    KDuzMesh* mesh = Pyramid();
    KDuzSurfaceLambert* material = KDuzSurfaceLambert::Create(manager, "");
    SetOneMaterial(mesh, material);
    KDuzNode* unnamed = AddNode("", mesh);
    AddNode("", KDuzCamera::Create(manager, ""), unnamed);
    AddNode("node1", nullptr);   // a name the made ones must not take

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    ExpectValidDocument(path);
    const std::string text = ReadFile(path);
    EXPECT_FALSE(Has(text, "id=\"\"")) << text;
    EXPECT_FALSE(Has(text, "id=\"-")) << text;
    const std::string peer = LoadWithPeer(path);
    EXPECT_FALSE(Has(peer, "FAILED")) << peer;
    // The names the write made are not left in the scene.
    EXPECT_STREQ(unnamed->GetName(), "");
    EXPECT_STREQ(material->GetName(), "");
}

}  // namespace
}  // namespace colladatest
