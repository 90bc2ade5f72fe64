#include "sdk/io/KDuzFieldList.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "sdk/base/KChainedFile.h"
#include "sdk/base/KMemory.h"
#include "sdk/io/KDuzBytes.h"

namespace duzsdk {

namespace {

constexpr int64_t kRecordHeaderSize = 13;

std::string LowerName(const char* name, size_t length)
{
    std::string lower(name, length);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

int64_t StreamLength(KChainedFile* stream)
{
    const int64_t saved = stream->Tell();
    if (saved < 0 || !stream->Seek(2, 0))
        return -1;
    const int64_t length = stream->Tell();
    stream->SeekFromStart(saved);
    return length;
}

bool ReadExactly(KChainedFile* stream, void* out, size_t count)
{
    return stream->Read(out, count) == count;
}

}  // namespace

// ---------------------------------------------------------------- instance

KDuzFieldInstance::~KDuzFieldInstance()
{
    if (ownsValues)
        KMemFree(const_cast<unsigned char*>(values));
}

KDuzFieldInstance::KDuzFieldInstance(KDuzFieldInstance&& other) noexcept
    : blockPosition(other.blockPosition),
      valueCursor(other.valueCursor),
      tokens(std::move(other.tokens)),
      values(other.values),
      byteLength(other.byteLength),
      valueCount(other.valueCount),
      valueOffset(other.valueOffset),
      ownsValues(other.ownsValues),
      lastText(std::move(other.lastText))
{
    other.values = nullptr;
    other.ownsValues = false;
}

KDuzFieldInstance& KDuzFieldInstance::operator=(KDuzFieldInstance&& other) noexcept
{
    if (this != &other) {
        if (ownsValues)
            KMemFree(const_cast<unsigned char*>(values));
        blockPosition = other.blockPosition;
        blockEnd = other.blockEnd;
        valueCursor = other.valueCursor;
        tokens = std::move(other.tokens);
        values = other.values;
        byteLength = other.byteLength;
        valueCount = other.valueCount;
        valueOffset = other.valueOffset;
        ownsValues = other.ownsValues;
        lastText = std::move(other.lastText);
        other.values = nullptr;
        other.ownsValues = false;
    }
    return *this;
}

bool KDuzFieldInstance::SetBinaryValues(int count, uint32_t length, const unsigned char* list, bool bigEndian,
                                        bool owns)
{
    values = nullptr;
    byteLength = 0;
    valueCount = 0;
    valueOffset = 0;
    ownsValues = false;
    // Every value takes at least two bytes, which bounds the count by the list.
    bool ok = count >= 0 && static_cast<uint64_t>(count) <= length / 2u;
    // The walk keeps its position in a local so that the loop stays tight:
    // arrays of millions of values are checked here once per parse.
    uint64_t walk = 0;
    const uint64_t end = length;
    auto isWide = [](unsigned char t) { return t == 'D' || t == 'L'; };
    auto isWord = [](unsigned char t) { return t == 'I' || t == 'F'; };
    for (int i = 0; ok && i < count; ++i) {
        if (walk >= end) {
            ok = false;
            break;
        }
        // Four values of an array at a time: their type bytes are independent loads.
        while (count - i > 4 && walk + 36 <= end && isWide(list[walk]) && isWide(list[walk + 9]) &&
               isWide(list[walk + 18]) && isWide(list[walk + 27])) {
            walk += 36;
            i += 4;
        }
        while (count - i > 4 && walk + 20 <= end && isWord(list[walk]) && isWord(list[walk + 5]) &&
               isWord(list[walk + 10]) && isWord(list[walk + 15])) {
            walk += 20;
            i += 4;
        }
        if (walk >= end) {
            ok = false;
            break;
        }
        switch (list[walk]) {
        case 'D': case 'L': walk += 9; break;
        case 'I': case 'F': walk += 5; break;
        case 'C': walk += 2; break;
        case 'S': case 'R':
            if (walk + 5 > end) {
                ok = false;
                break;
            }
            walk += 5 + static_cast<uint64_t>(KDuzLoad32(list + walk + 1, bigEndian));
            break;
        default:
            ok = false;
            break;
        }
    }
    ok = ok && walk <= end;
    if (!ok) {
        if (owns)
            KMemFree(const_cast<unsigned char*>(list));
        return false;
    }
    values = list;
    byteLength = length;
    valueCount = count;
    ownsValues = owns;
    return true;
}

void KDuzFieldInstance::AddAsciiValue(const char* text, size_t length)
{
    tokens.emplace_back(text, length);
}

int KDuzFieldInstance::GetValueCount() const
{
    return values != nullptr ? valueCount : static_cast<int>(tokens.size());
}

// ---------------------------------------------------------------- list

KDuzFieldList::KDuzFieldList(KChainedFile* stream, int64_t start, bool binary, bool bigEndian)
    : stream_(stream), start_(start), binary_(binary), bigEndian_(bigEndian)
{
}

KDuzFieldList::~KDuzFieldList()
{
    DestroyChildList();
    Clear();
}

void KDuzFieldList::Clear()
{
    for (KDuzField* field : fields_)
        delete field;
    fields_.clear();
    byName_.clear();
    sorted_.clear();
    rank_.clear();
    sortedDirty_ = false;
    if (ownsBuffer_) {
        KMemFree(buffer_);
        region_ = nullptr;
    }
    buffer_ = nullptr;
    ownsBuffer_ = false;
    currentField = 0;
    currentInstance = -1;
    current = nullptr;
}

KDuzFieldInstance* KDuzFieldList::AddFieldInstance(const char* name, size_t length)
{
    std::string key = LowerName(name, length);
    auto found = byName_.find(key);
    KDuzField* field;
    if (found == byName_.end()) {
        field = new KDuzField(name, length);
        byName_.emplace(std::move(key), static_cast<int>(fields_.size()));
        fields_.push_back(field);
        sortedDirty_ = true;
    } else {
        field = fields_[static_cast<size_t>(found->second)];
    }
    field->instances.emplace_back();
    field->lastAdded = static_cast<int>(field->instances.size()) - 1;
    return &field->instances.back();
}

void KDuzFieldList::BuildSortedOrder()
{
    if (!sortedDirty_ && sorted_.size() == fields_.size())
        return;
    sorted_.resize(fields_.size());
    for (size_t i = 0; i < sorted_.size(); ++i)
        sorted_[i] = static_cast<int>(i);
    std::vector<std::string> keys(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i)
        keys[i] = LowerName(fields_[i]->name.data(), fields_[i]->name.size());
    std::stable_sort(sorted_.begin(), sorted_.end(), [&keys](int a, int b) {
        return keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)];
    });
    rank_.resize(sorted_.size());
    for (size_t i = 0; i < sorted_.size(); ++i)
        rank_[static_cast<size_t>(sorted_[i])] = static_cast<int>(i);
    sortedDirty_ = false;
}

