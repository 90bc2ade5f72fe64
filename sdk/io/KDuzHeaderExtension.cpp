#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/PlatformFile.h"
#include "sdk/base/KChainedFile.h"
#include "sdk/base/KPath.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzFieldList.h"

namespace duzsdk {

namespace {

// Constants of the id scheme: the block every file id starts from and the
// block the footer id is mixed with in between.
constexpr unsigned char kIdStartBlock[16] = {0x28, 0xb3, 0x2a, 0xeb, 0xb6, 0x24, 0xcc, 0xc2,
                                             0xbf, 0xc8, 0xb0, 0x2a, 0xa9, 0x2b, 0xfc, 0xf1};
constexpr unsigned char kIdMixingBlock[16] = {0xe2, 0x4f, 0x7b, 0x5f, 0xcd, 0xe4, 0xc8, 0x6d,
                                              0xdb, 0xd8, 0xfb, 0xd7, 0x40, 0x58, 0xc6, 0x78};
constexpr size_t kEmbedChunk = 524288;

bool CompactKey(const KString& text, unsigned char key[16])
{
    if (text.Length() != 16)
        return false;
    std::memcpy(key, text.Buffer(), 16);
    return true;
}

// Swaps the current list for the duration of a look into another list.
class ScopedList {
public:
    ScopedList(KDuzFieldList** slot, KDuzFieldList* list) : slot_(slot), saved_(*slot) { *slot = list; }
    ~ScopedList() { *slot_ = saved_; }
    ScopedList(const ScopedList&) = delete;
    ScopedList& operator=(const ScopedList&) = delete;

private:
    KDuzFieldList** slot_;
    KDuzFieldList* saved_;
};

bool FileExists(const KString& path)
{
    std::error_code code;
    return !path.IsEmpty() && std::filesystem::is_regular_file(path.Buffer(), code);
}

}  // namespace

// ---------------------------------------------------------------- time stamp

KString KDuz::GetTimeStampText() const
{
    char text[128];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d:%03d", creationTime_.year, creationTime_.month,
                  creationTime_.day, creationTime_.hour, creationTime_.minute, creationTime_.second,
                  creationTime_.millisecond);
    return KString(text);
}

