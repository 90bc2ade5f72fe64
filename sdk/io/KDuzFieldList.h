#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/io/KDuzAsciiText.h"

namespace duzsdk {

class KChainedFile;

// One occurrence of a field: its values, still in their stored form, and the
// position of its nested block. Binary values point into the block buffer of
// the list (or an allocation of their own); ASCII values stay in the file's
// text, which the getters read in place.
class KDuzFieldInstance {
public:
    KDuzFieldInstance() = default;
    ~KDuzFieldInstance();
    KDuzFieldInstance(KDuzFieldInstance&& other) noexcept;
    KDuzFieldInstance& operator=(KDuzFieldInstance&& other) noexcept;
    KDuzFieldInstance(const KDuzFieldInstance&) = delete;
    KDuzFieldInstance& operator=(const KDuzFieldInstance&) = delete;

    // Takes a binary value list of `byteLength` bytes after checking that it
    // holds `count` well-formed values; the getters then walk it without
    // further checks. False when a type byte is unknown or a value runs past
    // the list; nothing is kept then (an owned list is freed all the same).
    bool SetBinaryValues(int count, uint32_t byteLength, const unsigned char* values, bool bigEndian,
                         bool ownsValues);
    // One more ASCII value, the token at `begin` whose text (with its
    // delimiter) ends at `end`; `extend` when it follows the last one
    // without anything but blanks and delimiters between them.
    void AddAsciiValue(int64_t begin, int64_t end, bool quoteOpen, bool extend);
    // `count` more values right after the last one, their text ending at `end`.
    void AddPlainValues(int count, int64_t end);
    // The ASCII value at the value cursor; false past the last one. The
    // caller moves the value cursor.
    bool NextAsciiToken(KDuzAsciiText& text, KDuzAsciiToken* token);
    void RewindValues();

    int GetValueCount() const { return valueCount; }
    bool HasBlock() const { return blockPosition > 0; }

    int64_t blockPosition = 0;
    int64_t blockEnd = 0;                     // binary: end offset of the record holding the block
    int64_t valuesPosition = 0;               // binary: a large value list left in the file until read
    int valueCursor = 0;
    const unsigned char* values = nullptr;    // binary value list
    uint32_t byteLength = 0;
    int valueCount = 0;                       // values in the list (binary) or the text (ASCII)
    uint32_t valueOffset = 0;                 // type byte of the value at the cursor
    bool ownsValues = false;
    std::string lastText;                     // the last text handed out

    // ASCII: the stretches of text that hold the values (one, unless a
    // nested block stands between them) and the read position in them.
    struct AsciiSpan {
        int64_t begin = 0;
        int64_t end = 0;
        bool quoteOpen = false;
    };
    AsciiSpan span;
    std::vector<AsciiSpan> moreSpans;
    int spanIndex = 0;
    KDuzAsciiCursor cursor;
};

// All occurrences of one name in one block, in file order.
class KDuzField {
public:
    explicit KDuzField(const char* name, size_t length) : name(name, length) {}

    std::string name;
    std::vector<KDuzFieldInstance> instances;
    int lastAdded = -1;
    int readCursor = 0;
};

// One block of a section, parsed when the reader enters it. Field names are
// looked up without regard to case; index order (FieldGetName) is the sorted
// order of the names, also without regard to case.
class KDuzFieldList {
public:
    // Largest nested block read into one shared buffer; bigger blocks, and
    // the top level of a section, give every value list an allocation of its
    // own, so that only the blocks a reader enters are held in memory.
    static constexpr int64_t kSharedBufferLimit = 262144000;
    // Blocks above this size are parsed record by record from the stream,
    // and their value lists from kDeferredValues bytes up stay in the file
    // until the reader selects their occurrence: a large block then never
    // sits in memory as a whole beside what the reader builds from it.
    static constexpr int64_t kWholeBlockLimit = 32 * 1024 * 1024;
    static constexpr uint32_t kDeferredValues = 1024 * 1024;
    // Deepest nesting of blocks a reader may enter.
    static constexpr int kMaxDepth = 256;

    KDuzFieldList(KChainedFile* stream, int64_t start, bool binary, bool bigEndian);
    ~KDuzFieldList();
    KDuzFieldList(const KDuzFieldList&) = delete;
    KDuzFieldList& operator=(const KDuzFieldList&) = delete;

