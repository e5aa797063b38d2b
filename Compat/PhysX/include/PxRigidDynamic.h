#pragma once
// A simulated moving actor.

#include "PxRigidBody.h"

namespace physx {

class PxRigidDynamic : public PxRigidBody {
public:
    // autowake wakes the actor when the new velocity is non-zero.
    virtual void setLinearVelocity(const PxVec3& linVel, bool autowake = true) = 0;
    virtual void setAngularVelocity(const PxVec3& angVel, bool autowake = true) = 0;
    virtual bool isSleeping() const = 0;
    virtual void wakeUp() = 0;
    virtual void putToSleep() = 0;
    virtual void setSleepThreshold(PxReal threshold) = 0;
    virtual PxReal getSleepThreshold() const = 0;

protected:
    PxRigidDynamic()
        : PxRigidBody(PxConcreteType::eRIGID_DYNAMIC)
    {
    }
};

} // namespace physx
