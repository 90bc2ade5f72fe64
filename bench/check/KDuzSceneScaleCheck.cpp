// The memory of a scene of 10^5 null nodes, step by step: made in code,
// written as a binary version 6 file and read back. Each step's heap (what
// it keeps and its peak) must stay within bounds per node with room to
// spare; times are not checked (the scale benchmark reports them). A
// regression that holds a whole file in memory, keeps a table per property
// or copies the scene while writing it breaks a bound here long before the
// 10^6 runs by hand would show it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchHeapPeak.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {
namespace {

constexpr int kNodes = 100000;

// Bounds in KiB per node. A null node costs about 9.5 KiB made and 9.8 KiB
// read back; writing one peaks at about 0.4 KiB over the scene and its file
// record is 5.1 KiB, so a writer that held the file would break its bound.
constexpr double kMadeBound = 12.0;
constexpr double kWritePeakBound = 2.0;
constexpr double kReadBound = 12.0;
constexpr double kReadPeakBound = 16.0;

double KiBPerNode(int64_t bytes) { return static_cast<double>(bytes) / kNodes / 1024.0; }

int64_t HeapInUse() { return duzbench::gHeapInUse.load(); }

// Seconds since the last call (reported beside the figures, never checked).
double Lap()
{
    static auto last = std::chrono::steady_clock::now();
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - last).count();
    last = now;
    return seconds;
}

TEST(KDuzSceneScaleCheck, NullNodesStayWithinTheirMemoryBounds)
{
    if (!DUZ_BENCH_TRACK_HEAP)
        GTEST_SKIP() << "the heap is not counted under a sanitizer";
    const std::string path =
        (std::filesystem::temp_directory_path() / ("duz_scale_check_" + std::to_string(::getpid()) + ".duz"))
            .string();

    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    Lap();
    duzbench::MarkHeapBase();
    const int64_t beforeMake = HeapInUse();
    for (int i = 0; i < kNodes; ++i) {
        KDuzNode* node = KDuzNode::Create(manager, ("Null" + std::to_string(i)).c_str());
        node->SetNodeAttribute(KDuzNull::Create(manager, ""));
        scene->GetRootNode()->AddChild(node);
    }
    const double made = KiBPerNode(HeapInUse() - beforeMake);
    const double makeSeconds = Lap();

    duzbench::MarkHeapBase();
    KDuzExporter* exporter = KDuzExporter::Create(manager, "");
    auto* options = KDuzStreamOptionsDuzWriter::Create(manager, "");
    options->Reset();
    ASSERT_TRUE(exporter->Initialize(path.c_str()));
    exporter->SetFileFormat(0);  // binary
    const bool exported = exporter->Export(scene, options);
    exporter->Destroy();
    options->Destroy();
    const double writePeak = KiBPerNode(duzbench::HeapPeakSinceBase());
    const double writeSeconds = Lap();
    manager->Destroy();
    const double destroySeconds = Lap();
    ASSERT_TRUE(exported);
    const double fileKiB = KiBPerNode(static_cast<int64_t>(std::filesystem::file_size(path)));

    manager = KDuzSdkManager::Create();
    KDuzScene* read = KDuzScene::Create(manager, "");
    duzbench::MarkHeapBase();
    const int64_t beforeRead = HeapInUse();
    KDuzImporter* importer = KDuzImporter::Create(manager, "");
    const bool imported = importer->Initialize(path.c_str()) && importer->Import(read);
    importer->Destroy();
    const double readPeak = KiBPerNode(duzbench::HeapPeakSinceBase());
    const double readHeld = KiBPerNode(HeapInUse() - beforeRead);
    const double readSeconds = Lap();
    const int children = read->GetRootNode()->GetChildCount();
    manager->Destroy();
    std::filesystem::remove(path);

    std::printf("KiB per node: made %.2f, write peak %.2f, file %.2f, read %.2f, read peak %.2f\n", made,
                writePeak, fileKiB, readHeld, readPeak);
    std::printf("seconds: make %.1f, write %.1f, destroy %.1f, read %.1f, destroy %.1f\n", makeSeconds,
                writeSeconds, destroySeconds, readSeconds, Lap());
    ASSERT_TRUE(imported);
    EXPECT_EQ(children, kNodes);
    EXPECT_LE(made, kMadeBound);
    EXPECT_LE(writePeak, kWritePeakBound);
    EXPECT_LE(readHeld, kReadBound);
    EXPECT_LE(readPeak, kReadPeakBound);
}

}  // namespace
}  // namespace duzsdk
