// Embedded media pass through here: TIFF images are read into and written
// from a KDuzMediaContent record (libtiff does the encoding), and a
// converter object offers each image to the routine registered for its
// file extension.
#pragma once

#include "sdk/base/KSortedStringMap.h"
#include "sdk/object/KDuzObject.h"

#include <memory>
#include <vector>

namespace duzsdk {

struct KDuzMediaContent;

// A conversion routine: (kind, file name, media record); 0 on success.
using KDuzImageConversionRoutine = int (*)(int kind, const char* fileName, KDuzMediaContent* media);

class KDuzImageConverter : public KDuzObject {
public:
    KDuzImageConverter(KDuzSdkManager* manager, const char* name);
    ~KDuzImageConverter() override;

    static KDuzImageConverter* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    // Registers the routine for a file extension (without its dot); a
    // later registration of the same extension replaces it. False for a
    // null routine or an empty extension.
    bool RegisterRoutine(const char* extension, KDuzImageConversionRoutine routine);
    // Calls the routine of the file name's extension; true only when one is
    // registered and it returns 0.
    bool Convert(int kind, const char* fileName, KDuzMediaContent* media);

private:
    struct Routine {
        KDuzImageConversionRoutine call;
    };
    KSortedStringMap mRoutines{20};
    std::vector<std::unique_ptr<Routine>> mOwned;
};

// Reads an 8-bit RGB (3 or 4 samples) or YCbCr (3 samples, subsampling 1x1
// or 2x1) TIFF image with contiguous samples into the record: rows top to
// bottom, samples interleaved; YCbCr stays YCbCr, one (Y, Cb, Cr) per
// pixel. With removeSource, a file read successfully is deleted. False,
// with the file closed and left in place, for anything else.
bool ImageReadTiff(const char* fileName, KDuzMediaContent& media, bool removeSource);
// Writes the record as an 8-bit TIFF, one row per strip, deflate when
// compress is set. False (and no file left) when a row cannot be written.
bool ImageWriteTiff(const char* fileName, bool compress, const KDuzMediaContent& media);

// One stored YCbCr row (groups of h luma samples, then Cb and Cr) into
// width (Y, Cb, Cr) pixels; the last group stops at the width. False when
// the row holds fewer than the groups the width needs.
bool ImageUnpackYCbCrRow(const unsigned char* row, size_t rowBytes, int width, int horizontal, unsigned char* out);
// Copies width x samples bytes; false when the row is shorter.
bool ImageCopyRow(const unsigned char* row, size_t rowBytes, int width, int samples, unsigned char* out);

}  // namespace duzsdk
