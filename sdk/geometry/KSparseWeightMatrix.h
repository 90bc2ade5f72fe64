// A sparse matrix of weights seen from two sides: side 0 has one row per
// source item, side 1 one row per target item, and every entry is kept in
// both (row r of side 0 holds {c, v} exactly when row c of side 1 holds
// {r, v}). The surface evaluators record in it which control point
// contributes how much to which output point; the geometry converter turns
// those weights into cluster weights.
#pragma once

#include <vector>

namespace duzsdk {

class KSparseWeightMatrix {
public:
    struct Entry {
        int index;
        double value;
    };

    // r0 and r1 empty rows (negative counts give none).
    KSparseWeightMatrix(int r0, int r1);
    ~KSparseWeightMatrix();
    KSparseWeightMatrix(const KSparseWeightMatrix&) = delete;
    KSparseWeightMatrix& operator=(const KSparseWeightMatrix&) = delete;

    int GetRowCount(int side) const;
    // 0 for a side or row out of range.
    int GetEntryCount(int side, int row) const;
    // Null for a side, row or position out of range.
    const Entry* GetEntry(int side, int row, int i) const;
    // The position of the row's entry for index; -1 when absent.
    int FindEntry(int side, int row, int index) const;
    // The sum of the row's values, or of their absolute values.
    double SumRow(int side, int row, bool absolute) const;
    // Divides every row of the side by its sum (of absolute values when
    // absolute is set, entries then becoming absolute); a zero sum gives
    // zeros. Both copies of every entry change together.
    void NormalizeRows(int side, bool absolute);
    // Appends {c, value} to row r of side 0 and {r, value} to row c of
    // side 1. False (nothing added) when r or c is out of range.
    bool Add(int r, int c, double value);

private:
    std::vector<std::vector<Entry>> mRows[2];
};

}  // namespace duzsdk
