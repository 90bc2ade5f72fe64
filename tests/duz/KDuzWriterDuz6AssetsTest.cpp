// Every bundled game model read, written in each form, read back and
// compared with what was read first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "KDuzWriterDuz6DumpRules.h"
#include "KDuzWriterDuz6SceneCompare.h"
#include "KDuzWriterDuz6TestSupport.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"
#include "tests/support/SceneDump.h"

using namespace duzsdk;
using namespace duztest;

namespace {

std::filesystem::path AssetsFolder() {
    if (const char* assets = std::getenv("DUZ_ASSETS")) return assets;
    if (const char* data = std::getenv("DUZ_TEST_DATA")) return std::filesystem::path(data).parent_path().parent_path() / "assets";
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "assets";
}

class Duz6AssetRoundTrip : public WriterTestBase, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(Duz6AssetRoundTrip, EveryGameModelReadsBackEqual) {
    std::vector<std::filesystem::path> models;
    std::error_code code;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(AssetsFolder(), code))
        if (entry.path().extension() == ".duz") models.push_back(entry.path());
    std::sort(models.begin(), models.end());
    ASSERT_FALSE(models.empty()) << AssetsFolder();
    for (const auto& model : models) {
        SCOPED_TRACE(model.string());
        KDuzScene* original = Import(model.string());
        ASSERT_NE(original, nullptr) << lastImportError;
        KDuzScene* read = RoundTrip(original, GetParam(), WriteOptions());
        ASSERT_NE(read, nullptr);
        SceneCompare compare(GetParam() == kAscii ? 1e-14 : 0.0);
        const std::vector<std::string> differences = compare.Compare(*original, *read);
        EXPECT_TRUE(differences.empty()) << JoinLines(differences);
        read->Destroy();
        original->Destroy();
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Duz6AssetRoundTrip, ::testing::Values(kBinary, kAscii, kEnciphered),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(FormatName(info.param)); });

TEST_P(Duz6AssetRoundTrip, EveryGameModelDumpsTheSameAfterARoundTrip) {
    std::vector<std::filesystem::path> models;
    std::error_code code;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(AssetsFolder(), code))
        if (entry.path().extension() == ".duz") models.push_back(entry.path());
    std::sort(models.begin(), models.end());
    ASSERT_FALSE(models.empty());
    for (const auto& model : models) {
        SCOPED_TRACE(model.string());
        KDuzScene* original = Import(model.string());
        ASSERT_NE(original, nullptr);
        KDuzScene* read = RoundTrip(original, GetParam(), WriteOptions());
        ASSERT_NE(read, nullptr);
        // Compared with the scene as the write left it: writing brings node
        // properties up to date from pivots and limits and makes videos for
        // textures (both specified).
        ForgetInlineAttributeNames(*original);
        EXPECT_EQ(DiffDumps(NormalizedDump(DumpScene(*original)), NormalizedDump(DumpScene(*read))), "");
        read->Destroy();
        original->Destroy();
    }
}
