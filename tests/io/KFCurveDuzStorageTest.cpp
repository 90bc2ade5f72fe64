#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CurveDuzTestSupport.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KFCurveDuzStorage.h"

using namespace duzsdk;
using curvetest::Bytes;

namespace {

using curvetest::kSecond;

// A file whose main section holds one "Curve" block written by `fill`.
Bytes CurveFile(bool binary, const std::function<void(KDuz&)>& fill, int version = 6100)
{
    return curvetest::WriteFile(
        binary,
        [&](KDuz& duz) {
            duz.FieldWriteBegin("Curve");
            duz.FieldWriteBlockBegin();
            fill(duz);
            duz.FieldWriteBlockEnd();
            duz.FieldWriteEnd();
        },
        version);
}

Bytes StoreCurve(bool binary, const KFCurve& curve, bool defaultOnly = false, bool withColor = true,
                 bool derivativeForm = false)
{
    return CurveFile(binary, [&](KDuz& duz) {
        EXPECT_TRUE(KFCurveDuzStore(curve, duz, defaultOnly, withColor, derivativeForm));
    });
}

// Opens the "Curve" block and hands it to `use`; the file's error comes back.
int InCurveBlock(const Bytes& bytes, const std::function<void(KDuz&)>& use)
{
    KDuz duz;
    EXPECT_TRUE(curvetest::OpenFile(duz, bytes)) << duz.GetLastErrorString();
    EXPECT_TRUE(duz.FieldReadBegin("Curve"));
    EXPECT_TRUE(duz.FieldReadBlockBegin());
    use(duz);
    duz.FieldReadBlockEnd();
    duz.FieldReadEnd();
    return duz.GetLastErrorID();
}

int LoadCurve(const Bytes& bytes, KFCurve& curve, bool withColor = true)
{
    return InCurveBlock(bytes, [&](KDuz& duz) { EXPECT_EQ(KFCurveDuzRetrieve(duz, &curve, false, withColor), &curve); });
}

// Every key kind the writer has a letter for, in one curve whose auto keys are
// continuous (an auto key whose two sides disagree reads back broken).
void FillEveryKind(KFCurve& c)
{
    c.SetDefaultValue(2.5f);
    int i = 0;
    auto time = [&i]() { return KTime(static_cast<std::int64_t>(i) * kSecond / 2 + 1000); };
    c.KeySet(i, time(), 1.0f, kFCurveInterpolationConstant, 0);
    ++i;
    c.KeySet(i, time(), 2.0f, kFCurveInterpolationConstant, kFCurveConstantNext);
    ++i;
    c.KeySet(i, time(), -3.0f, kFCurveInterpolationLinear, 0);
    ++i;
    c.KeySet(i, time(), 4.0f, kFCurveInterpolationCubic, kFCurveTangentAuto | kFCurveTangentClamp);
    ++i;
    c.KeySet(i, time(), 5.0f, kFCurveInterpolationCubic, kFCurveTangentAuto, 0.0f, 30.0f);
    ++i;
    c.KeySet(i, time(), 6.25f, kFCurveInterpolationCubic, kFCurveTangentAuto, -30.0f, 0.0f);
    ++i;
    c.KeySet(i, time(), 7.0f, kFCurveInterpolationCubic, kFCurveTangentAutoBreak | kFCurveTangentClamp, 10.0f, 5.0f);
    ++i;
    c.KeySetTCB(i, time(), 8.0f, 0.5f, -0.25f, 0.75f);
    ++i;
    c.KeySet(i, time(), 9.0f, kFCurveInterpolationCubic, kFCurveTangentUser, 1.5f, -2.5f);
    ++i;
    c.KeySet(i, time(), 10.0f, kFCurveInterpolationCubic, kFCurveTangentUserBreak, 0.5f, 0.25f, kFCurveWeightedRight,
             0.25f);
    ++i;
    c.KeySet(i, time(), 11.0f, kFCurveInterpolationCubic, kFCurveTangentUser, -1.0f, 2.0f, kFCurveWeightedAll, 0.4f,
             0.6f);
    ++i;
    c.KeySet(i, time(), 12.0f, kFCurveInterpolationCubic, kFCurveTangentUser, 3.0f, 4.0f, kFCurveWeightedNextLeft,
             kFCurveDefaultWeight, 0.2f);
    ++i;
    c.KeySet(i, time(), 13.0f, kFCurveInterpolationCubic, kFCurveTangentUser, 0.0f, 0.0f);
    c.SetPreExtrapolation(kFCurveExtrapolationMirrorRepetition);
    c.SetPreExtrapolationCount(3);
    c.SetPostExtrapolation(kFCurveExtrapolationRepetition);
    c.SetPostExtrapolationCount(-1);
    const float color[3] = {0.25f, 0.5f, 0.75f};
    c.SetColor(color);
}

void ExpectSameKeys(const KFCurve& a, const KFCurve& b)
{
    ASSERT_EQ(a.KeyGetCount(), b.KeyGetCount());
    for (int i = 0; i < a.KeyGetCount(); ++i) {
        SCOPED_TRACE("key " + std::to_string(i));
        const KFCurveKey& x = a.KeyRecord(i);
        const KFCurveKey& y = b.KeyRecord(i);
        EXPECT_EQ(x.mTime, y.mTime);
        EXPECT_EQ(x.mValue, y.mValue);
        EXPECT_EQ(x.GetInterpolation(), y.GetInterpolation());
        if (x.GetInterpolation() == kFCurveInterpolationConstant) {
            EXPECT_EQ(x.mFlags & kFCurveConstantNext, y.mFlags & kFCurveConstantNext);
        }
        if (!x.IsCubic()) continue;
        EXPECT_EQ(x.GetTangentMode(true), y.GetTangentMode(true));
        EXPECT_EQ(x.mFlags & kFCurveWeightedAll, y.mFlags & kFCurveWeightedAll);
        EXPECT_EQ(x.mData[0], y.mData[0]);
        EXPECT_EQ(x.mData[1], y.mData[1]);
        if (x.GetTangentMode() == kFCurveTangentTCB) {
            EXPECT_EQ(x.GetData2(), y.GetData2());
        } else {
            if (x.mFlags & kFCurveWeightedRight) {
                EXPECT_EQ(x.mWeight[0], y.mWeight[0]);
            }
            if (x.mFlags & kFCurveWeightedNextLeft) {
                EXPECT_EQ(x.mWeight[1], y.mWeight[1]);
            }
        }
    }
}

class CurveStorage : public ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(Encodings, CurveStorage, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(curvetest::EncodingName(info.param));
                         });

