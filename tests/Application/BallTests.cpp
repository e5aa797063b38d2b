#include "Application/Ball.h"
#include "Application/BallThrower.h"
#include "Application/DemoScene.h"
#include "Assets/Model.h"
#include "DemoWorld.h"
#include "GlTestContext.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Math/Rotation.h"
#include "Physics/BoxCollider.h"
#include "Physics/Collider.h"
#include "Physics/PhysXConversions.h"
#include "Physics/Raycast.h"
#include "Physics/RigidBody.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"
#include "ScenePicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

// Balls thrown into the demo scene with the real physics, frame by frame as the frame loop runs it
// (without drawing). Every test starts from a whole cabin.

namespace {

constexpr float kFrame = 0.0333f;
// The wall ahead of the start position stands at z = 35; its outer face is 2.5 further out.
constexpr float kBeyondFrontWall = 40.0f;

class BallTest : public ::testing::Test {
protected:
    void RunFrames(int count, float deltaTime = kFrame)
    {
        for (int i = 0; i < count; ++i)
            world.Frame(deltaTime);
    }

    // Holds the left button for two frames with the camera at `position`, turned by yaw and pitch
    // (degrees) from the start view.
    GameObject* Throw(Float3 position, float yaw, float pitch, float deltaTime = kFrame)
    {
        const float y = yaw * kDegreesToRadians;
        const float p = pitch * kDegreesToRadians;
        GameObject* ball = world.Throw(
            position, { std::sin(y) * std::cos(p), std::sin(p), std::cos(y) * std::cos(p) }, deltaTime);
        EXPECT_NE(ball, nullptr);
        return ball;
    }

    GameObject* FrontWall() const { return world.ObjectAt("CabinwallX", { 0, 0, 35 }); }

    // A ball made by hand at `position`, as a throw makes one but at rest, that has touched nothing.
    GameObject* PlaceBall(Float3 position) { return MakeBall(world.Camera(), position); }

    // Puts the program's camera at `position`, turned by yaw and pitch (degrees) from the start view.
    InspectorCamera& Look(Float3 position, float yaw, float pitch)
    {
        InspectorCamera& camera = world.Camera();
        camera.position = { position.x, position.y, position.z, 1.0f };
        camera.yaw = yaw;
        camera.pitch = pitch;
        camera.GameCamera::Update(0.0f);
        return camera;
    }

    DemoWorld world;
};

void ExpectNear(const Float3& actual, const Float3& expected, float tolerance)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// Records the names of the objects that start touching its owner, in order.
struct TouchLog : Component {
    void OnCollisionEnter(GameObject* other, const Float3&) override { touched.push_back(other->name); }
    std::vector<std::string> touched;
};

} // namespace

TEST_F(BallTest, ABallThrownAtAWallPunchesAHoleAndFallsThroughIt)
{
    GameObject* wall = FrontWall();
    ASSERT_NE(wall, nullptr);
    GameObject* ball = Throw({ 0, 0, 0 }, 0.0f, 0.0f);
    ASSERT_NE(ball, nullptr);
    RunFrames(150);

    EXPECT_TRUE(ball->GetComponent<Ball>()->hasHit);
    std::vector<GameObject*> holes = world.Holes();
    ASSERT_EQ(holes.size(), 1u);
    // The hole is a mask of the wall's group, registered with the engine, and an ignored collider of
    // the wall that never joined the scene.
    auto* mask = holes[0]->GetComponent<MeshRenderer>();
    EXPECT_EQ(mask->maskOf, wall->GetComponent<MeshRenderer>()->maskGroup);
    EXPECT_EQ(mask->material.albedo, (Float4 { 0, 0, 0, 1 }));
    const auto& masks = GraphicsEngine::GetInstance().maskRenderers;
    ASSERT_EQ(masks.count(mask->maskOf), 1u);
    EXPECT_EQ(masks.at(mask->maskOf).back(), mask);
    const auto& ignored = wall->GetComponent<Collider>()->ignoredColliders;
    ASSERT_EQ(ignored.size(), 1u);
    EXPECT_EQ(ignored[0]->gameObject, holes[0]);
    EXPECT_FALSE(ignored[0]->addToScene);
    EXPECT_EQ(ignored[0]->layer, 0);
    // The hole turns with the wall and is scaled to a radius of 6, where the ball met the wall.
    EXPECT_EQ(holes[0]->transform->rotation.y, wall->transform->rotation.y);
    EXPECT_EQ(holes[0]->transform->scale, (Float4 { 6, 6, 3, 1 }));
    EXPECT_NEAR(holes[0]->transform->position.x, 0.0f, 1.0f);
    EXPECT_NEAR(holes[0]->transform->position.y, 0.0f, 1.0f);
    // The ball went through: beyond the wall's outer face and down on the floor outside.
    const Float4& p = ball->transform->position;
    EXPECT_GT(p.z, kBeyondFrontWall);
    EXPECT_LT(p.y, 5.0f);
}

