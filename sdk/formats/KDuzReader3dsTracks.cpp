// Keyframer tracks of the 3DS reader: curves of the take "default take", or
// static values when a track is not animated.
#include <algorithm>
#include <cmath>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveFilterKeyReducer.h"
#include "sdk/animation/KFCurveFilterUnroll.h"
#include "sdk/base/KTime.h"
#include "sdk/base/KgeMath.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/3dsftk/FtkLight.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

KTime FrameTime(int64_t frame) { return KTime(frame * (KTime::kTicksPerSecond / 30)); }

KDuzTakeNode* TakeNodeOf(KDuzNode* node) {
    KDuzTakeNode* take = node->CreateTakeNode(KDuzReader3DS::kTakeName);
    if (take != nullptr) node->SetCurrentTakeNodeByName(KDuzReader3DS::kTakeName);
    else take = node->GetCurrentTakeNode();
    return take;
}

// The keys that are kept: each one later than every key before it.
template <typename V>
std::vector<uint32_t> Kept(const FtkTrack<V>& track) {
    std::vector<uint32_t> kept;
    if (track.keys == nullptr || track.values == nullptr) return kept;
    bool any = false;
    uint32_t latest = 0;
    for (uint32_t i = 0; i < track.keyCount; ++i) {
        if (any && track.keys[i].time <= latest) continue;
        any = true;
        latest = track.keys[i].time;
        kept.push_back(i);
    }
    return kept;
}

void AddKey(KFCurve* curve, const FtkKeyHeader& key, double value) {
    if (curve == nullptr) return;
    const float tension = (key.rflags & kFtkKeyTension) != 0 ? key.tension : 0.0f;
    const float continuity = (key.rflags & kFtkKeyContinuity) != 0 ? key.continuity : 0.0f;
    const float bias = (key.rflags & kFtkKeyBias) != 0 ? key.bias : 0.0f;
    curve->KeySetTCB(curve->KeyGetCount(), FrameTime(key.time), static_cast<float>(value), tension, continuity, bias);
}

void SetStatic(KFCurve* curve, double value) {
    if (curve != nullptr) curve->SetDefaultValue(static_cast<float>(value));
}

// A static value that also gets one key at frame 0.
void SetStaticKey(KFCurve* curve, double value) {
    if (curve == nullptr) return;
    curve->SetDefaultValue(static_cast<float>(value));
    curve->KeySetTCB(curve->KeyGetCount(), KTime(), static_cast<float>(value));
}

void Reduce(KFCurve** curves, int count) {
    KFCurveFilterKeyReducer reducer;
    reducer.SetTolerance(1.0);
    reducer.Apply(curves, count);
}

}  // namespace

bool KDuzReader3DS::AnimatedTrack(uint32_t keyCount, const FtkKeyHeader* keys) const {
    return mAnimation && keyCount >= 2 && keys != nullptr;
}

namespace {

// Position-like tracks: (x, y, z) in 3DS axes to (x, z, -y) times s.
duzVectorTemplate3<double> MapPosition(const FtkVector& v, double s) {
    return duzVectorTemplate3<double>(v.x * s, v.z * s, -v.y * s);
}

duzVectorTemplate3<double> StaticPosition(const FtkTrack<FtkVector>& track, double s) {
    return track.keyCount > 0 && track.values != nullptr ? MapPosition(track.values[0], s)
                                                         : duzVectorTemplate3<double>(0, 0, 0);
}

// A static position goes on the node before its take is made: the take then
// starts from it, and the node needs no handle to hand it on.
void PlaceStatic(const FtkTrack<FtkVector>& track, KDuzNode* node, double s, bool animated) {
    if (!animated) node->SetLclTranslation(StaticPosition(track, s));
}

void PositionTrack(const FtkTrack<FtkVector>& track, KDuzTakeNode* take, double s, bool animated, bool filter) {
    KFCurve* curves[3] = {take->GetTranslationXCurve(), take->GetTranslationYCurve(), take->GetTranslationZCurve()};
    if (animated) {
        for (const uint32_t i : Kept(track)) {
            const duzVectorTemplate3<double> p = MapPosition(track.values[i], s);
            for (int k = 0; k < 3; ++k) AddKey(curves[k], track.keys[i], p[k]);
        }
        if (filter) Reduce(curves, 3);
        return;
    }
    const duzVectorTemplate3<double> p = StaticPosition(track, s);
    for (int k = 0; k < 3; ++k) SetStatic(curves[k], p[k]);
}

}  // namespace

