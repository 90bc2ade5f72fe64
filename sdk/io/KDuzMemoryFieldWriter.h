#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/base/KTime.h"

namespace duzsdk {

class KDuz;

// Writes a tree of fields into a binary field stream in memory and keeps the
// bytes: the DUZ 6 reader copies a subtree of the file it reads this way and
// stores the result as a property value. The holder owns the buffer.
class KDuzMemoryFieldWriter {
public:
    struct State {
        KDuz* file = nullptr;
        void* buffer = nullptr;  // from KMemAlloc
        uint32_t size = 0;       // after Close: the bytes written
    };

    KDuzMemoryFieldWriter();
    ~KDuzMemoryFieldWriter();
    KDuzMemoryFieldWriter(const KDuzMemoryFieldWriter&) = delete;
    KDuzMemoryFieldWriter& operator=(const KDuzMemoryFieldWriter&) = delete;

    bool Open();
    bool Close();
    // Closes a stream still open, then frees the buffer and the state.
    void Destroy();

    int FieldWriteBegin(const char* name);
    int FieldWriteEnd();
    int FieldWriteBlockBegin();
    int FieldWriteBlockEnd();
    int FieldWriteChar(char value);
    int FieldWriteString(const char* text);
    int FieldWriteInt(int value);
    int FieldWriteInt64(int64_t value);
    int FieldWriteFloat(float value);
    int FieldWriteDouble(double value);
    int FieldWriteTime(KTime time);

    const State* GetState() const { return state_; }
    const void* GetBuffer() const { return state_ != nullptr ? state_->buffer : nullptr; }
    uint32_t GetSize() const { return state_ != nullptr ? state_->size : 0; }
    KDuz* GetFile() const { return state_ != nullptr ? state_->file : nullptr; }

private:
    State* state_ = nullptr;
};

}  // namespace duzsdk
