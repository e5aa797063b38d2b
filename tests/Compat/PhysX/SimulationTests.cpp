// Stepping, resting contact, continuous collision and determinism at centimetre scale.

#include <cmath>
#include <vector>

#include "PhysXTestWorld.h"

namespace tarnwick::test {
namespace {

using PhysXSimulation = PhysXWorld;

TEST_F(PhysXSimulation, OneSimulateIsExactlyOneStepOfTheGivenLength)
{
    CreateScene();
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 1000.0f, 0.0f));
    // Frame times that a fixed-step accumulator or sub-stepping would split or delay.
    const PxReal frames[] = { 0.0333f, 0.005f, 0.0171f };
    PxReal expectedVelocity = 0.0f;
    PxReal expectedHeight = 1000.0f;
    for (PxReal dt : frames) {
        Step(1, dt);
        expectedVelocity += kGravity * dt;
        expectedHeight += expectedVelocity * dt;
        EXPECT_NEAR(ball->getLinearVelocity().y, expectedVelocity, 1e-3f);
        EXPECT_NEAR(ball->getGlobalPose().p.y, expectedHeight, 1e-2f);
    }
    EXPECT_FALSE(scene->fetchResults(true)) << "no step is pending after its results were fetched";
}

TEST_F(PhysXSimulation, SphereFallsAndRestsOnBoxAtItsRadiusWithoutJitter)
{
    CreateScene();
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 100.0f, 0.0f));
    Step(180);
    PxReal lowest = PX_MAX_F32, highest = -PX_MAX_F32;
    for (int i = 0; i < 120; ++i) {
        Step();
        lowest = std::fmin(lowest, ball->getGlobalPose().p.y);
        highest = std::fmax(highest, ball->getGlobalPose().p.y);
    }
    EXPECT_NEAR(ball->getGlobalPose().p.y, 5.0f, 0.1f);
    EXPECT_LT(highest - lowest, 0.05f);
    EXPECT_LT(ball->getLinearVelocity().magnitude(), 1.0f);
}

TEST_F(PhysXSimulation, StaticActorNeverAddedHoldsItsPoseButNothingCollidesWithIt)
{
    CreateScene();
    PxRigidStatic* ghost = StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f), 1, kAllLayers, false);
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 20.0f, 0.0f));
    Step(60);
    EXPECT_LT(ball->getGlobalPose().p.y, -50.0f);
    EXPECT_EQ(ghost->getScene(), nullptr);
    ghost->setGlobalPose(PxTransform(PxVec3(10.0f, 20.0f, 30.0f)));
    EXPECT_EQ(ghost->getGlobalPose().p, PxVec3(10.0f, 20.0f, 30.0f));
    PxShape* shape = nullptr;
    ASSERT_EQ(ghost->getShapes(&shape, 1), 1u);
    const PxReal inside = PxGeometryQuery::pointDistance(
        PxVec3(10.0f, 20.0f, 30.0f), shape->getGeometry(), ghost->getGlobalPose() * shape->getLocalPose());
    const PxReal above = PxGeometryQuery::pointDistance(
        PxVec3(10.0f, 35.0f, 30.0f), shape->getGeometry(), ghost->getGlobalPose() * shape->getLocalPose());
    EXPECT_EQ(inside, 0.0f);
    EXPECT_NEAR(above, 100.0f, 1e-3f);
}

// A ball of radius 5 thrown at 1500 units/s at a static box 5 units thick moves 50 units per 30 Hz
// frame: without continuous collision it would pass straight through.

class PhysXFastBall : public PhysXWorld, public ::testing::WithParamInterface<PxReal> {};

TEST_P(PhysXFastBall, HitsThinStaticBoxAtThisFrameTime)
{
    CreateScene();
    StaticBox(PxVec3(0.0f, 0.0f, 0.0f), PxVec3(2.5f, 200.0f, 200.0f));
    PxRigidDynamic* ball = Ball(PxVec3(-200.0f, 0.0f, 0.0f));
    ball->setLinearVelocity(PxVec3(1500.0f, 0.0f, 0.0f));
    const PxReal dt = GetParam();
    const int steps = static_cast<int>(0.5f / dt);
    for (int i = 0; i < steps; ++i) {
        Step(1, dt);
        ASSERT_LT(ball->getGlobalPose().p.x, 0.0f) << "the ball's centre crossed the wall at step " << i;
    }
    EXPECT_LT(ball->getLinearVelocity().x, 0.0f) << "the ball bounced back";
}

INSTANTIATE_TEST_SUITE_P(FrameTimes, PhysXFastBall, ::testing::Values(0.0333f, 0.005f));

