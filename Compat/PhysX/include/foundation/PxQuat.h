#pragma once
// Unit quaternion (x, y, z, w) for rotations, in PhysX's component order.

#include <cmath>

#include "foundation/PxVec3.h"

namespace physx {

class PxQuat {
public:
    PxQuat()
        : x(0.0f)
        , y(0.0f)
        , z(0.0f)
        , w(1.0f)
    {
    }
    PxQuat(PxIDENTITY)
        : x(0.0f)
        , y(0.0f)
        , z(0.0f)
        , w(1.0f)
    {
    }
    explicit PxQuat(PxReal r)
        : x(0.0f)
        , y(0.0f)
        , z(0.0f)
        , w(r)
    {
    }
    PxQuat(PxReal nx, PxReal ny, PxReal nz, PxReal nw)
        : x(nx)
        , y(ny)
        , z(nz)
        , w(nw)
    {
    }
    // Rotation of angleRadians about a unit axis.
    PxQuat(PxReal angleRadians, const PxVec3& unitAxis)
    {
        const PxReal s = std::sin(angleRadians * 0.5f);
        x = unitAxis.x * s;
        y = unitAxis.y * s;
        z = unitAxis.z * s;
        w = std::cos(angleRadians * 0.5f);
    }

    bool operator==(const PxQuat& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
    bool isIdentity() const { return x == 0.0f && y == 0.0f && z == 0.0f && w == 1.0f; }
    bool isFinite() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z) && std::isfinite(w); }
    bool isUnit() const { return isFinite() && std::fabs(magnitude() - 1.0f) < 1e-4f; }
    bool isSane() const { return isFinite() && std::fabs(magnitude() - 1.0f) < 1e-2f; }

    PxReal magnitudeSquared() const { return x * x + y * y + z * z + w * w; }
    PxReal magnitude() const { return std::sqrt(magnitudeSquared()); }
    PxReal normalize()
    {
        const PxReal m = magnitude();
        if (m > 0.0f) {
            const PxReal inv = 1.0f / m;
            x *= inv;
            y *= inv;
            z *= inv;
            w *= inv;
        }
        return m;
    }
    PxQuat getNormalized() const
    {
        PxQuat q(*this);
        q.normalize();
        return q;
    }
    PxQuat getConjugate() const { return PxQuat(-x, -y, -z, w); }
    PxVec3 getImaginaryPart() const { return PxVec3(x, y, z); }

    PxVec3 rotate(const PxVec3& v) const
    {
        const PxReal vx = 2.0f * v.x, vy = 2.0f * v.y, vz = 2.0f * v.z;
        const PxReal w2 = w * w - 0.5f;
        const PxReal dot2 = x * vx + y * vy + z * vz;
        return PxVec3(vx * w2 + (y * vz - z * vy) * w + x * dot2, vy * w2 + (z * vx - x * vz) * w + y * dot2,
            vz * w2 + (x * vy - y * vx) * w + z * dot2);
    }
    PxVec3 rotateInv(const PxVec3& v) const { return getConjugate().rotate(v); }

    PxQuat operator*(const PxQuat& q) const
    {
        return PxQuat(w * q.x + q.w * x + y * q.z - q.y * z, w * q.y + q.w * y + z * q.x - q.z * x,
            w * q.z + q.w * z + x * q.y - q.x * y, w * q.w - x * q.x - y * q.y - z * q.z);
    }
    PxQuat operator-() const { return PxQuat(-x, -y, -z, -w); }

    PxReal x, y, z, w;
};

} // namespace physx