bool KDuzReader3DS::ObjectTracks(const FtkObjectMotion& motion, KDuzNode* node) {
    const double s = PositionScale();
    const bool movePosition = AnimatedTrack(motion.pos.keyCount, motion.pos.keys);
    const bool moveRotation = AnimatedTrack(motion.rot.keyCount, motion.rot.keys) && motion.rot.values != nullptr;
    const bool moveScale = AnimatedTrack(motion.scale.keyCount, motion.scale.keys) && motion.scale.values != nullptr;

    // Rotation: each key turns relative to the one before.
    double accumulated[4] = {0.0, 0.0, 0.0, 1.0};
    const auto accumulate = [&accumulated](const FtkRotKey& key) {
        const double axisIn[3] = {key.x, key.z, -key.y};
        double axis[3];
        KgeVector3Normalize(axis, axisIn);
        // A zero axis (common in identity keys) turns nothing.
        double q[4] = {0.0, 0.0, 0.0, 1.0};
        const double a = -static_cast<double>(key.angle);
        if ((axis[0] != 0.0 || axis[1] != 0.0 || axis[2] != 0.0) && std::isfinite(a)) {
            const double sine = std::sin(a / 2.0);
            q[0] = axis[0] * sine;
            q[1] = axis[1] * sine;
            q[2] = axis[2] * sine;
            q[3] = std::cos(a / 2.0);
        }
        KgeQuaternionMultiply(accumulated, q, accumulated);
        const double length = std::sqrt(accumulated[0] * accumulated[0] + accumulated[1] * accumulated[1] +
                                        accumulated[2] * accumulated[2] + accumulated[3] * accumulated[3]);
        if (length > 0.0 && std::isfinite(length)) {
            for (double& c : accumulated) c /= length;
        } else {
            accumulated[0] = accumulated[1] = accumulated[2] = 0.0;
            accumulated[3] = 1.0;
        }
        double euler[3];
        KgeQuaternionToEulerXYZ(euler, accumulated);
        return duzVectorTemplate3<double>(euler[0], euler[1], euler[2]);
    };
    duzVectorTemplate3<double> staticRotation(0, 0, 0);
    if (!moveRotation) {
        FtkRotKey first;
        first.x = 0.0f;
        first.y = 0.0f;
        first.z = 1.0f;
        first.angle = 0.0f;
        if (motion.rot.keyCount > 0 && motion.rot.values != nullptr) first = motion.rot.values[0];
        staticRotation = accumulate(first);
    }
    const auto mapScale = [](const FtkVector& v) { return duzVectorTemplate3<double>(v.x, v.z, v.y); };
    const duzVectorTemplate3<double> staticScale = motion.scale.keyCount > 0 && motion.scale.values != nullptr
                                                       ? mapScale(motion.scale.values[0])
                                                       : duzVectorTemplate3<double>(1, 1, 1);

    // Static values go on the node before its take is made (see PlaceStatic).
    PlaceStatic(motion.pos, node, s, movePosition);
    if (!moveRotation) node->SetLclRotation(staticRotation);
    if (!moveScale) node->SetLclScaling(staticScale);
    KDuzTakeNode* take = TakeNodeOf(node);
    if (take == nullptr) return false;
    PositionTrack(motion.pos, take, s, movePosition, mFilter);

    KFCurve* rotation[3] = {take->GetRotationXCurve(), take->GetRotationYCurve(), take->GetRotationZCurve()};
    if (moveRotation) {
        for (const uint32_t i : Kept(motion.rot)) {
            const duzVectorTemplate3<double> r = accumulate(motion.rot.values[i]);
            for (int k = 0; k < 3; ++k) AddKey(rotation[k], motion.rot.keys[i], r[k]);
        }
        KFCurveFilterUnroll unroll;
        unroll.SetQualityThreshold(0.25);
        unroll.SetTestPath(true);
        unroll.Apply(rotation, 3);
        if (mFilter) Reduce(rotation, 3);
    } else {
        for (int k = 0; k < 3; ++k) SetStatic(rotation[k], staticRotation[k]);
    }

    // Scale: axes swapped without a sign change or the scale factor.
    KFCurve* scaling[3] = {take->GetScalingXCurve(), take->GetScalingYCurve(), take->GetScalingZCurve()};
    if (moveScale) {
        for (const uint32_t i : Kept(motion.scale)) {
            const duzVectorTemplate3<double> v = mapScale(motion.scale.values[i]);
            for (int k = 0; k < 3; ++k) AddKey(scaling[k], motion.scale.keys[i], v[k]);
        }
        if (mFilter) Reduce(scaling, 3);
    } else {
        for (int k = 0; k < 3; ++k) SetStatic(scaling[k], staticScale[k]);
    }
    return true;
}