TEST_F(BallTest, AThrowInTheFirstFrameMeetsTheCabinWhereItIsDrawn)
{
    // Before any frame has run, every static collider already stands where its object stands.
    for (const char* type : { "BoxCollider", "MeshCollider" })
        for (Component* component : Scene::GetInstance().componentsByType->at(type)) {
            auto* collider = static_cast<Collider*>(component);
            const Transform& transform = *collider->gameObject->transform;
            const physx::PxTransform pose = collider->actor->getGlobalPose();
            SCOPED_TRACE(collider->gameObject->name);
            ExpectNear(ToFloat3(pose.p), XYZ(transform.position), 1e-4f);
            const physx::PxQuat expected = ToPx(
                EulerToQuaternion(transform.rotation.x, transform.rotation.y, transform.rotation.z))
                                               .getNormalized();
            const float alignment = pose.q.x * expected.x + pose.q.y * expected.y + pose.q.z * expected.z
                + pose.q.w * expected.w;
            EXPECT_NEAR(std::abs(alignment), 1.0f, 1e-5f);
            ExpectNear(ToFloat3(collider->shape->getLocalPose().p), collider->localPosition, 1e-4f);
        }
    // So a ball thrown in the very first frame holes the wall ahead where it meets it, not the cabin
    // as it would stand at the origin.
    GameObject* ball = Throw({ 0, 10, 0 }, 0.0f, 0.0f);
    RunFrames(60);
    std::vector<GameObject*> holes = world.Holes();
    ASSERT_EQ(holes.size(), 1u);
    EXPECT_EQ(FrontWall()->GetComponent<Collider>()->ignoredColliders.size(), 1u);
    EXPECT_NEAR(holes[0]->transform->position.y, 10.0f, 1.0f);
    EXPECT_GT(holes[0]->transform->position.z, 30.0f);
    EXPECT_GT(ball->transform->position.z, kBeyondFrontWall);
}

TEST_F(BallTest, ASecondBallThroughAHolePassesWithoutANewOneAndABallBesideItMakesItsOwn)
{
    GameObject* wall = FrontWall();
    const auto& ignored = wall->GetComponent<Collider>()->ignoredColliders;
    for (const float step : { 0.005f, 1.0f / 60.0f, kFrame }) {
        SCOPED_TRACE("frames of " + std::to_string(step) + " s");
        world.RemoveThrows();
        // The first makes its hole and goes through it.
        GameObject* first = Throw({ -10, 15, 5 }, 0.0f, 0.0f, step);
        RunFrames(static_cast<int>(1.0f / step), step);
        ASSERT_EQ(world.Holes().size(), 1u);
        EXPECT_GT(first->transform->position.z, kBeyondFrontWall);
        // The second, thrown the same way, goes through the same hole: its contacts there stay
        // cancelled, it makes no hole of its own.
        GameObject* second = Throw({ -10, 15, 5 }, 0.0f, 0.0f, step);
        RunFrames(static_cast<int>(1.0f / step), step);
        EXPECT_EQ(world.Holes().size(), 1u);
        EXPECT_EQ(ignored.size(), 1u);
        EXPECT_FALSE(second->GetComponent<Ball>()->hasHit);
        EXPECT_GT(second->transform->position.z, kBeyondFrontWall);
        // A third at an intact part of the same wall makes a second hole there and goes through.
        GameObject* third = Throw({ 12, 15, 5 }, 0.0f, 0.0f, step);
        RunFrames(static_cast<int>(1.0f / step), step);
        std::vector<GameObject*> holes = world.Holes();
        ASSERT_EQ(holes.size(), 2u);
        EXPECT_EQ(ignored.size(), 2u);
        EXPECT_NEAR(holes[0]->transform->position.x, -10.0f, 1.0f);
        EXPECT_NEAR(holes[1]->transform->position.x, 12.0f, 1.0f);
        EXPECT_GT(third->transform->position.z, kBeyondFrontWall);
        const auto& masks = GraphicsEngine::GetInstance().maskRenderers.at(
            wall->GetComponent<MeshRenderer>()->maskGroup);
        EXPECT_EQ(masks.size(), 2u);
    }
}

