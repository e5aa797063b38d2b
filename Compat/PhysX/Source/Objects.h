#pragma once
// The objects behind PxMaterial, PxTriangleMesh, PxShape and the rigid actors, and how each maps onto
// Bullet.
//
// A shape owns the Bullet collision shape for its geometry. A static actor in a scene puts one static
// Bullet collision object per shape into the world (posed at actor pose × local pose), so every Bullet
// object of a static actor stands for exactly one shape. A dynamic actor owns one btRigidBody, whose
// collision shape is its single shape when that shape sits at the identity local pose, and otherwise
// a compound with one child per shape, in attachment order. Every Bullet object's user pointer is a
// BulletProxy naming the actor and shape it stands for.

#include <btBulletDynamicsCommon.h>

#include <memory>
#include <vector>

#include "PxPhysics.h"

namespace physx::standin {

class PhysicsImpl;
class SceneImpl;
class ShapeImpl;
struct ActorCore;

struct BulletProxy {
    ActorCore* actor = nullptr;
    ShapeImpl* shape = nullptr; // null: the object's shape is the actor's compound
    ShapeImpl* ShapeAt(int childIndex) const;
};

inline BulletProxy* ProxyOf(const btCollisionObject* object)
{
    return object ? static_cast<BulletProxy*>(object->getUserPointer()) : nullptr;
}

inline btVector3 ToBullet(const PxVec3& v)
{
    return btVector3(v.x, v.y, v.z);
}
inline PxVec3 ToPx(const btVector3& v)
{
    return PxVec3(v.x(), v.y(), v.z());
}
inline btTransform ToBullet(const PxTransform& t)
{
    return btTransform(btQuaternion(t.q.x, t.q.y, t.q.z, t.q.w), ToBullet(t.p));
}
inline PxTransform ToPx(const btTransform& t)
{
    const btQuaternion q = t.getRotation();
    return PxTransform(ToPx(t.getOrigin()), PxQuat(q.x(), q.y(), q.z(), q.w()));
}

class MaterialImpl final : public PxMaterial {
public:
    MaterialImpl(PhysicsImpl& physics, PxReal staticFriction, PxReal dynamicFriction, PxReal restitution);
    ~MaterialImpl() override;

    void release() override { ReleaseReference(); }
    const char* getConcreteTypeName() const override { return "PxMaterial"; }
    PxU32 getReferenceCount() const override { return mReferences; }
    void acquireReference() override { ++mReferences; }
    void ReleaseReference();

    void setDynamicFriction(PxReal coef) override { dynamicFriction = coef; }
    PxReal getDynamicFriction() const override { return dynamicFriction; }
    void setStaticFriction(PxReal coef) override { staticFriction = coef; }
    PxReal getStaticFriction() const override { return staticFriction; }
    void setRestitution(PxReal rest) override { restitution = rest; }
    PxReal getRestitution() const override { return restitution; }

    PxReal staticFriction, dynamicFriction, restitution;

private:
    PhysicsImpl& mPhysics;
    PxU32 mReferences = 1;
};

class TriangleMeshImpl final : public PxTriangleMesh {
public:
    TriangleMeshImpl(PhysicsImpl& physics, std::vector<PxVec3> vertices, std::vector<PxU32> indices);
    ~TriangleMeshImpl() override;

    void release() override { ReleaseReference(); }
    const char* getConcreteTypeName() const override { return "PxBVH34TriangleMesh"; }
    PxU32 getReferenceCount() const override { return mReferences; }
    void acquireReference() override { ++mReferences; }
    void ReleaseReference();

    PxU32 getNbVertices() const override { return static_cast<PxU32>(mVertices.size()); }
    const PxVec3* getVertices() const override { return mVertices.data(); }
    PxU32 getNbTriangles() const override { return static_cast<PxU32>(mIndices.size() / 3); }
    const void* getTriangles() const override { return mIndices.data(); }
    PxTriangleMeshFlags getTriangleMeshFlags() const override { return PxTriangleMeshFlags(); }
    PxBounds3 getLocalBounds() const override { return mBounds; }

