#include "sdk/formats/3dsftk/FtkError.h"

namespace duzsdk {

namespace {

struct ErrorState {
    FtkErrorEntry entries[kFtkErrorSlots + 1];
    FtkErrorEntry overflow;
    bool pending = false;
};

ErrorState& State()
{
    static ErrorState state;
    return state;
}

const char* const kTexts[] = {
    "NO_FTK_ERRORS: No errors are pending",
    "ERR_NO_MEM: Not enough memory to complete operation",
    "ERR_INVALID_ARG: The argument passed to the function is invalid.  Usually caused by a NULL pointer or an out of range numeric argument.",
    "ERR_INVALID_DATA: The structure passed as an argument to the function has invalid or out of range data in its fields.",
    "ERR_INVALID_CHUNK: An invalid chunk structure was encountered while reading the database. Usually caused by a corrupt database or file",
    "ERR_INVALID_DATABASE: The database passed as an argument has not be created yet.",
    "ERR_WRONG_DATABASE: The database passed as an argument is the wrong kind of database for this function.",
    "ERR_UNFOUND_CHUNK: The database is missing important file chunks needed to fill out the requested structure.  Usually caused by a corrupt database or file",
    "ERR_WRONG_OBJECT: The name passed to the functions exists, but is not the type of object asked for.  For example, asking for a mesh object with the GetCameraByName3ds function.",
    "ERR_NO_SUCH_FILE: The filename passed as an argument for reading does not exist",
    "ERR_INIT_FAILED: Failed to initialize structure passed as an argument",
    "ERR_OPENING_FILE: Could not open requested file",
    "ERR_CLOSING_FILE: Could not close requested file",
    "ERR_READING_FILE: Error occured while reading file",
    "ERR_CREATING_DATABASE: Error occured while creating database",
    "ERR_READING_DATABASE: Error occured while reading database",
    "ERR_WRITING_DATABASE: Error occured while writing database",
    "ERR_WRITING_FILE: Error occured while writing file",
    "ERR_STRING_TOO_LONG: String encountered in file, structure, or as an argument was longer than expected.  Possibly caused by an uninitialed pointer, corrupt file or database",
    "ERR_TOO_MANY_FILES: The toolkit has reached its maximum open file limit of 252 files.",
};

} // namespace

const char* FtkErrorText(int32_t code)
{
    if (code >= 0 && code <= ERR_TOO_MANY_FILES)
        return kTexts[code];
    if (code == N_ERRORS)
        return "N_ERRORS: More errors were reported then could be recorded.";
    return "Unknown error code was encountered";
}

const char* FtkPushError(int32_t code)
{
    if (code == 0)
        return nullptr;
    ErrorState& s = State();
    s.pending = true;
    for (int i = 0; i < kFtkErrorSlots; ++i) {
        if (s.entries[i].code == 0) {
            s.entries[i] = {code, FtkErrorText(code)};
            s.entries[i + 1].code = 0;
            return s.entries[i].text;
        }
    }
    if (s.overflow.code == 0)
        s.overflow = {code, FtkErrorText(code)};
    else
        s.overflow = {N_ERRORS, FtkErrorText(N_ERRORS)};
    return s.overflow.text;
}

bool FtkErrorPending()
{
    return State().pending;
}

FtkErrorEntry FtkErrorAt(int index)
{
    if (index < 0 || index >= kFtkErrorSlots)
        return {};
    return State().entries[index];
}

FtkErrorEntry FtkErrorOverflow()
{
    return State().overflow;
}

void FtkErrorReset()
{
    State() = ErrorState{};
}

} // namespace duzsdk
