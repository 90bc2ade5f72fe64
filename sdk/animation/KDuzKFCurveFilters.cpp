#include "sdk/animation/KDuzKFCurveFilters.h"

#include "sdk/animation/KFCurveFilterConstantKeyReducer.h"
#include "sdk/animation/KFCurveFilterMatrixConverter.h"
#include "sdk/animation/KFCurveFilterResample.h"
#include "sdk/animation/KFCurveFilterUnroll.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

namespace {

constexpr EDuzClass kFilterClasses[] = {eDuzClassKFCurveFilterConstantKeyReducer,
                                        eDuzClassKFCurveFilterMatrixConverter, eDuzClassKFCurveFilterResample,
                                        eDuzClassKFCurveFilterUnroll};

}  // namespace

KDuzKFCurveFilters::KDuzKFCurveFilters(KDuzSdkManager* manager, const char* name) : KDuzObject(manager, name) {}

KDuzKFCurveFilters::~KDuzKFCurveFilters()
{
    delete mFilter;
    mFilter = nullptr;
}

KClassId KDuzKFCurveFilters::ClassId() { return KDuzClassIdOf(eDuzClassKFCurveFilters); }
KClassId KDuzKFCurveFilters::GetClassId() const { return ClassId(); }

void KDuzKFCurveFilters::DestroyContents(bool recursive, bool dependents)
{
    delete mFilter;
    mFilter = nullptr;
    KDuzObject::DestroyContents(recursive, dependents);
}

const char* KDuzKFCurveFilters::GetName() const { return mFilter ? mFilter->GetName() : nullptr; }
KTime KDuzKFCurveFilters::GetStartTime() const { return mFilter ? mFilter->GetStartTime() : mZero; }
void KDuzKFCurveFilters::SetStartTime(KTime time)
{
    if (mFilter) mFilter->SetStartTime(time);
}
KTime KDuzKFCurveFilters::GetStopTime() const { return mFilter ? mFilter->GetStopTime() : mZero; }
void KDuzKFCurveFilters::SetStopTime(KTime time)
{
    if (mFilter) mFilter->SetStopTime(time);
}
int KDuzKFCurveFilters::GetStartIndex(const KFCurve& curve) const { return mFilter ? mFilter->GetStartIndex(curve) : 0; }
int KDuzKFCurveFilters::GetStopIndex(const KFCurve& curve) const { return mFilter ? mFilter->GetStopIndex(curve) : 0; }
bool KDuzKFCurveFilters::NeedApply(KFCurveNode& node, bool recursive)
{
    return mFilter && mFilter->NeedApply(node, recursive);
}
bool KDuzKFCurveFilters::NeedApply(KFCurve** curves, int count) { return mFilter && mFilter->NeedApply(curves, count); }
bool KDuzKFCurveFilters::NeedApply(KFCurve& curve) { return mFilter && mFilter->NeedApply(curve); }
bool KDuzKFCurveFilters::Apply(KFCurveNode& node, bool recursive) { return mFilter && mFilter->Apply(node, recursive); }
bool KDuzKFCurveFilters::Apply(KFCurve** curves, int count) { return mFilter && mFilter->Apply(curves, count); }
bool KDuzKFCurveFilters::Apply(KFCurve& curve) { return mFilter && mFilter->Apply(curve); }
void KDuzKFCurveFilters::Reset()
{
    if (mFilter) mFilter->Reset();
}
KErrorState* KDuzKFCurveFilters::GetError() { return mFilter ? &mFilter->GetError() : nullptr; }
int KDuzKFCurveFilters::GetLastErrorID() const { return mFilter ? mFilter->GetLastErrorID() : -1; }
const char* KDuzKFCurveFilters::GetLastErrorString() const
{
    return mFilter ? mFilter->GetLastErrorString() : nullptr;
}

template <typename Filter, int ClassIndex>
KDuzKFCurveFilterOf<Filter, ClassIndex>::KDuzKFCurveFilterOf(KDuzSdkManager* manager, const char* name)
    : KDuzKFCurveFilters(manager, name)
{
    SetFilter(new Filter());
}

template <typename Filter, int ClassIndex>
KClassId KDuzKFCurveFilterOf<Filter, ClassIndex>::ClassId()
{
    return KDuzClassIdOf(kFilterClasses[ClassIndex]);
}

template <typename Filter, int ClassIndex>
KDuzPlug* KDuzKFCurveFilterOf<Filter, ClassIndex>::ClassCreator(KDuzSdkManager* manager, const char* name)
{
    auto* object = new KDuzKFCurveFilterOf(manager, name);
    object->PostCreate();
    return object;
}

template <typename Filter, int ClassIndex>
KDuzKFCurveFilterOf<Filter, ClassIndex>* KDuzKFCurveFilterOf<Filter, ClassIndex>::Create(KDuzSdkManager* manager,
                                                                                        const char* name)
{
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzKFCurveFilterOf*>(manager->CreateObject(ClassId(), name));
}

template class KDuzKFCurveFilterOf<KFCurveFilterConstantKeyReducer, 0>;
template class KDuzKFCurveFilterOf<KFCurveFilterMatrixConverter, 1>;
template class KDuzKFCurveFilterOf<KFCurveFilterResample, 2>;
template class KDuzKFCurveFilterOf<KFCurveFilterUnroll, 3>;

void KDuzInstallCurveFilterCreators()
{
    KDuzClassTreeSetCreator(eDuzClassKFCurveFilterConstantKeyReducer, &KDuzKFCurveFilterConstantKeyReducer::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassKFCurveFilterMatrixConverter, &KDuzKFCurveFilterMatrixConverter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassKFCurveFilterResample, &KDuzKFCurveFilterResample::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassKFCurveFilterUnroll, &KDuzKFCurveFilterUnroll::ClassCreator);
}

}  // namespace duzsdk
