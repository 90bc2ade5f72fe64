#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace duzsdk {

class KChainedFile;

// The text of an ASCII field file from a start position to its end, read
// from the stream in chunks and only as far as a reader needs it, and never
// past the size the stream had when the text was first asked for. Only a
// window of it is held: text behind the window is dropped as the readers go
// on and read again when one goes back, so a file of gigabytes is read with a
// few megabytes of text in memory. It also remembers where every block it has
// walked over ends, so each level of nesting is split into fields from its
// own text only.
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

    // Holds the text from `from` (a file position) through the last line end
    // of what it reads, or through `end` when that comes first, and returns
    // where that held text ends (`end`, a position just after a line end, or
    // the end of the text). A token never runs past a line end, so a scan
    // that starts before the returned position and stops at line ends sees
    // the same text it would see with the whole file in memory.
    int64_t Reach(int64_t from, int64_t end);

    // The held text at file position `position`, which the last Reach or
    // walk covered; valid until the next Reach or walk. A NUL follows the
    // held text.
    const char* At(int64_t position) const { return window_ + (position - windowBegin_); }

    // Bytes read from the stream per chunk, for tests that make every token
    // cross a chunk's end; 0 restores the default. Applies to texts made
    // afterwards.
    static void SetChunkSize(int64_t bytes);

private:
    struct Block {
        int64_t open;   // just after the '{'
        int64_t close;  // the '}', -1 while unknown
    };

    // Reads the next chunk after the window, first dropping the held text
    // before `keep` (within the window) when the buffer is full; false at
    // the end of the text.
    bool LoadMore(int64_t keep);
    // Moves the window to start, empty, at `position` unless it holds it.
    void Seat(int64_t position);
    const Block* FindBlock(int64_t open) const;
    int64_t TextEnd();

    static constexpr int64_t kSmallBlock = 256;
    static constexpr int64_t kRecordedDepth = 256;

    KChainedFile* stream_;
    int64_t base_;
    int64_t size_ = -1;  // bytes from base_ to the end of the stream, -1 until measured
    int64_t chunk_;
    // The held text: file positions [windowBegin_, windowEnd_), and just
    // after the last line end in it (windowBegin_ when there is none).
    int64_t windowBegin_;
    int64_t windowEnd_;
    int64_t lineEnd_;
    int64_t runStart_;  // where the window was last seated: chunks grow from there
    int64_t capacity_ = 0;
    char* window_;
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
