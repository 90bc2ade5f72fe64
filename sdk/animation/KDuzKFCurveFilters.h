#pragma once
// The curve filters offered as scene objects created through the SDK manager:
// each object owns one filter of its kind and forwards the filter interface.

#include "sdk/animation/KFCurveFilter.h"
#include "sdk/object/KDuzObject.h"

namespace duzsdk {

class KDuzSdkManager;
class KFCurveFilterConstantKeyReducer;
class KFCurveFilterMatrixConverter;
class KFCurveFilterResample;
class KFCurveFilterUnroll;

class KDuzKFCurveFilters : public KDuzObject {
public:
    KDuzKFCurveFilters(KDuzSdkManager* manager, const char* name);
    ~KDuzKFCurveFilters() override;
    static KClassId ClassId();
    KClassId GetClassId() const override;

    virtual const char* GetName() const;
    virtual KTime GetStartTime() const;
    virtual void SetStartTime(KTime time);
    virtual KTime GetStopTime() const;
    virtual void SetStopTime(KTime time);
    virtual int GetStartIndex(const KFCurve& curve) const;
    virtual int GetStopIndex(const KFCurve& curve) const;
    virtual bool NeedApply(KFCurveNode& node, bool recursive = true);
    virtual bool NeedApply(KFCurve** curves, int count);
    virtual bool NeedApply(KFCurve& curve);
    virtual bool Apply(KFCurveNode& node, bool recursive = true);
    virtual bool Apply(KFCurve** curves, int count);
    virtual bool Apply(KFCurve& curve);
    virtual void Reset();
    virtual KErrorState* GetError();
    virtual int GetLastErrorID() const;
    virtual const char* GetLastErrorString() const;

    // The owned filter; null in the base.
    KFCurveFilter* GetFilter() const { return mFilter; }

    void DestroyContents(bool recursive, bool dependents) override;

protected:
    // Takes ownership.
    void SetFilter(KFCurveFilter* filter) { mFilter = filter; }

private:
    KTime mZero{0};
    KFCurveFilter* mFilter = nullptr;
};

// One public class per filter kind.
template <typename Filter, int ClassIndex>
class KDuzKFCurveFilterOf : public KDuzKFCurveFilters {
public:
    KDuzKFCurveFilterOf(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override { return ClassId(); }
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KDuzKFCurveFilterOf* Create(KDuzSdkManager* manager, const char* name);
    Filter* GetTypedFilter() const { return static_cast<Filter*>(GetFilter()); }
};

using KDuzKFCurveFilterConstantKeyReducer = KDuzKFCurveFilterOf<KFCurveFilterConstantKeyReducer, 0>;
using KDuzKFCurveFilterMatrixConverter = KDuzKFCurveFilterOf<KFCurveFilterMatrixConverter, 1>;
using KDuzKFCurveFilterResample = KDuzKFCurveFilterOf<KFCurveFilterResample, 2>;
using KDuzKFCurveFilterUnroll = KDuzKFCurveFilterOf<KFCurveFilterUnroll, 3>;

// Registers the four creation functions with the class tree.
void KDuzInstallCurveFilterCreators();

}  // namespace duzsdk
