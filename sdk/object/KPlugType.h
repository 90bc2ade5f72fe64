// Run-time plug types: the type records of the internal classes, the
// connection filter they embed, and the global table indexed by type number.
#pragma once

#include <cstddef>
#include <string_view>

namespace duzsdk {

class KPlug;

// Decides whether a plug may be connected. The class-id records of the
// public layer derive their own filters from it.
class KPlugFilter {
public:
    explicit KPlugFilter(int typeNumber = -1, const char* className = "None")
        : mTypeNumber(typeNumber), mClassName(className) {}
    virtual ~KPlugFilter() = default;

    // True when the plug is of the filter's type; the "None" type (-1)
    // accepts every plug, null included. Any other filter refuses null.
    virtual bool Accepts(const KPlug* plug) const;
    virtual bool IsTypeNumber(int number) const { return number == mTypeNumber; }
    virtual bool IsSameType(const KPlugFilter* other) const {
        return other != nullptr && other->GetTypeNumber() == mTypeNumber;
    }
    virtual int GetTypeNumber() const { return mTypeNumber; }

    const char* GetClassName() const { return mClassName; }
    void SetTypeNumber(int number) { mTypeNumber = number; }

private:
    int mTypeNumber;
    const char* mClassName;
};

// One record per internal class: its filter (number and name) and its parent.
struct KPlugTypeInfo {
    KPlugFilter filter;
    KPlugTypeInfo* parent = nullptr;
    bool owned = false;   // heap record freed when the plug system stops
    int extra = 0;

