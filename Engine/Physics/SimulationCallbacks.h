#pragma once
// The three small classes that connect the physics library back to the program. The physics system
// creates one of each; they live for the whole run and hold no data.

#include <PxPhysicsAPI.h>

// Prints the physics library's error reports on standard error, one line each; the program runs on.
// Called on any thread: each report is one write.
class MyErrorCallback : public physx::PxErrorCallback {
public:
    ~MyErrorCallback() override = default;
    void reportError(physx::PxErrorCode::Enum code, const char* message, const char* file, int line) override;
};

// Turns touch reports into the components' OnCollisionEnter and OnCollisionExit hooks. Called on the
// main thread inside fetchResults, after the simulation has finished, so the hooks may create game
// objects, add components and change colliders' ignore lists.
class CollisionCallback : public physx::PxSimulationEventCallback {
public:
    void onConstraintBreak(physx::PxConstraintInfo*, physx::PxU32) override {}
    void onWake(physx::PxActor**, physx::PxU32) override {}
    void onSleep(physx::PxActor**, physx::PxU32) override {}
    void onContact(
        const physx::PxContactPairHeader& pairHeader, const physx::PxContactPair* pairs, physx::PxU32 nbPairs) override;
    void onTrigger(physx::PxTriggerPair*, physx::PxU32) override {}
    void onAdvance(const physx::PxRigidBody* const*, const physx::PxTransform*, const physx::PxU32) override {}
    ~CollisionCallback() override = default;
};

// Cancels contacts that lie inside holes: within one unit of a collider in either shape's collider's
// ignoredColliders. A cancelled contact is marked with the point (0, 0, 0) and separation 1.0 and is
// ignored by the solver: a separation alone would still hold back a body that comes faster than a
// unit per step, and a ball goes into its hole at the speed it was thrown. Runs on the physics worker threads during simulate, possibly
// for several batches at once: it reads ignoredColliders and the colliders' shapes and actors, and
// writes only the contacts it is handed. The ignore lists change only on the main thread outside
// simulate.
class ContactModify : public physx::PxContactModifyCallback {
public:
    void onContactModify(physx::PxContactModifyPair* const pairs, physx::PxU32 count) override;
    ~ContactModify() override = default;
};
