// Scenes written as Collada by our writer and read back by our reader.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "formats/collada/ColladaTestSupport.h"
#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KDuzUserNotification.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "support/SceneDump.h"

using namespace duzsdk;

namespace {

// What a Collada round trip loses or changes by design, each with its
// reason: lines of the dump blocks whose header matches are left out of the
// comparison on both sides. A pattern is a list of alternatives split by
// "|"; one starting with "^" matches at the start, any other anywhere.
struct Loss {
    const char* header;
    const char* line;
    const char* reason;
};
const Loss kLosses[] = {
    {"^scene ", "^  sceneInfo ", "the reader makes scene information from the document's asset"},
    {"^scene ", "^  currentTake ", "the reader puts animation into a take of its own, \"Take 001\""},
    {"^object KDuzNode ", "RotationActive|rotationActive=|^  limits R ", "the reader turns rotation on for the nodes it reads"},
    {"^object KDuzNode ", "^  src KDuzSurface", "the reader connects a mesh's materials to its node"},
    {"^object KDuzSurface", "^  dst KDuzNode ", "the reader connects a mesh's materials to its node"},
    {"^object KDuzCamera ",
     "\"AspectH\"|\"FilmWidth\"|\"FilmHeight\"|\"FilmAspectRatio\"|\"FilmFormatIndex\"|\"FocusDistance\"|^  camera ",
     "film sizes travel in centimetres cut after five decimals; format, focus and interest are the reader's own"},
    {"^scene ", "^  takeInfo ", "the reader describes its take \"Take 001\""},
    {"^object KDuzNode |^object KDuzScene ",
     "\"DefaultAttributeIndex\"|^  attributes default=|^  attribute 0 KDuzNull|^  src KDuzNull|^  src KDuzPose",
     "nodes without an attribute come back with a null attribute, and each skin with a bind pose"},
};

// Whole objects that only the read scene has.
const Loss kMadeByReader[] = {
    {"^object KDuzSceneInfo", "", "the scene information made from the asset"},
    {"^object KDuzNull ", "", "the null attributes of nodes that had none"},
    {"^object KDuzPose ", "", "the bind pose of each skin"},
};

// Fields (up to the next blank) left out of the lines they are in.
struct LostField {
    const char* line;
    const char* field;
    const char* reason;
};
const LostField kLostFields[] = {
    {"^  cluster mode=", "mode=", "the reader gives its clusters link mode 0"},
    {" interp=0x4 ", "flags=", "linear keys come back with user tangents holding the written slopes"},
    {" interp=0x4 ", "tangent=", "linear keys come back with user tangents holding the written slopes"},
    {" interp=0x4 ", "data=", "linear keys come back with user tangents holding the written slopes"},
    {" interp=0x2 ", "flags=", "step keys come back with user tangents, which a step does not use"},
    {" interp=0x2 ", "tangent=", "step keys come back with user tangents, which a step does not use"},
};

bool Matches(const std::string& text, const std::string& pattern) {
    size_t start = 0;
    while (start <= pattern.size()) {
        size_t bar = pattern.find('|', start);
        if (bar == std::string::npos) bar = pattern.size();
        const std::string alternative = pattern.substr(start, bar - start);
        if (!alternative.empty() && alternative[0] == '^' ? text.rfind(alternative.substr(1), 0) == 0
                                                         : text.find(alternative) != std::string::npos)
            return true;
        start = bar + 1;
    }
    return false;
}

// Unnamed node attributes get numbered names from the renamers, in the
// order they meet them; the number is not compared.
std::string NameAttributes(std::string line) {
    for (size_t at = line.find("\"_ncl1_"); at != std::string::npos; at = line.find("\"_ncl1_", at + 1)) {
        size_t end = at + 7;
        while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end]))) ++end;
        line.erase(at + 6, end - at - 6);
    }
    return line;
}

// Every number with a point in single precision: the reader scans numbers as floats.
std::string RoundNumbers(const std::string& line) {
    std::string out;
    size_t i = 0;
    while (i < line.size()) {
        size_t j = i + (line[i] == '-' ? 1 : 0);
        size_t k = j;
        while (k < line.size() && std::isdigit(static_cast<unsigned char>(line[k]))) ++k;
        const bool fraction =
            k > j && k + 1 < line.size() && line[k] == '.' && std::isdigit(static_cast<unsigned char>(line[k + 1]));
        const bool minusZero = k == j + 1 && j == i + 1 && line[j] == '0' &&
                               (k == line.size() || (line[k] != '.' && line[k] != 'x'));
        if (fraction || minusZero) {
            size_t used = 0;
            double value = std::stod(line.substr(i), &used);
            // Values a matrix decomposition leaves near zero compare as zero.
            if (std::fabs(value) < 1e-5) value = 0.0;
            char text[32];
            std::snprintf(text, sizeof text, "%.6g", static_cast<double>(static_cast<float>(value)));
            out += text;
            i += used;
        } else {
            out += line[i++];
        }
    }
    return out;
}

