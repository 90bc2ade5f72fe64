// Keyframer nodes of the 3DS writer: one motion record per written object,
// the current take sampled once per frame into 3DS tracks.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"

namespace duzsdk {

namespace {

constexpr int kFrameMode = 6;  // 30 frames a second
constexpr int64_t kTicksPerFrame = KTime::kTicksPerSecond / 30;

KTime FrameTime(int frame) { return KTime(static_cast<int64_t>(frame) * kTicksPerFrame); }

void SetKey(FtkKeyHeader& key, int frame) {
    key = FtkKeyHeader{};
    key.time = static_cast<uint32_t>(frame);
    key.rflags = kFtkKeyTension | kFtkKeyContinuity | kFtkKeyBias;
}

bool IsWrittenObject(const KDuzNode* node) {
    const KDuzObject* attribute = node->GetNodeAttribute();
    if (attribute == nullptr) return false;
    const int type = KDuzNode::GetAttributeTypeOf(attribute);
    return type == KDuzNodeAttribute::eMesh || type == KDuzNodeAttribute::eNurb || type == KDuzNodeAttribute::ePatch ||
           type == KDuzNodeAttribute::eLight || type == KDuzNodeAttribute::eCamera;
}

std::string Cut(const char* text, size_t length) {
    std::string s(text != nullptr ? text : "");
    if (s.size() > length) s.resize(length);
    return s;
}

// The curves of one record: the take's own where they have keys, one-key
// stand-ins holding the current value otherwise.
class Channels {
public:
    KFCurve* Use(KFCurve* curve, bool animated, double value) {
        if (animated && curve != nullptr && curve->KeyGetCount() > 0) return curve;
        auto stand = std::make_unique<KFCurve>();
        const int index = stand->KeyAdd(KTime(0));
        if (index >= 0) stand->KeySetValue(index, static_cast<float>(value));
        else stand->SetDefaultValue(static_cast<float>(value));
        mOwned.push_back(std::move(stand));
        return mOwned.back().get();
    }

private:
    std::vector<std::unique_ptr<KFCurve>> mOwned;
};

struct Trs {
    KFCurve* t[3] = {};
    KFCurve* r[3] = {};
    KFCurve* s[3] = {};
};

Trs NodeCurves(KDuzNode* node, bool animated, Channels& channels) {
    Trs out;
    KFCurve* curves[3][3] = {};
    KDuzTakeNode* take = animated ? node->GetCurrentTakeNode() : nullptr;
    if (take != nullptr && take->GetCurveNode() != nullptr)
        take->GetCurveNode()->GetTRSCurves(curves[0], curves[1], curves[2]);
    const duzVectorTemplate3<double> local[3] = {node->GetLclTranslation(), node->GetLclRotation(),
                                                 node->GetLclScaling()};
    KFCurve** outs[3] = {out.t, out.r, out.s};
    for (int g = 0; g < 3; ++g)
        for (int a = 0; a < 3; ++a) outs[g][a] = channels.Use(curves[g][a], animated, local[g][a]);
    return out;
}

void Evaluate3(KFCurve* const curves[3], KTime time, double out[3]) {
    for (int a = 0; a < 3; ++a) out[a] = curves[a]->Evaluate(time);
}

void RotationMatrixAt(KFCurve* const curves[3], KTime time, double m[16]) {
    double r[3];
    Evaluate3(curves, time, r);
    KgeMatrixComposeTRS(m, std::array<double, 3>{0, 0, 0}.data(), r, std::array<double, 3>{1, 1, 1}.data());
}

// The node's orientation at a frame in its parent's space, from its whole
// transform: pre- and post-rotation included (a camera or light read from
// another format is turned by its post-rotation), scaling taken out. The
// rows of the upper 3x3 are the node's axes.
void OrientationAt(KDuzNode* node, bool animated, KTime time, double m[16]) {
    KgeMatrix local = animated ? node->GetGlobalTransformAtTime(time) : node->GetGlobalTransform();
    if (KDuzNode* parent = node->GetParent()) {
        const KgeMatrix parentGlobal = animated ? parent->GetGlobalTransformAtTime(time) : parent->GetGlobalTransform();
        // Row vectors: global = local x parent's global.
        local = parentGlobal.InverseOrthogonal().MultiplyAffine(local);
    }
    const double* e = local.Data();
    for (int row = 0; row < 4; ++row) {
        const double length = row < 3 ? std::sqrt(e[4 * row] * e[4 * row] + e[4 * row + 1] * e[4 * row + 1] +
                                                  e[4 * row + 2] * e[4 * row + 2])
                                      : 0.0;
        for (int c = 0; c < 4; ++c) {
            const bool diagonal = row == c;
            m[4 * row + c] = row < 3 && c < 3 ? (length > 0.0 ? e[4 * row + c] / length : (diagonal ? 1.0 : 0.0))
                                              : (diagonal ? 1.0 : 0.0);
        }
    }
}

// Row vector times the rotation part.
void RowTimes(const double v[3], const double m[16], double out[3]) {
    for (int c = 0; c < 3; ++c) out[c] = v[0] * m[c] + v[1] * m[4 + c] + v[2] * m[8 + c];
}

}  // namespace

// ---- samplers ------------------------------------------------------------------------

bool KDuzWriter3DS::SamplePositionKeys(FtkKeyHeader* keys, FtkVector* values, KFCurve* const curves[3], int n) {
    for (int i = 0; i < n; ++i) {
        SetKey(keys[i], i);
        double p[3];
        Evaluate3(curves, FrameTime(i), p);
        values[i] = {static_cast<float>(p[0]), static_cast<float>(-p[2]), static_cast<float>(p[1])};
    }
    return true;
}

bool KDuzWriter3DS::SampleRotationKeys(FtkKeyHeader* keys, FtkRotKey* values, KFCurve* const curves[3], int n) {
    double previous[16];
    KgeMatrixComposeTRS(previous, std::array<double, 3>{0, 0, 0}.data(), std::array<double, 3>{0, 0, 0}.data(),
                        std::array<double, 3>{1, 1, 1}.data());
    for (int i = 0; i < n; ++i) {
        SetKey(keys[i], i);
        double current[16];
        RotationMatrixAt(curves, FrameTime(i), current);
        double inverse[16];
        KgeMatrixCopy(inverse, previous);
        KgeMatrixInverseOrthogonal(inverse, previous);
        double relative[16];
        KgeMatrixCopy(relative, current);
        KgeMatrixMultiplyAffine(relative, current, inverse);
        double q[4];
        KgeMatrixToQuaternion(q, relative);
        const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
        if (length > 0.0) {
            q[0] /= length;
            q[1] /= length;
            q[2] /= length;
        }
        // Rounding can put w a hair past 1, where acos has no value.
        const double w = std::clamp(q[3], -1.0, 1.0);
        FtkRotKey key;
        key.angle = static_cast<float>(-2.0 * std::acos(w));
        key.x = static_cast<float>(q[0]);
        key.y = static_cast<float>(-q[2]);
        key.z = static_cast<float>(q[1]);
        if (std::fabs(key.angle) < 1e-5f && std::fabs(key.x) < 1e-5f && std::fabs(key.y) < 1e-5f &&
            std::fabs(key.z) < 1e-5f) {
            key = FtkRotKey{0.0f, -1.0f, 0.0f, 0.0f};
        }
        values[i] = key;
        KgeMatrixCopy(previous, current);
    }
    return true;
}

bool KDuzWriter3DS::SampleScaleKeys(FtkKeyHeader* keys, FtkVector* values, KFCurve* const curves[3], int n) {
    for (int i = 0; i < n; ++i) {
        SetKey(keys[i], i);
        double s[3];
        Evaluate3(curves, FrameTime(i), s);
        if (std::fabs(s[0]) < 1e-5 && std::fabs(s[1]) < 1e-5 && std::fabs(s[2]) < 1e-5) s[0] = s[1] = s[2] = 1.0;
        values[i] = {static_cast<float>(s[0]), static_cast<float>(s[2]), static_cast<float>(s[1])};
    }
    return true;
}

bool KDuzWriter3DS::SampleColorKeys(FtkKeyHeader* keys, FtkVector* values, KFCurve* const curves[3], int n) {
    for (int i = 0; i < n; ++i) {
        SetKey(keys[i], i);
        double c[3];
        Evaluate3(curves, FrameTime(i), c);
        values[i] = {static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])};
    }
    return true;
}