KDuzField* KDuzFieldList::FindField(const char* name, int* indexOut)
{
    if (indexOut != nullptr)
        *indexOut = -1;
    if (name == nullptr)
        return nullptr;
    auto found = byName_.find(LowerName(name, std::strlen(name)));
    if (found == byName_.end())
        return nullptr;
    if (indexOut != nullptr) {
        BuildSortedOrder();
        *indexOut = rank_[static_cast<size_t>(found->second)];
    }
    return fields_[static_cast<size_t>(found->second)];
}

KDuzField* KDuzFieldList::GetField(int index)
{
    if (index < 0 || index >= GetFieldCount())
        return nullptr;
    BuildSortedOrder();
    return fields_[static_cast<size_t>(sorted_[static_cast<size_t>(index)])];
}

const char* KDuzFieldList::GetFieldName(int index)
{
    KDuzField* field = GetField(index);
    return field != nullptr ? field->name.c_str() : "";
}

KDuzField* KDuzFieldList::GetCurrentField()
{
    return GetField(currentField);
}

int KDuzFieldList::Rewind()
{
    DestroyChildList();
    currentField = 0;
    currentInstance = -1;
    current = nullptr;
    for (KDuzField* field : fields_) {
        field->lastAdded = field->instances.empty() ? -1 : 0;
        field->readCursor = 0;
    }
    return GetFieldCount();
}

KDuzFieldList* KDuzFieldList::CreateChildList(int64_t position, int64_t end)
{
    DestroyChildList();
    child_ = new KDuzFieldList(stream_, position, binary_, bigEndian_);
    child_->parent_ = this;
    child_->depth_ = depth_ + 1;
    child_->knownEnd_ = end;
    if (binary_ && region_ != nullptr && position >= regionOffset_ && position < regionOffset_ + regionLength_) {
        child_->region_ = region_;
        child_->regionOffset_ = regionOffset_;
        child_->regionLength_ = regionLength_;
    }
    return child_;
}

