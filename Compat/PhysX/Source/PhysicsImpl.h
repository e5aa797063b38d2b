#pragma once
// The physics object: the factory, and the registry of everything it created, so that releasing it
// releases what is still alive.

#include <set>
#include <vector>

#include "PxPhysics.h"

namespace physx::standin {

class SceneImpl;
class ShapeImpl;
class MaterialImpl;
class TriangleMeshImpl;
struct ActorCore;

class PhysicsImpl final : public PxPhysics {
public:
    PhysicsImpl(PxFoundation& foundation, const PxTolerancesScale& scale);

    void release() override;
    PxFoundation& getFoundation() override { return mFoundation; }
    const PxTolerancesScale& getTolerancesScale() const override { return mScale; }
    PxScene* createScene(const PxSceneDesc& sceneDesc) override;
    PxU32 getNbScenes() const override { return static_cast<PxU32>(scenes.size()); }
    PxRigidStatic* createRigidStatic(const PxTransform& pose) override;
    PxRigidDynamic* createRigidDynamic(const PxTransform& pose) override;
    PxShape* createShape(
        const PxGeometry& geometry, const PxMaterial& material, bool isExclusive, PxShapeFlags shapeFlags) override;
    PxU32 getNbShapes() const override { return static_cast<PxU32>(shapes.size()); }
    PxMaterial* createMaterial(PxReal staticFriction, PxReal dynamicFriction, PxReal restitution) override;
    PxU32 getNbMaterials() const override { return static_cast<PxU32>(materials.size()); }
    PxTriangleMesh* createTriangleMesh(PxInputStream& stream) override;
    PxU32 getNbTriangleMeshes() const override { return static_cast<PxU32>(meshes.size()); }

    // Creation order of actors and shapes; pairs are presented to the filter shader in this order.
    PxU32 NextSerial() { return ++mSerial; }

    std::vector<SceneImpl*> scenes;
    std::set<ActorCore*> actors;
    std::set<ShapeImpl*> shapes;
    std::set<MaterialImpl*> materials;
    std::set<TriangleMeshImpl*> meshes;

private:
    ~PhysicsImpl() override = default;

    PxFoundation& mFoundation;
    PxTolerancesScale mScale;
    PxU32 mSerial = 0;
};

} // namespace physx::standin
