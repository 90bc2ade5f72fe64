// The seeded random scene: the same seed builds the same scene, and the seeds
// together reach every kind of object the builder claims to make.
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <vector>
#include <string>

#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzScene.h"
#include "support/RandomScene.h"
#include "support/SceneDump.h"

using namespace duzsdk;

namespace {

std::string BuildAndDump(uint32_t seed, const duztest::RandomSceneOptions& options = {}) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    duztest::BuildRandomScene(*manager, *scene, seed, options);
    std::string dump = duztest::DumpScene(*scene);
    manager->Destroy();
    return dump;
}

duztest::RandomSceneOptions SmallScenes() {
    duztest::RandomSceneOptions options;
    options.maxNodes = 12;
    return options;
}

// Seeds 1 .. 60 in six tests: enough to see a builder that depends on
// anything but its seed (the kinds every seed reaches are checked below).
constexpr uint32_t kSeedsPerShard = 10;
class RandomSceneSeeds : public ::testing::TestWithParam<uint32_t> {};

TEST_P(RandomSceneSeeds, SameSeedBuildsTheSameScene) {
    std::string previous;
    for (uint32_t seed = GetParam() * kSeedsPerShard + 1; seed <= (GetParam() + 1) * kSeedsPerShard; ++seed) {
        const std::string first = BuildAndDump(seed, SmallScenes());
        const std::string second = BuildAndDump(seed, SmallScenes());
        ASSERT_EQ(duztest::DiffDumps(first, second), "") << "seed " << seed;
        EXPECT_NE(first, previous) << "seed " << seed << " built the scene of the seed before";
        previous = first;
    }
}

INSTANTIATE_TEST_SUITE_P(Shards, RandomSceneSeeds, ::testing::Range(0u, 6u));

TEST(RandomScene, SeedsReachEveryKind) {
    // What the seeds build, by the dump's own words.
    const std::vector<std::string> words = {
        "class KDuzNull", "class KDuzMarker", "class KDuzSkeleton", "class KDuzCamera ", "class KDuzLight",
        "class KDuzOpticalReference", "class KDuzMesh", "class KDuzSurfacePhong", "class KDuzSurfaceLambert",
        "class KDuzTexture", "class KDuzVideo", "class KDuzPose", "switcherCamera", "direct normals",
        "direct materials", "direct groups", "direct uvs", "direct colors", "direct smoothing",
        "direct visibility", "direct textures", "userAttribute", "polygon 0", "edgeArray [0",
        "\\xf0\\x9f\\x99\\x82", "value=-1.7976931348623157e+308", "value=-2147483648", "value=\"\"", "key 0 ",
        "interp=0x2", "interp=0x4", "tangent=0x200", "pre=4/", "limits T active=1", "pivot 1 rotOffset",
        "takeInfo 1", "len=0 ", "enum=[\""};
    std::set<std::string> missing(words.begin(), words.end());
    // A user property of every registered data type.
    for (const PropertyDataTypeNameRow& row : kPropertyDataTypeNames)
        missing.insert(std::string("user type=\"") + row.name + "\"");
    for (uint32_t seed = 1; seed <= 150 && !missing.empty(); ++seed) {
        const std::string dump = BuildAndDump(seed, SmallScenes());
        for (auto it = missing.begin(); it != missing.end();)
            it = dump.find(*it) != std::string::npos ? missing.erase(it) : std::next(it);
        // The data types of the user properties ("user..." names).
        for (std::size_t at = dump.find("property \"user"); at != std::string::npos;
             at = dump.find("property \"user", at + 1)) {
            const std::size_t type = dump.find(" type=\"", at);
            const std::size_t end = dump.find('"', type + 7);
            missing.erase("user type=\"" + dump.substr(type + 7, end - type - 7) + "\"");
        }
    }
    std::string list;
    for (const std::string& word : missing) list += "\n  " + word;
    EXPECT_TRUE(missing.empty()) << "no seed built:" << list;
}

TEST(RandomScene, OptionsLeaveOutWhatTheyTurnOff) {
    duztest::RandomSceneOptions options;
    options.meshes = false;
    options.materials = false;
    options.takes = false;
    options.userProperties = false;
    options.nonAsciiNames = false;
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        const std::string dump = BuildAndDump(seed, options);
        EXPECT_EQ(dump.find("class KDuzMesh"), std::string::npos);
        EXPECT_EQ(dump.find("class KDuzSurface"), std::string::npos);
        EXPECT_EQ(dump.find("take 1 "), std::string::npos);
        EXPECT_EQ(dump.find("property \"user"), std::string::npos);
        EXPECT_EQ(dump.find("\\x"), std::string::npos);
    }
}

}  // namespace
