// The scene-wide lighting environment that belongs to no light node: the
// ambient colour, fog, and shadows with their list of shadow planes.
#pragma once

#include "sdk/base/KErrorState.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/scene/KDuzRGBAColor.h"

namespace duzsdk {

// A plane that receives shadows: enabled, through the origin, facing up.
struct KDuzShadowPlane {
    bool mEnable = true;
    KgeTVector mOrigin{0.0, 0.0, 0.0, 0.0};
    KgeTVector mNormal{0.0, 1.0, 0.0, 0.0};
};

class KDuzGlobalLightSettings {
public:
    enum EError : int { eIndexOutOfRange = 0, eErrorCount };

    KDuzGlobalLightSettings();
    ~KDuzGlobalLightSettings();
    KDuzGlobalLightSettings(const KDuzGlobalLightSettings&) = delete;
    KDuzGlobalLightSettings& operator=(const KDuzGlobalLightSettings&) = delete;

    void SetAmbientColor(const KDuzRGBAColor& color);
    KDuzRGBAColor GetAmbientColor() const;

    void SetFogEnable(bool enable);
    bool GetFogEnable() const;
    void SetFogColor(const KDuzRGBAColor& color);
    KDuzRGBAColor GetFogColor() const;
    // Any integer; 0 is the default.
    void SetFogMode(int mode);
    int GetFogMode() const;
    // Stored unchecked.
    void SetFogDensity(double density);
    double GetFogDensity() const;
    // Above the fog end: the fog end; below 0: 0. So 0 <= start <= end.
    void SetFogStart(double start);
    double GetFogStart() const;
    // The larger of the value and the fog start.
    void SetFogEnd(double end);
    double GetFogEnd() const;
    // Sets both ends of the fog range from one source (a file), whatever the
    // current range: end = max(end, 0), then start clamped into [0, end].
    void SetFogRange(double start, double end);

    void SetCastShadows(bool castShadows);
    bool GetCastShadows() const;
    // Clamped to 0 .. 300.
    void SetShadowIntensity(double intensity);
    double GetShadowIntensity() const;

    int GetShadowPlaneCount() const;
    // The stored plane; null with error eIndexOutOfRange outside 0 .. count - 1.
    KDuzShadowPlane* GetShadowPlane(int index);
    // Appends a copy; false when it cannot be stored.
    bool AddShadowPlane(const KDuzShadowPlane& plane);
    void RemoveAllShadowPlanes();

    // Every default; shadow planes removed.
    void RestoreDefaultSettings();

    KErrorState& GetError();
    const KErrorState& GetError() const;

private:
    struct Impl;
    Impl* mImpl;
};

}  // namespace duzsdk
