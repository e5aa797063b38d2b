#pragma once
// A scene: a Bullet discrete-dynamics world plus the pair bookkeeping PhysX's contract needs and
// Bullet lacks: filter results per shape pair, touch state, contact modification and reports.
//
// One step (simulate):
//   1. broad phase, then for each overlapping pair the near callback looks up the pair's record,
//      calling the filter shader when the pair is new; suppressed pairs get no narrow phase;
//   2. narrow phase (Bullet's algorithms fill the contact manifolds);
//   3. before the solver, in one walk over the manifolds: a sphere's points the narrow phase did not
//      find again are dropped, every manifold is matched to its pair record, marks the pair as
//      touching, and pairs with eMODIFY_CONTACTS go through the contact modification callback in one
//      batch;
//      the solver then sees the modified points (the originals are put back after it has run, so a
//      change lasts one step, as PhysX regenerates contacts every step);
//   4. the solver and integration, with continuous collision detection for fast bodies: a body
//      stopped at a surface touches it in this step;
//   5. records compare this step's touch with the last one and queue found/persist/lost reports.
// fetchResults delivers the queued reports, sorted by actor and shape creation order.

#include <btBulletDynamicsCommon.h>

#include <memory>
#include <vector>

#include "PxContactModifyCallback.h"
#include "PxScene.h"
#include "PxSimulationEventCallback.h"
#include "Source/Objects.h"
#include "Source/PairTable.h"
#include "Source/SpherePairAlgorithm.h"

namespace physx::standin {

class PhysicsImpl;
class SceneImpl;

class StandInDispatcher final : public btCollisionDispatcher {
public:
    StandInDispatcher(btCollisionConfiguration* configuration, SceneImpl& scene);
    // Also consulted by Bullet's continuous collision sweeps: they must obey the filter shader too.
    bool needsCollision(const btCollisionObject* body0, const btCollisionObject* body1) override;

    SceneImpl& scene;
    bool inNearCallback = false;
};

class StandInWorld final : public btDiscreteDynamicsWorld {
public:
    StandInWorld(btDispatcher* dispatcher, btBroadphaseInterface* broadphase, btConstraintSolver* solver,
        btCollisionConfiguration* configuration, SceneImpl& scene);

    // Contact modification and the touch bookkeeping sit between narrow phase and solver.
    void solveConstraints(btContactSolverInfo& solverInfo) override;

protected:
    // Continuous collision: a body moving further than its threshold in one step is swept against the
    // world and stopped at the first surface it would pass, unless the filter shader or the contact
    // modification callback lets it through there (see SceneImpl::CcdHitStops).
    void integrateTransforms(btScalar timeStep) override;
    // Bullet's speculative contacts bypass contact modification; the sweep above replaces them.
    void createPredictiveContacts(btScalar) override {}

private:
    // Moves `predicted` back to where a fast body's sweep first meets a surface that stops it.
    void StopAtFirstSurface(btRigidBody& body, btScalar timeStep, btTransform& predicted);
    // How far `other`, met by a sweep, will still move away from the swept body along the normal
    // (pointing from other towards the body) in this step: its own motion when it is a dynamic body not
    // yet moved, nothing otherwise. The stopped body may follow it that far, ending as close to where
    // other will stand as it would to a resting surface; were other left out of account, a fast ball
    // closing on a slower one would be stopped short of it every step and never strike it. A body
    // coming the other way is not allowed for: it moves later and meets this one where it stopped.
    btScalar Recession(const btCollisionObject& other, const btVector3& normal, btScalar timeStep) const;

    SceneImpl& mScene;
    std::vector<bool> mMoved; // by world array index: bodies already moved in this integration
};

struct ReportPair {
    PairKey key; // the pair's serials, which order delivery without a visit to the actors and shapes
    ActorCore* actors[2];
    ShapeImpl* shapes[2];
    PxPairFlags events;
    PxContactPairFlags flags;
    PxContactPairHeaderFlags headerFlags;
    std::vector<ContactSample> contacts;
};

class SceneImpl final : public PxScene {
public:
    SceneImpl(PhysicsImpl& physics, const PxSceneDesc& desc);
    ~SceneImpl() override;

    void release() override;
    bool addActor(PxActor& actor, const PxBVH* bvh) override;
    void removeActor(PxActor& actor, bool wakeOnLostTouch) override;
    PxU32 getNbActors(PxActorTypeFlags types) const override;
    PxU32 getActors(PxActorTypeFlags types, PxActor** userBuffer, PxU32 bufferSize, PxU32 startIndex) const override;
    bool simulate(PxReal elapsedTime, PxBaseTask* completionTask, void* scratchMemBlock, PxU32 scratchMemBlockSize,
        bool controlSimulation) override;
    bool checkResults(bool) override { return mResultsReady; }
    bool fetchResults(bool block, PxU32* errorState) override;
    void setGravity(const PxVec3& vec) override;
    PxVec3 getGravity() const override { return mGravity; }
    void setSimulationEventCallback(PxSimulationEventCallback* callback) override { mEventCallback = callback; }
    PxSimulationEventCallback* getSimulationEventCallback() const override { return mEventCallback; }
    void setContactModifyCallback(PxContactModifyCallback* callback) override { mModifyCallback = callback; }
    PxContactModifyCallback* getContactModifyCallback() const override { return mModifyCallback; }
    PxSceneFlags getFlags() const override { return mFlags; }
    PxPhysics& getPhysics() override;
    PxU32 getTimestamp() const override { return static_cast<PxU32>(mStep); }
    bool raycast(const PxVec3& origin, const PxVec3& unitDir, const PxReal distance, PxRaycastCallback& hitCall,
        PxHitFlags hitFlags, const PxQueryFilterData& filterData, PxQueryFilterCallback* filterCall,
        const PxQueryCache* cache, PxGeometryQueryFlags queryFlags) const override;