// The dump without the losses above, numbers in single precision, colours
// without alpha (a Collada colour has none) and object names without the
// renaming bookkeeping (the current name stays).
std::string Comparable(const std::string& dump) {
    std::istringstream in(dump);
    std::string out;
    std::string header;
    std::string line;
    bool skipBlock = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != ' ') {
            header = NameAttributes(line);
            skipBlock = false;
            for (const Loss& made : kMadeByReader) skipBlock = skipBlock || Matches(line, made.header);
        }
        if (skipBlock) continue;
        bool lost = false;
        for (const Loss& loss : kLosses) lost = lost || (Matches(header, loss.header) && Matches(line, loss.line));
        if (lost) continue;
        const size_t initial = line.find(" initial=\"");
        if (line.rfind("  name ", 0) == 0 && initial != std::string::npos) line.erase(initial);
        const size_t ambient = line.find("ambient=(");
        if (ambient != std::string::npos) {
            const size_t close = line.find(')', ambient);
            const size_t alpha = line.rfind(' ', close);
            if (close != std::string::npos && alpha > ambient) line.erase(alpha, close - alpha);
        }
        for (const LostField& field : kLostFields) {
            const std::string text = line;
            if (!Matches(text, field.line)) continue;
            const size_t at = line.find(std::string(" ") + field.field);
            if (at != std::string::npos) line.erase(at, line.find(' ', at + 1) - at);
        }
        // Influences are written by control point: each cluster's points
        // come back in point order.
        const size_t weights = line.find("clusterWeights [");
        if (weights != std::string::npos) {
            std::istringstream entries(line.substr(weights + 16, line.find(']', weights) - weights - 16));
            std::vector<std::string> sorted;
            for (std::string entry; entries >> entry;) sorted.push_back(entry);
            std::sort(sorted.begin(), sorted.end());
            line.erase(weights);
            line += "clusterWeights [";
            for (size_t i = 0; i < sorted.size(); ++i) line += (i > 0 ? " " : "") + sorted[i];
            line += "]";
        }
        out += RoundNumbers(NameAttributes(line)) + "\n";
    }
    return out;
}

class ColladaRoundTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        manager->CreateUserNotification("", "")->AddEntry(6);
        scene = KDuzScene::Create(manager, "");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("colladart_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    // Writes the scene and reads it into a new scene; null on failure.
    KDuzScene* RoundTrip(bool singleMatrix = false) {
        const std::string path = (folder / "scene.dae").string();
        {
            KDuzWriterCollada writer(manager);
            KDuzStreamOptions* options = writer.GetWriteOptions();
            options->SetBoolOption("SINGLE MATRIX", singleMatrix);
            const bool written = writer.FileCreate(path.c_str()) && writer.Write(scene, options);
            options->Destroy();
            writer.FileClose();
            if (!written) return nullptr;
        }
        colladatest::ExpectValidDocument(path);
        KDuzScene* read = KDuzScene::Create(manager, "");
        KDuzReaderCollada reader(manager);
        if (!reader.FileOpen(path.c_str())) return nullptr;
        KDuzStreamOptions* options = reader.GetReadOptions(false);
        const bool ok = reader.Read(read, options);
        if (options != nullptr) options->Destroy();
        reader.FileClose();
        return ok ? read : nullptr;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    std::filesystem::path folder;
};

TEST_F(ColladaRoundTripTest, MeshLightsAndCameraReadBackEqual) {
    KDuzNode* node = KDuzNode::Create(manager, "Box");
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    const double points[5][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0.5, 1, 0.5}};
    mesh->InitControlPoints(5);
    for (int i = 0; i < 5; ++i) mesh->GetControlPoints()[i] = KgeTVector(points[i][0], points[i][1], points[i][2], 0);
    const int faces[5][4] = {{0, 1, 4, -1}, {1, 2, 4, -1}, {2, 3, 4, -1}, {3, 0, 4, -1}, {0, 3, 2, 1}};
    for (const auto& face : faces) {
        mesh->BeginPolygon();
        for (int k : face)
            if (k >= 0) mesh->AddPolygon(k);
    }
    if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
    KDuzLayer* layer = mesh->GetLayer(0);
    KDuzLayerElementNormal* normals = KDuzCreateLayerElementNormal(manager, "");
    normals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    for (int c = 0; c < mesh->GetPolygonVertexCount(); ++c) normals->GetDirectArray().Add(KgeTVector(0, c % 2, 1 - c % 2, 0));
    layer->SetNormals(normals);
    KDuzLayerElementUV* uvs = KDuzCreateLayerElementUV(manager, "");
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    uvs->GetDirectArray().Add(KgeUVVector(0, 0));
    uvs->GetDirectArray().Add(KgeUVVector(1, 0.5));
    for (int c = 0; c < mesh->GetPolygonVertexCount(); ++c) uvs->GetIndexArray().Add(c % 2);
    layer->SetUVsOfType(uvs, eLayerElementDiffuseTextures);
    KDuzSurfaceLambert* red = KDuzSurfaceLambert::Create(manager, "Red");
    KDuzSurfacePhong* blue = KDuzSurfacePhong::Create(manager, "Blue");
    KDuzLayerElementMaterial* materials = KDuzCreateLayerElementMaterial(manager, "");
    materials->SetMappingMode(KDuzLayerElement::eByPolygon);
    materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    materials->GetDirectArray().Add(red);
    materials->GetDirectArray().Add(blue);
    for (int index : {0, 0, 1, 1, 1}) materials->GetIndexArray().Add(index);
    layer->SetMaterials(materials);
    node->SetNodeAttribute(mesh);
    node->SetLclTranslation({1, 2, 3});
    node->SetLclRotation({10, 20, 30});
    node->SetLclScaling({1, 2, 0.5});
    scene->GetRootNode()->AddChild(node);
    KDuzLight* light = KDuzLight::Create(manager, "");
    light->SetColor(KDuzRGBAColor(0.25, 0.5, 1));
    KDuzNode* lamp = KDuzNode::Create(manager, "Lamp");
    lamp->SetNodeAttribute(light);
    node->AddChild(lamp);
    KDuzLight* spot = KDuzLight::Create(manager, "");
    spot->SetLightType(KDuzLight::ELightType(2));
    spot->SetConeAngle(40.0);
    spot->SetIntensity(50.0);
    KDuzNode* spotNode = KDuzNode::Create(manager, "Spot");
    spotNode->SetNodeAttribute(spot);
    spotNode->SetLclTranslation({0, 5, 0});
    scene->GetRootNode()->AddChild(spotNode);
    KDuzCamera* camera = KDuzCamera::Create(manager, "");
    camera->SetApertureMode(2);
    camera->SetFieldOfView(45.0);
    KDuzNode* cameraNode = KDuzNode::Create(manager, "Eye");
    cameraNode->SetNodeAttribute(camera);
    // A post-rotation of its own: the camera comes back turned as it was.
    cameraNode->SetRotationActive(true);
    cameraNode->SetLclRotation({0, 30, 0});
    cameraNode->SetPostRotation(0, KgeTVector(0, 0, 10, 0));
    scene->GetRootNode()->AddChild(cameraNode);
    KDuzScene* read = RoundTrip();
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(duztest::DiffDumps(Comparable(duztest::DumpScene(*scene)), Comparable(duztest::DumpScene(*read))), "");
}

TEST_F(ColladaRoundTripTest, AnimationAndSkinReadBackEqual) {
    // A mesh bound to two bones, the second bone animated in the take the
    // reader reads animation into.
    KDuzNode* hip = KDuzNode::Create(manager, "Hip");
    KDuzNode* knee = KDuzNode::Create(manager, "Knee");
    scene->GetRootNode()->AddChild(hip);
    hip->AddChild(knee);
    knee->SetLclTranslation({0, -1, 0});
    KDuzTakeNode* take = knee->CreateTakeNode("Take 001");
    ASSERT_NE(take, nullptr);
    KFCurve* curve = take->GetRotationXCurve();
    KTime second;
    second.SetSecondDouble(1.0);
    curve->KeySet(0, KTime(), 0.0f, kFCurveInterpolationLinear);
    curve->KeySet(1, second, 45.0f, kFCurveInterpolationLinear);
    ASSERT_TRUE(knee->SetCurrentTakeNodeByName("Take 001"));
    // Animated light colours, one curve a component, and a visibility curve.
    KDuzLight* light = KDuzLight::Create(manager, "");
    KDuzNode* lamp = KDuzNode::Create(manager, "Lamp");
    lamp->SetNodeAttribute(light);
    scene->GetRootNode()->AddChild(lamp);
    KDuzTakeNode* lampTake = lamp->CreateTakeNode("Take 001");
    ASSERT_NE(lampTake, nullptr);
    lampTake->GetColorXCurve()->KeySet(0, KTime(), 0.25f, kFCurveInterpolationLinear);
    lampTake->GetColorXCurve()->KeySet(1, second, 0.5f, kFCurveInterpolationLinear);
    lampTake->GetColorZCurve()->KeySet(0, KTime(), 1.0f, kFCurveInterpolationLinear);
    lampTake->GetColorZCurve()->KeySet(1, second, 0.125f, kFCurveInterpolationLinear);
    lampTake->GetVisibilityCurve()->KeySet(0, KTime(), 1.0f, kFCurveInterpolationConstant);
    lampTake->GetVisibilityCurve()->KeySet(1, second, 0.0f, kFCurveInterpolationConstant);
    ASSERT_TRUE(lamp->SetCurrentTakeNodeByName("Take 001"));

    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(3);
    mesh->GetControlPoints()[1] = KgeTVector(0, -1, 0, 0);
    mesh->GetControlPoints()[2] = KgeTVector(1, -2, 0, 0);
    mesh->BeginPolygon();
    for (int k : {0, 1, 2}) mesh->AddPolygon(k);
    // Normals by corner, as the reader gives them back.
    if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
    KDuzLayerElementNormal* normals = KDuzCreateLayerElementNormal(manager, "");
    normals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    for (int c = 0; c < 3; ++c) normals->GetDirectArray().Add(KgeTVector(0, 0, 1, 0));
    mesh->GetLayer(0)->SetNormals(normals);
    KDuzSkin* skin = KDuzSkin::Create(manager, "");
    mesh->AddDeformer(skin);
    for (KDuzNode* bone : {hip, knee}) {
        KDuzCluster* cluster = KDuzCluster::Create(manager, "");
        cluster->SetLink(bone);
        cluster->SetLinkMode(KDuzCluster::eTotalOne);
        cluster->SetTransformLinkMatrix(bone->GetGlobalTransform());
        cluster->AddControlPointIndex(bone == hip ? 0 : 2, 1.0);
        cluster->AddControlPointIndex(1, 0.5);
        skin->ConnectSrcObject(cluster);
    }
    KDuzNode* body = KDuzNode::Create(manager, "Body");
    body->SetNodeAttribute(mesh);
    scene->GetRootNode()->AddChild(body);

    KDuzScene* read = RoundTrip();
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(duztest::DiffDumps(Comparable(duztest::DumpScene(*scene)), Comparable(duztest::DumpScene(*read))), "");
}

