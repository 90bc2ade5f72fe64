#include "sdk/base/KTimeModes.h"

#include <cstring>

namespace duzsdk {

namespace {

// One second is 46186158000 ticks, a number every rate below divides, so
// frames of every mode are whole tick counts. The 29.97 modes count 30 frames
// to their clock second, which therefore runs slightly longer than a second.
constexpr KTimeModeClock kClocks[] = {
    {1, 384884650, 0, 120, false},    // 120 fps
    {2, 461861580, 0, 100, false},    // 100 fps
    {3, 769769300, 0, 60, false},     // 60 fps
    {4, 923723160, 0, 50, false},     // 50 fps
    {5, 962211625, 0, 48, false},     // 48 fps
    {6, 1539538600, 2, 30, false},    // 30 fps
    {7, 1539538600, 2, 30, true},     // 30 Drop
    {8, 1541078334, 2, 30, true},     // NTSC Drop
    {9, 1541078334, 2, 30, false},    // NTSC Full
    {10, 1847446320, 2, 25, false},   // PAL
    {11, 1924423250, 0, 24, false},   // 24 fps
    {12, 46186158, 0, 1000, false},   // 1000 per second
    {13, 1926349600, 2, 24, true},    // 23.976, drop-frame counting
};

struct KTimeModeName {
    double rate;
    const char* shortName;
    ETimeMode mode;
    int32_t code;  // the mode's number in the older numbering
    const char* longName;
    bool preferredForCode;  // the row KTimeModeFromCode picks for its code
};

// Exactly the rate of one 1541078334-tick frame.
constexpr double kNtscRate = 46186158000.0 / 1541078334.0;

// Order matters: lookups take the first matching row. Mode 12 has no row.
constexpr KTimeModeName kNames[] = {
    {120.0, "120", eFrames120, 8, "120 fps", true},
    {100.0, "100", eFrames100, 7, "100 fps", true},
    {60.0, "60", eFrames60, 6, "60 fps", true},
    {50.0, "50", eFrames50, 5, "50 fps", true},
    {48.0, "48", eFrames48, 3, "48 fps", false},
    {30.0, "30", eFrames30, 3, "30 fps", true},
    {kNtscRate, "29.97 drop", eNtscDrop, 4, "NTSC Drop", true},
    {kNtscRate, "29.97 full", eNtscFull, 9, "NTSC Full", true},
    {25.0, "25", ePal, 2, "PAL", true},
    {24.0, "24", eFrames24, 1, "24 fps", true},
    {30.0, "30 Drop", eFrames30Drop, 10, "30 Drop", true},
    {23.976, "23.976", eFilmDrop, 10, "23.976 fps", false},
};

constexpr ETimeMode kGlobalTimeMode = eFrames30;
constexpr int kGlobalTimeStringFormat = eFrameCount;

const KTimeModeName* FindRow(int mode)
{
    for (const KTimeModeName& row : kNames) {
        if (row.mode == mode)
            return &row;
    }
    return nullptr;
}

}  // namespace

const KTimeModeClock* KTimeModeGetClock(int mode)
{
    if (mode == eDefaultMode)
        mode = kGlobalTimeMode;
    if (mode < 1 || mode > static_cast<int>(sizeof(kClocks) / sizeof(kClocks[0])))
        return nullptr;
    return &kClocks[mode - 1];
}

ETimeMode KTimeGetGlobalTimeMode()
{
    return kGlobalTimeMode;
}

int KTimeGetGlobalTimeStringFormat()
{
    return kGlobalTimeStringFormat;
}

double KTimeGetFrameRate(int mode)
{
    if (mode == eDefaultMode)
        mode = kGlobalTimeMode;
    const KTimeModeName* row = FindRow(mode);
    return row ? row->rate : 30.0;
}

ETimeMode KTimeModeFromFrameRate(double rate, double tolerance)
{
    for (int mode = eFrames120; mode <= eFilmDrop; ++mode) {
        const double modeRate = KTimeGetFrameRate(mode);
        if (modeRate >= rate - tolerance && modeRate <= rate + tolerance)
            return static_cast<ETimeMode>(mode);
    }
    return eDefaultMode;
}

ETimeMode KTimeModeFromName(const char* name)
{
    if (name) {
        for (const KTimeModeName& row : kNames) {
            if (std::strcmp(row.shortName, name) == 0 || std::strcmp(row.longName, name) == 0)
                return row.mode;
        }
    }
    return eFrames30;
}

const char* KTimeModeToName(int mode)
{
    const KTimeModeName* row = FindRow(mode);
    return row ? row->shortName : "";
}

int KTimeModeToCode(int mode)
{
    const KTimeModeName* row = FindRow(mode);
    return row ? row->code : 3;
}

ETimeMode KTimeModeFromCode(int code)
{
    for (const KTimeModeName& row : kNames) {
        if (row.code == code && row.preferredForCode)
            return row.mode;
    }
    return eFrames30;
}

}  // namespace duzsdk
