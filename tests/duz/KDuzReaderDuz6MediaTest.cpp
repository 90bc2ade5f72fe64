// Embedded media in another format than TIFF: the conversion through the
// manager's image converters.
#include "KDuzReaderDuz6RecordsTestSupport.h"

#include "sdk/geometry/KDuzImageConverter.h"
#include "sdk/scene/KDuzMediaContent.h"

#include <tiffio.h>

#include <filesystem>
#include <fstream>

namespace duzsdk {
namespace {

using Duz6Media = Duz6RecordTest;

std::string Touch(const std::filesystem::path& folder, const std::string& name) {
    const std::string path = (folder / name).string();
    std::ofstream(path) << "pixels";
    return path;
}

int gRoutineCalls = 0;

// Fills a 2 x 1 RGB image, as a routine for the extracted format would.
int CountedTwoPixels(int, const char*, KDuzMediaContent* media) {
    ++gRoutineCalls;
    if (!media->Allocate(2, 1, true, 0, 3)) return 1;
    for (int i = 0; i < 6; ++i) media->content[i] = static_cast<unsigned char>(10 * i);
    return 0;
}

TEST_F(Duz6Media, ConvertedContentBecomesATiffBesideTheExtractedFile) {
    const std::filesystem::path folder = path.parent_path();
    const std::string extracted = Touch(folder, "embedded_duz6media.png");
    KString fileName(extracted.c_str());
    KString relative("media/embedded_duz6media.png");

    // No converter: the content stays as extracted.
    KDuz6ConvertEmbeddedImage(Context(), "orig.png", fileName, relative);
    EXPECT_EQ(std::string(fileName.Buffer()), extracted);
    EXPECT_TRUE(std::filesystem::exists(extracted));

    KDuzImageConverter* converter = KDuzImageConverter::Create(manager, "");
    ASSERT_TRUE(converter->RegisterRoutine("png", &CountedTwoPixels));
    gRoutineCalls = 0;
    KDuz6ConvertEmbeddedImage(Context(), "orig.png", fileName, relative);
    EXPECT_EQ(gRoutineCalls, 1);
    const std::string tiff = (folder / "embedded_duz6media.tif").string();
    EXPECT_EQ(std::string(fileName.Buffer()), tiff);
    EXPECT_STREQ(relative.Buffer(), "media/embedded_duz6media.tif");
    EXPECT_FALSE(std::filesystem::exists(extracted));
    KDuzMediaContent back;
    ASSERT_TRUE(ImageReadTiff(tiff.c_str(), back, true));
    EXPECT_EQ(back.width, 2);
    EXPECT_EQ(back.content[5], 50);
}

}  // namespace
}  // namespace duzsdk
