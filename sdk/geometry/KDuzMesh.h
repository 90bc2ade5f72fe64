// The polygon geometry: polygons as runs of corners in one flat array of
// control-point indices, over the control points and layers of the
// geometry. Readers build it polygon by polygon; the game reads the
// polygons, the control points and layer 0's normals, UVs and materials.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/geometry/KDuzGeometry.h"

namespace duzsdk {

// One polygon: its first corner in the polygon-vertex array, its corner
// count and its polygon group (-1 for none).
struct KDuzMeshPolygon {
    int mStart = 0;
    int mSize = 0;
    int mGroup = -1;
};

class KDuzMesh_internal : public KDuzGeometry_internal {
public:
    explicit KDuzMesh_internal(KDuzObject* object) : KDuzGeometry_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzMesh : public KDuzGeometry {
public:
    KDuzMesh(KDuzSdkManager* manager, const char* name);
    ~KDuzMesh() override;

    // Through the manager's CreateObject; null without a manager.
    static KDuzMesh* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- KDuzPlug / KDuzObject / attribute ----
    KClassId GetClassId() const override;
    void PostCreate() override;
    // Clone type 2: a new mesh of the same name with this mesh's contents;
    // null for any other type.
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("Mesh"); }
    int GetAttributeType() const override { return eMesh; }

    // ---- building ----
    // Appends a polygon starting at the current corner count (layer 0 is
    // made when missing) and records the material and, with withTexture,
    // the texture index for by-polygon index elements.
    void BeginPolygon(int material = -1, int texture = -1, int group = -1, bool withTexture = true);
    // Appends a corner to the last polygon begun; a UV index other than -1
    // goes to the diffuse UV element when it maps by polygon vertex through
    // indices. Without a polygon begun the corner is dropped.
    void AddPolygon(int index, int uvIndex = -1);
    // Nothing to do: a polygon is complete once its corners are added.
    void EndPolygon() {}

    // ---- polygons ----
    int GetPolygonCount() const { return mPolygons.Count(); }
    // -1 outside 0 .. count - 1.
    int GetPolygonSize(int polygon) const;
    int GetPolygonGroup(int polygon) const;
    // The corner's control-point index; -1 for a polygon or position out of range.
    int GetPolygonVertex(int polygon, int position) const;
    // Every polygon's control-point indices in order; GetPolygonVertexCount
    // entries when every corner came through AddPolygon.
    int* GetPolygonVertices() { return mPolygonVertices.Data(); }
    const int* GetPolygonVertices() const { return mPolygonVertices.Data(); }
    // The sum of the polygon sizes.
    int GetPolygonVertexCount() const;
    KTypedArray<KDuzMeshPolygon>& GetPolygonArray() { return mPolygons; }
    const KTypedArray<KDuzMeshPolygon>& GetPolygonArray() const { return mPolygons; }
    KTypedArray<int>& GetPolygonVertexArray() { return mPolygonVertices; }
    const KTypedArray<int>& GetPolygonVertexArray() const { return mPolygonVertices; }
    // True when every polygon lies inside the polygon-vertex array and every
    // corner names an existing control point. Data from a file is checked
    // with this before it is walked by control-point index.
    bool CheckPolygonVertices() const;

    // ---- layer 0 ----
    // The UV index of a corner for by-polygon-vertex, index-to-direct UVs;
    // -1 otherwise or out of range.
    int GetTextureUVIndex(int polygon, int position, int channel = 3) const;
    // The material element's mode; 0 without one.
    int GetMaterialMappingMode() const;
    // The UV element's mode when 1 or 2, else 0.
    int GetTextureUVMappingMode(int channel = 3) const;
    // The diffuse texture element's mode when 3 or 5, else 0.
    int GetTextureMappingMode() const;
    // The normal element's mode when 1 or 2, else 1.
    int GetNormalMappingMode() const;
    // The UV element's direct entries; null when missing.
    KgeUVVector* GetTextureUV(int channel = 3) const;
    int GetTextureUVCount(int channel = 3) const;
    // The index arrays of layer 0's material (diffuse texture) element for
    // reference modes 1 and 2; null otherwise.
    int* GetMaterialIndices() const;
    int* GetTextureIndices() const;

