#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/base/KTime.h"

namespace duzsdk {

class KChainedFile;
class KDuzFieldList;
class KDuzFieldInstance;

// The creation time stamp of a field file.
struct KDuzDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    void Clear() { *this = KDuzDateTime(); }
    // From the SDK's local-time function, which tests may fix.
    void SetToLocalTime();
    bool operator==(const KDuzDateTime&) const = default;
};

// What the readers and writers tell the field file about a file's header.
struct KDuzFileHeaderInfo {
    bool cameraResolutionFlag = false;
    KString cameraName;
    KString cameraResolutionMode;
    double cameraResolutionW = 0.0;
    double cameraResolutionH = 0.0;
    bool timeStampFlag = false;
    KDuzDateTime creationTime;
    KString creator;
    bool ple = false;
    int fileVersion = 6100;

    // Any version other than 6100 or 5800 becomes 6100.
    static int ValidateVersion(int version) { return version == 6100 || version == 5800 ? version : 6100; }
};

// major = v / 1000, minor = (v mod 1000) / 100, revision = v mod 100.
void KDuzSplitVersion(int version, int* major, int* minor, int* revision);
// A double from two 32-bit words, each byte-reversed, the first the high half.
double KDuzSwapDouble(uint32_t word0, uint32_t word1);

// The DUZ field file: a header followed by sections, each a tree of named
// fields with typed values, stored in a binary or an ASCII encoding. Every DUZ
// reader and writer goes through it. Operations report failure through their
// result and the error object; nothing is thrown.
class KDuz {
public:
    enum ErrorIndex {
        kErrorCorrupted = 0,
        kErrorVersionNotSupportedYet = 1,
        kErrorVersionNotSupportedAnymore = 2,
        kErrorFileNotOpened = 3,
        kErrorFileNotCreated = 4,
        kErrorDirectoryNotCreated = 5,
        kErrorCrcCheckFailed = 6,
        kErrorSectionDoesNotExist = 7,
        kErrorOperationCanceled = 8,
        kErrorCount = 9,
        kErrorInvalidData = 10,
        kErrorNoSpaceLeft = 11,
        kErrorRead = 12,
        kErrorTableSize = 13
    };
    static const char* const kErrorTexts[kErrorTableSize];

    enum OpenModeValue { kOpenReadOnly = 0, kOpenCreated = 1, kOpenReadWrite = 2 };

    // Levels of nested blocks a writer may open.
    static constexpr int kMaxWriteLevels = 200;
    static constexpr int kHeaderSize = 27;
    static constexpr int kNullRecordSize = 13;
    // Offsets and lengths of the binary encoding are 32-bit: no byte of a
    // binary file may lie at or beyond this position.
    static constexpr int64_t kBinaryFileLimit = int64_t(0xffffffff);
    static const char* const kBinaryLimitText;
    static constexpr int kFooterBlockSize = 128;
    static constexpr int kEncipheringBlockSize = 160;
    static constexpr int kHeaderExtensionVersion = 1003;
    static const char* const kCreatorText;

    KDuz();
    virtual ~KDuz();
    KDuz(const KDuz&) = delete;
    KDuz& operator=(const KDuz&) = delete;

    void Reset();
    void ProjectReset();

    KErrorState& GetError() { return error_; }
    int GetLastErrorID() const { return error_.GetLastErrorIndex(); }
    const char* GetLastErrorString() const { return error_.GetLastErrorString(); }

