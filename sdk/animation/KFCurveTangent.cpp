// Slopes on each side of a key: derivatives, auto parameters, TCB, clamping,
// weights and velocities.

#include <algorithm>
#include <cmath>

#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurvePrivate.h"

namespace duzsdk {

using kfcurve_detail::Difference;
using kfcurve_detail::SecondsBetween;
using kfcurve_detail::ToFloat;

namespace {

constexpr double kAutoEpsilon = 0.00001;
constexpr double kClampEpsilon = 0.0001;

bool HasAuto(const KFCurveKey& k) { return (k.GetTangentMode() & kFCurveTangentAuto) != 0; }
bool HasUser(const KFCurveKey& k) { return (k.GetTangentMode() & kFCurveTangentUser) != 0; }
bool HasTCB(const KFCurveKey& k) { return (k.GetTangentMode() & kFCurveTangentTCB) != 0; }
bool IsCubicAuto(const KFCurveKey& k) { return k.IsCubic() && HasAuto(k); }

// Chord from key a to key b; a span of zero or less (keys moved onto one time)
// has no slope to offer and counts as flat. A steep chord (keys far apart in
// value, close in time) is held at the largest float, not made infinite.
float Chord(const KFCurve& c, int a, int b)
{
    const float dv = Difference(c.KeyRecord(b).mValue, c.KeyRecord(a).mValue);
    const float dt = static_cast<float>(SecondsBetween(c.KeyRecord(a).mTime, c.KeyRecord(b).mTime));
    return dt > 0.0f ? ToFloat(static_cast<double>(dv) / dt) : 0.0f;
}

// TCB slope rules, as a function of the key's chords.
double TCBRight(double t, double c, double b, double left, double right, bool first)
{
    if (first) return (1 - t) * (1 - c) * (1 - b) * right;
    return (1 - t) / 2 * ((1 + b) * (1 + c) * left + (1 - b) * (1 - c) * right);
}

double TCBLeft(double t, double c, double b, double left, double right, bool last)
{
    if (last) return (1 - t) * (1 - c) * (1 + b) * left;
    return (1 - t) / 2 * ((1 - c) * (1 + b) * left + (1 + c) * (1 - b) * right);
}

// Sign of the quadratic term beyond +500 and beyond -500.
double OuterFactorAbove(double own, double other, bool rightSide)
{
    const bool up = (rightSide && std::fabs(own - other) < kAutoEpsilon) ? own >= other : own > other;
    return up ? 1000.0 : -1000.0;
}

double OuterFactorBelow(double own, double other, bool rightSide)
{
    const bool down = (rightSide && std::fabs(own - other) < kAutoEpsilon) ? own >= other : own > other;
    return down ? -1000.0 : 1000.0;
}

double LinearBlend(double x, double own, double other)
{
    return ((100.0 - x) / 100.0 * other + (x + 100.0) / 100.0 * own) * 0.5;
}

}  // namespace

// ---------------------------------------------------------------------------
// Free helpers

void KFCurveGetChordSlopes(const KFCurve& curve, int index, float* left, float* right)
{
    float l = 0.0f, r = 0.0f;
    const int n = curve.KeyGetCount();
    // A single key has no neighbour on either side: both chords are flat.
    if (n >= 2 && index >= 0 && index < n) {
        if (index < n - 1) r = Chord(curve, index, index + 1);
        if (index > 0) l = Chord(curve, index - 1, index);
        if (index == 0) l = r;
        if (index == n - 1) r = l;
    }
    if (left) *left = l;
    if (right) *right = r;
}

double KFCurveAutoBlend(double x, double own, double other, bool rightSide)
{
    if (std::fabs(x - 100.0) < kAutoEpsilon) return own;
    if (std::fabs(x + 100.0) < kAutoEpsilon) return other;
    double b = LinearBlend(x, own, other);
    if (x > 500.0) {
        const double q = (x - 500.0) / 500.0;
        b += OuterFactorAbove(own, other, rightSide) * q * q;
    } else if (x < -500.0) {
        const double q = (x + 500.0) / 500.0;
        b += OuterFactorBelow(own, other, rightSide) * q * q;
    }
    return b;
}

double KFCurveAutoUnblend(double derivative, double own, double other, bool rightSide)
{
    double d = derivative;
    if (std::fabs(d) < kAutoEpsilon) d = 0.0;
    const double at500 = LinearBlend(500.0, own, other);
    const double atMinus500 = LinearBlend(-500.0, own, other);
    if (d >= std::min(at500, atMinus500) && d <= std::max(at500, atMinus500)) {
        if (std::fabs(own - other) < kAutoEpsilon) return 0.0;
        return (200.0 * d - 100.0 * (own + other)) / (own - other);
    }
    // Beyond the linear part: the quadratic branch that moves toward d.
    const double above = OuterFactorAbove(own, other, rightSide);
    const bool useAbove = above > 0.0 ? d > at500 : d < at500;
    const double m = useAbove ? above : OuterFactorBelow(own, other, rightSide);
    const double a = m / 250000.0;
    const double b = (own - other) / 200.0 + (useAbove ? -2.0 * m / 500.0 : 2.0 * m / 500.0);
    const double c = m + (own + other) / 2.0 - d;
    const double disc = b * b - 4.0 * a * c;
    // No real root: the branch cannot reach d; its limit is the nearest there is.
    if (disc < 0.0) return useAbove ? 500.0 : -500.0;
    const double root = std::sqrt(disc);
    const double r1 = (-b - root) / (2.0 * a), r2 = (-b + root) / (2.0 * a);
    return useAbove ? std::max(r1, r2) : std::min(r1, r2);
}

float KFCurveAutoToLeftDerivative(double autoValue, const KFCurve& curve, int index)
{
    if (curve.KeyGetCount() == 0) return 0.0f;
    float l, r;
    KFCurveGetChordSlopes(curve, index, &l, &r);
    return ToFloat(KFCurveAutoBlend(autoValue, l, r, false));
}

float KFCurveAutoToRightDerivative(double autoValue, const KFCurve& curve, int index)
{
    if (curve.KeyGetCount() == 0) return 0.0f;
    float l, r;
    KFCurveGetChordSlopes(curve, index, &l, &r);
    return ToFloat(KFCurveAutoBlend(autoValue, r, l, true));
}

float KFCurveLeftDerivativeToAuto(double derivative, const KFCurve& curve, int index)
{
    if (curve.KeyGetCount() == 0) return 0.0f;
    float l, r;
    KFCurveGetChordSlopes(curve, index, &l, &r);
    return ToFloat(KFCurveAutoUnblend(derivative, l, r, false));
}

float KFCurveRightDerivativeToAuto(double derivative, const KFCurve& curve, int index)
{
    if (curve.KeyGetCount() == 0) return 0.0f;
    float l, r;
    KFCurveGetChordSlopes(curve, index, &l, &r);
    return ToFloat(KFCurveAutoUnblend(derivative, r, l, true));
}

void KFCurveDerivativesToAutos(double leftDerivative, double rightDerivative, float* leftAuto, float* rightAuto,
                               const KFCurve& curve, int index)
{
    if (leftAuto) *leftAuto = KFCurveLeftDerivativeToAuto(leftDerivative, curve, index);
    if (rightAuto) *rightAuto = KFCurveRightDerivativeToAuto(rightDerivative, curve, index);
}

// ---------------------------------------------------------------------------
// Clamping

void KFCurve::KeyIsClamped(int index, bool* leftFlat, bool* rightFlat) const
{
    bool lf = false, rf = false;
    if (Valid(index)) {
        const KFCurveKey& k = K(index);
        const std::uint32_t ext = k.GetTangentMode(true);
        if ((ext & kFCurveTangentAuto) && (ext & kFCurveTangentClamp)) {
            const bool brk = (k.mFlags & kFCurveTangentBreak) != 0;
            const double v = k.mValue;
            const bool prevCubic = index > 0 && K(index - 1).IsCubic();
            bool done = false;
            if (prevCubic && std::fabs(V(index - 1) - v) <= kClampEpsilon) {
                lf = true;
                if (!brk) {
                    rf = true;
                    done = true;
                }
            }
            if (!done && index < mKeyCount - 1 && std::fabs(V(index + 1) - v) <= kClampEpsilon) {
                rf = true;
                if (!brk && prevCubic) lf = true;
            }
        }
    }
    if (leftFlat) *leftFlat = lf;
    if (rightFlat) *rightFlat = rf;
}

// ---------------------------------------------------------------------------
// Derivatives

float KFCurve::ComputeRightDerivative(int index) const
{
    if (!Valid(index)) return 0.0f;
    const int n = mKeyCount;
    if (index == n - 1) return n >= 2 ? ComputeLeftDerivative(index) : 0.0f;
    const KFCurveKey& k = K(index);
    float l, r;
    KFCurveGetChordSlopes(*this, index, &l, &r);
    switch (k.GetInterpolation()) {
    case kFCurveInterpolationConstant:
        return 0.0f;
    case kFCurveInterpolationLinear:
        return r;
    case kFCurveInterpolationCubic:
        switch (k.GetTangentMode()) {
        case kFCurveTangentUser:
        case kFCurveTangentUserBreak:
            return k.mData[0];
        case kFCurveTangentAuto:
        case kFCurveTangentAutoBreak: {
            bool rightFlat = false;
            KeyIsClamped(index, nullptr, &rightFlat);
            if (n < 2 || rightFlat) return 0.0f;
            return ToFloat(KFCurveAutoBlend(k.mData[0], r, l, true));
        }
        case kFCurveTangentTCB:
            return ToFloat(TCBRight(k.mData[0], k.mData[1], k.GetData2(), l, r, index == 0));
        default:
            return 0.0f;
        }
    default:
        return 0.0f;
    }
}

float KFCurve::ComputeLeftDerivative(int index) const
{
    if (!Valid(index)) return 0.0f;
    const int n = mKeyCount;
    if (index == 0) return n >= 2 ? ComputeRightDerivative(0) : 0.0f;
    const KFCurveKey& p = K(index - 1);
    const KFCurveKey& k = K(index);
    const bool last = index == n - 1;
    float l, r;
    KFCurveGetChordSlopes(*this, index, &l, &r);
    switch (p.GetInterpolation()) {
    case kFCurveInterpolationConstant:
        return 0.0f;
    case kFCurveInterpolationLinear:
        return l;
    case kFCurveInterpolationCubic:
        break;
    default:
        return 0.0f;
    }
    const bool pTCB = p.GetTangentMode() == kFCurveTangentTCB;
    if (!k.IsCubic()) {
        switch (p.GetTangentMode()) {
        case kFCurveTangentUser:
        case kFCurveTangentUserBreak:
            return p.mData[1];
        case kFCurveTangentAuto:
        case kFCurveTangentAutoBreak:
            return ToFloat(KFCurveAutoBlend(p.mData[1], l, r, false));
        case kFCurveTangentTCB:
            if (k.GetInterpolation() == kFCurveInterpolationLinear) return last ? 0.0f : ComputeRightDerivative(index);
            return 0.0f;
        default:
            return 0.0f;
        }
    }
    switch (k.GetTangentMode()) {
    case kFCurveTangentUser:
        if (pTCB) return last ? 0.0f : k.mData[0];
        return p.mData[1];
    case kFCurveTangentUserBreak:
        if (pTCB) return ToFloat(TCBLeft(p.mData[0], p.mData[1], p.GetData2(), l, r, last));
        return p.mData[1];
    case kFCurveTangentTCB:
        return ToFloat(TCBLeft(k.mData[0], k.mData[1], k.GetData2(), l, r, last));
    case kFCurveTangentAuto:
    case kFCurveTangentAutoBreak: {
        bool leftFlat = false;
        KeyIsClamped(index, &leftFlat, nullptr);
        if (n < 2 || leftFlat) return 0.0f;
        double x = p.mData[1];
        if (pTCB) x = (k.mFlags & kFCurveTangentBreak) ? 100.0 : (last ? 0.0 : -static_cast<double>(k.mData[0]));
        return ToFloat(KFCurveAutoBlend(x, l, r, false));
    }
    default:
        return 0.0f;
    }
}

// ---------------------------------------------------------------------------
// Auto parameters

float KFCurve::KeyGetRightAuto(int index, bool applyClamp) const
{
    if (!Valid(index)) return 0.0f;
    const KFCurveKey& k = K(index);
    if (IsCubicAuto(k)) {
        bool rightFlat = false;
        if (applyClamp) KeyIsClamped(index, nullptr, &rightFlat);
        if (!rightFlat) return k.mData[0];
    } else if (index == mKeyCount - 1) {
        return 0.0f;
    }
    return KFCurveRightDerivativeToAuto(ComputeRightDerivative(index), *this, index);
}

float KFCurve::KeyGetLeftAuto(int index, bool applyClamp) const
{
    if (!Valid(index)) return 0.0f;
    const KFCurveKey& k = K(index);
    if (index == 0) return IsCubicAuto(k) ? k.mData[0] : 0.0f;
    const KFCurveKey& p = K(index - 1);
    if (p.GetInterpolation() == kFCurveInterpolationConstant) return 0.0f;
    if (p.GetInterpolation() == kFCurveInterpolationLinear) return 100.0f;
    bool leftFlat = false;
    if (applyClamp) KeyIsClamped(index, &leftFlat, nullptr);
    if (IsCubicAuto(k) && !leftFlat) {
        if (p.GetTangentMode() == kFCurveTangentTCB) return (k.mFlags & kFCurveTangentBreak) ? 100.0f : -k.mData[0];
        return p.mData[1];
    }
    return KFCurveLeftDerivativeToAuto(ComputeLeftDerivative(index), *this, index);
}

// ---------------------------------------------------------------------------
// Side setters

void KFCurve::KeySetRightDerivative(int index, float derivative)
{
    if (!Valid(index) || index >= mKeyCount - 1) return;
    KFCurveKey& k = K(index);
    if (!k.IsCubic()) return;
    if (HasAuto(k)) {
        k.mData[0] = KFCurveRightDerivativeToAuto(derivative, *this, index);
    } else if (HasUser(k)) {
        k.mData[0] = derivative;
    } else {
        return;
    }
    ResetCache();
    ReportChange(kFCurveChangeKeyOther, index);
}

void KFCurve::KeySetRightAuto(int index, float value)
{
    if (!Valid(index)) return;
    KFCurveKey& k = K(index);
    if (!k.IsCubic()) return;
    BeginKeyModify();
    bool changed = false;
    if (index < mKeyCount - 1) {
        if (HasAuto(k)) {
            k.mData[0] = value;
            changed = true;
        } else if (HasUser(k)) {
            k.mData[0] = KFCurveAutoToRightDerivative(value, *this, index);
            changed = true;
        }
    } else if (HasAuto(k)) {
        k.mData[0] = value;
        changed = true;
    }
    if (changed) ReportChange(kFCurveChangeKeyOther, index);
    EndKeyModify();
}

void KFCurve::KeySetLeftDerivative(int index, float derivative)
{
    if (index <= 0 || index > mKeyCount) return;
    BeginKeyModify();
    KFCurveKey& p = K(index - 1);
    bool changed = false;
    if (index == mKeyCount) {
        // No key i: the slot of the last key keeps the value as given.
        if (!HasTCB(p) || !p.IsCubic()) {
            p.mData[1] = derivative;
            changed = true;
        }
    } else {
        const KFCurveKey& k = K(index);
        const bool keyUser = k.IsCubic() && HasUser(k);
        if (!p.IsCubic()) {
            p.mData[1] = derivative;
            changed = true;
        } else if (HasAuto(p)) {
            p.mData[1] = keyUser ? derivative : KFCurveLeftDerivativeToAuto(derivative, *this, index);
            changed = true;
        } else if (HasUser(p)) {
            p.mData[1] = (keyUser || !k.IsCubic()) ? derivative : KFCurveLeftDerivativeToAuto(derivative, *this, index);
            changed = true;
        }
        if (k.IsCubic() && k.GetTangentMode() == kFCurveTangentUser) KeySetRightDerivative(index, derivative);
    }
    if (changed) {
        ResetCache();
        ReportChange(kFCurveChangeKeyOther, index - 1);
    }
    EndKeyModify();
}

void KFCurve::KeySetLeftAuto(int index, float value)
{
    if (index <= 0 || index > mKeyCount) return;
    BeginKeyModify();
    KFCurveKey& p = K(index - 1);
    bool changed = false;
    if (index == mKeyCount) {
        if (!HasTCB(p) || !p.IsCubic()) {
            p.mData[1] = value;
            changed = true;
        }
    } else {
        const KFCurveKey& k = K(index);
        const bool keyAuto = IsCubicAuto(k);
        if (!p.IsCubic()) {
            p.mData[1] = value;
            changed = true;
        } else if (HasAuto(p)) {
            p.mData[1] = (keyAuto || !k.IsCubic()) ? value : KFCurveAutoToLeftDerivative(value, *this, index);
            changed = true;
        } else if (HasUser(p)) {
            p.mData[1] = keyAuto ? value : KFCurveAutoToLeftDerivative(value, *this, index);
            changed = true;
        }
        if (k.IsCubic() && k.GetTangentMode() == kFCurveTangentUser) KeySetRightAuto(index, value);
    }
    if (changed) {
        ResetCache();
        ReportChange(kFCurveChangeKeyOther, index - 1);
    }
    EndKeyModify();
}

// ---------------------------------------------------------------------------
// Weights and velocities

float KFCurve::KeyGetRightWeight(int index) const
{
    if (!Valid(index) || index >= mKeyCount - 1) return kFCurveDefaultWeight;
    const KFCurveKey& k = K(index);
    if (!(k.mFlags & kFCurveWeightedRight)) return kFCurveDefaultWeight;
    return static_cast<float>(k.mWeight[0] / kFCurveFixedScale);
}

float KFCurve::KeyGetLeftWeight(int index) const
{
    if (!Valid(index) || index == 0) return kFCurveDefaultWeight;
    const KFCurveKey& p = K(index - 1);
    if (!(p.mFlags & kFCurveWeightedNextLeft)) return kFCurveDefaultWeight;
    return static_cast<float>(p.mWeight[1] / kFCurveFixedScale);
}

bool KFCurve::KeyIsRightWeighted(int index) const
{
    return Valid(index) && (K(index).mFlags & kFCurveWeightedRight) != 0;
}

bool KFCurve::KeyIsLeftWeighted(int index) const
{
    return Valid(index) && index > 0 && (K(index - 1).mFlags & kFCurveWeightedNextLeft) != 0;
}

float KFCurve::KeyGetRightVelocity(int index) const
{
    if (!KeyIsRightVelocity(index)) return 0.0f;
    return static_cast<float>(K(index).mVelocity[0] / kFCurveFixedScale);
}

float KFCurve::KeyGetLeftVelocity(int index) const
{
    if (!KeyIsLeftVelocity(index)) return 0.0f;
    return static_cast<float>(K(index - 1).mVelocity[1] / kFCurveFixedScale);
}

bool KFCurve::KeyIsRightVelocity(int index) const
{
    return Valid(index) && (K(index).mFlags & kFCurveVelocityRight) != 0;
}

bool KFCurve::KeyIsLeftVelocity(int index) const
{
    return Valid(index) && index > 0 && (K(index - 1).mFlags & kFCurveVelocityNextLeft) != 0;
}

namespace {

void SetBit(std::uint32_t& flags, std::uint32_t bit, bool on)
{
    flags = on ? (flags | bit) : (flags & ~bit);
}

}  // namespace

void KFCurve::KeySetRightWeighted(int index, bool on)
{
    if (!Valid(index) || index >= mKeyCount - 1 || !K(index).IsCubic()) return;
    BeginKeyModify();
    SetBit(K(index).mFlags, kFCurveWeightedRight, on);
    ReportChange(kFCurveChangeKeyOther, index);
    EndKeyModify();
}

void KFCurve::KeySetLeftWeighted(int index, bool on)
{
    if (index <= 0 || index > mKeyCount || !K(index - 1).IsCubic()) return;
    BeginKeyModify();
    SetBit(K(index - 1).mFlags, kFCurveWeightedNextLeft, on);
    ReportChange(kFCurveChangeKeyOther, index - 1);
    EndKeyModify();
}

void KFCurve::KeySetRightWeight(int index, float weight)
{
    if (!Valid(index) || index >= mKeyCount - 1) return;
    KFCurveKey& k = K(index);
    if (!k.IsCubic() || HasTCB(k)) return;
    BeginKeyModify();
    k.mFlags |= kFCurveWeightedRight;
    StoreDataSlot(k, kFCurveDataWeightRight, weight);
    ReportChange(kFCurveChangeKeyOther, index);
    EndKeyModify();
}

void KFCurve::KeySetLeftWeight(int index, float weight)
{
    if (index <= 0 || index > mKeyCount) return;
    KFCurveKey& p = K(index - 1);
    if (!p.IsCubic() || HasTCB(p)) return;
    BeginKeyModify();
    p.mFlags |= kFCurveWeightedNextLeft;
    StoreDataSlot(p, kFCurveDataWeightNextLeft, weight);
    ReportChange(kFCurveChangeKeyOther, index - 1);
    EndKeyModify();
}

void KFCurve::KeySetRightVelocityMode(int index, bool on)
{
    if (!Valid(index) || index >= mKeyCount - 1 || !K(index).IsCubic()) return;
    BeginKeyModify();
    SetBit(K(index).mFlags, kFCurveVelocityRight, on);
    ReportChange(kFCurveChangeKeyOther, index);
    EndKeyModify();
}

void KFCurve::KeySetLeftVelocityMode(int index, bool on)
{
    if (index <= 0 || index > mKeyCount || !K(index - 1).IsCubic()) return;
    BeginKeyModify();
    SetBit(K(index - 1).mFlags, kFCurveVelocityNextLeft, on);
    ReportChange(kFCurveChangeKeyOther, index - 1);
    EndKeyModify();
}

void KFCurve::KeySetRightVelocity(int index, float velocity)
{
    if (!Valid(index) || index >= mKeyCount - 1 || !K(index).IsCubic()) return;
    BeginKeyModify();
    KFCurveKey& k = K(index);
    k.mFlags |= kFCurveVelocityRight;
    StoreDataSlot(k, kFCurveDataVelocityRight, velocity);
    ReportChange(kFCurveChangeKeyOther, index);
    EndKeyModify();
}

void KFCurve::KeySetLeftVelocity(int index, float velocity)
{
    if (index <= 0 || index > mKeyCount) return;
    KFCurveKey& p = K(index - 1);
    if (!p.IsCubic() || HasTCB(p)) return;
    BeginKeyModify();
    p.mFlags |= kFCurveVelocityNextLeft;
    StoreDataSlot(p, kFCurveDataVelocityNextLeft, velocity);
    ReportChange(kFCurveChangeKeyOther, index - 1);
    EndKeyModify();
}

// ---------------------------------------------------------------------------
// Tangent information records

KFCurveTangentInfo KFCurve::KeyGetRightTangentInfo(int index) const
{
    KFCurveTangentInfo info;
    info.mDerivative = ComputeRightDerivative(index);
    info.mWeight = KeyGetRightWeight(index);
    info.mWeighted = KeyIsRightWeighted(index);
    info.mHasVelocity = KeyIsRightVelocity(index);
    info.mVelocity = KeyGetRightVelocity(index);
    info.mAuto = KeyGetRightAuto(index, false);
    return info;
}

KFCurveTangentInfo KFCurve::KeyGetLeftTangentInfo(int index) const
{
    KFCurveTangentInfo info;
    info.mDerivative = ComputeLeftDerivative(index);
    info.mWeight = KeyGetLeftWeight(index);
    info.mWeighted = KeyIsLeftWeighted(index);
    info.mHasVelocity = KeyIsLeftVelocity(index);
    info.mVelocity = KeyGetLeftVelocity(index);
    info.mAuto = KeyGetLeftAuto(index, false);
    return info;
}

void KFCurve::KeySetRightTangentInfo(int index, const KFCurveTangentInfo& info, bool forceDerivative)
{
    if (!Valid(index) || HasTCB(K(index))) return;
    BeginKeyModify();
    if (index < mKeyCount - 1) {
        KeySetRightWeight(index, info.mWeight);
        KeySetRightWeighted(index, info.mWeighted);
        KeySetRightVelocity(index, info.mVelocity);
        KeySetRightVelocityMode(index, info.mHasVelocity);
        if (!forceDerivative && IsCubicAuto(K(index))) {
            KeySetRightAuto(index, info.mAuto);
        } else {
            KeySetRightDerivative(index, info.mDerivative);
        }
    } else if (IsCubicAuto(K(index))) {
        K(index).mData[0] = info.mAuto;
        ReportChange(kFCurveChangeKeyOther, index);
    }
    EndKeyModify();
}

void KFCurve::KeySetLeftTangentInfo(int index, const KFCurveTangentInfo& info, bool forceDerivative)
{
    if (index <= 0 || index >= mKeyCount || HasTCB(K(index))) return;
    BeginKeyModify();
    KeySetLeftWeight(index, info.mWeight);
    KeySetLeftWeighted(index, info.mWeighted);
    KeySetLeftVelocity(index, info.mVelocity);
    KeySetLeftVelocityMode(index, info.mHasVelocity);
    const KFCurveKey& k = K(index);
    const KFCurveKey& p = K(index - 1);
    const bool useAuto = !forceDerivative && (IsCubicAuto(k) || (!k.IsCubic() && IsCubicAuto(p)));
    if (useAuto) {
        KeySetLeftAuto(index, info.mAuto);
    } else {
        KeySetLeftDerivative(index, info.mDerivative);
    }
    EndKeyModify();
}

// ---------------------------------------------------------------------------
// Bezier control values and flat autos

float KFCurve::KeyGetRightBezierValue(int index) const
{
    if (mKeyCount == 0 || !Valid(index)) return 0.0f;
    if (mKeyCount == 1 || index == mKeyCount - 1) return V(index);
    const KFCurveKey& k = K(index);
    switch (k.GetInterpolation()) {
    case kFCurveInterpolationConstant:
        return k.mValue;
    case kFCurveInterpolationLinear:
    case kFCurveInterpolationCubic:
        return ToFloat(k.mValue + ComputeRightDerivative(index) * SecondsBetween(k.mTime, T(index + 1)) / 3.0);
    default:
        return 0.0f;
    }
}

float KFCurve::KeyGetLeftBezierValue(int index) const
{
    if (mKeyCount == 0 || !Valid(index)) return 0.0f;
    if (mKeyCount == 1 || index == 0) return V(0);
    const KFCurveKey& p = K(index - 1);
    switch (p.GetInterpolation()) {
    case kFCurveInterpolationConstant:
        return V(index);
    case kFCurveInterpolationLinear:
    case kFCurveInterpolationCubic:
        return ToFloat(V(index) - ComputeLeftDerivative(index) * SecondsBetween(p.mTime, T(index)) / 3.0);
    default:
        return 0.0f;
    }
}

bool KFCurve::KeyIsFlatAuto(int index) const
{
    if (!Valid(index) || !IsCubicAuto(K(index))) return false;
    return KeyGetLeftAuto(index) == 0.0f && KeyGetRightAuto(index) == 0.0f && !KeyIsLeftWeighted(index) &&
           !KeyIsRightWeighted(index);
}

}  // namespace duzsdk
