// The properties every object of a class starts with, described once and
// shared by all of them. An object lists them without making them and
// makes one the first time something asks for it: most are never asked
// for, and a made property costs far more than a list entry.
#pragma once

#include <string_view>
#include <unordered_map>
#include <vector>

namespace duzsdk {

class KObject;

class KPropertySlotTable {
public:
    // Makes the property of a slot on the object through the usual
    // constructors; the object files it in the slot's place.
    using Factory = void (*)(KObject* owner, int slot);

    struct Row {
        const char* name;   // as listed; lives as long as the table
        int infoFlags;      // the information flags the made property starts with
    };

    KPropertySlotTable(std::vector<Row> rows, Factory factory) : mRows(std::move(rows)), mFactory(factory) {
        for (int i = 0; i < static_cast<int>(mRows.size()); ++i) mByName.emplace(mRows[static_cast<size_t>(i)].name, i);
    }

    int GetCount() const { return static_cast<int>(mRows.size()); }
    const Row& GetRow(int slot) const { return mRows[static_cast<size_t>(slot)]; }
    // The first slot of that name; -1 when none.
    int Find(const char* name) const {
        if (name == nullptr) return -1;
        auto found = mByName.find(std::string_view(name));
        return found != mByName.end() ? found->second : -1;
    }
    void Make(KObject* owner, int slot) const { mFactory(owner, slot); }

private:
    std::vector<Row> mRows;
    std::unordered_map<std::string_view, int> mByName;
    Factory mFactory;
};

}  // namespace duzsdk
