#include "sdk/io/KDuzMemoryFieldWriter.h"

#include "sdk/base/KMemory.h"
#include "sdk/io/KDuz.h"

namespace duzsdk {

namespace {

constexpr uint32_t kInitialSize = 1024;
// What a write call returns when there is nothing to write to.
constexpr int kNoFile = KDuz::kErrorFileNotOpened;

}  // namespace

KDuzMemoryFieldWriter::KDuzMemoryFieldWriter() : state_(new State)
{
}

KDuzMemoryFieldWriter::~KDuzMemoryFieldWriter()
{
    Destroy();
}

bool KDuzMemoryFieldWriter::Open()
{
    if (state_ == nullptr)
        return false;
    // A second open without a close would lose the first stream.
    if (state_->file != nullptr)
        Close();
    state_->file = new KDuz;
    if (state_->buffer == nullptr) {
        state_->buffer = KMemAlloc(kInitialSize);
        state_->size = state_->buffer != nullptr ? kInitialSize : 0;
    }
    // The memory file may grow the buffer: the stream owns it until Close.
    void* buffer = state_->buffer;
    const size_t size = state_->size;
    state_->buffer = nullptr;
    state_->size = 0;
    return state_->file->ProjectCreate(buffer, size, true, false, nullptr);
}

bool KDuzMemoryFieldWriter::Close()
{
    if (state_ == nullptr || state_->file == nullptr)
        return false;
    void* buffer = nullptr;
    size_t size = 0;
    const bool closed = state_->file->ProjectClose(&buffer, &size);
    delete state_->file;
    state_->file = nullptr;
    state_->buffer = buffer;
    state_->size = static_cast<uint32_t>(size);
    return closed;
}

void KDuzMemoryFieldWriter::Destroy()
{
    if (state_ == nullptr)
        return;
    if (state_->file != nullptr)
        Close();
    KMemFree(state_->buffer);
    state_->buffer = nullptr;
    state_->size = 0;
    delete state_;
    state_ = nullptr;
}

int KDuzMemoryFieldWriter::FieldWriteBegin(const char* name)
{
    return GetFile() != nullptr ? state_->file->FieldWriteBegin(name) : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteEnd()
{
    return GetFile() != nullptr ? state_->file->FieldWriteEnd() : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteBlockBegin()
{
    return GetFile() != nullptr ? state_->file->FieldWriteBlockBegin() : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteBlockEnd()
{
    return GetFile() != nullptr ? state_->file->FieldWriteBlockEnd() : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteChar(char value)
{
    return GetFile() != nullptr ? state_->file->FieldWriteChar(value) : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteString(const char* text)
{
    return GetFile() != nullptr ? state_->file->FieldWriteString(text) : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteInt(int value)
{
    return GetFile() != nullptr ? state_->file->FieldWriteInt(value) : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteInt64(int64_t value)
{
    return GetFile() != nullptr ? state_->file->FieldWriteInt64(value) : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteFloat(float value)
{
    return GetFile() != nullptr ? state_->file->FieldWriteFloat(value) : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteDouble(double value)
{
    return GetFile() != nullptr ? state_->file->FieldWriteDouble(value) : kNoFile;
}

int KDuzMemoryFieldWriter::FieldWriteTime(KTime time)
{
    return GetFile() != nullptr ? state_->file->FieldWriteTime(time) : kNoFile;
}

}  // namespace duzsdk
