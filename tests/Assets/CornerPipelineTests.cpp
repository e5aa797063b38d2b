#include "Assets/BatchQueue.h"
#include "Assets/CornerPipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// A block of batches, and as many as can be in flight between the threads.
constexpr int kBlockTriangles = kBatchTriangles * kBlockBatches;
constexpr int kRingTriangles = kBlockTriangles * static_cast<int>(kQueuedBlocks);

// A source of `triangles` triangles whose corner n has x = n, so the order corners arrive in shows.
// It records every way it is misused: called off the calling thread, handed a batch that is not
// empty, or called again after its last batch.
class NumberedSource {
public:
    explicit NumberedSource(int triangles)
        : corners(triangles * kCornersPerTriangle)
    {
    }

    void Fill(CornerBatch& batch)
    {
        if (std::this_thread::get_id() != caller)
            ++misuse;
        if (finished)
            ++misuse;
        if (batch.count != 0) {
            ++misuse;
            batch.count = 0; // carry on, so the test ends and reports it
        }
        while (next < corners && batch.count < kBatchCorners) {
            const int i = batch.count++;
            batch.vertices[i] = Vertex {};
            batch.vertices[i].position = { static_cast<float>(next), 0.0f, 0.0f, 1.0f };
            batch.controlPoints[i] = next % 101;
            batch.folded[i] = next % 7 == 0;
            ++next;
        }
        finished = batch.count < kBatchCorners;
    }

    CornerSource Source()
    {
        return [this](CornerBatch& batch) { Fill(batch); };
    }

    int corners;
    int next = 0;
    bool finished = false;
    int misuse = 0;
    std::thread::id caller = std::this_thread::get_id();
};

using Build = void (*)(const CornerSource&, const CornerSink&);

} // namespace

TEST(CornerPipeline, EveryCornerArrivesOnceInOrderWhateverTheCountAndTheWay)
{
    // Counts around a batch, a block of batches and the whole ring of blocks, exact multiples included.
    const int counts[] = { 0, 1, kBatchTriangles - 1, kBatchTriangles, kBatchTriangles + 1, kBlockTriangles,
        kBlockTriangles + 1, kRingTriangles, 3 * kRingTriangles + kBatchTriangles, 10007 };
    for (Build build : { &BuildInTurn, &BuildAlongside }) {
        for (int triangles : counts) {
            SCOPED_TRACE(testing::Message() << (build == &BuildInTurn ? "in turn, " : "alongside, ") << triangles);
            NumberedSource source(triangles);
            std::vector<float> entered;
            std::vector<int> controlPoints;
            int folded = 0;
            std::atomic<int> offCaller = 0;
            build(source.Source(), [&](CornerBatch& batch) {
                if (std::this_thread::get_id() != source.caller)
                    ++offCaller;
                for (int i = 0; i < batch.count; ++i) {
                    entered.push_back(batch.vertices[i].position.x);
                    controlPoints.push_back(batch.controlPoints[i]);
                    folded += batch.folded[i] ? 1 : 0;
                }
            });
            EXPECT_EQ(source.misuse, 0);
            ASSERT_EQ(entered.size(), std::size_t(source.corners));
            for (int n = 0; n < source.corners; ++n) {
                ASSERT_EQ(entered[n], static_cast<float>(n)) << "corner " << n;
                ASSERT_EQ(controlPoints[n], n % 101) << "corner " << n;
            }
            EXPECT_EQ(folded, (source.corners + 6) / 7);
            // Entering alongside happens on the helper thread, in turn on this one.
            if (build == &BuildInTurn) {
                EXPECT_EQ(offCaller.load(), 0);
            } else if (triangles > 0) {
                EXPECT_GT(offCaller.load(), 0);
            }
        }
    }
}

TEST(CornerPipeline, AFailureInReadingOrEnteringReachesTheCallerWithTheHelperEnded)
{
    struct ReadFailed : std::runtime_error {
        ReadFailed()
            : std::runtime_error("read")
        {
        }
    };
    struct EnterFailed : std::runtime_error {
        EnterFailed()
            : std::runtime_error("enter")
        {
        }
    };

    // The source fails: at once, once a block has been handed over, and after more batches than the
    // ring holds.
    for (Build build : { &BuildInTurn, &BuildAlongside }) {
        for (int failingCall : { 0, kBlockBatches, 2 * kBlockBatches * static_cast<int>(kQueuedBlocks) + 3 }) {
            SCOPED_TRACE(testing::Message() << (build == &BuildInTurn ? "in turn, " : "alongside, ") << failingCall);
            NumberedSource numbered(4 * kRingTriangles);
            int calls = 0;
            std::vector<float> entered;
            auto source = [&](CornerBatch& batch) {
                if (calls++ == failingCall)
                    throw ReadFailed();
                numbered.Fill(batch);
            };
            auto sink = [&](CornerBatch& batch) {
                for (int i = 0; i < batch.count; ++i)
                    entered.push_back(batch.vertices[i].position.x);
            };
            EXPECT_THROW(build(source, sink), ReadFailed);
            EXPECT_EQ(numbered.misuse, 0);
            // Whatever was entered is the front of what was read, in order.
            ASSERT_LE(entered.size(), std::size_t(numbered.next));
            for (std::size_t n = 0; n < entered.size(); ++n)
                ASSERT_EQ(entered[n], static_cast<float>(n));
        }

        // Entering fails while more corners are read than the ring holds: reading is not stalled by
        // it, no batch is entered after it, and it is thrown here.
        NumberedSource numbered(4 * kRingTriangles);
        int enteredBatches = 0;
        auto sink = [&](CornerBatch&) {
            if (++enteredBatches == 3)
                throw EnterFailed();
        };
        EXPECT_THROW(build(numbered.Source(), sink), EnterFailed);
        EXPECT_EQ(enteredBatches, 3);
        EXPECT_EQ(numbered.misuse, 0);
    }
}

