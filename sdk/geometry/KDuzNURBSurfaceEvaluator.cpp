#include "sdk/geometry/KDuzNURBSurfaceEvaluator.h"

#include <new>

namespace duzsdk {

namespace {

constexpr double kMinInterval = 1e-8;

bool KnotInside(int index, int count) { return index >= 0 && index < count; }

}  // namespace

KDuzNURBSurfaceEvaluator* KDuzNURBSurfaceEvaluator::Create(int uOrder, int vOrder) {
    auto* evaluator = new (std::nothrow) KDuzNURBSurfaceEvaluator();
    if (evaluator == nullptr) return nullptr;
    evaluator->U().spanSize = uOrder;
    evaluator->V().spanSize = vOrder;
    return evaluator;
}

KDuzNURBSurfaceEvaluator::~KDuzNURBSurfaceEvaluator() = default;

void KDuzNURBSurfaceEvaluator::SetData(int kind, const double* data, int count) {
    switch (kind) {
    case 0:
        mWeights = data;
        mWeightCount = count;
        break;
    case 1:
        mUKnots = {data, count};
        MarkStale();
        break;
    case 2:
        mVKnots = {data, count};
        MarkStale();
        break;
    case 3:
    case 4:
        mExtra[kind - 3] = data;
        break;
    default:
        break;
    }
    U().pointCount = -1;
    V().pointCount = -1;
}

const KDuzNURBSurfaceEvaluator::Knots& KDuzNURBSurfaceEvaluator::KnotsOf(const Direction& d) const {
    return &d == &U() ? mUKnots : mVKnots;
}

double KDuzNURBSurfaceEvaluator::ControlPointWeight(int index) const {
    if (mWeights == nullptr || (mWeightCount >= 0 && index >= mWeightCount)) return 1.0;
    return mWeights[index];
}

double KDuzNURBSurfaceEvaluator::Basis(const double* knots, int knotCount, int i, int p, double t) {
    if (!KnotInside(i, knotCount) || !KnotInside(i + p, knotCount)) return 0.0;
    if (p <= 1) return knots[i] <= t && t < knots[i + 1] ? 1.0 : 0.0;
    double value = 0.0;
    const double left = knots[i + p - 1] - knots[i];
    if (left > kMinInterval) value += (t - knots[i]) / left * Basis(knots, knotCount, i, p - 1, t);
    const double right = knots[i + p] - knots[i + 1];
    if (right > kMinInterval) value += (knots[i + p] - t) / right * Basis(knots, knotCount, i + 1, p - 1, t);
    return value;
}

double KDuzNURBSurfaceEvaluator::BasisDerivative(const double* knots, int knotCount, int i, int p, double t) {
    if (p <= 1 || !KnotInside(i, knotCount) || !KnotInside(i + p, knotCount)) return 0.0;
    double value = 0.0;
    const double left = knots[i + p - 1] - knots[i];
    if (left > kMinInterval) {
        value += (Basis(knots, knotCount, i, p - 1, t) +
                  (t - knots[i]) * BasisDerivative(knots, knotCount, i, p - 1, t)) /
                 left;
    }
    const double right = knots[i + p] - knots[i + 1];
    if (right > kMinInterval) {
        value += ((knots[i + p] - t) * BasisDerivative(knots, knotCount, i + 1, p - 1, t) -
                  Basis(knots, knotCount, i + 1, p - 1, t)) /
                 right;
    }
    return value;
}

void KDuzNURBSurfaceEvaluator::CollectSpans(const Direction& d, std::vector<int>& spans) const {
    spans.clear();
    const Knots& knots = KnotsOf(d);
    const int p = d.spanSize;
    const long long n = d.count;
    if (knots.data == nullptr || p < 1 || p > kMaxOrder || n < 1) return;
    const long long m = d.closed != 0 ? n + 2LL * p - 1 : n + p;
    // Only knots the vector really holds are read (a closed direction's
    // vector may have the closed rather than the periodic length).
    const long long length = knots.count >= 0 && knots.count < m ? knots.count : m;
    for (long long i = p - 1; i <= m - p - 1 && i + 1 < length; ++i) {
        if (knots.data[i + 1] - knots.data[i] > kMinInterval) spans.push_back(static_cast<int>(i));
    }
}

long long KDuzNURBSurfaceEvaluator::ComputePointCount(const Direction& d) const {
    std::vector<int> spans;
    CollectSpans(d, spans);
    if (spans.empty()) return 0;
    return static_cast<long long>(d.step) * static_cast<long long>(spans.size()) + (d.closed != 0 ? 0 : 1);
}

bool KDuzNURBSurfaceEvaluator::BuildSamples(Direction& d) {
    std::vector<int> spans;
    CollectSpans(d, spans);
    const Knots& knots = KnotsOf(d);
    const int p = d.spanSize;
    const int k = d.step;
    const int points = d.pointCount;
    const long long length = knots.count >= 0 ? knots.count : (d.closed != 0 ? d.count + 2LL * p - 1 : d.count + p);
    const int knotCount = static_cast<int>(length);
    d.window = p;
    d.start.assign(static_cast<size_t>(points), 0);
    d.values.assign(static_cast<size_t>(points) * 4, 0.0);
    d.derivatives.assign(static_cast<size_t>(points) * 4, 0.0);
    int g = 0;
    for (size_t s = 0; s < spans.size(); ++s) {
        const int i = spans[s];
        const double t0 = knots.data[i];
        const double width = knots.data[i + 1] - t0;
        // The last span of an open direction also samples its end; the
        // 1e-8 keeps that sample inside the span's half-open interval.
        const int samples = (s + 1 == spans.size() && d.closed == 0) ? k + 1 : k;
        for (int j = 0; j < samples && g < points; ++j, ++g) {
            const double t = t0 + j * width / (k + 1e-8);
            const int first = i - p + 1;
            d.start[static_cast<size_t>(g)] = first;
            for (int r = 0; r < p; ++r) {
                d.values[static_cast<size_t>(g) * 4 + static_cast<size_t>(r)] =
                    Basis(knots.data, knotCount, first + r, p, t);
                d.derivatives[static_cast<size_t>(g) * 4 + static_cast<size_t>(r)] =
                    BasisDerivative(knots.data, knotCount, first + r, p, t);
            }
        }
    }
    return g == points;
}

}  // namespace duzsdk
