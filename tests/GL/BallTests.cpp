#include "Application/Ball.h"
#include "Application/BallThrower.h"
#include "Application/DemoScene.h"
#include "Assets/FbxImport.h"
#include "Core/Input.h"
#include "Core/Time.h"
#include "GlTestContext.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Physics/Collider.h"
#include "Physics/PhysicsEngine.h"
#include "Physics/RigidBody.h"
#include "Scene/GameObject.h"
#include "Scene/InspectorCamera.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <gtest/gtest.h>

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

} // namespace

TEST_F(BallTest, ABallThrownAtAWallPunchesAHoleAndFallsThroughIt)
{
    GameObject* wall = ObjectAt("CabinwallX", { 0, 0, 35 });
    ASSERT_NE(wall, nullptr);
    GameObject* ball = Throw({ 0, 0, 0 }, 0.0f, 0.0f);
    ASSERT_NE(ball, nullptr);
    for (int frame = 0; frame < 300; ++frame) {
        RunFrames(1);
        const Float4& p = ball->transform->position;
        if (frame % 10 == 0)
            std::printf("frame %d: ball at (%.2f, %.2f, %.2f)\n", frame, p.x, p.y, p.z);
    }
    auto* thrown = ball->GetComponent<Ball>();
    EXPECT_TRUE(thrown->hasHit);
    std::vector<GameObject*> holes = Holes();
    ASSERT_EQ(holes.size(), 1u);
    // The hole is a mask of the wall's group and an ignored collider of the wall.
    auto* mask = holes[0]->GetComponent<MeshRenderer>();
    EXPECT_EQ(mask->maskOf, wall->GetComponent<MeshRenderer>()->maskGroup);
    const auto& ignored = wall->GetComponent<Collider>()->ignoredColliders;
    ASSERT_EQ(ignored.size(), 1u);
    EXPECT_EQ(ignored[0]->gameObject, holes[0]);
    // The ball went through: beyond the wall and down on the floor outside.
    const Float4& p = ball->transform->position;
    EXPECT_GT(p.z, 40.0f);
    EXPECT_LT(p.y, 5.0f);
}