    // Each makes layer 0 and the element when missing (channel 0 is 3).
    // Empties the UVs and sizes them to count zero entries.
    bool InitTextureUV(int count, int channel = 3);
    // Appends a UV when layer 0 has the UV element; nothing otherwise.
    void AddTextureUV(const KgeUVVector& uv, int channel = 3);
    // Empties both arrays; mode 1: by control point, direct; 2: by polygon
    // vertex, index to direct; 5: all same, direct; other: none, direct.
    bool InitTextureUVIndices(int mode, int channel = 3);
    // Index to direct, empty indices; mode 1: by control point with one
    // index per control point (none without points); 3: by polygon; other:
    // all same with one index.
    bool InitMaterialIndices(int mode);
    // Index to direct, empty indices; mode 3: by polygon; other: all same
    // with one index.
    bool InitTextureIndices(int mode);
    // Averages the corner normals around each control point into layer 0's
    // normals, by control point; (0, 0, 0, 1) where there is nothing to average.
    bool ComputeVertexNormals(bool clockwise = false);

    // ---- edges ----
    int GetMeshEdgeCount() const { return mEdges.Count(); }
    bool SetMeshEdgeCount(int count);
    // Stores when 0 <= index < count; index in every case.
    int SetMeshEdge(int index, int value);
    // -1 outside 0 .. count - 1.
    int GetMeshEdge(int index) const { return mEdges.GetAt(index, -1); }

    // ---- grid information of meshes made from grids ----
    int GetUCount() const { return mUCount; }
    void SetUCount(int value) { mUCount = value; }
    int GetVCount() const { return mVCount; }
    void SetVCount(int value) { mVCount = value; }
    int GetUExtendedCount() const { return mUExtendedCount; }
    void SetUExtendedCount(int value) { mUExtendedCount = value; }
    int GetVExtendedCount() const { return mVExtendedCount; }
    void SetVExtendedCount(int value) { mVExtendedCount = value; }
    int GetUStep() const { return mUStep; }
    void SetUStep(int value) { mUStep = value; }
    int GetVStep() const { return mVStep; }
    void SetVStep(int value) { mVStep = value; }
    bool GetUClosed() const { return mUClosed; }
    void SetUClosed(bool value) { mUClosed = value; }
    bool GetVClosed() const { return mVClosed; }
    void SetVClosed(bool value) { mVClosed = value; }
    bool GetUTopCap() const { return mUTopCap; }
    void SetUTopCap(bool value) { mUTopCap = value; }
    bool GetVTopCap() const { return mVTopCap; }
    void SetVTopCap(bool value) { mVTopCap = value; }

    // ---- copy and reset ----
    // The geometry part, then polygons, corners, edges and grid information.
    bool CopyFrom(const KDuzMesh& other);
    // No polygons, corners, edges, control points or layers; grid
    // information zero.
    void Reset();

private:
    KDuzLayer* GetOrCreateLayer0();
    KDuzLayer* GetLayer0() const { return GetLayer(0); }
    // The diffuse channel stands for channel 0.
    static int NormaliseChannel(int channel) { return channel == 0 ? 3 : channel; }
    // The channel's UV element of layer 0, made when missing; null when the
    // channel is none or something cannot be made.
    KDuzLayerElementUV* GetOrCreateUVElement(int channel);

    int mUCount = 0;
    int mVCount = 0;
    int mUExtendedCount = 0;
    int mVExtendedCount = 0;
    int mUStep = 0;
    int mVStep = 0;
    bool mUClosed = false;
    bool mVClosed = false;
    bool mUTopCap = false;
    bool mVTopCap = false;
    // Small blocks, so a small mesh stays small; larger ones grow by a
    // quarter at a time, and a reader sizes them once from the file.
    KTypedArray<KDuzMeshPolygon> mPolygons{8};
    KTypedArray<int> mPolygonVertices{32};
    KTypedArray<int> mEdges{16};
};

}  // namespace duzsdk
