#include "sdk/scene/KDuzMediaContent.h"

#include "sdk/base/KMemory.h"

#include <cstdint>

namespace duzsdk {

void KDuzMediaContent::Init() {
    width = 0;
    height = 0;
    format = 0;
    bytesPerPixel = 3;
    content = nullptr;
    originalFormat = 1;
    originalFileName = "";
    valid = false;
    ownsBuffer = false;
    byteCount = 0;
}

bool KDuzMediaContent::Allocate(int newWidth, int newHeight, bool ownBuffer, int newFormat,
                                int newBytesPerPixel) {
    // A buffer of an earlier call is not left behind.
    if (ownsBuffer && content != nullptr) KMemFree(content);
    content = nullptr;
    byteCount = 0;
    width = newWidth;
    height = newHeight;
    format = newFormat;
    bytesPerPixel = static_cast<int8_t>(newBytesPerPixel);
    ownsBuffer = ownBuffer;
    valid = true;
    if (!ownBuffer) return valid;
    if (width <= 0 || height <= 0 || (format != 0 && format != 1) || bytesPerPixel <= 0) {
        valid = false;
        return valid;
    }
    // Worked out in 64 bits: an image too large to address is refused, not
    // given a short buffer.
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(bytesPerPixel) *
                           static_cast<uint64_t>(height);
    if (bytes > kMaxBytes) {
        valid = false;
        return valid;
    }
    content = static_cast<unsigned char*>(KMemAlloc(static_cast<size_t>(bytes)));
    if (content == nullptr) {
        valid = false;
        return valid;
    }
    byteCount = static_cast<size_t>(bytes);
    return valid;
}

void KDuzMediaContent::Clear() {
    // A borrowed buffer belongs to its lender.
    if (content != nullptr && ownsBuffer) KMemFree(content);
    content = nullptr;
    byteCount = 0;
    valid = false;
    originalFileName = "";
}

}  // namespace duzsdk
