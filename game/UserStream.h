#pragma once

#include "platform/physics/PhysicsStream.h"

#include <cstdio>

// The physics engine's stream over a file: cooked meshes go out and come
// back through "temp.bin". Every value moves as its raw bytes in host order;
// a short transfer marks the stream failed (reads then give 0).
class UserStream : public duzplatform::PhysicsStream {
public:
    // Opens the file for loading ("rb") or for storing ("wb").
    UserStream(const char* fileName, bool load);
    ~UserStream() override;
    UserStream(const UserStream&) = delete;
    UserStream& operator=(const UserStream&) = delete;

    bool IsOpen() const { return mFile != nullptr; }

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
    int64_t RemainingBytes() const override;

private:
    template <typename T> T Read();
    template <typename T> PhysicsStream& Store(const T& value);

    FILE* mFile = nullptr;
};
