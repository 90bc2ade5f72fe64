#include "sdk/character/KDuzCharacterParameterBlock.h"

#include <gtest/gtest.h>

namespace duzsdk {
namespace {

TEST(CharacterParameterTable, RowsNamesAndScaledLimits) {
    EXPECT_EQ(KDuzCharacterParameterCount(), 177);
    struct Row {
        int row;
        const char* name;
        double min;
        double max;
    };
    const Row rows[] = {
        {0, "PullIterationCount", 0, 30},   {1, "Posture", 0, 2},
        {4, "HipsHeightCompensation", -1000, 1000},
        {9, "ChestReduction", 0, 100},      // a fraction row, shown in percent
        {31, "ReachActorLeftAnkleRotationRotation", 0, 100},
        {51, "ContactSize", 10, 1000},      {76, "Orientation", 0, 0.25},
        {133, "LeftShoulderFrontAngle", 0, 180},
        {176, "SyncMode", 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_STREQ(KDuzCharacterParameterName(r.row), r.name);
        EXPECT_EQ(KDuzCharacterParameterIndex(r.name), r.row);
        EXPECT_DOUBLE_EQ(KDuzCharacterParameterMin(r.row), r.min);
        EXPECT_DOUBLE_EQ(KDuzCharacterParameterMax(r.row), r.max);
    }
    // Names are unique, so every row is found at its own index.
    for (int row = 0; row < 177; ++row) EXPECT_EQ(KDuzCharacterParameterIndex(KDuzCharacterParameterName(row)), row);
}

TEST(CharacterParameterTable, LookupsFailOnUnknownNamesAndRows) {
    EXPECT_EQ(KDuzCharacterParameterIndex("posture"), -1);
    EXPECT_EQ(KDuzCharacterParameterIndex("ReachActorLeftAnkleRotation"), -1);
    EXPECT_EQ(KDuzCharacterParameterIndex(nullptr), -1);
    for (int row : {-1, 177, 1 << 30}) {
        EXPECT_EQ(KDuzCharacterParameterName(row), nullptr);
        EXPECT_EQ(KDuzCharacterParameterModeKind(row), 0);
        EXPECT_EQ(KDuzCharacterParameterMax(row), 0.0);
    }
}

TEST(CharacterParameterBlock, DefaultsOfANewBlock) {
    KDuzCharacterParameterBlock block;
    struct Row {
        int row;
        int mode;
        double value;
    };
    const Row rows[] = {
        {0, 0, 10},   {3, 1, 100},   {13, 0, 100},   // 1 as a percentage
        {67, 0, 60},  {105, 0, 60},  {109, 0, 50},   {133, 0, 150},
        {141, 0, 0.5}, {165, 1, 0},  {38, 1, 0},     // mode 1 on a row without modes
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.row);
        EXPECT_EQ(block.GetMode(r.row), r.mode);
        EXPECT_DOUBLE_EQ(block.GetValue(r.row), r.value);
    }
}

TEST(CharacterParameterBlock, ModesFollowTheRowsModeKind) {
    struct Case {
        int row;
        int mode;
        int expected;
    };
    const Case cases[] = {
        {0, 1, 0},    // kind 0 takes no mode
        {3, 2, 2},    // kind 2: Off, Auto, User
        {3, 3, 1},    {3, -1, 1},
        {78, 2, 0},   // kind 3: Auto, User only
        {78, 1, 1},   {2, 1, 1},    // kind 1: on/off
        {2, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << " mode " << c.mode);
        KDuzCharacterParameterBlock block;
        block.SetMode(c.row, c.mode);
        EXPECT_EQ(block.GetMode(c.row), c.expected);
    }
}

TEST(CharacterParameterBlock, ValuesAreNotLimitedAndBadRowsAreRefused) {
    KDuzCharacterParameterBlock block;
    EXPECT_TRUE(block.SetValue(0, 0, 99.0));
    EXPECT_DOUBLE_EQ(block.GetValue(0), 99.0);
    EXPECT_DOUBLE_EQ(block.GetValue(0, 2), 99.0);   // one value per row, whatever the index
    // A name that no row has gives -1; writing through it must not touch memory.
    const int missing = KDuzCharacterParameterIndex("NoSuchParameter");
    EXPECT_FALSE(block.SetValue(missing, 0, 1.0));
    EXPECT_FALSE(block.SetMode(missing, 1));
    EXPECT_FALSE(block.SetValue(177, 0, 1.0));
    EXPECT_EQ(block.GetValue(-1), 0.0);
    EXPECT_EQ(block.GetMode(177), 0);
}

TEST(CharacterParameterBlock, CopyGoesRowByRowWithModeChecks) {
    KDuzCharacterParameterBlock source;
    KDuzCharacterParameterBlock target;
    source.SetValue(0, 0, 12.0);
    source.SetMode(3, 2);
    source.SetValue(176, 0, 7.0);
    target.CopyFrom(source);
    EXPECT_DOUBLE_EQ(target.GetValue(0), 12.0);
    EXPECT_EQ(target.GetMode(3), 2);
    EXPECT_DOUBLE_EQ(target.GetValue(176), 7.0);
    EXPECT_EQ(target.GetMode(38), 1);   // refused by the mode check: the target keeps its own
}

}  // namespace
}  // namespace duzsdk
