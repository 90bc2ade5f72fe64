#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sdk/io/KDuz.h"

// Writes and reads back a binary field file of about 59 MB made of value
// arrays inside nested blocks, next to a plain fread of the same file, so the
// MB/s of the three can be compared within one run.

namespace {

using namespace duzsdk;

constexpr int kChunks = 256;
constexpr int kDoubles = 20000;
constexpr int kInts = 10000;

std::string BenchFile()
{
    return (std::filesystem::temp_directory_path() / ("duz_bench_" + std::to_string(::getpid()) + ".duz")).string();
}

void WriteFile(const std::string& path)
{
    KDuz duz;
    duz.ProjectCreateFile(path.c_str(), true, false);
    for (int c = 0; c < kChunks; ++c) {
        duz.FieldWriteBegin("Chunk");
        duz.FieldWriteInt(c);
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Vertices");
        for (int i = 0; i < kDoubles; ++i)
            duz.FieldWriteDouble(i * 0.5);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Indices");
        for (int i = 0; i < kInts; ++i)
            duz.FieldWriteInt(i);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Meta");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Name");
        duz.FieldWriteString("Model::Chunk");
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    duz.ProjectClose();
}

const std::string& PreparedFile()
{
    static const std::string path = [] {
        const std::string p = BenchFile();
        WriteFile(p);
        return p;
    }();
    return path;
}

int64_t FileSize(const std::string& path)
{
    return static_cast<int64_t>(std::filesystem::file_size(path));
}

void DuzWrite(benchmark::State& state)
{
    const std::string path = BenchFile() + ".write.duz";
    for (auto _ : state)
        WriteFile(path);
    state.SetBytesProcessed(state.iterations() * FileSize(path));
    std::filesystem::remove(path);
}
BENCHMARK(DuzWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void DuzRead(benchmark::State& state)
{
    const std::string& path = PreparedFile();
    double sum = 0;
    int64_t indexSum = 0;
    std::vector<double> vertices;
    std::vector<int> indices;
    for (auto _ : state) {
        KDuz duz;
        if (!duz.ProjectOpen(path.c_str())) {
            state.SkipWithError("open failed");
            return;
        }
        while (duz.FieldReadBegin("Chunk")) {
            duz.FieldReadBlockBegin();
            // Arrays in one call each, as the mesh readers take them.
            duz.FieldReadBegin("Vertices");
            vertices.resize(static_cast<size_t>(duz.FieldReadGetValueCount()));
            duz.FieldReadDoubles(vertices.data(), static_cast<int>(vertices.size()));
            sum += vertices.back();
            duz.FieldReadEnd();
            duz.FieldReadBegin("Indices");
            indices.resize(static_cast<size_t>(duz.FieldReadGetValueCount()));
            duz.FieldReadInts(indices.data(), static_cast<int>(indices.size()));
            indexSum += indices.back();
            duz.FieldReadEnd();
            duz.FieldReadBegin("Meta");
            duz.FieldReadBlockBegin();
            benchmark::DoNotOptimize(duz.FieldReadStringOrDefault("Name", ""));
            duz.FieldReadBlockEnd();
            duz.FieldReadEnd();
            duz.FieldReadBlockEnd();
            duz.FieldReadEnd();
        }
        duz.ProjectClose();
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(indexSum);
    state.SetBytesProcessed(state.iterations() * FileSize(path));
}
BENCHMARK(DuzRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void PlainFread(benchmark::State& state)
{
    const std::string& path = PreparedFile();
    std::vector<unsigned char> buffer(1 << 20);
    unsigned sum = 0;
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) {
            state.SkipWithError("open failed");
            return;
        }
        size_t got;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
            sum += buffer[got - 1];
        std::fclose(file);
    }
    benchmark::DoNotOptimize(sum);
    state.SetBytesProcessed(state.iterations() * FileSize(path));
}
BENCHMARK(PlainFread)->Unit(benchmark::kMillisecond)->UseRealTime();

// Removes the prepared file when the program ends.
struct Cleanup {
    ~Cleanup()
    {
        std::error_code code;
        std::filesystem::remove(BenchFile(), code);
    }
} cleanup;

}  // namespace
