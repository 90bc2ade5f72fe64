#include "sdk/character/KDuzCharacterLink.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace duzsdk {

namespace {

struct KDuzCharacterNodeGroup {
    const char* title;
    const KDuzCharacterNodeEntry* entries;
    int size;
};

constexpr KDuzCharacterNodeEntry kGroup0[] = {
    {0, "Hips", 4000},
    {1, "LeftUpLeg", 4000},
    {2, "LeftLeg", 4000},
    {3, "LeftFoot", 4000},
    {5, "RightUpLeg", 4000},
    {6, "RightLeg", 4000},
    {7, "RightFoot", 4000},
    {9, "Spine", 4000},
    {12, "LeftArm", 4000},
    {13, "LeftForeArm", 4000},
    {14, "LeftHand", 4000},
    {16, "RightArm", 4000},
    {17, "RightForeArm", 4000},
    {18, "RightHand", 4000},
    {20, "Head", 4000},
};
constexpr KDuzCharacterNodeEntry kGroup1[] = {
    {4, "LeftToeBase", 4000},
    {8, "RightToeBase", 4000},
    {11, "LeftShoulder", 4000},
    {15, "RightShoulder", 4000},
    {19, "Neck", 4000},
    {90, "LeftFingerBase", 4500},
    {91, "RightFingerBase", 4500},
};
constexpr KDuzCharacterNodeEntry kGroup2[] = {
    {10, "Spine1", 4000},
    {29, "Spine2", 4000},
    {30, "Spine3", 4000},
    {31, "Spine4", 4000},
    {32, "Spine5", 4000},
    {33, "Spine6", 4000},
    {34, "Spine7", 4000},
    {35, "Spine8", 4000},
    {36, "Spine9", 4000},
};
constexpr KDuzCharacterNodeEntry kGroup3[] = {
    {21, "LeftUpLegRoll", 4000},
    {22, "LeftLegRoll", 4000},
    {23, "RightUpLegRoll", 4000},
    {24, "RightLegRoll", 4000},
    {25, "LeftArmRoll", 4000},
    {26, "LeftForeArmRoll", 4000},
    {27, "RightArmRoll", 4000},
    {28, "RightForeArmRoll", 4000},
};
constexpr KDuzCharacterNodeEntry kGroup4[] = {
    {70, "HipsTranslation", 4000},
};
constexpr KDuzCharacterNodeEntry kGroup5[] = {
    {37, "LeftHandThumb1", 4000},
    {38, "LeftHandThumb2", 4000},
    {39, "LeftHandThumb3", 4000},
    {40, "LeftHandIndex1", 4000},
    {41, "LeftHandIndex2", 4000},
    {42, "LeftHandIndex3", 4000},
    {43, "LeftHandMiddle1", 4000},
    {44, "LeftHandMiddle2", 4000},
    {45, "LeftHandMiddle3", 4000},
    {46, "LeftHandRing1", 4000},
    {47, "LeftHandRing2", 4000},
    {48, "LeftHandRing3", 4000},
    {49, "LeftHandPinky1", 4000},
    {50, "LeftHandPinky2", 4000},
    {51, "LeftHandPinky3", 4000},
    {101, "LeftInHandThumb", 4500},
    {102, "LeftHandThumb4", 4500},
    {103, "LeftInHandIndex", 4500},
    {104, "LeftHandIndex4", 4500},
    {105, "LeftInHandMiddle", 4500},
    {106, "LeftHandMiddle4", 4500},
    {107, "LeftInHandRing", 4500},
    {108, "LeftHandRing4", 4500},
    {109, "LeftInHandPinky", 4500},
    {110, "LeftHandPinky4", 4500},
    {111, "LeftInHandExtraFinger", 4500},
    {112, "LeftHandExtraFinger1", 4500},
    {113, "LeftHandExtraFinger2", 4500},
    {114, "LeftHandExtraFinger3", 4500},
    {115, "LeftHandExtraFinger4", 4500},
};
constexpr KDuzCharacterNodeEntry kGroup6[] = {
    {52, "RightHandThumb1", 4000},
    {53, "RightHandThumb2", 4000},
    {54, "RightHandThumb3", 4000},
    {55, "RightHandIndex1", 4000},
    {56, "RightHandIndex2", 4000},
    {57, "RightHandIndex3", 4000},
    {58, "RightHandMiddle1", 4000},
    {59, "RightHandMiddle2", 4000},
    {60, "RightHandMiddle3", 4000},
    {61, "RightHandRing1", 4000},
    {62, "RightHandRing2", 4000},
    {63, "RightHandRing3", 4000},
    {64, "RightHandPinky1", 4000},
    {65, "RightHandPinky2", 4000},
    {66, "RightHandPinky3", 4000},
    {116, "RightInHandThumb", 4500},
    {117, "RightHandThumb4", 4500},
    {118, "RightInHandIndex", 4500},
    {119, "RightHandIndex4", 4500},
    {120, "RightInHandMiddle", 4500},
    {121, "RightHandMiddle4", 4500},
    {122, "RightInHandRing", 4500},
    {123, "RightHandRing4", 4500},
    {124, "RightInHandPinky", 4500},
    {125, "RightHandPinky4", 4500},
    {126, "RightInHandExtraFinger", 4500},
    {127, "RightHandExtraFinger1", 4500},
    {128, "RightHandExtraFinger2", 4500},
    {129, "RightHandExtraFinger3", 4500},
    {130, "RightHandExtraFinger4", 4500},
};
constexpr KDuzCharacterNodeEntry kGroup7[] = {
    {71, "Props0", 4000},
    {72, "Props1", 4000},
    {73, "Props2", 4000},
    {74, "Props3", 4000},
    {75, "Props4", 4000},
};
constexpr KDuzCharacterNodeEntry kGroup8[] = {
    {76, "GameModeParentLeftHipRoll", 4000},
    {77, "GameModeParentLeftKnee", 4000},
    {78, "GameModeParentLeftKneeRoll", 4000},
    {79, "GameModeParentRightHipRoll", 4000},
    {80, "GameModeParentRightKnee", 4000},
    {81, "GameModeParentRightKneeRoll", 4000},
    {82, "GameModeParentLeftShoulderRoll", 4000},
    {83, "GameModeParentLeftElbow", 4000},
    {84, "GameModeParentLeftElbowRoll", 4000},
    {85, "GameModeParentRightShoulderRoll", 4000},
    {86, "GameModeParentRightElbow", 4000},
    {87, "GameModeParentRightElbowRoll", 4000},
};
constexpr KDuzCharacterNodeEntry kGroup9[] = {
    {92, "Neck1", 4500},
    {93, "Neck2", 4500},
    {94, "Neck3", 4500},
    {95, "Neck4", 4500},
    {96, "Neck5", 4500},
    {97, "Neck6", 4500},
    {98, "Neck7", 4500},
    {99, "Neck8", 4500},
    {100, "Neck9", 4500},
};
constexpr KDuzCharacterNodeEntry kGroup10[] = {
    {131, "LeftInFootThumb", 4500},
    {132, "LeftFootThumb1", 4500},
    {133, "LeftFootThumb2", 4500},
    {134, "LeftFootThumb3", 4500},
    {135, "LeftFootThumb4", 4500},
    {136, "LeftInFootIndex", 4500},
    {137, "LeftFootIndex1", 4500},
    {138, "LeftFootIndex2", 4500},
    {139, "LeftFootIndex3", 4500},
    {140, "LeftFootIndex4", 4500},
    {141, "LeftInFootMiddle", 4500},
    {142, "LeftFootMiddle1", 4500},
    {143, "LeftFootMiddle2", 4500},
    {144, "LeftFootMiddle3", 4500},
    {145, "LeftFootMiddle4", 4500},
    {146, "LeftInFootRing", 4500},
    {147, "LeftFootRing1", 4500},
    {148, "LeftFootRing2", 4500},
    {149, "LeftFootRing3", 4500},
    {150, "LeftFootRing4", 4500},
    {151, "LeftInFootPinky", 4500},
    {152, "LeftFootPinky1", 4500},
    {153, "LeftFootPinky2", 4500},
    {154, "LeftFootPinky3", 4500},
    {155, "LeftFootPinky4", 4500},
    {156, "LeftInFootExtraFinger", 4500},
    {157, "LeftFootExtraFinger1", 4500},
    {158, "LeftFootExtraFinger2", 4500},
    {159, "LeftFootExtraFinger3", 4500},
    {160, "LeftFootExtraFinger4", 4500},
};
constexpr KDuzCharacterNodeEntry kGroup11[] = {
    {161, "RightInFootThumb", 4500},
    {162, "RightFootThumb1", 4500},
    {163, "RightFootThumb2", 4500},
    {164, "RightFootThumb3", 4500},
    {165, "RightFootThumb4", 4500},
    {166, "RightInFootIndex", 4500},
    {167, "RightFootIndex1", 4500},
    {168, "RightFootIndex2", 4500},
    {169, "RightFootIndex3", 4500},
    {170, "RightFootIndex4", 4500},
    {171, "RightInFootMiddle", 4500},
    {172, "RightFootMiddle1", 4500},
    {173, "RightFootMiddle2", 4500},
    {174, "RightFootMiddle3", 4500},
    {175, "RightFootMiddle4", 4500},
    {176, "RightInFootRing", 4500},
    {177, "RightFootRing1", 4500},
    {178, "RightFootRing2", 4500},
    {179, "RightFootRing3", 4500},
    {180, "RightFootRing4", 4500},
    {181, "RightInFootPinky", 4500},
    {182, "RightFootPinky1", 4500},
    {183, "RightFootPinky2", 4500},
    {184, "RightFootPinky3", 4500},
    {185, "RightFootPinky4", 4500},
    {186, "RightInFootExtraFinger", 4500},
    {187, "RightFootExtraFinger1", 4500},
    {188, "RightFootExtraFinger2", 4500},
    {189, "RightFootExtraFinger3", 4500},
    {190, "RightFootExtraFinger4", 4500},
};
constexpr KDuzCharacterNodeGroup kGroups[12] = {
    {"BASE", kGroup0, 15},
    {"AUXILIARY", kGroup1, 7},
    {"SPINE", kGroup2, 9},
    {"ROLL", kGroup3, 8},
    {"SPECIAL", kGroup4, 1},
    {"LEFTHAND", kGroup5, 30},
    {"RIGHTHAND", kGroup6, 30},
    {"PROPS", kGroup7, 5},
    {"GAMEMODEPARENT", kGroup8, 12},
    {"NECK", kGroup9, 9},
    {"LEFTFOOT", kGroup10, 30},
    {"RIGHTFOOT", kGroup11, 30},
};

const KDuzCharacterNodeEntry* EntryOf(int group, int entry) {
    if (group < 0 || group >= kDuzCharacterNodeGroupCount) return nullptr;
    if (entry < 0 || entry >= kGroups[group].size) return nullptr;
    return &kGroups[group].entries[entry];
}

}  // namespace

