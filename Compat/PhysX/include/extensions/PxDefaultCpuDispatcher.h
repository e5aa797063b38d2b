#pragma once
// The SDK's thread-pool dispatcher.
//
// The stand-in steps a scene on the thread that calls PxScene::simulate (Bullet's discrete world is
// single-threaded), so this dispatcher starts no threads: it remembers the requested worker count and
// runs submitted tasks at once on the submitting thread.

#include "task/PxCpuDispatcher.h"

namespace physx {

struct PxDefaultCpuDispatcherWaitForWorkMode {
    enum Enum { eWAIT_FOR_WORK, eYIELD_THREAD, eYIELD_PROCESSOR };
};

class PxDefaultCpuDispatcher : public PxCpuDispatcher {
public:
    virtual void release() = 0;
    virtual void setRunProfiled(bool runProfiled) = 0;
    virtual bool getRunProfiled() const = 0;
};

PxDefaultCpuDispatcher* PxDefaultCpuDispatcherCreate(PxU32 numThreads, PxU32* affinityMasks = nullptr,
    PxDefaultCpuDispatcherWaitForWorkMode::Enum mode = PxDefaultCpuDispatcherWaitForWorkMode::eWAIT_FOR_WORK,
    PxU32 yieldProcessorCount = 0);

} // namespace physx

using physx::PxDefaultCpuDispatcherCreate;
