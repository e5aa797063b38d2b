// Materials, triangle meshes, shapes and rigid actors, and their Bullet counterparts.

#include <algorithm>

#include "Source/Errors.h"
#include "Source/Objects.h"
#include "Source/PhysicsImpl.h"
#include "Source/SceneImpl.h"

namespace physx::standin {
namespace {

// Continuous collision starts when a body moves more than this share of its inner radius in one step;
// the sweep is that inner sphere grown by the narrow phase's contact distance (see integrateTransforms).
constexpr PxReal kCcdMotionShare = 0.5f;
// PhysX's defaults: angular damping 0.05, and a sleep threshold equivalent to a speed of 1% of the
// tolerance speed.
constexpr PxReal kDefaultAngularDamping = 0.05f;
constexpr PxReal kSleepSpeedShare = 0.01f;
constexpr PxReal kSleepAngularSpeed = 1.0f;
constexpr PxReal kContactOffsetShare = 0.02f;

} // namespace

ShapeImpl* BulletProxy::ShapeAt(int childIndex) const
{
    if (shape != nullptr)
        return shape;
    if (actor == nullptr || childIndex < 0 || static_cast<size_t>(childIndex) >= actor->shapes.size())
        return nullptr;
    return actor->shapes[childIndex];
}

// -- Materials

MaterialImpl::MaterialImpl(PhysicsImpl& physics, PxReal staticFriction_, PxReal dynamicFriction_, PxReal restitution_)
    : PxMaterial(PxConcreteType::eMATERIAL)
    , staticFriction(staticFriction_)
    , dynamicFriction(dynamicFriction_)
    , restitution(restitution_)
    , mPhysics(physics)
{
    mPhysics.materials.insert(this);
}

MaterialImpl::~MaterialImpl()
{
    mPhysics.materials.erase(this);
}

void MaterialImpl::ReleaseReference()
{
    if (--mReferences == 0)
        delete this;
}

// -- Triangle meshes

TriangleMeshImpl::TriangleMeshImpl(PhysicsImpl& physics, std::vector<PxVec3> vertices, std::vector<PxU32> indices)
    : PxTriangleMesh(PxConcreteType::eTRIANGLE_MESH_BVH34)
    , mPhysics(physics)
    , mVertices(std::move(vertices))
    , mIndices(std::move(indices))
{
    for (const PxVec3& v : mVertices)
        mBounds.include(v);
    for (std::size_t t = 0; t + 2 < mIndices.size(); t += 3) {
        const PxVec3& a = mVertices[mIndices[t]];
        const PxVec3& b = mVertices[mIndices[t + 1]];
        const PxVec3& c = mVertices[mIndices[t + 2]];
        mLongestEdge = std::max({ mLongestEdge, (b - a).magnitude(), (c - b).magnitude(), (a - c).magnitude() });
    }
    mArrays = std::make_unique<btTriangleIndexVertexArray>(static_cast<int>(mIndices.size() / 3),
        reinterpret_cast<int*>(mIndices.data()), static_cast<int>(3 * sizeof(PxU32)),
        static_cast<int>(mVertices.size()), reinterpret_cast<btScalar*>(mVertices.data()),
        static_cast<int>(sizeof(PxVec3)));
    mBulletMesh = std::make_unique<btBvhTriangleMeshShape>(mArrays.get(), true, true);
    mPhysics.meshes.insert(this);
}

TriangleMeshImpl::~TriangleMeshImpl()
{
    mPhysics.meshes.erase(this);
}

void TriangleMeshImpl::ReleaseReference()
{
    if (--mReferences == 0)
        delete this;
}

// -- Shapes

ShapeImpl::ShapeImpl(
    PhysicsImpl& physics, const PxGeometry& geometry, MaterialImpl& material, bool exclusive, PxShapeFlags flags)
    : PxShape(PxConcreteType::eSHAPE)
    , serial(physics.NextSerial())
    , mPhysics(physics)
    , mGeometry(geometry)
    , mMaterial(&material)
    , mFlags(flags)
    , mExclusive(exclusive)
    , mContactOffset(kContactOffsetShare * physics.getTolerancesScale().length)
{
    mMaterial->acquireReference();
    if (mGeometry.getType() == PxGeometryType::eTRIANGLEMESH)
        mGeometry.triangleMesh().triangleMesh->acquireReference();
    BuildBullet();
    mPhysics.shapes.insert(this);
}

ShapeImpl::~ShapeImpl()
{
    mPhysics.shapes.erase(this);
    if (mGeometry.getType() == PxGeometryType::eTRIANGLEMESH)
        static_cast<TriangleMeshImpl*>(mGeometry.triangleMesh().triangleMesh)->ReleaseReference();
    mMaterial->ReleaseReference();
}

void ShapeImpl::ReleaseReference()
{
    if (--mReferences == 0)
        delete this;
}

void ShapeImpl::BuildBullet()
{
    switch (mGeometry.getType()) {
    case PxGeometryType::eBOX: mBullet = std::make_unique<btBoxShape>(ToBullet(mGeometry.box().halfExtents)); break;
    case PxGeometryType::eSPHERE: mBullet = std::make_unique<btSphereShape>(mGeometry.sphere().radius); break;
    case PxGeometryType::eTRIANGLEMESH: {
        const PxTriangleMeshGeometry& g = mGeometry.triangleMesh();
        if (!g.scale.rotation.isIdentity())
            PX_STANDIN_ERROR(PxErrorCode::eDEBUG_WARNING,
                "PxTriangleMeshGeometry: a mesh scale rotation is ignored in simulation and ray casts.");
        auto& mesh = static_cast<TriangleMeshImpl*>(g.triangleMesh)->BulletMesh();
        if (!g.scale.isIdentity()) {
            mBullet = std::make_unique<btScaledBvhTriangleMeshShape>(&mesh, ToBullet(g.scale.scale));
            break;
        }
        // Unscaled, the shape is a plain mesh shape of its own over the shared tree (each shape needs its
        // own Bullet shape for its user pointer). Bullet sweeps a plain mesh along its tree rather than
        // over every triangle in the box the sweep spans, and its narrow phase needs no scaling
        // wrapper; the triangles met, and so the contacts, are the same.
        auto own = std::make_unique<btBvhTriangleMeshShape>(mesh.getMeshInterface(), true, false);
        own->setOptimizedBvh(mesh.getOptimizedBvh());
        mBullet = std::move(own);
        break;
    }
    default: break;
    }
    mBullet->setUserPointer(this);
}

PxReal ShapeImpl::InnerRadius() const
{
    switch (mGeometry.getType()) {
    case PxGeometryType::eBOX: return mGeometry.box().halfExtents.minElement();
    case PxGeometryType::eSPHERE: return mGeometry.sphere().radius;
    default: return 0.0f;
    }
}

void ShapeImpl::Notify(ShapeChange change)
{
    const std::vector<ActorCore*> owners_ = owners;
    for (ActorCore* owner : owners_)
        owner->ShapeChanged(*this, change);
}

void ShapeImpl::setGeometry(const PxGeometry& geometry)
{
    if (geometry.getType() != mGeometry.getType()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER,
            "PxShape::setGeometry(): Invalid geometry type. Changing the type of the shape is not supported.");
        return;
    }
    if (!PxGeometryQuery::isValid(geometry)) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxShape::setGeometry(): Invalid geometry.");
        return;
    }
    TriangleMeshImpl* previousMesh = nullptr;
    if (geometry.getType() == PxGeometryType::eTRIANGLEMESH) {
        static_cast<const PxTriangleMeshGeometry&>(geometry).triangleMesh->acquireReference();
        previousMesh = static_cast<TriangleMeshImpl*>(mGeometry.triangleMesh().triangleMesh);
    }
    mGeometry.storeAny(geometry);
    // Bullet objects still point at the old collision shape (and it at the old mesh) until the owners
    // have rebuilt theirs.
    std::unique_ptr<btCollisionShape> previous = std::move(mBullet);
    BuildBullet();
    Notify(ShapeChange::Geometry);
    previous.reset();
    if (previousMesh != nullptr)
        previousMesh->ReleaseReference();
}

