// Contact modification before the solver, and touch reports delivered inside fetchResults.

#include <cmath>
#include <vector>

#include "PhysXTestWorld.h"

namespace tarnwick::test {
namespace {

using PhysXContacts = PhysXWorld;

// Cancels every contact of actors tagged by their user data, the way the program cuts holes:
// the point goes to the origin and the separation to one unit.
class HoleCutter : public PxContactModifyCallback {
public:
    void onContactModify(PxContactModifyPair* const pairs, PxU32 count) override
    {
        ++calls;
        for (PxU32 i = 0; i < count; ++i) {
            PxContactModifyPair& pair = pairs[i];
            EXPECT_NE(pair.actor[0], nullptr);
            EXPECT_NE(pair.shape[1], nullptr);
            const bool cut = pair.actor[0]->userData == &kTag || pair.actor[1]->userData == &kTag;
            for (PxU32 j = 0; j < pair.contacts.size(); ++j) {
                maxSeparationSeen = std::fmax(maxSeparationSeen, pair.contacts.getSeparation(j));
                lowestPointSeen = std::fmin(lowestPointSeen, pair.contacts.getPoint(j).y);
                if (!cut)
                    continue;
                pair.contacts.setSeparation(j, 1.0f);
                pair.contacts.setPoint(j, PxVec3(0.0f));
            }
        }
    }

    static inline int kTag = 0;
    int calls = 0;
    PxReal maxSeparationSeen = -PX_MAX_F32;
    PxReal lowestPointSeen = PX_MAX_F32;
};

TEST_F(PhysXContacts, RaisedSeparationLetsSphereSinkThroughWhileUnmodifiedOneRests)
{
    HoleCutter cutter;
    CreateScene(LayerShader, nullptr, &cutter);
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* cut = Ball(PxVec3(-50.0f, 20.0f, 0.0f));
    PxRigidDynamic* kept = Ball(PxVec3(50.0f, 20.0f, 0.0f));
    cut->userData = &HoleCutter::kTag;
    Step(120);
    EXPECT_LT(cut->getGlobalPose().p.y, -20.0f) << "the cut ball went through the box";
    EXPECT_NEAR(kept->getGlobalPose().p.y, 5.0f, 0.1f);
    EXPECT_GT(cutter.calls, 0);
    // The callback saw real contacts: near the surface, separations near zero.
    EXPECT_LT(cutter.maxSeparationSeen, 1.0f);
    EXPECT_GT(cutter.lowestPointSeen, -15.0f);
}

TEST_F(PhysXContacts, FastBallPassesWhereModificationCancelsTheImpactAndStopsElsewhere)
{
    HoleCutter cutter;
    CreateScene(LayerShader, nullptr, &cutter);
    StaticBox(PxVec3(0.0f, 0.0f, 0.0f), PxVec3(2.5f, 200.0f, 200.0f));
    PxRigidDynamic* throughHole = Ball(PxVec3(-200.0f, 100.0f, 0.0f));
    PxRigidDynamic* blocked = Ball(PxVec3(-200.0f, -100.0f, 0.0f));
    throughHole->userData = &HoleCutter::kTag;
    scene->setGravity(PxVec3(0.0f));
    for (PxRigidDynamic* ball : { throughHole, blocked })
        ball->setLinearVelocity(PxVec3(1500.0f, 0.0f, 0.0f));
    Step(12, 0.0333f);
    EXPECT_GT(throughHole->getGlobalPose().p.x, 100.0f) << "continuous collision respects cancelled contacts";
    EXPECT_LT(blocked->getGlobalPose().p.x, 0.0f);
}

TEST_F(PhysXContacts, MovedContactPointsAreWhereTheSolverPushes)
{
    // Every contact of the tagged box is moved 20 units along +x: the floor then pushes up beside the
    // box, which tips over; the untouched box stays level.
    struct PointMover : PxContactModifyCallback {
        void onContactModify(PxContactModifyPair* const pairs, PxU32 count) override
        {
            for (PxU32 i = 0; i < count; ++i) {
                if (pairs[i].actor[0]->userData != &HoleCutter::kTag
                    && pairs[i].actor[1]->userData != &HoleCutter::kTag)
                    continue;
                for (PxU32 j = 0; j < pairs[i].contacts.size(); ++j)
                    pairs[i].contacts.setPoint(j, pairs[i].contacts.getPoint(j) + PxVec3(20.0f, 0.0f, 0.0f));
            }
        }
    } mover;
    CreateScene(LayerShader, nullptr, &mover);
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(300.0f, 5.0f, 300.0f));
    auto box = [this](PxReal x) {
        return Own(physics->createRigidDynamic(PxTransform(PxVec3(x, 5.0f, 0.0f))),
            Shape(PxBoxGeometry(5.0f, 5.0f, 5.0f), 1, kAllLayers));
    };
    PxRigidDynamic* tipped = box(-100.0f);
    PxRigidDynamic* level = box(100.0f);
    tipped->userData = &HoleCutter::kTag;
    for (PxRigidDynamic* b : { tipped, level })
        b->setMassSpaceInertiaTensor(PxVec3(100.0f / 6.0f));
    Step(30);
    EXPECT_GT(tipped->getGlobalPose().q.getImaginaryPart().magnitude(), 0.1f);
    EXPECT_LT(level->getGlobalPose().q.getImaginaryPart().magnitude(), 0.01f);
}

TEST_F(PhysXContacts, IgnoredContactsAreNotSolved)
{
    struct Ignorer : PxContactModifyCallback {
        void onContactModify(PxContactModifyPair* const pairs, PxU32 count) override
        {
            for (PxU32 i = 0; i < count; ++i)
                for (PxU32 j = 0; j < pairs[i].contacts.size(); ++j)
                    pairs[i].contacts.ignore(j);
        }
    } ignorer;
    CreateScene(LayerShader, nullptr, &ignorer);
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 20.0f, 0.0f));
    Step(60);
    EXPECT_LT(ball->getGlobalPose().p.y, -30.0f);
}

