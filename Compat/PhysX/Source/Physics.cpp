// The physics object and its factory functions.

#include <cstring>

#include "Source/Cooking.h"
#include "Source/Errors.h"
#include "Source/Foundation.h"
#include "Source/Objects.h"
#include "Source/PhysicsImpl.h"
#include "Source/SceneImpl.h"

namespace physx::standin {
namespace {

PhysicsImpl* gPhysics = nullptr;

bool ReadAll(PxInputStream& stream, void* dest, PxU32 count)
{
    return stream.read(dest, count) == count;
}

} // namespace

PhysicsImpl::PhysicsImpl(PxFoundation& foundation, const PxTolerancesScale& scale)
    : PxPhysics()
    , mFoundation(foundation)
    , mScale(scale)
{
}

void PhysicsImpl::release()
{
    // Scenes first: they hold undelivered reports that keep released actors alive.
    while (!scenes.empty())
        scenes.back()->release();
    while (!actors.empty())
        (*actors.begin())->Destroy();
    while (!shapes.empty())
        delete *shapes.begin();
    while (!materials.empty())
        delete *materials.begin();
    while (!meshes.empty())
        delete *meshes.begin();
    if (gPhysics == this)
        gPhysics = nullptr;
    ReleaseFoundationModule();
    delete this;
}

PxScene* PhysicsImpl::createScene(const PxSceneDesc& sceneDesc)
{
    if (!sceneDesc.isValid()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxPhysics::createScene: desc.isValid() is false!");
        return nullptr;
    }
    auto* scene = new SceneImpl(*this, sceneDesc);
    scenes.push_back(scene);
    return scene;
}

PxRigidStatic* PhysicsImpl::createRigidStatic(const PxTransform& pose)
{
    if (!pose.isSane()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxPhysics::createRigidStatic: invalid transform.");
        return nullptr;
    }
    return new RigidStaticImpl(*this, pose.getNormalized());
}

PxRigidDynamic* PhysicsImpl::createRigidDynamic(const PxTransform& pose)
{
    if (!pose.isSane()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxPhysics::createRigidDynamic: invalid transform.");
        return nullptr;
    }
    return new RigidDynamicImpl(*this, pose.getNormalized());
}

PxShape* PhysicsImpl::createShape(
    const PxGeometry& geometry, const PxMaterial& material, bool isExclusive, PxShapeFlags shapeFlags)
{
    if (!PxGeometryQuery::isValid(geometry)) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxPhysics::createShape: supplied geometry is not valid.");
        return nullptr;
    }
    if ((shapeFlags & PxShapeFlag::eTRIGGER_SHAPE) && (shapeFlags & PxShapeFlag::eSIMULATION_SHAPE)) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER,
            "PxPhysics::createShape: shapes cannot simultaneously be trigger shapes and simulation shapes.");
        return nullptr;
    }
    return new ShapeImpl(*this, geometry, const_cast<MaterialImpl&>(static_cast<const MaterialImpl&>(material)),
        isExclusive, shapeFlags);
}

PxMaterial* PhysicsImpl::createMaterial(PxReal staticFriction, PxReal dynamicFriction, PxReal restitution)
{
    if (!(staticFriction >= 0.0f) || !(dynamicFriction >= 0.0f) || !(restitution >= 0.0f && restitution <= 1.0f)) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxPhysics::createMaterial: invalid material values.");
        return nullptr;
    }
    return new MaterialImpl(*this, staticFriction, dynamicFriction, restitution);
}

PxTriangleMesh* PhysicsImpl::createTriangleMesh(PxInputStream& stream)
{
    CookedMeshHeader header {};
    if (!ReadAll(stream, &header, sizeof(header))
        || std::memcmp(header.magic, kCookedMeshMagic, sizeof(header.magic)) != 0
        || header.version != kCookedMeshVersion || header.vertexCount < 3 || header.triangleCount == 0
        || header.vertexCount > kMaxCookedVertices || header.triangleCount > kMaxCookedTriangles) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER,
            "PxPhysics::createTriangleMesh: the stream holds no cooked triangle mesh.");
        return nullptr;
    }
    std::vector<PxVec3> vertices(header.vertexCount);
    std::vector<PxU32> indices(static_cast<size_t>(header.triangleCount) * 3);
    bool valid = ReadAll(stream, vertices.data(), static_cast<PxU32>(vertices.size() * sizeof(PxVec3)))
        && ReadAll(stream, indices.data(), static_cast<PxU32>(indices.size() * sizeof(PxU32)));
    for (size_t i = 0; valid && i < vertices.size(); ++i)
        valid = vertices[i].isFinite();
    for (size_t i = 0; valid && i < indices.size(); ++i)
        valid = indices[i] < header.vertexCount;
    if (!valid) {
        PX_STANDIN_ERROR(
            PxErrorCode::eINVALID_PARAMETER, "PxPhysics::createTriangleMesh: the cooked mesh is truncated or corrupt.");
        return nullptr;
    }
    return new TriangleMeshImpl(*this, std::move(vertices), std::move(indices));
}

} // namespace physx::standin

physx::PxPhysics* PxCreatePhysics(physx::PxU32 version, physx::PxFoundation& foundation,
    const physx::PxTolerancesScale& scale, bool, physx::PxPvd*, physx::PxOmniPvd*)
{
    using namespace physx;
    if (version != PX_PHYSICS_VERSION) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER,
            "Wrong version: PhysX version is 0x%08x, tried to create 0x%08x", static_cast<unsigned>(PX_PHYSICS_VERSION),
            static_cast<unsigned>(version));
        return nullptr;
    }
    if (!scale.isValid()) {
        PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "Scale invalid.");
        return nullptr;
    }
    if (!standin::AcquireFoundationModule(foundation))
        return nullptr;
    standin::gPhysics = new standin::PhysicsImpl(foundation, scale);
    return standin::gPhysics;
}

physx::PxPhysics& PxGetPhysics()
{
    return *physx::standin::gPhysics;
}
