#include "sdk/scene/KDuzAxisSystem.h"

namespace duzsdk {

bool KDuzAxisSystem::AreValidFields(int upAxis, int upSign, int frontAxis, int frontSign, int coordAxis,
                                    int coordSign)
{
    auto validAxis = [](int axis) { return axis >= 0 && axis <= 2; };
    auto validSign = [](int sign) { return sign == 1 || sign == -1; };
    return validAxis(upAxis) && validAxis(frontAxis) && validAxis(coordAxis) && upAxis != frontAxis &&
           upAxis != coordAxis && frontAxis != coordAxis && validSign(upSign) && validSign(frontSign) &&
           validSign(coordSign);
}

bool KDuzAxisSystem::SetFields(int upAxis, int upSign, int frontAxis, int frontSign, int coordAxis,
                               int coordSign)
{
    if (!AreValidFields(upAxis, upSign, frontAxis, frontSign, coordAxis, coordSign)) return false;
    mUpAxis = upAxis;
    mUpSign = upSign;
    mFrontAxis = frontAxis;
    mFrontSign = frontSign;
    mCoordAxis = coordAxis;
    mCoordSign = coordSign;
    return true;
}

const KDuzAxisSystem& KDuzGetPredefinedAxisSystem(int which)
{
    if (which < 0 || which >= eDuzAxisSystemPredefinedCount) which = eDuzAxisSystemYUp;
    return kDuzPredefinedAxisSystems[which];
}

}  // namespace duzsdk
