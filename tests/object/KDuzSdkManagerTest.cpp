#include "sdk/object/KDuzSdkManager.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzUserNotification.h"
#include "sdk/object/KWorld.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <gtest/gtest.h>

#include <vector>

namespace duzsdk {
namespace {

// A stand-in for a class whose own code lives in a higher layer: it
// answers as that class and counts how many of its kind are alive.
int gAlive = 0;

template <EDuzClass Class, int Kind = 0>
class Fake : public KDuzObject {
public:
    Fake(KDuzSdkManager* manager, const char* name) : KDuzObject(manager, name) { ++gAlive; }
    ~Fake() override { --gAlive; }
    KClassId GetClassId() const override { return KDuzClassIdOf(Class); }
    int GetNameKind() const override { return Kind; }
    static KDuzPlug* Creator(KDuzSdkManager* manager, const char* name) {
        auto* object = new Fake(manager, name);
        object->PostCreate();
        return object;
    }
};

// Installs creators for the duration of a test and puts the earlier ones back.
class CreatorScope {
public:
    void Set(EDuzClass id, KDuzClassCreator creator) {
        mSaved.push_back({id, KDuzClassIdOf(id).GetCreator()});
        KDuzClassTreeSetCreator(id, creator);
    }
    ~CreatorScope() {
        for (auto it = mSaved.rbegin(); it != mSaved.rend(); ++it) KDuzClassTreeSetCreator(it->first, it->second);
    }

private:
    std::vector<std::pair<EDuzClass, KDuzClassCreator>> mSaved;
};

class KDuzSdkManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        gAlive = 0;
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        creators.Set(eDuzClassScene, &Fake<eDuzClassScene, 17>::Creator);
        creators.Set(eDuzClassNode, &Fake<eDuzClassNode, 1>::Creator);
        creators.Set(eDuzClassMesh, &Fake<eDuzClassMesh, 14>::Creator);
        creators.Set(eDuzClassShape, &Fake<eDuzClassShape, 14>::Creator);
        creators.Set(eDuzClassSkin, &Fake<eDuzClassSkin, 18>::Creator);
        creators.Set(eDuzClassCluster, &Fake<eDuzClassCluster, 19>::Creator);
        creators.Set(eDuzClassSurfaceMaterial, &Fake<eDuzClassSurfaceMaterial, 3>::Creator);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Destroy();
        EXPECT_EQ(gAlive, 0);
    }

    KDuzObject* Create(EDuzClass id, const char* name) {
        return dynamic_cast<KDuzObject*>(manager->CreateObject(KDuzClassIdOf(id), name));
    }

    CreatorScope creators;
    KDuzSdkManager* manager = nullptr;
};

TEST_F(KDuzSdkManagerTest, LifeOfAScene) {
    KDuzObject* scene = Create(eDuzClassScene, "Scene");
    KDuzObject* root = Create(eDuzClassNode, "RootNode");
    KDuzObject* arm = Create(eDuzClassNode, "Arm");
    KDuzObject* hand = Create(eDuzClassNode, "Hand");
    KDuzObject* mesh = Create(eDuzClassMesh, "ArmMesh");
    KDuzObject* skin = Create(eDuzClassSkin, "Skin");
    KDuzObject* cluster = Create(eDuzClassCluster, "Cluster");
    KDuzObject* material = Create(eDuzClassSurfaceMaterial, "Wood");
    ASSERT_TRUE(scene && root && arm && hand && mesh && skin && cluster && material);

    root->ConnectToScene(scene);
    root->ConnectSrcObject(arm);
    arm->ConnectSrcObject(hand);
    arm->ConnectSrcObject(mesh);
    arm->ConnectSrcObject(material);
    mesh->ConnectSrcObject(skin);
    skin->ConnectSrcObject(cluster);
    EXPECT_EQ(hand->GetScene(), scene);
    EXPECT_EQ(cluster->GetScene(), scene);

    EXPECT_EQ(manager->GetObjectCount(), 8);
    EXPECT_EQ(manager->GetObjectCount(KDuzClassIdOf(eDuzClassNode)), 3);
    EXPECT_EQ(manager->GetObjectCount(KDuzClassIdOf(eDuzClassTakeNodeContainer)), 6);
    EXPECT_EQ(manager->GetObject(KDuzClassIdOf(eDuzClassNode), 1), arm);
    EXPECT_EQ(manager->GetObject(KDuzClassIdOf(eDuzClassNode), 3), nullptr);
    EXPECT_EQ(manager->GetObject(KDuzClassIdOf(eDuzClassNode), -1), nullptr);

    // Names: lookups are exact, prefixes included.
    EXPECT_EQ(manager->FindNode("Arm"), arm);
    arm->SetName("Arm", true);
    EXPECT_STREQ(arm->GetName(), "Model::Arm");
    EXPECT_EQ(manager->FindNode("Arm"), nullptr);
    EXPECT_EQ(manager->FindNode("Model::Arm"), arm);
    EXPECT_EQ(manager->FindNode("Model::Arm", 2), nullptr);
    EXPECT_EQ(manager->FindNode("RootNode", -3), root);
    EXPECT_EQ(manager->FindNode("RootNode", 3), nullptr);
    EXPECT_EQ(manager->FindSurfaceMaterial("Wood"), material);

    // A node destroyed without recursion takes its attribute and the
    // deformers below it, but leaves its child nodes and its materials.
    manager->DestroyObject(arm);
    EXPECT_EQ(manager->GetObjectCount(), 4);
    EXPECT_EQ(manager->FindNode("Hand"), hand);
    EXPECT_EQ(manager->FindSurfaceMaterial("Wood"), material);
    EXPECT_EQ(manager->GetObjectCount(KDuzClassIdOf(eDuzClassDeformer)), 0);
    EXPECT_EQ(manager->GetObjectCount(KDuzClassIdOf(eDuzClassSubDeformer)), 0);

    manager->Destroy();   // everything it still holds goes with it
    manager = nullptr;
    EXPECT_EQ(gAlive, 0);
}

