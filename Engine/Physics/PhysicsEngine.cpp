#include "Physics/PhysicsEngine.h"

#include "Assets/Model.h"
#include "Core/Time.h"
#include "Physics/CollisionLayers.h"
#include "Physics/PhysXConversions.h"
#include "Physics/RigidBody.h"
#include "Scene/Scene.h"

#include <iostream>
#include <stdexcept>

using namespace physx;

namespace {

const PxShapeFlags kShapeFlags = PxShapeFlag::eSIMULATION_SHAPE | PxShapeFlag::eSCENE_QUERY_SHAPE
    | PxShapeFlag::eVISUALIZATION;

struct CombinedMesh {
    std::vector<PxVec3> points;
    std::vector<PxU32> indices;
};

// All meshes of the model in order, indices shifted past the vertices of the meshes before them.
CombinedMesh CombineMeshes(const Model& model)
{
    CombinedMesh combined;
    for (const Mesh& mesh : model.meshes) {
        auto base = static_cast<PxU32>(combined.points.size());
        for (const Vertex& vertex : mesh.vertices)
            combined.points.emplace_back(vertex.position.x, vertex.position.y, vertex.position.z);
        for (std::uint32_t index : mesh.indices)
            combined.indices.push_back(base + index);
    }
    return combined;
}

} // namespace

PhysicsEngine& PhysicsEngine::GetInstance()
{
    static PhysicsEngine instance;
    return instance;
}

void PhysicsEngine::Initialize()
{
    LoadCollisionLayers();

    foundation = PxCreateFoundation(kPhysicsVersion, allocator, errorCallback);
    if (foundation == nullptr)
        throw std::runtime_error("PxCreateFoundation failed!");

    pvd = PxCreatePvd(*foundation);
    PxPvdTransport* transport = PxDefaultPvdSocketTransportCreate(kDebuggerHost, kDebuggerPort, kDebuggerTimeoutMs);
    // Without a listening debugger the connection fails and the program runs on unchanged.
    if (pvd != nullptr && transport != nullptr)
        pvd->connect(*transport, PxPvdInstrumentationFlag::eALL);

    tolerancesScale.length = kLengthScale;
    tolerancesScale.speed = kSpeedScale;
    physics = PxCreatePhysics(kPhysicsVersion, *foundation, tolerancesScale, true, pvd, nullptr);

    collisionCallback = new CollisionCallback();
    contactModify = new ContactModify();
    if (physics != nullptr)
        defaultMaterial = physics->createMaterial(kStaticFriction, kDynamicFriction, kRestitution);
}

void PhysicsEngine::CreateScene(Scene& scene)
{
    if (physics == nullptr)
        return;
    PxSceneDesc description(physics->getTolerancesScale());
    description.gravity = PxVec3(0.0f, kGravityY, 0.0f);
    cpuDispatcher = PxDefaultCpuDispatcherCreate(kWorkerThreads);
    description.cpuDispatcher = cpuDispatcher;
    description.flags |= PxSceneFlag::eENABLE_PCM;
    description.filterShader = CollisionFilterShader;
    description.contactModifyCallback = contactModify;

    scene.physicsScene = physics->createScene(description);
    if (scene.physicsScene == nullptr)
        return;
    scene.controllerManager = PxCreateControllerManager(*scene.physicsScene, false);
    scene.physicsScene->setSimulationEventCallback(collisionCallback);
}

void PhysicsEngine::Simulate()
{
    for (RigidBody* body : pendingVelocityBodies)
        if (body->actor != nullptr && body->actor->getConcreteType() == PxConcreteType::eRIGID_DYNAMIC)
            body->actor->setLinearVelocity(ToPx(body->pendingVelocity), true);
    pendingVelocityBodies.clear();

    PxScene* scene = Scene::GetInstance().physicsScene;
    if (scene == nullptr)
        return;
    // One variable-length step per frame: the frame time is already capped, so no accumulator.
    scene->simulate(Time::GetInstance().deltaTime, nullptr, nullptr, 0, true);
    scene->fetchResults(true);
}

PxShape* PhysicsEngine::CreateSphereShape(float radius)
{
    return physics->createShape(PxSphereGeometry(radius), *defaultMaterial, true, kShapeFlags);
}

PxShape* PhysicsEngine::CreateMeshShape(const Model* model, float scale)
{
    CombinedMesh combined = model != nullptr ? CombineMeshes(*model) : CombinedMesh {};

    PxTriangleMeshDesc description;
    description.points.count = static_cast<PxU32>(combined.points.size());
    description.points.stride = sizeof(PxVec3);
    description.points.data = combined.points.data();
    description.triangles.count = static_cast<PxU32>(combined.indices.size() / 3);
    description.triangles.stride = 3 * sizeof(PxU32);
    description.triangles.data = combined.indices.data();

    // The cooking tolerances are the library's defaults (1, 10), not the centimetre scale of the world.
    PxCookingParams parameters { PxTolerancesScale() };
    PxDefaultMemoryOutputStream cooked(*PxGetAllocatorCallback());
    if (!PxCookTriangleMesh(parameters, description, cooked, nullptr)) {
        std::cout << "you failed" << std::endl;
        return nullptr;
    }

    PxDefaultMemoryInputData input(cooked.getData(), cooked.getSize());
    PxTriangleMesh* mesh = physics->createTriangleMesh(input);
    if (mesh == nullptr)
        return nullptr;
    PxTriangleMeshGeometry geometry(mesh, PxMeshScale(scale), PxMeshGeometryFlags());
    return physics->createShape(geometry, *defaultMaterial, true, kShapeFlags);
}
