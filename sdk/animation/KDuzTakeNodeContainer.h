// The base of every animated public object: one take node per take, each
// holding the object's channel curves under a root curve node "Defaults",
// the current take, and the links through which the default take's curves
// drive the object's properties. It sits with the curves, above the object
// layer, because it holds curve trees.
#pragma once

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/KTime.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KPlugHandle.h"

#include <functional>
#include <vector>

namespace duzsdk {

class KDuzTakeNodeContainer;
class KFCurve;
class KFCurveNode;
class KProperty;

class KDuzTakeNodeContainer_internal : public KDuzObject_internal {
public:
    explicit KDuzTakeNodeContainer_internal(KDuzObject* object) : KDuzObject_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

// One channel curve of the default take linked to the property it drives.
struct KDuzCurveLink {
    HdlKObject property;   // weak: the internal KProperty
    int channel = 0;
    KFCurve* curve = nullptr;
    KDuzTakeNodeContainer* container = nullptr;
};

// Error texts, all reported as index 0.
inline constexpr const char* kTakeErrorIndexOutOfRange = "Index out of range";
inline constexpr const char* kTakeErrorUnknownName = "Unknown take node name";
inline constexpr const char* kTakeErrorNoSuchTake = "Take node does not exist";
inline constexpr const char* kTakeErrorAlreadyExists = "Take node already exists";
inline constexpr const char* kTakeErrorRemoveDefault = "Cannot remove default take node";

// Channel names of a property with several components: "X", "Y", "Z",
// "toto" for up to four, "0" to "9" then "A" to "F" for a matrix. Null past 15.
const char* KDuzChannelName(int componentCount, int index);

class KDuzTakeNodeContainer : public KDuzObject {
public:
    KDuzTakeNodeContainer(KDuzSdkManager* manager, const char* name, KErrorState* error = nullptr);
    ~KDuzTakeNodeContainer() override;

    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    // The container behind an object's GetTakeNodeContainer, or null.
    static KDuzTakeNodeContainer* Of(KDuzObject* object);

    // ---- KDuzPlug / KDuzObject ----
    KClassId GetClassId() const override;
    void PostCreate() override;
    void DestroyContents(bool recursive, bool dependents) override;
    void PropertyChanged(KDuzProperty& property) override;
    KDuzTakeNodeContainer* GetTakeNodeContainer() override { return this; }
    void PropertyAdded(KDuzProperty& property) override;
    void PropertyRemoved(KDuzProperty& property) override;
    // A property turning animatable (or no longer) needs the take as it was.
    void PropertyFlagsChanging(const KDuzProperty& property, unsigned bits) override;
    // Listing waits with animatable properties too while the take waits.
    bool DefersAnimatableProperties() const override { return mTakeContentPending; }
    void UnwrappedPropertyRemoved(const char* name, KProperty* property, int slot) override;
    bool HasTakeCurvesFor(const char* name, KDuzTakeNode* takeNode) override {
        return FindPropertyCurveNode(takeNode, name) != nullptr;
    }
    // Copies the property's value into its curve node of the take.
    bool UpdateTakeCurves(const KDuzProperty& property, KDuzTakeNode* takeNode) override;
    // Whether a change of the value of the property of that name would
    // reach a take's curves now (PropertyChanged); a waiting take is not
    // filled by asking.
    bool TakesFollowValueOf(const char* name) const;

    // ---- container slots ----
    virtual bool SetCurrentTakeNodeByName(const char* name);
    virtual bool SetCurrentTakeNode(int index);
    // Widens start and stop to the keys of the current take.
    virtual bool GetAnimationInterval(KTime& start, KTime& stop);

