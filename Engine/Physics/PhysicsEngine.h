#pragma once
// The process-wide physics system: it owns the physics world (foundation, physics object, visual
// debugger connection, CPU dispatcher, the one material every shape uses, the simulation callbacks),
// creates its scene and steps it once per frame. One world unit is a centimetre.
//
// One instance (GetInstance), created on first use. Initialize, CreateScene, Simulate and the shape
// makers run on the main thread. No physics object is ever released: they live until the process
// ends.

#include "Physics/SimulationCallbacks.h"

#include <PxPhysicsAPI.h>

#include <vector>

class Model;
class RigidBody;
class Scene;

class PhysicsEngine {
public:
    static constexpr physx::PxU32 kPhysicsVersion = 0x05040200;
    static constexpr float kLengthScale = 100.0f;
    static constexpr float kSpeedScale = 1000.0f;
    static constexpr float kGravityY = -981.0f;
    static constexpr physx::PxU32 kWorkerThreads = 4;
    static constexpr const char* kDebuggerHost = "127.0.0.1";
    static constexpr int kDebuggerPort = 5425;
    static constexpr unsigned kDebuggerTimeoutMs = 10;
    static constexpr float kStaticFriction = 1.0f;
    static constexpr float kDynamicFriction = 1.0f;
    static constexpr float kRestitution = 0.1f;

    static PhysicsEngine& GetInstance();

    // Reads the collision layers, then creates the foundation, the visual-debugger connection (a
    // missing debugger is ignored), the physics object, the callbacks and the default material.
    // Throws std::runtime_error("PxCreateFoundation failed!") when there is no foundation. Once.
    void Initialize();

    // Creates the simulation scene into scene.physicsScene, with the collision filter shader and
    // contact modification, and its character-controller manager. Once, after the demo scene's
    // objects exist and before any component's Start.
    void CreateScene(Scene& scene);

    // Applies the queued velocities, then one step of Time's deltaTime that completes before it
    // returns. Contact reports, and so the components' collision hooks, run inside it.
    void Simulate();

    // A sphere shape of `radius` with the default material, exclusive, simulated, queryable and visible
    // to the debugger. The caller holds its one reference.
    physx::PxShape* CreateSphereShape(float radius);

    // Cooks a triangle mesh from all meshes of `model` and makes an exclusive shape of it at a uniform
    // `scale`. Prints "you failed" and returns null when cooking fails (an empty or broken model).
    // Every call cooks anew; the meshes are never released.
    physx::PxShape* CreateMeshShape(const Model* model, float scale);

    physx::PxPhysics* physics = nullptr;
    CollisionCallback* collisionCallback = nullptr;
    ContactModify* contactModify = nullptr;
    physx::PxMaterial* defaultMaterial = nullptr;
    physx::PxPvd* pvd = nullptr;
    physx::PxDefaultAllocator allocator;
    MyErrorCallback errorCallback;
    // (1, 10) until Initialize sets the centimetre scale.
    physx::PxTolerancesScale tolerancesScale;
    physx::PxFoundation* foundation = nullptr;
    physx::PxDefaultCpuDispatcher* cpuDispatcher = nullptr;
    // Bodies whose pendingVelocity is applied at the start of the next step; each entry is applied,
    // the same body may appear twice. Not owning. Keeps its capacity between frames.
    std::vector<RigidBody*> pendingVelocityBodies;
};
