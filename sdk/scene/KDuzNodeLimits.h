// Per-axis minimum and maximum of a node's local translation, rotation and
// scaling. The values live in the node's evaluation record; a KDuzLimits is a
// handle on one kind of them, and every node owns a KDuzNodeLimits bundling
// one handle per kind.
#pragma once

#include "sdk/base/KgeTVector.h"

namespace duzsdk {

class KDuzNode;
struct KDuzNodeTransformEvaluation;
struct KDuzNodeLimitRecord;

enum EDuzLimitKind : int {
    eDuzLimitTranslation = 0,
    eDuzLimitRotation = 1,
    eDuzLimitScaling = 2,
};

class KDuzLimits {
public:
    // With a record, a handle over it; with null, a handle over a record of
    // its own (reset, owned).
    explicit KDuzLimits(KDuzNodeTransformEvaluation* record = nullptr, int kind = eDuzLimitTranslation);
    virtual ~KDuzLimits();
    KDuzLimits(const KDuzLimits&) = delete;
    KDuzLimits& operator=(const KDuzLimits&) = delete;

    int GetKind() const { return mKind; }
    void SetKind(int kind) { mKind = kind; }
    KDuzNodeTransformEvaluation* GetRecord() const { return mRecord; }

    void SetMinActive(bool x, bool y, bool z);
    void SetMaxActive(bool x, bool y, bool z);
    void GetMinActive(bool& x, bool& y, bool& z) const;
    void GetMaxActive(bool& x, bool& y, bool& z) const;
    // Any per-axis bit set.
    bool IsLimited() const;
    void SetMin(const KgeTVector& v);
    void SetMax(const KgeTVector& v);
    // The zero vector for a kind outside 0..2.
    KgeTVector GetMin() const;
    KgeTVector GetMax() const;
    // Copies the whole evaluation record of other into this handle's record.
    void CopyRecord(const KDuzLimits& other);

    // The active bit of this kind.
    void SetActive(bool active);
    bool GetActive() const;

private:
    KDuzNodeLimitRecord* Limits() const;

    KDuzNodeTransformEvaluation* mRecord;
    bool mOwned;
    int mKind;
};

class KDuzNodeLimits {
public:
    // Handles over the node's evaluation record; every active and per-axis bit cleared.
    explicit KDuzNodeLimits(KDuzNode* node);
    KDuzNodeLimits(const KDuzNodeLimits&) = delete;
    KDuzNodeLimits& operator=(const KDuzNodeLimits&) = delete;

    KDuzNode* GetNode() const { return mNode; }
    KDuzLimits& GetTranslationLimits() { return mTranslation; }
    KDuzLimits& GetRotationLimits() { return mRotation; }
    KDuzLimits& GetScalingLimits() { return mScaling; }
    const KDuzLimits& GetTranslationLimits() const { return mTranslation; }
    const KDuzLimits& GetRotationLimits() const { return mRotation; }
    const KDuzLimits& GetScalingLimits() const { return mScaling; }
    // Null for a kind outside 0..2.
    KDuzLimits* GetLimits(int kind);

    void SetTranslationActive(bool active);
    bool GetTranslationActive() const;
    void SetRotationActive(bool active);
    bool GetRotationActive() const;
    void SetScalingActive(bool active);
    bool GetScalingActive() const;

    // Copies the three limit records of other, record for record; this
    // object stays bound to its own node.
    void CopyLimits(const KDuzNodeLimits& other);

private:
    KDuzLimits mTranslation;
    KDuzLimits mRotation;
    KDuzLimits mScaling;
    KDuzNode* mNode;
};

}  // namespace duzsdk
