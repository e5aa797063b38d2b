// Triangle-mesh cooking: validate the description and write the mesh in the stand-in's cooked form.
// Bullet builds its BVH when the mesh is created from the cooked data.

#include <cmath>
#include <cstring>
#include <vector>

#include "Source/Cooking.h"
#include "Source/Errors.h"
#include "cooking/PxCooking.h"
#include "foundation/PxVec3.h"

namespace physx::standin {
namespace {

bool Fail(PxTriangleMeshCookingResult::Enum* condition, PxTriangleMeshCookingResult::Enum result, const char* why)
{
    if (condition != nullptr)
        *condition = result;
    PX_STANDIN_ERROR(PxErrorCode::eINVALID_PARAMETER, "PxCookTriangleMesh: %s", why);
    return false;
}

PxU32 IndexAt(const PxTriangleMeshDesc& desc, PxU32 triangle, PxU32 corner)
{
    const auto* base = static_cast<const PxU8*>(desc.triangles.data)
        + static_cast<size_t>(triangle) * desc.triangles.stride;
    if (desc.flags & PxMeshFlag::e16_BIT_INDICES) {
        PxU16 index;
        std::memcpy(&index, base + corner * sizeof(PxU16), sizeof(index));
        return index;
    }
    PxU32 index;
    std::memcpy(&index, base + corner * sizeof(PxU32), sizeof(index));
    return index;
}

} // namespace
} // namespace physx::standin

bool PxCookTriangleMesh(const physx::PxCookingParams&, const physx::PxTriangleMeshDesc& desc,
    physx::PxOutputStream& stream, physx::PxTriangleMeshCookingResult::Enum* condition)
{
    using namespace physx;
    using namespace physx::standin;
    if (desc.triangles.count == 0 || desc.points.count == 0)
        return Fail(condition, PxTriangleMeshCookingResult::eEMPTY_MESH, "the mesh has no points or no triangles.");
    if (!desc.isValid())
        return Fail(
            condition, PxTriangleMeshCookingResult::eFAILURE, "user-provided triangle mesh descriptor is invalid!");
    if (desc.points.count > kMaxCookedVertices || desc.triangles.count > kMaxCookedTriangles)
        return Fail(condition, PxTriangleMeshCookingResult::eFAILURE, "the mesh is too large.");

    std::vector<PxVec3> vertices(desc.points.count);
    for (PxU32 i = 0; i < desc.points.count; ++i) {
        std::memcpy(&vertices[i],
            static_cast<const PxU8*>(desc.points.data) + static_cast<size_t>(i) * desc.points.stride, sizeof(PxVec3));
        if (!vertices[i].isFinite())
            return Fail(condition, PxTriangleMeshCookingResult::eFAILURE, "a point is not finite.");
    }
    std::vector<PxU32> indices(static_cast<size_t>(desc.triangles.count) * 3);
    const bool flip = desc.flags & PxMeshFlag::eFLIPNORMALS;
    for (PxU32 t = 0; t < desc.triangles.count; ++t) {
        for (PxU32 c = 0; c < 3; ++c) {
            const PxU32 index = IndexAt(desc, t, c);
            if (index >= desc.points.count)
                return Fail(condition, PxTriangleMeshCookingResult::eFAILURE, "an index is out of range.");
            // Flipping the winding flips the normals.
            indices[t * 3 + (flip && c > 0 ? 3 - c : c)] = index;
        }
    }

    CookedMeshHeader header {};
    std::memcpy(header.magic, kCookedMeshMagic, sizeof(header.magic));
    header.version = kCookedMeshVersion;
    header.vertexCount = desc.points.count;
    header.triangleCount = desc.triangles.count;
    const PxU32 vertexBytes = static_cast<PxU32>(vertices.size() * sizeof(PxVec3));
    const PxU32 indexBytes = static_cast<PxU32>(indices.size() * sizeof(PxU32));
    if (stream.write(&header, sizeof(header)) != sizeof(header)
        || stream.write(vertices.data(), vertexBytes) != vertexBytes
        || stream.write(indices.data(), indexBytes) != indexBytes)
        return Fail(condition, PxTriangleMeshCookingResult::eFAILURE, "the output stream refused the data.");
    if (condition != nullptr)
        *condition = PxTriangleMeshCookingResult::eSUCCESS;
    return true;
}
