// One frame's worth of small commands through the arena-backed command list, against the obvious
// alternative of a vector of std::function. Both sides record and run capture-less lambdas, which
// std::function stores without allocating, so the difference is the container: the list pays its
// 1 MiB zero-fill on every reset, the vector keeps its capacity across clears.

#include "Graphics/GraphicsCommandList.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace {

constexpr int kCommandsPerFrame = 10000;

// Capture-less, like the pass set-up lambdas the engine records. The clobber keeps the compiler
// from proving the call does nothing and dropping it.
void RecordedWork()
{
    benchmark::ClobberMemory();
}

void CommandListResetRecordExecute(benchmark::State& state)
{
    GraphicsCommandList list;
    for (auto _ : state) {
        list.Reset();
        for (int i = 0; i < kCommandsPerFrame; ++i)
            list.Enqueue<LambdaGraphicsCommand>([] { RecordedWork(); });
        list.Execute();
        benchmark::DoNotOptimize(list.buffer);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCommandsPerFrame);
}
BENCHMARK(CommandListResetRecordExecute);

// The reset alone after a frame of one command: the arena's 1 MiB zero-fill, which the list pays
// every frame whatever it recorded, measured apart from the per-command work.
void CommandListZeroFill(benchmark::State& state)
{
    GraphicsCommandList list;
    for (auto _ : state) {
        list.Enqueue<LambdaGraphicsCommand>([] { RecordedWork(); });
        list.Execute();
        list.Reset();
        benchmark::DoNotOptimize(list.buffer);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(list.capacity));
}
BENCHMARK(CommandListZeroFill);

// The least any command of a lambda command's 48 bytes can cost in this arena: placed, linked, and
// run with one call through its table, with nothing to build, invoke or destroy besides. With the
// zero-fill it bounds from below what the lambda commands above can reach.
class BareLambdaSizedCommand final : public GraphicsCommandBase {
public:
    void Execute() override { RecordedWork(); }
    void Destroy() override {}
    void ExecuteThenDestroy() override { RecordedWork(); }

    void* unused[4] = {};
};
static_assert(sizeof(BareLambdaSizedCommand) == sizeof(LambdaGraphicsCommand));

void CommandListFloorResetRecordExecute(benchmark::State& state)
{
    GraphicsCommandList list;
    for (auto _ : state) {
        list.Reset();
        for (int i = 0; i < kCommandsPerFrame; ++i)
            list.Enqueue<BareLambdaSizedCommand>();
        list.Execute();
        benchmark::DoNotOptimize(list.buffer);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCommandsPerFrame);
}
BENCHMARK(CommandListFloorResetRecordExecute);

void FunctionVectorClearRecordExecute(benchmark::State& state)
{
    std::vector<std::function<void()>> commands;
    for (auto _ : state) {
        commands.clear();
        for (int i = 0; i < kCommandsPerFrame; ++i)
            commands.push_back([] { RecordedWork(); });
        for (const std::function<void()>& command : commands)
            command();
        benchmark::DoNotOptimize(commands.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCommandsPerFrame);
}
BENCHMARK(FunctionVectorClearRecordExecute);

} // namespace
