#include "sdk/object/KPlugType.h"

#include "sdk/object/KPlug.h"

#include <array>
#include <cstring>

namespace duzsdk {

namespace {

constexpr int kTableSize = kPlugTypeMaxNumber + 2;   // numbers -1 .. 698
constexpr std::size_t kRowCount = sizeof(kPlugTypeRows) / sizeof(kPlugTypeRows[0]);

struct PlugTypeTable {
    std::array<KPlugTypeInfo*, kTableSize> slots{};
    int nextFree = kPlugTypeFirstFree;
    std::array<KPlugTypeInfo, kRowCount> builtins;

    PlugTypeTable() {
        // Registered explicitly in the table's order so that every class
        // gets the same number in every run, whatever the link order.
        for (std::size_t i = 0; i < kRowCount; ++i) {
            KPlugTypeInfo* parent = nullptr;
            if (kPlugTypeRows[i].parent != nullptr) {
                for (std::size_t j = 0; j < kRowCount; ++j) {
                    if (std::strcmp(kPlugTypeRows[j].name, kPlugTypeRows[i].parent) == 0) {
                        parent = &builtins[j];
                        break;
                    }
                }
            }
            PlugTypeInfoInit(&builtins[i], kPlugTypeRows[i].name, parent);
            int fixed = PlugTypeNumberOf(kPlugTypeRows[i].name);
            if (fixed < kPlugTypeFirstFree) {
                Store(&builtins[i], fixed);
            } else {
                Store(&builtins[i], nextFree++);
            }
        }
    }

    void Store(KPlugTypeInfo* record, int number) {
        record->filter.SetTypeNumber(number);
        slots[number + 1] = record;
    }
};

PlugTypeTable& Table() {
    static PlugTypeTable table;
    return table;
}

}  // namespace

bool KPlugFilter::Accepts(const KPlug* plug) const {
    if (mTypeNumber == kPlugTypeNone) return true;
    if (plug == nullptr) return false;
    return plug->IsPlugType(mTypeNumber);
}

bool KPlugTypeInfo::IsA(int number) const {
    for (const KPlugTypeInfo* t = this; t != nullptr; t = t->parent) {
        if (t->GetTypeNumber() == number) return true;
    }
    return false;
}

void PlugTypeInfoInit(KPlugTypeInfo* record, const char* name, KPlugTypeInfo* parent, int extra) {
    record->filter = KPlugFilter(-1, name);
    record->parent = parent;
    record->owned = false;
    record->extra = extra;
}

int PlugTypeInfoRegister(KPlugTypeInfo* record, int number) {
    if (record == nullptr) return -1;
    PlugTypeTable& table = Table();
    if (number == -1) {
        if (table.nextFree > kPlugTypeMaxNumber) return -1;
        number = table.nextFree++;
    } else if (number < -1 || number > kPlugTypeMaxNumber) {
        return -1;
    }
    table.Store(record, number);
    return number;
}

KPlugTypeInfo* PlugTypeInfoGetRecord(int number) {
    if (number < -1 || number > kPlugTypeMaxNumber) return nullptr;
    return Table().slots[number + 1];
}

KPlugFilter* PlugTypeInfoGet(int number) {
    KPlugTypeInfo* record = PlugTypeInfoGetRecord(number);
    return record ? &record->filter : nullptr;
}

KPlugTypeInfo* PlugTypeInfoFindByName(std::string_view name) {
    PlugTypeTable& table = Table();
    for (KPlugTypeInfo& record : table.builtins) {
        if (name == record.GetName()) return &record;
    }
    return nullptr;
}

void PlugTypeInfoReleaseOwned() {
    PlugTypeTable& table = Table();
    for (KPlugTypeInfo*& slot : table.slots) {
        if (slot != nullptr && slot->owned) {
            delete slot;
            slot = nullptr;
        }
    }
}

}  // namespace duzsdk
