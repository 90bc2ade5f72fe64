#include "sdk/scene/KDuzGlobalLightSettings.h"

#include "sdk/base/KDynamicArray.h"

#include <type_traits>

namespace duzsdk {

namespace {

constexpr const char* kLightSettingsErrors[KDuzGlobalLightSettings::eErrorCount] = {
    "Index out of range.",
};

constexpr double kMaxShadowIntensity = 300.0;

static_assert(std::is_trivially_copyable_v<KDuzShadowPlane>, "shadow planes are stored as plain bytes");

}  // namespace

struct KDuzGlobalLightSettings::Impl {
    KDuzRGBAColor ambientColor;
    bool fogEnable = false;
    KDuzRGBAColor fogColor;
    int fogMode = 0;
    double fogStart = 0.0;
    double fogEnd = 0.0;
    double fogDensity = 0.0;
    bool castShadows = false;
    double shadowIntensity = 0.0;
    KTypedArray<KDuzShadowPlane> shadowPlanes{16};
    KErrorState error{kLightSettingsErrors, eErrorCount};
};

KDuzGlobalLightSettings::KDuzGlobalLightSettings() : mImpl(new Impl)
{
    RestoreDefaultSettings();
}

KDuzGlobalLightSettings::~KDuzGlobalLightSettings() { delete mImpl; }

void KDuzGlobalLightSettings::SetAmbientColor(const KDuzRGBAColor& color) { mImpl->ambientColor.Assign(color); }
KDuzRGBAColor KDuzGlobalLightSettings::GetAmbientColor() const { return mImpl->ambientColor; }

void KDuzGlobalLightSettings::SetFogEnable(bool enable) { mImpl->fogEnable = enable; }
bool KDuzGlobalLightSettings::GetFogEnable() const { return mImpl->fogEnable; }

void KDuzGlobalLightSettings::SetFogColor(const KDuzRGBAColor& color) { mImpl->fogColor.Assign(color); }
KDuzRGBAColor KDuzGlobalLightSettings::GetFogColor() const { return mImpl->fogColor; }

void KDuzGlobalLightSettings::SetFogMode(int mode) { mImpl->fogMode = mode; }
int KDuzGlobalLightSettings::GetFogMode() const { return mImpl->fogMode; }

void KDuzGlobalLightSettings::SetFogDensity(double density) { mImpl->fogDensity = density; }
double KDuzGlobalLightSettings::GetFogDensity() const { return mImpl->fogDensity; }

void KDuzGlobalLightSettings::SetFogStart(double start)
{
    if (start > mImpl->fogEnd) {
        mImpl->fogStart = mImpl->fogEnd;
    } else if (!(start >= 0.0)) {   // negatives and NaN
        mImpl->fogStart = 0.0;
    } else {
        mImpl->fogStart = start;
    }
}
double KDuzGlobalLightSettings::GetFogStart() const { return mImpl->fogStart; }

void KDuzGlobalLightSettings::SetFogEnd(double end)
{
    // A NaN end becomes the start: it would compare false against every later start.
    mImpl->fogEnd = end > mImpl->fogStart ? end : mImpl->fogStart;
}
double KDuzGlobalLightSettings::GetFogEnd() const { return mImpl->fogEnd; }

void KDuzGlobalLightSettings::SetFogRange(double start, double end)
{
    // Neither old end may cut back the new values: start from an empty
    // range at 0, then widen it to the new end and place the start in it.
    mImpl->fogStart = 0.0;
    SetFogEnd(end);
    SetFogStart(start);
}

void KDuzGlobalLightSettings::SetCastShadows(bool castShadows) { mImpl->castShadows = castShadows; }
bool KDuzGlobalLightSettings::GetCastShadows() const { return mImpl->castShadows; }

void KDuzGlobalLightSettings::SetShadowIntensity(double intensity)
{
    if (!(intensity >= 0.0)) {   // negatives and NaN
        mImpl->shadowIntensity = 0.0;
    } else if (intensity > kMaxShadowIntensity) {
        mImpl->shadowIntensity = kMaxShadowIntensity;
    } else {
        mImpl->shadowIntensity = intensity;
    }
}
double KDuzGlobalLightSettings::GetShadowIntensity() const { return mImpl->shadowIntensity; }

int KDuzGlobalLightSettings::GetShadowPlaneCount() const { return mImpl->shadowPlanes.GetCount(); }

KDuzShadowPlane* KDuzGlobalLightSettings::GetShadowPlane(int index)
{
    if (!mImpl->shadowPlanes.IsValidIndex(index)) {
        mImpl->error.SetLastError(eIndexOutOfRange);
        return nullptr;
    }
    return &mImpl->shadowPlanes[index];
}

bool KDuzGlobalLightSettings::AddShadowPlane(const KDuzShadowPlane& plane)
{
    return mImpl->shadowPlanes.Add(plane) >= 0;
}

void KDuzGlobalLightSettings::RemoveAllShadowPlanes() { mImpl->shadowPlanes.Clear(); }

void KDuzGlobalLightSettings::RestoreDefaultSettings()
{
    Impl& d = *mImpl;
    d.ambientColor.Set(0.4, 0.4, 0.4, 0.0);
    d.fogEnable = false;
    d.fogColor.Set(1.0, 1.0, 1.0, 0.0);
    d.fogMode = 0;
    // Straight into the fields: the clamps of the setters would measure the
    // new start against the old end.
    d.fogStart = 0.3;
    d.fogEnd = 1000.0;
    d.fogDensity = 0.002;
    d.castShadows = false;
    d.shadowIntensity = 0.0;
    RemoveAllShadowPlanes();
}

KErrorState& KDuzGlobalLightSettings::GetError() { return mImpl->error; }
const KErrorState& KDuzGlobalLightSettings::GetError() const { return mImpl->error; }

}  // namespace duzsdk
