// The extension objects the program creates and barely uses: the CPU dispatcher, the memory streams
// and the character-controller manager.

#include <cstring>

#include "PxScene.h"
#include "Source/Errors.h"
#include "characterkinematic/PxControllerManager.h"
#include "extensions/PxDefaultCpuDispatcher.h"
#include "extensions/PxDefaultStreams.h"
#include "task/PxTask.h"

namespace physx {
namespace {

// Bullet's discrete world steps on one thread, so there are no workers: tasks run where submitted.
class InlineCpuDispatcher final : public PxDefaultCpuDispatcher {
public:
    explicit InlineCpuDispatcher(PxU32 workerCount)
        : mWorkerCount(workerCount)
    {
    }
    void submitTask(PxBaseTask& task) override
    {
        task.run();
        task.release();
    }
    PxU32 getWorkerCount() const override { return mWorkerCount; }
    void release() override { delete this; }
    void setRunProfiled(bool runProfiled) override { mRunProfiled = runProfiled; }
    bool getRunProfiled() const override { return mRunProfiled; }

private:
    PxU32 mWorkerCount;
    bool mRunProfiled = false;
};

class EmptyControllerManager final : public PxControllerManager {
public:
    explicit EmptyControllerManager(PxScene& scene)
        : mScene(scene)
    {
    }
    void release() override { delete this; }
    PxScene& getScene() const override { return mScene; }
    PxU32 getNbControllers() const override { return 0; }
    void purgeControllers() override {}

private:
    PxScene& mScene;
};

} // namespace

PxDefaultCpuDispatcher* PxDefaultCpuDispatcherCreate(
    PxU32 numThreads, PxU32*, PxDefaultCpuDispatcherWaitForWorkMode::Enum, PxU32)
{
    return new InlineCpuDispatcher(numThreads);
}

PxDefaultMemoryOutputStream::PxDefaultMemoryOutputStream(PxAllocatorCallback& allocator)
    : mAllocator(allocator)
{
}

PxDefaultMemoryOutputStream::~PxDefaultMemoryOutputStream()
{
    if (mData != nullptr)
        mAllocator.deallocate(mData);
}

PxU32 PxDefaultMemoryOutputStream::write(const void* src, PxU32 count)
{
    if (count == 0)
        return 0;
    const PxU64 needed = PxU64(mSize) + count;
    if (needed > 0xffffffffu)
        return 0;
    if (needed > mCapacity) {
        PxU64 capacity = mCapacity == 0 ? 4096 : mCapacity;
        while (capacity < needed)
            capacity *= 2;
        if (capacity > 0xffffffffu)
            capacity = needed;
        auto* grown = static_cast<PxU8*>(
            mAllocator.allocate(static_cast<size_t>(capacity), "PxDefaultMemoryOutputStream", __FILE__, __LINE__));
        if (grown == nullptr)
            return 0;
        if (mData != nullptr) {
            std::memcpy(grown, mData, mSize);
            mAllocator.deallocate(mData);
        }
        mData = grown;
        mCapacity = static_cast<PxU32>(capacity);
    }
    std::memcpy(mData + mSize, src, count);
    mSize += count;
    return count;
}

PxU32 PxDefaultMemoryInputData::read(void* dest, PxU32 count)
{
    const PxU32 available = mSize - mPos;
    const PxU32 n = count < available ? count : available;
    if (n == 0)
        return 0;
    std::memcpy(dest, mData + mPos, n);
    mPos += n;
    return n;
}

} // namespace physx

physx::PxControllerManager* PxCreateControllerManager(physx::PxScene& scene, bool)
{
    return new physx::EmptyControllerManager(scene);
}
