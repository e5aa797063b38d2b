#pragma once
// An actor that never moves by simulation. Outside a scene it still holds its pose and shapes, so
// geometry queries on it work, but nothing collides with it and scene queries never hit it.

#include "PxRigidActor.h"

namespace physx {

class PxRigidStatic : public PxRigidActor {
protected:
    PxRigidStatic()
        : PxRigidActor(PxConcreteType::eRIGID_STATIC)
    {
    }
};

} // namespace physx
