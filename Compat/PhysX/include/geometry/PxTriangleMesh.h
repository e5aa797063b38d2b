#pragma once
// A cooked triangle mesh, shared by the shapes whose geometry refers to it. Reference counted: the
// creator holds one reference and each shape using it holds another.

#include "common/PxBase.h"
#include "foundation/PxBounds3.h"

namespace physx {

struct PxTriangleMeshFlag {
    enum Enum { e16_BIT_INDICES = (1 << 1), eADJACENCY_INFO = (1 << 2), ePREFER_NO_SDF_PROJ = (1 << 3) };
};
using PxTriangleMeshFlags = PxFlags<PxTriangleMeshFlag::Enum, PxU8>;
PX_FLAGS_OPERATORS(PxTriangleMeshFlag::Enum, PxU8)

class PxTriangleMesh : public PxRefCounted {
public:
    virtual PxU32 getNbVertices() const = 0;
    virtual const PxVec3* getVertices() const = 0;
    virtual PxU32 getNbTriangles() const = 0;
    // Three indices per triangle, 32-bit unless getTriangleMeshFlags() has e16_BIT_INDICES.
    virtual const void* getTriangles() const = 0;
    virtual PxTriangleMeshFlags getTriangleMeshFlags() const = 0;
    virtual PxBounds3 getLocalBounds() const = 0;

protected:
    using PxRefCounted::PxRefCounted;
};

} // namespace physx
