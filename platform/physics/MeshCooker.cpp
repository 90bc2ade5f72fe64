#include "platform/physics/MeshCooker.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "platform/physics/PhysicsStream.h"

namespace duzplatform {

// The stream moves host-order values and the cooked format is little-endian.
static_assert(std::endian::native == std::endian::little, "cooked meshes assume a little-endian host");

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

class Crc32 {
public:
    void Add(const void* data, size_t size)
    {
        const auto* bytes = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i)
            mState = kCrcTable[(mState ^ bytes[i]) & 0xFFu] ^ (mState >> 8);
    }
    uint32_t Value() const { return mState ^ 0xFFFFFFFFu; }

private:
    uint32_t mState = 0xFFFFFFFFu;
};

// Typed stores and reads that keep the running checksum of the bytes they move.
class CheckedWriter {
public:
    explicit CheckedWriter(PhysicsStream& stream) : mStream(stream) {}
    void Dword(uint32_t value)
    {
        mCrc.Add(&value, sizeof value);
        mStream.StoreDword(value);
    }
    void Float(float value)
    {
        mCrc.Add(&value, sizeof value);
        mStream.StoreFloat(value);
    }
    uint32_t Checksum() const { return mCrc.Value(); }

private:
    PhysicsStream& mStream;
    Crc32 mCrc;
};

class CheckedReader {
public:
    explicit CheckedReader(PhysicsStream& stream) : mStream(stream) {}
    uint32_t Dword()
    {
        uint32_t value = mStream.ReadDword();
        mCrc.Add(&value, sizeof value);
        return value;
    }
    float Float()
    {
        float value = mStream.ReadFloat();
        mCrc.Add(&value, sizeof value);
        return value;
    }
    uint32_t Checksum() const { return mCrc.Value(); }

private:
    PhysicsStream& mStream;
    Crc32 mCrc;
};

constexpr uint64_t kVertexBytes = 12;
constexpr uint64_t kTriangleBytes = 12;
constexpr uint64_t kChecksumBytes = 4;
// Reserve no more than this up front: a hostile count must not cost memory the stream cannot fill.
constexpr uint32_t kReserveLimit = 1u << 16;

bool Fail(std::string* error, const char* reason)
{
    if (error != nullptr)
        *error = reason;
    return false;
}

uint32_t TriangleIndex(const TriangleMeshDesc& desc, uint32_t triangle, int corner)
{
    const auto* base = static_cast<const uint8_t*>(desc.triangles) + uint64_t{triangle} * desc.triangleStrideBytes;
    if (desc.flags & PhysicsMeshFlag::SixteenBitIndices) {
        uint16_t index;
        std::memcpy(&index, base + corner * sizeof(uint16_t), sizeof index);
        return index;
    }
    uint32_t index;
    std::memcpy(&index, base + corner * sizeof(uint32_t), sizeof index);
    return index;
}

const float* PointAt(const TriangleMeshDesc& desc, uint32_t vertex)
{
    return reinterpret_cast<const float*>(static_cast<const uint8_t*>(desc.points) +
                                          uint64_t{vertex} * desc.pointStrideBytes);
}

} // namespace

std::unique_ptr<MeshCooker> MeshCooker::Create(uint32_t version)
{
    if (version != kPhysicsInterfaceVersion)
        return nullptr;
    return std::unique_ptr<MeshCooker>(new MeshCooker());
}

bool MeshCooker::Init()
{
    if (mInitialized)
        return false;
    mInitialized = true;
    return true;
}

