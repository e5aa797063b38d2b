#include "Graphics/GraphicsCommandList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kArenaBytes = 1048576;
constexpr const char* kOutOfMemory = "graphics command list ran out of memory, increase it maybe";
constexpr const char* kResetWhileExecuting = "Cannot reset command list whilst it is executing";

using Log = std::vector<std::string>;

// Writes what happens to it into a log. The name is a literal, so the command owns nothing that
// skipping its destructor would leak.
class LoggingCommand final : public GraphicsCommandBase {
public:
    LoggingCommand(Log& log, const char* name)
        : log(log)
        , name(name)
    {
    }

    void Execute() override { log.push_back(std::string("run ") + name); }
    void Destroy() override { log.push_back(std::string("destroy ") + name); }

    Log& log;
    const char* name;
};

// A command of exactly `Bytes` bytes, for filling the arena to a chosen size.
template <std::size_t Bytes>
class PaddedCommand final : public GraphicsCommandBase {
public:
    void Execute() override {}
    void Destroy() override {}

    std::uint8_t padding[Bytes - sizeof(GraphicsCommandBase)] = {};
};

// The smallest command there can be: the table pointer and `next`.
class BareCommand final : public GraphicsCommandBase {
public:
    void Execute() override {}
    void Destroy() override {}
};

static_assert(sizeof(PaddedCommand<4096>) == 4096);
static_assert(sizeof(PaddedCommand<72>) == 72);
static_assert(sizeof(PaddedCommand<64>) == 64);
static_assert(sizeof(BareCommand) == 16);

// Logs `entry` when the last copy is released, so a lambda capturing it reports its own destruction
// exactly when std::function lets go of it.
std::shared_ptr<int> LogWhenReleased(Log& log, const char* entry)
{
    return std::shared_ptr<int>(new int(0), [&log, entry](int* value) {
        log.push_back(entry);
        delete value;
    });
}

template <class Exception, class Action>
std::string MessageOf(Action&& action)
{
    try {
        action();
    } catch (const Exception& exception) {
        return exception.what();
    }
    return "(nothing thrown)";
}

bool AllZeroFrom(const GraphicsCommandList& list, std::uint64_t offset)
{
    return std::all_of(list.buffer + offset, list.buffer + list.capacity, [](std::uint8_t byte) { return byte == 0; });
}

void ExpectEmptyAndZeroed(const GraphicsCommandList& list)
{
    EXPECT_EQ(list.used, 0u);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(list.head), list.buffer);
    EXPECT_EQ(list.tail, &list.head);
    EXPECT_FALSE(list.executing);
    EXPECT_FALSE(list.executed);
    EXPECT_TRUE(AllZeroFrom(list, 0));
}

} // namespace

TEST(GraphicsCommandList, StartsEmptyWithAZeroFilledMebibyteArena)
{
    GraphicsCommandList list;
    EXPECT_EQ(list.capacity, kArenaBytes);
    ExpectEmptyAndZeroed(list);
}

TEST(GraphicsCommandList, CommandsFillTheArenaExactlyAndTheNextOneIsRefusedWithNothingChanged)
{
    using Page = PaddedCommand<4096>;
    using Slice = PaddedCommand<64>;
    GraphicsCommandList list;

    // All but the last 64 bytes, each command placed right where the previous one ended.
    std::uint64_t expectedUsed = 0;
    for (int i = 0; i < 255; ++i) {
        Page* page = list.Enqueue<Page>();
        ASSERT_EQ(reinterpret_cast<std::uint8_t*>(page), list.buffer + expectedUsed);
        expectedUsed += sizeof(Page);
    }
    for (int i = 0; i < 63; ++i) {
        Slice* slice = list.Enqueue<Slice>();
        ASSERT_EQ(reinterpret_cast<std::uint8_t*>(slice), list.buffer + expectedUsed);
        expectedUsed += sizeof(Slice);
    }
    ASSERT_EQ(list.used, kArenaBytes - 64);
    ASSERT_EQ(list.count, 318u);

    // 72 bytes do not fit into the 64 left, and nothing of the refused command is written.
    GraphicsCommandBase** tailBefore = list.tail;
    EXPECT_EQ(MessageOf<std::out_of_range>([&] { list.Enqueue<PaddedCommand<72>>(); }), kOutOfMemory);
    EXPECT_EQ(list.used, kArenaBytes - 64);
    EXPECT_EQ(list.count, 318u);
    EXPECT_EQ(list.tail, tailBefore);
    EXPECT_TRUE(AllZeroFrom(list, list.used));

    // A command ending exactly at the arena's end fits.
    Slice* last = list.Enqueue<Slice>();
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(last), list.buffer + kArenaBytes - 64);
    EXPECT_EQ(list.used, kArenaBytes);
    EXPECT_EQ(list.count, 319u);
    EXPECT_EQ(*tailBefore, last);
    EXPECT_EQ(list.tail, &last->next);

    // Now even the smallest command is refused.
    EXPECT_EQ(MessageOf<std::out_of_range>([&] { list.Enqueue<BareCommand>(); }), kOutOfMemory);
    EXPECT_EQ(list.used, kArenaBytes);
    EXPECT_EQ(list.count, 319u);
    EXPECT_EQ(list.tail, &last->next);

    // The chain from head visits every command back to back and ends at the last one.
    std::uint64_t visited = 0;
    std::uint64_t offset = 0;
    GraphicsCommandBase* previous = nullptr;
    for (GraphicsCommandBase* command = list.head; command != nullptr; command = command->next) {
        ASSERT_EQ(reinterpret_cast<std::uint8_t*>(command), list.buffer + offset);
        offset += visited < 255 ? sizeof(Page) : sizeof(Slice);
        ++visited;
        previous = command;
    }
    EXPECT_EQ(visited, list.count);
    EXPECT_EQ(previous, last);
}

