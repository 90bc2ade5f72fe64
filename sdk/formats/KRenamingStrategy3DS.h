// Names for 3DS files: objects are identified by names of at most 10
// characters, materials by names of at most 15. The strategy strips the
// namespace, cuts the name short enough to take a number, and numbers a
// name seen before so that every name it hands out is unique.
#pragma once
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/io/KRenamingStrategy.h"

namespace duzsdk {

class KRenamingStrategy3DS : public KNumberRenamingStrategy {
public:
    KRenamingStrategy3DS() = default;
    ~KRenamingStrategy3DS() override;

    void Clear() override;
    // The record's current name through RenameText with the object limit 10.
    bool Rename(KDuzObjectName& name) override;
    KRenamingStrategy* Clone() override;

    // True when the name had to be numbered because it was handed out before.
    bool RenameText(KString& name, unsigned limit);

    // Everything up to and including the first "::" goes.
    static bool StripNameSpace(std::string& text);
    static bool TruncateText(std::string& text, size_t length);

private:
    struct Entry {
        std::string name;
        int useCount = 0;
    };
    std::vector<Entry> mEntries;
    std::unordered_map<std::string, size_t> mByName;
    // Every name handed out, numbered or not: a later name equal to a
    // numbered one must not take it again, since 3DS replaces an object of
    // the same name.
    std::unordered_set<std::string> mGiven;
};

}  // namespace duzsdk
