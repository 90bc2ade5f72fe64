// What every real geometry shares over its control points and layers: the
// shapes (blend targets) with their animated weight channels in the node's
// take nodes, a pivot matrix and an error object.
#pragma once

#include "sdk/base/KErrorState.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/geometry/KDuzGeometryBase.h"
#include "sdk/object/KPlugHandle.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace duzsdk {

class KDuzCluster;
class KDuzDeformer;
class KDuzGeometry;
class KDuzShape;
class KFCurve;
class KFCurveNode;

class KDuzGeometry_internal : public KDuzNodeAttribute_internal {
public:
    explicit KDuzGeometry_internal(KDuzObject* object) : KDuzNodeAttribute_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

// The geometry's messages, by error code.
inline constexpr const char* kDuzGeometryErrorTexts[] = {
    "Parameter out of range.", "Parameter is NULL.",    "Material not found.",
    "Material already added.", "Texture not found.",    "Texture already added.",
    "Shape already added.",    "Shape name is invalid.", "Shape name is already used.",
    "No shape curve found.",
};

// Display colours of the shape channels, by shape index modulo 20.
inline constexpr float kDuzShapeChannelColors[20][3] = {
    {1.0f, 0.0f, 0.0f},    {0.0f, 1.0f, 0.0f},   {0.0f, 0.0f, 1.0f},    {1.0f, 1.0f, 0.0f},
    {0.0f, 1.0f, 1.0f},    {1.0f, 0.0f, 1.0f},   {0.47f, 0.0f, 0.0f},   {0.3f, 0.61f, 0.0f},
    {0.51f, 0.75f, 1.0f},  {1.0f, 0.49f, 0.0f},  {0.57f, 0.0f, 1.0f},   {1.0f, 0.78f, 1.0f},
    {0.0f, 0.35f, 0.0f},   {1.0f, 0.98f, 0.61f}, {0.65f, 0.49f, 0.31f}, {0.8f, 0.8f, 0.8f},
    {0.78f, 1.0f, 0.61f},  {1.0f, 0.86f, 0.73f}, {0.37f, 0.0f, 0.37f},  {0.65f, 0.65f, 0.0f},
};

class KDuzGeometry : public KDuzGeometryBase {
public:
    enum EError {
        eParameterOutOfRange = 0,
        eParameterIsNull,
        eMaterialNotFound,
        eMaterialAlreadyAdded,
        eTextureNotFound,
        eTextureAlreadyAdded,
        eShapeAlreadyAdded,
        eShapeNameIsInvalid,
        eShapeNameIsAlreadyUsed,
        eNoShapeCurveFound,
        eErrorCount
    };

    KDuzGeometry(KDuzSdkManager* manager, const char* name);
    ~KDuzGeometry() override;

    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- KDuzPlug / KDuzObject / attribute ----
    KClassId GetClassId() const override;
    void PostCreate() override;
    // Forgets the shapes (they are objects of their own), then what every
    // object owns.
    void DestroyContents(bool recursive, bool dependents) override;
    // One weight channel per shape.
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;
    // Shape weight channels are the only ones a geometry adds.
    bool AddsTakeChannels() const override { return GetShapeCount() > 0; }
    void RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) override;
    void ConnectToScene(KDuzObject* scene) override;
    // Attaches, then gives the geometry a "Shape" property per shape.
    void SetNode(KDuzNode* node) override;

    // ---- deformers (connected sources, in connection order) ----
    // Connects the deformer; the former deformer count, or -1 for null or a
    // refused connection.
    int AddDeformer(KDuzDeformer* deformer);
    int GetDeformerCount() const;
    KDuzDeformer* GetDeformer(int index) const;
    // Type 0 counts every deformer, another type those of that kind.
    int GetDeformerCountOfType(int type) const;
    // The n-th deformer of the type (type 0: of any); error 0 and null when
    // there is none.
    KDuzDeformer* GetDeformerOfType(int n, int type);
    // Error 0 and null outside 0 .. count - 1; else disconnects the
    // deformer and gives it back.
    KDuzDeformer* RemoveDeformer(int index);
    // Connects the cluster to the first skin (made when there is none); the
    // skin's former cluster count, or -1 when refused.
    int AddClusterToSkin(KDuzCluster* cluster);

