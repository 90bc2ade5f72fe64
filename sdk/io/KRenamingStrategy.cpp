#include "sdk/io/KRenamingStrategy.h"

namespace duzsdk {

KNumberRenamingStrategy::~KNumberRenamingStrategy() = default;

void KNumberRenamingStrategy::Clear() {
    mByName.clear();
    mRecords.clear();
}

KRenamingStrategy* KNumberRenamingStrategy::Clone() { return new KNumberRenamingStrategy(); }

KNumberRenamingStrategy::UseRecord* KNumberRenamingStrategy::FindRecord(const std::string& name) const {
    const auto found = mByName.find(name);
    return found != mByName.end() ? found->second : nullptr;
}

void KNumberRenamingStrategy::AddRecord(const std::string& name) {
    mRecords.push_back(std::make_unique<UseRecord>(UseRecord{name, 0}));
    mByName.emplace(name, mRecords.back().get());
}

bool KNumberRenamingStrategy::Rename(KDuzObjectName& name) {
    const std::string current = name.GetCurrentName();
    UseRecord* record = FindRecord(current);
    if (record == nullptr) {
        AddRecord(current);
        return false;
    }
    // A number that makes a name met before (Box1 given by a file next to
    // two Box) is skipped, and each made name is remembered, so that the
    // names stay unique.
    std::string renamed;
    do {
        ++record->count;
        renamed = record->name + std::to_string(record->count);
    } while (FindRecord(renamed) != nullptr);
    AddRecord(renamed);
    name.SetCurrentName(renamed.c_str());
    return true;
}

}  // namespace duzsdk
