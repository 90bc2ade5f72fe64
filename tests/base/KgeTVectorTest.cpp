#include "sdk/base/KgeTVector.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "KgeTestUtil.h"
#include "sdk/base/KgeTVectorArray.h"
#include "sdk/base/duzVectorTemplate3.h"

namespace duzsdk {
namespace {

using kgetest::NearArray;

TEST(KgeTVectorTest, ConstructionAndElements) {
    const KgeTVector cleared;
    EXPECT_TRUE(NearArray(cleared.Data(), {0, 0, 0, 0}, 0.0));

    KgeTVector v(1, 2, 3, 4);
    EXPECT_EQ(v.GetElement(2), 3.0);
    EXPECT_EQ(v.GetElement(4), 0.0);
    EXPECT_EQ(v.GetElement(-1), 0.0);
    v.SetElement(3, 1.0);
    v.SetElement(9, 5.0);  // ignored
    v.ElementRef(0) = -1.0;
    v[1] = -2.0;
    EXPECT_TRUE(NearArray(v.Data(), {-1, -2, 3, 1}, 0.0));

    v.SetXYZW(5, 6, 7, 8);
    KgeTVector copy;
    copy = v;
    EXPECT_TRUE(NearArray(copy.Data(), {5, 6, 7, 8}, 0.0));
    const double raw[4] = {9, 10, 11, 12};
    copy.CopyFrom(raw);
    EXPECT_TRUE(NearArray(copy.Data(), {9, 10, 11, 12}, 0.0));
}

TEST(KgeTVectorTest, ArithmeticUsesAllFourComponents) {
    const KgeTVector a(1, 2, 3, 4), b(10, 20, 30, 40);
    EXPECT_TRUE(NearArray(a.Add(b).Data(), {11, 22, 33, 44}, 0.0));
    EXPECT_TRUE(NearArray(b.Subtract(a).Data(), {9, 18, 27, 36}, 0.0));
    EXPECT_TRUE(NearArray(a.Negate().Data(), {-1, -2, -3, -4}, 0.0));
    EXPECT_TRUE(NearArray(a.Multiply(2).Data(), {2, 4, 6, 8}, 0.0));
    EXPECT_TRUE(NearArray(b.Divide(10).Data(), {1, 2, 3, 4}, 0.0));

    KgeTVector c = a;
    c.AddAssign(b).MultiplyAssign(2).DivideAssign(11);
    EXPECT_TRUE(NearArray(c.Data(), {2, 4, 6, 8}, 0.0));
}

TEST(KgeTVectorTest, GeometryLooksAtXYZOnly) {
    const KgeTVector x(1, 0, 0, 7), y(0, 1, 0, 9);
    EXPECT_TRUE(NearArray(x.CrossProduct(y).Data(), {0, 0, 1, 0}, 0.0));
    EXPECT_EQ(KgeTVector(1, 2, 3, 100).DotProduct(KgeTVector(4, 5, 6, 100)), 32.0);
    EXPECT_EQ(KgeTVector(3, 4, 12, 100).Length(), 13.0);

    KgeTVector n(0, 3, 4, 5);
    n.Normalize();
    EXPECT_TRUE(NearArray(n.Data(), {0, 0.6, 0.8, 5}, 1e-15));
    KgeTVector zero(0, 0, 0, 2);
    zero.Normalize();
    EXPECT_TRUE(NearArray(zero.Data(), {0, 0, 0, 2}, 0.0));
}

TEST(KgeTVectorTest, IsEqualIgnoresWAndAllowsAMillionth) {
    const KgeTVector a(1, 2, 3, 0);
    EXPECT_TRUE(a.IsEqual(KgeTVector(1, 2, 3, 1)));
    EXPECT_TRUE(a.IsEqual(KgeTVector(1 + 5e-7, 2, 3 - 5e-7, 0)));
    EXPECT_FALSE(a.IsEqual(KgeTVector(1, 2 + 2e-6, 3, 0)));
}

TEST(KgeTVectorTest, ColoursAreTheirOwnTypes) {
    static_assert(!std::is_same_v<KgeRGBVector, KgeRGBAVector>);
    static_assert(!std::is_convertible_v<KgeTVector, KgeRGBVector>);
    static_assert(sizeof(KgeRGBVector) == 32 && sizeof(KgeRGBAVector) == 32);
    const KgeRGBVector red(1, 0, 0, 1);
    const KgeRGBAVector fromVector(KgeTVector(0.5, 0.5, 0.5, 0.25));
    EXPECT_EQ(red[0], 1.0);
    EXPECT_EQ(fromVector[3], 0.25);
}

TEST(KgeTVectorTest, VectorTemplate3) {
    duzVectorTemplate3<double> v;
    EXPECT_TRUE(NearArray(v.Buffer(), {0, 0, 0}, 0.0));
    v[1] = 4.0;
    EXPECT_TRUE(v == duzVectorTemplate3<double>(0, 4, 0));
}

TEST(KgeTVectorArrayTest, AddGetAtAndBlockGrowth) {
    KgeTVectorArray array;
    EXPECT_EQ(array.Untyped().ElementSize(), 32);
    EXPECT_EQ(array.Untyped().BlockSize(), 16);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(array.Add(KgeTVector(i, 0, 0, 1)), i);
    }
    EXPECT_EQ(array.Count(), 17);
    EXPECT_EQ(array.Untyped().CapacityInBlocks(), 2);
    EXPECT_TRUE(NearArray(array.GetAt(16).Data(), {16, 0, 0, 1}, 0.0));
    EXPECT_TRUE(NearArray(array.GetAt(17).Data(), {0, 0, 0, 0}, 0.0)) << "past the end";
    EXPECT_TRUE(NearArray(array.GetAt(-1).Data(), {0, 0, 0, 0}, 0.0));
}

TEST(KgeTVectorArrayTest, FindNextSearchesAfterTheStart) {
    KgeTVectorArray array;
    array.Add(KgeTVector(1, 1, 1, 0));
    array.Add(KgeTVector(2, 2, 2, 0));
    array.Add(KgeTVector(1, 1, 1 + 1e-7, 5));  // equal to the first: w ignored
    const KgeTVector target(1, 1, 1, 1);
    EXPECT_EQ(array.FindNext(-1, target), 0);
    EXPECT_EQ(array.FindNext(0, target), 2);
    EXPECT_EQ(array.FindNext(2, target), -1);
    EXPECT_EQ(array.FindNext(100, target), -1);
    EXPECT_EQ(array.FindNext(-50, target), 0);
    EXPECT_EQ(array.FindNext(-1, KgeTVector(3, 3, 3, 0)), -1);
}

TEST(KgeTVectorArrayTest, CopyAndAssignTakeElementsAndBlockSize) {
    KgeTVectorArray source;
    source.Add(KgeTVector(1, 2, 3, 4));
    source.Add(KgeTVector(5, 6, 7, 8));

    const KgeTVectorArray copy(source);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_TRUE(NearArray(copy.GetAt(1).Data(), {5, 6, 7, 8}, 0.0));

    KgeTVectorArray target;
    for (int i = 0; i < 20; ++i) {
        target.Add(KgeTVector(9, 9, 9, 9));
    }
    target = source;
    ASSERT_EQ(target.Count(), 2);
    EXPECT_TRUE(NearArray(target.GetAt(0).Data(), {1, 2, 3, 4}, 0.0));
    const auto& same = target;
    target = same;
    EXPECT_EQ(target.Count(), 2);
}

}  // namespace
}  // namespace duzsdk
