// A small square preview image of a scene or a take, 64 or 128 pixels a
// side, with three or four bytes per pixel.
#pragma once

#include "sdk/object/KDuzObject.h"

#include <cstddef>

namespace duzsdk {

class KDuzThumbnail : public KDuzObject {
public:
    enum EDataFormat { eRGB_24 = 0, eRGBA_32 = 1 };
    enum EImageSize { eNOT_SET = 0, e64x64 = 64, e128x128 = 128 };

    KDuzThumbnail(KDuzSdkManager* manager, const char* name);
    ~KDuzThumbnail() override;

    static KDuzThumbnail* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    // A format that changes the image's byte count reallocates the image
    // (zero-filled), so the bytes always match GetSizeInBytes.
    void SetDataFormat(int format);
    int GetDataFormat() const { return mDataFormat; }
    // Frees the image and, for size 64 or 128, allocates a zero-filled one.
    void SetSize(int size);
    int GetSize() const { return mSize; }
    // 3 (format 0) or 4 bytes per pixel times 64 x 64 or 128 x 128; 0 for
    // any other size.
    int GetSizeInBytes() const;
    // Null when there is no image.
    unsigned char* GetThumbnailImage() { return mImage; }
    const unsigned char* GetThumbnailImage() const { return mImage; }

    static int SizeInBytes(int size, int format);

private:
    void Reallocate();

    int mDataFormat = eRGB_24;
    int mSize = eNOT_SET;
    unsigned char* mImage = nullptr;
};

}  // namespace duzsdk
