#include "sdk/scene/KDuzNodeLimitsAccessor.h"

#include <cmath>

#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeLimits.h"

namespace duzsdk {

namespace {

constexpr int kSphericXYZ = 6;

KgeTVector Zero() { return KgeTVector(0.0, 0.0, 0.0, 1.0); }

}  // namespace

KDuzLimits* KDuzNodeLimitsAccessor::Limits(int kind) const {
    if (mNode == nullptr || mNode->GetLimits() == nullptr) return nullptr;
    return mNode->GetLimits()->GetLimits(kind);
}

bool KDuzNodeLimitsAccessor::GetAuto(int kind) const {
    const KDuzLimits* limits = Limits(kind);
    return limits == nullptr || !limits->GetActive();
}

void KDuzNodeLimitsAccessor::SetAuto(int kind, bool on) {
    KDuzLimits* limits = Limits(kind);
    if (limits == nullptr) return;
    limits->SetActive(!on);
    if (kind == eDuzLimitRotation && !on) mNode->SetRotationActive(true);
}

bool KDuzNodeLimitsAccessor::GetEnable(int kind) const {
    const KDuzLimits* limits = Limits(kind);
    return limits != nullptr && limits->IsLimited();
}

void KDuzNodeLimitsAccessor::SetEnable(int kind, bool on) {
    KDuzLimits* limits = Limits(kind);
    if (limits == nullptr || GetEnable(kind) == on) return;
    limits->SetMinActive(on, on, on);
    limits->SetMaxActive(on, on, on);
}

KgeTVector KDuzNodeLimitsAccessor::GetDefault(int kind) const {
    const KDuzLimits* limits = Limits(kind);
    if (limits == nullptr) return Zero();
    return kind == eDuzLimitRotation ? mNode->GetPreRotation(0) : limits->GetMin();
}

void KDuzNodeLimitsAccessor::SetDefault(int kind, const KgeTVector& v) {
    KDuzLimits* limits = Limits(kind);
    if (limits == nullptr) return;
    if (kind == eDuzLimitRotation) {
        mNode->SetPreRotation(0, v);
        return;
    }
    limits->SetMin(v);
    limits->SetMax(v);
}

KgeTVector KDuzNodeLimitsAccessor::GetMin(int kind) const {
    const KDuzLimits* limits = Limits(kind);
    return limits != nullptr ? limits->GetMin() : Zero();
}

KgeTVector KDuzNodeLimitsAccessor::GetMax(int kind) const {
    const KDuzLimits* limits = Limits(kind);
    return limits != nullptr ? limits->GetMax() : Zero();
}

void KDuzNodeLimitsAccessor::SetLimitValues(int kind, const KgeTVector& v) {
    if (KDuzLimits* limits = Limits(kind)) limits->SetMax(v);
}

int KDuzNodeLimitsAccessor::GetRotationType() const { return GetRotationClampType() == 1 ? 0 : 1; }

int KDuzNodeLimitsAccessor::GetRotationClampType() const {
    if (mNode == nullptr) return 0;
    int order = 0;
    mNode->GetRotationOrder(0, order);
    return order == kSphericXYZ ? 1 : 0;
}

void KDuzNodeLimitsAccessor::SetRotationClamp(bool on) {
    if (mNode != nullptr) mNode->SetRotationOrder(0, on ? kSphericXYZ : 0);
}

KgeTVector KDuzNodeLimitsAccessor::GetRotationAxis() const {
    return mNode != nullptr ? mNode->GetPostRotation(0) : Zero();
}

void KDuzNodeLimitsAccessor::SetRotationAxis(const KgeTVector& v) {
    if (mNode != nullptr) mNode->SetPostRotation(0, v);
}

bool KgeEulerDiffers(const KgeTVector& a, const KgeTVector& b, double tolerance) {
    bool same = true;
    for (int i = 0; i < 3; ++i)
        if (std::fabs(a[i] - b[i]) > tolerance) same = false;
    if (same) return false;
    double ra[3];
    double rb[3];
    for (int i = 0; i < 3; ++i) {
        ra[i] = std::fmod(a[i], 360.0);
        rb[i] = std::fmod(b[i], 360.0);
    }
    const bool equivalent = std::fabs(std::fabs(ra[0] - rb[0]) - 180.0) <= tolerance &&
                            std::fabs(std::fabs(ra[1] + rb[1]) - 180.0) <= tolerance &&
                            std::fabs(std::fabs(ra[2] - rb[2]) - 180.0) <= tolerance;
    return !equivalent;
}

}  // namespace duzsdk
