#pragma once
// The world the engine's physics tests run in: the process-wide physics system, started once (a
// process can hold only one foundation) with its scene in the process-wide Scene, and the objects of
// one test, which the fixture deletes again so that the tests also pass when run in one process.

#include "Assets/Model.h"
#include "Core/Time.h"
#include "Physics/BoxCollider.h"
#include "Physics/CollisionLayers.h"
#include "Physics/PhysicsEngine.h"
#include "Physics/RigidBody.h"
#include "Physics/SphereCollider.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

// What Settings/Collisionlayers.json ships: layer 1 touches layers 1 and 16, layer 16 touches layer 1.
constexpr const char* kDemoLayers = R"({"Layer":[17,0,0,0,1]})";
constexpr float kFrame = 1.0f / 60.0f;
constexpr std::int32_t kCabinLayer = 16;

inline void ClearCollisionMasks()
{
    std::fill(std::begin(collisionMasks), std::end(collisionMasks), 0);
}

// The start-up steps of the application that concern physics, once per process.
inline void StartPhysicsOnce()
{
    static const bool started = [] {
        PhysicsEngine& engine = PhysicsEngine::GetInstance();
        engine.Initialize();
        engine.CreateScene(Scene::GetInstance());
        return true;
    }();
    (void)started;
}

// A closed cube of half size `half` around the origin, its twelve outward-wound triangles split over
// two meshes, each with its own eight corners: the first holds the -z, +z and -y faces, the second the
// +y, -x and +x faces.
inline std::unique_ptr<Model> CubeModel(float half)
{
    const float h = half;
    const Float4 corners[8] = { { -h, -h, -h, 1 }, { h, -h, -h, 1 }, { h, h, -h, 1 }, { -h, h, -h, 1 },
        { -h, -h, h, 1 }, { h, -h, h, 1 }, { h, h, h, 1 }, { -h, h, h, 1 } };
    const std::uint32_t faces[2][18] = {
        { 0, 3, 2, 0, 2, 1, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4 },
        { 3, 7, 6, 3, 6, 2, 0, 4, 7, 0, 7, 3, 1, 2, 6, 1, 6, 5 },
    };
    auto model = std::make_unique<Model>();
    for (const auto& indices : faces) {
        Mesh mesh;
        for (const Float4& corner : corners) {
            Vertex vertex;
            vertex.position = corner;
            mesh.vertices.push_back(vertex);
        }
        mesh.indices.assign(std::begin(indices), std::end(indices));
        model->meshes.push_back(std::move(mesh));
    }
    return model;
}

// One call of a collision hook, as a component saw it.
struct HookCall {
    std::string receiver;
    std::string hook;
    GameObject* other = nullptr;
    Float3 contact;
};

// Records every collision hook it receives into a log shared by all probes of a test.
struct HookProbe : Component {
    HookProbe(std::string label, std::vector<HookCall>* log)
        : label(std::move(label))
        , log(log)
    {
    }
    void OnCollisionEnter(GameObject* other, const Float3& contact) override
    {
        log->push_back({ label, "Enter", other, contact });
    }
    void OnCollisionExit(GameObject* other) override { log->push_back({ label, "Exit", other, {} }); }

    std::string label;
    std::vector<HookCall>* log;
};

class PhysicsWorld : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartPhysicsOnce();
        ASSERT_NE(PhysicsEngine::GetInstance().physics, nullptr);
        ASSERT_NE(Scene::GetInstance().physicsScene, nullptr);
        // The masks are read when a collider starts, so the demo's table is in place before any exists.
        ClearCollisionMasks();
        LoadCollisionLayersFromText(kDemoLayers);
        Time::GetInstance().deltaTime = kFrame;
        PhysicsEngine::GetInstance().pendingVelocityBodies.clear();
    }

    void TearDown() override
    {
        PhysicsEngine::GetInstance().pendingVelocityBodies.clear();
        // Deleting the components removes and releases their actors; the objects go after them.
        Scene::GetInstance().DeleteAllComponents();
        objects.clear();
        ClearCollisionMasks();
        LoadCollisionLayersFromText(kDemoLayers);
    }

    GameObject& Object(const std::string& name, Float3 position = {}, Float3 rotation = {})
    {
        objects.push_back(std::make_unique<GameObject>(name));
        GameObject& object = *objects.back();
        object.transform->position = { position.x, position.y, position.z, 1.0f };
        object.transform->rotation = { rotation.x, rotation.y, rotation.z, 0.0f };
        object.transform->dirty = true;
        return object;
    }

    // What the creator of an object does once all its components exist: Start each of them.
    static void Start(GameObject& object)
    {
        for (Component* component : object.components)
            component->Start();
    }

    // Start, then one frame's component passes without a physics step, so that static actors stand
    // where their Transforms say before anything is simulated.
    static void Place(GameObject& object)
    {
        Start(object);
        object.transform->Update(0.0f);
        for (Component* component : object.components)
            component->Update(0.0f);
    }

    // A static box on `layer`, placed.
    BoxCollider* StaticBox(
        const std::string& name, Float3 position, Float3 halfExtents, std::int32_t layer = 1, Float3 rotation = {})
    {
        GameObject& object = Object(name, position, rotation);
        auto* box = AddComponent<BoxCollider>(object, halfExtents);
        box->layer = layer;
        Place(object);
        return box;
    }

    // A sphere on a RigidBody, on layer 1, placed.
    RigidBody* Ball(const std::string& name, Float3 position, float radius = 5.0f)
    {
        GameObject& object = Object(name, position);
        auto* body = AddComponent<RigidBody>(object);
        AddComponent<SphereCollider>(object, radius);
        Place(object);
        return body;
    }

    // One frame as the frame loop runs it: the physics step, then the two component passes.
    static void Step(int frames = 1)
    {
        for (int i = 0; i < frames; ++i) {
            PhysicsEngine::GetInstance().Simulate();
            Scene::GetInstance().EarlyUpdatePass(kFrame);
            Scene::GetInstance().UpdatePass(kFrame);
        }
    }

    static physx::PxU32 ActorsInScene(physx::PxActorTypeFlags types)
    {
        return Scene::GetInstance().physicsScene->getNbActors(types);
    }

    std::vector<std::unique_ptr<GameObject>> objects;
    std::vector<HookCall> hooks;
};