TEST_P(CurveStorage, EveryKeyKindReadsBackAsWritten)
{
    KFCurve written;
    FillEveryKind(written);
    KFCurve read;
    EXPECT_EQ(LoadCurve(StoreCurve(GetParam(), written), read), -1);
    ExpectSameKeys(written, read);
    EXPECT_EQ(read.GetDefaultValue(), 2.5f);
    EXPECT_EQ(read.GetPreExtrapolation(), kFCurveExtrapolationMirrorRepetition);
    EXPECT_EQ(read.GetPreExtrapolationCount(), 3);
    EXPECT_EQ(read.GetPostExtrapolation(), kFCurveExtrapolationRepetition);
    EXPECT_EQ(read.GetPostExtrapolationCount(), -1);
    EXPECT_EQ(read.GetColor()[0], 0.25f);
    EXPECT_EQ(read.GetColor()[2], 0.75f);
}

TEST_P(CurveStorage, FieldsPresentFollowKeysAndOptions)
{
    struct Case {
        const char* name;
        bool keys, defaultOnly, withColor, constantExtrapolation;
        std::vector<const char*> present, absent;
    };
    const std::vector<Case> cases = {
        {"no keys", false, false, true, true, {"Default", "Color"}, {"KeyVer", "KeyCount", "Key", "Pre-Extrapolation"}},
        {"default only", true, true, false, true, {"Default"}, {"KeyVer", "Color"}},
        {"keys, constant ends", true, false, false, true, {"KeyVer", "KeyCount", "Key"},
         {"Pre-Extrapolation", "Post-Extrapolation", "Color"}},
        {"keys, repeated post", true, false, false, false, {"Post-Extrapolation"}, {"Pre-Extrapolation"}},
        {"keys, default only", true, true, true, false, {"Default"},
         {"KeyVer", "Key", "Post-Extrapolation", "Color"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KFCurve curve;
        if (c.keys) {
            curve.KeySet(0, KTime(0), 1.0f);
            curve.KeySet(1, KTime(kSecond), 2.0f);
        }
        if (!c.constantExtrapolation) {
            curve.SetPostExtrapolation(kFCurveExtrapolationRepetition);
            curve.SetPostExtrapolationCount(-1);
        }
        InCurveBlock(StoreCurve(GetParam(), curve, c.defaultOnly, c.withColor), [&](KDuz& duz) {
            for (const char* name : c.present) EXPECT_EQ(duz.FieldGetInstanceCount(name), 1) << name;
            for (const char* name : c.absent) EXPECT_EQ(duz.FieldGetInstanceCount(name), 0) << name;
            if (duz.FieldReadBegin("Post-Extrapolation")) {
                ASSERT_TRUE(duz.FieldReadBlockBegin());
                EXPECT_EQ(duz.FieldReadCharOrDefault("Type", 0), 'R');
                EXPECT_EQ(duz.FieldReadIntOrDefault("Repetition", 0), -1);
                duz.FieldReadBlockEnd();
            }
        });
    }
}

TEST_P(CurveStorage, KeyLettersOfAutoClampAndWeightedUserKeys)
{
    KFCurve curve;
    curve.KeySet(0, KTime(0), 1.0f, kFCurveInterpolationCubic, kFCurveTangentAuto | kFCurveTangentClamp);
    curve.KeySet(1, KTime(kSecond), 2.0f, kFCurveInterpolationCubic, kFCurveTangentUser, 0.5f, -0.5f,
                 kFCurveWeightedAll, 0.25f, 0.5f);
    curve.KeySet(2, KTime(2 * kSecond), 3.0f, kFCurveInterpolationLinear, 0);
    InCurveBlock(StoreCurve(GetParam(), curve), [&](KDuz& duz) {
        EXPECT_EQ(duz.FieldReadIntOrDefault("KeyVer", 0), 4005);
        EXPECT_EQ(duz.FieldReadIntOrDefault("KeyCount", 0), 3);
        ASSERT_TRUE(duz.FieldReadBegin("Key"));
        EXPECT_EQ(duz.FieldReadGetValueCount(), 5 + 9 + 3);
        EXPECT_EQ(duz.FieldReadTime().Get(), 0);
        EXPECT_EQ(duz.FieldReadDouble(), 1.0);
        EXPECT_EQ(duz.FieldReadChar(), 'U');
        EXPECT_EQ(duz.FieldReadChar(), 'a');
        EXPECT_EQ(duz.FieldReadChar(), 'c');
        EXPECT_EQ(duz.FieldReadTime().Get(), kSecond);
        EXPECT_EQ(duz.FieldReadDouble(), 2.0);
        EXPECT_EQ(duz.FieldReadChar(), 'U');
        EXPECT_EQ(duz.FieldReadChar(), 's');
        EXPECT_EQ(duz.FieldReadDouble(), 0.5);
        EXPECT_EQ(duz.FieldReadDouble(), -0.5);
        EXPECT_EQ(duz.FieldReadChar(), 'a');
        EXPECT_NEAR(duz.FieldReadDouble(), 0.25, 1e-4);
        EXPECT_NEAR(duz.FieldReadDouble(), 0.5, 1e-4);
        duz.FieldReadTime();
        duz.FieldReadDouble();
        EXPECT_EQ(duz.FieldReadChar(), 'L');
        EXPECT_EQ(duz.FieldReadGetRemainingValueCount(), 0);
        duz.FieldReadEnd();
    });
}

// The derivative form writes no clamp letters; its key version must say so,
// or every key after an auto key would be misread.
TEST_P(CurveStorage, DerivativeFormWritesSlopesInsteadOfAutoParameters)
{
    KFCurve curve;
    const float values[] = {0.0f, 3.0f, 1.0f, 4.0f, 4.0f, -2.0f};
    for (int i = 0; i < 6; ++i) {
        const bool user = i == 3;
        curve.KeySet(i, KTime(i * kSecond), values[i], kFCurveInterpolationCubic,
                     user ? kFCurveTangentUser : kFCurveTangentAuto | kFCurveTangentClamp, user ? 1.0f : 0.0f,
                     user ? -1.0f : 0.0f);
    }
    curve.KeySetRightAuto(1, 40.0f);
    KFCurve read;
    const Bytes bytes = StoreCurve(GetParam(), curve, false, false, true);
    InCurveBlock(bytes, [](KDuz& duz) { EXPECT_EQ(duz.FieldReadIntOrDefault("KeyVer", 0), 4004); });
    EXPECT_EQ(LoadCurve(bytes, read), -1);
    ASSERT_EQ(read.KeyGetCount(), curve.KeyGetCount());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(read.KeyGetTime(i).Get(), curve.KeyGetTime(i).Get());
        EXPECT_EQ(read.KeyGetValue(i), curve.KeyGetValue(i));
    }
    struct Expected {
        int key;
        std::uint32_t mode;
        int slot;
        float value;
    };
    const Expected expected[] = {
        {0, kFCurveTangentAuto, 0, 0.0f},                                   // "a"
        {1, kFCurveTangentUser, 0, curve.ComputeRightDerivative(1)},        // "s": its own auto was not 0
        {1, kFCurveTangentUser, 1, curve.ComputeLeftDerivative(2)},         //
        {2, kFCurveTangentAuto, 1, curve.ComputeLeftDerivative(3)},         // "d": a user key follows
        {3, kFCurveTangentUser, 1, -1.0f},                                  // user keys as they are
        {4, kFCurveTangentUser, 0, curve.ComputeRightDerivative(4)},        // the user key before left a slope
        {5, kFCurveTangentAuto, 0, 0.0f},                                   // "a"
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.key);
        EXPECT_EQ(read.KeyGetTangentMode(e.key, true), e.mode);
        EXPECT_FLOAT_EQ(read.KeyGetDataFloat(e.key, e.slot), e.value);
    }
}

