// The scene: actors in a Bullet world, one step per simulate, and the pair bookkeeping (filtering,
// touch state, contact modification) described in SceneImpl.h.

#include <BulletCollision/CollisionDispatch/btCompoundCollisionAlgorithm.h>
#include <BulletCollision/CollisionDispatch/btCompoundCompoundCollisionAlgorithm.h>

#include <algorithm>
#include <cmath>

#include "Source/Errors.h"
#include "Source/PhysicsImpl.h"
#include "Source/SceneImpl.h"
#include "Source/SpherePairAlgorithm.h"
#include "geometry/PxGeometryQuery.h"
#include "task/PxTask.h"

namespace physx::standin {
namespace {

// A contact the solver must not see gets this separation until the solver has run: Bullet's solver
// skips points beyond the manifold's processing threshold (BT_LARGE_FLOAT).
constexpr btScalar kIgnoredDistance = btScalar(1e30f);

// The pair being handed to Bullet's narrow phase, for the compound child filter, which Bullet calls
// without any context. Stepping is single-threaded; thread_local keeps unrelated worlds apart.
struct NearContext {
    SceneImpl* scene = nullptr;
    BulletProxy* proxy0 = nullptr;
    BulletProxy* proxy1 = nullptr;
};
thread_local NearContext tNear;

ActorCore* OwnerAmong(const ShapeImpl* shape, ActorCore* a, ActorCore* b)
{
    return std::find(a->shapes.begin(), a->shapes.end(), shape) != a->shapes.end() ? a : b;
}

// Bullet asks this for each pair of compound children (or compound child and plain shape) whose bounds
// overlap; it answers with the filter shader's verdict for that shape pair. Outside a stand-in scene's
// narrow phase every pair passes, so other Bullet worlds in the process are unaffected.
bool CompoundChildFilter(const btCollisionShape* shape0, const btCollisionShape* shape1)
{
    if (tNear.scene == nullptr)
        return true;
    auto* s0 = static_cast<ShapeImpl*>(shape0->getUserPointer());
    auto* s1 = static_cast<ShapeImpl*>(shape1->getUserPointer());
    if (s0 == nullptr || s1 == nullptr)
        return true;
    ActorCore* a0 = OwnerAmong(s0, tNear.proxy0->actor, tNear.proxy1->actor);
    ActorCore* a1 = a0 == tNear.proxy0->actor ? tNear.proxy1->actor : tNear.proxy0->actor;
    const PairRecord* record = tNear.scene->EvaluatePair(a0, s0, a1, s1);
    return record != nullptr && record->detect;
}

void NearCallback(btBroadphasePair& pair, btCollisionDispatcher& dispatcher, const btDispatcherInfo& info)
{
    static_cast<StandInDispatcher&>(dispatcher).scene.NearPair(pair, info);
}

PxModifiableContact ToModifiable(const btManifoldPoint& point, bool swapped)
{
    PxModifiableContact c {};
    c.contact = ToPx(swapped ? point.getPositionWorldOnA() : point.getPositionWorldOnB());
    c.separation = point.getDistance();
    c.normal = ToPx(swapped ? -point.m_normalWorldOnB : point.m_normalWorldOnB);
    c.maxImpulse = PX_MAX_F32;
    c.restitution = point.m_combinedRestitution;
    c.staticFriction = point.m_combinedFriction;
    c.dynamicFriction = point.m_combinedFriction;
    return c;
}

PxU32 FaceIndex(const ShapeImpl* shape, int index)
{
    return shape->Geometry().getType() == PxGeometryType::eTRIANGLEMESH ? static_cast<PxU32>(index) : 0xffffffffu;
}

// Marks a contact point that existed before this step's narrow phase. A point the narrow phase finds
// again is replaced by a new one, whose flags are clear; so is a point it finds for the first time.
// Bullet's solver reads only its own low flag bits.
constexpr int kFromEarlierStep = 1 << 30;

// A sphere's contacts are made anew every step, as PhysX makes all contacts: a kept older point would
// follow the sphere through a surface it was let through (a hole) and push it back from the far side.
// A sphere rests on one point, so nothing is lost. Every point is marked as it enters the solver, so
// whatever still carries the mark after the next narrow phase was not found again. Only manifolds the
// narrow phase has looked at (one body awake) are renewed; sleeping contacts stay as they are.
void RenewSphereContacts(btPersistentManifold& manifold)
{
    const btCollisionObject* a = manifold.getBody0();
    const btCollisionObject* b = manifold.getBody1();
    const bool sphere = a->getCollisionShape()->getShapeType() == SPHERE_SHAPE_PROXYTYPE
        || b->getCollisionShape()->getShapeType() == SPHERE_SHAPE_PROXYTYPE;
    if (!sphere)
        return;
    if (a->isActive() || b->isActive())
        for (int j = manifold.getNumContacts() - 1; j >= 0; --j)
            if (manifold.getContactPoint(j).m_contactPointFlags & kFromEarlierStep)
                manifold.removeContactPoint(j);
    for (int j = 0; j < manifold.getNumContacts(); ++j)
        manifold.getContactPoint(j).m_contactPointFlags |= kFromEarlierStep;
}

} // namespace

// -- Bullet hooks

StandInDispatcher::StandInDispatcher(btCollisionConfiguration* configuration, SceneImpl& scene_)
    : btCollisionDispatcher(configuration)
    , scene(scene_)
{
    setNearCallback(NearCallback);
}

bool StandInDispatcher::needsCollision(const btCollisionObject* body0, const btCollisionObject* body1)
{
    if (!btCollisionDispatcher::needsCollision(body0, body1))
        return false;
    return inNearCallback || scene.ObjectsMayCollide(body0, body1);
}

namespace {

// The closest surface a fast body's swept sphere reaches that is allowed to stop it.
class CcdSweep final : public btCollisionWorld::ClosestConvexResultCallback {
public:
    CcdSweep(
        SceneImpl& scene, btRigidBody& body, const btVector3& from, const btVector3& to, btScalar allowedPenetration)
        : ClosestConvexResultCallback(from, to)
        , mScene(scene)
        , mBody(body)
        , mAllowedPenetration(allowedPenetration)
    {
    }