TEST(GraphicsCommandList, RunsCommandsInRecordingOrderDestroyingEachBeforeTheNextRuns)
{
    Log log;
    GraphicsCommandList list;
    list.Enqueue<LoggingCommand>(log, "first");
    list.Enqueue<LambdaGraphicsCommand>([&log, &list, release = LogWhenReleased(log, "destroy lambda")] {
        log.push_back(list.executing ? "run lambda while executing" : "run lambda outside execution");
    });
    list.Enqueue<LoggingCommand>(log, "last");

    list.Execute();
    const Log expected = { "run first", "destroy first", "run lambda while executing", "destroy lambda", "run last",
        "destroy last" };
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(list.executing);
    EXPECT_TRUE(list.executed);

    // A list runs at most once per frame.
    list.Execute();
    EXPECT_EQ(log, expected);
}

TEST(GraphicsCommandList, ExecutingAnEmptyListOnlySetsExecutedAndTheNextExecuteWaitsForReset)
{
    Log log;
    GraphicsCommandList list;
    list.Execute();
    EXPECT_FALSE(list.executing);
    EXPECT_TRUE(list.executed);
    EXPECT_EQ(list.used, 0u);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(list.head), list.buffer);
    EXPECT_EQ(list.tail, &list.head);
    EXPECT_TRUE(AllZeroFrom(list, 0));

    // Recorded after this frame's run: nothing runs until the next frame.
    list.Enqueue<LoggingCommand>(log, "late");
    list.Execute();
    EXPECT_TRUE(log.empty());

    list.Reset();
    log.clear();
    list.Enqueue<LoggingCommand>(log, "next frame");
    list.Execute();
    EXPECT_EQ(log, (Log { "run next frame", "destroy next frame" }));
}

TEST(GraphicsCommandList, ResetAfterExecuteDestroysNothingAgainAndEmptiesTheArena)
{
    Log log;
    GraphicsCommandList list;
    list.Enqueue<LoggingCommand>(log, "first");
    list.Enqueue<LambdaGraphicsCommand>([release = LogWhenReleased(log, "destroy lambda")] {});
    list.Enqueue<LoggingCommand>(log, "last");
    list.Execute();
    const Log afterRun = log;
    ASSERT_EQ(afterRun.size(), 5u);

    list.Reset();
    EXPECT_EQ(log, afterRun);
    ExpectEmptyAndZeroed(list);
}

TEST(GraphicsCommandList, ResetWithoutExecuteDestroysEachCommandOnceInOrderAndRunsNone)
{
    Log log;
    GraphicsCommandList list;
    list.Enqueue<LoggingCommand>(log, "first");
    list.Enqueue<LambdaGraphicsCommand>(
        [&log, release = LogWhenReleased(log, "destroy lambda")] { log.push_back("run lambda"); });
    list.Enqueue<LoggingCommand>(log, "last");

    list.Reset();
    const Log expected = { "destroy first", "destroy lambda", "destroy last" };
    EXPECT_EQ(log, expected);
    ExpectEmptyAndZeroed(list);

    // Nothing of the dropped frame is left to run.
    list.Execute();
    EXPECT_EQ(log, expected);
}