bool KDuzWriter3DS::SampleFloatKeys(FtkKeyHeader* keys, float* values, KFCurve* curve, int n) {
    for (int i = 0; i < n; ++i) {
        SetKey(keys[i], i);
        values[i] = curve->Evaluate(FrameTime(i));
    }
    return true;
}

// ---- hierarchy -----------------------------------------------------------------------

int KDuzWriter3DS::KeyCount(KDuzNode* node) const {
    if (!mAnimationEnabled) return 1;
    KTime start(0), stop(0);
    if (KDuzTakeNode* take = node->GetCurrentTakeNode()) take->GetAnimationInterval(start, stop);
    const int64_t end = stop.GetFrame(true, kFrameMode);
    return end < 0 ? 1 : static_cast<int>(std::min<int64_t>(end, 0x7ffffffe)) + 1;
}

std::string KDuzWriter3DS::ParentName(const KDuzNode* node, bool objectMotion) const {
    const KDuzNode* parent = node != nullptr ? node->GetParent() : nullptr;
    if (parent == nullptr) return std::string();
    if (IsWrittenObject(parent)) return Cut(parent->GetName(), 20);
    if (objectMotion && std::strncmp(parent->GetName(), "Duz_Roo", 7) == 0)
        return mReferenceNode ? std::string("$$$DUMMY.RootNod") : std::string();
    return "$$$DUMMY." + std::string(parent->GetName());
}

