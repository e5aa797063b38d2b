#include "Physics/MeshCollider.h"
#include "Physics/Raycast.h"
#include "Physics/SimulationCallbacks.h"

#include "PhysicsTestWorld.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace physx;

// A pair of a contact report laid out as the library hands it over: the points (position and
// separation each), then two face indices per point; one patch and one impulse per point.
struct ReportedPair {
    ReportedPair(const std::vector<PxVec3>& positions, PxPairFlags events)
        : stream(new PxU8[positions.size() * (sizeof(PxContact) + 2 * sizeof(PxU32))])
        , patches(positions.size())
        , impulses(positions.size(), 0.0f)
    {
        auto* contacts = reinterpret_cast<PxContact*>(stream.get());
        auto* faces = reinterpret_cast<PxU32*>(stream.get() + positions.size() * sizeof(PxContact));
        for (std::size_t i = 0; i < positions.size(); ++i) {
            contacts[i].contact = positions[i];
            contacts[i].separation = -0.1f;
            faces[2 * i] = faces[2 * i + 1] = 0xffffffffu;
            patches[i].normal = PxVec3(0.0f, 1.0f, 0.0f);
            patches[i].startContactIndex = static_cast<PxU16>(i);
            patches[i].nbContacts = 1;
        }
        pair = PxContactPair {};
        // A pair without points still has a stream, of no bytes: reading a point from it is an error.
        pair.contactPoints = stream.get();
        pair.contactPatches = reinterpret_cast<const PxU8*>(patches.data());
        pair.contactImpulses = impulses.data();
        pair.contactCount = static_cast<PxU8>(positions.size());
        pair.patchCount = static_cast<PxU8>(positions.size());
        pair.events = events;
    }

    std::unique_ptr<PxU8[]> stream;
    std::vector<PxContactPatch> patches;
    std::vector<PxReal> impulses;
    PxContactPair pair;
};

class SimulationCallbacks : public PhysicsWorld {
protected:
    void TearDown() override
    {
        for (PxRigidStatic* actor : actors)
            actor->release();
        actors.clear();
        PhysicsWorld::TearDown();
    }

    // An actor outside the scene whose user data is `owner`, as contact reports name it.
    PxRigidStatic* ActorOf(GameObject* owner)
    {
        PxRigidStatic* actor = PhysicsEngine::GetInstance().physics->createRigidStatic(PxTransform(PxIdentity));
        actor->userData = owner;
        actors.push_back(actor);
        return actor;
    }

    // Delivers the pairs as one report between the actors of `a` and `b`.
    void Report(GameObject* a, GameObject* b, const std::vector<const ReportedPair*>& reported)
    {
        std::vector<PxContactPair> pairs;
        for (const ReportedPair* r : reported)
            pairs.push_back(r->pair);
        PxContactPairHeader header {};
        header.actors[0] = ActorOf(a);
        header.actors[1] = ActorOf(b);
        header.pairs = pairs.data();
        header.nbPairs = static_cast<PxU32>(pairs.size());
        PhysicsEngine::GetInstance().collisionCallback->onContact(header, pairs.data(), header.nbPairs);
    }

    // Two objects with probes: "a1" and "a2" on A, "b1" on B.
    void MakeProbedPair()
    {
        a = &Object("A");
        b = &Object("B");
        AddComponent<HookProbe>(*a, "a1", &hooks);
        AddComponent<HookProbe>(*a, "a2", &hooks);
        AddComponent<HookProbe>(*b, "b1", &hooks);
    }

    std::vector<PxRigidStatic*> actors;
    GameObject* a = nullptr;
    GameObject* b = nullptr;
};

std::vector<std::string> Calls(const std::vector<HookCall>& hooks)
{
    std::vector<std::string> calls;
    for (const HookCall& call : hooks)
        calls.push_back(call.receiver + " " + call.hook + " " + (call.other != nullptr ? call.other->name : "null"));
    return calls;
}

