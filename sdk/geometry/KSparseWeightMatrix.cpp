#include "sdk/geometry/KSparseWeightMatrix.h"

#include <cmath>

namespace duzsdk {

KSparseWeightMatrix::KSparseWeightMatrix(int r0, int r1) {
    mRows[0].resize(r0 > 0 ? static_cast<size_t>(r0) : 0);
    mRows[1].resize(r1 > 0 ? static_cast<size_t>(r1) : 0);
}

KSparseWeightMatrix::~KSparseWeightMatrix() = default;

int KSparseWeightMatrix::GetRowCount(int side) const {
    return side == 0 || side == 1 ? static_cast<int>(mRows[side].size()) : 0;
}

int KSparseWeightMatrix::GetEntryCount(int side, int row) const {
    if (row < 0 || row >= GetRowCount(side)) return 0;
    return static_cast<int>(mRows[side][static_cast<size_t>(row)].size());
}

const KSparseWeightMatrix::Entry* KSparseWeightMatrix::GetEntry(int side, int row, int i) const {
    if (i < 0 || i >= GetEntryCount(side, row)) return nullptr;
    return &mRows[side][static_cast<size_t>(row)][static_cast<size_t>(i)];
}

int KSparseWeightMatrix::FindEntry(int side, int row, int index) const {
    for (int i = 0; i < GetEntryCount(side, row); ++i) {
        if (mRows[side][static_cast<size_t>(row)][static_cast<size_t>(i)].index == index) return i;
    }
    return -1;
}

double KSparseWeightMatrix::SumRow(int side, int row, bool absolute) const {
    double sum = 0.0;
    for (int i = 0; i < GetEntryCount(side, row); ++i) {
        const double value = mRows[side][static_cast<size_t>(row)][static_cast<size_t>(i)].value;
        sum += absolute ? std::fabs(value) : value;
    }
    return sum;
}

void KSparseWeightMatrix::NormalizeRows(int side, bool absolute) {
    if (side != 0 && side != 1) return;
    // One factor per row of the side; each entry, in either copy, is
    // scaled by the factor of the side's row it belongs to.
    std::vector<double> factor(mRows[side].size(), 0.0);
    for (size_t r = 0; r < factor.size(); ++r) {
        const double sum = SumRow(side, static_cast<int>(r), absolute);
        factor[r] = sum != 0.0 ? 1.0 / sum : 0.0;
    }
    auto scaled = [&](double value, size_t row) {
        return (absolute ? std::fabs(value) : value) * factor[row];
    };
    for (size_t r = 0; r < mRows[side].size(); ++r) {
        for (Entry& entry : mRows[side][r]) entry.value = scaled(entry.value, r);
    }
    for (auto& row : mRows[1 - side]) {
        for (Entry& entry : row) entry.value = scaled(entry.value, static_cast<size_t>(entry.index));
    }
}

bool KSparseWeightMatrix::Add(int r, int c, double value) {
    if (r < 0 || r >= GetRowCount(0) || c < 0 || c >= GetRowCount(1)) return false;
    mRows[0][static_cast<size_t>(r)].push_back({c, value});
    mRows[1][static_cast<size_t>(c)].push_back({r, value});
    return true;
}

}  // namespace duzsdk
