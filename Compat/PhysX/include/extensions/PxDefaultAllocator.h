#pragma once
// The allocator the SDK ships: 16-byte-aligned blocks from the C library.

#include <cstdlib>
#ifdef _WIN32
#include <malloc.h>
#endif

#include "foundation/PxAllocatorCallback.h"

namespace physx {

class PxDefaultAllocator : public PxAllocatorCallback {
public:
    void* allocate(size_t size, const char*, const char*, int) override
    {
        if (size == 0)
            return nullptr;
#ifdef _WIN32
        // The Windows C library has no aligned_alloc; its aligned blocks need their own free.
        return _aligned_malloc(size, 16);
#else
        // aligned_alloc wants a size that is a multiple of the alignment.
        return std::aligned_alloc(16, (size + 15) & ~static_cast<size_t>(15));
#endif
    }
    void deallocate(void* ptr) override
    {
#ifdef _WIN32
        _aligned_free(ptr);
#else
        std::free(ptr);
#endif
    }
};

} // namespace physx
