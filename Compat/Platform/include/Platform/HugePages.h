#pragma once
// Large arrays that are filled once, right after they are made (imported meshes, the FBX reader's
// arrays, lookup tables), spend much of their filling time in page faults: one per 4 KiB touched. On
// Linux the kernel can back such an array with 2 MiB pages instead, if asked before the array is
// first touched; a million-triangle import then takes a few hundred faults instead of tens of
// thousands. Elsewhere, and when the kernel declines, nothing changes.
//
// Any thread; the calls touch nothing but the kernel's bookkeeping of the given memory.
#include <cstddef>
#include <vector>

// Arrays smaller than this are left alone: a few faults cost less than the request.
inline constexpr std::size_t kHugePageArrayBytes = std::size_t(4) << 20;

// Asks for huge pages under the whole 2 MiB blocks of [data, data + bytes). Call it before the
// memory is first written.
void AdviseHugePages(const void* data, std::size_t bytes);

// v.reserve(count), asking for huge pages under the new storage when it is large. v keeps its
// elements; nothing is touched beyond them.
template <class T, class Allocator>
void ReserveLarge(std::vector<T, Allocator>& v, std::size_t count)
{
    if (count <= v.capacity())
        return;
    v.reserve(count);
    if (count * sizeof(T) >= kHugePageArrayBytes)
        AdviseHugePages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T));
}
