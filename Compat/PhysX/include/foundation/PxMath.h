#pragma once
// The scalar helpers and constants of PhysX's math header.

#include <cmath>

#include "foundation/PxSimpleTypes.h"

namespace physx {

constexpr float PxPi = 3.141592653589793f;
constexpr float PxHalfPi = 1.57079632679489661923f;
constexpr float PxTwoPi = 6.28318530717958647692f;
constexpr float PxInvPi = 0.31830988618379067154f;

template <class T>
constexpr T PxMax(T a, T b)
{
    return a < b ? b : a;
}
template <class T>
constexpr T PxMin(T a, T b)
{
    return a < b ? a : b;
}
template <class T>
constexpr T PxClamp(T v, T lo, T hi)
{
    return v < lo ? lo : (hi < v ? hi : v);
}
inline float PxAbs(float a)
{
    return std::fabs(a);
}
inline float PxSqrt(float a)
{
    return std::sqrt(a);
}
inline float PxRecipSqrt(float a)
{
    return 1.0f / std::sqrt(a);
}
inline float PxSin(float a)
{
    return std::sin(a);
}
inline float PxCos(float a)
{
    return std::cos(a);
}
inline float PxAtan2(float y, float x)
{
    return std::atan2(y, x);
}
inline float PxAsin(float f)
{
    return std::asin(PxClamp(f, -1.0f, 1.0f));
}
inline bool PxIsFinite(float f)
{
    return std::isfinite(f);
}

} // namespace physx
