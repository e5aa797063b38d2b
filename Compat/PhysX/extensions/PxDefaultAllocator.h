#pragma once
// The allocator the SDK ships: 16-byte-aligned blocks from the C library.

#include <cstdlib>

#include "foundation/PxAllocatorCallback.h"

namespace physx {

class PxDefaultAllocator : public PxAllocatorCallback {
public:
    void* allocate(size_t size, const char*, const char*, int) override {
        if (size == 0) return nullptr;
        // aligned_alloc wants a size that is a multiple of the alignment.
        return std::aligned_alloc(16, (size + 15) & ~static_cast<size_t>(15));
    }
    void deallocate(void* ptr) override { std::free(ptr); }
};

} // namespace physx
