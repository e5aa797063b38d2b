#include "Assets/HashIndexMap.h"

#include "Platform/HugePages.h"

#include <algorithm>
#include <bit>

#if defined(_MSC_VER)
#include <xmmintrin.h>
#endif

std::size_t HashIndexMap::SlotsFor(std::size_t entries)
{
    std::size_t needed = (entries * kLoadDenominator + kLoadNumerator - 1) / kLoadNumerator;
    return std::bit_ceil(std::max(needed, kMinimumSlots));
}

std::size_t HashIndexMap::BytesFor(std::size_t entries)
{
    return entries * sizeof(std::uint64_t) + SlotsFor(entries) * sizeof(std::uint64_t);
}

void HashIndexMap::Reserve(std::size_t entries)
{
    Reserve(entries, entries);
}

void HashIndexMap::Reserve(std::size_t entries, std::size_t expected)
{
    ReserveLarge(keys, entries);
    const std::size_t tableEntries = std::max(std::min(expected, entries), keys.size());
    if (SlotsFor(tableEntries) > slots.size())
        Rebuild(SlotsFor(tableEntries));
}

void HashIndexMap::Rebuild(std::size_t slotCount)
{
    std::vector<std::uint64_t> fresh;
    ReserveLarge(fresh, slotCount);
    fresh.assign(slotCount, kEmptySlot);
    slots.swap(fresh);
    shift = 64u - static_cast<unsigned>(std::countr_zero(slotCount));
    const std::size_t mask = slotCount - 1;
    for (std::size_t entry = 0; entry < keys.size(); ++entry) {
        std::size_t slot = Home(keys[entry]);
        while (slots[slot] != kEmptySlot)
            slot = (slot + 1) & mask;
        slots[slot] = SlotOf(keys[entry], entry);
    }
}

HashIndexMap::Entry HashIndexMap::FindOrAdd(std::uint64_t key)
{
    if ((keys.size() + 1) * kLoadDenominator > slots.size() * kLoadNumerator)
        Rebuild(SlotsFor(keys.size() + 1) * 2);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t slot = Home(key);; slot = (slot + 1) & mask) {
        const std::uint64_t content = slots[slot];
        if (content == kEmptySlot) {
            const std::uint32_t entry = static_cast<std::uint32_t>(keys.size());
            slots[slot] = SlotOf(key, entry);
            keys.push_back(key);
            return { entry, true };
        }
        if (MayHold(content, key) && keys[EntryIn(content)] == key)
            return { EntryIn(content), false };
    }
}

void HashIndexMap::Prefetch(std::uint64_t key) const
{
    if (slots.empty())
        return;
    const std::uint64_t* slot = &slots[Home(key)];
#if defined(_MSC_VER)
    _mm_prefetch(reinterpret_cast<const char*>(slot), _MM_HINT_T0);
#else
    __builtin_prefetch(slot);
#endif
}
