#pragma once
// The de-duplication map of mesh extraction: it gives each distinct 64-bit key the order in which
// it was first entered (the first key 0, the next new key 1, and so on), which is exactly the index
// a new vertex receives.
//
// Open addressing over a power-of-two table of slots, searched linearly; each key is stored once, in
// entry order. A slot holds an entry number and the low half of that entry's key: a search passes
// over slots of other keys by that half alone, and reads the key list (at random, so from memory)
// only for a slot whose half matches. Not thread-safe: one map belongs to one extraction.
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
    // A slot is the entry number in its low 32 bits and the low 32 bits of the entry's key above
    // them. No entry is numbered 0xFFFFFFFF, so an empty slot is unlike any full one.
    static constexpr std::uint64_t kEmptySlot = ~std::uint64_t(0);
    static constexpr unsigned kKeyHalfShift = 32;

    static std::uint64_t SlotOf(std::uint64_t key, std::size_t entry)
    {
        return key << kKeyHalfShift | static_cast<std::uint32_t>(entry);
    }
    // Whether a full slot may hold `key`: its half of the key matches.
    static bool MayHold(std::uint64_t slot, std::uint64_t key)
    {
        return (slot ^ key << kKeyHalfShift) >> kKeyHalfShift == 0;
    }
    static std::uint32_t EntryIn(std::uint64_t slot) { return static_cast<std::uint32_t>(slot); }

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

    std::vector<std::uint64_t> slots;
    std::vector<std::uint64_t> keys; // by entry number
    unsigned shift = 64;
};
