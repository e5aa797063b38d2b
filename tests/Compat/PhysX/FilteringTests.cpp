// The filter shader: called once per new pair, in one consistent order, and obeyed.

#include <vector>

#include "PhysXTestWorld.h"

namespace tarnwick::test {
namespace {

using PhysXFiltering = PhysXWorld;

struct ShaderCall {
    PxFilterObjectAttributes attributes0, attributes1;
    PxFilterData data0, data1;
};
std::vector<ShaderCall> gShaderCalls;

PxFilterFlags RecordingLayerShader(PxFilterObjectAttributes a0, PxFilterData d0, PxFilterObjectAttributes a1,
    PxFilterData d1, PxPairFlags& pairFlags, const void* block, PxU32 size)
{
    gShaderCalls.push_back(ShaderCall { a0, a1, d0, d1 });
    return LayerShader(a0, d0, a1, d1, pairFlags, block, size);
}

class CountingEvents : public PxSimulationEventCallback {
public:
    void onConstraintBreak(PxConstraintInfo*, PxU32) override {}
    void onWake(PxActor**, PxU32) override {}
    void onSleep(PxActor**, PxU32) override {}
    void onContact(const PxContactPairHeader&, const PxContactPair* pairs, PxU32 nbPairs) override
    {
        for (PxU32 i = 0; i < nbPairs; ++i) {
            if (pairs[i].events & PxPairFlag::eNOTIFY_TOUCH_FOUND)
                ++found;
            if (pairs[i].events & PxPairFlag::eNOTIFY_TOUCH_LOST)
                ++lost;
        }
    }
    void onTrigger(PxTriggerPair*, PxU32) override {}
    void onAdvance(const PxRigidBody* const*, const PxTransform*, const PxU32) override {}

    int found = 0;
    int lost = 0;
};

TEST_F(PhysXFiltering, SuppressedPairPassesThroughWithoutReports)
{
    CountingEvents events;
    CreateScene(LayerShader, nullptr, nullptr, &events);
    // The floor's mask lacks the ball's layer, and the floor is presented first: suppressed.
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f), 16, 16);
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 20.0f, 0.0f), 5.0f, 1, 1);
    Step(60);
    EXPECT_LT(ball->getGlobalPose().p.y, -30.0f);
    EXPECT_EQ(events.found, 0);
}

TEST_F(PhysXFiltering, ShaderSeesEachNewPairOnceWithTheFirstCreatedActorFirst)
{
    CreateScene(RecordingLayerShader);
    gShaderCalls.clear();
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f), 16, 1);
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 20.0f, 0.0f), 5.0f, 1, 16);
    Step(120);
    ASSERT_EQ(gShaderCalls.size(), 1u) << "a resting pair is filtered once, not every step";
    EXPECT_EQ(gShaderCalls[0].data0.word0, 16u);
    EXPECT_EQ(gShaderCalls[0].data1.word0, 1u);
    EXPECT_EQ(PxGetFilterObjectType(gShaderCalls[0].attributes0), PxFilterObjectType::eRIGID_STATIC);
    EXPECT_EQ(PxGetFilterObjectType(gShaderCalls[0].attributes1), PxFilterObjectType::eRIGID_DYNAMIC);
    EXPECT_NEAR(ball->getGlobalPose().p.y, 5.0f, 0.1f);

    // Lifted clear of the floor's bounds, then dropped again: a new pair, filtered again.
    ball->setGlobalPose(PxTransform(PxVec3(0.0f, 300.0f, 0.0f)));
    Step(10);
    EXPECT_EQ(gShaderCalls.size(), 1u);
    ball->setGlobalPose(PxTransform(PxVec3(0.0f, 6.0f, 0.0f)));
    ball->setLinearVelocity(PxVec3(0.0f));
    Step(120);
    EXPECT_EQ(gShaderCalls.size(), 2u);
    for (const ShaderCall& call : gShaderCalls)
        EXPECT_EQ(call.data0.word0, 16u) << "the order never flips";
}

TEST_F(PhysXFiltering, AsymmetricMasksCollideOnlyWhenTheFirstActorsLayerIsInTheSecondsMask)
{
    CreateScene();
    // Layer 16 lists layer 1, layer 1 does not list layer 16. Floors are created before the balls.
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(50.0f, 5.0f, 50.0f), 16, 1);
    StaticBox(PxVec3(500.0f, -5.0f, 0.0f), PxVec3(50.0f, 5.0f, 50.0f), 1, 16);
    PxRigidDynamic* caught = Ball(PxVec3(0.0f, 20.0f, 0.0f), 5.0f, 1, 16);
    PxRigidDynamic* dropped = Ball(PxVec3(500.0f, 20.0f, 0.0f), 5.0f, 16, 0);
    Step(60);
    EXPECT_NEAR(caught->getGlobalPose().p.y, 5.0f, 0.1f);
    EXPECT_LT(dropped->getGlobalPose().p.y, -30.0f);
}

TEST_F(PhysXFiltering, PairFlagsDecideWhatIsSolvedAndWhatIsReported)
{
    CountingEvents events;
    ShaderAnswer answer;
    answer.pairFlags = PxPairFlag::eCONTACT_DEFAULT;
    CreateScene(AnswerShader, &answer, nullptr, &events);
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* solved = Ball(PxVec3(0.0f, 20.0f, 0.0f));
    Step(90);
    EXPECT_NEAR(solved->getGlobalPose().p.y, 5.0f, 0.1f);
    EXPECT_EQ(events.found, 0) << "no touch reports without the notify flags";
    scene->release();
    scene = nullptr;

    // Found is reported but contacts are not solved: the ball falls through and loses touch unreported.
    answer.pairFlags = PxPairFlag::eDETECT_DISCRETE_CONTACT | PxPairFlag::eNOTIFY_TOUCH_FOUND;
    CreateScene(AnswerShader, &answer, nullptr, &events);
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* unsolved = Ball(PxVec3(0.0f, 20.0f, 0.0f));
    Step(90);
    EXPECT_LT(unsolved->getGlobalPose().p.y, -30.0f);
    EXPECT_EQ(events.found, 1);
    EXPECT_EQ(events.lost, 0);
}

TEST_F(PhysXFiltering, NewSimulationFilterDataIsFilteredAgainOnTheNextStep)
{
    CreateScene();
    PxRigidStatic* floor = StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f), 16, 1);
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 20.0f, 0.0f), 5.0f, 1, 16);
    Step(60);
    ASSERT_NEAR(ball->getGlobalPose().p.y, 5.0f, 0.1f);
    PxShape* shape = nullptr;
    floor->getShapes(&shape, 1);
    shape->setSimulationFilterData(PxFilterData(2, 1, 0, 0)); // layer 2 is not in the ball's mask
    ball->wakeUp();
    Step(60);
    EXPECT_LT(ball->getGlobalPose().p.y, -30.0f);
}

} // namespace
} // namespace tarnwick::test
