#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <fast_float/fast_float.h>

#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzAsciiText.h"
#include "sdk/io/KDuzBytes.h"
#include "sdk/io/KDuzFieldList.h"

namespace duzsdk {

namespace {

float NarrowToFloat(double value)
{
    // Out-of-range doubles saturate instead of being undefined.
    if (std::isnan(value))
        return static_cast<float>(value);
    if (value > FLT_MAX)
        return HUGE_VALF;
    if (value < -FLT_MAX)
        return -HUGE_VALF;
    return static_cast<float>(value);
}

float LoadFloat(const unsigned char* payload, bool bigEndian)
{
    const uint32_t bits = KDuzLoad32(payload, bigEndian);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// A binary 'F' or 'D' value as a double; 0 for any other type or no payload.
double LoadReal(char type, const unsigned char* payload, bool bigEndian)
{
    if (payload == nullptr)
        return 0.0;
    if (type == 'F')
        return LoadFloat(payload, bigEndian);
    if (type == 'D') {
        const uint64_t bits = KDuzLoad64(payload, bigEndian);
        double value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    return 0.0;
}

// The value of the named field, or `fallback` when the field is absent.
template <class T, class Read>
T ReadNamedOr(KDuz& duz, const char* name, T fallback, Read read)
{
    if (!duz.FieldReadBegin(name))
        return fallback;
    const T value = read();
    duz.FieldReadEnd();
    return value;
}

}  // namespace

// ---------------------------------------------------------------- selection

namespace {

// False when the occurrence's values, left in the file, turn out damaged.
bool SelectInstance(KDuzFieldList* list, int fieldIndex, KDuzField* field, int instance)
{
    KDuzFieldInstance& occurrence = field->instances[static_cast<size_t>(instance)];
    occurrence.RewindValues();
    list->currentField = fieldIndex;
    list->currentInstance = instance;
    list->current = &occurrence;
    return list->LoadDeferredValues(&occurrence);
}

}  // namespace

int KDuz::FieldGetCount()
{
    return currentList_ != nullptr ? currentList_->GetFieldCount() : 0;
}

const char* KDuz::FieldGetName(int index)
{
    return currentList_ != nullptr ? currentList_->GetFieldName(index) : "";
}

int KDuz::FieldGetInstanceCount(const char* name)
{
    if (currentList_ == nullptr)
        return 0;
    KDuzField* field = currentList_->FindField(name, nullptr);
    return field != nullptr ? static_cast<int>(field->instances.size()) : 0;
}

bool KDuz::FieldReadBegin(const char* name)
{
    if (currentList_ == nullptr)
        return false;
    int index = -1;
    KDuzField* field = currentList_->FindField(name, &index);
    if (field == nullptr || field->readCursor >= static_cast<int>(field->instances.size()))
        return false;
    if (!SelectInstance(currentList_, index, field, field->readCursor))
        error_.SetLastError(kErrorCorrupted);
    return true;
}

bool KDuz::FieldReadBeginInstance(const char* name, int instance)
{
    if (currentList_ == nullptr)
        return false;
    int index = -1;
    KDuzField* field = currentList_->FindField(name, &index);
    if (field == nullptr || instance < 0 || instance >= static_cast<int>(field->instances.size()))
        return false;
    field->readCursor = instance;
    if (!SelectInstance(currentList_, index, field, instance))
        error_.SetLastError(kErrorCorrupted);
    return true;
}

bool KDuz::FieldReadBeginByIndex(int index, int instance)
{
    if (currentList_ == nullptr)
        return false;
    KDuzField* field = currentList_->GetField(index);
    if (field == nullptr || instance < 0 || instance >= static_cast<int>(field->instances.size()))
        return false;
    field->readCursor = instance;
    if (!SelectInstance(currentList_, index, field, instance))
        error_.SetLastError(kErrorCorrupted);
    return true;
}

void KDuz::FieldReadEnd()
{
    if (currentList_ == nullptr)
        return;
    KDuzField* field = currentList_->GetCurrentField();
    if (field != nullptr && currentList_->currentInstance >= 0)
        field->readCursor = currentList_->currentInstance + 1;
    currentList_->currentInstance = -1;
    currentList_->current = nullptr;
}

int KDuz::FieldReadRewind()
{
    return currentList_ != nullptr ? currentList_->Rewind() : 0;
}

KDuzFieldInstance* KDuz::CurrentInstance()
{
    return currentList_ != nullptr ? currentList_->current : nullptr;
}

bool KDuz::FieldReadIsBlock()
{
    KDuzFieldInstance* instance = CurrentInstance();
    return instance != nullptr && instance->HasBlock();
}

bool KDuz::FieldReadBlockBegin()
{
    KDuzFieldInstance* instance = CurrentInstance();
    if (instance == nullptr || !instance->HasBlock())
        return false;
    if (currentList_->GetDepth() + 1 >= KDuzFieldList::kMaxDepth) {
        error_.SetLastError(kErrorCorrupted);
        return false;
    }
    KDuzFieldList* parent = currentList_;
    KDuzFieldList* child = parent->CreateChildList(instance->blockPosition, instance->blockEnd);
    if (!child->Parse()) {
        // The reader goes on in the block it was in, not in a broken child.
        parent->DestroyChildList();
        error_.SetLastError(kErrorCorrupted);
        return false;
    }
    currentList_ = child;
    return true;
}

void KDuz::FieldReadBlockEnd()
{
    if (currentList_ == nullptr || currentList_->GetParent() == nullptr)
        return;
    KDuzFieldList* parent = currentList_->GetParent();
    currentList_ = parent;
    parent->DestroyChildList();
}

// ---------------------------------------------------------------- values

int KDuz::FieldReadGetValueCount()
{
    KDuzFieldInstance* instance = CurrentInstance();
    return instance != nullptr ? instance->GetValueCount() : 0;
}

int KDuz::FieldReadGetRemainingValueCount()
{
    KDuzFieldInstance* instance = CurrentInstance();
    if (instance == nullptr)
        return 0;
    const int remaining = instance->GetValueCount() - instance->valueCursor;
    return remaining > 0 ? remaining : 0;
}

char KDuz::FieldReadGetNextValueType()
{
    KDuzFieldInstance* instance = CurrentInstance();
    if (!binary_ || instance == nullptr || instance->values == nullptr || instance->valueCursor < 0 ||
        instance->valueCursor >= instance->valueCount)
        return 'S';
    return static_cast<char>(instance->values[instance->valueOffset]);
}

// The payload of the binary value at the cursor, its type and size; the
// cursor moves on. Null past the last value. The list was checked when it
// was parsed, so every value lies inside it.
const unsigned char* KDuz::CurrentPayload(char* typeOut, uint32_t* availableOut)
{
    KDuzFieldInstance* instance = CurrentInstance();
    if (instance == nullptr)
        return nullptr;
    const int index = instance->valueCursor++;
    if (instance->values == nullptr || index < 0 || index >= instance->valueCount)
        return nullptr;
    const unsigned char* value = instance->values + instance->valueOffset;
    uint32_t size;
    switch (value[0]) {
    case 'C': size = 1; break;
    case 'I': case 'F': size = 4; break;
    case 'L': case 'D': size = 8; break;
    default: size = 4 + KDuzLoad32(value + 1, bigEndian_); break;
    }
    instance->valueOffset += 1 + size;
    *typeOut = static_cast<char>(value[0]);
    *availableOut = size;
    return value + 1;
}

namespace {

// The ASCII value at the cursor of the current occurrence; the value cursor
// moves on in every case.
bool NextAsciiToken(KDuzFieldList* list, KDuzFieldInstance* instance, KDuzAsciiToken* token)
{
    if (instance == nullptr)
        return false;
    const int index = instance->valueCursor++;
    KDuzAsciiText* text = list->GetAsciiText();
    if (index < 0 || index >= instance->valueCount || text == nullptr)
        return false;
    return instance->NextAsciiToken(*text, token);
}

// Tiny values read as 0, as the C library's reading did in the past.
double FlushTiny(double value)
{
    return value != 0.0 && std::isfinite(value) && std::logb(value) < -1021 ? 0.0 : value;
}

float FlushTiny(float value)
{
    return value != 0.0f && std::isfinite(value) && std::logb(value) < -125 ? 0.0f : value;
}

// Arrays are read value after value: a plain number right at the cursor,
// followed by a separator or a line end, is taken without splitting the
// text into a token first. False leaves everything to the token path.
template <class T, class Parse>
bool FastAsciiNumber(KDuzAsciiText& text, KDuzFieldInstance* instance, T* out, Parse parse)
{
    if (instance->valueCursor < 0 || instance->valueCursor >= instance->valueCount)
        return false;
    KDuzAsciiCursor& cursor = instance->cursor;
    // A number stops at its line's end, which the held text reaches; blanks
    // that run past the held text are left to the token path.
    const int64_t limit = text.Reach(cursor.position, cursor.end);
    const char* const origin = text.At(cursor.position);
    const char* p = origin;
    const char* const e = text.At(limit);
    bool lineStart = cursor.lineStart;
    bool lineEnd = false;
    while (p < e) {
        const char c = *p;
        if (c == ',' || c == ' ' || c == '\t') {
            lineStart = lineStart && c != ',';
        } else if (c == '\n' || c == '\r') {
            lineStart = true;
            lineEnd = true;
        } else {
            break;
        }
        ++p;
    }
    if (p >= e || (lineStart && *p == ';'))
        return false;
    const char* after = parse(p, e, out);
    if (after == nullptr || (after < e && *after != ',' && *after != '\n' && *after != '\r'))
        return false;
    if (after < e && *after == ',')
        ++after;
    cursor.position += after - origin;
    cursor.lineStart = false;
    if (lineEnd)
        cursor.quoteOpen = false;
    ++instance->valueCursor;
    return true;
}

const char* ParseDouble(const char* p, const char* e, double* out)
{
    const auto result = fast_float::from_chars(p, e, *out);
    return result.ec == std::errc() ? result.ptr : nullptr;
}

const char* ParseInt64(const char* p, const char* e, int64_t* out)
{
    long long value = 0;
    const auto result = std::from_chars(p, e, value);
    if (result.ec != std::errc())
        return nullptr;
    *out = value;
    return result.ptr;
}

}  // namespace

char KDuz::FieldReadChar()
{
    if (!binary_) {
        KDuzAsciiToken token;
        return NextAsciiToken(currentList_, CurrentInstance(), &token) && token.length > 0 ? token.text[0] : 0;
    }
    char type = 0;
    uint32_t available = 0;
    const unsigned char* payload = CurrentPayload(&type, &available);
    return payload != nullptr && type == 'C' ? static_cast<char>(payload[0]) : 0;
}

const char* KDuz::FieldReadString()
{
    KDuzFieldInstance* instance = CurrentInstance();
    if (instance == nullptr)
        return "";
    if (!binary_) {
        KDuzAsciiToken token;
        if (NextAsciiToken(currentList_, instance, &token)) {
            instance->lastText.assign(token.text, token.length);
            // A NUL byte of the file is a blank, in texts too.
            for (char& c : instance->lastText)
                if (c == '\0')
                    c = ' ';
        } else {
            instance->lastText.clear();
        }
        return instance->lastText.c_str();
    }
    char type = 0;
    uint32_t available = 0;
    const unsigned char* payload = CurrentPayload(&type, &available);
    instance->lastText.clear();
    if (payload == nullptr || type != 'S' || available < 4)
        return instance->lastText.c_str();
    const uint32_t length = KDuzLoad32(payload, bigEndian_);
    if (length == 0 || length > available - 4 || length > 0x7fffffffu)
        return instance->lastText.c_str();
    const char* bytes = reinterpret_cast<const char*>(payload + 4);
    // An object name is stored as name, 0x00, 0x01, kind.
    const void* mark = length >= 2 ? memmem(bytes, length, "\0\x01", 2) : nullptr;
    if (mark != nullptr) {
        const int first = static_cast<int>(static_cast<const char*>(mark) - bytes);
        const int secondStart = first + 2;
        instance->lastText.assign(bytes + secondStart, length - static_cast<uint32_t>(secondStart));
        instance->lastText += "::";
        instance->lastText.append(bytes, static_cast<size_t>(first));
    } else {
        instance->lastText.assign(bytes, length);
    }
    return instance->lastText.c_str();
}

int KDuz::FieldReadInt()
{
    // Arrays of ints are the bulk of many files: take the common case directly.
    KDuzFieldInstance* fast = binary_ ? CurrentInstance() : nullptr;
    if (fast != nullptr && fast->valueCursor >= 0 && fast->valueCursor < fast->valueCount &&
        fast->values[fast->valueOffset] == 'I') {
        const unsigned char* payload = fast->values + fast->valueOffset + 1;
        ++fast->valueCursor;
        fast->valueOffset += 5;
        return static_cast<int>(KDuzLoad32(payload, bigEndian_));
    }
    if (!binary_)
        return static_cast<int>(AsciiReadInt64());
    char type = 0;
    uint32_t available = 0;
    const unsigned char* payload = CurrentPayload(&type, &available);
    // Any type with at least four payload bytes reads as its first four.
    return payload != nullptr && available >= 4 ? static_cast<int>(KDuzLoad32(payload, bigEndian_)) : 0;
}

int64_t KDuz::FieldReadInt64()
{
    if (!binary_)
        return AsciiReadInt64();
    char type = 0;
    uint32_t available = 0;
    const unsigned char* payload = CurrentPayload(&type, &available);
    return payload != nullptr && available >= 8 ? static_cast<int64_t>(KDuzLoad64(payload, bigEndian_)) : 0;
}

float KDuz::FieldReadFloat()
{
    if (!binary_) {
        KDuzAsciiToken token;
        if (!NextAsciiToken(currentList_, CurrentInstance(), &token))
            return 0.0f;
        return FlushTiny(NarrowToFloat(KDuzAsciiToDouble(token.text, token.length)));
    }
    char type = 0;
    uint32_t available = 0;
    const unsigned char* payload = CurrentPayload(&type, &available);
    if (type == 'F' && payload != nullptr)
        return LoadFloat(payload, bigEndian_);  // exact: no round trip through double
    return NarrowToFloat(LoadReal(type, payload, bigEndian_));
}

double KDuz::FieldReadDouble()
{
    KDuzFieldInstance* fast = binary_ ? CurrentInstance() : nullptr;
    if (fast != nullptr && fast->valueCursor >= 0 && fast->valueCursor < fast->valueCount &&
        fast->values[fast->valueOffset] == 'D') {
        const uint64_t bits = KDuzLoad64(fast->values + fast->valueOffset + 1, bigEndian_);
        ++fast->valueCursor;
        fast->valueOffset += 9;
        double value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    if (!binary_)
        return AsciiReadDouble();
    char type = 0;
    uint32_t available = 0;
    const unsigned char* payload = CurrentPayload(&type, &available);
    return LoadReal(type, payload, bigEndian_);
}

const void* KDuz::FieldReadRaw(int* lengthOut)
{
    if (lengthOut != nullptr)
        *lengthOut = 0;
    if (!binary_) {
        KDuzAsciiToken token;
        NextAsciiToken(currentList_, CurrentInstance(), &token);
        return nullptr;
    }
    char type = 0;
    uint32_t available = 0;
    const unsigned char* payload = CurrentPayload(&type, &available);
    // Only values that carry a length do; the length must fit the value.
    if (payload == nullptr || (type != 'R' && type != 'S') || available < 4)
        return nullptr;
    const uint32_t length = KDuzLoad32(payload, bigEndian_);
    if (length == 0 || length > available - 4 || length > 0x7fffffffu)
        return nullptr;
    if (lengthOut != nullptr)
        *lengthOut = static_cast<int>(length);
    return payload + 4;
}

KTime KDuz::FieldReadTime()
{
    KTime time;
    if (binary_) {
        if (FieldReadGetNextValueType() == 'L')
            time.Set(FieldReadInt64());
        else
            time.SetSecondDouble(FieldReadDouble());
    } else if (CurrentSectionVersion() > 2000) {
        time.Set(FieldReadInt64());
    } else {
        time.SetSecondDouble(FieldReadDouble());
    }
    return time;
}

double KDuz::AsciiReadDouble()
{
    KDuzFieldInstance* instance = CurrentInstance();
    KDuzAsciiText* text = currentList_ != nullptr ? currentList_->GetAsciiText() : nullptr;
    double value = 0.0;
    if (instance != nullptr && text != nullptr && FastAsciiNumber(*text, instance, &value, ParseDouble))
        return FlushTiny(value);
    KDuzAsciiToken token;
    if (!NextAsciiToken(currentList_, instance, &token))
        return 0.0;
    return FlushTiny(KDuzAsciiToDouble(token.text, token.length));
}

int64_t KDuz::AsciiReadInt64()
{
    KDuzFieldInstance* instance = CurrentInstance();
    KDuzAsciiText* text = currentList_ != nullptr ? currentList_->GetAsciiText() : nullptr;
    int64_t value = 0;
    if (instance != nullptr && text != nullptr && FastAsciiNumber(*text, instance, &value, ParseInt64))
        return value;
    KDuzAsciiToken token;
    if (!NextAsciiToken(currentList_, instance, &token))
        return 0;
    return KDuzAsciiToInt64(token.text, token.length);
}

void KDuz::FieldReadDoubles(double* out, int count)
{
    if (out == nullptr)
        return;
    int i = 0;
    KDuzFieldInstance* fast = binary_ ? CurrentInstance() : nullptr;
    if (fast != nullptr && fast->valueCursor >= 0) {
        // A run of stored doubles is copied without a call per value; the
        // cursor lives in locals since `out` could alias the instance.
        const unsigned char* values = fast->values;
        int cursor = fast->valueCursor;
        uint32_t offset = fast->valueOffset;
        const int available = fast->valueCount;
        const bool bigEndian = bigEndian_;
        while (i < count && cursor < available && values[offset] == 'D') {
            const uint64_t bits = KDuzLoad64(values + offset + 1, bigEndian);
            std::memcpy(&out[i++], &bits, sizeof(double));
            ++cursor;
            offset += 9;
        }
        fast->valueCursor = cursor;
        fast->valueOffset = offset;
    }
    KDuzFieldInstance* instance = binary_ ? nullptr : CurrentInstance();
    if (instance != nullptr && currentList_->GetAsciiText() != nullptr) {
        KDuzAsciiText& text = *currentList_->GetAsciiText();
        double value = 0.0;
        for (; i < count && FastAsciiNumber(text, instance, &value, ParseDouble); ++i)
            out[i] = FlushTiny(value);
    }
    for (; i < count; ++i)
        out[i] = FieldReadDouble();
}

void KDuz::FieldReadInts(int* out, int count)
{
    if (out == nullptr)
        return;
    int i = 0;
    KDuzFieldInstance* fast = binary_ ? CurrentInstance() : nullptr;
    if (fast != nullptr && fast->valueCursor >= 0) {
        const unsigned char* values = fast->values;
        int cursor = fast->valueCursor;
        uint32_t offset = fast->valueOffset;
        const int available = fast->valueCount;
        const bool bigEndian = bigEndian_;
        while (i < count && cursor < available && values[offset] == 'I') {
            out[i++] = static_cast<int>(KDuzLoad32(values + offset + 1, bigEndian));
            ++cursor;
            offset += 5;
        }
        fast->valueCursor = cursor;
        fast->valueOffset = offset;
    }
    KDuzFieldInstance* instance = binary_ ? nullptr : CurrentInstance();
    if (instance != nullptr && currentList_->GetAsciiText() != nullptr) {
        KDuzAsciiText& text = *currentList_->GetAsciiText();
        int64_t value = 0;
        for (; i < count && FastAsciiNumber(text, instance, &value, ParseInt64); ++i)
            out[i] = static_cast<int>(value);
    }
    for (; i < count; ++i)
        out[i] = FieldReadInt();
}

// ---------------------------------------------------------------- shortcuts

char KDuz::FieldReadCharOrDefault(const char* name, char defaultValue)
{
    if (!FieldReadBegin(name))
        return defaultValue;
    const char value = FieldReadChar();
    FieldReadEnd();
    return value;
}

const char* KDuz::FieldReadStringOrDefault(const char* name, const char* defaultValue)
{
    if (!FieldReadBegin(name))
        return defaultValue;
    lastText_ = FieldReadString();
    FieldReadEnd();
    return lastText_.Buffer();
}

int KDuz::FieldReadIntOrDefault(const char* name, int defaultValue)
{
    return ReadNamedOr(*this, name, defaultValue, [this] { return FieldReadInt(); });
}

int64_t KDuz::FieldReadInt64OrDefault(const char* name, int64_t defaultValue)
{
    return ReadNamedOr(*this, name, defaultValue, [this] { return FieldReadInt64(); });
}

double KDuz::FieldReadDoubleOrDefault(const char* name, double defaultValue)
{
    return ReadNamedOr(*this, name, defaultValue, [this] { return FieldReadDouble(); });
}

KTime KDuz::FieldReadTimeByName(const char* name)
{
    if (!FieldReadBegin(name))
        return KTime();
    const KTime value = FieldReadTime();
    FieldReadEnd();
    return value;
}

void KDuz::FieldReadTimeSpanByName(const char* name, KTime* start, KTime* stop)
{
    KTime first, second;
    if (FieldReadBegin(name)) {
        first = FieldReadTime();
        second = FieldReadTime();
        FieldReadEnd();
    }
    if (start != nullptr)
        *start = first;
    if (stop != nullptr)
        *stop = second;
}

void KDuz::FieldReadDoublesOrDefault(const char* name, double* out, const double* defaults, int count)
{
    if (FieldReadBegin(name)) {
        FieldReadDoubles(out, count);
        FieldReadEnd();
    } else if (defaults != nullptr && out != nullptr) {
        for (int i = 0; i < count; ++i)
            out[i] = defaults[i];
    }
}

}  // namespace duzsdk
