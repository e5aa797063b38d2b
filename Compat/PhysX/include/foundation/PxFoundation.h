#pragma once
// The foundation: one per process, holding the allocator and the error callback every other object
// reports through. Create it first and release it last.

#include "foundation/PxAllocatorCallback.h"
#include "foundation/PxErrorCallback.h"
#include "foundation/PxFlags.h"

namespace physx {

using PxErrorCodeFlags = PxU32;

class PxFoundation {
public:
    // Fails with eINVALID_OPERATION while a physics object created from it is still alive.
    virtual void release() = 0;
    virtual PxErrorCallback& getErrorCallback() = 0;
    virtual void setErrorLevel(PxErrorCode::Enum mask = PxErrorCode::eMASK_ALL) = 0;
    virtual PxErrorCode::Enum getErrorLevel() const = 0;
    virtual PxAllocatorCallback& getAllocatorCallback() = 0;
    virtual bool getReportAllocationNames() const = 0;
    virtual void setReportAllocationNames(bool value) = 0;
    // Sends a report to the error callback, filtered by the error level.
    virtual void error(PxErrorCode::Enum code, const char* file, int line, const char* messageFmt, ...) = 0;

protected:
    virtual ~PxFoundation() = default;
};

} // namespace physx

// Returns null (and reports eINVALID_PARAMETER) for a version other than PX_PHYSICS_VERSION, and null
// (eINVALID_OPERATION) while another foundation exists.
physx::PxFoundation* PxCreateFoundation(
    physx::PxU32 version, physx::PxAllocatorCallback& allocator, physx::PxErrorCallback& errorCallback);
physx::PxFoundation& PxGetFoundation();
physx::PxFoundation* PxIsFoundationValid();
physx::PxAllocatorCallback* PxGetAllocatorCallback();
physx::PxErrorCallback* PxGetErrorCallback();

namespace physx {
using ::PxCreateFoundation;
using ::PxGetAllocatorCallback;
using ::PxGetErrorCallback;
using ::PxGetFoundation;
using ::PxIsFoundationValid;
} // namespace physx
