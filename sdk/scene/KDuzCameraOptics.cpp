// The rules that tie a camera's optical and output values together: field of
// view against focal length through the film back, the standard film and
// output formats, the resolution modes and the clamps.
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraInternal.h"

#include <cmath>

namespace duzsdk {

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kRadiansPerDegree = 0.017453292519943295;

constexpr double kMinFieldOfView = 1.0;
constexpr double kMaxFieldOfView = 179.0;
constexpr double kMinPlane = 0.001;
constexpr double kMaxPlane = 600000.0;
constexpr double kMinFilmValue = 0.0001;
constexpr double kMinPixelRatio = 0.05;
constexpr double kMaxPixelRatio = 20.0;

// The display aspects are these decimals, not 4/3 and 16/9: stored pixel
// ratios follow from them.
constexpr double kAspect4x3 = 1.3333333333;
constexpr double kAspect16x9 = 1.7777777777;

struct FilmFormatRow {
    int format;
    double width;    // inches
    double height;   // inches
    double squeeze;
};
constexpr FilmFormatRow kFilmFormats[] = {
    {1, 0.404, 0.295, 1.0},  {2, 0.493, 0.292, 1.0}, {3, 0.864, 0.63, 1.0},  {4, 0.816, 0.612, 1.0},
    {5, 0.98, 0.735, 1.0},   {6, 0.825, 0.446, 1.0}, {7, 0.864, 0.732, 2.0}, {8, 2.066, 0.906, 1.0},
    {9, 1.485, 0.991, 1.0},  {10, 2.08, 1.48, 1.0},  {11, 2.772, 2.072, 1.0},
};

struct OutputFormatRow {
    int format;
    int width;
    int height;
    double displayAspect;
};
constexpr OutputFormatRow kOutputFormats[] = {
    {1, 720, 486, kAspect4x3},   {2, 640, 480, kAspect4x3},   {3, 570, 486, kAspect4x3},
    {4, 720, 576, kAspect4x3},   {5, 1920, 1080, kAspect16x9}, {6, 640, 480, kAspect4x3},
    {7, 320, 200, kAspect4x3},   {8, 320, 240, kAspect4x3},   {10, 1280, 1024, kAspect4x3},
};

double Clamp(double value, double low, double high) {
    if (!(value >= low)) return low;   // a NaN comes back as the low end
    return value > high ? high : value;
}

}  // namespace

double KDuzCameraComputePixelRatio(int width, int height, double displayAspect) {
    const double w = width != 0 ? static_cast<double>(width) : 1.0;
    const double h = height != 0 ? static_cast<double>(height) : 1.0;
    return displayAspect / (w / h);
}

// ---- field of view and focal length ------------------------------------------------

double KDuzCamera::Aperture() const {
    if (static_cast<int>(Value(kCamApertureMode)) == eVertical) return Value(kCamFilmHeight) * kMillimetresPerInch;
    return Value(kCamFilmWidth) * kMillimetresPerInch * Value(kCamFilmSqueezeRatio);
}

double KDuzCamera::ComputeFieldOfView(double focalLength) const {
    if (focalLength == 0.0) return 0.0;
    return 2.0 * std::atan(Aperture() / focalLength * 0.5) * kDegreesPerRadian;
}

double KDuzCamera::ComputeFocalLength(double fieldOfView) const {
    if (fieldOfView == 0.0) return 0.0;
    return Aperture() / std::tan(fieldOfView * kRadiansPerDegree * 0.5) * 0.5;
}

void KDuzCamera::SetFieldOfView(double degrees) {
    SetChannelValue(kCamFieldOfView, Clamp(degrees, kMinFieldOfView, kMaxFieldOfView));
}

void KDuzCamera::SetFieldOfViewX(double degrees) {
    SetChannelValue(kCamFieldOfViewX, Clamp(degrees, kMinFieldOfView, kMaxFieldOfView));
}

void KDuzCamera::SetFieldOfViewY(double degrees) {
    SetChannelValue(kCamFieldOfViewY, Clamp(degrees, kMinFieldOfView, kMaxFieldOfView));
}

// ---- near and far planes ------------------------------------------------------------

void KDuzCamera::SetNearPlane(double value) {
    const double nearPlane = Clamp(value, kMinPlane, kMaxPlane);
    StoreValue(kCamNearPlane, nearPlane);
    if (Value(kCamFarPlane) < nearPlane) StoreValue(kCamFarPlane, nearPlane);
}

double KDuzCamera::GetNearPlane() const { return Value(kCamNearPlane); }

void KDuzCamera::SetFarPlane(double value) {
    const double farPlane = Clamp(value, kMinPlane, kMaxPlane);
    StoreValue(kCamFarPlane, farPlane);
    if (Value(kCamNearPlane) > farPlane) StoreValue(kCamNearPlane, farPlane);
}

double KDuzCamera::GetFarPlane() const { return Value(kCamFarPlane); }

// ---- film back -------------------------------------------------------------------------

void KDuzCamera::SetApertureFormat(int format) {
    int stored = eCustomAperture;
    for (const FilmFormatRow& row : kFilmFormats) {
        if (row.format != format) continue;
        stored = format;
        StoreValue(kCamFilmWidth, row.width);
        StoreValue(kCamFilmHeight, row.height);
        StoreValue(kCamFilmSqueezeRatio, row.squeeze);
        break;
    }
    StoreValue(kCamFilmFormatIndex, stored);
    // The film height never drops below the film-value minimum through the
    // setters; a zero height from a raw copy gives no ratio rather than inf.
    const double height = Value(kCamFilmHeight);
    StoreValue(kCamFilmAspectRatio, height != 0.0 ? Value(kCamFilmWidth) / height : 0.0);
}

