// The base of everything a node carries to say what it is: null, marker,
// skeleton, camera, camera switcher, light, optical reference and the
// geometry family. An attribute is a source object of its node; while it is
// attached it keeps a back-link to the node and animates through the node's
// take nodes instead of having take nodes of its own.
#pragma once

#include "sdk/base/KgeTVector.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KPropertyTemplate.h"

namespace duzsdk {

class KDuzNode;
class KDuzTakeNode;
class KDuzTakeNodeContainer;
class KFCurve;
class KFCurveNode;

// The internal twin of every concrete attribute class: it holds "Color",
// (0.8, 0.8, 0.8) at construction and animatable.
class KDuzNodeAttribute_internal : public KDuzObject_internal {
public:
    explicit KDuzNodeAttribute_internal(KDuzObject* object);

    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;

    virtual void SetColor(const KgeRGBVector& color);
    virtual KgeRGBVector GetColor();
    KPropertyTemplate<KgeRGBVector>* GetColorProperty() const { return mColor; }

    // Channel properties: a plain internal property of a data type found by
    // name, animatable and with property flag 8.
    KProperty* AddChannelProperty(const char* name, const char* dataTypeName);

    // Makes "Color" as the constructor does, on a table's first slot.
    static void MakeColorSlot(KObject* owner);
    static constexpr int kColorSlotFlags = KPropertyInfo::kOwned | KPropertyInfo::kAnimatable | KPropertyInfo::kOwnedName;

protected:
    // For a class whose properties are the slots of a table made when asked
    // for; the first slot is "Color" (MakeColorSlot), made at once.
    KDuzNodeAttribute_internal(KDuzObject* object, const KPropertySlotTable* slots);

private:
    KPropertyTemplate<KgeRGBVector>* mColor;   // owned by the property array
};

class KDuzNodeAttribute : public KDuzObject {
public:
    // The type code every node attribute reports; 11 and 12 are not used.
    enum EAttributeType : int {
        eUnidentified = 0,
        eNull = 1,
        eMarker = 2,
        eSkeleton = 3,
        eMesh = 4,
        eNurb = 5,
        ePatch = 6,
        eCamera = 7,
        eCameraSwitcher = 8,
        eLight = 9,
        eOpticalReference = 10,
        eNurbsCurve = 13,
        eTrimNurbsSurface = 14,
        eBoundary = 15,
        eNurbsSurface = 16,
    };

    KDuzNodeAttribute(KDuzSdkManager* manager, const char* name);
    ~KDuzNodeAttribute() override;

    static KDuzNodeAttribute* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- KDuzPlug / KDuzObject ----
    KClassId GetClassId() const override;
    // Attaches on a completed connection to a node, detaches on a completed
    // disconnection from it, then does what every object does.
    bool ConnectNotify(const KDuzConnectEvent& event) override;
    int GetNameKind() const override { return eDuzNameKindGeometry; }
    // An attribute going away takes its channels out of its node's takes first.
    void DestroyContents(bool recursive, bool dependents) override;
    // The node, so that channels are looked up on the node's take nodes.
    KDuzObject* GetTakeNodeContainer() override;
    KString GetTypeName() const override { return KString("NodeAttribute"); }

    // ---- attribute slots ----
    virtual int GetAttributeType() const { return eUnidentified; }
    // Stores the node and adds this attribute's channels to every take node
    // of it, each then filled from the property values.
    virtual void SetNode(KDuzNode* node);
    // Removes the channels from every take node of the node, then forgets it.
    virtual void ClearNode();
    virtual void RemovePropertiesFromTakeNode(KDuzTakeNode* /*takeNode*/) {}
    // Whether AddPropertiesToTakeNode would add channels now. One that adds
    // none leaves a node's waiting take unfilled when it attaches.
    virtual bool AddsTakeChannels() const { return true; }

    // The node this attribute is attached to; null when detached.
    KDuzNode* GetNode() const { return mNode; }

protected:
    // The node as a take-node container; null when detached.
    KDuzTakeNodeContainer* GetNodeContainer() const;
    // The node's "Default" take; null when detached or without takes.
    KDuzTakeNode* GetNodeDefaultTake() const;
    // The internal twin as an attribute twin; null for a plain attribute.
    KDuzNodeAttribute_internal* GetAttributeInternal() const;

    // Helpers of the channel slots. A curve node below parent (made with the
    // data type and a curve when missing) whose curve's default and display
    // colour are set without notifying the curve's listeners.
    static KFCurve* AddChannel(KFCurveNode* parent, const char* name, const char* dataTypeName,
                               double defaultValue, float red, float green, float blue);
    // The take root's child of that name without a curve, made when missing.
    static KFCurveNode* AddChannelGroup(KDuzTakeNode* takeNode, const char* name,
                                        const char* dataTypeName);
    static KFCurveNode* RootOf(KDuzTakeNode* takeNode);
    // Removes the root's child of that name (any case) when present.
    static void RemoveChannel(KDuzTakeNode* takeNode, const char* name);
    // True when the take's name is "Default" in any case.
    static bool IsDefaultTake(const KDuzTakeNode* takeNode);
    // The default value of a curve below the default take's root, found by
    // path; false when detached or missing.
    bool GetDefaultChannel(const char* name, const char* child, double& value) const;
    // Sets that default (single precision); false when detached or missing.
    bool SetDefaultChannel(const char* name, const char* child, double value) const;

private:
    KDuzNode* mNode = nullptr;
};

// Sets a curve's default value without telling its listeners.
void KDuzSetCurveDefaultQuietly(KFCurve* curve, double value);

}  // namespace duzsdk
