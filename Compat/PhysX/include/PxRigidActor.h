#pragma once
// An actor with a pose and shapes. Releasing it removes it from its scene and drops its references
// to its shapes, which releases the shapes nobody else holds.

#include "PxActor.h"
#include "foundation/PxTransform.h"

namespace physx {

class PxShape;

class PxRigidActor : public PxActor {
public:
    virtual PxTransform getGlobalPose() const = 0;
    // Teleports the actor; autowake wakes a sleeping dynamic actor.
    virtual void setGlobalPose(const PxTransform& pose, bool autowake = true) = 0;

    // Takes a reference to the shape. Fails (false, with a reported error) for an exclusive shape
    // already attached elsewhere, and for triangle-mesh simulation shapes on dynamic actors.
    virtual bool attachShape(PxShape& shape) = 0;
    virtual void detachShape(PxShape& shape, bool wakeOnLostTouch = true) = 0;
    virtual PxU32 getNbShapes() const = 0;
    virtual PxU32 getShapes(PxShape** userBuffer, PxU32 bufferSize, PxU32 startIndex = 0) const = 0;

protected:
    using PxActor::PxActor;
};

} // namespace physx
