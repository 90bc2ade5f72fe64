#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "PhysicsTestWorld.h"
#include "platform/ScratchFolder.h"

using namespace physicstest;

namespace {

// A stream over a file, one fread or fwrite per value, as the game keeps "temp.bin".
class FileStream : public PhysicsStream {
public:
    FileStream(const std::string& path, bool load) : mFile(std::fopen(path.c_str(), load ? "rb" : "wb")) {}
    ~FileStream() override
    {
        if (mFile != nullptr)
            std::fclose(mFile);
    }
    bool IsOpen() const { return mFile != nullptr; }

    uint8_t ReadByte() override { return Read<uint8_t>(); }
    uint16_t ReadWord() override { return Read<uint16_t>(); }
    uint32_t ReadDword() override { return Read<uint32_t>(); }
    float ReadFloat() override { return Read<float>(); }
    double ReadDouble() override { return Read<double>(); }
    void ReadBuffer(void* buffer, size_t size) override
    {
        if (std::fread(buffer, size, 1, mFile) != 1 && size != 0)
            MarkFailed();
    }
    PhysicsStream& StoreByte(uint8_t value) override { return StoreBuffer(&value, sizeof value); }
    PhysicsStream& StoreWord(uint16_t value) override { return StoreBuffer(&value, sizeof value); }
    PhysicsStream& StoreDword(uint32_t value) override { return StoreBuffer(&value, sizeof value); }
    PhysicsStream& StoreFloat(float value) override { return StoreBuffer(&value, sizeof value); }
    PhysicsStream& StoreDouble(double value) override { return StoreBuffer(&value, sizeof value); }
    PhysicsStream& StoreBuffer(const void* buffer, size_t size) override
    {
        if (std::fwrite(buffer, size, 1, mFile) != 1 && size != 0)
            MarkFailed();
        return *this;
    }

private:
    template <typename T> T Read()
    {
        T value{};
        ReadBuffer(&value, sizeof value);
        return value;
    }
    FILE* mFile;
};

// A memory stream that cannot tell how much is left, like a pipe.
class OpaqueStream : public MemoryPhysicsStream {
public:
    using MemoryPhysicsStream::MemoryPhysicsStream;
    int64_t RemainingBytes() const override { return -1; }
};

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

void PutDword(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Rewrites the trailing checksum so a test reaches the checks behind it.
void Reseal(std::vector<uint8_t>& bytes)
{
    PutDword(bytes, bytes.size() - 4, Crc32(bytes.data(), bytes.size() - 4));
}

std::unique_ptr<MeshCooker> ReadyCooker()
{
    auto cooker = MeshCooker::Create(kPhysicsInterfaceVersion);
    cooker->Init();
    return cooker;
}

std::vector<uint8_t> Cook(const MeshData& mesh)
{
    MemoryPhysicsStream stream;
    EXPECT_TRUE(ReadyCooker()->CookTriangleMesh(mesh.Desc(), stream));
    return stream.Bytes();
}

MeshData TwoTriangles()
{
    MeshData mesh;
    mesh.Quad({0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1});
    return mesh;
}

} // namespace

TEST(MeshCookerTest, CookedMeshRoundTripsInTheDocumentedLayout)
{
    MeshData mesh;
    mesh.Box({-1, 0, -2}, {3, 4.5f, 2});
    const std::vector<uint8_t> bytes = Cook(mesh);
    const size_t n = mesh.points.size() / 3, t = mesh.indices.size() / 3;
    ASSERT_EQ(bytes.size(), 20 + 12 * n + 12 * t + 4);
    EXPECT_EQ(std::memcmp(bytes.data(), "DZTM", 4), 0);
    EXPECT_EQ(bytes[4], 1);   // version, little-endian
    EXPECT_EQ(bytes[12], n);
    EXPECT_EQ(bytes[16], t);
    uint32_t stored;
    std::memcpy(&stored, bytes.data() + bytes.size() - 4, 4);
    EXPECT_EQ(stored, Crc32(bytes.data(), bytes.size() - 4));

    MemoryPhysicsStream stream(bytes);
    CookedTriangleMesh read;
    std::string error;
    ASSERT_TRUE(MeshCooker::ReadCookedMesh(stream, read, &error)) << error;
    EXPECT_EQ(read.points, mesh.points);
    EXPECT_EQ(read.indices, mesh.indices);
    EXPECT_EQ(stream.RemainingBytes(), 0);
}

TEST(MeshCookerTest, RefusesCorruptedStreams)
{
    const std::vector<uint8_t> good = Cook(TwoTriangles());
    struct Corruption {
        const char* name;
        void (*apply)(std::vector<uint8_t>&);
        const char* reason;
    };
    const Corruption cases[] = {
        {"vertex bit flipped", [](auto& b) { b[24] ^= 0x10; }, "checksum"},
        {"checksum bit flipped", [](auto& b) { b.back() ^= 0x01; }, "checksum"},
        {"magic", [](auto& b) { b[0] = 'X'; Reseal(b); }, "not a cooked"},
        {"version 2", [](auto& b) { PutDword(b, 4, 2); Reseal(b); }, "version"},
        {"unknown flag", [](auto& b) { PutDword(b, 8, 4); Reseal(b); }, "flags"},
        {"vertex count over the limit", [](auto& b) { PutDword(b, 12, 0xFFFFFFFFu); Reseal(b); }, "out of range"},
        {"triangle count beyond the data", [](auto& b) { PutDword(b, 16, 1000); Reseal(b); }, "truncated"},
        {"index out of range", [](auto& b) { PutDword(b, 20 + 4 * 12 + 4, 4); Reseal(b); }, "index"},
        {"vertex not finite", [](auto& b) { PutDword(b, 20, 0x7FC00000u); Reseal(b); }, "finite"},
    };
    for (const Corruption& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = good;
        c.apply(bytes);
        MemoryPhysicsStream stream(bytes);
        CookedTriangleMesh read;
        std::string error;
        EXPECT_FALSE(MeshCooker::ReadCookedMesh(stream, read, &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(MeshCookerTest, RefusesEveryTruncation)
{
    const std::vector<uint8_t> good = Cook(TwoTriangles());
    for (size_t size = 0; size < good.size(); ++size) {
        SCOPED_TRACE(size);
        for (bool opaque : {false, true}) {
            std::vector<uint8_t> bytes(good.begin(), good.begin() + size);
            std::unique_ptr<MemoryPhysicsStream> stream = opaque ? std::make_unique<OpaqueStream>(bytes)
                                                                 : std::make_unique<MemoryPhysicsStream>(bytes);
            CookedTriangleMesh read;
            EXPECT_FALSE(MeshCooker::ReadCookedMesh(*stream, read, nullptr));
        }
    }
}

TEST(MeshCookerTest, HostileCountOnAStreamOfUnknownSizeCostsOnlyWhatIsRead)
{
    // Four million vertices announced, none present: refused after the data runs out.
    std::vector<uint8_t> bytes = Cook(TwoTriangles());
    PutDword(bytes, 12, MeshCooker::kMaxCookedVertices);
    OpaqueStream stream(bytes);
    CookedTriangleMesh read;
    std::string error;
    EXPECT_FALSE(MeshCooker::ReadCookedMesh(stream, read, &error));
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;
    EXPECT_LT(read.points.capacity(), size_t{1} << 20);
}

TEST(MeshCookerTest, RefusesDescriptorsTheWorldCannotTake)
{
    const MeshData mesh = TwoTriangles();
    auto cooker = ReadyCooker();
    struct Bad {
        const char* name;
        void (*apply)(TriangleMeshDesc&);
    };
    static const uint32_t outOfRange[] = {0, 1, 4};
    static const float notFinite[] = {0, NAN, 0, 1, 0, 0, 1, 0, 1};
    const Bad cases[] = {
        {"no points", [](auto& d) { d.points = nullptr; }},
        {"point stride below 12", [](auto& d) { d.pointStrideBytes = 8; }},
        {"no triangles", [](auto& d) { d.triangles = nullptr; }},
        {"index out of range", [](auto& d) { d.triangles = outOfRange; d.numTriangles = 1; }},
        {"not finite", [](auto& d) { d.points = notFinite; d.numVertices = 3; d.numTriangles = 0; }},
        {"too many vertices", [](auto& d) { d.numVertices = MeshCooker::kMaxCookedVertices + 1; }},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.name);
        TriangleMeshDesc desc = mesh.Desc();
        c.apply(desc);
        MemoryPhysicsStream stream;
        EXPECT_FALSE(cooker->CookTriangleMesh(desc, stream));
        EXPECT_FALSE(cooker->LastError().empty());
        EXPECT_TRUE(stream.Bytes().empty());   // nothing half-written
    }
}

TEST(MeshCookerTest, TakesStridedPointsAndSixteenBitIndices)
{
    // Points padded to 16 bytes and 16-bit indices padded to 8 bytes per triangle.
    const float points[] = {0, 0, 0, 99, 1, 0, 0, 99, 1, 0, 1, 99};
    const uint16_t triangles[] = {0, 1, 2, 0xFFFF};
    TriangleMeshDesc desc;
    desc.numVertices = 3;
    desc.numTriangles = 1;
    desc.points = points;
    desc.pointStrideBytes = 16;
    desc.triangles = triangles;
    desc.triangleStrideBytes = 8;
    desc.flags = PhysicsMeshFlag::SixteenBitIndices;
    MemoryPhysicsStream stream;
    ASSERT_TRUE(ReadyCooker()->CookTriangleMesh(desc, stream));
    CookedTriangleMesh read;
    ASSERT_TRUE(MeshCooker::ReadCookedMesh(stream, read, nullptr));
    EXPECT_EQ(read.points, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 0, 1}));
    EXPECT_EQ(read.indices, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(read.flags, 0u);   // the index width is the caller's, not the stream's
}

TEST(MeshCookerTest, CookerNeedsOurVersionAndOneInit)
{
    EXPECT_EQ(MeshCooker::Create(0x2060000), nullptr);
    auto cooker = MeshCooker::Create(kPhysicsInterfaceVersion);
    ASSERT_NE(cooker, nullptr);
    MemoryPhysicsStream stream;
    EXPECT_FALSE(cooker->CookTriangleMesh(TwoTriangles().Desc(), stream));
    EXPECT_TRUE(cooker->Init());
    EXPECT_FALSE(cooker->Init());
    EXPECT_TRUE(cooker->CookTriangleMesh(TwoTriangles().Desc(), stream));
}

TEST(MeshCookerTest, ZeroTrianglesStillCookAndMakeAnActor)
{
    GameWorld world;
    MeshData empty;
    empty.points = {1, 2, 3};   // a part may carry vertices and no triangles
    PhysicsActor* actor = world.AddMesh(empty);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->ShapeCount(), 1u);
    EXPECT_EQ(actor->Shape(0)->Type(), PhysicsShapeType::TriangleMesh);
    EXPECT_EQ(actor->Shape(0)->Desc().mesh->TriangleCount(), 0u);
    EXPECT_EQ(actor->Shape(0)->CollisionObject(), nullptr);
    ASSERT_NE(world.AddMesh(MeshData()), nullptr);   // no vertices either

    // Such an actor blocks nothing, and sweeps pass through where it is.
    CapsuleController* capsule = world.AddCapsule({0.0, 5.0, 0.0});
    GameWorld::Walk(*capsule, {0.0f, -0.7f, 0.0f}, 10);
    EXPECT_NEAR(capsule->Position().y, 5.0 - 7.0, 1e-4);
}

TEST(MeshCookerTest, TwoCookingsInARowLeaveTheFileHoldingTheSecond)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string path = folder / "temp.bin";
    GameWorld world;
    MeshData first;
    first.Box({0, 0, 0}, {1, 1, 1});
    const MeshData second = TwoTriangles();
    PhysicsTriangleMesh* meshes[2] = {};
    for (int i = 0; i < 2; ++i) {
        {
            FileStream out(path, false);
            ASSERT_TRUE(out.IsOpen());
            ASSERT_TRUE(world.cooker->CookTriangleMesh((i == 0 ? first : second).Desc(), out));
        }
        FileStream in(path, true);
        meshes[i] = world.engine->CreateTriangleMesh(in);
        ASSERT_NE(meshes[i], nullptr);
    }
    EXPECT_EQ(meshes[0]->TriangleCount(), 12u);
    EXPECT_EQ(meshes[1]->TriangleCount(), 2u);

    FileStream again(path, true);
    CookedTriangleMesh read;
    ASSERT_TRUE(MeshCooker::ReadCookedMesh(again, read, nullptr));
    EXPECT_EQ(read.points, second.points);
    EXPECT_EQ(read.indices, second.indices);
    EXPECT_EQ(again.ReadByte(), 0);   // nothing of the first mesh is left behind
    EXPECT_TRUE(again.Failed());
}

TEST(MeshCookerTest, EngineRefusesABadStreamWithAReport)
{
    GameWorld world;
    std::vector<uint8_t> bytes = Cook(TwoTriangles());
    bytes.resize(bytes.size() - 1);
    MemoryPhysicsStream stream(bytes);
    EXPECT_EQ(world.engine->CreateTriangleMesh(stream), nullptr);
    ASSERT_EQ(world.reporter.errors.size(), 1u);
    EXPECT_EQ(world.reporter.errors[0], PhysicsErrorCode::InvalidData);
    EXPECT_EQ(world.engine->TriangleMeshCount(), 0u);
}