    // ---- take nodes ----
    // Creates the take "Default" (when there is no take yet) and makes it current.
    KDuzTakeNode* CreateDefaultTakeNode();
    // The same, with the take's channels made the first time anything asks
    // for a take (an object that is never animated, read back or evaluated
    // never needs them). For a class whose FillDefaultTakeLater builds what
    // AddPropertiesToTakeNode builds on a fresh object.
    void CreateDefaultTakeNodeLater();
    // While the default take waits to be filled, an attribute that adds no
    // channels of its own (see KDuzNodeAttribute::AddsTakeChannels) need
    // not fill it when it attaches: its values are copied into the take's
    // curves once the take is filled. False when the take is filled already.
    bool DeferAttachedTakeCurves(KDuzObject* attribute);
    // Whether the default take waits to be filled (from the values the
    // properties hold then).
    bool IsTakeContentPending() const { return mTakeContentPending; }
    // The attribute detaches: true when it was waiting and so never reached
    // the take (nothing to take out of it).
    bool ForgetDeferredTakeCurves(KDuzObject* attribute);
    // Hands the default take, filled, to a reader of its channels; a take
    // that waited before waits again afterwards (unless the reader made
    // another take or linked curves), so a one-off read, such as writing a
    // file, leaves nothing behind on the object.
    void ReadDefaultTake(const std::function<void(KDuzTakeNode*)>& read);
    KDuzTakeNode* CreateTakeNode(const char* name);
    bool RemoveTakeNode(int index);
    int GetTakeNodeCount() const { return static_cast<int>(mTakeNodes.size()); }
    KDuzTakeNode* GetTakeNodeAt(int index);
    const char* GetTakeNodeName(int index);
    KDuzTakeNode* GetDefaultTakeNode() const;
    KDuzTakeNode* GetCurrentTakeNode();
    int GetCurrentTakeNodeIndex() const { return mCurrentTake; }
    void CopyTakeNodes(const KDuzTakeNodeContainer& other);
    // Destroys every take node and link, then what the object owns.
    void ClearTakeNodes(bool recursive = false, bool dependents = false);
    bool IsChannelAnimated(const char* name1, const char* name2 = nullptr,
                           const char* name3 = nullptr);
    bool IsChannelAnimatedFor(const char* name1, const char* name2, const KFCurveNode* node);

    // ---- properties and curves ----
    void AddPropertyCurveNodes(KProperty* property, KDuzTakeNode* takeNode);
    void SetCurveNodeDefaults(KProperty* property, KFCurveNode* node);
    void LinkPropertyCurve(KProperty* property, int channel, KFCurve* curve);
    // Unlinks and deletes the link and clears the caller's pointer.
    void UnlinkCurve(KDuzCurveLink*& link);
    void ClearCurveLinks();
    int GetCurveLinkCount() const {
        FillPendingTake();
        return static_cast<int>(mCurveLinks.size());
    }
    void AddPropertyToTakeNodes(KDuzProperty& property, const char* takeName);
    void SetCurveNodeValue(const KDuzProperty& property, KFCurveNode* node);
    // "T", "R" or "S" for the local transform properties, else the name.
    static const char* ShortCurveNodeName(const char* name);
    // The curve node of a property in a take: "T", "R" and "S" wherever
    // they sit below the root (a node keeps them under "Transform"), any
    // other property's directly under the root. Null when missing.
    static KFCurveNode* FindPropertyCurveNode(KDuzTakeNode* takeNode, const char* propertyName);

    KErrorState* GetErrorState() const { return mError; }

protected:
    // Builds the default take's channels of a fresh object (see
    // CreateDefaultTakeNodeLater); AddPropertiesToTakeNode here.
    virtual void FillDefaultTakeLater(KDuzTakeNode* takeNode) { AddPropertiesToTakeNode(takeNode); }

private:
    static void OnLinkedCurveChanged(KFCurve* curve, KFCurveChange* change, void* data);
    void ReportError(const char* text);
    // Removes the curve node of a property of that name from every take.
    void RemovePropertyCurveNodes(const char* name);
    KDuzTakeNode* CurrentTakeQuiet() const;
    void DeleteTakeNodes();
    // Links the default take's curves to the animatable internal properties.
    void RelinkDefaultTake();
    // Builds the waiting default take: its channels, then what each
    // animatable property added since would have added to it.
    void FillPendingTake() const;
    // The part of AddPropertyToTakeNodes done on each take.
    void AddPropertyToTakes(KDuzProperty& property, const char* takeName);

    std::vector<KDuzTakeNode*> mTakeNodes;
    std::vector<KDuzCurveLink*> mCurveLinks;
    int mCurrentTake = -1;
    bool mTakeContentPending = false;
    // Attributes attached while the take waited (weak), in attach order.
    std::vector<HdlKObject> mDeferredAttributes;
    KErrorState* mError;
};

}  // namespace duzsdk
