#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace duzsdk {

class KChainedFile;

// The text of an ASCII field file from a start position to its end, read
// from the stream once, in chunks and only as far as a reader needs it, and
// never past the size the stream had when the text was first asked for. It
// also remembers where every block it has walked over ends, so each level of
// nesting is split into fields from its own text only.
//
// Rules of the text (those of the pre-scan of the encoding): a line whose
// first non-blank character is ';' is a comment; a double quote opens a text
// that ends at the next double quote or at the line end; '{' and '}' outside
// texts and comments open and close blocks; a NUL byte counts as a blank.
class KDuzAsciiText {
public:
    // Results of a walk over one level of blocks.
    enum class Stop {
        kOpen,     // a '{' of the level itself
        kClose,    // the '}' that closes the level
        kEnd,      // the end of the text
        kDamaged,  // the text ends inside a nested block
    };

    KDuzAsciiText(KChainedFile* stream, int64_t base);
    ~KDuzAsciiText();
    KDuzAsciiText(const KDuzAsciiText&) = delete;
    KDuzAsciiText& operator=(const KDuzAsciiText&) = delete;

    // Walks the level that starts at `position` (a file position) up to its
    // first own '{' (only when `stopAtOpen`), the '}' that closes it, or the
    // end of the text; *at gets the position of that brace or of the end.
    // With `record`, the nested blocks walked over are remembered with their
    // ends (short ones with nothing remembered inside excepted: they cost
    // little to walk again, and a file of empty blocks must not make the
    // table larger than its text).
    Stop WalkLevel(int64_t position, bool stopAtOpen, bool record, int64_t* at);

    // The position of the '}' that closes the block whose text starts at
    // `open` (just after its '{'); -1 when the text ends first.
    int64_t BlockClose(int64_t open);

    // The loaded text from file position `position`; valid up to Loaded(),
    // where a NUL follows the text, and until the next walk reads more.
    const char* At(int64_t position) const { return text_ + (position - base_); }
    int64_t Base() const { return base_; }
    int64_t Loaded() const { return base_ + loaded_; }

private:
    struct Block {
        int64_t open;   // just after the '{'
        int64_t close;  // the '}', -1 while unknown
    };

    // Reads the next chunk; false at the end of the text.
    bool LoadMore();
    const Block* FindBlock(int64_t open) const;

    static constexpr int64_t kSmallBlock = 256;
    static constexpr int64_t kRecordedDepth = 256;

    KChainedFile* stream_;
    int64_t base_;
    int64_t size_ = -1;  // bytes from base_ to the end of the stream, -1 until measured
    int64_t loaded_ = 0;
    int64_t capacity_ = 0;
    char* text_;
    std::vector<Block> blocks_;  // sorted by open
};

// One token of a level's text: a field name (delimiter ':'), a value
// (delimiter ',' or ' '), or a nested block (delimiter '@').
struct KDuzAsciiToken {
    const char* text = nullptr;
    size_t length = 0;
    char delimiter = ' ';
    bool quoted = false;
    bool quoteOpenBefore = false;  // the cursor's quote state where the token starts
    int64_t begin = 0;  // file position of the token (of its opening quote)
    int64_t block = 0;  // '@': file position just after the block's '{'
};

// Splits the text of one level between two file positions into tokens,
// stepping over nested blocks. The same walk serves the parse of a block
// (which counts the values of each field) and the getters (which convert
// the values of one field, one after another, in place).
struct KDuzAsciiCursor {
    int64_t position = 0;
    int64_t end = 0;
    bool lineStart = true;
    bool quoteOpen = false;    // an odd number of quotes so far on the line
    bool lineEndSeen = false;  // a line end since the last token
    bool textCut = false;      // a quoted text ran into `end`
    bool damaged = false;      // a nested block has no end

    // The next token; false at `end`, or when a nested block has no end.
    bool Next(KDuzAsciiText& text, KDuzAsciiToken* token);
};

// Conversions of a value token, as the C library reads it (strtoll, strtod).
int64_t KDuzAsciiToInt64(const char* text, size_t length);
double KDuzAsciiToDouble(const char* text, size_t length);

}  // namespace duzsdk
