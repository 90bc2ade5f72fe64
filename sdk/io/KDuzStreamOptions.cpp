#include "sdk/io/KDuzStreamOptions.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <cstring>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzStreamOptions_internal");

}  // namespace

KPlugTypeInfo* KDuzStreamOptions_internal::GetPlugTypeInfo() const {
    return PlugTypeInfoGetRecord(kTypeNumber);
}

int KDuzStreamOptions_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KDuzStreamOptions::KDuzStreamOptions(KDuzSdkManager* manager, const char* name)
    : KDuzObject(manager, name) {
    // The options are created by the subclass constructors and bind to this
    // object at once, so it exists before any of them.
    SetInternalObject(new KDuzStreamOptions_internal(this));
}

KDuzStreamOptions::~KDuzStreamOptions() = default;

KDuzStreamOptions* KDuzStreamOptions::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzStreamOptions*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzStreamOptions::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* options = new KDuzStreamOptions(manager, name);
    options->PostCreate();
    return options;
}

KClassId KDuzStreamOptions::ClassId() { return KDuzClassIdOf(eDuzClassStreamOptions); }

KClassId KDuzStreamOptions::GetClassId() const { return ClassId(); }

KDuzObject* KDuzStreamOptions::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzStreamOptions* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->CopyOptionsFrom(*this);
    return copy;
}

void KDuzStreamOptions::Reset() {
    const int count = GetPropertyCount();
    for (int i = 0; i < count; ++i) {
        KDuzProperty option = GetPropertyAt(i);
        const PropertyDataType type = option.GetDataType();
        const char* typeName = type.GetName();
        if (std::strcmp(typeName, "Bool") == 0) {
            const bool value = false;
            option.SetValue(&value, eValueKindBool);
        } else if (std::strcmp(typeName, "Integer") == 0) {
            const int value = 0;
            option.SetValue(&value, eValueKindInt);
        } else if (std::strcmp(typeName, "Number") == 0) {
            const double value = 0.0;
            option.SetValue(&value, eValueKindDouble);
        } else if (std::strcmp(typeName, "Float") == 0) {
            const float value = 0.0f;
            option.SetValue(&value, eValueKindFloat);
        } else if (std::strcmp(typeName, "KString") == 0) {
            const KString value;
            option.SetValue(&value, eValueKindString);
        } else if (std::strcmp(typeName, "Time") == 0) {
            const KTime value;
            option.SetValue(&value, eValueKindTime);
        }
    }
}

KDuzProperty KDuzStreamOptions::GetOption(const char* name) const {
    if (name == nullptr) return KDuzProperty();
    return FindProperty(name, true);
}

bool KDuzStreamOptions::SetBoolOption(const char* name, bool value) {
    return SetOptionValue(name, &value, eValueKindBool);
}

bool KDuzStreamOptions::CopyOptionValue(int index, const KDuzProperty& source) {
    KDuzProperty target = GetPropertyAt(index);
    if (!target.IsValid() || !source.IsValid()) return false;
    const int kind = target.GetValueKind();
    if (kind != source.GetValueKind()) return false;
    switch (kind) {
        case eValueKindBool: {
            bool value = false;
            return source.GetValue(&value, kind) && target.SetValue(&value, kind);
        }
        case eValueKindInt: {
            int value = 0;
            return source.GetValue(&value, kind) && target.SetValue(&value, kind);
        }
        case eValueKindDouble: {
            double value = 0.0;
            return source.GetValue(&value, kind) && target.SetValue(&value, kind);
        }
        case eValueKindFloat: {
            float value = 0.0f;
            return source.GetValue(&value, kind) && target.SetValue(&value, kind);
        }
        case eValueKindString: {
            KString value;
            return source.GetValue(&value, kind) && target.SetValue(&value, kind);
        }
        case eValueKindTime: {
            KTime value;
            return source.GetValue(&value, kind) && target.SetValue(&value, kind);
        }
        default:
            return false;
    }
}

bool KDuzStreamOptions::GetOptionValue(const char* name, void* out, int kind) const {
    const KDuzProperty option = GetOption(name);
    if (!option.IsValid() || option.GetValueKind() != kind) return false;
    return option.GetValue(out, kind);
}

bool KDuzStreamOptions::SetOptionValue(const char* name, const void* value, int kind) {
    KDuzProperty option = GetOption(name);
    if (!option.IsValid() || option.GetValueKind() != kind) return false;
    return option.SetValue(value, kind);
}

bool KDuzStreamOptions::GetBoolOption(const char* name, bool fallback) const {
    bool value = fallback;
    return GetOptionValue(name, &value, eValueKindBool) ? value : fallback;
}

int KDuzStreamOptions::GetIntOption(const char* name, int fallback) const {
    int value = fallback;
    return GetOptionValue(name, &value, eValueKindInt) ? value : fallback;
}

double KDuzStreamOptions::GetDoubleOption(const char* name, double fallback) const {
    double value = fallback;
    return GetOptionValue(name, &value, eValueKindDouble) ? value : fallback;
}

KString KDuzStreamOptions::GetStringOption(const char* name, const char* fallback) const {
    KString value;
    if (GetOptionValue(name, &value, eValueKindString)) return value;
    return KString(fallback != nullptr ? fallback : "");
}

KTime KDuzStreamOptions::GetTimeOption(const char* name, KTime fallback) const {
    KTime value = fallback;
    return GetOptionValue(name, &value, eValueKindTime) ? value : fallback;
}

bool KDuzStreamOptions::SetIntOption(const char* name, int value) {
    return SetOptionValue(name, &value, eValueKindInt);
}

bool KDuzStreamOptions::SetDoubleOption(const char* name, double value) {
    return SetOptionValue(name, &value, eValueKindDouble);
}

bool KDuzStreamOptions::SetStringOption(const char* name, const char* value) {
    const KString text(value != nullptr ? value : "");
    return SetOptionValue(name, &text, eValueKindString);
}

bool KDuzStreamOptions::SetTimeOption(const char* name, KTime value) {
    return SetOptionValue(name, &value, eValueKindTime);
}

KDuzProperty KDuzStreamOptions::AddOption(const char* name, const char* dataTypeName,
                                          const char* label) {
    // Options are created fresh: two options may not share a name, and a set
    // never adopts a property of another origin.
    return KDuzProperty::Create(this, name, PropertyDataTypeFromName(dataTypeName), label, true);
}

void KDuzStreamOptions::CopyOptionsFrom(const KDuzStreamOptions& source) {
    const int count = source.GetPropertyCount();
    for (int i = 0; i < count; ++i) CopyOptionValue(i, source.GetPropertyAt(i));
}

void KDuzStreamOptions::SetAllBoolOptions(bool value) {
    const int count = GetPropertyCount();
    for (int i = 0; i < count; ++i) {
        KDuzProperty option = GetPropertyAt(i);
        if (std::strcmp(option.GetDataType().GetName(), "Bool") == 0)
            option.SetValue(&value, eValueKindBool);
    }
}

}  // namespace duzsdk
