#pragma once

namespace duzsdk {

// Three values of one type, as the public property layer hands out a
// three-double value (kind 5). Value-initialised to zero.
template <typename T>
class duzVectorTemplate3 {
public:
    duzVectorTemplate3() = default;
    duzVectorTemplate3(T x, T y, T z) : mData{x, y, z} {}

    T& operator[](int i) { return mData[i < 0 ? 0 : (i > 2 ? 2 : i)]; }
    const T& operator[](int i) const { return mData[i < 0 ? 0 : (i > 2 ? 2 : i)]; }
    T* Buffer() { return mData; }
    const T* Buffer() const { return mData; }

    bool operator==(const duzVectorTemplate3& other) const {
        return mData[0] == other.mData[0] && mData[1] == other.mData[1] &&
               mData[2] == other.mData[2];
    }

private:
    T mData[3] = {T(), T(), T()};
};

}  // namespace duzsdk
