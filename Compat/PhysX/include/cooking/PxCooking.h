#pragma once
// Triangle-mesh cooking: validates a mesh description and writes it in the form
// PxPhysics::createTriangleMesh reads.

#include "common/PxTolerancesScale.h"
#include "foundation/PxIO.h"
#include "geometry/PxSimpleTriangleMesh.h"

namespace physx {

class PxTriangleMeshDesc : public PxSimpleTriangleMesh {
public:
    PxTypedBoundedData<PxU16> materialIndices;
};

struct PxMeshMidPhase {
    enum Enum { eBVH33 = 0, eBVH34 = 1, eLAST };
};

struct PxMeshPreprocessingFlag {
    enum Enum {
        eWELD_VERTICES = 1 << 0,
        eDISABLE_CLEAN_MESH = 1 << 1,
        eDISABLE_ACTIVE_EDGES_PRECOMPUTE = 1 << 2,
        eFORCE_32BIT_INDICES = 1 << 3,
        eENABLE_VERT_MAPPING = 1 << 4,
        eENABLE_INERTIA = 1 << 5
    };
};
using PxMeshPreprocessingFlags = PxFlags<PxMeshPreprocessingFlag::Enum, PxU32>;
PX_FLAGS_OPERATORS(PxMeshPreprocessingFlag::Enum, PxU32)

struct PxTriangleMeshCookingResult {
    enum Enum { eSUCCESS = 0, eLARGE_TRIANGLE, eEMPTY_MESH, eFAILURE };
};

struct PxCookingParams {
    explicit PxCookingParams(const PxTolerancesScale& sc)
        : areaTestEpsilon(0.06f * sc.length * sc.length)
        , planeTolerance(0.0007f)
        , scale(sc)
    {
    }

    float areaTestEpsilon;
    float planeTolerance;
    bool suppressTriangleMeshRemapTable = false;
    bool buildTriangleAdjacencies = false;
    bool buildGPUData = false;
    PxTolerancesScale scale;
    PxMeshPreprocessingFlags meshPreprocessParams;
    PxReal meshWeldTolerance = 0.0f;
    PxMeshMidPhase::Enum midphase = PxMeshMidPhase::eBVH34;
};

} // namespace physx

// Returns false, writing nothing, for a description with fewer than 3 points, no triangles, bad
// strides, null data, an index out of range or a non-finite point.
bool PxCookTriangleMesh(const physx::PxCookingParams& params, const physx::PxTriangleMeshDesc& desc,
    physx::PxOutputStream& stream, physx::PxTriangleMeshCookingResult::Enum* condition = nullptr);

namespace physx {
using ::PxCookTriangleMesh;
} // namespace physx
