#pragma once
// Large arrays that are filled once, right after they are made (imported meshes, the FBX reader's
// arrays, lookup tables), spend much of their filling time in page faults: one per 4 KiB touched. On
// Linux the kernel can back such an array with 2 MiB pages instead, if asked before the array is
// first touched; a million-triangle import then takes a few hundred faults instead of tens of
// thousands. Elsewhere, and when the kernel declines, nothing changes.
//
// Any thread; the calls touch nothing but the kernel's bookkeeping of the given memory.
#include <algorithm>
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

// Appending front to back to a large reserved array faults its pages in one at a time, each fault a
// trap into the kernel. Asking the kernel to back a stretch ahead of the end in one call saves most
// of the traps; the stretch is kept small enough that the pages the kernel has just cleared are
// still in the cache when they are written (a 2 MiB huge page is cleared all at once and has left
// the cache by then). Linux 5.14 and later; elsewhere, and when the kernel declines, the pages fault
// in as before.
inline constexpr std::size_t kPrefaultStretchBytes = std::size_t(256) << 10;

// Backs the whole pages of [data, data + bytes) with written-to memory now. Any thread; the memory
// must be the caller's and its contents are left as they are. Returns how far from `data` the last
// of those whole pages ends, which is where a following stretch should start so that no page is
// left out between the two.
std::size_t PrefaultForWriting(void* data, std::size_t bytes);

// Keeps the pages of one vector that is only appended to faulted in ahead of its end; a vector below
// kHugePageArrayBytes of capacity is left alone. Should the vector be reallocated, its new storage
// faults in as usual until the end passes what was prefaulted before. Not thread-safe: one tracker
// per vector, used by the thread that appends.
class PrefaultAhead {
public:
    // Before up to `upcoming` more elements are appended to `v`.
    template <class T, class Allocator>
    void Before(std::vector<T, Allocator>& v, std::size_t upcoming)
    {
        const std::size_t capacityBytes = v.capacity() * sizeof(T);
        const std::size_t neededBytes = (v.size() + upcoming) * sizeof(T);
        if (neededBytes <= faultedBytes || capacityBytes < kHugePageArrayBytes)
            return;
        const std::size_t from = std::max(faultedBytes, v.size() * sizeof(T));
        const std::size_t to = std::min(neededBytes + kPrefaultStretchBytes, capacityBytes);
        faultedBytes = from + PrefaultForWriting(reinterpret_cast<unsigned char*>(v.data()) + from, to - from);
    }

private:
    std::size_t faultedBytes = 0; // from the start of the vector's storage
};
