#pragma once
// A bounded queue that hands batches of work from one producing thread to one consuming thread.
// Batches are filled and read in place, in a ring of slots, so nothing is copied or allocated per
// batch. A thread that finds the ring full sleeps until half of it is free again, and one that finds
// it empty until half of it is filled (or the queue is closed): when one side is the faster, it is
// woken once for half a ring of batches rather than once for every batch, as waking a thread on
// another core costs more than entering a few batches (on a virtual machine, far more).
//
// Thread rules: Claim, Publish and Close are called by the producer only; Next and Release by the
// consumer only. The queue must outlive both threads' use of it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

template <class Batch, std::size_t Slots>
class BatchQueue {
public:
    // The slot to fill next; waits while every slot is full. The same slot is returned until it is
    // published.
    Batch& Claim()
    {
        const std::uint64_t next = published.load(std::memory_order_relaxed) & ~kClosed;
        std::uint64_t done = released.load();
        if (next - done >= Slots) {
            while (next - done > Slots - kWakeAfter) {
                released.wait(done);
                done = released.load();
            }
        }
        return slots[next % Slots];
    }

    // Hands the claimed slot to the consumer.
    void Publish()
    {
        const std::uint64_t count = (published.fetch_add(1) & ~kClosed) + 1;
        // A consumer asleep on an empty ring wants kWakeAfter batches. While it sleeps `released`
        // stands still, and every publication made after it looked sees its last release (the two
        // sides' counts are read and changed in one total order), so the count of waiting batches
        // passes that number exactly once.
        if (count - released.load() == kWakeAfter)
            published.notify_one();
    }

    // No batch will follow the ones published.
    void Close()
    {
        published.fetch_or(kClosed);
        published.notify_one();
    }

    // The oldest published slot, waiting for one; null once the queue is closed and drained.
    Batch* Next()
    {
        const std::uint64_t next = released.load(std::memory_order_relaxed);
        std::uint64_t state = published.load();
        if ((state & ~kClosed) == next) {
            while ((state & kClosed) == 0 && (state & ~kClosed) - next < kWakeAfter) {
                published.wait(state);
                state = published.load();
            }
        }
        if ((state & ~kClosed) > next)
            return &slots[next % Slots];
        return nullptr;
    }

    // Gives the slot returned by Next back to the producer.
    void Release()
    {
        const std::uint64_t done = released.fetch_add(1) + 1;
        // A producer asleep on a full ring wants kWakeAfter free slots; as in Publish, the count of
        // filled slots passes Slots - kWakeAfter exactly once while it sleeps.
        if ((published.load() & ~kClosed) - done == Slots - kWakeAfter)
            released.notify_one();
    }

private:
    static constexpr std::uint64_t kClosed = std::uint64_t(1) << 63;
    // How many batches a sleeping side waits for: half the ring, at least one.
    static constexpr std::uint64_t kWakeAfter = Slots / 2 > 0 ? Slots / 2 : 1;

    std::unique_ptr<Batch[]> slots = std::make_unique<Batch[]>(Slots);
    std::atomic<std::uint64_t> published { 0 }; // batches published, with kClosed once closed
    std::atomic<std::uint64_t> released { 0 }; // batches the consumer is done with
};
