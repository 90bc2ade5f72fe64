#include "sdk/base/KChainedFile.h"

#include <cstring>

#include "sdk/base/KFile.h"
#include "sdk/base/KMemoryFile.h"

namespace duzsdk {

KChainedFile::KChainedFile(int64_t dataStart, KChainedFile* inner, int openState, bool ownsInner)
    : dataStart_(dataStart), inner_(inner), openState_(openState), ownsInner_(ownsInner)
{
}

KChainedFile::~KChainedFile()
{
    if (ownsInner_)
        delete inner_;
    delete ownFile_;
}

void KChainedFile::ReplaceOwnFile(KFile* file)
{
    delete ownFile_;
    ownFile_ = file;
}

bool KChainedFile::OpenMemory(void* data, size_t size, bool growable)
{
    layerError_ = false;
    bool opened = false;
    if (inner_ != nullptr) {
        opened = inner_->OpenMemory(data, size, growable);
    } else {
        auto* file = new KMemoryFile;
        ReplaceOwnFile(file);
        opened = file->AttachBuffer(data, size, growable);
    }
    openState_ = opened ? kOpenRead : kClosed;
    return opened;
}

bool KChainedFile::Open(const char* path, const char* mode)
{
    layerError_ = false;
    bool opened = false;
    if (inner_ != nullptr) {
        opened = inner_->Open(path, mode);
    } else {
        auto* file = new KFile;
        ReplaceOwnFile(file);
        opened = file->Open(path, mode);
    }
    const bool reading = mode != nullptr && std::strchr(mode, 'r') != nullptr;
    openState_ = !opened ? kClosed : (reading ? kOpenRead : kOpenWrite);
    return opened;
}

bool KChainedFile::OpenMode(const char* path, int mode, bool text)
{
    layerError_ = false;
    bool opened = false;
    if (inner_ != nullptr) {
        opened = inner_->OpenMode(path, mode, text);
    } else {
        auto* file = new KFile;
        ReplaceOwnFile(file);
        opened = file->OpenMode(path, mode, text);
    }
    openState_ = !opened ? kClosed : (mode == KFile::kModeRead ? kOpenRead : kOpenWrite);
    return opened;
}

bool KChainedFile::Close()
{
    bool closed = false;
    if (inner_ != nullptr)
        closed = inner_->Close();
    else if (ownFile_ != nullptr)
        closed = ownFile_->Close();
    openState_ = kClosed;
    return closed;
}

size_t KChainedFile::Read(void* buffer, size_t count)
{
    if (inner_ != nullptr)
        return inner_->Read(buffer, count);
    return ownFile_ != nullptr ? ownFile_->Read(buffer, count) : 0;
}

char* KChainedFile::ReadLine(char* buffer, int capacity)
{
    if (inner_ != nullptr)
        return inner_->ReadLine(buffer, capacity);
    return ownFile_ != nullptr ? ownFile_->ReadLine(buffer, capacity) : nullptr;
}

size_t KChainedFile::Write(const void* data, size_t count)
{
    if (inner_ != nullptr)
        return inner_->Write(data, count);
    return ownFile_ != nullptr ? ownFile_->Write(data, count) : 0;
}

bool KChainedFile::Flush()
{
    if (inner_ != nullptr)
        return inner_->Flush();
    return ownFile_ != nullptr && ownFile_->Flush();
}

bool KChainedFile::Seek(int origin, int64_t offset)
{
    if (inner_ != nullptr)
        return inner_->Seek(origin, offset);
    return ownFile_ != nullptr && ownFile_->Seek(origin, offset);
}

int64_t KChainedFile::Tell()
{
    if (inner_ != nullptr)
        return inner_->Tell();
    return ownFile_ != nullptr ? ownFile_->Tell() : 0;
}

bool KChainedFile::SeekFromStart(int64_t offset)
{
    if (inner_ != nullptr)
        return inner_->SeekFromStart(offset);
    return ownFile_ != nullptr && ownFile_->SeekFromStart(offset);
}

bool KChainedFile::IsOpen()
{
    if (inner_ != nullptr)
        return inner_->IsOpen();
    return ownFile_ != nullptr && ownFile_->IsOpen();
}

int KChainedFile::GetError()
{
    if (layerError_)
        return 1;
    if (inner_ != nullptr)
        return inner_->GetError();
    return ownFile_ != nullptr ? ownFile_->GetError() : 0;
}

void KChainedFile::ClearError()
{
    layerError_ = false;
    ClearErrorBelow();
}

void KChainedFile::ClearErrorBelow()
{
    if (inner_ != nullptr)
        inner_->ClearError();
    else if (ownFile_ != nullptr)
        ownFile_->ClearError();
}

bool KChainedFile::IsEOF()
{
    if (inner_ != nullptr)
        return inner_->IsEOF();
    return ownFile_ != nullptr && ownFile_->IsEOF();
}

size_t KChainedFile::Printf(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const size_t written = VPrintf(format, arguments);
    va_end(arguments);
    return written;
}

size_t KChainedFile::VPrintf(const char* format, va_list arguments)
{
    KFormattedText text(format, arguments);
    if (!text.Valid() || text.Length() == 0)
        return 0;
    // Through this layer's own Write, so a layer that transforms what it
    // writes transforms formatted text too.
    return Write(text.Text(), text.Length());
}

int KChainedFile::Truncate(int64_t length)
{
    if (inner_ != nullptr)
        return inner_->Truncate(length);
    return ownFile_ != nullptr ? ownFile_->Truncate(length) : -1;
}

void* KChainedFile::GetBuffer(size_t* outSize)
{
    if (inner_ != nullptr)
        return inner_->GetBuffer(outSize);
    if (ownFile_ != nullptr)
        return ownFile_->GetBuffer(outSize);
    if (outSize != nullptr)
        *outSize = 0;
    return nullptr;
}

size_t KChainedFile::GetUsedSize()
{
    KMemoryFile* memory = GetMemoryFile();
    return memory != nullptr ? memory->GetUsedSize() : 0;
}

KMemoryFile* KChainedFile::GetMemoryFile()
{
    if (inner_ != nullptr)
        return inner_->GetMemoryFile();
    auto* memory = dynamic_cast<KMemoryFile*>(ownFile_);
    return memory != nullptr && memory->IsOpen() ? memory : nullptr;
}

}  // namespace duzsdk
