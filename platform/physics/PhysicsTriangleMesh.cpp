#include "platform/physics/PhysicsTriangleMesh.h"

#include <btBulletCollisionCommon.h>

namespace duzplatform {

PhysicsTriangleMesh::PhysicsTriangleMesh(CookedTriangleMesh data) : mData(std::move(data))
{
    if (mData.flags & PhysicsMeshFlag::FlipNormals)
        for (size_t i = 0; i + 2 < mData.indices.size(); i += 3)
            std::swap(mData.indices[i + 1], mData.indices[i + 2]);
    // An empty bounding-volume tree is not allowed, so a mesh without triangles has no shape.
    if (mData.TriangleCount() == 0)
        return;
    btIndexedMesh part;
    part.m_numTriangles = static_cast<int>(mData.TriangleCount());
    part.m_triangleIndexBase = reinterpret_cast<const unsigned char*>(mData.indices.data());
    part.m_triangleIndexStride = 3 * sizeof(uint32_t);
    part.m_numVertices = static_cast<int>(mData.VertexCount());
    part.m_vertexBase = reinterpret_cast<const unsigned char*>(mData.points.data());
    part.m_vertexStride = 3 * sizeof(float);
    part.m_indexType = PHY_INTEGER;
    part.m_vertexType = PHY_FLOAT;
    mArrays = std::make_unique<btTriangleIndexVertexArray>();
    mArrays->addIndexedMesh(part, PHY_INTEGER);
    mShape = std::make_unique<btBvhTriangleMeshShape>(mArrays.get(), true);
}

PhysicsTriangleMesh::~PhysicsTriangleMesh() = default;

} // namespace duzplatform
