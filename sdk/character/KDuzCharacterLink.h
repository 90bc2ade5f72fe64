// One role of a character rig: the scene node bound to it with its offsets,
// rotation limits and pre/post rotation; and the fixed table of the 191
// character node ids in their 12 node groups.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/object/KDuzProperty.h"

namespace duzsdk {

class KDuzNode;

inline constexpr int kDuzCharacterNodeCount = 191;
inline constexpr int kDuzCharacterNodeGroupCount = 12;
// Ids in no group: the reference node and the four floor nodes.
inline constexpr int kDuzCharacterReferenceId = 67;
inline constexpr int kDuzCharacterLeftFootFloorId = 68;
inline constexpr int kDuzCharacterRightFootFloorId = 69;
inline constexpr int kDuzCharacterLeftHandFloorId = 88;
inline constexpr int kDuzCharacterRightHandFloorId = 89;

// Rotation limits of a link's rotation space: per-axis active flags and the
// minimum and maximum angles.
struct KDuzCharacterLinkLimits {
    bool minActive[3] = {false, false, false};
    bool maxActive[3] = {false, false, false};
    KgeTVector min{0.0, 0.0, 0.0, 1.0};
    KgeTVector max{0.0, 0.0, 0.0, 1.0};
};

class KDuzCharacterLink {
public:
    KDuzCharacterLink() { Reset(); }
    // Copies every field but the property link, which stays this record's.
    KDuzCharacterLink(const KDuzCharacterLink& other) { Assign(other); }
    KDuzCharacterLink& operator=(const KDuzCharacterLink& other) {
        Assign(other);
        return *this;
    }

    void Assign(const KDuzCharacterLink& other);
    // Every field to its reset value, the property link included.
    void Reset();
    // A link with neither node nor template name is unset.
    bool IsSet() const { return mNode != nullptr || !mTemplateName.IsEmpty(); }

    KDuzNode* mNode = nullptr;
    KString mTemplateName;
    KgeTVector mOffsetT{0.0, 0.0, 0.0, 1.0};
    KgeTVector mOffsetR{0.0, 0.0, 0.0, 1.0};
    KgeTVector mOffsetS{1.0, 1.0, 1.0, 1.0};
    KgeTVector mParentROffset{0.0, 0.0, 0.0, 1.0};
    bool mHasRotSpace = false;
    KDuzCharacterLinkLimits mRLimits;
    KgeTVector mPreRotation{0.0, 0.0, 0.0, 1.0};
    KgeTVector mPostRotation{0.0, 0.0, 0.0, 1.0};
    int mRotOrder = 0;
    double mAxisLen = 1.0;
    KDuzProperty mPropertyLink;
};

struct KDuzCharacterNodeEntry {
    int id;
    const char* name;
    int version;   // 4000, or 4500 for the later roles
};

// The group look-ups answer 0, null or false outside the tables (group
// 0..11, entry below the group's size).
int KDuzCharacterNodeGroupSize(int group);
int KDuzCharacterNodeGroupId(int group, int entry);
const char* KDuzCharacterNodeGroupName(int group, int entry);
int KDuzCharacterNodeGroupVersion(int group, int entry);
// The group's own name ("BASE", "AUXILIARY", ...); null outside 0..11.
const char* KDuzCharacterNodeGroupTitle(int group);
// Case-sensitive search of groups 0..11, or 0..group with upToGroup; the
// outputs are written on a match only.
bool KDuzCharacterFindNodeByName(const char* name, bool upToGroup, int& group, int& entry);
bool KDuzCharacterFindNodeById(int id, int& group, int& entry);
// The entry's name, "Reference" for id 67; false for the floor ids and ids
// outside 0..190.
bool KDuzCharacterGetNodeName(int id, const char*& name);

}  // namespace duzsdk
