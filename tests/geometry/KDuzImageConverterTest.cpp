#include "sdk/geometry/KDuzImageConverter.h"

#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzMediaContent.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace duzsdk {
namespace {

// Test images are made here with libtiff, never checked in.
struct TiffSpec {
    uint32_t width = 4;
    uint32_t height = 3;
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t samples = 3;
    uint16_t bits = 8;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint32_t rowsPerStrip = 2;
    int hSub = 0;   // YCbCr subsampling tag when non-zero
    int vSub = 1;
    bool palette = false;
};

class ImageConverterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "duzimage-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        TIFFSetWarningHandler(nullptr);
    }
    void TearDown() override {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    std::string PathOf(const std::string& name) const { return folder + "/" + name; }

    // Writes the stored bytes as strips of rowsPerStrip rows of rowBytes each.
    std::string Write(const std::string& name, const TiffSpec& spec, const std::vector<unsigned char>& bytes,
                      size_t rowBytes) {
        const std::string path = PathOf(name);
        TIFF* t = TIFFOpen(path.c_str(), "w");
        EXPECT_NE(t, nullptr);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, spec.width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, spec.height);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, spec.photometric);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, spec.samples);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, spec.bits);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, spec.planar);
        TIFFSetField(t, TIFFTAG_COMPRESSION, spec.compression);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, spec.rowsPerStrip);
        if (spec.hSub != 0)
            TIFFSetField(t, TIFFTAG_YCBCRSUBSAMPLING, static_cast<uint16_t>(spec.hSub), static_cast<uint16_t>(spec.vSub));
        if (spec.samples == 4) {
            const uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        if (spec.palette) {
            std::vector<uint16_t> map(static_cast<size_t>(1) << spec.bits, 0);
            TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
        }
        const uint32_t strips = (spec.height + spec.rowsPerStrip - 1) / spec.rowsPerStrip;
        for (uint32_t s = 0; s < strips; ++s) {
            const uint32_t rows = std::min(spec.rowsPerStrip, spec.height - s * spec.rowsPerStrip);
            std::vector<unsigned char> strip(bytes.begin() + static_cast<long>(s * spec.rowsPerStrip * rowBytes),
                                             bytes.begin() + static_cast<long>((s * spec.rowsPerStrip + rows) * rowBytes));
            EXPECT_GE(TIFFWriteEncodedStrip(t, s, strip.data(), static_cast<tmsize_t>(strip.size())), 0);
        }
        TIFFClose(t);
        return path;
    }

    static std::vector<unsigned char> Ramp(size_t n) {
        std::vector<unsigned char> bytes(n);
        for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
        return bytes;
    }

    std::string folder;
};

