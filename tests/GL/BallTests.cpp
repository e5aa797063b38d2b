#include "Application/Ball.h"
#include "Application/BallThrower.h"
#include "Application/DemoScene.h"
#include "Assets/FbxImport.h"
#include "Core/Input.h"
#include "Core/Time.h"
#include "GlTestContext.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Physics/BoxCollider.h"
#include "Physics/Collider.h"
#include "Physics/Raycast.h"
#include "Physics/PhysicsEngine.h"
#include "Physics/RigidBody.h"
#include "Scene/GameObject.h"
#include "Scene/InspectorCamera.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// Balls thrown into the demo scene with the real physics, frame by frame as the frame loop runs it
// (without drawing).

namespace {

constexpr float kFrame = 0.0333f;

class BallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitializeFbx();
        PhysicsEngine::GetInstance().Initialize();
        BuildDemoScene();
        PhysicsEngine::GetInstance().CreateScene(Scene::GetInstance());
        camera = new InspectorCamera({ 1920.0f, 1080.0f });
        camera->GameCamera::Update(0.0f);
        activeCamera = camera;
        input = new Input();
        Scene::GetInstance().StartAll();
        RunFrames(1);
    }

    // Frames as the loop runs them: balls, physics, the two component passes.
    static void RunFrames(int count)
    {
        Time& time = Time::GetInstance();
        Scene& scene = Scene::GetInstance();
        for (int i = 0; i < count; ++i) {
            time.deltaTime = kFrame;
            SpawnBall();
            PhysicsEngine::GetInstance().Simulate();
            scene.EarlyUpdatePass(kFrame);
            scene.UpdatePass(kFrame);
            firstFrame = false;
        }
    }

    // Aims the camera from `position` at yaw/pitch (degrees) and throws one ball.
    static GameObject* Throw(Float3 position, float yaw, float pitch)
    {
        camera->position = { position.x, position.y, position.z, 1.0f };
        camera->yaw = yaw;
        camera->pitch = pitch;
        camera->GameCamera::Update(0.0f);
        input->HandleMessage(WM_LBUTTONDOWN, 0, 0);
        std::size_t before = Balls().size();
        RunFrames(1);
        input->HandleMessage(WM_LBUTTONUP, 0, 0);
        std::vector<GameObject*> balls = Balls();
        EXPECT_EQ(balls.size(), before + 1);
        return balls.empty() ? nullptr : balls.back();
    }

    static std::vector<GameObject*> Balls()
    {
        std::vector<GameObject*> balls;
        auto& groups = *Scene::GetInstance().componentsByType;
        if (groups.count("Ball") != 0)
            for (Component* ball : groups.at("Ball"))
                balls.push_back(ball->gameObject);
        return balls;
    }

    static std::vector<GameObject*> Holes()
    {
        std::vector<GameObject*> holes;
        for (Component* c : Scene::GetInstance().componentsByType->at("MeshCollider"))
            if (c->gameObject->name == Ball::kHoleName)
                holes.push_back(c->gameObject);
        return holes;
    }

    static GameObject* ObjectAt(const std::string& name, Float3 position)
    {
        for (Component* c : Scene::GetInstance().componentsByType->at("MeshRenderer")) {
            const Float4& p = c->gameObject->transform->position;
            if (c->gameObject->name == name && p.x == position.x && p.y == position.y && p.z == position.z)
                return c->gameObject;
        }
        return nullptr;
    }

    static inline InspectorCamera* camera = nullptr;
};

void ExpectNear(const Float3& actual, const Float3& expected, float tolerance)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// Records the names of the objects its owner starts touching, in order.
struct TouchLog : Component {
    void OnCollisionEnter(GameObject* other, const Float3&) override { touched.push_back(other->name); }
    std::vector<std::string> touched;
};

