#include "DemoWorld.h"

#include "App/WorldStep.h"
#include "Application/Ball.h"
#include "Application/BallThrower.h"
#include "Application/UserModels.h"
#include "Assets/FbxImport.h"
#include "Core/Time.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Math/Rotation.h"
#include "Physics/Collider.h"
#include "Physics/PhysicsEngine.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <unordered_set>

namespace {

constexpr const char* kBallName = "Metal Ball";

// The start-up steps that may run only once in a process: the importer and the physics foundation.
void StartProgramOnce()
{
    static const bool started = [] {
        InitializeFbx();
        PhysicsEngine::GetInstance().Initialize();
        return true;
    }();
    (void)started;
}

void ForgetRenderers()
{
    GraphicsEngine& graphics = GraphicsEngine::GetInstance();
    graphics.renderers.clear();
    graphics.maskRenderers.clear();
}

void ReleasePhysicsScene()
{
    Scene& scene = Scene::GetInstance();
    PhysicsEngine& physics = PhysicsEngine::GetInstance();
    physics.pendingVelocityBodies.clear();
    if (scene.controllerManager != nullptr)
        scene.controllerManager->release();
    if (scene.physicsScene != nullptr)
        scene.physicsScene->release();
    if (physics.cpuDispatcher != nullptr)
        physics.cpuDispatcher->release();
    scene.controllerManager = nullptr;
    scene.physicsScene = nullptr;
    physics.cpuDispatcher = nullptr;
}

std::vector<GameObject*> OwnersNamed(const char* type, const char* name)
{
    std::vector<GameObject*> owners;
    auto& groups = *Scene::GetInstance().componentsByType;
    if (auto group = groups.find(type); group != groups.end())
        for (Component* component : group->second)
            if (component->gameObject->name == name)
                owners.push_back(component->gameObject);
    return owners;
}

} // namespace

DemoWorld::DemoWorld(std::span<const ModelRequest> models)
{
    StartProgramOnce();
    Scene& scene = Scene::GetInstance();
    // Whatever an earlier test left behind goes first.
    scene.DeleteAllComponents();
    ForgetRenderers();
    ReleasePhysicsScene();

    input = &keyboard;
    firstFrame = true;
    BuildSceneWithModels(models);
    PhysicsEngine::GetInstance().CreateScene(scene);
    camera = std::make_unique<InspectorCamera>(kResolution);
    camera->GameCamera::Update(0.0f);
    activeCamera = camera.get();
    scene.StartAll();
}

DemoWorld::~DemoWorld()
{
    // Components first: they remove and release their actors from the physics scene.
    Scene::GetInstance().DeleteAllComponents();
    ForgetRenderers();
    ReleasePhysicsScene();
}

void DemoWorld::Frame(float deltaTime)
{
    Time::GetInstance().deltaTime = deltaTime;
    StepWorld(deltaTime, SpawnBall);
    firstFrame = false;
}

GameObject* DemoWorld::Throw(Float3 position, Float3 direction, float deltaTime, int frames)
{
    const Float3 d = Normalize(direction);
    camera->position = { position.x, position.y, position.z, 1.0f };
    camera->pitch = std::asin(std::clamp(d.y, -1.0f, 1.0f)) / kDegreesToRadians;
    camera->yaw = std::atan2(d.x, d.z) / kDegreesToRadians;
    camera->GameCamera::Update(0.0f);

    const std::size_t before = Balls().size();
    keyboard.HandleMessage(WM_LBUTTONDOWN, 0, 0);
    for (int i = 0; i < frames; ++i)
        Frame(deltaTime);
    keyboard.HandleMessage(WM_LBUTTONUP, 0, 0);
    std::vector<GameObject*> balls = Balls();
    return balls.size() > before ? balls[before] : nullptr;
}

std::vector<GameObject*> DemoWorld::Balls() const
{
    return OwnersNamed("Ball", kBallName);
}

std::vector<GameObject*> DemoWorld::Holes() const
{
    return OwnersNamed("MeshCollider", Ball::kHoleName);
}

GameObject* DemoWorld::ObjectAt(const std::string& name, Float3 position) const
{
    auto& groups = *Scene::GetInstance().componentsByType;
    for (Component* c : groups["MeshRenderer"]) {
        const Float4& p = c->gameObject->transform->position;
        if (c->gameObject->name == name && p.x == position.x && p.y == position.y && p.z == position.z)
            return c->gameObject;
    }
    return nullptr;
}

void DemoWorld::RemoveThrows()
{
    std::unordered_set<GameObject*> gone;
    for (GameObject* ball : Balls())
        gone.insert(ball);
    std::vector<GameObject*> holes = Holes();
    gone.insert(holes.begin(), holes.end());

    auto thrown = [&gone](const Component* c) { return gone.count(c->gameObject) != 0; };
    GraphicsEngine& graphics = GraphicsEngine::GetInstance();
    std::erase_if(graphics.renderers, thrown);
    for (auto& [group, masks] : graphics.maskRenderers)
        std::erase_if(masks, thrown);
    for (auto& [type, components] : *Scene::GetInstance().componentsByType)
        for (Component* component : components)
            if (auto* collider = dynamic_cast<Collider*>(component))
                std::erase_if(collider->ignoredColliders, thrown);
    PhysicsEngine::GetInstance().pendingVelocityBodies.clear();

    std::vector<Component*> doomed;
    for (auto& [type, components] : *Scene::GetInstance().componentsByType) {
        std::copy_if(components.begin(), components.end(), std::back_inserter(doomed), thrown);
        std::erase_if(components, thrown);
    }
    // Deleting the components removes their actors from the physics scene.
    for (Component* component : doomed)
        delete component;
    for (GameObject* object : gone) {
        object->components.clear();
        delete object;
    }
}
