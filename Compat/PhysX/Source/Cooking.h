#pragma once
// The cooked triangle-mesh format shared by PxCookTriangleMesh and PxPhysics::createTriangleMesh:
// a header, the vertices as three floats each, then three 32-bit indices per triangle.

#include "foundation/PxSimpleTypes.h"

namespace physx::standin {

struct CookedMeshHeader {
    char magic[4];
    PxU32 version;
    PxU32 vertexCount;
    PxU32 triangleCount;
};

constexpr char kCookedMeshMagic[4] = { 'T', 'W', 'C', 'M' };
constexpr PxU32 kCookedMeshVersion = 1;
// Keeps every size computation of a cooked mesh far from 32-bit overflow.
constexpr PxU32 kMaxCookedVertices = 1u << 24;
constexpr PxU32 kMaxCookedTriangles = 1u << 24;

} // namespace physx::standin
