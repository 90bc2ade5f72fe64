#include "sdk/object/KDataType.h"

#include "sdk/base/KSettingsFile.h"
#include "sdk/base/KTime.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace duzsdk {

namespace {

KDataTypeDecimalsSource gDecimalsSource = nullptr;
bool gDecimalsKnown = false;

// Reads count numbers in braces separated by commas: "{1,2,3}".
bool ParseBraced(const char* text, double* out, int count) {
    if (text == nullptr || *text != '{') return false;
    const char* p = text + 1;
    for (int i = 0; i < count; ++i) {
        char* end = nullptr;
        double v = std::strtod(p, &end);
        if (end == p) return false;
        out[i] = v;
        p = end;
        if (i + 1 < count) {
            if (*p != ',') return false;
            ++p;
        }
    }
    return *p == '}';
}

bool FormatBraced(char* out, int size, const double* values, int count) {
    if (out == nullptr || size <= 0 || values == nullptr) return false;
    const int decimals = KDataTypeGetDecimals();
    std::string text = "{";
    char number[512];
    for (int i = 0; i < count; ++i) {
        std::snprintf(number, sizeof number, "%.*f", decimals, values[i]);
        if (i > 0) text += ',';
        text += number;
    }
    text += '}';
    std::snprintf(out, static_cast<std::size_t>(size), "%s", text.c_str());
    return true;
}

const char* PickName(const char* const* names, int available, int index) {
    if (index < 0 || index >= available) return "?";
    return names[index];
}

class KDataTypeNumber : public KDataType {
public:
    explicit KDataTypeNumber(const char* name, const KDataType* base = nullptr)
        : KDataType(name, 8, 1, base) {}
    bool SetDefault(void* value) const override {
        if (value == nullptr) return false;
        *static_cast<double*>(value) = 0.0;
        return true;
    }
    bool FromText(const char* text, void* value) const override {
        if (text == nullptr || value == nullptr) return false;
        *static_cast<double*>(value) = std::atof(text);
        return true;
    }
    bool ToText(char* out, int size, const void* value) const override {
        if (out == nullptr || size <= 0 || value == nullptr) return false;
        std::snprintf(out, static_cast<std::size_t>(size), "%.*f", KDataTypeGetDecimals(),
                      *static_cast<const double*>(value));
        return true;
    }
    const char* GetComponentName(int) const override { return nullptr; }
};

class KDataTypeTime : public KDataType {
public:
    KDataTypeTime() : KDataType("Time", 8, 0, nullptr) {}
    bool SetDefault(void* value) const override {
        if (value == nullptr) return false;
        *static_cast<KTime*>(value) = KTime();
        return true;
    }
    bool FromText(const char* text, void* value) const override {
        if (text == nullptr || value == nullptr) return false;
        return static_cast<KTime*>(value)->SetTimeString(text);
    }
    bool ToText(char* out, int size, const void* value) const override {
        if (out == nullptr || size <= 0 || value == nullptr) return false;
        char buffer[KTime::kTimeStringCapacity];
        static_cast<const KTime*>(value)->GetTimeString(buffer, sizeof buffer,
                                                        KTime::eFramesMarked);
        std::snprintf(out, static_cast<std::size_t>(size), "%s", buffer);
        return true;
    }
    const char* GetComponentName(int) const override { return "?"; }
};

// The braced root types share one body over their component count.
class KDataTypeBraced : public KDataType {
public:
    KDataTypeBraced(const char* name, int components, const KDataType* base,
                    const char* const* componentNames, int namedComponents)
        : KDataType(name, 8 * components, components, base), mNames(componentNames),
          mNamed(namedComponents) {}
    bool SetDefault(void* value) const override {
        if (value == nullptr) return false;
        std::fill_n(static_cast<double*>(value), GetComponentCount(), 0.0);
        return true;
    }
    bool FromText(const char* text, void* value) const override {
        if (value == nullptr) return false;
        return ParseBraced(text, static_cast<double*>(value), GetComponentCount());
    }
    bool ToText(char* out, int size, const void* value) const override {
        return FormatBraced(out, size, static_cast<const double*>(value), GetComponentCount());
    }
    const char* GetComponentName(int index) const override {
        if (mNames == nullptr) return nullptr;
        return PickName(mNames, mNamed, index);
    }

private:
    const char* const* mNames;
    int mNamed;
};

constexpr const char* kXYZ[] = {"x", "y", "z"};
constexpr const char* kXYZW[] = {"x", "y", "z", "w"};
constexpr const char* kRGB[] = {"r", "g", "b"};
constexpr const char* kRGBA[] = {"r", "g", "b", "a"};
constexpr const char* kUV[] = {"U", "V"};
constexpr const char* kHSB[] = {"H", "S", "B"};

struct Registry {
    std::vector<const KDataType*> sorted;
    std::vector<std::unique_ptr<KDataType>> instances;
    bool filling = false;