// ---- motion records ------------------------------------------------------------------

FtkObjectMotion* KDuzWriter3DS::WriteObjectMotion(KDuzNode* node) {
    if (node == nullptr) return nullptr;
    const int n = KeyCount(node);
    FtkObjectMotion* motion = nullptr;
    FtkObjectMotionInit(&motion, n, n, n, 0, 0);
    if (motion == nullptr || motion->pos.keys == nullptr || motion->rot.keys == nullptr ||
        motion->scale.keys == nullptr) {
        if (motion != nullptr) FtkObjectMotionRelease(&motion);
        return nullptr;
    }
    FtkCopyName(motion->name, sizeof motion->name, node->GetName());
    FtkCopyName(motion->parent, sizeof motion->parent, ParentName(node, true).c_str());
    Channels channels;
    const Trs trs = NodeCurves(node, mAnimationEnabled, channels);
    SamplePositionKeys(motion->pos.keys, motion->pos.values, trs.t, n);
    SampleRotationKeys(motion->rot.keys, motion->rot.values, trs.r, n);
    SampleScaleKeys(motion->scale.keys, motion->scale.values, trs.s, n);
    return motion;
}

FtkOmniMotion* KDuzWriter3DS::WriteOmniMotion(KDuzNode* node) {
    auto* light = node != nullptr ? dynamic_cast<KDuzLight*>(node->GetNodeAttribute()) : nullptr;
    if (light == nullptr) return nullptr;
    const int n = KeyCount(node);
    FtkOmniMotion* motion = nullptr;
    FtkOmniMotionInit(&motion, n, n);
    if (motion == nullptr || motion->pos.keys == nullptr || motion->color.keys == nullptr) {
        if (motion != nullptr) FtkOmniMotionRelease(&motion);
        return nullptr;
    }
    FtkCopyName(motion->name, sizeof motion->name, node->GetName());
    FtkCopyName(motion->parent, sizeof motion->parent, ParentName(node, false).c_str());
    Channels channels;
    const Trs trs = NodeCurves(node, mAnimationEnabled, channels);
    KDuzTakeNode* take = mAnimationEnabled ? node->GetCurrentTakeNode() : nullptr;
    const KDuzRGBAColor colour = light->GetColor();
    KFCurve* colours[3] = {channels.Use(take ? take->GetColorXCurve() : nullptr, mAnimationEnabled, colour.mRed),
                           channels.Use(take ? take->GetColorYCurve() : nullptr, mAnimationEnabled, colour.mGreen),
                           channels.Use(take ? take->GetColorZCurve() : nullptr, mAnimationEnabled, colour.mBlue)};
    SamplePositionKeys(motion->pos.keys, motion->pos.values, trs.t, n);
    SampleColorKeys(motion->color.keys, motion->color.values, colours, n);
    return motion;
}

