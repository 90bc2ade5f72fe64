#pragma once
// Open files of the 3DS toolkit: a process-wide table of 252 slots and the
// current file through which every primitive reads or writes.
#include <cstdint>
#include <cstdio>

namespace duzsdk {

constexpr int kFtkMaxFiles = 252;
constexpr uint8_t kFtkNoSlot = 255;
constexpr uint32_t kFtkModeRead = 1;
constexpr uint32_t kFtkModeWrite = 2;

struct FtkFile {
    FILE* stream = nullptr;
    char* name = nullptr;
    uint32_t mode = 0;
    uint8_t slot = kFtkNoSlot;
    char* buffer = nullptr;
    uint32_t bufferSize = 0;
    uint8_t temporary = 0;
    // Raised each time the slot is handed to a record, so a chunk that
    // remembers a slot can tell a reused slot from its own file.
    uint32_t generation = 0;
};

FtkFile* FtkFileRecordCreate();
FtkFile* FtkFileOpen(const char* name, const char* mode);
void FtkFileClose(FtkFile* file);
void FtkCloseAllFiles();
void FtkFileTableInit();
void FtkFileTableAdd(FtkFile* file);
void FtkFileTableRemove(FtkFile* file);
FtkFile* FtkFileByIndex(uint8_t index);
FtkFile* FtkFileFindByName(const char* name);
bool FtkFileIndexIsOpen(uint8_t index);
uint32_t FtkFileUsedSlots();
// Generation of the record now in the slot; 0 when the slot is empty.
uint32_t FtkFileSlotGeneration(uint8_t index);
void FtkSetCurrentFile(FtkFile* file);
void FtkSetCurrentFileByIndex(uint8_t index);
FtkFile* FtkCurrentFileRecord();
FILE* FtkCurrentFile();
uint8_t FtkCurrentFileIndex();
long FtkFileTell();
int FtkFileSeek(long position);
// Size of the current file in bytes, -1 when there is none.
long FtkFileSize();
void FtkFileMoveToTemporary(FtkFile* file);

// Error list cleared and every file closed; called before each 3DS read and write.
void FtkReset();

} // namespace duzsdk