TEST_F(BallTest, HoldingTheButtonThrowsOneBallAndANewPressAnother)
{
    Input& keyboard = *input;
    keyboard.HandleMessage(WM_LBUTTONDOWN, 0, 0);
    RunFrames(10);
    EXPECT_EQ(world.Balls().size(), 1u);
    keyboard.HandleMessage(WM_LBUTTONUP, 0, 0);
    RunFrames(2);
    EXPECT_EQ(world.Balls().size(), 1u);
    keyboard.HandleMessage(WM_LBUTTONDOWN, 0, 0);
    RunFrames(1);
    EXPECT_EQ(world.Balls().size(), 2u);
    keyboard.HandleMessage(WM_LBUTTONUP, 0, 0);
}

TEST_F(BallTest, BallsThatLandOnTheFloorFirstHoleTheWallTheyRollIntoAndGoThrough)
{
    // The floor notes who lands on it and the walls who hits them, so the order can be checked.
    GameObject* floor = world.ObjectAt("Floor", { 0, -5, 0 });
    auto* floorLog = AddComponent<TouchLog>(*floor);
    struct Wall {
        const char* name;
        Float3 position;
        float yaw;
    };
    const Wall walls[] = { { "CabinwallX", { 0, 0, 35 }, 0.0f }, { "CabinwallZ", { 35, 0, 0 }, 90.0f },
        { "CabinwallX", { -35, 0, 0 }, -90.0f }, { "CabinwallZ", { 0, 0, -35 }, 180.0f } };
    for (const Wall& target : walls)
        for (const float step : { 0.005f, 1.0f / 60.0f, kFrame })
            for (const float pitch : { -60.0f, -80.0f }) {
                SCOPED_TRACE(std::string("towards ") + target.name + " at yaw " + std::to_string(target.yaw)
                    + ", pitch " + std::to_string(pitch) + ", frames of " + std::to_string(step) + " s");
                world.RemoveThrows();
                floorLog->touched.clear();
                GameObject* wall = world.ObjectAt(target.name, target.position);
                GameObject* ball = Throw({ 0, 20, 0 }, target.yaw, pitch, step);
                RunFrames(static_cast<int>(2.0f / step), step);
                ASSERT_FALSE(floorLog->touched.empty());
                EXPECT_EQ(floorLog->touched.front(), "Metal Ball") << "the ball landed on the floor";
                std::vector<GameObject*> holes = world.Holes();
                ASSERT_EQ(holes.size(), 1u);
                EXPECT_EQ(wall->GetComponent<Collider>()->ignoredColliders.size(), 1u);
                // Below the throw's height: the wall was met after the floor, coming off it.
                EXPECT_LT(holes[0]->transform->position.y, 15.0f);
                const Float3 p = XYZ(ball->transform->position);
                EXPECT_GT(std::max(std::abs(p.x), std::abs(p.z)), 40.0f) << "the ball ended beyond the wall";
            }
}