bool ShapeImpl::getBoxGeometry(PxBoxGeometry& geometry) const
{
    if (mGeometry.getType() != PxGeometryType::eBOX)
        return false;
    geometry = mGeometry.box();
    return true;
}

bool ShapeImpl::getSphereGeometry(PxSphereGeometry& geometry) const
{
    if (mGeometry.getType() != PxGeometryType::eSPHERE)
        return false;
    geometry = mGeometry.sphere();
    return true;
}

bool ShapeImpl::getTriangleMeshGeometry(PxTriangleMeshGeometry& geometry) const
{
    if (mGeometry.getType() != PxGeometryType::eTRIANGLEMESH)
        return false;
    geometry = mGeometry.triangleMesh();
    return true;
}

PxRigidActor* ShapeImpl::getActor() const
{
    return mExclusive && !owners.empty() ? &owners.front()->self : nullptr;
}

void ShapeImpl::setLocalPose(const PxTransform& pose)
{
    if (!pose.isSane()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxShape::setLocalPose: pose is not valid.");
        return;
    }
    const PxTransform normalized = pose.getNormalized();
    // Colliders push the same local pose every frame; only a change rebuilds Bullet state.
    if (normalized == mLocalPose)
        return;
    mLocalPose = normalized;
    Notify(ShapeChange::LocalPose);
}

