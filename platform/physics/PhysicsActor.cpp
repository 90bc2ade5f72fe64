#include "platform/physics/PhysicsActor.h"

#include <cmath>
#include <numbers>

#include "platform/physics/PhysicsEngine.h"
#include "platform/physics/PhysicsSceneWorld.h"
#include "platform/physics/PhysicsTriangleMesh.h"

namespace duzplatform {

namespace {

bool IsFinite(const PhysicsVec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool IsFinite(const PhysicsMat33& m)
{
    for (const auto& row : m.m)
        for (float value : row)
            if (!std::isfinite(value))
                return false;
    return true;
}

// Volume for a mass given by density; planes have none and meshes count their bounding box.
double ShapeVolume(const PhysicsShapeDesc& desc)
{
    constexpr double pi = std::numbers::pi;
    switch (desc.type) {
    case PhysicsShapeType::Sphere:
        return 4.0 / 3.0 * pi * std::pow(desc.radius, 3);
    case PhysicsShapeType::Box:
        return 8.0 * desc.boxHalfExtents.x * desc.boxHalfExtents.y * desc.boxHalfExtents.z;
    case PhysicsShapeType::Capsule:
        return pi * desc.radius * desc.radius * desc.height + 4.0 / 3.0 * pi * std::pow(desc.radius, 3);
    case PhysicsShapeType::TriangleMesh: {
        const auto& points = desc.mesh->Data().points;
        if (points.empty())
            return 0.0;
        float low[3] = {points[0], points[1], points[2]};
        float high[3] = {points[0], points[1], points[2]};
        for (size_t i = 0; i < points.size(); ++i) {
            low[i % 3] = std::min(low[i % 3], points[i]);
            high[i % 3] = std::max(high[i % 3], points[i]);
        }
        return double(high[0] - low[0]) * (high[1] - low[1]) * (high[2] - low[2]);
    }
    default:
        return 0.0;
    }
}

} // namespace

PhysicsShape::PhysicsShape(PhysicsActor& actor, const PhysicsShapeDesc& desc) : mActor(actor), mDesc(desc) {}

PhysicsShape::~PhysicsShape()
{
    if (mObject)
        mActor.Scene().CollisionWorld().world.removeCollisionObject(mObject.get());
    mObject.reset();
    mOwnShape.reset();
    if (mHoldsMesh)
        mDesc.mesh->RemoveReference();
}

bool PhysicsShape::SetGroup(uint16_t group)
{
    if (group >= kPhysicsGroupCount)
        return false;
    mDesc.group = group;
    return true;
}

bool PhysicsShape::Build(uint32_t bodyFlags)
{
    if (mDesc.group >= kPhysicsGroupCount || !IsFinite(mDesc.localPosition))
        return false;
    btCollisionShape* shape = nullptr;
    switch (mDesc.type) {
    case PhysicsShapeType::Plane: {
        btVector3 normal = ToBullet(mDesc.planeNormal);
        if (!IsFinite(mDesc.planeNormal) || normal.length2() < btScalar(1e-12) || !std::isfinite(mDesc.planeDistance))
            return false;
        mOwnShape = std::make_unique<btStaticPlaneShape>(normal.normalized(), mDesc.planeDistance);
        break;
    }
    case PhysicsShapeType::Sphere:
        if (!(mDesc.radius > 0.0f) || !std::isfinite(mDesc.radius))
            return false;
        mOwnShape = std::make_unique<btSphereShape>(mDesc.radius);
        break;
    case PhysicsShapeType::Box:
        if (!IsFinite(mDesc.boxHalfExtents) || !(mDesc.boxHalfExtents.x > 0.0f) || !(mDesc.boxHalfExtents.y > 0.0f) ||
            !(mDesc.boxHalfExtents.z > 0.0f))
            return false;
        mOwnShape = std::make_unique<btBoxShape>(ToBullet(mDesc.boxHalfExtents));
        break;
    case PhysicsShapeType::Capsule:
        if (!(mDesc.radius > 0.0f) || !(mDesc.height >= 0.0f) || !std::isfinite(mDesc.radius) ||
            !std::isfinite(mDesc.height))
            return false;
        mOwnShape = std::make_unique<btCapsuleShape>(mDesc.radius, mDesc.height);
        break;
    case PhysicsShapeType::TriangleMesh:
        if (mDesc.mesh == nullptr)
            return false;
        mDesc.mesh->AddReference();
        mHoldsMesh = true;
        shape = mDesc.mesh->CollisionShape();
        break;
    default:
        return false;   // wheels, convex hulls and height fields are not offered
    }
    if (mOwnShape)
        shape = mOwnShape.get();
    if (shape == nullptr)
        return true;   // a mesh without triangles occupies nothing
    mObject = std::make_unique<btCollisionObject>();
    mObject->setCollisionShape(shape);
    mObject->setUserPointer(this);
    mObject->setCollisionFlags(mObject->getCollisionFlags() | ((bodyFlags & PhysicsBodyFlag::Kinematic)
                                                                   ? btCollisionObject::CF_KINEMATIC_OBJECT
                                                                   : btCollisionObject::CF_STATIC_OBJECT));
    UpdateTransform();
    mActor.Scene().CollisionWorld().world.addCollisionObject(mObject.get());
    return true;
}

void PhysicsShape::UpdateTransform()
{
    if (!mObject)
        return;
    const btMatrix3x3 basis = ToBullet(mActor.mOrientation);
    const btVector3 origin = ToBullet(mActor.mPosition) + basis * ToBullet(mDesc.localPosition);
    mObject->setWorldTransform(btTransform(basis, origin));
    if (mObject->getBroadphaseHandle() != nullptr)
        mActor.Scene().CollisionWorld().world.updateSingleAabb(mObject.get());
}

PhysicsActor::PhysicsActor(PhysicsScene& scene, const PhysicsActorDesc& desc)
    : mScene(scene), mPosition(desc.position), mOrientation(desc.orientation), mGroup(desc.group),
      mUserData(desc.userData)
{
}

PhysicsActor::~PhysicsActor()
{
    mShapePointers.clear();
    mShapes.clear();
}

bool PhysicsActor::Build(const PhysicsActorDesc& desc)
{
    auto refuse = [this](const char* reason) {
        mScene.Engine().ReportAssertViolation(reason, __FILE__, __LINE__);
        return false;
    };
    if (desc.shapes.empty())
        return refuse("an actor needs at least one shape");
    if (!IsFinite(desc.position) || !IsFinite(desc.orientation))
        return refuse("actor pose is not finite");
    if (desc.body != nullptr) {
        if (!(desc.body->mass >= 0.0f) || !std::isfinite(desc.body->mass) || !(desc.density >= 0.0f))
            return refuse("invalid body mass or density");
        for (const PhysicsShapeDesc& shape : desc.shapes)
            if (shape.type == PhysicsShapeType::Plane)
                return refuse("a plane can only belong to a static actor");
        mHasBody = true;
        mBodyFlags = desc.body->flags;
    }
    double volume = 0.0;
    for (const PhysicsShapeDesc& shapeDesc : desc.shapes) {
        std::unique_ptr<PhysicsShape> shape(new PhysicsShape(*this, shapeDesc));
        if (!shape->Build(mBodyFlags)) {
            mShapePointers.clear();
            mShapes.clear();
            return refuse("invalid shape descriptor");
        }
        volume += shapeDesc.type == PhysicsShapeType::TriangleMesh && shapeDesc.mesh == nullptr ? 0.0
                                                                                                 : ShapeVolume(shapeDesc);
        mShapePointers.push_back(shape.get());
        mShapes.push_back(std::move(shape));
    }
    if (mHasBody)
        mMass = desc.body->mass > 0.0f ? desc.body->mass : static_cast<float>(desc.density * volume);
    return true;
}

void PhysicsActor::SetGlobalPosition(const PhysicsVec3& position)
{
    if (!IsFinite(position))
        return;
    mPosition = position;
    UpdateShapeTransforms();
}

void PhysicsActor::SetGlobalOrientation(const PhysicsMat33& orientation)
{
    if (!IsFinite(orientation))
        return;
    mOrientation = orientation;
    UpdateShapeTransforms();
}

void PhysicsActor::UpdateShapeTransforms()
{
    for (const auto& shape : mShapes)
        shape->UpdateTransform();
}

PhysicsShape* PhysicsActor::Shape(uint32_t index) const
{
    return index < mShapePointers.size() ? mShapePointers[index] : nullptr;
}

bool PhysicsActor::SetMass(float mass)
{
    if (!mHasBody || !std::isfinite(mass) || mass < 0.0f)
        return false;
    mMass = mass;
    return true;
}

} // namespace duzplatform
