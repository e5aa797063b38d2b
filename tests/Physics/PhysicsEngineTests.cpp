#include "Physics/PhysicsEngine.h"

#include "PhysicsTestWorld.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace physx;

// A body's actor that only records the velocities it is given. It is never in a scene; its concrete
// type can be made static to stand for an actor that is not a dynamic one.
class RecordingActor final : public PxRigidDynamic {
public:
    explicit RecordingActor(PxConcreteType::Enum type = PxConcreteType::eRIGID_DYNAMIC)
    {
        mConcreteType = static_cast<PxU16>(type);
    }
    ~RecordingActor() override = default;

    void setLinearVelocity(const PxVec3& velocity, bool autowake) override
    {
        velocities.push_back(velocity);
        autowakes.push_back(autowake);
    }

    std::vector<PxVec3> velocities;
    std::vector<bool> autowakes;

    // Nothing else is expected to be called.
    void release() override { ADD_FAILURE() << "release"; }
    const char* getConcreteTypeName() const override { return "RecordingActor"; }
    PxActorType::Enum getType() const override { return PxActorType::eRIGID_DYNAMIC; }
    PxScene* getScene() const override { return nullptr; }
    PxBounds3 getWorldBounds(float) const override { return {}; }
    void setName(const char*) override {}
    const char* getName() const override { return ""; }
    void setActorFlag(PxActorFlag::Enum, bool) override {}
    PxActorFlags getActorFlags() const override { return {}; }
    PxTransform getGlobalPose() const override { return PxTransform(PxIdentity); }
    void setGlobalPose(const PxTransform&, bool) override { ADD_FAILURE() << "setGlobalPose"; }
    bool attachShape(PxShape&) override { return false; }
    void detachShape(PxShape&, bool) override {}
    PxU32 getNbShapes() const override { return 0; }
    PxU32 getShapes(PxShape**, PxU32, PxU32) const override { return 0; }
    void setMass(PxReal) override {}
    PxReal getMass() const override { return 1.0f; }
    PxReal getInvMass() const override { return 1.0f; }
    void setMassSpaceInertiaTensor(const PxVec3&) override {}
    PxVec3 getMassSpaceInertiaTensor() const override { return PxVec3(1.0f); }
    PxVec3 getLinearVelocity() const override { return PxVec3(0.0f); }
    PxVec3 getAngularVelocity() const override { return PxVec3(0.0f); }
    void setLinearDamping(PxReal) override {}
    PxReal getLinearDamping() const override { return 0.0f; }
    void setAngularDamping(PxReal) override {}
    PxReal getAngularDamping() const override { return 0.0f; }
    void addForce(const PxVec3&, PxForceMode::Enum, bool) override { ADD_FAILURE() << "addForce"; }
    void setRigidBodyFlag(PxRigidBodyFlag::Enum, bool) override {}
    void setRigidBodyFlags(PxRigidBodyFlags) override {}
    PxRigidBodyFlags getRigidBodyFlags() const override { return {}; }
    void setAngularVelocity(const PxVec3&, bool) override { ADD_FAILURE() << "setAngularVelocity"; }
    bool isSleeping() const override { return false; }
    void wakeUp() override {}
    void putToSleep() override {}
    void setSleepThreshold(PxReal) override {}
    PxReal getSleepThreshold() const override { return 0.0f; }
};

class VelocityQueue : public PhysicsWorld {
protected:
    void TearDown() override
    {
        // The recording actors are the test's, not the bodies': they are in no scene to leave.
        for (RigidBody* body : fakeBodies)
            body->actor = nullptr;
        PhysicsWorld::TearDown();
    }

    // A started body whose actor is `actor`.
    RigidBody* BodyWith(RecordingActor& actor, Float3 velocity)
    {
        GameObject& object = Object("recorded");
        auto* body = AddComponent<RigidBody>(object);
        body->actor = &actor;
        body->pendingVelocity = velocity;
        fakeBodies.push_back(body);
        return body;
    }

    std::vector<RigidBody*> fakeBodies;
};

