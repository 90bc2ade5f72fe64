// The name record of every public object: the name it was created or last
// named with, the current name (the one renaming changes and writers write)
// and the extra name (its name space).
#pragma once

#include "sdk/base/KString.h"
#include "sdk/base/KStringList.h"

namespace duzsdk {

class KDuzObjectName {
public:
    // Initial and current name set to the text (null reads as ""); extra name empty.
    explicit KDuzObjectName(const char* name = "");
    // The other's initial and current names; the extra name starts empty.
    KDuzObjectName(const KDuzObjectName& other);
    // Copies the initial and the current name; the extra name is kept.
    KDuzObjectName& operator=(const KDuzObjectName& other);
    void AssignNames(const KDuzObjectName& other) { *this = other; }

    // Sets both the initial and the current name.
    void SetName(const char* name);
    void SetCurrentName(const char* name);
    void SetExtraName(const char* name);

    const char* GetInitialName() const { return mInitialName.Buffer(); }
    const char* GetCurrentName() const { return mCurrentName.Buffer(); }
    const char* GetExtraName() const { return mExtraName.Buffer(); }
    const KString& GetInitialNameString() const { return mInitialName; }
    const KString& GetCurrentNameString() const { return mCurrentName; }
    const KString& GetExtraNameString() const { return mExtraName; }

    // Fills `out` (emptied first) with the extra name's components from the
    // last to the first: a:b:c at ':' gives c, b, a. Nothing for an empty
    // extra name. Empty components are kept, so the count is always one more
    // than the number of separators. Returns the count.
    int SplitNameSpace(char separator, KStringList& out) const;

private:
    KString mInitialName;
    KString mCurrentName;
    KString mExtraName;
};

}  // namespace duzsdk
