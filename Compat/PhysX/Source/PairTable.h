#pragma once
// The scene's shape pairs: one record per pair of shapes the broad phase has brought together, found
// by the four serials that name it.
//
// A step looks pairs up several times each (near callback, before the solver, sweeps), so lookups are
// what the table is built for: records sit side by side in one array, and an open-addressed index of
// keys (linear probing, a power-of-two size at most half full) leads to them without touching any
// record but the one found. Erasing moves the last record into the hole, so record order is not
// creation order; nothing depends on it (reports are sorted before delivery).
//
// A record pointer stays valid until the next record is added or any record is erased.

#include <vector>

#include "PxSimulationEventCallback.h"

namespace physx::standin {

struct ActorCore;
class ShapeImpl;

struct ContactSample {
    PxVec3 position;
    PxReal separation;
    PxVec3 normal;
    PxReal impulse;
    PxU32 face0;
    PxU32 face1;
};

// Actor and shape serials of a pair, the earlier-created actor first.
struct PairKey {
    PxU32 actor0, shape0, actor1, shape1;
    bool operator==(const PairKey& o) const = default;
};

// One shape pair, in presentation order: actors[0] was created before actors[1].
struct PairRecord {
    PairKey key;
    ActorCore* actors[2];
    ShapeImpl* shapes[2];
    PxPairFlags pairFlags;
    bool kept = false; // not suppressed or killed
    bool detect = false; // kept, and contacts are to be generated
    bool needsRefilter = true; // the shader has not answered for the current filter data
    PxU64 lastSeen = 0; // step in which the broad phase last reported the pair
    bool touching = false; // had contacts at the end of the last step
    bool touchingNow = false; // has contacts in this step
    bool solvedNow = false; // this step's narrow phase found contacts, which its solver answers
    std::vector<ContactSample> contacts;
};

class PairTable {
public:
    PairRecord* Find(const PairKey& key);
    // The record for key, made (with only its key set) when there was none; `added` says which.
    // `hint` is where the caller last found the record (0: nowhere); when the record is still there
    // the index is not consulted, and the hint is updated either way.
    PairRecord& FindOrAdd(const PairKey& key, bool& added, size_t* hint = nullptr);
    size_t Size() const { return mRecords.size(); }
    PairRecord& At(size_t index) { return mRecords[index]; }
    // Erases the record at index; the last record takes its place, so a loop that erases while it
    // walks the records looks at the same index again.
    void EraseAt(size_t index);
    void Clear();

private:
    // A slot keeps a fingerprint of its key rather than the key, so that the whole index stays small
    // enough for the first-level cache; a matching fingerprint is confirmed on the record, which the
    // caller reads next anyway.
    struct Slot {
        PxU32 fingerprint;
        PxU32 record; // kEmpty: a free slot
    };
    static constexpr PxU32 kEmpty = 0xffffffffu;

    static PxU64 Hash(const PairKey& key);
    size_t Home(PxU64 hash) const { return static_cast<size_t>(hash >> mShift); }
    // The slot holding key, or the free slot where its probe ends.
    size_t Probe(const PairKey& key) const;
    void Grow();
    void RemoveSlot(size_t slot);

    std::vector<PairRecord> mRecords;
    std::vector<Slot> mSlots; // size a power of two, or empty
    unsigned mShift = 64; // 64 - log2 of the slot count: the hash's top bits pick the home slot
};

} // namespace physx::standin