    // What the body already touches in this step is left to the solver: a ball rolling on the floor
    // is not stopped by the floor under it.
    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        const auto* other = static_cast<const btCollisionObject*>(proxy->m_clientObject);
        return other != &mBody && other->hasContactResponse() && mScene.ObjectsMayCollide(&mBody, other)
            && !mScene.TouchingNow(&mBody, other);
    }

    btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result, bool normalInWorldSpace) override
    {
        btVector3 normal = normalInWorldSpace
            ? result.m_hitNormalLocal
            : result.m_hitCollisionObject->getWorldTransform().getBasis() * result.m_hitNormalLocal;
        // Bullet's convex casts place the hit point loosely (units off on a large box); where the
        // swept sphere's centre stood at the hit, the surface point nearest to it is exact.
        const int part = result.m_localShapeInfo != nullptr ? result.m_localShapeInfo->m_triangleIndex : 0;
        const btVector3 centre = m_convexFromWorld.lerp(m_convexToWorld, result.m_hitFraction);
        btVector3 point = result.m_hitPointLocal;
        mScene.NearestSurfacePoint(result.m_hitCollisionObject, part, centre, point, normal);
        // Motion away from the surface (or along it) is never stopped.
        if (normal.dot(m_convexToWorld - m_convexFromWorld) >= -mAllowedPenetration)
            return 1.0f;
        if (!mScene.CcdHitStops(&mBody, result.m_hitCollisionObject, point, normal))
            return 1.0f;
        hitPart = part;
        const btScalar fraction = ClosestConvexResultCallback::addSingleResult(result, normalInWorldSpace);
        m_hitPointWorld = point;
        m_hitNormalWorld = normal;
        return fraction;
    }

    // The compound child or mesh triangle that the closest hit met.
    int hitPart = 0;

private:
    SceneImpl& mScene;
    btRigidBody& mBody;
    btScalar mAllowedPenetration;
};

} // namespace

void StandInWorld::integrateTransforms(btScalar timeStep)
{
    mMoved.assign(static_cast<size_t>(getNumCollisionObjects()), false);
    for (int i = 0; i < m_nonStaticRigidBodies.size(); ++i) {
        btRigidBody& body = *m_nonStaticRigidBodies[i];
        body.setHitFraction(1.0f);
        if (!body.isActive() || body.isStaticOrKinematicObject())
            continue;
        btTransform predicted;
        body.predictIntegratedTransform(timeStep, predicted);
        const btScalar squareMotion = (predicted.getOrigin() - body.getWorldTransform().getOrigin()).length2();
        const bool fast = body.getCcdSquareMotionThreshold() > 0 && body.getCcdSquareMotionThreshold() < squareMotion;
        if (fast && getDispatchInfo().m_useContinuous)
            StopAtFirstSurface(body, timeStep, predicted);
        body.proceedToTransform(predicted);
        mMoved[static_cast<size_t>(body.getWorldArrayIndex())] = true;
    }
}

btScalar StandInWorld::Recession(const btCollisionObject& other, const btVector3& normal, btScalar timeStep) const
{
    const btRigidBody* body = btRigidBody::upcast(&other);
    if (body == nullptr || body->isStaticOrKinematicObject() || !body->isActive()
        || mMoved[static_cast<size_t>(other.getWorldArrayIndex())])
        return 0.0f;
    return btMax(btScalar(0.0f), -body->getLinearVelocity().dot(normal) * timeStep);
}

