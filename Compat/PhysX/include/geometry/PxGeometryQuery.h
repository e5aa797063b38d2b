#pragma once
// Queries on a geometry placed at a pose, independent of any scene: bounds and point distance.

#include "foundation/PxBounds3.h"
#include "geometry/PxGeometry.h"

namespace physx {

struct PxGeometryQueryFlag {
    enum Enum { eSIMD_GUARD = (1 << 0), eDEFAULT = eSIMD_GUARD };
};
using PxGeometryQueryFlags = PxFlags<PxGeometryQueryFlag::Enum, PxU32>;
PX_FLAGS_OPERATORS(PxGeometryQueryFlag::Enum, PxU32)

class PxGeometryQuery {
public:
    // Squared distance from point to the geometry at pose; 0 inside a box or sphere; for a triangle
    // mesh the squared distance to its nearest triangle (closestIndex receives that triangle).
    // -1 for an unsupported geometry or an invalid pose. Safe to call from several threads at once.
    static PxReal pointDistance(const PxVec3& point, const PxGeometry& geom, const PxTransform& pose,
        PxVec3* closestPoint = nullptr, PxU32* closestIndex = nullptr,
        PxGeometryQueryFlags queryFlags = PxGeometryQueryFlag::eDEFAULT);

    // World bounds of the geometry at pose: extents grow by offset, then are multiplied by inflation.
    // Triangle meshes use their local bounds (after mesh scale) carried through the pose.
    static void computeGeomBounds(PxBounds3& bounds, const PxGeometry& geom, const PxTransform& pose,
        float offset = 0.0f, float inflation = 1.0f, PxGeometryQueryFlags queryFlags = PxGeometryQueryFlag::eDEFAULT);

    static bool isValid(const PxGeometry& geom);
};

} // namespace physx
