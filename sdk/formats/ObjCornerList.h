// The face corners of one OBJ group: position, uv and normal indices in
// three lists, the uv and normal lists made only once a corner has one (the
// corners before it get -1). A file of bare "f 1 2 3" faces costs one int
// per corner instead of three.
#pragma once
#include <cstddef>

#include "sdk/formats/ObjBlockArray.h"

namespace duzsdk {

// One corner of a face: 0-based position, uv and normal indices (-1: none).
struct ObjIndexTriple {
    int vertex = -1;
    int uv = -1;
    int normal = -1;
};

class ObjCornerList {
public:
    size_t size() const { return mVertices.size(); }

    void push_back(const ObjIndexTriple& corner) {
        if (corner.uv >= 0) Make(mUvs);
        if (corner.normal >= 0) Make(mNormals);
        mVertices.push_back(corner.vertex);
        if (mUvs.made) mUvs.list.push_back(corner.uv);
        if (mNormals.made) mNormals.list.push_back(corner.normal);
    }
    ObjIndexTriple operator[](size_t index) const {
        return ObjIndexTriple{mVertices[index], mUvs.made ? mUvs.list[index] : -1,
                              mNormals.made ? mNormals.list[index] : -1};
    }
    int Vertex(size_t index) const { return mVertices[index]; }
    void SetVertex(size_t index, int vertex) { mVertices[index] = vertex; }
    void SetNormal(size_t index, int normal) {
        Make(mNormals);
        mNormals.list[index] = normal;
    }
    // Drops the corners from `count` on.
    void Truncate(size_t count) {
        mVertices.Truncate(count);
        mUvs.list.Truncate(count);
        mNormals.list.Truncate(count);
    }
    // Frees the uv and normal indices once only the positions are needed.
    void ClearUvsAndNormals() {
        mUvs = Optional();
        mNormals = Optional();
    }

private:
    struct Optional {
        ObjBlockArray<int> list;
        bool made = false;
    };
    // Makes the list, -1 for every corner so far.
    void Make(Optional& optional) {
        if (optional.made) return;
        optional.made = true;
        for (size_t i = 0; i < mVertices.size(); ++i) optional.list.push_back(-1);
    }

    ObjBlockArray<int> mVertices;
    Optional mUvs;
    Optional mNormals;
};

}  // namespace duzsdk