TEST_F(SimulationCallbacks, EveryComponentOfBothObjectsReceivesTheTouchAComponentsFirst)
{
    MakeProbedPair();
    AddComponent<HookProbe>(*b, "b2", &hooks);
    ReportedPair found({ { 1.0f, 2.0f, 3.0f }, { 9.0f, 9.0f, 9.0f } }, PxPairFlag::eNOTIFY_TOUCH_FOUND);
    Report(a, b, { &found });

    EXPECT_EQ(Calls(hooks), (std::vector<std::string> { "a1 Enter B", "a2 Enter B", "b1 Enter A", "b2 Enter A" }));
    // Everyone is told the first contact point.
    for (const HookCall& call : hooks)
        EXPECT_EQ(call.contact, (Float3 { 1.0f, 2.0f, 3.0f })) << call.receiver;
}

TEST_F(SimulationCallbacks, ATouchLostCallsOnlyOnCollisionExitOnBothSides)
{
    MakeProbedPair();
    ReportedPair lost({}, PxPairFlag::eNOTIFY_TOUCH_LOST);
    Report(a, b, { &lost });
    EXPECT_EQ(Calls(hooks), (std::vector<std::string> { "a1 Exit B", "a2 Exit B", "b1 Exit A" }));
}

TEST_F(SimulationCallbacks, FoundAndLostInOnePairAreHandledFoundFirst)
{
    MakeProbedPair();
    ReportedPair both({ { 0.0f, 5.0f, 0.0f } }, PxPairFlag::eNOTIFY_TOUCH_FOUND | PxPairFlag::eNOTIFY_TOUCH_LOST);
    Report(a, b, { &both });
    EXPECT_EQ(Calls(hooks),
        (std::vector<std::string> { "a1 Enter B", "a2 Enter B", "b1 Enter A", "a1 Exit B", "a2 Exit B", "b1 Exit A" }));
}

TEST_F(SimulationCallbacks, EachPairOfAReportIsHandledInOrder)
{
    MakeProbedPair();
    ReportedPair first({ { 1.0f, 0.0f, 0.0f } }, PxPairFlag::eNOTIFY_TOUCH_FOUND);
    ReportedPair second({ { 2.0f, 0.0f, 0.0f } }, PxPairFlag::eNOTIFY_TOUCH_FOUND);
    Report(a, b, { &first, &second });
    ASSERT_EQ(hooks.size(), 6u);
    EXPECT_EQ(hooks[0].contact.x, 1.0f);
    EXPECT_EQ(hooks[2].contact.x, 1.0f);
    EXPECT_EQ(hooks[3].contact.x, 2.0f);
    EXPECT_EQ(hooks[5].contact.x, 2.0f);
}

TEST_F(SimulationCallbacks, ATouchFoundAtTheOriginEndsTheReport)
{
    MakeProbedPair();
    ReportedPair before({ { 1.0f, 0.0f, 0.0f } }, PxPairFlag::eNOTIFY_TOUCH_FOUND);
    ReportedPair atOrigin({ { 0.0f, 0.0f, 0.0f }, { 4.0f, 0.0f, 0.0f } },
        PxPairFlag::eNOTIFY_TOUCH_FOUND | PxPairFlag::eNOTIFY_TOUCH_LOST);
    ReportedPair after({ { 2.0f, 0.0f, 0.0f } }, PxPairFlag::eNOTIFY_TOUCH_FOUND);
    ReportedPair lostAfter({}, PxPairFlag::eNOTIFY_TOUCH_LOST);
    Report(a, b, { &before, &atOrigin, &after, &lostAfter });
    // Only the pair before it was announced; its own touch lost and every later pair are dropped.
    EXPECT_EQ(Calls(hooks), (std::vector<std::string> { "a1 Enter B", "a2 Enter B", "b1 Enter A" }));
    for (const HookCall& call : hooks)
        EXPECT_EQ(call.contact.x, 1.0f);
}

