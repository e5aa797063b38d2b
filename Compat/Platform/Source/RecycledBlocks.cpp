// Large blocks kept for reuse (see RecycledBlocks.h).
#include "Platform/RecycledBlocks.h"

#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

struct Block {
    void* memory;
    std::size_t bytes; // as allocated, which may be more than its current user asked for
};

// Created on first use and never destroyed: blocks may be given back while static objects are being
// destroyed at exit (an importer singleton's scenes), and what is kept stays reachable from here.
struct Keeper {
    std::mutex lock;
    std::vector<Block> kept; // oldest first
    std::size_t keptBytes = 0;
    std::unordered_map<void*, std::size_t> handedOut; // large blocks in use, by their real size
};

Keeper& TheKeeper()
{
    static Keeper* keeper = new Keeper;
    return *keeper;
}

// Tells the kernel it may take the kept block's pages back, leaving alone the page that holds the
// general allocator's own header just before the block.
void MarkFree([[maybe_unused]] void* memory, [[maybe_unused]] std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_FREE)
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(memory);
    const std::uintptr_t begin = (first + page - 1) & ~(page - 1);
    const std::uintptr_t end = (first + bytes) & ~(page - 1);
    if (begin < end)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_FREE); // a hint: failure changes nothing
#endif
}

} // namespace

void* AcquireBlock(std::size_t bytes)
{
    if (bytes < kRecycledBlockBytes)
        return ::operator new(bytes);
    Keeper& keeper = TheKeeper();
    {
        std::lock_guard guard(keeper.lock);
        // The smallest kept block that fits without wasting more than its share.
        std::size_t best = keeper.kept.size();
        for (std::size_t i = 0; i < keeper.kept.size(); ++i) {
            const std::size_t size = keeper.kept[i].bytes;
            if (size >= bytes && size / kRecycledBlockLargestWaste <= bytes
                && (best == keeper.kept.size() || size < keeper.kept[best].bytes))
                best = i;
        }
        if (best < keeper.kept.size()) {
            const Block block = keeper.kept[best];
            keeper.kept.erase(keeper.kept.begin() + static_cast<std::ptrdiff_t>(best));
            keeper.keptBytes -= block.bytes;
            keeper.handedOut.emplace(block.memory, block.bytes);
            return block.memory;
        }
    }
    void* memory = ::operator new(bytes);
    try {
        std::lock_guard guard(keeper.lock);
        keeper.handedOut.emplace(memory, bytes);
    } catch (...) {
        ::operator delete(memory);
        throw;
    }
    return memory;
}

void ReleaseBlock(void* block, std::size_t bytes) noexcept
{
    if (block == nullptr)
        return;
    if (bytes < kRecycledBlockBytes) {
        ::operator delete(block);
        return;
    }
    Keeper& keeper = TheKeeper();
    std::lock_guard guard(keeper.lock);
    const auto found = keeper.handedOut.find(block);
    const std::size_t size = found != keeper.handedOut.end() ? found->second : bytes;
    if (found != keeper.handedOut.end())
        keeper.handedOut.erase(found);
    if (size > kRecycledBlocksKeptBytes) {
        ::operator delete(block);
        return;
    }
    try {
        keeper.kept.push_back(Block { block, size });
    } catch (const std::bad_alloc&) {
        ::operator delete(block); // no room to remember it: it goes back to the system
        return;
    }
    keeper.keptBytes += size;
    MarkFree(block, size);
    std::size_t oldest = 0;
    while (keeper.keptBytes > kRecycledBlocksKeptBytes) {
        keeper.keptBytes -= keeper.kept[oldest].bytes;
        ::operator delete(keeper.kept[oldest].memory);
        ++oldest;
    }
    keeper.kept.erase(keeper.kept.begin(), keeper.kept.begin() + static_cast<std::ptrdiff_t>(oldest));
}

std::size_t KeptBlockBytes()
{
    Keeper& keeper = TheKeeper();
    std::lock_guard guard(keeper.lock);
    return keeper.keptBytes;
}
