#pragma once

#include <cstdint>
#include <memory>

#include "platform/physics/MeshCooker.h"

class btCollisionShape;
class btTriangleIndexVertexArray;

namespace duzplatform {

// A cooked triangle mesh in the collision world's form, shared by the shapes
// that use it. A mesh without triangles is valid and collides with nothing.
class PhysicsTriangleMesh {
public:
    explicit PhysicsTriangleMesh(CookedTriangleMesh data);
    ~PhysicsTriangleMesh();
    PhysicsTriangleMesh(const PhysicsTriangleMesh&) = delete;
    PhysicsTriangleMesh& operator=(const PhysicsTriangleMesh&) = delete;

    uint32_t VertexCount() const { return mData.VertexCount(); }
    uint32_t TriangleCount() const { return mData.TriangleCount(); }
    const CookedTriangleMesh& Data() const { return mData; }

    // Null for a mesh without triangles.
    btCollisionShape* CollisionShape() const { return mShape.get(); }

    uint32_t ReferenceCount() const { return mReferences; }
    void AddReference() { ++mReferences; }
    void RemoveReference() { --mReferences; }

private:
    CookedTriangleMesh mData;
    std::unique_ptr<btTriangleIndexVertexArray> mArrays;
    std::unique_ptr<btCollisionShape> mShape;
    uint32_t mReferences = 0;
};

} // namespace duzplatform
