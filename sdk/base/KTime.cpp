#include "sdk/base/KTime.h"

#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace duzsdk {

namespace {

// Intermediate results of clock arithmetic are formed in 128 bits and
// clamped once, so no partial product can wrap.
using Wide = __int128;

int64_t Saturate(Wide value)
{
    if (value > INT64_MAX)
        return KTime::kInfiniteTicks;
    if (value < INT64_MIN)
        return KTime::kMinusInfiniteTicks;
    return static_cast<int64_t>(value);
}

int ClampToInt(int64_t value)
{
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

bool IsPlusInfinite(int64_t ticks)
{
    return ticks == KTime::kInfiniteTicks;
}

bool IsMinusInfinite(int64_t ticks)
{
    return ticks <= KTime::kMinusInfiniteTicks;
}

Wide TicksPerField(const KTimeModeClock& clock)
{
    return clock.fieldsPerFrame ? clock.ticksPerFrame / clock.fieldsPerFrame : 0;
}

// Drop-frame counting skips frame numbers 0 and 1 at the start of every
// minute except each tenth one, so the count keeps pace with the clock.
struct DropFrameLayout {
    int64_t minute;      // frames in a minute that keeps its first two numbers
    int64_t shortMinute; // frames in a minute that drops them
    int64_t tenMinutes;  // frames in a block of ten minutes
};

DropFrameLayout DropLayoutOf(const KTimeModeClock& clock)
{
    const int64_t minute = 60 * static_cast<int64_t>(clock.framesPerSecond);
    return {minute, minute - 2, minute + 9 * (minute - 2)};
}

int64_t FramesPerHour(const KTimeModeClock& clock)
{
    if (clock.dropFrame)
        return 6 * DropLayoutOf(clock).tenMinutes;
    return 3600 * static_cast<int64_t>(clock.framesPerSecond);
}

Wide ComposeTicks(const KTimeModeClock& clock, Wide h, Wide m, Wide s, Wide f, Wide d)
{
    const Wide rate = clock.framesPerSecond;
    const Wide tpf = clock.ticksPerFrame;
    const Wide tpField = TicksPerField(clock);
    if (!clock.dropFrame) {
        // Every mode's clock second holds exactly `rate` frames, so this is
        // the same as seconds of 46186158000 ticks for the whole-rate modes.
        const Wide frames = ((h * 60 + m) * 60 + s) * rate + f;
        return frames * tpf + d * tpField;
    }
    const DropFrameLayout layout = DropLayoutOf(clock);
    const Wide minuteInTen = m % 10;
    Wide n = 0;
    if (minuteInTen != 0) {
        n = layout.minute + (minuteInTen - 1) * layout.shortMinute;
        if (s > 0)
            n += s * rate - 2 + f;
        else
            n += f > 2 ? f - 2 : 0;  // frames 0 and 1 of this minute do not exist
    } else {
        n = s * rate + f;
    }
    return n * tpf + ((h * 6 + m / 10) * (2 * Wide(layout.tenMinutes)) + d) * tpField;
}

// Hundredths of a frame as ticks, rounded away from zero so that a residual
// read back from a text never falls short of the time it was written from.
Wide ResidualTicks(const KTimeModeClock& clock, Wide residual)
{
    const Wide ticks = residual * clock.ticksPerFrame;
    return ticks >= 0 ? (ticks + 99) / 100 : -((-ticks + 99) / 100);
}

struct ClockParts {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
    int fields = 0;
    int residual = 0;
};

ClockParts SplitTicks(const KTimeModeClock& clock, int64_t ticks)
{
    const int64_t tpf = clock.ticksPerFrame;
    const int64_t ticksPerHour = FramesPerHour(clock) * tpf;
    int64_t hours = ticks / ticksPerHour;
    int64_t rest = ticks % ticksPerHour;
    if (rest < 0) {
        --hours;
        rest += ticksPerHour;
    }
    ClockParts parts;
    parts.hours = static_cast<int>(hours);  // |hours| stays far below 2^31

    int64_t frames = rest / tpf;
    int64_t leftover = rest % tpf;
    const int64_t rate = clock.framesPerSecond;
    int64_t frameInMinute = 0;
    if (clock.dropFrame) {
        const DropFrameLayout layout = DropLayoutOf(clock);
        const int64_t tens = frames / layout.tenMinutes;
        int64_t r = frames % layout.tenMinutes;
        // Put back the two numbers skipped by each short minute passed.
        r += 2 * ((r - 2) / layout.shortMinute);
        parts.minutes = static_cast<int>(r / layout.minute + 10 * tens);
        frameInMinute = r % layout.minute;
    } else {
        parts.minutes = static_cast<int>(frames / (60 * rate));
        frameInMinute = frames % (60 * rate);
    }
    parts.seconds = static_cast<int>(frameInMinute / rate);
    parts.frames = static_cast<int>(frameInMinute % rate);

    if (clock.fieldsPerFrame) {
        const int64_t tpField = static_cast<int64_t>(TicksPerField(clock));
        parts.fields = static_cast<int>(leftover / tpField);
        leftover -= parts.fields * tpField;
        parts.residual = static_cast<int>(leftover * 100 / tpf) + 50 * parts.fields;
    } else {
        parts.residual = static_cast<int>(leftover * 100 / tpf % 100);
    }
    return parts;
}

int ResolveFormat(int format)
{
    return format == eDefaultTimeFormat ? KTimeGetGlobalTimeStringFormat() : format;
}

// ---- reading texts -------------------------------------------------------

enum class ReadResult { Empty, Number, Bad };

const char* SkipBlanks(const char* p, const char* end)
{
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    return p;
}

// A decimal number at the start of [p, end) after blanks, with an optional
// sign when `allowSign`; what follows the digits is ignored. Saturates.
ReadResult ReadInteger(const char* p, const char* end, bool allowSign, int64_t& value)
{
    value = 0;
    p = SkipBlanks(p, end);
    if (p == end)
        return ReadResult::Empty;
    bool negative = false;
    if (allowSign && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end || *p < '0' || *p > '9')
        return ReadResult::Bad;
    int64_t magnitude = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        const int digit = *p - '0';
        if (magnitude > (INT64_MAX - digit) / 10)
            magnitude = INT64_MAX;
        else
            magnitude = magnitude * 10 + digit;
    }
    value = negative ? -magnitude : magnitude;
    return ReadResult::Number;
}

// The digits of a fraction of a frame as hundredths: two digits at most are
// kept, and a single digit counts tenths (".5" is 50, ".05" is 5).
ReadResult ReadHundredths(const char* p, const char* end, int64_t& value)
{
    value = 0;
    p = SkipBlanks(p, end);
    if (p == end)
        return ReadResult::Empty;
    if (*p < '0' || *p > '9')
        return ReadResult::Bad;
    value = (*p - '0') * 10;
    if (p + 1 < end && p[1] >= '0' && p[1] <= '9')
        value += p[1] - '0';
    return ReadResult::Number;
}

const char* FindChar(const char* p, const char* end, char wanted)
{
    const void* found = std::memchr(p, wanted, static_cast<size_t>(end - p));
    return static_cast<const char*>(found);
}

// "[-] frames", optionally followed by "(residual)" or ".fraction". The sign
// applies to frames and residual together, the way the frame-count texts are
// written.
bool ParseFrameCount(const char* text, const KTimeModeClock& clock, int64_t& ticks)
{
    const char* end = text + std::strlen(text);
    const char* p = SkipBlanks(text, end);
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    const char* paren = FindChar(p, end, '(');
    const char* dot = FindChar(p, end, '.');
    const char* marker = paren;
    if (!marker || (dot && dot < marker))
        marker = dot;

    int64_t frames = 0;
    const ReadResult framesRead = ReadInteger(p, marker ? marker : end, false, frames);
    if (framesRead == ReadResult::Bad || (framesRead == ReadResult::Empty && !marker))
        return false;

    int64_t residual = 0;
    if (paren) {
        const char* close = FindChar(paren + 1, end, ')');
        if (ReadInteger(paren + 1, close ? close : end, true, residual) == ReadResult::Bad)
            return false;
    } else if (dot) {
        const char* stop = dot + 1;
        while (stop < end && *stop != '.' && *stop != '(' && *stop != ')')
            ++stop;
        if (ReadHundredths(dot + 1, stop, residual) == ReadResult::Bad)
            return false;
    }
    const Wide magnitude = Wide(frames) * clock.ticksPerFrame + ResidualTicks(clock, ClampToInt(residual));
    ticks = Saturate(negative ? -magnitude : magnitude);
    return true;
}

// Splits at ':' and ';', skipping empty pieces.
class FieldTokenizer {
public:
    explicit FieldTokenizer(const char* text) : p_(text) {}
    bool Next(const char*& begin, const char*& end)
    {
        while (*p_ == ':' || *p_ == ';')
            ++p_;
        if (!*p_)
            return false;
        begin = p_;
        while (*p_ && *p_ != ':' && *p_ != ';')
            ++p_;
        end = p_;
        return true;
    }

private:
    const char* p_;
};

// "hours:minutes:seconds.frames.fraction (residual)", with the leading parts
// optional: '5' is 5 seconds, '1:2' one minute two seconds, '.5' frame 5.
bool ParseTimeCode(const char* text, size_t length, KTime& time, int mode)
{
    char work[32];
    std::memcpy(work, text, length);
    work[length] = '\0';

    int64_t residual = 0;
    if (char* open = std::strchr(work, '(')) {
        const char* end = work + std::strlen(work);
        const char* close = FindChar(open + 1, end, ')');
        if (ReadInteger(open + 1, close ? close : end, true, residual) == ReadResult::Bad)
            return false;
        *open = '\0';
    }
    const bool startsWithDot = work[0] == '.';
    std::strcat(work, ".");

    // Dots become field separators but are counted apart from colons: the
    // number of dots says whether frames and a fraction are present.
    int dots = 0;
    int colons = 0;
    for (char* c = work; *c; ++c) {
        if (*c == '.') {
            *c = ':';
            ++dots;
        } else if (*c == ':' || *c == ';') {
            ++colons;
        }
    }

    FieldTokenizer tokens(work);
    bool ok = true;
    auto next = [&](int64_t& value) {
        const char* begin = nullptr;
        const char* end = nullptr;
        value = 0;
        if (tokens.Next(begin, end) && ReadInteger(begin, end, true, value) == ReadResult::Bad)
            ok = false;
    };
    int64_t hours = 0, minutes = 0, seconds = 0, frames = 0;
    if (colons >= 2)
        next(hours);
    if (colons >= 1)
        next(minutes);
    if (!(startsWithDot && colons == 0))
        next(seconds);
    if (dots >= 2)
        next(frames);
    if (dots >= 3) {
        const char* begin = nullptr;
        const char* end = nullptr;
        int64_t hundredths = 0;
        if (tokens.Next(begin, end)) {
            if (ReadHundredths(begin, end, hundredths) == ReadResult::Bad)
                ok = false;
            residual = residual > INT_MAX - 100 ? residual : residual + hundredths;
        }
    }
    if (!ok)
        return false;
    return time.SetTimeWithResidual(ClampToInt(hours), ClampToInt(minutes), ClampToInt(seconds),
                                    ClampToInt(frames), 0, ClampToInt(residual), mode);
}

}  // namespace