TEST_F(ColladaRoundTripTest, SingleMatricesReadBackEqual) {
    KDuzNode* parent = KDuzNode::Create(manager, "Arm");
    parent->SetLclTranslation({1, 2, 3});
    parent->SetLclRotation({0, 0, 30});
    KDuzNode* child = KDuzNode::Create(manager, "Hand");
    child->SetLclTranslation({0, 4, 0});
    child->SetLclRotation({15, 0, 0});
    child->SetLclScaling({2, 2, 2});
    scene->GetRootNode()->AddChild(parent);
    parent->AddChild(child);
    KDuzScene* read = RoundTrip(true);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(duztest::DiffDumps(Comparable(duztest::DumpScene(*scene)), Comparable(duztest::DumpScene(*read))), "");
}

TEST_F(ColladaRoundTripTest, SampledMatricesReadBackAsTransformCurves) {
    KDuzNode* mover = KDuzNode::Create(manager, "Mover");
    scene->GetRootNode()->AddChild(mover);
    KDuzTakeNode* take = mover->CreateTakeNode("Take 001");
    ASSERT_NE(take, nullptr);
    KTime second;
    second.SetSecondDouble(1.0);
    take->GetTranslationXCurve()->KeySet(0, KTime(), 0.0f, kFCurveInterpolationLinear);
    take->GetTranslationXCurve()->KeySet(1, second, 10.0f, kFCurveInterpolationLinear);
    ASSERT_TRUE(mover->SetCurrentTakeNodeByName("Take 001"));
    KDuzScene* read = RoundTrip(true);
    ASSERT_NE(read, nullptr);
    KDuzNode* back = read->GetRootNode()->FindChild("Mover");
    ASSERT_NE(back, nullptr);
    KDuzTakeNode* backTake = back->GetCurrentTakeNode();
    ASSERT_NE(backTake, nullptr);
    // One key a sample, 30 a second.
    KFCurve* x = backTake->GetTranslationXCurve();
    ASSERT_EQ(x->KeyGetCount(), 31);
    EXPECT_NEAR(x->KeyGetValue(15), 5.0, 1e-4);
    EXPECT_NEAR(x->KeyGetValue(30), 10.0, 1e-4);
    EXPECT_NEAR(backTake->GetScalingYCurve()->KeyGetValue(30), 1.0, 1e-6);
}

TEST_F(ColladaRoundTripTest, EmptyMeshReadsBack) {
    KDuzNode* node = KDuzNode::Create(manager, "Nothing");
    node->SetNodeAttribute(KDuzMesh::Create(manager, ""));
    scene->GetRootNode()->AddChild(node);
    KDuzScene* read = RoundTrip();
    ASSERT_NE(read, nullptr);
    KDuzNode* back = read->GetRootNode()->FindChild("Nothing");
    ASSERT_NE(back, nullptr);
    auto* mesh = dynamic_cast<KDuzMesh*>(back->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 0);
    EXPECT_EQ(mesh->GetPolygonCount(), 0);
}

}  // namespace
