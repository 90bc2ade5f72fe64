// The base of every option set: a reader's or writer's switches, counts,
// texts and times, kept as ordinary named properties so that readers,
// writers and callers find and set them by name.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/base/KTime.h"
#include "sdk/object/KDuzObject.h"

namespace duzsdk {

class KDuzStreamOptions_internal : public KDuzObject_internal {
public:
    explicit KDuzStreamOptions_internal(KDuzObject* object) : KDuzObject_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzStreamOptions : public KDuzObject {
public:
    KDuzStreamOptions(KDuzSdkManager* manager, const char* name);
    ~KDuzStreamOptions() override;

    static KDuzStreamOptions* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    // Clone type 2 only: a set of the same class and name with every
    // option's value copied by index; null for any other type.
    KDuzObject* Clone(int mode) override;
    // Gives every option the zero value of its data type ("Bool" false,
    // "Integer" 0, "Number" and "Float" 0.0, "KString" "", "Time" 0);
    // options of other types keep their values. Each set adds its defaults.
    virtual void Reset();

    int GetOptionCount() const { return GetPropertyCount(); }
    // The first option of exactly that name (case-sensitive), in creation
    // order; the invalid handle when there is none.
    KDuzProperty GetOption(const char* name) const;
    // True, with the value set, when the option exists and holds a bool.
    bool SetBoolOption(const char* name, bool value);
    // Copies the source's value into the option at the index when both hold
    // the same kind of value (bool, int, double, float, text or time).
    bool CopyOptionValue(int index, const KDuzProperty& source);

    // Typed access for readers and writers; the fallback when the option is
    // missing or holds another kind of value.
    bool GetBoolOption(const char* name, bool fallback = false) const;
    int GetIntOption(const char* name, int fallback = 0) const;
    double GetDoubleOption(const char* name, double fallback = 0.0) const;
    KString GetStringOption(const char* name, const char* fallback = "") const;
    KTime GetTimeOption(const char* name, KTime fallback = KTime()) const;
    bool SetIntOption(const char* name, int value);
    bool SetDoubleOption(const char* name, double value);
    bool SetStringOption(const char* name, const char* value);
    bool SetTimeOption(const char* name, KTime value);

    // Copies every option's value by index from the source (the clones).
    void CopyOptionsFrom(const KDuzStreamOptions& source);
    // Creates an option of the named data type ("Bool", "Integer", ...) at
    // the end; the constructors build their tables with it.
    KDuzProperty AddOption(const char* name, const char* dataTypeName, const char* label);

protected:
    // Sets every option of data type "Bool" to the value.
    void SetAllBoolOptions(bool value);
    // The value of a named option of one value kind; false when missing or
    // of another kind.
    bool GetOptionValue(const char* name, void* out, int kind) const;
    bool SetOptionValue(const char* name, const void* value, int kind);
};

}  // namespace duzsdk
