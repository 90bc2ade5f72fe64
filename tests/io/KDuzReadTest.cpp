#include <gtest/gtest.h>

#include <cstring>

#include "DuzTestSupport.h"
#include "sdk/io/KDuz.h"

using namespace duzsdk;
using namespace duztest;

namespace {

class KDuzRead : public ::testing::Test {
protected:
    // Opens the main section of a hand-built id-less file.
    void Open(const std::function<void(ByteBuilder&)>& body)
    {
        ByteBuilder b;
        b.Header(6100);
        body(b);
        b.Null();
        bytes_ = b.bytes;
        ASSERT_TRUE(duz_.ProjectOpenMemory(bytes_.data(), bytes_.size())) << duz_.GetLastErrorString();
    }

    Bytes bytes_;
    KDuz duz_;
};

}  // namespace

TEST_F(KDuzRead, NamesIgnoreCaseAndIndexOrderIsSorted)
{
    Open([](ByteBuilder& b) {
        b.Record("Version", b.V().I(3));
        b.Record("alpha", b.V().I(1));
        b.Record("Beta", b.V().I(2));
    });
    EXPECT_EQ(duz_.FieldReadIntOrDefault("version", -1), 3);
    duz_.FieldReadRewind();
    EXPECT_EQ(duz_.FieldReadIntOrDefault("VERSION", -1), 3);
    ASSERT_EQ(duz_.FieldGetCount(), 3);
    EXPECT_STREQ(duz_.FieldGetName(0), "alpha");
    EXPECT_STREQ(duz_.FieldGetName(1), "Beta");
    EXPECT_STREQ(duz_.FieldGetName(2), "Version");
    EXPECT_STREQ(duz_.FieldGetName(3), "");
    EXPECT_STREQ(duz_.FieldGetName(-1), "");
    ASSERT_TRUE(duz_.FieldReadBeginByIndex(1, 0));
    EXPECT_EQ(duz_.FieldReadInt(), 2);
    EXPECT_FALSE(duz_.FieldReadBeginByIndex(1, 1));
    EXPECT_FALSE(duz_.FieldReadBeginByIndex(7, 0));
}

TEST_F(KDuzRead, OccurrencesComeInFileOrder)
{
    Open([](ByteBuilder& b) {
        b.Record("Model", b.V().I(1));
        b.Record("Other", b.V().I(9));
        b.Record("Model", b.V().I(2));
        b.Record("Model", b.V().I(3));
    });
    EXPECT_EQ(duz_.FieldGetInstanceCount("model"), 3);
    EXPECT_EQ(duz_.FieldGetInstanceCount("missing"), 0);
    for (int expected = 1; expected <= 3; ++expected) {
        ASSERT_TRUE(duz_.FieldReadBegin("Model"));
        // A second begin without an end gives the same occurrence from its start.
        EXPECT_EQ(duz_.FieldReadInt(), expected);
        ASSERT_TRUE(duz_.FieldReadBegin("Model"));
        EXPECT_EQ(duz_.FieldReadInt(), expected);
        duz_.FieldReadEnd();
    }
    EXPECT_FALSE(duz_.FieldReadBegin("Model"));
    ASSERT_TRUE(duz_.FieldReadBeginInstance("Model", 1));
    EXPECT_EQ(duz_.FieldReadInt(), 2);
    duz_.FieldReadEnd();
    ASSERT_TRUE(duz_.FieldReadBegin("Model"));
    EXPECT_EQ(duz_.FieldReadInt(), 3);
    EXPECT_FALSE(duz_.FieldReadBeginInstance("Model", 3));
    EXPECT_EQ(duz_.FieldReadRewind(), 2);
    ASSERT_TRUE(duz_.FieldReadBegin("Model"));
    EXPECT_EQ(duz_.FieldReadInt(), 1);
}

TEST_F(KDuzRead, ConversionsFollowTheStoredType)
{
    const double d = 1.0 + 1.0 / 1024;
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    Open([d](ByteBuilder& b) {
        b.Record("Values", b.V().C('x').I(-5).F(1.5f).L(1234567890123LL).D(d).S("text").R({1, 2, 3}));
        b.Record("Name", b.V().S(std::string("Cube\0\x01Model", 11)));
    });
    ASSERT_TRUE(duz_.FieldReadBegin("Values"));
    EXPECT_EQ(duz_.FieldReadGetValueCount(), 7);
    EXPECT_EQ(duz_.FieldReadGetNextValueType(), 'C');
    EXPECT_EQ(duz_.FieldReadChar(), 'x');
    EXPECT_EQ(duz_.FieldReadGetNextValueType(), 'I');
    EXPECT_EQ(duz_.FieldReadInt(), -5);
    EXPECT_EQ(duz_.FieldReadDouble(), 1.5);  // 'F' widened
    EXPECT_EQ(duz_.FieldReadInt64(), 1234567890123LL);
    // An int read of a 'D' is the double's first four bytes, unchanged.
    EXPECT_EQ(static_cast<uint32_t>(duz_.FieldReadInt()), static_cast<uint32_t>(bits));
    EXPECT_STREQ(duz_.FieldReadString(), "text");
    int length = 0;
    const auto* raw = static_cast<const uint8_t*>(duz_.FieldReadRaw(&length));
    ASSERT_NE(raw, nullptr);
    ASSERT_EQ(length, 3);
    EXPECT_EQ(raw[2], 3);
    EXPECT_EQ(duz_.FieldReadGetRemainingValueCount(), 0);
    EXPECT_EQ(duz_.FieldReadGetNextValueType(), 'S');
    // Past the last value every getter gives its empty result.
    EXPECT_EQ(duz_.FieldReadInt(), 0);
    EXPECT_STREQ(duz_.FieldReadString(), "");
    EXPECT_EQ(duz_.FieldReadRaw(&length), nullptr);
    duz_.FieldReadEnd();
    EXPECT_STREQ(duz_.FieldReadStringOrDefault("Name", ""), "Model::Cube");
}