    // The length of the longest triangle edge, unscaled: point distance queries bound by it which
    // triangles can hold the nearest point.
    PxReal LongestEdge() const { return mLongestEdge; }

    // Shared by every shape using the mesh; each shape scales it with its own wrapper.
    btBvhTriangleMeshShape& BulletMesh() { return *mBulletMesh; }

private:
    PhysicsImpl& mPhysics;
    PxU32 mReferences = 1;
    std::vector<PxVec3> mVertices;
    std::vector<PxU32> mIndices;
    PxBounds3 mBounds;
    PxReal mLongestEdge = 0.0f;
    std::unique_ptr<btTriangleIndexVertexArray> mArrays;
    std::unique_ptr<btBvhTriangleMeshShape> mBulletMesh;
};

enum class ShapeChange { Geometry, LocalPose, SimulationFilter, Flags };

class ShapeImpl final : public PxShape {
public:
    ShapeImpl(
        PhysicsImpl& physics, const PxGeometry& geometry, MaterialImpl& material, bool exclusive, PxShapeFlags flags);
    ~ShapeImpl() override;

    void release() override { ReleaseReference(); }
    const char* getConcreteTypeName() const override { return "PxShape"; }
    PxU32 getReferenceCount() const override { return mReferences; }
    void acquireReference() override { ++mReferences; }
    void ReleaseReference();

    void setGeometry(const PxGeometry& geometry) override;
    const PxGeometry& getGeometry() const override { return mGeometry.any(); }
    bool getBoxGeometry(PxBoxGeometry& geometry) const override;
    bool getSphereGeometry(PxSphereGeometry& geometry) const override;
    bool getTriangleMeshGeometry(PxTriangleMeshGeometry& geometry) const override;
    PxRigidActor* getActor() const override;
    void setLocalPose(const PxTransform& pose) override;
    PxTransform getLocalPose() const override { return mLocalPose; }
    void setSimulationFilterData(const PxFilterData& data) override;
    PxFilterData getSimulationFilterData() const override { return mSimulationFilter; }
    void setQueryFilterData(const PxFilterData& data) override { mQueryFilter = data; }
    PxFilterData getQueryFilterData() const override { return mQueryFilter; }
    void setMaterials(PxMaterial* const* materials, PxU16 materialCount) override;
    PxU16 getNbMaterials() const override { return 1; }
    PxU32 getMaterials(PxMaterial** userBuffer, PxU32 bufferSize, PxU32 startIndex) const override;
    void setContactOffset(PxReal contactOffset) override { mContactOffset = contactOffset; }
    PxReal getContactOffset() const override { return mContactOffset; }
    void setRestOffset(PxReal restOffset) override { mRestOffset = restOffset; }
    PxReal getRestOffset() const override { return mRestOffset; }
    void setFlag(PxShapeFlag::Enum flag, bool value) override;
    void setFlags(PxShapeFlags inFlags) override;
    PxShapeFlags getFlags() const override { return mFlags; }
    bool isExclusive() const override { return mExclusive; }
    void setName(const char* name) override { mName = name; }
    const char* getName() const override { return mName; }

    btCollisionShape* Bullet() const { return mBullet.get(); }
    const PxGeometryHolder& Geometry() const { return mGeometry; }
    const MaterialImpl& Material() const { return *mMaterial; }
    bool Simulates() const { return mFlags & PxShapeFlag::eSIMULATION_SHAPE; }
    bool Queryable() const { return mFlags & PxShapeFlag::eSCENE_QUERY_SHAPE; }
    // Radius of the largest sphere inside the shape; 0 for meshes. Sizes continuous collision detection.
    PxReal InnerRadius() const;

    const PxU32 serial;
    std::vector<ActorCore*> owners; // one reference each

private:
    void BuildBullet();
    void Notify(ShapeChange change);

