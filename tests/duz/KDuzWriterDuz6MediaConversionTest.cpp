// Embedding media through the manager's image converters: a converted image
// goes into the file as TIFF, from a temporary copy; the user's file stays.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "duz/KDuzWriterDuz6TestSupport.h"
#include "sdk/geometry/KDuzImageConverter.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/scene/KDuzMediaContent.h"

using namespace duzsdk;
using namespace duztest;

namespace {

int FillTwoPixels(int, const char*, KDuzMediaContent* media) {
    if (!media->Allocate(2, 1, true, 0, 3)) return 1;
    for (int i = 0; i < 6; ++i) media->content[i] = static_cast<unsigned char>(40 + i);
    return 0;
}

using Duz6MediaConversion = WriterTestBase;

}  // namespace

TEST_F(Duz6MediaConversion, ConvertedImageIsEmbeddedAsTiffAndTheSourceStays) {
    const std::string image = PathOf("picture.bmp");
    std::ofstream(image, std::ios::binary) << "BM not really an image";
    auto* texture = KDuzTexture::Create(manager, "Picture");
    texture->SetFileName(image.c_str());
    scene->ConnectSrcObject(texture);
    KDuzImageConverter* converter = KDuzImageConverter::Create(manager, "");
    ASSERT_TRUE(converter->RegisterRoutine("bmp", &FillTwoPixels));
    KDuzStreamOptionsDuzWriter* options = WriteOptions();
    options->SetBoolOption("EMBEDDED", true);

    const std::string path = PathOf("converted.duz");
    ASSERT_TRUE(Export(scene, path, kBinary, options)) << lastExportError;
    const std::string bytes = ReadFileBytes(path);
    // A little-endian TIFF went in, not the source's bytes.
    EXPECT_NE(bytes.find(std::string("II*\0", 4)), std::string::npos);
    EXPECT_EQ(bytes.find("BM not really an image"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(image), "BM not really an image");
    // The temporary copy is gone once written.
    EXPECT_FALSE(std::filesystem::exists(PathOf("picture.tif")));
    ASSERT_EQ(scene->GetVideoCount(), 1);
    const std::string name = static_cast<KDuzVideo*>(scene->GetVideo(0))->GetFileName();
    EXPECT_EQ(name.substr(name.size() - 4), ".tif");
}

TEST_F(Duz6MediaConversion, ExistingFileUnderTheTiffNameIsNeverWrittenOver) {
    const std::string image = PathOf("photo.bmp");
    std::ofstream(image, std::ios::binary) << "BM source";
    std::ofstream(PathOf("photo.tif"), std::ios::binary) << "someone else's tiff";
    auto* texture = KDuzTexture::Create(manager, "Photo");
    texture->SetFileName(image.c_str());
    scene->ConnectSrcObject(texture);
    KDuzImageConverter* converter = KDuzImageConverter::Create(manager, "");
    ASSERT_TRUE(converter->RegisterRoutine("bmp", &FillTwoPixels));
    KDuzStreamOptionsDuzWriter* options = WriteOptions();
    options->SetBoolOption("EMBEDDED", true);
    Export(scene, PathOf("refused.duz"), kBinary, options);
    EXPECT_EQ(ReadFileBytes(PathOf("photo.tif")), "someone else's tiff");
    EXPECT_EQ(ReadFileBytes(image), "BM source");
    EXPECT_EQ(ReadFileBytes(PathOf("refused.duz")).find("Content"), std::string::npos);
}
