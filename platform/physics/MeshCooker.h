#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/physics/PhysicsTypes.h"

namespace duzplatform {

class PhysicsStream;

namespace PhysicsMeshFlag {
constexpr uint32_t FlipNormals = 1u << 0;        // triangles are wound the other way
constexpr uint32_t SixteenBitIndices = 1u << 1;  // the caller's triangles hold uint16 indices
} // namespace PhysicsMeshFlag

// A triangle mesh as the caller holds it: strided points of three floats and
// strided triangles of three indices (32-bit, or 16-bit with the flag).
struct TriangleMeshDesc {
    uint32_t numVertices = 0;
    uint32_t numTriangles = 0;
    uint32_t pointStrideBytes = 12;
    uint32_t triangleStrideBytes = 12;
    const void* points = nullptr;
    const void* triangles = nullptr;
    uint32_t flags = 0;
    // Accepted and kept for callers that fill them; the collision world does not use them.
    const void* materialIndices = nullptr;
    uint32_t materialIndexStride = 0;
    uint32_t heightFieldVerticalAxis = 255;   // 255: not a height field
    float heightFieldVerticalExtent = 0.0f;
    float convexEdgeThreshold = 0.001f;
};

// A mesh read back from a cooked stream: checked, ready for the collision world.
struct CookedTriangleMesh {
    uint32_t flags = 0;
    std::vector<float> points;       // x, y, z per vertex
    std::vector<uint32_t> indices;   // three per triangle, each below the vertex count

    uint32_t VertexCount() const { return static_cast<uint32_t>(points.size() / 3); }
    uint32_t TriangleCount() const { return static_cast<uint32_t>(indices.size() / 3); }
};

// Turns a triangle mesh into the layer's cooked form and reads it back.
//
// Cooked triangle mesh, all values little-endian, written through the stream's
// typed store operations:
//   offset 0   uint32  magic 0x4D545A44 (the bytes "DZTM")
//          4   uint32  format version, 1
//          8   uint32  mesh flags (PhysicsMeshFlag::FlipNormals; others are cleared)
//         12   uint32  vertex count n (at most kMaxCookedVertices)
//         16   uint32  triangle count t (at most kMaxCookedTriangles)
//         20   n x { float x, float y, float z }
//              t x { uint32 i0, uint32 i1, uint32 i2 }, each index below n
//              uint32  CRC-32 (IEEE, reflected, as zlib) of every byte before it
// A reader refuses any other magic or version, counts above the limits or
// beyond what the stream holds, an index out of range, or a wrong checksum.
class MeshCooker {
public:
    static constexpr uint32_t kMagic = 0x4D545A44;
    static constexpr uint32_t kFormatVersion = 1;
    static constexpr uint32_t kMaxCookedVertices = 1u << 22;
    static constexpr uint32_t kMaxCookedTriangles = 1u << 22;

    // Null when the caller asks for another interface version.
    static std::unique_ptr<MeshCooker> Create(uint32_t version);

    // Must be called once before cooking; false when already done.
    bool Init();
    bool IsInitialized() const { return mInitialized; }

    // Writes the cooked mesh; false (with nothing usable written) for a
    // descriptor the collision world cannot take, or when the stream fails.
    bool CookTriangleMesh(const TriangleMeshDesc& desc, PhysicsStream& stream);

    // Reads one cooked mesh; false with the reason when the stream does not check out.
    static bool ReadCookedMesh(PhysicsStream& stream, CookedTriangleMesh& mesh, std::string* error);

    // The reason the last cooking failed.
    const std::string& LastError() const { return mLastError; }

private:
    MeshCooker() = default;

    bool mInitialized = false;
    std::string mLastError;
};

} // namespace duzplatform
