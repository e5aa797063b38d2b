#include "Platform/HugePages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

std::uint32_t ValueAt(std::size_t i)
{
    return static_cast<std::uint32_t>(i * 2654435761u);
}

#if defined(MADV_POPULATE_WRITE)
// Whether this kernel prefaults on request (Linux 5.14 and later).
bool KernelPrefaults()
{
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* probe = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (probe == MAP_FAILED)
        return false;
    const bool prefaults = madvise(probe, page, MADV_POPULATE_WRITE) == 0;
    munmap(probe, page);
    return prefaults;
}

// Whether every whole page inside [data, data + bytes) is resident.
bool Resident(const void* data, std::size_t bytes)
{
    const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (begin >= end)
        return true; // no whole page to ask about
    std::vector<unsigned char> pages((end - begin) / page);
    if (mincore(reinterpret_cast<void*>(begin), end - begin, pages.data()) != 0)
        return false;
    for (unsigned char p : pages)
        if ((p & 1) == 0)
            return false;
    return true;
}
#endif

} // namespace

TEST(PrefaultAhead, KeepsWhatTheVectorHoldsWhileFaultingAheadOfItsEnd)
{
    // Batches of one, of a few hundred, and one larger than a whole stretch, into a reservation large
    // enough to be prefaulted.
    std::vector<std::uint32_t> values;
    values.reserve(3 * kHugePageArrayBytes / sizeof(std::uint32_t));
    PrefaultAhead ahead;
    const std::size_t batches[] = { 1, 96, 300, kPrefaultStretchBytes / sizeof(std::uint32_t) * 3, 5, 96 };
    std::size_t next = 0;
    for (std::size_t count : batches) {
        ahead.Before(values, count);
#if defined(MADV_POPULATE_WRITE)
        if (KernelPrefaults()) {
            // The batch's pages are in memory before they are written, the first partly written one
            // aside.
            EXPECT_TRUE(Resident(values.data() + values.size(), count * sizeof(std::uint32_t)))
                << "before " << count << " more at " << values.size();
        }
#endif
        for (std::size_t k = 0; k < count; ++k, ++next)
            values.push_back(ValueAt(next));
    }
    ASSERT_EQ(values.size(), next);
    for (std::size_t i = 0; i < next; ++i)
        ASSERT_EQ(values[i], ValueAt(i)) << "element " << i;

    // Prefaulting memory that already holds data leaves the data as it is, odd ends included.
    std::vector<unsigned char> held(kPrefaultStretchBytes * 2 + 123);
    for (std::size_t i = 0; i < held.size(); ++i)
        held[i] = static_cast<unsigned char>(i * 7 + 1);
    PrefaultForWriting(held.data() + 5, held.size() - 9);
    for (std::size_t i = 0; i < held.size(); ++i)
        ASSERT_EQ(held[i], static_cast<unsigned char>(i * 7 + 1)) << "byte " << i;
}
