// Scenes written with the DUZ 6 writer and read back with the DUZ 6 reader
// compare equal, in binary, ASCII and password-protected files.
#include <gtest/gtest.h>

#include "KDuzWriterDuz6SceneCompare.h"
#include "KDuzWriterDuz6TestSupport.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGenericNode.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzSkeleton.h"

using namespace duzsdk;
using namespace duztest;

namespace {

KDuzNode* AddNode(KDuzSdkManager* manager, KDuzNode* parent, const char* name, KDuzObject* attribute) {
    KDuzNode* node = KDuzNode::Create(manager, name);
    parent->AddChild(node);
    if (attribute != nullptr) node->SetNodeAttribute(attribute);
    return node;
}

void AddUserProperties(KDuzObject* object) {
    struct Row {
        const char* name;
        int kind;
        bool animatable;
    };
    static const Row kRows[] = {
        {"UserBool", eValueKindBool, true},      {"UserInt", eValueKindInt, true},
        {"UserFloat", eValueKindFloat, true},    {"UserDouble", eValueKindDouble, true},
        {"UserVector", eValueKindDouble3, true}, {"UserVector4", eValueKindDouble4, false},
        {"UserMatrix", eValueKindMatrix, false}, {"UserEnum", eValueKindEnum, false},
        {"UserString", eValueKindString, false}, {"UserTime", eValueKindTime, false},
    };
    for (const Row& row : kRows) {
        KDuzProperty property = KDuzProperty::Create(object, row.name, PropertyDataTypeTableGet(row.kind));
        property.ModifyFlag(kDuzPropertyUser, true);
        property.ModifyFlag(kDuzPropertyAnimatable, row.animatable);
        double values[16];
        for (int i = 0; i < 16; ++i) values[i] = 0.25 * (i + 1);
        switch (row.kind) {
            case eValueKindBool: { const bool v = true; property.SetValue(&v, row.kind); break; }
            case eValueKindInt: {
                const int v = -42;
                property.SetValue(&v, row.kind);
                property.SetMinLimit(-100);
                property.SetMaxLimit(100);
                break;
            }
            case eValueKindFloat: { const float v = 1.5f; property.SetValue(&v, row.kind); break; }
            case eValueKindEnum: {
                property.AddEnumValue("Off");
                property.AddEnumValue("On");
                const int v = 1;
                property.SetValue(&v, row.kind);
                break;
            }
            case eValueKindString: {
                const KString v("text \xc3\xa9t\xc3\xa9");
                property.SetValue(&v, row.kind);
                break;
            }
            case eValueKindTime: { const KTime v(123456789); property.SetValue(&v, row.kind); break; }
            default: property.SetValue(values, row.kind); break;
        }
    }
}

KDuzMesh* BuildMesh(KDuzSdkManager* manager, KDuzSurfaceMaterial* red, KDuzSurfaceMaterial* blue,
                    KDuzTexture* texture) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(5);
    for (int i = 0; i < 5; ++i) mesh->GetControlPoints()[i] = KgeTVector(i * 0.5, i * 1.25, -i * 2.0, 1.0);
    const int polygons[2][4] = {{0, 1, 2, -1}, {2, 1, 3, 4}};
    for (const auto& polygon : polygons) {
        mesh->BeginPolygon();
        for (int corner : polygon)
            if (corner >= 0) mesh->AddPolygon(corner);
        mesh->EndPolygon();
    }
    while (mesh->GetLayerCount() < 2) mesh->CreateLayer();
    KDuzLayer* layer0 = mesh->GetLayer(0);
    KDuzLayer* layer1 = mesh->GetLayer(1);

    auto* normals = KDuzCreateLayerElementNormal(manager, "normals");
    normals->SetMappingMode(KDuzLayerElement::eByControlPoint);
    for (int i = 0; i < 5; ++i) normals->GetDirectArray().Add(KgeTVector(0, 1, 0.5 * i, 0));
    layer0->SetNormals(normals);

