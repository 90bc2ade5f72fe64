#pragma once

namespace duzsdk {

// Clamps a value into [minimum, maximum]. A NaN comes back as the minimum so
// that a clamped colour component always lies inside the range.
inline double KDuzClampDouble(double value, double minimum, double maximum)
{
    if (!(value >= minimum)) return minimum;
    if (value > maximum) return maximum;
    return value;
}

// Colour of four doubles used by materials, lights, markers, cameras and the
// global light settings. Every setter clamps each component into [0, 1]; the
// fields stay public for the few owners (camera frame colour) that keep raw
// values on purpose.
class KDuzRGBAColor {
public:
    double mRed = 1.0;
    double mGreen = 1.0;
    double mBlue = 1.0;
    double mAlpha = 1.0;

    // White.
    KDuzRGBAColor() = default;
    KDuzRGBAColor(double red, double green, double blue, double alpha = 1.0) { Set(red, green, blue, alpha); }
    KDuzRGBAColor(const KDuzRGBAColor&) = default;
    KDuzRGBAColor& operator=(const KDuzRGBAColor& other) = default;

    void Set(double red, double green, double blue, double alpha)
    {
        mRed = KDuzClampDouble(red, 0.0, 1.0);
        mGreen = KDuzClampDouble(green, 0.0, 1.0);
        mBlue = KDuzClampDouble(blue, 0.0, 1.0);
        mAlpha = KDuzClampDouble(alpha, 0.0, 1.0);
    }

    // Goes through Set, so a raw record copied in comes out clamped.
    void Assign(const KDuzRGBAColor& other) { Set(other.mRed, other.mGreen, other.mBlue, other.mAlpha); }

    bool operator==(const KDuzRGBAColor& other) const
    {
        return mRed == other.mRed && mGreen == other.mGreen && mBlue == other.mBlue && mAlpha == other.mAlpha;
    }
    bool operator!=(const KDuzRGBAColor& other) const { return !(*this == other); }
};

} // namespace duzsdk