TEST_F(BallTest, RoofHolesGoFiveUnitsInFromBelowAndSitOnTheSurfaceFromAboveAsWallHolesDo)
{
    GameObject* roof = world.ObjectAt("CabinRoof", { 31.1f, 44, 0 });
    ASSERT_NE(roof, nullptr);
    constexpr float kSlabThickness = 5.0f;
    // The drawn hole must reach through both faces of the slab, or one of them would not show it.
    auto expectThroughBothFaces = [](const GameObject& hole, const RaycastHit& hit) {
        const float halfLength = hole.GetComponent<MeshRenderer>()->model->meshes[0].box.max.z
            * hole.transform->scale.z;
        const float toNearFace = Dot(hit.position - XYZ(hole.transform->position), hit.normal);
        EXPECT_LT(toNearFace, halfLength);
        EXPECT_GT(toNearFace - kSlabThickness, -halfLength);
    };
    // From inside, straight up at the slab: the hit normal points down at the ball.
    GameObject* below = PlaceBall({ 20, 30, 0 });
    Ray up { { 20, 30, 0 }, { 0, 1, 0 } };
    RaycastResult inside;
    ASSERT_TRUE(up.Cast(inside, Ball::kRayLength));
    ASSERT_GT(inside.hits[0].localNormal.z, 0.0f);
    below->GetComponent<Ball>()->OnCollisionEnter(roof, { 20, 40, 0 });
    std::vector<GameObject*> holes = world.Holes();
    ASSERT_EQ(holes.size(), 1u);
    ExpectNear(XYZ(holes[0]->transform->position), inside.hits[0].position - inside.hits[0].normal * 5.0f, 1e-3f);
    expectThroughBothFaces(*holes[0], inside.hits[0]);

    // From outside, straight down onto the slab: the local normal's z is not positive, and the hole's
    // centre is on the surface.
    GameObject* above = PlaceBall({ 20, 100, 0 });
    Ray down { { 20, 100, 0 }, { 0, -1, 0 } };
    RaycastResult outside;
    ASSERT_TRUE(down.Cast(outside, Ball::kRayLength));
    ASSERT_LE(outside.hits[0].localNormal.z, 0.0f);
    above->GetComponent<Ball>()->OnCollisionEnter(roof, { 20, 60, 0 });
    holes = world.Holes();
    ASSERT_EQ(holes.size(), 2u);
    ExpectNear(XYZ(holes[1]->transform->position), outside.hits[0].position, 1e-3f);
    expectThroughBothFaces(*holes[1], outside.hits[0]);
}

TEST_F(BallTest, ABallThrownFromAgainstOrInsideAWallHolesItAndLeavesAtFullSpeed)
{
    // The front wall's inner face is at z = 32.5 and its outer face at 37.5. From a camera touching it,
    // with its centre on the face, and inside the wall; head on and slanted; at a long and a short frame.
    GameObject* wall = FrontWall();
    for (const float z : { 28.0f, 32.5f, 34.5f })
        for (const float yaw : { 0.0f, 40.0f })
            for (const float step : { 0.005f, kFrame }) {
                SCOPED_TRACE("from z " + std::to_string(z) + ", yaw " + std::to_string(yaw) + ", frames of "
                    + std::to_string(step) + " s");
                world.RemoveThrows();
                GameObject* ball = Throw({ 0, 15, z }, yaw, 0.0f, step);
                ASSERT_NE(ball, nullptr);
                // Holed where the ball is, before the first step could turn it back or slide it along.
                std::vector<GameObject*> holes = world.Holes();
                ASSERT_EQ(holes.size(), 1u);
                EXPECT_EQ(wall->GetComponent<Collider>()->ignoredColliders.size(), 1u);
                EXPECT_NEAR(holes[0]->transform->position.x, 0.0f, 0.5f);
                EXPECT_NEAR(holes[0]->transform->position.y, 15.0f, 0.5f);
                EXPECT_NEAR(holes[0]->transform->position.z, 37.5f, 0.5f);
                EXPECT_NEAR(Length(ball->GetComponent<RigidBody>()->LinearVelocity()), kThrowSpeed, 50.0f);
                RunFrames(static_cast<int>(0.5f / step), step);
                EXPECT_GT(ball->transform->position.z, kBeyondFrontWall);
                EXPECT_EQ(world.Holes().size(), 1u);
            }
}

TEST_F(BallTest, ABallThrownAwayFromAWallItStartsAgainstHolesTheWallAheadInstead)
{
    GameObject* behind = FrontWall();
    GameObject* ahead = world.ObjectAt("CabinwallZ", { 0, 0, -35 });
    GameObject* ball = Throw({ 0, 15, 30 }, 180.0f, 0.0f);
    RunFrames(30);
    EXPECT_TRUE(behind->GetComponent<Collider>()->ignoredColliders.empty());
    ASSERT_EQ(ahead->GetComponent<Collider>()->ignoredColliders.size(), 1u);
    EXPECT_LT(ball->transform->position.z, -kBeyondFrontWall);
}