void ShapeImpl::setSimulationFilterData(const PxFilterData& data)
{
    mSimulationFilter = data;
    Notify(ShapeChange::SimulationFilter);
}

void ShapeImpl::setMaterials(PxMaterial* const* materials, PxU16 materialCount)
{
    if (materials == nullptr || materialCount == 0) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxShape::setMaterials: at least one material is required.");
        return;
    }
    auto* material = static_cast<MaterialImpl*>(materials[0]);
    material->acquireReference();
    mMaterial->ReleaseReference();
    mMaterial = material;
}

PxU32 ShapeImpl::getMaterials(PxMaterial** userBuffer, PxU32 bufferSize, PxU32 startIndex) const
{
    if (startIndex > 0 || bufferSize == 0)
        return 0;
    userBuffer[0] = mMaterial;
    return 1;
}

void ShapeImpl::setFlag(PxShapeFlag::Enum flag, bool value)
{
    PxShapeFlags flags = mFlags;
    if (value)
        flags.raise(flag);
    else
        flags.clear(flag);
    setFlags(flags);
}

void ShapeImpl::setFlags(PxShapeFlags inFlags)
{
    if ((inFlags & PxShapeFlag::eTRIGGER_SHAPE) && (inFlags & PxShapeFlag::eSIMULATION_SHAPE)) {
        PX_STANDIN_ERROR(
            PxErrorCode::eINVALID_PARAMETER, "PxShape::setFlag(s): a trigger shape cannot also be a simulation shape.");
        return;
    }
    if (inFlags == mFlags)
        return;
    mFlags = inFlags;
    Notify(ShapeChange::Flags);
}

// -- Actors

ActorCore::ActorCore(
    PhysicsImpl& physics_, PxRigidActor& self_, bool dynamic_, const PxTransform& pose, Deleter deleter)
    : physics(physics_)
    , self(self_)
    , dynamic(dynamic_)
    , serial(physics_.NextSerial())
    , staticPose(pose)
    , mDeleter(deleter)
{
    physics.actors.insert(this);
    if (!dynamic)
        return;
    btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, &emptyShape, ToBullet(inertia));
    info.m_startWorldTransform = ToBullet(pose);
    info.m_angularDamping = kDefaultAngularDamping;
    info.m_linearSleepingThreshold = kSleepSpeedShare * physics.getTolerancesScale().speed;
    info.m_angularSleepingThreshold = kSleepAngularSpeed;
    body = std::make_unique<btRigidBody>(info);
    bodyProxy.actor = this;
    body->setUserPointer(&bodyProxy);
}