KDuzCamera::ECameraApertureFormat KDuzCamera::GetApertureFormat() const {
    return static_cast<ECameraApertureFormat>(static_cast<int>(Value(kCamFilmFormatIndex)));
}

namespace {

double FilmValue(double value) { return value > kMinFilmValue ? value : kMinFilmValue; }

}  // namespace

void KDuzCamera::SetFilmWidth(double inches) {
    if (inches == Value(kCamFilmWidth)) return;
    StoreValue(kCamFilmWidth, FilmValue(inches));
    SetApertureFormat(eCustomAperture);
}

double KDuzCamera::GetFilmWidth() const { return Value(kCamFilmWidth); }

void KDuzCamera::SetFilmHeight(double inches) {
    if (inches == Value(kCamFilmHeight)) return;
    StoreValue(kCamFilmHeight, FilmValue(inches));
    SetApertureFormat(eCustomAperture);
}

double KDuzCamera::GetFilmHeight() const { return Value(kCamFilmHeight); }

void KDuzCamera::SetFilmSqueezeRatio(double ratio) {
    if (ratio == Value(kCamFilmSqueezeRatio)) return;
    StoreValue(kCamFilmSqueezeRatio, FilmValue(ratio));
    SetApertureFormat(eCustomAperture);
}

double KDuzCamera::GetFilmSqueezeRatio() const { return Value(kCamFilmSqueezeRatio); }

double KDuzCamera::GetFilmAspectRatio() const { return Value(kCamFilmAspectRatio); }

// ---- output ---------------------------------------------------------------------------------

void KDuzCamera::SetAspect(int mode, double width, double height) {
    auto atLeast = [](double value, double minimum) { return value > minimum ? value : minimum; };
    switch (mode) {
        case eWindowSize:
            StoreValue(kCamAspectW, width);
            StoreValue(kCamAspectH, height);
            break;
        case eFixedRatio:
            StoreValue(kCamAspectW, atLeast(width, 0.001));
            StoreValue(kCamAspectH, 1.0);
            break;
        case eFixedResolution:
            StoreValue(kCamAspectW, atLeast(width, 1.0));
            StoreValue(kCamAspectH, atLeast(height, 1.0));
            break;
        case eFixedWidth:
            StoreValue(kCamAspectW, atLeast(width, 1.0));
            StoreValue(kCamAspectH, atLeast(height, 0.001));
            break;
        case eFixedHeight:
            StoreValue(kCamAspectW, atLeast(width, 0.001));
            StoreValue(kCamAspectH, atLeast(height, 1.0));
            break;
        default: break;
    }
    SetFormat(eCustomFormat);
    StoreValue(kCamResolutionMode, mode);
}

KDuzCamera::ECameraAspectRatioMode KDuzCamera::GetAspectRatioMode() const {
    return static_cast<ECameraAspectRatioMode>(static_cast<int>(Value(kCamResolutionMode)));
}

double KDuzCamera::GetAspectWidth() const { return Value(kCamAspectW); }

double KDuzCamera::GetAspectHeight() const { return Value(kCamAspectH); }

void KDuzCamera::SetPixelRatio(double ratio) {
    if (ratio == Value(kCamPixelAspectRatio)) return;
    StoreValue(kCamPixelAspectRatio, Clamp(ratio, kMinPixelRatio, kMaxPixelRatio));
    SetFormat(eCustomFormat);
}

double KDuzCamera::GetPixelRatio() const { return Value(kCamPixelAspectRatio); }

void KDuzCamera::SetFormat(int format) {
    const int mode = static_cast<int>(Value(kCamResolutionMode));
    const OutputFormatRow* found = nullptr;
    for (const OutputFormatRow& row : kOutputFormats) {
        if (row.format == format) found = &row;
    }
    if (found == nullptr) {
        StoreValue(kCamCameraFormat, eCustomFormat);
        return;
    }
    // SetAspect and SetPixelRatio fall back to the custom format on the way;
    // the format is stored after them.
    SetAspect(eFixedResolution, found->width, found->height);
    SetPixelRatio(KDuzCameraComputePixelRatio(found->width, found->height, found->displayAspect));
    StoreValue(kCamCameraFormat, format);
    const double w = Value(kCamAspectW);
    const double h = Value(kCamAspectH);
    switch (mode) {
        case eFixedRatio:
            StoreValue(kCamAspectW, w / h * Value(kCamPixelAspectRatio));
            StoreValue(kCamAspectH, 1.0);
            StoreValue(kCamResolutionMode, eFixedRatio);
            break;
        case eFixedWidth:
            StoreValue(kCamAspectH, h / w);
            StoreValue(kCamResolutionMode, eFixedWidth);
            break;
        case eFixedHeight:
            StoreValue(kCamAspectW, w / h);
            StoreValue(kCamResolutionMode, eFixedHeight);
            break;
        default: break;
    }
}

KDuzCamera::ECameraFormat KDuzCamera::GetFormat() const {
    return static_cast<ECameraFormat>(static_cast<int>(Value(kCamCameraFormat)));
}

}  // namespace duzsdk