void KDuzFieldList::DestroyChildList()
{
    delete child_;
    child_ = nullptr;
}

bool KDuzFieldList::Parse()
{
    return binary_ ? ParseBinary() : ParseAscii();
}

bool KDuzFieldList::FindFirstBlock(const char* name, int64_t* endOut)
{
    return binary_ ? BinaryFindFirstBlock(name, endOut) : AsciiFindFirstBlock(name);
}

// ---------------------------------------------------------------- binary

bool KDuzFieldList::ParseBinary()
{
    Clear();
    if (stream_ == nullptr || !stream_->IsOpen())
        return true;
    if (region_ != nullptr)
        return ParseRecordsInMemory(region_, regionOffset_, regionLength_);
    // A nested block whose record end is known is read at once, and the
    // blocks nested in it carve their values from the same buffer.
    const int64_t size = knownEnd_ - start_;
    if (knownEnd_ > 0 && size > 0 && size <= kSharedBufferLimit) {
        buffer_ = static_cast<unsigned char*>(KMemAlloc(static_cast<size_t>(size)));
        if (buffer_ != nullptr) {
            ownsBuffer_ = true;
            if (!stream_->SeekFromStart(start_) || !ReadExactly(stream_, buffer_, static_cast<size_t>(size)))
                return false;
            region_ = buffer_;
            regionOffset_ = start_;
            regionLength_ = size;
            return ParseRecordsInMemory(region_, regionOffset_, regionLength_);
        }
    }
    return ParseRecordsFromStream();
}

bool KDuzFieldList::ParseRecordsInMemory(const unsigned char* base, int64_t baseOffset, int64_t length)
{
    int64_t position = start_;
    const int64_t limit = baseOffset + length;
    while (true) {
        if (position < baseOffset || position + kRecordHeaderSize > limit)
            return false;
        const unsigned char* header = base + (position - baseOffset);
        const int64_t end = KDuzLoad32(header, bigEndian_);
        const uint32_t count = KDuzLoad32(header + 4, bigEndian_);
        const uint32_t byteLength = KDuzLoad32(header + 8, bigEndian_);
        const int nameLength = header[12];
        if (end == 0) {
            end_ = position + kRecordHeaderSize;
            return true;
        }
        if (end <= position || end > limit)
            return false;
        const int64_t valuesStart = position + kRecordHeaderSize + nameLength;
        if (valuesStart + static_cast<int64_t>(byteLength) > end)
            return false;
        KDuzFieldInstance* instance =
            AddFieldInstance(reinterpret_cast<const char*>(header + kRecordHeaderSize), static_cast<size_t>(nameLength));
        if (count != 0) {
            if (count > 0x7fffffffu ||
                !instance->SetBinaryValues(static_cast<int>(count), byteLength, base + (valuesStart - baseOffset),
                                           bigEndian_, false))
                return false;
        }
        if (valuesStart + static_cast<int64_t>(byteLength) < end) {
            instance->blockPosition = valuesStart + byteLength;
            instance->blockEnd = end;
        }
        position = end;
    }
}

bool KDuzFieldList::ParseRecordsFromStream()
{
    const int64_t fileLength = StreamLength(stream_);
    int64_t position = start_;
    while (true) {
        unsigned char header[kRecordHeaderSize];
        if (!stream_->SeekFromStart(position) || !ReadExactly(stream_, header, sizeof(header)))
            return false;
        const int64_t end = KDuzLoad32(header, bigEndian_);
        const uint32_t count = KDuzLoad32(header + 4, bigEndian_);
        const uint32_t byteLength = KDuzLoad32(header + 8, bigEndian_);
        const int nameLength = header[12];
        if (end == 0) {
            end_ = position + kRecordHeaderSize;
            return true;
        }
        if (end <= position || end > fileLength)
            return false;
        const int64_t valuesStart = position + kRecordHeaderSize + nameLength;
        if (valuesStart + static_cast<int64_t>(byteLength) > end)
            return false;
        char name[256];
        if (!ReadExactly(stream_, name, static_cast<size_t>(nameLength)))
            return false;
        KDuzFieldInstance* instance = AddFieldInstance(name, static_cast<size_t>(nameLength));
        if (count != 0) {
            if (count > 0x7fffffffu)
                return false;
            auto* values = static_cast<unsigned char*>(KMemAlloc(byteLength == 0 ? 1 : byteLength));
            if (values == nullptr)
                return false;
            if (!ReadExactly(stream_, values, byteLength)) {
                KMemFree(values);
                return false;
            }
            if (!instance->SetBinaryValues(static_cast<int>(count), byteLength, values, bigEndian_, true))
                return false;
        }
        if (valuesStart + static_cast<int64_t>(byteLength) < end) {
            instance->blockPosition = valuesStart + byteLength;
            instance->blockEnd = end;
        }
        position = end;
    }
}