TEST_F(SimulationCallbacks, ATouchFoundWithoutContactPointsReadsNoPoint)
{
    MakeProbedPair();
    // The sanitizer build catches a read from the empty stream.
    ReportedPair pointless({}, PxPairFlag::eNOTIFY_TOUCH_FOUND);
    ReportedPair later({ { 3.0f, 0.0f, 0.0f } }, PxPairFlag::eNOTIFY_TOUCH_FOUND);
    Report(a, b, { &pointless, &later });
    EXPECT_EQ(Calls(hooks), (std::vector<std::string> { "a1 Enter B", "a2 Enter B", "b1 Enter A" }));
    for (const HookCall& call : hooks)
        EXPECT_EQ(call.contact, (Float3 { 3.0f, 0.0f, 0.0f }));
}

TEST_F(SimulationCallbacks, AnActorWithoutAGameObjectGetsNoHooks)
{
    MakeProbedPair();
    ReportedPair found({ { 1.0f, 0.0f, 0.0f } }, PxPairFlag::eNOTIFY_TOUCH_FOUND);
    ReportedPair lost({}, PxPairFlag::eNOTIFY_TOUCH_LOST);
    Report(a, nullptr, { &found, &lost });
    Report(nullptr, b, { &found, &lost });
    EXPECT_TRUE(hooks.empty());
}

// -- Contact modification

const PxVec3 kNormal(0.0f, 1.0f, 0.0f);

PxModifiableContact Contact(const PxVec3& point, float separation)
{
    PxModifiableContact contact {};
    contact.contact = point;
    contact.separation = separation;
    contact.normal = kNormal;
    contact.maxImpulse = PX_MAX_F32;
    contact.restitution = 0.1f;
    contact.staticFriction = contact.dynamicFriction = 1.0f;
    return contact;
}

bool SameBytes(const PxModifiableContact& x, const PxModifiableContact& y)
{
    return std::memcmp(&x, &y, sizeof x) == 0;
}

class ContactModification : public PhysicsWorld {
protected:
    // A static box object, started, its first collider the one the callback consults.
    BoxCollider* Solid(const std::string& name, Float3 position)
    {
        return StaticBox(name, position, { 50.0f, 5.0f, 50.0f });
    }

    // A hole as the ball makes one: a collider kept out of the scene, posed where it is.
    BoxCollider* BoxHole(Float3 position, Float3 halfExtents)
    {
        GameObject& object = Object("hole", position);
        auto* hole = AddComponent<BoxCollider>(object, halfExtents);
        hole->layer = 0;
        hole->addToScene = false;
        Place(object);
        return hole;
    }

    // Runs the callback on one pair between the two colliders' actors and returns the contacts.
    std::vector<PxModifiableContact> Modify(
        const Collider* first, const Collider* second, std::vector<PxModifiableContact> contacts)
    {
        PxContactModifyPair pair {};
        pair.actor[0] = first->actor;
        pair.actor[1] = second->actor;
        pair.shape[0] = first->shape;
        pair.shape[1] = second->shape;
        pair.transform[0] = first->actor->getGlobalPose();
        pair.transform[1] = second->actor->getGlobalPose();
        pair.contacts.mCount = static_cast<PxU32>(contacts.size());
        pair.contacts.mContacts = contacts.data();
        PhysicsEngine::GetInstance().contactModify->onContactModify(&pair, 1);
        return contacts;
    }

    static void ExpectCancelled(const PxModifiableContact& contact)
    {
        EXPECT_EQ(contact.contact, PxVec3(0.0f, 0.0f, 0.0f));
        EXPECT_EQ(contact.separation, 1.0f);
        EXPECT_EQ(contact.maxImpulse, 0.0f) << "the solver ignores it";
        EXPECT_EQ(contact.normal, kNormal);
    }
};