TEST(GraphicsCommandList, ResetOfAnEmptyListLeavesTheArenaAloneButClearsTheFlags)
{
    Log log;
    GraphicsCommandList list;
    list.Execute();

    // Markers that only a fill of the arena would clear.
    list.buffer[0] = 0x5A;
    list.buffer[list.capacity - 1] = 0xA5;
    list.Reset();
    EXPECT_EQ(list.buffer[0], 0x5A);
    EXPECT_EQ(list.buffer[list.capacity - 1], 0xA5);
    EXPECT_FALSE(list.executing);
    EXPECT_FALSE(list.executed);

    // Cleared flags mean the next frame runs.
    list.buffer[0] = 0;
    list.Enqueue<LoggingCommand>(log, "next frame");
    list.Execute();
    EXPECT_EQ(log, (Log { "run next frame", "destroy next frame" }));

    // Once the list held a command, the fill covers the whole arena, not only the bytes it used.
    list.Reset();
    EXPECT_TRUE(AllZeroFrom(list, 0));
}

TEST(GraphicsCommandList, ResetFromInsideACommandThrowsAndChangesNothing)
{
    Log log;
    GraphicsCommandList list;
    std::string message;
    bool unchanged = false;
    list.Enqueue<LoggingCommand>(log, "before");
    list.Enqueue<LambdaGraphicsCommand>([&] {
        const std::uint64_t used = list.used;
        const std::uint64_t count = list.count;
        GraphicsCommandBase* head = list.head;
        GraphicsCommandBase** tail = list.tail;
        message = MessageOf<std::runtime_error>([&] { list.Reset(); });
        unchanged = list.used == used && list.count == count && list.head == head && list.tail == tail && list.executing
            && !list.executed && !AllZeroFrom(list, 0);
    });
    list.Enqueue<LoggingCommand>(log, "after");

    list.Execute();
    EXPECT_EQ(message, kResetWhileExecuting);
    EXPECT_TRUE(unchanged);
    // The failed reset destroyed nothing: the rest of the list ran as recorded.
    EXPECT_EQ(log, (Log { "run before", "destroy before", "run after", "destroy after" }));

    list.Reset();
    ExpectEmptyAndZeroed(list);
}

TEST(GraphicsCommandList, AnEmptyLambdaCommandThrowsBadFunctionCall)
{
    LambdaGraphicsCommand empty;
    EXPECT_THROW(empty.Execute(), std::bad_function_call);

    // Destroy leaves the command empty too.
    int runs = 0;
    LambdaGraphicsCommand destroyed([&runs] { ++runs; });
    destroyed.Destroy();
    EXPECT_FALSE(destroyed.function);
    EXPECT_THROW(destroyed.Execute(), std::bad_function_call);
    EXPECT_EQ(runs, 0);
}

TEST(GraphicsCommandList, ACommandThatThrowsEndsTheRunAndTheRestAreDestroyedUnrunOnce)
{
    Log log;
    GraphicsCommandList list;
    list.Enqueue<LoggingCommand>(log, "first");
    list.Enqueue<LambdaGraphicsCommand>();
    list.Enqueue<LambdaGraphicsCommand>(
        [&log, release = LogWhenReleased(log, "destroy lambda")] { log.push_back("run lambda"); });
    list.Enqueue<LoggingCommand>(log, "last");

    EXPECT_THROW(list.Execute(), std::bad_function_call);
    const Log expected = { "run first", "destroy first", "destroy lambda", "destroy last" };
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(list.executing);
    EXPECT_TRUE(list.executed);

    // The list is not left mid-execution: it resets without destroying anything a second time.
    list.Reset();
    EXPECT_EQ(log, expected);
    ExpectEmptyAndZeroed(list);
}

TEST(GraphicsCommandList, ALambdaWithAHeapStoredCaptureIsFreedExactlyOnceWhetherRunOrResetUnrun)
{
    // 256 bytes of capture are far beyond std::function's own storage, so the callable lives on
    // the heap and only Destroy frees it.
    std::array<char, 256> payload {};
    payload.fill('x');
    auto token = std::make_shared<int>(0);
    int runs = 0;
    auto record = [&](GraphicsCommandList& list) {
        list.Enqueue<LambdaGraphicsCommand>([payload, token, &runs] { runs += payload.back() == 'x' ? 1 : 0; });
    };

    {
        GraphicsCommandList list;
        record(list);
        EXPECT_EQ(token.use_count(), 2);
        list.Execute();
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(token.use_count(), 1);
        list.Reset();
        EXPECT_EQ(token.use_count(), 1);

        record(list);
        EXPECT_EQ(token.use_count(), 2);
        list.Reset();
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(token.use_count(), 1);

        // Left for the destructor, which resets like the start of a frame.
        record(list);
        EXPECT_EQ(token.use_count(), 2);
    }
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(token.use_count(), 1);
}