    // ---- opening, creating, sections (binary encoding)
    // Opens an existing file read-only, the path taken as given. Files name
    // other files (takes, media), so an open never holds write access to its
    // target; only regular files open.
    bool ProjectOpen(const char* path, bool checkCrc = true, bool openMainSection = true,
                     KDuzFileHeaderInfo* headerInfo = nullptr);
    // As ProjectOpen, but read/write when the file allows it, so sections can
    // be added (ProjectCreateSection) and an id-less file gets its ids. For
    // tools that update their own files; never for a path a file names.
    bool ProjectOpenForUpdate(const char* path, bool checkCrc = true, bool openMainSection = true,
                              KDuzFileHeaderInfo* headerInfo = nullptr);
    // Opens read-only; the ".fbd" project layout is looked for first.
    bool ProjectOpenForReader(const char* path, bool checkCrc = true, bool openMainSection = false,
                              KDuzFileHeaderInfo* headerInfo = nullptr);
    // Reads a field file held in memory (the caller keeps the bytes alive
    // until ProjectClose); read-only, no paths.
    bool ProjectOpenMemory(const void* data, size_t size, bool checkCrc = true, bool openMainSection = true,
                           KDuzFileHeaderInfo* headerInfo = nullptr);
    bool ProjectReadHeader(bool strict, bool checkCrc, bool openMainSection, KDuzFileHeaderInfo* headerInfo);
    bool ProjectCreateFile(const char* path, bool binary, bool encrypted, KDuzFileHeaderInfo* headerInfo = nullptr);
    // Into a growable buffer from KMemAlloc (null for a fresh one); the final
    // buffer comes back from ProjectClose.
    bool ProjectCreate(void* buffer, size_t size, bool binary, bool encrypted,
                       KDuzFileHeaderInfo* headerInfo = nullptr);
    bool ProjectWriteHeader(KDuzFileHeaderInfo* headerInfo);
    // The names the DUZ 5 writer knows these by.
    bool ProjectCreateForWriter(const char* path, bool binary, bool encrypted, KDuzFileHeaderInfo* headerInfo = nullptr)
    {
        return ProjectCreateFile(path, binary, encrypted, headerInfo);
    }

    bool ProjectOpenMainSection() { return ProjectOpenSection(0); }
    bool ProjectOpenExtraSection(int index) { return ProjectOpenSection(index + 1); }
    bool ProjectOpenSection(int index);
    int GetExtraSectionCount() const;
    int GetSectionCount() const { return static_cast<int>(sectionOffsets_.size()); }
    int GetSectionVersion(int index) const;
    int64_t GetSectionOffset(int index) const;
    bool ProjectCreateSection(bool rewriteLast);
    void FinishBeforeClose();
    void ResetSectionState();
    // Hands out the buffer and the bytes written of a memory project when
    // both outputs are given. Always true.
    bool ProjectClose(void** bufferOut = nullptr, size_t* sizeOut = nullptr);

    bool ReadBinaryHeader();
    bool WriteBinaryHeader();
    bool ReadFooter(int64_t endPosition, int64_t* sectionStartOut, int* versionOut);
    bool WriteFooter(int64_t sectionStart, int version);
    bool ReadSectionTable();
    void SetSingleSectionTable();
    bool CheckFileCrc();

    // ---- ASCII encoding
    bool ReadAsciiHeader();
    bool WriteAsciiHeader();
    int WriteComment(const char* text);
    void WriteIndentation();
    static KString QuoteFieldName(const char* name);

    // ---- field read interface
    int FieldGetCount();
    const char* FieldGetName(int index);
    int FieldGetInstanceCount(const char* name);
    bool FieldReadBegin(const char* name);
    bool FieldReadBeginInstance(const char* name, int instance);
    bool FieldReadBeginByIndex(int index, int instance);
    void FieldReadEnd();
    int FieldReadRewind();
    bool FieldReadIsBlock();
    bool FieldReadBlockBegin();
    void FieldReadBlockEnd();

    int FieldReadGetValueCount();
    int FieldReadGetRemainingValueCount();
    char FieldReadGetNextValueType();
    char FieldReadChar();
    const char* FieldReadString();
    int FieldReadInt();
    int64_t FieldReadInt64();
    float FieldReadFloat();
    double FieldReadDouble();
    const void* FieldReadRaw(int* lengthOut);
    KTime FieldReadTime();
    void FieldReadVector3(double* out) { FieldReadDoubles(out, 3); }
    void FieldReadVector4(double* out) { FieldReadDoubles(out, 4); }
    void FieldReadDoubles(double* out, int count);
    // `count` consecutive values read as ints (index arrays).
    void FieldReadInts(int* out, int count);

