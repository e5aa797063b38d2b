// 300 spheres falling onto a static box floor and into a static triangle-mesh bowl, 600 steps of 1/60 s,
// once through the PhysX stand-in and once written directly on Bullet with the same settings.
// Reports step time and the heap in use once the scene has run (glibc's mallinfo2, which sees Bullet's
// malloc-based allocations as well as operator new).

#include <benchmark/benchmark.h>
#include <btBulletDynamicsCommon.h>
#include <malloc.h>

#include <cmath>
#include <memory>
#include <vector>

#include "PxPhysicsAPI.h"

namespace {

constexpr int kSpheres = 300;
constexpr int kSteps = 600;
constexpr float kDt = 1.0f / 60.0f;
constexpr float kRadius = 5.0f;
constexpr float kGravity = -981.0f;
constexpr int kBowlCells = 24;
constexpr float kBowlHalfWidth = 150.0f;
constexpr float kBowlCentreX = -250.0f;
// Wide enough that spheres knocked out of the pile roll to a stop on it.
constexpr float kFloorHalfWidth = 5000.0f;

struct Bowl {
    std::vector<float> vertices; // x, y, z
    std::vector<int> indices;
};

// A paraboloid bowl, open upwards, its triangles facing the inside.
Bowl MakeBowl()
{
    Bowl bowl;
    for (int i = 0; i <= kBowlCells; ++i) {
        for (int j = 0; j <= kBowlCells; ++j) {
            const float x = -kBowlHalfWidth + 2.0f * kBowlHalfWidth * i / kBowlCells;
            const float z = -kBowlHalfWidth + 2.0f * kBowlHalfWidth * j / kBowlCells;
            bowl.vertices.insert(bowl.vertices.end(), { kBowlCentreX + x, (x * x + z * z) / 300.0f, z });
        }
    }
    const int row = kBowlCells + 1;
    for (int i = 0; i < kBowlCells; ++i) {
        for (int j = 0; j < kBowlCells; ++j) {
            const int a = i * row + j, b = a + row, c = a + 1, d = b + 1;
            bowl.indices.insert(bowl.indices.end(), { a, c, b, c, d, b });
        }
    }
    return bowl;
}

// Half above the bowl, half above the floor, in layers.
btVector3 SphereStart(int i)
{
    const int side = i % 2;
    const int k = i / 2;
    const float x = (side == 0 ? kBowlCentreX : 250.0f) + (k % 5) * 15.0f - 30.0f;
    const float z = ((k / 5) % 6) * 15.0f - 37.5f;
    const float y = 120.0f + (k / 30) * 15.0f;
    return btVector3(x, y, z);
}

size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// -- Through the stand-in

class NullErrors : public physx::PxErrorCallback {
public:
    void reportError(physx::PxErrorCode::Enum, const char*, const char*, int) override {}
};

physx::PxFilterFlags SolveOnly(physx::PxFilterObjectAttributes, physx::PxFilterData, physx::PxFilterObjectAttributes,
    physx::PxFilterData, physx::PxPairFlags& pairFlags, const void*, physx::PxU32)
{
    pairFlags = physx::PxPairFlag::eCONTACT_DEFAULT;
    return physx::PxFilterFlag::eDEFAULT;
}

// The program's configuration: every pair modifiable and reported, with callbacks that do little.
physx::PxFilterFlags ProgramFlags(physx::PxFilterObjectAttributes, physx::PxFilterData, physx::PxFilterObjectAttributes,
    physx::PxFilterData, physx::PxPairFlags& pairFlags, const void*, physx::PxU32)
{
    pairFlags = physx::PxPairFlags(0x617);
    return physx::PxFilterFlag::eDEFAULT;
}

class CountingCallbacks : public physx::PxContactModifyCallback, public physx::PxSimulationEventCallback {
public:
    void onContactModify(physx::PxContactModifyPair* const pairs, physx::PxU32 count) override
    {
        for (physx::PxU32 i = 0; i < count; ++i)
            modified += pairs[i].contacts.size();
    }
    void onConstraintBreak(physx::PxConstraintInfo*, physx::PxU32) override {}
    void onWake(physx::PxActor**, physx::PxU32) override {}
    void onSleep(physx::PxActor**, physx::PxU32) override {}
    void onContact(const physx::PxContactPairHeader&, const physx::PxContactPair*, physx::PxU32 nbPairs) override
    {
        reported += nbPairs;
    }
    void onTrigger(physx::PxTriggerPair*, physx::PxU32) override {}
    void onAdvance(const physx::PxRigidBody* const*, const physx::PxTransform*, const physx::PxU32) override {}