// A ball placed by hand, with its components started, that has not touched anything yet.
GameObject* PlaceBall(Float3 position)
{
    auto* ball = new GameObject("Metal Ball");
    ball->transform->position = { position.x, position.y, position.z, 1.0f };
    ball->transform->dirty = true;
    AddComponent<Ball>(*ball);
    AddComponent<RigidBody>(*ball);
    for (Component* component : ball->components)
        component->Start();
    return ball;
}

} // namespace

TEST_F(BallTest, ABallThrownAtAWallPunchesAHoleAndFallsThroughIt)
{
    GameObject* wall = ObjectAt("CabinwallX", { 0, 0, 35 });
    ASSERT_NE(wall, nullptr);
    GameObject* ball = Throw({ 0, 0, 0 }, 0.0f, 0.0f);
    ASSERT_NE(ball, nullptr);
    RunFrames(150);

    EXPECT_TRUE(ball->GetComponent<Ball>()->hasHit);
    std::vector<GameObject*> holes = Holes();
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
    // The hole turns with the wall and is scaled to a radius of 6.
    EXPECT_EQ(holes[0]->transform->rotation.y, wall->transform->rotation.y);
    EXPECT_EQ(holes[0]->transform->scale, (Float4 { 6, 6, 3, 1 }));
    // The ball went through: beyond the wall's outer face and down on the floor outside.
    const Float4& p = ball->transform->position;
    EXPECT_GT(p.z, 40.0f);
    EXPECT_LT(p.y, 5.0f);
}

TEST_F(BallTest, ASecondBallAtTheSameWallMakesASecondHole)
{
    GameObject* wall = ObjectAt("CabinwallX", { 0, 0, 35 });
    Throw({ -8, 10, 0 }, 0.0f, 0.0f);
    RunFrames(30);
    Throw({ 8, 10, 0 }, 0.0f, 0.0f);
    RunFrames(30);
    std::vector<GameObject*> holes = Holes();
    ASSERT_EQ(holes.size(), 2u);
    EXPECT_EQ(wall->GetComponent<Collider>()->ignoredColliders.size(), 2u);
    EXPECT_LT(holes[0]->transform->position.x, 0.0f);
    EXPECT_GT(holes[1]->transform->position.x, 0.0f);
    const auto& masks = GraphicsEngine::GetInstance().maskRenderers.at(wall->GetComponent<MeshRenderer>()->maskGroup);
    EXPECT_EQ(masks.size(), 2u);
}

TEST_F(BallTest, HoldingTheButtonThrowsOneBallAndANewPressAnother)
{
    input->HandleMessage(WM_LBUTTONDOWN, 0, 0);
    RunFrames(10);
    EXPECT_EQ(Balls().size(), 1u);
    input->HandleMessage(WM_LBUTTONUP, 0, 0);
    RunFrames(2);
    EXPECT_EQ(Balls().size(), 1u);
    input->HandleMessage(WM_LBUTTONDOWN, 0, 0);
    RunFrames(1);
    EXPECT_EQ(Balls().size(), 2u);
    input->HandleMessage(WM_LBUTTONUP, 0, 0);
}

TEST_F(BallTest, ABallThatLandsOnTheFloorFirstStillHolesTheWallItRollsInto)
{
    // Thrown steeply down: it lands on the floor (not holeable), then slides and rolls into the wall.
    GameObject* ball = Throw({ 0, 20, 0 }, 0.0f, -80.0f);
    auto* log = AddComponent<TouchLog>(*ball);
    RunFrames(150);
    ASSERT_GE(log->touched.size(), 2u);
    EXPECT_EQ(log->touched.front(), "Floor");
    EXPECT_EQ(std::count(log->touched.begin(), log->touched.end(), "CabinwallX"), 1);
    EXPECT_TRUE(ball->GetComponent<Ball>()->hasHit);
    std::vector<GameObject*> holes = Holes();
    ASSERT_EQ(holes.size(), 1u);
    EXPECT_GT(holes[0]->transform->position.z, 30.0f);
}

