// The pair table's open-addressed index (see PairTable.h).

#include "Source/PairTable.h"

namespace physx::standin {
namespace {

// The index is grown before it is more than half full, which keeps probe runs short.
constexpr size_t kMinSlots = 64;
constexpr size_t kMaxLoadDivisor = 2;

} // namespace

PxU64 PairTable::Hash(const PairKey& key)
{
    // Serials are small consecutive numbers: multiply each half of the key into the high bits, mix
    // the halves, and multiply again, so that the top bits (which pick the slot) depend on every serial.
    constexpr PxU64 kMultiplier0 = 0x9E3779B97F4A7C15ull;
    constexpr PxU64 kMultiplier1 = 0xC2B2AE3D27D4EB4Full;
    PxU64 h = (PxU64(key.actor0) << 32 | key.shape0) * kMultiplier0;
    h ^= (PxU64(key.actor1) << 32 | key.shape1) * kMultiplier1;
    h ^= h >> 32;
    return h * kMultiplier0;
}

size_t PairTable::Probe(const PairKey& key) const
{
    const size_t mask = mSlots.size() - 1;
    const PxU64 hash = Hash(key);
    const auto fingerprint = static_cast<PxU32>(hash);
    size_t slot = Home(hash);
    for (;; slot = (slot + 1) & mask) {
        const Slot& s = mSlots[slot];
        if (s.record == kEmpty || (s.fingerprint == fingerprint && mRecords[s.record].key == key))
            return slot;
    }
}

PairRecord* PairTable::Find(const PairKey& key)
{
    if (mSlots.empty())
        return nullptr;
    const Slot& slot = mSlots[Probe(key)];
    return slot.record == kEmpty ? nullptr : &mRecords[slot.record];
}

PairRecord& PairTable::FindOrAdd(const PairKey& key, bool& added, size_t* hint)
{
    // Hints are stored one up, so that 0 (a fresh hint) names no record.
    if (hint != nullptr && *hint != 0 && *hint <= mRecords.size() && mRecords[*hint - 1].key == key) {
        added = false;
        return mRecords[*hint - 1];
    }
    if ((mRecords.size() + 1) * kMaxLoadDivisor > mSlots.size())
        Grow();
    Slot& slot = mSlots[Probe(key)];
    added = slot.record == kEmpty;
    if (added) {
        slot.fingerprint = static_cast<PxU32>(Hash(key));
        slot.record = static_cast<PxU32>(mRecords.size());
        mRecords.emplace_back().key = key;
    }
    if (hint != nullptr)
        *hint = slot.record + size_t(1);
    return mRecords[slot.record];
}

void PairTable::Grow()
{
    const size_t count = mSlots.empty() ? kMinSlots : 2 * mSlots.size();
    mSlots.assign(count, Slot { 0, kEmpty });
    mShift = 64;
    for (size_t n = count; n > 1; n >>= 1)
        --mShift;
    for (size_t i = 0; i < mRecords.size(); ++i)
        mSlots[Probe(mRecords[i].key)] = Slot { static_cast<PxU32>(Hash(mRecords[i].key)), static_cast<PxU32>(i) };
}

// Backward-shift deletion: later members of the probe run move up into the gap, so that no run is
// broken and no tombstones pile up.
void PairTable::RemoveSlot(size_t slot)
{
    const size_t mask = mSlots.size() - 1;
    size_t gap = slot;
    for (size_t next = (gap + 1) & mask; mSlots[next].record != kEmpty; next = (next + 1) & mask) {
        const size_t home = Home(Hash(mRecords[mSlots[next].record].key));
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
    mShift = 64;
}

} // namespace physx::standin
