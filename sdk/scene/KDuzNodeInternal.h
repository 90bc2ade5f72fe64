// The internal object of a node: its property block, its two pivot sets and
// the evaluation record. Private to the node's sources and tests.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/object/KPropertyObjectList.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/scene/KDuzNodeTransform.h"

#include <memory>

namespace duzsdk {

class KDuzNode;

// The node's properties in the order of its property list.
enum EDuzNodeProperty : int {
    eNodeQuaternionInterpolate,
    eNodeVisibility,
    eNodeLclTranslation,
    eNodeLclRotation,
    eNodeLclScaling,
    eNodeRotationOffset,
    eNodeRotationPivot,
    eNodeScalingOffset,
    eNodeScalingPivot,
    eNodeTranslationActive,
    eNodeTranslationMin,
    eNodeTranslationMax,
    eNodeTranslationMinX,
    eNodeTranslationMinY,
    eNodeTranslationMinZ,
    eNodeTranslationMaxX,
    eNodeTranslationMaxY,
    eNodeTranslationMaxZ,
    eNodeRotationOrder,
    eNodeRotationSpaceForLimitOnly,
    eNodeAxisLen,
    eNodePreRotation,
    eNodePostRotation,
    eNodeRotationActive,
    eNodeRotationMin,
    eNodeRotationMax,
    eNodeRotationMinX,
    eNodeRotationMinY,
    eNodeRotationMinZ,
    eNodeRotationMaxX,
    eNodeRotationMaxY,
    eNodeRotationMaxZ,
    eNodeRotationStiffnessX,
    eNodeRotationStiffnessY,
    eNodeRotationStiffnessZ,
    eNodeMinDampRangeX,
    eNodeMinDampRangeY,
    eNodeMinDampRangeZ,
    eNodeMaxDampRangeX,
    eNodeMaxDampRangeY,
    eNodeMaxDampRangeZ,
    eNodeMinDampStrengthX,
    eNodeMinDampStrengthY,
    eNodeMinDampStrengthZ,
    eNodeMaxDampStrengthX,
    eNodeMaxDampStrengthY,
    eNodeMaxDampStrengthZ,
    eNodePreferedAngleX,
    eNodePreferedAngleY,
    eNodePreferedAngleZ,
    eNodeInheritType,
    eNodeScalingActive,
    eNodeScalingMin,
    eNodeScalingMax,
    eNodeScalingMinX,
    eNodeScalingMinY,
    eNodeScalingMinZ,
    eNodeScalingMaxX,
    eNodeScalingMaxY,
    eNodeScalingMaxZ,
    eNodeGeometricTranslation,
    eNodeGeometricRotation,
    eNodeGeometricScaling,
    eNodeLookAtProperty,
    eNodeUpVectorProperty,
    eNodeShow,
    eNodeNegativePercentShapeSupport,
    eNodeDefaultAttributeIndex,
    eNodePropertyCount,
};

// How a node property stores its value.
enum class EDuzNodePropertyKind { Bool, Double, Int, Vector, Enum, Channel, ObjectList };

struct KDuzNodePropertyRow {
    EDuzNodeProperty id;
    const char* name;
    EDuzNodePropertyKind kind;
    double defaultValue[3];  // the first only for scalars
};

// The 68 properties with their defaults, in list order.
extern const KDuzNodePropertyRow kDuzNodeProperties[eNodePropertyCount];

class KDuzNode_internal : public KDuzTakeNodeContainer_internal {
public:
    explicit KDuzNode_internal(KDuzNode* node);
    ~KDuzNode_internal() override;

    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
    // Every value change may move the node: the transform caches follow.
    bool SendValueEvent(int a, int code, KPlug* plug, const void* newValue, const void* oldValue,
                        int d) override;

    KDuzNode* GetNode() const { return mNode; }
    // The property, made now when it was not yet.
    KProperty* Property(EDuzNodeProperty id) const;
    // The property when it is made, else null (nothing is made by asking).
    KProperty* MadeProperty(EDuzNodeProperty id) const { return mProperties[id]; }
    // The node's properties are slots of one table shared by every node
    // (only the channels are made with the node): this makes one.
    void MakeSlotProperty(int id);
    void SlotMaterialized(int slot, KProperty* property) override;
    void SlotReleased(int slot, KProperty* property) override;
    // While set (the node's own construction, before anything can listen),
    // writing a property that is not made stores the value without events.
    void SetConstructing(bool constructing) { mConstructing = constructing; }
    bool IsConstructing() const { return mConstructing; }

    // Typed reads and writes of the template properties, with events.
    bool GetBool(EDuzNodeProperty id) const;
    void SetBool(EDuzNodeProperty id, bool value);
    double GetDoubleValue(EDuzNodeProperty id) const;
    void SetDoubleValue(EDuzNodeProperty id, double value);
    int GetIntValue(EDuzNodeProperty id) const;
    void SetIntValue(EDuzNodeProperty id, int value);
    KgeTVector GetVector(EDuzNodeProperty id) const;
    void SetVector(EDuzNodeProperty id, const KgeTVector& value);
    // Without events: straight into the stored value (the template
    // properties read and write it through their getter and setter).
    void StoreBool(EDuzNodeProperty id, bool value);
    void StoreDouble(EDuzNodeProperty id, double value);
    void StoreInt(EDuzNodeProperty id, int value);
    void StoreVector(EDuzNodeProperty id, const KgeTVector& value);

    KDuzNodePivotSet pivotSet0;
    // Set 1 (the destination of a pivot conversion) is made when first
    // written; until then it reads as a reset set.
    const KDuzNodePivotSet& PivotSet1() const;
    KDuzNodePivotSet& MutablePivotSet1();
    void ResetPivotSet1() {
        if (mPivotSet1 != nullptr) mPivotSet1->Reset();
    }
    KDuzNodeTransformEvaluation evaluation;

    // The stored value of a template property (x only for scalars). The
    // values live in the class's shared defaults until one of them differs.
    const KgeTVector& Value(int id) const;
    KgeTVector& MutableValue(int id);

private:
    // Whether a value of the property is stored straight into the values,
    // without making the property or sending events.
    bool StoresQuietly(EDuzNodeProperty id) const;

    KProperty* mProperties[eNodePropertyCount] = {};   // made ones
    bool mConstructing = false;
    // Whether a value written now could reach anyone: the property is not
    // made (nothing is connected to it) and nothing listens to this object.
    bool IsUnheard(EDuzNodeProperty id) const;

    // The values in blocks of kValueBlockSize, each made only once one of
    // its values differs from the class's shared defaults: a node read from
    // a file usually changes one or two values, not all of them. Null while
    // every value is its default.
    static constexpr int kValueBlockSize = 8;
    static constexpr int kValueBlockCount = (eNodePropertyCount + kValueBlockSize - 1) / kValueBlockSize;
    std::unique_ptr<std::unique_ptr<KgeTVector[]>[]> mValueBlocks;
    std::unique_ptr<KDuzNodePivotSet> mPivotSet1;
    KDuzNode* mNode;
};

}  // namespace duzsdk
