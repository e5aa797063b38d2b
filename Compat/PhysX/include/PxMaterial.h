#pragma once
// Surface properties of shapes. Pairs combine their two materials by averaging, PhysX's default.

#include "common/PxBase.h"

namespace physx {

class PxMaterial : public PxRefCounted {
public:
    virtual void setDynamicFriction(PxReal coef) = 0;
    virtual PxReal getDynamicFriction() const = 0;
    virtual void setStaticFriction(PxReal coef) = 0;
    virtual PxReal getStaticFriction() const = 0;
    virtual void setRestitution(PxReal rest) = 0;
    virtual PxReal getRestitution() const = 0;

    void* userData = nullptr;

protected:
    using PxRefCounted::PxRefCounted;
};

} // namespace physx