void StandInWorld::StopAtFirstSurface(btRigidBody& body, btScalar timeStep, btTransform& predicted)
{
    // The body's inner sphere grown by the distance within which the narrow phase makes contacts: a
    // body ending its step that close to a surface is stopped and touches it now. Were it left to the
    // next step's narrow phase, the solver would answer the touch before it is reported (a ball would
    // bounce off a wall before it could hole it).
    const btScalar reach = body.getCollisionShape()->getContactBreakingThreshold(gContactBreakingThreshold);
    btSphereShape sweptSphere(body.getCcdSweptSphereRadius() + reach);
    btTransform to = predicted;
    to.setBasis(body.getWorldTransform().getBasis());
    CcdSweep sweep(
        mScene, body, body.getWorldTransform().getOrigin(), to.getOrigin(), getDispatchInfo().m_allowedCcdPenetration);
    sweep.m_collisionFilterGroup = body.getBroadphaseProxy()->m_collisionFilterGroup;
    sweep.m_collisionFilterMask = body.getBroadphaseProxy()->m_collisionFilterMask;
    convexSweepTest(&sweptSphere, body.getWorldTransform(), to, sweep);
    if (!sweep.hasHit() || !(sweep.m_closestHitFraction < 1.0f))
        return;
    // Stop at the surface, keeping the velocity: the next step's contact resolves the impact. The
    // touch itself happened in this step and is reported with it, so that a callback can answer it
    // before the impact is resolved. The stop is half the pair's contact distance from the surface (the
    // smaller of the two shapes' reaches: a small ball's is less than a big one's), well inside the
    // distance at which the next narrow phase finds it, allowing for the other body's motion still to
    // come in this step.
    const btCollisionObject& other = *sweep.m_hitCollisionObject;
    const btScalar approach = -(to.getOrigin() - body.getWorldTransform().getOrigin()).dot(sweep.m_hitNormalWorld);
    const btScalar pairReach = PairContactDistance(*body.getCollisionShape(), *other.getCollisionShape());
    const btScalar advance = reach - 0.5f * pairReach + Recession(other, sweep.m_hitNormalWorld, timeStep);
    const btScalar fraction = approach > 0.0f ? btMin(btScalar(1.0f), sweep.m_closestHitFraction + advance / approach)
                                              : sweep.m_closestHitFraction;
    body.setHitFraction(fraction);
    body.predictIntegratedTransform(timeStep * fraction, predicted);
    body.setHitFraction(0.0f);
    mScene.CcdImpact(&body, &other, sweep.m_hitPointWorld, sweep.m_hitNormalWorld, sweep.hitPart);
}

StandInWorld::StandInWorld(btDispatcher* dispatcher, btBroadphaseInterface* broadphase, btConstraintSolver* solver,
    btCollisionConfiguration* configuration, SceneImpl& scene)
    : btDiscreteDynamicsWorld(dispatcher, broadphase, solver, configuration)
    , mScene(scene)
{
}

void StandInWorld::solveConstraints(btContactSolverInfo& solverInfo)
{
    mScene.BeforeSolve();
    btDiscreteDynamicsWorld::solveConstraints(solverInfo);
    mScene.AfterSolve();
}

// -- Life cycle

SceneImpl::SceneImpl(PhysicsImpl& physics_, const PxSceneDesc& desc)
    : physics(physics_)
    , mGravity(desc.gravity)
    , mFlags(desc.flags)
    , mFilterShader(desc.filterShader)
    , mEventCallback(desc.simulationEventCallback)
    , mModifyCallback(desc.contactModifyCallback)
    , mLengthScale(desc.getTolerancesScale().length)
{
    userData = desc.userData;
    if (desc.filterShaderDataSize > 0) {
        const auto* data = static_cast<const PxU8*>(desc.filterShaderData);
        mFilterShaderData.assign(data, data + desc.filterShaderDataSize);
    }
    mConfiguration = std::make_unique<btDefaultCollisionConfiguration>();
    mDispatcher = std::make_unique<StandInDispatcher>(mConfiguration.get(), *this);
    mDispatcher->registerCollisionCreateFunc(SPHERE_SHAPE_PROXYTYPE, SPHERE_SHAPE_PROXYTYPE, &mSpherePairs);
    mBroadphase = std::make_unique<btDbvtBroadphase>();
    mSolver = std::make_unique<btSequentialImpulseConstraintSolver>();
    mWorld = std::make_unique<StandInWorld>(
        mDispatcher.get(), mBroadphase.get(), mSolver.get(), mConfiguration.get(), *this);
    mWorld->setGravity(ToBullet(desc.gravity));
    // Below the bounce threshold contacts do not bounce: resting bodies stay at rest.
    mWorld->getSolverInfo().m_restitutionVelocityThreshold = desc.bounceThresholdVelocity;
    mWorld->getDispatchInfo().m_useContinuous = true;
    gCompoundChildShapePairCallback = CompoundChildFilter;
    gCompoundCompoundChildShapePairCallback = CompoundChildFilter;
}

SceneImpl::~SceneImpl() = default;

void SceneImpl::release()
{
    DropReports(mReports);
    RemoveAllActors();
    physics.scenes.erase(std::find(physics.scenes.begin(), physics.scenes.end(), this));
    delete this;
}

PxPhysics& SceneImpl::getPhysics()
{
    return physics;
}

void SceneImpl::RemoveAllActors()
{
    for (ActorCore* actor : mActors) {
        actor->RemoveFromWorld(*mWorld);
        actor->scene = nullptr;
    }
    mActors.clear();
    mPairs.Clear();
}

bool SceneImpl::addActor(PxActor& actor, const PxBVH*)
{
    ActorCore& core = CoreOf(actor);
    if (core.scene != nullptr) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_OPERATION,
            "PxScene::addActor(): Actor already assigned to a scene. Call will be ignored!");
        return false;
    }
    core.scene = this;
    mActors.push_back(&core);
    core.AddToWorld(*mWorld);
    return true;
}