    int GetTypeNumber() const { return filter.GetTypeNumber(); }
    const char* GetName() const { return filter.GetClassName(); }
    // True when number is this type's or one of its ancestors'.
    bool IsA(int number) const;
};

// The names and parents the SDK registers, in registration order. The first
// three rows are the fixed entries; every other row gets the next number.
struct KPlugTypeRow {
    const char* name;
    const char* parent;   // null for a root
};

inline constexpr KPlugTypeRow kPlugTypeRows[] = {
    {"None", nullptr},
    {"KObject", "KPlug"},
    {"KPlug", nullptr},
    {"KPlugList", "KPlug"},
    {"KDataPlug", "KPlug"},
    {"KDuzPlug_internal", "KPlug"},
    {"KProperty", "KPlug"},
    {"KGenericObjectList", "KObject"},
    {"KDuzObject_internal", "KObject"},
    {"KFCurveFilter", "KObject"},
    {"KFBObject", "KObject"},
    {"KObjectList", "KGenericObjectList"},
    {"KEntityList", "KObjectList"},
    {"KPropertyObjectList", "KProperty"},
    {"KDuzProperty_internal", "KDuzPlug_internal"},
    {"KDuzTakeNodeContainer_internal", "KDuzObject_internal"},
    {"KDuzScene_internal", "KDuzObject_internal"},
    {"KDuzNodeAttribute_internal", "KDuzObject_internal"},
    {"KDuzPose_internal", "KDuzObject_internal"},
    {"KDuzCharacterPose_internal", "KDuzObject_internal"},
    {"KDuzStreamOptions_internal", "KDuzObject_internal"},
    {"KDuzGeometryWeightedMap_internal", "KDuzObject_internal"},
    {"KDuzCache_internal", "KDuzObject_internal"},
    {"KDuzNode_internal", "KDuzTakeNodeContainer_internal"},
    {"KDuzSurfaceMaterial_internal", "KDuzTakeNodeContainer_internal"},
    {"KDuzTexture_internal", "KDuzTakeNodeContainer_internal"},
    {"KDuzVideo_internal", "KDuzTakeNodeContainer_internal"},
    {"KDuzGenericNode_internal", "KDuzTakeNodeContainer_internal"},
    {"KDuzControlSetPlug_internal", "KDuzTakeNodeContainer_internal"},
    {"KDuzDeformer_internal", "KDuzTakeNodeContainer_internal"},
    {"KDuzSubDeformer_internal", "KDuzTakeNodeContainer_internal"},
    {"KDuzConstraint_internal", "KDuzTakeNodeContainer_internal"},
    {"KDuzMarker_internal", "KDuzNodeAttribute_internal"},
    {"KDuzGeometry_internal", "KDuzNodeAttribute_internal"},
    {"KDuzLight_internal", "KDuzNodeAttribute_internal"},
    {"KDuzCameraSwitcher_internal", "KDuzNodeAttribute_internal"},
    {"KDuzNull_internal", "KDuzNodeAttribute_internal"},
    {"KDuzCamera_internal", "KDuzNodeAttribute_internal"},
    {"KDuzSkeleton_internal", "KDuzNodeAttribute_internal"},
    {"KDuzOpticalReference_internal", "KDuzNodeAttribute_internal"},
    {"KDuzShape_internal", "KDuzNodeAttribute_internal"},
    {"KDuzMesh_internal", "KDuzGeometry_internal"},
    {"KDuzNurbsSurface_internal", "KDuzGeometry_internal"},
    {"KDuzPatch_internal", "KDuzGeometry_internal"},
    {"KDuzNurb_internal", "KDuzGeometry_internal"},
    {"KDuzNurbsCurve_internal", "KDuzGeometry_internal"},
    {"KDuzBoundary_internal", "KDuzGeometry_internal"},
    {"KDuzTrimNurbsSurface_internal", "KDuzGeometry_internal"},
    {"KDuzCluster_internal", "KDuzSubDeformer_internal"},
    {"KDuzSkin_internal", "KDuzDeformer_internal"},
    {"KDuzVertexCacheDeformer_internal", "KDuzSkin_internal"},
    {"KDuzCharacter_Internal", "KDuzConstraint_internal"},
    {"KDuzConstraintAim_internal", "KDuzConstraint_internal"},
    {"KDuzConstraintSingleChainIK_internal", "KDuzConstraint_internal"},
    {"KDuzConstraintParent_internal", "KDuzConstraint_internal"},
    {"KDuzConstraintScale_internal", "KDuzConstraint_internal"},
    {"KDuzConstraintRotation_internal", "KDuzConstraint_internal"},
    {"KDuzConstraintPosition_internal", "KDuzConstraint_internal"},
    {"KFCurveFilterMatrixConverter", "KFCurveFilter"},
    {"KFCurveFilterConstantKeyReducer", "KFCurveFilter"},
    {"KFCurveFilterUnroll", "KFCurveFilter"},
    {"KFCurveFilterResample", "KFCurveFilter"},
    {"KFCurveFilterTimeShiftAndScale", "KFCurveFilter"},
    {"KFCurveFilterGimbleKiller", "KFCurveFilter"},
    {"KFCurveFilterKeySync", "KFCurveFilter"},
    {"KFCurveFilterKeyReducer", "KFCurveFilter"},
    {"KObjectSet", "KFBObject"},
    {"KEntity", "KObjectSet"},
};

inline constexpr int kPlugTypeNone = -1;
inline constexpr int kPlugTypeKObject = 1;
inline constexpr int kPlugTypeKPlug = 2;
inline constexpr int kPlugTypeFirstFree = 3;
inline constexpr int kPlugTypeMaxNumber = 698;   // highest number the table holds

// The number a row of kPlugTypeRows receives: fixed for the first three,
// the running number from 3 for the others. -2 for an unknown name.
constexpr int PlugTypeNumberOf(std::string_view name) {
    int next = kPlugTypeFirstFree;
    for (const KPlugTypeRow& row : kPlugTypeRows) {
        std::string_view rowName(row.name);
        int number;
        if (rowName == "None") number = kPlugTypeNone;
        else if (rowName == "KObject") number = kPlugTypeKObject;
        else if (rowName == "KPlug") number = kPlugTypeKPlug;
        else number = next++;
        if (rowName == name) return number;
    }
    return -2;
}

inline constexpr int kPlugTypeKProperty = PlugTypeNumberOf("KProperty");
inline constexpr int kPlugTypeKDuzPlugInternal = PlugTypeNumberOf("KDuzPlug_internal");
inline constexpr int kPlugTypeKGenericObjectList = PlugTypeNumberOf("KGenericObjectList");
inline constexpr int kPlugTypeKObjectList = PlugTypeNumberOf("KObjectList");
inline constexpr int kPlugTypeKPropertyObjectList = PlugTypeNumberOf("KPropertyObjectList");
inline constexpr int kPlugTypeKEntity = PlugTypeNumberOf("KEntity");
inline constexpr int kPlugTypeKDuzObjectInternal = PlugTypeNumberOf("KDuzObject_internal");

// Fills a static record (owned false).
void PlugTypeInfoInit(KPlugTypeInfo* record, const char* name, KPlugTypeInfo* parent, int extra = 0);
// With -1 stores the record at the next free number and returns it; else at
// the given number. -1 when the number is out of range or the table is full.
int PlugTypeInfoRegister(KPlugTypeInfo* record, int number);
// The record's filter, or null for an empty or out-of-range number.
KPlugFilter* PlugTypeInfoGet(int number);
// The record registered under the number, or null.
KPlugTypeInfo* PlugTypeInfoGetRecord(int number);
// The record of a class registered from kPlugTypeRows, or null.
KPlugTypeInfo* PlugTypeInfoFindByName(std::string_view name);

// Frees every record marked owned (the plug system's last stop).
void PlugTypeInfoReleaseOwned();

}  // namespace duzsdk