void KDuzCharacterLink::Assign(const KDuzCharacterLink& other) {
    if (this == &other) return;
    mNode = other.mNode;
    mTemplateName = other.mTemplateName;
    mOffsetT = other.mOffsetT;
    mOffsetR = other.mOffsetR;
    mOffsetS = other.mOffsetS;
    mParentROffset = other.mParentROffset;
    mHasRotSpace = other.mHasRotSpace;
    mRLimits = other.mRLimits;
    mPreRotation = other.mPreRotation;
    mPostRotation = other.mPostRotation;
    mRotOrder = other.mRotOrder;
    mAxisLen = other.mAxisLen;
}

void KDuzCharacterLink::Reset() {
    mNode = nullptr;
    mTemplateName = KString();
    mOffsetT = KgeTVector(0.0, 0.0, 0.0, 1.0);
    mOffsetR = KgeTVector(0.0, 0.0, 0.0, 1.0);
    mOffsetS = KgeTVector(1.0, 1.0, 1.0, 1.0);
    mParentROffset = KgeTVector(0.0, 0.0, 0.0, 1.0);
    mHasRotSpace = false;
    mRLimits = KDuzCharacterLinkLimits();
    mPreRotation = KgeTVector(0.0, 0.0, 0.0, 1.0);
    mPostRotation = KgeTVector(0.0, 0.0, 0.0, 1.0);
    mRotOrder = 0;
    mAxisLen = 1.0;
    mPropertyLink = KDuzProperty();
}

