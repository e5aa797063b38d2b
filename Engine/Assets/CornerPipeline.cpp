#include "Assets/CornerPipeline.h"

#include "Assets/BatchQueue.h"

#include <exception>
#include <memory>
#include <thread>

namespace {

struct CornerBlock {
    CornerBatch batches[kBlockBatches];
    int count = 0; // batches filled
};

} // namespace

void BuildSubMesh(int meshPolygons, const CornerSource& source, const CornerSink& sink)
{
    if (meshPolygons >= kPipelinedPolygons && std::thread::hardware_concurrency() > 1)
        BuildAlongside(source, sink);
    else
        BuildInTurn(source, sink);
}

void BuildInTurn(const CornerSource& source, const CornerSink& sink)
{
    auto batch = std::make_unique<CornerBatch>();
    for (;;) {
        source(*batch);
        const bool last = batch->count < kBatchCorners;
        sink(*batch);
        batch->count = 0;
        if (last)
            return;
    }
}

void BuildAlongside(const CornerSource& source, const CornerSink& sink)
{
    BatchQueue<CornerBlock, kQueuedBlocks> queue;
    std::exception_ptr failure;
    std::thread enterer([&] {
        while (CornerBlock* block = queue.Next()) {
            for (int i = 0; i < block->count && !failure; ++i) {
                try {
                    sink(block->batches[i]);
                } catch (...) {
                    failure = std::current_exception(); // keep draining, so the reader never waits forever
                }
            }
            for (int i = 0; i < block->count; ++i)
                block->batches[i].count = 0;
            block->count = 0;
            queue.Release();
        }
    });
    // Whether reading ends normally or by an exception, the helper is told and waited for.
    struct Join {
        BatchQueue<CornerBlock, kQueuedBlocks>& queue;
        std::thread& thread;
        ~Join()
        {
            queue.Close();
            if (thread.joinable())
                thread.join();
        }
    } join { queue, enterer };

    CornerBlock* block = &queue.Claim();
    for (;;) {
        CornerBatch& batch = block->batches[block->count];
        source(batch);
        const bool last = batch.count < kBatchCorners;
        if (batch.count > 0)
            ++block->count;
        if (last)
            break;
        if (block->count == kBlockBatches) {
            queue.Publish();
            block = &queue.Claim();
        }
    }
    if (block->count > 0)
        queue.Publish();
    queue.Close();
    enterer.join();
    if (failure)
        std::rethrow_exception(failure);
}
