#pragma once
// A collision shape: geometry, material, local pose and filter data.
//
// Reference counted: createShape gives the caller one reference, attachShape gives the actor one,
// release() and detachShape drop one; the shape is destroyed with its last reference. An exclusive
// shape can be attached to one actor at a time.

#include "PxFiltering.h"
#include "common/PxBase.h"
#include "geometry/PxGeometry.h"

namespace physx {

class PxMaterial;
class PxRigidActor;

struct PxShapeFlag {
    enum Enum {
        eSIMULATION_SHAPE = (1 << 0),
        eSCENE_QUERY_SHAPE = (1 << 1),
        eTRIGGER_SHAPE = (1 << 2),
        eVISUALIZATION = (1 << 3)
    };
};
using PxShapeFlags = PxFlags<PxShapeFlag::Enum, PxU8>;
PX_FLAGS_OPERATORS(PxShapeFlag::Enum, PxU8)

class PxShape : public PxRefCounted {
public:
    // The new geometry must have the type the shape was created with (eINVALID_PARAMETER otherwise).
    virtual void setGeometry(const PxGeometry& geometry) = 0;
    virtual const PxGeometry& getGeometry() const = 0;
    virtual bool getBoxGeometry(PxBoxGeometry& geometry) const = 0;
    virtual bool getSphereGeometry(PxSphereGeometry& geometry) const = 0;
    virtual bool getTriangleMeshGeometry(PxTriangleMeshGeometry& geometry) const = 0;

    // The exclusive owner, or null for a shared or unattached shape.
    virtual PxRigidActor* getActor() const = 0;

    virtual void setLocalPose(const PxTransform& pose) = 0;
    virtual PxTransform getLocalPose() const = 0;

    // New simulation filter data makes every pair of this shape go through the filter shader again.
    virtual void setSimulationFilterData(const PxFilterData& data) = 0;
    virtual PxFilterData getSimulationFilterData() const = 0;
    virtual void setQueryFilterData(const PxFilterData& data) = 0;
    virtual PxFilterData getQueryFilterData() const = 0;

    virtual void setMaterials(PxMaterial* const* materials, PxU16 materialCount) = 0;
    virtual PxU16 getNbMaterials() const = 0;
    virtual PxU32 getMaterials(PxMaterial** userBuffer, PxU32 bufferSize, PxU32 startIndex = 0) const = 0;

    virtual void setContactOffset(PxReal contactOffset) = 0;
    virtual PxReal getContactOffset() const = 0;
    virtual void setRestOffset(PxReal restOffset) = 0;
    virtual PxReal getRestOffset() const = 0;

    virtual void setFlag(PxShapeFlag::Enum flag, bool value) = 0;
    virtual void setFlags(PxShapeFlags inFlags) = 0;
    virtual PxShapeFlags getFlags() const = 0;
    virtual bool isExclusive() const = 0;

    virtual void setName(const char* name) = 0;
    virtual const char* getName() const = 0;

    void* userData = nullptr;

protected:
    using PxRefCounted::PxRefCounted;
};

} // namespace physx
