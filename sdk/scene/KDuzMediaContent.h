// An image held in memory for embedded media: the image converter and the
// video and texture readers and writers pass pixels around in it.
#pragma once

#include "sdk/base/KString.h"

#include <cstddef>

namespace duzsdk {

struct KDuzMediaContent {
    KDuzMediaContent() { Init(); }
    ~KDuzMediaContent() { Clear(); }
    KDuzMediaContent(const KDuzMediaContent&) = delete;
    KDuzMediaContent& operator=(const KDuzMediaContent&) = delete;

    // The values of a new record (an owned buffer already held is dropped
    // without being freed: call Clear first).
    void Init();
    // Frees an owned buffer first. With ownBuffer, the size must be positive
    // in both directions, the format 0 or 1 and the bytes per pixel (read as
    // a signed byte) positive, and the byte count must stay within
    // kMaxBytes; the buffer is then allocated. Without it, the values are
    // only stored. Returns the valid flag.
    bool Allocate(int width, int height, bool ownBuffer, int format, int bytesPerPixel);
    // Frees the buffer when it is owned, not valid any more, no file name.
    void Clear();

    void SetOriginalFormat(int format) { originalFormat = format; }
    void SetOriginalFileName(const char* name) { originalFileName = name != nullptr ? name : ""; }
    KString GetOriginalFileName() const { return originalFileName; }
    // Bytes of the buffer allocated by the last Allocate; 0 without one.
    size_t GetByteCount() const { return content != nullptr ? byteCount : 0; }

    static constexpr size_t kMaxBytes = size_t{1} << 31;

    int width;
    int height;
    int format;
    int bytesPerPixel;
    unsigned char* content;   // from KMemAlloc
    int originalFormat;
    KString originalFileName;
    bool valid;
    bool ownsBuffer;
    size_t byteCount;
};

}  // namespace duzsdk