TEST(BatchQueue, HandsEverySlotOverInOrderWhicheverSideIsSlower)
{
    // Counts that end short of half a ring, of a ring or of several rings, with either side pausing
    // now and then so that the other finds the ring empty or full and sleeps: a wake-up that is never
    // sent would hang here.
    constexpr std::size_t kSlots = 8;
    for (bool slowConsumer : { false, true }) {
        for (int count : { 0, 1, 3, 4, 5, 8, 9, 12, 17, 101 }) {
            SCOPED_TRACE(testing::Message() << (slowConsumer ? "slow consumer, " : "slow producer, ") << count);
            BatchQueue<int, kSlots> queue;
            std::vector<int> received;
            std::thread consumer([&] {
                while (int* slot = queue.Next()) {
                    received.push_back(*slot);
                    if (slowConsumer && received.size() % 5 == 0)
                        std::this_thread::sleep_for(std::chrono::microseconds(200));
                    queue.Release();
                }
            });
            for (int n = 0; n < count; ++n) {
                queue.Claim() = n;
                queue.Publish();
                if (!slowConsumer && n % 3 == 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            queue.Close();
            consumer.join();
            ASSERT_EQ(received.size(), std::size_t(count));
            for (int n = 0; n < count; ++n)
                ASSERT_EQ(received[std::size_t(n)], n);
        }
    }
}

TEST(BatchQueue, ASideThatFindsTheRingFullOrEmptySleepsUntilHalfOfItHasMoved)
{
    // Woken for every batch, a faster side would trade places with the slower one batch by batch.
    // The sleeper is given time to wake too early after each single move, and must not.
    constexpr std::size_t kSlots = 8;
    constexpr auto kChance = std::chrono::milliseconds(30);
    {
        BatchQueue<int, kSlots> queue;
        for (int n = 0; n < static_cast<int>(kSlots); ++n) {
            queue.Claim() = n;
            queue.Publish();
        }
        std::atomic<bool> claimed { false };
        std::thread producer([&] {
            queue.Claim() = 100;
            claimed = true;
            queue.Publish();
            queue.Close();
        });
        std::this_thread::sleep_for(kChance); // the producer finds the ring full and sleeps
        EXPECT_FALSE(claimed);
        for (std::size_t n = 0; n + 1 < kSlots / 2; ++n) {
            ASSERT_NE(queue.Next(), nullptr);
            queue.Release();
            std::this_thread::sleep_for(kChance);
            EXPECT_FALSE(claimed) << "a full ring took a batch again after " << n + 1 << " of " << kSlots << " moved";
        }
        std::vector<int> received;
        while (int* slot = queue.Next()) {
            received.push_back(*slot);
            queue.Release();
        }
        producer.join();
        EXPECT_TRUE(claimed);
        EXPECT_EQ(received, (std::vector<int> { 3, 4, 5, 6, 7, 100 }));
    }
    {
        BatchQueue<int, kSlots> queue;
        std::atomic<int> taken { -1 };
        std::thread consumer([&] {
            int* slot = queue.Next();
            taken = slot != nullptr ? *slot : -2;
            queue.Release();
            while (queue.Next() != nullptr)
                queue.Release();
        });
        std::this_thread::sleep_for(kChance); // the consumer finds the ring empty and sleeps
        for (int n = 0; n + 1 < static_cast<int>(kSlots / 2); ++n) {
            queue.Claim() = n;
            queue.Publish();
            std::this_thread::sleep_for(kChance);
            EXPECT_EQ(taken, -1) << "an empty ring gave a batch out after " << n + 1 << " of " << kSlots << " came";
        }
        queue.Claim() = 3;
        queue.Publish();
        queue.Close();
        consumer.join();
        EXPECT_EQ(taken, 0);
    }
}