TEST_F(PhysXSimulation, BallsThrownAtAVeryLargeFloorStayOnItWhereverAndHoweverTheyLand)
{
    // The program's floor is a box 20000 units wide and 5 thick, and balls come down on it fast,
    // spinning, from every direction: continuous collision stops each at the surface and the narrow
    // phase then holds it there, whatever the step.
    CreateScene();
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(10000.0f, 2.5f, 10000.0f));
    std::vector<PxRigidDynamic*> balls;
    for (int i = 0; i < 24; ++i) {
        const PxReal angle = 0.7f * static_cast<PxReal>(i);
        PxRigidDynamic* ball = Ball(
            PxVec3(40.0f * std::cos(angle), 10.0f + 3.0f * static_cast<PxReal>(i % 5), 40.0f * std::sin(angle)));
        ball->setGlobalPose(
            PxTransform(ball->getGlobalPose().p, PxQuat(angle, PxVec3(0.3f, 0.8f, 0.5f).getNormalized())));
        ball->setLinearVelocity(
            PxVec3(900.0f * std::sin(angle), -1200.0f - 20.0f * static_cast<PxReal>(i), 900.0f * std::cos(angle)));
        ball->setAngularVelocity(PxVec3(3.0f, -2.0f, 1.0f) * static_cast<PxReal>(i % 4));
        balls.push_back(ball);
    }
    for (const PxReal dt : { 0.01f, 1.0f / 60.0f, 0.0333f }) {
        for (int i = 0; i < static_cast<int>(1.0f / dt); ++i) {
            Step(1, dt);
            for (size_t b = 0; b < balls.size(); ++b)
                ASSERT_GT(balls[b]->getGlobalPose().p.y, 2.0f) << "ball " << b << " sank into the floor at step " << i;
        }
        for (PxRigidDynamic* ball : balls)
            ball->setLinearVelocity(PxVec3(600.0f, -900.0f, -300.0f));
    }
}

TEST_F(PhysXSimulation, FastBallsStrikeOtherBallsWhereverTheyAreAndPassOnTheirMomentum)
{
    // Continuous collision stops a fast ball just short of the ball it meets; the next step's narrow
    // phase must then see the two as touching, or a fast ball would trail a slower one for ever, stopped
    // again every step with its speed intact. Which of the two the scene moves first must not matter.
    for (const bool fastFirst : { true, false }) {
        CreateScene();
        scene->setGravity(PxVec3(0.0f));
        PxRigidDynamic* fast = fastFirst ? Ball(PxVec3(-40.0f, 0.0f, 0.0f)) : nullptr;
        PxRigidDynamic* slow = Ball(PxVec3(0.0f, 0.0f, 0.0f));
        fast = fastFirst ? fast : Ball(PxVec3(-40.0f, 0.0f, 0.0f));
        fast->setLinearVelocity(PxVec3(400.0f, 0.0f, 0.0f));
        slow->setLinearVelocity(PxVec3(50.0f, 0.0f, 0.0f));
        for (int i = 0; i < 30; ++i) {
            Step();
            ASSERT_GE(slow->getGlobalPose().p.x - fast->getGlobalPose().p.x, 9.9f)
                << "one passed into the other at step " << i << (fastFirst ? ", fast ball first" : ", slow ball first");
        }
        EXPECT_LT(fast->getLinearVelocity().x, 300.0f) << "the fast ball lost speed in the collision";
        EXPECT_GT(slow->getLinearVelocity().x, 150.0f) << "the slow ball was struck";
        EXPECT_NEAR(fast->getLinearVelocity().x + slow->getLinearVelocity().x, 450.0f, 5.0f) << "momentum is kept";
    }

    // A ball at rest is struck in the step after the one in which the fast ball was stopped at it.
    CreateScene();
    scene->setGravity(PxVec3(0.0f));
    PxRigidDynamic* thrown = Ball(PxVec3(-40.0f, 0.0f, 0.0f));
    PxRigidDynamic* resting = Ball(PxVec3(0.0f, 0.0f, 0.0f));
    thrown->setLinearVelocity(PxVec3(400.0f, 0.0f, 0.0f));
    int stoppedAt = -1;
    for (int i = 0; i < 10 && stoppedAt < 0; ++i) {
        const PxReal before = thrown->getGlobalPose().p.x;
        Step();
        if (thrown->getGlobalPose().p.x - before < 400.0f * kFrame - 0.01f)
            stoppedAt = i;
    }
    ASSERT_GE(stoppedAt, 0) << "the thrown ball was never stopped";
    EXPECT_EQ(resting->getLinearVelocity().x, 0.0f) << "the stop alone does not push";
    Step();
    EXPECT_GT(resting->getLinearVelocity().x, 150.0f) << "struck in the next step";
    EXPECT_LT(thrown->getLinearVelocity().x, 250.0f);

    // Two fast balls meeting head on each stop where the other stands, not where it stood.
    CreateScene();
    scene->setGravity(PxVec3(0.0f));
    PxRigidDynamic* left = Ball(PxVec3(-25.0f, 0.0f, 0.0f));
    PxRigidDynamic* right = Ball(PxVec3(25.0f, 0.0f, 0.0f));
    left->setLinearVelocity(PxVec3(900.0f, 0.0f, 0.0f));
    right->setLinearVelocity(PxVec3(-900.0f, 0.0f, 0.0f));
    for (int i = 0; i < 6; ++i) {
        Step();
        EXPECT_GE(right->getGlobalPose().p.x - left->getGlobalPose().p.x, 9.9f)
            << "passed into each other at step " << i;
    }
    EXPECT_LT(left->getLinearVelocity().x, 450.0f) << "the left ball was slowed";
}

