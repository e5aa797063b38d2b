#pragma once
// Simulation event reports. Contact reports are delivered inside PxScene::fetchResults, on the thread
// that calls it, once per actor pair with all of its shape pairs that have something to report.

#include "PxContact.h"
#include "PxFiltering.h"
#include "foundation/PxTransform.h"

namespace physx {

class PxActor;
class PxShape;
class PxConstraint;
class PxRigidBody;

struct PxContactPairHeaderFlag {
    enum Enum { eREMOVED_ACTOR_0 = (1 << 0), eREMOVED_ACTOR_1 = (1 << 1) };
};
using PxContactPairHeaderFlags = PxFlags<PxContactPairHeaderFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxContactPairHeaderFlag::Enum, PxU16)

struct PxContactPairFlag {
    enum Enum {
        eREMOVED_SHAPE_0 = (1 << 0),
        eREMOVED_SHAPE_1 = (1 << 1),
        eACTOR_PAIR_HAS_FIRST_TOUCH = (1 << 2),
        eACTOR_PAIR_LOST_TOUCH = (1 << 3),
        eINTERNAL_HAS_IMPULSES = (1 << 4),
        eINTERNAL_CONTACTS_ARE_FLIPPED = (1 << 5)
    };
};
using PxContactPairFlags = PxFlags<PxContactPairFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxContactPairFlag::Enum, PxU16)

struct PxContactPairPoint {
    PxVec3 position;
    PxReal separation;
    PxVec3 normal; // from the second shape towards the first
    PxU32 internalFaceIndex0;
    PxVec3 impulse;
    PxU32 internalFaceIndex1;
};

struct PxContactPair {
    // Copies the pair's contact points into userBuffer; returns how many were written.
    PxU32 extractContacts(PxContactPairPoint* userBuffer, PxU32 bufferSize) const;

    PxShape* shapes[2];
    // Contact stream: contactCount PxContact records (position first), then two face indices per contact.
    // Never null, even for a pair without points.
    const PxU8* contactPatches;
    const PxU8* contactPoints;
    const PxReal* contactImpulses;
    PxU32 requiredBufferSize;
    PxU8 contactCount;
    PxU8 patchCount;
    PxU16 contactStreamSize;
    PxContactPairFlags flags;
    PxPairFlags events;
    PxU32 internalData[2];
};

struct PxContactPairHeader {
    // When flags hold eREMOVED_ACTOR_x, actor x has left the scene; the stand-in keeps its memory
    // valid until this report has been delivered even if it was released in the meantime.
    PxActor* actors[2];
    const PxU8* extraDataStream;
    PxU16 extraDataStreamSize;
    PxContactPairHeaderFlags flags;
    const PxContactPair* pairs;
    PxU32 nbPairs;
};

struct PxConstraintInfo {
    PxConstraint* constraint;
    void* externalReference;
    PxU32 type;
};

struct PxTriggerPair;

class PxSimulationEventCallback {
public:
    virtual void onConstraintBreak(PxConstraintInfo* constraints, PxU32 count) = 0;
    virtual void onWake(PxActor** actors, PxU32 count) = 0;
    virtual void onSleep(PxActor** actors, PxU32 count) = 0;
    virtual void onContact(const PxContactPairHeader& pairHeader, const PxContactPair* pairs, PxU32 nbPairs) = 0;
    virtual void onTrigger(PxTriggerPair* pairs, PxU32 count) = 0;
    virtual void onAdvance(const PxRigidBody* const* bodyBuffer, const PxTransform* poseBuffer, const PxU32 count) = 0;
    virtual ~PxSimulationEventCallback() = default;
};

} // namespace physx
