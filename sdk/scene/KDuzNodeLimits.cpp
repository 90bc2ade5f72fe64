#include "sdk/scene/KDuzNodeLimits.h"

#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeTransform.h"

namespace duzsdk {

KDuzLimits::KDuzLimits(KDuzNodeTransformEvaluation* record, int kind)
    : mRecord(record), mOwned(record == nullptr), mKind(kind) {
    if (mOwned) mRecord = new KDuzNodeTransformEvaluation();
}

KDuzLimits::~KDuzLimits() {
    if (mOwned) delete mRecord;
}

KDuzNodeLimitRecord* KDuzLimits::Limits() const {
    return mRecord != nullptr ? mRecord->LimitsOfKind(mKind) : nullptr;
}

namespace {

void SetBits(KDuzNodeLimitRecord* record, int first, bool x, bool y, bool z) {
    if (record == nullptr) return;
    const bool on[3] = {x, y, z};
    for (int axis = 0; axis < 3; ++axis) {
        const int bit = first << axis;
        record->flags = on[axis] ? (record->flags | bit) : (record->flags & ~bit);
    }
    KDuzNode::TouchTransforms();
}

void GetBits(const KDuzNodeLimitRecord* record, int first, bool& x, bool& y, bool& z) {
    const int flags = record != nullptr ? record->flags : 0;
    x = (flags & first) != 0;
    y = (flags & (first << 1)) != 0;
    z = (flags & (first << 2)) != 0;
}

}  // namespace

void KDuzLimits::SetMinActive(bool x, bool y, bool z) { SetBits(Limits(), kDuzLimitMinX, x, y, z); }
void KDuzLimits::SetMaxActive(bool x, bool y, bool z) { SetBits(Limits(), kDuzLimitMaxX, x, y, z); }
void KDuzLimits::GetMinActive(bool& x, bool& y, bool& z) const { GetBits(Limits(), kDuzLimitMinX, x, y, z); }
void KDuzLimits::GetMaxActive(bool& x, bool& y, bool& z) const { GetBits(Limits(), kDuzLimitMaxX, x, y, z); }

bool KDuzLimits::IsLimited() const {
    const KDuzNodeLimitRecord* record = Limits();
    return record != nullptr && (record->flags & kDuzLimitAxisMask) != 0;
}

void KDuzLimits::SetMin(const KgeTVector& v) {
    if (KDuzNodeLimitRecord* record = Limits()) {
        for (int c = 0; c < 3; ++c) record->min[c] = v[c];
        KDuzNode::TouchTransforms();
    }
}

void KDuzLimits::SetMax(const KgeTVector& v) {
    if (KDuzNodeLimitRecord* record = Limits()) {
        for (int c = 0; c < 3; ++c) record->max[c] = v[c];
        KDuzNode::TouchTransforms();
    }
}

KgeTVector KDuzLimits::GetMin() const {
    const KDuzNodeLimitRecord* record = Limits();
    return record != nullptr ? KgeTVector(record->min[0], record->min[1], record->min[2], record->min[3])
                             : KgeTVector();
}

KgeTVector KDuzLimits::GetMax() const {
    const KDuzNodeLimitRecord* record = Limits();
    return record != nullptr ? KgeTVector(record->max[0], record->max[1], record->max[2], record->max[3])
                             : KgeTVector();
}

void KDuzLimits::CopyRecord(const KDuzLimits& other) {
    if (Limits() == nullptr || other.mRecord == nullptr || mRecord == nullptr) return;
    mRecord->Copy(*other.mRecord);
    KDuzNode::TouchTransforms();
}

void KDuzLimits::SetActive(bool active) {
    if (KDuzNodeLimitRecord* record = Limits()) {
        record->flags = active ? (record->flags | kDuzLimitActive) : (record->flags & ~kDuzLimitActive);
        KDuzNode::TouchTransforms();
    }
}

bool KDuzLimits::GetActive() const {
    const KDuzNodeLimitRecord* record = Limits();
    return record != nullptr && (record->flags & kDuzLimitActive) != 0;
}

// ---- the node's three handles -------------------------------------------------------

KDuzNodeLimits::KDuzNodeLimits(KDuzNode* node)
    : mTranslation(node != nullptr ? &node->GetTransformEvaluationRecord() : nullptr, eDuzLimitTranslation),
      mRotation(node != nullptr ? &node->GetTransformEvaluationRecord() : nullptr, eDuzLimitRotation),
      mScaling(node != nullptr ? &node->GetTransformEvaluationRecord() : nullptr, eDuzLimitScaling),
      mNode(node) {
    for (KDuzLimits* limits : {&mTranslation, &mRotation, &mScaling}) {
        limits->SetActive(false);
        limits->SetMinActive(false, false, false);
        limits->SetMaxActive(false, false, false);
    }
}

KDuzLimits* KDuzNodeLimits::GetLimits(int kind) {
    switch (kind) {
        case eDuzLimitTranslation:
            return &mTranslation;
        case eDuzLimitRotation:
            return &mRotation;
        case eDuzLimitScaling:
            return &mScaling;
        default:
            return nullptr;
    }
}

void KDuzNodeLimits::SetTranslationActive(bool active) { mTranslation.SetActive(active); }
bool KDuzNodeLimits::GetTranslationActive() const { return mTranslation.GetActive(); }
void KDuzNodeLimits::SetRotationActive(bool active) { mRotation.SetActive(active); }
bool KDuzNodeLimits::GetRotationActive() const { return mRotation.GetActive(); }
void KDuzNodeLimits::SetScalingActive(bool active) { mScaling.SetActive(active); }
bool KDuzNodeLimits::GetScalingActive() const { return mScaling.GetActive(); }

void KDuzNodeLimits::CopyLimits(const KDuzNodeLimits& other) {
    if (&other == this) return;
    const KDuzLimits* from[3] = {&other.mTranslation, &other.mRotation, &other.mScaling};
    KDuzLimits* to[3] = {&mTranslation, &mRotation, &mScaling};
    for (int i = 0; i < 3; ++i) {
        const KDuzNodeLimitRecord* source = from[i]->GetRecord() != nullptr
                                                ? from[i]->GetRecord()->LimitsOfKind(from[i]->GetKind())
                                                : nullptr;
        KDuzNodeLimitRecord* target =
            to[i]->GetRecord() != nullptr ? to[i]->GetRecord()->LimitsOfKind(to[i]->GetKind()) : nullptr;
        if (source != nullptr && target != nullptr) target->Copy(*source);
    }
    KDuzNode::TouchTransforms();
}

}  // namespace duzsdk
