// The curve filters over long curves, beside a whole-curve copy of the same
// keys as the baseline: a filter that stays within a small factor of the copy
// as the key count grows is linear (or n log n).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>

#include "sdk/animation/KFCurveFilterConstantKeyReducer.h"
#include "sdk/animation/KFCurveFilterKeyReducer.h"
#include "sdk/animation/KFCurveFilterKeySync.h"
#include "sdk/animation/KFCurveFilterMatrixConverter.h"
#include "sdk/animation/KFCurveFilterResample.h"
#include "sdk/animation/KFCurveFilterUnroll.h"

namespace {

using namespace duzsdk;

constexpr std::int64_t kTicksPerFrame = 1539538600;  // 1/30 s

enum class Shape { Smooth, Noise, Plateaus, Spinning };

void Fill(KFCurve& curve, int count, Shape shape, std::int64_t offset = 0)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-50.0f, 50.0f);
    curve.ReserveKeys(count);
    for (int i = 0; i < count; ++i) {
        const double s = i / 30.0;
        float v = 0.0f;
        switch (shape) {
        case Shape::Smooth: v = static_cast<float>(10.0 * std::sin(s * 1.3) + 3.0 * std::sin(s * 7.1)); break;
        case Shape::Noise: v = noise(rng); break;
        case Shape::Plateaus: v = static_cast<float>((i / 50) % 3); break;
        case Shape::Spinning: v = static_cast<float>(std::remainder(i * 7.0, 360.0)); break;
        }
        curve.KeySet(i, KTime(offset + i * kTicksPerFrame), v, kFCurveInterpolationCubic, kFCurveTangentAuto);
    }
}

struct NodeDeleter {
    void operator()(KFCurveNode* n) const { KFCurveObjectDelete(n); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDeleter>;

NodePtr Transform(int count)
{
    NodePtr root(KFCurveNodeCreate("Transform"));
    for (const char* group : {"T", "R", "S"}) {
        KFCurveNode* g = KFCurveNodeCreate(group, nullptr, group[0] == 'R' ? eCurveNodeLayerRotation : 0);
        for (const char* axis : {"X", "Y", "Z"}) g->FindOrCreateChild(axis, true);
        root->AddChild(g);
    }
    Fill(*root->FindByPath("T/X")->GetCurve(), count, Shape::Smooth);
    Fill(*root->FindByPath("R/Y")->GetCurve(), count, Shape::Spinning);
    for (const char* axis : {"S/X", "S/Y", "S/Z"}) root->FindByPath(axis)->GetCurve()->SetDefaultValue(1.0f);
    return root;
}

template <typename Run>
void Measure(benchmark::State& state, Shape shape, Run run)
{
    const int n = static_cast<int>(state.range(0));
    KFCurve source;
    Fill(source, n, shape);
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<KFCurve> curve(source.Clone());
        state.ResumeTiming();
        run(*curve);
        benchmark::DoNotOptimize(curve->KeyGetCount());
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}

// Baseline: copying every key of the curve once.
void BM_CopyCurveBaseline(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    KFCurve source;
    Fill(source, n, Shape::Smooth);
    for (auto _ : state) {
        std::unique_ptr<KFCurve> copy(source.Clone());
        benchmark::DoNotOptimize(copy->KeyGetCount());
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Resample(benchmark::State& state)
{
    KFCurveFilterResample filter;
    filter.SetPeriod(KTime(kTicksPerFrame / 2));
    Measure(state, Shape::Smooth, [&](KFCurve& c) { filter.Apply(c); });
}

void BM_ResampleKeepShape(benchmark::State& state)
{
    KFCurveFilterResample filter;
    filter.SetPeriod(KTime(kTicksPerFrame / 2));
    filter.SetKeepKeyShape(true);
    Measure(state, Shape::Smooth, [&](KFCurve& c) { filter.Apply(c); });
}

void BM_ConstantKeyReducer(benchmark::State& state)
{
    KFCurveFilterConstantKeyReducer filter;
    Measure(state, Shape::Plateaus, [&](KFCurve& c) { filter.Apply(c); });
}

void BM_KeyReducerSmooth(benchmark::State& state)
{
    KFCurveFilterKeyReducer filter;
    filter.SetTolerance(0.01);
    Measure(state, Shape::Smooth, [&](KFCurve& c) { filter.Apply(c); });
}

// Every key is off the fit: the worst case of the subdivision.
void BM_KeyReducerNoise(benchmark::State& state)
{
    KFCurveFilterKeyReducer filter;
    filter.SetTolerance(0.001);
    Measure(state, Shape::Noise, [&](KFCurve& c) { filter.Apply(c); });
}

void BM_KeySyncThreeCurves(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        KFCurve a, b, c;
        Fill(a, n, Shape::Smooth);
        Fill(b, n, Shape::Smooth, kTicksPerFrame / 2);  // every key between two of a's
        Fill(c, n, Shape::Smooth);
        KFCurve* curves[3] = {&a, &b, &c};
        state.ResumeTiming();
        KFCurveFilterKeySync filter;
        filter.Apply(curves, 3);
        benchmark::DoNotOptimize(a.KeyGetCount());
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_UnrollRotation(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        NodePtr r(KFCurveNodeCreate("R", nullptr, eCurveNodeLayerRotation));
        for (const char* axis : {"X", "Y", "Z"}) Fill(*r->FindOrCreateChild(axis, true)->GetCurve(), n, Shape::Spinning);
        state.ResumeTiming();
        KFCurveFilterUnroll filter;
        filter.Apply(*r, true);
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_MatrixConverter(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        NodePtr root = Transform(n);
        state.ResumeTiming();
        KFCurveFilterMatrixConverter filter;
        filter.SetSourceMatrix(3, KgeMatrix::FromEulerXYZ(30.0, 0.0, 45.0));
        filter.SetPeriod(KTime(kTicksPerFrame));
        filter.Apply(*root, true);
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

#define FILTER_SIZES RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity()
BENCHMARK(BM_CopyCurveBaseline)->FILTER_SIZES;
BENCHMARK(BM_Resample)->FILTER_SIZES;
BENCHMARK(BM_ResampleKeepShape)->FILTER_SIZES;
BENCHMARK(BM_ConstantKeyReducer)->FILTER_SIZES;
BENCHMARK(BM_KeyReducerSmooth)->FILTER_SIZES;
BENCHMARK(BM_KeyReducerNoise)->FILTER_SIZES;
BENCHMARK(BM_KeySyncThreeCurves)->FILTER_SIZES;
BENCHMARK(BM_UnrollRotation)->FILTER_SIZES;
BENCHMARK(BM_MatrixConverter)->FILTER_SIZES;
