#pragma once
// The stand-in's own reports of invalid use, sent to the foundation's error callback with PhysX's
// codes, as the SDK reports the checks it makes.

#include "foundation/PxErrorCallback.h"

namespace physx::standin {

void ReportError(PxErrorCode::Enum code, const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

} // namespace physx::standin

#define PX_STANDIN_ERROR(code, ...) ::physx::standin::ReportError((code), __FILE__, __LINE__, __VA_ARGS__)
