#include <gtest/gtest.h>

#include "sdk/animation/KDuzKFCurveFilters.h"
#include "sdk/animation/KFCurveFilterResample.h"
#include "sdk/animation/KFCurveFilterUnroll.h"
#include "sdk/object/KDuzSdkManager.h"

using namespace duzsdk;

TEST(KDuzKFCurveFiltersTest, ManagerCreatesEachFilterObjectWithItsFilter)
{
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    ASSERT_NE(manager, nullptr);
    struct Case {
        KDuzKFCurveFilters* object;
        const char* name;
    };
    const Case cases[] = {
        {KDuzKFCurveFilterConstantKeyReducer::Create(manager, "a"), "Constant Key Reducer"},
        {KDuzKFCurveFilterMatrixConverter::Create(manager, "b"), "FCurve Matrix Converter"},
        {KDuzKFCurveFilterResample::Create(manager, "c"), "FCurve Resample"},
        {KDuzKFCurveFilterUnroll::Create(manager, "d"), "Unroll Filter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.object, nullptr);
        EXPECT_STREQ(c.object->GetName(), c.name);
        EXPECT_EQ(c.object->GetLastErrorID(), -1);
        EXPECT_EQ(c.object->GetStartTime().Get(), kFCurveMinusInfiniteTicks);
        c.object->SetStopTime(KTime(5));
        EXPECT_EQ(c.object->GetFilter()->GetStopTime().Get(), 5);
    }
    // Forwarding reaches the filter's own checks.
    KFCurve curve;
    EXPECT_FALSE(cases[3].object->Apply(curve));
    EXPECT_EQ(cases[3].object->GetLastErrorID(), 2);
    EXPECT_STREQ(cases[3].object->GetLastErrorString(), "Unroll Filter, Works only on rotation CurveNodes.");
    manager->Destroy();
}