    auto* uvs = KDuzCreateLayerElementUV(manager, "uv");
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    uvs->GetDirectArray().Add(KgeUVVector(0, 0));
    uvs->GetDirectArray().Add(KgeUVVector(1, 0.5));
    for (int i = 0; i < 7; ++i) uvs->GetIndexArray().Add(i % 2);
    layer0->SetUVsOfType(uvs, 3);
    auto* bumpUVs = KDuzCreateLayerElementUV(manager, "bump uv");
    bumpUVs->SetMappingMode(KDuzLayerElement::eByControlPoint);
    for (int i = 0; i < 5; ++i) bumpUVs->GetDirectArray().Add(KgeUVVector(i, -i));
    layer1->SetUVsOfType(bumpUVs, 19);

    auto* colors = KDuzCreateLayerElementVertexColor(manager, "colors");
    colors->SetMappingMode(KDuzLayerElement::eByPolygon);
    colors->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    colors->GetDirectArray().Add(KDuzRGBAColor(1, 0, 0, 1));
    colors->GetDirectArray().Add(KDuzRGBAColor(0, 0.5, 1, 0.25));
    colors->GetIndexArray().Add(1);
    colors->GetIndexArray().Add(0);
    layer1->SetVertexColors(colors);

    auto* groups = KDuzCreateLayerElementPolygonGroup(manager, "groups");
    groups->SetMappingMode(KDuzLayerElement::eByPolygon);
    groups->SetReferenceMode(KDuzLayerElement::eIndex);
    groups->GetIndexArray().Add(0);
    groups->GetIndexArray().Add(3);
    layer0->SetPolygonGroups(groups);

    auto* smoothing = KDuzCreateLayerElementSmoothing(manager, "smooth");
    smoothing->SetMappingMode(KDuzLayerElement::eByPolygon);
    smoothing->GetDirectArray().Add(true);
    smoothing->GetDirectArray().Add(false);
    layer0->SetSmoothing(smoothing);

    auto* visibility = KDuzCreateLayerElementVisibility(manager, "visible");
    visibility->SetMappingMode(KDuzLayerElement::eByPolygon);
    visibility->GetDirectArray().Add(false);
    visibility->GetDirectArray().Add(true);
    layer1->SetVisibility(visibility);

    auto* user = KDuzCreateLayerElementUserData(
        manager, "user", 7, {PropertyDataTypeTableGet(eValueKindFloat), PropertyDataTypeTableGet(eValueKindInt)},
        {KString("weight"), KString("id")});
    user->SetMappingMode(KDuzLayerElement::eByControlPoint);
    user->ResizeAllDirectArrays(5);
    for (int i = 0; i < 5; ++i) {
        const float weight = 0.125f * i;
        const int id = 100 + i;
        std::memcpy(static_cast<unsigned char*>(user->GetDirectArrayOf(0)->Data()) + i * sizeof(float), &weight,
                    sizeof weight);
        std::memcpy(static_cast<unsigned char*>(user->GetDirectArrayOf(1)->Data()) + i * sizeof(int), &id, sizeof id);
    }
    layer0->SetUserData(user);

    auto* materials = KDuzCreateLayerElementMaterial(manager, "");
    materials->SetMappingMode(KDuzLayerElement::eByPolygon);
    materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    materials->GetDirectArray().Add(red);
    materials->GetDirectArray().Add(blue);
    materials->GetIndexArray().Add(1);
    materials->GetIndexArray().Add(0);
    layer0->SetMaterials(materials);

    auto* textures = KDuzCreateLayerElementTexture(manager, "");
    textures->SetMappingMode(KDuzLayerElement::eAllSame);
    textures->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    textures->SetBlendMode(2);
    textures->SetAlpha(0.75);
    textures->GetDirectArray().Add(texture);
    textures->GetIndexArray().Add(0);
    layer0->SetTexturesOfType(3, textures);
    return mesh;
}