int KDuzCharacterNodeGroupSize(int group) {
    return group >= 0 && group < kDuzCharacterNodeGroupCount ? kGroups[group].size : 0;
}

int KDuzCharacterNodeGroupId(int group, int entry) {
    const KDuzCharacterNodeEntry* found = EntryOf(group, entry);
    return found != nullptr ? found->id : 0;
}

const char* KDuzCharacterNodeGroupName(int group, int entry) {
    const KDuzCharacterNodeEntry* found = EntryOf(group, entry);
    return found != nullptr ? found->name : nullptr;
}

int KDuzCharacterNodeGroupVersion(int group, int entry) {
    const KDuzCharacterNodeEntry* found = EntryOf(group, entry);
    return found != nullptr ? found->version : 0;
}

const char* KDuzCharacterNodeGroupTitle(int group) {
    return group >= 0 && group < kDuzCharacterNodeGroupCount ? kGroups[group].title : nullptr;
}

bool KDuzCharacterFindNodeByName(const char* name, bool upToGroup, int& group, int& entry) {
    if (name == nullptr) return false;
    int last = kDuzCharacterNodeGroupCount - 1;
    if (upToGroup) last = group < last ? group : last;
    for (int g = 0; g <= last; ++g) {
        for (int e = 0; e < kGroups[g].size; ++e) {
            if (std::strcmp(kGroups[g].entries[e].name, name) == 0) {
                group = g;
                entry = e;
                return true;
            }
        }
    }
    return false;
}

