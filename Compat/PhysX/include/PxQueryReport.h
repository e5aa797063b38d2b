#pragma once
// Scene-query hits and the buffers they are returned in.

#include "foundation/PxFlags.h"
#include "foundation/PxVec3.h"

namespace physx {

class PxRigidActor;
class PxShape;

struct PxHitFlag {
    enum Enum {
        ePOSITION = (1 << 0),
        eNORMAL = (1 << 1),
        eUV = (1 << 3),
        eASSUME_NO_INITIAL_OVERLAP = (1 << 4),
        eANY_HIT = (1 << 5),
        eMESH_MULTIPLE = (1 << 6),
        eMESH_ANY = eANY_HIT,
        eMESH_BOTH_SIDES = (1 << 7),
        ePRECISE_SWEEP = (1 << 8),
        eMTD = (1 << 9),
        eFACE_INDEX = (1 << 10),
        eDEFAULT = ePOSITION | eNORMAL | eFACE_INDEX,
        eMODIFIABLE_FLAGS = eMESH_MULTIPLE | eMESH_BOTH_SIDES | eASSUME_NO_INITIAL_OVERLAP | ePRECISE_SWEEP
    };
};
using PxHitFlags = PxFlags<PxHitFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxHitFlag::Enum, PxU16)

struct PxActorShape {
    PxRigidActor* actor = nullptr;
    PxShape* shape = nullptr;
};

struct PxQueryHit {
    PxU32 faceIndex = 0xffffffffu;
};

struct PxLocationHit : public PxQueryHit {
    PxHitFlags flags;
    PxVec3 position;
    PxVec3 normal;
    PxReal distance = PX_MAX_F32;
};

struct PxGeomRaycastHit : public PxLocationHit {
    PxReal u = 0.0f, v = 0.0f;
};

struct PxRaycastHit : public PxGeomRaycastHit, public PxActorShape {};

template <typename HitType>
struct PxHitCallback {
    HitType block;
    bool hasBlock;
    HitType* touches;
    PxU32 maxNbTouches;
    PxU32 nbTouches;

    PxHitCallback(HitType* aTouches, PxU32 aMaxNbTouches)
        : hasBlock(false)
        , touches(aTouches)
        , maxNbTouches(aMaxNbTouches)
        , nbTouches(0)
    {
    }
    virtual ~PxHitCallback() = default;

    // Called when the touch buffer is full; return true to continue the query with an emptied buffer.
    virtual bool processTouches(const HitType* buffer, PxU32 nbHits) = 0;
    virtual void finalizeQuery() {}

    bool hasAnyHits() const { return hasBlock || nbTouches > 0; }
};

template <typename HitType>
struct PxHitBuffer : public PxHitCallback<HitType> {
    PxHitBuffer(HitType* aTouches = nullptr, PxU32 aMaxNbTouches = 0)
        : PxHitCallback<HitType>(aTouches, aMaxNbTouches)
    {
    }

    PxU32 getNbAnyHits() const { return getNbTouches() + PxU32(this->hasBlock); }
    const HitType& getAnyHit(const PxU32 index) const
    {
        return index < getNbTouches() ? getTouches()[index] : this->block;
    }
    PxU32 getNbTouches() const { return this->nbTouches; }
    const HitType* getTouches() const { return this->touches; }
    const HitType& getTouch(const PxU32 index) const { return getTouches()[index]; }
    PxU32 getMaxNbTouches() const { return this->maxNbTouches; }

protected:
    bool processTouches(const HitType*, PxU32) override { return false; }
};

using PxRaycastCallback = PxHitCallback<PxRaycastHit>;
using PxRaycastBuffer = PxHitBuffer<PxRaycastHit>;

// A fixed-size buffer for touching hits on the stack.
template <int N>
struct PxRaycastBufferN : public PxHitBuffer<PxRaycastHit> {
    PxRaycastHit hits[N];
    PxRaycastBufferN()
        : PxHitBuffer<PxRaycastHit>(hits, N)
    {
    }
};

} // namespace physx
