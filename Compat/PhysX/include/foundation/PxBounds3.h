#pragma once
// Axis-aligned box given by its minimum and maximum corners.

#include <cmath>

#include "foundation/PxTransform.h"

namespace physx {

class PxBounds3 {
public:
    // Empty (min > max), so that include() can grow it from nothing.
    PxBounds3()
        : minimum(PX_MAX_F32)
        , maximum(-PX_MAX_F32)
    {
    }
    PxBounds3(const PxVec3& minimum_, const PxVec3& maximum_)
        : minimum(minimum_)
        , maximum(maximum_)
    {
    }

    static PxBounds3 empty() { return PxBounds3(); }
    static PxBounds3 centerExtents(const PxVec3& center, const PxVec3& extent)
    {
        return PxBounds3(center - extent, center + extent);
    }
    // Bounds of an oriented box: its extents along the rows of |R|.
    static PxBounds3 poseExtent(const PxTransform& pose, const PxVec3& extent)
    {
        const PxVec3 ax = pose.q.rotate(PxVec3(1.0f, 0.0f, 0.0f));
        const PxVec3 ay = pose.q.rotate(PxVec3(0.0f, 1.0f, 0.0f));
        const PxVec3 az = pose.q.rotate(PxVec3(0.0f, 0.0f, 1.0f));
        const PxVec3 e(std::fabs(ax.x) * extent.x + std::fabs(ay.x) * extent.y + std::fabs(az.x) * extent.z,
            std::fabs(ax.y) * extent.x + std::fabs(ay.y) * extent.y + std::fabs(az.y) * extent.z,
            std::fabs(ax.z) * extent.x + std::fabs(ay.z) * extent.y + std::fabs(az.z) * extent.z);
        return centerExtents(pose.p, e);
    }

    void setEmpty()
    {
        minimum = PxVec3(PX_MAX_F32);
        maximum = PxVec3(-PX_MAX_F32);
    }
    bool isEmpty() const { return minimum.x > maximum.x; }
    bool isValid() const
    {
        return minimum.isFinite() && maximum.isFinite()
            && !(minimum.x > maximum.x || minimum.y > maximum.y || minimum.z > maximum.z);
    }

    void include(const PxVec3& v)
    {
        minimum = minimum.minimum(v);
        maximum = maximum.maximum(v);
    }
    void include(const PxBounds3& b)
    {
        minimum = minimum.minimum(b.minimum);
        maximum = maximum.maximum(b.maximum);
    }

    bool contains(const PxVec3& v) const
    {
        return !(v.x < minimum.x || v.x > maximum.x || v.y < minimum.y || v.y > maximum.y || v.z < minimum.z
            || v.z > maximum.z);
    }
    bool intersects(const PxBounds3& b) const
    {
        return !(b.minimum.x > maximum.x || minimum.x > b.maximum.x || b.minimum.y > maximum.y
            || minimum.y > b.maximum.y || b.minimum.z > maximum.z || minimum.z > b.maximum.z);
    }

    PxVec3 getCenter() const { return (minimum + maximum) * 0.5f; }
    PxReal getCenter(PxU32 axis) const { return (minimum[axis] + maximum[axis]) * 0.5f; }
    PxVec3 getDimensions() const { return maximum - minimum; }
    PxVec3 getExtents() const { return getDimensions() * 0.5f; }
    PxReal getExtents(PxU32 axis) const { return (maximum[axis] - minimum[axis]) * 0.5f; }

    void fattenFast(PxReal distance)
    {
        minimum -= PxVec3(distance);
        maximum += PxVec3(distance);
    }
    void scaleFast(PxReal scale) { *this = centerExtents(getCenter(), getExtents() * scale); }

    PxVec3 minimum, maximum;
};

} // namespace physx
