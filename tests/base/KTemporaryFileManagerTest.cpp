#include "sdk/base/KTemporaryFileManager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PathScratchFolder.h"
#include "platform/SystemInfo.h"

using namespace duzsdk;

namespace {

void TouchFile(const std::string& path)
{
    std::ofstream(path) << "x";
}

struct LinkCall {
    KTemporaryFileManager* manager;
    bool attach;
};
std::vector<LinkCall> gLinkCalls;

bool RecordingLink(KTemporaryFileManager* manager, bool attach)
{
    gLinkCalls.push_back({manager, attach});
    return true;
}

}  // namespace

TEST(KTemporaryFileManager, ListsEachPathOnce)
{
    KTemporaryFileManager manager;
    EXPECT_TRUE(manager.AddFile("/tmp/media/a.tif", true));
    EXPECT_FALSE(manager.AddFile("/tmp/media/a.tif", false));
    EXPECT_TRUE(manager.AddFile("/tmp/media/A.tif", false));   // paths compare with case
    EXPECT_FALSE(manager.AddFile(nullptr, false));
    ASSERT_EQ(manager.GetFileCount(), 2);
    EXPECT_STREQ(manager.GetFile(0)->path.Buffer(), "/tmp/media/a.tif");
    EXPECT_TRUE(manager.GetFile(0)->deleteOnRelease);
    EXPECT_EQ(manager.GetFile(2), nullptr);
    EXPECT_EQ(manager.GetFile(-1), nullptr);
}

TEST(KTemporaryFileManager, ProcessWideManagerKeepsItsFiles)
{
    KTemporaryFileManager* manager = KTemporaryFileManager::GetInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager, KTemporaryFileManager::GetInstance());
    EXPECT_TRUE(manager->KeepsFiles());
    EXPECT_EQ(manager->GetInterface(KTemporaryFileManager::kInterfaceId), manager);
    EXPECT_EQ(manager->GetInterface(3), nullptr);
    manager->Destroy();   // not for the process-wide one
    EXPECT_EQ(manager, KTemporaryFileManager::GetInstance());

    PathScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string media = folder / "media";
    std::filesystem::create_directory(media);
    TouchFile(media + "/a.tif");
    EXPECT_TRUE(manager->AddFile((media + "/a.tif").c_str(), true));
    manager->OnNotification(KTemporaryFileManager::kReleaseCode);
    EXPECT_EQ(manager->GetFileCount(), 0);
    EXPECT_TRUE(std::filesystem::exists(media + "/a.tif"));
    // Released paths can be listed again.
    EXPECT_TRUE(manager->AddFile((media + "/a.tif").c_str(), true));
    manager->ReleaseAll();
    EXPECT_TRUE(std::filesystem::exists(media + "/a.tif"));
}

TEST(KTemporaryFileManager, ReleaseDeletesFlaggedFilesAndEmptiedFolders)
{
    PathScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string single = folder / "single.fbm";
    const std::string shared = folder / "shared.fbm";
    std::filesystem::create_directory(single);
    std::filesystem::create_directory(shared);
    TouchFile(single + "/a.tif");
    TouchFile(shared + "/b.tif");
    TouchFile(shared + "/c.tif");
    TouchFile(shared + "/kept.tif");

    auto* manager = new KTemporaryFileManager(false);
    EXPECT_FALSE(manager->KeepsFiles());
    manager->AddFile((single + "/a.tif").c_str(), true);
    manager->AddFile((shared + "\\b.tif").c_str(), true);
    manager->AddFile((shared + "/c.tif").c_str(), true);
    manager->AddFile((shared + "/kept.tif").c_str(), false);
    manager->OnNotification(3);   // other codes do nothing
    EXPECT_EQ(manager->GetFileCount(), 4);
    manager->OnNotification(KTemporaryFileManager::kReleaseCode);
    EXPECT_EQ(manager->GetFileCount(), 0);

    EXPECT_FALSE(std::filesystem::exists(single));   // emptied, so removed
    EXPECT_FALSE(std::filesystem::exists(shared + "/b.tif"));
    EXPECT_FALSE(std::filesystem::exists(shared + "/c.tif"));
    EXPECT_TRUE(std::filesystem::exists(shared + "/kept.tif"));

    // A file straight in the current folder goes; the folder stays although it is left empty.
    const std::filesystem::path previous = std::filesystem::current_path();
    const std::string work = folder / "work";
    std::filesystem::create_directory(work);
    std::filesystem::current_path(work);
    KString local;
    ASSERT_TRUE(KTemporaryFileCreate(work.c_str(), "release-", &local));
    manager->AddFile(local.Buffer(), true);
    manager->Destroy();   // releases what is left
    std::filesystem::current_path(previous);
    EXPECT_FALSE(std::filesystem::exists(local.Buffer()));
    EXPECT_TRUE(std::filesystem::is_directory(work));
}

TEST(KTemporaryFileManager, RegistersThroughTheNotificationLink)
{
    gLinkCalls.clear();
    KTemporaryFileManager::SetNotificationLink(&RecordingLink);
    {
        KTemporaryFileManager manager;
        ASSERT_EQ(gLinkCalls.size(), 1u);
        EXPECT_EQ(gLinkCalls[0].manager, &manager);
        EXPECT_TRUE(gLinkCalls[0].attach);
        manager.AddFile("/nowhere/x", true);
        manager.OnNotification(KTemporaryFileManager::kReleaseCode);
        EXPECT_EQ(manager.GetFileCount(), 0);
    }
    ASSERT_EQ(gLinkCalls.size(), 2u);
    EXPECT_FALSE(gLinkCalls[1].attach);
    KTemporaryFileManager::SetNotificationLink(nullptr);

    // Made without a link: nothing to unregister.
    { KTemporaryFileManager manager; }
    EXPECT_EQ(gLinkCalls.size(), 2u);
}

TEST(KTemporaryFileManager, CreatesUniqueFiles)
{
    PathScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    KString first, second;
    ASSERT_TRUE(KTemporaryFileCreate(folder.Path().c_str(), "tex", &first));
    ASSERT_TRUE(KTemporaryFileCreate(folder.Path().c_str(), "tex", &second));
    EXPECT_NE(std::string(first.Buffer()), std::string(second.Buffer()));
    EXPECT_TRUE(std::filesystem::is_regular_file(first.Buffer()));
    EXPECT_EQ(std::string(first.Buffer()).rfind(folder / "tex", 0), 0u);
    EXPECT_FALSE(KTemporaryFileCreate((folder / "absent").c_str(), "tex", &first));
    EXPECT_FALSE(KTemporaryFileCreate(nullptr, "tex", nullptr));

    KString inTemp;
    ASSERT_TRUE(KTemporaryFileCreate(nullptr, "duzsdk-test-", &inTemp));
    EXPECT_EQ(std::string(inTemp.Buffer()).rfind(duzplatform::GetTemporaryFolder(), 0), 0u);
    std::filesystem::remove(inTemp.Buffer());
}
