// The SDK's entry object. It starts the SDK's process-wide services, keeps
// the class tree and data types registered, creates every public object by
// class id and keeps it in a registry until it is destroyed, decides which
// sources go with a destroyed object, and owns the layer elements made
// through it.
#pragma once

#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/object/KClassId.h"
#include "sdk/object/PropertyDataType.h"

#include <vector>

namespace duzsdk {

class KDuzLayerElementMaterial;
class KDuzLayerElementNormal;
class KDuzLayerElementPolygonGroup;
class KDuzLayerElementSmoothing;
class KDuzLayerElementTexture;
class KDuzLayerElementUV;
class KDuzLayerElementUserData;
class KDuzLayerElementVertexColor;
class KDuzLayerElementVisibility;
class KDuzObject;
class KDuzPlug;
class KDuzUserNotification;
class KObjectList;

// The manager's lists of layer elements, one per element kind.
enum EDuzLayerElementList : int {
    eDuzLayerElementListPlain = 0,
    eDuzLayerElementListNormal,
    eDuzLayerElementListMaterial,
    eDuzLayerElementListPolygonGroup,
    eDuzLayerElementListUV,
    eDuzLayerElementListVertexColor,
    eDuzLayerElementListSmoothing,
    eDuzLayerElementListUserData,
    eDuzLayerElementListVisibility,
    eDuzLayerElementListTexture,
    eDuzLayerElementListCount,
};

class KDuzSdkManager {
public:
    enum EError { eObjectNotFound = 0, eErrorCount };

    // Null only when allocation fails.
    static KDuzSdkManager* Create();
    // Destroys every object and layer element, then the manager.
    virtual void Destroy();

    virtual KDuzUserNotification* CreateUserNotification(const KString& first,
                                                         const KString& second);
    virtual bool DestroyObjectRecursive(KDuzObject* object, bool recursive);
    virtual bool DestroyObject(KDuzObject* object);
    virtual bool DestroyUserNotification();
    virtual KDuzObject* FindNode(const char* name, int start = 0);
    virtual KDuzObject* FindSurfaceMaterial(const char* name, int start = 0);
    virtual KDuzObject* FindTexture(const char* name, int start = 0);
    virtual KDuzObject* FindVideo(const char* name, int start = 0);
    virtual KDuzObject* FindPose(const char* name, int start = 0);
    virtual KDuzObject* FindGenericNode(const char* name, int start = 0);
    virtual ~KDuzSdkManager();
    // Scenes first (recursively), then nodes (recursively), then the rest.
    virtual void DestroyAllObjects();

    // ---- objects ----
    // An object of the class (or of its nearest creatable ancestor) that
    // reports the class as its runtime class, registered with this manager.
    // A plug that is not an object (a property) is handed to the caller.
    KDuzPlug* CreateObject(const KClassId& classId, const char* name);
    bool RegisterObject(KDuzPlug* plug);
    bool UnregisterObject(KDuzPlug* plug);
    // A null class id means every object.
    int GetObjectCount(const KClassId& classId = KClassId()) const;
    KDuzObject* GetObject(const KClassId& classId, int index) const;
    // Exact current name, no prefix handling; a negative start reads as 0.
    KDuzObject* FindObject(const KClassId& classId, const char* name, int start = 0) const;
    // Whether destroying the owner destroys the candidate with it.
    bool OwnsForDestroy(const KDuzObject* owner, const KDuzObject* candidate,
                        bool recursive) const;

    KDuzUserNotification* GetUserNotification() const { return mUserNotification; }
    KDuzObject* CreateCameraSwitcher();
    // Codes 1 to 6: position, rotation, scale, parent, single-chain IK, aim.
    KDuzObject* CreateConstraint(const char* name, int type);

    // ---- classes and data types ----
    KClassId RegisterClass(const char* name, const KClassId& parent, KDuzClassCreator creator,
                           const char* duzTypeName = nullptr, const char* duzSubTypeName = nullptr);
    bool AddClass(const KClassId& classId);
    KClassId FindClassByDuzType(const char* duzTypeName, const char* duzSubTypeName) const;
    // Classes known to this manager, the built-in ones and those registered
    // since (a reader registers one per unknown kind a file names).
    int GetRegisteredClassCount() const;
    bool RegisterClasses();
    PropertyDataType RegisterDataType(const char* name, int kind);

    // ---- layer elements ----
    // The manager takes the element and frees it with destroy when it is
    // destroyed. The element kinds live with the geometry; their factories
    // hand what they make to this.
    using ElementDestroyer = void (*)(void* element);
    void AdoptLayerElement(EDuzLayerElementList list, void* element, ElementDestroyer destroy);
    template <typename T>
    T* AdoptLayerElement(EDuzLayerElementList list, T* element) {
        if (element != nullptr)
            AdoptLayerElement(list, element, [](void* e) { delete static_cast<T*>(e); });
        return element;
    }
    int GetLayerElementCount(EDuzLayerElementList list) const;
    // New elements of each kind, named, kept by this manager until it is
    // destroyed; null when allocation fails. They are built with the
    // geometry, which defines them.
    KDuzLayerElementNormal* CreateLayerElementNormal(const char* name);
    KDuzLayerElementMaterial* CreateLayerElementMaterial(const char* name);
    KDuzLayerElementPolygonGroup* CreateLayerElementPolygonGroup(const char* name);
    KDuzLayerElementUV* CreateLayerElementUV(const char* name);
    KDuzLayerElementVertexColor* CreateLayerElementVertexColor(const char* name);
    KDuzLayerElementSmoothing* CreateLayerElementSmoothing(const char* name);
    KDuzLayerElementVisibility* CreateLayerElementVisibility(const char* name);
    // Reference mode 2, no channel tag, blend mode 0, alpha 1.
    KDuzLayerElementTexture* CreateLayerElementTexture(const char* name);
    KDuzLayerElementUserData* CreateLayerElementUserData(const char* name, int id,
                                                         const std::vector<PropertyDataType>& dataTypes,
                                                         const std::vector<KString>& names);
    // A copy of the other (null other: null).
    KDuzLayerElementUserData* CreateLayerElementUserDataCopy(const char* name,
                                                             const KDuzLayerElementUserData* other);

    KErrorState& GetError() { return mError; }
    KObjectList* GetObjectRegistry() const { return mRegistry; }

    // Number of managers alive in the process.
    static int GetLiveCount();

protected:
    KDuzSdkManager();

private:
    struct OwnedElement {
        void* element;
        ElementDestroyer destroy;
    };
    void DestroyLayerElements();
    // The registered objects of the class, in registration order.
    void CollectObjects(const KClassId& classId, std::vector<KDuzObject*>& out) const;
    // The objects of a class as CollectObjects gives them, kept until any
    // connection changes, so counting them and asking for each in turn is
    // linear.
    const std::vector<KDuzObject*>& ObjectsOf(const KClassId& classId) const;

    std::vector<OwnedElement> mLayerElements[eDuzLayerElementListCount];
    KDuzUserNotification* mUserNotification = nullptr;
    KObjectList* mRegistry = nullptr;
    // Good while the registry's list and the public objects stay as they were.
    struct ObjectListCache {
        uint64_t stamp = 0;
        uint64_t publicEpoch = 0;
        const KClassIdInfo* info = nullptr;
        std::vector<KDuzObject*> objects;
    };
    mutable ObjectListCache mObjectCache;
    KErrorState mError;
    KClassRegistry* mClasses = nullptr;
};

}  // namespace duzsdk
