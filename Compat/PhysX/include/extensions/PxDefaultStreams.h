#pragma once
// Growable in-memory output stream and a read cursor over a memory block, used to carry cooked data
// from PxCookTriangleMesh to PxPhysics::createTriangleMesh.

#include "foundation/PxAllocatorCallback.h"
#include "foundation/PxFoundation.h"
#include "foundation/PxIO.h"

namespace physx {

class PxDefaultMemoryOutputStream : public PxOutputStream {
public:
    // The allocator must outlive the stream; by default the foundation's.
    explicit PxDefaultMemoryOutputStream(PxAllocatorCallback& allocator = *PxGetAllocatorCallback());
    ~PxDefaultMemoryOutputStream() override;
    PxDefaultMemoryOutputStream(const PxDefaultMemoryOutputStream&) = delete;
    PxDefaultMemoryOutputStream& operator=(const PxDefaultMemoryOutputStream&) = delete;

    PxU32 write(const void* src, PxU32 count) override;
    PxU32 getSize() const { return mSize; }
    PxU8* getData() const { return mData; }

private:
    PxAllocatorCallback& mAllocator;
    PxU8* mData = nullptr;
    PxU32 mSize = 0;
    PxU32 mCapacity = 0;
};

// Reads the caller's memory without copying it; the memory must outlive the reader.
class PxDefaultMemoryInputData : public PxInputData {
public:
    PxDefaultMemoryInputData(PxU8* data, PxU32 length)
        : mSize(length)
        , mData(data)
        , mPos(0)
    {
    }

    PxU32 read(void* dest, PxU32 count) override;
    PxU32 getLength() const override { return mSize; }
    void seek(PxU32 pos) override { mPos = pos < mSize ? pos : mSize; }
    PxU32 tell() const override { return mPos; }

private:
    PxU32 mSize;
    const PxU8* mData;
    PxU32 mPos;
};

} // namespace physx