    size_t modified = 0;
    size_t reported = 0;
};

template <bool kProgramCallbacks>
struct StandInScene {
    physx::PxDefaultAllocator allocator;
    NullErrors errors;
    physx::PxFoundation* foundation = nullptr;
    physx::PxPhysics* physics = nullptr;
    physx::PxDefaultCpuDispatcher* dispatcher = nullptr;
    physx::PxScene* scene = nullptr;
    std::vector<physx::PxRigidDynamic*> spheres;
    CountingCallbacks callbacks;

    explicit StandInScene(const Bowl& bowl)
    {
        using namespace physx;
        foundation = PxCreateFoundation(PX_PHYSICS_VERSION, allocator, errors);
        physics = PxCreatePhysics(PX_PHYSICS_VERSION, *foundation, PxTolerancesScale(100.0f, 1000.0f));
        dispatcher = PxDefaultCpuDispatcherCreate(4);
        PxSceneDesc desc(physics->getTolerancesScale());
        desc.gravity = PxVec3(0.0f, kGravity, 0.0f);
        desc.cpuDispatcher = dispatcher;
        desc.filterShader = kProgramCallbacks ? ProgramFlags : SolveOnly;
        if (kProgramCallbacks) {
            desc.contactModifyCallback = &callbacks;
            desc.simulationEventCallback = &callbacks;
        }
        scene = physics->createScene(desc);
        PxMaterial* material = physics->createMaterial(1.0f, 1.0f, 0.0f);

        PxRigidStatic* floor = physics->createRigidStatic(PxTransform(PxVec3(0.0f, -10.0f, 0.0f)));
        PxRigidActorExt::createExclusiveShape(
            *floor, PxBoxGeometry(kFloorHalfWidth, 10.0f, kFloorHalfWidth), *material);
        scene->addActor(*floor);

        PxTriangleMeshDesc meshDesc;
        meshDesc.points.count = static_cast<PxU32>(bowl.vertices.size() / 3);
        meshDesc.points.stride = 3 * sizeof(float);
        meshDesc.points.data = bowl.vertices.data();
        meshDesc.triangles.count = static_cast<PxU32>(bowl.indices.size() / 3);
        meshDesc.triangles.stride = 3 * sizeof(int);
        meshDesc.triangles.data = bowl.indices.data();
        PxDefaultMemoryOutputStream cooked;
        PxCookTriangleMesh(PxCookingParams(PxTolerancesScale()), meshDesc, cooked);
        PxDefaultMemoryInputData input(cooked.getData(), cooked.getSize());
        PxTriangleMesh* mesh = physics->createTriangleMesh(input);
        PxRigidStatic* bowlActor = physics->createRigidStatic(PxTransform(PxVec3(0.0f, 10.0f, 0.0f)));
        PxRigidActorExt::createExclusiveShape(*bowlActor, PxTriangleMeshGeometry(mesh), *material);
        mesh->release();
        scene->addActor(*bowlActor);

        for (int i = 0; i < kSpheres; ++i) {
            const btVector3 p = SphereStart(i);
            PxRigidDynamic* sphere = physics->createRigidDynamic(PxTransform(PxVec3(p.x(), p.y(), p.z())));
            PxRigidActorExt::createExclusiveShape(*sphere, PxSphereGeometry(kRadius), *material);
            sphere->setMass(1.0f);
            scene->addActor(*sphere);
            spheres.push_back(sphere);
        }
        material->release();
    }

    ~StandInScene()
    {
        dispatcher->release();
        physics->release();
        foundation->release();
    }

    void Step()
    {
        scene->simulate(kDt);
        scene->fetchResults(true);
    }

