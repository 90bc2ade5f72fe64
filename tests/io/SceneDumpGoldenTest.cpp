// Every DUZ file the tests read and every bundled model, imported and dumped,
// must match the dump stored beside the test data: a guard that work on the
// object model, the field file or the reader changes nothing in any scene.
// DUZ_UPDATE_DUMPS=1 rewrites the stored dumps instead.
//
// Every scene holds the same default objects (producer cameras and their
// nodes, ...). The dump of a new empty scene is stored once; in the other
// stored dumps an object whose block equals its block there is one line,
// "same-as-empty-scene object ...". Blocks are compared whole, so a change
// to a default object still shows in every dump.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sdk/io/KDuzAsciiText.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "support/DuzAsciiToBinary.h"
#include "support/SceneDump.h"

using namespace duzsdk;
namespace fs = std::filesystem;

namespace {

std::string ReadDumpText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The outcome of an import into the given scene and the dump of what it
// left there.
std::string ImportAndDumpInto(KDuzSdkManager* manager, KDuzScene* scene, const fs::path& file) {
    KDuzImporter* importer = KDuzImporter::Create(manager, "");
    const bool opened = importer->Initialize(file.string().c_str());
    const bool imported = opened && importer->Import(scene);
    std::string text = std::string("import opened=") + (opened ? "1" : "0") +
                       " imported=" + (imported ? "1" : "0") + "\n";
    text += duztest::DumpScene(*scene);
    importer->Destroy();
    return text;
}

// The same into a new scene of a new manager.
std::string ImportAndDump(const fs::path& file) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    std::string text = ImportAndDumpInto(manager, scene, file);
    manager->Destroy();
    return text;
}

const char* const kSameAsEmpty = "same-as-empty-scene ";

// The dump cut into its leading part and one block per "object" line.
std::vector<std::string> Blocks(const std::string& dump) {
    std::vector<std::string> blocks(1);
    std::size_t start = 0;
    while (start < dump.size()) {
        std::size_t end = dump.find('\n', start);
        end = end == std::string::npos ? dump.size() : end + 1;
        const std::string line = dump.substr(start, end - start);
        if (line.rfind("object ", 0) == 0) blocks.emplace_back();
        blocks.back() += line;
        start = end;
    }
    return blocks;
}

std::string FirstLine(const std::string& block) { return block.substr(0, block.find('\n')); }

std::string Shorten(const std::string& dump, const std::string& emptySceneDump) {
    std::map<std::string, std::string> known;
    for (const std::string& block : Blocks(emptySceneDump)) known[FirstLine(block)] = block;
    std::string out;
    for (const std::string& block : Blocks(dump)) {
        auto found = known.find(FirstLine(block));
        if (!block.empty() && found != known.end() && found->second == block)
            out += kSameAsEmpty + FirstLine(block) + "\n";
        else
            out += block;
    }
    return out;
}

std::string EmptySceneDump() {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    std::string text = duztest::DumpScene(*scene);
    manager->Destroy();
    return text;
}

bool Rewriting() {
    const char* update = std::getenv("DUZ_UPDATE_DUMPS");
    return update != nullptr && std::string(update) == "1";
}

fs::path DumpFolder() {
    const char* data = std::getenv("DUZ_TEST_DATA");
    return fs::path(data != nullptr ? data : "") / "dumps";
}

