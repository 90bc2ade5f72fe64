// Take files named inside a file: only regular files are read, and a name
// that points at a device, FIFO or folder neither hangs nor stops the import.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzTakeDescription.h"

using namespace duzsdk;

namespace {

// Kills the test process when an import blocks: before the fix, /dev/zero
// was read forever and a FIFO blocked in open.
class Watchdog {
public:
    explicit Watchdog(unsigned seconds) { alarm(seconds); }
    ~Watchdog() { alarm(0); }
};

class TakeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("duz6takefile_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override {
        manager->Destroy();
        std::filesystem::remove_all(folder);
    }

    static void WriteText(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    // A level with one model whose only take names its take file.
    std::string WriteScene(const std::string& takeFile) {
        const std::filesystem::path path = folder / "scene.duz";
        WriteText(path, "; DUZ 6.1.0 project file\n"
                        "Definitions:  {\n"
                        "    ObjectType: \"Model\"\n"
                        "}\n"
                        "Objects:  {\n"
                        "    Model: \"Model::Cube\", \"Null\" {\n"
                        "    }\n"
                        "}\n"
                        "Connections:  {\n"
                        "    Connect: \"OO\", \"Model::Cube\", \"Model::Scene\"\n"
                        "}\n"
                        "Takes:  {\n"
                        "    Current: \"Run\"\n"
                        "    Take: \"Run\" {\n"
                        "        FileName: \"" + takeFile + "\"\n"
                        "        Comments: \"from the block\"\n"
                        "        Model: \"Model::Cube\" {\n"
                        "        }\n"
                        "    }\n"
                        "}\n");
        return path.string();
    }

    std::filesystem::path folder;
    KDuzSdkManager* manager = nullptr;
};

TEST_F(TakeFileTest, OnlyRegularTakeFilesAreReadAndTheImportGoesOn) {
    WriteText(folder / "run.tak", "; DUZ 6.1.0 project file\n"
                                  "Comments: \"from the take file\"\n"
                                  "Model: \"Model::Cube\" {\n"
                                  "}\n");
    ASSERT_EQ(mkfifo((folder / "run.fifo").c_str(), 0600), 0);
    std::filesystem::create_directories(folder / "run.dir");

    struct Case {
        const char* takeFile;   // as the file names it
        const char* comments;   // what the take description ends up with
    };
    const Case cases[] = {
        {"run.tak", "from the take file"},
        // Refused or missing: a file of version 2000 and above keeps the
        // take in its block as well, so the import reads it from there.
        {"/dev/zero", "from the block"},
        {"run.fifo", "from the block"},
        {"run.dir", "from the block"},
        {"absent.tak", "from the block"},
    };
    const Watchdog watchdog(30);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.takeFile);
        const std::string path = WriteScene(c.takeFile);
        KDuzScene* scene = KDuzScene::Create(manager, "");
        KDuzImporter* importer = KDuzImporter::Create(manager, "");
        ASSERT_TRUE(importer->Initialize(path.c_str())) << importer->GetLastErrorString();
        ASSERT_TRUE(importer->Import(scene)) << importer->GetLastErrorString();
        KDuzNode* cube = scene->FindNode("Cube");
        ASSERT_NE(cube, nullptr);
        EXPECT_EQ(cube->GetTakeNodeCount(), 2);
        const KDuzTakeDescription* take = scene->GetTakeDescription("Run");
        ASSERT_NE(take, nullptr);
        EXPECT_STREQ(take->comments.Buffer(), c.comments);
        importer->Destroy();
        scene->Destroy();
    }
}

TEST_F(TakeFileTest, ANonRegularMainFileIsRefusedAtOnce) {
    ASSERT_EQ(mkfifo((folder / "level.duz").c_str(), 0600), 0);
    std::filesystem::create_directories(folder / "folder.duz");
    const Watchdog watchdog(30);
    for (const std::string name : {"level.duz", "folder.duz"}) {
        SCOPED_TRACE(name);
        KDuzImporter* importer = KDuzImporter::Create(manager, "");
        EXPECT_FALSE(importer->Initialize((folder / name).c_str()));
        importer->Destroy();
        KDuz duz;
        EXPECT_FALSE(duz.ProjectOpen((folder / name).c_str()));
        EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorFileNotOpened);
    }
    KDuz duz;
    EXPECT_FALSE(duz.ProjectOpen("/dev/zero"));
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorFileNotOpened);
}

}  // namespace
