#include "sdk/formats/3dsftk/FtkFile.h"

#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkPrim.h"
#include "platform/PlatformFile.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace duzsdk {

namespace {

constexpr uint32_t kBufferSize = 8192;

struct FileTable {
    FtkFile** slots = nullptr;
    uint32_t used = 0;
    FtkFile* current = nullptr;
    uint8_t currentIndex = 0;
    uint32_t nextGeneration = 1;
};

FileTable& Table()
{
    static FileTable table;
    return table;
}

void FreeRecord(FtkFile* file)
{
    FtkMemFree(file->name);
    FtkMemFree(file->buffer);
    FtkMemFree(file);
}

} // namespace

FtkFile* FtkFileRecordCreate()
{
    auto* file = static_cast<FtkFile*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkFile)));
    if (!file) {
        FtkPushError(ERR_NO_MEM);
        return nullptr;
    }
    file->slot = kFtkNoSlot;
    return file;
}

void FtkFileTableInit()
{
    FileTable& t = Table();
    t.slots = static_cast<FtkFile**>(FtkMemCalloc(__FILE__, __LINE__, kFtkMaxFiles, sizeof(FtkFile*)));
    if (!t.slots)
        FtkPushError(ERR_NO_MEM);
    t.used = 0;
    t.currentIndex = 0;
}

void FtkFileTableAdd(FtkFile* file)
{
    FileTable& t = Table();
    if (!t.slots) {
        FtkFileTableInit();
        if (FtkErrorPending())
            return;
    }
    uint32_t candidate = t.used;
    for (uint32_t i = 0; i < t.used; ++i) {
        if (!t.slots[i]) {
            candidate = i;
            break;
        }
    }
    if (candidate >= kFtkMaxFiles) {
        file->slot = kFtkNoSlot;
        FtkPushError(ERR_TOO_MANY_FILES);
        return;
    }
    t.slots[candidate] = file;
    file->slot = static_cast<uint8_t>(candidate);
    file->generation = t.nextGeneration++;
    if (candidate == t.used)
        ++t.used;
}

void FtkFileTableRemove(FtkFile* file)
{
    FileTable& t = Table();
    if (!file || !t.slots || file->slot >= kFtkMaxFiles)
        return;
    if (t.slots[file->slot] == file) {
        t.slots[file->slot] = nullptr;
        file->slot = kFtkNoSlot;
    }
}

FtkFile* FtkFileByIndex(uint8_t index)
{
    FileTable& t = Table();
    if (!t.slots || index >= t.used)
        return nullptr;
    return t.slots[index];
}

FtkFile* FtkFileFindByName(const char* name)
{
    FileTable& t = Table();
    if (!name || !t.slots)
        return nullptr;
    for (uint32_t i = 0; i < t.used; ++i) {
        if (t.slots[i] && t.slots[i]->name && std::strcmp(t.slots[i]->name, name) == 0)
            return t.slots[i];
    }
    return nullptr;
}

bool FtkFileIndexIsOpen(uint8_t index)
{
    return index != kFtkNoSlot && FtkFileByIndex(index) != nullptr;
}

uint32_t FtkFileUsedSlots()
{
    return Table().used;
}

uint32_t FtkFileSlotGeneration(uint8_t index)
{
    FtkFile* file = FtkFileByIndex(index);
    return file ? file->generation : 0;
}

void FtkSetCurrentFile(FtkFile* file)
{
    FileTable& t = Table();
    t.current = file;
    t.currentIndex = file ? file->slot : 0;
}

void FtkSetCurrentFileByIndex(uint8_t index)
{
    if (FtkFile* file = FtkFileByIndex(index))
        FtkSetCurrentFile(file);
}

FtkFile* FtkCurrentFileRecord()
{
    return Table().current;
}

FILE* FtkCurrentFile()
{
    FtkFile* file = Table().current;
    return file ? file->stream : nullptr;
}

uint8_t FtkCurrentFileIndex()
{
    return Table().currentIndex;
}

long FtkFileTell()
{
    FILE* stream = FtkCurrentFile();
    return stream ? std::ftell(stream) : -1;
}

int FtkFileSeek(long position)
{
    FILE* stream = FtkCurrentFile();
    return stream ? std::fseek(stream, position, SEEK_SET) : -1;
}

long FtkFileSize()
{
    FILE* stream = FtkCurrentFile();
    if (!stream)
        return -1;
    long here = std::ftell(stream);
    if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0)
        return -1;
    long size = std::ftell(stream);
    std::fseek(stream, here, SEEK_SET);
    return size;
}

static void InstallBuffer(FtkFile* file)
{
    if (file->buffer)
        std::setvbuf(file->stream, file->buffer, _IOFBF, file->bufferSize);
}

