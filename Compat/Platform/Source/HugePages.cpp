#include "Platform/HugePages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
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

std::size_t PrefaultForWriting(void* data, std::size_t bytes)
{
#if defined(_SC_PAGESIZE)
    const std::uintptr_t pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (first + pageSize - 1) & ~(pageSize - 1);
    const std::uintptr_t end = (first + bytes) & ~(pageSize - 1);
    if (begin >= end)
        return 0;
#if defined(MADV_POPULATE_WRITE)
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE); // a hint: failure changes nothing
#endif
    return end - first;
#else
    (void)data;
    (void)bytes;
    return 0;
#endif
}
