#include "sdk/base/KFile.h"

#include <cstring>

#include "platform/PlatformFile.h"
#include "sdk/base/KMemory.h"

namespace duzsdk {

namespace {

void ReverseBytes(unsigned char* bytes, size_t count)
{
    for (size_t i = 0, j = count - 1; i < j; ++i, --j) {
        const unsigned char t = bytes[i];
        bytes[i] = bytes[j];
        bytes[j] = t;
    }
}

int StdioOrigin(int origin)
{
    switch (origin) {
    case 1:
        return SEEK_CUR;
    case 2:
        return SEEK_END;
    default:
        return SEEK_SET;
    }
}

}  // namespace

KFormattedText::KFormattedText(const char* format, va_list arguments)
{
    if (format == nullptr)
        return;
    va_list again;
    va_copy(again, arguments);
    const int needed = std::vsnprintf(small_, sizeof(small_), format, arguments);
    if (needed >= 0) {
        if (static_cast<size_t>(needed) < sizeof(small_)) {
            text_ = small_;
            length_ = static_cast<size_t>(needed);
        } else {
            // Longer texts are written whole rather than cut at the work buffer.
            heap_ = static_cast<char*>(KMemAlloc(static_cast<size_t>(needed) + 1));
            if (heap_ != nullptr &&
                std::vsnprintf(heap_, static_cast<size_t>(needed) + 1, format, again) == needed) {
                text_ = heap_;
                length_ = static_cast<size_t>(needed);
            }
        }
    }
    va_end(again);
}

KFormattedText::~KFormattedText()
{
    KMemFree(heap_);
}

char* KStdioReadLine(char* buffer, int capacity, FILE* stream)
{
    if (capacity <= 0 || buffer == nullptr)
        return nullptr;
    if (stream == nullptr) {
        buffer[0] = '\0';
        return nullptr;
    }
    int used = 0;
    while (used < capacity - 1) {
        const int c = std::getc(stream);
        if (c == EOF) {
            buffer[used] = '\0';
            return used == 0 ? nullptr : buffer;
        }
        buffer[used++] = static_cast<char>(c);
        if (c == '\n')
            break;
        if (c == '\r') {
            // CR LF stays a pair when it fits; anything else after a CR belongs
            // to the next line.
            const int next = std::getc(stream);
            if (next == '\n' && used < capacity - 1)
                buffer[used++] = '\n';
            else if (next != EOF)
                std::ungetc(next, stream);
            break;
        }
    }
    buffer[used] = '\0';
    return buffer;
}

int KFileRemove(const KString& path)
{
    return duzplatform::RemoveFile(path.Buffer());
}

KFile::KFile() : handle_(new Handle), fileName_() {}

KFile::~KFile()
{
    Close();
    delete handle_;
}

bool KFile::Open(const char* path, const char* mode)
{
    if (handle_->open)
        Close();
    fileName_.AssignText(path != nullptr ? path : "");
    handle_->stream = duzplatform::OpenFile(path, mode);
    handle_->open = handle_->stream != nullptr;
    handle_->readFailed = false;
    return handle_->open;
}

bool KFile::OpenMode(const char* path, int mode, bool text)
{
    static const char* const kModeTexts[] = {"r", "w", "w+", "a"};
    if (mode < kModeRead || mode > kModeAppend) {
        if (handle_->open)
            Close();
        fileName_.AssignText(path != nullptr ? path : "");
        return false;
    }
    char modeText[4];
    std::snprintf(modeText, sizeof(modeText), "%s%s", kModeTexts[mode], text ? "t" : "b");
    return Open(path, modeText);
}

bool KFile::Close()
{
    if (!handle_->open)
        return false;
    // A write that failed inside the stream's buffer shows up here at the latest.
    const bool hadError = std::ferror(handle_->stream) != 0;
    const bool closed = std::fclose(handle_->stream) == 0;
    handle_->stream = nullptr;
    handle_->open = false;
    handle_->readFailed = false;
    return closed && !hadError;
}

size_t KFile::Read(void* buffer, size_t count)
{
    if (!handle_->open || buffer == nullptr || count == 0)
        return 0;
    return std::fread(buffer, 1, count, handle_->stream);
}

char* KFile::ReadLine(char* buffer, int capacity)
{
    if (!handle_->open)
        return nullptr;
    return KStdioReadLine(buffer, capacity, handle_->stream);
}

bool KFile::ReadExact(void* bytes, size_t count)
{
    if (!handle_->open)
        return false;
    if (std::fread(bytes, 1, count, handle_->stream) == count)
        return true;
    // A value cut off by the end of the file is a failed read, not a value.
    handle_->readFailed = true;
    return false;
}

int32_t KFile::ReadInt32(int32_t* out, bool swap)
{
    unsigned char bytes[4] = {};
    int32_t value = 0;
    if (ReadExact(bytes, sizeof(bytes))) {
        if (swap)
            ReverseBytes(bytes, sizeof(bytes));
        std::memcpy(&value, bytes, sizeof(value));
    }
    if (out != nullptr)
        *out = value;
    return value;
}

int16_t KFile::ReadInt16(int16_t* out, bool swap)
{
    unsigned char bytes[2] = {};
    int16_t value = 0;
    if (ReadExact(bytes, sizeof(bytes))) {
        if (swap)
            ReverseBytes(bytes, sizeof(bytes));
        std::memcpy(&value, bytes, sizeof(value));
    }
    if (out != nullptr)
        *out = value;
    return value;
}

int8_t KFile::ReadByte(int8_t* out)
{
    unsigned char byte = 0;
    int8_t value = 0;
    if (ReadExact(&byte, 1))
        value = static_cast<int8_t>(byte);
    if (out != nullptr)
        *out = value;
    return value;
}

size_t KFile::Write(const void* data, size_t count)
{
    if (!handle_->open || data == nullptr || count == 0)
        return 0;
    return std::fwrite(data, 1, count, handle_->stream);
}

bool KFile::Flush()
{
    if (!handle_->open)
        return false;
    return std::fflush(handle_->stream) == 0;
}

bool KFile::Seek(int origin, int64_t offset)
{
    if (!handle_->open)
        return false;
    return duzplatform::SeekFile(handle_->stream, offset, StdioOrigin(origin)) == 0;
}

int64_t KFile::Tell()
{
    if (!handle_->open)
        return 0;
    return duzplatform::TellFile(handle_->stream);
}

bool KFile::SeekFromStart(int64_t offset)
{
    if (!handle_->open)
        return false;
    return duzplatform::SeekFile(handle_->stream, offset, SEEK_SET) == 0;
}

bool KFile::IsOpen() const
{
    return handle_->open;
}

const KString& KFile::GetFileName() const
{
    return fileName_;
}

int KFile::GetError()
{
    if (!handle_->open)
        return 0;
    return (std::ferror(handle_->stream) != 0 || handle_->readFailed) ? 1 : 0;
}

void KFile::ClearError()
{
    if (!handle_->open)
        return;
    std::clearerr(handle_->stream);
    handle_->readFailed = false;
}

bool KFile::IsEOF()
{
    if (!handle_->open)
        return false;
    return std::feof(handle_->stream) != 0;
}

size_t KFile::Printf(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const size_t written = VPrintf(format, arguments);
    va_end(arguments);
    return written;
}

size_t KFile::VPrintf(const char* format, va_list arguments)
{
    if (!IsOpen())
        return 0;
    KFormattedText text(format, arguments);
    if (!text.Valid())
        return 0;
    return Write(text.Text(), text.Length());
}

int KFile::Truncate(int64_t length)
{
    if (!handle_->open)
        return -1;
    return duzplatform::TruncateFile(handle_->stream, length);
}

void* KFile::GetBuffer(size_t* outSize)
{
    if (outSize != nullptr)
        *outSize = 0;
    return nullptr;
}

}  // namespace duzsdk
