// Curve fields of an DUZ field file: writer, reader with every key version
// from the oldest forms up to 4005, and the conversion of old tangent data.

#include "sdk/io/KFCurveDuzStorage.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

#include "sdk/io/KDuz.h"

namespace duzsdk {

namespace {

constexpr double kTicksPerSecond = 46186158000.0;
constexpr std::int64_t kBadTimeTicks = static_cast<std::int64_t>(0x8000000000000000ULL);
// Removing bad keys one at a time moves every key above each; past this many
// moves in all (only a file made of junk gets there) the keys are compacted in
// one pass instead.
constexpr std::int64_t kMaxRemovalMoves = 4000000;

double SecondsBetween(std::int64_t a, std::int64_t b)
{
    return static_cast<double>(static_cast<__int128>(b) - static_cast<__int128>(a)) / kTicksPerSecond;
}

// Doubles from a file may lie outside the float range; converting those is
// undefined, so they saturate.
float ToFloat(double value)
{
    if (std::isnan(value)) return static_cast<float>(value);
    if (value > FLT_MAX) return HUGE_VALF;
    if (value < -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(value);
}

// A stored weight is written as its 16-bit value / 9999. Storing it back goes
// through float and truncation, which can lose one unit; aiming at the middle
// of the unit makes a written weight read back unchanged.
double WeightForStore(double weight)
{
    if (!std::isfinite(weight)) return weight;
    const double units = std::round(weight * kFCurveFixedScale);
    if (units < 1.0 || units > 32766.0) return weight;
    return (units + 0.5) / kFCurveFixedScale;
}

char ExtrapolationLetter(int mode)
{
    switch (mode) {
    case kFCurveExtrapolationConstant: return 'C';
    case kFCurveExtrapolationRepetition: return 'R';
    case kFCurveExtrapolationMirrorRepetition: return 'M';
    case kFCurveExtrapolationKeepSlope: return 'K';
    default: return 0;
    }
}

int ExtrapolationMode(char letter)
{
    switch (letter) {
    case 'C': return kFCurveExtrapolationConstant;
    case 'R': return kFCurveExtrapolationRepetition;
    case 'M': return kFCurveExtrapolationMirrorRepetition;
    case 'K': return kFCurveExtrapolationKeepSlope;
    default: return 0;
    }
}

// ------------------------------------------------------------------ writing

void WriteWeightPart(const KFCurve& curve, KDuz& duz, int index)
{
    const std::uint32_t mode = curve.KeyGetWeightMode(index);
    const bool right = (mode & kFCurveWeightedRight) != 0;
    const bool nextLeft = (mode & kFCurveWeightedNextLeft) != 0;
    duz.FieldWriteChar(right ? (nextLeft ? 'a' : 'r') : (nextLeft ? 'l' : 'n'));
    if (right) duz.FieldWriteDouble(curve.KeyGetDataDouble(index, kFCurveDataWeightRight));
    if (nextLeft) duz.FieldWriteDouble(curve.KeyGetDataDouble(index, kFCurveDataWeightNextLeft));
}

void WriteAutoKeyAsDerivatives(const KFCurve& curve, KDuz& duz, int index, const KFCurveKey& key)
{
    const int count = curve.KeyGetCount();
    const bool hasNext = index + 1 < count;
    const bool prevData1 = index > 0 && curve.KeyRecord(index - 1).mData[1] != 0.0f;
    if ((index == 0 && key.mData[0] != 0.0f) || prevData1 || key.mData[0] != 0.0f) {
        duz.FieldWriteChar((key.mFlags & kFCurveTangentBreak) ? 'b' : 's');
        duz.FieldWriteDouble(curve.ComputeRightDerivative(index));
        duz.FieldWriteDouble(hasNext ? curve.ComputeLeftDerivative(index + 1) : 0.0);
        WriteWeightPart(curve, duz, index);
    } else if (hasNext && curve.KeyRecord(index + 1).IsCubic() &&
               (curve.KeyRecord(index + 1).mFlags & kFCurveTangentUser) != 0) {
        duz.FieldWriteChar('d');
        duz.FieldWriteDouble(curve.ComputeLeftDerivative(index + 1));
        WriteWeightPart(curve, duz, index);
    } else {
        duz.FieldWriteChar('a');
    }
}

void WriteKey(const KFCurve& curve, KDuz& duz, int index, bool derivativeForm)
{
    const KFCurveKey& key = curve.KeyRecord(index);
    duz.FieldWriteTime(KTime(key.mTime));
    duz.FieldWriteDouble(key.mValue);
    const std::uint32_t interpolation = key.GetInterpolation();
    if (interpolation == kFCurveInterpolationConstant) {
        duz.FieldWriteChar('C');
        duz.FieldWriteChar((key.mFlags & kFCurveConstantNext) ? 'n' : 's');
        return;
    }
    if (interpolation == kFCurveInterpolationLinear) {
        duz.FieldWriteChar('L');
        return;
    }
    duz.FieldWriteChar('U');
    const std::uint32_t mode = key.GetTangentMode();
    if (mode & kFCurveTangentTCB) {
        duz.FieldWriteChar('t');
        duz.FieldWriteDouble(key.mData[0]);
        duz.FieldWriteDouble(key.mData[1]);
        duz.FieldWriteDouble(key.GetData2());
        return;
    }
    if (mode & kFCurveTangentUser) {
        duz.FieldWriteChar((mode & kFCurveTangentBreak) ? 'b' : 's');
        duz.FieldWriteDouble(key.mData[0]);
        duz.FieldWriteDouble(key.mData[1]);
        WriteWeightPart(curve, duz, index);
        return;
    }
    // Auto, auto + break, and a key without a tangent mode (kept as auto).
    if (derivativeForm) {
        WriteAutoKeyAsDerivatives(curve, duz, index, key);
        return;
    }
    if (key.mData[0] != 0.0f || key.mData[1] != 0.0f) {
        duz.FieldWriteChar((mode & kFCurveTangentBreak) ? 'q' : 'p');
        duz.FieldWriteDouble(key.mData[0]);
        duz.FieldWriteDouble(key.mData[1]);
        WriteWeightPart(curve, duz, index);
    } else {
        duz.FieldWriteChar('a');
    }
    duz.FieldWriteChar((key.mFlags & kFCurveTangentClamp) ? 'c' : 'n');
}

void WriteExtrapolation(KDuz& duz, const char* name, int mode, int count)
{
    const char letter = ExtrapolationLetter(mode);
    if (letter == 0 || (mode == kFCurveExtrapolationConstant && count == 0)) return;
    duz.FieldWriteBegin(name);
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Type");
    duz.FieldWriteChar(letter);
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("Repetition");
    duz.FieldWriteInt(count);
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

// ------------------------------------------------------------------ reading

// State of one "Key" field being read.
class KeyReader {
public:
    KeyReader(KFCurve& curve, KDuz& duz, int version) : c_(curve), duz_(duz), version_(version) {}

    // Reads up to `count` keys; false when the field ran out of values first.
    bool ReadKeys(int count);
    void RemoveBadKeys();

private:
    enum class Result { Good, Bad };

    // In a binary file a letter must be a character value; anything else is
    // left for the next key to resynchronise on.
    char ReadLetter()
    {
        if (!Take() || (Binary() && duz_.FieldReadGetNextValueType() != 'C')) return 0;
        return duz_.FieldReadChar();
    }
    double ReadDouble() { return Take() ? duz_.FieldReadDouble() : 0.0; }
    float ReadFloat() { return ToFloat(ReadDouble()); }
    // A key that needs more values than the field has is cut off.
    bool Take()
    {
        if (duz_.FieldReadGetRemainingValueCount() > 0) return true;
        overrun_ = true;
        return false;
    }
    bool Binary() const { return duz_.IsBinary(); }

    Result ReadKey(int i);
    Result ReadOldForm(int i, char letter);
    Result ReadTangent(int i, char letter);
    void ReadWeightPart(int i);
    void ReadClampLetter(int i);
    void ResetPreviousNextLeftWeight(int i);
    void SetMode(int i, std::uint32_t mode) { c_.KeySetTangentMode(i, mode); }
    void SetData(int i, int slot, float v) { c_.KeySetDataFloat(i, slot, v); }

    KFCurve& c_;
    KDuz& duz_;
    int version_;
    char timeType_ = 0;
    char previousLetter_ = 0;  // interpolation letter of the previous key
    std::int64_t lastGoodTime_ = 0;
    bool haveGood_ = false;
    bool overrun_ = false;
    std::vector<int> bad_;
};

bool KeyReader::ReadKeys(int count)
{
    if (Binary()) timeType_ = duz_.FieldReadGetNextValueType();
    for (int i = 0; i < count; ++i) {
        if (Binary()) {
            // Resynchronise on the next value of the type the first time had.
            while (duz_.FieldReadGetRemainingValueCount() > 0 && duz_.FieldReadGetNextValueType() != timeType_)
                duz_.FieldReadChar();
        }
        if (duz_.FieldReadGetRemainingValueCount() <= 0) return false;
        if (c_.KeyAppendFast(KTime(0), 0.0f) != i) return false;
        const Result result = ReadKey(i);
        const std::int64_t time = c_.KeyRecord(i).mTime;
        if (result == Result::Bad || overrun_ || (haveGood_ && time <= lastGoodTime_)) {
            bad_.push_back(i);
            if (overrun_) return false;
        } else {
            lastGoodTime_ = time;
            haveGood_ = true;
        }
    }
    return true;
}

KeyReader::Result KeyReader::ReadKey(int i)
{
    const KTime time = duz_.FieldReadTime();
    c_.KeySetTime(i, time);
    if (time.Get() == kBadTimeTicks) return Result::Bad;
    if (!Take()) return Result::Bad;
    if (Binary()) {
        const char type = duz_.FieldReadGetNextValueType();
        if (type != 'D' && type != 'F') {
            duz_.FieldReadChar();
            return Result::Bad;
        }
    }
    c_.KeySetValue(i, ReadFloat());
    if (!Take() || (Binary() && duz_.FieldReadGetNextValueType() != 'C')) return Result::Bad;
    const char letter = ReadLetter();
    const char previous = previousLetter_;
    previousLetter_ = letter;
    switch (letter) {
    case 'C':
    case 'A':
    case 'Z':
        // The key was made cubic auto; the same bit means "constant next" here.
        c_.KeySetTangentMode(i, 0);
        c_.KeySetInterpolation(i, kFCurveInterpolationConstant);
        if (version_ >= 4004 && ReadLetter() == 'n') c_.KeySetConstantMode(i, kFCurveConstantNext);
        break;
    case 'L':
        c_.KeySetTangentMode(i, 0);
        c_.KeySetInterpolation(i, kFCurveInterpolationLinear);
        break;
    case 'U': {
        c_.KeySetInterpolation(i, kFCurveInterpolationCubic);
        char tangent = 'a';
        if (!Binary() || duz_.FieldReadGetNextValueType() == 'C') tangent = ReadLetter();
        if (ReadTangent(i, tangent) == Result::Bad) return Result::Bad;
        break;
    }
    case 'B':
    case 'H':
    case 'I':
    case 'O':
    case 'R':
    case 'T':
        if (ReadOldForm(i, letter) == Result::Bad) return Result::Bad;
        break;
    default:
        return Result::Bad;
    }
    const bool oldForm = letter == 'B' || letter == 'H' || letter == 'I' || letter == 'O' || letter == 'R' ||
                         letter == 'T';
    if (i > 0 && previous == 'B' && oldForm) {
        // The previous key held Bezier control values; they become slopes.
        const KFCurveKey p = c_.KeyGet(i - 1);
        const KFCurveKey k = c_.KeyGet(i);
        const double span = SecondsBetween(p.mTime, k.mTime);
        if (span > 0.0) {
            SetData(i - 1, 0, ToFloat((static_cast<double>(p.mData[0]) - p.mValue) * 3.0 / span));
            SetData(i - 1, 1, letter == 'B' ? ToFloat((static_cast<double>(p.mData[1]) - k.mValue) * -3.0 / span) : 0.0f);
        }
    }
    return Result::Good;
}

KeyReader::Result KeyReader::ReadOldForm(int i, char letter)
{
    c_.KeySetInterpolation(i, kFCurveInterpolationCubic);
    const bool previousTCB = i > 0 && c_.KeyGetTangentMode(i - 1) == kFCurveTangentTCB;
    if (letter == 'T') {
        SetMode(i, kFCurveTangentTCB);
        SetData(i, 0, ReadFloat());
        SetData(i, 1, ReadFloat());
        SetData(i, 2, ReadFloat());
        return Result::Good;
    }
    const char second = ReadLetter();
    if (second == 'A' || second == 'a') {
        SetMode(i, kFCurveTangentAuto);
    } else if (second == 'B' || second == 'b') {
        SetMode(i, kFCurveTangentUserBreak);
        const float first = ReadFloat();
        if (i > 0 && !previousTCB) SetData(i - 1, 1, first);
        SetData(i, 0, ReadFloat());
    } else {
        SetMode(i, kFCurveTangentUser);
        const float value = ReadFloat();
        if (i > 0 && !previousTCB) SetData(i - 1, 1, value);
        SetData(i, 0, value);
    }
    return Result::Good;
}

void KeyReader::ResetPreviousNextLeftWeight(int i)
{
    if (i <= 0) return;
    c_.KeySetWeightMode(i - 1, 0, kFCurveWeightedNextLeft);
    c_.KeySetDataDouble(i - 1, kFCurveDataWeightNextLeft, WeightForStore(1.0 / 3.0));
}

KeyReader::Result KeyReader::ReadTangent(int i, char letter)
{
    const bool hasPrevious = i > 0;
    switch (letter) {
    case 'a':
    case 'A': {
        SetMode(i, kFCurveTangentAuto);
        SetData(i, 1, 0.0f);
        const bool previousLinear = hasPrevious && c_.KeyGetInterpolation(i - 1) == kFCurveInterpolationLinear;
        SetData(i, 0, version_ < 4004 && previousLinear ? -100.0f : 0.0f);
        if (version_ >= 4002) ResetPreviousNextLeftWeight(i);
        if (version_ < 4004 && hasPrevious && c_.KeyGetInterpolation(i - 1) == kFCurveInterpolationCubic &&
            (c_.KeyGetTangentMode(i - 1) & kFCurveTangentUser) != 0)
            SetData(i - 1, 1, 0.0f);
        if (version_ == 4000) SetData(i, 1, ReadFloat());
        if (version_ >= 4005) ReadClampLetter(i);
        return Result::Good;
    }
    case 's':
    case 'S':
    case 'b':
    case 'B': {
        SetMode(i, (letter == 'b' || letter == 'B') ? kFCurveTangentUserBreak : kFCurveTangentUser);
        const float d0 = ReadFloat();
        SetData(i, 0, d0);
        SetData(i, 1, ReadFloat());
        if (version_ < 4000 && hasPrevious && c_.KeyGetInterpolation(i - 1) == kFCurveInterpolationCubic &&
            (c_.KeyGetTangentMode(i - 1) & kFCurveTangentAuto) != 0)
            SetData(i - 1, 1, d0);
        if (version_ >= 4002) ReadWeightPart(i);
        return Result::Good;
    }
    case 'd':
    case 'D':
        SetMode(i, kFCurveTangentAuto);
        SetData(i, 1, ReadFloat());
        SetData(i, 0, 0.0f);
        if (version_ >= 4002) {
            ResetPreviousNextLeftWeight(i);
            ReadWeightPart(i);
        }
        if (version_ >= 4005) ReadClampLetter(i);
        return Result::Good;
    case 'p':
    case 'P':
        SetMode(i, kFCurveTangentAuto);
        SetData(i, 0, ReadFloat());
        SetData(i, 1, ReadFloat());
        ReadWeightPart(i);
        if (hasPrevious && std::fabs(static_cast<double>(c_.KeyGetLeftAuto(i)) + c_.KeyGetRightAuto(i)) > 0.001)
            SetMode(i, kFCurveTangentAutoBreak);
        if (version_ >= 4005) ReadClampLetter(i);
        return Result::Good;
    case 'q':
    case 'Q':
        SetMode(i, kFCurveTangentAutoBreak);
        SetData(i, 0, ReadFloat());
        SetData(i, 1, ReadFloat());
        ReadWeightPart(i);
        if (version_ >= 4005) ReadClampLetter(i);
        return Result::Good;
    case 't':
    case 'T':
        SetMode(i, kFCurveTangentTCB);
        SetData(i, 0, ReadFloat());
        SetData(i, 1, ReadFloat());
        SetData(i, 2, ReadFloat());
        return Result::Good;
    default:
        return Result::Bad;
    }
}

void KeyReader::ReadWeightPart(int i)
{
    std::uint32_t mode = 0;
    switch (ReadLetter()) {
    case 'r': mode = kFCurveWeightedRight; break;
    case 'l': mode = kFCurveWeightedNextLeft; break;
    case 'a': mode = kFCurveWeightedAll; break;
    default: break;
    }
    c_.KeySetWeightMode(i, mode, kFCurveWeightedAll);
    if (mode & kFCurveWeightedRight) c_.KeySetDataDouble(i, kFCurveDataWeightRight, WeightForStore(ReadDouble()));
    if (mode & kFCurveWeightedNextLeft)
        c_.KeySetDataDouble(i, kFCurveDataWeightNextLeft, WeightForStore(ReadDouble()));
}

void KeyReader::ReadClampLetter(int i)
{
    if (ReadLetter() == 'c') c_.KeySetTangentMode(i, c_.KeyGetTangentMode(i, true) | kFCurveTangentClamp);
}

void KeyReader::RemoveBadKeys()
{
    if (bad_.empty()) return;
    std::int64_t moves = 0;
    for (int index : bad_) moves += c_.KeyGetCount() - index;
    if (moves <= kMaxRemovalMoves) {
        for (size_t j = bad_.size(); j-- > 0;) c_.KeyRemove(bad_[j]);
        return;
    }
    // Junk on this scale has no tangents worth carrying over: keep the good
    // keys as they are, in one pass.
    KFCurve good;
    good.SetNotificationEnabled(false);
    const int count = c_.KeyGetCount();
    size_t next = 0;
    for (int i = 0; i < count; ++i) {
        if (next < bad_.size() && bad_[next] == i) {
            ++next;
            continue;
        }
        good.KeySetFromKey(good.KeyGetCount(), c_.KeyRecord(i));
    }
    const float firstValue = count > 0 ? c_.KeyRecord(0).mValue : c_.GetDefaultValue();
    c_.KeyClear();
    if (!c_.ReserveKeys(good.KeyGetCount())) return;
    for (int i = 0; i < good.KeyGetCount(); ++i) c_.KeySetFromKey(i, good.KeyRecord(i));
    if (c_.KeyGetCount() == 0) c_.SetDefaultValue(firstValue);
}

// ------------------------------------------------------ old tangent forms

std::uint32_t PlainMode(const KFCurve& c, int i) { return c.KeyGetTangentMode(i); }
bool IsCubic(const KFCurve& c, int i) { return c.KeyGetInterpolation(i) == kFCurveInterpolationCubic; }
bool IsCubicMode(const KFCurve& c, int i, std::uint32_t mode) { return IsCubic(c, i) && PlainMode(c, i) == mode; }
bool IsCubicUser(const KFCurve& c, int i)
{
    return IsCubic(c, i) && (PlainMode(c, i) == kFCurveTangentUser || PlainMode(c, i) == kFCurveTangentUserBreak);
}

double Chord(const KFCurve& c, int a, int b)
{
    const double span = SecondsBetween(c.KeyRecord(a).mTime, c.KeyRecord(b).mTime);
    return span > 0.0 ? (static_cast<double>(c.KeyRecord(b).mValue) - c.KeyRecord(a).mValue) / span : 0.0;
}

// A key leaving TCB for an explicit slope: its data2 overlaid the weights.
void MakeUser(KFCurve& c, int i, std::uint32_t mode, double d0, double d1)
{
    const bool wasTCB = PlainMode(c, i) == kFCurveTangentTCB;
    c.KeySetTangentMode(i, mode);
    c.KeySetDataFloat(i, 0, ToFloat(d0));
    c.KeySetDataFloat(i, 1, ToFloat(d1));
    if (wasTCB) {
        c.KeySetWeightMode(i, 0, kFCurveWeightedAll);
        c.KeySetDataDouble(i, kFCurveDataWeightRight, WeightForStore(1.0 / 3.0));
        c.KeySetDataDouble(i, kFCurveDataWeightNextLeft, WeightForStore(1.0 / 3.0));
    }
}

void ConvertOldTangents(KFCurve& c)
{
    const int count = c.KeyGetCount();
    if (count == 0) return;
    const int last = count - 1;

    // a. The last key: cubic auto.
    c.KeySetInterpolation(last, kFCurveInterpolationCubic);
    c.KeySetTangentMode(last, kFCurveTangentAuto);

    // b. From the last key down.
    for (int n = last; n >= 1; --n) {
        const int p = n - 1;
        if (IsCubicMode(c, n, kFCurveTangentUser)) {
            if (IsCubicMode(c, p, kFCurveTangentTCB)) c.KeySetTangentMode(n, kFCurveTangentUserBreak);
        } else if (c.KeyGetInterpolation(n) == kFCurveInterpolationLinear) {
            if (IsCubicMode(c, p, kFCurveTangentTCB)) {
                const double d = c.ComputeRightDerivative(n);
                c.KeySetInterpolation(n, kFCurveInterpolationCubic);
                MakeUser(c, n, kFCurveTangentUserBreak, d, d);
            }
        } else if (IsCubicMode(c, n, kFCurveTangentAuto)) {
            double r = n == last ? 0.0 : c.ComputeRightDerivative(n + 1);
            if (n + 1 == last) r = Chord(c, n, n + 1);
            if (IsCubicUser(c, p)) {
                MakeUser(c, n, kFCurveTangentUser, c.KeyRecord(p).mData[1], r);
            } else if (IsCubicMode(c, p, kFCurveTangentTCB)) {
                const KFCurveKey pk = c.KeyGet(p);
                c.KeySetTangentMode(n, kFCurveTangentTCB);
                c.KeySetDataFloat(n, 0, pk.mData[0]);
                c.KeySetDataFloat(n, 1, pk.mData[1]);
                c.KeySetDataFloat(n, 2, pk.GetData2());
                if (n + 1 < count) MakeUser(c, n, kFCurveTangentUser, c.ComputeLeftDerivative(n), r);
            } else if (c.KeyGetInterpolation(p) == kFCurveInterpolationConstant) {
                MakeUser(c, n, kFCurveTangentUser, 0.0, r);
            }
        }
    }

    // c. An auto key before a key that is not cubic auto takes explicit slopes.
    for (int i = 1; i < count; ++i) {
        if (IsCubicMode(c, i - 1, kFCurveTangentAuto) && !IsCubicMode(c, i, kFCurveTangentAuto)) {
            const double d0 = c.ComputeRightDerivative(i - 1);
            const double d1 = c.ComputeRightDerivative(i);
            MakeUser(c, i - 1, kFCurveTangentUser, d0, d1);
        }
    }

    // d. A TCB key after a user key becomes user + break.
    for (int n = last; n >= 1; --n) {
        if (!IsCubicMode(c, n, kFCurveTangentTCB) || !IsCubicUser(c, n - 1)) continue;
        const KFCurveKey k = c.KeyGet(n);
        const double t = k.mData[0], cont = k.mData[1], bias = k.GetData2();
        const double d0 = c.ComputeRightDerivative(n);
        // The last key has no next key to take a slope from.
        double d1 = n + 1 < count ? c.ComputeLeftDerivative(n + 1) : 0.0;
        if (n + 1 < count && !IsCubicMode(c, n + 1, kFCurveTangentTCB)) {
            if (n + 2 < count) {
                d1 = (1.0 - t) / 2.0 *
                     ((1.0 + bias) * (1.0 - cont) * Chord(c, n, n + 1) + (1.0 + cont) * (1.0 - bias) * Chord(c, n + 1, n + 2));
            } else {
                d1 = (1.0 - t) * (1.0 + bias) * (1.0 - cont) * Chord(c, n, n + 1);
            }
        }
        MakeUser(c, n, kFCurveTangentUserBreak, d0, d1);
    }
}

void ReadExtrapolation(KFCurve& curve, KDuz& duz, const char* name, bool pre)
{
    if (!duz.FieldReadBegin(name)) return;
    if (duz.FieldReadBlockBegin()) {
        const int mode = ExtrapolationMode(duz.FieldReadCharOrDefault("Type", '0'));
        const int count = duz.FieldReadIntOrDefault("Repetition", 0);
        duz.FieldReadBlockEnd();
        if (pre) {
            curve.SetPreExtrapolation(mode);
            curve.SetPreExtrapolationCount(count);
        } else {
            curve.SetPostExtrapolation(mode);
            curve.SetPostExtrapolationCount(count);
        }
    }
    duz.FieldReadEnd();
}

void SetCorrupted(KDuz& duz)
{
    if (!duz.GetError().HasError()) duz.GetError().SetLastError(KDuz::kErrorCorrupted);
}

}  // namespace

bool KFCurveDuzStore(const KFCurve& curve, KDuz& duz, bool defaultOnly, bool withColor, bool derivativeForm)
{
    duz.FieldWriteBegin("Default");
    duz.FieldWriteDouble(curve.GetDefaultValue());
    duz.FieldWriteEnd();
    const int count = curve.KeyGetCount();
    if (defaultOnly) return !duz.GetError().HasError();
    if (count > 0) {
        duz.FieldWriteBegin("KeyVer");
        duz.FieldWriteInt(derivativeForm ? kFCurveDuzKeyVersionDerivativeForm : kFCurveDuzKeyVersion);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("KeyCount");
        duz.FieldWriteInt(count);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Key");
        for (int i = 0; i < count && !duz.GetError().HasError(); ++i) WriteKey(curve, duz, i, derivativeForm);
        duz.FieldWriteEnd();
        WriteExtrapolation(duz, "Pre-Extrapolation", curve.GetPreExtrapolation(), curve.GetPreExtrapolationCount());
        WriteExtrapolation(duz, "Post-Extrapolation", curve.GetPostExtrapolation(), curve.GetPostExtrapolationCount());
    }
    if (withColor) {
        const float* rgb = curve.GetColor();
        duz.FieldWriteBegin("Color");
        duz.FieldWriteDouble(rgb[0]);
        duz.FieldWriteDouble(rgb[1]);
        duz.FieldWriteDouble(rgb[2]);
        duz.FieldWriteEnd();
    }
    return !duz.GetError().HasError();
}

KFCurve* KFCurveDuzRetrieve(KDuz& duz, KFCurve* curve, bool defaultOnly, bool withColor)
{
    if (!duz.FieldReadBegin("Default")) return nullptr;
    KFCurve* target = curve;
    if (target != nullptr) {
        target->KeyClear();
    } else {
        target = KFCurveCreate();
        if (target == nullptr) {
            duz.FieldReadEnd();
            return nullptr;
        }
    }
    KFCurveDuzRetrieveCurrent(*target, duz, defaultOnly, withColor);
    return target;
}

KFCurve* KFCurveDuzRetrieve(KDuz& duz, bool defaultOnly, bool withColor)
{
    return KFCurveDuzRetrieve(duz, nullptr, defaultOnly, withColor);
}

bool KFCurveDuzRetrieveCurrent(KFCurve& curve, KDuz& duz, bool defaultOnly, bool withColor)
{
    // Loading is not an edit: nothing reaches the callbacks.
    const bool notify = curve.IsNotificationEnabled();
    curve.SetNotificationEnabled(false);
    curve.KeyClear();
    curve.SetDefaultValue(ToFloat(duz.FieldReadDouble()));
    duz.FieldReadEnd();

    if (!defaultOnly) {
        const int version = duz.FieldReadIntOrDefault("KeyVer", 0);
        const int count = duz.FieldReadIntOrDefault("KeyCount", 0);
        if (count < 0) {
            SetCorrupted(duz);
        } else if (count > 0) {
            if (!duz.FieldReadBegin("Key")) {
                SetCorrupted(duz);
            } else {
                // A key takes at least a time, a value and a letter: a count
                // beyond that cannot be real and must not size the curve.
                const int fits = duz.FieldReadGetValueCount() / 3;
                const int reserve = count < fits ? count : fits;
                bool complete = count <= fits;
                if (curve.ReserveKeys(reserve)) {
                    KeyReader reader(curve, duz, version);
                    if (!reader.ReadKeys(reserve)) complete = false;
                    duz.FieldReadEnd();
                    reader.RemoveBadKeys();
                    if (version < 4000) ConvertOldTangents(curve);
                } else {
                    duz.FieldReadEnd();
                    complete = false;
                }
                if (!complete) SetCorrupted(duz);
            }
        }
        ReadExtrapolation(curve, duz, "Pre-Extrapolation", true);
        ReadExtrapolation(curve, duz, "Post-Extrapolation", false);
    }

    if (withColor && duz.FieldReadBegin("Color")) {
        double rgb[3] = {0.0, 0.0, 0.0};
        duz.FieldReadVector3(rgb);
        const float color[3] = {ToFloat(rgb[0]), ToFloat(rgb[1]), ToFloat(rgb[2])};
        curve.SetColor(color);
        duz.FieldReadEnd();
    }
    curve.ResetCache();
    curve.SetNotificationEnabled(notify);
    return true;
}

}  // namespace duzsdk