void AddCurves(KDuzNode* node, const char* take, double scale) {
    KDuzTakeNode* takeNode = node->CreateTakeNode(take);
    ASSERT_NE(takeNode, nullptr);
    KFCurve* tx = takeNode->GetTranslationXCurve();
    KFCurve* ry = takeNode->GetRotationYCurve();
    ASSERT_NE(tx, nullptr);
    ASSERT_NE(ry, nullptr);
    tx->KeySet(0, KTime(0), static_cast<float>(1.0 * scale), kFCurveInterpolationLinear);
    tx->KeySet(1, KTime(KTime::kTicksPerSecond), static_cast<float>(2.0 * scale), kFCurveInterpolationLinear);
    ry->KeySet(0, KTime(KTime::kTicksPerSecond / 2), 45.0f, kFCurveInterpolationConstant);
}

// Builds a scene with an object of every kind the writer knows.
void BuildRichScene(KDuzSdkManager* manager, KDuzScene* scene) {
    KDuzNode* root = scene->GetRootNode();
    auto* red = KDuzSurfacePhong::Create(manager, "Red");
    auto* blue = KDuzSurfaceLambert::Create(manager, "Blue");
    scene->ConnectSrcObject(red);
    scene->ConnectSrcObject(blue);
    auto* texture = KDuzTexture::Create(manager, "Bricks");
    texture->SetFileName("/nonexistent/bricks.bmp");
    texture->SetRelativeFileName("bricks.bmp");
    texture->SetMediaName("BricksClip");
    texture->SetAlphaSource(2);
    texture->SetModelUVTranslation(0.5, 0.25);
    texture->SetCropping(1, 2, 3, 4);
    scene->ConnectSrcObject(texture);

    KDuzNode* body = AddNode(manager, root, "Body", BuildMesh(manager, red, blue, texture));
    body->SetLclTranslation(duzVectorTemplate3<double>(1.5, -2.0, 3.25));
    body->SetLclRotation(duzVectorTemplate3<double>(10, 20, 30));
    body->SetLclScaling(duzVectorTemplate3<double>(2, 2, 0.5));
    body->SetRotationPivot(0, KgeTVector(0.5, 0.5, 0.5, 0));
    body->SetRotationOrder(0, 3);
    body->SetCullingType(2);
    body->SetShadingMode(4);
    AddUserProperties(body);

    auto* null = KDuzNull::Create(manager, "");
    KDuzNode* group = AddNode(manager, root, "Group", null);
    group->SetVisibility(false);
    group->SetMultiLayer(true);
    auto* skeletonRoot = KDuzSkeleton::Create(manager, "");
    skeletonRoot->SetSkeletonType(KDuzSkeleton::eRoot);
    KDuzNode* hips = AddNode(manager, group, "Hips", skeletonRoot);
    auto* limbNode = KDuzSkeleton::Create(manager, "");
    limbNode->SetSkeletonType(KDuzSkeleton::eLimbNode);
    AddNode(manager, hips, "Knee", limbNode);
    auto* marker = KDuzMarker::Create(manager, "");
    AddNode(manager, group, "Mark", marker);
    auto* light = KDuzLight::Create(manager, "");
    light->SetLightType(KDuzLight::eSpot);
    AddNode(manager, root, "Lamp", light);
    auto* camera = KDuzCamera::Create(manager, "");
    camera->SetPosition(KgeTVector(1, 2, 3, 0));
    AddNode(manager, root, "Eye", camera);
    KDuzNode* plain = AddNode(manager, root, "Plain", nullptr);
    body->ConnectSrcObject(red);

    auto* generic = KDuzGenericNode::Create(manager, "Helper");
    scene->ConnectSrcObject(generic);
    AddUserProperties(generic);

    auto* bind = KDuzPose::Create(manager, "BindPose");
    bind->SetIsBindPose(true);
    KgeMatrix matrix;
    for (int i = 0; i < 16; ++i) matrix.Data()[i] = i * 0.5;
    bind->Add(body, matrix);
    scene->ConnectSrcObject(bind);
    auto* rest = KDuzPose::Create(manager, "RestPose");
    rest->SetIsBindPose(false);
    rest->Add(hips, matrix, true);
    rest->Add(plain, matrix, false);
    scene->ConnectSrcObject(rest);

    AddCurves(body, "Walk", 1.0);
    AddCurves(hips, "Walk", 2.0);
    AddCurves(body, "Run", 3.0);
    KDuzTakeDescription walk;
    walk.name = "Walk";
    walk.comments = "a walk";
    walk.localStart = KTime(0);
    walk.localStop = KTime(KTime::kTicksPerSecond * 2);
    walk.referenceStart = KTime(0);
    walk.referenceStop = KTime(KTime::kTicksPerSecond * 2);
    scene->SetTakeDescription(walk);
    KDuzTakeDescription run = walk;
    run.name = "Run";
    run.comments = "";
    run.localStop = KTime(KTime::kTicksPerSecond);
    scene->SetTakeDescription(run);
    scene->SetCurrentTake("Walk");
}