namespace {

void ColorTrack(const FtkTrack<FtkVector>& track, KDuzNode* node, KDuzTakeNode* take, bool animated, bool filter) {
    KFCurve* curves[3] = {take->GetColorXCurve(), take->GetColorYCurve(), take->GetColorZCurve()};
    if (animated && track.values != nullptr) {
        for (const uint32_t i : Kept(track)) {
            const FtkVector& c = track.values[i];
            AddKey(curves[0], track.keys[i], c.x);
            AddKey(curves[1], track.keys[i], c.y);
            AddKey(curves[2], track.keys[i], c.z);
        }
        if (filter) Reduce(curves, 3);
        return;
    }
    FtkVector c{1.0f, 1.0f, 1.0f};
    if (track.keyCount > 0 && track.values != nullptr) c = track.values[0];
    const KDuzRGBAColor color(c.x, c.y, c.z);
    if (auto* light = dynamic_cast<KDuzLight*>(node->GetNodeAttribute())) light->SetColor(color);
    else if (auto* marker = dynamic_cast<KDuzMarker*>(node->GetNodeAttribute())) marker->SetColor(color);
    SetStaticKey(curves[0], c.x);
    SetStaticKey(curves[1], c.y);
    SetStaticKey(curves[2], c.z);
}

// A one-value track; `apply` sets the static value on the attribute.
template <typename Apply>
void ScalarTrack(const FtkTrack<float>& track, KFCurve* curve, bool animated, bool filter, double fallback,
                 Apply apply) {
    if (animated && track.values != nullptr) {
        for (const uint32_t i : Kept(track)) AddKey(curve, track.keys[i], track.values[i]);
        if (filter && curve != nullptr) Reduce(&curve, 1);
        return;
    }
    const double value = track.keyCount > 0 && track.values != nullptr ? track.values[0] : fallback;
    apply(value);
    SetStaticKey(curve, value);
}

}  // namespace

void KDuzReader3DS::OmniTracks(const FtkOmniMotion& motion, KDuzNode* node, const FtkLight* record) {
    const bool move = AnimatedTrack(motion.pos.keyCount, motion.pos.keys);
    PlaceStatic(motion.pos, node, PositionScale(), move);
    KDuzTakeNode* take = TakeNodeOf(node);
    if (take == nullptr) return;
    PositionTrack(motion.pos, take, PositionScale(), move, mFilter);
    ColorTrack(motion.color, node, take, AnimatedTrack(motion.color.keyCount, motion.color.keys), mFilter);
    auto* light = dynamic_cast<KDuzLight*>(node->GetNodeAttribute());
    if (light != nullptr && record != nullptr) light->SetIntensity(record->multiplier * 100.0);
}

void KDuzReader3DS::SpotTracks(const FtkSpotMotion& motion, KDuzNode* node, KDuzNode* target,
                               const FtkLight* record) {
    const bool move = AnimatedTrack(motion.pos.keyCount, motion.pos.keys);
    PlaceStatic(motion.pos, node, PositionScale(), move);
    KDuzTakeNode* take = TakeNodeOf(node);
    if (take == nullptr) return;
    PositionTrack(motion.pos, take, PositionScale(), move, mFilter);
    ColorTrack(motion.color, node, take, AnimatedTrack(motion.color.keyCount, motion.color.keys), mFilter);
    auto* light = dynamic_cast<KDuzLight*>(node->GetNodeAttribute());
    ScalarTrack(motion.hotspot, take->GetConeAngleCurve(), AnimatedTrack(motion.hotspot.keyCount, motion.hotspot.keys),
                mFilter, 45.0, [light](double v) {
                    if (light != nullptr) light->SetConeAngle(v);
                });
    if (light != nullptr && record != nullptr) light->SetIntensity(record->multiplier * 100.0);
    const bool moveTarget = AnimatedTrack(motion.targetPos.keyCount, motion.targetPos.keys);
    PlaceStatic(motion.targetPos, target, PositionScale(), moveTarget);
    KDuzTakeNode* targetTake = TakeNodeOf(target);
    if (targetTake == nullptr) return;
    PositionTrack(motion.targetPos, targetTake, PositionScale(), moveTarget, mFilter);
}