TEST_F(KDuzSdkManagerTest, CountsByClassFollowTheTree) {
    Create(eDuzClassMesh, "m");
    Create(eDuzClassShape, "s");
    KDuzObject* plain = KDuzObject::Create(manager, "plain");
    ASSERT_NE(plain, nullptr);
    // A class without a creator of its own makes its ancestor's objects,
    // which report the class asked for.
    KDuzObject* nurbs = Create(eDuzClassNurbsCurve, "n");
    ASSERT_NE(nurbs, nullptr);
    EXPECT_TRUE(nurbs->IsRuntime(KDuzClassIdOf(eDuzClassGeometry)));
    EXPECT_EQ(manager->GetObjectCount(KDuzClassIdOf(eDuzClassGeometry)), 2);
    EXPECT_EQ(manager->GetObjectCount(KDuzClassIdOf(eDuzClassGeometryBase)), 3);
    EXPECT_EQ(manager->GetObjectCount(KClassId()), 4);
    EXPECT_EQ(manager->GetObject(KDuzObject::ClassId(), 2), plain);
    EXPECT_EQ(manager->GetObject(KDuzClassIdOf(eDuzClassScene), 0), nullptr);
}

TEST_F(KDuzSdkManagerTest, DestroyAllGoesSceneFirstThenNodesThenTheRest) {
    KDuzObject* scene = Create(eDuzClassScene, "Scene");
    KDuzObject* inScene = Create(eDuzClassNode, "in");
    KDuzObject* loose = Create(eDuzClassNode, "loose");
    KDuzObject* looseChild = Create(eDuzClassNode, "looseChild");
    Create(eDuzClassSurfaceMaterial, "unused");
    inScene->ConnectToScene(scene);
    loose->ConnectSrcObject(looseChild);
    manager->DestroyAllObjects();
    EXPECT_EQ(manager->GetObjectCount(), 0);
    EXPECT_EQ(gAlive, 0);
}

TEST_F(KDuzSdkManagerTest, OwnershipRule) {
    KDuzObject* node = Create(eDuzClassNode, "n");
    KDuzObject* child = Create(eDuzClassNode, "c");
    KDuzObject* mesh = Create(eDuzClassMesh, "m");
    KDuzObject* shape = Create(eDuzClassShape, "s");
    KDuzObject* skin = Create(eDuzClassSkin, "k");
    KDuzObject* cluster = Create(eDuzClassCluster, "cl");
    KDuzObject* material = Create(eDuzClassSurfaceMaterial, "mat");
    KDuzObject* scene = Create(eDuzClassScene, "sc");
    EXPECT_TRUE(manager->OwnsForDestroy(node, child, true));
    EXPECT_FALSE(manager->OwnsForDestroy(node, child, false));
    EXPECT_TRUE(manager->OwnsForDestroy(node, mesh, false));
    EXPECT_TRUE(manager->OwnsForDestroy(node, skin, false));
    EXPECT_FALSE(manager->OwnsForDestroy(node, material, true));
    EXPECT_TRUE(manager->OwnsForDestroy(mesh, skin, false));
    EXPECT_FALSE(manager->OwnsForDestroy(shape, skin, false));   // not a geometry
    EXPECT_TRUE(manager->OwnsForDestroy(skin, cluster, false));
    EXPECT_FALSE(manager->OwnsForDestroy(mesh, cluster, false));
    EXPECT_TRUE(manager->OwnsForDestroy(scene, material, false));
    EXPECT_FALSE(manager->OwnsForDestroy(material, scene, false));
    EXPECT_FALSE(manager->OwnsForDestroy(nullptr, scene, false));
}

