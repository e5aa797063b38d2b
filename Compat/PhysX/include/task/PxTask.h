#pragma once
// Work items handed to a CPU dispatcher.

namespace physx {

class PxBaseTask {
public:
    virtual ~PxBaseTask() = default;
    virtual void run() = 0;
    virtual const char* getName() const = 0;
    // Called once the task is done with.
    virtual void release() = 0;
};

} // namespace physx
