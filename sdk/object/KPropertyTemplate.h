// Properties that store a typed value.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/base/KTime.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/object/KProperty.h"

namespace duzsdk {

template <typename T>
struct KPropertyStorageTraits;

#define DUZ_PROPERTY_TRAITS(Type, Storage, Code, Default)                  \
    template <>                                                             \
    struct KPropertyStorageTraits<Type> {                                   \
        static constexpr EPropertyStorage kStorage = EPropertyStorage::Storage; \
        static constexpr int kCode = Code;                                  \
        static Type Initial() { return Default; }                           \
    };

DUZ_PROPERTY_TRAITS(int, Int, eKPropInt, 0)
DUZ_PROPERTY_TRAITS(bool, Bool, eKPropBool, false)
DUZ_PROPERTY_TRAITS(double, Double, eKPropDouble, 0.0)
DUZ_PROPERTY_TRAITS(KTime, Time, eKPropTime, KTime())
DUZ_PROPERTY_TRAITS(KgeTVector, Vector4, eKPropVector3D, KgeTVector(0.0, 0.0, 0.0, 1.0))
DUZ_PROPERTY_TRAITS(KgeRGBVector, Vector4, eKPropColorRGB, KgeRGBVector(0.0, 0.0, 0.0, 1.0))
DUZ_PROPERTY_TRAITS(KgeRGBAVector, Vector4, eKPropColorRGBA, KgeRGBAVector())
DUZ_PROPERTY_TRAITS(KString, String, eKPropString, KString())
DUZ_PROPERTY_TRAITS(KObject*, Object, eKPropObject, nullptr)
DUZ_PROPERTY_TRAITS(KProperty*, Property, eKPropReference, nullptr)
// A matrix reports 18, the code its data type maps to.
DUZ_PROPERTY_TRAITS(KgeMatrix, Matrix, eKPropMatrix, KgeMatrix())
#undef DUZ_PROPERTY_TRAITS

// Sets up a template property: owner, flags, name without double quotes,
// data type, optional reference target, code; then adds it to the owner.
void KPropertyTemplateSetUp(KProperty* property, KObject* owner, const char* name,
                            const KDataType* dataType, bool user, KProperty* referenceTarget,
                            int propertyFlags, int code);

template <typename T>
class KPropertyTemplate : public KProperty {
public:
    using Traits = KPropertyStorageTraits<T>;

    KPropertyTemplate(KObject* owner, const char* name, const KDataType* dataType = nullptr,
                      bool user = false, KProperty* referenceTarget = nullptr,
                      int propertyFlags = 0, int code = Traits::kCode)
        : mValue(Traits::Initial()) {
        KPropertyTemplateSetUp(this, owner, name, dataType, user, referenceTarget, propertyFlags,
                               code);
    }
    ~KPropertyTemplate() override {
        if (!(GetFlags() & kTornDown)) Teardown();
    }

    void GetValue(void* out) override {
        if (mInfo.getter != nullptr) mInfo.getter(GetOwner(), &mValue);
        if (out != nullptr) *static_cast<T*>(out) = mValue;
    }
    void SetValue(const void* in) override {
        if (in == nullptr) return;
        SendValueEvent(0, kValueEventChanging, this, in, &mValue, 0);
        if (mInfo.setter != nullptr) mInfo.setter(GetOwner(), in);
        else mValue = *static_cast<const T*>(in);
        SendValueEvent(0, kValueEventChanged, this, in, nullptr, 0);
    }
    EPropertyStorage GetStorage() const override { return Traits::kStorage; }

    // Stores a value without events or setter: the first value of a
    // property made after the fact, which nobody could have watched change.
    void StoreInitialValue(const T& value) { mValue = value; }

    // Typed shorthands over the slots above.
    T Get() {
        T value = Traits::Initial();
        GetValue(&value);
        return value;
    }
    void Set(const T& value) { SetValue(&value); }

private:
    T mValue;
};

// Text property: keeps its own copy of the text, so a caller's buffer may
// go away after the value was set. The value is handed out and taken as a
// `const char*`.
class KPropertyCharPtr : public KProperty {
public:
    KPropertyCharPtr(KObject* owner, const char* name, const KDataType* dataType = nullptr,
                     bool user = false, int propertyFlags = 0);
    ~KPropertyCharPtr() override;
    void GetValue(void* out) override;
    void SetValue(const void* in) override;
    EPropertyStorage GetStorage() const override { return EPropertyStorage::CharPtr; }

private:
    KString mText;
    bool mIsNull = true;
};

}  // namespace duzsdk
