#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "PhysicsTestWorld.h"

using namespace physicstest;

TEST(PhysicsEngineTest, CreationChecksVersionAndDescriptor)
{
    struct Case {
        const char* name;
        uint32_t version;
        PhysicsEngineDesc desc;
        PhysicsCreateError expected;
    };
    PhysicsEngineDesc noPages;
    noPages.hardwareMaxPages = 0;
    const Case cases[] = {
        {"the game's request", 0x2070000, PhysicsEngineDesc(), PhysicsCreateError::None},
        {"older interface", 0x2060000, PhysicsEngineDesc(), PhysicsCreateError::WrongVersion},
        {"a zero limit", 0x2070000, noPages, PhysicsCreateError::DescriptorInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PhysicsCreateError error = PhysicsCreateError::InUse;
        auto engine = PhysicsEngine::Create(c.version, nullptr, c.desc, &error);
        EXPECT_EQ(error, c.expected);
        EXPECT_EQ(engine != nullptr, c.expected == PhysicsCreateError::None);
    }
}

TEST(PhysicsEngineTest, EnvironmentCanForceACreationFailure)
{
    ASSERT_EQ(setenv(PhysicsEngine::kForceErrorVariable, "2", 1), 0);
    PhysicsCreateError error = PhysicsCreateError::None;
    auto engine = PhysicsEngine::Create(kPhysicsInterfaceVersion, nullptr, PhysicsEngineDesc(), &error);
    unsetenv(PhysicsEngine::kForceErrorVariable);
    EXPECT_EQ(engine, nullptr);
    EXPECT_EQ(error, PhysicsCreateError::WrongVersion);
}

TEST(PhysicsEngineTest, ParametersAreKeptByNumber)
{
    GameWorld world;
    // The game's settings, in its order; a later value replaces an earlier one.
    const std::pair<int, float> settings[] = {{1, 0.01f}, {9, 1}, {39, 1}, {37, 1}, {8, 1},
                                              {73, 0.01f}, {1, 0.0025f}, {9, 1}, {39, 1}, {37, 1}};
    for (const auto& [parameter, value] : settings)
        EXPECT_TRUE(world.engine->SetParameter(parameter, value));
    EXPECT_FLOAT_EQ(world.engine->Parameter(8), 1.0f);
    EXPECT_FLOAT_EQ(world.engine->Parameter(1), 0.0025f);
    EXPECT_FLOAT_EQ(world.engine->Parameter(2), 0.0f);
    EXPECT_FALSE(world.engine->SetParameter(-1, 1.0f));
    EXPECT_FALSE(world.engine->SetParameter(PhysicsEngine::kParameterCount, 1.0f));
    EXPECT_FLOAT_EQ(world.engine->Parameter(1000), 0.0f);
}

TEST(PhysicsEngineTest, HardwareSceneFailsAndSoftwareSceneTakesTheGameValues)
{
    RecordingReporter reporter;
    auto engine = PhysicsEngine::Create(kPhysicsInterfaceVersion, &reporter, PhysicsEngineDesc(), nullptr);
    ASSERT_NE(engine, nullptr);
    PhysicsSceneDesc desc;
    desc.gravity = {0.0f, -80.0f, 0.0f};
    desc.simulationType = PhysicsSimulationType::Hardware;
    EXPECT_EQ(engine->CreateScene(desc), nullptr);
    EXPECT_EQ(reporter.errors.size(), 1u);
    desc.simulationType = PhysicsSimulationType::Software;
    PhysicsScene* scene = engine->CreateScene(desc);
    ASSERT_NE(scene, nullptr);
    EXPECT_FLOAT_EQ(scene->Gravity().y, -80.0f);
    EXPECT_FLOAT_EQ(scene->FixedTimestep(), 1.0f / 60.0f);
    EXPECT_EQ(scene->MaxIterations(), 8u);
    EXPECT_EQ(engine->SceneCount(), 1u);

    desc.maxIterations = 0;
    EXPECT_EQ(engine->CreateScene(desc), nullptr);
    EXPECT_EQ(reporter.assertions, 1);
}

TEST(PhysicsEngineTest, MaterialsAndGroupPairs)
{
    GameWorld world;
    const PhysicsMaterial* material = world.scene->Material(0);
    ASSERT_NE(material, nullptr);
    EXPECT_FLOAT_EQ(material->restitution, 0.5f);
    EXPECT_FLOAT_EQ(material->staticFriction, 0.5f);
    EXPECT_FLOAT_EQ(material->dynamicFriction, 0.5f);
    EXPECT_EQ(world.scene->Material(1), nullptr);
    EXPECT_EQ(world.scene->CreateMaterial({0.1f, 0.2f, 0.3f}), 1);

    world.scene->SetGroupCollisionFlag(3, 4, false);
    EXPECT_FALSE(world.scene->GroupCollisionFlag(4, 3));
    EXPECT_TRUE(world.scene->GroupCollisionFlag(11, 0));
    EXPECT_TRUE(world.scene->GroupCollisionFlag(3, 5));
    world.scene->SetGroupCollisionFlag(40, 0, false);
    EXPECT_FALSE(world.scene->GroupCollisionFlag(40, 0));
    EXPECT_EQ(world.reporter.errors.size(), 1u);
}

TEST(PhysicsEngineTest, ShapeTypesHaveTheirNumbers)
{
    GameWorld world;
    MemoryPhysicsStream stream;
    ASSERT_TRUE(world.cooker->CookTriangleMesh(Floor().Desc(), stream));
    PhysicsTriangleMesh* mesh = world.engine->CreateTriangleMesh(stream);
    ASSERT_NE(mesh, nullptr);
    struct Case {
        PhysicsShapeType type;
        int number;
    };
    const Case cases[] = {{PhysicsShapeType::Plane, 0}, {PhysicsShapeType::Sphere, 1}, {PhysicsShapeType::Box, 2},
                          {PhysicsShapeType::Capsule, 3}, {PhysicsShapeType::TriangleMesh, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        PhysicsShapeDesc shape;
        shape.type = c.type;
        shape.mesh = mesh;
        PhysicsActorDesc desc;
        desc.shapes.push_back(shape);
        PhysicsActor* actor = world.scene->CreateActor(desc);
        ASSERT_NE(actor, nullptr);
        EXPECT_EQ(static_cast<int>(actor->Shape(0)->Type()), c.number);
        EXPECT_FALSE(actor->IsDynamic());
    }
    // The world has no wheels, convex hulls or height fields.
    for (PhysicsShapeType missing :
         {PhysicsShapeType::Wheel, PhysicsShapeType::Convex, PhysicsShapeType::HeightField}) {
        PhysicsActorDesc desc;
        desc.shapes.push_back({});
        desc.shapes.back().type = missing;
        EXPECT_EQ(world.scene->CreateActor(desc), nullptr);
    }
}

TEST(PhysicsEngineTest, MeshActorsAsTheGameMakesThem)
{
    GameWorld world;
    MeshData box;
    box.Box({0, 0, 0}, {1, 2, 3});
    PhysicsActor* actor = world.AddMesh(box, 0, {1.0f, 2.0f, 3.0f});
    ASSERT_NE(actor, nullptr);
    EXPECT_TRUE(actor->IsDynamic());
    EXPECT_EQ(actor->BodyFlags(), 2430u);
    EXPECT_EQ(actor->Group(), 10);
    EXPECT_FLOAT_EQ(actor->GlobalPosition().y, 2.0f);
    EXPECT_FLOAT_EQ(actor->Mass(), 50000.0f * 6.0f);   // density times the mesh's extent
    ASSERT_EQ(actor->ShapeCount(), 1u);
    EXPECT_TRUE(actor->Shapes()[0]->SetGroup(1));
    EXPECT_EQ(actor->Shapes()[0]->Group(), 1);
    EXPECT_FALSE(actor->Shapes()[0]->SetGroup(32));
    EXPECT_EQ(actor->Shapes()[0]->Group(), 1);

    // Ground, mesh actor, then the controller's actor, in creation order.
    CapsuleController* capsule = world.AddCapsule({0.0, 2.0, 0.0});
    ASSERT_EQ(world.scene->ActorCount(), 3u);
    EXPECT_EQ(world.scene->Actors()[0], world.groundActor);
    EXPECT_EQ(world.scene->Actors()[1], actor);
    PhysicsActor* user = world.scene->Actors()[2];
    EXPECT_EQ(user, capsule->Actor());
    user->SetGroup(5);
    EXPECT_TRUE(user->SetMass(3000.0f));
    EXPECT_FLOAT_EQ(user->Mass(), 3000.0f);
    EXPECT_FALSE(world.groundActor->SetMass(1.0f));   // static actors have no mass
    EXPECT_EQ(user->Shape(0)->Type(), PhysicsShapeType::Capsule);
    user->PutToSleep();
    EXPECT_TRUE(user->IsSleeping());
    EXPECT_EQ(user->UserData(), nullptr);
    int tag = 0;
    user->SetUserData(&tag);
    EXPECT_EQ(user->UserData(), &tag);
}

TEST(PhysicsEngineTest, MeshesStayWhileShapesUseThem)
{
    GameWorld world;
    PhysicsActor* actor = world.AddMesh(Floor());
    ASSERT_NE(actor, nullptr);
    PhysicsTriangleMesh* mesh = actor->Shape(0)->Desc().mesh;
    EXPECT_EQ(mesh->ReferenceCount(), 1u);
    EXPECT_FALSE(world.engine->ReleaseTriangleMesh(mesh));
    world.scene->ReleaseActor(actor);
    EXPECT_EQ(mesh->ReferenceCount(), 0u);
    EXPECT_TRUE(world.engine->ReleaseTriangleMesh(mesh));
    EXPECT_EQ(world.engine->TriangleMeshCount(), 0u);
}

TEST(PhysicsEngineTest, RefusesActorsThatCannotBe)
{
    GameWorld world;
    const uint32_t before = world.scene->ActorCount();
    PhysicsActorDesc noShapes;
    EXPECT_EQ(world.scene->CreateActor(noShapes), nullptr);

    PhysicsBodyDesc body;
    PhysicsActorDesc dynamicPlane;
    dynamicPlane.shapes.push_back({});
    dynamicPlane.body = &body;
    EXPECT_EQ(world.scene->CreateActor(dynamicPlane), nullptr);

    PhysicsActorDesc badSphere;
    badSphere.shapes.push_back({});
    badSphere.shapes.back().type = PhysicsShapeType::Sphere;
    badSphere.shapes.back().radius = -1.0f;
    EXPECT_EQ(world.scene->CreateActor(badSphere), nullptr);

    PhysicsActorDesc meshWithoutMesh;
    meshWithoutMesh.shapes.push_back({});
    meshWithoutMesh.shapes.back().type = PhysicsShapeType::TriangleMesh;
    EXPECT_EQ(world.scene->CreateActor(meshWithoutMesh), nullptr);

    EXPECT_EQ(world.scene->ActorCount(), before);
    EXPECT_EQ(world.reporter.assertions, 4);
}

TEST(PhysicsEngineTest, SimulationRunsFixedStepsWithABudget)
{
    GameWorld world;
    PhysicsScene& scene = *world.scene;
    // The game's first step of 0.2 s is twelve fixed steps; eight are run, the rest dropped.
    EXPECT_TRUE(scene.Simulate(0.2f));
    EXPECT_FALSE(scene.Simulate(0.1f));   // the previous step is not fetched yet
    EXPECT_TRUE(scene.FetchResults(true));
    EXPECT_FALSE(scene.FetchResults(true));
    EXPECT_EQ(scene.StepCount(), 8u);
    EXPECT_NEAR(scene.SimulatedTime(), 8.0 / 60.0, 1e-6);   // the step is a float

    // Short frames accumulate into whole steps.
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(scene.Simulate(1.0f / 120.0f));
        EXPECT_TRUE(scene.FetchResults(true));
    }
    EXPECT_EQ(scene.StepCount(), 9u);
    EXPECT_FALSE(scene.Simulate(-1.0f));
    EXPECT_FALSE(scene.Simulate(NAN));
    EXPECT_EQ(scene.StepCount(), 9u);

    // Static and frozen actors keep their pose through simulation.
    PhysicsActor* actor = world.AddMesh(Floor(), 1, {0.0f, 3.0f, 0.0f});
    EXPECT_TRUE(scene.Simulate(1.0f));
    EXPECT_TRUE(scene.FetchResults(true));
    EXPECT_FLOAT_EQ(actor->GlobalPosition().y, 3.0f);
}