TEST_P(CurveStorage, RetrieveEntries)
{
    KFCurve curve;
    curve.SetDefaultValue(7.0f);
    curve.KeySet(0, KTime(0), 1.0f);
    const Bytes bytes = StoreCurve(GetParam(), curve);
    InCurveBlock(bytes, [](KDuz& duz) {
        KFCurve* created = KFCurveDuzRetrieve(duz, false, false);
        ASSERT_NE(created, nullptr);
        EXPECT_EQ(created->KeyGetCount(), 1);
        EXPECT_EQ(created->GetDefaultValue(), 7.0f);
        KFCurveObjectDelete(created);
    });
    // Default only: keys of the target are dropped and none read.
    KFCurve target;
    target.KeySet(0, KTime(5), 9.0f);
    target.KeySet(1, KTime(6), 9.0f);
    InCurveBlock(bytes, [&](KDuz& duz) { EXPECT_EQ(KFCurveDuzRetrieve(duz, &target, true, false), &target); });
    EXPECT_EQ(target.KeyGetCount(), 0);
    EXPECT_EQ(target.GetDefaultValue(), 7.0f);
    // No "Default" field: nothing is read.
    const Bytes empty = CurveFile(GetParam(), [](KDuz& duz) { duz.FieldWriteNamedString("Other", "x"); });
    InCurveBlock(empty, [](KDuz& duz) { EXPECT_EQ(KFCurveDuzRetrieve(duz, false, false), nullptr); });
}

