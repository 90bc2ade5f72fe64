// Cost of the conversions the node transform evaluation runs per node and
// per sample: Euler to matrix and back for each rotation order, and the
// affine product.
#include <benchmark/benchmark.h>

#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeRotationOrder.h"

namespace {

using duzsdk::KgeMatrix;
using duzsdk::KgeRotationOrder;

void BM_EulerToMatrix(benchmark::State& state) {
    const KgeRotationOrder order(static_cast<int>(state.range(0)));
    double angles[3] = {10, 20, 30};
    KgeMatrix m;
    for (auto _ : state) {
        order.EulerToMatrix(m.Data(), angles);
        benchmark::DoNotOptimize(m.Data());
        angles[0] += 0.001;
    }
}
BENCHMARK(BM_EulerToMatrix)->Arg(0)->Arg(6)->Arg(12);

void BM_MatrixToEuler(benchmark::State& state) {
    const KgeRotationOrder order(static_cast<int>(state.range(0)));
    const double angles[3] = {10, 20, 30};
    KgeMatrix m;
    order.EulerToMatrix(m.Data(), angles);
    double out[3];
    for (auto _ : state) {
        order.MatrixToEuler(out, m.Data());
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MatrixToEuler)->Arg(0)->Arg(6)->Arg(12);

void BM_MultiplyAffine(benchmark::State& state) {
    const KgeMatrix a = KgeMatrix::FromEulerXYZ(10, 20, 30);
    KgeMatrix out = KgeMatrix::FromEulerXYZ(-5, 15, 40);
    for (auto _ : state) {
        duzsdk::KgeMatrixMultiplyAffine(out.Data(), a.Data(), out.Data());
        benchmark::DoNotOptimize(out.Data());
    }
}
BENCHMARK(BM_MultiplyAffine);

void BM_SetScalingKeepTR(benchmark::State& state) {
    KgeMatrix m;
    m.SetTRS(duzsdk::KgeTVector(1, 2, 3, 0), duzsdk::KgeTVector(10, 20, 30, 0),
             duzsdk::KgeTVector(2, 3, 4, 0));
    const duzsdk::KgeTVector s(2, 3, 4, 0);
    for (auto _ : state) {
        m.SetScalingKeepTR(s);
        benchmark::DoNotOptimize(m.Data());
    }
}
BENCHMARK(BM_SetScalingKeepTR);

}  // namespace
