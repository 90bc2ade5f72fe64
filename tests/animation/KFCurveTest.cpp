// Key storage, key setters, removal and change notification of KFCurve.

#include <gtest/gtest.h>

#include "KFCurveTestUtil.h"
#include "sdk/base/KMemory.h"

namespace duzsdk {
namespace {

using test::ChangeLog;
using test::Fill;
using test::Sec;

TEST(KFCurveTest, NewCurveIsEmptyWithDefaults)
{
    KFCurve curve;
    EXPECT_EQ(curve.KeyGetCount(), 0);
    EXPECT_EQ(curve.GetDefaultValue(), 0.0f);
    EXPECT_EQ(curve.GetPreExtrapolation(), 1);
    EXPECT_EQ(curve.GetPostExtrapolation(), 1);
    EXPECT_EQ(curve.GetColor()[0], 1.0f);
    EXPECT_FALSE(curve.KeyRemove(0));
    EXPECT_EQ(curve.KeyFind(Sec(1)), -1.0);
    curve.SetDefaultValue(4.5f);
    EXPECT_EQ(curve.Evaluate(Sec(3)), 4.5f);
}

TEST(KFCurveTest, ReserveSizesTheBlockTableInStepsOf1600Keys)
{
    KFCurve curve;
    ASSERT_TRUE(curve.ReserveKeys(1));
    EXPECT_EQ(curve.KeyGetCapacity(), 1600);
    ASSERT_TRUE(curve.ReserveKeys(1601));
    EXPECT_EQ(curve.KeyGetCapacity(), 3200);
    EXPECT_FALSE(curve.ReserveKeys(-1));
}

TEST(KFCurveTest, KeysSpanningBlocksKeepTheirOrderThroughInsertAndRemove)
{
    KFCurve curve;
    for (int i = 0; i < 60; ++i) curve.KeyAppendFast(Sec(i + 1), static_cast<float>(i + 1));
    // Insert before key 24: key 24 moves into slot 0 of block 1.
    KFCurveKey key = curve.KeyGet(0);
    const int index = curve.KeyAdd(Sec(24.5), key);
    EXPECT_EQ(index, 24);
    ASSERT_EQ(curve.KeyGetCount(), 61);
    for (int i = 0; i < 61; ++i) {
        const double expected = i < 24 ? i + 1 : (i == 24 ? 24.5 : i);
        EXPECT_EQ(curve.KeyGetTime(i), Sec(expected)) << i;
    }
    EXPECT_EQ(curve.KeyGetValue(25), 25.0f);
    ASSERT_TRUE(curve.KeyRemove(24));
    for (int i = 0; i < 60; ++i) EXPECT_EQ(curve.KeyGetValue(i), static_cast<float>(i + 1)) << i;
    // A run across two block boundaries.
    ASSERT_TRUE(curve.KeyRemove(10, 54));
    ASSERT_EQ(curve.KeyGetCount(), 15);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(curve.KeyGetValue(i), static_cast<float>(i + 1));
    for (int i = 10; i < 15; ++i) EXPECT_EQ(curve.KeyGetValue(i), static_cast<float>(i + 46));
}

TEST(KFCurveTest, RemovingARunReleasesWholeBlocks)
{
    const std::int64_t before = KFCurveGetMemoryUsage();
    {
        KFCurve curve;
        for (int i = 0; i < 100; ++i) curve.KeyAppendFast(Sec(i), 0.0f);
        const std::int64_t full = KFCurveGetMemoryUsage();
        EXPECT_EQ(full - before, 4 * KFCurve::kBlockBytes + 64 * static_cast<std::int64_t>(sizeof(void*)));
        curve.KeyRemove(10, 99);
        EXPECT_EQ(full - KFCurveGetMemoryUsage(), 3 * KFCurve::kBlockBytes);
    }
    EXPECT_EQ(KFCurveGetMemoryUsage(), before);
}

TEST(KFCurveTest, RemoveRejectsBadRuns)
{
    KFCurve curve;
    Fill(curve, {{0, 1}, {1, 2}, {2, 3}});
    EXPECT_FALSE(curve.KeyRemove(-1));
    EXPECT_FALSE(curve.KeyRemove(3));
    EXPECT_FALSE(curve.KeyRemove(0, 3));
    EXPECT_FALSE(curve.KeyRemove(2, 1));
    EXPECT_FALSE(curve.KeyRemove(-1, 1));
    EXPECT_EQ(curve.KeyGetCount(), 3);
}

TEST(KFCurveTest, RemovingTheLastKeysLeavesTheirValueAsDefault)
{
    KFCurve single;
    Fill(single, {{1, 7.0f}});
    ASSERT_TRUE(single.KeyRemove(0));
    EXPECT_EQ(single.KeyGetCount(), 0);
    EXPECT_EQ(single.GetDefaultValue(), 7.0f);

    KFCurve several;
    Fill(several, {{0, 3.0f}, {1, 4.0f}, {2, 5.0f}});
    ASSERT_TRUE(several.KeyRemove(0, 2));
    EXPECT_EQ(several.KeyGetCount(), 0);
    EXPECT_EQ(several.GetDefaultValue(), 3.0f);
}

TEST(KFCurveTest, RemoveBetweenKeepsKeysOnTheBounds)
{
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});
    curve.KeyRemoveBetween(Sec(1), Sec(3));
    ASSERT_EQ(curve.KeyGetCount(), 4);
    EXPECT_EQ(curve.KeyGetTime(1), Sec(1));
    EXPECT_EQ(curve.KeyGetTime(2), Sec(3));
    curve.KeyRemoveBetween(Sec(0.5), Sec(10));
    ASSERT_EQ(curve.KeyGetCount(), 1);
    EXPECT_EQ(curve.KeyGetValue(0), 0.0f);
}