    char FieldReadCharOrDefault(const char* name, char defaultValue);
    const char* FieldReadStringOrDefault(const char* name, const char* defaultValue);
    int FieldReadIntOrDefault(const char* name, int defaultValue);
    int64_t FieldReadInt64OrDefault(const char* name, int64_t defaultValue);
    double FieldReadDoubleOrDefault(const char* name, double defaultValue);
    KTime FieldReadTimeByName(const char* name);
    void FieldReadTimeSpanByName(const char* name, KTime* start, KTime* stop);
    void FieldReadDoublesOrDefault(const char* name, double* out, const double* defaults, int count);

    // ---- field write interface (0 on success, else the error index)
    int FieldWriteBegin(const char* name);
    int FieldWriteEnd();
    int FieldWriteBlockBegin();
    int FieldWriteBlockEnd();
    int FieldWriteChar(char value);
    int FieldWriteInt(int value);
    int FieldWriteInt64(int64_t value);
    int FieldWriteFloat(float value);
    int FieldWriteDouble(double value);
    int FieldWriteString(const char* text);
    int FieldWriteKString(const KString& text) { return FieldWriteString(text.Buffer()); }
    bool FieldWriteRawHeader(uint32_t length);
    bool FieldWriteRawBytes(const void* data, uint32_t length);
    bool FieldWriteRaw(const void* data, uint32_t length);
    int FieldWriteVector3(const double* v);
    int FieldWriteVector4(const double* v);
    int FieldWriteTime(KTime time);
    int FieldWriteTimeSpan(KTime start, KTime stop);
    int FieldWriteNamedString(const char* name, const char* text);
    void PatchOpenRecord(int64_t endOffset);
    // Where the next written byte goes (written bytes may still be buffered).
    int64_t WritePosition();
    void WriteNullRecord();

    // ---- header extension, ids, passwords, media
    bool ReadHeaderExtension(int64_t* position, KDuzFileHeaderInfo* headerInfo);
    bool WriteHeaderExtension(KDuzFileHeaderInfo* headerInfo);
    bool WriteFileIds();
    bool CheckFileIds();
    void ComputeFooterId(unsigned char out[16]);
    bool CheckFooterId(const unsigned char footerId[16], const unsigned char* fileId, size_t fileIdLength);
    static void MixId(unsigned char block[16], const unsigned char key[16]);
    static void UnmixId(unsigned char block[16], const unsigned char key[16]);
    int PeekFooterId(unsigned char out[16]);
    bool WriteSectionFooter();
    bool WritePasswordField(const char* password);
    bool WritePassword(const char* password) { return WritePasswordField(password); }
    void ReadPasswordField();
    bool CheckPassword(const char* password);
    bool HasPassword() const { return passwordPending_; }
    static KString MakeStoredPassword(const char* password);

    KString GetTimeStampText() const;
    bool SetTimeStampFromText(const char* text);
    // Empty when a field of the time stamp lies outside its range.
    KString GetCompactTimeStampText() const;

    KString GetMediaFolder(bool create, const char* extension);
    KString GetFbdFolder(bool create) { return GetMediaFolder(create, ".fbd"); }
    KString GetFbmFolder(bool create) { return GetMediaFolder(create, ".fbm"); }
    bool FieldWriteEmbeddedFile(const char* fileName, const char* relativeName);
    virtual bool FieldReadEmbeddedFile(KString& fileName, KString& relativeName, const char* folder,
                                       bool* extractedOut);
    bool MakeUniqueMediaPath(const KString& folder, const KString& name, KString* pathOut, bool create);
    const char* ResolvePathFromFileFolder(const char* name);
    const char* JoinFileFolderPath(const char* name);
    const char* GetFullFilePath(const char* name) { return JoinFileFolderPath(name); }