TEST_F(ImageConverterTest, RgbAndRgbaRowsComeBackAsStored) {
    struct Case {
        const char* name;
        uint16_t samples;
        uint16_t compression;
        uint32_t rowsPerStrip;
    };
    const Case cases[] = {{"rgb", 3, COMPRESSION_NONE, 2},
                          {"rgba", 4, COMPRESSION_NONE, 1},
                          {"deflate", 3, COMPRESSION_ADOBE_DEFLATE, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TiffSpec spec;
        spec.samples = c.samples;
        spec.compression = c.compression;
        spec.rowsPerStrip = c.rowsPerStrip;
        const size_t rowBytes = spec.width * c.samples;
        const std::vector<unsigned char> pixels = Ramp(rowBytes * spec.height);
        const std::string path = Write(std::string(c.name) + ".tif", spec, pixels, rowBytes);
        KDuzMediaContent media;
        ASSERT_TRUE(ImageReadTiff(path.c_str(), media, false));
        EXPECT_EQ(media.width, 4);
        EXPECT_EQ(media.height, 3);
        EXPECT_EQ(media.format, 0);
        EXPECT_EQ(media.bytesPerPixel, c.samples);
        ASSERT_NE(media.content, nullptr);
        EXPECT_EQ(std::vector<unsigned char>(media.content, media.content + pixels.size()), pixels);
        EXPECT_TRUE(std::filesystem::exists(path));
    }
}

TEST_F(ImageConverterTest, YCbCrGroupsSpreadTheirChromaOverTheirPixels) {
    // 2 x 1 subsampling, odd width: groups Y0 Y1 Cb Cr, the last group's
    // second luma falls outside the image.
    TiffSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.photometric = PHOTOMETRIC_YCBCR;
    spec.hSub = 2;
    spec.rowsPerStrip = 2;
    const std::vector<unsigned char> stored = {10, 11, 100, 200, 12, 0, 101, 201,   // row 0
                                               20, 21, 110, 210, 22, 0, 111, 211};  // row 1
    const std::string path = Write("ycbcr.tif", spec, stored, 8);
    KDuzMediaContent media;
    ASSERT_TRUE(ImageReadTiff(path.c_str(), media, true));
    EXPECT_EQ(media.format, 1);
    EXPECT_EQ(media.bytesPerPixel, 3);
    const std::vector<unsigned char> expected = {10, 100, 200, 11, 100, 200, 12, 101, 201,
                                                 20, 110, 210, 21, 110, 210, 22, 111, 211};
    ASSERT_EQ(media.GetByteCount(), expected.size());
    EXPECT_EQ(std::vector<unsigned char>(media.content, media.content + expected.size()), expected);
    // Read successfully with removeSource: the file is gone.
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ImageConverterTest, YCbCrWithoutSubsamplingTagIsOneSamplePerPixel) {
    const struct {
        const char* name;
        uint16_t compression;
        uint32_t rowsPerStrip;
    } cases[] = {{"plain", COMPRESSION_NONE, 2}, {"deflate", COMPRESSION_ADOBE_DEFLATE, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TiffSpec spec;
        spec.photometric = PHOTOMETRIC_YCBCR;
        spec.compression = c.compression;
        spec.rowsPerStrip = c.rowsPerStrip;
        const size_t rowBytes = spec.width * 3;
        const std::vector<unsigned char> pixels = Ramp(rowBytes * spec.height);
        const std::string path = Write(std::string("untagged-") + c.name + ".tif", spec, pixels, rowBytes);
        KDuzMediaContent media;
        ASSERT_TRUE(ImageReadTiff(path.c_str(), media, false));
        EXPECT_EQ(media.format, 1);
        ASSERT_EQ(media.GetByteCount(), pixels.size());
        EXPECT_EQ(std::vector<unsigned char>(media.content, media.content + pixels.size()), pixels);
    }
}

TEST_F(ImageConverterTest, UnsupportedLayoutsAreRefusedAndTheFileStays) {
    struct Case {
        const char* name;
        TiffSpec spec;
        size_t rowBytes;
    };
    auto make = [](auto change) {
        TiffSpec spec;
        change(spec);
        return spec;
    };
    const Case cases[] = {
        {"grey", make([](TiffSpec& s) { s.photometric = PHOTOMETRIC_MINISBLACK; s.samples = 1; }), 4},
        {"palette", make([](TiffSpec& s) { s.photometric = PHOTOMETRIC_PALETTE; s.samples = 1; s.palette = true; }), 4},
        {"YCbCr 4x1", make([](TiffSpec& s) { s.photometric = PHOTOMETRIC_YCBCR; s.hSub = 4; }), 6},
        {"YCbCr 2x2", make([](TiffSpec& s) { s.photometric = PHOTOMETRIC_YCBCR; s.hSub = 2; s.vSub = 2; s.rowsPerStrip = 2; }), 8},
        {"16 bits", make([](TiffSpec& s) { s.bits = 16; }), 24},
        {"4 bits", make([](TiffSpec& s) { s.bits = 4; }), 6},
        {"separate planes", make([](TiffSpec& s) { s.planar = PLANARCONFIG_SEPARATE; }), 4},
        {"two-sample RGB", make([](TiffSpec& s) { s.samples = 2; }), 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write(std::string(c.name) + ".tif", c.spec, Ramp(c.rowBytes * 3), c.rowBytes);
        KDuzMediaContent media;
        EXPECT_FALSE(ImageReadTiff(path.c_str(), media, true));
        EXPECT_TRUE(std::filesystem::exists(path));
    }
    KDuzMediaContent media;
    EXPECT_FALSE(ImageReadTiff(PathOf("missing.tif").c_str(), media, false));
}

TEST_F(ImageConverterTest, WrittenImagesReadBackInLibtiffWithTheSamePixels) {
    struct Case {
        const char* name;
        int format;
        int samples;
        bool compress;
    };
    const Case cases[] = {{"rgba deflate", 0, 4, true}, {"rgb", 0, 3, false}, {"ycbcr", 1, 3, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KDuzMediaContent media;
        ASSERT_TRUE(media.Allocate(5, 3, true, c.format, c.samples));
        const std::vector<unsigned char> pixels = Ramp(media.GetByteCount());
        std::memcpy(media.content, pixels.data(), pixels.size());
        const std::string path = PathOf(std::string(c.name) + ".tif");
        ASSERT_TRUE(ImageWriteTiff(path.c_str(), c.compress, media));

        TIFF* t = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(t, nullptr);
        uint16_t compression = 0;
        TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
        EXPECT_EQ(compression, c.compress ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE);
        uint16_t extraCount = 0;
        uint16_t* extra = nullptr;
        EXPECT_EQ(TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) == 1 && extraCount == 1,
                  c.samples == 4);
        if (c.format == 1) {
            uint16_t h = 0;
            uint16_t v = 0;
            ASSERT_EQ(TIFFGetField(t, TIFFTAG_YCBCRSUBSAMPLING, &h, &v), 1);
            EXPECT_EQ(h, 1);
            EXPECT_EQ(v, 1);
        }
        std::vector<unsigned char> row(static_cast<size_t>(TIFFScanlineSize(t)));
        for (uint32_t r = 0; r < 3; ++r) {
            ASSERT_EQ(TIFFReadScanline(t, row.data(), r, 0), 1);
            EXPECT_EQ(0, std::memcmp(row.data(), pixels.data() + r * 5 * static_cast<size_t>(c.samples),
                                     5 * static_cast<size_t>(c.samples)));
        }
        TIFFClose(t);

        // And through the reader, YCbCr included.
        KDuzMediaContent back;
        ASSERT_TRUE(ImageReadTiff(path.c_str(), back, false));
        EXPECT_EQ(back.format, c.format);
        EXPECT_EQ(std::vector<unsigned char>(back.content, back.content + back.GetByteCount()), pixels);
    }
}

int gCalls = 0;
int Succeed(int, const char*, KDuzMediaContent*) { return ++gCalls, 0; }
int Fail(int, const char*, KDuzMediaContent*) { return ++gCalls, 3; }

TEST_F(ImageConverterTest, ConverterCallsTheRoutineOfTheExtension) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzImageConverter* converter = KDuzImageConverter::Create(manager, "");
    ASSERT_NE(converter, nullptr);
    KDuzMediaContent media;
    EXPECT_FALSE(converter->Convert(0, "a.tif", &media));
    ASSERT_TRUE(converter->RegisterRoutine("tif", &Succeed));
    ASSERT_TRUE(converter->RegisterRoutine("bmp", &Fail));
    EXPECT_FALSE(converter->RegisterRoutine("", &Succeed));
    gCalls = 0;
    EXPECT_TRUE(converter->Convert(0, "dir/a.tif", &media));
    EXPECT_FALSE(converter->Convert(0, "a.bmp", &media));
    EXPECT_FALSE(converter->Convert(0, "a.png", &media));
    EXPECT_FALSE(converter->Convert(0, "noextension", &media));
    EXPECT_EQ(gCalls, 2);
    manager->Destroy();
}

TEST(ImageRowTest, RowsShorterThanTheirPixelsAreRefused) {
    const unsigned char row[] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char out[12] = {};
    EXPECT_TRUE(ImageUnpackYCbCrRow(row, 8, 4, 2, out));
    EXPECT_FALSE(ImageUnpackYCbCrRow(row, 7, 4, 2, out));
    EXPECT_TRUE(ImageCopyRow(row, 8, 2, 4, out));
    EXPECT_FALSE(ImageCopyRow(row, 8, 3, 3, out));
}

}  // namespace
}  // namespace duzsdk