TEST_F(BallTest, AHoleAtASeamCutsEverySurfaceItReachesAndOnlyThose)
{
    GameObject* front = FrontWall();
    GameObject* side = world.ObjectAt("CabinwallZ", { 35, 0, 0 });
    GameObject* gable = world.ObjectAt("CabinRoofFace", { -0.4f, 44, 35 });
    GameObject* roof = world.ObjectAt("CabinRoof", { 31.1f, 44, 0 });
    auto ignored = [](GameObject* object) { return object->GetComponent<Collider>()->ignoredColliders.size(); };
    auto groups = [](GameObject* hole) {
        std::vector<std::uint32_t> masks;
        for (Component* component : hole->components)
            if (auto* mask = dynamic_cast<MeshRenderer*>(component))
                masks.push_back(mask->maskOf);
        return masks;
    };
    const std::uint32_t frontGroup = front->GetComponent<MeshRenderer>()->maskGroup;
    const std::uint32_t sideGroup = side->GetComponent<MeshRenderer>()->maskGroup;
    // In the open middle of the front wall: that wall alone.
    Throw({ 0, 15, 0 }, 0.0f, 0.0f);
    RunFrames(10);
    ASSERT_EQ(world.Holes().size(), 1u);
    EXPECT_EQ(groups(world.Holes()[0]), std::vector<std::uint32_t> { frontGroup });
    EXPECT_EQ(ignored(front) + ignored(side) + ignored(gable) + ignored(roof), 1u);
    // Three units from the inner corner with the side wall: both walls, a mask for each, and the ball
    // goes out through the corner.
    world.RemoveThrows();
    GameObject* ball = Throw({ 29.5f, 15, 0 }, 0.0f, 0.0f);
    RunFrames(30);
    ASSERT_EQ(world.Holes().size(), 1u);
    EXPECT_EQ(groups(world.Holes()[0]), (std::vector<std::uint32_t> { frontGroup, sideGroup }));
    EXPECT_EQ(ignored(front), 1u);
    EXPECT_EQ(ignored(side), 1u);
    EXPECT_EQ(ignored(roof), 0u);
    EXPECT_GT(ball->transform->position.z, kBeyondFrontWall);
    // Just above the front wall's top, through the gable: the gable and the wall below it (one group),
    // and the ball passes over the wall's top into the cabin.
    world.RemoveThrows();
    ball = Throw({ 0, 43, 80 }, 180.0f, 0.0f);
    RunFrames(30);
    ASSERT_EQ(world.Holes().size(), 1u);
    EXPECT_EQ(groups(world.Holes()[0]), std::vector<std::uint32_t> { frontGroup });
    EXPECT_EQ(ignored(gable), 1u);
    EXPECT_EQ(ignored(front), 1u);
    EXPECT_LT(std::abs(ball->transform->position.z), 30.0f);
}

TEST_F(BallTest, AHoleSendsTheBallStraightInAtTheSpeedItCameWith)
{
    GameObject* wall = FrontWall();
    // Coming at 800 units/s, slanted: once the hole is made it goes in along the wall's normal, as fast.
    GameObject* fast = PlaceBall({ 5, 10, 20 });
    auto* body = fast->GetComponent<RigidBody>();
    body->actor->setLinearVelocity({ 400.0f, 0.0f, 692.8f });
    fast->GetComponent<Ball>()->OnCollisionEnter(wall, { 5, 10, 32.5f });
    ASSERT_EQ(world.Holes().size(), 1u);
    ExpectNear(body->pendingVelocity, { 0.0f, 0.0f, 800.0f }, 0.5f);
    // A slow one, rolled against the wall, is pushed in at least at the hole's own push.
    GameObject* slow = PlaceBall({ -15, 10, 20 });
    slow->GetComponent<Ball>()->OnCollisionEnter(wall, { -15, 10, 32.5f });
    ExpectNear(slow->GetComponent<RigidBody>()->pendingVelocity, { 0.0f, 0.0f, Ball::kSpeedIntoHole }, 1e-3f);
    // One that came at full speed but was already turned back by the step that reported the touch
    // goes in at the speed it came with.
    GameObject* turned = PlaceBall({ 15, 10, 20 });
    auto* thrown = turned->GetComponent<Ball>();
    thrown->Launch({ 0.0f, 0.0f, kThrowSpeed });
    turned->GetComponent<RigidBody>()->actor->setLinearVelocity({ 0.0f, 0.0f, -0.1f * kThrowSpeed });
    thrown->OnCollisionEnter(wall, { 15, 10, 32.5f });
    ExpectNear(turned->GetComponent<RigidBody>()->pendingVelocity, { 0.0f, 0.0f, kThrowSpeed }, 1e-3f);
}

