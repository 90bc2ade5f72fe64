#include "sdk/geometry/KDuzImageConverter.h"

#include "sdk/base/KFile.h"
#include "sdk/base/KPath.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzMediaContent.h"

#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace duzsdk {

// ---- the converter object ------------------------------------------------------------------

KDuzImageConverter::KDuzImageConverter(KDuzSdkManager* manager, const char* name) : KDuzObject(manager, name) {}

KDuzImageConverter::~KDuzImageConverter() = default;

KDuzImageConverter* KDuzImageConverter::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzImageConverter*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzImageConverter::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* converter = new (std::nothrow) KDuzImageConverter(manager, name);
    if (converter != nullptr) converter->PostCreate();
    return converter;
}

KClassId KDuzImageConverter::ClassId() { return KDuzClassIdOf(eDuzClassImageConverter); }

KClassId KDuzImageConverter::GetClassId() const { return ClassId(); }

bool KDuzImageConverter::RegisterRoutine(const char* extension, KDuzImageConversionRoutine routine) {
    if (extension == nullptr || extension[0] == '\0' || routine == nullptr) return false;
    if (auto* known = static_cast<Routine*>(mRoutines.Find(extension))) {
        known->call = routine;
        return true;
    }
    auto entry = std::unique_ptr<Routine>(new (std::nothrow) Routine{routine});
    if (entry == nullptr || mRoutines.Insert(extension, entry.get()) < 0) return false;
    mOwned.push_back(std::move(entry));
    return true;
}

bool KDuzImageConverter::Convert(int kind, const char* fileName, KDuzMediaContent* media) {
    if (fileName == nullptr) return false;
    const KString extension = KPathGetExtension(fileName);
    auto* routine = static_cast<Routine*>(mRoutines.Find(extension.Buffer()));
    return routine != nullptr && routine->call(kind, fileName, media) == 0;
}

// ---- rows -------------------------------------------------------------------------------------

bool ImageUnpackYCbCrRow(const unsigned char* row, size_t rowBytes, int width, int horizontal, unsigned char* out) {
    if (horizontal < 1 || width < 0) return false;
    const size_t groups = (static_cast<size_t>(width) + static_cast<size_t>(horizontal) - 1) / static_cast<size_t>(horizontal);
    if (groups * (static_cast<size_t>(horizontal) + 2) > rowBytes) return false;
    int pixel = 0;
    for (size_t g = 0; g < groups; ++g) {
        const unsigned char* group = row + g * (static_cast<size_t>(horizontal) + 2);
        const unsigned char cb = group[horizontal];
        const unsigned char cr = group[horizontal + 1];
        for (int y = 0; y < horizontal && pixel < width; ++y, ++pixel) {
            out[3 * pixel] = group[y];
            out[3 * pixel + 1] = cb;
            out[3 * pixel + 2] = cr;
        }
    }
    return true;
}

bool ImageCopyRow(const unsigned char* row, size_t rowBytes, int width, int samples, unsigned char* out) {
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(samples);
    if (width < 0 || samples < 0 || bytes > rowBytes) return false;
    std::memcpy(out, row, bytes);
    return true;
}

// ---- reading ----------------------------------------------------------------------------------

namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