int gCallbackCalls = 0;
void CountCall(KFCurve*, KFCurveChange*, void*) { ++gCallbackCalls; }

TEST_P(CurveStorage, LoadingItselfReportsNothing)
{
    KFCurve written;
    FillEveryKind(written);
    KFCurve read;
    read.KeySet(0, KTime(3), 1.0f);
    read.CallbackRegister(CountCall, nullptr);
    gCallbackCalls = 0;
    LoadCurve(StoreCurve(GetParam(), written), read);
    // Dropping the old keys is reported; the keys loaded are not.
    EXPECT_EQ(gCallbackCalls, 1);
    read.SetDefaultValue(1.0f);
    EXPECT_EQ(gCallbackCalls, 2);
}

// ---------------------------------------------------------------- malformed

void WriteKeyFields(KDuz& duz, int version, int count, const std::function<void(KDuz&)>& keys)
{
    duz.FieldWriteBegin("Default");
    duz.FieldWriteDouble(0.5);
    duz.FieldWriteEnd();
    if (version != 0) {
        duz.FieldWriteBegin("KeyVer");
        duz.FieldWriteInt(version);
        duz.FieldWriteEnd();
    }
    duz.FieldWriteBegin("KeyCount");
    duz.FieldWriteInt(count);
    duz.FieldWriteEnd();
    if (keys) {
        duz.FieldWriteBegin("Key");
        keys(duz);
        duz.FieldWriteEnd();
    }
}