TEST(KFCurveTest, KeyAddAtAnExistingTimeReplacesThatKey)
{
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 1}, {2, 2}});
    KFCurveKey key;
    key.Set(0, 9.0f, kFCurveInterpolationLinear, 0);
    EXPECT_EQ(curve.KeyAdd(Sec(1), key), 1);
    EXPECT_EQ(curve.KeyGetCount(), 3);
    EXPECT_EQ(curve.KeyGetValue(1), 9.0f);
    EXPECT_EQ(curve.KeyGetInterpolation(1), kFCurveInterpolationLinear);
    // Before the first and after the last key.
    EXPECT_EQ(curve.KeyAdd(Sec(-1), key), 0);
    EXPECT_EQ(curve.KeyAdd(Sec(5), key), 4);
    EXPECT_EQ(curve.KeyGetCount(), 5);
}

TEST(KFCurveTest, KeyAddWithoutRecordTakesTheCurveValue)
{
    KFCurve curve;
    Fill(curve, {{0, 0, kFCurveInterpolationLinear, 0}, {1, 10, kFCurveInterpolationLinear, 0}});
    const int index = curve.KeyAdd(Sec(0.25));
    EXPECT_EQ(index, 1);
    EXPECT_FLOAT_EQ(curve.KeyGetValue(1), 2.5f);
    EXPECT_EQ(curve.KeyGetInterpolation(1), kFCurveInterpolationCubic);
    EXPECT_EQ(curve.KeyGetTangentMode(1), kFCurveTangentAuto);
}

TEST(KFCurveTest, WholeKeySetRefusesAGapAndOutOfOrderKeys)
{
    KFCurve curve;
    EXPECT_FALSE(curve.KeySet(1, Sec(1), 1.0f));  // would leave key 0 undefined
    EXPECT_TRUE(curve.KeySet(0, Sec(1), 1.0f));
    EXPECT_TRUE(curve.KeySet(1, Sec(2), 2.0f));
    EXPECT_EQ(curve.KeyGetCount(), 2);

    KFCurveKey key = curve.KeyGet(0);
    key.mTime = Sec(3).Get();
    EXPECT_FALSE(curve.KeySetFromKey(0, key));  // after key 1
    key.mTime = Sec(0.5).Get();
    EXPECT_TRUE(curve.KeySetFromKey(0, key));
    key.mTime = Sec(2).Get();
    EXPECT_FALSE(curve.KeySetFromKey(2, key));  // not after key 1
    key.mTime = Sec(4).Get();
    EXPECT_TRUE(curve.KeySetFromKey(2, key));
    EXPECT_EQ(curve.KeyGetCount(), 3);
}

