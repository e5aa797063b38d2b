// The pair table's open-addressed index (see PairTable.h).

#include "Source/PairTable.h"

namespace physx::standin {
namespace {

// The index is grown before it is more than half full, which keeps probe runs short.
constexpr size_t kMinSlots = 64;
constexpr size_t kMaxLoadDivisor = 2;

} // namespace

size_t PairTable::Home(const PairKey& key) const
{
    // Serials are small consecutive numbers: multiply them into the high bits, then fold those down.
    PxU64 h = (PxU64(key.actor0) << 32 | key.actor1) * 0x9E3779B97F4A7C15ull;
    h ^= (PxU64(key.shape0) << 32 | key.shape1) + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
    h ^= h >> 29;
    return static_cast<size_t>(h) & (mSlots.size() - 1);
}

size_t PairTable::Probe(const PairKey& key) const
{
    const size_t mask = mSlots.size() - 1;
    size_t slot = Home(key);
    while (mSlots[slot].record != kEmpty && !(mSlots[slot].key == key))
        slot = (slot + 1) & mask;
    return slot;
}

PairRecord* PairTable::Find(const PairKey& key)
{
    if (mSlots.empty())
        return nullptr;
    const Slot& slot = mSlots[Probe(key)];
    return slot.record == kEmpty ? nullptr : &mRecords[slot.record];
}

PairRecord& PairTable::FindOrAdd(const PairKey& key, bool& added)
{
    if ((mRecords.size() + 1) * kMaxLoadDivisor > mSlots.size())
        Grow();
    Slot& slot = mSlots[Probe(key)];
    added = slot.record == kEmpty;
    if (added) {
        slot.key = key;
        slot.record = static_cast<PxU32>(mRecords.size());
        mRecords.emplace_back().key = key;
    }
    return mRecords[slot.record];
}

void PairTable::Grow()
{
    std::vector<Slot> old;
    old.swap(mSlots);
    mSlots.assign(old.empty() ? kMinSlots : 2 * old.size(), Slot { {}, kEmpty });
    for (const Slot& slot : old)
        if (slot.record != kEmpty)
            mSlots[Probe(slot.key)] = slot;
}

// Backward-shift deletion: later members of the probe run move up into the gap, so that no run is
// broken and no tombstones pile up.
void PairTable::RemoveSlot(size_t slot)
{
    const size_t mask = mSlots.size() - 1;
    size_t gap = slot;
    for (size_t next = (gap + 1) & mask; mSlots[next].record != kEmpty; next = (next + 1) & mask) {
        const size_t home = Home(mSlots[next].key);
        // The entry may fill the gap when its home does not lie cyclically in (gap, next].
        const bool homeAfterGap = gap <= next ? (gap < home && home <= next) : (gap < home || home <= next);
        if (homeAfterGap)
            continue;
        mSlots[gap] = mSlots[next];
        gap = next;
    }
    mSlots[gap].record = kEmpty;
}

void PairTable::EraseAt(size_t index)
{
    RemoveSlot(Probe(mRecords[index].key));
    const size_t last = mRecords.size() - 1;
    if (index != last) {
        mRecords[index] = std::move(mRecords[last]);
        mSlots[Probe(mRecords[index].key)].record = static_cast<PxU32>(index);
    }
    mRecords.pop_back();
}

void PairTable::Clear()
{
    mRecords.clear();
    mSlots.clear();
}

} // namespace physx::standin
