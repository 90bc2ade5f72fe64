// A scene's length unit, as centimetres per scene unit.
#pragma once

namespace duzsdk {

class KDuzSystemUnit {
public:
    constexpr explicit KDuzSystemUnit(double scaleFactor = 1.0) : mScaleFactor(scaleFactor) {}
    constexpr double GetScaleFactor() const { return mScaleFactor; }
    constexpr bool operator==(const KDuzSystemUnit& other) const = default;

private:
    double mScaleFactor;
};

inline constexpr KDuzSystemUnit kDuzUnitMillimeter(0.1);
inline constexpr KDuzSystemUnit kDuzUnitCentimeter(1.0);
inline constexpr KDuzSystemUnit kDuzUnitMeter(100.0);
inline constexpr KDuzSystemUnit kDuzUnitKilometer(100000.0);
inline constexpr KDuzSystemUnit kDuzUnitInch(2.54);
inline constexpr KDuzSystemUnit kDuzUnitFoot(30.48);
inline constexpr KDuzSystemUnit kDuzUnitYard(91.44);
inline constexpr KDuzSystemUnit kDuzUnitMile(160934.721869444);

}  // namespace duzsdk