// ---- arithmetic ----------------------------------------------------------

KTime KTime::Add(KTime other) const
{
    return KTime(Saturate(Wide(ticks_) + other.ticks_));
}

KTime KTime::Subtract(KTime other) const
{
    return KTime(Saturate(Wide(ticks_) - other.ticks_));
}

KTime KTime::MultiplyInt(int32_t factor) const
{
    return KTime(Saturate(Wide(ticks_) * factor));
}

KTime KTime::Multiply(KTime other) const
{
    // Two 64-bit factors fit in 127 bits plus sign.
    return KTime(Saturate(Wide(ticks_) * other.ticks_));
}

KTime KTime::Divide(KTime other) const
{
    if (other.ticks_ == 0)
        return KTime(0);
    return KTime(Saturate(Wide(ticks_) / other.ticks_));
}

KTime KTimeAbs(KTime time)
{
    return KTime(Saturate(time.Get() < 0 ? -Wide(time.Get()) : Wide(time.Get())));
}

// ---- seconds -------------------------------------------------------------

double KTime::GetSecondDouble() const
{
    return static_cast<double>(ticks_) / static_cast<double>(kTicksPerSecond);
}

void KTime::SetSecondDouble(double seconds)
{
    const double ticks = seconds * static_cast<double>(kTicksPerSecond);
    // 2^63 is exact as a double; anything at or beyond it does not convert.
    constexpr double kLimit = 9223372036854775808.0;
    if (std::isnan(ticks))
        ticks_ = 0;
    else if (ticks >= kLimit)
        ticks_ = kInfiniteTicks;
    else if (ticks <= -kLimit)
        ticks_ = kMinusInfiniteTicks;
    else
        ticks_ = static_cast<int64_t>(ticks);  // truncates toward zero
}

