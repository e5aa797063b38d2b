#pragma once
// The de-duplication map of mesh extraction: it gives each distinct 64-bit key the order in which
// it was first entered (the first key 0, the next new key 1, and so on), which is exactly the index
// a new vertex receives.
//
// Open addressing over a power-of-two table of 32-bit entry numbers, searched linearly; each key is
// stored once, in entry order. A table of small entry numbers keeps the part that is probed at
// random a quarter the size of a node-based map, so more of it stays in cache. Not thread-safe: one
// map belongs to one extraction.
#include <cstddef>
#include <cstdint>
#include <vector>

class HashIndexMap {
public:
    struct Entry {
        std::uint32_t index; // the key's entry number
        bool added; // the key was new
    };

    // Room for `entries` keys without growing the table.
    void Reserve(std::size_t entries);

    // Room for `entries` keys in the key list, but a table only for the `expected` of them most
    // callers will enter: the table is written in full when it is made, the key list only as keys
    // come, so a table sized for the worst case costs its whole size in memory traffic up front. The
    // table grows as usual should more keys come.
    void Reserve(std::size_t entries, std::size_t expected);

    // The memory a map reserved for `entries` keys holds.
    static std::size_t BytesFor(std::size_t entries);

    // The key's entry number, entering it as the next one when it is new.
    Entry FindOrAdd(std::uint64_t key);

    // Asks the processor to start loading the slot the search for `key` begins at, so a later
    // FindOrAdd does not wait for memory.
    void Prefetch(std::uint64_t key) const;

    std::size_t Size() const { return keys.size(); }

private:
    static constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;
    // The table grows before it is more than three quarters full, which keeps searches short.
    static constexpr std::size_t kLoadNumerator = 3;
    static constexpr std::size_t kLoadDenominator = 4;
    static constexpr std::size_t kMinimumSlots = 16;

    static std::size_t SlotsFor(std::size_t entries);
    void Rebuild(std::size_t slotCount);
    // Fibonacci hashing: the top bits of the key times 2^64 / phi, so every bit of the key counts.
    std::size_t Home(std::uint64_t key) const
    {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift);
    }

    std::vector<std::uint32_t> slots;
    std::vector<std::uint64_t> keys; // by entry number
    unsigned shift = 64;
};
