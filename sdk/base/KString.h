#pragma once

namespace duzsdk {

// The SDK's own 8-bit, zero-terminated string with value semantics.
//
// Storage: the shared empty text when default-constructed, the inline array
// for 1 to 62 characters, a heap block from the allocation hooks for 63 or
// more. A string is "invalid" after a failed allocation, after being given a
// null text, or after copying an invalid string: it reads as "" but IsValid()
// is false, and copies, appends and concatenations carry the invalid state on.
// Buffer() is never null and the byte at Length() is always 0.
class KString {
public:
    static constexpr int kInlineCapacity = 64;
    // Strings of this many characters or more live on the heap.
    static constexpr int kHeapThreshold = 63;

    KString() noexcept;
    // A null text gives an invalid string.
    KString(const char* text);  // NOLINT: implicit on purpose, texts are strings
    // `length` bytes from `pointer`; a null pointer or a negative length gives
    // an invalid string.
    KString(const char* pointer, int length);
    // `count` copies of `character`; a count of 0 or less gives "".
    KString(char character, int count);
    explicit KString(int value);     // "%d"
    explicit KString(double value);  // "%f"
    KString(const KString& other);
    KString(KString&& other) noexcept;
    ~KString();

    KString& operator=(const KString& other) { return AssignString(other); }
    KString& operator=(KString&& other) noexcept;
    KString& operator=(const char* text) { return AssignText(text); }
    KString& operator+=(const KString& other) { return AppendString(other); }
    KString& operator+=(const char* text) { return AppendText(text); }
    KString& operator+=(char character) { return AppendChar(character); }

    // Assignment. A null text makes the string invalid.
    KString& AssignString(const KString& other);
    KString& AssignText(const char* text);
    KString& AssignBuffer(const char* pointer, int length);
    KString& AssignInt(int value);
    KString& AssignDouble(double value);
    KString& AssignChar(char character);

    // Frees a heap buffer and becomes the empty string.
    KString& Clear();
    // Frees a heap buffer and becomes invalid.
    KString& Invalidate();
    // Frees a heap buffer and leaves the string empty.
    void Release() { Clear(); }
    // Hands over the heap buffer (free it with KMemFree) and resets the string
    // to empty; null when the text was not on the heap.
    char* DetachHeapBuffer();

    bool IsValid() const;
    bool IsEmpty() const { return length_ == 0; }
    int Length() const { return length_; }
    int GetLength() const { return length_; }
    const char* Buffer() const { return buffer_; }
    // Character `index`, or a spare zero byte (not part of any string) for an
    // index outside 0 .. length - 1.
    char* CharPtrAt(int index);
    const char* CharPtrAt(int index) const;
    // Character `index`, 0 outside 0 .. length - 1.
    char operator[](int index) const { return index >= 0 && index < length_ ? buffer_[index] : '\0'; }

    // Append in place. An invalid operand or a null text makes this string
    // invalid; an invalid string stays invalid.
    KString& AppendString(const KString& other);
    KString& AppendText(const char* text);
    KString& AppendBuffer(const char* bytes, int count);
    KString& AppendChar(char character);
    KString& AppendInt(int value);

    // Byte-wise (unsigned) comparison: -1, 0 or 1. Null counts as "".
    int Compare(const char* text) const;
    int Compare(const KString& other) const { return Compare(other.buffer_); }
    // ASCII case-insensitive comparison: -1, 0 or 1. Null counts as "".
    int CompareNoCase(const char* text) const;
    bool EqualsString(const KString& other) const { return Compare(other.buffer_) == 0; }
    bool EqualsText(const char* text) const { return Compare(text) == 0; }
    bool DiffersFromString(const KString& other) const { return Compare(other.buffer_) != 0; }
    bool DiffersFromText(const char* text) const { return Compare(text) != 0; }

    // Searches. A start above the length is clamped to the length; a negative
    // start finds nothing (-1).
    int FindChar(char character, int start = 0) const;
    int ReverseFindChar(char character) const;
    // First character at or after `start` that is in `set`; -1 for a null set.
    int FindOneOf(const char* set, int start = 0) const;
    // First occurrence of `pattern` at or after `start`; 0 for a null pattern.
    int Find(const char* pattern, int start = 0) const;
    // Number of maximal runs of characters not in `delimiters`.
    int CountTokens(const char* delimiters) const;
    // Token number `index` (from 0); "" when there is none.
    KString GetToken(int index, const char* delimiters) const;

    // Substrings. A start above the length, a negative start or a negative
    // count gives an invalid string; the count is cut to what is there.
    KString Mid(int start, int count) const;
    KString MidToEnd(int start) const { return Mid(start, length_); }
    KString Left(int count) const { return Mid(0, count); }
    KString Right(int count) const;
    KString Upper() const;
    KString Lower() const;
    // Mode 0 trims the right end, 1 the left end, anything else both.
    KString Trim(int mode = 2) const;
    // Replaces the first occurrence of `pattern` at or after `start`. False
    // (unchanged) when it is absent, found past index 4095, or the result
    // would exceed 4095 characters. A null replacement counts as "".
    bool ReplaceFirst(const char* pattern, const char* replacement, int start = 0);

private:
    friend KString KStringConcat(const KString& a, const KString& b);
    friend KString KStringConcatText(const KString& a, const char* text);
    friend KString KStringConcatChar(const KString& a, char character);
    friend KString KStringConcatInt(const KString& a, int value);

    // Exactly `first` followed by `second` (one allocation).
    static KString Join(const char* first, int firstLength, const char* second, int secondLength);
    // Allocates room for n characters; hands the previous heap block back
    // through `oldHeap` (the caller frees it after copying). False (and the
    // string invalid) for n < 0 or when the heap allocation fails.
    bool AllocBuffer(int n, char** oldHeap);
    bool OnHeap() const;
    void CopySubstringTo(KString& target, int count, int start) const;
    void StealFrom(KString& other) noexcept;

    char* buffer_;
    int length_ = 0;
    int capacity_ = 0;
    char inlineBuffer_[kInlineCapacity];
};

// ASCII case-insensitive comparison of two texts (null counts as ""): -1, 0
// or 1. Bytes from 0x80 up compare as themselves, whatever the locale.
int KStringCompareNoCase(const char* a, const char* b);

bool operator==(const KString& a, const KString& b);
bool operator==(const KString& a, const char* b);
bool operator<(const KString& a, const KString& b);

// Concatenations: a new string; an invalid operand gives an invalid result.
KString KStringConcat(const KString& a, const KString& b);
KString KStringConcatText(const KString& a, const char* text);
KString KStringConcatChar(const KString& a, char character);
KString KStringConcatInt(const KString& a, int value);
inline KString operator+(const KString& a, const KString& b) { return KStringConcat(a, b); }
inline KString operator+(const KString& a, const char* b) { return KStringConcatText(a, b); }
inline KString operator+(const KString& a, char b) { return KStringConcatChar(a, b); }

// Heap strings made through the allocation hooks; free them with KStringDelete.
KString* KStringNew();
void KStringDelete(KString* string);
KString* KStringOrNew(KString* string);
// Frees an empty heap string and returns null; otherwise returns it.
KString* KStringDeleteIfEmpty(KString* string);
// The string, or a process-wide empty string when null.
KString* KStringOrStaticEmpty(KString* string);

}  // namespace duzsdk