TEST_F(VelocityQueue, AQueuedBodyGetsItsVelocityBeforeTheStepAndTheQueueEmpties)
{
    RigidBody* ball = Ball("ball", { 0.0f, 500.0f, 0.0f });
    std::vector<RigidBody*>& queue = PhysicsEngine::GetInstance().pendingVelocityBodies;
    ball->pendingVelocity = { 600.0f, 0.0f, -300.0f };
    queue.push_back(ball);
    const std::size_t capacity = queue.capacity();

    PhysicsEngine::GetInstance().Simulate();
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.capacity(), capacity);
    const PxVec3 velocity = ball->actor->getLinearVelocity();
    EXPECT_NEAR(velocity.x, 600.0f, 1.0f);
    EXPECT_NEAR(velocity.z, -300.0f, 1.0f);
    // Set before the step, so the step already moved the ball by it.
    const PxVec3 position = ball->actor->getGlobalPose().p;
    EXPECT_NEAR(position.x, 600.0f * kFrame, 0.1f);
    EXPECT_NEAR(position.z, -300.0f * kFrame, 0.1f);

    // The next step sets nothing again: gravity alone changes the velocity.
    ball->pendingVelocity = { 0.0f, 0.0f, 0.0f };
    PhysicsEngine::GetInstance().Simulate();
    EXPECT_NEAR(ball->actor->getLinearVelocity().x, 600.0f, 1.0f);
}

TEST_F(VelocityQueue, ABodyQueuedTwiceGetsItsVelocitySetTwiceWithTheSameValue)
{
    RecordingActor actor;
    RigidBody* body = BodyWith(actor, { 1.0f, 2.0f, 3.0f });
    std::vector<RigidBody*>& queue = PhysicsEngine::GetInstance().pendingVelocityBodies;
    queue.push_back(body);
    queue.push_back(body);
    PhysicsEngine::GetInstance().Simulate();
    EXPECT_EQ(actor.velocities, (std::vector<PxVec3> { { 1.0f, 2.0f, 3.0f }, { 1.0f, 2.0f, 3.0f } }));
    EXPECT_EQ(actor.autowakes, (std::vector<bool> { true, true }));
    EXPECT_TRUE(queue.empty());
}

TEST_F(VelocityQueue, AQueuedBodyWhoseActorIsStaticIsDroppedWithoutEffect)
{
    RecordingActor staticActor(PxConcreteType::eRIGID_STATIC);
    RecordingActor before;
    RecordingActor after;
    std::vector<RigidBody*>& queue = PhysicsEngine::GetInstance().pendingVelocityBodies;
    queue.push_back(BodyWith(before, { 1.0f, 0.0f, 0.0f }));
    queue.push_back(BodyWith(staticActor, { 5.0f, 0.0f, 0.0f }));
    queue.push_back(BodyWith(after, { 0.0f, 0.0f, 7.0f }));
    PhysicsEngine::GetInstance().Simulate();
    EXPECT_TRUE(staticActor.velocities.empty());
    EXPECT_EQ(before.velocities, (std::vector<PxVec3> { { 1.0f, 0.0f, 0.0f } }));
    EXPECT_EQ(after.velocities, (std::vector<PxVec3> { { 0.0f, 0.0f, 7.0f } }));
    EXPECT_TRUE(queue.empty());

    // A frame with nothing queued sets no velocity.
    PhysicsEngine::GetInstance().Simulate();
    EXPECT_EQ(before.velocities.size(), 1u);
    EXPECT_EQ(after.velocities.size(), 1u);
}

// -- Set-up

TEST(PhysicsEngineObject, StartsEmptyWithTheLibrarysDefaultScale)
{
    PhysicsEngine fresh;
    EXPECT_EQ(fresh.physics, nullptr);
    EXPECT_EQ(fresh.collisionCallback, nullptr);
    EXPECT_EQ(fresh.contactModify, nullptr);
    EXPECT_EQ(fresh.defaultMaterial, nullptr);
    EXPECT_EQ(fresh.pvd, nullptr);
    EXPECT_EQ(fresh.foundation, nullptr);
    EXPECT_EQ(fresh.cpuDispatcher, nullptr);
    EXPECT_EQ(fresh.tolerancesScale.length, 1.0f);
    EXPECT_EQ(fresh.tolerancesScale.speed, 10.0f);
    EXPECT_TRUE(fresh.pendingVelocityBodies.empty());
}

using PhysicsSetUp = PhysicsWorld;

