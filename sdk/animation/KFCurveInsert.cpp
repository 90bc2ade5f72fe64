// Shape-keeping key insertion and the replacement of a span of keys by the
// keys of another curve.

#include <algorithm>
#include <cmath>

#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurvePrivate.h"

namespace duzsdk {

using kfcurve_detail::SaturateTicks;

namespace {

constexpr std::uint32_t kPresetCorner1 = 0x00100000;
constexpr std::uint32_t kPresetCorner2 = 0x00200000;
constexpr std::uint32_t kPresetExactSplit = 0x00400000;
constexpr double kCoefficientEpsilon = 1e-10;

bool IsCornerPreset(std::uint32_t preset)
{
    return preset == kPresetCorner1 || preset == kPresetCorner2;
}

void PresetTCB(std::uint32_t preset, float* t, float* c, float* b)
{
    *t = preset == kPresetCorner1 ? 1.0f : 0.0f;
    *c = preset == kPresetCorner2 ? -1.0f : 0.0f;
    *b = 0.0f;
}

bool IsUserMode(std::uint32_t plainMode)
{
    return plainMode == kFCurveTangentUser || plainMode == kFCurveTangentUserBreak;
}

std::int64_t AddTicks(std::int64_t a, std::int64_t b)
{
    return SaturateTicks(static_cast<__int128>(a) + b);
}

}  // namespace

void KFCurveInsertCoefficients(double* tension, double* continuity, double* bias, double leftDerivative,
                               double rightDerivative, const KFCurve& curve, int index)
{
    double t = *tension, dl = leftDerivative, dr = rightDerivative;
    float leftChord = 0.0f, rightChord = 0.0f;
    KFCurveGetChordSlopes(curve, index, &leftChord, &rightChord);
    double l = leftChord, r = rightChord;
    if (index <= 0) {
        l = 0.0;
        dl = 0.0;
        dr /= 2.0;
    }
    if (index >= curve.KeyGetCount() - 1) {
        r = 0.0;
        dr = 0.0;
        dl /= 2.0;
    }
    double co = 0.0, bi = 0.0;
    if (std::fabs(r - l) < kCoefficientEpsilon) {
        if (std::fabs(dr - dl) < kCoefficientEpsilon) {
            t = 0.0;
        } else {
            co = (dl + dr) / (dr - dl);
            bi = 1.0;
            const double q = (l + r) * (1.0 - co);
            // Flat neighbours leave nothing to scale the tension by.
            if (std::fabs(q) < kCoefficientEpsilon) {
                t = co = bi = 0.0;
            } else {
                t = (q - dl) / q;
            }
        }
    } else {
        if (std::fabs(1.0 - t) < 0.01) t = 0.0;
        bi = ((dl + dr) / (1.0 - t) - (l + r)) / (l - r);
        const double m = 2.0 * dr / (1.0 - t) - r - l - (l - r) * bi;
        co = m;
        if (std::fabs(m) > kCoefficientEpsilon) {
            const double div = (l - r) + (r + l) * bi;
            if (std::fabs(div) < kCoefficientEpsilon) {
                t = co = bi = 0.0;
            } else {
                co = m / div;
            }
        }
    }
    *tension = t;
    *continuity = co;
    *bias = bi;
}

int KFCurve::KeyInsert(KTime time, int* lastIndex)
{
    if (mKeyCount == 0) {
        KeyAdd(time, lastIndex);
        return 0;
    }
    int candidate = static_cast<int>(std::ceil(KeyFind(time, lastIndex)));
    candidate = std::clamp(candidate, 0, mKeyCount - 1);
    if (T(candidate) == time.Get()) return candidate;
    const KFCurveKey& ref = K(candidate <= 0 ? 0 : candidate - 1);
    const std::uint32_t interpolation = ref.GetInterpolation();
    const std::uint32_t mode = ref.GetTangentMode();
    EvaluateCached(time, lastIndex);
    int index = lastIndex ? *lastIndex : 0;
    KeyInsertKeepShape(&index, interpolation, mode, 0, true, KTime(kFCurveInfiniteTicks), 0.0);
    if (lastIndex) *lastIndex = index;
    return index;
}

// The key goes in at the cached time with the cached value. A time argument
// other than the infinite time moves the cached time but keeps the cached
// value, so a span replacement can insert a value taken at another time.
bool KFCurve::KeyInsertKeepShape(int* lastIndex, std::uint32_t interpolation, std::uint32_t tangentMode,
                                 std::uint32_t preset, bool rewriteExisting, KTime time, double tolerance)
{
    if (time.Get() != kFCurveInfiniteTicks) mCachedTime = time.Get();
    if (mCachedTime == kFCurveInfiniteTicks) return false;
    BeginKeyModify();
    const std::int64_t ticks = mCachedTime;
    const float value = mCachedValue;
    const bool cubic = interpolation == kFCurveInterpolationCubic;
    const std::uint32_t plainMode = tangentMode & kFCurveTangentPlainMask;

    KFCurveKey record;
    if (!cubic) {
        record.Set(ticks, value, interpolation, tangentMode);
    } else if (plainMode == kFCurveTangentTCB) {
        float t, c, b;
        PresetTCB(preset, &t, &c, &b);
        record.SetTCB(ticks, value, t, c, b);
    } else if (plainMode == kFCurveTangentAuto && IsCornerPreset(preset)) {
        record.Set(ticks, value, interpolation, tangentMode | kFCurveTangentBreak, 100.0f, 0.0f);
    } else {
        record.Set(ticks, value, interpolation, tangentMode);
    }

    if (mKeyCount == 0) {
        KeyAdd(KTime(ticks), record, lastIndex);
        EndKeyModify();
        return true;
    }

    const double position = KeyFind(KTime(ticks));
    int before = static_cast<int>(std::floor(position + tolerance));
    int after = static_cast<int>(std::ceil(position - tolerance));
    int existing = -1;
    if (before == after) {
        if (preset == kPresetExactSplit) {
            EndKeyModify();
            return false;
        }
        existing = before;
        before = existing - 1;
        after = existing + 1;
    }
    const bool hasBefore = before >= 0;
    const bool hasAfter = after < mKeyCount;

    KFCurveTangentInfo beforeLeft, beforeRight, newLeft, newRight, afterLeft, afterRight;
    if (hasBefore && hasAfter) {
        beforeLeft = KeyGetLeftTangentInfo(before);
        beforeRight = KeyGetRightTangentInfo(before);
        afterRight = KeyGetRightTangentInfo(after);
        afterLeft = KeyGetLeftTangentInfo(after);
    } else if (hasBefore) {
        // Past the last key the last key's right slope equals its left slope.
        beforeLeft = beforeRight = afterLeft = KeyGetLeftTangentInfo(before);
    } else if (hasAfter) {
        afterRight = afterLeft = beforeRight = KeyGetRightTangentInfo(after);
    }

    const bool isNew = existing < 0;
    int key;
    if (isNew) {
        const float slope = EvaluateLeftDerivative(KTime(ticks));
        newLeft.mDerivative = newRight.mDerivative = slope;
        key = KeyAdd(KTime(ticks), record, lastIndex);
        after = key + 1;
    } else {
        key = existing;
        newLeft = KeyGetLeftTangentInfo(key);
        newRight = KeyGetRightTangentInfo(key);
        if (!rewriteExisting) {
            KeySetValue(key, value);
            KeySetTime(key, KTime(ticks));
        } else if (cubic && plainMode == kFCurveTangentTCB) {
            float t, c, b;
            PresetTCB(preset, &t, &c, &b);
            KeySetTCB(key, KTime(ticks), value, t, c, b);
        } else {
            KeySet(key, KTime(ticks), value, interpolation, tangentMode);
        }
    }

    if (IsCornerPreset(preset)) {
        newLeft.mDerivative = newRight.mDerivative = 0.0f;
        newLeft.mAuto = newRight.mAuto = 100.0f;
        if (cubic) {
            if (plainMode == kFCurveTangentAuto) {
                KeySetTangentMode(key, tangentMode | kFCurveTangentBreak);
            } else if (plainMode == kFCurveTangentUser) {
                KeySetTangentMode(key, kFCurveTangentUser);
            } else if (plainMode == kFCurveTangentTCB) {
                KeySetTangentMode(key, kFCurveTangentTCB);
                KeySetDataFloat(key, 2, 0.0f);
                KeySetDataFloat(key, 0, preset == kPresetCorner1 ? 1.0f : 0.0f);
                KeySetDataFloat(key, 1, preset == kPresetCorner1 ? 0.0f : -1.0f);
            }
        }
    }

    KeySetLeftTangentInfo(key, newLeft, false);
    KeySetRightTangentInfo(key, newRight, false);
    if (isNew && hasAfter) KeySetLeftTangentInfo(after, afterLeft, false);

    if (isNew && mKeyCount > 1) {
        if (hasBefore && !hasAfter) {
            const std::uint32_t m = K(before).GetTangentMode();
            const float leftAuto = KeyGetLeftAuto(before, false);
            const bool force = (m & kFCurveTangentUser) || ((m & kFCurveTangentAuto) && leftAuto != 0.0f);
            KeySetRightTangentInfo(before, beforeRight, force);
            if ((m & kFCurveTangentAuto) && (m & kFCurveTangentBreak)) KeySetRightAuto(before, 100.0f);
            if (force && !(m & kFCurveTangentBreak)) KeySetLeftTangentInfo(before, beforeRight, force);
        } else if (hasAfter && !hasBefore) {
            const std::uint32_t m = K(after).GetTangentMode();
            const float rightAuto = KeyGetRightAuto(after, false);
            const bool force = (m & kFCurveTangentUser) || ((m & kFCurveTangentAuto) && rightAuto != 0.0f);
            KeySetLeftTangentInfo(after, afterLeft, force);
            if ((m & kFCurveTangentAuto) && (m & kFCurveTangentBreak)) KeySetLeftAuto(after, 100.0f);
            if (force && !(m & kFCurveTangentBreak)) KeySetRightTangentInfo(after, afterLeft, force);
        }
    }

    if (preset != kPresetExactSplit) {
        EndKeyModify();
        return true;
    }

    // Exact split: the two halves keep the old segment's shape.
    bool split = false;
    if (cubic && plainMode != kFCurveTangentTCB && hasBefore && hasAfter && K(before).IsCubic() &&
        K(before).GetTangentMode() != kFCurveTangentTCB &&
        ((K(before).mFlags | K(key).mFlags) & kFCurveWeightedAll) != 0) {
        KeySetWeightMode(before, kFCurveWeightedAll, kFCurveWeightedAll);
        KeySetWeightMode(key, kFCurveWeightedAll, kFCurveWeightedAll);
        const double f = position - before;
        const double w1 = beforeRight.mWeight, w2 = afterLeft.mWeight;
        const double s = KFCurveBezierSolve(f, beforeRight.mWeight, afterLeft.mWeight);
        const double p01 = w1 * s, p12 = w1 + (1 - w2 - w1) * s, p23 = 1 - (1 - s) * w2;
        const double q0 = p01 + (p12 - p01) * s, q1 = p12 + (p23 - p12) * s;
        const double x = q0 + (q1 - q0) * s;
        beforeRight.mWeight = static_cast<float>(p01 / f);
        newLeft.mWeight = static_cast<float>((x - q0) / f);
        newRight.mWeight = static_cast<float>((q1 - x) / (1 - f));
        afterLeft.mWeight = static_cast<float>((1 - p23) / (1 - f));
        beforeRight.mWeighted = newLeft.mWeighted = newRight.mWeighted = afterLeft.mWeighted = true;
        split = true;
    }
    if (cubic && (tangentMode & kFCurveTangentAuto)) {
        KFCurveDerivativesToAutos(newLeft.mDerivative, newRight.mDerivative, &newLeft.mAuto, &newRight.mAuto, *this,
                                  key);
        KeySetLeftTangentInfo(key, newLeft, false);
        KeySetRightTangentInfo(key, newRight, false);
    } else if (split) {
        KeySetLeftTangentInfo(key, newLeft, false);
        KeySetRightTangentInfo(key, newRight, false);
    }
    if (hasBefore && K(before).IsCubic() && (K(before).GetTangentMode() & kFCurveTangentAuto)) {
        KFCurveDerivativesToAutos(beforeLeft.mDerivative, beforeRight.mDerivative, &beforeLeft.mAuto,
                                  &beforeRight.mAuto, *this, before);
        KeySetLeftTangentInfo(before, beforeLeft, false);
        KeySetRightTangentInfo(before, beforeRight, false);
    } else if (split && hasBefore) {
        KeySetRightTangentInfo(before, beforeRight, false);
    }
    if (hasAfter && K(after).IsCubic() && (K(after).GetTangentMode() & kFCurveTangentAuto)) {
        KFCurveDerivativesToAutos(afterLeft.mDerivative, afterRight.mDerivative, &afterLeft.mAuto, &afterRight.mAuto,
                                  *this, after);
        KeySetLeftTangentInfo(after, afterLeft, false);
        KeySetRightTangentInfo(after, afterRight, false);
    } else if (split && hasAfter) {
        KeySetLeftTangentInfo(after, afterLeft, false);
    }
    struct TCBTarget {
        bool exists;
        int index;
        const KFCurveTangentInfo* left;
        const KFCurveTangentInfo* right;
    };
    const TCBTarget targets[] = {{hasBefore, before, &beforeLeft, &beforeRight},
                                 {hasAfter, after, &afterLeft, &afterRight},
                                 {true, key, &newLeft, &newRight}};
    for (const TCBTarget& target : targets) {
        if (!target.exists || !Valid(target.index)) continue;
        const KFCurveKey& k = K(target.index);
        if (!k.IsCubic() || !(k.mFlags & kFCurveTangentTCB)) continue;
        double t = k.mData[0], c = 0.0, b = 0.0;
        KFCurveInsertCoefficients(&t, &c, &b, target.left->mDerivative, target.right->mDerivative, *this,
                                  target.index);
        KeySetDataFloat(target.index, 0, static_cast<float>(t));
        KeySetDataFloat(target.index, 1, static_cast<float>(c));
        KeySetDataFloat(target.index, 2, static_cast<float>(b));
    }
    EndKeyModify();
    return true;
}

// ---------------------------------------------------------------------------
// Span replacement

void KFCurve::InsertUserKeyAt(std::int64_t ticks, float value, int* index)
{
    SetCache(KTime(ticks), value);
    KeyInsertKeepShape(index, kFCurveInterpolationCubic, kFCurveTangentUser, 0, true, KTime(kFCurveInfiniteTicks),
                       0.0);
}

void KFCurve::ReplaceImpl(const KFCurve& source, std::int64_t start, std::int64_t stop, bool exactSpan,
                          bool keysAtEnds, std::int64_t offset, const ReplaceArgs& args)
{
    BeginKeyModify();
    const int srcCount = source.mKeyCount;
    const bool srcHasKeys = srcCount > 0;

    std::int64_t targetStart = start, targetStop = stop;
    if (srcHasKeys) {
        const std::int64_t s = start == kFCurveMinusInfiniteTicks ? source.T(0) : start;
        const std::int64_t e = stop == kFCurveInfiniteTicks ? source.T(srcCount - 1) : stop;
        targetStart = AddTicks(s, offset);
        targetStop = AddTicks(e, offset);
    }

    int first = -1, last = -1;
    if (srcHasKeys) {
        if (args.kind == ReplaceKind::Scaled) {
            auto firstNotBefore = [&](std::int64_t t) {
                int lo = 0, hi = srcCount;
                while (lo < hi) {
                    const int mid = lo + (hi - lo) / 2;
                    if (source.T(mid) < t) lo = mid + 1; else hi = mid;
                }
                return std::min(lo, srcCount - 1);
            };
            first = firstNotBefore(AddTicks(start, -1));
            last = firstNotBefore(stop);
        } else {
            int hint = 0;
            first = static_cast<int>(std::ceil(source.KeyFind(KTime(start), &hint)));
            last = std::min(static_cast<int>(std::floor(source.KeyFind(KTime(stop), &hint))), srcCount - 1);
        }
    }
    if (!exactSpan) {
        if (first >= 0 && first < srcCount) start = source.T(first);
        if (last >= 0) stop = source.T(last);
    }
    const bool startBounded = start != kFCurveMinusInfiniteTicks;
    const bool stopBounded = stop != kFCurveInfiniteTicks;

    int k0;
    if (args.kind == ReplaceKind::Scaled) {
        k0 = 0;
        while (k0 < mKeyCount && T(k0) < targetStart) ++k0;
    } else {
        int hint = 0;
        k0 = static_cast<int>(std::ceil(KeyFind(KTime(targetStart), &hint)));
        if (k0 < 0) k0 = 0;
    }
    const float startSlope = EvaluateLeftDerivative(KTime(targetStart));
    const float stopSlope = EvaluateRightDerivative(KTime(targetStop));

    KeyRemoveBetween(KTime(AddTicks(targetStart, -1)), KTime(AddTicks(targetStop, 1)));

    if (srcHasKeys) {
        ResetCache();
        int i;
        if (args.kind == ReplaceKind::Scaled) {
            i = first;
        } else {
            int hint = 0;
            i = std::max(0, static_cast<int>(std::ceil(source.KeyFind(KTime(start), &hint))));
        }
        const bool applySpanOffset = args.kind == ReplaceKind::Offset && std::fabs(args.spanOffset) > 1e-7f;
        int firstAdded = -1, lastAdded = -1;
        for (; i < srcCount && source.T(i) <= stop; ++i) {
            const KFCurveKey& src = source.K(i);
            const int added = KeyAdd(KTime(AddTicks(src.mTime, offset)), src);
            if (added < 0) break;
            if (applySpanOffset) {
                if (args.mirrorSpan) {
                    KeySetValue(added, args.spanOffset - src.mValue);
                    if (IsUserMode(K(added).GetTangentMode())) {
                        KeySetDataFloat(added, 0, -K(added).mData[0]);
                        KeySetDataFloat(added, 1, -K(added).mData[1]);
                    }
                } else {
                    KeySetValue(added, src.mValue + args.spanOffset);
                }
            } else if (args.kind == ReplaceKind::Scaled) {
                // A span of no length has no blend ratio; the start factor holds.
                const double r = stop == start ? 0.0
                                               : static_cast<double>(static_cast<__int128>(src.mTime) - start) /
                                                     static_cast<double>(static_cast<__int128>(stop) - start);
                const float factor = static_cast<float>((1.0 - r) * args.startFactor + r * args.stopFactor);
                KeySetValue(added, static_cast<float>(src.mValue * factor));
            }
            if (firstAdded < 0) firstAdded = added;
            lastAdded = added;
        }
        // The incoming side of the first mirrored key lives on the key before it.
        if (applySpanOffset && args.mirrorSpan && firstAdded > 0 && IsUserMode(K(firstAdded - 1).GetTangentMode()))
            KeySetDataFloat(firstAdded - 1, 1, -K(firstAdded - 1).mData[1]);

        if (startBounded) {
            int k = k0;
            if (args.kind == ReplaceKind::Scaled) {
                if (Valid(k) && T(k) < targetStart) ++k;
                if (Valid(k)) KeySetLeftDerivative(k, startSlope);
            } else if (Valid(k) && T(k) <= targetStop) {
                if (T(k) < targetStart) ++k;
                if (Valid(k) && (K(k).GetTangentMode() & (kFCurveTangentUser | kFCurveTangentAuto)))
                    KeySetLeftDerivative(k, startSlope);
            }
        }
        if (stopBounded && lastAdded >= 0 &&
            (K(lastAdded).GetTangentMode() & (kFCurveTangentUser | kFCurveTangentAuto)))
            KeySetRightDerivative(lastAdded, stopSlope);

        if (args.kind == ReplaceKind::Offset && std::fabs(args.afterOffset) > 1e-7f) {
            int from = lastAdded + 1;
            if (lastAdded < 0) {
                from = 0;
                while (from < mKeyCount && T(from) <= targetStop) ++from;
            }
            for (int j = from; j < mKeyCount; ++j) {
                if (args.mirrorAfter) {
                    KeySetValue(j, args.afterOffset - V(j));
                    if (IsUserMode(K(j).GetTangentMode())) {
                        KeySetDataFloat(j, 0, -K(j).mData[0]);
                        KeySetDataFloat(j, 1, -K(j).mData[1]);
                    }
                } else {
                    KeySetValue(j, V(j) + args.afterOffset);
                }
            }
            if (args.mirrorAfter && from > 0 && from < mKeyCount && IsUserMode(K(from - 1).GetTangentMode()))
                KeySetDataFloat(from - 1, 1, -K(from - 1).mData[1]);
        }
    } else if (keysAtEnds) {
        // Hold the old curve one tick outside each bounded end, then flatten
        // the span at the source's default value.
        if (startBounded) {
            const std::int64_t t = AddTicks(targetStart, -1);
            InsertUserKeyAt(t, Evaluate(KTime(t)), nullptr);
        }
        if (stopBounded) {
            const std::int64_t t = AddTicks(targetStop, 1);
            InsertUserKeyAt(t, Evaluate(KTime(t)), nullptr);
        }
        if (startBounded) InsertUserKeyAt(targetStart, source.mDefaultValue, nullptr);
        if (stopBounded) InsertUserKeyAt(targetStop, source.mDefaultValue, nullptr);
        auto keyAt = [&](std::int64_t t) {
            int hint = 0;
            const double p = KeyFind(KTime(t), &hint);
            return (p >= 0.0 && p == std::floor(p)) ? static_cast<int>(p) : -1;
        };
        if (startBounded) {
            const int s = keyAt(targetStart);
            if (s >= 0) {
                if (s > 0) KeySetDataDouble(s - 1, 1, 0.0);
                KeySetDataDouble(s, 0, 0.0);
            }
        }
        if (stopBounded) {
            const int e = keyAt(targetStop);
            if (e >= 0) {
                KeySetDataDouble(e, 0, 0.0);
                if (e > 0) KeySetDataDouble(e - 1, 1, 0.0);
            }
        }
    }
    EndKeyModify();
}

void KFCurve::Replace(const KFCurve& source, KTime start, KTime stop, bool exactSpan, bool keysAtEnds, KTime offset)
{
    if (&source == this) return;
    ReplaceImpl(source, start.Get(), stop.Get(), exactSpan, keysAtEnds, offset.Get(), ReplaceArgs());
}

void KFCurve::ReplaceOffset(const KFCurve& source, KTime start, KTime stop, float spanOffset, float afterOffset,
                            bool mirrorSpan, bool mirrorAfter, bool exactSpan, bool keysAtEnds, KTime offset)
{
    if (&source == this) return;
    ReplaceArgs args;
    args.kind = ReplaceKind::Offset;
    args.spanOffset = spanOffset;
    args.afterOffset = afterOffset;
    args.mirrorSpan = mirrorSpan;
    args.mirrorAfter = mirrorAfter;
    ReplaceImpl(source, start.Get(), stop.Get(), exactSpan, keysAtEnds, offset.Get(), args);
}

void KFCurve::ReplaceScaled(const KFCurve& source, KTime start, KTime stop, float startFactor, float stopFactor,
                            bool exactSpan, bool keysAtEnds, KTime offset)
{
    if (&source == this) return;
    ReplaceArgs args;
    args.kind = ReplaceKind::Scaled;
    args.startFactor = startFactor;
    args.stopFactor = stopFactor;
    ReplaceImpl(source, start.Get(), stop.Get(), exactSpan, keysAtEnds, offset.Get(), args);
}

}  // namespace duzsdk
