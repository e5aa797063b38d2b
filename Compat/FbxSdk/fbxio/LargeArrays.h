#pragma once
// The reader's large arrays (a big mesh's points, normals, indices) are filled once, right after
// they are made, and would spend much of that time in page faults, one per 4 KiB. On Linux the
// kernel can back them with 2 MiB pages instead if asked before they are first touched. Elsewhere,
// and when the kernel declines, nothing changes.
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace fbxio {

// Arrays smaller than this are left alone: a few faults cost less than the request.
inline constexpr std::size_t kLargeArrayBytes = std::size_t(4) << 20;

// v.reserve(count), asking for huge pages under the new storage when it is large.
template <class T>
void ReserveLarge(std::vector<T>& v, std::size_t count)
{
    if (count <= v.capacity()) return;
    v.reserve(count);
#if defined(MADV_HUGEPAGE)
    if (count * sizeof(T) < kLargeArrayBytes) return;
    constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
    const auto first = reinterpret_cast<std::uintptr_t>(v.data() + v.size());
    const auto last = reinterpret_cast<std::uintptr_t>(v.data() + v.capacity());
    const std::uintptr_t begin = (first + kHugePage - 1) & ~(kHugePage - 1), end = last & ~(kHugePage - 1);
    if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // a hint only
#endif
}

}  // namespace fbxio
