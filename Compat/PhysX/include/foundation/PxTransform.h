#pragma once
// A rigid transform: rotation q then translation p. PhysX's pose type for actors and shapes.

#include "foundation/PxQuat.h"

namespace physx {

class PxTransform {
public:
    PxTransform()
        : p(0.0f)
        , q(PxIdentity)
    {
    }
    PxTransform(PxIDENTITY)
        : p(0.0f)
        , q(PxIdentity)
    {
    }
    explicit PxTransform(const PxVec3& position)
        : p(position)
        , q(PxIdentity)
    {
    }
    explicit PxTransform(const PxQuat& orientation)
        : p(0.0f)
        , q(orientation)
    {
    }
    PxTransform(PxReal x, PxReal y, PxReal z, PxQuat aQ = PxQuat(PxIdentity))
        : p(x, y, z)
        , q(aQ)
    {
    }
    PxTransform(const PxVec3& p0, const PxQuat& q0)
        : p(p0)
        , q(q0)
    {
    }

    bool operator==(const PxTransform& t) const { return p == t.p && q == t.q; }
    bool operator!=(const PxTransform& t) const { return !(*this == t); }

    // (this * x) applies x first, then this.
    PxTransform operator*(const PxTransform& x) const { return transform(x); }
    PxTransform transform(const PxTransform& src) const { return PxTransform(q.rotate(src.p) + p, q * src.q); }
    PxTransform transformInv(const PxTransform& src) const
    {
        const PxQuat qinv = q.getConjugate();
        return PxTransform(qinv.rotate(src.p - p), qinv * src.q);
    }
    PxVec3 transform(const PxVec3& input) const { return q.rotate(input) + p; }
    PxVec3 transformInv(const PxVec3& input) const { return q.rotateInv(input - p); }
    PxVec3 rotate(const PxVec3& input) const { return q.rotate(input); }
    PxVec3 rotateInv(const PxVec3& input) const { return q.rotateInv(input); }
    PxTransform getInverse() const { return PxTransform(q.rotateInv(-p), q.getConjugate()); }
    PxTransform getNormalized() const { return PxTransform(p, q.getNormalized()); }

    bool isValid() const { return p.isFinite() && q.isFinite() && q.isUnit(); }
    bool isSane() const { return p.isFinite() && q.isSane(); }
    bool isFinite() const { return p.isFinite() && q.isFinite(); }

    PxVec3 p;
    PxQuat q;
};

} // namespace physx