namespace {

// The target of a light or camera that looks at a node: that node's
// translation, sampled over the wider of the two intervals (at least the
// node's own n keys), and the target's parent name. Without a look-at node,
// n keys and an empty parent name (the caller's own parent applies).
struct TargetSource {
    int keyCount = 0;
    KFCurve* curves[3] = {};
    std::string parent;
};

TargetSource LookAtTarget(KDuzNode* node, bool animationEnabled, int n, Channels& channels) {
    TargetSource target;
    target.keyCount = n;
    KDuzNode* lookAt = node->GetLookAtTarget();
    if (lookAt == nullptr) return target;
    KTime start(0), stop(0);
    if (KDuzTakeNode* own = node->GetCurrentTakeNode()) own->GetAnimationInterval(start, stop);
    if (KDuzTakeNode* other = lookAt->GetCurrentTakeNode()) other->GetAnimationInterval(start, stop);
    const int64_t end = stop.GetFrame(true, kFrameMode);
    const int m = animationEnabled ? static_cast<int>(std::clamp<int64_t>(end, 0, 0x7ffffffe)) + 1 : 1;
    target.keyCount = std::max(m, n);
    KDuzTakeNode* targetTake = animationEnabled ? lookAt->GetCurrentTakeNode() : nullptr;
    KFCurve* z = targetTake != nullptr ? targetTake->GetTranslationZCurve() : nullptr;
    const bool animated = z != nullptr && z->KeyGetCount() >= 2;
    const duzVectorTemplate3<double> t = lookAt->GetLclTranslation();
    target.curves[0] = channels.Use(animated ? targetTake->GetTranslationXCurve() : nullptr, animated, t[0]);
    target.curves[1] = channels.Use(animated ? targetTake->GetTranslationYCurve() : nullptr, animated, t[1]);
    target.curves[2] = channels.Use(animated ? z : nullptr, animated, t[2]);
    target.parent = IsWrittenObject(lookAt) ? Cut(lookAt->GetName(), 20) : "$$$DUMMY." + std::string(lookAt->GetName());
    return target;
}

}  // namespace

