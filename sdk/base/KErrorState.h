#pragma once

#include "sdk/base/KString.h"

namespace duzsdk {

// The last failure of an SDK component: an index into the component's own
// table of message texts and a message that may be more specific than the
// table's text. Index -1 means no error. A success does not clear it; the
// component calls ClearError where it means to.
class KErrorState {
public:
    // `texts` is static data owned by the component; it is not copied.
    KErrorState() = default;
    KErrorState(const char* const* texts, int count);

    // Index -1, message "".
    void ClearError();
    // Records `index` with table text number `index` as message; an index
    // outside the table (or no table) gives the message "".
    void SetLastError(int index);
    // SetLastError(index), then the message becomes `text`.
    void SetLastErrorWithText(int index, const char* text);
    // Replaces the message, index unchanged; a null text makes it invalid.
    void SetMessage(const char* text);

    const char* GetLastErrorString() const { return message_.Buffer(); }
    int GetLastErrorIndex() const { return lastErrorIndex_; }
    bool HasError() const { return lastErrorIndex_ != -1; }
    const KString& GetMessage() const { return message_; }
    int GetErrorCount() const { return errorCount_; }
    const char* const* GetErrorTexts() const { return errorTexts_; }

private:
    int lastErrorIndex_ = -1;
    int errorCount_ = 0;
    KString message_;
    const char* const* errorTexts_ = nullptr;
};

}  // namespace duzsdk