// ---- clock parts ---------------------------------------------------------

bool KTime::SetTime(int hours, int minutes, int seconds, int frames, int fields, int mode)
{
    const KTimeModeClock* clock = KTimeModeGetClock(mode);
    if (!clock)
        return false;
    ticks_ = Saturate(ComposeTicks(*clock, hours, minutes, seconds, frames, fields));
    return true;
}

bool KTime::SetTimeWithResidual(int hours, int minutes, int seconds, int frames, int fields,
                                int residual, int mode)
{
    const KTimeModeClock* clock = KTimeModeGetClock(mode);
    if (!clock)
        return false;
    const Wide ticks = ComposeTicks(*clock, hours, minutes, seconds, frames, fields);
    ticks_ = Saturate(ticks + ResidualTicks(*clock, residual));
    return true;
}

bool KTime::GetTime(int& hours, int& minutes, int& seconds, int& frames, int& fields,
                    int& residual, int mode) const
{
    const KTimeModeClock* clock = KTimeModeGetClock(mode);
    const ClockParts parts = clock ? SplitTicks(*clock, ticks_) : ClockParts();
    hours = parts.hours;
    minutes = parts.minutes;
    seconds = parts.seconds;
    frames = parts.frames;
    fields = parts.fields;
    residual = parts.residual;
    return clock != nullptr;
}

