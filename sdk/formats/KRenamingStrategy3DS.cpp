#include "sdk/formats/KRenamingStrategy3DS.h"

namespace duzsdk {

KRenamingStrategy3DS::~KRenamingStrategy3DS() = default;

void KRenamingStrategy3DS::Clear() {
    mEntries.clear();
    mByName.clear();
    mGiven.clear();
}

KRenamingStrategy* KRenamingStrategy3DS::Clone() { return new KRenamingStrategy3DS(); }

bool KRenamingStrategy3DS::Rename(KDuzObjectName& name) {
    KString text(name.GetCurrentName());
    const bool renamed = RenameText(text, 10);
    name.SetCurrentName(text.Buffer());
    return renamed;
}

bool KRenamingStrategy3DS::StripNameSpace(std::string& text) {
    const size_t separator = text.find("::");
    if (separator != std::string::npos) text.erase(0, separator + 2);
    return true;
}

bool KRenamingStrategy3DS::TruncateText(std::string& text, size_t length) {
    if (text.size() > length) text.resize(length);
    return true;
}

bool KRenamingStrategy3DS::RenameText(KString& name, unsigned limit) {
    std::string text(name.Buffer());
    StripNameSpace(text);
    // Room for three digits of numbering within the limit.
    const size_t cut = limit > 3 ? limit - 3 : 1;
    TruncateText(text, cut);

    auto found = mByName.find(text);
    if (found == mByName.end() && mGiven.count(text) == 0) {
        mByName.emplace(text, mEntries.size());
        mEntries.push_back(Entry{text, 0});
        mGiven.insert(text);
        name = text.c_str();
        return false;
    }
    if (found == mByName.end()) {
        // The name was handed out as a numbered one: it is numbered in turn.
        found = mByName.emplace(text, mEntries.size()).first;
        mEntries.push_back(Entry{text, 0});
    }
    Entry& entry = mEntries[found->second];
    for (;;) {
        const std::string number = std::to_string(++entry.useCount);
        std::string base = entry.name;
        // Four digits and more would pass the limit: the base gives way, so
        // the name still fits its field and stays unique there.
        if (base.size() + number.size() > limit && limit > number.size()) base.resize(limit - number.size());
        std::string candidate = base + number;
        if (mGiven.insert(candidate).second) {
            name = candidate.c_str();
            return true;
        }
    }
}

}  // namespace duzsdk
