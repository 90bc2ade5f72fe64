#include "sdk/io/KDuzFormatRegistry.h"

#include <gtest/gtest.h>

#include "sdk/object/KDuzFormatRegistryUse.h"

namespace duzsdk {
namespace {

// Leaves the process with no registry, whatever a test did.
class FormatRegistryTest : public ::testing::Test {
protected:
    void TearDown() override {
        while (KDuzFormatRegistry::GetUserCount() > 0) KDuzFormatRegistry::Release();
    }
};

TEST_F(FormatRegistryTest, CountedLifetime) {
    EXPECT_EQ(KDuzFormatRegistry::Get(), nullptr);
    EXPECT_EQ(KDuzFormatRegistry::GetUserCount(), 0);

    // A release without users is harmless and does not go below zero.
    KDuzFormatRegistry::Release();
    EXPECT_EQ(KDuzFormatRegistry::GetUserCount(), 0);

    KDuzFormatRegistry* first = KDuzFormatRegistry::Acquire();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(KDuzFormatRegistry::Acquire(), first);
    EXPECT_EQ(KDuzFormatRegistry::GetUserCount(), 2);
    EXPECT_EQ(KDuzFormatRegistry::Get(), first);

    KDuzFormatRegistry::Release();
    EXPECT_EQ(KDuzFormatRegistry::Get(), first);   // one manager still alive
    KDuzFormatRegistry::Release();
    EXPECT_EQ(KDuzFormatRegistry::Get(), nullptr);
    EXPECT_EQ(KDuzFormatRegistry::GetUserCount(), 0);
    KDuzFormatRegistry::Release();
    EXPECT_EQ(KDuzFormatRegistry::GetUserCount(), 0);

    // The manager's calls count the same way.
    KDuzFormatRegistryAcquire();
    EXPECT_NE(KDuzFormatRegistry::Get(), nullptr);
    EXPECT_EQ(KDuzFormatRegistry::GetUserCount(), 1);
    KDuzFormatRegistryRelease();
    EXPECT_EQ(KDuzFormatRegistry::Get(), nullptr);
}

// ---- a made-up group of formats -------------------------------------------------

const char* const kExtensions[] = {"aaa", "bbb", "ccc", nullptr};
const char* const kDescriptions[] = {"A (*.aaa)", "B (*.bbb)", "C (*.ccc)"};
const char* const kVersionsOfB[] = {"V2", "V1", nullptr};
const unsigned char kFlagOfA = 1;

const void* GroupInfo(int request, int formatNumber) {
    switch (request) {
        case eDuzFormatInfoExtensions: return kExtensions;
        case eDuzFormatInfoDescriptions: return kDescriptions;
        case eDuzFormatInfoVersions: return formatNumber == 1 ? kVersionsOfB : nullptr;
        case eDuzFormatInfoFlag: return formatNumber == 0 ? &kFlagOfA : nullptr;
        default: return nullptr;
    }
}

const char* const kOneExtension[] = {"zzz", nullptr};
const void* NoDescriptionsInfo(int request, int) {
    return request == eDuzFormatInfoExtensions ? kOneExtension : nullptr;
}

const char* const kNoExtensions[] = {nullptr};
const void* EmptyGroupInfo(int request, int) {
    return request == eDuzFormatInfoExtensions ? kNoExtensions : nullptr;
}

struct FactoryCall {
    KDuzSdkManager* manager;
    void* io;
    int formatNumber;
};
FactoryCall gLastCall;
char gMarker;

KDuzReader* ReaderFactory(KDuzSdkManager* manager, KDuzImporter* importer, int formatNumber) {
    gLastCall = {manager, importer, formatNumber};
    return reinterpret_cast<KDuzReader*>(&gMarker);
}
KDuzWriter* WriterFactory(KDuzSdkManager* manager, KDuzExporter* exporter, int formatNumber) {
    gLastCall = {manager, exporter, formatNumber};
    return reinterpret_cast<KDuzWriter*>(&gMarker);
}

TEST_F(FormatRegistryTest, ReaderGroupsGetConsecutiveIndices) {
    KDuzFormatRegistry* registry = KDuzFormatRegistry::Acquire();
    int base = registry->GetReaderCount();
    int first = 99, count = 99;
    EXPECT_TRUE(registry->RegisterReaders(&ReaderFactory, &GroupInfo, &first, &count));
    EXPECT_EQ(first, base);
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(registry->RegisterReaders(&ReaderFactory, &GroupInfo, &first, &count));
    EXPECT_EQ(first, base + 3);
    ASSERT_EQ(registry->GetReaderCount(), base + 6);

    struct Row { int index; const char* extension; const char* description; unsigned char flag; };
    const Row rows[] = {
        {base, "aaa", "A (*.aaa)", 1}, {base + 1, "bbb", "B (*.bbb)", 0},
        {base + 2, "ccc", "C (*.ccc)", 0}, {base + 3, "aaa", "A (*.aaa)", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.index);
        const KDuzFormatRegistry::ReaderEntry* entry = registry->GetReaderEntry(row.index);
        ASSERT_NE(entry, nullptr);
        EXPECT_STREQ(entry->extension, row.extension);
        EXPECT_STREQ(entry->description, row.description);
        EXPECT_EQ(entry->flag, row.flag);
        EXPECT_EQ(registry->GetReaderFlag(row.index), row.flag);
    }

    // The factory gets the format number within its group.
    auto* manager = reinterpret_cast<KDuzSdkManager*>(&gLastCall);
    auto* importer = reinterpret_cast<KDuzImporter*>(&first);
    EXPECT_EQ(registry->CreateReader(manager, importer, base + 4),
              reinterpret_cast<KDuzReader*>(&gMarker));
    EXPECT_EQ(gLastCall.manager, manager);
    EXPECT_EQ(gLastCall.io, importer);
    EXPECT_EQ(gLastCall.formatNumber, 1);

    // Outside the table: no reader, flag 0.
    for (int bad : {-1, base + 6, 1 << 30}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(registry->CreateReader(manager, importer, bad), nullptr);
        EXPECT_EQ(registry->GetReaderFlag(bad), 0);
        EXPECT_EQ(registry->GetReaderEntry(bad), nullptr);
    }
}

TEST_F(FormatRegistryTest, WriterGroupsCarryTheirVersionLists) {
    KDuzFormatRegistry* registry = KDuzFormatRegistry::Acquire();
    int base = registry->GetWriterCount();
    int first = -5, count = -5;
    EXPECT_TRUE(registry->RegisterWriters(&WriterFactory, &GroupInfo, &first, &count));
    EXPECT_EQ(first, base);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(registry->GetWriterEntry(base)->versions, nullptr);
    const char* const* versions = registry->GetWriterEntry(base + 1)->versions;
    ASSERT_NE(versions, nullptr);
    EXPECT_STREQ(versions[0], "V2");
    EXPECT_EQ(registry->GetWriterFlag(base), 1);
    EXPECT_EQ(registry->GetWriterFlag(base + 2), 0);

    EXPECT_EQ(registry->CreateWriter(nullptr, nullptr, base + 2),
              reinterpret_cast<KDuzWriter*>(&gMarker));
    EXPECT_EQ(gLastCall.formatNumber, 2);
    EXPECT_EQ(registry->CreateWriter(nullptr, nullptr, base + 3), nullptr);
    EXPECT_EQ(registry->GetWriterFlag(-1), 0);
}

TEST_F(FormatRegistryTest, GroupsThatRegisterNothingOrLackParts) {
    KDuzFormatRegistry* registry = KDuzFormatRegistry::Acquire();
    int readers = registry->GetReaderCount();
    int first = 7, count = 7;
    EXPECT_FALSE(registry->RegisterReaders(&ReaderFactory, &EmptyGroupInfo, &first, &count));
    EXPECT_EQ(first, -1);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(registry->RegisterReaders(&ReaderFactory, nullptr, &first, &count));
    EXPECT_EQ(registry->GetReaderCount(), readers);

    // Without descriptions the formats still register, described as "".
    EXPECT_TRUE(registry->RegisterReaders(nullptr, &NoDescriptionsInfo, nullptr, nullptr));
    ASSERT_EQ(registry->GetReaderCount(), readers + 1);
    EXPECT_STREQ(registry->GetReaderEntry(readers)->description, "");
    // An entry without factory creates nothing.
    EXPECT_EQ(registry->CreateReader(nullptr, nullptr, readers), nullptr);
}

TEST_F(FormatRegistryTest, ANewRegistryStartsFromTheBuiltInFormatsAgain) {
    KDuzFormatRegistry* registry = KDuzFormatRegistry::Acquire();
    int readers = registry->GetReaderCount();
    int writers = registry->GetWriterCount();
    int firstDuzReader = registry->GetFirstDuzReaderIndex();
    registry->RegisterReaders(&ReaderFactory, &GroupInfo, nullptr, nullptr);
    KDuzFormatRegistry::Release();

    registry = KDuzFormatRegistry::Acquire();
    EXPECT_EQ(registry->GetReaderCount(), readers);
    EXPECT_EQ(registry->GetWriterCount(), writers);
    EXPECT_EQ(registry->GetFirstDuzReaderIndex(), firstDuzReader);
}

}  // namespace
}  // namespace duzsdk
