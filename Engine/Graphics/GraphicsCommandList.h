#pragma once
// A frame's GPU work, recorded as commands into one fixed arena and run once in recording order.
//
// Per frame: Reset, any number of Enqueue, one Execute. Recording costs a bounds check and a
// placement; the arena is allocated once, at construction, and nothing is allocated per command.
//
// Ownership: the list owns the arena and every byte in it; commands are constructed in place and
// never deleted. Each command is destroyed exactly once: by Execute right after it runs, or by
// Reset when the list was never executed.
// Main thread only (the thread owning the GL context). The flags guard against a command re-entering
// the list from inside Execute, not against other threads.

#include "Graphics/GraphicsCommand.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

class GraphicsCommandList {
public:
    static constexpr std::uint64_t kCommandArenaBytes = 1 << 20;

    // Commands are placed back to back with no padding, so every offset in the arena is a sum of
    // command sizes. A command can only be placed there if its alignment divides all of them,
    // which holds when every command aligns to at most the base's pointers and its size is a
    // multiple of that.
    static constexpr std::size_t kCommandAlignment = alignof(GraphicsCommandBase);

    template <class T>
    static constexpr bool kPacksBackToBack = alignof(T) <= kCommandAlignment && sizeof(T) % kCommandAlignment == 0;

    // Allocates the zero-filled arena.
    GraphicsCommandList();

    // Resets (destroying commands that never ran), then frees the arena.
    ~GraphicsCommandList();

    // Not copyable or movable: the commands point into this list's arena and `tail` may point at
    // this list's own `head`.
    GraphicsCommandList(const GraphicsCommandList&) = delete;
    GraphicsCommandList& operator=(const GraphicsCommandList&) = delete;

    // Constructs a T at the end of the arena from `args` and appends it to the list. Throws
    // std::out_of_range, with nothing changed, when the command does not fit.
    template <class T, class... Args>
    T* Enqueue(Args&&... args);

    // Runs every command in recording order, destroying each right after it runs. Does nothing when
    // the list is already executing or has run since the last Reset. If a command throws, the ones
    // after it are destroyed unrun and the exception propagates; the list then counts as executed.
    void Execute();

    // Empties the list for the next frame: destroys the commands when the list never ran and
    // zero-fills the arena. Throws std::runtime_error, with nothing changed, while executing.
    void Reset();

    const std::uint64_t capacity;
    std::uint64_t used;
    std::uint64_t count;
    std::uint8_t* buffer;
    // The first command; `buffer` itself while the list is empty.
    GraphicsCommandBase* head;
    // The pointer that receives the next command: `head` while empty, else the last command's `next`.
    GraphicsCommandBase** tail;
    bool executing;
    bool executed;

private:
    // Destroys the commands from `first` to the end, reading each `next` before the command's
    // Destroy, since nothing of a command is touched after it has been destroyed.
    static void DestroyFrom(GraphicsCommandBase* first);
};

// A byte array from new[] is aligned for any fundamental type, so the first command is aligned too.
static_assert(GraphicsCommandList::kCommandAlignment <= alignof(std::max_align_t));
static_assert(GraphicsCommandList::kPacksBackToBack<RenderMeshCommand>);
static_assert(GraphicsCommandList::kPacksBackToBack<RenderShadowCommand>);
static_assert(GraphicsCommandList::kPacksBackToBack<LambdaGraphicsCommand>);

template <class T, class... Args>
T* GraphicsCommandList::Enqueue(Args&&... args)
{
    static_assert(std::is_base_of_v<GraphicsCommandBase, T>, "only commands go into the command list");
    static_assert(kPacksBackToBack<T>, "a command placed back to back would misalign the commands after it");

    // The fields are read into locals first: constructing a command stores through char-typed
    // memory (std::function's buffer), which would otherwise make the compiler load them again.
    const std::uint64_t offset = used;
    const std::uint64_t recorded = count;
    GraphicsCommandBase** const link = tail;
    // used never exceeds capacity, so the subtraction cannot wrap where used + sizeof(T) could.
    if (sizeof(T) > capacity - offset)
        throw std::out_of_range("graphics command list ran out of memory, increase it maybe");

    using Recorded = typename RecordedCommand<T, Args...>::type;
    static_assert(sizeof(Recorded) == sizeof(T), "a command takes the arena bytes of the class it is recorded as");
    std::uint8_t* slot = buffer + offset;
    T* command;
    try {
        command = new (slot) Recorded(std::forward<Args>(args)...);
    } catch (...) {
        // Keeps the bytes past `used` zero, as Reset only clears an arena that holds commands.
        std::memset(slot, 0, sizeof(T));
        throw;
    }
    used = offset + sizeof(T);
    *link = command;
    tail = &command->next;
    count = recorded + 1;
    return command;
}
