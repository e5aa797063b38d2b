#pragma once
// Mass, velocity and damping of a moving actor.

#include "PxRigidActor.h"

namespace physx {

struct PxRigidBodyFlag {
    enum Enum {
        eKINEMATIC = (1 << 0),
        eUSE_KINEMATIC_TARGET_FOR_SCENE_QUERIES = (1 << 1),
        eENABLE_CCD = (1 << 2),
        eENABLE_CCD_FRICTION = (1 << 3),
        eENABLE_SPECULATIVE_CCD = (1 << 4),
        eENABLE_POSE_INTEGRATION_PREVIEW = (1 << 5),
        eENABLE_CCD_MAX_CONTACT_IMPULSE = (1 << 6),
        eRETAIN_ACCELERATIONS = (1 << 7),
        eFORCE_KINE_KINE_NOTIFICATIONS = (1 << 8),
        eFORCE_STATIC_KINE_NOTIFICATIONS = (1 << 9),
        eENABLE_GYROSCOPIC_FORCES = (1 << 10)
    };
};
using PxRigidBodyFlags = PxFlags<PxRigidBodyFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxRigidBodyFlag::Enum, PxU16)

struct PxForceMode {
    enum Enum { eFORCE, eIMPULSE, eVELOCITY_CHANGE, eACCELERATION };
};

class PxRigidBody : public PxRigidActor {
public:
    // Mass only: the inertia tensor stays as set by setMassSpaceInertiaTensor (default 1, 1, 1).
    virtual void setMass(PxReal mass) = 0;
    virtual PxReal getMass() const = 0;
    virtual PxReal getInvMass() const = 0;
    virtual void setMassSpaceInertiaTensor(const PxVec3& m) = 0;
    virtual PxVec3 getMassSpaceInertiaTensor() const = 0;

    virtual PxVec3 getLinearVelocity() const = 0;
    virtual PxVec3 getAngularVelocity() const = 0;
    virtual void setLinearDamping(PxReal linDamp) = 0;
    virtual PxReal getLinearDamping() const = 0;
    virtual void setAngularDamping(PxReal angDamp) = 0;
    virtual PxReal getAngularDamping() const = 0;

    virtual void addForce(const PxVec3& force, PxForceMode::Enum mode = PxForceMode::eFORCE, bool autowake = true) = 0;

    virtual void setRigidBodyFlag(PxRigidBodyFlag::Enum flag, bool value) = 0;
    virtual void setRigidBodyFlags(PxRigidBodyFlags inFlags) = 0;
    virtual PxRigidBodyFlags getRigidBodyFlags() const = 0;

protected:
    using PxRigidActor::PxRigidActor;
};

} // namespace physx