TEST_F(ContactModification, AContactHalfAUnitFromAHoleIsCancelledAndOneTwoUnitsOutsideIsNot)
{
    BoxCollider* wall = Solid("wall", { 0.0f, 0.0f, 0.0f });
    BoxCollider* ball = Solid("ball", { 0.0f, 20.0f, 0.0f });
    BoxCollider* hole = BoxHole({ 0.0f, 5.0f, 0.0f }, { 5.0f, 5.0f, 5.0f });
    wall->ignoredColliders.push_back(hole);

    const std::vector<PxModifiableContact> original = { Contact({ 5.5f, 5.0f, 0.0f }, -0.2f),
        Contact({ 7.0f, 5.0f, 0.0f }, -0.3f), Contact({ 0.0f, 5.0f, 2.0f }, -0.4f),
        Contact({ 0.0f, 5.0f, -7.0f }, -0.5f) };
    // The hole's collider may be on either side of the pair.
    for (bool wallFirst : { true, false }) {
        std::vector<PxModifiableContact> modified = wallFirst ? Modify(wall, ball, original)
                                                              : Modify(ball, wall, original);
        ExpectCancelled(modified[0]);
        EXPECT_TRUE(SameBytes(modified[1], original[1])) << "2 units outside the hole";
        ExpectCancelled(modified[2]);
        EXPECT_TRUE(SameBytes(modified[3], original[3])) << "2 units outside the hole";
    }
}

TEST_F(ContactModification, TheHoleReachesOneUnitBeyondItsSurface)
{
    BoxCollider* wall = Solid("wall", { 0.0f, 0.0f, 0.0f });
    BoxCollider* ball = Solid("ball", { 0.0f, 20.0f, 0.0f });
    BoxCollider* hole = BoxHole({ 0.0f, 5.0f, 0.0f }, { 5.0f, 5.0f, 5.0f });
    ball->ignoredColliders.push_back(hole);
    const std::vector<PxModifiableContact> original = { Contact({ 5.99f, 5.0f, 0.0f }, -0.2f),
        Contact({ 6.01f, 5.0f, 0.0f }, -0.2f) };
    std::vector<PxModifiableContact> modified = Modify(wall, ball, original);
    ExpectCancelled(modified[0]);
    EXPECT_TRUE(SameBytes(modified[1], original[1]));
}

TEST_F(ContactModification, EveryHoleOfBothCollidersIsTested)
{
    BoxCollider* wall = Solid("wall", { 0.0f, 0.0f, 0.0f });
    BoxCollider* ball = Solid("ball", { 0.0f, 20.0f, 0.0f });
    BoxCollider* farHole = BoxHole({ 40.0f, 5.0f, 40.0f }, { 2.0f, 2.0f, 2.0f });
    BoxCollider* wallHole = BoxHole({ -20.0f, 5.0f, 0.0f }, { 2.0f, 2.0f, 2.0f });
    BoxCollider* ballHole = BoxHole({ 20.0f, 5.0f, 0.0f }, { 2.0f, 2.0f, 2.0f });
    wall->ignoredColliders = { farHole, wallHole };
    ball->ignoredColliders = { farHole, ballHole };
    const std::vector<PxModifiableContact> original = { Contact({ -20.0f, 5.0f, 0.0f }, -0.2f),
        Contact({ 20.0f, 5.0f, 0.0f }, -0.2f), Contact({ 0.0f, 5.0f, 0.0f }, -0.2f) };
    std::vector<PxModifiableContact> modified = Modify(wall, ball, original);
    ExpectCancelled(modified[0]);
    ExpectCancelled(modified[1]);
    EXPECT_TRUE(SameBytes(modified[2], original[2]));
}

TEST_F(ContactModification, APairWithEmptyIgnoreListsIsLeftUntouched)
{
    BoxCollider* wall = Solid("wall", { 0.0f, 0.0f, 0.0f });
    BoxCollider* ball = Solid("ball", { 0.0f, 20.0f, 0.0f });
    // A hole that exists but is in nobody's list changes nothing.
    BoxHole({ 0.0f, 5.0f, 0.0f }, { 5.0f, 5.0f, 5.0f });
    const std::vector<PxModifiableContact> original = { Contact({ 0.0f, 5.0f, 0.0f }, -0.2f),
        Contact({ 1.0f, 5.0f, 1.0f }, 0.0f) };
    std::vector<PxModifiableContact> modified = Modify(wall, ball, original);
    for (std::size_t i = 0; i < original.size(); ++i)
        EXPECT_TRUE(SameBytes(modified[i], original[i])) << "contact " << i;
}