TEST_F(PhysXContacts, PairsWithoutModifyFlagNeverReachTheCallback)
{
    HoleCutter cutter;
    ShaderAnswer answer; // eCONTACT_DEFAULT: no eMODIFY_CONTACTS
    CreateScene(AnswerShader, &answer, &cutter);
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 20.0f, 0.0f));
    ball->userData = &HoleCutter::kTag;
    Step(60);
    EXPECT_EQ(cutter.calls, 0);
    EXPECT_NEAR(ball->getGlobalPose().p.y, 5.0f, 0.1f);
}

struct Report {
    PxActor* actors[2];
    void* userData[2];
    PxPairFlags events;
    PxContactPairHeaderFlags headerFlags;
    PxU32 contactCount;
    PxVec3 firstPoint;
    std::vector<PxContactPairPoint> points;
};

class RecordingEvents : public PxSimulationEventCallback {
public:
    void onConstraintBreak(PxConstraintInfo*, PxU32) override {}
    void onWake(PxActor**, PxU32) override {}
    void onSleep(PxActor**, PxU32) override {}
    void onContact(const PxContactPairHeader& header, const PxContactPair* pairs, PxU32 nbPairs) override
    {
        EXPECT_TRUE(insideFetch) << "reports arrive inside fetchResults";
        for (PxU32 i = 0; i < nbPairs; ++i) {
            Report r {};
            for (int k = 0; k < 2; ++k) {
                r.actors[k] = header.actors[k];
                r.userData[k] = header.actors[k]->userData;
            }
            r.events = pairs[i].events;
            r.headerFlags = header.flags;
            r.contactCount = pairs[i].contactCount;
            r.firstPoint = reinterpret_cast<const PxVec3*>(pairs[i].contactPoints)[0];
            r.points.resize(pairs[i].contactCount);
            pairs[i].extractContacts(r.points.data(), pairs[i].contactCount);
            reports.push_back(r);
        }
    }
    void onTrigger(PxTriggerPair*, PxU32) override {}
    void onAdvance(const PxRigidBody* const*, const PxTransform*, const PxU32) override {}

    int Count(PxPairFlag::Enum event) const
    {
        int n = 0;
        for (const Report& r : reports)
            if (r.events & event)
                ++n;
        return n;
    }

    bool insideFetch = false;
    std::vector<Report> reports;
};

class PhysXReports : public PhysXWorld {
protected:
    void Frame(int steps = 1)
    {
        for (int i = 0; i < steps; ++i) {
            ASSERT_TRUE(scene->simulate(kFrame));
            events.insideFetch = true;
            ASSERT_TRUE(scene->fetchResults(true));
            events.insideFetch = false;
        }
    }
    RecordingEvents events;
};