void SceneImpl::removeActor(PxActor& actor, bool wakeOnLostTouch)
{
    ActorCore& core = CoreOf(actor);
    if (core.scene != this) {
        PX_STANDIN_ERROR(
            PxErrorCode::eINVALID_PARAMETER, "PxScene::removeActor(): Actor does not belong to this scene.");
        return;
    }
    ForgetShapePairs(core, nullptr, wakeOnLostTouch);
    core.RemoveFromWorld(*mWorld);
    core.scene = nullptr;
    mActors.erase(std::find(mActors.begin(), mActors.end(), &core));
}

PxU32 SceneImpl::getNbActors(PxActorTypeFlags types) const
{
    PxU32 count = 0;
    for (const ActorCore* actor : mActors)
        if (types & (actor->dynamic ? PxActorTypeFlag::eRIGID_DYNAMIC : PxActorTypeFlag::eRIGID_STATIC))
            ++count;
    return count;
}

PxU32 SceneImpl::getActors(PxActorTypeFlags types, PxActor** userBuffer, PxU32 bufferSize, PxU32 startIndex) const
{
    PxU32 index = 0, written = 0;
    for (ActorCore* actor : mActors) {
        if (!(types & (actor->dynamic ? PxActorTypeFlag::eRIGID_DYNAMIC : PxActorTypeFlag::eRIGID_STATIC)))
            continue;
        if (index++ < startIndex)
            continue;
        if (written == bufferSize)
            break;
        userBuffer[written++] = &actor->self;
    }
    return written;
}

void SceneImpl::setGravity(const PxVec3& vec)
{
    mGravity = vec;
    mWorld->setGravity(ToBullet(vec));
    // Bullet updates awake bodies only; sleeping ones must fall the new way once woken too.
    for (ActorCore* actor : mActors)
        if (actor->dynamic)
            actor->body->setGravity(ToBullet(vec));
}

// -- Stepping

bool SceneImpl::simulate(PxReal elapsedTime, PxBaseTask* completionTask, void*, PxU32, bool)
{
    if (mSimulating || mResultsReady) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_OPERATION,
            "PxScene::simulate: Simulation is still processing last simulate call, you should call fetchResults()!");
        return false;
    }
    if (!(elapsedTime > 0.0f) || !std::isfinite(elapsedTime)) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxScene::simulate: The elapsed time must be positive!");
        return false;
    }
    mSimulating = true;
    ++mStep;
    // maxSubSteps 0 is Bullet's variable time step: exactly one internal step of elapsedTime.
    mWorld->stepSimulation(elapsedTime, 0, elapsedTime);
    FinishPairs();
    mSimulating = false;
    mResultsReady = true;
    if (completionTask != nullptr) {
        completionTask->run();
        completionTask->release();
    }
    return true;
}

bool SceneImpl::fetchResults(bool, PxU32* errorState)
{
    if (errorState != nullptr)
        *errorState = 0;
    if (!mResultsReady)
        return false;
    mResultsReady = false;
    DeliverReports();
    return true;
}

// -- Pairs

PairRecord* SceneImpl::FindPair(ActorCore* a, ShapeImpl* s, ActorCore* b, ShapeImpl* t)
{
    if (a == nullptr || b == nullptr || s == nullptr || t == nullptr)
        return nullptr;
    if (a->serial > b->serial) {
        std::swap(a, b);
        std::swap(s, t);
    }
    return mPairs.Find(PairKey { a->serial, s->serial, b->serial, t->serial });
}

PairRecord* SceneImpl::EvaluatePair(ActorCore* a, ShapeImpl* s, ActorCore* b, ShapeImpl* t, size_t* hint)
{
    if (a == nullptr || b == nullptr || s == nullptr || t == nullptr || a == b)
        return nullptr;
    if (!a->dynamic && !b->dynamic)
        return nullptr;
    if (!s->Simulates() || !t->Simulates())
        return nullptr;
    // One consistent order: the actor created first is presented first.
    if (a->serial > b->serial) {
        std::swap(a, b);
        std::swap(s, t);
    }
    bool added = false;
    PairRecord& record = mPairs.FindOrAdd(PairKey { a->serial, s->serial, b->serial, t->serial }, added, hint);
    if (added) {
        record.actors[0] = a;
        record.actors[1] = b;
        record.shapes[0] = s;
        record.shapes[1] = t;
    }
    if (record.needsRefilter)
        RunFilterShader(record);
    record.lastSeen = mStep;
    return &record;
}

void SceneImpl::RunFilterShader(PairRecord& record)
{
    const auto attributes = [](const ActorCore* actor) -> PxFilterObjectAttributes {
        return actor->dynamic ? PxFilterObjectType::eRIGID_DYNAMIC : PxFilterObjectType::eRIGID_STATIC;
    };
    PxPairFlags pairFlags;
    const PxFilterFlags filterFlags = mFilterShader(attributes(record.actors[0]),
        record.shapes[0]->getSimulationFilterData(), attributes(record.actors[1]),
        record.shapes[1]->getSimulationFilterData(), pairFlags,
        mFilterShaderData.empty() ? nullptr : mFilterShaderData.data(), static_cast<PxU32>(mFilterShaderData.size()));
    record.kept = !(filterFlags & (PxFilterFlag::eKILL | PxFilterFlag::eSUPPRESS));
    record.pairFlags = record.kept ? pairFlags : PxPairFlags();
    record.detect = record.kept
        && (pairFlags & (PxPairFlag::eDETECT_DISCRETE_CONTACT | PxPairFlag::eDETECT_CCD_CONTACT));
    record.needsRefilter = false;
}

