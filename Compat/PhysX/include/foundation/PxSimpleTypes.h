#pragma once
// PhysX's fixed-width scalar names and the version word of the SDK these headers stand in for.

#include <cstddef>
#include <cstdint>

#define PX_PHYSICS_VERSION_MAJOR 5
#define PX_PHYSICS_VERSION_MINOR 4
#define PX_PHYSICS_VERSION_BUGFIX 2
#define PX_PHYSICS_VERSION                                                                                             \
    ((PX_PHYSICS_VERSION_MAJOR << 24) + (PX_PHYSICS_VERSION_MINOR << 16) + (PX_PHYSICS_VERSION_BUGFIX << 8) + 0)
#define PX_FOUNDATION_VERSION PX_PHYSICS_VERSION

#define PX_MAX_F32 3.4028234663852885981170418348452e+38F
#define PX_MAX_U32 0xffffffffu
#define PX_INLINE inline
#define PX_FORCE_INLINE inline
#define PX_UNUSED(_P) ((void)(_P))
#define PX_RELEASE(x)                                                                                                  \
    if (x) {                                                                                                           \
        (x)->release();                                                                                                \
        (x) = nullptr;                                                                                                 \
    }

namespace physx {

using PxI64 = std::int64_t;
using PxU64 = std::uint64_t;
using PxI32 = std::int32_t;
using PxU32 = std::uint32_t;
using PxI16 = std::int16_t;
using PxU16 = std::uint16_t;
using PxI8 = std::int8_t;
using PxU8 = std::uint8_t;
using PxF32 = float;
using PxF64 = double;
using PxReal = float;

enum PxEMPTY { PxEmpty };
enum PxZERO { PxZero };
enum PxIDENTITY { PxIdentity };

} // namespace physx
