#pragma once
// Process-wide error list of the 3DS file toolkit. Single-threaded by design.
#include <cstdint>

namespace duzsdk {

enum FtkErrorCode : int32_t {
    NO_FTK_ERRORS = 0,
    ERR_NO_MEM = 1,
    ERR_INVALID_ARG = 2,
    ERR_INVALID_DATA = 3,
    ERR_INVALID_CHUNK = 4,
    ERR_INVALID_DATABASE = 5,
    ERR_WRONG_DATABASE = 6,
    ERR_UNFOUND_CHUNK = 7,
    ERR_WRONG_OBJECT = 8,
    ERR_NO_SUCH_FILE = 9,
    ERR_INIT_FAILED = 10,
    ERR_OPENING_FILE = 11,
    ERR_CLOSING_FILE = 12,
    ERR_READING_FILE = 13,
    ERR_CREATING_DATABASE = 14,
    ERR_READING_DATABASE = 15,
    ERR_WRITING_DATABASE = 16,
    ERR_WRITING_FILE = 17,
    ERR_STRING_TOO_LONG = 18,
    ERR_TOO_MANY_FILES = 19,
    N_ERRORS = 22,
};

struct FtkErrorEntry {
    int32_t code = 0;
    const char* text = nullptr;
};

constexpr int kFtkErrorSlots = 19;

// Records the code (0 does nothing) and returns the text of what was stored.
const char* FtkPushError(int32_t code);
const char* FtkErrorText(int32_t code);
bool FtkErrorPending();
// Entry i of 0..18; code 0 past the last stored one.
FtkErrorEntry FtkErrorAt(int index);
// The first error that did not fit, or N_ERRORS once a second one came.
FtkErrorEntry FtkErrorOverflow();
// Clears the list and the pending flag, so one bad file does not disable the
// toolkit for the rest of the process.
void FtkErrorReset();

} // namespace duzsdk
