#pragma once
// Three single-precision components; PhysX's vector type for points, directions and extents.

#include <cmath>

#include "foundation/PxSimpleTypes.h"

namespace physx {

class PxVec3 {
public:
    // Zero rather than uninitialised, as PhysX leaves it: a forgotten member reads as zero, not as garbage.
    PxVec3()
        : x(0.0f)
        , y(0.0f)
        , z(0.0f)
    {
    }
    PxVec3(PxZERO)
        : x(0.0f)
        , y(0.0f)
        , z(0.0f)
    {
    }
    explicit PxVec3(PxReal a)
        : x(a)
        , y(a)
        , z(a)
    {
    }
    PxVec3(PxReal nx, PxReal ny, PxReal nz)
        : x(nx)
        , y(ny)
        , z(nz)
    {
    }

    PxReal& operator[](unsigned int index) { return (&x)[index]; }
    const PxReal& operator[](unsigned int index) const { return (&x)[index]; }

    bool operator==(const PxVec3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const PxVec3& v) const { return !(*this == v); }

    bool isZero() const { return x == 0.0f && y == 0.0f && z == 0.0f; }
    bool isFinite() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }
    bool isNormalized() const { return isFinite() && std::fabs(magnitude() - 1.0f) < 1e-4f; }

    PxReal magnitudeSquared() const { return x * x + y * y + z * z; }
    PxReal magnitude() const { return std::sqrt(magnitudeSquared()); }

    PxVec3 operator-() const { return PxVec3(-x, -y, -z); }
    PxVec3 operator+(const PxVec3& v) const { return PxVec3(x + v.x, y + v.y, z + v.z); }
    PxVec3 operator-(const PxVec3& v) const { return PxVec3(x - v.x, y - v.y, z - v.z); }
    PxVec3 operator*(PxReal f) const { return PxVec3(x * f, y * f, z * f); }
    PxVec3 operator/(PxReal f) const { return PxVec3(x / f, y / f, z / f); }
    PxVec3& operator+=(const PxVec3& v)
    {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    PxVec3& operator-=(const PxVec3& v)
    {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        return *this;
    }
    PxVec3& operator*=(PxReal f)
    {
        x *= f;
        y *= f;
        z *= f;
        return *this;
    }
    PxVec3& operator/=(PxReal f)
    {
        x /= f;
        y /= f;
        z /= f;
        return *this;
    }

    PxReal dot(const PxVec3& v) const { return x * v.x + y * v.y + z * v.z; }
    PxVec3 cross(const PxVec3& v) const { return PxVec3(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x); }

    PxVec3 getNormalized() const
    {
        const PxReal m = magnitudeSquared();
        return m > 0.0f ? *this * (1.0f / std::sqrt(m)) : PxVec3(0.0f);
    }
    PxReal normalize()
    {
        const PxReal m = magnitude();
        if (m > 0.0f)
            *this /= m;
        return m;
    }

    PxVec3 multiply(const PxVec3& a) const { return PxVec3(x * a.x, y * a.y, z * a.z); }
    PxVec3 minimum(const PxVec3& v) const { return PxVec3(std::fmin(x, v.x), std::fmin(y, v.y), std::fmin(z, v.z)); }
    PxVec3 maximum(const PxVec3& v) const { return PxVec3(std::fmax(x, v.x), std::fmax(y, v.y), std::fmax(z, v.z)); }
    PxVec3 abs() const { return PxVec3(std::fabs(x), std::fabs(y), std::fabs(z)); }
    PxReal minElement() const { return std::fmin(x, std::fmin(y, z)); }
    PxReal maxElement() const { return std::fmax(x, std::fmax(y, z)); }

    PxReal x, y, z;
};

inline PxVec3 operator*(PxReal f, const PxVec3& v)
{
    return PxVec3(f * v.x, f * v.y, f * v.z);
}

} // namespace physx