TEST_F(BallTest, AMissedRaySpendsTheBallAndDegenerateTouchesMakeNoHole)
{
    GameObject* wall = world.ObjectAt("CabinwallZ", { 0, 0, -35 });
    ASSERT_NE(wall, nullptr);
    // A contact at the ball's own centre gives no direction: nothing happens, the ball may try again.
    GameObject* ball = PlaceBall({ 0, 200, -100 });
    auto* thrown = ball->GetComponent<Ball>();
    thrown->OnCollisionEnter(wall, { 0, 200, -100 });
    EXPECT_FALSE(thrown->hasHit);
    // Far outside and looking at the sky: the ray meets no holeable surface.
    thrown->OnCollisionEnter(wall, { 0, 300, -100 });
    EXPECT_TRUE(thrown->hasHit);
    EXPECT_TRUE(world.Holes().empty());
    // Spent: a real touch of the wall later makes no hole either.
    thrown->OnCollisionEnter(wall, { 0, 0, -40 });
    EXPECT_TRUE(world.Holes().empty());
    // The floor is not holeable: a fresh ball ignores it and stays ready.
    GameObject* other = PlaceBall({ 0, 10, 0 });
    other->GetComponent<Ball>()->OnCollisionEnter(world.ObjectAt("Floor", { 0, -5, 0 }), { 0, 5, 0 });
    EXPECT_FALSE(other->GetComponent<Ball>()->hasHit);
}

TEST_F(BallTest, AHoleableObjectWithoutARendererGetsNoHole)
{
    // A bare collider on the holeable layer, out in the open.
    auto* post = new GameObject("Post");
    post->transform->position = { 500, 0, 0, 1 };
    post->transform->dirty = true;
    post->transform->Update(0.0f);
    auto* box = AddComponent<BoxCollider>(*post, Float3 { 5, 50, 5 });
    box->SetLayer(16);
    box->Start();
    RunFrames(1);
    GameObject* ball = PlaceBall({ 450, 0, 0 });
    ball->GetComponent<Ball>()->OnCollisionEnter(post, { 495, 0, 0 });
    EXPECT_TRUE(ball->GetComponent<Ball>()->hasHit);
    EXPECT_TRUE(world.Holes().empty());
}

