#include "sdk/io/KDuzAsciiText.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fast_float/fast_float.h>

#include "sdk/base/KChainedFile.h"
#include "sdk/base/KMemory.h"

namespace duzsdk {

namespace {

// A read that starts a window takes a small chunk first (a header, a look at
// one block); the chunks grow as the reading goes on through the file.
constexpr int64_t kFirstChunk = 64 * 1024;
constexpr int64_t kDefaultChunk = 4 * 1024 * 1024;
int64_t gChunkSize = kDefaultChunk;

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

char gEmptyText[1] = {0};

}  // namespace

void KDuzAsciiText::SetChunkSize(int64_t bytes) { gChunkSize = bytes > 0 ? bytes : kDefaultChunk; }

KDuzAsciiText::KDuzAsciiText(KChainedFile* stream, int64_t base)
    : stream_(stream),
      base_(base < 0 ? 0 : base),
      chunk_(gChunkSize),
      windowBegin_(base_),
      windowEnd_(base_),
      lineEnd_(base_),
      runStart_(base_),
      window_(gEmptyText)
{
}

KDuzAsciiText::~KDuzAsciiText()
{
    if (window_ != gEmptyText)
        KMemFree(window_);
}

int64_t KDuzAsciiText::TextEnd()
{
    if (size_ < 0) {
        // The size the stream has now bounds every read: a device or a file
        // that grows while it is read cannot make the text endless.
        size_ = 0;
        if (stream_ != nullptr && stream_->IsOpen()) {
            const int64_t saved = stream_->Tell();
            if (saved >= 0 && stream_->Seek(2, 0)) {
                const int64_t length = stream_->Tell();
                if (length > base_)
                    size_ = length - base_;
            }
            stream_->SeekFromStart(saved);
        }
    }
    return base_ + size_;
}

void KDuzAsciiText::Seat(int64_t position)
{
    if (position >= windowBegin_ && position <= windowEnd_)
        return;
    windowBegin_ = windowEnd_ = lineEnd_ = runStart_ = position;
    if (window_ != gEmptyText)
        window_[0] = '\0';
}

bool KDuzAsciiText::LoadMore(int64_t keep)
{
    const int64_t textEnd = TextEnd();
    if (windowEnd_ >= textEnd)
        return false;
    const int64_t chunk =
        std::min({chunk_, std::max(kFirstChunk, windowEnd_ - runStart_), textEnd - windowEnd_});
    int64_t held = windowEnd_ - windowBegin_;
    if (held + chunk > capacity_) {
        // What lies before `keep` is behind every reader now.
        const int64_t drop = std::clamp<int64_t>(keep - windowBegin_, 0, held);
        if (drop > 0) {
            std::memmove(window_, window_ + drop, static_cast<size_t>(held - drop));
            windowBegin_ += drop;
            held -= drop;
            lineEnd_ = std::max(lineEnd_, windowBegin_);
        }
    }
    if (held + chunk > capacity_) {
        // A line longer than the window: the buffer grows, at most to the
        // rest of the text.
        const int64_t capacity = std::min(std::max(held + chunk, capacity_ * 2), textEnd - windowBegin_);
        void* old = window_ == gEmptyText ? nullptr : window_;
        char* window = static_cast<char*>(KMemRealloc(old, static_cast<size_t>(capacity) + 1));
        if (window == nullptr) {
            size_ = windowEnd_ - base_;
            return false;
        }
        window_ = window;
        capacity_ = capacity;
    }
    char* const into = window_ + held;
    size_t got = 0;
    if (stream_->SeekFromStart(windowEnd_))
        got = stream_->Read(into, static_cast<size_t>(chunk));
    if (got == 0) {
        size_ = windowEnd_ - base_;  // the stream ended early
        return false;
    }
    for (size_t i = got; i > 0; --i) {
        if (IsLineEnd(into[i - 1])) {
            lineEnd_ = windowEnd_ + static_cast<int64_t>(i);
            break;
        }
    }
    windowEnd_ += static_cast<int64_t>(got);
    into[got] = '\0';
    return true;
}

int64_t KDuzAsciiText::Reach(int64_t from, int64_t end)
{
    Seat(from);
    while (true) {
        if (from < lineEnd_)
            return std::min(end, lineEnd_);
        if (windowEnd_ >= end)
            return end;
        if (!LoadMore(from))
            return windowEnd_;
    }
}

const KDuzAsciiText::Block* KDuzAsciiText::FindBlock(int64_t open) const
{
    auto found = std::lower_bound(blocks_.begin(), blocks_.end(), open,
                                  [](const Block& block, int64_t value) { return block.open < value; });
    return found != blocks_.end() && found->open == open ? &*found : nullptr;
}

KDuzAsciiText::Stop KDuzAsciiText::WalkLevel(int64_t position, bool stopAtOpen, bool record, int64_t* at)
{
    // A walk records in file order; text walked before is known already.
    record = record && (blocks_.empty() || blocks_.back().open < position);
    // Open blocks by their start, as deep as a reader can enter; deeper
    // ones are only counted.
    std::vector<int64_t> open;
    int64_t depth = 0;
    bool inQuote = false;
    bool lineStart = true;
    bool inComment = false;
    // Only the text ahead of the walk is held: it never looks back.
    int64_t walked = std::max(position, base_);
    Seat(walked);
    while (true) {
        if (walked >= windowEnd_ && !LoadMore(walked))
            break;
        const int64_t origin = walked;
        const char* t = At(origin);
        const int64_t n = windowEnd_ - origin;
        int64_t i = 0;
        while (i < n) {
            const char c = t[i];
            if (IsLineEnd(c)) {
                inQuote = false;
                inComment = false;
                lineStart = true;
                ++i;
                continue;
            }
            if (inComment) {
                while (i < n && !IsLineEnd(t[i]))
                    ++i;
                continue;
            }
            if (lineStart) {
                if (c == ' ' || c == '\t' || c == '\0') {
                    ++i;
                    continue;
                }
                lineStart = false;
                if (c == ';') {
                    inComment = true;
                    ++i;
                    continue;
                }
            }
            if (inQuote) {
                while (i < n && t[i] != '"' && !IsLineEnd(t[i]))
                    ++i;
                if (i < n && t[i] == '"') {
                    inQuote = false;
                    ++i;
                }
                continue;
            }
            // Plain text of a line: only quotes, braces and line ends matter.
            while (i < n) {
                const char d = t[i];
                if (d == '"' || d == '{' || d == '}' || IsLineEnd(d))
                    break;
                ++i;
            }
            if (i >= n || IsLineEnd(t[i]))
                continue;
            const char d = t[i];
            if (d == '"') {
                inQuote = true;
            } else if (d == '{') {
                if (depth == 0 && stopAtOpen) {
                    *at = origin + i;
                    return Stop::kOpen;
                }
                ++depth;
                if (record && depth <= kRecordedDepth) {
                    blocks_.push_back({origin + i + 1, -1});
                    open.push_back(origin + i + 1);
                }
            } else {
                if (depth == 0) {
                    *at = origin + i;
                    return Stop::kClose;
                }
                if (record && depth <= kRecordedDepth) {
                    const int64_t start = open.back();
                    open.pop_back();
                    if (blocks_.back().open == start && origin + i - start < kSmallBlock) {
                        // Nothing recorded inside and short: walked again
                        // when needed, at little cost, instead of being kept.
                        blocks_.pop_back();
                    } else {
                        auto found = std::lower_bound(
                            blocks_.begin(), blocks_.end(), start,
                            [](const Block& block, int64_t value) { return block.open < value; });
                        if (found != blocks_.end() && found->open == start)
                            found->close = origin + i;
                    }
                }
                --depth;
            }
            ++i;
        }
        walked = origin + i;
    }
    *at = walked;
    return depth == 0 ? Stop::kEnd : Stop::kDamaged;
}

int64_t KDuzAsciiText::BlockClose(int64_t open)
{
    if (const Block* block = FindBlock(open))
        return block->close;
    int64_t at = 0;
    return WalkLevel(open, false, false, &at) == Stop::kClose ? at : -1;
}

// ---------------------------------------------------------------- tokens

namespace {

// Outside texts a '@' of the file is a blank: only the parse makes block
// tokens, so one in the file must not point anywhere.
bool IsBlank(char c, bool quoteOpen) { return c == ' ' || c == '\t' || c == '\0' || (c == '@' && !quoteOpen); }

}  // namespace

bool KDuzAsciiCursor::Next(KDuzAsciiText& text, KDuzAsciiToken* token)
{
    // The held text ends after a line end (or at `end`): a token that starts
    // in it ends in it, and only the blanks before one may need more.
    int64_t limit = text.Reach(position, end);
    const char* origin = text.At(position);
    const char* p = origin;
    const char* e = text.At(limit);
    // Blanks, line ends, comment lines and stray delimiters.
    while (true) {
        if (p >= e) {
            const int64_t at = position + (p - origin);
            if (at < end && limit < end) {
                position = at;
                limit = text.Reach(position, end);
                if (limit > position) {
                    origin = text.At(position);
                    p = origin;
                    e = text.At(limit);
                    continue;
                }
            }
            position = end;
            return false;
        }
        const char c = *p;
        if (IsLineEnd(c)) {
            lineStart = true;
            quoteOpen = false;
            lineEndSeen = true;
            ++p;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\0') {
            ++p;
            continue;
        }
        if (lineStart) {
            lineStart = false;
            if (c == ';') {
                while (p < e && !IsLineEnd(*p))
                    ++p;
                continue;
            }
        }
        if (c == ',' || c == ':' || (c == '@' && !quoteOpen)) {
            ++p;
            continue;
        }
        if (!quoteOpen && c == '{') {
            const int64_t open = position + (p - origin) + 1;
            const int64_t close = text.BlockClose(open);
            if (close < 0 || close >= end) {
                damaged = true;
                position = end;
                return false;
            }
            token->text = "{";  // the walk may have moved the held text
            token->length = 0;
            token->delimiter = '@';
            token->quoted = false;
            token->begin = open - 1;
            token->block = open;
            position = close + 1;
            lineEndSeen = false;
            return true;
        }
        if (!quoteOpen && c == '}') {
            // The level's own end, which `end` already stands for.
            position = end;
            return false;
        }
        break;
    }
    token->begin = position + (p - origin);
    token->block = 0;
    token->quoteOpenBefore = quoteOpen;
    lineEndSeen = false;
    if (*p == '"') {
        // A text runs to its closing quote or, unclosed, to the line end.
        const char* b = p + 1;
        const char* q = b;
        while (q < e && *q != '"' && !IsLineEnd(*q))
            ++q;
        token->text = b;
        token->length = static_cast<size_t>(q - b);
        token->quoted = true;
        if (q < e && *q == '"') {
            p = q + 1;
        } else {
            quoteOpen = !quoteOpen;
            textCut = q >= e;
            p = q;
        }
        const char* look = p;
        while (look < e && IsBlank(*look, quoteOpen))
            ++look;
        if (look < e && (*look == ':' || *look == ',')) {
            token->delimiter = *look;
            p = look + 1;
        } else {
            token->delimiter = ' ';
        }
        position += p - origin;
        return true;
    }
    token->quoted = false;
    const char* b = p;
    while (p < e) {
        const char c = *p;
        if (c == ',' || c == ':') {
            token->text = b;
            token->length = static_cast<size_t>(p - b);
            token->delimiter = c;
            position += (p + 1) - origin;
            return true;
        }
        if (IsLineEnd(c))
            break;
        if (c == '"') {
            quoteOpen = !quoteOpen;
            ++p;
            continue;
        }
        if (!quoteOpen && (c == '{' || c == '}'))
            break;  // a block starts, or the level ends, after a blank
        if (IsBlank(c, quoteOpen)) {
            // A name may hold blanks: the token runs to a ':' later on the line.
            const char* look = p;
            while (look < e) {
                const char d = *look;
                if (d == ':' || d == ',' || d == '"' || IsLineEnd(d) || (!quoteOpen && (d == '{' || d == '}')))
                    break;
                ++look;
            }
            if (look < e && *look == ':') {
                const char* last = look;
                while (last > b && IsBlank(last[-1], quoteOpen))
                    --last;
                token->text = b;
                token->length = static_cast<size_t>(last - b);
                token->delimiter = ':';
                position += (look + 1) - origin;
                return true;
            }
            break;
        }
        ++p;
    }
    token->text = b;
    token->length = static_cast<size_t>(p - b);
    token->delimiter = ' ';
    position += p - origin;
    return true;
}

// ---------------------------------------------------------------- values

namespace {

// The C library's reading of a token that the fast paths leave alone.
template <class Convert>
auto ConvertCopy(const char* text, size_t length, Convert convert)
{
    char small[64];
    if (length < sizeof(small)) {
        std::memcpy(small, text, length);
        small[length] = '\0';
        return convert(small);
    }
    const std::string copy(text, length);
    return convert(copy.c_str());
}

}  // namespace

int64_t KDuzAsciiToInt64(const char* text, size_t length)
{
    if (length > 0 && (text[0] == '-' || (text[0] >= '0' && text[0] <= '9'))) {
        long long value = 0;
        const auto result = std::from_chars(text, text + length, value);
        if (result.ec == std::errc())
            return value;
    }
    // Leading blanks or '+', or a number out of range (which saturates).
    return ConvertCopy(text, length, [](const char* s) { return static_cast<int64_t>(std::strtoll(s, nullptr, 10)); });
}

double KDuzAsciiToDouble(const char* text, size_t length)
{
    double value = 0.0;
    const auto result = fast_float::from_chars(text, text + length, value);
    if (result.ec == std::errc() && result.ptr == text + length)
        return value;
    // Leading blanks or '+', hexadecimal, or text after the number.
    return ConvertCopy(text, length, [](const char* s) { return std::strtod(s, nullptr); });
}

}  // namespace duzsdk