void LinearKey(KDuz& duz, std::int64_t ticks, double value)
{
    duz.FieldWriteTime(KTime(ticks));
    duz.FieldWriteDouble(value);
    duz.FieldWriteChar('L');
}

TEST_P(CurveStorage, EachKeyVersionReadsItsOwnGrammar)
{
    // The same four keys in the letter grammar of each version: constant-mode
    // letters from 4004, weight parts from 4002, clamp letters from 4005, and
    // the extra auto value of 4000.
    for (int version = 4000; version <= 4005; ++version) {
        SCOPED_TRACE(version);
        KFCurve read;
        const Bytes bytes = CurveFile(GetParam(), [&](KDuz& duz) {
            WriteKeyFields(duz, version, 4, [&](KDuz& d) {
                d.FieldWriteTime(KTime(0));
                d.FieldWriteDouble(1.0);
                d.FieldWriteChar('C');
                if (version >= 4004) d.FieldWriteChar('n');
                d.FieldWriteTime(KTime(kSecond));
                d.FieldWriteDouble(2.0);
                d.FieldWriteChar('U');
                d.FieldWriteChar('a');
                if (version == 4000) d.FieldWriteDouble(7.0);
                if (version >= 4005) d.FieldWriteChar('c');
                d.FieldWriteTime(KTime(2 * kSecond));
                d.FieldWriteDouble(3.0);
                d.FieldWriteChar('U');
                d.FieldWriteChar('s');
                d.FieldWriteDouble(0.5);
                d.FieldWriteDouble(-0.5);
                if (version >= 4002) {
                    d.FieldWriteChar('r');
                    d.FieldWriteDouble(0.25);
                }
                LinearKey(d, 3 * kSecond, 4.0);
            });
        });
        EXPECT_EQ(LoadCurve(bytes, read), -1);
        ASSERT_EQ(read.KeyGetCount(), 4);
        EXPECT_EQ(read.KeyGetConstantMode(0), version >= 4004 ? kFCurveConstantNext : 0u);
        EXPECT_EQ(read.KeyGetTangentMode(1, true), version >= 4005 ? kFCurveTangentAuto | kFCurveTangentClamp
                                                                   : kFCurveTangentAuto);
        EXPECT_EQ(read.KeyGetDataFloat(1, 1), version == 4000 ? 7.0f : 0.0f);
        EXPECT_EQ(read.KeyGetTangentMode(2), kFCurveTangentUser);
        EXPECT_EQ(read.KeyGetDataFloat(2, 0), 0.5f);
        EXPECT_EQ(read.KeyGetWeightMode(2), version >= 4002 ? kFCurveWeightedRight : 0u);
        EXPECT_EQ(read.KeyGetInterpolation(3), kFCurveInterpolationLinear);
        EXPECT_EQ(read.KeyGetValue(3), 4.0f);
    }
}