TEST_F(PhysXReports, TouchFoundAndLostArriveOnceEachWithContactPointsOnTheSurface)
{
    CreateScene(LayerShader, nullptr, nullptr, &events);
    PxRigidStatic* floor = StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* ball = Ball(PxVec3(30.0f, 20.0f, -40.0f));
    Frame(90);
    ASSERT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_FOUND), 1);
    EXPECT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_LOST), 0);
    const Report& found = events.reports[0];
    EXPECT_EQ(found.actors[0], floor) << "the first-created actor comes first";
    EXPECT_EQ(found.actors[1], ball);
    ASSERT_GE(found.contactCount, 1u);
    EXPECT_NEAR(found.firstPoint.x, 30.0f, 1.0f);
    EXPECT_NEAR(found.firstPoint.y, 0.0f, 1.0f);
    EXPECT_NEAR(found.firstPoint.z, -40.0f, 1.0f);
    EXPECT_EQ(found.points[0].position, found.firstPoint);
    EXPECT_NEAR(found.points[0].normal.y, -1.0f, 1e-3f) << "normals point from the second shape to the first";

    // Slow enough to land again below the bounce threshold: one more touch, no bounce.
    ball->setLinearVelocity(PxVec3(0.0f, 150.0f, 0.0f));
    Frame(10);
    EXPECT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_LOST), 1);
    EXPECT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_FOUND), 1);
    Frame(120);
    EXPECT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_FOUND), 2) << "landing again is a new touch";
    EXPECT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_LOST), 1);
}

TEST_F(PhysXReports, RemovingAnActorReportsTouchLostAtTheNextFetchEvenAfterRelease)
{
    CreateScene(LayerShader, nullptr, nullptr, &events);
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 20.0f, 0.0f));
    int tag = 0;
    ball->userData = &tag;
    Frame(60);
    ASSERT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_FOUND), 1);
    scene->removeActor(*ball);
    ball->release();
    EXPECT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_LOST), 0) << "nothing is delivered outside fetchResults";
    Frame();
    ASSERT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_LOST), 1);
    const Report& lost = events.reports.back();
    EXPECT_TRUE(lost.headerFlags & PxContactPairHeaderFlag::eREMOVED_ACTOR_1);
    EXPECT_EQ(lost.userData[1], &tag) << "the released actor stays readable until its report is delivered";
    EXPECT_EQ(lost.contactCount, 0u);
    EXPECT_EQ(lost.firstPoint, PxVec3(0.0f)) << "a pair without points still has readable point data";
    Frame(10);
    EXPECT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_LOST), 1);
    EXPECT_EQ(physics->getNbShapes(), 1u) << "only the floor's shape is left";
}

// Many pairs at once, some ending by removal while others carry on: each ball's touches are its own,
// counted once each, whatever happens to the pairs around it.
TEST_F(PhysXReports, EveryPairOfACrowdKeepsItsOwnTouchStateWhileOthersComeAndGo)
{
    constexpr int kColumns = 15;
    constexpr int kRows = 10;
    constexpr PxReal kSpacing = 20.0f; // apart enough that balls only meet the floor
    constexpr PxReal kRestingHeight = 5.5f; // just above the floor, so that they land without a bounce
    CreateScene(LayerShader, nullptr, nullptr, &events);
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(400.0f, 5.0f, 400.0f));
    std::vector<PxRigidDynamic*> balls;
    for (int i = 0; i < kColumns * kRows; ++i)
        balls.push_back(Ball(PxVec3((i % kColumns) * kSpacing - 150.0f, kRestingHeight, (i / kColumns) * kSpacing)));
    const auto count = [this](const PxActor* ball, PxPairFlag::Enum event) {
        int n = 0;
        for (const Report& r : events.reports)
            if (r.actors[1] == ball && (r.events & event))
                ++n;
        return n;
    };

    Frame(30);
    for (const PxRigidDynamic* ball : balls) {
        ASSERT_EQ(count(ball, PxPairFlag::eNOTIFY_TOUCH_FOUND), 1);
        ASSERT_EQ(count(ball, PxPairFlag::eNOTIFY_TOUCH_LOST), 0);
    }

    // Every other ball leaves; the rest go on touching without a word.
    std::vector<PxRigidDynamic*> kept;
    std::vector<const PxActor*> removed;
    for (size_t i = 0; i < balls.size(); ++i) {
        if (i % 2 == 0) {
            kept.push_back(balls[i]);
            continue;
        }
        scene->removeActor(*balls[i]);
        removed.push_back(balls[i]);
        balls[i]->release();
    }
    Frame();
    for (const PxActor* ball : removed)
        ASSERT_EQ(count(ball, PxPairFlag::eNOTIFY_TOUCH_LOST), 1);
    for (const PxRigidDynamic* ball : kept) {
        ASSERT_EQ(count(ball, PxPairFlag::eNOTIFY_TOUCH_FOUND), 1);
        ASSERT_EQ(count(ball, PxPairFlag::eNOTIFY_TOUCH_LOST), 0);
    }

    // The rest hop once: one loss and one new touch each.
    for (PxRigidDynamic* ball : kept)
        ball->setLinearVelocity(PxVec3(0.0f, 150.0f, 0.0f));
    Frame(10);
    for (const PxRigidDynamic* ball : kept)
        ASSERT_EQ(count(ball, PxPairFlag::eNOTIFY_TOUCH_LOST), 1);
    Frame(120);
    for (const PxRigidDynamic* ball : kept) {
        ASSERT_EQ(count(ball, PxPairFlag::eNOTIFY_TOUCH_FOUND), 2);
        ASSERT_EQ(count(ball, PxPairFlag::eNOTIFY_TOUCH_LOST), 1);
    }
}

} // namespace
} // namespace tarnwick::test