bool KDuz::SetTimeStampFromText(const char* text)
{
    if (text == nullptr)
        return false;
    KDuzDateTime t;
    const int items = std::sscanf(text, "%d-%d-%d %d:%d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                                  &t.second, &t.millisecond);
    creationTime_ = t;
    return items == 7;
}

KString KDuz::GetCompactTimeStampText() const
{
    const KDuzDateTime& t = creationTime_;
    // Hostile values must not make the text longer than the 16 bytes the
    // ids are mixed with.
    auto in = [](int value, int high) { return value >= 0 && value <= high; };
    if (!in(t.second, 99) || !in(t.month, 99) || !in(t.hour, 99) || !in(t.day, 99) || !in(t.millisecond, 999) ||
        !in(t.year, 9999) || !in(t.minute, 99))
        return KString();
    char text[64];
    std::snprintf(text, sizeof(text), "%02d%02d%02d%02d%02d%04d%02d", t.second, t.month, t.hour, t.day,
                  t.millisecond / 10, t.year, t.minute);
    return KString(text);
}

// ---------------------------------------------------------------- header extension

bool KDuz::WriteHeaderExtension(KDuzFileHeaderInfo* headerInfo)
{
    FieldWriteBegin("DUZHeaderExtension");
    FieldWriteBlockBegin();
    FieldWriteBegin("DUZHeaderVersion");
    FieldWriteInt(kHeaderExtensionVersion);
    FieldWriteEnd();
    FieldWriteBegin("DUZVersion");
    FieldWriteInt(fileVersion_);
    FieldWriteEnd();
    if (binary_) {
        FieldWriteBegin("EncryptionType");
        FieldWriteInt(encrypted_ ? 1 : 0);
        FieldWriteEnd();
    }
    if (headerInfo != nullptr && headerInfo->cameraResolutionFlag && !headerInfo->cameraResolutionMode.IsEmpty()) {
        FieldWriteBegin("CurrentCameraResolution");
        FieldWriteBlockBegin();
        FieldWriteNamedString("CameraName", headerInfo->cameraName.Buffer());
        FieldWriteNamedString("CameraResolutionMode", headerInfo->cameraResolutionMode.Buffer());
        FieldWriteBegin("CameraResolutionW");
        FieldWriteDouble(headerInfo->cameraResolutionW);
        FieldWriteEnd();
        FieldWriteBegin("CameraResolutionH");
        FieldWriteDouble(headerInfo->cameraResolutionH);
        FieldWriteEnd();
        FieldWriteBlockEnd();
        FieldWriteEnd();
    }
    FieldWriteBegin("CreationTimeStamp");
    FieldWriteBlockBegin();
    const struct {
        const char* name;
        int value;
    } stamp[] = {{"Version", 1000},
                 {"Year", creationTime_.year},
                 {"Month", creationTime_.month},
                 {"Day", creationTime_.day},
                 {"Hour", creationTime_.hour},
                 {"Minute", creationTime_.minute},
                 {"Second", creationTime_.second},
                 {"Millisecond", creationTime_.millisecond}};
    for (const auto& row : stamp) {
        FieldWriteBegin(row.name);
        FieldWriteInt(row.value);
        FieldWriteEnd();
    }
    FieldWriteBlockEnd();
    FieldWriteEnd();
    FieldWriteNamedString("Creator", kCreatorText);
    FieldWriteBegin("OtherFlags");
    FieldWriteBlockBegin();
    FieldWriteBegin("FlagPLE");
    FieldWriteInt(0);
    FieldWriteEnd();
    FieldWriteBlockEnd();
    FieldWriteEnd();
    FieldWriteBlockEnd();
    FieldWriteEnd();
    return !error_.HasError();
}

bool KDuz::ReadHeaderExtension(int64_t* position, KDuzFileHeaderInfo* headerInfo)
{
    KDuzFieldList list(stream_, *position, binary_, bigEndian_);
    int64_t end = *position;
    if (!list.FindFirstBlock("DUZHeaderExtension", &end)) {
        stream_->SeekFromStart(*position);
        return true;
    }
    if (!list.Parse()) {
        error_.SetLastError(kErrorCorrupted);
        return false;
    }
    bool result = true;
    {
        ScopedList scope(&currentList_, &list);
        const int headerVersion = FieldReadIntOrDefault("DUZHeaderVersion", 0);
        if (FieldGetInstanceCount("DUZVersion") > 0)
            fileVersion_ = FieldReadIntOrDefault("DUZVersion", 0);
        if (binary_) {
            const int type = FieldReadIntOrDefault("EncryptionType", 0);
            if (type == 0 || type == 1) {
                encrypted_ = type == 1;
            } else {
                error_.SetLastErrorWithText(kErrorVersionNotSupportedYet, "Encryption type is not supported");
                result = false;
            }
        }
        if (headerInfo != nullptr) {
            if (headerVersion > 1000 && FieldReadBegin("CurrentCameraResolution")) {
                if (FieldReadBlockBegin()) {
                    headerInfo->cameraName = FieldReadStringOrDefault("CameraName", "");
                    headerInfo->cameraResolutionMode = FieldReadStringOrDefault("CameraResolutionMode", "");
                    headerInfo->cameraResolutionW = FieldReadDoubleOrDefault("CameraResolutionW", 0.0);
                    headerInfo->cameraResolutionH = FieldReadDoubleOrDefault("CameraResolutionH", 0.0);
                    headerInfo->cameraResolutionFlag = true;
                    FieldReadBlockEnd();
                }
                FieldReadEnd();
            }
            if (headerVersion > 1001) {
                if (FieldReadBegin("CreationTimeStamp")) {
                    if (FieldReadBlockBegin()) {
                        if (FieldReadIntOrDefault("Version", 0) > 999) {
                            KDuzDateTime& t = headerInfo->creationTime;
                            t.year = FieldReadIntOrDefault("Year", 0);
                            t.month = FieldReadIntOrDefault("Month", 0);
                            t.day = FieldReadIntOrDefault("Day", 0);
                            t.hour = FieldReadIntOrDefault("Hour", 0);
                            t.minute = FieldReadIntOrDefault("Minute", 0);
                            t.second = FieldReadIntOrDefault("Second", 0);
                            t.millisecond = FieldReadIntOrDefault("Millisecond", 0);
                            headerInfo->timeStampFlag = true;
                        }
                        FieldReadBlockEnd();
                    }
                    FieldReadEnd();
                }
                headerInfo->creator = FieldReadStringOrDefault("Creator", "");
            }
            if (headerVersion > 1002 && FieldReadBegin("OtherFlags")) {
                if (FieldReadBlockBegin()) {
                    if (FieldReadIntOrDefault("FlagPLE", 0) == 1)
                        headerInfo->ple = true;
                    FieldReadBlockEnd();
                }
                FieldReadEnd();
            }
        }
    }
    if (binary_)
        *position = end;
    stream_->SeekFromStart(*position);
    return result;
}

// ---------------------------------------------------------------- ids

void KDuz::MixId(unsigned char block[16], const unsigned char key[16])
{
    unsigned char running = 0x40;
    for (int k = 0; k < 16; ++k) {
        running = static_cast<unsigned char>(running ^ block[k] ^ key[k]);
        block[k] = running;
    }
}

void KDuz::UnmixId(unsigned char block[16], const unsigned char key[16])
{
    unsigned char previous = 0x40;
    for (int k = 0; k < 16; ++k) {
        const unsigned char input = block[k];
        block[k] = static_cast<unsigned char>(input ^ key[k] ^ previous);
        previous = input;
    }
}

void KDuz::ComputeFooterId(unsigned char out[16])
{
    unsigned char key[16] = {};
    CompactKey(GetCompactTimeStampText(), key);
    std::memcpy(out, kIdStartBlock, 16);
    MixId(out, key);
    MixId(out, kIdMixingBlock);
    MixId(out, key);
}

bool KDuz::CheckFooterId(const unsigned char footerId[16], const unsigned char* fileId, size_t fileIdLength)
{
    unsigned char key[16];
    if (fileId == nullptr || fileIdLength != 16 || !CompactKey(GetCompactTimeStampText(), key))
        return false;
    unsigned char footer[16];
    unsigned char file[16];
    std::memcpy(footer, footerId, 16);
    std::memcpy(file, fileId, 16);
    UnmixId(footer, key);
    UnmixId(footer, kIdMixingBlock);
    UnmixId(footer, key);
    UnmixId(file, key);
    return std::memcmp(footer, file, 16) == 0;
}

int KDuz::PeekFooterId(unsigned char out[16])
{
    const int64_t saved = stream_->Tell();
    const size_t got = stream_->Read(out, 16);
    stream_->SeekFromStart(saved);
    return static_cast<int>(got);
}

bool KDuz::WriteFileIds()
{
    if (binary_) {
        unsigned char key[16] = {};
        CompactKey(GetCompactTimeStampText(), key);
        unsigned char id[16];
        std::memcpy(id, kIdStartBlock, 16);
        MixId(id, key);
        FieldWriteBegin("FileId");
        FieldWriteRaw(id, sizeof(id));
        FieldWriteEnd();
    }
    FieldWriteNamedString("CreationTime", GetTimeStampText().Buffer());
    FieldWriteNamedString("Creator", kCreatorText);
    return !error_.HasError();
}

bool KDuz::CheckFileIds()
{
    if (currentList_ == nullptr)
        return false;
    std::string id;
    bool haveId = false;
    if (FieldReadBeginInstance("FileId", 0)) {
        int length = 0;
        const void* raw = FieldReadRaw(&length);
        if (raw != nullptr)
            id.assign(static_cast<const char*>(raw), static_cast<size_t>(length));
        haveId = true;
    } else if (FieldReadBeginInstance("Source", 0)) {
        id = FieldReadString();
        haveId = true;
    }
    bool haveTime = false;
    if (FieldReadBeginInstance("CreationTime", 0)) {
        SetTimeStampFromText(FieldReadString());
        haveTime = true;
    }
    currentList_->Rewind();
    unsigned char footer[16] = {};
    const int got = PeekFooterId(footer);
    if (haveId && haveTime)
        return got == 16 && CheckFooterId(footer, reinterpret_cast<const unsigned char*>(id.data()), id.size());
    if (haveId || haveTime)
        return false;
    return !(currentSection_ == GetSectionCount() - 1 && got > 0);
}

bool KDuz::WriteSectionFooter()
{
    unsigned char id[16];
    ComputeFooterId(id);
    if (!WriteBytes(id, sizeof(id))) {
        error_.SetLastError(kErrorNoSpaceLeft);
        return false;
    }
    const int64_t start = currentSection_ >= 1 ? sectionOffsets_[static_cast<size_t>(currentSection_)] : 0;
    return WriteFooter(start, GetSectionVersion(currentSection_));
}

// ---------------------------------------------------------------- passwords

KString KDuz::MakeStoredPassword(const char* password)
{
    // A keyed hash, not the password itself. The file carries what is
    // needed to check it, so this keeps honest readers out, nothing more.
    uint64_t hash = 0xcbf29ce484222325ull;
    auto feed = [&hash](const char* text) {
        for (const char* p = text; *p != '\0'; ++p) {
            hash ^= static_cast<unsigned char>(*p);
            hash *= 0x100000001b3ull;
        }
    };
    feed("duz-password:");
    feed(password != nullptr ? password : "");
    char text[32];
    std::snprintf(text, sizeof(text), "P1%016llx", static_cast<unsigned long long>(hash));
    return KString(text);
}

bool KDuz::WritePasswordField(const char* password)
{
    if (!binary_ || password == nullptr || passwordWritten_ || level_ != 0 || currentSection_ < 0 ||
        sectionWriteState_ != 1 || valueCounter_ != 0 || error_.HasError())
        return false;
    FieldWriteNamedString("NodeId", MakeStoredPassword(password).Buffer());
    passwordWritten_ = true;
    return !error_.HasError();
}

void KDuz::ReadPasswordField()
{
    passwordPending_ = false;
    storedPassword_.Clear();
    if (currentList_ == nullptr)
        return;
    if (FieldReadBeginInstance("NodeId", 0) || FieldReadBeginInstance("Param2a", 0)) {
        storedPassword_ = FieldReadString();
        passwordPending_ = true;
    }
    currentList_->Rewind();
}

bool KDuz::CheckPassword(const char* password)
{
    if (!passwordPending_)
        return true;
    if (MakeStoredPassword(password) == storedPassword_) {
        passwordPending_ = false;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- folders and media

KString KDuz::GetMediaFolder(bool create, const char* extension)
{
    if (fullFileName_.IsEmpty())
        return KString();
    KString folder = KPathReplaceExtension(fullFileName_, extension != nullptr ? extension : "");
    const int length = folder.Length();
    if (length == 0 || (folder[length - 1] != '/' && folder[length - 1] != '\\'))
        folder += "/";
    std::error_code code;
    if (std::filesystem::is_directory(folder.Buffer(), code))
        return folder;
    if (!create)
        return KString();
    if (!KPathCreateDirectories(folder))
        SetErrorText(kErrorDirectoryNotCreated, "Unable to create directory %s", folder.Buffer());
    return folder;
}

const char* KDuz::ResolvePathFromFileFolder(const char* name)
{
    scratchPath_ = KPathGetRelativeFilePath(folder_ + "/", name != nullptr ? name : "");
    return scratchPath_.Buffer();
}

const char* KDuz::JoinFileFolderPath(const char* name)
{
    scratchPath_ = KPathJoin(folder_, name != nullptr ? name : "");
    return scratchPath_.Buffer();
}

bool KDuz::FieldWriteEmbeddedFile(const char* fileName, const char* relativeName)
{
    if (!binary_ || error_.HasError())
        return false;
    // Media names come from the scene, which may come from a file: read-only,
    // regular files only.
    FILE* file = fileName != nullptr ? duzplatform::OpenFile(fileName, "rb") : nullptr;
    if (file == nullptr && relativeName != nullptr)
        file = duzplatform::OpenFile(relativeName, "rb");
    if (file == nullptr)
        return false;
    const std::string key = fileName != nullptr ? fileName : relativeName;
    if (embeddedNames_.count(key) != 0) {
        std::fclose(file);
        return true;
    }
    embeddedNames_.insert(key);
    const bool sized = std::fseek(file, 0, SEEK_END) == 0;
    const long size = sized ? std::ftell(file) : -1;
    if (size < 0 || static_cast<unsigned long>(size) > 0x7fffffffu || std::fseek(file, 0, SEEK_SET) != 0 ||
        !FieldWriteRawHeader(static_cast<uint32_t>(size))) {
        std::fclose(file);
        return false;
    }
    std::vector<unsigned char> chunk(kEmbedChunk);
    long total = 0;
    while (total < size) {
        const size_t want = static_cast<size_t>(size - total) < kEmbedChunk ? static_cast<size_t>(size - total)
                                                                             : kEmbedChunk;
        const size_t got = std::fread(chunk.data(), 1, want, file);
        if (got == 0)
            break;
        if (!FieldWriteRawBytes(chunk.data(), static_cast<uint32_t>(got)))
            break;
        total += static_cast<long>(got);
    }
    std::fclose(file);
    if (total != size) {
        // The stored length promised more bytes than could be copied.
        if (!error_.HasError())
            error_.SetLastErrorWithText(kErrorInvalidData, "Embedded file changed while it was copied");
        return false;
    }
    return true;
}

bool KDuz::MakeUniqueMediaPath(const KString& folder, const KString& name, KString* pathOut, bool create)
{
    for (size_t count = 1; count <= extractedTargets_.size() + 1; ++count) {
        char sub[32];
        std::snprintf(sub, sizeof(sub), "%zu/", count);
        const KString path = folder + sub + name;
        if (extractedTargets_.count(path.Buffer()) == 0) {
            if (create)
                KPathCreateDirectories(path);
            if (pathOut != nullptr)
                *pathOut = path;
            return true;
        }
    }
    return false;
}

bool KDuz::FieldReadEmbeddedFile(KString& fileName, KString& relativeName, const char* folder, bool* extractedOut)
{
    if (extractedOut != nullptr)
        *extractedOut = false;
    extracted_ = true;
    int length = 0;
    const void* data = FieldReadRaw(&length);

    std::error_code code;
    KString directory;
    if (folder != nullptr && folder[0] != '\0') {
        directory = folder;
        const int n = directory.Length();
        if (directory[n - 1] != '/' && directory[n - 1] != '\\')
            directory += "/";
        KPathCreateDirectories(directory);
    } else if (fullFileName_.IsEmpty()) {
        directory = KString(std::filesystem::temp_directory_path(code).string().c_str()) + "/";
    } else {
        directory = GetFbmFolder(true);
    }
    const KString name = KPathGetFileName(fileName, true);
    KString target = directory + name;

    auto known = extractedNames_.find(fileName.Buffer());
    if (known != extractedNames_.end()) {
        fileName = known->second.c_str();
        relativeName = ResolvePathFromFileFolder(fileName.Buffer());
        return true;
    }
    if (extractedTargets_.count(target.Buffer()) != 0)
        MakeUniqueMediaPath(directory, name, &target, true);

    // The target's name comes from the file being read: never write into a
    // device or FIFO that happens to carry it.
    FILE* out = duzplatform::OpenFile(target.Buffer(), "wb");
    if (out == nullptr) {
        error_.ClearError();
        if (!FileExists(target)) {
            directory = KString(std::filesystem::temp_directory_path(code).string().c_str()) + "/";
            target = directory + name;
            if (extractedTargets_.count(target.Buffer()) != 0)
                MakeUniqueMediaPath(directory, name, &target, true);
            out = duzplatform::OpenFile(target.Buffer(), "wb");
        }
    }
    if (out != nullptr) {
        const bool written = data != nullptr && length > 0 &&
                             std::fwrite(data, 1, static_cast<size_t>(length), out) == static_cast<size_t>(length);
        const bool closed = std::fclose(out) == 0;
        if (!written || !closed) {
            std::remove(target.Buffer());  // made just now, by us
            return false;
        }
        extractedNames_[fileName.Buffer()] = target.Buffer();
        extractedTargets_.insert(target.Buffer());
        if (extractedOut != nullptr)
            *extractedOut = true;
        fileName = target;
        relativeName = ResolvePathFromFileFolder(target.Buffer());
        return true;
    }
    KString found;
    if (FileExists(target))
        found = target;
    else if (FileExists(fileName))
        found = fileName;
    else if (FileExists(KPathJoin(KPathGetCurrentDirectory(), relativeName)))
        found = KPathJoin(KPathGetCurrentDirectory(), relativeName);
    if (found.IsEmpty())
        return false;
    fileName = found;
    relativeName = ResolvePathFromFileFolder(found.Buffer());
    return true;
}

}  // namespace duzsdk
