#pragma once
// The user's allocator. Memory handed to PhysX must be 16-byte aligned.

#include <cstddef>

namespace physx {

class PxAllocatorCallback {
public:
    virtual ~PxAllocatorCallback() = default;
    virtual void* allocate(size_t size, const char* typeName, const char* filename, int line) = 0;
    virtual void deallocate(void* ptr) = 0;
};

} // namespace physx