namespace tarnwick::test {
namespace {

// Hooks called from contact reports create and add objects, as a ball making a hole does.
class SpawningEvents : public RecordingEvents {
public:
    void onContact(const PxContactPairHeader& header, const PxContactPair* pairs, PxU32 nbPairs) override
    {
        RecordingEvents::onContact(header, pairs, nbPairs);
        for (PxU32 i = 0; i < nbPairs; ++i) {
            if (!(pairs[i].events & PxPairFlag::eNOTIFY_TOUCH_FOUND))
                continue;
            PxRigidStatic* marker = physics->createRigidStatic(PxTransform(PxVec3(0.0f, 50.0f, 0.0f)));
            PxRigidActorExt::createExclusiveShape(*marker, PxBoxGeometry(1.0f, 1.0f, 1.0f), *material);
            scene->addActor(*marker);
            PxRigidStatic* unadded = physics->createRigidStatic(PxTransform(PxIdentity));
            PxRigidActorExt::createExclusiveShape(*unadded, PxSphereGeometry(2.0f), *material);
            ++spawned;
        }
    }

    PxPhysics* physics = nullptr;
    PxScene* scene = nullptr;
    PxMaterial* material = nullptr;
    int spawned = 0;
};

TEST_F(PhysXReports, ReportHooksMayCreateAndAddActorsWhileReportsAreDelivered)
{
    SpawningEvents spawning;
    CreateScene(LayerShader, nullptr, nullptr, &spawning);
    spawning.physics = physics;
    spawning.scene = scene;
    spawning.material = material;
    StaticBox(PxVec3(0.0f, -5.0f, 0.0f), PxVec3(200.0f, 5.0f, 200.0f));
    // Dropped from low enough to land below the bounce threshold: each ball starts touching the floor once.
    for (int i = 0; i < 3; ++i)
        Ball(PxVec3(30.0f * i, 12.0f + 3.0f * i, 0.0f));
    for (int i = 0; i < 90; ++i) {
        ASSERT_TRUE(scene->simulate(kFrame));
        spawning.insideFetch = true;
        ASSERT_TRUE(scene->fetchResults(true));
        spawning.insideFetch = false;
    }
    EXPECT_EQ(spawning.spawned, 3);
    EXPECT_EQ(scene->getNbActors(PxActorTypeFlag::eRIGID_STATIC), 4u);
    EXPECT_EQ(scene->getNbActors(PxActorTypeFlag::eRIGID_DYNAMIC), 3u);
    // Reports come sorted by creation: the floor first in every header, the balls in their order.
    ASSERT_EQ(spawning.reports.size(), 3u);
    for (size_t i = 1; i < spawning.reports.size(); ++i)
        EXPECT_EQ(spawning.reports[i].actors[0], spawning.reports[0].actors[0]);
}

} // namespace
} // namespace tarnwick::test

