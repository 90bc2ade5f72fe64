// The control rig of a character: a control node per character node id, 44
// named effectors each with up to 14 auxiliary effector nodes, a type and
// three flags. A plain record owned by its character; every node it
// references carries a record of the reference (kinds 1 to 3).
#pragma once

#include "sdk/base/KString.h"

namespace duzsdk {

class KDuzCharacter;
class KDuzControlSetPlug;
class KDuzNode;

inline constexpr int kDuzEffectorCount = 44;
inline constexpr int kDuzEffectorAuxCount = 14;

struct KDuzControlSetLink {
    KDuzNode* mNode = nullptr;
    KString mTemplateName;
    void Reset() {
        mNode = nullptr;
        mTemplateName = KString();
    }
    bool IsSet() const { return mNode != nullptr || !mTemplateName.IsEmpty(); }
};

struct KDuzControlSetEffector {
    KDuzNode* mNode = nullptr;
    bool mShow = true;
    bool mTActive = false;
    bool mRActive = false;
    bool mCandidateTActive = false;
    bool mCandidateRActive = false;
    void Reset() { *this = KDuzControlSetEffector(); }
};

class KDuzControlSet {
public:
    // Integer type codes without names of their own.
    using EType = int;

    explicit KDuzControlSet(KDuzCharacter* owner = nullptr);
    ~KDuzControlSet();
    KDuzControlSet(const KDuzControlSet&) = delete;
    KDuzControlSet& operator=(const KDuzControlSet&) = delete;

    KDuzCharacter* GetOwner() const { return mOwner; }

    void SetType(EType type) { mType = type; }
    EType GetType() const { return mType; }
    void SetUseAxis(bool flag) { mUseAxis = flag; }
    bool GetUseAxis() const { return mUseAxis; }
    void SetLockTransform(bool flag) { mLockTransform = flag; }
    bool GetLockTransform() const { return mLockTransform; }
    void SetLockPick(bool flag) { mLockPick = flag; }
    bool GetLockPick() const { return mLockPick; }

    // Ids outside 0..190 (links) and 0..43 (effectors) and sub-indices
    // outside 1..14 are refused with false and change nothing.
    bool SetControlSetLink(int id, const KDuzControlSetLink& link);
    bool GetControlSetLink(int id, KDuzControlSetLink* out = nullptr) const;
    bool SetEffector(int id, const KDuzControlSetEffector& effector);
    bool GetEffector(int id, KDuzControlSetEffector* out = nullptr) const;
    // The stored record of an effector, set or not (its show and activity
    // flags are written to files either way); null outside 0..43.
    const KDuzControlSetEffector* GetEffectorRecord(int id) const;
    bool SetEffectorAux(int id, KDuzNode* node, int subIndex);
    bool GetEffectorAux(int id, KDuzNode** out, int subIndex) const;
    static const char* GetEffectorName(int id);
    // Exact, case-sensitive; -1 when no effector has the name.
    static int GetEffectorIdFromName(const char* name);

    // Type and lock flags 0, node links and effectors reset (links that only
    // have a template name keep it), default activity flags. The use-axis
    // flag stays.
    void Clear();

    // Reads a plug into this control set, or writes this control set into a
    // plug. A null plug is refused (false) without changes.
    bool FromPlug(KDuzControlSetPlug* plug);
    bool ToPlug(KDuzControlSetPlug* plug) const;

    // A node that is being destroyed drops out of the record that names it.
    void ForgetNode(int kind, int index, int subIndex, const KDuzNode* node);

private:
    void AddRecord(KDuzNode* node, int kind, int index, int subIndex) const;
    void RemoveRecord(KDuzNode* node, int kind, int index, int subIndex) const;
    void SetDefaultActivity();

    KDuzCharacter* mOwner;
    EType mType = 0;
    bool mUseAxis = true;
    bool mLockTransform = false;
    bool mLockPick = false;
    KDuzControlSetLink mLinks[191];
    KDuzControlSetEffector mEffectors[kDuzEffectorCount];
    KDuzNode* mAux[kDuzEffectorCount][kDuzEffectorAuxCount] = {};
};

}  // namespace duzsdk
