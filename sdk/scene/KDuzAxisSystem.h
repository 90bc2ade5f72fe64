// A scene's coordinate convention: which axis points up, which points to the
// front, and the sign of the remaining axis, which fixes the handedness.
#pragma once

namespace duzsdk {

class KDuzAxisSystem {
public:
    enum EAxis : int { eXAxis = 0, eYAxis = 1, eZAxis = 2 };
    enum ECoordSystem : int { eRightHanded = 0, eLeftHanded = 1 };

    // The default convention: Y up, Z front, X coordinate, right-handed.
    constexpr KDuzAxisSystem() = default;

    // up: +/-1 X, +/-2 Y, +/-3 Z, the sign giving the up direction.
    // front: +/-1 the first, +/-2 the second of the two axes left once the up
    // axis is taken out, the sign giving the front direction.
    // coordSystem: 0 right-handed, anything else left-handed.
    // Arguments outside those ranges give the default convention rather
    // than axis numbers that callers would use as array indices.
    constexpr KDuzAxisSystem(int up, int front, int coordSystem)
    {
        const long long upAbs = up < 0 ? -static_cast<long long>(up) : up;
        const long long frontAbs = front < 0 ? -static_cast<long long>(front) : front;
        if (upAbs < 1 || upAbs > 3 || frontAbs < 1 || frontAbs > 2) return;
        mUpAxis = static_cast<int>(upAbs) - 1;
        mUpSign = up >= 0 ? 1 : -1;
        int remaining[2] = {0, 0};
        int n = 0;
        for (int axis = 0; axis < 3; ++axis) {
            if (axis != mUpAxis) remaining[n++] = axis;
        }
        mFrontAxis = remaining[frontAbs - 1];
        mFrontSign = front >= 0 ? 1 : -1;
        mCoordAxis = remaining[2 - frontAbs];
        mCoordSign = mUpSign * mFrontSign * ParitySigns(mUpAxis, mFrontAxis) * (coordSystem == 0 ? 1 : -1);
    }

    constexpr KDuzAxisSystem(const KDuzAxisSystem&) = default;
    constexpr KDuzAxisSystem& operator=(const KDuzAxisSystem&) = default;
    void Assign(const KDuzAxisSystem& other) { *this = other; }

    // 1 for an X up axis, 3 for Z, 2 otherwise; the up sign goes to `sign`.
    constexpr int GetUpVector(int& sign) const
    {
        sign = mUpSign;
        return mUpAxis == eXAxis ? 1 : (mUpAxis == eZAxis ? 3 : 2);
    }
    // 0 right-handed, 1 left-handed; the inverse of the constructor's rule.
    constexpr int GetCoordSystem() const
    {
        return mCoordSign * mFrontSign * mUpSign * ParitySigns(mUpAxis, mFrontAxis) == 1 ? eRightHanded
                                                                                      : eLeftHanded;
    }

    constexpr int GetUpAxis() const { return mUpAxis; }
    constexpr int GetUpSign() const { return mUpSign; }
    constexpr int GetFrontAxis() const { return mFrontAxis; }
    constexpr int GetFrontSign() const { return mFrontSign; }
    constexpr int GetCoordAxis() const { return mCoordAxis; }
    constexpr int GetCoordSign() const { return mCoordSign; }

    // Sets the six fields as stored (in files, in properties). False, and the
    // system unchanged, unless the axes are 0..2 and distinct and every sign
    // is +1 or -1.
    bool SetFields(int upAxis, int upSign, int frontAxis, int frontSign, int coordAxis, int coordSign);
    static bool AreValidFields(int upAxis, int upSign, int frontAxis, int frontSign, int coordAxis,
                               int coordSign);

    constexpr bool operator==(const KDuzAxisSystem& other) const = default;

private:
    // s1 x s2 of the handedness rule: -1 for neighbouring up and front axes,
    // times -1 when the up axis comes first.
    static constexpr int ParitySigns(int upAxis, int frontAxis)
    {
        const int diff = upAxis > frontAxis ? upAxis - frontAxis : frontAxis - upAxis;
        const int s1 = diff == 1 ? -1 : 1;
        const int s2 = upAxis < frontAxis ? -1 : 1;
        return s1 * s2;
    }

    int mUpAxis = eYAxis;
    int mUpSign = 1;
    int mFrontAxis = eZAxis;
    int mFrontSign = 1;
    int mCoordAxis = eXAxis;
    int mCoordSign = 1;
};

// The conventions of the common content tools; three share the default.
enum EDuzPredefinedAxisSystem : int {
    eDuzAxisSystemZUp = 0,          // (3, -2, 0)
    eDuzAxisSystemZUpAlt = 1,       // (3, -2, 0)
    eDuzAxisSystemYUp = 2,          // (2, 2, 0), the default of the global settings
    eDuzAxisSystemYUpAlt = 3,       // (2, 2, 0)
    eDuzAxisSystemYUpGL = 4,        // (2, 2, 0)
    eDuzAxisSystemYUpLeft = 5,      // (2, 2, 1)
    eDuzAxisSystemYUpLeftAlt = 6,   // (2, 2, 1)
    eDuzAxisSystemPredefinedCount = 7,
};

inline constexpr KDuzAxisSystem kDuzPredefinedAxisSystems[eDuzAxisSystemPredefinedCount] = {
    KDuzAxisSystem(3, -2, 0), KDuzAxisSystem(3, -2, 0), KDuzAxisSystem(2, 2, 0), KDuzAxisSystem(2, 2, 0),
    KDuzAxisSystem(2, 2, 0),  KDuzAxisSystem(2, 2, 1),  KDuzAxisSystem(2, 2, 1),
};

// The predefined system; the default convention for an unknown index.
const KDuzAxisSystem& KDuzGetPredefinedAxisSystem(int which);

}  // namespace duzsdk