bool KDuzFieldList::BinaryFindFirstBlock(const char* name, int64_t* endOut)
{
    if (stream_ == nullptr || !stream_->IsOpen() || name == nullptr)
        return false;
    unsigned char header[kRecordHeaderSize];
    if (!stream_->SeekFromStart(start_) || !ReadExactly(stream_, header, sizeof(header)))
        return false;
    const int64_t end = KDuzLoad32(header, bigEndian_);
    const uint32_t byteLength = KDuzLoad32(header + 8, bigEndian_);
    const size_t nameLength = header[12];
    if (end == 0 || end <= start_)
        return false;
    char recordName[256];
    if (!ReadExactly(stream_, recordName, nameLength))
        return false;
    if (nameLength != std::strlen(name) || std::memcmp(recordName, name, nameLength) != 0)
        return false;
    const int64_t valuesEnd = start_ + kRecordHeaderSize + static_cast<int64_t>(nameLength) + byteLength;
    if (valuesEnd >= end)
        return false;
    start_ = valuesEnd;
    int64_t after = end;
    unsigned char next[kRecordHeaderSize];
    if (stream_->SeekFromStart(end) && ReadExactly(stream_, next, sizeof(next)) &&
        std::all_of(next, next + sizeof(next), [](unsigned char b) { return b == 0; }))
        after = end + kRecordHeaderSize;
    if (endOut != nullptr)
        *endOut = after;
    return true;
}

// ---------------------------------------------------------------- ASCII

namespace {

// Reads an ASCII block from `start` and keeps the text of its own level only;
// each nested block is replaced by a " <position>@" token, the position just
// after its "{". Comment lines (first non-blank ';') are dropped. Braces
// inside double quotes do not count; a quote never spans lines.
bool ScanAsciiBlock(KChainedFile* stream, int64_t start, bool stopAtFirstBlock, std::string* text)
{
    if (!stream->SeekFromStart(start))
        return false;
    char chunk[16384];
    int64_t position = start;
    int depth = 0;
    bool inQuote = false;
    bool lineStart = true;
    bool inComment = false;
    while (true) {
        const size_t got = stream->Read(chunk, sizeof(chunk));
        if (got == 0)
            return true;
        for (size_t i = 0; i < got; ++i, ++position) {
            char c = chunk[i];
            if (c == '\0')
                c = ' ';
            if (c == '\n' || c == '\r') {
                inQuote = false;
                inComment = false;
                lineStart = true;
                if (depth == 0)
                    text->push_back('\n');
                continue;
            }
            if (inComment)
                continue;
            if (lineStart) {
                if (c == ' ' || c == '\t')
                    continue;
                lineStart = false;
                if (c == ';' && !inQuote) {
                    inComment = true;
                    continue;
                }
            }
            if (c == '"') {
                inQuote = !inQuote;
            } else if (!inQuote && c == '@') {
                // Outside quotes '@' only ever marks a block position made
                // here; one in the file itself must not point anywhere.
                c = ' ';
            } else if (!inQuote && c == '{') {
                if (depth == 0) {
                    text->append(" ");
                    text->append(std::to_string(position + 1));
                    text->append("@ ");
                    if (stopAtFirstBlock)
                        return true;
                }
                ++depth;
                continue;
            } else if (!inQuote && c == '}') {
                if (depth == 0)
                    return true;  // the block itself closes
                --depth;
                continue;
            }
            if (depth == 0)
                text->push_back(c);
        }
    }
}

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || IsLineEnd(c); }

struct AsciiToken {
    const char* text = nullptr;
    size_t length = 0;
    char delimiter = ' ';
    bool quoted = false;
};