ActorCore::~ActorCore()
{
    physics.actors.erase(this);
}

PxTransform ActorCore::GlobalPose() const
{
    return dynamic ? ToPx(body->getWorldTransform()) : staticPose;
}

void ActorCore::SetGlobalPose(const PxTransform& pose, bool autowake)
{
    if (!pose.isSane()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxRigidActor::setGlobalPose: pose is not valid.");
        return;
    }
    const PxTransform normalized = pose.getNormalized();
    if (dynamic) {
        const btTransform t = ToBullet(normalized);
        body->setWorldTransform(t);
        body->setInterpolationWorldTransform(t);
        if (scene != nullptr)
            scene->World().updateSingleAabb(body.get());
        if (autowake)
            body->activate(true);
        return;
    }
    // Static colliders push their pose every frame; an unchanged pose costs nothing.
    if (normalized == staticPose)
        return;
    staticPose = normalized;
    for (auto& part : parts) {
        part->object.setWorldTransform(ToBullet(staticPose * part->proxy.shape->getLocalPose()));
        scene->World().updateSingleAabb(&part->object);
    }
}

PxBounds3 ActorCore::WorldBounds(float inflation) const
{
    PxBounds3 bounds;
    const PxTransform pose = GlobalPose();
    for (const ShapeImpl* shape : shapes) {
        PxBounds3 b;
        PxGeometryQuery::computeGeomBounds(b, shape->getGeometry(), pose * shape->getLocalPose(), 0.0f, inflation);
        bounds.include(b);
    }
    return bounds;
}

bool ActorCore::Attach(ShapeImpl& shape)
{
    if (std::find(shapes.begin(), shapes.end(), &shape) != shapes.end()) {
        PX_STANDIN_ERROR(
            PxErrorCode::eINVALID_OPERATION, "PxRigidActor::attachShape: shape is already attached to this actor.");
        return false;
    }
    if (shape.isExclusive() && !shape.owners.empty()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_OPERATION,
            "PxRigidActor::attachShape: an exclusive shape can only be attached to one actor.");
        return false;
    }
    if (dynamic && shape.Simulates() && shape.Geometry().getType() == PxGeometryType::eTRIANGLEMESH) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER,
            "PxRigidActor::attachShape: Triangle mesh, heightfield or plane geometry shapes configured as "
            "eSIMULATION_SHAPE are not supported for non-kinematic PxRigidDynamic instances.");
        return false;
    }
    shapes.push_back(&shape);
    shape.owners.push_back(this);
    shape.acquireReference();
    ShapeChanged(shape, ShapeChange::Geometry);
    return true;
}

void ActorCore::Detach(ShapeImpl& shape, bool wakeOnLostTouch)
{
    const auto it = std::find(shapes.begin(), shapes.end(), &shape);
    if (it == shapes.end()) {
        PX_STANDIN_ERROR(
            PxErrorCode::eINVALID_PARAMETER, "PxRigidActor::detachShape: shape is not attached to this actor.");
        return;
    }
    if (scene != nullptr)
        scene->ForgetShapePairs(*this, &shape, wakeOnLostTouch);
    shapes.erase(it);
    shape.owners.erase(std::find(shape.owners.begin(), shape.owners.end(), this));
    ShapeChanged(shape, ShapeChange::Geometry);
    shape.ReleaseReference();
}

void ActorCore::ShapeChanged(ShapeImpl& shape, ShapeChange change)
{
    if (change == ShapeChange::SimulationFilter || change == ShapeChange::Flags) {
        if (scene != nullptr)
            scene->RefilterShape(shape);
        if (change == ShapeChange::SimulationFilter)
            return;
    }
    if (dynamic) {
        RebuildBody();
        return;
    }
    if (scene != nullptr) {
        RemoveFromWorld(scene->World());
        AddToWorld(scene->World());
    }
}

