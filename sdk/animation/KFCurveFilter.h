#pragma once
// Base of the curve filters: objects that rewrite the keys of one curve, an
// array of curves or a curve-node tree over a time span, reporting failures
// through their own error object.

#include <cstdint>

#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/KTime.h"

namespace duzsdk {

class KFCurveFilter {
public:
    virtual ~KFCurveFilter() = default;
    KFCurveFilter(const KFCurveFilter&) = delete;
    KFCurveFilter& operator=(const KFCurveFilter&) = delete;

    virtual bool NeedApply(KFCurve& curve);
    // True when every curve needs it.
    virtual bool NeedApply(KFCurve** curves, int count);
    virtual bool NeedApply(KFCurveNode& node, bool recursive = true);
    virtual bool Apply(KFCurve& curve) = 0;
    // True when every curve was filtered.
    virtual bool Apply(KFCurve** curves, int count);
    // Children first (when recursive), then the node's own curve.
    virtual bool Apply(KFCurveNode& node, bool recursive = true);
    // The span becomes the whole time line.
    virtual void Reset();
    virtual void UpdateProgress(std::int64_t /*from*/, std::int64_t /*to*/) {}

    // The class name, as the type table of the object model lists it.
    virtual const char* GetClassName() const = 0;
    bool IsA(const char* className) const;

    KTime GetStartTime() const { return mStart; }
    void SetStartTime(KTime time) { mStart = time; }
    KTime GetStopTime() const { return mStop; }
    void SetStopTime(KTime time) { mStop = time; }
    const char* GetName() const { return mName; }
    KErrorState& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorIndex(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

    // Key index at the later of the first key and the start (-1 without keys).
    int GetStartIndex(const KFCurve& curve) const;
    // Key index at the earlier of the last key and the stop (-1 without keys).
    int GetStopIndex(const KFCurve& curve) const;

protected:
    KFCurveFilter(const char* name, const char* const* messages, int messageCount);
    void Fail(int index, const char* text) { mError.SetLastErrorWithText(index, text); }

private:
    bool NeedApplyNode(KFCurveNode& node, bool recursive, int depth);

    const char* mName;
    KTime mStart{0};
    KTime mStop{0};
    KErrorState mError;
    int mNodeDepth = 0;
};

inline constexpr std::int64_t kFCurveFilterMinusInfinite = kFCurveMinusInfiniteTicks;
inline constexpr std::int64_t kFCurveFilterInfinite = kFCurveInfiniteTicks;

// Most keys a filter writes into one curve by sampling: a 1 GB scene holds
// fewer keys than this in all its curves together.
inline constexpr std::int64_t kFCurveFilterMaxSamples = 1 << 25;

// The messages every filter's table starts with.
inline constexpr const char* kFCurveFilterBaseMessages[] = {"No key", "Left unchanged"};

}  // namespace duzsdk
