#pragma once
// A bounded queue that hands batches of work from one producing thread to one consuming thread.
// Batches are filled and read in place, in a ring of slots, so nothing is copied or allocated per
// batch; a thread that finds the ring full (or empty) sleeps until the other side moves.
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
        for (std::uint64_t done = released.load(std::memory_order_acquire); next - done >= Slots;
             done = released.load(std::memory_order_acquire))
            released.wait(done, std::memory_order_acquire);
        return slots[next % Slots];
    }

    // Hands the claimed slot to the consumer.
    void Publish()
    {
        published.fetch_add(1, std::memory_order_release);
        published.notify_one();
    }

    // No batch will follow the ones published.
    void Close()
    {
        published.fetch_or(kClosed, std::memory_order_release);
        published.notify_one();
    }

    // The oldest published slot, waiting for one; null once the queue is closed and drained.
    Batch* Next()
    {
        const std::uint64_t next = released.load(std::memory_order_relaxed);
        for (;;) {
            const std::uint64_t state = published.load(std::memory_order_acquire);
            if ((state & ~kClosed) > next)
                return &slots[next % Slots];
            if ((state & kClosed) != 0)
                return nullptr;
            published.wait(state, std::memory_order_acquire);
        }
    }

    // Gives the slot returned by Next back to the producer.
    void Release()
    {
        released.fetch_add(1, std::memory_order_release);
        released.notify_one();
    }

private:
    static constexpr std::uint64_t kClosed = std::uint64_t(1) << 63;

    std::unique_ptr<Batch[]> slots = std::make_unique<Batch[]>(Slots);
    std::atomic<std::uint64_t> published { 0 }; // batches published, with kClosed once closed
    std::atomic<std::uint64_t> released { 0 }; // batches the consumer is done with
};
