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
{
    *this = std::move(other);
}

KDuzFieldInstance& KDuzFieldInstance::operator=(KDuzFieldInstance&& other) noexcept
{
    if (this != &other) {
        if (ownsValues)
            KMemFree(const_cast<unsigned char*>(values));
        blockPosition = other.blockPosition;
        blockEnd = other.blockEnd;
        valuesPosition = other.valuesPosition;
        valueCursor = other.valueCursor;
        values = other.values;
        byteLength = other.byteLength;
        valueCount = other.valueCount;
        valueOffset = other.valueOffset;
        ownsValues = other.ownsValues;
        lastText = std::move(other.lastText);
        span = other.span;
        moreSpans = std::move(other.moreSpans);
        spanIndex = other.spanIndex;
        cursor = other.cursor;
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

void KDuzFieldInstance::AddAsciiValue(int64_t begin, int64_t end, bool quoteOpen, bool extend)
{
    if (valueCount == 0) {
        span = {begin, end, quoteOpen};
    } else if (extend) {
        (moreSpans.empty() ? span : moreSpans.back()).end = end;
    } else {
        moreSpans.push_back({begin, end, quoteOpen});
    }
    ++valueCount;
}

void KDuzFieldInstance::AddPlainValues(int count, int64_t end)
{
    (moreSpans.empty() ? span : moreSpans.back()).end = end;
    valueCount += count;
}

void KDuzFieldInstance::RewindValues()
{
    valueCursor = 0;
    valueOffset = 0;
    spanIndex = 0;
    cursor = KDuzAsciiCursor();
    cursor.position = span.begin;
    cursor.end = span.end;
    cursor.lineStart = false;
    cursor.quoteOpen = span.quoteOpen;
}

bool KDuzFieldInstance::NextAsciiToken(KDuzAsciiText& text, KDuzAsciiToken* token)
{
    const int spans = valueCount > 0 ? 1 + static_cast<int>(moreSpans.size()) : 0;
    while (spanIndex < spans) {
        while (cursor.Next(text, token)) {
            // The parse kept only values here; anything else is stepped over
            // as the parse did.
            if ((token->delimiter == ',' || token->delimiter == ' ') && (token->length != 0 || token->quoted))
                return true;
        }
        if (++spanIndex >= spans)
            break;
        const AsciiSpan& next = moreSpans[static_cast<size_t>(spanIndex - 1)];
        cursor = KDuzAsciiCursor();
        cursor.position = next.begin;
        cursor.end = next.end;
        cursor.lineStart = false;
        cursor.quoteOpen = next.quoteOpen;
    }
    return false;
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

KDuzFieldList::FieldPool::~FieldPool()
{
    for (KDuzField* field : fields)
        delete field;
}

void KDuzFieldList::Recycle(KDuzField* field)
{
    if (pool_ == nullptr || pool_->fields.size() >= kPooledFields ||
        field->instances.capacity() > kPooledInstances) {
        delete field;
        return;
    }
    field->instances.clear();
    field->lastAdded = -1;
    field->readCursor = 0;
    pool_->fields.push_back(field);
}

void KDuzFieldList::Clear()
{
    for (KDuzField* field : fields_)
        Recycle(field);
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
    if (deferred_ != nullptr && deferred_->ownerList == this) {
        deferred_->owner = nullptr;
        deferred_->ownerList = nullptr;
    }
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
        if (pool_ != nullptr && !pool_->fields.empty()) {
            field = pool_->fields.back();
            pool_->fields.pop_back();
            field->name.assign(name, length);
        } else {
            field = new KDuzField(name, length);
        }
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

KDuzFieldList::DeferredBuffer::~DeferredBuffer()
{
    KMemFree(data);
}

bool KDuzFieldList::LoadDeferredValues(KDuzFieldInstance* instance)
{
    if (instance == nullptr || instance->valuesPosition == 0 || instance->values != nullptr)
        return true;
    if (deferred_ == nullptr)
        deferred_ = std::make_shared<DeferredBuffer>();
    DeferredBuffer& shared = *deferred_;
    const int count = instance->valueCount;
    const uint32_t length = instance->byteLength;
    instance->valueCount = 0;
    // The list in the buffer goes back into the file, unless an enclosing
    // block's reader still stands on it: then this one gets its own memory.
    const bool busy = shared.owner != nullptr && shared.ownerList != this && shared.ownerList->current == shared.owner;
    unsigned char* target = nullptr;
    if (busy) {
        target = static_cast<unsigned char*>(KMemAlloc(length));
    } else {
        if (shared.owner != nullptr) {
            shared.owner->values = nullptr;
            shared.owner = nullptr;
            shared.ownerList = nullptr;
        }
        if (length > shared.capacity) {
            KMemFree(shared.data);
            shared.capacity = 0;
            shared.data = static_cast<unsigned char*>(KMemAlloc(length));
            if (shared.data != nullptr)
                shared.capacity = length;
        }
        target = shared.data;
    }
    const bool read = target != nullptr && stream_ != nullptr && stream_->SeekFromStart(instance->valuesPosition) &&
                      ReadExactly(stream_, target, length);
    if (!read && busy)
        KMemFree(target);
    // A list of its own is freed by SetBinaryValues when it is malformed.
    if (!read || !instance->SetBinaryValues(count, length, target, bigEndian_, busy)) {
        instance->valuesPosition = 0;  // no values from now on
        return false;
    }
    if (busy) {
        instance->valuesPosition = 0;  // its own now
    } else {
        shared.owner = instance;
        shared.ownerList = this;
    }
    return true;
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
    child_->text_ = text_;
    child_->mustClose_ = true;
    if (binary_ && deferred_ == nullptr)
        deferred_ = std::make_shared<DeferredBuffer>();
    child_->deferred_ = deferred_;
    if (pool_ == nullptr)
        pool_ = std::make_shared<FieldPool>();
    child_->pool_ = pool_;
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
    if (knownEnd_ > 0 && size > 0 && size <= kWholeBlockLimit) {
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
        if (count != 0 && byteLength >= kDeferredValues && count <= 0x7fffffffu && count <= byteLength / 2u) {
            // Read when the reader gets to it; checked then.
            instance->valueCount = static_cast<int>(count);
            instance->byteLength = byteLength;
            instance->valuesPosition = valuesStart;
        } else if (count != 0) {
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

// Characters that end or change a token; any other character is part of one.
struct TokenBreaks {
    bool table[256] = {};
    constexpr TokenBreaks()
    {
        for (unsigned char c : {',', ':', '\n', '\r', ' ', '\t', '\0', '@', '"', '{', '}'})
            table[c] = true;
    }
};
constexpr TokenBreaks kTokenBreaks;

// The bulk of a file is arrays: after a value that ended with ',', the run of
// values that each end with ',' on the same line is counted here, which is
// what the cursor would make of them token by token. The cursor then goes on
// with whatever ends the run.
void CountPlainValues(KDuzAsciiText& text, KDuzAsciiCursor* cursor, KDuzFieldInstance* occurrence)
{
    // A run stops at its line's end, which the held text reaches.
    const int64_t limit = text.Reach(cursor->position, cursor->end);
    const char* const origin = text.At(cursor->position);
    const char* p = origin;
    const char* const e = text.At(limit);
    const char* resume = p;  // just after the last counted value's ','
    int counted = 0;
    while (p < e) {
        if (*p == ',') {  // an empty value: a separator at the read position
            ++p;
            resume = p;
            continue;
        }
        const char* q = p;
        while (q < e && !kTokenBreaks.table[static_cast<unsigned char>(*q)])
            ++q;
        if (q == p || q >= e || *q != ',')
            break;
        ++counted;
        p = q + 1;
        resume = p;
    }
    if (counted == 0)
        return;
    cursor->position += resume - origin;
    occurrence->AddPlainValues(counted, cursor->position);
}

}  // namespace

// One pass over the text of this level: nested blocks are stepped over by
// their known ends (the walk of the enclosing level found them), and the
// values of each field are counted and located, not copied.
bool KDuzFieldList::ParseAscii()
{
    Clear();
    if (stream_ == nullptr || !stream_->IsOpen())
        return true;
    if (text_ == nullptr)
        text_ = std::make_shared<KDuzAsciiText>(stream_, start_);
    int64_t end = 0;
    bool fileEnd = false;
    if (mustClose_) {
        // A block whose text ends before its '}' is damaged.
        end = text_->BlockClose(start_);
        if (end < 0)
            return false;
    } else {
        const KDuzAsciiText::Stop stop = text_->WalkLevel(start_, false, true, &end);
        if (stop == KDuzAsciiText::Stop::kDamaged)
            return false;
        fileEnd = stop == KDuzAsciiText::Stop::kEnd;
    }
    KDuzAsciiCursor cursor;
    cursor.position = start_;
    cursor.end = end;
    KDuzAsciiToken token;
    KDuzFieldInstance* occurrence = nullptr;
    bool extend = false;  // the next value continues the current occurrence's last span
    char last = 0;        // delimiter of the last token
    while (cursor.Next(*text_, &token)) {
        last = token.delimiter;
        if (token.delimiter == ':') {
            occurrence = AddFieldInstance(token.text, token.length);
            extend = false;
        } else if (token.delimiter == '@') {
            // Nested blocks lie after the block that holds them.
            if (occurrence != nullptr)
                occurrence->blockPosition = token.block > start_ ? token.block : 0;
            extend = false;
        } else if (token.length != 0 || token.quoted) {
            if (occurrence == nullptr)
                occurrence = AddFieldInstance("", 0);
            occurrence->AddAsciiValue(token.begin, cursor.position, token.quoteOpenBefore, extend);
            extend = true;
            if (token.delimiter == ',')
                CountPlainValues(*text_, &cursor, occurrence);
        }
    }
    if (cursor.damaged)
        return false;
    // The top level ends with the file. A text that stops inside a quoted
    // text, after a separator, or within its last line's field is cut short.
    if (fileEnd && last != 0 && last != '@' && (cursor.textCut || last == ',' || !cursor.lineEndSeen))
        return false;
    return true;
}

bool KDuzFieldList::AsciiFindFirstBlock(const char* name)
{
    if (stream_ == nullptr || !stream_->IsOpen() || name == nullptr)
        return false;
    if (text_ == nullptr)
        text_ = std::make_shared<KDuzAsciiText>(stream_, start_);
    int64_t brace = 0;
    if (text_->WalkLevel(start_, true, false, &brace) != KDuzAsciiText::Stop::kOpen)
        return false;
    KDuzAsciiCursor cursor;
    cursor.position = start_;
    cursor.end = brace;
    KDuzAsciiToken token;
    bool haveName = false;
    bool matches = false;
    while (cursor.Next(*text_, &token)) {
        if (token.delimiter != ':')
            continue;
        if (haveName)
            return false;
        haveName = true;
        matches = token.length == std::strlen(name) && std::memcmp(token.text, name, token.length) == 0;
    }
    if (!matches)
        return false;
    start_ = brace + 1;
    mustClose_ = true;
    return true;
}

}  // namespace duzsdk