    // From the Bullet hooks, during a step.
    // The pair's record, made and filtered when needed, and marked as seen in this step. `hint` as
    // for PairTable::FindOrAdd.
    PairRecord* EvaluatePair(ActorCore* a, ShapeImpl* s, ActorCore* b, ShapeImpl* t, size_t* hint = nullptr);
    void NearPair(btBroadphasePair& pair, const btDispatcherInfo& info);
    bool ObjectsMayCollide(const btCollisionObject* body0, const btCollisionObject* body1);
    // Whether a sweep of `body` hitting `other` at point with normal (world, pointing towards body)
    // must stop the body there.
    bool CcdHitStops(
        const btCollisionObject* body, const btCollisionObject* other, const btVector3& point, const btVector3& normal);
    // Whether the two objects' first solved shape pair has contacts from this step's narrow phase.
    bool TouchingNow(const btCollisionObject* body0, const btCollisionObject* body1);
    // The point of `object`'s shape (its compound child or mesh triangle `part`) nearest to `centre`,
    // and the unit normal from it towards the centre; both left as they are when the centre is inside.
    void NearestSurfacePoint(
        const btCollisionObject* object, int part, const btVector3& centre, btVector3& point, btVector3& normal) const;
    // A sweep stopped `body` where it met `other` (point and normal in world space, the normal
    // towards body; `triangle` is the mesh triangle met): the pair touches in this step.
    void CcdImpact(const btCollisionObject* body, const btCollisionObject* other, const btVector3& point,
        const btVector3& normal, int triangle);
    // After the narrow phase: a sphere's contacts become only those it found in this step (see
    // RenewSphereContacts), pairs are marked touching, and contacts go through modification.
    void BeforeSolve();
    void AfterSolve();

    // From actors and shapes, between steps.
    void ForgetShapePairs(ActorCore& actor, ShapeImpl* shape, bool wakePartners);
    void RefilterShape(const ShapeImpl& shape);
    void RemoveAllActors();

    btDiscreteDynamicsWorld& World() { return *mWorld; }
    PhysicsImpl& physics;

private:
    struct ModifiedPoint {
        btManifoldPoint* point;
        btVector3 positionA, positionB, normal;
        btScalar distance;
    };
    struct ManifoldEntry {
        btPersistentManifold* manifold;
        PairRecord* record;
        bool swapped; // record's first shape is the manifold's body 1
        int firstModifiable;
    };

    PairRecord* FindPair(ActorCore* a, ShapeImpl* s, ActorCore* b, ShapeImpl* t);
    void RunFilterShader(PairRecord& record);
    void Save(btManifoldPoint& point);
    void SaveAndNeutralize(btManifoldPoint& point);
    void WriteBack(
        btManifoldPoint& point, const PxModifiableContact& contact, const PxModifiableContact& original, bool swapped);
    void MarkCompoundPairsSeen(const BulletProxy& p0, const BulletProxy& p1);
    void RunContactModification();
    PxTransform ShapePoseForModification(ActorCore& actor, const ShapeImpl& shape) const;
    void FinishPairs();
    void QueueReport(const PairRecord& record, PxPairFlags events, PxContactPairFlags flags,
        PxContactPairHeaderFlags headerFlags, bool withContacts);
    void DeliverReports();
    void DropReports(std::vector<ReportPair>& reports);

    std::unique_ptr<btDefaultCollisionConfiguration> mConfiguration;
    SpherePairAlgorithm::CreateFunc mSpherePairs; // outlives the dispatcher that holds it
    std::unique_ptr<StandInDispatcher> mDispatcher;
    std::unique_ptr<btDbvtBroadphase> mBroadphase;
    std::unique_ptr<btSequentialImpulseConstraintSolver> mSolver;
    std::unique_ptr<StandInWorld> mWorld;

    std::vector<ActorCore*> mActors;
    PairTable mPairs;

    PxVec3 mGravity;
    PxSceneFlags mFlags;
    PxSimulationFilterShader mFilterShader;
    std::vector<PxU8> mFilterShaderData;
    PxSimulationEventCallback* mEventCallback;
    PxContactModifyCallback* mModifyCallback;
    PxReal mLengthScale;
    PxU64 mStep = 0;
    PxU64 mModificationBatch = 0;
    bool mSimulating = false;
    bool mResultsReady = false;

    // Per step, reused.
    std::vector<ManifoldEntry> mEntries;
    std::vector<ModifiedPoint> mModified;
    std::vector<PxModifiableContact> mModifiable;
    std::vector<PxModifiableContact> mUnmodified; // mModifiable as it was handed to the callback
    std::vector<PxContactModifyPair> mModifyPairs;

    std::vector<ReportPair> mReports;
};

} // namespace physx::standin
