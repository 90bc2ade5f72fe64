#include "sdk/geometry/KDuzSurfaceEvaluator.h"

#include "sdk/geometry/KSparseWeightMatrix.h"

#include <climits>
#include <cmath>
#include <new>

namespace duzsdk {

namespace {

// Upper bound of output points of one evaluation (as for control points):
// steps or counts from a file beyond it are refused, not allocated.
constexpr long long kMaxOutputPoints = 1LL << 26;

struct PatchBasisRow {
    int spanSize;
    int advance;
    double rows[4][4];
};

// Rows = basis functions, columns = coefficients of t^3, t^2, t, 1; by EPatchType.
constexpr PatchBasisRow kPatchBases[] = {
    {4, 3, {{-1, 3, -3, 1}, {3, -6, 3, 0}, {-3, 3, 0, 0}, {1, 0, 0, 0}}},
    {3, 2, {{0, 1, -2, 1}, {0, -2, 2, 0}, {0, 1, 0, 0}, {0, 0, 0, 0}}},
    {4, 1, {{-0.5, 1, -0.5, 0}, {1.5, -2.5, 0, 1}, {-1.5, 2, 0.5, 0}, {0.5, -0.5, 0, 0}}},
    {4, 1,
     {{-1.0 / 6, 0.5, -0.5, 1.0 / 6}, {0.5, -1, 0, 2.0 / 3}, {-0.5, 0.5, 0.5, 1.0 / 6}, {1.0 / 6, 0, 0, 0}}},
    {2, 1, {{0, 0, -1, 1}, {0, 0, 1, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
};

struct Vec4 {
    double x = 0, y = 0, z = 0, w = 0;
    void AddScaled(const Vec4& v, double s) {
        x += v.x * s;
        y += v.y * s;
        z += v.z * s;
        w += v.w * s;
    }
};

// On the raw components: the checked element access is a call per value.
KgeTVector Cross(const KgeTVector& va, const KgeTVector& vb) {
    const double* a = va.Data();
    const double* b = vb.Data();
    return KgeTVector(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0], 1.0);
}

}  // namespace

KDuzSurfaceEvaluator::KDuzSurfaceEvaluator() = default;

KDuzSurfaceEvaluator::~KDuzSurfaceEvaluator() = default;

KDuzSurfaceEvaluator* KDuzSurfaceEvaluator::Create(int uType, int vType) {
    auto* evaluator = new (std::nothrow) KDuzSurfaceEvaluator();
    if (evaluator == nullptr) return nullptr;
    SetType(evaluator->mU, uType);
    SetType(evaluator->mV, vType);
    return evaluator;
}

// ---- parameters ------------------------------------------------------------------------

void KDuzSurfaceEvaluator::SetType(Direction& d, int type) {
    if (type < 0 || type >= static_cast<int>(sizeof(kPatchBases) / sizeof(kPatchBases[0]))) return;
    const PatchBasisRow& row = kPatchBases[type];
    d.spanSize = row.spanSize;
    d.advance = row.advance;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) d.basis[i][j] = row.rows[i][j];
    d.step = 4;
    d.pointCount = -1;
}

void KDuzSurfaceEvaluator::SetCardinal(Direction& d, double x) {
    const double rows[4][4] = {{-x / 2, x, -x / 2, 0},
                               {2 - x / 2, x / 2 - 3, 0, 1},
                               {x / 2 - 2, 3 - x, x / 2, 0},
                               {x / 2, -x / 2, 0, 0}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) d.basis[i][j] = rows[i][j];
    d.tension = x;
    d.spanSize = 4;
    d.advance = 1;
    d.pointCount = -1;
}

void KDuzSurfaceEvaluator::SetUClosed(int closed) {
    mU.closed = closed;
    mU.pointCount = -1;
    mTablesStale = true;
}

void KDuzSurfaceEvaluator::SetVClosed(int closed) {
    mV.closed = closed;
    mV.pointCount = -1;
    mTablesStale = true;
}

void KDuzSurfaceEvaluator::SetUStep(int step) {
    // A step of 0 (a reset NURB's) would sample nothing and divide by zero.
    mU.step = step < 1 ? 1 : step;
    mU.pointCount = -1;
    mTablesStale = true;
}

void KDuzSurfaceEvaluator::SetVStep(int step) {
    mV.step = step < 1 ? 1 : step;
    mV.pointCount = -1;
    mTablesStale = true;
}

void KDuzSurfaceEvaluator::SetUType(int type) {
    SetType(mU, type);
    mTablesStale = true;
}

void KDuzSurfaceEvaluator::SetVType(int type) {
    SetType(mV, type);
    mTablesStale = true;
}

void KDuzSurfaceEvaluator::SetUCardinalTension(double tension) {
    SetCardinal(mU, tension);
    mTablesStale = true;
}

void KDuzSurfaceEvaluator::SetVCardinalTension(double tension) {
    SetCardinal(mV, tension);
    mTablesStale = true;
}

int KDuzSurfaceEvaluator::SetControlPoints(const KgeTVector* points, int uCount, int vCount) {
    mControlPoints = points;
    if (uCount != mU.count || vCount != mV.count) mTablesStale = true;
    mU.count = uCount < 0 ? 0 : uCount;
    mV.count = vCount < 0 ? 0 : vCount;
    mU.pointCount = mV.pointCount = -1;
    mControlPointsChanged = true;
    return 0;
}

void KDuzSurfaceEvaluator::SetData(int /*kind*/, const double* /*data*/, int /*count*/) {}

// ---- counts and tables -------------------------------------------------------------------

long long KDuzSurfaceEvaluator::ComputePointCount(const Direction& d) const {
    const long long n = d.count;
    const long long s = d.spanSize;
    const long long a = d.advance;
    const long long k = d.step;
    if (n < 1 || a < 1) return 0;
    if (d.closed == 0) {
        // An open direction needs a whole span of control points.
        if (n < s) return 0;
        return k * a * ((n - s) / a + 1) + 1;
    }
    const long long spans = s + (n - s) / a;
    return spans > 0 ? k * a * spans : 0;
}

int KDuzSurfaceEvaluator::PointCount(Direction& d) {
    if (d.pointCount < 0) {
        const long long count = ComputePointCount(d);
        d.pointCount = count > 0 && count <= kMaxOutputPoints ? static_cast<int>(count) : 0;
    }
    return d.pointCount;
}

int KDuzSurfaceEvaluator::GetUPointCount() { return PointCount(mU); }

int KDuzSurfaceEvaluator::GetVPointCount() { return PointCount(mV); }

bool KDuzSurfaceEvaluator::BuildSamples(Direction& d) {
    const int points = PointCount(d);
    const int c = d.advance * d.step;   // samples per span
    const int spans = d.closed != 0 ? points / c : (points - 1) / c;
    d.window = d.spanSize;
    d.start.assign(static_cast<size_t>(points), 0);
    d.values.assign(static_cast<size_t>(points) * 4, 0.0);
    d.derivatives.assign(static_cast<size_t>(points) * 4, 0.0);
    for (int g = 0; g < points; ++g) {
        int span = g / c;
        if (span >= spans) span = spans - 1;   // the end sample of an open direction
        const double t = static_cast<double>(g - span * c) / c;
        d.start[static_cast<size_t>(g)] = span * d.advance;
        for (int j = 0; j < d.window; ++j) {
            const double* m = d.basis[j];
            d.values[static_cast<size_t>(g) * 4 + static_cast<size_t>(j)] =
                ((m[0] * t + m[1]) * t + m[2]) * t + m[3];
            d.derivatives[static_cast<size_t>(g) * 4 + static_cast<size_t>(j)] =
                (0.5 / c) * ((3 * m[0] * t + 2 * m[1]) * t + m[2]);
        }
    }
    return true;
}

bool KDuzSurfaceEvaluator::BuildTables() {
    if (!BuildSamples(mU) || !BuildSamples(mV)) return false;
    // One tangent per output point (a closed Bezier direction has more
    // output points than control points times steps).
    const int total = mU.pointCount * mV.pointCount;
    if (!mUTangents.SetCount(total) || !mVTangents.SetCount(total)) return false;
    mTablesStale = false;
    return true;
}

// ---- evaluation ----------------------------------------------------------------------------

bool KDuzSurfaceEvaluator::Evaluate(KSparseWeightMatrix* weights) {
    const long long nu = GetUPointCount();
    const long long nv = GetVPointCount();
    if (nu == 0 || nv == 0 || nu * nv > kMaxOutputPoints || mControlPoints == nullptr ||
        mPointOutput == nullptr || mNormalOutput == nullptr)
        return false;
    if (mTablesStale && !BuildTables()) return false;
    if (mControlPointsChanged) TestDegenerateEdges();
    EvaluatePoints();
    FixDegenerateNormals();
    if (weights != nullptr) RecordWeights(*weights);
    return true;
}

void KDuzSurfaceEvaluator::EvaluatePoints() {
    const int cu = mU.count;
    const int outU = mU.pointCount;
    const int outV = mV.pointCount;
    const bool rational = IsRational();
    // Per output row, the control columns combined along V once; each
    // output point then combines a window of columns along U.
    std::vector<Vec4> column(static_cast<size_t>(cu));
    std::vector<Vec4> columnDv(static_cast<size_t>(cu));
    KgeTVector* uTangents = mUTangents.Data();
    KgeTVector* vTangents = mVTangents.Data();
    for (int gv = 0; gv < outV; ++gv) {
        const double* bv = &mV.values[static_cast<size_t>(gv) * 4];
        const double* dbv = &mV.derivatives[static_cast<size_t>(gv) * 4];
        const int vStart = mV.start[static_cast<size_t>(gv)];
        for (int col = 0; col < cu; ++col) {
            Vec4 sum;
            Vec4 sumDv;
            for (int r = 0; r < mV.window; ++r) {
                const int index = mV.Wrap(vStart + r) * cu + col;
                const double* p = mControlPoints[index].Data();
                const double w = ControlPointWeight(index);
                const Vec4 h{p[0] * w, p[1] * w, p[2] * w, w};
                sum.AddScaled(h, bv[r]);
                sumDv.AddScaled(h, dbv[r]);
            }
            column[static_cast<size_t>(col)] = sum;
            columnDv[static_cast<size_t>(col)] = sumDv;
        }
        for (int gu = 0; gu < outU; ++gu) {
            const double* bu = &mU.values[static_cast<size_t>(gu) * 4];
            const double* dbu = &mU.derivatives[static_cast<size_t>(gu) * 4];
            const int uStart = mU.start[static_cast<size_t>(gu)];
            Vec4 s;
            Vec4 su;
            Vec4 sv;
            for (int q = 0; q < mU.window; ++q) {
                const size_t col = static_cast<size_t>(mU.Wrap(uStart + q));
                s.AddScaled(column[col], bu[q]);
                su.AddScaled(column[col], dbu[q]);
                sv.AddScaled(columnDv[col], bu[q]);
            }
            KgeTVector point(s.x, s.y, s.z, 1.0);
            KgeTVector tu(su.x, su.y, su.z, 0.0);
            KgeTVector tv(sv.x, sv.y, sv.z, 0.0);
            // A zero weight sum has no rational point: the unweighted sums stand.
            if (rational && s.w != 0.0) {
                point = KgeTVector(s.x / s.w, s.y / s.w, s.z / s.w, 1.0);
                // Quotient rule: (sum' - point * W') / W.
                tu = KgeTVector((su.x - point[0] * su.w) / s.w, (su.y - point[1] * su.w) / s.w,
                                (su.z - point[2] * su.w) / s.w, 0.0);
                tv = KgeTVector((sv.x - point[0] * sv.w) / s.w, (sv.y - point[1] * sv.w) / s.w,
                                (sv.z - point[2] * sv.w) / s.w, 0.0);
            }
            const int out = gv * outU + gu;
            mPointOutput[out] = point;
            uTangents[out] = tu;
            vTangents[out] = tv;
            mNormalOutput[out] = Cross(tv, tu);
        }
    }
}

void KDuzSurfaceEvaluator::TestDegenerateEdges() {
    const int nu = mU.count;
    const int nv = mV.count;
    auto collapsed = [&](int first, int stride, int count) {
        double sums[3] = {0, 0, 0};
        for (int i = 1; i < count; ++i) {
            const KgeTVector& a = mControlPoints[first + (i - 1) * stride];
            const KgeTVector& b = mControlPoints[first + i * stride];
            for (int k = 0; k < 3; ++k) sums[k] += std::fabs(b[k] - a[k]);
        }
        return sums[0] < 1e-8 && sums[1] < 1e-8 && sums[2] < 1e-8;
    };
    auto row = [&](int r) { return r >= 0 && r < nv && collapsed(r * nu, 1, nu); };
    auto column = [&](int c) { return c >= 0 && c < nu && collapsed(c, nu, nv); };
    mVStartDegenerate = row(0) || (nv > 2 && row(1));
    mVEndDegenerate = row(nv - 1) || (nv > 2 && row(nv - 2));
    mUStartDegenerate = column(0) || (nu > 2 && column(1));
    mUEndDegenerate = column(nu - 1) || (nu > 2 && column(nu - 2));
    mControlPointsChanged = false;
}

void KDuzSurfaceEvaluator::FixDegenerateNormals() {
    const int nu = mU.pointCount;
    const int nv = mV.pointCount;
    const KgeTVector* tu = mUTangents.Data();
    const KgeTVector* tv = mVTangents.Data();
    auto at = [nu](int i, int j) { return j * nu + i; };
    auto clampIndex = [](int i, int n) { return i < 0 ? 0 : i >= n ? n - 1 : i; };
    if (mVStartDegenerate) {
        const KgeTVector n = Cross(tv[at(0, 0)], tu[at(0, clampIndex(1, nv))]);
        for (int i = 0; i < nu; ++i) mNormalOutput[at(i, 0)] = n;
    }
    if (mVEndDegenerate) {
        const KgeTVector n = Cross(tv[at(0, nv - 1)], tu[at(0, clampIndex(nv - 2, nv))]);
        for (int i = 0; i < nu; ++i) mNormalOutput[at(i, nv - 1)] = n;
    }
    if (mUStartDegenerate) {
        const KgeTVector n = Cross(tv[at(clampIndex(1, nu), 0)], tu[at(0, 0)]);
        for (int j = 0; j < nv; ++j) mNormalOutput[at(0, j)] = n;
    }
    if (mUEndDegenerate) {
        const KgeTVector n = Cross(tv[at(clampIndex(nu - 2, nu), 0)], tu[at(nu - 1, 0)]);
        for (int j = 0; j < nv; ++j) mNormalOutput[at(nu - 1, j)] = n;
    }
}

void KDuzSurfaceEvaluator::RecordWeights(KSparseWeightMatrix& weights) {
    const int cu = mU.count;
    const int outU = mU.pointCount;
    for (int gv = 0; gv < mV.pointCount; ++gv) {
        const double* bv = &mV.values[static_cast<size_t>(gv) * 4];
        const int vStart = mV.start[static_cast<size_t>(gv)];
        for (int gu = 0; gu < outU; ++gu) {
            const double* bu = &mU.values[static_cast<size_t>(gu) * 4];
            const int uStart = mU.start[static_cast<size_t>(gu)];
            const int out = gv * outU + gu;
            // Only the window's own points: a span smaller than four never
            // names a control point past the grid.
            for (int r = 0; r < mV.window; ++r) {
                for (int q = 0; q < mU.window; ++q) {
                    const int index = mV.Wrap(vStart + r) * cu + mU.Wrap(uStart + q);
                    const double weight = bv[r] * bu[q] * ControlPointWeight(index);
                    if (weight != 0.0) weights.Add(index, out, weight);
                }
            }
        }
    }
}

// ---- degenerate edges ----------------------------------------------------------------------

bool KDuzSurfaceEvaluator::IsUStartDegenerate() {
    if (mControlPointsChanged && mControlPoints != nullptr) TestDegenerateEdges();
    return mUStartDegenerate;
}

bool KDuzSurfaceEvaluator::IsUEndDegenerate() {
    if (mControlPointsChanged && mControlPoints != nullptr) TestDegenerateEdges();
    return mUEndDegenerate;
}

bool KDuzSurfaceEvaluator::IsVStartDegenerate() {
    if (mControlPointsChanged && mControlPoints != nullptr) TestDegenerateEdges();
    return mVStartDegenerate;
}

bool KDuzSurfaceEvaluator::IsVEndDegenerate() {
    if (mControlPointsChanged && mControlPoints != nullptr) TestDegenerateEdges();
    return mVEndDegenerate;
}

}  // namespace duzsdk
