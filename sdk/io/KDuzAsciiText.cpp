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

// The first chunk covers the header of any file; later chunks grow with the
// text read so far, so a whole file takes few reads.
constexpr int64_t kFirstChunk = 64 * 1024;
constexpr int64_t kLargestChunk = 16 * 1024 * 1024;

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

char gEmptyText[1] = {0};

}  // namespace

KDuzAsciiText::KDuzAsciiText(KChainedFile* stream, int64_t base)
    : stream_(stream), base_(base < 0 ? 0 : base), text_(gEmptyText)
{
}

KDuzAsciiText::~KDuzAsciiText()
{
    if (text_ != gEmptyText)
        KMemFree(text_);
}

bool KDuzAsciiText::LoadMore()
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
    if (loaded_ >= size_)
        return false;
    // The first chunk is all a look at the header needs; past it the buffer
    // takes the whole rest of the file at once, so it moves at most once.
    const int64_t capacity = loaded_ == 0 ? std::min(size_, kFirstChunk) : size_;
    if (capacity > capacity_) {
        void* old = text_ == gEmptyText ? nullptr : text_;
        char* text = static_cast<char*>(KMemRealloc(old, static_cast<size_t>(capacity) + 1));
        if (text == nullptr) {
            size_ = loaded_;
            return false;
        }
        text_ = text;
        capacity_ = capacity;
    }
    const int64_t chunk = std::min(capacity_ - loaded_, std::clamp(loaded_, kFirstChunk, kLargestChunk));
    size_t got = 0;
    if (stream_->SeekFromStart(base_ + loaded_))
        got = stream_->Read(text_ + loaded_, static_cast<size_t>(chunk));
    if (got == 0) {
        size_ = loaded_;  // the stream ended early
        return false;
    }
    loaded_ += static_cast<int64_t>(got);
    text_[loaded_] = '\0';
    return true;
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
    int64_t i = std::max<int64_t>(position - base_, 0);
    while (true) {
        if (i >= loaded_ && !LoadMore())
            break;
        const char* t = text_;
        const int64_t n = loaded_;
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
                    *at = base_ + i;
                    return Stop::kOpen;
                }
                ++depth;
                if (record && depth <= kRecordedDepth) {
                    blocks_.push_back({base_ + i + 1, -1});
                    open.push_back(base_ + i + 1);
                }
            } else {
                if (depth == 0) {
                    *at = base_ + i;
                    return Stop::kClose;
                }
                if (record && depth <= kRecordedDepth) {
                    const int64_t start = open.back();
                    open.pop_back();
                    if (blocks_.back().open == start && base_ + i - start < kSmallBlock) {
                        // Nothing recorded inside and short: walked again
                        // when needed, at little cost, instead of being kept.
                        blocks_.pop_back();
                    } else {
                        auto found = std::lower_bound(
                            blocks_.begin(), blocks_.end(), start,
                            [](const Block& block, int64_t value) { return block.open < value; });
                        if (found != blocks_.end() && found->open == start)
                            found->close = base_ + i;
                    }
                }
                --depth;
            }
            ++i;
        }
    }
    *at = base_ + loaded_;
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
    const char* p = text.At(position);
    const char* const e = text.At(end);
    // Blanks, line ends, comment lines and stray delimiters.
    while (true) {
        if (p >= e) {
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
            const int64_t open = position + (p - text.At(position)) + 1;
            const int64_t close = text.BlockClose(open);
            if (close < 0 || close >= end) {
                damaged = true;
                position = end;
                return false;
            }
            token->text = text.At(open - 1);  // the walk may have read more text
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
    const char* const origin = text.At(position);
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