TEST_F(PhysXSimulation, DynamicActorWithTwoShapesCollidesWithBothAndFiltersEachPair)
{
    CreateScene();
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f), 1, 1);
    PxRigidDynamic* dumbbell = physics->createRigidDynamic(PxTransform(PxVec3(0.0f, 30.0f, 0.0f)));
    PxShape* left = Shape(PxSphereGeometry(5.0f), 1, 1);
    PxShape* right = Shape(PxSphereGeometry(5.0f), 1, 1);
    left->setLocalPose(PxTransform(PxVec3(-20.0f, 0.0f, 0.0f)));
    right->setLocalPose(PxTransform(PxVec3(20.0f, 0.0f, 0.0f)));
    Own(dumbbell, left, false);
    Own(dumbbell, right, false);
    // Two unit-mass halves 40 apart: the default unit inertia would let the ends swing freely.
    dumbbell->setMassSpaceInertiaTensor(PxVec3(10.0f, 410.0f, 410.0f));
    scene->addActor(*dumbbell);
    EXPECT_EQ(dumbbell->getNbShapes(), 2u);
    Step(120);
    EXPECT_NEAR(dumbbell->getGlobalPose().p.y, 5.0f, 0.2f) << "both spheres rest on the floor";
    EXPECT_LT(std::fabs(dumbbell->getGlobalPose().q.getImaginaryPart().magnitude()), 0.02f) << "level";

    // The right sphere's pair with the floor becomes suppressed: that end drops through, the body tilts.
    right->setSimulationFilterData(PxFilterData(2, 0, 0, 0));
    dumbbell->wakeUp();
    Step(30);
    PxTransform rightPose = dumbbell->getGlobalPose() * right->getLocalPose();
    PxTransform leftPose = dumbbell->getGlobalPose() * left->getLocalPose();
    EXPECT_LT(rightPose.p.y, leftPose.p.y - 5.0f);
}

TEST_F(PhysXSimulation, SameSceneRunTwiceGivesBitIdenticalPoses)
{
    auto run = [this]() {
        CreateScene();
        StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
        std::vector<PxRigidDynamic*> balls;
        for (int i = 0; i < 20; ++i)
            balls.push_back(Ball(PxVec3(static_cast<float>(i % 5) * 7.0f, 20.0f + 11.0f * i, 0.5f * i)));
        Step(120);
        std::vector<PxTransform> poses;
        for (PxRigidDynamic* b : balls)
            poses.push_back(b->getGlobalPose());
        scene->release();
        scene = nullptr;
        return poses;
    };
    const std::vector<PxTransform> first = run();
    const std::vector<PxTransform> second = run();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].p, second[i].p) << i;
        EXPECT_EQ(first[i].q, second[i].q) << i;
    }
}

TEST_F(PhysXSimulation, LinearVelocityIsSetOnlyOnDynamicActorsAndWakesThem)
{
    CreateScene();
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 5.0f, 0.0f));
    Step(300);
    EXPECT_TRUE(ball->isSleeping());
    PxActor* actor = ball;
    ASSERT_EQ(actor->getConcreteType(), PxConcreteType::eRIGID_DYNAMIC);
    static_cast<PxRigidDynamic*>(actor)->setLinearVelocity(PxVec3(0.0f, 300.0f, 0.0f), true);
    EXPECT_FALSE(ball->isSleeping());
    Step();
    EXPECT_GT(ball->getGlobalPose().p.y, 6.0f);
}

} // namespace
} // namespace tarnwick::test
