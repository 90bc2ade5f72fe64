#include "sdk/io/KDuz.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Clock.h"
#include "sdk/base/KChainedFile.h"
#include "sdk/base/KCrcFile.h"
#include "sdk/base/KEncryptedFile.h"
#include "sdk/base/KFile.h"
#include "sdk/base/KMemory.h"
#include "sdk/base/KPath.h"
#include "sdk/io/KDuzBytes.h"
#include "sdk/io/KDuzFieldList.h"

namespace duzsdk {

namespace {

constexpr char kBinaryMagic[] = "Dizidir DUZ Binary  ";
constexpr unsigned char kFooterConstant[16] = {0xf8, 0x5a, 0x8c, 0x6a, 0xde, 0xf5, 0xd9, 0x7e,
                                               0xec, 0xe9, 0x0c, 0xe3, 0x75, 0x8f, 0x29, 0x0b};
constexpr int kFooterTail = KDuz::kFooterBlockSize + 16;

}  // namespace

const char* const KDuz::kErrorTexts[KDuz::kErrorTableSize] = {
    "File is corrupted",
    "File version is not supported yet",
    "File version is not supported anymore",
    "File not opened",
    "File not created",
    "Directory not created",
    "CRC check failed",
    "Section does not exist",
    "Operation canceled",
    "Count error",
    "Invalid data",
    "No space left on device",
    "Read error",
};

const char* const KDuz::kCreatorText = "DUZ SDK/DUZ Plugins build 20070228";

void KDuzDateTime::SetToLocalTime()
{
    const duzplatform::LocalDateTime now = duzplatform::GetLocalDateTime();
    year = now.year;
    month = now.month;
    day = now.day;
    hour = now.hour;
    minute = now.minute;
    second = now.second;
    millisecond = now.millisecond;
}

void KDuzSplitVersion(int version, int* major, int* minor, int* revision)
{
    if (major != nullptr)
        *major = version / 1000;
    if (minor != nullptr)
        *minor = (version % 1000) / 100;
    if (revision != nullptr)
        *revision = version % 100;
}

double KDuzSwapDouble(uint32_t word0, uint32_t word1)
{
    const uint64_t high = __builtin_bswap32(word0);
    const uint64_t low = __builtin_bswap32(word1);
    const uint64_t bits = (high << 32) | low;
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

KDuz::KDuz() : error_(kErrorTexts, kErrorTableSize)
{
    Reset();
}

KDuz::~KDuz()
{
    ProjectClose();
    delete section0Tree_;
}

void KDuz::SetErrorText(int index, const char* format, const char* argument)
{
    // The argument goes in whole, whatever characters it holds.
    KString text;
    const char* mark = std::strstr(format, "%s");
    if (mark == nullptr) {
        text = format;
    } else {
        text.AppendBuffer(format, static_cast<int>(mark - format));
        text += argument != nullptr ? argument : "";
        text += mark + 2;
    }
    error_.SetLastErrorWithText(index, text.Buffer());
}

bool KDuz::IsOpen() const
{
    return stream_ != nullptr && stream_->IsOpen();
}

void KDuz::Reset()
{
    writeBuffer_.clear();
    writeBufferStart_ = -1;
    streamTouched_ = true;
    for (auto it = layers_.rbegin(); it != layers_.rend(); ++it)
        delete *it;
    layers_.clear();
    delete baseStream_;
    baseStream_ = nullptr;
    stream_ = nullptr;
    fileVersion_ = 6100;
    openMode_ = kOpenReadOnly;
    versionAbove1999_ = false;
    binary_ = false;
    bigEndian_ = false;
    encrypted_ = false;
    folder_.Clear();
    fullFileName_.Clear();
    fileName_.Clear();
    openedPath_.Clear();
    scratchPath_.Clear();
    sectionOffsets_.clear();
    sectionVersions_.clear();
    embeddedNames_.clear();
    extractedTargets_.clear();
    extractedNames_.clear();
    passwordWritten_ = false;
    ResetSectionState();
    delete section0Tree_;
    section0Tree_ = nullptr;
    keepSection0_ = false;
    extracted_ = false;
}

void KDuz::ProjectReset()
{
    ProjectClose();
    baseStream_ = new KChainedFile();
    stream_ = baseStream_;
}

void KDuz::ResetSectionState()
{
    if (rootList_ != nullptr) {
        if (rootList_ == section0Tree_)
            rootList_->Rewind();
        else
            delete rootList_;
    }
    rootList_ = nullptr;
    currentList_ = nullptr;
    currentSection_ = -1;
    sectionWriteState_ = 0;
    passwordPending_ = false;
    storedPassword_.Clear();
    valueCounter_ = 0;
    level_ = 0;
    for (RecordSlot& slot : slots_)
        slot = RecordSlot();
    asciiDepth_ = 0;
    asciiIndent_ = 0;
    asciiColumn_ = 0;
    asciiRawPending_ = false;
}

bool KDuz::OpenStream(const KString& path, bool readOnly)
{
    if (!readOnly && stream_->Open(path.Buffer(), "r+b")) {
        openMode_ = kOpenReadWrite;
        return true;
    }
    if (stream_->Open(path.Buffer(), "rb")) {
        openMode_ = kOpenReadOnly;
        return true;
    }
    return false;
}

bool KDuz::ProjectOpen(const char* path, bool checkCrc, bool openMainSection, KDuzFileHeaderInfo* headerInfo)
{
    return OpenByName(path, true, checkCrc, openMainSection, headerInfo);
}

bool KDuz::ProjectOpenForUpdate(const char* path, bool checkCrc, bool openMainSection,
                                KDuzFileHeaderInfo* headerInfo)
{
    return OpenByName(path, false, checkCrc, openMainSection, headerInfo);
}

bool KDuz::OpenByName(const char* path, bool readOnly, bool checkCrc, bool openMainSection,
                      KDuzFileHeaderInfo* headerInfo)
{
    ProjectReset();
    error_.ClearError();
    fullFileName_ = path != nullptr ? path : "";
    folder_ = KPathGetDirectory(fullFileName_);
    fileName_ = KPathGetFileName(fullFileName_, true);
    openedPath_ = KPathJoin(folder_, fileName_);
    if (!OpenStream(openedPath_, readOnly)) {
        SetErrorText(kErrorFileNotOpened, "Unable to open file %s", openedPath_.Buffer());
        return false;
    }
    return ProjectReadHeader(false, checkCrc, openMainSection, headerInfo);
}

bool KDuz::ProjectOpenForReader(const char* path, bool checkCrc, bool openMainSection,
                                KDuzFileHeaderInfo* headerInfo)
{
    ProjectReset();
    error_.ClearError();
    // The readers' open: a file being imported is never written to, so it
    // is opened read-only (sections cannot be added through it).
    KString full = path != nullptr ? path : "";
    if (KPathGetExtension(full).CompareNoCase("duz") != 0)
        full += ".duz";
    fullFileName_ = full;
    const KString projectFolder = KPathReplaceExtension(fullFileName_, ".fbd");
    std::error_code code;
    const bool layout = !fullFileName_.IsEmpty() && std::filesystem::is_directory(projectFolder.Buffer(), code);
    if (!layout) {
        folder_ = KPathGetDirectory(fullFileName_);
        fileName_ = KPathGetFileName(fullFileName_, true);
        openedPath_ = fullFileName_;
        if (!OpenStream(openedPath_, true)) {
            SetErrorText(kErrorFileNotOpened, "Unable to open file %s", openedPath_.Buffer());
            return false;
        }
    } else {
        folder_ = projectFolder;
        fileName_ = "Project";
        openedPath_ = KPathJoin(folder_, "Project") + ".txt";
        if (!OpenStream(openedPath_, true)) {
            openedPath_ = KPathJoin(folder_, "Project") + ".bin";
            if (!OpenStream(openedPath_, true)) {
                SetErrorText(kErrorFileNotOpened, "Unable to open file %s", openedPath_.Buffer());
                return false;
            }
        }
    }
    return ProjectReadHeader(true, checkCrc, openMainSection, headerInfo);
}

bool KDuz::ProjectOpenMemory(const void* data, size_t size, bool checkCrc, bool openMainSection,
                             KDuzFileHeaderInfo* headerInfo)
{
    ProjectReset();
    error_.ClearError();
    // A fixed buffer opened read-only: nothing writes to it.
    if (data == nullptr || !stream_->OpenMemory(const_cast<void*>(data), size, false)) {
        SetErrorText(kErrorFileNotOpened, "Unable to open file %s", "");
        return false;
    }
    openMode_ = kOpenReadOnly;
    return ProjectReadHeader(true, checkCrc, openMainSection, headerInfo);
}

bool KDuz::ProjectReadHeader(bool strict, bool checkCrc, bool openMainSection, KDuzFileHeaderInfo* headerInfo)
{
    if (headerInfo != nullptr) {
        headerInfo->timeStampFlag = false;
        headerInfo->cameraResolutionFlag = false;
    }
    if (!IsOpen()) {
        SetErrorText(kErrorFileNotOpened, "Unable to open file %s", openedPath_.Buffer());
        return false;
    }
    if (ReadBinaryHeader()) {
        binary_ = true;
    } else {
        binary_ = false;
        if (!ReadAsciiHeader()) {
            if (strict) {
                SetErrorText(kErrorCorrupted, "File is corrupted %s", openedPath_.Buffer());
                return false;
            }
            fileVersion_ = 1000;
        }
    }
    versionAbove1999_ = fileVersion_ > 1999;

    int64_t position = stream_->Tell();
    if (!ReadHeaderExtension(&position, headerInfo))
        return false;
    stream_->SeekFromStart(position);

    int major = 0, minor = 0, revision = 0;
    KDuzSplitVersion(fileVersion_, &major, &minor, &revision);
    if (major >= 7) {
        KString text = "DUZ file version ";
        text = KStringConcatInt(text, major) + ".";
        text = KStringConcatInt(text, minor) + ".";
        text = KStringConcatInt(text, revision) + " is not supported in this product";
        error_.SetLastErrorWithText(kErrorVersionNotSupportedYet, text.Buffer());
        sectionOffsets_.assign(1, 0);
        sectionVersions_.assign(1, fileVersion_);
        return false;
    }

    if (encrypted_) {
        if (checkCrc && !CheckFileCrc())
            return false;
        unsigned char block[kEncipheringBlockSize];
        if (!baseStream_->SeekFromStart(position) || baseStream_->Read(block, sizeof(block)) != sizeof(block) ||
            !StartEnciphering(false, block)) {
            error_.SetLastError(kErrorCorrupted);
            return false;
        }
    }

    if (binary_) {
        if (!ReadSectionTable())
            return false;
    } else {
        SetSingleSectionTable();
    }
    return openMainSection ? ProjectOpenMainSection() : true;
}

bool KDuz::CheckFileCrc()
{
    if (openMode_ == kOpenCreated || baseStream_ == nullptr || !baseStream_->IsOpen() || !binary_ || !encrypted_)
        return true;
    KCrcFile check(0, baseStream_, KChainedFile::kOpenRead, false);
    const bool valid = check.IsCrcValid();
    if (!valid)
        error_.SetLastError(kErrorCrcCheckFailed);
    return valid;
}

bool KDuz::ReadBinaryHeader()
{
    if (!IsOpen())
        return false;
    const int64_t saved = stream_->Tell();
    unsigned char header[kHeaderSize];
    const size_t got = stream_->Read(header, sizeof(header));
    bool match = got == sizeof(header) && header[20] == 0 &&
                 KStringCompareNoCase(reinterpret_cast<const char*>(header), kBinaryMagic) == 0;
    if (!match) {
        stream_->SeekFromStart(saved);
        return false;
    }
    bigEndian_ = header[22] != 0;
    fileVersion_ = static_cast<int>(KDuzLoad32(header + 23, bigEndian_));
    return true;
}

bool KDuz::WriteBinaryHeader()
{
    unsigned char header[kHeaderSize] = {};
    std::memcpy(header, kBinaryMagic, 20);
    header[20] = 0x00;
    header[21] = 0x1A;
    header[22] = bigEndian_ ? 1 : 0;
    const uint32_t version = static_cast<uint32_t>(fileVersion_) > 5999u ? static_cast<uint32_t>(fileVersion_) : 3000u;
    KDuzStore32(header + 23, version, bigEndian_);
    return WriteBytes(header, sizeof(header));
}

bool KDuz::ReadFooter(int64_t endPosition, int64_t* sectionStartOut, int* versionOut)
{
    // Short or corrupt files must not lead to a seek before the file or to a
    // section start outside the file.
    const int64_t blockPosition = (endPosition & ~int64_t(15)) - kFooterTail;
    bool found = false;
    if (endPosition >= kFooterTail && blockPosition >= 0 && stream_->SeekFromStart(blockPosition)) {
        unsigned char block[kFooterBlockSize + 16];
        if (stream_->Read(block, sizeof(block)) == sizeof(block) &&
            std::memcmp(block + kFooterBlockSize, kFooterConstant, 16) == 0) {
            const uint32_t word0 = KDuzLoad32(block, bigEndian_);
            const uint32_t word1 = KDuzLoad32(block + 4, bigEndian_);
            const int64_t start = word0 == 0 ? 0 : blockPosition - static_cast<int64_t>(word0);
            if (start >= 0) {
                if (sectionStartOut != nullptr)
                    *sectionStartOut = start;
                if (versionOut != nullptr)
                    *versionOut = static_cast<int>(word1);
                found = true;
            }
        }
    }
    stream_->SeekFromStart(endPosition);
    return found;
}

bool KDuz::WriteFooter(int64_t sectionStart, int version)
{
    FlushWrites();
    const int64_t before = stream_->Tell();
    const int64_t padding = 16 - (before % 16);
    if (!BinaryEndFits(before + padding + kFooterBlockSize + 16))
        return false;
    unsigned char zeros[kFooterBlockSize] = {};
    if (stream_->Write(zeros, static_cast<size_t>(padding)) != static_cast<size_t>(padding))
        return false;
    const int64_t after = before + padding;
    unsigned char block[kFooterBlockSize + 16] = {};
    const uint32_t word0 = sectionStart > 0 && sectionStart < before ? static_cast<uint32_t>(after - sectionStart) : 0;
    KDuzStore32(block, word0, bigEndian_);
    KDuzStore32(block + 4, static_cast<uint32_t>(version), bigEndian_);
    std::memcpy(block + kFooterBlockSize, kFooterConstant, 16);
    stream_->Write(block, sizeof(block));
    if (stream_->GetError() != 0) {
        error_.SetLastError(kErrorNoSpaceLeft);
        return false;
    }
    return true;
}

bool KDuz::ReadSectionTable()
{
    sectionOffsets_.assign(1, stream_->Tell());
    sectionVersions_.assign(1, fileVersion_);
    if (!stream_->Seek(2, 0))
        return false;
    int64_t end = stream_->Tell();
    int64_t start = 0;
    int version = 0;
    // Walking backwards from the end, each footer names the start of its
    // section; inserting at index 1 leaves the table in file order.
    while (ReadFooter(end, &start, &version) && start < end) {
        if (start == 0) {
            if (version != 0)
                sectionVersions_[0] = version;
            break;
        }
        if (start <= sectionOffsets_[0])
            break;  // a start inside the main section cannot be right
        sectionOffsets_.insert(sectionOffsets_.begin() + 1, start);
        sectionVersions_.insert(sectionVersions_.begin() + 1, version != 0 ? version : 4000);
        end = start;
    }
    stream_->SeekFromStart(sectionOffsets_[0]);
    return true;
}

void KDuz::SetSingleSectionTable()
{
    sectionOffsets_.assign(1, stream_->Tell());
    sectionVersions_.assign(1, fileVersion_);
}

int KDuz::GetExtraSectionCount() const
{
    return sectionOffsets_.size() >= 2 ? static_cast<int>(sectionOffsets_.size()) - 1 : 0;
}

int KDuz::GetSectionVersion(int index) const
{
    return index >= 0 && index < GetSectionCount() ? sectionVersions_[static_cast<size_t>(index)] : 0;
}

int64_t KDuz::GetSectionOffset(int index) const
{
    return index >= 0 && index < GetSectionCount() ? sectionOffsets_[static_cast<size_t>(index)] : -1;
}

int KDuz::CurrentSectionVersion() const
{
    return currentSection_ >= 0 ? GetSectionVersion(currentSection_) : fileVersion_;
}

bool KDuz::ProjectOpenSection(int index)
{
    if (currentSection_ != -1)
        return false;
    if (index < 0 || index >= GetSectionCount()) {
        error_.SetLastError(kErrorSectionDoesNotExist);
        return false;
    }
    currentSection_ = index;
    if (index == 0 && keepSection0_ && section0Tree_ != nullptr) {
        rootList_ = section0Tree_;
        rootList_->Rewind();
        currentList_ = rootList_;
    } else {
        auto* list = new KDuzFieldList(stream_, sectionOffsets_[static_cast<size_t>(index)], binary_, bigEndian_);
        rootList_ = list;
        currentList_ = list;
        bool ok = list->Parse();
        if (ok && binary_) {
            stream_->SeekFromStart(list->GetEnd());
            ok = CheckFileIds();
        }
        if (!ok) {
            ResetSectionState();
            error_.SetLastError(kErrorCorrupted);
            return false;
        }
        if (index == 0) {
            delete section0Tree_;
            section0Tree_ = list;
            keepSection0_ = true;
        }
    }
    if (binary_)
        ReadPasswordField();
    sectionWriteState_ = 0;
    return true;
}

void KDuz::PopLastSection()
{
    sectionOffsets_.pop_back();
    sectionVersions_.pop_back();
    currentSection_ = -1;
    sectionWriteState_ = 0;
}

bool KDuz::ProjectCreateSection(bool rewriteLast)
{
    // Each refusal says why: a caller that only saw "false" would report
    // whatever error the file held before.
    if (!IsOpen()) {
        error_.SetLastError(kErrorFileNotOpened);
        return false;
    }
    // An enciphered file has one section: its cipher runs to the end.
    if (!binary_ || encrypted_) {
        error_.SetLastErrorWithText(kErrorInvalidData, "Only plain binary files take sections");
        return false;
    }
    if (currentSection_ != -1) {
        error_.SetLastErrorWithText(kErrorInvalidData, "A section is still open");
        return false;
    }
    if (openMode_ == kOpenReadOnly) {
        SetErrorText(kErrorFileNotOpened, "File %s is open for reading only", fullFileName_.Buffer());
        return false;
    }
    if (openMode_ == kOpenCreated) {
        FlushWrites();
        sectionOffsets_.push_back(stream_->Tell());
        sectionVersions_.push_back(fileVersion_);
    } else if (openMode_ == kOpenReadWrite && !encrypted_) {
        if (!stream_->Seek(2, 0))
            return false;
        const int64_t end = stream_->Tell();
        int64_t start = 0;
        int version = 0;
        if (ReadFooter(end, &start, &version)) {
            if (rewriteLast && start != 0 && GetSectionCount() >= 2) {
                stream_->SeekFromStart(start);
                if (stream_->Truncate(start) != 0)
                    return false;
                sectionVersions_.back() = fileVersion_;
                sectionOffsets_.back() = start;
            } else {
                stream_->Seek(2, 0);
                sectionOffsets_.push_back(end);
                sectionVersions_.push_back(fileVersion_);
            }
        } else {
            stream_->Seek(2, 0);
            if (!WriteFooter(0, fileVersion_))
                return false;
            sectionOffsets_.push_back(stream_->Tell());
            sectionVersions_.push_back(fileVersion_);
        }
        // The rest of the file was read through the stream; clear end-of-file.
        stream_->ClearError();
    } else {
        return false;
    }
    currentSection_ = GetSectionCount() - 1;
    sectionWriteState_ = 1;
    valueCounter_ = 0;
    level_ = 0;
    for (RecordSlot& slot : slots_)
        slot = RecordSlot();
    if (!WriteFileIds()) {
        PopLastSection();
        return false;
    }
    return true;
}

void KDuz::FinishBeforeClose()
{
    // A file opened for reading is never changed here: an id-less main
    // section stays as it is (the ids are only checked, never patched in).
    if (sectionWriteState_ == 1 && binary_ && currentSection_ >= 0 && IsOpen() && !error_.HasError()) {
        WriteNullRecord();
        WriteSectionFooter();
    }
    ResetSectionState();
}

bool KDuz::StartEnciphering(bool writing, const unsigned char* block)
{
    static constexpr unsigned char kMagic[16] = {'D', 'U', 'Z', ' ', 'E', 'n', 'c', 'i',
                                                 'p', 'h', 'e', 'r', 'e', 'd', 0x00, 0x01};
    if (std::memcmp(block, kMagic, 16) != 0 && !writing)
        return false;
    FlushWrites();
    KEncryptionKey key;
    for (int w = 0; w < 4; ++w)
        key.words[w] = KDuzLoad32(block + 16 + 4 * w, false);
    // The data starts on a block boundary so that cipher blocks and the
    // footer's 16-byte alignment agree, with the CRC trailer after both.
    const int64_t after = baseStream_->Tell();
    const int64_t dataStart = (after + 15) & ~int64_t(15);
    if (writing && dataStart > after) {
        const unsigned char zeros[16] = {};
        if (baseStream_->Write(zeros, static_cast<size_t>(dataStart - after)) != static_cast<size_t>(dataStart - after))
            return false;
    }
    if (!writing && !baseStream_->SeekFromStart(dataStart))
        return false;
    auto* layer = new KEncryptedFile(key, dataStart, baseStream_,
                                     writing ? KChainedFile::kOpenWrite : KChainedFile::kOpenRead, false);
    if (!layer->IsCipherReady()) {
        delete layer;
        return false;
    }
    layer->SeekFromStart(dataStart);
    layers_.push_back(layer);
    stream_ = layer;
    return true;
}

bool KDuz::ProjectCreateFile(const char* path, bool binary, bool encrypted, KDuzFileHeaderInfo* headerInfo)
{
    ProjectReset();
    error_.ClearError();
    creationTime_.SetToLocalTime();
    binary_ = binary;
    encrypted_ = binary && encrypted;
    if (headerInfo != nullptr) {
        headerInfo->fileVersion = KDuzFileHeaderInfo::ValidateVersion(headerInfo->fileVersion);
        fileVersion_ = headerInfo->fileVersion;
    }
    const KString given = path != nullptr ? path : "";
    KString full = given;
    const KString extension = KPathGetExtension(full);
    if (extension.CompareNoCase("duz") != 0 && extension.CompareNoCase("tmp") != 0)
        full += ".duz";
    fullFileName_ = full;
    openedPath_ = full;
    folder_ = KPathGetDirectory(full);
    fileName_ = KPathGetFileName(given, true);

    KFileRemove(full);
    // Only what a project layout of this name holds is removed: a folder the
    // user keeps beside the file with other content is left alone.
    const KString projectFolder = KPathReplaceExtension(full, ".fbd");
    std::error_code code;
    if (std::filesystem::is_directory(projectFolder.Buffer(), code)) {
        std::filesystem::remove(KPathJoin(projectFolder, "Project.txt").Buffer(), code);
        std::filesystem::remove(KPathJoin(projectFolder, "Project.bin").Buffer(), code);
        std::filesystem::remove(projectFolder.Buffer(), code);  // only when empty
    }
    // Text mode does nothing different here; lines end in LF.
    stream_->Open(full.Buffer(), binary ? "w+b" : "w+t");
    openMode_ = kOpenCreated;
    return ProjectWriteHeader(headerInfo);
}

bool KDuz::ProjectCreate(void* buffer, size_t size, bool binary, bool encrypted, KDuzFileHeaderInfo* headerInfo)
{
    ProjectReset();
    error_.ClearError();
    creationTime_.SetToLocalTime();
    binary_ = binary;
    encrypted_ = binary && encrypted;
    if (headerInfo != nullptr) {
        headerInfo->fileVersion = KDuzFileHeaderInfo::ValidateVersion(headerInfo->fileVersion);
        fileVersion_ = headerInfo->fileVersion;
    }
    if (buffer == nullptr || size == 0) {
        size = 1024;
        buffer = KMemAlloc(size);
        ownsMemoryBuffer_ = true;
    }
    if (buffer != nullptr)
        stream_->OpenMemory(buffer, size, true);
    openMode_ = kOpenCreated;
    return ProjectWriteHeader(headerInfo);
}

bool KDuz::ProjectWriteHeader(KDuzFileHeaderInfo* headerInfo)
{
    if (!IsOpen()) {
        SetErrorText(kErrorFileNotCreated, "Unable to create file %s", openedPath_.Buffer());
        return false;
    }
    if (binary_)
        WriteBinaryHeader();
    else
        WriteAsciiHeader();
    sectionWriteState_ = 1;
    WriteHeaderExtension(headerInfo);
    if (encrypted_) {
        WriteNullRecord();
        slots_[0] = RecordSlot();
        unsigned char block[kEncipheringBlockSize] = {};
        static constexpr unsigned char kMagic[16] = {'D', 'U', 'Z', ' ', 'E', 'n', 'c', 'i',
                                                     'p', 'h', 'e', 'r', 'e', 'd', 0x00, 0x01};
        std::memcpy(block, kMagic, 16);
        // The key comes from the creation time; the format offers obscurity,
        // not secrecy, since everything needed to decipher is in the file.
        unsigned char seed[16];
        ComputeFooterId(seed);
        std::memcpy(block + 16, seed, 16);
        if (!WriteBytes(block, sizeof(block)) || !StartEnciphering(true, block)) {
            error_.SetLastError(kErrorNoSpaceLeft);
            return false;
        }
    }
    FlushWrites();
    if (stream_->GetError() != 0) {
        error_.SetLastError(kErrorNoSpaceLeft);
        return false;
    }
    sectionOffsets_.push_back(stream_->Tell());
    sectionVersions_.push_back(fileVersion_);
    currentSection_ = GetSectionCount() - 1;
    WriteFileIds();
    return true;
}

bool KDuz::ProjectClose(void** bufferOut, size_t* sizeOut)
{
    if (IsOpen()) {
        FinishBeforeClose();
        FlushWrites();
        stream_->Flush();
        if (openMode_ == kOpenCreated && encrypted_ && baseStream_->IsOpen()) {
            // The CRC trailer that the reader's CRC test checks; it follows
            // the last whole cipher block, so the footer search still finds
            // the footer on its 16-byte boundary.
            uint32_t value = 0;
            bool computed = false;
            if (baseStream_->GetMemoryFile() != nullptr) {
                // A memory stream's end is its used size, not its capacity.
                size_t capacity = 0;
                const size_t used = baseStream_->GetUsedSize();
                const auto* bytes = static_cast<const unsigned char*>(baseStream_->GetBuffer(&capacity));
                value = KCrcFile::Update(0xFFFFFFFFu, bytes, used);
                computed = bytes != nullptr && baseStream_->SeekFromStart(static_cast<int64_t>(used));
            } else {
                KCrcFile crc(0, baseStream_, KChainedFile::kOpenWrite, false);
                computed = crc.ComputeCrc(&value) && baseStream_->Seek(2, 0);
            }
            if (computed) {
                unsigned char trailer[4];
                KDuzStore32(trailer, ~value, true);
                baseStream_->Write(trailer, sizeof(trailer));
            }
            baseStream_->Flush();
        }
        if (bufferOut != nullptr && sizeOut != nullptr) {
            size_t capacity = 0;
            *bufferOut = baseStream_->GetBuffer(&capacity);
            *sizeOut = baseStream_->GetUsedSize();
            ownsMemoryBuffer_ = false;
        }
        void* leftBuffer = nullptr;
        if (ownsMemoryBuffer_) {
            size_t capacity = 0;
            leftBuffer = baseStream_->GetBuffer(&capacity);
        }
        for (auto it = layers_.rbegin(); it != layers_.rend(); ++it)
            delete *it;  // written out above; the base closes below
        layers_.clear();
        stream_ = baseStream_;
        baseStream_->Close();
        KMemFree(leftBuffer);
    }
    ownsMemoryBuffer_ = false;
    Reset();
    return true;
}

}  // namespace duzsdk
