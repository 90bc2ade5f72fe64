#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sdk/base/KPath.h"
#include "sdk/base/KSettingsFile.h"

using namespace duzsdk;

namespace {

std::string DeepPath(int segments)
{
    std::string path = "C:\\";
    for (int i = 0; i < segments; ++i)
        path += (i % 5 == 4) ? "..\\" : (i % 3 == 0 ? ".\\" : "folder" + std::to_string(i) + "/");
    return path + "file.duz";
}

void BM_PathClean(benchmark::State& state)
{
    const std::string path = DeepPath(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(KPathClean(path));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PathClean)->RangeMultiplier(8)->Range(8, 8 << 9)->Complexity();

void BM_RelativePath(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(KPathGetRelativePath("C:/a/b/c/d/x.duz", "C:/A/B/e/f/tex.png"));
}
BENCHMARK(BM_RelativePath);

// Loading the settings cache of a file with n keys in one section.
void BM_SettingsCacheLoad(benchmark::State& state)
{
    std::string folder = (std::filesystem::temp_directory_path() / "duzbench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    {
        std::ofstream out(folder + "/big.txt");
        out << "[Section]\n";
        for (int64_t i = state.range(0); i > 0; --i)   // reverse order: the worst case for sorted insertion
            out << "key" << i << " = " << i << "\n";
    }
    KSettingsFolder() = folder.c_str();
    for (auto _ : state) {
        KSettingsFile settings("big.txt", true);
        benchmark::DoNotOptimize(settings.GetValue("Section", "key1", nullptr));
    }
    KSettingsFolder() = "";
    std::filesystem::remove_all(folder);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SettingsCacheLoad)->RangeMultiplier(8)->Range(64, 64 << 9)->Complexity();

}  // namespace
