#include "platform/physics/PhysicsStream.h"

#include <cstring>

namespace duzplatform {

template <typename T> T MemoryPhysicsStream::ReadValue()
{
    T value{};
    ReadBuffer(&value, sizeof(T));
    return value;
}

template <typename T> PhysicsStream& MemoryPhysicsStream::StoreValue(const T& value)
{
    return StoreBuffer(&value, sizeof(T));
}

uint8_t MemoryPhysicsStream::ReadByte() { return ReadValue<uint8_t>(); }
uint16_t MemoryPhysicsStream::ReadWord() { return ReadValue<uint16_t>(); }
uint32_t MemoryPhysicsStream::ReadDword() { return ReadValue<uint32_t>(); }
float MemoryPhysicsStream::ReadFloat() { return ReadValue<float>(); }
double MemoryPhysicsStream::ReadDouble() { return ReadValue<double>(); }

void MemoryPhysicsStream::ReadBuffer(void* buffer, size_t size)
{
    if (size > mBytes.size() - mReadPosition) {
        // A short read gives zeros and leaves the cursor at the end.
        std::memset(buffer, 0, size);
        mReadPosition = mBytes.size();
        MarkFailed();
        return;
    }
    if (size != 0)
        std::memcpy(buffer, mBytes.data() + mReadPosition, size);
    mReadPosition += size;
}

PhysicsStream& MemoryPhysicsStream::StoreByte(uint8_t value) { return StoreValue(value); }
PhysicsStream& MemoryPhysicsStream::StoreWord(uint16_t value) { return StoreValue(value); }
PhysicsStream& MemoryPhysicsStream::StoreDword(uint32_t value) { return StoreValue(value); }
PhysicsStream& MemoryPhysicsStream::StoreFloat(float value) { return StoreValue(value); }
PhysicsStream& MemoryPhysicsStream::StoreDouble(double value) { return StoreValue(value); }

PhysicsStream& MemoryPhysicsStream::StoreBuffer(const void* buffer, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    mBytes.insert(mBytes.end(), bytes, bytes + size);
    return *this;
}

} // namespace duzplatform