void ActorCore::RebuildBody()
{
    if (scene != nullptr)
        scene->World().removeRigidBody(body.get());
    btCollisionShape* collision = &emptyShape;
    std::unique_ptr<btCompoundShape> newCompound;
    bodyProxy.shape = nullptr;
    if (shapes.size() == 1 && shapes[0]->getLocalPose() == PxTransform(PxIdentity)) {
        collision = shapes[0]->Bullet();
        bodyProxy.shape = shapes[0];
    } else if (!shapes.empty()) {
        newCompound = std::make_unique<btCompoundShape>(true, static_cast<int>(shapes.size()));
        for (ShapeImpl* s : shapes)
            newCompound->addChildShape(ToBullet(s->getLocalPose()), s->Bullet());
        collision = newCompound.get();
    }
    body->setCollisionShape(collision);
    compound = std::move(newCompound);

    // The sweep is a sphere about the body's origin, so it must lie within the body: the largest
    // sphere about the origin that one of the shapes holds. A body without one (two spheres far
    // apart, say) gets no continuous collision.
    PxReal inner = 0.0f;
    for (const ShapeImpl* s : shapes)
        inner = std::max(inner, s->InnerRadius() - s->getLocalPose().p.magnitude());
    body->setCcdMotionThreshold(kCcdMotionShare * inner);
    body->setCcdSweptSphereRadius(inner);
    if (!shapes.empty()) {
        body->setFriction(shapes[0]->Material().dynamicFriction);
        body->setRestitution(shapes[0]->Material().restitution);
    }
    if (scene != nullptr)
        scene->World().addRigidBody(body.get(), btBroadphaseProxy::DefaultFilter, btBroadphaseProxy::AllFilter);
}

void ActorCore::ApplyMass()
{
    body->setMassProps(mass, ToBullet(inertia));
    // Bullet reads mass 0 as a static object; PhysX reads it as an infinitely heavy dynamic one.
    body->setCollisionFlags(body->getCollisionFlags() & ~btCollisionObject::CF_STATIC_OBJECT);
    body->updateInertiaTensor();
}

void ActorCore::BuildStaticParts()
{
    parts.clear();
    for (ShapeImpl* shape : shapes) {
        auto part = std::make_unique<StaticPart>();
        part->proxy.actor = this;
        part->proxy.shape = shape;
        part->object.setCollisionShape(shape->Bullet());
        part->object.setWorldTransform(ToBullet(staticPose * shape->getLocalPose()));
        part->object.setUserPointer(&part->proxy);
        part->object.setCollisionFlags(btCollisionObject::CF_STATIC_OBJECT);
        part->object.setFriction(shape->Material().dynamicFriction);
        part->object.setRestitution(shape->Material().restitution);
        parts.push_back(std::move(part));
    }
}

void ActorCore::AddToWorld(btDiscreteDynamicsWorld& world)
{
    if (dynamic) {
        world.addRigidBody(body.get(), btBroadphaseProxy::DefaultFilter, btBroadphaseProxy::AllFilter);
        body->activate(true);
        return;
    }
    BuildStaticParts();
    for (auto& part : parts)
        world.addCollisionObject(&part->object, btBroadphaseProxy::StaticFilter,
            btBroadphaseProxy::AllFilter ^ btBroadphaseProxy::StaticFilter);
}

void ActorCore::RemoveFromWorld(btDiscreteDynamicsWorld& world)
{
    if (dynamic) {
        world.removeRigidBody(body.get());
        return;
    }
    for (auto& part : parts)
        world.removeCollisionObject(&part->object);
    parts.clear();
}

void ActorCore::Release()
{
    if (scene != nullptr)
        scene->removeActor(self, true);
    for (ShapeImpl* shape : shapes) {
        shape->owners.erase(std::find(shape->owners.begin(), shape->owners.end(), this));
        shape->ReleaseReference();
    }
    shapes.clear();
    released = true;
    if (reportHolds == 0)
        mDeleter(self);
}

void ActorCore::DropReportHold()
{
    if (--reportHolds == 0 && released)
        mDeleter(self);
}

