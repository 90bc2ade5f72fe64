#include "sdk/character/KDuzCharacterParameterBlock.h"

#include <cstring>

namespace duzsdk {

namespace {

// The static rows. Values are kept in double so that the percentages of the
// working copy come out exact (0.6 gives 60, not 60.0000038).
constexpr KDuzCharacterParameterRow kStaticRows[kDuzCharacterParameterCount] = {
    {-1, 0, 6, 0, 0.0, 30.0, 0, 0, 0, 10.0, "PullIterationCount"},
    {-1, 0, 5, 0, 0.0, 2.0, 0, 1, 0, 0.0, "Posture"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 0, 0.0, "ForceActorSpace"},
    {-1, 2, 6, 0, 1.0, 1000.0, 0, 0, 1, 100.0, "ScaleCompensation"},
    {-1, 2, 3, 0, -1000.0, 1000.0, 0, 0, 1, 0.0, "HipsHeightCompensation"},
    {-1, 2, 3, 0, -1000.0, 1000.0, 0, 0, 1, 0.0, "AnkleHeightCompensation"},
    {-1, 2, 3, 0, -1000.0, 1000.0, 0, 0, 1, 0.0, "AnkleProximityCompensation"},
    {-1, 1, 6, 0, 0.0, 120.0, 0, 0, 1, 80.0, "MassCenterCompensation"},
    {-1, 1, 0, 0, 0.0, 100.0, 0, 0, 0, 0.0, "ApplyLimits"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ChestReduction"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CollarReduction"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "NeckReduction"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "HeadReduction"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "ReachActorLeftAnkle"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "ReachActorRightAnkle"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorLeftKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorRightKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorChest"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorHead"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorLeftWrist"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorRightWrist"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorLeftElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorRightElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorLeftFingerBase"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorRightFingerBase"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorLeftToesBase"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorRightToesBase"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorLeftFingerBaseRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorRightFingerBaseRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorLeftToesBaseRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorRightToesBaseRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "ReachActorLeftAnkleRotationRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "ReachActorRightAnkleRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorHeadRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorLeftWristRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorRightWristRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorChestRotation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ReachActorLowerChestRotation"},
    {-1, 0, 3, 0, -1000.0, 1000.0, 0, 0, 1, 0.0, "HipsTOffsetX"},
    {-1, 0, 3, 0, -1000.0, 1000.0, 0, 0, 1, 0.0, "HipsTOffsetY"},
    {-1, 0, 3, 0, -1000.0, 1000.0, 0, 0, 1, 0.0, "HipsTOffsetZ"},
    {-1, 0, 3, 0, -1000.0, 1000.0, 0, 0, 1, 0.0, "ChestTOffsetX"},
    {-1, 0, 3, 0, -1000.0, 1000.0, 0, 0, 1, 0.0, "ChestTOffsetY"},
    {-1, 0, 3, 0, -1000.0, 1000.0, 0, 0, 1, 0.0, "ChestTOffsetZ"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 0, 0.0, "FloorContact"},
    {44, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 7.5, "FootBottomToAnkle"},
    {44, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 4.5, "FootBackToAnkle"},
    {44, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 13.0, "FootMiddleToAnkle"},
    {44, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 7.0, "FootFrontToMiddle"},
    {44, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 5.0, "FootInToAnkle"},
    {44, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 5.0, "FootOutToAnkle"},
    {44, 0, 6, 0, 10.0, 1000.0, 0, 1, 1, 100.0, "ContactSize"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 0, 0.0, "AutomaticToes"},
    {-1, 0, 5, 0, 0.0, 3.0, 0, 0, 0, 0.0, "FloorPivot"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ParamFootContactStiffness"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 0, 0.0, "HandFloorContact"},
    {55, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 7.5, "HandBottomToWrist"},
    {55, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 4.5, "HandBackToWrist"},
    {55, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 13.0, "HandMiddleToWrist"},
    {55, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 7.0, "HandFrontToMiddle"},
    {55, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 5.0, "HandInToWrist"},
    {55, 0, 3, 0, 0.0, 10000.0, 0, 1, 1, 5.0, "HandOutToWrist"},
    {55, 0, 6, 0, 10.0, 1000.0, 0, 1, 1, 100.0, "HandContactSize"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 0, 0.0, "AutomaticFingers"},
    {-1, 0, 5, 0, 0.0, 3.0, 0, 0, 0, 0.0, "HandFloorPivot"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ParamHandContactStiffness"},
    {-1, 0, 5, 0, 0.0, 2.0, 0, 0, 0, 0.0, "RollExtractionMode"},
    {-1, 1, 1, 0, 0.0, 1.0, 0, 0, 0, 0.6, "LeftUpLegRoll"},
    {-1, 1, 1, 0, 0.0, 1.0, 0, 0, 0, 0.6, "LeftLegRoll"},
    {-1, 1, 1, 0, 0.0, 1.0, 0, 0, 0, 0.6, "RightUpLegRoll"},
    {-1, 1, 1, 0, 0.0, 1.0, 0, 0, 0, 0.6, "RightLegRoll"},
    {-1, 1, 1, 0, 0.0, 1.0, 0, 0, 0, 0.6, "LeftArmRoll"},
    {-1, 1, 1, 0, 0.0, 1.0, 0, 0, 0, 0.6, "LeftForeArmRoll"},
    {-1, 1, 1, 0, 0.0, 1.0, 0, 0, 0, 0.6, "RightArmRoll"},
    {-1, 1, 1, 0, 0.0, 1.0, 0, 0, 0, 0.6, "RightForeArmRoll"},
    {-1, 0, 6, 0, 0.0, 100.0, 0, 0, 0, 0.0, "Damping"},
    {75, 2, 2, 0, 0.0, 0.25, 0, 0, 1, 0.0, "Orientation"},
    {75, 2, 6, 0, 0.0, 100.0, 0, 0, 1, 0.0, "Displacement"},
    {77, 3, 2, 0, 0.0, 0.25, 0, 0, 0, 0.0, "DisplacementMemory"},
    {77, 3, 6, 0, 0.0, 100.0, 0, 0, 0, 0.0, "HipsDisplacementDamping"},
    {77, 3, 6, 0, 0.0, 100.0, 0, 0, 0, 0.0, "AnkleDisplacementDamping"},
    {77, 3, 6, 0, 0.0, 100.0, 0, 0, 0, 0.0, "WristDisplacementDamping"},
    {-1, 0, 6, 0, 0.0, 100.0, 0, 0, 0, 0.0, "Stabilization"},
    {82, 3, 2, 0, 0.0, 1.0, 1, 0, 0, 0.0, "AnkleStabilizationTime"},
    {82, 3, 3, 0, 0.0, 15.0, 0, 0, 0, 0.0, "AnkleStabilizationPerimeter"},
    {82, 2, 4, 0, 0.0, 60.0, 0, 0, 1, 0.0, "AnkleStabilizationAngularPerimeter"},
    {82, 2, 3, 0, 0.0, 10.0, 0, 0, 1, 0.0, "AnkleStabilizationFloorProximity"},
    {82, 2, 2, 0, 0.0, 10.0, 0, 0, 0, 0.0, "AnkleStabilizationDamping"},
    {82, 2, 2, 0, 0.0, 1.0, 0, 0, 1, 0.0, "AnkleStabilizationRecoveryTime"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlPullLeftToeBase"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "CtrlPullLeftFoot"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlPullLeftKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlPullRightToeBase"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "CtrlPullRightFoot"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlPullRightKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlPullLeftFingerBase"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "CtrlPullLeftHand"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlPullLeftElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlPullRightFingerBase"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "CtrlPullRightHand"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlPullRightElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "CtrlChestPullLeftHand"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 1.0, "CtrlChestPullRightHand"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlPullHead"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlResistHipsPosition"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.6, "CtrlEnforceGravity"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlResistHipsOrientation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlResistChestPosition"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "CtrlResistChestOrientation"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistLeftCollar"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistRightCollar"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistLeftKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistMaximumExtensionLeftKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistCompressionFactorLeftKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistRightKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistMaximumExtensionRightKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistCompressionFactorRightKnee"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistLeftElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistMaximumExtensionLeftElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistCompressionFactorLeftElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistRightElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistMaximumExtensionRightElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.5, "CtrlResistCompressionFactorRightElbow"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ParamCtrlSpineStiffness"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ParamCtrlNeckStiffness"},
    {-1, 1, 0, 0, 0.0, 100.0, 0, 0, 0, 0.0, "Mirror"},
    {-1, 1, 0, 0, 0.0, 100.0, 0, 0, 0, 0.0, "GameMode"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ShoulderCorrection"},
    {-1, 1, 0, 0, 0.0, 100.0, 0, 0, 0, 0.0, "LeftKneeKillPitch"},
    {-1, 1, 0, 0, 0.0, 100.0, 0, 0, 0, 0.0, "RightKneeKillPitch"},
    {-1, 1, 0, 0, 0.0, 100.0, 0, 0, 0, 0.0, "LeftElbowKillPitch"},
    {-1, 1, 0, 0, 0.0, 100.0, 0, 0, 0, 0.0, "RightElbowKillPitch"},
    {-1, 0, 5, 0, 0.0, 2.0, 0, 1, 0, 0.0, "HipsTranslationMode"},
    {-1, 0, 4, 0, 0.0, 180.0, 0, 1, 0, 150.0, "LeftShoulderFrontAngle"},
    {-1, 0, 4, 0, 0.0, 180.0, 0, 1, 0, 150.0, "LeftShoulderBackAngle"},
    {-1, 0, 4, 0, 0.0, 180.0, 0, 1, 0, 150.0, "LeftShoulderUpAngle"},
    {-1, 0, 4, 0, 0.0, 180.0, 0, 1, 0, 150.0, "LeftShoulderDownAngle"},
    {-1, 0, 4, 0, 0.0, 180.0, 0, 1, 0, 150.0, "RightShoulderFrontAngle"},
    {-1, 0, 4, 0, 0.0, 180.0, 0, 1, 0, 150.0, "RightShoulderBackAngle"},
    {-1, 0, 4, 0, 0.0, 180.0, 0, 1, 0, 150.0, "RightShoulderUpAngle"},
    {-1, 0, 4, 0, 0.0, 180.0, 0, 1, 0, 150.0, "RightShoulderDownAngle"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftHandThumbTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftHandIndexTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftHandMiddleTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftHandRingTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftHandPinkyTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftHandExtraFingerTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightHandThumbTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightHandIndexTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightHandMiddleTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightHandRingTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightHandPinkyTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightHandExtraFingerTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftFootThumbTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftFootIndexTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftFootMiddleTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftFootRingTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftFootPinkyTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "LeftFootExtraFingerTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightFootThumbTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightFootIndexTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightFootMiddleTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightFootRingTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightFootPinkyTip"},
    {-1, 0, 3, 0, 0.0, 1000.0, 0, 1, 0, 0.5, "RightFootExtraFingerTip"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 1, 0.0, "FingerSolving"},
    {-1, 0, 5, 0, 0.0, 4.0, 0, 1, 0, 0.0, "HandContactType"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 0, 0.0, "HandFingerContact"},
    {-1, 0, 5, 0, 0.0, 3.0, 0, 0, 0, 1.0, "HandFingerContactMode"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ParamHandFingerContactRollStiffness"},
    {-1, 0, 5, 0, 0.0, 4.0, 0, 1, 0, 0.0, "FootContactType"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 0, 0.0, "FootFingerContact"},
    {-1, 0, 5, 0, 0.0, 3.0, 0, 0, 0, 1.0, "FootFingerContactMode"},
    {-1, 0, 1, 0, 0.0, 1.0, 0, 0, 0, 0.0, "ParamFootFingerContactRollStiffness"},
    {-1, 0, 5, 0, 0.0, 3.0, 0, 1, 0, 0.0, "ContactBehaviour"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 0, 0.0, "WriteReference"},
    {-1, 1, 0, 0, 0.0, 0.0, 0, 0, 1, 0.0, "SyncMode"},
};

struct WorkingCopy {
    KDuzCharacterParameterRow rows[kDuzCharacterParameterCount];
    WorkingCopy() {
        for (int i = 0; i < kDuzCharacterParameterCount; ++i) {
            rows[i] = kStaticRows[i];
            if (rows[i].valueType == 1) {
                rows[i].maximum *= 100.0;
                rows[i].defaultValue *= 100.0;
            }
        }
    }
};

bool ValidRow(int row) { return row >= 0 && row < kDuzCharacterParameterCount; }

}  // namespace

const KDuzCharacterParameterRow* KDuzCharacterParameterTable() {
    static const WorkingCopy copy;
    return copy.rows;
}

int KDuzCharacterParameterCount() { return kDuzCharacterParameterCount; }

const char* KDuzCharacterParameterName(int row) {
    return ValidRow(row) ? KDuzCharacterParameterTable()[row].name : nullptr;
}

int KDuzCharacterParameterIndex(const char* name) {
    if (name == nullptr) return -1;
    const KDuzCharacterParameterRow* rows = KDuzCharacterParameterTable();
    for (int i = 0; i < kDuzCharacterParameterCount; ++i) {
        if (std::strcmp(rows[i].name, name) == 0) return i;
    }
    return -1;
}

int KDuzCharacterParameterModeKind(int row) { return ValidRow(row) ? KDuzCharacterParameterTable()[row].modeKind : 0; }
int KDuzCharacterParameterValueCount(int row) {
    return ValidRow(row) ? KDuzCharacterParameterTable()[row].valueCount : 0;
}
double KDuzCharacterParameterMin(int row) { return ValidRow(row) ? KDuzCharacterParameterTable()[row].minimum : 0.0; }
double KDuzCharacterParameterMax(int row) { return ValidRow(row) ? KDuzCharacterParameterTable()[row].maximum : 0.0; }

void KDuzCharacterParameterBlock::FillDefaults() {
    const KDuzCharacterParameterRow* rows = KDuzCharacterParameterTable();
    for (int i = 0; i < kDuzCharacterParameterCount; ++i) {
        mEntries[i].mode = rows[i].defaultMode;
        mEntries[i].value = rows[i].defaultValue;
    }
}

bool KDuzCharacterParameterBlock::SetMode(int row, int mode) {
    if (!ValidRow(row)) return false;
    int highest = -1;
    switch (KDuzCharacterParameterTable()[row].modeKind) {
        case 1:
        case 3: highest = 1; break;
        case 2: highest = 2; break;
        default: break;
    }
    if (mode < 0 || mode > highest) return false;
    mEntries[row].mode = mode;
    return true;
}

int KDuzCharacterParameterBlock::GetMode(int row) const { return ValidRow(row) ? mEntries[row].mode : 0; }

bool KDuzCharacterParameterBlock::SetValue(int row, int /*valueIndex*/, double value) {
    if (!ValidRow(row)) return false;
    mEntries[row].value = value;
    return true;
}

double KDuzCharacterParameterBlock::GetValue(int row, int /*valueIndex*/) const {
    return ValidRow(row) ? mEntries[row].value : 0.0;
}

void KDuzCharacterParameterBlock::CopyFrom(const KDuzCharacterParameterBlock& other) {
    for (int j = 0; j < kDuzCharacterParameterCount; ++j) {
        const int row = KDuzCharacterParameterIndex(KDuzCharacterParameterName(j));
        SetMode(row, other.GetMode(j));
        SetValue(row, 0, other.GetValue(j, 0));
        if (KDuzCharacterParameterValueCount(j) == 1) {
            SetValue(row, 1, other.GetValue(j, 1));
            SetValue(row, 2, other.GetValue(j, 2));
        }
    }
}

}  // namespace duzsdk
