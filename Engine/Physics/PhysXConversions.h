#pragma once
// Between the engine's math types and the physics library's.

#include "Math/Quaternion.h"
#include "Math/Vector.h"

#include <PxPhysicsAPI.h>

inline physx::PxVec3 ToPx(const Float3& v)
{
    return { v.x, v.y, v.z };
}

inline physx::PxQuat ToPx(const Quaternion& q)
{
    return { q.x, q.y, q.z, q.w };
}

inline Float3 ToFloat3(const physx::PxVec3& v)
{
    return { v.x, v.y, v.z };
}

inline Quaternion ToQuaternion(const physx::PxQuat& q)
{
    return { q.x, q.y, q.z, q.w };
}
