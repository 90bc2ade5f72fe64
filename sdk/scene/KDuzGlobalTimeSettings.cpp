#include "sdk/scene/KDuzGlobalTimeSettings.h"

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KTimeModes.h"

#include <new>

namespace duzsdk {

namespace {

constexpr const char* kTimeSettingsErrors[KDuzGlobalTimeSettings::eErrorCount] = {
    "Index out of range.",
};

constexpr int kDefaultTimeMode = eFrames30;
constexpr int kDefaultTimeFormat = eFrameCount;

}  // namespace

struct KDuzGlobalTimeSettings::Impl {
    int timeMode = eDefaultMode;
    int timeFormat = eDefaultTimeFormat;
    int snapOnFrames = 0;
    KPointerArray<KDuzTimeMarker> markers{16};   // owned records
    int currentMarker = -1;
    KDuzTimeSpan timelineSpan{KTime(0), KTime(KTime::kTicksPerSecond)};
    KErrorState error{kTimeSettingsErrors, eErrorCount};
};

KDuzGlobalTimeSettings::KDuzGlobalTimeSettings() : mImpl(new Impl)
{
    RestoreDefaultSettings();
}

KDuzGlobalTimeSettings::~KDuzGlobalTimeSettings()
{
    RemoveAllTimeMarkers();
    delete mImpl;
}

void KDuzGlobalTimeSettings::SetTimeMode(int mode) { mImpl->timeMode = mode; }

int KDuzGlobalTimeSettings::GetTimeMode() const
{
    if (mImpl->timeMode != eDefaultMode) return mImpl->timeMode;
    const int global = KTimeGetGlobalTimeMode();
    return global != eDefaultMode ? global : kDefaultTimeMode;
}

void KDuzGlobalTimeSettings::SetTimeFormat(int format) { mImpl->timeFormat = format; }

int KDuzGlobalTimeSettings::GetTimeFormat() const
{
    if (mImpl->timeFormat != eDefaultTimeFormat) return mImpl->timeFormat;
    const int global = KTimeGetGlobalTimeStringFormat();
    return global != eDefaultTimeFormat ? global : kDefaultTimeFormat;
}

void KDuzGlobalTimeSettings::SetSnapOnFrames(int mode) { mImpl->snapOnFrames = mode; }
int KDuzGlobalTimeSettings::GetSnapOnFrames() const { return mImpl->snapOnFrames; }

void KDuzGlobalTimeSettings::SetTimelineDefaultTimeSpan(const KDuzTimeSpan& span) { mImpl->timelineSpan = span; }
void KDuzGlobalTimeSettings::GetTimelineDefaultTimeSpan(KDuzTimeSpan& out) const { out = mImpl->timelineSpan; }
KDuzTimeSpan KDuzGlobalTimeSettings::GetTimelineDefaultTimeSpan() const { return mImpl->timelineSpan; }

int KDuzGlobalTimeSettings::GetTimeMarkerCount() const { return mImpl->markers.GetCount(); }

KDuzTimeMarker* KDuzGlobalTimeSettings::GetTimeMarker(int index)
{
    if (!mImpl->markers.IsValidIndex(index)) {
        mImpl->error.SetLastError(eIndexOutOfRange);
        return nullptr;
    }
    return mImpl->markers[index];
}

bool KDuzGlobalTimeSettings::AddTimeMarker(const KDuzTimeMarker& marker)
{
    auto* copy = new (std::nothrow) KDuzTimeMarker(marker);
    if (copy == nullptr) return false;
    if (mImpl->markers.Add(copy) < 0) {
        delete copy;
        return false;
    }
    return true;
}

void KDuzGlobalTimeSettings::RemoveAllTimeMarkers()
{
    for (int i = mImpl->markers.GetCount() - 1; i >= 0; --i) delete mImpl->markers[i];
    mImpl->markers.Clear();
    mImpl->currentMarker = -1;
}

bool KDuzGlobalTimeSettings::SetCurrentTimeMarker(int index)
{
    if (!mImpl->markers.IsValidIndex(index)) {
        mImpl->error.SetLastError(eIndexOutOfRange);
        return false;
    }
    mImpl->currentMarker = index;
    return true;
}

int KDuzGlobalTimeSettings::GetCurrentTimeMarker() const { return mImpl->currentMarker; }

void KDuzGlobalTimeSettings::RestoreDefaultSettings()
{
    mImpl->timeMode = kDefaultTimeMode;
    mImpl->timeFormat = kDefaultTimeFormat;
    mImpl->snapOnFrames = 0;
    RemoveAllTimeMarkers();
}

KErrorState& KDuzGlobalTimeSettings::GetError() { return mImpl->error; }
const KErrorState& KDuzGlobalTimeSettings::GetError() const { return mImpl->error; }

}  // namespace duzsdk
