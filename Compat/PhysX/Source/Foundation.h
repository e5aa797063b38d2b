#pragma once
// Objects built on the foundation hold it as a module, so that it refuses to go away before them.

#include "foundation/PxFoundation.h"

namespace physx::standin {

// False when foundation is not the live foundation.
bool AcquireFoundationModule(PxFoundation& foundation);
void ReleaseFoundationModule();

} // namespace physx::standin
