// The character's settings: one descriptor per property, in creation order,
// with its parameter row, clamp and whether its setter mirrors into the row.
#include "sdk/character/KDuzCharacter.h"

#include <cstring>
#include <string>
#include <unordered_map>

namespace duzsdk {

namespace {

using Info = KDuzCharacterPropertyInfo;
constexpr Info::EKind eKindBool = Info::eKindBool;
constexpr Info::EKind eKindDouble = Info::eKindDouble;
constexpr Info::EKind eKindVector = Info::eKindVector;
constexpr Info::EKind eKindEnum = Info::eKindEnum;
constexpr Info::ERowRole eRowNone = Info::eRowNone;
constexpr Info::ERowRole eRowValue = Info::eRowValue;
constexpr Info::ERowRole eRowMode = Info::eRowMode;

constexpr const char* kPostureTexts[] = {"Biped", "Quadruped", nullptr};
constexpr const char* kRollExtractionTexts[] = {"Relative", "Absolute", nullptr};
constexpr const char* kContactBehaviourTexts[] = {"Never Sync", "Sync On Key", "Always Sync", nullptr};
constexpr const char* kFootFloorPivotTexts[] = {"Auto", "Ankle", "Toes", nullptr};
constexpr const char* kHandFloorPivotTexts[] = {"Auto", "Wrist", "Fingers", nullptr};
constexpr const char* kFootContactTypeTexts[] = {"Normal", "Ankle", "ToeBase", "Hoof", nullptr};
constexpr const char* kHandContactTypeTexts[] = {"Normal", "Wrist", "FingerBase", "Hoof", nullptr};
constexpr const char* kFingerContactModeTexts[] = {"Sticky", "Spread", "Sticky & Spread", nullptr};
constexpr const char* kHipsTranslationTexts[] = {"World Rigid", "Body Rigid", nullptr};
constexpr const char* kOffAutoUserTexts[] = {"Off", "Auto", "User", nullptr};
constexpr const char* kAutoUserTexts[] = {"Auto", "User", nullptr};

constexpr Info kProperties[] = {
    {"Active", eKindBool, nullptr, eRowNone, -1, false, false, 0.0, 0.0, false},
    {"Lock", eKindBool, nullptr, eRowNone, -1, false, false, 0.0, 0.0, false},
    {"Weight", eKindDouble, nullptr, eRowNone, -1, false, false, 0.0, 0.0, true},
    {"PullIterationCount", eKindDouble, nullptr, eRowValue, 0, true, true, 0.0, 30.0, false},
    {"Posture", eKindEnum, kPostureTexts, eRowValue, 1, true, false, 0.0, 0.0, false},
    {"ForceActorSpace", eKindBool, nullptr, eRowMode, 2, true, false, 0.0, 0.0, false},
    {"ScaleCompensation", eKindDouble, nullptr, eRowValue, 3, false, false, 0.0, 0.0, true},
    {"ScaleCompensationMode", eKindEnum, kOffAutoUserTexts, eRowMode, 3, true, false, 0.0, 0.0, false},
    {"HipsHeightCompensation", eKindDouble, nullptr, eRowValue, 4, false, false, 0.0, 0.0, true},
    {"HipsHeightCompensationMode", eKindEnum, kOffAutoUserTexts, eRowMode, 4, true, false, 0.0, 0.0, false},
    {"AnkleHeightCompensation", eKindDouble, nullptr, eRowValue, 5, false, false, 0.0, 0.0, true},
    {"AnkleHeightCompensationMode", eKindEnum, kOffAutoUserTexts, eRowMode, 5, true, false, 0.0, 0.0, false},
    {"AnkleProximityCompensation", eKindDouble, nullptr, eRowValue, 6, false, false, 0.0, 0.0, true},
    {"AnkleProximityCompensationMode", eKindEnum, kOffAutoUserTexts, eRowMode, 6, true, false, 0.0, 0.0, false},
    {"MassCenterCompensation", eKindDouble, nullptr, eRowValue, 7, false, false, 0.0, 0.0, true},
    {"ApplyLimits", eKindBool, nullptr, eRowMode, 8, true, false, 0.0, 0.0, false},
    {"ChestReduction", eKindDouble, nullptr, eRowValue, 9, false, false, 0.0, 0.0, true},
    {"CollarReduction", eKindDouble, nullptr, eRowValue, 10, false, false, 0.0, 0.0, true},
    {"NeckReduction", eKindDouble, nullptr, eRowValue, 11, false, false, 0.0, 0.0, true},
    {"HeadReduction", eKindDouble, nullptr, eRowValue, 12, false, false, 0.0, 0.0, true},
    {"ReachActorLeftAnkle", eKindDouble, nullptr, eRowValue, 13, false, false, 0.0, 0.0, true},
    {"ReachActorRightAnkle", eKindDouble, nullptr, eRowValue, 14, false, false, 0.0, 0.0, true},
    {"ReachActorLeftKnee", eKindDouble, nullptr, eRowValue, 15, false, false, 0.0, 0.0, true},
    {"ReachActorRightKnee", eKindDouble, nullptr, eRowValue, 16, false, false, 0.0, 0.0, true},
    {"ReachActorChest", eKindDouble, nullptr, eRowValue, 17, false, false, 0.0, 0.0, true},
    {"ReachActorHead", eKindDouble, nullptr, eRowValue, 18, false, false, 0.0, 0.0, true},
    {"ReachActorLeftWrist", eKindDouble, nullptr, eRowValue, 19, false, false, 0.0, 0.0, true},
    {"ReachActorRightWrist", eKindDouble, nullptr, eRowValue, 20, false, false, 0.0, 0.0, true},
    {"ReachActorLeftElbow", eKindDouble, nullptr, eRowValue, 21, false, false, 0.0, 0.0, true},
    {"ReachActorRightElbow", eKindDouble, nullptr, eRowValue, 22, false, false, 0.0, 0.0, true},
    {"ReachActorLeftFingerBase", eKindDouble, nullptr, eRowValue, 23, false, false, 0.0, 0.0, true},
    {"ReachActorRightFingerBase", eKindDouble, nullptr, eRowValue, 24, false, false, 0.0, 0.0, true},
    {"ReachActorLeftToesBase", eKindDouble, nullptr, eRowValue, 25, false, false, 0.0, 0.0, true},
    {"ReachActorRightToesBase", eKindDouble, nullptr, eRowValue, 26, false, false, 0.0, 0.0, true},
    {"ReachActorLeftFingerBaseRotation", eKindDouble, nullptr, eRowValue, 27, false, false, 0.0, 0.0, true},
    {"ReachActorRightFingerBaseRotation", eKindDouble, nullptr, eRowValue, 28, false, false, 0.0, 0.0, true},
    {"ReachActorLeftToesBaseRotation", eKindDouble, nullptr, eRowValue, 29, false, false, 0.0, 0.0, true},
    {"ReachActorRightToesBaseRotation", eKindDouble, nullptr, eRowValue, 30, false, false, 0.0, 0.0, true},
    {"ReachActorLeftAnkleRotation", eKindDouble, nullptr, eRowValue, 31, false, false, 0.0, 0.0, true},
    {"ReachActorRightAnkleRotation", eKindDouble, nullptr, eRowValue, 32, false, false, 0.0, 0.0, true},
    {"ReachActorHeadRotation", eKindDouble, nullptr, eRowValue, 33, false, false, 0.0, 0.0, true},
    {"ReachActorLeftWristRotation", eKindDouble, nullptr, eRowValue, 34, false, false, 0.0, 0.0, true},
    {"ReachActorRightWristRotation", eKindDouble, nullptr, eRowValue, 35, false, false, 0.0, 0.0, true},
    {"ReachActorChestRotation", eKindDouble, nullptr, eRowValue, 36, false, false, 0.0, 0.0, true},
    {"ReachActorLowerChestRotation", eKindDouble, nullptr, eRowValue, 37, false, false, 0.0, 0.0, true},
    {"HipsTOffset", eKindVector, nullptr, eRowValue, 38, false, false, 0.0, 0.0, true},
    {"ChestTOffset", eKindVector, nullptr, eRowValue, 41, false, false, 0.0, 0.0, true},
    {"LeftUpLegRoll", eKindDouble, nullptr, eRowValue, 67, false, false, 0.0, 0.0, true},
    {"LeftUpLegRollMode", eKindBool, nullptr, eRowMode, 67, true, false, 0.0, 0.0, false},
    {"LeftLegRoll", eKindDouble, nullptr, eRowValue, 68, false, false, 0.0, 0.0, true},
    {"LeftLegRollMode", eKindBool, nullptr, eRowMode, 68, true, false, 0.0, 0.0, false},
    {"RightUpLegRoll", eKindDouble, nullptr, eRowValue, 69, false, false, 0.0, 0.0, true},
    {"RightUpLegRollMode", eKindBool, nullptr, eRowMode, 69, true, false, 0.0, 0.0, false},
    {"RightLegRoll", eKindDouble, nullptr, eRowValue, 70, false, false, 0.0, 0.0, true},
    {"RightLegRollMode", eKindBool, nullptr, eRowMode, 70, true, false, 0.0, 0.0, false},
    {"LeftArmRoll", eKindDouble, nullptr, eRowValue, 71, false, false, 0.0, 0.0, true},
    {"LeftArmRollMode", eKindBool, nullptr, eRowMode, 71, true, false, 0.0, 0.0, false},
    {"LeftForeArmRoll", eKindDouble, nullptr, eRowValue, 72, false, false, 0.0, 0.0, true},
    {"LeftForeArmRollMode", eKindBool, nullptr, eRowMode, 72, true, false, 0.0, 0.0, false},
    {"RightArmRoll", eKindDouble, nullptr, eRowValue, 73, false, false, 0.0, 0.0, true},
    {"RightArmRollMode", eKindBool, nullptr, eRowMode, 73, true, false, 0.0, 0.0, false},
    {"RightForeArmRoll", eKindDouble, nullptr, eRowValue, 74, false, false, 0.0, 0.0, true},
    {"RightForeArmRollMode", eKindBool, nullptr, eRowMode, 74, true, false, 0.0, 0.0, false},
    {"RollExtractionMode", eKindEnum, kRollExtractionTexts, eRowValue, 66, true, false, 0.0, 0.0, false},
    {"FootFloorContact", eKindBool, nullptr, eRowMode, 44, true, false, 0.0, 0.0, false},
    {"FootAutomaticToes", eKindBool, nullptr, eRowMode, 52, true, false, 0.0, 0.0, false},
    {"FootFloorPivot", eKindEnum, kFootFloorPivotTexts, eRowValue, 53, true, false, 0.0, 0.0, false},
    {"FootBottomToAnkle", eKindDouble, nullptr, eRowValue, 45, true, true, 0.01, 1000.0, false},
    {"FootBackToAnkle", eKindDouble, nullptr, eRowValue, 46, true, true, 0.01, 1000.0, false},
    {"FootMiddleToAnkle", eKindDouble, nullptr, eRowValue, 47, true, true, 0.01, 1000.0, false},
    {"FootFrontToMiddle", eKindDouble, nullptr, eRowValue, 48, true, true, 0.01, 1000.0, false},
    {"FootInToAnkle", eKindDouble, nullptr, eRowValue, 49, true, true, 0.01, 1000.0, false},
    {"FootOutToAnkle", eKindDouble, nullptr, eRowValue, 50, true, true, 0.01, 1000.0, false},
    {"FootContactSize", eKindDouble, nullptr, eRowValue, 51, true, true, 0.01, 1000.0, false},
    {"FootContactStiffness", eKindDouble, nullptr, eRowValue, 54, false, false, 0.0, 0.0, true},
    {"FootFingerContactRollStiffness", eKindDouble, nullptr, eRowValue, 173, false, false, 0.0, 0.0, true},
    {"HandFloorContact", eKindBool, nullptr, eRowMode, 55, true, false, 0.0, 0.0, false},
    {"HandAutomaticFingers", eKindBool, nullptr, eRowMode, 63, true, false, 0.0, 0.0, false},
    {"HandFloorPivot", eKindEnum, kHandFloorPivotTexts, eRowValue, 64, true, false, 0.0, 0.0, false},
    {"HandBottomToWrist", eKindDouble, nullptr, eRowValue, 56, true, true, 0.01, 1000.0, false},
    {"HandBackToWrist", eKindDouble, nullptr, eRowValue, 57, true, true, 0.01, 1000.0, false},
    {"HandMiddleToWrist", eKindDouble, nullptr, eRowValue, 58, true, true, 0.01, 1000.0, false},
    {"HandFrontToMiddle", eKindDouble, nullptr, eRowValue, 59, true, true, 0.01, 1000.0, false},
    {"HandInToWrist", eKindDouble, nullptr, eRowValue, 60, true, true, 0.01, 1000.0, false},
    {"HandOutToWrist", eKindDouble, nullptr, eRowValue, 61, true, true, 0.01, 1000.0, false},
    {"HandContactSize", eKindDouble, nullptr, eRowValue, 62, true, true, 0.01, 1000.0, false},
    {"HandContactStiffness", eKindDouble, nullptr, eRowValue, 65, false, false, 0.0, 0.0, true},
    {"HandFingerContactRollStiffness", eKindDouble, nullptr, eRowValue, 169, false, false, 0.0, 0.0, true},
    {"CtrlPullLeftToeBase", eKindDouble, nullptr, eRowValue, 89, false, false, 0.0, 0.0, true},
    {"CtrlPullLeftFoot", eKindDouble, nullptr, eRowValue, 90, false, false, 0.0, 0.0, true},
    {"CtrlPullLeftKnee", eKindDouble, nullptr, eRowValue, 91, false, false, 0.0, 0.0, true},
    {"CtrlPullRightToeBase", eKindDouble, nullptr, eRowValue, 92, false, false, 0.0, 0.0, true},
    {"CtrlPullRightFoot", eKindDouble, nullptr, eRowValue, 93, false, false, 0.0, 0.0, true},
    {"CtrlPullRightKnee", eKindDouble, nullptr, eRowValue, 94, false, false, 0.0, 0.0, true},
    {"CtrlPullLeftFingerBase", eKindDouble, nullptr, eRowValue, 95, false, false, 0.0, 0.0, true},
    {"CtrlPullLeftHand", eKindDouble, nullptr, eRowValue, 96, false, false, 0.0, 0.0, true},
    {"CtrlPullLeftElbow", eKindDouble, nullptr, eRowValue, 97, false, false, 0.0, 0.0, true},
    {"CtrlPullRightFingerBase", eKindDouble, nullptr, eRowValue, 98, false, false, 0.0, 0.0, true},
    {"CtrlPullRightHand", eKindDouble, nullptr, eRowValue, 99, false, false, 0.0, 0.0, true},
    {"CtrlPullRightElbow", eKindDouble, nullptr, eRowValue, 100, false, false, 0.0, 0.0, true},
    {"CtrlChestPullLeftHand", eKindDouble, nullptr, eRowValue, 101, false, false, 0.0, 0.0, true},
    {"CtrlChestPullRightHand", eKindDouble, nullptr, eRowValue, 102, false, false, 0.0, 0.0, true},
    {"CtrlPullHead", eKindDouble, nullptr, eRowValue, 103, false, false, 0.0, 0.0, true},
    {"CtrlResistHipsPosition", eKindDouble, nullptr, eRowValue, 104, false, false, 0.0, 0.0, true},
    {"CtrlEnforceGravity", eKindDouble, nullptr, eRowValue, 105, false, false, 0.0, 0.0, true},
    {"CtrlResistHipsOrientation", eKindDouble, nullptr, eRowValue, 106, false, false, 0.0, 0.0, true},
    {"CtrlResistChestPosition", eKindDouble, nullptr, eRowValue, 107, false, false, 0.0, 0.0, true},
    {"CtrlResistChestOrientation", eKindDouble, nullptr, eRowValue, 108, false, false, 0.0, 0.0, true},
    {"CtrlResistLeftCollar", eKindDouble, nullptr, eRowValue, 109, false, false, 0.0, 0.0, true},
    {"CtrlResistRightCollar", eKindDouble, nullptr, eRowValue, 110, false, false, 0.0, 0.0, true},
    {"CtrlResistLeftKnee", eKindDouble, nullptr, eRowValue, 111, false, false, 0.0, 0.0, true},
    {"CtrlResistMaximumExtensionLeftKnee", eKindDouble, nullptr, eRowValue, 112, false, false, 0.0, 0.0, true},
    {"CtrlResistCompressionFactorLeftKnee", eKindDouble, nullptr, eRowValue, 113, false, false, 0.0, 0.0, true},
    {"CtrlResistRightKnee", eKindDouble, nullptr, eRowValue, 114, false, false, 0.0, 0.0, true},
    {"CtrlResistMaximumExtensionRightKnee", eKindDouble, nullptr, eRowValue, 115, false, false, 0.0, 0.0, true},
    {"CtrlResistCompressionFactorRightKnee", eKindDouble, nullptr, eRowValue, 116, false, false, 0.0, 0.0, true},
    {"CtrlResistLeftElbow", eKindDouble, nullptr, eRowValue, 117, false, false, 0.0, 0.0, true},
    {"CtrlResistMaximumExtensionLeftElbow", eKindDouble, nullptr, eRowValue, 118, false, false, 0.0, 0.0, true},
    {"CtrlResistCompressionFactorLeftElbow", eKindDouble, nullptr, eRowValue, 119, false, false, 0.0, 0.0, true},
    {"CtrlResistRightElbow", eKindDouble, nullptr, eRowValue, 120, false, false, 0.0, 0.0, true},
    {"CtrlResistMaximumExtensionRightElbow", eKindDouble, nullptr, eRowValue, 121, false, false, 0.0, 0.0, true},
    {"CtrlResistCompressionFactorRightElbow", eKindDouble, nullptr, eRowValue, 122, false, false, 0.0, 0.0, true},
    {"CtrlSpineStiffness", eKindDouble, nullptr, eRowValue, 123, false, false, 0.0, 0.0, true},
    {"CtrlNeckStiffness", eKindDouble, nullptr, eRowValue, 124, false, false, 0.0, 0.0, true},
    {"MirrorMode", eKindBool, nullptr, eRowMode, 125, true, false, 0.0, 0.0, false},
    {"ShoulderCorrection", eKindDouble, nullptr, eRowValue, 127, false, false, 0.0, 0.0, true},
    {"LeftKneeKillPitch", eKindBool, nullptr, eRowMode, 128, true, false, 0.0, 0.0, false},
    {"RightKneeKillPitch", eKindBool, nullptr, eRowMode, 129, true, false, 0.0, 0.0, false},
    {"LeftElbowKillPitch", eKindBool, nullptr, eRowMode, 130, true, false, 0.0, 0.0, false},
    {"RightElbowKillPitch", eKindBool, nullptr, eRowMode, 131, true, false, 0.0, 0.0, false},
    {"HipsTranslationMode", eKindEnum, kHipsTranslationTexts, eRowValue, 132, true, false, 0.0, 0.0, false},
    {"WriteReference", eKindBool, nullptr, eRowMode, 175, true, false, 0.0, 0.0, false},
    {"SyncMode", eKindBool, nullptr, eRowMode, 176, true, false, 0.0, 0.0, false},
    {"Damping", eKindDouble, nullptr, eRowValue, 75, false, false, 0.0, 0.0, true},
    {"OrientationDamping", eKindDouble, nullptr, eRowValue, 76, false, false, 0.0, 0.0, true},
    {"OrientationDampingMode", eKindEnum, kOffAutoUserTexts, eRowMode, 76, true, false, 0.0, 0.0, false},
    {"DisplacementDamping", eKindDouble, nullptr, eRowValue, 77, false, false, 0.0, 0.0, true},
    {"DisplacementDampingMode", eKindEnum, kOffAutoUserTexts, eRowMode, 77, true, false, 0.0, 0.0, false},
    {"DisplacementMemory", eKindDouble, nullptr, eRowValue, 78, false, false, 0.0, 0.0, true},
    {"DisplacementMemoryMode", eKindEnum, kAutoUserTexts, eRowMode, 78, true, false, 0.0, 0.0, false},
    {"HipsDisplacementDamping", eKindDouble, nullptr, eRowValue, 79, false, false, 0.0, 0.0, true},
    {"HipsDisplacementDampingMode", eKindEnum, kAutoUserTexts, eRowMode, 79, true, false, 0.0, 0.0, false},
    {"AnkleDisplacementDamping", eKindDouble, nullptr, eRowValue, 80, false, false, 0.0, 0.0, true},
    {"AnkleDisplacementDampingMode", eKindEnum, kAutoUserTexts, eRowMode, 80, true, false, 0.0, 0.0, false},
    {"WristDisplacementDamping", eKindDouble, nullptr, eRowValue, 81, false, false, 0.0, 0.0, true},
    {"WristDisplacementDampingMode", eKindEnum, kAutoUserTexts, eRowMode, 81, true, false, 0.0, 0.0, false},
    {"Stabilization", eKindDouble, nullptr, eRowValue, 82, false, false, 0.0, 0.0, true},
    {"AnkleStabilizationTime", eKindDouble, nullptr, eRowValue, 83, false, false, 0.0, 0.0, true},
    {"AnkleStabilizationTimeMode", eKindEnum, kAutoUserTexts, eRowMode, 83, true, false, 0.0, 0.0, false},
    {"AnkleStabilizationPerimeter", eKindDouble, nullptr, eRowValue, 84, false, false, 0.0, 0.0, true},
    {"AnkleStabilizationPerimeterMode", eKindEnum, kAutoUserTexts, eRowMode, 84, true, false, 0.0, 0.0, false},
    {"AnkleStabilizationAngularPerimeter", eKindDouble, nullptr, eRowValue, 85, false, false, 0.0, 0.0, true},
    {"AnkleStabilizationAngularPerimeterMode", eKindEnum, kOffAutoUserTexts, eRowMode, 85, true, false, 0.0, 0.0, false},
    {"AnkleStabilizationFloorProximity", eKindDouble, nullptr, eRowValue, 86, false, false, 0.0, 0.0, true},
    {"AnkleStabilizationFloorProximityMode", eKindEnum, kOffAutoUserTexts, eRowMode, 86, true, false, 0.0, 0.0, false},
    {"AnkleStabilizationDamping", eKindDouble, nullptr, eRowValue, 87, false, false, 0.0, 0.0, true},
    {"AnkleStabilizationDampingMode", eKindEnum, kOffAutoUserTexts, eRowMode, 87, true, false, 0.0, 0.0, false},
    {"AnkleStabilizationRecoveryTime", eKindDouble, nullptr, eRowValue, 88, false, false, 0.0, 0.0, true},
    {"AnkleStabilizationRecoveryTimeMode", eKindEnum, kOffAutoUserTexts, eRowMode, 88, true, false, 0.0, 0.0, false},
    {"LeftHandThumbTip", eKindDouble, nullptr, eRowValue, 141, true, true, 0.01, 1000.0, false},
    {"LeftHandIndexTip", eKindDouble, nullptr, eRowValue, 142, true, true, 0.01, 1000.0, false},
    {"LeftHandMiddleTip", eKindDouble, nullptr, eRowValue, 143, true, true, 0.01, 1000.0, false},
    {"LeftHandRingTip", eKindDouble, nullptr, eRowValue, 144, true, true, 0.01, 1000.0, false},
    {"LeftHandPinkyTip", eKindDouble, nullptr, eRowValue, 145, true, true, 0.01, 1000.0, false},
    {"LeftHandExtraFingerTip", eKindDouble, nullptr, eRowValue, 146, true, true, 0.01, 1000.0, false},
    {"RightHandThumbTip", eKindDouble, nullptr, eRowValue, 147, true, true, 0.01, 1000.0, false},
    {"RightHandIndexTip", eKindDouble, nullptr, eRowValue, 148, true, true, 0.01, 1000.0, false},
    {"RightHandMiddleTip", eKindDouble, nullptr, eRowValue, 149, true, true, 0.01, 1000.0, false},
    {"RightHandRingTip", eKindDouble, nullptr, eRowValue, 150, true, true, 0.01, 1000.0, false},
    {"RightHandPinkyTip", eKindDouble, nullptr, eRowValue, 151, true, true, 0.01, 1000.0, false},
    {"RightHandExtraFingerTip", eKindDouble, nullptr, eRowValue, 152, true, true, 0.01, 1000.0, false},
    {"LeftFootThumbTip", eKindDouble, nullptr, eRowValue, 153, true, true, 0.01, 1000.0, false},
    {"LeftFootIndexTip", eKindDouble, nullptr, eRowValue, 154, true, true, 0.01, 1000.0, false},
    {"LeftFootMiddleTip", eKindDouble, nullptr, eRowValue, 155, true, true, 0.01, 1000.0, false},
    {"LeftFootRingTip", eKindDouble, nullptr, eRowValue, 156, true, true, 0.01, 1000.0, false},
    {"LeftFootPinkyTip", eKindDouble, nullptr, eRowValue, 157, true, true, 0.01, 1000.0, false},
    {"LeftFootExtraFingerTip", eKindDouble, nullptr, eRowValue, 158, true, true, 0.01, 1000.0, false},
    {"RightFootThumbTip", eKindDouble, nullptr, eRowValue, 159, true, true, 0.01, 1000.0, false},
    {"RightFootIndexTip", eKindDouble, nullptr, eRowValue, 160, true, true, 0.01, 1000.0, false},
    {"RightFootMiddleTip", eKindDouble, nullptr, eRowValue, 161, true, true, 0.01, 1000.0, false},
    {"RightFootRingTip", eKindDouble, nullptr, eRowValue, 162, true, true, 0.01, 1000.0, false},
    {"RightFootPinkyTip", eKindDouble, nullptr, eRowValue, 163, true, true, 0.01, 1000.0, false},
    {"RightFootExtraFingerTip", eKindDouble, nullptr, eRowValue, 164, true, true, 0.01, 1000.0, false},
    {"FingerSolving", eKindBool, nullptr, eRowMode, 165, true, false, 0.0, 0.0, false},
    {"FootFingerContact", eKindBool, nullptr, eRowMode, 171, true, false, 0.0, 0.0, false},
    {"FootContactType", eKindEnum, kFootContactTypeTexts, eRowValue, 170, true, false, 0.0, 0.0, false},
    {"FootFingerContactMode", eKindEnum, kFingerContactModeTexts, eRowValue, 172, true, false, 0.0, 0.0, false},
    {"HandFingerContact", eKindBool, nullptr, eRowMode, 167, true, false, 0.0, 0.0, false},
    {"HandContactType", eKindEnum, kHandContactTypeTexts, eRowValue, 166, true, false, 0.0, 0.0, false},
    {"HandFingerContactMode", eKindEnum, kFingerContactModeTexts, eRowValue, 168, true, false, 0.0, 0.0, false},
    {"ContactBehaviour", eKindEnum, kContactBehaviourTexts, eRowValue, 174, true, false, 0.0, 0.0, false},
};
constexpr int kPropertyCount = static_cast<int>(sizeof(kProperties) / sizeof(kProperties[0]));

}  // namespace

int KDuzCharacterPropertyInfoCount() { return kPropertyCount; }

const KDuzCharacterPropertyInfo* KDuzCharacterPropertyInfoAt(int index) {
    return index >= 0 && index < kPropertyCount ? &kProperties[index] : nullptr;
}

const KDuzCharacterPropertyInfo* KDuzCharacterPropertyInfoFind(const char* name) {
    static const std::unordered_map<std::string, int> byName = [] {
        std::unordered_map<std::string, int> map;
        for (int i = 0; i < kPropertyCount; ++i) map.emplace(kProperties[i].name, i);
        return map;
    }();
    if (name == nullptr) return nullptr;
    const auto found = byName.find(name);
    return found != byName.end() ? &kProperties[found->second] : nullptr;
}

}  // namespace duzsdk