void SceneImpl::MarkCompoundPairsSeen(const BulletProxy& p0, const BulletProxy& p1)
{
    for (ShapeImpl* s : p0.actor->shapes)
        for (ShapeImpl* t : p1.actor->shapes)
            if (PairRecord* record = FindPair(p0.actor, s, p1.actor, t))
                record->lastSeen = mStep;
}

void SceneImpl::NearPair(btBroadphasePair& pair, const btDispatcherInfo& info)
{
    auto* object0 = static_cast<btCollisionObject*>(pair.m_pProxy0->m_clientObject);
    auto* object1 = static_cast<btCollisionObject*>(pair.m_pProxy1->m_clientObject);
    BulletProxy* p0 = ProxyOf(object0);
    BulletProxy* p1 = ProxyOf(object1);
    if (p0 == nullptr || p1 == nullptr)
        return;
    if (p0->shape != nullptr && p1->shape != nullptr) {
        // Bullet's pair carries a spare word, zero when the pair is made and moved along with the pair:
        // it remembers where the record was, which spares the index lookup in almost every step.
        static_assert(sizeof(pair.m_internalInfo1) == sizeof(size_t));
        size_t hint = reinterpret_cast<size_t>(pair.m_internalInfo1);
        const PairRecord* record = EvaluatePair(p0->actor, p0->shape, p1->actor, p1->shape, &hint);
        pair.m_internalInfo1 = reinterpret_cast<void*>(hint);
        if (record == nullptr || !record->detect) {
            // A pair that became suppressed loses its contacts at once.
            if (pair.m_algorithm != nullptr) {
                pair.m_algorithm->~btCollisionAlgorithm();
                mDispatcher->freeCollisionAlgorithm(pair.m_algorithm);
                pair.m_algorithm = nullptr;
            }
            return;
        }
    } else {
        // Compound children are filtered one by one from inside Bullet's compound algorithm; pairs that
        // sleep are not processed, but still overlap.
        MarkCompoundPairsSeen(*p0, *p1);
    }
    tNear = NearContext { this, p0, p1 };
    mDispatcher->inNearCallback = true;
    btCollisionDispatcher::defaultNearCallback(pair, *mDispatcher, info);
    mDispatcher->inNearCallback = false;
    tNear = NearContext {};
}

namespace {

// The first shape pair of two Bullet objects whose contacts are solved, or null.
template <class Evaluate>
PairRecord* FirstSolvedPair(BulletProxy& p0, BulletProxy& p1, Evaluate evaluate)
{
    for (size_t i = 0; i < p0.actor->shapes.size(); ++i) {
        ShapeImpl* s = p0.ShapeAt(static_cast<int>(i));
        for (size_t j = 0; j < p1.actor->shapes.size(); ++j) {
            PairRecord* record = evaluate(p0.actor, s, p1.actor, p1.ShapeAt(static_cast<int>(j)));
            if (record != nullptr && record->detect && (record->pairFlags & PxPairFlag::eSOLVE_CONTACT))
                return record;
            if (p1.shape != nullptr)
                break;
        }
        if (p0.shape != nullptr)
            break;
    }
    return nullptr;
}

} // namespace

bool SceneImpl::ObjectsMayCollide(const btCollisionObject* body0, const btCollisionObject* body1)
{
    BulletProxy* p0 = ProxyOf(body0);
    BulletProxy* p1 = ProxyOf(body1);
    if (p0 == nullptr || p1 == nullptr)
        return true;
    return FirstSolvedPair(*p0, *p1, [this](ActorCore* a, ShapeImpl* s, ActorCore* b, ShapeImpl* t) {
        return EvaluatePair(a, s, b, t);
    }) != nullptr;
}

