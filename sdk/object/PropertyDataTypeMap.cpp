#include "sdk/object/PropertyDataTypeMap.h"

#include "sdk/object/KSortedSet.h"

#include <vector>

namespace duzsdk {

namespace {

struct NamedDataType {
    KString name;
    PropertyDataType handle;
};

// Found by the name-ordered set through argument-dependent lookup.
const char* KeyText(const NamedDataType* entry) { return entry->name.Buffer(); }

using NameMap = KSortedSet<NamedDataType, KSortedSetByName<NamedDataType>>;

// Filled once by the first manager and kept for the whole process: handles
// taken from it are held by objects that may outlive any exit-time cleanup,
// so neither the map nor the records are ever freed.
struct DataTypeMap {
    NameMap map;
    std::vector<NamedDataType*> entries;
    // Every record made here, replaced ones included: copies of a replaced
    // handle may still be held.
    std::vector<PropertyDataTypeRecord*> records;
};

DataTypeMap& GetMap() {
    static auto* map = new DataTypeMap;
    return *map;
}

}  // namespace

PropertyDataType PropertyDataTypeMapRegister(const char* name, int kind) {
    if (name == nullptr) return PropertyDataType();
    PropertyDataType handle;
    PropertyDataTypeRecordCreate(handle, name, kind);
    DataTypeMap& map = GetMap();
    map.records.push_back(handle.GetRecord());
    NamedDataType key{name, PropertyDataType()};
    if (NamedDataType* found = map.map.Find(&key)) {
        found->handle = handle;
        return handle;
    }
    auto* entry = new NamedDataType{name, handle};
    map.entries.push_back(entry);
    map.map.Insert(entry);
    return handle;
}

PropertyDataType PropertyDataTypeFromName(const char* name) {
    if (name == nullptr) return PropertyDataTypeDefault();
    NamedDataType key{name, PropertyDataType()};
    const NamedDataType* found = GetMap().map.Find(&key);
    return found != nullptr ? found->handle : PropertyDataTypeDefault();
}

PropertyDataType PropertyDataTypeDefault() { return PropertyDataType(); }

int PropertyDataTypeMapCount() { return GetMap().map.GetCount(); }

}  // namespace duzsdk