// One token from `pos`; false at the end of the text.
bool AsciiNextToken(const std::string& text, size_t* pos, AsciiToken* token)
{
    size_t i = *pos;
    const size_t n = text.size();
    while (true) {
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i >= n) {
            *pos = i;
            return false;
        }
        // A delimiter at the read position itself yields no token.
        if (text[i] == ',' || text[i] == ':' || text[i] == '@') {
            ++i;
            continue;
        }
        break;
    }
    token->quoted = false;
    if (text[i] == '"') {
        // A text ends at its closing quote or, unclosed, at the line end,
        // as the block scan sees it.
        const size_t begin = i + 1;
        size_t close = begin;
        while (close < n && text[close] != '"' && !IsLineEnd(text[close]))
            ++close;
        token->text = text.data() + begin;
        token->length = close - begin;
        token->quoted = true;
        i = close < n && text[close] == '"' ? close + 1 : close;
        size_t look = i;
        while (look < n && (text[look] == ' ' || text[look] == '\t'))
            ++look;
        if (look < n && (text[look] == ':' || text[look] == ',' || text[look] == '@')) {
            token->delimiter = text[look];
            i = look + 1;
        } else {
            token->delimiter = ' ';
        }
        *pos = i;
        return true;
    }
    const size_t begin = i;
    while (i < n) {
        const char c = text[i];
        if (c == ',' || c == ':' || c == '@') {
            token->text = text.data() + begin;
            token->length = i - begin;
            token->delimiter = c;
            *pos = i + 1;
            return true;
        }
        if (IsLineEnd(c))
            break;
        if (c == ' ' || c == '\t') {
            // A name may hold blanks: the token runs to a ':' later on the line.
            size_t look = i;
            while (look < n) {
                const char d = text[look];
                if (d == ':' || IsLineEnd(d) || d == '"' || d == ',' || d == '@')
                    break;
                ++look;
            }
            if (look < n && text[look] == ':') {
                size_t last = look;
                while (last > begin && (text[last - 1] == ' ' || text[last - 1] == '\t'))
                    --last;
                token->text = text.data() + begin;
                token->length = last - begin;
                token->delimiter = ':';
                *pos = look + 1;
                return true;
            }
            break;
        }
        ++i;
    }
    token->text = text.data() + begin;
    token->length = i - begin;
    token->delimiter = ' ';
    *pos = i;
    return true;
}

}  // namespace

bool KDuzFieldList::ParseAscii()
{
    Clear();
    if (stream_ == nullptr || !stream_->IsOpen())
        return true;
    std::string text;
    if (!ScanAsciiBlock(stream_, start_, false, &text))
        return true;
    size_t pos = 0;
    AsciiToken token;
    KDuzFieldInstance* occurrence = nullptr;
    std::string lastName;
    while (AsciiNextToken(text, &pos, &token)) {
        if (token.delimiter == ':') {
            lastName.assign(token.text, token.length);
            occurrence = AddFieldInstance(token.text, token.length);
        } else if (token.delimiter == '@') {
            if (occurrence != nullptr) {
                const long long position = std::strtoll(std::string(token.text, token.length).c_str(), nullptr, 10);
                // Nested blocks lie after the block that holds them.
                occurrence->blockPosition = position > start_ ? position : 0;
            }
        } else if (token.length != 0 || token.quoted) {
            if (occurrence == nullptr)
                occurrence = AddFieldInstance(lastName.data(), lastName.size());
            occurrence->AddAsciiValue(token.text, token.length);
        }
    }
    return true;
}

bool KDuzFieldList::AsciiFindFirstBlock(const char* name)
{
    if (stream_ == nullptr || !stream_->IsOpen() || name == nullptr)
        return false;
    std::string text;
    if (!ScanAsciiBlock(stream_, start_, true, &text))
        return false;
    size_t pos = 0;
    AsciiToken token;
    bool haveName = false;
    std::string first;
    while (AsciiNextToken(text, &pos, &token)) {
        if (token.delimiter == ':') {
            if (haveName)
                return false;
            haveName = true;
            first.assign(token.text, token.length);
        } else if (token.delimiter == '@') {
            if (!haveName || first != name)
                return false;
            const long long position = std::strtoll(std::string(token.text, token.length).c_str(), nullptr, 10);
            if (position <= 0)
                return false;
            start_ = position;
            return true;
        }
    }
    return false;
}

}  // namespace duzsdk