TEST(KFCurveTest, WeightsAreClampedAndStoredInFixedPoint)
{
    struct Case {
        double stored;
        double readBack;
    };
    // readBack = trunc(clamp(float(w)) * 9999) / 9999
    const Case cases[] = {
        {1.0, 9899 / 9999.0},  // clamped to 0.99
        {0.0, 1 / 9999.0},     // clamped to 0.00010001
        {1.0 / 3.0, 3333 / 9999.0},
        {0.5, 4999 / 9999.0},  // 0.5 * 9999 = 4999.5
    };
    KFCurve curve;
    Fill(curve, {{0, 0}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        curve.KeySetDataDouble(0, kFCurveDataWeightRight, c.stored);
        EXPECT_DOUBLE_EQ(curve.KeyGetDataDouble(0, kFCurveDataWeightRight), c.readBack);
    }
    // Velocities are not clamped, but cannot wrap around the 16-bit range.
    curve.KeySetDataDouble(0, kFCurveDataVelocityRight, 2.5);
    EXPECT_DOUBLE_EQ(curve.KeyGetDataDouble(0, kFCurveDataVelocityRight), 24997 / 9999.0);
    curve.KeySetDataDouble(0, kFCurveDataVelocityRight, 1000.0);
    EXPECT_DOUBLE_EQ(curve.KeyGetDataDouble(0, kFCurveDataVelocityRight), 32767 / 9999.0);
}

TEST(KFCurveTest, BecomingCubicResetsWeightsAndVelocities)
{
    KFCurve curve;
    Fill(curve, {{0, 0, kFCurveInterpolationLinear, 0}, {1, 1}});
    curve.KeySetDataDouble(0, kFCurveDataWeightRight, 0.8);
    curve.KeySetWeightMode(0, kFCurveWeightedRight);
    curve.KeySetInterpolation(0, kFCurveInterpolationCubic);
    EXPECT_EQ(curve.KeyGetWeightMode(0), 0u);
    EXPECT_DOUBLE_EQ(curve.KeyGetDataDouble(0, kFCurveDataWeightRight), 3333 / 9999.0);
    // Cubic to cubic keeps them.
    curve.KeySetDataDouble(0, kFCurveDataWeightRight, 0.8);
    curve.KeySetInterpolation(0, kFCurveInterpolationCubic);
    EXPECT_NEAR(curve.KeyGetDataDouble(0, kFCurveDataWeightRight), 0.8, 1e-4);
}

TEST(KFCurveTest, TCBKeyHoldsBiasInTheWeightStorage)
{
    KFCurve curve;
    ASSERT_TRUE(curve.KeySetTCB(0, Sec(0), 1.0f, 0.25f, -0.5f, 0.75f));
    EXPECT_EQ(curve.KeyGetTangentMode(0), kFCurveTangentTCB);
    EXPECT_EQ(curve.KeyGetInterpolation(0), kFCurveInterpolationCubic);
    EXPECT_EQ(curve.KeyGetDataFloat(0, 0), 0.25f);
    EXPECT_EQ(curve.KeyGetDataFloat(0, 1), -0.5f);
    EXPECT_EQ(curve.KeyGetDataFloat(0, 2), 0.75f);
}

TEST(KFCurveTest, MarkingClearsTheCompanionBits)
{
    KFCurveKey key;
    key.mFlags = kFCurveMarkedCompanions | kFCurveInterpolationLinear;
    key.SetMarked(true);
    EXPECT_EQ(key.mFlags, kFCurveMarked | kFCurveInterpolationLinear);
    key.mFlags |= kFCurveMarkedCompanions;
    key.SetMarked(false);
    EXPECT_EQ(key.mFlags, kFCurveInterpolationLinear);
}

TEST(KFCurveTest, KeyMultDerivativeOnlyScalesUserKeys)
{
    KFCurve curve;
    Fill(curve, {{0, 0, kFCurveInterpolationCubic, kFCurveTangentUser, 2, 3},
                 {1, 0, kFCurveInterpolationCubic, kFCurveTangentAuto, 2, 3}});
    curve.KeyMultDerivative(0, -1.0f);
    curve.KeyMultDerivative(1, -1.0f);
    EXPECT_EQ(curve.KeyGetDataFloat(0, 0), -2.0f);
    EXPECT_EQ(curve.KeyGetDataFloat(0, 1), -3.0f);
    EXPECT_EQ(curve.KeyGetDataFloat(1, 0), 2.0f);
}

TEST(KFCurveTest, OutOfRangeIndicesAreHarmless)
{
    KFCurve curve;
    Fill(curve, {{0, 1}});
    curve.KeySetValue(5, 2.0f);
    curve.KeySetDataDouble(-1, 0, 1.0);
    EXPECT_EQ(curve.KeyGetValue(5), 0.0f);
    EXPECT_EQ(curve.KeyGetTime(-3), KTime(0));
    EXPECT_EQ(curve.KeyGetValue(0), 1.0f);
}

// --- notification -------------------------------------------------------

TEST(KFCurveNotifyTest, EachChangeIsDeliveredAtOnceOutsideAModifyBlock)
{
    ChangeLog log;
    KFCurve curve;
    log.Attach(curve);
    curve.SetDefaultValue(2.0f);
    Fill(curve, {{0, 1}});
    curve.KeySetValue(0, 3.0f);
    // An append reports the old count and then the index: two deliveries.
    ASSERT_EQ(log.deliveries.size(), 4u);
    EXPECT_EQ(log.deliveries[0].mFlags, 0x0001);
    EXPECT_EQ(log.deliveries[0].mFirstIndex, -1);
    EXPECT_EQ(log.deliveries[1].mFlags, 0x0810);
    EXPECT_EQ(log.deliveries[2].mFlags, 0x0810);
    EXPECT_EQ(log.deliveries[3].mFlags, 0x2010);
    EXPECT_EQ(log.deliveries[3].mFirstIndex, 0);
    EXPECT_EQ(log.deliveries[3].mCount, 1);
}

TEST(KFCurveNotifyTest, NestedModifyBlocksDeliverOnceAtTheOuterEnd)
{
    ChangeLog log;
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
    log.Attach(curve);
    curve.BeginKeyModify();
    curve.BeginKeyModify();
    curve.KeySetValue(2, 5.0f);
    EXPECT_EQ(curve.EndKeyModify(), -1);
    curve.KeySetTime(1, Sec(1.5));
    curve.KeySetTangentMode(3, kFCurveTangentUser);
    EXPECT_TRUE(log.deliveries.empty());
    EXPECT_EQ(curve.EndKeyModify(), 0);
    ASSERT_EQ(log.deliveries.size(), 1u);
    EXPECT_EQ(log.deliveries[0].mFlags, 0x2010 | 0x4010 | 0x8010);
    EXPECT_EQ(log.deliveries[0].mFirstIndex, 1);
    EXPECT_EQ(log.deliveries[0].mLastIndex, 3);
    EXPECT_EQ(log.deliveries[0].mCount, 3);
}

TEST(KFCurveNotifyTest, ClearOfAnEmptyCurveReportsOneRemovalRecord)
{
    ChangeLog log;
    KFCurve curve;
    log.Attach(curve);
    curve.KeyClear();
    ASSERT_EQ(log.deliveries.size(), 1u);
    EXPECT_EQ(log.deliveries[0].mFlags, 0x1010);
    EXPECT_EQ(log.deliveries[0].mFirstIndex, 0);
    EXPECT_EQ(log.deliveries[0].mLastIndex, 0);
    EXPECT_EQ(log.deliveries[0].mCount, 2);
}

TEST(KFCurveNotifyTest, UnregisterRemovesOnlyTheLastMatchingPair)
{
    ChangeLog a, b;
    KFCurve curve;
    a.Attach(curve);
    b.Attach(curve);
    a.Attach(curve);
    int unknown = 0;
    curve.CallbackUnregister(&ChangeLog::Callback, &unknown);
    curve.SetDefaultValue(1.0f);
    EXPECT_EQ(a.deliveries.size(), 2u);
    EXPECT_EQ(b.deliveries.size(), 1u);
    curve.CallbackUnregister(&ChangeLog::Callback, &a);
    curve.SetDefaultValue(2.0f);
    EXPECT_EQ(a.deliveries.size(), 3u);
    EXPECT_EQ(b.deliveries.size(), 2u);
}

TEST(KFCurveNotifyTest, DisabledNotificationRecordsNothing)
{
    ChangeLog log;
    KFCurve curve;
    log.Attach(curve);
    curve.SetNotificationEnabled(false);
    curve.SetDefaultValue(1.0f);
    curve.SetNotificationEnabled(true);
    curve.SetDeliverNow(false);
    curve.SetDefaultValue(2.0f);
    EXPECT_TRUE(log.deliveries.empty());
    curve.SetDeliverNow(true);
    ASSERT_EQ(log.deliveries.size(), 1u);
    EXPECT_EQ(log.deliveries[0].mCount, 1);
}

TEST(KFCurveNotifyTest, DestructionReportsRemovalThenDestroyed)
{
    ChangeLog log;
    {
        auto* curve = KFCurveCreate();
        Fill(*curve, {{0, 1}, {1, 2}});
        log.Attach(*curve);
        KFCurveObjectDelete(curve);
    }
    ASSERT_EQ(log.deliveries.size(), 2u);
    EXPECT_EQ(log.deliveries[0].mFlags, 0x1010);
    EXPECT_EQ(log.deliveries[0].mLastIndex, 2);
    EXPECT_EQ(log.deliveries[1].mFlags, 0x0200);
    KFCurveObjectDelete(static_cast<KFCurve*>(nullptr));
}

// --- scale, copy, clone -----------------------------------------------------

TEST(KFCurveCopyTest, ScaleValuesOfAKeylessCurveScalesTheDefaultOnly)
{
    KFCurve curve;
    curve.SetDefaultValue(3.0f);
    curve.ScaleValues(true, 2.0f);
    EXPECT_EQ(curve.GetDefaultValue(), 3.0f);
    curve.ScaleValues(false, 2.0f);
    EXPECT_EQ(curve.GetDefaultValue(), 6.0f);
}

TEST(KFCurveCopyTest, ScaleValuesMarkedOnly)
{
    KFCurve curve;
    Fill(curve, {{0, 1, kFCurveInterpolationCubic, kFCurveTangentUser, 1, 1}, {1, 2}});
    curve.KeySetMarked(0, true);
    curve.ScaleValues(true, 10.0f);
    EXPECT_EQ(curve.KeyGetValue(0), 10.0f);
    EXPECT_EQ(curve.KeyGetDataFloat(0, 0), 10.0f);
    EXPECT_EQ(curve.KeyGetValue(1), 2.0f);
    EXPECT_EQ(curve.GetDefaultValue(), 0.0f);
}

TEST(KFCurveCopyTest, CopyWithKeysReportsOneDelivery)
{
    KFCurve source;
    for (int i = 0; i < 30; ++i) source.KeyAppendFast(Sec(i), static_cast<float>(i));
    source.SetDefaultValue(5.0f);
    const float color[3] = {0.1f, 0.2f, 0.3f};
    source.SetColor(color);
    source.SetPostExtrapolation(kFCurveExtrapolationRepetition);
    source.SetPostExtrapolationCount(-1);

    ChangeLog log;
    KFCurve target;
    for (int i = 0; i < 5; ++i) target.KeyAppendFast(Sec(i), 100.0f);
    log.Attach(target);
    target.CopyFrom(source, true);

    ASSERT_EQ(log.deliveries.size(), 1u);
    EXPECT_EQ(log.deliveries[0].mFlags, 0x1010 | 0x0810 | 0x8010);
    EXPECT_EQ(log.deliveries[0].mFirstIndex, -1);  // the curve-level report comes last
    EXPECT_EQ(log.deliveries[0].mLastIndex, 29);
    EXPECT_EQ(log.deliveries[0].mCount, 5);
    ASSERT_EQ(target.KeyGetCount(), 30);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(target.KeyGetValue(i), static_cast<float>(i));
    EXPECT_EQ(target.GetDefaultValue(), 5.0f);
    EXPECT_EQ(target.GetColor()[2], 0.3f);
    EXPECT_EQ(target.GetPostExtrapolation(), kFCurveExtrapolationRepetition);
    EXPECT_EQ(target.GetPostExtrapolationCount(), -1);
}

TEST(KFCurveCopyTest, CopyWithoutKeysClearsAndTakesTheDefault)
{
    KFCurve source, target;
    source.SetDefaultValue(2.0f);
    Fill(source, {{0, 1}});
    Fill(target, {{0, 1}, {1, 2}});
    target.CopyFrom(source, false);
    EXPECT_EQ(target.KeyGetCount(), 0);
    EXPECT_EQ(target.GetDefaultValue(), 2.0f);
}

TEST(KFCurveCopyTest, CloneOverTheWholeTimeLineCopiesKeysOtherwiseOnlyTheDefault)
{
    KFCurve curve;
    curve.SetDefaultValue(4.0f);
    Fill(curve, {{0, 1}, {1, 3}});
    KFCurve* full = curve.Clone();
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->KeyGetCount(), 2);
    EXPECT_EQ(full->Evaluate(Sec(0.5)), curve.Evaluate(Sec(0.5)));
    KFCurve* bounded = curve.Clone(Sec(0), Sec(1));
    EXPECT_EQ(bounded->KeyGetCount(), 0);
    EXPECT_EQ(bounded->GetDefaultValue(), 4.0f);
    KFCurveObjectDelete(full);
    KFCurveObjectDelete(bounded);
}

TEST(KFCurveTest, FailedAllocationLeavesTheCurveUnchanged)
{
    KFCurve curve;
    Fill(curve, {{0, 1}});
    const int capacity = curve.KeyGetCapacity();
    KMemHooks hooks = KMemGetHooks();
    KMemHooks failing = hooks;
    failing.calloc = [](size_t, size_t) -> void* { return nullptr; };
    KMemSetHooks(failing);
    const bool reserved = curve.ReserveKeys(5000);
    KMemSetHooks(hooks);
    EXPECT_FALSE(reserved);
    EXPECT_EQ(curve.KeyGetCapacity(), capacity);
    EXPECT_EQ(curve.KeyGetValue(0), 1.0f);
}

}  // namespace
}  // namespace duzsdk
