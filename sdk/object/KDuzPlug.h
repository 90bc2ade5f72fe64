// The root of every public class: a thin handle over an internal plug that
// answers class-id questions and walks its connections by class.
#pragma once

#include "sdk/object/KClassId.h"
#include "sdk/object/KPlug.h"

namespace duzsdk {

class KDuzObject;
class KDuzPlug;
class KDuzProperty;
class KDuzSdkManager;

// Codes of a connection change, as each side hears it.
enum EDuzConnectEventCode : int {
    eDuzConnectAskDestination = 0,
    eDuzConnectingDestination = 1,
    eDuzConnectedDestination = 2,
    eDuzConnectAskSource = 3,
    eDuzConnectingSource = 4,
    eDuzConnectedSource = 5,
    eDuzDisconnectAskDestination = 6,
    eDuzDisconnectingDestination = 7,
    eDuzDisconnectedDestination = 8,
    eDuzDisconnectAskSource = 9,
    eDuzDisconnectingSource = 10,
    eDuzDisconnectedSource = 11,
};

struct KDuzConnectEvent {
    int code = 0;
    KDuzPlug* source = nullptr;
    KDuzPlug* destination = nullptr;
};

class KDuzPlug {
public:
    virtual KClassId GetClassId() const;
    // Unregisters from the manager, destroys what the plug owns, then deletes it.
    virtual void Destroy(bool recursive = false, bool dependents = false);
    virtual KDuzSdkManager* GetSdkManager() const { return nullptr; }
    // True when the class is the given one or descends from it.
    virtual bool Is(const KClassId& classId) const;
    virtual bool IsRuntime(const KClassId& classId) const;
    virtual bool SetRuntimeClassId(const KClassId&) { return false; }
    virtual KClassId GetRuntimeClassId() const { return GetClassId(); }
    virtual void SetUserDataPtr(void*) {}
    virtual void* GetUserDataPtr() const { return nullptr; }
    // Asked before and told after every connection change; false refuses it.
    virtual bool ConnectNotify(const KDuzConnectEvent&) { return true; }
    virtual ~KDuzPlug() = default;
    virtual void PostCreate() {}
    virtual void DestroyContents(bool /*recursive*/, bool /*dependents*/) {}
    virtual void Reserved13() {}
    virtual KPlug* GetInternalPlug(int = 0) { return nullptr; }
    virtual const KPlug* GetInternalPlug(int = 0) const { return nullptr; }

    static KClassId ClassId();

    // ---- connections by class (a null class id means every KDuzObject) ----
    // This plug becomes the destination; either side may refuse.
    bool ConnectSrcObject(KDuzObject* object);
    bool DisconnectSrcObject(KDuzObject* object);
    bool IsConnectedSrcObject(const KDuzObject* object) const;
    // A property as a source of this plug (a property-to-object link); the
    // property sees this plug among its destinations (GetDstObject).
    bool ConnectSrcProperty(KDuzProperty& property);
    bool DisconnectSrcProperty(KDuzProperty& property);
    bool IsConnectedSrcProperty(const KDuzProperty& property) const;
    bool IsConnectedDstObject(const KDuzObject* object) const;
    int GetSrcObjectCount(const KClassId& classId = KClassId()) const;
    // Null for an index outside 0 .. count - 1.
    KDuzObject* GetSrcObject(const KClassId& classId = KClassId(), int index = 0) const;
    // The first source at or after start whose current name is the text (exact).
    KDuzObject* FindSrcObject(const KClassId& classId, const char* name, int start = 0) const;
    bool DisconnectAllSrcObjects(const KClassId& classId = KClassId());
    int GetDstObjectCount(const KClassId& classId = KClassId()) const;
    KDuzObject* GetDstObject(const KClassId& classId = KClassId(), int index = 0) const;

    // The same on a class record; a null record gives 0 and null.
    int GetSrcObjectCountByInfo(const KClassIdInfo* info) const;
    KDuzObject* GetSrcObjectByInfo(int index, const KClassIdInfo* info) const;
    KDuzObject* FindSrcObjectByInfo(const char* name, const KClassIdInfo* info, int start = 0) const;
    KDuzObject* GetDstObjectByInfo(int index, const KClassIdInfo* info) const;

protected:
    KDuzPlug() = default;
    KDuzPlug(const KDuzPlug&) = default;
    KDuzPlug& operator=(const KDuzPlug&) = default;

private:
    // Where the last walk over one side for one class stopped, so that
    // asking for objects 0, 1, 2 ... in turn (or for the count after it) does
    // not walk the whole side each time. Valid while the connection epoch
    // is unchanged.
    // Good while the walked plug's lists and the public objects behind them
    // stay as they were: changes elsewhere leave it alone, so a loop over
    // GetChild(i) that connects other objects stays linear.
    struct SideCursor {
        const KPlug* plug = nullptr;
        uint64_t stamp = 0;
        uint64_t publicEpoch = 0;
        const KClassIdInfo* info = nullptr;
        bool sources = true;
        int index = -1;      // the last kept object found ...
        int position = -1;   // ... and its place in the connection list
        int count = -1;      // kept objects on the side, -1 while unknown
    };
    SideCursor& CursorFor(const KPlug* plug, bool sources, const KClassIdInfo* info) const;
    int CountKept(bool sources, const KClassIdInfo* info) const;
    KDuzObject* KeptAt(bool sources, const KClassIdInfo* info, int index) const;

    mutable SideCursor mCursor;
};

// The internal twin of a plain public plug.
class KDuzPlug_internal : public KPlug {
public:
    explicit KDuzPlug_internal(KDuzPlug* publicPlug) : mPublic(publicPlug) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override { return kPlugTypeKDuzPlugInternal; }
    static KPlugTypeInfo* ClassTypeInfo();

    KDuzPlug* GetPublicPlug() const { return mPublic; }
    void SetPublicPlug(KDuzPlug* plug) { mPublic = plug; }

private:
    KDuzPlug* mPublic;
};

// The public object behind an internal plug: the owner of an object's
// internal twin, the back pointer of a plain plug's twin, else null.
KDuzPlug* KDuzGetPublicPlug(const KPlug* plug);
// The public object behind an internal plug when it is a KDuzObject.
KDuzObject* KDuzGetPublicObject(const KPlug* plug);

// Lets the class filters of the class records see public objects; the SDK
// manager installs it when it starts.
void KDuzInstallClassMatcher();

}  // namespace duzsdk
