#include "Application/BallThrower.h"

#include "Application/Ball.h"
#include "Application/BallReport.h"
#include "Assets/ModelCache.h"
#include "Core/Input.h"
#include "Core/Time.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Physics/PhysicsEngine.h"
#include "Physics/RigidBody.h"
#include "Physics/SphereCollider.h"
#include "Scene/GameObject.h"
#include "Scene/InspectorCamera.h"
#include "Scene/Transform.h"

namespace {

constexpr const char* kBallName = "Metal Ball";
constexpr const char* kBallModel = "Assets/Models/UVSphere.fbx";
// The sphere model has radius 1: scaled by 5 it matches the collider.
constexpr Float4 kBallScale { kBallRadius, kBallRadius, kBallRadius, 1.0f };

} // namespace

void SpawnBall()
{
    ReportBalls(Time::GetInstance().deltaTime);
    // One ball per press: holding the button throws no more.
    if (!input->GetKeyDown(VK_LBUTTON))
        return;
    auto* camera = dynamic_cast<InspectorCamera*>(activeCamera);
    if (camera == nullptr)
        return;

    GameObject* ball = MakeBall(*camera, XYZ(camera->position));
    auto* thrown = ball->GetComponent<Ball>();
    thrown->Launch(camera->forward * kThrowSpeed);
    thrown->MeetSurfaceAtStart();
}

GameObject* MakeBall(const InspectorCamera& camera, const Float3& position)
{
    auto* ball = new GameObject(kBallName);
    ball->transform->position = { position.x, position.y, position.z, 1.0f };
    ball->transform->dirty = true;
    ball->transform->scale = kBallScale;
    ball->transform->dirty = true;

    Model* sphere = GetModel(kBallModel);
    auto* renderer = AddComponent<MeshRenderer>(*ball, sphere, camera.ballMaterial);
    renderer->maskGroup = 0;
    GraphicsEngine::GetInstance().RegisterRenderer(renderer);

    AddComponent<Ball>(*ball);
    AddComponent<RigidBody>(*ball);
    AddComponent<SphereCollider>(*ball, kBallRadius);
    for (Component* component : ball->components)
        component->Start();
    return ball;
}