void KDuzReader3DS::CameraTracks(const FtkCameraMotion& motion, KDuzNode* node, KDuzNode* target) {
    const bool move = AnimatedTrack(motion.pos.keyCount, motion.pos.keys);
    PlaceStatic(motion.pos, node, PositionScale(), move);
    KDuzTakeNode* take = TakeNodeOf(node);
    if (take == nullptr) return;
    PositionTrack(motion.pos, take, PositionScale(), move, mFilter);
    auto* camera = dynamic_cast<KDuzCamera*>(node->GetNodeAttribute());
    ScalarTrack(motion.fov, take->GetFieldOfViewCurve(), AnimatedTrack(motion.fov.keyCount, motion.fov.keys), mFilter,
                45.0, [camera](double v) {
                    if (camera != nullptr) camera->SetFieldOfView(v);
                });
    ScalarTrack(motion.roll, take->GetRollCurve(), AnimatedTrack(motion.roll.keyCount, motion.roll.keys), mFilter,
                0.0, [camera](double v) {
                    if (camera != nullptr) camera->SetRoll(v);
                });
    const bool moveTarget = AnimatedTrack(motion.targetPos.keyCount, motion.targetPos.keys);
    PlaceStatic(motion.targetPos, target, PositionScale(), moveTarget);
    KDuzTakeNode* targetTake = TakeNodeOf(target);
    if (targetTake == nullptr) return;
    PositionTrack(motion.targetPos, targetTake, PositionScale(), moveTarget, mFilter);
}

template <typename Track>
void KDuzReader3DS::WidenSpan(const Track& track, bool staticKey) {
    int64_t first = 0;
    int64_t last = -1;
    if (AnimatedTrack(track.keyCount, track.keys) && track.values != nullptr) {
        // The first key is always kept, the latest one too.
        first = track.keys[0].time;
        for (uint32_t i = 0; i < track.keyCount; ++i) last = std::max<int64_t>(last, track.keys[i].time);
    } else if (staticKey) {
        first = last = 0;
    }
    if (last < first) return;
    if (mLastFrame < mFirstFrame) {
        mFirstFrame = first;
        mLastFrame = last;
        return;
    }
    mFirstFrame = std::min(mFirstFrame, first);
    mLastFrame = std::max(mLastFrame, last);
}

bool KDuzReader3DS::ReadTracks() {
    // The span of the take comes from the records: asking the root node
    // for it walks child lists that cost a scan per child.
    mFirstFrame = 0;
    mLastFrame = -1;
    for (const FtkObjectMotion* motion : mObjectMotions) {
        WidenSpan(motion->pos, false);
        WidenSpan(motion->rot, false);
        WidenSpan(motion->scale, false);
    }
    for (const FtkOmniMotion* motion : mOmniMotions) {
        WidenSpan(motion->pos, false);
        WidenSpan(motion->color, true);
    }
    for (const FtkSpotMotion* motion : mSpotMotions) {
        WidenSpan(motion->pos, false);
        WidenSpan(motion->color, true);
        WidenSpan(motion->hotspot, true);
        WidenSpan(motion->targetPos, false);
    }
    for (const FtkCameraMotion* motion : mCameraMotions) {
        WidenSpan(motion->pos, false);
        WidenSpan(motion->fov, true);
        WidenSpan(motion->roll, true);
        WidenSpan(motion->targetPos, false);
    }
    for (size_t i = 0; i < mObjectNodes.size(); ++i) {
        if (!ObjectTracks(*mObjectMotions[i], mObjectNodes[i])) return false;
    }
    for (size_t i = 0; i < mOmniNodes.size(); ++i) {
        const int l = mOmniMotionLight[i];
        OmniTracks(*mOmniMotions[i], mOmniNodes[i], l >= 0 ? mOmniRecords[static_cast<size_t>(l)] : nullptr);
    }
    for (size_t i = 0; i < mSpotNodes.size(); ++i) {
        const int l = mSpotMotionLight[i];
        SpotTracks(*mSpotMotions[i], mSpotNodes[i], mSpotTargetNodes[i],
                   l >= 0 ? mSpotRecords[static_cast<size_t>(l)] : nullptr);
    }
    for (size_t i = 0; i < mCameraNodes.size(); ++i)
        CameraTracks(*mCameraMotions[i], mCameraNodes[i], mCameraTargetNodes[i]);
    return true;
}

}  // namespace duzsdk
