#include "game/UserStream.h"

#include "platform/PlatformFile.h"

#include <cstring>

UserStream::UserStream(const char* fileName, bool load) {
    // A load opens regular files only (never blocking on a FIFO).
    mFile = fileName != nullptr ? duzplatform::OpenFile(fileName, load ? "rb" : "wb") : nullptr;
    if (mFile == nullptr) MarkFailed();
}

UserStream::~UserStream() {
    if (mFile != nullptr) std::fclose(mFile);
}

template <typename T>
T UserStream::Read() {
    T value{};
    ReadBuffer(&value, sizeof value);
    return value;
}

template <typename T>
duzplatform::PhysicsStream& UserStream::Store(const T& value) {
    return StoreBuffer(&value, sizeof value);
}

uint8_t UserStream::ReadByte() { return Read<uint8_t>(); }
uint16_t UserStream::ReadWord() { return Read<uint16_t>(); }
uint32_t UserStream::ReadDword() { return Read<uint32_t>(); }
float UserStream::ReadFloat() { return Read<float>(); }
double UserStream::ReadDouble() { return Read<double>(); }

void UserStream::ReadBuffer(void* buffer, size_t size) {
    if (size == 0) return;
    if (mFile == nullptr || Failed() || std::fread(buffer, 1, size, mFile) != size) {
        std::memset(buffer, 0, size);
        MarkFailed();
    }
}

duzplatform::PhysicsStream& UserStream::StoreByte(uint8_t value) { return Store(value); }
duzplatform::PhysicsStream& UserStream::StoreWord(uint16_t value) { return Store(value); }
duzplatform::PhysicsStream& UserStream::StoreDword(uint32_t value) { return Store(value); }
duzplatform::PhysicsStream& UserStream::StoreFloat(float value) { return Store(value); }
duzplatform::PhysicsStream& UserStream::StoreDouble(double value) { return Store(value); }

duzplatform::PhysicsStream& UserStream::StoreBuffer(const void* buffer, size_t size) {
    if (size == 0) return *this;
    if (mFile == nullptr || std::fwrite(buffer, 1, size, mFile) != size) MarkFailed();
    return *this;
}

int64_t UserStream::RemainingBytes() const {
    if (mFile == nullptr) return 0;
    long here = std::ftell(mFile);
    if (here < 0 || std::fseek(mFile, 0, SEEK_END) != 0) return -1;
    long end = std::ftell(mFile);
    std::fseek(mFile, here, SEEK_SET);
    return end < here ? 0 : int64_t(end - here);
}