void ActorCore::Destroy()
{
    for (ShapeImpl* shape : shapes) {
        shape->owners.erase(std::find(shape->owners.begin(), shape->owners.end(), this));
        shape->ReleaseReference();
    }
    shapes.clear();
    mDeleter(self);
}

template <class Interface>
PxScene* RigidActorImpl<Interface>::getScene() const
{
    return core.scene;
}
template class RigidActorImpl<PxRigidStatic>;
template class RigidActorImpl<PxRigidDynamic>;

ActorCore& CoreOf(PxActor& actor)
{
    if (actor.getConcreteType() == PxConcreteType::eRIGID_DYNAMIC)
        return static_cast<RigidDynamicImpl&>(actor).core;
    return static_cast<RigidStaticImpl&>(actor).core;
}

const ActorCore& CoreOf(const PxActor& actor)
{
    return CoreOf(const_cast<PxActor&>(actor));
}

// -- Dynamic actors

void RigidDynamicImpl::setMass(PxReal mass)
{
    if (!(mass >= 0.0f) || !std::isfinite(mass)) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxRigidBody::setMass(): invalid float");
        return;
    }
    core.mass = mass;
    core.ApplyMass();
}

void RigidDynamicImpl::setMassSpaceInertiaTensor(const PxVec3& m)
{
    if (!m.isFinite() || m.x < 0.0f || m.y < 0.0f || m.z < 0.0f) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxRigidBody::setMassSpaceInertiaTensor(): invalid inertia");
        return;
    }
    core.inertia = m;
    core.ApplyMass();
}

void RigidDynamicImpl::addForce(const PxVec3& force, PxForceMode::Enum mode, bool autowake)
{
    if (!force.isFinite()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxRigidBody::addForce: force is not valid.");
        return;
    }
    btRigidBody& body = *core.body;
    switch (mode) {
    case PxForceMode::eFORCE: body.applyCentralForce(ToBullet(force)); break;
    case PxForceMode::eIMPULSE: body.applyCentralImpulse(ToBullet(force)); break;
    case PxForceMode::eVELOCITY_CHANGE: body.setLinearVelocity(body.getLinearVelocity() + ToBullet(force)); break;
    case PxForceMode::eACCELERATION: body.applyCentralForce(ToBullet(force * core.mass)); break;
    }
    if (autowake)
        body.activate(true);
}

void RigidDynamicImpl::setRigidBodyFlag(PxRigidBodyFlag::Enum flag, bool value)
{
    PxRigidBodyFlags flags = core.bodyFlags;
    if (value)
        flags.raise(flag);
    else
        flags.clear(flag);
    setRigidBodyFlags(flags);
}

void RigidDynamicImpl::setRigidBodyFlags(PxRigidBodyFlags inFlags)
{
    if (inFlags & PxRigidBodyFlag::eKINEMATIC) {
        PX_STANDIN_ERROR(
            PxErrorCode::eINVALID_OPERATION, "PxRigidBody::setRigidBodyFlag: kinematic actors are not supported.");
        inFlags.clear(PxRigidBodyFlag::eKINEMATIC);
    }
    core.bodyFlags = inFlags;
}

void RigidDynamicImpl::setLinearVelocity(const PxVec3& linVel, bool autowake)
{
    if (!linVel.isFinite()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxRigidDynamic::setLinearVelocity: velocity is not valid.");
        return;
    }
    core.body->setLinearVelocity(ToBullet(linVel));
    if (autowake && !linVel.isZero())
        core.body->activate(true);
}

void RigidDynamicImpl::setAngularVelocity(const PxVec3& angVel, bool autowake)
{
    if (!angVel.isFinite()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxRigidDynamic::setAngularVelocity: velocity is not valid.");
        return;
    }
    core.body->setAngularVelocity(ToBullet(angVel));
    if (autowake && !angVel.isZero())
        core.body->activate(true);
}

void RigidDynamicImpl::putToSleep()
{
    core.body->setLinearVelocity(btVector3(0, 0, 0));
    core.body->setAngularVelocity(btVector3(0, 0, 0));
    core.body->setActivationState(ISLAND_SLEEPING);
}

} // namespace physx::standin
