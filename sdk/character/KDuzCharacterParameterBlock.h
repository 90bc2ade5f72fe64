// The character's solver settings as a flat, numbered list of 177 named
// parameters: one static table shared by all characters (name, mode kind,
// value type, limits, defaults) and, per character, a block holding the
// current mode and value of each row. DUZ 5 files store characters in this
// form; copies between characters go row by row.
#pragma once

namespace duzsdk {

struct KDuzCharacterParameterRow {
    int parentRow;   // -1 for a top-level row; read by no operation
    int modeKind;    // 0 none, 1 on/off, 2 Off/Auto/User, 3 Auto/User
    int valueType;   // 1: fractions shown as percentages; 5: enumerations
    int valueCount;
    double minimum;   // written to files, not enforced
    double maximum;
    unsigned char flagA;
    unsigned char flagB;
    int defaultMode;
    double defaultValue;
    const char* name;
};

inline constexpr int kDuzCharacterParameterCount = 177;

// The working copy of the table: the static rows with the maximum and the
// default of value-type-1 rows scaled by 100.
const KDuzCharacterParameterRow* KDuzCharacterParameterTable();
int KDuzCharacterParameterCount();
// The accessors answer null, 0 or -1 for a row outside 0..176: rows come
// from look-ups by name that fail with -1.
const char* KDuzCharacterParameterName(int row);
// The first row of exactly that name (case-sensitive); -1 when none.
int KDuzCharacterParameterIndex(const char* name);
int KDuzCharacterParameterModeKind(int row);
int KDuzCharacterParameterValueCount(int row);
double KDuzCharacterParameterMin(int row);
double KDuzCharacterParameterMax(int row);

class KDuzCharacterParameterBlock {
public:
    // Every row at its default mode and value.
    KDuzCharacterParameterBlock() { FillDefaults(); }

    static KDuzCharacterParameterBlock* Create() { return new KDuzCharacterParameterBlock(); }
    void Destroy() { delete this; }

    void FillDefaults();
    // Kinds 1 and 3 take 0 and 1, kind 2 takes 0..2, kind 0 takes none; a
    // refused mode or a row outside 0..176 changes nothing (false).
    bool SetMode(int row, int mode);
    int GetMode(int row) const;
    // The row's single value, whatever the value index; no limit applies.
    bool SetValue(int row, int valueIndex, double value);
    double GetValue(int row, int valueIndex = 0) const;

    // Row by row by name, with the mode checks (the copy between characters).
    void CopyFrom(const KDuzCharacterParameterBlock& other);

private:
    struct Entry {
        int mode = 0;
        double value = 0.0;
    };
    Entry mEntries[kDuzCharacterParameterCount];
};

}  // namespace duzsdk
