#pragma once
// Contact point records as they appear in contact reports and in contact modification.

#include "foundation/PxVec3.h"

namespace physx {

struct PxContact {
    PxVec3 contact; // position, world space
    PxReal separation; // negative when penetrating
};

struct PxExtendedContact : public PxContact {
    PxVec3 targetVelocity;
    PxReal maxImpulse;
};

struct PxModifiableContact : public PxExtendedContact {
    PxVec3 normal; // from the second shape towards the first
    PxReal restitution;
    PxU32 materialFlags;
    PxU16 materialIndex0;
    PxU16 materialIndex1;
    PxReal staticFriction;
    PxReal dynamicFriction;
};

// One group of contacts sharing a normal. The stand-in writes one patch per contact point.
struct PxContactPatch {
    PxVec3 normal;
    PxReal restitution;
    PxReal dynamicFriction;
    PxReal staticFriction;
    PxU16 startContactIndex;
    PxU8 nbContacts;
    PxU8 materialFlags;
};

} // namespace physx
