// A 3DS read puts the static transform of a node on the node before its take
// is made (so the node needs no look-up by name to set it): the node and its
// take hold the file's values, and the take has no keys for them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {
namespace {

using Vector3 = duzVectorTemplate3<double>;

KDuzNode* Triangle(KDuzSdkManager* manager, const char* name) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) mesh->GetControlPoints()[i] = KgeTVector(i == 1, i == 2, 0.0, 1.0);
    mesh->BeginPolygon(-1, -1, -1, false);
    for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
    mesh->EndPolygon();
    KDuzNode* node = KDuzNode::Create(manager, name);
    node->SetNodeAttribute(mesh);
    return node;
}

KDuzNode* FindIn(KDuzNode* node, const char* name) {
    if (std::string(node->GetName()) == name) return node;
    for (int i = 0; i < node->GetChildCount(); ++i)
        if (KDuzNode* found = FindIn(node->GetChild(i), name)) return found;
    return nullptr;
}

TEST(Reader3dsStaticTransform, StaticNodesAndTheirTakeHoldTheFileTransform) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("r3dsstatic_" + std::to_string(::getpid()) + ".3ds"))
                                 .string();
    {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "");
        KDuzNode* placed = Triangle(manager, "placed");
        placed->SetLclTranslation(Vector3(1.0, 2.0, 3.0));
        placed->SetLclRotation(Vector3(10.0, 20.0, 30.0));
        placed->SetLclScaling(Vector3(2.0, 3.0, 4.0));
        scene->GetRootNode()->AddChild(placed);
        scene->GetRootNode()->AddChild(Triangle(manager, "origin"));
        KDuzWriter3DS writer(manager);
        KDuzStreamOptions* options = writer.GetWriteOptions();
        ASSERT_TRUE(writer.FileCreate(path.c_str()));
        ASSERT_TRUE(writer.Write(scene, options));
        options->Destroy();
        manager->Destroy();
    }
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    {
        KDuzReader3DS reader(manager);
        ASSERT_TRUE(reader.FileOpen(path.c_str()));
        KDuzStreamOptions* options = reader.GetReadOptions(false);
        options->SetBoolOption("REFERENCENODE", false);
        ASSERT_TRUE(reader.Read(scene, options));
        reader.FileClose();
        options->Destroy();
    }
    std::filesystem::remove(path);

    struct Case {
        const char* node;
        Vector3 translation, rotation, scaling;
    };
    const Case cases[] = {
        {"placed", Vector3(1.0, 2.0, 3.0), Vector3(10.0, 20.0, 30.0), Vector3(2.0, 3.0, 4.0)},
        {"origin", Vector3(0.0, 0.0, 0.0), Vector3(0.0, 0.0, 0.0), Vector3(1.0, 1.0, 1.0)},
    };
    const char* channels[] = {"Lcl Translation", "Lcl Rotation", "Lcl Scaling"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node);
        KDuzNode* node = FindIn(scene->GetRootNode(), c.node);
        ASSERT_NE(node, nullptr);
        const Vector3 expected[3] = {c.translation, c.rotation, c.scaling};
        const Vector3 read[3] = {node->GetLclTranslation(), node->GetLclRotation(), node->GetLclScaling()};
        // The take the file's keyframes fill starts at the node's values.
        KDuzTakeNode* take = node->GetCurrentTakeNode();
        ASSERT_NE(take, nullptr);
        EXPECT_STREQ(take->GetName(), KDuzReader3DS::kTakeName);
        KFCurve* curves[3][3] = {
            {take->GetTranslationXCurve(), take->GetTranslationYCurve(), take->GetTranslationZCurve()},
            {take->GetRotationXCurve(), take->GetRotationYCurve(), take->GetRotationZCurve()},
            {take->GetScalingXCurve(), take->GetScalingYCurve(), take->GetScalingZCurve()}};
        for (int v = 0; v < 3; ++v) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(read[v][k], expected[v][k], 1e-4) << channels[v] << " " << k;
                ASSERT_NE(curves[v][k], nullptr);
                EXPECT_NEAR(curves[v][k]->GetDefaultValue(), expected[v][k], 1e-4) << channels[v] << " " << k;
                EXPECT_EQ(curves[v][k]->KeyGetCount(), 0) << channels[v] << " " << k;
            }
        }
    }
    manager->Destroy();
}

}  // namespace
}  // namespace duzsdk
