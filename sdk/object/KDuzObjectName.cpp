#include "sdk/object/KDuzObjectName.h"

namespace duzsdk {

namespace {

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

KDuzObjectName::KDuzObjectName(const char* name)
    : mInitialName(TextOrEmpty(name)), mCurrentName(TextOrEmpty(name)) {}

KDuzObjectName::KDuzObjectName(const KDuzObjectName& other)
    : mInitialName(other.mInitialName), mCurrentName(other.mCurrentName) {}

KDuzObjectName& KDuzObjectName::operator=(const KDuzObjectName& other) {
    mInitialName = other.mInitialName;
    mCurrentName = other.mCurrentName;
    return *this;
}

void KDuzObjectName::SetName(const char* name) {
    mInitialName = TextOrEmpty(name);
    mCurrentName = TextOrEmpty(name);
}

void KDuzObjectName::SetCurrentName(const char* name) { mCurrentName = TextOrEmpty(name); }

void KDuzObjectName::SetExtraName(const char* name) { mExtraName = TextOrEmpty(name); }

int KDuzObjectName::SplitNameSpace(char separator, KStringList& out) const {
    out.Clear();
    if (mExtraName.IsEmpty()) return 0;
    // Walk back from the end: each separator closes the component after it.
    const char* text = mExtraName.Buffer();
    int end = mExtraName.Length();
    for (int i = end - 1; i >= 0; --i) {
        if (text[i] == separator) {
            out.Append(KString(text + i + 1, end - i - 1).Buffer());
            end = i;
        }
    }
    out.Append(KString(text, end).Buffer());
    return out.Count();
}

}  // namespace duzsdk