    PhysicsImpl& mPhysics;
    PxU32 mReferences = 1;
    PxGeometryHolder mGeometry;
    std::unique_ptr<btCollisionShape> mBullet;
    MaterialImpl* mMaterial;
    PxTransform mLocalPose;
    PxFilterData mSimulationFilter;
    PxFilterData mQueryFilter;
    PxShapeFlags mFlags;
    bool mExclusive;
    PxReal mContactOffset;
    PxReal mRestOffset = 0.0f;
    const char* mName = nullptr;
};

// State shared by static and dynamic actors.
struct ActorCore {
    using Deleter = void (*)(PxRigidActor&);

    ActorCore(PhysicsImpl& physics, PxRigidActor& self, bool dynamic, const PxTransform& pose, Deleter deleter);
    ~ActorCore();

    PxTransform GlobalPose() const;
    void SetGlobalPose(const PxTransform& pose, bool autowake);
    PxBounds3 WorldBounds(float inflation) const;
    bool Attach(ShapeImpl& shape);
    void Detach(ShapeImpl& shape, bool wakeOnLostTouch);
    void ShapeChanged(ShapeImpl& shape, ShapeChange change);
    void AddToWorld(btDiscreteDynamicsWorld& world);
    void RemoveFromWorld(btDiscreteDynamicsWorld& world);
    void ApplyMass();
    // PxRigidActor::release: leave the scene, drop the shapes, and go away once no undelivered report
    // refers to the actor.
    void Release();
    // Drops one undelivered report's hold on a released actor.
    void DropReportHold();
    // Frees at once, whatever refers to it (the physics object going away).
    void Destroy();

    PhysicsImpl& physics;
    PxRigidActor& self;
    const bool dynamic;
    const PxU32 serial;
    SceneImpl* scene = nullptr;
    std::vector<ShapeImpl*> shapes;
    PxActorFlags actorFlags = PxActorFlag::eVISUALIZATION;
    const char* name = nullptr;

    // Dynamic actors.
    std::unique_ptr<btRigidBody> body;
    std::unique_ptr<btCompoundShape> compound;
    btEmptyShape emptyShape;
    BulletProxy bodyProxy;
    PxReal mass = 1.0f;
    PxVec3 inertia { 1.0f, 1.0f, 1.0f };
    PxRigidBodyFlags bodyFlags;

    // Static actors: the pose, and one Bullet object per shape while in a scene.
    struct StaticPart {
        BulletProxy proxy;
        btCollisionObject object;
    };
    PxTransform staticPose;
    std::vector<std::unique_ptr<StaticPart>> parts;

    int reportHolds = 0;
    bool released = false;

    // The world pose of one of the actor's shapes as a contact modification batch sees it. A body
    // touches several others at once, and turning Bullet's matrix into a quaternion for every pair
    // would be most of the batch's cost; poses do not change within a batch. Batches are counted per
    // scene, so the scene is part of the key.
    struct BatchPose {
        const SceneImpl* scene = nullptr;
        PxU64 batch = 0;
        const ShapeImpl* shape = nullptr;
        PxTransform pose;
    };
    BatchPose batchPose;

private:
    void RebuildBody();
    void BuildStaticParts();
    Deleter mDeleter;
};

template <class Interface>
class RigidActorImpl : public Interface {
public:
    RigidActorImpl(PhysicsImpl& physics, const PxTransform& pose, bool dynamic)
        : core(physics, *this, dynamic, pose, [](PxRigidActor& actor) { delete static_cast<RigidActorImpl*>(&actor); })
    {
    }

