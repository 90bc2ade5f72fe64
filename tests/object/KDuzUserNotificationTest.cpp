#include "sdk/object/KDuzUserNotification.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/SystemInfo.h"

namespace duzsdk {
namespace {

// Records the hook calls, and what was collected when the output ran.
class RecordingNotification : public KDuzUserNotification {
public:
    RecordingNotification() : KDuzUserNotification("first", "second") {}

    void FlushBegin() override { calls.push_back("begin"); }
    void FlushOutput() override {
        calls.push_back("output");
        detailsAtOutput = GetAccumulatedCount();
    }
    bool FlushEnd() override {
        calls.push_back("end");
        return endAnswer;
    }
    bool AddDetailFor(bool, KDuzObject* object, int index) override {
        visited.push_back({object, index});
        return index != 1;   // refuses index 1
    }

    std::vector<std::string> calls;
    std::vector<KDuzNotificationObjectIndex> visited;
    int detailsAtOutput = -1;
    bool endAnswer = true;
};

TEST(KDuzUserNotificationTest, DetailsNeedAnEntry) {
    KDuzUserNotification notification("a", "b");
    EXPECT_STREQ(notification.GetFirst().Buffer(), "a");
    EXPECT_STREQ(notification.GetSecond().Buffer(), "b");
    // Nothing creates entries on its own: entry 6 is missing.
    EXPECT_EQ(notification.AddDetail(6, "Collada: unknown element"), -1);
    EXPECT_EQ(notification.AddDetail(-1, "x"), -1);
    EXPECT_EQ(notification.GetAccumulatedCount(), 0);

    EXPECT_EQ(notification.AddEntry(-1), nullptr);
    KDuzNotificationEntry* entry = notification.AddEntry(6, "Collada", "warnings");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(notification.AddEntry(6), nullptr);   // one entry per id
    EXPECT_EQ(notification.GetEntry(6), entry);
    EXPECT_EQ(notification.GetEntry(7), nullptr);
    EXPECT_EQ(notification.GetEntryCount(), 1);
    EXPECT_STREQ(entry->text1.Buffer(), "Collada");
}

TEST(KDuzUserNotificationTest, AddDetailAppendsToEntryAndRunningList) {
    KDuzUserNotification notification("a", "b");
    KDuzNotificationEntry* six = notification.AddEntry(6);
    KDuzNotificationEntry* two = notification.AddEntry(2);
    KDuzUserNotification::SetEntryPending(*six, 5);

    EXPECT_EQ(notification.AddDetail(6, "first"), 0);
    EXPECT_EQ(six->pending, 0);
    EXPECT_EQ(notification.AddDetail(2, "other"), 1);
    // An empty detail adds no text but still counts in the running list.
    EXPECT_EQ(notification.AddDetail(6, ""), 2);
    EXPECT_EQ(notification.AddDetail(6, "second"), 3);

    KPointerArray<KString>& details = KDuzUserNotification::GetEntryDetails(*six);
    ASSERT_EQ(details.Count(), 2);
    EXPECT_STREQ(details[0]->Buffer(), "first");
    EXPECT_STREQ(details[1]->Buffer(), "second");
    EXPECT_EQ(two->details.Count(), 1);

    struct Expected { KDuzNotificationEntry* entry; int detailIndex; };
    const Expected expected[] = {{six, 0}, {two, 0}, {six, -1}, {six, 1}};
    ASSERT_EQ(notification.GetAccumulatedCount(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const KDuzNotificationDetailRef* ref = notification.GetAccumulated(i);
        ASSERT_NE(ref, nullptr);
        EXPECT_EQ(ref->entry, expected[i].entry);
        EXPECT_EQ(ref->detailIndex, expected[i].detailIndex);
    }
    EXPECT_EQ(notification.GetAccumulated(4), nullptr);
    EXPECT_EQ(notification.GetAccumulated(-1), nullptr);
    // Destroyed without a flush: everything collected is freed (the leak
    // checker watches this).
}

TEST(KDuzUserNotificationTest, FlushOnlyWhenStarted) {
    RecordingNotification notification;
    notification.AddEntry(6);
    notification.AddDetail(6, "kept");
    notification.SetLogText("log");

    EXPECT_FALSE(notification.Flush());
    EXPECT_TRUE(notification.calls.empty());
    EXPECT_EQ(notification.GetAccumulatedCount(), 1);
    EXPECT_EQ(notification.GetEntryCount(), 1);
    ASSERT_NE(notification.GetLogText(), nullptr);

    notification.Start();
    notification.endAnswer = false;
    EXPECT_FALSE(notification.Flush());
    EXPECT_EQ(notification.calls, (std::vector<std::string>{"begin", "output", "end"}));
    EXPECT_EQ(notification.detailsAtOutput, 1);
    EXPECT_FALSE(notification.GetLastResult());
    EXPECT_FALSE(notification.IsStarted());
    EXPECT_EQ(notification.GetAccumulatedCount(), 0);
    EXPECT_EQ(notification.GetEntryCount(), 0);
    EXPECT_EQ(notification.GetEntry(6), nullptr);
    EXPECT_EQ(notification.GetLogText(), nullptr);

    // Entries can be made again after a flush.
    notification.AddEntry(6);
    EXPECT_EQ(notification.AddDetail(6, "again"), 0);
    notification.Start();
    notification.endAnswer = true;
    EXPECT_TRUE(notification.Flush());
    EXPECT_TRUE(notification.GetLastResult());
}

TEST(KDuzUserNotificationTest, DetailsForPairsAndObjectsVisitEveryOne) {
    RecordingNotification notification;
    auto* a = reinterpret_cast<KDuzObject*>(&notification.calls);
    auto* b = reinterpret_cast<KDuzObject*>(&notification.visited);

    KTypedArray<KDuzNotificationObjectIndex> pairs;
    pairs.Add({a, 0});
    pairs.Add({b, 1});
    pairs.Add({a, 2});
    EXPECT_TRUE(notification.AddDetailsForPairs(false, pairs));
    EXPECT_TRUE(notification.visited.empty());

    // The refusal of index 1 does not stop the walk.
    EXPECT_FALSE(notification.AddDetailsForPairs(true, pairs));
    ASSERT_EQ(notification.visited.size(), 3u);
    EXPECT_EQ(notification.visited[2].object, a);
    EXPECT_EQ(notification.visited[2].index, 2);

    notification.visited.clear();
    KPointerArray<KDuzObject> objects;
    objects.Add(a);
    objects.Add(b);
    EXPECT_TRUE(notification.AddDetailsForObjects(false, objects));
    EXPECT_TRUE(notification.visited.empty());
    EXPECT_TRUE(notification.AddDetailsForObjects(true, objects));
    ASSERT_EQ(notification.visited.size(), 2u);
    EXPECT_EQ(notification.visited[1].object, b);
    EXPECT_EQ(notification.visited[1].index, -1);

    // The base class accepts everything.
    KDuzUserNotification base("a", "b");
    EXPECT_TRUE(base.AddDetailFor(true, a, 1));
    EXPECT_TRUE(base.AddDetailsForPairs(true, pairs));
}

TEST(KDuzUserNotificationTest, LogFolderIsTheTemporaryFolderWhateverItsLength) {
    KDuzUserNotification notification("a", "b");
    std::string path = notification.GetLogFilePath().Buffer();
    EXPECT_EQ(path, duzplatform::GetTemporaryFolder());
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), '/');

    // A folder longer than a fixed 1024-byte buffer comes back whole.
    namespace fs = std::filesystem;
    fs::path deep = fs::temp_directory_path() / ("juliet_notify_" + std::to_string(::getpid()));
    fs::path root = deep;
    while (deep.string().size() <= 1100) deep /= std::string(100, 'd');
    fs::create_directories(deep);
    const char* saved = std::getenv("TMPDIR");
    std::string savedValue = saved != nullptr ? saved : "";
    setenv("TMPDIR", deep.c_str(), 1);
    std::string longPath = notification.GetLogFilePath().Buffer();
    if (saved != nullptr) {
        setenv("TMPDIR", savedValue.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    fs::remove_all(root);
    EXPECT_EQ(longPath, deep.string() + "/");
}

}  // namespace
}  // namespace duzsdk