TEST_F(BallTest, ABallThrownAtTheRoofFromInsideHolesTheRoof)
{
    GameObject* ball = Throw({ 0, 10, 0 }, 90.0f, 55.0f);
    RunFrames(60);
    EXPECT_TRUE(ball->GetComponent<Ball>()->hasHit);
    std::vector<GameObject*> holes = Holes();
    ASSERT_EQ(holes.size(), 1u);
    GameObject* roof = ObjectAt("CabinRoof", { 31.1f, 44, 0 });
    ASSERT_NE(roof, nullptr);
    EXPECT_EQ(holes[0]->GetComponent<MeshRenderer>()->maskOf, roof->GetComponent<MeshRenderer>()->maskGroup);
    EXPECT_EQ(roof->GetComponent<Collider>()->ignoredColliders.size(), 1u);
}

TEST_F(BallTest, RoofHolesGoEightUnitsInFromBelowAndFourUnitsOutFromAbove)
{
    GameObject* roof = ObjectAt("CabinRoof", { 31.1f, 44, 0 });
    ASSERT_NE(roof, nullptr);
    // From inside, straight up at the slab: the hit normal points down at the ball.
    GameObject* below = PlaceBall({ 20, 30, 0 });
    Ray up { { 20, 30, 0 }, { 0, 1, 0 } };
    RaycastResult expected;
    ASSERT_TRUE(up.Cast(expected, Ball::kRayLength));
    ASSERT_GT(expected.hits[0].localNormal.z, 0.0f);
    below->GetComponent<Ball>()->OnCollisionEnter(roof, { 20, 40, 0 });
    std::vector<GameObject*> holes = Holes();
    ASSERT_EQ(holes.size(), 1u);
    Float3 hit = expected.hits[0].position;
    Float3 n = expected.hits[0].normal;
    ExpectNear(XYZ(holes[0]->transform->position), hit - n * 8.0f, 1e-3f);

    // From outside, straight down onto the slab: the local normal's z is not positive.
    GameObject* above = PlaceBall({ 20, 100, 0 });
    Ray down { { 20, 100, 0 }, { 0, -1, 0 } };
    RaycastResult outside;
    ASSERT_TRUE(down.Cast(outside, Ball::kRayLength));
    ASSERT_LE(outside.hits[0].localNormal.z, 0.0f);
    above->GetComponent<Ball>()->OnCollisionEnter(roof, { 20, 60, 0 });
    holes = Holes();
    ASSERT_EQ(holes.size(), 2u);
    ExpectNear(XYZ(holes[1]->transform->position), outside.hits[0].position + outside.hits[0].normal * 4.0f, 1e-3f);
}

TEST_F(BallTest, AMissedRaySpendsTheBallAndDegenerateTouchesMakeNoHole)
{
    GameObject* wall = ObjectAt("CabinwallZ", { 0, 0, -35 });
    ASSERT_NE(wall, nullptr);
    // A contact at the ball's own centre gives no direction: nothing happens, the ball may try again.
    GameObject* ball = PlaceBall({ 0, 200, -100 });
    auto* thrown = ball->GetComponent<Ball>();
    thrown->OnCollisionEnter(wall, { 0, 200, -100 });
    EXPECT_FALSE(thrown->hasHit);
    // Far outside and looking at the sky: the ray meets no holeable surface.
    thrown->OnCollisionEnter(wall, { 0, 300, -100 });
    EXPECT_TRUE(thrown->hasHit);
    EXPECT_TRUE(Holes().empty());
    // Spent: a real touch of the wall later makes no hole either.
    thrown->OnCollisionEnter(wall, { 0, 0, -40 });
    EXPECT_TRUE(Holes().empty());
    // The floor is not holeable: a fresh ball ignores it and stays ready.
    GameObject* other = PlaceBall({ 0, 10, 0 });
    other->GetComponent<Ball>()->OnCollisionEnter(ObjectAt("Floor", { 0, -5, 0 }), { 0, 5, 0 });
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
    EXPECT_TRUE(Holes().empty());
}
