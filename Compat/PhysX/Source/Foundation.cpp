// The process-wide foundation and error reporting.

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "Source/Errors.h"
#include "Source/Foundation.h"
#include "foundation/PxFoundation.h"

namespace physx::standin {
namespace {

class FoundationImpl final : public PxFoundation {
public:
    FoundationImpl(PxAllocatorCallback& allocator, PxErrorCallback& errorCallback)
        : mAllocator(allocator)
        , mErrorCallback(errorCallback)
    {
    }

    void release() override;
    PxErrorCallback& getErrorCallback() override { return mErrorCallback; }
    void setErrorLevel(PxErrorCode::Enum mask) override { mErrorLevel = mask; }
    PxErrorCode::Enum getErrorLevel() const override { return mErrorLevel; }
    PxAllocatorCallback& getAllocatorCallback() override { return mAllocator; }
    bool getReportAllocationNames() const override { return mReportAllocationNames; }
    void setReportAllocationNames(bool value) override { mReportAllocationNames = value; }

    void error(PxErrorCode::Enum code, const char* file, int line, const char* messageFmt, ...) override
    {
        va_list args;
        va_start(args, messageFmt);
        Report(code, file, line, messageFmt, args);
        va_end(args);
    }

    void Report(PxErrorCode::Enum code, const char* file, int line, const char* format, va_list args)
    {
        if ((static_cast<int>(code) & static_cast<int>(mErrorLevel)) == 0)
            return;
        char message[1024];
        std::vsnprintf(message, sizeof(message), format, args);
        mErrorCallback.reportError(code, message, file, line);
    }

    int modules = 0;

private:
    PxAllocatorCallback& mAllocator;
    PxErrorCallback& mErrorCallback;
    PxErrorCode::Enum mErrorLevel = PxErrorCode::eMASK_ALL;
    bool mReportAllocationNames = true;
};

std::mutex gFoundationMutex;
FoundationImpl* gFoundation = nullptr;

void FoundationImpl::release()
{
    {
        std::lock_guard<std::mutex> lock(gFoundationMutex);
        if (modules > 0) {
            PX_STANDIN_ERROR(PxErrorCode::eINVALID_OPERATION,
                "Foundation destruction failed due to pending module references. Close/release all depending "
                "modules first.");
            return;
        }
        gFoundation = nullptr;
    }
    delete this;
}

} // namespace

void ReportError(PxErrorCode::Enum code, const char* file, int line, const char* format, ...)
{
    FoundationImpl* foundation = gFoundation;
    if (foundation == nullptr)
        return;
    va_list args;
    va_start(args, format);
    foundation->Report(code, file, line, format, args);
    va_end(args);
}

bool AcquireFoundationModule(PxFoundation& foundation)
{
    std::lock_guard<std::mutex> lock(gFoundationMutex);
    if (&foundation != gFoundation)
        return false;
    ++gFoundation->modules;
    return true;
}

void ReleaseFoundationModule()
{
    std::lock_guard<std::mutex> lock(gFoundationMutex);
    if (gFoundation != nullptr && gFoundation->modules > 0)
        --gFoundation->modules;
}

} // namespace physx::standin

using physx::standin::FoundationImpl;
using physx::standin::gFoundation;

physx::PxFoundation* PxCreateFoundation(
    physx::PxU32 version, physx::PxAllocatorCallback& allocator, physx::PxErrorCallback& errorCallback)
{
    using physx::PxErrorCode;
    if (version != PX_PHYSICS_VERSION) {
        char message[256];
        std::snprintf(message, sizeof(message), "Wrong version: physics version is 0x%08x, tried to create 0x%08x",
            static_cast<unsigned>(PX_PHYSICS_VERSION), static_cast<unsigned>(version));
        errorCallback.reportError(PxErrorCode::eINVALID_PARAMETER, message, __FILE__, __LINE__);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(physx::standin::gFoundationMutex);
    if (gFoundation != nullptr) {
        errorCallback.reportError(PxErrorCode::eINVALID_OPERATION,
            "Foundation object exists already. Only one instance per process can be created.", __FILE__, __LINE__);
        return nullptr;
    }
    gFoundation = new FoundationImpl(allocator, errorCallback);
    return gFoundation;
}

physx::PxFoundation& PxGetFoundation()
{
    return *gFoundation;
}
physx::PxFoundation* PxIsFoundationValid()
{
    return gFoundation;
}
physx::PxAllocatorCallback* PxGetAllocatorCallback()
{
    return gFoundation ? &gFoundation->getAllocatorCallback() : nullptr;
}
physx::PxErrorCallback* PxGetErrorCallback()
{
    return gFoundation ? &gFoundation->getErrorCallback() : nullptr;
}