bool KDuzCharacterFindNodeById(int id, int& group, int& entry) {
    // Every link of a character is looked up as it is built: the groups are
    // indexed by id once, the first entry of an id winning as in a walk.
    struct Place {
        int16_t group;
        int16_t entry;
    };
    static const std::array<Place, kDuzCharacterNodeCount> kPlaces = [] {
        std::array<Place, kDuzCharacterNodeCount> places;
        places.fill(Place{-1, -1});   // ids no entry has
        for (int g = kDuzCharacterNodeGroupCount - 1; g >= 0; --g) {
            for (int e = kGroups[g].size - 1; e >= 0; --e) {
                const int at = kGroups[g].entries[e].id;
                if (at >= 0 && at < kDuzCharacterNodeCount)
                    places[static_cast<size_t>(at)] = {static_cast<int16_t>(g), static_cast<int16_t>(e)};
            }
        }
        return places;
    }();
    if (id < 0 || id >= kDuzCharacterNodeCount || kPlaces[static_cast<size_t>(id)].group < 0) return false;
    group = kPlaces[static_cast<size_t>(id)].group;
    entry = kPlaces[static_cast<size_t>(id)].entry;
    return true;
}

bool KDuzCharacterGetNodeName(int id, const char*& name) {
    int group = 0;
    int entry = 0;
    if (KDuzCharacterFindNodeById(id, group, entry)) {
        name = kGroups[group].entries[entry].name;
        return true;
    }
    if (id == kDuzCharacterReferenceId) {
        name = "Reference";
        return true;
    }
    return false;
}

}  // namespace duzsdk