    float MeanHeight() const
    {
        float sum = 0.0f;
        for (const physx::PxRigidDynamic* s : spheres)
            sum += s->getGlobalPose().p.y;
        return sum / spheres.size();
    }
};

// -- Directly on Bullet, with the stand-in's settings (mass 1, inertia 1, angular damping 0.05,
// sleep below 10 units/s, continuous collision from half the radius, no bounce below 200 units/s).
// Continuous collision is Bullet's own, with its customary 0.8-radius swept sphere; the stand-in
// sweeps its own way instead (once per fast body, the whole radius grown by the contact distance), so
// the two sides do comparable but not identical work there.

struct BulletScene {
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher { &configuration };
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world { &dispatcher, &broadphase, &solver, &configuration };
    btBoxShape floorShape { btVector3(kFloorHalfWidth, 10.0f, kFloorHalfWidth) };
    btSphereShape sphereShape { kRadius };
    std::unique_ptr<btTriangleIndexVertexArray> bowlArrays;
    std::unique_ptr<btBvhTriangleMeshShape> bowlShape;
    btCollisionObject floor, bowlObject;
    std::vector<std::unique_ptr<btRigidBody>> spheres;
    Bowl bowl;

    explicit BulletScene(const Bowl& source)
        : bowl(source)
    {
        world.setGravity(btVector3(0.0f, kGravity, 0.0f));
        world.getSolverInfo().m_restitutionVelocityThreshold = 200.0f;
        floor.setCollisionShape(&floorShape);
        floor.setWorldTransform(btTransform(btQuaternion::getIdentity(), btVector3(0.0f, -10.0f, 0.0f)));
        world.addCollisionObject(&floor);
        bowlArrays = std::make_unique<btTriangleIndexVertexArray>(static_cast<int>(bowl.indices.size() / 3),
            bowl.indices.data(), 3 * static_cast<int>(sizeof(int)), static_cast<int>(bowl.vertices.size() / 3),
            bowl.vertices.data(), 3 * static_cast<int>(sizeof(float)));
        bowlShape = std::make_unique<btBvhTriangleMeshShape>(bowlArrays.get(), true, true);
        bowlObject.setCollisionShape(bowlShape.get());
        bowlObject.setWorldTransform(btTransform(btQuaternion::getIdentity(), btVector3(0.0f, 10.0f, 0.0f)));
        world.addCollisionObject(&bowlObject);
        for (int i = 0; i < kSpheres; ++i) {
            btRigidBody::btRigidBodyConstructionInfo info(1.0f, nullptr, &sphereShape, btVector3(1.0f, 1.0f, 1.0f));
            info.m_startWorldTransform = btTransform(btQuaternion::getIdentity(), SphereStart(i));
            info.m_angularDamping = 0.05f;
            info.m_linearSleepingThreshold = 10.0f;
            info.m_angularSleepingThreshold = 1.0f;
            info.m_friction = 1.0f;
            auto body = std::make_unique<btRigidBody>(info);
            body->setCcdMotionThreshold(0.5f * kRadius);
            body->setCcdSweptSphereRadius(0.8f * kRadius);
            world.addRigidBody(body.get());
            spheres.push_back(std::move(body));
        }
    }

    ~BulletScene()
    {
        for (auto& body : spheres)
            world.removeRigidBody(body.get());
        world.removeCollisionObject(&bowlObject);
        world.removeCollisionObject(&floor);
    }

    void Step() { world.stepSimulation(kDt, 0, kDt); }

    float MeanHeight() const
    {
        float sum = 0.0f;
        for (const auto& s : spheres)
            sum += s->getWorldTransform().getOrigin().y();
        return sum / spheres.size();
    }
};

template <class Scene>
void RunScene(benchmark::State& state)
{
    const Bowl bowl = MakeBowl();
    double heap = 0.0, height = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = HeapInUse();
        auto scene = std::make_unique<Scene>(bowl);
        state.ResumeTiming();
        for (int i = 0; i < kSteps; ++i)
            scene->Step();
        state.PauseTiming();
        heap = static_cast<double>(HeapInUse() - before);
        height = scene->MeanHeight();
        scene.reset();
        state.ResumeTiming();
    }
    state.counters["heap_bytes"] = heap;
    state.counters["mean_height"] = height;
}

void BM_PhysXStandIn(benchmark::State& state)
{
    RunScene<StandInScene<false>>(state);
}
void BM_PhysXStandInProgramCallbacks(benchmark::State& state)
{
    RunScene<StandInScene<true>>(state);
}
void BM_BulletDirect(benchmark::State& state)
{
    RunScene<BulletScene>(state);
}

BENCHMARK(BM_BulletDirect)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PhysXStandIn)->Unit(benchmark::kMillisecond)->Iterations(5);
// Not part of the comparison: the extra cost of the program's modification and report callbacks.
BENCHMARK(BM_PhysXStandInProgramCallbacks)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