bool MeshCooker::CookTriangleMesh(const TriangleMeshDesc& desc, PhysicsStream& stream)
{
    mLastError.clear();
    auto refuse = [this](const char* reason) {
        mLastError = reason;
        return false;
    };
    if (!mInitialized)
        return refuse("the cooker is not initialised");
    if (desc.numVertices > kMaxCookedVertices)
        return refuse("too many vertices");
    if (desc.numTriangles > kMaxCookedTriangles)
        return refuse("too many triangles");
    if (desc.numVertices > 0 && (desc.points == nullptr || desc.pointStrideBytes < 3 * sizeof(float)))
        return refuse("no points or a point stride below 12 bytes");
    const uint32_t indexSize = (desc.flags & PhysicsMeshFlag::SixteenBitIndices) ? 2 : 4;
    if (desc.numTriangles > 0 && (desc.triangles == nullptr || desc.triangleStrideBytes < 3 * indexSize))
        return refuse("no triangles or a triangle stride below three indices");

    // Check everything before the first store so a refused mesh leaves nothing half-written.
    for (uint32_t v = 0; v < desc.numVertices; ++v) {
        float point[3];
        std::memcpy(point, PointAt(desc, v), sizeof point);
        if (!std::isfinite(point[0]) || !std::isfinite(point[1]) || !std::isfinite(point[2]))
            return refuse("a vertex is not a finite number");
    }
    for (uint32_t t = 0; t < desc.numTriangles; ++t)
        for (int corner = 0; corner < 3; ++corner)
            if (TriangleIndex(desc, t, corner) >= desc.numVertices)
                return refuse("a triangle index is out of range");

    CheckedWriter writer(stream);
    writer.Dword(kMagic);
    writer.Dword(kFormatVersion);
    writer.Dword(desc.flags & PhysicsMeshFlag::FlipNormals);
    writer.Dword(desc.numVertices);
    writer.Dword(desc.numTriangles);
    for (uint32_t v = 0; v < desc.numVertices; ++v) {
        float point[3];
        std::memcpy(point, PointAt(desc, v), sizeof point);
        writer.Float(point[0]);
        writer.Float(point[1]);
        writer.Float(point[2]);
    }
    for (uint32_t t = 0; t < desc.numTriangles; ++t)
        for (int corner = 0; corner < 3; ++corner)
            writer.Dword(TriangleIndex(desc, t, corner));
    stream.StoreDword(writer.Checksum());
    if (stream.Failed())
        return refuse("the stream did not take the whole mesh");
    return true;
}

bool MeshCooker::ReadCookedMesh(PhysicsStream& stream, CookedTriangleMesh& mesh, std::string* error)
{
    mesh = CookedTriangleMesh();
    CheckedReader reader(stream);
    const uint32_t magic = reader.Dword();
    const uint32_t version = reader.Dword();
    const uint32_t flags = reader.Dword();
    const uint32_t vertexCount = reader.Dword();
    const uint32_t triangleCount = reader.Dword();
    if (stream.Failed())
        return Fail(error, "the cooked mesh is truncated");
    if (magic != kMagic)
        return Fail(error, "not a cooked triangle mesh");
    if (version != kFormatVersion)
        return Fail(error, "unknown cooked mesh version");
    if (flags & ~PhysicsMeshFlag::FlipNormals)
        return Fail(error, "unknown cooked mesh flags");
    if (vertexCount > kMaxCookedVertices || triangleCount > kMaxCookedTriangles)
        return Fail(error, "cooked mesh counts out of range");
    const uint64_t bodyBytes = vertexCount * kVertexBytes + triangleCount * kTriangleBytes + kChecksumBytes;
    const int64_t remaining = stream.RemainingBytes();
    if (remaining >= 0 && bodyBytes > static_cast<uint64_t>(remaining))
        return Fail(error, "the cooked mesh is truncated");

    // Grow with the data actually read, so a count the stream cannot back costs nothing.
    mesh.flags = flags;
    mesh.points.reserve(3 * std::min(vertexCount, kReserveLimit));
    for (uint32_t v = 0; v < vertexCount; ++v) {
        const float x = reader.Float();
        const float y = reader.Float();
        const float z = reader.Float();
        if (stream.Failed())
            return Fail(error, "the cooked mesh is truncated");
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
            return Fail(error, "a cooked vertex is not a finite number");
        mesh.points.insert(mesh.points.end(), {x, y, z});
    }
    mesh.indices.reserve(3 * std::min(triangleCount, kReserveLimit));
    for (uint32_t t = 0; t < triangleCount; ++t) {
        const uint32_t i0 = reader.Dword();
        const uint32_t i1 = reader.Dword();
        const uint32_t i2 = reader.Dword();
        if (stream.Failed())
            return Fail(error, "the cooked mesh is truncated");
        if (i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount)
            return Fail(error, "a cooked triangle index is out of range");
        mesh.indices.insert(mesh.indices.end(), {i0, i1, i2});
    }
    const uint32_t expected = reader.Checksum();
    const uint32_t stored = stream.ReadDword();
    if (stream.Failed())
        return Fail(error, "the cooked mesh is truncated");
    if (stored != expected)
        return Fail(error, "the cooked mesh checksum does not match");
    return true;
}

} // namespace duzplatform