namespace {

int gFreeFunctionRuns = 0;

void CountFreeFunctionRun()
{
    ++gFreeFunctionRuns;
}

// A callable with no state whose construction is itself work: the one recorded is the one that
// runs, and running it builds no other.
struct CountsItsConstructions {
    static inline int constructions = 0;
    static inline int runs = 0;

    CountsItsConstructions() { ++constructions; }
    void operator()() const { ++runs; }
};

} // namespace

TEST(GraphicsCommandList, ALambdaCommandRunsWhatItsFunctionHoldsWhenTheListRuns)
{
    Log log;
    GraphicsCommandList list;

    // A free function, as the engine records its pass set-ups, and a capture-less lambda: each
    // runs once and its function is left empty.
    gFreeFunctionRuns = 0;
    LambdaGraphicsCommand* function = list.Enqueue<LambdaGraphicsCommand>(CountFreeFunctionRun);
    // Capture-less lambdas reach the log through this.
    static Log* captureLog = nullptr;
    captureLog = &log;
    LambdaGraphicsCommand* captureless = list.Enqueue<LambdaGraphicsCommand>(
        [] { captureLog->push_back("capture-less"); });

    CountsItsConstructions::constructions = 0;
    CountsItsConstructions::runs = 0;
    list.Enqueue<LambdaGraphicsCommand>(CountsItsConstructions {});
    const int constructionsWhenRecorded = CountsItsConstructions::constructions;

    // Given another callable after recording, with a capture held on the heap: that one runs,
    // and is freed once.
    LambdaGraphicsCommand* replaced = list.Enqueue<LambdaGraphicsCommand>([&log] { log.push_back("recorded"); });
    std::array<char, 256> payload {};
    replaced->function = [&log, payload, release = LogWhenReleased(log, "destroy replacement")] {
        log.push_back(payload[0] == 0 ? "replacement" : "wrong payload");
    };

    // A capture-less lambda given another capture-less lambda: the one it holds now runs.
    LambdaGraphicsCommand* swapped = list.Enqueue<LambdaGraphicsCommand>([] { captureLog->push_back("recorded"); });
    swapped->function = [] { captureLog->push_back("capture-less replacement"); };

    // Emptied after recording: the run stops there with std::bad_function_call, as an empty
    // lambda command's does, and the command after it is destroyed unrun.
    LambdaGraphicsCommand* emptied = list.Enqueue<LambdaGraphicsCommand>([] { captureLog->push_back("emptied"); });
    emptied->function = nullptr;
    list.Enqueue<LambdaGraphicsCommand>(
        [&log, release = LogWhenReleased(log, "destroy after the throw")] { log.push_back("after the throw"); });

    EXPECT_THROW(list.Execute(), std::bad_function_call);
    EXPECT_EQ(gFreeFunctionRuns, 1);
    EXPECT_EQ(CountsItsConstructions::runs, 1);
    EXPECT_EQ(CountsItsConstructions::constructions, constructionsWhenRecorded);
    EXPECT_EQ(log,
        (Log { "capture-less", "replacement", "destroy replacement", "capture-less replacement",
            "destroy after the throw" }));
    EXPECT_FALSE(function->function);
    EXPECT_FALSE(captureless->function);
    EXPECT_FALSE(replaced->function);
    EXPECT_FALSE(swapped->function);

    // A capture-less lambda that throws ends the run like any command, and is destroyed once.
    list.Reset();
    log.clear();
    list.Enqueue<LambdaGraphicsCommand>([] { throw std::runtime_error("capture-less throw"); });
    list.Enqueue<LambdaGraphicsCommand>(
        [&log, release = LogWhenReleased(log, "destroy after the capture-less throw")] { log.push_back("ran"); });
    EXPECT_THROW(list.Execute(), std::runtime_error);
    EXPECT_EQ(log, (Log { "destroy after the capture-less throw" }));
    list.Reset();
    ExpectEmptyAndZeroed(list);

    // Recorded from a std::function: the callable it holds runs, and its heap-held capture is freed
    // once, run or not.
    for (const bool run : { true, false }) {
        list.Reset();
        log.clear();
        std::function<void()> held = [&log, payload, release = LogWhenReleased(log, "destroy held")] {
            log.push_back("held");
        };
        list.Enqueue<LambdaGraphicsCommand>(std::move(held));
        if (run)
            list.Execute();
        list.Reset();
        EXPECT_EQ(log, run ? (Log { "held", "destroy held" }) : (Log { "destroy held" }));
    }
}