bool ReadTiff(TIFF* tiff, KDuzMediaContent& media) {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t photometric = 0;
    uint16_t samples = 1;
    uint16_t bits = 0;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint32_t rowsPerStrip = 0;
    uint16_t horizontal = 1;
    uint16_t vertical = 1;
    if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) != 1 || TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) != 1 ||
        TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 1)
        return false;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    const bool hasBits = TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits) == 1;
    const bool ycbcr = photometric == PHOTOMETRIC_YCBCR;
    // Without the tag a YCbCr image holds one (Y, Cb, Cr) per pixel. libtiff
    // would lay out its strips as 2 x 2 and read them short, so it is told.
    if (TIFFGetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, &horizontal, &vertical) != 1) {
        horizontal = vertical = 1;
        if (ycbcr) TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, horizontal, vertical);
    }

    if (!ycbcr && photometric != PHOTOMETRIC_RGB) return false;
    if (!ycbcr) horizontal = vertical = 1;
    if (horizontal > 2 || horizontal < 1 || vertical != 1) return false;
    // Rows of other sample sizes or separate planes are not width x samples
    // bytes; reading them as such would run past the strips.
    if (!hasBits || bits != 8 || planar != PLANARCONFIG_CONTIG) return false;
    if (ycbcr ? samples != 3 : (samples != 3 && samples != 4)) return false;
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return false;
    if (!media.Allocate(static_cast<int>(width), static_cast<int>(height), true, ycbcr ? 1 : 0, samples) ||
        media.content == nullptr)
        return false;

    const size_t pixelRow = static_cast<size_t>(width) * samples;
    const size_t stride = ycbcr && horizontal == 2 ? (static_cast<size_t>(width) + 1) / 2 * 4
                                                   : static_cast<size_t>(TIFFScanlineSize64(tiff));
    if (!ycbcr && stride < pixelRow) return false;
    const tmsize_t stripSize = TIFFStripSize(tiff);
    if (stripSize <= 0) return false;
    std::vector<unsigned char> strip(static_cast<size_t>(stripSize));
    if (rowsPerStrip == 0 || rowsPerStrip > height) rowsPerStrip = height;
    unsigned char* out = media.content;
    for (uint32_t first = 0; first < height; first += rowsPerStrip) {
        const uint32_t rows = height - first < rowsPerStrip ? height - first : rowsPerStrip;
        const tmsize_t read = TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, first, 0), strip.data(), stripSize);
        if (read < 0) return false;
        for (uint32_t r = 0; r < rows; ++r) {
            const size_t offset = static_cast<size_t>(r) * stride;
            // Every copy stays inside what the strip really returned.
            if (offset > static_cast<size_t>(read)) return false;
            const unsigned char* row = strip.data() + offset;
            const size_t available = static_cast<size_t>(read) - offset;
            const bool ok = ycbcr ? ImageUnpackYCbCrRow(row, available < stride ? available : stride,
                                                        static_cast<int>(width), horizontal, out)
                                  : ImageCopyRow(row, available, static_cast<int>(width), samples, out);
            if (!ok) return false;
            out += pixelRow;
        }
    }
    return true;
}

}  // namespace

bool ImageReadTiff(const char* fileName, KDuzMediaContent& media, bool removeSource) {
    if (fileName == nullptr) return false;
    bool ok = false;
    {
        TiffHandle tiff(TIFFOpen(fileName, "r"));
        if (tiff == nullptr) return false;
        ok = ReadTiff(tiff.get(), media);
    }
    if (!ok) {
        media.Clear();
        return false;
    }
    media.SetOriginalFileName(fileName);
    if (removeSource) KFileRemove(KString(fileName));
    return true;
}

// ---- writing ----------------------------------------------------------------------------------

bool ImageWriteTiff(const char* fileName, bool compress, const KDuzMediaContent& media) {
    if (fileName == nullptr || media.width < 0 || media.height < 0 || media.bytesPerPixel < 1 ||
        media.bytesPerPixel > 4 || (media.height > 0 && media.content == nullptr))
        return false;
    const size_t rowBytes = static_cast<size_t>(media.width) * static_cast<size_t>(media.bytesPerPixel);
    if (media.content != nullptr && media.byteCount != 0 && rowBytes * static_cast<size_t>(media.height) > media.byteCount)
        return false;
    bool ok = true;
    {
        TiffHandle tiff(TIFFOpen(fileName, "w"));
        if (tiff == nullptr) return false;
        TIFF* t = tiff.get();
        const bool ycbcr = media.format == 1;
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(media.width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(media.height));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(media.bytesPerPixel));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(8));
        TIFFSetField(t, TIFFTAG_COMPRESSION, static_cast<uint16_t>(compress ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE));
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, static_cast<uint16_t>(ycbcr ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB));
        // One (Y, Cb, Cr) per pixel: without the tag every reader assumes 2 x 2.
        if (ycbcr) TIFFSetField(t, TIFFTAG_YCBCRSUBSAMPLING, static_cast<uint16_t>(1), static_cast<uint16_t>(1));
        TIFFSetField(t, TIFFTAG_ORIENTATION, static_cast<uint16_t>(ORIENTATION_TOPLEFT));
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(1));
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, static_cast<uint16_t>(PLANARCONFIG_CONTIG));
        TIFFSetField(t, TIFFTAG_XRESOLUTION, 72.0f);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, 72.0f);
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, static_cast<uint32_t>(0));
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, static_cast<uint16_t>(RESUNIT_INCH));
        if (media.bytesPerPixel == 4) {
            const uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(1), extra);
        }
        for (int row = 0; row < media.height; ++row) {
            if (TIFFWriteScanline(t, media.content + static_cast<size_t>(row) * rowBytes, static_cast<uint32_t>(row), 0) < 0) {
                TIFFError("WriteFile", "failure in WriteScanline\n");
                ok = false;
                break;
            }
        }
    }
    // A half-written image is not left behind as if it were one.
    if (!ok) std::remove(fileName);
    return ok;
}

}  // namespace duzsdk
