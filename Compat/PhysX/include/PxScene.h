#pragma once
// A simulated world of actors.
//
// Stepping: simulate(dt) advances the scene by exactly one step of dt (no sub-steps, no fixed-step
// accumulator); fetchResults(true) then delivers the step's contact reports on the calling thread
// and makes the scene writable again. The stand-in runs the whole step inside simulate(), on the
// calling thread, so the filter shader and the contact modification callback run there too.

#include "PxActor.h"
#include "PxQueryFiltering.h"
#include "PxSceneDesc.h"
#include "geometry/PxGeometryQuery.h"

namespace physx {

class PxPhysics;
class PxBaseTask;
class PxBVH;

class PxScene {
public:
    virtual void release() = 0;

    // Fails (false, eINVALID_OPERATION) for an actor already in a scene.
    virtual bool addActor(PxActor& actor, const PxBVH* bvh = nullptr) = 0;
    // Pairs of the actor that were touching get a touch-lost report (with eREMOVED_ACTOR_x) at the
    // next fetchResults.
    virtual void removeActor(PxActor& actor, bool wakeOnLostTouch = true) = 0;
    virtual PxU32 getNbActors(PxActorTypeFlags types) const = 0;
    virtual PxU32 getActors(
        PxActorTypeFlags types, PxActor** userBuffer, PxU32 bufferSize, PxU32 startIndex = 0) const = 0;

    virtual bool simulate(PxReal elapsedTime, PxBaseTask* completionTask = nullptr, void* scratchMemBlock = nullptr,
        PxU32 scratchMemBlockSize = 0, bool controlSimulation = true)
        = 0;
    virtual bool checkResults(bool block = false) = 0;
    // Returns false when there is no step to fetch.
    virtual bool fetchResults(bool block = false, PxU32* errorState = nullptr) = 0;

    virtual void setGravity(const PxVec3& vec) = 0;
    virtual PxVec3 getGravity() const = 0;

    virtual void setSimulationEventCallback(PxSimulationEventCallback* callback) = 0;
    virtual PxSimulationEventCallback* getSimulationEventCallback() const = 0;
    virtual void setContactModifyCallback(PxContactModifyCallback* callback) = 0;
    virtual PxContactModifyCallback* getContactModifyCallback() const = 0;

    virtual PxSceneFlags getFlags() const = 0;
    virtual PxPhysics& getPhysics() = 0;
    virtual PxU32 getTimestamp() const = 0;

    // Casts a ray against the shapes of the actors in the scene (scene-query shapes only). Returns
    // whether anything was hit. Only the closest blocking hit is kept; touches come from a filter
    // callback returning eTOUCH.
    virtual bool raycast(const PxVec3& origin, const PxVec3& unitDir, const PxReal distance, PxRaycastCallback& hitCall,
        PxHitFlags hitFlags = PxHitFlag::eDEFAULT, const PxQueryFilterData& filterData = PxQueryFilterData(),
        PxQueryFilterCallback* filterCall = nullptr, const PxQueryCache* cache = nullptr,
        PxGeometryQueryFlags queryFlags = PxGeometryQueryFlag::eDEFAULT) const = 0;

    void* userData = nullptr;

protected:
    virtual ~PxScene() = default;
};

} // namespace physx