    Registry() {
        // Constructed and registered in the fixed order of the table, once
        // per process, before any lookup.
        filling = true;
        const KDataType* roots[5] = {};
        const char* rootNames[5] = {"Number", "Time", "Vector", "Vector4", "Matrix"};
        for (const KDataTypeRow& row : kDataTypeRows) {
            int root = 0;
            while (std::strcmp(rootNames[root], row.root) != 0) ++root;
            const bool isRoot = std::strcmp(row.name, row.root) == 0;
            const KDataType* base = isRoot ? nullptr : roots[root];
            std::unique_ptr<KDataType> type;
            switch (root) {
                case 0: type = std::make_unique<KDataTypeNumber>(row.name, base); break;
                case 1: type = std::make_unique<KDataTypeTime>(); break;
                case 2: {
                    const char* const* names = kXYZ;
                    int named = 3;
                    if (std::strcmp(row.name, "Color") == 0) names = kRGB;
                    else if (std::strcmp(row.name, "HSB") == 0) names = kHSB;
                    else if (std::strcmp(row.name, "Translation UV") == 0 ||
                             std::strcmp(row.name, "Scaling UV") == 0) {
                        names = kUV;
                        named = 2;
                    }
                    type = std::make_unique<KDataTypeBraced>(row.name, 3, base, names, named);
                    break;
                }
                case 3: {
                    const bool rgba = std::strcmp(row.name, "ColorAndAlpha") == 0;
                    type = std::make_unique<KDataTypeBraced>(row.name, 4, base,
                                                             rgba ? kRGBA : kXYZW, 4);
                    break;
                }
                default: type = std::make_unique<KDataTypeBraced>(row.name, 16, base, nullptr, 0);
            }
            if (isRoot) roots[root] = type.get();
            Add(type.get());
            instances.push_back(std::move(type));
        }
        filling = false;
    }

    void Add(const KDataType* type) {
        sorted.push_back(type);
        std::stable_sort(sorted.begin(), sorted.end(), [](const KDataType* a, const KDataType* b) {
            return std::strcmp(a->GetName(), b->GetName()) < 0;
        });
    }

    const KDataType* Find(const char* name) const {
        auto it = std::lower_bound(sorted.begin(), sorted.end(), name,
                                   [](const KDataType* t, const char* n) {
                                       return std::strcmp(t->GetName(), n) < 0;
                                   });
        if (it != sorted.end() && std::strcmp((*it)->GetName(), name) == 0) return *it;
        return nullptr;
    }
};

Registry& GetRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

bool KDataType::SetDefault(void*) const { return false; }
bool KDataType::FromText(const char*, void*) const { return false; }
bool KDataType::ToText(char* out, int size, const void*) const {
    if (out != nullptr && size > 0) out[0] = '\0';
    return false;
}
const char* KDataType::GetComponentName(int) const { return nullptr; }

void KDataTypeRegister(const KDataType* type) {
    if (type != nullptr) GetRegistry().Add(type);
}

const KDataType* KDataTypeFindByName(const char* name) {
    if (name == nullptr) return nullptr;
    if (std::strcmp(name, "Trigger") == 0) name = "Action";
    return GetRegistry().Find(name);
}

int KDataTypeGetRegisteredCount() { return static_cast<int>(GetRegistry().sorted.size()); }

int KDataTypeToPropertyTypeCode(const KDataType* type) {
    if (type == nullptr) return 0;
    struct NamedCode {
        const char* name;
        int code;
    };
    static constexpr NamedCode kByName[] = {{"Action", 16}, {"Bool", 2},          {"Integer", 1},
                                            {"Color", 14},  {"ColorAndAlpha", 15}, {"Enum", 6},
                                            {"Matrix", 18}};
    for (const NamedCode& entry : kByName) {
        if (std::strcmp(type->GetName(), entry.name) == 0) return entry.code;
    }
    static constexpr NamedCode kByBase[] = {
        {"Time", 7}, {"Number", 4}, {"Vector", 13}, {"Vector4", 12}, {"Matrix", 18}};
    const KDataType* base = type->GetBase();
    for (const NamedCode& entry : kByBase) {
        if (std::strcmp(base->GetName(), entry.name) == 0) return entry.code;
    }
    return 0;
}

void KDataTypeSetDecimalsSource(KDataTypeDecimalsSource source) { gDecimalsSource = source; }

int KDataTypeGetDecimals() {
    static const int decimals = [] {
        int n;
        if (gDecimalsSource != nullptr) {
            const char* text = gDecimalsSource();
            n = std::atoi(text != nullptr ? text : "2");
        } else {
            KSettingsFile settings("@Application.txt", false);
            const char* text = settings.GetValue("NumericField", "Decimal", "2");
            n = std::atoi(text != nullptr ? text : "2");
        }
        gDecimalsKnown = true;
        return std::clamp(n, 0, 17);
    }();
    return decimals;
}

bool KDataTypeDecimalsAreKnown() { return gDecimalsKnown; }

}  // namespace duzsdk
