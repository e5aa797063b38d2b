#pragma once
// A centimetre-scale PhysX world for the stand-in's scenario tests, written against the PhysX API only.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PxPhysicsAPI.h"

namespace tarnwick::test {

using namespace physx;

class RecordingErrorCallback : public PxErrorCallback {
public:
    void reportError(PxErrorCode::Enum code, const char* message, const char*, int) override
    {
        codes.push_back(code);
        messages.emplace_back(message);
    }
    bool Saw(PxErrorCode::Enum code) const
    {
        for (PxErrorCode::Enum c : codes)
            if (c == code)
                return true;
        return false;
    }

    std::vector<PxErrorCode::Enum> codes;
    std::vector<std::string> messages;
};

// What the configurable shader answers; passed to the scene as its filter shader data.
struct ShaderAnswer {
    PxU16 pairFlags = PxPairFlag::eCONTACT_DEFAULT;
    bool suppress = false;
};

// The layer rule of the program: keep a pair when the first shape's word0 meets the second's word1.
inline PxFilterFlags LayerShader(PxFilterObjectAttributes, PxFilterData filterData0, PxFilterObjectAttributes,
    PxFilterData filterData1, PxPairFlags& pairFlags, const void*, PxU32)
{
    if (filterData0.word0 & filterData1.word1) {
        pairFlags = PxPairFlags(0x617);
        return PxFilterFlag::eDEFAULT;
    }
    return PxFilterFlag::eSUPPRESS;
}

inline PxFilterFlags AnswerShader(PxFilterObjectAttributes, PxFilterData, PxFilterObjectAttributes, PxFilterData,
    PxPairFlags& pairFlags, const void* constantBlock, PxU32 constantBlockSize)
{
    const ShaderAnswer answer = constantBlockSize == sizeof(ShaderAnswer)
        ? *static_cast<const ShaderAnswer*>(constantBlock)
        : ShaderAnswer {};
    if (answer.suppress)
        return PxFilterFlag::eSUPPRESS;
    pairFlags = PxPairFlags(answer.pairFlags);
    return PxFilterFlag::eDEFAULT;
}

constexpr PxReal kGravity = -981.0f;
constexpr PxReal kFrame = 1.0f / 60.0f;
constexpr PxU32 kAllLayers = 0xffffffffu;

class PhysXWorld : public ::testing::Test {
protected:
    void SetUp() override
    {
        foundation = PxCreateFoundation(PX_PHYSICS_VERSION, allocator, errors);
        ASSERT_NE(foundation, nullptr);
        physics = PxCreatePhysics(PX_PHYSICS_VERSION, *foundation, PxTolerancesScale(100.0f, 1000.0f), true, nullptr);
        ASSERT_NE(physics, nullptr);
        material = physics->createMaterial(1.0f, 1.0f, 0.1f);
        dispatcher = PxDefaultCpuDispatcherCreate(4);
    }

    void TearDown() override
    {
        if (scene != nullptr)
            scene->release();
        dispatcher->release();
        physics->release();
        foundation->release();
    }

    void CreateScene(PxSimulationFilterShader shader = LayerShader, const ShaderAnswer* answer = nullptr,
        PxContactModifyCallback* modify = nullptr, PxSimulationEventCallback* events = nullptr)
    {
        PxSceneDesc desc(physics->getTolerancesScale());
        desc.gravity = PxVec3(0.0f, kGravity, 0.0f);
        desc.cpuDispatcher = dispatcher;
        desc.filterShader = shader;
        if (answer != nullptr) {
            desc.filterShaderData = answer;
            desc.filterShaderDataSize = sizeof(ShaderAnswer);
        }
        desc.contactModifyCallback = modify;
        scene = physics->createScene(desc);
        ASSERT_NE(scene, nullptr);
        scene->setSimulationEventCallback(events);
    }

    PxShape* Shape(const PxGeometry& geometry, PxU32 layer, PxU32 mask)
    {
        PxShape* shape = physics->createShape(geometry, *material, true,
            PxShapeFlag::eSIMULATION_SHAPE | PxShapeFlag::eSCENE_QUERY_SHAPE | PxShapeFlag::eVISUALIZATION);
        const PxFilterData data(layer, mask, 0, 0);
        shape->setSimulationFilterData(data);
        shape->setQueryFilterData(data);
        return shape;
    }

    // Attaches the shape and drops the creator's reference, as the program's colliders do.
    template <class Actor>
    Actor* Own(Actor* actor, PxShape* shape, bool add = true)
    {
        EXPECT_TRUE(actor->attachShape(*shape));
        shape->release();
        if (add)
            scene->addActor(*actor);
        return actor;
    }

    PxRigidStatic* StaticBox(
        const PxVec3& center, const PxVec3& halfExtents, PxU32 layer = 1, PxU32 mask = kAllLayers, bool add = true)
    {
        return Own(
            physics->createRigidStatic(PxTransform(center)), Shape(PxBoxGeometry(halfExtents), layer, mask), add);
    }

    PxRigidDynamic* Ball(const PxVec3& center, PxReal radius = 5.0f, PxU32 layer = 1, PxU32 mask = kAllLayers)
    {
        return Own(physics->createRigidDynamic(PxTransform(center)), Shape(PxSphereGeometry(radius), layer, mask));
    }

    void Step(PxU32 steps = 1, PxReal dt = kFrame)
    {
        for (PxU32 i = 0; i < steps; ++i) {
            ASSERT_TRUE(scene->simulate(dt));
            ASSERT_TRUE(scene->fetchResults(true));
        }
    }

    PxTriangleMesh* CookMesh(const std::vector<PxVec3>& points, const std::vector<PxU32>& indices)
    {
        PxTriangleMeshDesc desc;
        desc.points.count = static_cast<PxU32>(points.size());
        desc.points.stride = sizeof(PxVec3);
        desc.points.data = points.data();
        desc.triangles.count = static_cast<PxU32>(indices.size() / 3);
        desc.triangles.stride = 3 * sizeof(PxU32);
        desc.triangles.data = indices.data();
        PxDefaultMemoryOutputStream cooked(*PxGetAllocatorCallback());
        if (!PxCookTriangleMesh(PxCookingParams(PxTolerancesScale()), desc, cooked))
            return nullptr;
        PxDefaultMemoryInputData input(cooked.getData(), cooked.getSize());
        return physics->createTriangleMesh(input);
    }

    PxDefaultAllocator allocator;
    RecordingErrorCallback errors;
    PxFoundation* foundation = nullptr;
    PxPhysics* physics = nullptr;
    PxDefaultCpuDispatcher* dispatcher = nullptr;
    PxMaterial* material = nullptr;
    PxScene* scene = nullptr;
};

} // namespace tarnwick::test
