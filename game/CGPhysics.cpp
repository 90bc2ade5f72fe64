#include "game/CGPhysics.h"

#include "game/GameUtil.h"
#include "game/UserStream.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace duzplatform;

const char* CGPhysics::CreateErrorName(int code) {
    switch (code) {
    case 0: return "NXCE_NO_ERROR";
    case 1: return "NXCE_PHYSX_NOT_FOUND";
    case 2: return "NXCE_WRONG_VERSION";
    case 3: return "NXCE_DESCRIPTOR_INVALID";
    case 4: return "NXCE_CONNECTION_ERROR";
    case 5: return "NXCE_RESET_ERROR";
    case 6: return "NXCE_IN_USE_ERROR";
    default: return "Unknown error";
    }
}

CGPhysics::CGPhysics() {
    PhysicsEngineDesc desc;
    desc.hardwarePageSize = 65536;
    desc.hardwareMaxPages = 256;
    desc.hardwareMaxConvexMeshes = 2048;
    PhysicsCreateError error = PhysicsCreateError::None;
    engine = PhysicsEngine::Create(kPhysicsInterfaceVersion, &mErrorStream, desc, &error);
    if (!engine) {
        const int code = static_cast<int>(error);
        std::printf("SDK create error (%d - %s).\nUnable to initialize the PhysX SDK, exiting the sample.\n\n", code,
                    CreateErrorName(code));
        std::fflush(stdout);
        std::exit(1);
    }
    const float parameters[][2] = {{1, 0.01f}, {9, 1}, {39, 1}, {37, 1}, {8, hardware ? 1.0f : 0.0f},
                                   {73, 0.01f}, {1, 0.0025f}, {9, 1}, {39, 1}, {37, 1}};
    for (const auto& p : parameters) engine->SetParameter(static_cast<int>(p[0]), p[1]);

    PhysicsSceneDesc sceneDesc;
    sceneDesc.gravity = {gravity[0], gravity[1], gravity[2]};
    sceneDesc.maxTimestep = 1.0f / 60.0f;
    sceneDesc.maxIterations = 8;
    sceneDesc.simulationType = PhysicsSimulationType::Hardware;
    scene = engine->CreateScene(sceneDesc);
    if (scene == nullptr) {
        sceneDesc.simulationType = PhysicsSimulationType::Software;
        scene = engine->CreateScene(sceneDesc);
    }
    if (scene != nullptr) {
        if (PhysicsMaterial* material = scene->Material(0)) {
            material->restitution = 0.5f;
            material->staticFriction = 0.5f;
            material->dynamicFriction = 0.5f;
        }
        PhysicsActorDesc ground;
        PhysicsShapeDesc plane;
        plane.type = PhysicsShapeType::Plane;
        plane.planeNormal = {0.0f, 1.0f, 0.0f};
        plane.planeDistance = 0.0f;
        ground.shapes.push_back(plane);
        scene->CreateActor(ground);
    }
    cooking = MeshCooker::Create(kPhysicsInterfaceVersion);
    if (cooking) cooking->Init();
    if (scene != nullptr) scene->SetGroupCollisionFlag(11, 0, true);
}

CGPhysics::~CGPhysics() = default;

PhysicsActor* CGPhysics::AddMeshActor(const float* vertices, int n, const PhysicsVec3& position, int t) {
    if (scene == nullptr || !cooking || n < 0 || t < 0 || (n > 0 && vertices == nullptr)) return nullptr;
    // Every three consecutive vertices form a triangle; a triangle count
    // beyond the vertices given would index points that do not exist.
    const int triangles = t < n / 3 ? t : n / 3;
    std::vector<float> points(vertices, vertices + size_t(triangles) * 9);
    std::vector<uint32_t> indices(size_t(triangles) * 3);
    for (size_t k = 0; k < indices.size(); ++k) indices[k] = static_cast<uint32_t>(k);

    TriangleMeshDesc desc;
    desc.numVertices = static_cast<uint32_t>(triangles * 3);
    desc.numTriangles = static_cast<uint32_t>(triangles);
    desc.pointStrideBytes = 12;
    desc.triangleStrideBytes = 12;
    desc.points = points.data();
    desc.triangles = indices.data();
    desc.flags = 0;
    desc.heightFieldVerticalAxis = 255;
    desc.heightFieldVerticalExtent = 0.0f;
    desc.convexEdgeThreshold = 0.001f;
    {
        UserStream out(cookedMeshFile.c_str(), false);
        if (!cooking->CookTriangleMesh(desc, out) || out.Failed()) {
            GameLog("mesh not cooked: %s", cooking->LastError().c_str());
            return nullptr;
        }
    }
    PhysicsTriangleMesh* mesh = nullptr;
    {
        UserStream in(cookedMeshFile.c_str(), true);
        mesh = engine->CreateTriangleMesh(in);
    }
    if (mesh == nullptr) {
        GameLog("cooked mesh not read back from %s", cookedMeshFile.c_str());
        return nullptr;
    }
    PhysicsShapeDesc shape;
    shape.type = PhysicsShapeType::TriangleMesh;
    shape.mesh = mesh;
    PhysicsBodyDesc body;
    body.flags = PhysicsBodyFlag::Defaults | PhysicsBodyFlag::Frozen;
    PhysicsActorDesc actor;
    actor.body = &body;
    actor.density = 50000.0f;
    actor.position = position;
    actor.shapes.push_back(shape);
    return scene->CreateActor(actor);
}

CapsuleControllerDesc GameControllerDesc() {
    CapsuleControllerDesc desc;
    desc.position = {0.0, 2.0, 0.0};
    desc.upDirection = PhysicsUpAxis::Y;
    desc.slopeLimit = 0.707f;
    desc.skinWidth = 0.1f;
    desc.stepOffset = 1.0f;
    desc.userData = nullptr;
    desc.radius = 1.0f;
    desc.height = 1.0f;
    return desc;
}

namespace {
ControllerManagerAllocator* gAllocator = nullptr;
ControllerManager* gManager = nullptr;
}  // namespace

void GameCreateControllerManager() {
    if (gManager != nullptr) return;
    gAllocator = new ControllerManagerAllocator;
    gManager = new ControllerManager(*gAllocator);
}

void GameReleaseControllerManager() {
    delete gManager;
    gManager = nullptr;
    delete gAllocator;
    gAllocator = nullptr;
}

ControllerManager* GameControllerManager() { return gManager; }