TEST_P(CurveStorage, MalformedKeyFields)
{
    struct Case {
        const char* name;
        int count;
        std::function<void(KDuz&)> keys;
        int keysLoaded;
        bool corrupted;
    };
    const auto twoKeys = [](KDuz& duz) {
        LinearKey(duz, 0, 1.0);
        LinearKey(duz, kSecond, 2.0);
    };
    const std::vector<Case> cases = {
        {"count far beyond the values", 1 << 30, twoKeys, 2, true},
        {"largest count", 0x7FFFFFFF, twoKeys, 2, true},
        {"negative count", -5, twoKeys, 0, true},
        {"count without a Key field", 3, nullptr, 0, true},
        {"truncated last key", 3,
         [&](KDuz& duz) {
             twoKeys(duz);
             duz.FieldWriteTime(KTime(2 * kSecond));
             duz.FieldWriteDouble(3.0);
             duz.FieldWriteChar('U');
             duz.FieldWriteChar('s');
             duz.FieldWriteDouble(1.0);
         },
         2, true},
        {"time not after the previous", 3,
         [&](KDuz& duz) {
             twoKeys(duz);
             LinearKey(duz, kSecond, 5.0);
         },
         2, false},
        {"unknown letters", 4,
         [&](KDuz& duz) {
             LinearKey(duz, 0, 1.0);
             duz.FieldWriteTime(KTime(kSecond));
             duz.FieldWriteDouble(2.0);
             duz.FieldWriteChar('X');
             duz.FieldWriteTime(KTime(2 * kSecond));
             duz.FieldWriteDouble(2.0);
             duz.FieldWriteChar('U');
             duz.FieldWriteChar('?');
             LinearKey(duz, 3 * kSecond, 4.0);
         },
         2, false},
        {"smaller count reads the first keys", 1, twoKeys, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KFCurve read;
        const Bytes bytes = CurveFile(GetParam(), [&](KDuz& duz) { WriteKeyFields(duz, 4005, c.count, c.keys); });
        const int error = LoadCurve(bytes, read);
        EXPECT_EQ(error, c.corrupted ? KDuz::kErrorCorrupted : -1);
        EXPECT_EQ(read.KeyGetCount(), c.keysLoaded);
        EXPECT_LE(read.KeyGetCapacity(), 1600);
        for (int i = 1; i < read.KeyGetCount(); ++i) EXPECT_GT(read.KeyRecord(i).mTime, read.KeyRecord(i - 1).mTime);
    }
}

TEST_P(CurveStorage, AbsurdKeyVersionsStillLoadSafely)
{
    for (int version : {-7, 1, 3999, 4001, 4003, 99999, 0x7FFFFFFF}) {
        SCOPED_TRACE(version);
        KFCurve read;
        const Bytes bytes = CurveFile(GetParam(), [&](KDuz& duz) {
            WriteKeyFields(duz, version, 3, [](KDuz& d) {
                LinearKey(d, 0, 1.0);
                d.FieldWriteTime(KTime(kSecond));
                d.FieldWriteDouble(2.0);
                d.FieldWriteChar('U');
                d.FieldWriteChar('a');
                d.FieldWriteChar('n');
                LinearKey(d, 2 * kSecond, 3.0);
            });
        });
        LoadCurve(bytes, read);
        EXPECT_GE(read.KeyGetCount(), 1);
        for (int i = 0; i < read.KeyGetCount(); ++i) {
            EXPECT_TRUE(std::isfinite(read.KeyRecord(i).mData[0]));
            EXPECT_TRUE(std::isfinite(read.KeyRecord(i).mData[1]));
        }
    }
}

TEST(CurveStorageBinary, JunkValuesBetweenKeysAreSkipped)
{
    // After a bad key the reader looks for the next value of the type the
    // first time had, so one broken key costs only itself.
    KFCurve read;
    const Bytes bytes = CurveFile(true, [](KDuz& duz) {
        WriteKeyFields(duz, 4005, 3, [](KDuz& d) {
            LinearKey(d, 0, 1.0);
            d.FieldWriteTime(KTime(kSecond));
            d.FieldWriteInt(12);  // a value where the key's value belongs
            d.FieldWriteChar('L');
            d.FieldWriteString("junk");
            LinearKey(d, 2 * kSecond, 3.0);
        });
    });
    EXPECT_EQ(LoadCurve(bytes, read), -1);
    ASSERT_EQ(read.KeyGetCount(), 2);
    EXPECT_EQ(read.KeyGetValue(1), 3.0f);
}

TEST(CurveStorageBinary, ManyBadKeysAreDroppedInLinearTime)
{
    // Every other key repeats the previous time: half the keys are bad.
    constexpr int kCount = 200000;
    KFCurve read;
    const Bytes bytes = CurveFile(true, [](KDuz& duz) {
        WriteKeyFields(duz, 4005, kCount, [](KDuz& d) {
            for (int i = 0; i < kCount; ++i) LinearKey(d, (i / 2) * 1000, i);
        });
    });
    EXPECT_EQ(LoadCurve(bytes, read), -1);
    ASSERT_EQ(read.KeyGetCount(), kCount / 2);
    EXPECT_EQ(read.KeyGetValue(1), 2.0f);
    EXPECT_EQ(read.KeyRecord(kCount / 2 - 1).mTime, (kCount / 2 - 1) * 1000);
}

TEST(CurveStorageBinary, CubicKeyWithoutTangentLetterIsAuto)
{
    KFCurve read;
    const Bytes bytes = CurveFile(true, [](KDuz& duz) {
        WriteKeyFields(duz, 4005, 2, [](KDuz& d) {
            d.FieldWriteTime(KTime(0));
            d.FieldWriteDouble(1.0);
            d.FieldWriteChar('U');
            LinearKey(d, kSecond, 2.0);
        });
    });
    EXPECT_EQ(LoadCurve(bytes, read), -1);
    ASSERT_EQ(read.KeyGetCount(), 2);
    EXPECT_EQ(read.KeyGetTangentMode(0, true), kFCurveTangentAuto);
    EXPECT_EQ(read.KeyGetInterpolation(1), kFCurveInterpolationLinear);
}

TEST_P(CurveStorage, ExtrapolationBlockWithoutTypeGivesModeZero)
{
    KFCurve read;
    const Bytes bytes = CurveFile(GetParam(), [](KDuz& duz) {
        WriteKeyFields(duz, 4005, 1, [](KDuz& d) { LinearKey(d, 0, 1.0); });
        duz.FieldWriteBegin("Pre-Extrapolation");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Repetition");
        duz.FieldWriteInt(4);
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    });
    EXPECT_EQ(LoadCurve(bytes, read), -1);
    EXPECT_EQ(read.GetPreExtrapolation(), 0);
    EXPECT_EQ(read.GetPreExtrapolationCount(), 4);
    EXPECT_EQ(read.GetPostExtrapolation(), kFCurveExtrapolationConstant);
}

// ---------------------------------------------------------- old key forms

TEST_P(CurveStorage, OldFormsConvertToCurrentModes)
{
    // Version 3000: a TCB key, a user key after it, two auto keys, a key after
    // a constant one.
    KFCurve read;
    const Bytes bytes = CurveFile(
        GetParam(),
        [](KDuz& duz) {
            WriteKeyFields(duz, 3000, 5, [](KDuz& d) {
                d.FieldWriteTime(KTime(0));
                d.FieldWriteDouble(0.0);
                d.FieldWriteChar('T');
                d.FieldWriteDouble(0.0);
                d.FieldWriteDouble(0.0);
                d.FieldWriteDouble(0.0);
                d.FieldWriteTime(KTime(kSecond));
                d.FieldWriteDouble(1.0);
                d.FieldWriteChar('U');
                d.FieldWriteChar('s');
                d.FieldWriteDouble(2.0);
                d.FieldWriteDouble(2.0);
                d.FieldWriteTime(KTime(2 * kSecond));
                d.FieldWriteDouble(3.0);
                d.FieldWriteChar('U');
                d.FieldWriteChar('a');
                d.FieldWriteTime(KTime(3 * kSecond));
                d.FieldWriteDouble(2.0);
                d.FieldWriteChar('C');
                d.FieldWriteTime(KTime(4 * kSecond));
                d.FieldWriteDouble(5.0);
                d.FieldWriteChar('U');
                d.FieldWriteChar('a');
            });
        },
        3000);
    EXPECT_EQ(LoadCurve(bytes, read), -1);
    ASSERT_EQ(read.KeyGetCount(), 5);
    EXPECT_EQ(read.KeyGetTangentMode(0), kFCurveTangentTCB);
    EXPECT_EQ(read.KeyGetTangentMode(1), kFCurveTangentUserBreak);  // user after TCB
    EXPECT_EQ(read.KeyGetTangentMode(2), kFCurveTangentUser);       // auto after user
    // The old auto key cleared the user key's next-left slope before it.
    EXPECT_EQ(read.KeyGetDataFloat(2, 0), 0.0f);
    EXPECT_EQ(read.KeyGetInterpolation(3), kFCurveInterpolationConstant);
    EXPECT_EQ(read.KeyGetTangentMode(4), kFCurveTangentUser);  // last key, after a constant
    EXPECT_EQ(read.KeyGetDataFloat(4, 0), 0.0f);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(std::isfinite(read.KeyGetDataFloat(i, 0)));
        EXPECT_TRUE(std::isfinite(read.KeyGetDataFloat(i, 1)));
    }
}

