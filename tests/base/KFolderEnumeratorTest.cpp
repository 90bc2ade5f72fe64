#include "sdk/base/KFolderEnumerator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PathScratchFolder.h"

using namespace duzsdk;

namespace {

void Touch(const std::string& path)
{
    std::ofstream(path) << "x";
}

std::vector<std::string> Walk(KFolderEnumerator& search)
{
    std::vector<std::string> names;
    if (!search.IsOpen())
        return names;
    do {
        names.push_back(search.GetName());
    } while (search.FindNext());
    return names;
}

}  // namespace

TEST(KFolderEnumerator, ListsDotEntriesThenSortedNames)
{
    PathScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    Touch(folder / "b.duz");
    Touch(folder / "A.DUZ");
    Touch(folder / "!first");     // sorts before "." by byte value
    Touch(folder / "readme");
    std::filesystem::create_directory(folder / "sub");

    KFolderEnumerator search;
    EXPECT_FALSE(search.IsOpen());
    EXPECT_STREQ(search.GetName(), "");
    ASSERT_TRUE(search.Open(folder.Path().c_str()));
    EXPECT_TRUE(search.IsFolder());   // "."
    EXPECT_EQ(Walk(search), (std::vector<std::string>{".", "..", "!first", "A.DUZ", "b.duz", "readme", "sub"}));
    EXPECT_FALSE(search.FindNext());
    EXPECT_STREQ(search.GetName(), "");

    struct PatternCase {
        std::string path;
        std::vector<std::string> names;
    };
    const PatternCase patterns[] = {
        {folder.Path() + "\\*.*", {".", "..", "!first", "A.DUZ", "b.duz", "readme", "sub"}},
        {folder / "*.duz", {"A.DUZ", "b.duz"}},
        {folder / "?.duz", {"A.DUZ", "b.duz"}},
        {folder / "s*", {"sub"}},
    };
    for (const PatternCase& c : patterns) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(search.Open(c.path.c_str()));
        EXPECT_EQ(Walk(search), c.names);
    }
    EXPECT_FALSE(search.Open((folder / "*.none").c_str()));
    EXPECT_FALSE(search.IsOpen());
    EXPECT_FALSE(search.Open((folder / "absent").c_str()));
    EXPECT_FALSE(search.Open("/.."));

    ASSERT_TRUE(search.Open((folder.Path() + "/sub/").c_str()));
    EXPECT_EQ(Walk(search), (std::vector<std::string>{".", ".."}));
    search.Close();
    EXPECT_FALSE(search.FindNext());

    // No path means the current folder.
    ASSERT_TRUE(search.Open(""));
    EXPECT_STREQ(search.GetName(), ".");
}

TEST(KFolderEnumerator, CreateFolderAndOpen)
{
    PathScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    KFolderEnumerator search;
    EXPECT_TRUE(search.CreateFolderAndOpen((folder / "made").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "made"));
    EXPECT_TRUE(search.CreateFolderAndOpen((folder / "made").c_str()));   // already there
    EXPECT_FALSE(search.CreateFolderAndOpen((folder / "no/parent").c_str()));
}

TEST(KFolderEnumerator, DeleteTreeRemovesFilesButDoesNotDescend)
{
    PathScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string flat = folder / "flat";
    std::filesystem::create_directory(flat);
    Touch(flat + "/!a");            // listed before "." and ".." would be
    Touch(flat + "/b");
    EXPECT_FALSE(KFolderIsEmpty(flat.c_str()));
    EXPECT_TRUE(KFolderEnumerator::DeleteTree((folder.Path() + "\\flat").c_str()));
    EXPECT_FALSE(std::filesystem::exists(flat));

    const std::string deep = folder / "deep";
    std::filesystem::create_directories(deep + "/sub");
    Touch(deep + "/file");
    Touch(deep + "/sub/kept");
    EXPECT_FALSE(KFolderEnumerator::DeleteTree(deep.c_str()));
    EXPECT_FALSE(std::filesystem::exists(deep + "/file"));
    EXPECT_TRUE(std::filesystem::exists(deep + "/sub/kept"));

    // A link to a file outside goes, the file it points at stays.
    const std::string outside = folder / "outside";
    Touch(outside);
    const std::string linked = folder / "linked";
    std::filesystem::create_directory(linked);
    std::filesystem::create_symlink(outside, linked + "/link");
    EXPECT_TRUE(KFolderEnumerator::DeleteTree(linked.c_str()));
    EXPECT_TRUE(std::filesystem::exists(outside));

    EXPECT_FALSE(KFolderEnumerator::DeleteTree((folder / "absent").c_str()));
    EXPECT_FALSE(KFolderEnumerator::DeleteTree(""));
    EXPECT_FALSE(KFolderEnumerator::DeleteTree(nullptr));
}

TEST(KFolderEnumerator, FolderIsEmpty)
{
    PathScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    EXPECT_TRUE(KFolderIsEmpty(folder.Path().c_str()));
    Touch(folder / "!x");
    EXPECT_FALSE(KFolderIsEmpty(folder.Path().c_str()));
    EXPECT_TRUE(KFolderIsEmpty((folder / "absent").c_str()));   // cannot be searched
}
