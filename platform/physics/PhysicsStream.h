#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace duzplatform {

// Where cooked meshes go and come back from. Every operation moves the raw
// bytes of one value in host order; a read or store that cannot move its full
// size marks the stream failed (and a failed read gives 0), so a reader checks
// Failed() instead of trusting the values.
class PhysicsStream {
public:
    virtual ~PhysicsStream() = default;

    virtual uint8_t ReadByte() = 0;
    virtual uint16_t ReadWord() = 0;
    virtual uint32_t ReadDword() = 0;
    virtual float ReadFloat() = 0;
    virtual double ReadDouble() = 0;
    virtual void ReadBuffer(void* buffer, size_t size) = 0;

    virtual PhysicsStream& StoreByte(uint8_t value) = 0;
    virtual PhysicsStream& StoreWord(uint16_t value) = 0;
    virtual PhysicsStream& StoreDword(uint32_t value) = 0;
    virtual PhysicsStream& StoreFloat(float value) = 0;
    virtual PhysicsStream& StoreDouble(double value) = 0;
    virtual PhysicsStream& StoreBuffer(const void* buffer, size_t size) = 0;

    // Bytes still to read, or -1 when the stream cannot tell. Readers use it to
    // refuse counts the stream cannot hold before they allocate for them.
    virtual int64_t RemainingBytes() const { return -1; }

    bool Failed() const { return mFailed; }

protected:
    void MarkFailed() { mFailed = true; }

private:
    bool mFailed = false;
};

// A stream over a byte vector: stores append, reads consume from a cursor.
class MemoryPhysicsStream : public PhysicsStream {
public:
    MemoryPhysicsStream() = default;
    explicit MemoryPhysicsStream(std::vector<uint8_t> bytes) : mBytes(std::move(bytes)) {}

    uint8_t ReadByte() override;
    uint16_t ReadWord() override;
    uint32_t ReadDword() override;
    float ReadFloat() override;
    double ReadDouble() override;
    void ReadBuffer(void* buffer, size_t size) override;

    PhysicsStream& StoreByte(uint8_t value) override;
    PhysicsStream& StoreWord(uint16_t value) override;
    PhysicsStream& StoreDword(uint32_t value) override;
    PhysicsStream& StoreFloat(float value) override;
    PhysicsStream& StoreDouble(double value) override;
    PhysicsStream& StoreBuffer(const void* buffer, size_t size) override;

    int64_t RemainingBytes() const override { return static_cast<int64_t>(mBytes.size() - mReadPosition); }

    const std::vector<uint8_t>& Bytes() const { return mBytes; }
    std::vector<uint8_t>& Bytes() { return mBytes; }
    void Rewind() { mReadPosition = 0; }

private:
    template <typename T> T ReadValue();
    template <typename T> PhysicsStream& StoreValue(const T& value);

    std::vector<uint8_t> mBytes;
    size_t mReadPosition = 0;
};

} // namespace duzplatform
