#include "sdk/geometry/KSparseWeightMatrix.h"

#include <cmath>

namespace duzsdk {

KSparseWeightMatrix::KSparseWeightMatrix(int rows0, int rows1) {
    mRowCounts[0] = rows0 > 0 ? rows0 : 0;
    mRowCounts[1] = rows1 > 0 ? rows1 : 0;
}

KSparseWeightMatrix::Row& KSparseWeightMatrix::MakeRow(int side, int row) {
    std::vector<Row>& rows = mSides[side];
    if (static_cast<size_t>(row) >= rows.size()) rows.resize(static_cast<size_t>(row) + 1);
    return rows[static_cast<size_t>(row)];
}

const KSparseWeightMatrix::Row* KSparseWeightMatrix::RowOf(int side, int row) const {
    if (side < 0 || side > 1 || row < 0 || static_cast<size_t>(row) >= mSides[side].size()) return nullptr;
    return &mSides[side][static_cast<size_t>(row)];
}

int KSparseWeightMatrix::GetRowCount(int side) const {
    if (side < 0 || side > 1) return 0;
    return mRowCounts[side];
}

int KSparseWeightMatrix::GetEntryCount(int side, int row) const {
    const Row* entries = RowOf(side, row);
    return entries != nullptr ? static_cast<int>(entries->size()) : 0;
}

const KSparseWeightEntry* KSparseWeightMatrix::GetEntry(int side, int row, int i) const {
    const Row* entries = RowOf(side, row);
    if (entries == nullptr || i < 0 || static_cast<size_t>(i) >= entries->size()) return nullptr;
    return &(*entries)[static_cast<size_t>(i)];
}

int KSparseWeightMatrix::FindEntry(int side, int row, int index) const {
    const Row* entries = RowOf(side, row);
    if (entries == nullptr) return -1;
    for (size_t i = 0; i < entries->size(); ++i)
        if ((*entries)[i].index == index) return static_cast<int>(i);
    return -1;
}

double KSparseWeightMatrix::SumRow(int side, int row, bool absolute) const {
    const Row* entries = RowOf(side, row);
    double sum = 0.0;
    if (entries == nullptr) return sum;
    for (const KSparseWeightEntry& entry : *entries) sum += absolute ? std::fabs(entry.value) : entry.value;
    return sum;
}

void KSparseWeightMatrix::NormalizeRows(int side, bool absolute) {
    if (side < 0 || side > 1) return;
    // One factor per row of the side; each entry, in either copy, is scaled
    // by the factor of the side's row it belongs to, in one pass per side.
    std::vector<double> factor(mSides[side].size(), 0.0);
    for (size_t r = 0; r < factor.size(); ++r) {
        const double sum = SumRow(side, static_cast<int>(r), absolute);
        factor[r] = sum != 0.0 ? 1.0 / sum : 0.0;
    }
    auto scaled = [&](double value, size_t row) {
        const double factorOfRow = row < factor.size() ? factor[row] : 0.0;
        return (absolute ? std::fabs(value) : value) * factorOfRow;
    };
    for (size_t r = 0; r < mSides[side].size(); ++r)
        for (KSparseWeightEntry& entry : mSides[side][r]) entry.value = scaled(entry.value, r);
    for (Row& row : mSides[1 - side])
        for (KSparseWeightEntry& entry : row) entry.value = scaled(entry.value, static_cast<size_t>(entry.index));
}

bool KSparseWeightMatrix::Add(int r, int c, double value) {
    if (r < 0 || c < 0 || r >= mRowCounts[0] || c >= mRowCounts[1]) return false;
    MakeRow(0, r).push_back({c, value});
    MakeRow(1, c).push_back({r, value});
    return true;
}

}  // namespace duzsdk