TEST_F(ContactModification, AHoleCutFromACookedModelCancelsNearItsSurface)
{
    BoxCollider* wall = Solid("wall", { 0.0f, 0.0f, 0.0f });
    BoxCollider* ball = Solid("ball", { 0.0f, 20.0f, 0.0f });
    std::unique_ptr<Model> cube = CubeModel(5.0f);
    GameObject& holeObject = Object("mesh hole", { 0.0f, 5.0f, 0.0f });
    auto* hole = AddComponent<MeshCollider>(holeObject);
    hole->model = cube.get();
    hole->addToScene = false;
    Place(holeObject);
    ASSERT_NE(hole->shape, nullptr);
    wall->ignoredColliders.push_back(hole);

    const std::vector<PxModifiableContact> original = { Contact({ 5.5f, 5.0f, 0.0f }, -0.2f),
        Contact({ 7.0f, 5.0f, 0.0f }, -0.2f) };
    std::vector<PxModifiableContact> modified = Modify(wall, ball, original);
    ExpectCancelled(modified[0]);
    EXPECT_TRUE(SameBytes(modified[1], original[1]));
}

// A closed cylinder of radius 1 along z from -2.5 to 2.5, side and caps with vertices of their own, as
// the hole's model is made: a hole cut from it is solid, however far inside a contact lies.
std::unique_ptr<Model> ClosedCylinder()
{
    constexpr int kSegments = 32;
    constexpr float kHalfLength = 2.5f;
    Mesh mesh;
    auto add = [&mesh](float x, float y, float z) {
        Vertex v;
        v.position = { x, y, z, 1.0f };
        mesh.vertices.push_back(v);
        return static_cast<std::uint32_t>(mesh.vertices.size() - 1);
    };
    for (int i = 0; i < kSegments; ++i) {
        const float a0 = 6.2831853f * static_cast<float>(i) / kSegments;
        const float a1 = 6.2831853f * static_cast<float>(i + 1) / kSegments;
        const std::uint32_t b0 = add(std::cos(a0), std::sin(a0), -kHalfLength),
                            b1 = add(std::cos(a1), std::sin(a1), -kHalfLength);
        const std::uint32_t t0 = add(std::cos(a0), std::sin(a0), kHalfLength),
                            t1 = add(std::cos(a1), std::sin(a1), kHalfLength);
        mesh.indices.insert(mesh.indices.end(), { b0, t1, b1, b0, t0, t1 });
        const std::uint32_t top = add(0.0f, 0.0f, kHalfLength), topA = add(std::cos(a0), std::sin(a0), kHalfLength),
                            topB = add(std::cos(a1), std::sin(a1), kHalfLength);
        mesh.indices.insert(mesh.indices.end(), { top, topA, topB });
        const std::uint32_t bottom = add(0.0f, 0.0f, -kHalfLength),
                            bottomA = add(std::cos(a0), std::sin(a0), -kHalfLength),
                            bottomB = add(std::cos(a1), std::sin(a1), -kHalfLength);
        mesh.indices.insert(mesh.indices.end(), { bottom, bottomB, bottomA });
    }
    auto model = std::make_unique<Model>();
    model->meshes.push_back(std::move(mesh));
    return model;
}