std::vector<fs::path> DuzFilesUnder(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == ".duz") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The file itself, or (binary) its rewrite as a binary file in a scratch
// folder; the text that stands for the import when there is no rewrite.
std::string DumpOfFile(const fs::path& file, bool binary) {
    if (!binary) return ImportAndDump(file);
    const fs::path scratch = fs::temp_directory_path() / ("duz_golden_" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    const fs::path converted = scratch / file.filename();
    std::string text = duztest::ConvertDuzAsciiToBinary(file.string(), converted.string())
                           ? ImportAndDump(converted)
                           : std::string("no binary rewrite\n");
    fs::remove_all(scratch);
    return text;
}

// Imports every file below the folder and compares (or rewrites) its dump
// under dumps/<group>/ with the relative path flattened into the name.
// With binary, each file is read as its binary rewrite; most give the scene
// of the text file, so dumps/<group>-binary/ holds only the dumps that
// differ from dumps/<group>/.
void CheckFolder(const fs::path& folder, const std::string& group, bool binary = false) {
    ASSERT_NE(std::getenv("DUZ_TEST_DATA"), nullptr) << "DUZ_TEST_DATA is not set";
    const fs::path textDumps = DumpFolder() / group;
    const fs::path dumps = binary ? DumpFolder() / (group + "-binary") : textDumps;
    const bool rewrite = Rewriting();
    // A rewrite shortens against the new empty-scene dump (which the other
    // test writes), so the tests may run in any order.
    const fs::path emptyScene = DumpFolder() / "empty-scene.dump";
    ASSERT_TRUE(rewrite || fs::exists(emptyScene)) << emptyScene << " is missing; run with DUZ_UPDATE_DUMPS=1";
    const std::string emptySceneDump = rewrite ? EmptySceneDump() : ReadDumpText(emptyScene);
    const std::vector<fs::path> files = DuzFilesUnder(folder);
    ASSERT_FALSE(files.empty()) << "no DUZ files under " << folder;
    std::set<std::string> names;
    for (const fs::path& file : files) {
        std::string name = fs::relative(file, folder).replace_extension(".dump").generic_string();
        std::replace(name.begin(), name.end(), '/', '_');
        names.insert(name);
        const std::string actual = Shorten(DumpOfFile(file, binary), emptySceneDump);
        fs::path stored = dumps / name;
        if (rewrite) {
            const std::string text = binary ? Shorten(ImportAndDump(file), emptySceneDump) : std::string();
            if (binary && actual == text) {
                fs::remove(stored);
            } else {
                fs::create_directories(dumps);
                std::ofstream(stored, std::ios::binary) << actual;
            }
            continue;
        }
        if (binary && !fs::exists(stored)) stored = textDumps / name;
        ASSERT_TRUE(fs::exists(stored)) << stored << " is missing; run with DUZ_UPDATE_DUMPS=1";
        const std::string diff = duztest::DiffDumps(ReadDumpText(stored), actual);
        EXPECT_TRUE(diff.empty()) << file << (binary ? " (as binary)" : "") << " no longer imports as stored in "
                                  << stored << ":\n" << diff;
    }
    // A stored dump without its file means a fixture went missing.
    if (!fs::exists(dumps)) return;
    for (const auto& entry : fs::directory_iterator(dumps)) {
        const std::string name = entry.path().filename().string();
        if (names.count(name) != 0) continue;
        if (rewrite)
            fs::remove(entry.path());
        else
            ADD_FAILURE() << entry.path() << " has no file under " << folder << " any more";
    }
}

TEST(SceneDumpGolden, EmptySceneIsAsStored) {
    ASSERT_NE(std::getenv("DUZ_TEST_DATA"), nullptr) << "DUZ_TEST_DATA is not set";
    const fs::path stored = DumpFolder() / "empty-scene.dump";
    const std::string actual = EmptySceneDump();
    if (Rewriting()) {
        fs::create_directories(DumpFolder());
        std::ofstream(stored, std::ios::binary) << actual;
        return;
    }
    ASSERT_TRUE(fs::exists(stored)) << stored << " is missing; run with DUZ_UPDATE_DUMPS=1";
    const std::string diff = duztest::DiffDumps(ReadDumpText(stored), actual);
    EXPECT_TRUE(diff.empty()) << "a new scene no longer dumps as stored in " << stored << ":\n" << diff;
}

TEST(SceneDumpGolden, ReaderFixturesImportAsStored) {
    CheckFolder(DumpFolder().parent_path() / "duz6", "duz6");
}

// The models sit at the project root, two levels above the test data.
fs::path AssetFolder() {
    const char* assets = std::getenv("DUZ_ASSETS");
    return assets != nullptr ? fs::path(assets) : DumpFolder().parent_path().parent_path().parent_path() / "assets";
}

TEST(SceneDumpGolden, BundledModelsImportAsStored) {
    CheckFolder(AssetFolder(), "assets");
}

// The same files rewritten as binary files, so the binary field reader is
// held to its scenes too.
TEST(SceneDumpGolden, BinaryRewritesOfTheReaderFixturesImportAsStored) {
    CheckFolder(DumpFolder().parent_path() / "duz6", "duz6", true);
}

TEST(SceneDumpGolden, BinaryRewritesOfTheBundledModelsImportAsStored) {
    CheckFolder(AssetFolder(), "assets", true);
}

// The text reader holds only a window of a file's text and reads again what
// it dropped. Chunks of one byte put a chunk's end inside every token, blank
// run and comment, and chunks of a few tokens do so at random places; both
// make every block a reader enters or goes back to lie before the window:
// the scenes must not change.
TEST(SceneDumpGolden, TextFilesReadThroughSmallWindowsImportAsStored) {
    if (Rewriting()) return;
    struct ChunkGuard {
        ~ChunkGuard() { KDuzAsciiText::SetChunkSize(0); }
    } guard;
    for (const int64_t chunk : {1, 64}) {
        SCOPED_TRACE("chunk of " + std::to_string(chunk) + " bytes");
        KDuzAsciiText::SetChunkSize(chunk);
        CheckFolder(DumpFolder().parent_path() / "duz6", "duz6");
        CheckFolder(AssetFolder(), "assets");
    }
}

// Every file imported in turn into one scene, which the reader clears first,
// must give the scene a new one gets: nothing of an earlier import (objects,
// takes, changed producer cameras or settings) may survive the clear. Two
// things do by design, and the import fuzz target works around them the same
// way: classes a file registers for unknown kinds live with the manager (a
// new manager follows such a file), and a file's own switcher node takes the
// scene's place and is kept by the clear (a new scene follows such a file).
TEST(SceneDumpGolden, ImportsIntoAReusedSceneAsStored) {
    ASSERT_NE(std::getenv("DUZ_TEST_DATA"), nullptr) << "DUZ_TEST_DATA is not set";
    if (Rewriting()) return;
    const std::string emptySceneDump = ReadDumpText(DumpFolder() / "empty-scene.dump");
    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    const KDuzNode* switcher = nullptr;
    int classes = 0;
    const std::pair<fs::path, std::string> folders[] = {{DumpFolder().parent_path() / "duz6", "duz6"},
                                                        {AssetFolder(), "assets"}};
    // Twice round, so the first files too follow others.
    for (int round = 0; round < 2; ++round) {
        for (const auto& [folder, group] : folders) {
            for (const fs::path& file : DuzFilesUnder(folder)) {
                std::string name = fs::relative(file, folder).replace_extension(".dump").generic_string();
                std::replace(name.begin(), name.end(), '/', '_');
                if (manager == nullptr || manager->GetRegisteredClassCount() != classes) {
                    if (manager != nullptr) manager->Destroy();
                    manager = KDuzSdkManager::Create();
                    scene = nullptr;
                    classes = manager->GetRegisteredClassCount();
                }
                if (scene == nullptr || scene->GetCameraSwitcherNode() != switcher) {
                    if (scene != nullptr) scene->Destroy(true, true);
                    scene = KDuzScene::Create(manager, "");
                    switcher = scene->GetCameraSwitcherNode();
                }
                const std::string actual = Shorten(ImportAndDumpInto(manager, scene, file), emptySceneDump);
                const std::string diff = duztest::DiffDumps(ReadDumpText(DumpFolder() / group / name), actual);
                EXPECT_TRUE(diff.empty()) << file << " imports differently into a used scene:\n" << diff;
            }
        }
    }
    manager->Destroy();
}

}  // namespace
