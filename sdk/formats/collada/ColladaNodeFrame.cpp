#include "sdk/formats/collada/ColladaNodeFrame.h"

#include <cmath>

#include "sdk/base/KgeQuaternion.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"

namespace duzsdk {

const char* const kColladaPostRotationInverseSids[3] = {"postRotationInverseX", "postRotationInverseY",
                                                         "postRotationInverseZ"};

const char* const kColladaAuthoringTool = "DUZ COLLADA exporter";
const char* const kColladaParentTurnInverseSid = "parentTurnInverse";

KgeMatrix ColladaAxisRotation(double x, double y, double z, double angle) {
    KgeMatrix matrix;
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0) || !std::isfinite(length) || !std::isfinite(angle)) return matrix;
    const double half = angle * 0.5 * 0.017453292519943295;
    const double s = std::sin(half) / length;
    matrix.SetQuaternionKeepTS(KgeQuaternion(x * s, y * s, z * s, std::cos(half)));
    return matrix;
}

KgeMatrix ColladaAttributeFrameTurn(KDuzObject* attribute) {
    switch (KDuzNode::GetAttributeTypeOf(attribute)) {
        case KDuzNodeAttribute::eCamera: return KgeMatrix::FromEulerXYZ(0.0, -90.0, 0.0);
        case KDuzNodeAttribute::eLight: {
            const int type = static_cast<KDuzLight*>(attribute)->GetLightType();
            if (type == 1 || type == 2) return KgeMatrix::FromEulerXYZ(-90.0, 0.0, 0.0);
            return KgeMatrix();
        }
        default: return KgeMatrix();
    }
}

KgeMatrix ColladaChildFrameFix(KDuzNode* parent, bool toDocument, bool afterTurn) {
    if (parent == nullptr) return KgeMatrix();
    const KgeMatrix turn = ColladaAttributeFrameTurn(parent->GetNodeAttribute());
    const KgeMatrix rotation = toDocument ? turn.InverseOrthogonal() : turn;
    if (!afterTurn) return rotation;
    const auto scaling = parent->GetLclScaling();
    const KgeTVector scale(scaling[0], scaling[1], scaling[2], 0.0);
    // A flat scale has no inverse: the turn alone is the best there is.
    if (!(scale[0] != 0.0 && scale[1] != 0.0 && scale[2] != 0.0)) return rotation;
    auto move = [](const KgeTVector& by, double sign) {
        KgeMatrix m;
        m.SetTRS(KgeTVector(sign * by[0], sign * by[1], sign * by[2], 0.0), KgeTVector(), KgeTVector(1.0, 1.0, 1.0, 0.0));
        return m;
    };
    KgeMatrix scaleMatrix;
    scaleMatrix.SetTRS(KgeTVector(), KgeTVector(), scale);
    const KgeTVector scalingPivot = parent->GetScalingPivot(0);
    const KgeMatrix after = move(parent->GetRotationPivot(0), -1.0)
                                .MultiplyAffine(move(parent->GetScalingOffset(0), 1.0))
                                .MultiplyAffine(move(scalingPivot, 1.0))
                                .MultiplyAffine(scaleMatrix)
                                .MultiplyAffine(move(scalingPivot, -1.0));
    return after.InverseOrthogonal().MultiplyAffine(rotation).MultiplyAffine(after);
}

void ColladaStackCheck::Add(Slot slot, int axis) {
    ++mCount;
    const bool repeatable = slot == kPre || slot == kRotate || slot == kPost || slot == kPostInverse;
    if (slot < mLast || (slot == mLast && !repeatable)) mFits = false;
    mLast = slot;
    switch (slot) {
        case kRotate:
            // Each axis once, or one rotation about any axis.
            if (axis < 0 ? mRotateCount > 0 : (mRotateAxes & (1 << axis)) != 0 || (mRotateAxes & 8) != 0)
                mFits = false;
            mRotateAxes |= axis < 0 ? 8 : 1 << axis;
            ++mRotateCount;
            break;
        case kPre:
        case kPost: {
            int& last = slot == kPre ? mPreLastAxis : mPostLastAxis;
            if (axis < 0 ? last != 3 : axis >= last) mFits = false;
            last = axis < 0 ? -1 : axis;
            if (slot == kPost) mPost = true;
            break;
        }
        case kPostInverse: mPostInverse = true; break;
        default: break;
    }
}

void ColladaStackCheck::AddPivot(Slot slot, const KgeTVector& value) {
    Add(slot, -1);
    const int index = slot == kRotationPivot ? 0 : slot == kRotationPivotInverse ? 1 : slot == kScalingPivot ? 2 : 3;
    mPivots[index] = value;
    mHasPivot[index] = true;
}

void ColladaStackCheck::AddMatrix() {
    ++mCount;
    mMatrix = true;
}

bool ColladaStackCheck::Fits() const {
    if (mMatrix) return mCount == 1;
    if (!mFits || (mPost && mPostInverse)) return false;
    // Each pivot must be undone by its inverse, as our transform does.
    for (int pair = 0; pair < 4; pair += 2) {
        if (!mHasPivot[pair] && !mHasPivot[pair + 1]) continue;
        if (mHasPivot[pair] != mHasPivot[pair + 1]) return false;
        for (int c = 0; c < 3; ++c) {
            const double p = mPivots[pair][c];
            if (std::fabs(p + mPivots[pair + 1][c]) > 1e-6 * std::fmax(1.0, std::fabs(p))) return false;
        }
    }
    return true;
}

}  // namespace duzsdk
