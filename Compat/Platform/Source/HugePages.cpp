#include "Platform/HugePages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void AdviseHugePages(const void* data, std::size_t bytes)
{
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHugePage - 1);
    if (begin < end)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // only a hint: failure changes nothing
#else
    (void)data;
    (void)bytes;
#endif
}
