#pragma once
// Helpers over actors and shapes.

#include "PxPhysics.h"

namespace physx {

class PxShapeExt {
public:
    // The shape's world pose on that actor: actor pose times local pose.
    static PxTransform getGlobalPose(const PxShape& shape, const PxRigidActor& actor)
    {
        return actor.getGlobalPose() * shape.getLocalPose();
    }
    static PxBounds3 getWorldBounds(const PxShape& shape, const PxRigidActor& actor, float inflation = 1.01f)
    {
        PxBounds3 bounds;
        PxGeometryQuery::computeGeomBounds(bounds, shape.getGeometry(), getGlobalPose(shape, actor), 0.0f, inflation);
        return bounds;
    }
};

class PxRigidActorExt {
public:
    // An exclusive shape created on and attached to the actor; the actor holds its only reference.
    static PxShape* createExclusiveShape(PxRigidActor& actor, const PxGeometry& geometry, const PxMaterial& material,
        PxShapeFlags shapeFlags = PxShapeFlag::eVISUALIZATION | PxShapeFlag::eSCENE_QUERY_SHAPE
            | PxShapeFlag::eSIMULATION_SHAPE)
    {
        PxShape* shape = PxGetPhysics().createShape(geometry, material, true, shapeFlags);
        if (shape == nullptr)
            return nullptr;
        const bool attached = actor.attachShape(*shape);
        shape->release();
        return attached ? shape : nullptr;
    }
};

} // namespace physx
