// Storing and loading one long curve through the field file, binary and
// ASCII, against a plain copy of the same keys as the floor.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "sdk/animation/KFCurve.h"
#include "sdk/base/KMemory.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KFCurveDuzStorage.h"

namespace {

using namespace duzsdk;

constexpr std::int64_t kTicksPerFrame = 1539538600;  // 1/30 s

void FillCurve(KFCurve& curve, int count)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    curve.ReserveKeys(count);
    for (int i = 0; i < count; ++i) {
        const std::uint32_t mode = i % 3 == 0 ? kFCurveTangentUser : kFCurveTangentAuto;
        curve.KeySet(i, KTime(i * kTicksPerFrame), value(rng), kFCurveInterpolationCubic, mode, 0.5f, -0.5f);
    }
}

std::vector<std::uint8_t> Store(const KFCurve& curve, bool binary)
{
    KDuz duz;
    duz.ProjectCreate(nullptr, 0, binary, false);
    duz.FieldWriteBegin("Curve");
    duz.FieldWriteBlockBegin();
    KFCurveDuzStore(curve, duz, false, true, false);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    void* data = nullptr;
    size_t size = 0;
    duz.ProjectClose(&data, &size);
    std::vector<std::uint8_t> bytes(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
    KMemFree(data);
    return bytes;
}

void BM_Store(benchmark::State& state)
{
    KFCurve curve;
    FillCurve(curve, static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(Store(curve, state.range(1) != 0).size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Retrieve(benchmark::State& state)
{
    KFCurve source;
    FillCurve(source, static_cast<int>(state.range(0)));
    const std::vector<std::uint8_t> bytes = Store(source, state.range(1) != 0);
    KFCurve curve;
    for (auto _ : state) {
        KDuz duz;
        duz.ProjectOpenMemory(bytes.data(), bytes.size(), false, true);
        duz.FieldReadBegin("Curve");
        duz.FieldReadBlockBegin();
        KFCurveDuzRetrieve(duz, &curve, false, true);
        benchmark::DoNotOptimize(curve.KeyGetCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The floor: copying the key records alone.
void BM_CopyKeys(benchmark::State& state)
{
    KFCurve source;
    FillCurve(source, static_cast<int>(state.range(0)));
    std::vector<KFCurveKey> keys(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        for (int i = 0; i < source.KeyGetCount(); ++i) keys[static_cast<size_t>(i)] = source.KeyRecord(i);
        benchmark::DoNotOptimize(keys.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_Store)->Args({100000, 1})->Args({100000, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Retrieve)->Args({100000, 1})->Args({100000, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyKeys)->Arg(100000)->Unit(benchmark::kMillisecond);
