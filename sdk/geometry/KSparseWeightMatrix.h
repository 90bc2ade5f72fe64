// A sparse matrix of weights seen from both sides: side 0 has one row per
// source (entries name destinations), side 1 one row per destination
// (entries name sources). Every entry is kept once on each side. Rows are
// made as entries reach them, so a large matrix with few entries stays
// small.
#pragma once

#include <vector>

namespace duzsdk {

struct KSparseWeightEntry {
    int index = 0;
    double value = 0.0;
};

class KSparseWeightMatrix {
public:
    using Entry = KSparseWeightEntry;

    KSparseWeightMatrix(int rows0, int rows1);

    // 0 for a side other than 0 or 1.
    int GetRowCount(int side) const;
    // 0 for a row outside the side.
    int GetEntryCount(int side, int row) const;
    // Null outside the row.
    const KSparseWeightEntry* GetEntry(int side, int row, int i) const;
    // The position of the entry naming index in the row; -1 when absent.
    int FindEntry(int side, int row, int index) const;
    double SumRow(int side, int row, bool absolute) const;
    // Divides each row of the side by its sum (of absolute values when
    // absolute is set, entries then becoming absolute); a zero sum gives
    // zeros. Both copies of every entry change together.
    void NormalizeRows(int side, bool absolute);
    // Appends value at (r, c): {c, value} to row r of side 0 and {r, value}
    // to row c of side 1. False (nothing added) when either is out of range.
    bool Add(int r, int c, double value);

private:
    using Row = std::vector<KSparseWeightEntry>;
    const Row* RowOf(int side, int row) const;
    Row& MakeRow(int side, int row);
    int mRowCounts[2] = {0, 0};
    std::vector<Row> mSides[2];   // the rows up to the last one with entries
};

}  // namespace duzsdk