bool SceneImpl::CcdHitStops(
    const btCollisionObject* body, const btCollisionObject* other, const btVector3& point, const btVector3& normal)
{
    BulletProxy* p0 = ProxyOf(body);
    BulletProxy* p1 = ProxyOf(other);
    if (p0 == nullptr || p1 == nullptr)
        return true;
    PairRecord* record = FirstSolvedPair(
        *p0, *p1, [this](ActorCore* a, ShapeImpl* s, ActorCore* b, ShapeImpl* t) { return FindPair(a, s, b, t); });
    if (record == nullptr)
        return false;
    if (mModifyCallback == nullptr || !(record->pairFlags & PxPairFlag::eMODIFY_CONTACTS))
        return true;
    // The would-be impact goes through contact modification like any contact: a callback that raises
    // its separation or ignores it lets the body pass there, as it would let a touching body pass.
    const bool bodyFirst = record->actors[0] == p0->actor;
    PxModifiableContact contact {};
    contact.contact = ToPx(point);
    contact.normal = ToPx(bodyFirst ? normal : -normal);
    contact.maxImpulse = PX_MAX_F32;
    contact.restitution = 0.5f
        * (record->shapes[0]->Material().restitution + record->shapes[1]->Material().restitution);
    contact.dynamicFriction = contact.staticFriction = 0.5f
        * (record->shapes[0]->Material().dynamicFriction + record->shapes[1]->Material().dynamicFriction);
    PxContactModifyPair pair;
    for (int k = 0; k < 2; ++k) {
        pair.actor[k] = &record->actors[k]->self;
        pair.shape[k] = record->shapes[k];
        pair.transform[k] = record->actors[k]->GlobalPose() * record->shapes[k]->getLocalPose();
    }
    pair.contacts.mCount = 1;
    pair.contacts.mContacts = &contact;
    mModifyCallback->onContactModify(&pair, 1);
    return contact.maxImpulse > 0.0f && contact.separation <= 0.0f;
}

bool SceneImpl::TouchingNow(const btCollisionObject* body0, const btCollisionObject* body1)
{
    BulletProxy* p0 = ProxyOf(body0);
    BulletProxy* p1 = ProxyOf(body1);
    if (p0 == nullptr || p1 == nullptr)
        return false;
    const PairRecord* record = FirstSolvedPair(
        *p0, *p1, [this](ActorCore* a, ShapeImpl* s, ActorCore* b, ShapeImpl* t) { return FindPair(a, s, b, t); });
    return record != nullptr && record->solvedNow;
}

void SceneImpl::NearestSurfacePoint(
    const btCollisionObject* object, int part, const btVector3& centre, btVector3& point, btVector3& normal) const
{
    BulletProxy* proxy = ProxyOf(object);
    if (proxy == nullptr)
        return;
    const ShapeImpl* shape = proxy->shape != nullptr ? proxy->shape : proxy->ShapeAt(part);
    if (shape == nullptr)
        return;
    PxVec3 closest;
    const PxReal squared = PxGeometryQuery::pointDistance(
        ToPx(centre), shape->getGeometry(), proxy->actor->GlobalPose() * shape->getLocalPose(), &closest);
    // A centre inside the shape has no nearest surface point to go by.
    if (!(squared > 0.0f))
        return;
    point = ToBullet(closest);
    normal = (centre - point).normalized();
}

void SceneImpl::CcdImpact(const btCollisionObject* body, const btCollisionObject* other, const btVector3& point,
    const btVector3& normal, int triangle)
{
    BulletProxy* p0 = ProxyOf(body);
    BulletProxy* p1 = ProxyOf(other);
    if (p0 == nullptr || p1 == nullptr)
        return;
    PairRecord* record = FirstSolvedPair(
        *p0, *p1, [this](ActorCore* a, ShapeImpl* s, ActorCore* b, ShapeImpl* t) { return FindPair(a, s, b, t); });
    // A pair with contacts from the narrow phase of this step already touches, with those points.
    if (record == nullptr || record->touchingNow)
        return;
    record->touchingNow = true;
    record->lastSeen = mStep;
    const PxPairFlags flags = record->pairFlags;
    const bool reportsPoints = (flags & PxPairFlag::eNOTIFY_CONTACT_POINTS)
        && (((flags & PxPairFlag::eNOTIFY_TOUCH_FOUND) && !record->touching)
            || (flags & PxPairFlag::eNOTIFY_TOUCH_PERSISTS));
    if (!reportsPoints)
        return;
    const int bodySide = record->actors[0] == p0->actor ? 0 : 1;
    ContactSample sample {};
    sample.position = ToPx(point);
    sample.separation = 0.0f;
    // From the second shape towards the first, as for every reported contact.
    sample.normal = ToPx(bodySide == 0 ? normal : -normal);
    sample.impulse = 0.0f;
    sample.face0 = FaceIndex(record->shapes[0], bodySide == 0 ? 0 : triangle);
    sample.face1 = FaceIndex(record->shapes[1], bodySide == 1 ? 0 : triangle);
    record->contacts.push_back(sample);
}

void SceneImpl::RefilterShape(const ShapeImpl& shape)
{
    for (size_t i = 0; i < mPairs.Size(); ++i) {
        PairRecord& record = mPairs.At(i);
        if (record.shapes[0] == &shape || record.shapes[1] == &shape)
            record.needsRefilter = true;
    }
}

void SceneImpl::ForgetShapePairs(ActorCore& actor, ShapeImpl* shape, bool wakePartners)
{
    for (size_t i = 0; i < mPairs.Size();) {
        PairRecord& record = mPairs.At(i);
        const int side = record.actors[0] == &actor ? 0 : record.actors[1] == &actor ? 1 : -1;
        if (side < 0 || (shape != nullptr && record.shapes[side] != shape)) {
            ++i;
            continue;
        }
        if (record.touching && (record.pairFlags & PxPairFlag::eNOTIFY_TOUCH_LOST)) {
            const PxContactPairFlags flags = side == 0 ? PxContactPairFlag::eREMOVED_SHAPE_0
                                                       : PxContactPairFlag::eREMOVED_SHAPE_1;
            PxContactPairHeaderFlags headerFlags;
            if (shape == nullptr)
                headerFlags = side == 0 ? PxContactPairHeaderFlag::eREMOVED_ACTOR_0
                                        : PxContactPairHeaderFlag::eREMOVED_ACTOR_1;
            QueueReport(record, PxPairFlag::eNOTIFY_TOUCH_LOST, flags, headerFlags, false);
        }
        ActorCore* partner = record.actors[1 - side];
        if (wakePartners && record.touching && partner->dynamic)
            partner->body->activate(true);
        mPairs.EraseAt(i);
    }
}