FtkFile* FtkFileOpen(const char* name, const char* mode)
{
    if (!name || !mode) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    FtkFile* existing = FtkFileFindByName(name);
    FtkFile* file = FtkFileRecordCreate();
    if (FtkErrorPending() || !file) {
        FtkPushError(ERR_INIT_FAILED);
        return nullptr;
    }
    FtkFileTableAdd(file);
    file->name = FtkStrDup(name);
    if (!file->name)
        FtkPushError(ERR_NO_MEM);
    if (FtkErrorPending()) {
        // A record that got no slot is freed here rather than leaked.
        FtkFileTableRemove(file);
        FreeRecord(file);
        return nullptr;
    }
    size_t length = FtkCheckNameLength(mode, 30);
    for (size_t i = 0; i < length; ++i) {
        if (mode[i] == 'r') {
            file->mode = kFtkModeRead;
            break;
        }
        if (mode[i] == 'w') {
            file->mode = kFtkModeWrite;
            break;
        }
    }
    if (file->mode == 0) {
        FtkFileTableRemove(file);
        FreeRecord(file);
        FtkPushError(ERR_INIT_FAILED);
        return nullptr;
    }
    if (existing) {
        if (existing->mode == file->mode) {
            FtkFileTableRemove(file);
            FreeRecord(file);
            return existing;
        }
        if (existing->mode & kFtkModeRead) {
            FtkFileMoveToTemporary(existing);
            if (FtkErrorPending()) {
                FtkFileTableRemove(file);
                FreeRecord(file);
                return nullptr;
            }
        } else {
            FtkFileClose(existing);
        }
    }
    // Through the platform layer: a device or FIFO given as a 3DS file is
    // refused at once instead of blocking.
    file->stream = duzplatform::OpenFile(name, file->mode == kFtkModeRead ? "rb" : "wb");
    if (!file->stream) {
        FtkFileTableRemove(file);
        FreeRecord(file);
        FtkPushError(ERR_OPENING_FILE);
        return nullptr;
    }
    file->buffer = static_cast<char*>(FtkMemAlloc(__FILE__, __LINE__, kBufferSize));
    if (file->buffer) {
        file->bufferSize = kBufferSize;
        InstallBuffer(file);
    }
    return file;
}

void FtkFileClose(FtkFile* file)
{
    if (!file)
        return;
    bool failed = false;
    if (file->stream)
        failed = std::fclose(file->stream) != 0;
    if (file->temporary && file->name)
        std::remove(file->name);
    FtkFileTableRemove(file);
    // Closing the current file resets it, so no primitive can reach the freed record.
    FileTable& t = Table();
    if (t.current == file) {
        t.current = nullptr;
        t.currentIndex = 0;
    }
    FreeRecord(file);
    if (failed)
        FtkPushError(ERR_CLOSING_FILE);
}

void FtkCloseAllFiles()
{
    FileTable& t = Table();
    if (t.slots) {
        for (uint32_t i = 0; i < t.used; ++i) {
            FtkFileClose(t.slots[i]);
            if (FtkErrorPending())
                return;
        }
        FtkMemFree(t.slots);
    }
    t.slots = nullptr;
    t.used = 0;
    t.current = nullptr;
    t.currentIndex = 0;
}

void FtkReset()
{
    FtkErrorReset();
    FileTable& t = Table();
    if (t.slots) {
        for (uint32_t i = 0; i < t.used; ++i)
            FtkFileClose(t.slots[i]);
        FtkMemFree(t.slots);
    }
    t.slots = nullptr;
    t.used = 0;
    t.current = nullptr;
    t.currentIndex = 0;
    FtkErrorReset();
}

void FtkFileMoveToTemporary(FtkFile* file)
{
    if (!file || !file->name || !file->stream) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    long position = std::ftell(file->stream);
    int closed = std::fclose(file->stream);
    file->stream = nullptr;
    if (closed != 0) {
        FtkPushError(ERR_CLOSING_FILE);
        return;
    }
    // The temporary goes in the same folder, so the rename never crosses a file system.
    std::string folder = file->name;
    size_t cut = folder.find_last_of("/:\\");
    folder = cut == std::string::npos ? std::string() : folder.substr(0, cut + 1);
    std::string temp = folder + "ftkXXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        FtkPushError(ERR_OPENING_FILE);
        return;
    }
    ::close(fd);
    if (std::rename(file->name, temp.c_str()) != 0) {
        std::remove(temp.c_str());
        FtkPushError(ERR_OPENING_FILE);
        return;
    }
    char* copy = FtkStrDup(temp.c_str());
    if (!copy) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    file->temporary = 1;
    FtkMemFree(file->name);
    file->name = copy;
    file->stream = std::fopen(file->name, "rb");
    if (!file->stream) {
        FtkPushError(ERR_OPENING_FILE);
        return;
    }
    InstallBuffer(file);
    std::fseek(file->stream, position, SEEK_SET);
}

} // namespace duzsdk
