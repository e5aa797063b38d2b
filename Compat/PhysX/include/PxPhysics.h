#pragma once
// The factory of scenes, actors, shapes, materials and meshes. Releasing it releases every object it
// created that is still alive.

#include "PxMaterial.h"
#include "PxRigidDynamic.h"
#include "PxRigidStatic.h"
#include "PxScene.h"
#include "PxShape.h"
#include "common/PxTolerancesScale.h"
#include "foundation/PxFoundation.h"
#include "foundation/PxIO.h"
#include "geometry/PxTriangleMesh.h"

namespace physx {

class PxPvd;
class PxOmniPvd;

class PxPhysics {
public:
    virtual void release() = 0;
    virtual PxFoundation& getFoundation() = 0;
    virtual const PxTolerancesScale& getTolerancesScale() const = 0;

    // Null (with eINVALID_PARAMETER) for an invalid description.
    virtual PxScene* createScene(const PxSceneDesc& sceneDesc) = 0;
    virtual PxU32 getNbScenes() const = 0;

    virtual PxRigidStatic* createRigidStatic(const PxTransform& pose) = 0;
    // Mass 1 and mass-space inertia (1, 1, 1) until set otherwise.
    virtual PxRigidDynamic* createRigidDynamic(const PxTransform& pose) = 0;

    virtual PxShape* createShape(const PxGeometry& geometry, const PxMaterial& material, bool isExclusive = false,
        PxShapeFlags shapeFlags = PxShapeFlag::eVISUALIZATION | PxShapeFlag::eSCENE_QUERY_SHAPE
            | PxShapeFlag::eSIMULATION_SHAPE)
        = 0;
    virtual PxU32 getNbShapes() const = 0;

    virtual PxMaterial* createMaterial(PxReal staticFriction, PxReal dynamicFriction, PxReal restitution) = 0;
    virtual PxU32 getNbMaterials() const = 0;

    // Reads data written by PxCookTriangleMesh; null (with eINVALID_PARAMETER) for anything else.
    virtual PxTriangleMesh* createTriangleMesh(PxInputStream& stream) = 0;
    virtual PxU32 getNbTriangleMeshes() const = 0;

protected:
    virtual ~PxPhysics() = default;
};

} // namespace physx

// version must be PX_PHYSICS_VERSION. trackOutstandingAllocations and the visual-debugger objects are
// accepted and have no effect on the simulation.
physx::PxPhysics* PxCreatePhysics(physx::PxU32 version, physx::PxFoundation& foundation,
    const physx::PxTolerancesScale& scale, bool trackOutstandingAllocations = false, physx::PxPvd* pvd = nullptr,
    physx::PxOmniPvd* omniPvd = nullptr);
physx::PxPhysics& PxGetPhysics();

namespace physx {
using ::PxCreatePhysics;
using ::PxGetPhysics;
} // namespace physx
