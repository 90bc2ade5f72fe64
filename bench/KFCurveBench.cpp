// Curve evaluation and key insertion, with a plain linear interpolation over a
// std::vector of the same keys as the baseline.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "sdk/animation/KFCurve.h"

namespace {

using duzsdk::KFCurve;
using duzsdk::KTime;

constexpr std::int64_t kTicksPerFrame = 1539538600;  // 1/30 s

struct Keys {
    std::vector<std::int64_t> times;
    std::vector<float> values;
};

const Keys& TestKeys(int count)
{
    static Keys keys;
    if (static_cast<int>(keys.times.size()) != count) {
        keys = Keys();
        std::mt19937 rng(11);
        std::uniform_int_distribution<std::int64_t> gap(kTicksPerFrame / 2, kTicksPerFrame * 2);
        std::uniform_real_distribution<float> value(-100.0f, 100.0f);
        std::int64_t t = 0;
        for (int i = 0; i < count; ++i) {
            keys.times.push_back(t);
            keys.values.push_back(value(rng));
            t += gap(rng);
        }
    }
    return keys;
}

void BuildCurve(KFCurve& curve, const Keys& keys)
{
    curve.ReserveKeys(static_cast<int>(keys.times.size()));
    for (size_t i = 0; i < keys.times.size(); ++i) curve.KeyAppendFast(KTime(keys.times[i]), keys.values[i]);
}

std::vector<std::int64_t> SampleTimes(const Keys& keys, int count, bool random)
{
    std::vector<std::int64_t> out;
    const std::int64_t end = keys.times.back();
    std::mt19937 rng(5);
    std::uniform_int_distribution<std::int64_t> when(0, end);
    for (int i = 0; i < count; ++i) out.push_back(random ? when(rng) : end / count * i);
    return out;
}

// Linear interpolation over sorted vectors: the cheapest sound evaluation.
float Baseline(const Keys& keys, std::int64_t t, size_t& hint, bool sequential)
{
    const auto& times = keys.times;
    size_t i;
    if (sequential) {
        while (hint + 1 < times.size() && times[hint + 1] <= t) ++hint;
        i = hint;
    } else {
        i = static_cast<size_t>(std::upper_bound(times.begin(), times.end(), t) - times.begin());
        i = i == 0 ? 0 : i - 1;
    }
    if (i + 1 >= times.size()) return keys.values.back();
    const double f = static_cast<double>(t - times[i]) / static_cast<double>(times[i + 1] - times[i]);
    return static_cast<float>(keys.values[i] + (keys.values[i + 1] - keys.values[i]) * f);
}

void BM_CurveEvaluate(benchmark::State& state, bool random)
{
    const int keyCount = static_cast<int>(state.range(0));
    const Keys& keys = TestKeys(keyCount);
    KFCurve curve;
    BuildCurve(curve, keys);
    const auto times = SampleTimes(keys, 100000, random);
    for (auto _ : state) {
        int hint = 0;
        float sum = 0.0f;
        for (std::int64_t t : times) sum += curve.Evaluate(KTime(t), &hint);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(times.size()));
}

void BM_BaselineEvaluate(benchmark::State& state, bool random)
{
    const int keyCount = static_cast<int>(state.range(0));
    const Keys& keys = TestKeys(keyCount);
    const auto times = SampleTimes(keys, 100000, random);
    for (auto _ : state) {
        size_t hint = 0;
        float sum = 0.0f;
        for (std::int64_t t : times) sum += Baseline(keys, t, hint, !random);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(times.size()));
}

void BM_CurveEvaluateSequential(benchmark::State& state) { BM_CurveEvaluate(state, false); }
void BM_CurveEvaluateRandom(benchmark::State& state) { BM_CurveEvaluate(state, true); }
void BM_BaselineSequential(benchmark::State& state) { BM_BaselineEvaluate(state, false); }
void BM_BaselineRandom(benchmark::State& state) { BM_BaselineEvaluate(state, true); }

BENCHMARK(BM_CurveEvaluateSequential)->Arg(1000)->Arg(100000);
BENCHMARK(BM_BaselineSequential)->Arg(1000)->Arg(100000);
BENCHMARK(BM_CurveEvaluateRandom)->Arg(1000)->Arg(100000);
BENCHMARK(BM_BaselineRandom)->Arg(1000)->Arg(100000);

// Building a curve of N keys in time order.
void BM_CurveKeyAppendFast(benchmark::State& state)
{
    const Keys& keys = TestKeys(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        KFCurve curve;
        BuildCurve(curve, keys);
        benchmark::DoNotOptimize(curve.KeyGetCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_CurveKeyAddInOrder(benchmark::State& state)
{
    const Keys& keys = TestKeys(static_cast<int>(state.range(0)));
    duzsdk::KFCurveKey key;
    key.Set(0, 0.0f, duzsdk::kFCurveInterpolationCubic, duzsdk::kFCurveTangentAuto);
    for (auto _ : state) {
        KFCurve curve;
        int hint = 0;
        for (size_t i = 0; i < keys.times.size(); ++i) {
            key.mValue = keys.values[i];
            curve.KeyAdd(KTime(keys.times[i]), key, &hint);
        }
        benchmark::DoNotOptimize(curve.KeyGetCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BaselineVectorInsertInOrder(benchmark::State& state)
{
    const Keys& keys = TestKeys(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Keys copy;
        for (size_t i = 0; i < keys.times.size(); ++i) {
            const auto at = std::lower_bound(copy.times.begin(), copy.times.end(), keys.times[i]);
            const auto offset = at - copy.times.begin();
            copy.times.insert(at, keys.times[i]);
            copy.values.insert(copy.values.begin() + offset, keys.values[i]);
        }
        benchmark::DoNotOptimize(copy.times.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Shape-keeping insertion at random times into a curve of 10,000 keys.
void BM_CurveKeyInsertRandom(benchmark::State& state)
{
    const Keys& keys = TestKeys(10000);
    const auto times = SampleTimes(keys, static_cast<int>(state.range(0)), true);
    for (auto _ : state) {
        state.PauseTiming();
        KFCurve curve;
        BuildCurve(curve, keys);
        state.ResumeTiming();
        for (std::int64_t t : times) curve.KeyInsert(KTime(t + 1));
        benchmark::DoNotOptimize(curve.KeyGetCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_CurveKeyAppendFast)->Arg(100000);
BENCHMARK(BM_CurveKeyAddInOrder)->Arg(100000);
BENCHMARK(BM_BaselineVectorInsertInOrder)->Arg(100000);
BENCHMARK(BM_CurveKeyInsertRandom)->Arg(1000);

}  // namespace