    // ---- shapes ----
    // Checks in this order: null shape (error 1), shape already added (6),
    // empty name (7), name in use byte for byte (8), a name with "/" (7,
    // since channels are found by name under the take's root); each gives
    // -1. Otherwise appends the shape and its name and, on an attached
    // geometry, its property and its channel in every take; the index.
    virtual int AddShape(KDuzShape* shape, const char* name);
    // Removes the channels, empties the list; the shapes live on.
    virtual void ClearShape();
    // A shape destroyed elsewhere has left the list (its name with it).
    virtual int GetShapeCount() const;
    // Error 0 and null outside 0 .. count - 1.
    virtual KDuzShape* GetShape(int index);
    virtual const char* GetShapeName(int index);
    // The curve of shape index's channel in the take; error 9 and null when
    // there is none.
    virtual KFCurve* GetShapeChannel(KDuzTakeNode* takeNode, int index);
    // The channel's curve node, a child of the take's root named after the
    // shape (any case). Error 0 for a negative index, 1 for a null take.
    KFCurveNode* FindShapeChannelCurveNode(KDuzTakeNode* takeNode, int index);
    // The default of the channel in the node's default take; 0 when
    // detached or missing.
    double GetShapeChannelValue(int index);
    // Finds or makes the channel of shape i in the take and colours it.
    bool AddShapeChannelToTake(KDuzTakeNode* takeNode, int index);
    void RemoveShapeChannelFromTake(KDuzTakeNode* takeNode, int index);
    // On an attached geometry, a "Shape" property of that name, animatable,
    // value 0, when there is none yet.
    bool AddShapeProperty(const char* name);

    // ---- shape channel names in files ----
    // "Shape %02d (Shape)" of index + 1; empty for a negative index.
    static KString MakeDefaultShapeChannelName(int index);
    // The name without trailing white space, ending in " (Shape)".
    static KString MakeShapeChannelName(const char* name);
    // After reading, on an attached geometry other than a mesh: moves each
    // shape's channel found under its file name into the channel named
    // after the shape.
    void ConvertShapeChannelNames(KDuzTakeNode* takeNode);
    // Before writing (once per take): gives each shape its file name and
    // its channel the file's channel name, remembering the names in memory.
    void PrepareShapeChannelsForWrite(KDuzTakeNode* takeNode);
    // After writing (once per take): puts the remembered names back.
    void RestoreShapeChannelsAfterWrite(KDuzTakeNode* takeNode);
    // Forgets the remembered names once every take is restored.
    void ClearShapeChannelNames();

    // ---- pivot ----
    void GetPivot(KgeMatrix& out) const { out = mPivot; }
    void SetPivot(const KgeMatrix& pivot) { mPivot = pivot; }
    void CopyPivot(const KDuzGeometry& other) { mPivot = other.mPivot; }
    // Moves the control points by the pivot and turns the normals of every
    // layer by its rotation. The pivot itself stays.
    void ApplyPivot();
    // Pivot conversion's geometric step: the pivot P becomes P then factor
    // (KgeMatrixMultiplyAffine (P, factor)) and is applied. Does nothing for
    // an object that is not a geometry.
    static void AdjustPivotOf(KDuzObject* geometry, const KgeMatrix& factor);

    // ---- copy ----
    // The layers, control points, deformers, shapes and pivot.
    bool CopyFrom(const KDuzGeometry& other);
    // Destroys this geometry's deformers, then adds a clone (mode 2) of each
    // of the other's.
    bool CopyDeformers(const KDuzGeometry& other);
    // Destroys this geometry's shapes, then adds a copy of each of the
    // other's under the same name.
    bool CopyShapes(const KDuzGeometry& other);

    KErrorState& GetError() { return mError; }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    // Drops the shapes destroyed since the last look, with their names and
    // remembered names, so indices always reach live shapes.
    void DropDestroyedShapes() const;
    // Hands the scene to the deformers (and through them their clusters)
    // that have none yet.
    void ConnectDeformersToScene(KDuzObject* scene);
    KDuzShape* LiveShape(size_t index) const;
    // Whether the shape is already in the list, and in sameName whether the
    // name is; through an index once the lists are long, so that adding n
    // shapes stays linear.
    bool HasShape(const KDuzShape* shape, const char* name, bool* sameName) const;

    // Weak: the shapes are objects of the manager and may be destroyed
    // without the geometry knowing.
    mutable std::vector<HdlKObject> mShapes;
    mutable std::vector<KString> mShapeNames;
    // Between the write passes, per shape: the name in memory, the shape
    // name in the file and the channel name in the file.
    struct RememberedNames {
        KString memory;
        KString file;
        KString fileChannel;
    };
    mutable std::vector<RememberedNames> mRemembered;
    // The handle-release count at the last look for destroyed shapes: while
    // it stands still, no shape can have gone.
    mutable std::uint64_t mShapesCheckedAt = ~std::uint64_t(0);
    // The shapes and names of the lists, made on demand; dropped whenever the
    // lists change other than by AddShape.
    struct ShapeIndex {
        std::unordered_set<const KDuzShape*> shapes;
        std::unordered_set<std::string> names;
    };
    mutable std::unique_ptr<ShapeIndex> mShapeIndex;
    KgeMatrix mPivot;
    KErrorState mError;
};

}  // namespace duzsdk