// -- Between narrow phase and solver

void SceneImpl::Save(btManifoldPoint& point)
{
    mModified.push_back(ModifiedPoint {
        &point, point.m_positionWorldOnA, point.m_positionWorldOnB, point.m_normalWorldOnB, point.m_distance1 });
}

void SceneImpl::SaveAndNeutralize(btManifoldPoint& point)
{
    Save(point);
    point.m_distance1 = kIgnoredDistance;
    point.m_appliedImpulse = 0;
}

void SceneImpl::BeforeSolve()
{
    mEntries.clear();
    mModified.clear();
    mModifiable.clear();
    const int manifolds = mDispatcher->getNumManifolds();
    for (int i = 0; i < manifolds; ++i) {
        btPersistentManifold* manifold = mDispatcher->getManifoldByIndexInternal(i);
        RenewSphereContacts(*manifold);
        const int count = manifold->getNumContacts();
        BulletProxy* p0 = ProxyOf(manifold->getBody0());
        BulletProxy* p1 = ProxyOf(manifold->getBody1());
        if (count == 0 || p0 == nullptr || p1 == nullptr)
            continue;
        const btManifoldPoint& first = manifold->getContactPoint(0);
        ShapeImpl* s0 = p0->ShapeAt(first.m_index0);
        ShapeImpl* s1 = p1->ShapeAt(first.m_index1);
        PairRecord* record = FindPair(p0->actor, s0, p1->actor, s1);
        if (record == nullptr || !record->detect) {
            for (int j = 0; j < count; ++j)
                SaveAndNeutralize(manifold->getContactPoint(j));
            continue;
        }
        record->touchingNow = true;
        record->solvedNow = true;
        // PhysX averages the two materials.
        const btScalar friction = 0.5f * (s0->Material().dynamicFriction + s1->Material().dynamicFriction);
        const btScalar restitution = 0.5f * (s0->Material().restitution + s1->Material().restitution);
        for (int j = 0; j < count; ++j) {
            manifold->getContactPoint(j).m_combinedFriction = friction;
            manifold->getContactPoint(j).m_combinedRestitution = restitution;
        }
        ManifoldEntry entry { manifold, record, record->actors[0] != p0->actor, -1 };
        const bool awake = (p0->actor->dynamic && manifold->getBody0()->isActive())
            || (p1->actor->dynamic && manifold->getBody1()->isActive());
        if (mModifyCallback != nullptr && (record->pairFlags & PxPairFlag::eMODIFY_CONTACTS) && awake) {
            entry.firstModifiable = static_cast<int>(mModifiable.size());
            for (int j = 0; j < count; ++j)
                mModifiable.push_back(ToModifiable(manifold->getContactPoint(j), entry.swapped));
        }
        mEntries.push_back(entry);
    }
    RunContactModification();
    for (const ManifoldEntry& entry : mEntries) {
        if (entry.record->pairFlags & PxPairFlag::eSOLVE_CONTACT)
            continue;
        for (int j = 0; j < entry.manifold->getNumContacts(); ++j)
            SaveAndNeutralize(entry.manifold->getContactPoint(j));
    }
}

void SceneImpl::RunContactModification()
{
    if (mModifiable.empty())
        return;
    mModifyPairs.clear();
    ++mModificationBatch;
    for (const ManifoldEntry& entry : mEntries) {
        if (entry.firstModifiable < 0)
            continue;
        PxContactModifyPair pair;
        for (int k = 0; k < 2; ++k) {
            pair.actor[k] = &entry.record->actors[k]->self;
            pair.shape[k] = entry.record->shapes[k];
            pair.transform[k] = ShapePoseForModification(*entry.record->actors[k], *entry.record->shapes[k]);
        }
        pair.contacts.mCount = static_cast<PxU32>(entry.manifold->getNumContacts());
        pair.contacts.mContacts = &mModifiable[entry.firstModifiable];
        mModifyPairs.push_back(pair);
    }
    mUnmodified = mModifiable;
    mModifyCallback->onContactModify(mModifyPairs.data(), static_cast<PxU32>(mModifyPairs.size()));
    for (const ManifoldEntry& entry : mEntries) {
        if (entry.firstModifiable < 0)
            continue;
        for (int j = 0; j < entry.manifold->getNumContacts(); ++j)
            WriteBack(entry.manifold->getContactPoint(j), mModifiable[entry.firstModifiable + j],
                mUnmodified[entry.firstModifiable + j], entry.swapped);
    }
}

