#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/physics/CapsuleController.h"
#include "platform/physics/MeshCooker.h"
#include "platform/physics/PhysicsEngine.h"
#include "platform/physics/PhysicsStream.h"

namespace physicstest {

using namespace duzplatform;

// Keeps every report so tests can tell a refused request from a silent one.
class RecordingReporter : public PhysicsErrorReporter {
public:
    void ReportError(PhysicsErrorCode code, const char* message, const char*, int) override
    {
        errors.push_back(code);
        messages.emplace_back(message);
    }
    PhysicsAssertAnswer ReportAssertViolation(const char* message, const char*, int) override
    {
        messages.emplace_back(message);
        ++assertions;
        return PhysicsAssertAnswer::Ignore;
    }
    void Print(const char* message) override { messages.emplace_back(message); }

    std::vector<PhysicsErrorCode> errors;
    std::vector<std::string> messages;
    int assertions = 0;
};

class MallocAllocator : public PhysicsAllocator {
public:
    void* Allocate(size_t size) override { ++live; return std::malloc(size); }
    void* Allocate(size_t size, const char*, int) override { ++live; return std::malloc(size); }
    void* Reallocate(void* memory, size_t size) override { return std::realloc(memory, size); }
    void Release(void* memory) override
    {
        if (memory != nullptr)
            --live;
        std::free(memory);
    }
    void CheckMemory() override {}

    int live = 0;
};

struct MeshData {
    std::vector<float> points;
    std::vector<uint32_t> indices;

    // Adds a quad a-b-c-d as two triangles.
    void Quad(const PhysicsVec3& a, const PhysicsVec3& b, const PhysicsVec3& c, const PhysicsVec3& d)
    {
        const uint32_t base = static_cast<uint32_t>(points.size() / 3);
        for (const PhysicsVec3& p : {a, b, c, d})
            points.insert(points.end(), {p.x, p.y, p.z});
        indices.insert(indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }

    // An axis-aligned box as twelve triangles.
    void Box(const PhysicsVec3& low, const PhysicsVec3& high)
    {
        const float x0 = low.x, y0 = low.y, z0 = low.z, x1 = high.x, y1 = high.y, z1 = high.z;
        Quad({x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1});   // top
        Quad({x0, y0, z0}, {x0, y0, z1}, {x1, y0, z1}, {x1, y0, z0});   // bottom
        Quad({x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1});   // -x
        Quad({x1, y0, z0}, {x1, y0, z1}, {x1, y1, z1}, {x1, y1, z0});   // +x
        Quad({x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0});   // -z
        Quad({x0, y0, z1}, {x0, y1, z1}, {x1, y1, z1}, {x1, y0, z1});   // +z
    }

    TriangleMeshDesc Desc() const
    {
        TriangleMeshDesc desc;
        desc.numVertices = static_cast<uint32_t>(points.size() / 3);
        desc.numTriangles = static_cast<uint32_t>(indices.size() / 3);
        desc.points = points.empty() ? nullptr : points.data();
        desc.triangles = indices.empty() ? nullptr : indices.data();
        return desc;
    }
};

// The game's world: gravity (0, -80, 0), fixed 1/60 s steps, at most 8 of them,
// default material 0.5/0.5/0.5, a ground plane, static mesh actors in group 1
// and a capsule of radius 1 and height 1 (slope limit 0.707, skin 0.1, step 1).
class GameWorld {
public:
    static constexpr uint32_t kGameGroups = 6;   // groups 1 and 2: scenery and the user

    GameWorld()
    {
        PhysicsCreateError error = PhysicsCreateError::None;
        engine = PhysicsEngine::Create(kPhysicsInterfaceVersion, &reporter, PhysicsEngineDesc(), &error);
        if (!engine)
            return;
        PhysicsSceneDesc sceneDesc;
        sceneDesc.gravity = {0.0f, -80.0f, 0.0f};
        sceneDesc.maxTimestep = 1.0f / 60.0f;
        sceneDesc.maxIterations = 8;
        scene = engine->CreateScene(sceneDesc);
        if (scene == nullptr)
            return;
        *scene->Material(0) = {0.5f, 0.5f, 0.5f};
        PhysicsShapeDesc plane;
        plane.type = PhysicsShapeType::Plane;
        PhysicsActorDesc ground;
        ground.shapes.push_back(plane);
        groundActor = scene->CreateActor(ground);
        cooker = MeshCooker::Create(kPhysicsInterfaceVersion);
        cooker->Init();
        scene->SetGroupCollisionFlag(11, 0, true);
        manager = std::make_unique<ControllerManager>(allocator);
    }

    // A static frozen mesh actor, made the way the game makes one, in the given group.
    PhysicsActor* AddMesh(const MeshData& mesh, uint16_t group = 1, PhysicsVec3 position = {})
    {
        MemoryPhysicsStream stream;
        if (!cooker->CookTriangleMesh(mesh.Desc(), stream))
            return nullptr;
        PhysicsTriangleMesh* triangles = engine->CreateTriangleMesh(stream);
        if (triangles == nullptr)
            return nullptr;
        PhysicsShapeDesc shape;
        shape.type = PhysicsShapeType::TriangleMesh;
        shape.mesh = triangles;
        shape.group = group;
        PhysicsBodyDesc body;
        body.flags = PhysicsBodyFlag::Defaults | PhysicsBodyFlag::Frozen;
        PhysicsActorDesc actor;
        actor.shapes.push_back(shape);
        actor.body = &body;
        actor.density = 50000.0f;
        actor.position = position;
        actor.group = 10;
        return scene->CreateActor(actor);
    }

    CapsuleController* AddCapsule(PhysicsExtVec3 position)
    {
        CapsuleControllerDesc desc;
        desc.position = position;
        desc.slopeLimit = 0.707f;
        desc.skinWidth = 0.1f;
        desc.stepOffset = 1.0f;
        desc.radius = 1.0f;
        desc.height = 1.0f;
        CapsuleController* controller = manager->CreateController(scene, desc);
        if (controller != nullptr)
            controller->Actor()->Shape(0)->SetGroup(2);   // the user's group, as the game sets it
        return controller;
    }

    // Moves `count` times by `step`; returns the flags of the last move.
    static uint32_t Walk(CapsuleController& controller, PhysicsVec3 step, int count, uint32_t groups = kGameGroups)
    {
        uint32_t flags = 0;
        for (int i = 0; i < count; ++i)
            flags = controller.Move(step, groups, 0.000001f, 1.0f);
        return flags;
    }

    RecordingReporter reporter;
    MallocAllocator allocator;
    std::unique_ptr<PhysicsEngine> engine;
    PhysicsScene* scene = nullptr;
    PhysicsActor* groundActor = nullptr;
    std::unique_ptr<MeshCooker> cooker;
    std::unique_ptr<ControllerManager> manager;   // released before the engine, as the game does at exit
};

// A floor of two triangles in the scenery group, covering x and z in [-size, size] at height y.
inline MeshData Floor(float size = 50.0f, float y = 0.0f)
{
    MeshData mesh;
    mesh.Quad({-size, y, -size}, {-size, y, size}, {size, y, size}, {size, y, -size});
    return mesh;
}

} // namespace physicstest