    void release() override { core.Release(); }
    const char* getConcreteTypeName() const override { return core.dynamic ? "PxRigidDynamic" : "PxRigidStatic"; }
    PxActorType::Enum getType() const override
    {
        return core.dynamic ? PxActorType::eRIGID_DYNAMIC : PxActorType::eRIGID_STATIC;
    }
    PxScene* getScene() const override;
    PxBounds3 getWorldBounds(float inflation) const override { return core.WorldBounds(inflation); }
    void setName(const char* n) override { core.name = n; }
    const char* getName() const override { return core.name; }
    void setActorFlag(PxActorFlag::Enum flag, bool value) override
    {
        if (value)
            core.actorFlags.raise(flag);
        else
            core.actorFlags.clear(flag);
    }
    PxActorFlags getActorFlags() const override { return core.actorFlags; }

    PxTransform getGlobalPose() const override { return core.GlobalPose(); }
    void setGlobalPose(const PxTransform& pose, bool autowake) override { core.SetGlobalPose(pose, autowake); }
    bool attachShape(PxShape& shape) override { return core.Attach(static_cast<ShapeImpl&>(shape)); }
    void detachShape(PxShape& shape, bool wakeOnLostTouch) override
    {
        core.Detach(static_cast<ShapeImpl&>(shape), wakeOnLostTouch);
    }
    PxU32 getNbShapes() const override { return static_cast<PxU32>(core.shapes.size()); }
    PxU32 getShapes(PxShape** userBuffer, PxU32 bufferSize, PxU32 startIndex) const override
    {
        PxU32 written = 0;
        for (PxU32 i = startIndex; i < core.shapes.size() && written < bufferSize; ++i)
            userBuffer[written++] = core.shapes[i];
        return written;
    }

    ActorCore core;
};

class RigidStaticImpl final : public RigidActorImpl<PxRigidStatic> {
public:
    RigidStaticImpl(PhysicsImpl& physics, const PxTransform& pose)
        : RigidActorImpl(physics, pose, false)
    {
    }
};

class RigidDynamicImpl final : public RigidActorImpl<PxRigidDynamic> {
public:
    RigidDynamicImpl(PhysicsImpl& physics, const PxTransform& pose)
        : RigidActorImpl(physics, pose, true)
    {
    }

    void setMass(PxReal mass) override;
    PxReal getMass() const override { return core.mass; }
    PxReal getInvMass() const override { return core.mass > 0.0f ? 1.0f / core.mass : 0.0f; }
    void setMassSpaceInertiaTensor(const PxVec3& m) override;
    PxVec3 getMassSpaceInertiaTensor() const override { return core.inertia; }
    PxVec3 getLinearVelocity() const override { return ToPx(core.body->getLinearVelocity()); }
    PxVec3 getAngularVelocity() const override { return ToPx(core.body->getAngularVelocity()); }
    void setLinearDamping(PxReal linDamp) override { core.body->setDamping(linDamp, core.body->getAngularDamping()); }
    PxReal getLinearDamping() const override { return core.body->getLinearDamping(); }
    void setAngularDamping(PxReal angDamp) override { core.body->setDamping(core.body->getLinearDamping(), angDamp); }
    PxReal getAngularDamping() const override { return core.body->getAngularDamping(); }
    void addForce(const PxVec3& force, PxForceMode::Enum mode, bool autowake) override;
    void setRigidBodyFlag(PxRigidBodyFlag::Enum flag, bool value) override;
    void setRigidBodyFlags(PxRigidBodyFlags inFlags) override;
    PxRigidBodyFlags getRigidBodyFlags() const override { return core.bodyFlags; }

    void setLinearVelocity(const PxVec3& linVel, bool autowake) override;
    void setAngularVelocity(const PxVec3& angVel, bool autowake) override;
    bool isSleeping() const override { return !core.body->isActive(); }
    void wakeUp() override { core.body->activate(true); }
    void putToSleep() override;
    void setSleepThreshold(PxReal threshold) override { mSleepThreshold = threshold; }
    PxReal getSleepThreshold() const override { return mSleepThreshold; }

private:
    PxReal mSleepThreshold = 0.0f;
};

ActorCore& CoreOf(PxActor& actor);
const ActorCore& CoreOf(const PxActor& actor);

} // namespace physx::standin
