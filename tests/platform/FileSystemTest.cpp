#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

#include <gtest/gtest.h>

#include <fstream>

#include "ScratchFolder.h"

using namespace duzplatform;

namespace {

void Touch(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "x";
}

} // namespace

TEST(FileSystem, ListingIsSortedAndMarksFolders)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    Touch(folder / "b.txt");
    Touch(folder / "A.txt");
    Touch(folder / "-dash");
    ASSERT_TRUE(MakeFolder(folder / "sub"));

    std::vector<FolderEntry> entries;
    // Backslashes are separators too.
    ASSERT_TRUE(ListFolder(folder.Path() + "\\", &entries));
    ASSERT_EQ(entries.size(), 4u);
    const char* expected[] = {"-dash", "A.txt", "b.txt", "sub"};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].name, expected[i]);
        EXPECT_EQ(entries[i].isFolder, i == 3);
    }
    EXPECT_FALSE(ListFolder(folder / "absent", &entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(ListFolder(folder / "b.txt", &entries));
}

TEST(FileSystem, CreateAndDelete)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    EXPECT_TRUE(MakeFolders(folder.Path() + "\\x\\y/z"));
    EXPECT_TRUE(IsFolder(folder / "x/y/z"));
    EXPECT_TRUE(MakeFolders(folder / "x/y/z"));   // already there
    EXPECT_FALSE(MakeFolder(folder / "x"));        // exists
    EXPECT_FALSE(MakeFolder(folder / "none/deeper"));

    Touch(folder / "x/file");
    EXPECT_FALSE(MakeFolders(folder / "x/file"));  // a file is in the way
    EXPECT_TRUE(IsFile(folder / "x/file"));
    EXPECT_FALSE(IsFile(folder / "x"));
    EXPECT_FALSE(DeleteFile(folder / "x/y"));      // never a folder
    EXPECT_FALSE(DeleteEmptyFolder(folder / "x")); // not empty
    EXPECT_TRUE(DeleteFile(folder.Path() + "\\x\\file"));
    EXPECT_FALSE(PathExists(folder / "x/file"));
    EXPECT_FALSE(DeleteFile(folder / "x/file"));
    EXPECT_TRUE(DeleteEmptyFolder(folder / "x/y/z"));
    EXPECT_FALSE(DeleteFile(""));
    EXPECT_FALSE(IsFolder(""));
}

TEST(FileSystem, UniqueFilesAreNewAndDistinct)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    std::string first, second;
    ASSERT_TRUE(CreateUniqueFile(folder.Path(), "tmp", &first));
    ASSERT_TRUE(CreateUniqueFile(folder.Path() + "/", "tmp", &second));
    EXPECT_NE(first, second);
    EXPECT_TRUE(IsFile(first));
    EXPECT_EQ(first.rfind(folder / "tmp", 0), 0u);
    EXPECT_FALSE(CreateUniqueFile(folder / "absent", "tmp", &first));
}

TEST(SystemInfo, NamesAndFolders)
{
    std::string name;
    EXPECT_TRUE(GetComputerName(&name));
    EXPECT_FALSE(name.empty());
    EXPECT_FALSE(GetComputerName(nullptr));

    const std::string temp = GetTemporaryFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '/');
    EXPECT_TRUE(IsFolder(temp));

    const std::string current = GetCurrentFolder();
    ASSERT_FALSE(current.empty());
    EXPECT_EQ(current.front(), '/');
    EXPECT_TRUE(IsFolder(current));
}
