#include "platform/physics/PhysicsEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/physics/MeshCooker.h"
#include "platform/physics/PhysicsStream.h"

namespace duzplatform {

std::unique_ptr<PhysicsEngine> PhysicsEngine::Create(uint32_t version, PhysicsErrorReporter* reporter,
                                                     const PhysicsEngineDesc& desc, PhysicsCreateError* error)
{
    auto fail = [error](PhysicsCreateError code) {
        if (error != nullptr)
            *error = code;
        return std::unique_ptr<PhysicsEngine>();
    };
    if (const char* forced = std::getenv(kForceErrorVariable); forced != nullptr && *forced != '\0') {
        const int code = std::atoi(forced);
        if (code != 0)
            return fail(static_cast<PhysicsCreateError>(code));
    }
    if (version != kPhysicsInterfaceVersion)
        return fail(PhysicsCreateError::WrongVersion);
    if (desc.hardwarePageSize == 0 || desc.hardwareMaxPages == 0 || desc.hardwareMaxConvexMeshes == 0)
        return fail(PhysicsCreateError::DescriptorInvalid);
    if (error != nullptr)
        *error = PhysicsCreateError::None;
    return std::unique_ptr<PhysicsEngine>(new PhysicsEngine(reporter, desc));
}

PhysicsEngine::PhysicsEngine(PhysicsErrorReporter* reporter, const PhysicsEngineDesc& desc)
    : mReporter(reporter), mDesc(desc)
{
}

PhysicsEngine::~PhysicsEngine()
{
    // Shapes refer to meshes, so scenes go first.
    mScenes.clear();
    mMeshes.clear();
}

bool PhysicsEngine::SetParameter(int parameter, float value)
{
    if (parameter < 0 || parameter >= kParameterCount || !std::isfinite(value)) {
        ReportError(PhysicsErrorCode::InvalidParameter, "unknown engine parameter or value", __FILE__, __LINE__);
        return false;
    }
    mParameters[parameter] = value;
    return true;
}

float PhysicsEngine::Parameter(int parameter) const
{
    if (parameter < 0 || parameter >= kParameterCount)
        return 0.0f;
    return mParameters[parameter];
}

PhysicsScene* PhysicsEngine::CreateScene(const PhysicsSceneDesc& desc)
{
    if (desc.simulationType == PhysicsSimulationType::Hardware) {
        ReportError(PhysicsErrorCode::InvalidOperation, "no simulation hardware; use a software scene", __FILE__,
                    __LINE__);
        return nullptr;
    }
    const bool gravityFinite =
        std::isfinite(desc.gravity.x) && std::isfinite(desc.gravity.y) && std::isfinite(desc.gravity.z);
    if (!gravityFinite || !(desc.maxTimestep > 0.0f) || !std::isfinite(desc.maxTimestep) || desc.maxIterations == 0) {
        ReportAssertViolation("invalid scene descriptor", __FILE__, __LINE__);
        return nullptr;
    }
    mScenes.push_back(std::unique_ptr<PhysicsScene>(new PhysicsScene(*this, desc)));
    return mScenes.back().get();
}

void PhysicsEngine::ReleaseScene(PhysicsScene* scene)
{
    auto found = std::find_if(mScenes.begin(), mScenes.end(), [scene](const auto& s) { return s.get() == scene; });
    if (found != mScenes.end())
        mScenes.erase(found);
}

PhysicsScene* PhysicsEngine::Scene(uint32_t index) const
{
    return index < mScenes.size() ? mScenes[index].get() : nullptr;
}

PhysicsTriangleMesh* PhysicsEngine::CreateTriangleMesh(PhysicsStream& stream)
{
    CookedTriangleMesh data;
    std::string why;
    if (!MeshCooker::ReadCookedMesh(stream, data, &why)) {
        ReportError(PhysicsErrorCode::InvalidData, ("cannot read the cooked triangle mesh: " + why).c_str(), __FILE__,
                    __LINE__);
        return nullptr;
    }
    mMeshes.push_back(std::make_unique<PhysicsTriangleMesh>(std::move(data)));
    return mMeshes.back().get();
}

bool PhysicsEngine::ReleaseTriangleMesh(PhysicsTriangleMesh* mesh)
{
    auto found = std::find_if(mMeshes.begin(), mMeshes.end(), [mesh](const auto& m) { return m.get() == mesh; });
    if (found == mMeshes.end())
        return false;
    if (mesh->ReferenceCount() != 0) {
        ReportError(PhysicsErrorCode::InvalidOperation, "the triangle mesh is still used by shapes", __FILE__, __LINE__);
        return false;
    }
    mMeshes.erase(found);
    return true;
}

void PhysicsEngine::ReportError(PhysicsErrorCode code, const char* message, const char* file, int line) const
{
    if (mReporter != nullptr)
        mReporter->ReportError(code, message, file, line);
}

bool PhysicsEngine::ReportAssertViolation(const char* message, const char* file, int line) const
{
    if (mReporter == nullptr)
        return false;
    return mReporter->ReportAssertViolation(message, file, line) == PhysicsAssertAnswer::Break;
}

} // namespace duzplatform