    bool Parse();
    bool ParseBinary();
    bool ParseAscii();

    // The header extension lookup: `name` must be the first field and hold a
    // block. The list then starts at that block; endOut gets the position
    // after the record (binary; after a null record right behind it too).
    bool FindFirstBlock(const char* name, int64_t* endOut);
    bool BinaryFindFirstBlock(const char* name, int64_t* endOut);
    bool AsciiFindFirstBlock(const char* name);

    // `end` is where the block's record ends (binary), 0 when unknown.
    KDuzFieldList* CreateChildList(int64_t position, int64_t end = 0);
    void DestroyChildList();
    int Rewind();

    KDuzField* GetCurrentField();
    KDuzField* FindField(const char* name, int* indexOut);
    KDuzField* GetField(int index);
    const char* GetFieldName(int index);
    int GetFieldCount() const { return static_cast<int>(fields_.size()); }
    KDuzFieldInstance* AddFieldInstance(const char* name, size_t length);
    // Reads the value list an occurrence left in the file; the list read
    // before is dropped back into the file. False when it cannot be read or
    // is malformed (the occurrence then has no values).
    bool LoadDeferredValues(KDuzFieldInstance* instance);

    KDuzFieldList* GetChild() const { return child_; }
    // ASCII: the file's text, shared by a list and the lists nested in it.
    KDuzAsciiText* GetAsciiText() const { return text_.get(); }
    KDuzFieldList* GetParent() const { return parent_; }
    int64_t GetStart() const { return start_; }
    // Binary: the position just after the block's closing null record.
    int64_t GetEnd() const { return end_; }
    int GetDepth() const { return depth_; }

    int currentField = 0;
    int currentInstance = -1;  // occurrence of the current field being read
    KDuzFieldInstance* current = nullptr;  // that occurrence, while one is current

private:
    void Clear();
    bool ParseRecordsInMemory(const unsigned char* base, int64_t baseOffset, int64_t length);
    bool ParseRecordsFromStream();
    void BuildSortedOrder();

    KChainedFile* stream_;
    int64_t start_;
    int64_t end_ = 0;
    int64_t knownEnd_ = 0;  // end of the enclosing record, when known
    bool binary_;
    bool bigEndian_;
    int depth_ = 0;

    std::vector<KDuzField*> fields_;                 // file order
    std::unordered_map<std::string, int> byName_;    // lower-case name -> fields_ index
    std::vector<int> sorted_;                        // index order
    std::vector<int> rank_;                          // fields_ index -> index order
    bool sortedDirty_ = false;

    // Binary block memory: the whole block as read from the file. Children
    // parse from a parent's region when their block lies inside it.
    unsigned char* buffer_ = nullptr;
    bool ownsBuffer_ = false;
    const unsigned char* region_ = nullptr;
    int64_t regionOffset_ = 0;
    int64_t regionLength_ = 0;

    // ASCII: the text, and whether the block must end with its own '}'
    // (every block but the top level of a section).
    std::shared_ptr<KDuzAsciiText> text_;
    bool mustClose_ = false;

    // Binary: the buffer that holds the one deferred value list in memory,
    // shared by a list and the lists nested in it.
    struct DeferredBuffer {
        ~DeferredBuffer();
        unsigned char* data = nullptr;
        size_t capacity = 0;
        KDuzFieldInstance* owner = nullptr;
        KDuzFieldList* ownerList = nullptr;
    };
    std::shared_ptr<DeferredBuffer> deferred_;

    // Fields of the blocks a reader has left, emptied with their occurrence
    // storage kept, for the next block it enters (a file is mostly many
    // blocks of the same few fields); shared by a list and the lists nested
    // in it. Only modest fields are kept, and only so many.
    struct FieldPool {
        ~FieldPool();
        std::vector<KDuzField*> fields;
    };
    static constexpr size_t kPooledFields = 256;
    static constexpr size_t kPooledInstances = 1024;
    void Recycle(KDuzField* field);
    std::shared_ptr<FieldPool> pool_;

    KDuzFieldList* child_ = nullptr;
    KDuzFieldList* parent_ = nullptr;
};

}  // namespace duzsdk
