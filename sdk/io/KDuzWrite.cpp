#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "sdk/base/KChainedFile.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzBytes.h"

namespace duzsdk {

namespace {

// A value's text after a comma unless it is the field's first: what
// printf gives for the same format, without printf's cost (std::to_chars
// with a precision or integer formats as printf does in the "C" locale).
template <typename... Format>
size_t ValueText(char* text, size_t size, bool first, Format... format)
{
    char* start = text;
    if (!first)
        *start++ = ',';
    const auto result = std::to_chars(start, text + size, format...);
    return result.ec == std::errc() ? static_cast<size_t>(result.ptr - text) : 0;
}

}  // namespace

namespace {

constexpr int kWrapColumn = 120;
constexpr char kNotOpened[] = "Write field error : Field not opened";
constexpr char kNullValue[] = "Write field error : NULL value";

}  // namespace

namespace {
constexpr size_t kWriteBufferSize = 256 * 1024;
}

const char* const KDuz::kBinaryLimitText =
    "Write field error : a binary DUZ file cannot pass 4 GiB (4294967295 bytes; its offsets are 32-bit); "
    "write this scene as ASCII";

bool KDuz::BinaryEndFits(int64_t end)
{
    if (!binary_ || end <= kBinaryFileLimit)
        return true;
    if (!error_.HasError())
        error_.SetLastErrorWithText(kErrorNoSpaceLeft, kBinaryLimitText);
    return false;
}

bool KDuz::WriteBytes(const void* data, size_t count)
{
    if (count == 0)
        return true;
    if (stream_ == nullptr)
        return false;
    // Every offset the file stores is a position that was written: with no
    // byte past the limit, none of them can wrap.
    if (binary_ && !BinaryEndFits(WritePosition() + static_cast<int64_t>(count)))
        return false;
    if (writeBufferStart_ < 0) {
        writeBufferStart_ = stream_->Tell();
        if (writeBufferStart_ < 0)
            return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    writeBuffer_.insert(writeBuffer_.end(), bytes, bytes + count);
    return writeBuffer_.size() < kWriteBufferSize || FlushWrites();
}

// Hands the buffered bytes to the stream, which stands where they start:
// nothing else moves it while bytes are buffered.
bool KDuz::FlushWrites()
{
    if (writeBufferStart_ < 0)
        return true;
    const size_t count = writeBuffer_.size();
    streamTouched_ = true;
    const bool written = stream_ != nullptr && stream_->Write(writeBuffer_.data(), count) == count;
    writeBuffer_.clear();
    writeBufferStart_ = -1;
    if (!written && !error_.HasError())
        error_.SetLastError(kErrorNoSpaceLeft);
    return written;
}

int64_t KDuz::WritePosition()
{
    if (writeBufferStart_ >= 0)
        return writeBufferStart_ + static_cast<int64_t>(writeBuffer_.size());
    return stream_ != nullptr ? stream_->Tell() : -1;
}

bool KDuz::CheckStreamError()
{
    // Buffered bytes cannot fail yet: only a flush can change the stream's state.
    if (!streamTouched_)
        return true;
    streamTouched_ = false;
    if (stream_->GetError() != 0) {
        error_.SetLastError(kErrorNoSpaceLeft);
        return false;
    }
    return true;
}

// False when the call must not write: an error is already set (its index in
// `result`) or nothing is open (0 in `result`).
bool KDuz::WriteGuard(int* result)
{
    if (error_.HasError()) {
        *result = error_.GetLastErrorIndex();
        return false;
    }
    *result = 0;
    return IsOpen();
}

int KDuz::CountValue(uint32_t bytes)
{
    if (valueCounter_ == 0)
        error_.SetLastErrorWithText(kErrorInvalidData, kNotOpened);
    ++valueCounter_;
    RecordSlot& slot = slots_[level_];
    ++slot.valueCount;
    slot.byteLength += bytes;
    return valueCounter_;
}

// ---------------------------------------------------------------- ASCII text

bool KDuz::WriteAsciiHeader()
{
    int major = 0, minor = 0, revision = 0;
    KDuzSplitVersion(fileVersion_, &major, &minor, &revision);
    char first[96];
    std::snprintf(first, sizeof(first), "; DUZ %d.%d.%d project file\n", major, minor, revision);
    KString text = first;
    text += "; Written by the DUZ scene SDK. Fields are read by name; keep the\n";
    text += "; indentation and braces intact when editing this file by hand.\n";
    text += "; ----------------------------------------------------\n\n";
    return WriteBytes(text.Buffer(), static_cast<size_t>(text.Length()));
}

void KDuz::WriteIndentation()
{
    static const char kBlanks[] = "                                                                ";
    int count = asciiDepth_ * 4;
    while (count > 0) {
        const int n = count < 64 ? count : 64;
        WriteBytes(kBlanks, static_cast<size_t>(n));
        count -= n;
    }
}

KString KDuz::QuoteFieldName(const char* name)
{
    KString text = name != nullptr ? name : "";
    const int length = text.Length();
    const bool opens = length > 0 && text[0] == '"';
    const bool closes = length > 0 && text[length - 1] == '"';
    if (opens && (!closes || length == 1))
        return text + "\"";
    if (closes && !opens)
        return KString("\"") + text;
    if (opens && closes)
        return text;
    // Braces too: unquoted, they would open or close a block when read.
    if (text.FindOneOf("@:;, \t\n\r{}") >= 0)
        return KString("\"") + text + "\"";
    return text;
}

int KDuz::WriteComment(const char* text)
{
    if (!IsOpen()) {
        error_.SetLastErrorWithText(kErrorFileNotOpened, kErrorTexts[kErrorFileNotOpened]);
        return kErrorFileNotOpened;
    }
    if (binary_)
        return 0;
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    WriteIndentation();
    if (text != nullptr && text[0] != '\0') {
        // A line end inside the comment would start a line that is not one.
        KString line = ";";
        line += text;
        for (int i = 0; i < line.Length(); ++i) {
            if (line[i] == '\n' || line[i] == '\r')
                *line.CharPtrAt(i) = ' ';
        }
        WriteBytes(line.Buffer(), static_cast<size_t>(line.Length()));
    }
    WriteBytes("\n", 1);
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

// A value's formatted text, with its separator, and the line wrap.
void KDuz::AsciiWriteValueText(const char* text, size_t length)
{
    WriteBytes(text, length);
    asciiColumn_ += static_cast<int>(length);
    if (asciiColumn_ > kWrapColumn) {
        WriteBytes("\n", 1);
        static constexpr char kSpaces[] = "                                                                ";
        const int indent = asciiDepth_ * asciiDepth_ + 4;
        for (int left = indent; left > 0; left -= static_cast<int>(sizeof(kSpaces) - 1))
            WriteBytes(kSpaces, static_cast<size_t>(std::min(left, static_cast<int>(sizeof(kSpaces) - 1))));
        asciiColumn_ = indent;
    }
}

// ---------------------------------------------------------------- fields

int KDuz::FieldWriteBegin(const char* name)
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (name == nullptr) {
        error_.SetLastErrorWithText(kErrorInvalidData, kNullValue);
        return kErrorInvalidData;
    }
    if (valueCounter_ != 0)
        error_.SetLastErrorWithText(kErrorInvalidData, "Begin Field error last field not closed");
    if (binary_) {
        const char* bytes = name;
        size_t length = std::strlen(name);
        if (length > 0 && name[0] == '"') {
            // A quoted name is stored without its quotes.
            bytes = name + 1;
            length = length >= 2 ? length - 2 : 0;
        }
        if (length > 255) {
            error_.SetLastErrorWithText(kErrorInvalidData, "Write field error : field name longer than 255 bytes");
            return kErrorInvalidData;
        }
        const int64_t position = WritePosition();
        // Refused before the previous record is closed on it: the file
        // keeps no record whose end lies past the limit.
        if (position < 0 || !BinaryEndFits(position + kNullRecordSize + static_cast<int64_t>(length)))
            return error_.GetLastErrorIndex();
        PatchOpenRecord(position);
        slots_[level_] = RecordSlot{position, 0, 0, 0};
        unsigned char header[kNullRecordSize + 255] = {};
        header[12] = static_cast<unsigned char>(length);
        std::memcpy(header + kNullRecordSize, bytes, length);
        WriteBytes(header, kNullRecordSize + length);
    } else {
        // A line end would split the field's line; an inner quote would end
        // the quoted name early. Neither can be read back.
        const size_t length = std::strlen(name);
        const bool innerQuote = length > 2 && std::memchr(name + 1, '"', length - 2) != nullptr;
        if (innerQuote || std::strpbrk(name, "\n\r") != nullptr) {
            error_.SetLastErrorWithText(kErrorInvalidData, "Write field error : field name cannot be stored");
            return kErrorInvalidData;
        }
        WriteIndentation();
        const KString quoted = QuoteFieldName(name);
        WriteBytes(quoted.Buffer(), static_cast<size_t>(quoted.Length()));
        WriteBytes(": ", 2);
    }
    asciiIndent_ = asciiDepth_ * asciiDepth_ + 4;
    asciiColumn_ = asciiIndent_;
    valueCounter_ = 1;
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteEnd()
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (!binary_)
        WriteBytes("\n", 1);
    valueCounter_ = 0;
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteBlockBegin()
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (valueCounter_ == 0) {
        error_.SetLastErrorWithText(kErrorInvalidData, kNotOpened);
        return kErrorInvalidData;
    }
    // The same limit in both encodings: in ASCII a continuation line is
    // indented by the square of the depth, so deep blocks grow without bound.
    if (level_ + 1 >= kMaxWriteLevels || asciiDepth_ + 1 >= kMaxWriteLevels) {
        error_.SetLastErrorWithText(kErrorInvalidData, "Write field error : blocks nested too deeply");
        return kErrorInvalidData;
    }
    valueCounter_ = 0;
    if (binary_) {
        ++level_;
        slots_[level_] = RecordSlot();
    } else {
        WriteBytes(" {\n", 3);
    }
    ++asciiDepth_;
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteBlockEnd()
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (asciiDepth_ <= 0 || (binary_ && level_ <= 0)) {
        error_.SetLastErrorWithText(kErrorInvalidData, "Write field error : no block open");
        return kErrorInvalidData;
    }
    --asciiDepth_;
    if (binary_) {
        WriteNullRecord();
        --level_;
    } else {
        WriteIndentation();
        WriteBytes("}", 1);
    }
    valueCounter_ = 0;
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

// ---------------------------------------------------------------- values

int KDuz::FieldWriteChar(char value)
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (binary_) {
        const unsigned char bytes[2] = {'C', static_cast<unsigned char>(value)};
        CountValue(2);
        WriteBytes(bytes, 2);
    } else {
        // Outside quotes these would split or open something when read back.
        if (value == '\0' || std::strchr(",:@\"{} \t\r\n", value) != nullptr) {
            error_.SetLastErrorWithText(kErrorInvalidData, "Write field error : character cannot be stored");
            return kErrorInvalidData;
        }
        char text[3] = {',', value, 0};
        const bool first = valueCounter_ <= 1;
        CountValue(2);
        AsciiWriteValueText(first ? text + 1 : text, first ? 1 : 2);
    }
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteInt(int value)
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (binary_) {
        unsigned char bytes[5] = {'I'};
        KDuzStore32(bytes + 1, static_cast<uint32_t>(value), bigEndian_);
        CountValue(5);
        WriteBytes(bytes, 5);
    } else {
        char text[24];
        const size_t n = ValueText(text, sizeof(text), valueCounter_ <= 1, value);
        CountValue(5);
        AsciiWriteValueText(text, n);
    }
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteInt64(int64_t value)
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (binary_) {
        unsigned char bytes[9] = {'L'};
        KDuzStore64(bytes + 1, static_cast<uint64_t>(value), bigEndian_);
        CountValue(9);
        WriteBytes(bytes, 9);
    } else {
        char text[32];
        const size_t n = ValueText(text, sizeof(text), valueCounter_ <= 1, value);
        CountValue(9);
        AsciiWriteValueText(text, n);
    }
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteFloat(float value)
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (binary_) {
        unsigned char bytes[5] = {'F'};
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        KDuzStore32(bytes + 1, bits, bigEndian_);
        CountValue(5);
        WriteBytes(bytes, 5);
    } else {
        // "%f" keeps six decimals: smaller magnitudes are lost, as the
        // format has always stored them.
        char text[64];
        int n = static_cast<int>(
            ValueText(text, sizeof(text), valueCounter_ <= 1, static_cast<double>(value), std::chars_format::fixed, 6));
        if (std::memchr(text, '.', static_cast<size_t>(n)) != nullptr) {
            while (n > 0 && text[n - 1] == '0')
                --n;
            if (n > 0 && text[n - 1] == '.')
                --n;
        }
        CountValue(5);
        AsciiWriteValueText(text, static_cast<size_t>(n));
    }
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteDouble(double value)
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (binary_) {
        unsigned char bytes[9] = {'D'};
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        KDuzStore64(bytes + 1, bits, bigEndian_);
        CountValue(9);
        WriteBytes(bytes, 9);
    } else {
        char text[40];
        const size_t n = ValueText(text, sizeof(text), valueCounter_ <= 1, value, std::chars_format::general, 15);
        CountValue(9);
        AsciiWriteValueText(text, n);
    }
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteString(const char* text)
{
    int result = 0;
    if (!WriteGuard(&result))
        return result;
    if (text == nullptr) {
        error_.SetLastErrorWithText(kErrorInvalidData, kNullValue);
        return kErrorInvalidData;
    }
    const size_t length = std::strlen(text);
    if (length > 0x7ffffff0u) {
        error_.SetLastErrorWithText(kErrorInvalidData, "Write field error : text too long");
        return kErrorInvalidData;
    }
    if (binary_) {
        // kind::name is stored as name, 0x00, 0x01, kind.
        const char* mark = std::strstr(text, "::");
        std::string stored;
        if (mark != nullptr) {
            stored.assign(mark + 2);
            stored.push_back('\0');
            stored.push_back('\x01');
            stored.append(text, static_cast<size_t>(mark - text));
        } else {
            stored.assign(text, length);
        }
        unsigned char header[5] = {'S'};
        KDuzStore32(header + 1, static_cast<uint32_t>(stored.size()), bigEndian_);
        CountValue(5 + static_cast<uint32_t>(stored.size()));
        WriteBytes(header, 5);
        WriteBytes(stored.data(), stored.size());
    } else {
        // The format has no escapes: a quote or line end could not be read back.
        if (std::strpbrk(text, "\"\n\r") != nullptr) {
            error_.SetLastErrorWithText(kErrorInvalidData, "Write field error : text holds a quote or line end");
            return kErrorInvalidData;
        }
        const bool first = valueCounter_ <= 1;
        CountValue(5 + static_cast<uint32_t>(length));
        const char* opening = first ? "\"" : ", \"";
        const size_t openingLength = first ? 1 : 3;
        WriteBytes(opening, openingLength);
        WriteBytes(text, length);
        asciiColumn_ += static_cast<int>(openingLength + length);
        AsciiWriteValueText("\"", 1);
    }
    CheckStreamError();
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

bool KDuz::FieldWriteRawHeader(uint32_t length)
{
    int result = 0;
    if (!WriteGuard(&result) || valueCounter_ == 0)
        return false;
    if (binary_) {
        unsigned char header[5] = {'R'};
        KDuzStore32(header + 1, length, bigEndian_);
        CountValue(5 + length);
        WriteBytes(header, 5);
    }
    // In ASCII raw data is not written and does not shift the separators.
    return CheckStreamError() && !error_.HasError();
}

bool KDuz::FieldWriteRawBytes(const void* data, uint32_t length)
{
    int result = 0;
    if (!WriteGuard(&result))
        return false;
    if (data == nullptr) {
        error_.SetLastErrorWithText(kErrorInvalidData, kNullValue);
        return false;
    }
    if (binary_)
        WriteBytes(data, length);
    return CheckStreamError() && !error_.HasError();
}

bool KDuz::FieldWriteRaw(const void* data, uint32_t length)
{
    if (!binary_)
        return IsOpen() && !error_.HasError();
    if (data == nullptr) {
        int result = 0;
        if (WriteGuard(&result))
            error_.SetLastErrorWithText(kErrorInvalidData, kNullValue);
        return false;
    }
    return FieldWriteRawHeader(length) && FieldWriteRawBytes(data, length);
}

int KDuz::FieldWriteVector3(const double* v)
{
    for (int i = 0; i < 3; ++i)
        FieldWriteDouble(v != nullptr ? v[i] : 0.0);
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteVector4(const double* v)
{
    for (int i = 0; i < 4; ++i)
        FieldWriteDouble(v != nullptr ? v[i] : 0.0);
    return error_.HasError() ? error_.GetLastErrorIndex() : 0;
}

int KDuz::FieldWriteTime(KTime time)
{
    if (CurrentSectionVersion() > 2000)
        return FieldWriteInt64(time.Get());
    return FieldWriteDouble(time.GetSecondDouble());
}

int KDuz::FieldWriteTimeSpan(KTime start, KTime stop)
{
    FieldWriteTime(start);
    return FieldWriteTime(stop);
}

int KDuz::FieldWriteNamedString(const char* name, const char* text)
{
    FieldWriteBegin(name);
    FieldWriteString(text);
    return FieldWriteEnd();
}

void KDuz::PatchOpenRecord(int64_t endOffset)
{
    if (!binary_ || !IsOpen())
        return;
    RecordSlot& slot = slots_[level_];
    if (slot.start == 0)
        return;
    slot.endOffset = endOffset;
    unsigned char words[12];
    KDuzStore32(words, static_cast<uint32_t>(endOffset), bigEndian_);
    KDuzStore32(words + 4, slot.valueCount, bigEndian_);
    KDuzStore32(words + 8, slot.byteLength, bigEndian_);
    if (writeBufferStart_ >= 0 && slot.start >= writeBufferStart_ &&
        slot.start + 12 <= writeBufferStart_ + static_cast<int64_t>(writeBuffer_.size())) {
        std::memcpy(writeBuffer_.data() + (slot.start - writeBufferStart_), words, sizeof(words));
        return;
    }
    FlushWrites();
    streamTouched_ = true;
    const int64_t saved = stream_->Tell();
    stream_->SeekFromStart(slot.start);
    stream_->Write(words, sizeof(words));
    stream_->SeekFromStart(saved);
}

void KDuz::WriteNullRecord()
{
    if (!binary_ || !IsOpen())
        return;
    const int64_t position = WritePosition();
    PatchOpenRecord(position);
    slots_[level_] = RecordSlot{position, 0, 0, 0};
    const unsigned char zeros[kNullRecordSize] = {};
    WriteBytes(zeros, sizeof(zeros));
}

}  // namespace duzsdk