TEST_P(CurveStorage, OldBezierFormsBecomeSlopes)
{
    // "B" keys hold control values; the pair at one time must not divide by a
    // zero span into the good key before it.
    struct Case {
        std::int64_t secondTime;
        int keys;
    };
    for (const Case& c : {Case{kSecond, 2}, Case{0, 1}}) {
        SCOPED_TRACE(c.secondTime);
        KFCurve read;
        const Bytes bytes = CurveFile(GetParam(), [&](KDuz& duz) {
            WriteKeyFields(duz, 0, 2, [&](KDuz& d) {
                d.FieldWriteTime(KTime(0));
                d.FieldWriteDouble(0.0);
                d.FieldWriteChar('B');
                d.FieldWriteChar('b');
                d.FieldWriteDouble(0.0);
                d.FieldWriteDouble(1.0);  // right control value of key 0
                d.FieldWriteTime(KTime(c.secondTime));
                d.FieldWriteDouble(3.0);
                d.FieldWriteChar('B');
                d.FieldWriteChar('b');
                d.FieldWriteDouble(2.0);  // left control value of key 1
                d.FieldWriteDouble(0.0);
            });
        });
        LoadCurve(bytes, read);
        ASSERT_EQ(read.KeyGetCount(), c.keys);
        // (1 - 0) x 3 / 1 s as the right slope of key 0; (2 - 3) x -3 / 1 s left of key 1.
        if (c.keys == 2) {
            EXPECT_FLOAT_EQ(read.KeyGetDataFloat(0, 0), 3.0f);
            EXPECT_FLOAT_EQ(read.KeyGetDataFloat(0, 1), 3.0f);
        }
        for (int i = 0; i < read.KeyGetCount(); ++i) EXPECT_TRUE(std::isfinite(read.KeyGetDataFloat(i, 0)));
    }
}

