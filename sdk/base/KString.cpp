#include "sdk/base/KString.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "sdk/base/KMemory.h"

namespace duzsdk {

namespace {

// Three distinct zero bytes: the empty text shared by default strings, the
// marker of an invalid string, and the spare byte CharPtrAt hands out past
// the end. Nothing writes to the first two.
char gEmptyText[1] = {0};
char gInvalidMarker[1] = {0};
char gSpareByte[1] = {0};

// Longest result ReplaceFirst builds; the index of the occurrence is held to
// the same bound.
constexpr int kReplaceLimit = 4095;

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

int LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Membership table of a character set; a null set is empty.
struct CharSet {
    explicit CharSet(const char* set)
    {
        if (set != nullptr) {
            for (const unsigned char* p = reinterpret_cast<const unsigned char*>(set); *p != 0; ++p) {
                member[*p] = true;
            }
        }
    }
    bool Has(char c) const { return member[static_cast<unsigned char>(c)]; }
    bool member[256] = {};
};

int FormatInt(char (&out)[16], int value)
{
    return std::snprintf(out, sizeof out, "%d", value);
}

}  // namespace

int KStringCompareNoCase(const char* a, const char* b)
{
    const auto* x = reinterpret_cast<const unsigned char*>(a != nullptr ? a : "");
    const auto* y = reinterpret_cast<const unsigned char*>(b != nullptr ? b : "");
    for (;; ++x, ++y) {
        int cx = LowerAscii(*x);
        int cy = LowerAscii(*y);
        if (cx != cy) {
            return cx < cy ? -1 : 1;
        }
        if (cx == 0) {
            return 0;
        }
    }
}

// ---- construction and lifetime -------------------------------------------

KString::KString() noexcept : buffer_(gEmptyText) {}

KString::KString(const char* text) : buffer_(gEmptyText) { AssignText(text); }

KString::KString(const char* pointer, int length) : buffer_(gEmptyText) { AssignBuffer(pointer, length); }

KString::KString(char character, int count) : buffer_(gEmptyText)
{
    if (count <= 0) {
        return;
    }
    char* oldHeap = nullptr;
    if (AllocBuffer(count, &oldHeap)) {
        std::memset(buffer_, character, static_cast<size_t>(count));
        buffer_[count] = 0;
    }
    KMemFree(oldHeap);
}

KString::KString(int value) : buffer_(gEmptyText) { AssignInt(value); }

KString::KString(double value) : buffer_(gEmptyText) { AssignDouble(value); }

KString::KString(const KString& other) : buffer_(gEmptyText) { AssignString(other); }

KString::KString(KString&& other) noexcept : buffer_(gEmptyText) { StealFrom(other); }

KString::~KString() { Release(); }

KString& KString::operator=(KString&& other) noexcept
{
    if (this != &other) {
        Clear();
        StealFrom(other);
    }
    return *this;
}

// Takes over the other's text and leaves it empty; this string must hold no
// heap block.
void KString::StealFrom(KString& other) noexcept
{
    if (other.buffer_ == other.inlineBuffer_) {
        std::memcpy(inlineBuffer_, other.inlineBuffer_, static_cast<size_t>(other.length_) + 1);
        buffer_ = inlineBuffer_;
    } else {
        buffer_ = other.buffer_;
    }
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.buffer_ = gEmptyText;
    other.length_ = 0;
    other.capacity_ = 0;
}

bool KString::OnHeap() const
{
    return buffer_ != gEmptyText && buffer_ != gInvalidMarker && buffer_ != inlineBuffer_;
}

bool KString::IsValid() const { return buffer_ != gInvalidMarker; }

// The previous heap block is handed back rather than freed so that the caller
// can copy from it first: assigning a string its own text, or a part of it,
// stays safe. The terminator is the caller's to write once the text is in.
bool KString::AllocBuffer(int n, char** oldHeap)
{
    *oldHeap = OnHeap() ? buffer_ : nullptr;
    buffer_ = gEmptyText;
    length_ = 0;
    capacity_ = 0;
    if (n < 0 || n == INT_MAX) {
        buffer_ = gInvalidMarker;
        return false;
    }
    if (n < kHeapThreshold) {
        buffer_ = inlineBuffer_;
        if (n == 0) {
            inlineBuffer_[0] = 0;
        }
    } else {
        char* block = static_cast<char*>(KMemAlloc(static_cast<size_t>(n) + 1));
        if (block == nullptr) {
            buffer_ = gInvalidMarker;
            return false;
        }
        buffer_ = block;
    }
    length_ = n;
    capacity_ = n;
    return true;
}

// ---- assignment and state -------------------------------------------------

KString& KString::AssignString(const KString& other)
{
    if (this == &other) {
        return *this;
    }
    if (!other.IsValid()) {
        return Invalidate();
    }
    return AssignBuffer(other.buffer_, other.length_);
}

KString& KString::AssignText(const char* text)
{
    if (text == nullptr) {
        return Invalidate();
    }
    size_t length = std::strlen(text);
    if (length >= INT_MAX) {
        return Invalidate();
    }
    return AssignBuffer(text, static_cast<int>(length));
}

KString& KString::AssignBuffer(const char* pointer, int length)
{
    if (pointer == nullptr || length < 0) {
        return Invalidate();
    }
    char* oldHeap = nullptr;
    if (AllocBuffer(length, &oldHeap)) {
        // The source may lie in the inline array that is being reused.
        std::memmove(buffer_, pointer, static_cast<size_t>(length));
        buffer_[length] = 0;
    }
    KMemFree(oldHeap);
    return *this;
}

KString& KString::AssignInt(int value)
{
    char text[16];
    return AssignBuffer(text, FormatInt(text, value));
}

KString& KString::AssignDouble(double value)
{
    // "%f" of a large double runs to hundreds of digits; size the text first.
    int length = std::snprintf(nullptr, 0, "%f", value);
    char* oldHeap = nullptr;
    if (AllocBuffer(length, &oldHeap)) {
        std::snprintf(buffer_, static_cast<size_t>(length) + 1, "%f", value);
    }
    KMemFree(oldHeap);
    return *this;
}

KString& KString::AssignChar(char character) { return AssignBuffer(&character, 1); }

KString& KString::Clear()
{
    if (OnHeap()) {
        KMemFree(buffer_);
    }
    buffer_ = gEmptyText;
    length_ = 0;
    capacity_ = 0;
    return *this;
}

KString& KString::Invalidate()
{
    Clear();
    buffer_ = gInvalidMarker;
    return *this;
}

char* KString::DetachHeapBuffer()
{
    char* block = OnHeap() ? buffer_ : nullptr;
    buffer_ = gEmptyText;
    length_ = 0;
    capacity_ = 0;
    return block;
}

char* KString::CharPtrAt(int index)
{
    if (index < 0 || index >= length_) {
        gSpareByte[0] = 0;
        return gSpareByte;
    }
    return buffer_ + index;
}

const char* KString::CharPtrAt(int index) const { return const_cast<KString*>(this)->CharPtrAt(index); }

// ---- append -----------------------------------------------------------------

KString& KString::AppendBuffer(const char* bytes, int count)
{
    if (!IsValid()) {
        return *this;
    }
    if (bytes == nullptr || count < 0 || count >= INT_MAX - length_) {
        return Invalidate();
    }
    if (count == 0) {
        return *this;
    }
    int newLength = length_ + count;
    bool roomInline = buffer_ == inlineBuffer_ && newLength < kHeapThreshold;
    bool roomOnHeap = OnHeap() && capacity_ >= newLength;
    if (roomInline || roomOnHeap) {
        std::memmove(buffer_ + length_, bytes, static_cast<size_t>(count));
        length_ = newLength;
        if (roomInline) {
            capacity_ = newLength;
        }
        buffer_[length_] = 0;
        return *this;
    }
    if (newLength < kHeapThreshold) {
        // Only the shared empty text gets here: the bytes come from elsewhere.
        return AssignBuffer(bytes, count);
    }
    // Room for half as much again, so that a string built by repeated appends
    // costs time linear in its final length.
    int64_t wanted = static_cast<int64_t>(newLength) + newLength / 2;
    int newCapacity = wanted >= INT_MAX ? INT_MAX - 1 : static_cast<int>(wanted);
    char* block = static_cast<char*>(KMemAlloc(static_cast<size_t>(newCapacity) + 1));
    if (block == nullptr) {
        return Invalidate();
    }
    // `bytes` may point into the current text, which is still alive here.
    std::memcpy(block, buffer_, static_cast<size_t>(length_));
    std::memcpy(block + length_, bytes, static_cast<size_t>(count));
    block[newLength] = 0;
    if (OnHeap()) {
        KMemFree(buffer_);
    }
    buffer_ = block;
    length_ = newLength;
    capacity_ = newCapacity;
    return *this;
}

KString& KString::AppendString(const KString& other)
{
    if (!other.IsValid()) {
        return Invalidate();
    }
    return AppendBuffer(other.buffer_, other.length_);
}

KString& KString::AppendText(const char* text)
{
    if (text == nullptr) {
        return Invalidate();
    }
    size_t length = std::strlen(text);
    if (length >= INT_MAX) {
        return Invalidate();
    }
    return AppendBuffer(text, static_cast<int>(length));
}

KString& KString::AppendChar(char character) { return AppendBuffer(&character, 1); }

KString& KString::AppendInt(int value)
{
    char text[16];
    return AppendBuffer(text, FormatInt(text, value));
}

// ---- concatenation ------------------------------------------------------------

KString KString::Join(const char* first, int firstLength, const char* second, int secondLength)
{
    KString result;
    if (secondLength >= INT_MAX - firstLength) {
        result.Invalidate();
        return result;
    }
    int length = firstLength + secondLength;
    char* oldHeap = nullptr;
    if (result.AllocBuffer(length, &oldHeap)) {
        std::memcpy(result.buffer_, first, static_cast<size_t>(firstLength));
        std::memcpy(result.buffer_ + firstLength, second, static_cast<size_t>(secondLength));
        result.buffer_[length] = 0;
    }
    return result;
}

KString KStringConcat(const KString& a, const KString& b)
{
    if (!a.IsValid() || !b.IsValid()) {
        return KString().Invalidate();
    }
    return KString::Join(a.buffer_, a.length_, b.buffer_, b.length_);
}

KString KStringConcatText(const KString& a, const char* text)
{
    if (!a.IsValid() || text == nullptr) {
        return KString().Invalidate();
    }
    size_t length = std::strlen(text);
    if (length >= INT_MAX) {
        return KString().Invalidate();
    }
    return KString::Join(a.buffer_, a.length_, text, static_cast<int>(length));
}

KString KStringConcatChar(const KString& a, char character)
{
    if (!a.IsValid()) {
        return KString().Invalidate();
    }
    return KString::Join(a.buffer_, a.length_, &character, 1);
}

KString KStringConcatInt(const KString& a, int value)
{
    if (!a.IsValid()) {
        return KString().Invalidate();
    }
    char text[16];
    return KString::Join(a.buffer_, a.length_, text, FormatInt(text, value));
}

// ---- comparison -----------------------------------------------------------------

int KString::Compare(const char* text) const
{
    return Sign(std::strcmp(buffer_, text != nullptr ? text : ""));
}

int KString::CompareNoCase(const char* text) const { return KStringCompareNoCase(buffer_, text); }

bool operator==(const KString& a, const KString& b) { return a.EqualsString(b); }
bool operator==(const KString& a, const char* b) { return a.EqualsText(b); }
bool operator<(const KString& a, const KString& b) { return a.Compare(b) < 0; }

// ---- search ---------------------------------------------------------------------

int KString::FindChar(char character, int start) const
{
    if (start < 0) {
        return -1;
    }
    if (start > length_) {
        start = length_;
    }
    const void* found = std::memchr(buffer_ + start, character, static_cast<size_t>(length_ - start));
    return found != nullptr ? static_cast<int>(static_cast<const char*>(found) - buffer_) : -1;
}

int KString::ReverseFindChar(char character) const
{
    for (int i = length_ - 1; i >= 0; --i) {
        if (buffer_[i] == character) {
            return i;
        }
    }
    return -1;
}

int KString::FindOneOf(const char* set, int start) const
{
    if (set == nullptr || start < 0) {
        return -1;
    }
    CharSet members(set);
    for (int i = start; i < length_; ++i) {
        if (members.Has(buffer_[i])) {
            return i;
        }
    }
    return -1;
}

int KString::Find(const char* pattern, int start) const
{
    if (pattern == nullptr) {
        return 0;
    }
    if (start < 0) {
        return -1;
    }
    if (start > length_) {
        start = length_;
    }
    const char* found = std::strstr(buffer_ + start, pattern);
    return found != nullptr ? static_cast<int>(found - buffer_) : -1;
}

int KString::CountTokens(const char* delimiters) const
{
    CharSet separators(delimiters);
    int tokens = 0;
    bool inToken = false;
    for (int i = 0; i < length_; ++i) {
        bool separator = separators.Has(buffer_[i]);
        if (!separator && !inToken) {
            ++tokens;
        }
        inToken = !separator;
    }
    return tokens;
}

// Walks the runs in place; no copy of the text and no hidden state between
// calls, unlike splitting with strtok.
KString KString::GetToken(int index, const char* delimiters) const
{
    KString result;
    if (index < 0) {
        return result;
    }
    CharSet separators(delimiters);
    int tokens = 0;
    int i = 0;
    while (i < length_) {
        while (i < length_ && separators.Has(buffer_[i])) {
            ++i;
        }
        if (i == length_) {
            break;
        }
        int begin = i;
        while (i < length_ && !separators.Has(buffer_[i])) {
            ++i;
        }
        if (tokens == index) {
            result.AssignBuffer(buffer_ + begin, i - begin);
            return result;
        }
        ++tokens;
    }
    return result;
}

// ---- substrings and transformations --------------------------------------------

void KString::CopySubstringTo(KString& target, int count, int start) const
{
    if (start < 0 || start > length_ || count < 0 || !IsValid()) {
        target.Invalidate();
        return;
    }
    if (count > length_ - start) {
        count = length_ - start;
    }
    target.AssignBuffer(buffer_ + start, count);
}

KString KString::Mid(int start, int count) const
{
    KString result;
    CopySubstringTo(result, count, start);
    return result;
}

KString KString::Right(int count) const
{
    KString result;
    // A negative count alone makes the result invalid; it is tested first
    // because length - count overflows for the most negative counts.
    const int start = count < 0 || count > length_ ? 0 : length_ - count;
    CopySubstringTo(result, count, start);
    return result;
}

KString KString::Upper() const
{
    KString result(*this);
    for (int i = 0; i < result.length_; ++i) {
        unsigned char c = static_cast<unsigned char>(result.buffer_[i]);
        if (c >= 'a' && c <= 'z') {
            result.buffer_[i] = static_cast<char>(c - ('a' - 'A'));
        }
    }
    return result;
}

KString KString::Lower() const
{
    KString result(*this);
    for (int i = 0; i < result.length_; ++i) {
        result.buffer_[i] = static_cast<char>(LowerAscii(static_cast<unsigned char>(result.buffer_[i])));
    }
    return result;
}

KString KString::Trim(int mode) const
{
    KString result;
    if (!IsValid()) {
        result.Invalidate();
        return result;
    }
    int begin = 0;
    int end = length_;
    if (mode != 0) {
        while (begin < end && IsBlank(static_cast<unsigned char>(buffer_[begin]))) {
            ++begin;
        }
    }
    if (mode != 1) {
        while (end > begin && IsBlank(static_cast<unsigned char>(buffer_[end - 1]))) {
            --end;
        }
    }
    result.AssignBuffer(buffer_ + begin, end - begin);
    return result;
}

bool KString::ReplaceFirst(const char* pattern, const char* replacement, int start)
{
    if (!IsValid() || pattern == nullptr) {
        return false;
    }
    int index = Find(pattern, start);
    if (index < 0 || index > kReplaceLimit) {
        return false;
    }
    size_t patternLength = std::strlen(pattern);
    size_t replacementLength = replacement != nullptr ? std::strlen(replacement) : 0;
    size_t resultLength = static_cast<size_t>(length_) - patternLength + replacementLength;
    if (resultLength > static_cast<size_t>(kReplaceLimit)) {
        return false;
    }
    // Built apart from this string: the replacement may be part of it.
    KString result;
    char* oldHeap = nullptr;
    if (!result.AllocBuffer(static_cast<int>(resultLength), &oldHeap)) {
        return false;
    }
    char* out = result.buffer_;
    std::memcpy(out, buffer_, static_cast<size_t>(index));
    out += index;
    if (replacementLength > 0) {
        std::memcpy(out, replacement, replacementLength);
        out += replacementLength;
    }
    size_t tail = static_cast<size_t>(length_) - static_cast<size_t>(index) - patternLength;
    std::memcpy(out, buffer_ + index + patternLength, tail);
    result.buffer_[resultLength] = 0;
    *this = std::move(result);
    return true;
}

// ---- heap strings -----------------------------------------------------------------

KString* KStringNew()
{
    void* block = KMemAlloc(sizeof(KString));
    return block != nullptr ? new (block) KString() : nullptr;
}

void KStringDelete(KString* string)
{
    if (string != nullptr) {
        string->~KString();
        KMemFree(string);
    }
}

KString* KStringOrNew(KString* string) { return string != nullptr ? string : KStringNew(); }

KString* KStringDeleteIfEmpty(KString* string)
{
    if (string != nullptr && string->Buffer()[0] == 0) {
        KStringDelete(string);
        return nullptr;
    }
    return string;
}

KString* KStringOrStaticEmpty(KString* string)
{
    static KString empty;
    return string != nullptr ? string : &empty;
}

}  // namespace duzsdk
