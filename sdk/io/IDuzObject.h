// The file object of the DUZ readers and writers: the field file of one DUZ
// file together with what a reader needs while it turns fields into scene
// objects — the map from object names ("Model::Scene") to the objects made so
// far, the property-layout flag of version 5 files and the reading of an
// object's property block into its properties.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/base/KSortedStringMap.h"
#include "sdk/io/KDuz.h"

namespace duzsdk {

class KDuzObject;
class KObject;
class KProperty;

// The smallest interface of an object that can be asked for other interfaces
// and destroyed through it.
class IKObject {
public:
    virtual void* GetInterface(int id) = 0;
    virtual void Destroy() = 0;

protected:
    ~IKObject() = default;
};

// A held object, destroyed through its own interface when owned.
struct KObjectHolderRef {
    IKObject* object = nullptr;
    int owned = 0;

    void Clear() {
        object = nullptr;
        owned = 0;
    }
    // Destroys the object when one is held and owned; both members clear.
    void Release();
};

class IFBObjectHolder {
public:
    virtual void* GetInterface(int id) = 0;
    virtual void Destroy() = 0;
    virtual IKObject* GetHeldObject() = 0;

protected:
    ~IFBObjectHolder() = default;
};

class IDuzObject : public IKObject, public KDuz, public IFBObjectHolder {
public:
    // Interface ids GetInterface answers.
    static constexpr int kInterfaceObject = 0;
    static constexpr int kInterfaceDuzObject = 1002;
    static constexpr int kInterfaceHolder = 51;

    // Null when the allocation fails.
    static IDuzObject* Create();

    IDuzObject();
    ~IDuzObject() override;

    // 0 and 1002: the object itself; 51: its holder part; others null.
    void* GetInterface(int id) override;
    // Deletes the object, closing any open file.
    void Destroy() override;
    IKObject* GetHeldObject() override { return mHeld.object; }
    // Hands an object to the holder; an owned one is destroyed with it.
    void SetHeldObject(IKObject* object, bool owned);

    // True: the version 5 layout with "Properties" blocks.
    void SetPropertyFormatFlag(bool flag) { mPropertyFormatV5 = flag; }
    bool GetPropertyFormatFlag() const { return mPropertyFormatV5; }

    // Maps a full object name ("Model::Cube"); see the .cpp for the suffix
    // rule and the extra short name.
    void MapObjectName(const char* name, KDuzObject* object);
    // Case-sensitive; null when absent.
    KDuzObject* FindObjectByName(const char* name);
    // False when the name is not mapped.
    bool UnmapObjectName(const char* name);
    int GetMappedNameCount() const { return mNames.Count(); }

    // Reads one property of a version 5 "Properties" block from the field of
    // its name in the current block. False when skipped, absent or of a
    // type the layout cannot hold.
    bool FieldReadProperty(KProperty* property);
    // Reads an object's "Properties" (version 5 layout) or "Properties60"
    // block into the properties of the list, creating dynamic properties on
    // the object for entries the list lacks. A missing block is no error.
    // `object` (may be null) is the internal object that owns the list.
    bool ReadProperties(const std::vector<KProperty*>& properties, KObject* object);
    // The same over every internal property of a scene object; properties
    // made for the block are wrapped as the object's public properties.
    bool ReadProperties(KDuzObject* object);

    // The field file's extraction, with the resulting file registered with
    // the temporary-file manager.
    bool FieldReadEmbeddedFile(KString& fileName, KString& relativeName, const char* folder,
                               bool* extractedOut) override;

    // For the readers' own use; the file object frees the values of the
    // owned-text map (allocated with KMemAlloc) and nothing else.
    KSortedStringMap& GetOwnedValueMap() { return mOwnedValues; }
    KSortedPtrMap& GetPointerMap() { return mPointerMap; }
    KDynamicArray& GetArray() { return mArray; }
    bool GetFlag2() const { return mFlag2; }
    void SetFlag2(bool value) { mFlag2 = value; }
    bool GetFlag3() const { return mFlag3; }
    void SetFlag3(bool value) { mFlag3 = value; }

    // The text of the last property the file could not hold, for diagnostics.
    const KString& GetLastDiagnostic() const { return mLastDiagnostic; }

private:
    using PropertyIndex = std::unordered_map<std::string, KProperty*>;
    void ReadOneProperty(PropertyIndex& properties, KObject* object, bool byName, int index);
    void StoreBlockValue(KProperty* property, int code);

    KObjectHolderRef mHeld;
    KSortedStringMap mNames;
    KSortedStringMap mOwnedValues;
    KSortedPtrMap mPointerMap;
    KDynamicArray mArray;
    bool mPropertyFormatV5 = false;
    bool mFlag2 = false;
    bool mFlag3 = false;
    KString mLastDiagnostic;
};

// The name a mapped name stands for: a name holding "::", longer than four
// characters and ending in "&" with another "&" five characters from its end
// loses that five-character suffix. False when the rule does not apply.
bool KDuzStripObjectNameSuffix(const char* name, KString& stripped);

}  // namespace duzsdk
