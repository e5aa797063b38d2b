#pragma once
// Strided arrays and the triangle-mesh description handed to cooking.

#include "foundation/PxFlags.h"

namespace physx {

struct PxStridedData {
    PxU32 stride = 0;
    const void* data = nullptr;

    template <typename TDataType>
    const TDataType& at(PxU32 idx) const
    {
        return *reinterpret_cast<const TDataType*>(
            reinterpret_cast<const PxU8*>(data) + static_cast<size_t>(idx) * stride);
    }
};

template <typename TDataType>
struct PxTypedStridedData {
    PxU32 stride = 0;
    const TDataType* data = nullptr;
};

struct PxBoundedData : public PxStridedData {
    PxU32 count = 0;
};

template <typename TDataType>
struct PxTypedBoundedData : public PxTypedStridedData<TDataType> {
    PxU32 count = 0;
};

struct PxMeshFlag {
    enum Enum { eFLIPNORMALS = (1 << 0), e16_BIT_INDICES = (1 << 1) };
};
using PxMeshFlags = PxFlags<PxMeshFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxMeshFlag::Enum, PxU16)

class PxSimpleTriangleMesh {
public:
    PxBoundedData points;
    PxBoundedData triangles;
    PxMeshFlags flags;

    void setToDefault() { *this = PxSimpleTriangleMesh(); }
    // Structural checks only (counts, strides, pointers); cooking also checks index range and values.
    bool isValid() const
    {
        if (points.count < 3 || points.data == nullptr || points.stride < 3 * sizeof(float))
            return false;
        if (triangles.count == 0 || triangles.data == nullptr)
            return false;
        const PxU32 indexSize = (flags & PxMeshFlag::e16_BIT_INDICES) ? 2u : 4u;
        return triangles.stride >= 3 * indexSize;
    }
};

} // namespace physx