int64_t KTime::GetFrame(bool total, int mode) const
{
    const KTimeModeClock* clock = KTimeModeGetClock(mode);
    if (!clock)
        return 0;
    if (total)
        return ticks_ / clock->ticksPerFrame;
    return SplitTicks(*clock, ticks_).frames;
}

int KTime::GetResidual(int mode) const
{
    const KTimeModeClock* clock = KTimeModeGetClock(mode);
    return clock ? SplitTicks(*clock, ticks_).residual : 0;
}

// ---- text forms ----------------------------------------------------------

char* KTime::GetTimeString(char* buffer, size_t size, int type, int mode, int format) const
{
    if (!buffer || size == 0)
        return buffer;
    buffer[0] = '\0';
    if (type < eHours || type > eFramesResidual)
        return buffer;

    const bool plusInfinite = IsPlusInfinite(ticks_);
    const bool minusInfinite = IsMinusInfinite(ticks_);

    if (ResolveFormat(format) != eTimeCode) {
        if (plusInfinite || minusInfinite) {
            const char* text = "---";
            if (type == eFramesMarked)
                text = plusInfinite ? "  ---" : "- ---";
            else if (type == eFramesResidual)
                text = plusInfinite ? "  --- (--)" : "- --- (--)";
            std::snprintf(buffer, size, "%s", text);
            return buffer;
        }
        // Sign and magnitude: "- 1 (25)" is minus one and a quarter frames.
        const bool negative = ticks_ < 0;
        const KTime magnitude = KTimeAbs(*this);
        const int64_t frames = magnitude.GetFrame(true, mode);
        const int residual = magnitude.GetResidual(mode);
        if (type == eFramesMarked) {
            if (residual != 0)
                std::snprintf(buffer, size, negative ? "- %" PRId64 "*" : "%" PRId64 "*", frames);
            else
                std::snprintf(buffer, size, negative ? "-%" PRId64 : "%" PRId64, frames);
        } else if (type == eFramesResidual) {
            std::snprintf(buffer, size, negative ? "- %" PRId64 " (%02d)" : "%" PRId64 " (%02d)",
                          frames, residual);
        } else {
            std::snprintf(buffer, size, negative ? "- %" PRId64 : "%" PRId64, frames);
        }
        return buffer;
    }

    if (type == eFramesMarked && (plusInfinite || minusInfinite)) {
        std::snprintf(buffer, size, "%s", plusInfinite ? "---:--:--.--" : "- ---:--:--.--");
        return buffer;
    }
    if (type == eFramesResidual && (plusInfinite || minusInfinite)) {
        std::snprintf(buffer, size, "%s", plusInfinite ? "---:--:--.-- (--)" : "- ---:--:--.-- (--)");
        return buffer;
    }
    int h = 0, m = 0, s = 0, f = 0, d = 0, residual = 0;
    if (!GetTime(h, m, s, f, d, residual, mode))
        return buffer;
    switch (type) {
    case eHours:
        std::snprintf(buffer, size, "%03d", h);
        break;
    case eHoursMinutes:
        std::snprintf(buffer, size, "%03d:%02d", h, m);
        break;
    case eHoursMinutesSeconds:
        std::snprintf(buffer, size, "%03d:%02d:%02d", h, m, s);
        break;
    case eFrames:
        std::snprintf(buffer, size, "%03d:%02d:%02d.%02d", h, m, s, f);
        break;
    case eFramesMarked:
        std::snprintf(buffer, size, residual != 0 ? "%03d:%02d:%02d.%02d*" : "%03d:%02d:%02d.%02d",
                      h, m, s, f);
        break;
    default:
        std::snprintf(buffer, size, "%03d:%02d:%02d.%02d (%02d)", h, m, s, f, residual);
        break;
    }
    // Hours are floored, so a negative time already shows "-" in front; the
    // mark is kept for texts whose hours print without a sign.
    if (ticks_ < 0 && buffer[0] != '\0')
        buffer[0] = '-';
    return buffer;
}

KString KTime::GetTimeString(int type, int mode, int format) const
{
    char buffer[kTimeStringCapacity];
    return KString(GetTimeString(buffer, sizeof(buffer), type, mode, format));
}

bool KTime::SetTimeString(const char* text, int mode, int format)
{
    if (!text)
        return false;
    const size_t length = std::strlen(text);
    if (length < 1 || length > 18)
        return false;
    const KTimeModeClock* clock = KTimeModeGetClock(mode);
    if (!clock)
        return false;
    if (ResolveFormat(format) == eTimeCode)
        return ParseTimeCode(text, length, *this, mode);
    int64_t ticks = 0;
    if (!ParseFrameCount(text, *clock, ticks))
        return false;
    ticks_ = ticks;
    return true;
}

}  // namespace duzsdk