class Duz6RoundTrip : public WriterTestBase, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(Duz6RoundTrip, RichSceneReadsBackEqual) {
    BuildRichScene(manager, scene);
    KDuzStreamOptionsDuzWriter* options = WriteOptions();
    const bool protectedFile = GetParam() == kEnciphered;
    if (protectedFile) {
        options->SetBoolOption("PASSWORD ENABLE", true);
        options->SetStringOption("PASSWORD", "secret");
    }
    KDuzScene* read = RoundTrip(scene, GetParam(), options, protectedFile ? "secret" : nullptr);
    ASSERT_NE(read, nullptr);
    // Doubles keep 15 significant digits in ASCII; binary keeps every bit.
    SceneCompare compare(GetParam() == kAscii ? 1e-14 : 0.0);
    const std::vector<std::string> differences = compare.Compare(*scene, *read);
    EXPECT_TRUE(differences.empty()) << JoinLines(differences);
}

#include "tests/support/SceneDump.h"

#include "tests/support/RandomScene.h"

// Random scenes over many seeds; a failure names its seed and leaves the
// two scene dumps for a closer look when DUZ_KEEP_DUMPS names a folder.
TEST_P(Duz6RoundTrip, RandomScenesReadBackEqual) {
    const char* count = std::getenv("DUZ_RANDOM_SEEDS");
    const int seeds = count != nullptr ? std::atoi(count) : 100;
    const int format = GetParam();
    for (int n = 0; n < seeds; ++n) {
        const uint32_t seed = static_cast<uint32_t>(1 + 3 * n + format);
        KDuzScene* source = KDuzScene::Create(manager, "");
        BuildRandomScene(*manager, *source, seed);
        const std::string path = PathOf("random.duz");
        ASSERT_TRUE(Export(source, path, format, WriteOptions())) << "seed " << seed << ": " << lastExportError;
        KDuzScene* read = Import(path);
        ASSERT_NE(read, nullptr) << "seed " << seed << ": " << lastImportError;
        SceneCompare compare(format == kAscii ? 1e-14 : 0.0);
        const std::vector<std::string> differences = compare.Compare(*source, *read);
        if (!differences.empty()) {
            if (const char* keep = std::getenv("DUZ_KEEP_DUMPS")) {
                std::ofstream(std::string(keep) + "/written.txt") << DumpScene(*source);
                std::ofstream(std::string(keep) + "/read.txt") << DumpScene(*read);
            }
            FAIL() << "seed " << seed << " (" << FormatName(format) << ")\n" << JoinLines(differences);
        }
        read->Destroy();
        source->Destroy();
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Duz6RoundTrip, ::testing::Values(kBinary, kAscii, kEnciphered),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(FormatName(info.param)); });