PxTransform SceneImpl::ShapePoseForModification(ActorCore& actor, const ShapeImpl& shape) const
{
    ActorCore::BatchPose& cached = actor.batchPose;
    if (cached.scene != this || cached.batch != mModificationBatch || cached.shape != &shape) {
        cached.scene = this;
        cached.batch = mModificationBatch;
        cached.shape = &shape;
        // Most shapes sit at their actor's origin; composing with the identity would change nothing.
        const PxTransform local = shape.getLocalPose();
        cached.pose = local == PxTransform(PxIdentity) ? actor.GlobalPose() : actor.GlobalPose() * local;
    }
    return cached.pose;
}

void SceneImpl::WriteBack(
    btManifoldPoint& point, const PxModifiableContact& contact, const PxModifiableContact& original, bool swapped)
{
    if (contact.maxImpulse <= 0.0f) {
        SaveAndNeutralize(point);
        return;
    }
    point.m_combinedRestitution = contact.restitution;
    point.m_combinedFriction = contact.dynamicFriction;
    if (contact.contact == original.contact && contact.separation == original.separation
        && contact.normal == original.normal)
        return;
    Save(point);
    // The contact lies on the second shape; the first shape's surface is `separation` along the normal.
    const btVector3 normal = ToBullet(contact.normal.getNormalized());
    const btVector3 onSecond = ToBullet(contact.contact);
    const btVector3 onFirst = onSecond + normal * contact.separation;
    point.m_positionWorldOnA = swapped ? onSecond : onFirst;
    point.m_positionWorldOnB = swapped ? onFirst : onSecond;
    point.m_normalWorldOnB = swapped ? -normal : normal;
    point.m_distance1 = contact.separation;
}

void SceneImpl::AfterSolve()
{
    for (const ManifoldEntry& entry : mEntries) {
        PairRecord& record = *entry.record;
        const PxPairFlags flags = record.pairFlags;
        const bool reportsPoints = (flags & PxPairFlag::eNOTIFY_CONTACT_POINTS)
            && (((flags & PxPairFlag::eNOTIFY_TOUCH_FOUND) && !record.touching)
                || (flags & PxPairFlag::eNOTIFY_TOUCH_PERSISTS));
        if (!reportsPoints)
            continue;
        for (int j = 0; j < entry.manifold->getNumContacts(); ++j) {
            const btManifoldPoint& point = entry.manifold->getContactPoint(j);
            if (point.m_distance1 >= kIgnoredDistance)
                continue;
            ContactSample sample;
            const PxModifiableContact c = ToModifiable(point, entry.swapped);
            sample.position = c.contact;
            sample.separation = c.separation;
            sample.normal = c.normal;
            sample.impulse = point.m_appliedImpulse;
            sample.face0 = FaceIndex(record.shapes[0], entry.swapped ? point.m_index1 : point.m_index0);
            sample.face1 = FaceIndex(record.shapes[1], entry.swapped ? point.m_index0 : point.m_index1);
            record.contacts.push_back(sample);
        }
    }
    // Modifications last one step: the next narrow phase starts from Bullet's own points.
    for (auto it = mModified.rbegin(); it != mModified.rend(); ++it) {
        it->point->m_positionWorldOnA = it->positionA;
        it->point->m_positionWorldOnB = it->positionB;
        it->point->m_normalWorldOnB = it->normal;
        it->point->m_distance1 = it->distance;
    }
    mModified.clear();
}

void SceneImpl::FinishPairs()
{
    for (size_t i = 0; i < mPairs.Size();) {
        PairRecord& record = mPairs.At(i);
        const PxPairFlags flags = record.pairFlags;
        if (record.lastSeen != mStep) {
            // The broad phase dropped the pair: its bounds no longer overlap.
            if (record.touching && (flags & PxPairFlag::eNOTIFY_TOUCH_LOST))
                QueueReport(
                    record, PxPairFlag::eNOTIFY_TOUCH_LOST, PxContactPairFlags(), PxContactPairHeaderFlags(), false);
            mPairs.EraseAt(i);
            continue;
        }
        const bool withPoints = flags & PxPairFlag::eNOTIFY_CONTACT_POINTS;
        if (record.touchingNow && !record.touching && (flags & PxPairFlag::eNOTIFY_TOUCH_FOUND))
            QueueReport(
                record, PxPairFlag::eNOTIFY_TOUCH_FOUND, PxContactPairFlags(), PxContactPairHeaderFlags(), withPoints);
        else if (record.touchingNow && record.touching && (flags & PxPairFlag::eNOTIFY_TOUCH_PERSISTS))
            QueueReport(record, PxPairFlag::eNOTIFY_TOUCH_PERSISTS, PxContactPairFlags(), PxContactPairHeaderFlags(),
                withPoints);
        else if (!record.touchingNow && record.touching && (flags & PxPairFlag::eNOTIFY_TOUCH_LOST))
            QueueReport(
                record, PxPairFlag::eNOTIFY_TOUCH_LOST, PxContactPairFlags(), PxContactPairHeaderFlags(), false);
        record.touching = record.touchingNow;
        // Ready for the next step.
        record.touchingNow = false;
        record.solvedNow = false;
        record.contacts.clear();
        ++i;
    }
}

} // namespace physx::standin