TEST_F(PhysicsSetUp, TheWorldIsInCentimetresWithItsCallbacksInstalled)
{
    PhysicsEngine& engine = PhysicsEngine::GetInstance();
    Scene& scene = Scene::GetInstance();
    EXPECT_EQ(engine.tolerancesScale.length, 100.0f);
    EXPECT_EQ(engine.tolerancesScale.speed, 1000.0f);
    EXPECT_EQ(engine.physics->getTolerancesScale().length, 100.0f);
    EXPECT_NE(engine.foundation, nullptr);
    EXPECT_NE(engine.pvd, nullptr);
    EXPECT_NE(engine.cpuDispatcher, nullptr);
    EXPECT_NE(scene.controllerManager, nullptr);
    EXPECT_EQ(scene.physicsScene->getGravity(), PxVec3(0.0f, -981.0f, 0.0f));
    EXPECT_EQ(scene.physicsScene->getSimulationEventCallback(), engine.collisionCallback);
    EXPECT_EQ(scene.physicsScene->getContactModifyCallback(), engine.contactModify);
    ASSERT_NE(engine.defaultMaterial, nullptr);
    EXPECT_EQ(engine.defaultMaterial->getStaticFriction(), 1.0f);
    EXPECT_EQ(engine.defaultMaterial->getDynamicFriction(), 1.0f);
    EXPECT_FLOAT_EQ(engine.defaultMaterial->getRestitution(), 0.1f);
}

// -- A throw, as the ball makes one

using PhysicsScenario = PhysicsWorld;

TEST_F(PhysicsScenario, AThrownBallHitsTheCabinWallAndItsComponentsHearWhere)
{
    constexpr float kThrowSpeed = 1500.0f;
    // A wall whose face towards the ball is the plane x = -10.
    BoxCollider* wall = StaticBox("wall", { 0.0f, 50.0f, 0.0f }, { 10.0f, 30.0f, 10.0f }, kCabinLayer);
    AddComponent<HookProbe>(*wall->gameObject, "wall", &hooks);
    GameObject& ballObject = Object("ball", { -60.0f, 50.0f, 0.0f });
    auto* body = AddComponent<RigidBody>(ballObject);
    AddComponent<SphereCollider>(ballObject, 5.0f);
    AddComponent<HookProbe>(ballObject, "ball 1", &hooks);
    AddComponent<HookProbe>(ballObject, "ball 2", &hooks);
    Place(ballObject);

    body->pendingVelocity = { kThrowSpeed, 0.0f, 0.0f };
    PhysicsEngine::GetInstance().pendingVelocityBodies.push_back(body);
    for (int frame = 0; frame < 30 && hooks.empty(); ++frame)
        Step();

    std::vector<HookCall> enters;
    for (const HookCall& call : hooks)
        if (call.hook == "Enter")
            enters.push_back(call);
    ASSERT_EQ(enters.size(), 3u);
    // The ball's components in their order; the wall's one on its side of the pair.
    std::vector<std::string> ballReceivers;
    for (const HookCall& call : enters) {
        if (call.receiver == "wall") {
            EXPECT_EQ(call.other, &ballObject);
        } else {
            EXPECT_EQ(call.other, wall->gameObject);
            ballReceivers.push_back(call.receiver);
        }
        // On the wall's face, where the ball's path meets it. The point lies on one of the two shapes,
        // which overlap by up to a centimetre at the step of impact (the ball covers 25 per frame).
        EXPECT_NEAR(call.contact.x, -10.0f, 1.5f);
        EXPECT_NEAR(call.contact.y, 50.0f, 3.0f);
        EXPECT_NEAR(call.contact.z, 0.0f, 0.5f);
        EXPECT_EQ(call.contact, enters[0].contact);
    }
    EXPECT_EQ(ballReceivers, (std::vector<std::string> { "ball 1", "ball 2" }));

    // The ball does not pass through the wall, and once it comes off, both sides hear of it.
    Step(60);
    EXPECT_LT(ballObject.transform->position.x, -14.0f);
    std::vector<std::string> exits;
    for (const HookCall& call : hooks)
        if (call.hook == "Exit")
            exits.push_back(call.receiver);
    std::sort(exits.begin(), exits.end());
    EXPECT_EQ(exits, (std::vector<std::string> { "ball 1", "ball 2", "wall" }));
}

} // namespace