// Getters that would reinterpret a shorter value must not read past it.
TEST_F(KDuzRead, TypeBlindGettersStayInsideTheValue)
{
    Open([](ByteBuilder& b) { b.Record("Last", b.V().I(7).C('c')); });
    ASSERT_TRUE(duz_.FieldReadBegin("Last"));
    int length = -1;
    EXPECT_EQ(duz_.FieldReadRaw(&length), nullptr);  // an int is no length
    EXPECT_EQ(length, 0);
    EXPECT_EQ(duz_.FieldReadInt64(), 0);  // a char has no eight bytes
    ASSERT_TRUE(duz_.FieldReadBegin("Last"));
    EXPECT_EQ(duz_.FieldReadInt64(), 0);  // nor has an int
    EXPECT_EQ(duz_.FieldReadInt(), 0);    // nor four, for a char
}

TEST_F(KDuzRead, BulkReadsConvertMixedValues)
{
    Open([](ByteBuilder& b) { b.Record("Mixed", b.V().I(1).I(2).F(3.0f).D(4.0).I(5)); });
    ASSERT_TRUE(duz_.FieldReadBegin("Mixed"));
    int ints[3] = {};
    duz_.FieldReadInts(ints, 3);  // the float reads as its bits, as FieldReadInt does
    EXPECT_EQ(ints[0], 1);
    EXPECT_EQ(ints[1], 2);
    EXPECT_EQ(ints[2], 0x40400000);
    double doubles[3] = {};
    duz_.FieldReadDoubles(doubles, 3);  // the last one is past the end
    EXPECT_EQ(doubles[0], 4.0);
    EXPECT_EQ(doubles[1], 0.0);  // an int does not convert
    EXPECT_EQ(doubles[2], 0.0);
    EXPECT_EQ(duz_.FieldReadGetRemainingValueCount(), 0);
}

TEST_F(KDuzRead, TimesFromTicksOrSeconds)
{
    Open([](ByteBuilder& b) {
        b.Record("Ticks", b.V().L(46186158000LL * 2));
        b.Record("Seconds", b.V().D(0.5));
        b.Record("Span", b.V().L(1).L(2));
    });
    EXPECT_EQ(duz_.FieldReadTimeByName("Ticks").Get(), 46186158000LL * 2);
    EXPECT_EQ(duz_.FieldReadTimeByName("Seconds").Get(), 46186158000LL / 2);
    EXPECT_EQ(duz_.FieldReadTimeByName("Missing").Get(), 0);
    KTime start, stop;
    duz_.FieldReadTimeSpanByName("Span", &start, &stop);
    EXPECT_EQ(start.Get(), 1);
    EXPECT_EQ(stop.Get(), 2);
}

TEST_F(KDuzRead, DefaultsForMissingFields)
{
    Open([](ByteBuilder& b) { b.Record("Vector", b.V().D(1).D(2).D(3)); });
    EXPECT_EQ(duz_.FieldReadIntOrDefault("None", 17), 17);
    EXPECT_EQ(duz_.FieldReadInt64OrDefault("None", -3), -3);
    EXPECT_EQ(duz_.FieldReadCharOrDefault("None", 'q'), 'q');
    EXPECT_EQ(duz_.FieldReadDoubleOrDefault("None", 2.25), 2.25);
    EXPECT_STREQ(duz_.FieldReadStringOrDefault("None", "dflt"), "dflt");
    double out[3] = {};
    const double defaults[3] = {7, 8, 9};
    duz_.FieldReadDoublesOrDefault("Vector", out, defaults, 3);
    EXPECT_EQ(out[2], 3.0);
    duz_.FieldReadDoublesOrDefault("None", out, defaults, 3);
    EXPECT_EQ(out[0], 7.0);
    EXPECT_FALSE(duz_.FieldReadIsBlock());
    EXPECT_FALSE(duz_.FieldReadBlockBegin());
}

TEST_F(KDuzRead, NestedBlocksAreEnteredAndLeft)
{
    Open([](ByteBuilder& b) {
        b.Record("Outer", b.V().S("o"), [&] {
            b.Record("Inner", b.V(), [&] {
                b.Record("Leaf", b.V().I(5));
                b.Null();
            });
            b.Null();
        });
        b.Record("Tail", b.V().I(6));
    });
    ASSERT_TRUE(duz_.FieldReadBegin("Outer"));
    EXPECT_STREQ(duz_.FieldReadString(), "o");
    ASSERT_TRUE(duz_.FieldReadBlockBegin());
    EXPECT_EQ(duz_.FieldGetCount(), 1);
    ASSERT_TRUE(duz_.FieldReadBegin("Inner"));
    ASSERT_TRUE(duz_.FieldReadBlockBegin());
    EXPECT_EQ(duz_.FieldReadIntOrDefault("Leaf", -1), 5);
    EXPECT_EQ(duz_.FieldReadIntOrDefault("Tail", -1), -1);
    duz_.FieldReadBlockEnd();
    duz_.FieldReadEnd();
    duz_.FieldReadBlockEnd();
    duz_.FieldReadEnd();
    duz_.FieldReadBlockEnd();  // nothing above the top level
    EXPECT_EQ(duz_.FieldReadIntOrDefault("Tail", -1), 6);
}