namespace tarnwick::test {
namespace {

// A fast ball and a wall five units thick across its way, at x = 0, with no gravity: the ball's
// first touch must be reported in the step in which it reaches the wall, before the step that
// answers the impact, so that the report can still decide what the impact does.
class FastTouches : public PhysXReports {
protected:
    // Steps until the first report, and returns the ball's velocity then.
    PxVec3 StepUntilReported(PxRigidDynamic* ball, PxReal dt, int& steps)
    {
        for (steps = 1; steps <= 20 && events.reports.empty(); ++steps) {
            EXPECT_TRUE(scene->simulate(dt));
            events.insideFetch = true;
            EXPECT_TRUE(scene->fetchResults(true));
            events.insideFetch = false;
        }
        return ball->getLinearVelocity();
    }
};

TEST_F(FastTouches, AreReportedInTheStepThatReachesTheSurfaceBeforeTheImpactIsAnswered)
{
    CreateScene(LayerShader, nullptr, nullptr, &events);
    scene->setGravity(PxVec3(0.0f));
    StaticBox(PxVec3(0.0f, 0.0f, 0.0f), PxVec3(2.5f, 200.0f, 200.0f));
    // Each case ends a step somewhere different against the wall's face at x = -2.5: far short of
    // it, just short of it (within the distance at which contacts are made), or beyond it.
    const struct {
        PxReal start;
        PxReal dt;
    } cases[] = { { -100.0f, 1.0f / 30.0f }, { -67.6f, 0.02f }, { -67.55f, 0.02f }, { -48.0f, 0.005f },
        { -20.0f, 0.0333f } };
    for (const auto& c : cases) {
        SCOPED_TRACE("from x = " + std::to_string(c.start) + ", steps of " + std::to_string(c.dt) + " s");
        events.reports.clear();
        PxRigidDynamic* ball = Ball(PxVec3(c.start, 0.0f, 30.0f));
        ball->setLinearVelocity(PxVec3(1500.0f, 0.0f, 0.0f));
        int steps = 0;
        const PxVec3 velocity = StepUntilReported(ball, c.dt, steps);
        ASSERT_EQ(events.Count(PxPairFlag::eNOTIFY_TOUCH_FOUND), 1);
        EXPECT_NEAR(velocity.x, 1500.0f, 1e-3f) << "the impact is not answered before the touch is reported";
        EXPECT_LT(ball->getGlobalPose().p.x, -2.5f - 5.0f + 0.2f) << "the ball stopped at the face";
        const Report& found = events.reports[0];
        ASSERT_GE(found.contactCount, 1u);
        EXPECT_NEAR(found.firstPoint.x, -2.5f, 0.2f) << "the contact lies on the wall's face";
        EXPECT_NEAR(found.firstPoint.y, 0.0f, 0.5f);
        EXPECT_NEAR(found.firstPoint.z, 30.0f, 0.5f);
        // The next step answers it: the ball bounces back.
        events.insideFetch = true;
        Step(1, c.dt);
        EXPECT_LT(ball->getLinearVelocity().x, 0.0f);
        scene->removeActor(*ball);
        ball->release();
        Step(1, c.dt);
    }
}

// Lets contacts through where they lie within a limited stretch of the wall around the x axis, as a
// hole does.
class BoundedHole : public PxContactModifyCallback {
public:
    void onContactModify(PxContactModifyPair* const pairs, PxU32 count) override
    {
        for (PxU32 i = 0; i < count; ++i)
            for (PxU32 j = 0; j < pairs[i].contacts.size(); ++j) {
                const PxVec3 p = pairs[i].contacts.getPoint(j);
                if (std::fabs(p.x) < 10.0f && p.y * p.y + p.z * p.z < 64.0f)
                    pairs[i].contacts.ignore(j);
            }
    }
};

TEST_F(PhysXContacts, ABallLetThroughAWallIsNotPushedBackFromItsFarSide)
{
    // A contact let through in one step is not kept and carried along with the ball: PhysX makes its
    // contacts anew every step, and a kept one would pull the ball back out of the far side.
    BoundedHole hole;
    CreateScene(LayerShader, nullptr, &hole);
    scene->setGravity(PxVec3(0.0f));
    StaticBox(PxVec3(0.0f, 0.0f, 0.0f), PxVec3(2.5f, 200.0f, 200.0f));
    for (const PxReal dt : { 1.0f / 60.0f, 1.0f / 30.0f, 0.005f }) {
        SCOPED_TRACE("steps of " + std::to_string(dt) + " s");
        PxRigidDynamic* ball = Ball(PxVec3(-7.45f, 0.0f, 0.0f));
        Step(1, dt);
        ball->setLinearVelocity(PxVec3(1500.0f, 0.0f, 0.0f));
        Step(static_cast<PxU32>(0.2f / dt), dt);
        EXPECT_GT(ball->getGlobalPose().p.x, 100.0f);
        EXPECT_NEAR(ball->getLinearVelocity().x, 1500.0f, 1.0f);
        scene->removeActor(*ball);
        ball->release();
    }
}

} // namespace
} // namespace tarnwick::test