TEST_F(BallTest, AHoleInASunlitWallLetsTheSunOntoTheFloorInsideAndCastsNoShadowOfItsOwn)
{
    // The sun shines onto the outer face of the wall at z = -35 and, through a hole in it, onto the
    // floor inside, which the walls and roof otherwise keep in shadow. The ball that made the hole is
    // moved away, so that only the hole is drawn.
    GameObject* ball = Throw({ 0, 20, -120 }, 0.0f, 0.0f);
    ASSERT_NE(ball, nullptr);
    RunFrames(2);
    ASSERT_EQ(world.Holes().size(), 1u);
    const Float3 hole = XYZ(world.Holes()[0]->transform->position);
    ASSERT_NEAR(hole.z, -37.5f, 0.5f);
    // Out of sight and out of the light's reach, at rest. (Deleting it would leave the hole's copy of
    // its material without the camera's uniforms, which reach the program through the original.)
    ball->GetComponent<RigidBody>()->actor->setGlobalPose(physx::PxTransform(physx::PxVec3(5000.0f, 2.5f, 5000.0f)));
    ball->GetComponent<RigidBody>()->actor->setLinearVelocity(physx::PxVec3(0.0f, 0.0f, 0.0f));
    // Its drawn matrix follows a frame behind: the first frame's component pass rebuilds it before the
    // body has copied its new place in.
    RunFrames(2);
    const Float3 sun = Normalize(sceneLight->shadowCamera.forward);
    ASSERT_GT(sun.z, 0.0f);

    // The hole as drawn: a cylinder of radius 6 along the wall's normal, 7.5 units either side of its
    // centre. The floor is lit where the way to the sun goes through it, as the light sees it.
    constexpr float kHoleRadius = 6.0f;
    constexpr float kHoleHalfLength = 7.5f;
    auto throughHole = [&](Float3 floor, float margin) {
        for (float t = 0.0f; t < 100.0f; t += 0.25f) {
            const Float3 q = floor - sun * t;
            const float across = std::hypot(q.x - hole.x, q.y - hole.y);
            if (std::abs(q.z - hole.z) <= kHoleHalfLength + margin && across <= kHoleRadius + margin)
                return true;
        }
        return false;
    };
    // Looking down at the floor inside, where the sunlight through the hole falls.
    const GameCamera& down = Look({ hole.x + 15.0f, 40.0f, hole.z + 25.0f }, 180.0f, -89.0f);
    {
        ScenePicture picture;
        const int shadowed = picture.Brightness(down, { hole.x + 2.0f, kFloorTop, hole.z + 36.0f });
        const int lit = picture.Brightness(down, hole + sun * ((kFloorTop - hole.y) / sun.y));
        ASSERT_GT(shadowed, 0);
        EXPECT_GT(lit * 10, shadowed * 17)
            << "the floor where the sun comes through the hole: " << lit << ", in the shadow: " << shadowed;
        int litPoints = 0, darkPoints = 0, wrong = 0;
        for (float x = hole.x; x <= hole.x + 32.0f; x += 1.0f)
            for (float z = hole.z + 6.0f; z <= hole.z + 40.0f; z += 1.0f) {
                const Float3 floor { x, kFloorTop, z };
                const int brightness = picture.Brightness(down, floor);
                if (brightness < 0 || std::abs(x) > 30.0f || std::abs(z) > 30.0f)
                    continue;
                const bool inside = throughHole(floor, -1.5f);
                const bool outside = !throughHole(floor, 1.5f);
                if (inside) {
                    ++litPoints;
                    wrong += brightness * 10 < lit * 8 ? 1 : 0;
                } else if (outside) {
                    ++darkPoints;
                    wrong += brightness * 10 > shadowed * 12 ? 1 : 0;
                }
            }
        EXPECT_GT(litPoints, 40);
        EXPECT_GT(darkPoints, 200);
        EXPECT_LE(wrong * 100, (litPoints + darkPoints) * 2)
            << wrong << " of " << litPoints << " points in the sunlight through the hole and " << darkPoints
            << " in the shadow are the other way round";
    }

    // Looking at the wall's sunlit outer face from outside: around the hole, beyond its own disc, the
    // face is as bright as it is away from it. A hole that cast a shadow would darken it down and to
    // the +x side, away from the sun.
    const GameCamera& front = Look({ hole.x, hole.y, hole.z - 70.0f }, 0.0f, 0.0f);
    ScenePicture picture;
    // The wood's grain and grooves make single points differ: each part of the face is the mean of
    // many points spread over a few grooves, and is compared with the same part of a ring as large
    // about a point of the face well away from the hole.
    auto meanOver = [&](Float3 middle, float fromAngle, float toAngle) {
        int sum = 0, count = 0;
        for (float radius = 8.0f; radius <= 14.0f; radius += 1.0f)
            for (float angle = fromAngle; angle < toAngle; angle += 0.1f) {
                const int value = picture.Brightness(front,
                    { middle.x + radius * std::cos(angle), middle.y + radius * std::sin(angle), middle.z - 0.01f });
                EXPECT_GT(value, 0);
                sum += value;
                ++count;
            }
        return static_cast<float>(sum) / static_cast<float>(std::max(count, 1));
    };
    constexpr float kTurn = 2.0f * std::numbers::pi_v<float>;
    const Float3 elsewhere { hole.x - 20.0f, hole.y + 4.0f, hole.z };
    for (int sector = 0; sector < 8; ++sector) {
        const float from = kTurn * static_cast<float>(sector) / 8.0f;
        const float to = kTurn * static_cast<float>(sector + 1) / 8.0f;
        const float around = meanOver(hole, from, to);
        const float away = meanOver(elsewhere, from, to);
        EXPECT_GT(around, 0.85f * away) << "the face 8 to 14 units from the hole, in the eighth of its ring " << sector
                                        << " turns from +x: " << around << ", away from it: " << away;
    }
}
