#pragma once

#include "game/CGPhysicsCallbacks.h"
#include "platform/physics/CapsuleController.h"
#include "platform/physics/MeshCooker.h"
#include "platform/physics/PhysicsEngine.h"

#include <memory>
#include <string>

// The game's physics world: engine, scene with the ground plane, and the
// cooking library; mesh parts become frozen triangle-mesh actors.
class CGPhysics {
public:
    // Builds the world; when the engine cannot be made, prints why and ends
    // the program with status 1.
    CGPhysics();
    ~CGPhysics();
    CGPhysics(const CGPhysics&) = delete;
    CGPhysics& operator=(const CGPhysics&) = delete;

    // A frozen actor from a flat triangle array (three corners per triangle),
    // cooked through the file. Only whole triangles within the vertex count
    // are used. Null when cooking or reading back fails.
    duzplatform::PhysicsActor* AddMeshActor(const float* vertices, int vertexCount,
                                            const duzplatform::PhysicsVec3& position, int triangleCount);

    static const char* CreateErrorName(int code);

    float gravity[3] = {0.0f, -80.0f, 0.0f};
    int flags = 1;
    std::unique_ptr<duzplatform::PhysicsEngine> engine;
    duzplatform::PhysicsScene* scene = nullptr;
    std::unique_ptr<duzplatform::MeshCooker> cooking;
    bool hardware = true;
    // Where cooked meshes pass through.
    std::string cookedMeshFile = "temp.bin";

private:
    ErrorStream mErrorStream;
};

// The capsule descriptor of the user's character.
duzplatform::CapsuleControllerDesc GameControllerDesc();
// Made before the game starts, released at exit.
void GameCreateControllerManager();
void GameReleaseControllerManager();
duzplatform::ControllerManager* GameControllerManager();
