// The scene's time mode, time display format, snapping, default timeline
// span and time markers.
#pragma once

#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/base/KTime.h"

namespace duzsdk {

// A named time in the timeline.
struct KDuzTimeMarker {
    KString mName;
    KTime mTime;
    bool mLoop = false;
};

// A start and a stop time.
struct KDuzTimeSpan {
    KTime mStart;
    KTime mStop;
};

class KDuzGlobalTimeSettings {
public:
    enum EError : int { eIndexOutOfRange = 0, eErrorCount };

    KDuzGlobalTimeSettings();
    ~KDuzGlobalTimeSettings();
    KDuzGlobalTimeSettings(const KDuzGlobalTimeSettings&) = delete;
    KDuzGlobalTimeSettings& operator=(const KDuzGlobalTimeSettings&) = delete;

    // A stored 0 reads as the process-wide default mode (6 when that is 0 too).
    void SetTimeMode(int mode);
    int GetTimeMode() const;
    // A stored 2 reads as the process-wide format (1 when that is 2 too).
    void SetTimeFormat(int format);
    int GetTimeFormat() const;
    void SetSnapOnFrames(int mode);
    int GetSnapOnFrames() const;

    void SetTimelineDefaultTimeSpan(const KDuzTimeSpan& span);
    void GetTimelineDefaultTimeSpan(KDuzTimeSpan& out) const;
    KDuzTimeSpan GetTimelineDefaultTimeSpan() const;

    int GetTimeMarkerCount() const;
    // The stored record; null with error eIndexOutOfRange outside 0 .. count - 1.
    KDuzTimeMarker* GetTimeMarker(int index);
    // Appends a copy; false when it cannot be stored.
    bool AddTimeMarker(const KDuzTimeMarker& marker);
    // Deletes every marker; the current marker becomes -1.
    void RemoveAllTimeMarkers();
    // False with error eIndexOutOfRange unless 0 <= index < count.
    bool SetCurrentTimeMarker(int index);
    int GetCurrentTimeMarker() const;

    // Mode 6, format 1, no snapping, no markers; the timeline span stays.
    void RestoreDefaultSettings();

    KErrorState& GetError();
    const KErrorState& GetError() const;

private:
    struct Impl;
    Impl* mImpl;
};

}  // namespace duzsdk