    // ---- state
    int GetFileVersion() const { return fileVersion_; }
    void SetFileVersion(int version) { fileVersion_ = version; }
    int GetOpenMode() const { return openMode_; }
    bool IsBinary() const { return binary_; }
    bool IsBigEndian() const { return bigEndian_; }
    bool IsEncrypted() const { return encrypted_; }
    bool IsVersionAbove1999() const { return versionAbove1999_; }
    bool IsOpen() const;
    int GetCurrentSectionIndex() const { return currentSection_; }
    const KString& GetFolder() const { return folder_; }
    const KString& GetFullFileName() const { return fullFileName_; }
    const KString& GetFileName() const { return fileName_; }
    const KString& GetOpenedPath() const { return openedPath_; }
    const KDuzDateTime& GetCreationTime() const { return creationTime_; }
    KChainedFile* GetCurrentStream() const { return stream_; }
    bool WasEmbeddedFileExtracted() const { return extracted_; }

private:
    struct RecordSlot {
        int64_t start = 0;
        int64_t endOffset = 0;
        uint32_t valueCount = 0;
        uint32_t byteLength = 0;
    };

    bool OpenStream(const KString& path, bool readOnly);
    bool OpenByName(const char* path, bool readOnly, bool checkCrc, bool openMainSection,
                    KDuzFileHeaderInfo* headerInfo);
    // Writes go through a buffer of their own: values are small and record
    // headers are patched after the fact, mostly while still in the buffer.
    bool WriteBytes(const void* data, size_t count);
    // False, with the error set, when a binary file would pass its limit
    // by ending at `end`.
    bool BinaryEndFits(int64_t end);
    bool FlushWrites();
    bool CheckStreamError();
    bool WriteGuard(int* result);
    int CountValue(uint32_t bytes);
    void AsciiWriteValueText(const char* text, size_t length);
    KDuzFieldInstance* CurrentInstance();
    const unsigned char* CurrentPayload(char* typeOut, uint32_t* availableOut);
    double AsciiReadDouble();
    int64_t AsciiReadInt64();
    void SetErrorText(int index, const char* format, const char* argument);
    bool StartEnciphering(bool writing, const unsigned char* block);
    void PopLastSection();
    int CurrentSectionVersion() const;

    int fileVersion_ = 6100;
    int openMode_ = kOpenReadOnly;
    KChainedFile* baseStream_ = nullptr;
    KChainedFile* stream_ = nullptr;
    std::vector<KChainedFile*> layers_;  // layers above the base, innermost first
    bool versionAbove1999_ = false;
    bool binary_ = false;
    bool bigEndian_ = false;
    bool encrypted_ = false;
    KString folder_;
    KString fullFileName_;
    KString fileName_;
    KString openedPath_;
    KString scratchPath_;
    std::vector<int64_t> sectionOffsets_;
    std::vector<int> sectionVersions_;
    int currentSection_ = -1;
    int sectionWriteState_ = 0;
    KDuzDateTime creationTime_;
    bool passwordPending_ = false;
    KString storedPassword_;
    std::set<std::string> embeddedNames_;       // embedded or extracted source names
    std::map<std::string, std::string> extractedNames_;  // source name -> extracted file
    std::set<std::string> extractedTargets_;    // files extracted so far
    bool passwordWritten_ = false;
    KDuzFieldList* rootList_ = nullptr;
    KDuzFieldList* currentList_ = nullptr;
    bool keepSection0_ = false;
    KDuzFieldList* section0Tree_ = nullptr;
    int valueCounter_ = 0;
    int level_ = 0;
    RecordSlot slots_[kMaxWriteLevels];
    int asciiDepth_ = 0;
    int asciiIndent_ = 0;
    int asciiColumn_ = 0;
    bool asciiRawPending_ = false;
    KErrorState error_;
    bool extracted_ = false;
    bool ownsMemoryBuffer_ = false;  // ProjectCreate made the buffer itself
    KString lastText_;
    std::vector<unsigned char> writeBuffer_;
    int64_t writeBufferStart_ = -1;  // file position of writeBuffer_[0], -1 when empty
    bool streamTouched_ = true;      // the stream was written since its error state was read
};

}  // namespace duzsdk
