#pragma once
// Where a scene's simulation work runs.

#include "foundation/PxSimpleTypes.h"

namespace physx {

class PxBaseTask;

class PxCpuDispatcher {
public:
    virtual void submitTask(PxBaseTask& task) = 0;
    virtual PxU32 getWorkerCount() const = 0;
    virtual ~PxCpuDispatcher() = default;
};

} // namespace physx