FtkSpotMotion* KDuzWriter3DS::WriteSpotMotion(KDuzNode* node) {
    auto* light = node != nullptr ? dynamic_cast<KDuzLight*>(node->GetNodeAttribute()) : nullptr;
    if (light == nullptr) return nullptr;
    const int n = KeyCount(node);
    Channels channels;
    const Trs trs = NodeCurves(node, mAnimationEnabled, channels);
    KDuzTakeNode* take = mAnimationEnabled ? node->GetCurrentTakeNode() : nullptr;

    KDuzNode* lookAt = node->GetLookAtTarget();
    TargetSource target = LookAtTarget(node, mAnimationEnabled, n, channels);
    const int m = target.keyCount;
    KFCurve** targetCurves = target.curves;
    const std::string targetParent = lookAt != nullptr ? target.parent : ParentName(node, false);

    FtkSpotMotion* motion = nullptr;
    FtkSpotMotionInit(&motion, n, n, n, n, 1, m);
    if (motion == nullptr || motion->pos.keys == nullptr || motion->targetPos.keys == nullptr ||
        motion->roll.keys == nullptr || motion->hotspot.keys == nullptr || motion->falloff.keys == nullptr ||
        motion->color.keys == nullptr) {
        if (motion != nullptr) FtkSpotMotionRelease(&motion);
        return nullptr;
    }
    FtkCopyName(motion->name, sizeof motion->name, node->GetName());
    FtkCopyName(motion->parent, sizeof motion->parent, ParentName(node, false).c_str());
    FtkCopyName(motion->targetParent, sizeof motion->targetParent, targetParent.c_str());

    const KDuzRGBAColor colour = light->GetColor();
    KFCurve* colours[3] = {channels.Use(take ? take->GetColorXCurve() : nullptr, mAnimationEnabled, colour.mRed),
                           channels.Use(take ? take->GetColorYCurve() : nullptr, mAnimationEnabled, colour.mGreen),
                           channels.Use(take ? take->GetColorZCurve() : nullptr, mAnimationEnabled, colour.mBlue)};
    KFCurve* cone = channels.Use(take ? take->GetConeAngleCurve() : nullptr, mAnimationEnabled, light->GetConeAngle());
    SamplePositionKeys(motion->pos.keys, motion->pos.values, trs.t, n);
    SampleColorKeys(motion->color.keys, motion->color.values, colours, n);
    SampleFloatKeys(motion->hotspot.keys, motion->hotspot.values, cone, n);
    SampleFloatKeys(motion->falloff.keys, motion->falloff.values, cone, n);
    SetKey(motion->roll.keys[0], 0);
    motion->roll.values[0] = 0.0f;

    if (lookAt != nullptr) {
        SamplePositionKeys(motion->targetPos.keys, motion->targetPos.values, targetCurves, m);
    } else {
        // Ten units down the light's own -Y axis, in scene axes.
        for (int i = 0; i < m; ++i) {
            double p[3], rotation[16], target[3];
            Evaluate3(trs.t, FrameTime(i), p);
            OrientationAt(node, mAnimationEnabled, FrameTime(i), rotation);
            const double down[3] = {0.0, -10.0, 0.0};
            RowTimes(down, rotation, target);
            SetKey(motion->targetPos.keys[i], i);
            const double t[3] = {p[0] + target[0], p[1] + target[1], p[2] + target[2]};
            motion->targetPos.values[i] = {static_cast<float>(t[0]), static_cast<float>(-t[2]), static_cast<float>(t[1])};
        }
    }
    return motion;
}

