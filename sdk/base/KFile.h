#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "sdk/base/KString.h"

namespace duzsdk {

// Reads one line of at most capacity - 1 characters from a stream into
// `buffer`, always zero-terminated. The line end stays in the buffer: "\n",
// "\r\n" or a lone "\r". Null when capacity < 1 or at end of file with nothing
// read; otherwise `buffer`.
char* KStdioReadLine(char* buffer, int capacity, FILE* stream);

// Deletes the file at a UTF-8 path; 0 on success, -1 otherwise.
int KFileRemove(const KString& path);

// Text formatted from a printf format, of any length: short texts stay in
// the object, longer ones go to a heap block. Valid() is false when the
// format cannot be applied.
class KFormattedText {
public:
    KFormattedText(const char* format, va_list arguments);
    ~KFormattedText();
    KFormattedText(const KFormattedText&) = delete;
    KFormattedText& operator=(const KFormattedText&) = delete;

    bool Valid() const { return text_ != nullptr; }
    const char* Text() const { return text_; }
    size_t Length() const { return length_; }

private:
    char small_[16384];
    char* heap_ = nullptr;
    const char* text_ = nullptr;
    size_t length_ = 0;
};

// The SDK's sequential file: a standard-I/O stream opened through a UTF-8
// path. Every operation on a closed file returns its neutral value (0, null,
// false, -1 for Truncate) without touching anything.
class KFile {
public:
    // Open modes of OpenMode.
    enum { kModeRead = 0, kModeWrite = 1, kModeReadWrite = 2, kModeAppend = 3 };

    KFile();
    virtual ~KFile();
    KFile(const KFile&) = delete;
    KFile& operator=(const KFile&) = delete;

    // Opens with a standard-I/O mode text. The path is kept, also on failure.
    // Callers close a file before opening it again; an open file is closed
    // first so its stream is never leaked.
    virtual bool Open(const char* path, const char* mode);
    // mode 0 "r", 1 "w", 2 "w+", 3 "a", then "t" with the text flag, else "b".
    // Any other mode fails.
    virtual bool OpenMode(const char* path, int mode, bool text);
    // False when the file was not open or the stream could not be written out.
    virtual bool Close();

    virtual size_t Read(void* buffer, size_t count);
    virtual char* ReadLine(char* buffer, int capacity);

    // Fixed-size reads: all bytes or nothing. On success the value (byte order
    // reversed when `swap` is set) goes to `out` (may be null) and is returned;
    // otherwise `out` gets 0, 0 is returned and the position does not move.
    virtual int32_t ReadInt32(int32_t* out, bool swap);
    virtual int16_t ReadInt16(int16_t* out, bool swap);
    virtual int8_t ReadByte(int8_t* out);
    // The unsigned forms share the signed bodies.
    uint32_t ReadInt32(uint32_t* out, bool swap);
    uint16_t ReadInt16(uint16_t* out, bool swap);
    uint8_t ReadByte(uint8_t* out);

    virtual size_t Write(const void* data, size_t count);
    // Hands what the stream buffers to the system; false when closed or on failure.
    virtual bool Flush();

    // origin 0 from the start, 1 from the current position, 2 from the end
    // (offset added, as fseek); any other origin counts as 0. True on success.
    virtual bool Seek(int origin, int64_t offset);
    virtual int64_t Tell();
    virtual bool SeekFromStart(int64_t offset);

    virtual bool IsOpen() const;
    virtual const KString& GetFileName() const;

    // The stream's error indicator (non-zero after a failed read or write).
    virtual int GetError();
    // Clears the error and end-of-file indicators.
    virtual void ClearError();
    virtual bool IsEOF();

    // Formats and writes the whole text, without its terminator; any length.
    // Returns the bytes written.
    size_t Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual size_t VPrintf(const char* format, va_list arguments);

    // Sets the file's length; 0 on success, -1 when closed or on failure.
    virtual int Truncate(int64_t length);

    // The memory behind a memory file and its size; null for a disk file.
    virtual void* GetBuffer(size_t* outSize);

protected:
    // Reads all `count` bytes or reports failure; the typed reads are built on
    // it, so a file over other storage overrides only this.
    virtual bool ReadExact(void* bytes, size_t count);

private:
    // The stream and its open flag; the record the file owns.
    struct Handle {
        FILE* stream = nullptr;
        bool open = false;
        bool readFailed = false;  // a fixed-size read came up short
    };

    Handle* handle_;
    KString fileName_;
};

inline uint32_t KFile::ReadInt32(uint32_t* out, bool swap)
{
    const uint32_t value = static_cast<uint32_t>(ReadInt32(static_cast<int32_t*>(nullptr), swap));
    if (out != nullptr)
        *out = value;
    return value;
}

inline uint16_t KFile::ReadInt16(uint16_t* out, bool swap)
{
    const uint16_t value = static_cast<uint16_t>(ReadInt16(static_cast<int16_t*>(nullptr), swap));
    if (out != nullptr)
        *out = value;
    return value;
}

inline uint8_t KFile::ReadByte(uint8_t* out)
{
    const uint8_t value = static_cast<uint8_t>(ReadByte(static_cast<int8_t*>(nullptr)));
    if (out != nullptr)
        *out = value;
    return value;
}

}  // namespace duzsdk
