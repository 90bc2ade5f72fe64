#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/physics/PhysicsCallbacks.h"
#include "platform/physics/PhysicsScene.h"
#include "platform/physics/PhysicsTriangleMesh.h"
#include "platform/physics/PhysicsTypes.h"

namespace duzplatform {

class PhysicsStream;

// Limits of the (absent) simulation hardware; all must be non-zero.
struct PhysicsEngineDesc {
    uint32_t hardwarePageSize = 65536;
    uint32_t hardwareMaxPages = 256;
    uint32_t hardwareMaxConvexMeshes = 2048;
};

// The root of the physics layer: parameters, scenes and triangle meshes.
class PhysicsEngine {
public:
    static constexpr int kParameterCount = 128;
    // Setting this environment variable to an error number makes Create fail
    // with it, so callers can exercise their start-up failure path.
    static constexpr const char* kForceErrorVariable = "DUZ_PHYSICS_CREATE_ERROR";

    // Null with the reason in *error when the version is not ours or the descriptor is invalid.
    static std::unique_ptr<PhysicsEngine> Create(uint32_t version, PhysicsErrorReporter* reporter,
                                                 const PhysicsEngineDesc& desc, PhysicsCreateError* error);
    ~PhysicsEngine();
    PhysicsEngine(const PhysicsEngine&) = delete;
    PhysicsEngine& operator=(const PhysicsEngine&) = delete;

    // Parameters are kept by number and read back; the collision world needs none of them.
    bool SetParameter(int parameter, float value);
    float Parameter(int parameter) const;

    // Null for a hardware scene (there is no hardware) or an invalid descriptor.
    PhysicsScene* CreateScene(const PhysicsSceneDesc& desc);
    void ReleaseScene(PhysicsScene* scene);
    uint32_t SceneCount() const { return static_cast<uint32_t>(mScenes.size()); }
    PhysicsScene* Scene(uint32_t index) const;

    // Reads a cooked mesh; null (and a report) when the stream does not check out.
    PhysicsTriangleMesh* CreateTriangleMesh(PhysicsStream& stream);
    // Refused while shapes still use the mesh.
    bool ReleaseTriangleMesh(PhysicsTriangleMesh* mesh);
    uint32_t TriangleMeshCount() const { return static_cast<uint32_t>(mMeshes.size()); }

    // Reports go to the caller's reporter when there is one.
    void ReportError(PhysicsErrorCode code, const char* message, const char* file, int line) const;
    bool ReportAssertViolation(const char* message, const char* file, int line) const;

private:
    PhysicsEngine(PhysicsErrorReporter* reporter, const PhysicsEngineDesc& desc);

    PhysicsErrorReporter* mReporter;
    PhysicsEngineDesc mDesc;
    std::array<float, kParameterCount> mParameters{};
    std::vector<std::unique_ptr<PhysicsTriangleMesh>> mMeshes;
    std::vector<std::unique_ptr<PhysicsScene>> mScenes;   // after the meshes: scenes go first
};

} // namespace duzplatform
