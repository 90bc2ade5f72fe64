#pragma once

#include <cstdint>

namespace duzsdk {

// A time mode names a frame rate and the way frames are counted in it.
// Functions take the mode as an int so that stored numbers pass through
// unchanged; a number outside 1 .. 13 is an unknown mode.
enum ETimeMode : int {
    eDefaultMode = 0,   // the process-wide default mode (eFrames30)
    eFrames120 = 1,
    eFrames100 = 2,
    eFrames60 = 3,
    eFrames50 = 4,
    eFrames48 = 5,
    eFrames30 = 6,      // with 2 fields per frame
    eFrames30Drop = 7,  // 30 fps frames counted the drop-frame way
    eNtscDrop = 8,      // 29.97 fps, drop-frame counting
    eNtscFull = 9,      // 29.97 fps, every frame counted
    ePal = 10,          // 25 fps
    eFrames24 = 11,
    eFrames1000 = 12,
    eFilmDrop = 13,     // 23.976 fps, drop-frame counting
};

// Formats of the text forms of a time.
enum ETimeStringFormat : int {
    eTimeCode = 0,          // hours:minutes:seconds.frames
    eFrameCount = 1,        // total frames
    eDefaultTimeFormat = 2, // the process-wide default format (eFrameCount)
};

// How ticks group into frames and clock units in one mode.
struct KTimeModeClock {
    int mode;
    int64_t ticksPerFrame;
    int fieldsPerFrame;    // 0 or 2
    int framesPerSecond;   // nominal frames counted per clock second
    bool dropFrame;        // drops 2 frame numbers per minute, except each tenth minute
};

// The clock of `mode` (0 meaning the default mode); null for an unknown mode.
const KTimeModeClock* KTimeModeGetClock(int mode);

// The process-wide settings; fixed, nothing changes them.
ETimeMode KTimeGetGlobalTimeMode();
int KTimeGetGlobalTimeStringFormat();

// Frames per second of `mode` (0 meaning the default mode); 30.0 for a mode
// that has no named row, 12 included.
double KTimeGetFrameRate(int mode);
// The first mode 1 .. 13 whose frame rate lies within `tolerance` of `rate`
// (bounds inclusive); eDefaultMode (0) when none does.
ETimeMode KTimeModeFromFrameRate(double rate, double tolerance);
// The mode whose short or long name equals `name` (case-sensitive); eFrames30
// when none does.
ETimeMode KTimeModeFromName(const char* name);
// The short name of `mode`; "" when it has none. Never null.
const char* KTimeModeToName(int mode);
// The mode's number in the older numbering; 3 when it has none.
int KTimeModeToCode(int mode);
// The preferred mode for an older number; eFrames30 when none.
ETimeMode KTimeModeFromCode(int code);

}  // namespace duzsdk
