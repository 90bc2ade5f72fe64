#include "sdk/base/KErrorState.h"

namespace duzsdk {

KErrorState::KErrorState(const char* const* texts, int count)
    : errorCount_(count < 0 ? 0 : count), errorTexts_(texts)
{
}

void KErrorState::ClearError()
{
    lastErrorIndex_ = -1;
    message_.AssignText("");
}

void KErrorState::SetLastError(int index)
{
    lastErrorIndex_ = index;
    // Components have been seen to pass an index one past their table; the
    // index is kept for the caller, but no text is read from outside it.
    const char* text = "";
    if (errorTexts_ != nullptr && index >= 0 && index < errorCount_ && errorTexts_[index] != nullptr) {
        text = errorTexts_[index];
    }
    message_.AssignText(text);
}

void KErrorState::SetLastErrorWithText(int index, const char* text)
{
    // The table text would be replaced at once; skipping it also keeps a
    // text taken from this very message alive until it is copied.
    lastErrorIndex_ = index;
    message_.AssignText(text);
}

void KErrorState::SetMessage(const char* text) { message_.AssignText(text); }

}  // namespace duzsdk