FtkCameraMotion* KDuzWriter3DS::WriteCameraMotion(KDuzNode* node) {
    auto* camera = node != nullptr ? dynamic_cast<KDuzCamera*>(node->GetNodeAttribute()) : nullptr;
    if (camera == nullptr) return nullptr;
    const int n = KeyCount(node);
    Channels channels;
    const Trs trs = NodeCurves(node, mAnimationEnabled, channels);
    KDuzTakeNode* take = mAnimationEnabled ? node->GetCurrentTakeNode() : nullptr;

    // Field of view across the film's width; a film without height keeps
    // the angle as it is.
    const double height = camera->GetFilmHeight();
    const double ratio = (height != 0.0 ? camera->GetFilmWidth() / height : 1.0) * camera->GetFilmSqueezeRatio();
    auto widen = [ratio](double degrees) {
        return 2.0 * std::atan(std::tan(degrees / 2.0 * kKgeDegreesToRadians) * ratio) * kKgeRadiansToDegrees;
    };
    KFCurve* fovCurve = take != nullptr ? take->GetFieldOfViewCurve() : nullptr;
    const bool fovKeys = fovCurve != nullptr && fovCurve->KeyGetCount() > 0;
    double fovValue = 0.0;
    switch (static_cast<int>(camera->GetApertureMode())) {
        case 1: fovValue = camera->GetFieldOfView(); break;
        case 0: fovValue = camera->GetFieldOfViewX(); break;
        case 3: fovValue = camera->ComputeFieldOfView(camera->GetFocalLength()); break;
        default: fovValue = widen(camera->GetFieldOfView()); break;
    }
    KFCurve* fovStand = fovKeys ? nullptr : channels.Use(nullptr, false, fovValue);
    KFCurve* roll = channels.Use(take ? take->GetRollCurve() : nullptr, mAnimationEnabled, camera->GetRoll());

    KDuzNode* lookAt = node->GetLookAtTarget();
    TargetSource target = LookAtTarget(node, mAnimationEnabled, n, channels);
    const int m = target.keyCount;
    KFCurve** targetCurves = target.curves;
    const std::string targetParent = lookAt != nullptr ? target.parent : ParentName(node, false);

    FtkCameraMotion* motion = nullptr;
    FtkCameraMotionInit(&motion, n, n, n, m);
    if (motion == nullptr || motion->pos.keys == nullptr || motion->fov.keys == nullptr ||
        motion->roll.keys == nullptr || motion->targetPos.keys == nullptr) {
        if (motion != nullptr) FtkCameraMotionRelease(&motion);
        return nullptr;
    }
    FtkCopyName(motion->name, sizeof motion->name, node->GetName());
    FtkCopyName(motion->parent, sizeof motion->parent, ParentName(node, false).c_str());
    FtkCopyName(motion->targetParent, sizeof motion->targetParent, targetParent.c_str());
    SamplePositionKeys(motion->pos.keys, motion->pos.values, trs.t, n);
    for (int i = 0; i < n; ++i) {
        SetKey(motion->fov.keys[i], i);
        // The scene's curve is left as it is: each sample is widened instead.
        motion->fov.values[i] = static_cast<float>(fovKeys ? widen(fovCurve->Evaluate(FrameTime(i)))
                                                           : fovStand->Evaluate(FrameTime(i)));
    }

    if (lookAt != nullptr) {
        SampleFloatKeys(motion->roll.keys, motion->roll.values, roll, n);
        SamplePositionKeys(motion->targetPos.keys, motion->targetPos.values, targetCurves, m);
        return motion;
    }
    for (int i = 0; i < n; ++i) {
        const KTime time = FrameTime(i);
        double p[3], rotation[16];
        Evaluate3(trs.t, time, p);
        OrientationAt(node, mAnimationEnabled, time, rotation);
        const double ahead[3] = {10.0, 0.0, 0.0};
        double d[3];
        RowTimes(ahead, rotation, d);
        const double target[3] = {p[0] + d[0], p[1] + d[1], p[2] + d[2]};
        SetKey(motion->targetPos.keys[i], i);
        motion->targetPos.values[i] = {static_cast<float>(target[0]), static_cast<float>(-target[2]),
                                       static_cast<float>(target[1])};
        const double upAxis[3] = {0.0, 0.0, 1.0};
        double v[3];
        RowTimes(upAxis, rotation, v);
        double r = 90.0 - std::acos(std::clamp(v[1], -1.0, 1.0)) * 180.0 / 3.1416;
        const double u[3] = {v[0] + p[0], v[1] + p[1], v[2] + p[2]};
        // W = T x (0, 1, 0)
        const double w[3] = {-target[2], 0.0, target[0]};
        auto distance = [](const double a[3], const double b[3]) {
            return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
        };
        const double minusW[3] = {-w[0], -w[1], -w[2]};
        if (distance(minusW, u) <= distance(w, u)) r = -r;
        SetKey(motion->roll.keys[i], i);
        motion->roll.values[i] = static_cast<float>(r + roll->Evaluate(time));
    }
    return motion;
}

}  // namespace duzsdk
