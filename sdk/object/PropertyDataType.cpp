#include "sdk/object/PropertyDataType.h"

#include <cstring>

namespace duzsdk {

namespace {

struct Registered {
    bool done = false;
    PropertyDataType handles[kPropertyDataTypeNameCount];
};

Registered& GetRegistered() {
    static Registered registered;
    return registered;
}

}  // namespace

void PropertyDataTypeRecordCreate(PropertyDataType& out, const char* name, int kind) {
    auto* record = new PropertyDataTypeRecord;
    record->kind = kind;
    record->name = name != nullptr ? name : "";
    out = PropertyDataType(record);
}

bool PropertyDataTypeRegisterAll(PropertyDataTypeRegisterFn registerFn, void* context) {
    Registered& registered = GetRegistered();
    if (registered.done || registerFn == nullptr) return false;
    for (int i = 0; i < kPropertyDataTypeNameCount; ++i) {
        registered.handles[i] =
            registerFn(context, kPropertyDataTypeNames[i].name, kPropertyDataTypeNames[i].kind);
    }
    registered.done = true;
    return true;
}

bool PropertyDataTypesAreRegistered() { return GetRegistered().done; }

PropertyDataType PropertyDataTypeGetRegistered(const char* name) {
    if (name == nullptr) return {};
    Registered& registered = GetRegistered();
    for (int i = 0; i < kPropertyDataTypeNameCount; ++i) {
        if (std::strcmp(kPropertyDataTypeNames[i].name, name) == 0) return registered.handles[i];
    }
    return {};
}

PropertyDataType PropertyDataTypeTableGet(int kind) {
    static constexpr const char* kByKind[] = {nullptr, "Bool",    "Integer", "Float", "Number",
                                              "Vector", "Vector4", "Matrix",  "Enum",  "KString",
                                              "Time",   "Ref",     "Stream"};
    if (kind <= 0 || kind >= static_cast<int>(sizeof(kByKind) / sizeof(kByKind[0]))) return {};
    return PropertyDataTypeGetRegistered(kByKind[kind]);
}

const char* PropertyDataTypeToFileName(const PropertyDataType& type) {
    if (!type.IsValid()) return "unknown";
    for (const PropertyDataTypeFileRow& row : kPropertyDataTypeFileNames) {
        if (PropertyDataTypeGetRegistered(row.registeredName) == type) return row.fileName;
    }
    for (const PropertyDataTypeFileRow& row : kPropertyDataTypeFileNames) {
        PropertyDataType candidate = PropertyDataTypeGetRegistered(row.registeredName);
        if (candidate.IsValid() && candidate.GetValueKind() == type.GetValueKind())
            return row.fileName;
    }
    return "unknown";
}

PropertyDataType PropertyDataTypeFromFileName(const char* text) {
    if (text == nullptr) return {};
    for (const PropertyDataTypeFileRow& row : kPropertyDataTypeFileNames) {
        if (std::strcmp(row.fileName, text) == 0)
            return PropertyDataTypeGetRegistered(row.registeredName);
    }
    return {};
}

}  // namespace duzsdk
