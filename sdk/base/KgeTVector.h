#pragma once

namespace duzsdk {

// Four doubles x, y, z, w. A default-constructed (cleared) vector is
// (0, 0, 0, 0); properties that want a point give (0, 0, 0, 1) themselves.
// Arithmetic acts on all four components; the geometric operations (dot and
// cross products, length, normalisation, equality) look at x, y, z only.
class KgeTVector {
public:
    KgeTVector() = default;
    KgeTVector(double x, double y, double z, double w) : mData{x, y, z, w} {}
    explicit KgeTVector(const double* xyzw);

    void SetXYZW(double x, double y, double z, double w);
    void CopyFrom(const double* xyzw);
    void CopyFrom(const KgeTVector& other) { *this = other; }

    // Component i (0 x, 1 y, 2 z, 3 w). GetElement gives 0 and SetElement does
    // nothing for an index outside 0..3; the reference form clamps the index.
    double GetElement(int i) const;
    void SetElement(int i, double value);
    double& ElementRef(int i);
    const double& ElementRef(int i) const;
    double& operator[](int i) { return ElementRef(i); }
    const double& operator[](int i) const { return ElementRef(i); }

    double* Data() { return mData; }
    const double* Data() const { return mData; }

    KgeTVector operator+(const KgeTVector& other) const;
    KgeTVector operator-(const KgeTVector& other) const;
    KgeTVector operator-() const;
    KgeTVector operator*(double s) const;
    KgeTVector operator/(double s) const;
    KgeTVector& operator+=(const KgeTVector& other);
    KgeTVector& operator-=(const KgeTVector& other);
    KgeTVector& operator*=(double s);
    KgeTVector& operator/=(double s);

    // The names other code uses for the operators above.
    KgeTVector Add(const KgeTVector& other) const { return *this + other; }
    KgeTVector Subtract(const KgeTVector& other) const { return *this - other; }
    KgeTVector Negate() const { return -*this; }
    KgeTVector Multiply(double s) const { return *this * s; }
    KgeTVector Divide(double s) const { return *this / s; }
    KgeTVector& AddAssign(const KgeTVector& other) { return *this += other; }
    KgeTVector& MultiplyAssign(double s) { return *this *= s; }
    KgeTVector& DivideAssign(double s) { return *this /= s; }

    // Over x, y, z only.
    double DotProduct(const KgeTVector& other) const;
    double Length() const;
    // w of the result is 0.
    KgeTVector CrossProduct(const KgeTVector& other) const;
    // x, y, z to unit length (a zero vector stays zero); w unchanged.
    KgeTVector& Normalize();
    // x, y, z each within 1e-6; w is ignored.
    bool IsEqual(const KgeTVector& other) const;

private:
    double mData[4] = {0.0, 0.0, 0.0, 0.0};
};

// Colours share the layout and operations of KgeTVector; they are types of their
// own so that typed properties can tell a colour from a vector.
class KgeRGBVector : public KgeTVector {
public:
    using KgeTVector::KgeTVector;
    KgeRGBVector() = default;
    explicit KgeRGBVector(const KgeTVector& v) : KgeTVector(v) {}
};

class KgeRGBAVector : public KgeTVector {
public:
    using KgeTVector::KgeTVector;
    KgeRGBAVector() = default;
    explicit KgeRGBAVector(const KgeTVector& v) : KgeTVector(v) {}
};

static_assert(sizeof(KgeTVector) == 32, "KgeTVector is stored as 32-byte array elements");

}  // namespace duzsdk