TEST_F(ContactModification, AHoleCutFromAnOrdinaryClosedCylinderCancelsEverywhereInsideIt)
{
    BoxCollider* wall = Solid("wall", { 0.0f, 0.0f, 0.0f });
    BoxCollider* ball = Solid("ball", { 0.0f, 40.0f, 0.0f });
    std::unique_ptr<Model> cylinder = ClosedCylinder();
    // Cooked at 6, as a hole is: radius 6, from z = -15 to 15 about the hole's centre.
    GameObject& holeObject = Object("House boolean", { 0.0f, 5.0f, 0.0f });
    holeObject.transform->scale = { 6.0f, 6.0f, 3.0f, 1.0f };
    auto* hole = AddComponent<MeshCollider>(holeObject);
    hole->model = cylinder.get();
    hole->addToScene = false;
    Place(holeObject);
    ASSERT_NE(hole->shape, nullptr);
    wall->ignoredColliders.push_back(hole);

    const std::vector<PxModifiableContact> original = {
        Contact({ 0.0f, 5.0f, 0.0f }, -0.2f), // on the axis, 6 from the side and 15 from the caps
        Contact({ 3.0f, 2.0f, -10.0f }, -0.2f), // deep inside, off the axis
        Contact({ 6.5f, 5.0f, 0.0f }, -0.2f), // half a unit outside the side
        Contact({ 8.0f, 5.0f, 0.0f }, -0.2f), // two units outside
        Contact({ 0.0f, 5.0f, 17.0f }, -0.2f), // two units beyond a cap
    };
    std::vector<PxModifiableContact> modified = Modify(wall, ball, original);
    ExpectCancelled(modified[0]);
    ExpectCancelled(modified[1]);
    ExpectCancelled(modified[2]);
    EXPECT_TRUE(SameBytes(modified[3], original[3]));
    EXPECT_TRUE(SameBytes(modified[4], original[4]));
}

// The same through a real step: a ball resting on a floor sinks through a hole under it.
class HolesInAScene : public PhysicsWorld {
protected:
    float BallHeightAfterASecond(bool withHole)
    {
        BoxCollider* floor = StaticBox("floor", { 0.0f, 0.0f, 0.0f }, { 100.0f, 5.0f, 100.0f });
        if (withHole) {
            GameObject& holeObject = Object("hole", { 0.0f, 0.0f, 0.0f });
            auto* hole = AddComponent<BoxCollider>(holeObject, Float3 { 8.0f, 20.0f, 8.0f });
            hole->addToScene = false;
            Place(holeObject);
            floor->ignoredColliders.push_back(hole);
        }
        RigidBody* ball = Ball("ball", { 0.0f, 10.5f, 0.0f });
        Step(60);
        return ball->gameObject->transform->position.y;
    }
};

TEST_F(HolesInAScene, ABallRestsOnAFloorWithoutAHole)
{
    EXPECT_NEAR(BallHeightAfterASecond(false), 10.0f, 1.0f);
}

TEST_F(HolesInAScene, ABallSinksThroughAHoleInTheFloor)
{
    EXPECT_LT(BallHeightAfterASecond(true), -100.0f);
}

// -- Error reports

TEST(PhysicsErrorReport, IsOneLineOnStandardErrorAndTheProgramRunsOn)
{
    MyErrorCallback callback;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    callback.reportError(
        PxErrorCode::eINVALID_PARAMETER, "PxScene::raycast(): unitDir is not valid.", "SceneQuery.cpp", 99);
    callback.reportError(PxErrorCode::eABORT, "abort", "Scene.cpp", 7);
    callback.reportError(PxErrorCode::ePERF_WARNING, "", "", 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        "PhysX error (4): PxScene::raycast(): unitDir is not valid. in file SceneQuery.cpp at line 99\n"
        "PhysX error (64): abort in file Scene.cpp at line 7\n"
        "PhysX error (128):  in file  at line 0\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(SimulationCallbacks, TheLibrarysOwnErrorsReachTheErrorCallback)
{
    // A ray whose direction is not of unit length is refused by the library, which reports it.
    testing::internal::CaptureStderr();
    RaycastResult result;
    EXPECT_FALSE((Ray { { 0.0f, 0.0f, 0.0f }, { 0.0f, -2.0f, 0.0f } }).Cast(result, 100.0f));
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.rfind("PhysX error (4): ", 0), 0u) << printed;
    EXPECT_NE(printed.find(" in file "), std::string::npos) << printed;
    EXPECT_NE(printed.find(" at line "), std::string::npos) << printed;
    EXPECT_EQ(printed.back(), '\n');
    EXPECT_EQ(result.hitCount, 0);
}

} // namespace