TEST_F(KDuzSdkManagerTest, RecursiveCycleOfNodesIsDestroyedOnce) {
    KDuzObject* a = Create(eDuzClassNode, "a");
    KDuzObject* b = Create(eDuzClassNode, "b");
    a->ConnectSrcObject(b);
    b->ConnectSrcObject(a);
    manager->DestroyObjectRecursive(a, true);
    EXPECT_EQ(manager->GetObjectCount(), 0);
    EXPECT_EQ(gAlive, 0);
}

TEST_F(KDuzSdkManagerTest, FailuresAndExtras) {
    EXPECT_EQ(manager->CreateConstraint("c", 7), nullptr);
    EXPECT_EQ(manager->CreateConstraint("c", 0), nullptr);
    KDuzObject* constraint = manager->CreateConstraint("c", 2);
    ASSERT_NE(constraint, nullptr);   // made by the nearest creatable ancestor
    EXPECT_TRUE(constraint->IsRuntime(KDuzClassIdOf(eDuzClassConstraintRotation)));
    KDuzObject* switcher = manager->CreateCameraSwitcher();
    ASSERT_NE(switcher, nullptr);
    EXPECT_STREQ(switcher->GetName(), "");

    manager->GetError().ClearError();
    auto* stray = new KDuzObject(manager, "stray");
    stray->PostCreate();
    EXPECT_FALSE(manager->UnregisterObject(stray));
    EXPECT_EQ(manager->GetError().GetLastErrorIndex(), KDuzSdkManager::eObjectNotFound);
    EXPECT_STREQ(manager->GetError().GetLastErrorString(), "Object not found");
    stray->Destroy();

    KDuzUserNotification* note = manager->CreateUserNotification(KString("a"), KString("b"));
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(manager->CreateUserNotification(KString("c"), KString("d")), nullptr);
    EXPECT_EQ(manager->GetUserNotification(), note);

    manager->AdoptLayerElement(eDuzLayerElementListNormal, new std::vector<double>(8, 1.0));
    EXPECT_EQ(manager->GetLayerElementCount(eDuzLayerElementListNormal), 1);
}

TEST_F(KDuzSdkManagerTest, ClassesByFileType) {
    KClassId both = manager->RegisterClass("TestReaderClass", KDuzObject::ClassId(), nullptr, "Model", "Test");
    KClassId one = manager->RegisterClass("TestHalfClass", KDuzObject::ClassId(), nullptr, "Model", nullptr);
    EXPECT_EQ(manager->FindClassByDuzType("Model", "Test"), both);
    EXPECT_FALSE(manager->FindClassByDuzType("Model", "").IsValid());
    EXPECT_STREQ(one.GetDuzTypeName(), "");
    // Made by KDuzObject's creator, reporting the registered class.
    KDuzObject* object = dynamic_cast<KDuzObject*>(manager->CreateObject(both, "x"));
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(object->IsRuntime(both));
    EXPECT_FALSE(object->Is(both));
    EXPECT_EQ(manager->GetObjectCount(both), 1);
}

TEST_F(KDuzSdkManagerTest, SecondManagerSharesClassesAndDataTypes) {
    KClassId node = KDuzClassIdOf(eDuzClassNode);
    PropertyDataType vector = PropertyDataTypeFromName("Vector");
    ASSERT_TRUE(node.IsValid());
    ASSERT_TRUE(vector.IsValid());
    KDuzSdkManager* second = KDuzSdkManager::Create();
    EXPECT_EQ(KDuzSdkManager::GetLiveCount(), 2);
    EXPECT_EQ(KDuzClassIdOf(eDuzClassNode), node);
    EXPECT_EQ(PropertyDataTypeFromName("Vector"), vector);
    KDuzObject* onSecond = KDuzObject::Create(second, "x");
    EXPECT_EQ(second->GetObjectCount(), 1);
    EXPECT_EQ(manager->GetObjectCount(), 0);
    EXPECT_EQ(onSecond->GetSdkManager(), second);
    second->Destroy();

    // The last manager stops the SDK; a new one starts it again with the same ids.
    manager->Destroy();
    manager = nullptr;
    EXPECT_EQ(KDuzSdkManager::GetLiveCount(), 0);
    EXPECT_EQ(KWorldGet(), nullptr);
    manager = KDuzSdkManager::Create();
    EXPECT_NE(KWorldGet(), nullptr);
    EXPECT_EQ(KDuzClassIdOf(eDuzClassNode), node);
    EXPECT_NE(KDuzObject::Create(manager, "again"), nullptr);
}

}  // namespace
}  // namespace duzsdk
