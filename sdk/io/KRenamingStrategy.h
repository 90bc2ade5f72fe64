// Strategies that rename objects for a file format: the abstract base and
// the simple strategy that numbers repeated names.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/object/KDuzObjectName.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace duzsdk {

class KRenamingStrategy {
public:
    KRenamingStrategy() = default;
    virtual ~KRenamingStrategy() = default;
    KRenamingStrategy(const KRenamingStrategy&) = delete;
    KRenamingStrategy& operator=(const KRenamingStrategy&) = delete;

    // Forgets every name seen so far.
    virtual void Clear() = 0;
    // Renames the record's current name; true when it was changed.
    virtual bool Rename(KDuzObjectName& name) = 0;
    // A new strategy of the same kind (the caller owns it), or null.
    virtual KRenamingStrategy* Clone() = 0;
};

// Appends a use count to a name seen before: the second Box becomes Box1,
// the third Box2.
class KNumberRenamingStrategy : public KRenamingStrategy {
public:
    KNumberRenamingStrategy() = default;
    ~KNumberRenamingStrategy() override;

    void Clear() override;
    bool Rename(KDuzObjectName& name) override;
    // A new, empty strategy.
    KRenamingStrategy* Clone() override;

    int GetUseRecordCount() const { return static_cast<int>(mRecords.size()); }

private:
    struct UseRecord {
        std::string name;
        int count = 0;
    };

    UseRecord* FindRecord(const std::string& name) const;
    void AddRecord(const std::string& name);

    std::vector<std::unique_ptr<UseRecord>> mRecords;
    // The records by name, so that renaming n objects stays linear.
    std::unordered_map<std::string, UseRecord*> mByName;
};

}  // namespace duzsdk