TEST(CurveStorageAscii, HandWrittenCurrentForm)
{
    const Bytes bytes = curvetest::AsciiFile(
        "Curve:  {\n"
        "    Default: 1.5\n"
        "    KeyVer: 4005\n"
        "    KeyCount: 3\n"
        "    Key: 0,1,C,n,46186158000,2,U,q,1,2,r,0.5,n,92372316000,3,U,t,0.1,0.2,0.3\n"
        "    Color: 1,0,0\n"
        "}\n");
    KFCurve read;
    EXPECT_EQ(LoadCurve(bytes, read), -1);
    ASSERT_EQ(read.KeyGetCount(), 3);
    EXPECT_EQ(read.KeyGetConstantMode(0), kFCurveConstantNext);
    EXPECT_EQ(read.KeyGetTangentMode(1, true), kFCurveTangentAutoBreak);
    EXPECT_EQ(read.KeyGetWeightMode(1), kFCurveWeightedRight);
    EXPECT_NEAR(read.KeyGetDataDouble(1, kFCurveDataWeightRight), 0.5, 1e-4);
    EXPECT_EQ(read.KeyGetTangentMode(2), kFCurveTangentTCB);
    EXPECT_FLOAT_EQ(read.KeyGetDataFloat(2, 2), 0.3f);
    EXPECT_EQ(read.GetColor()[1], 0.0f);
}

}  // namespace
