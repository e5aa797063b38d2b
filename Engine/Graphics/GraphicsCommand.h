#pragma once
// The units of GPU work the graphics command list records during a frame and runs in one sweep.
//
// Commands live in the command list's arena, constructed in place and chained through `next`.
// Their memory belongs to the arena: nothing ever deletes a command or runs its destructor. What a
// command owns itself (a lambda's captured state) is released by Destroy, which the list calls
// exactly once per command: right after Execute, or from Reset when the list never ran.
// Main thread only (the thread owning the GL context).

#include <cstring>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

class GameObject;
class Model;
class Material;

class GraphicsCommandBase {
public:
    // Does the command's GL work.
    virtual void Execute() = 0;

    // Releases what the command owns. Never frees the command's own memory, which is the arena's.
    virtual void Destroy() = 0;

    // Execute, then Destroy: what the list calls for each command it runs, so running a command
    // costs one indirect call rather than two. The engine's commands are final and override it with
    // direct calls to their own pair (a Destroy with nothing to do then costs nothing); any other
    // command gets the two virtual calls. If Execute throws, Destroy is not called here: the list
    // destroys the thrower with the commands after it.
    virtual void ExecuteThenDestroy()
    {
        Execute();
        Destroy();
    }

    // The command recorded after this one; null for the last.
    GraphicsCommandBase* next = nullptr;

protected:
    // Protected and not virtual: commands are never deleted through the base, and a virtual
    // destructor would add entries to every command's table after Execute and Destroy.
    ~GraphicsCommandBase() = default;
};

// Draws one mesh with its full material.
class RenderMeshCommand final : public GraphicsCommandBase {
public:
    RenderMeshCommand(GameObject* owner, Model** model, Material* material);

    // Defined with the mesh renderer (MeshRenderer.cpp).
    void Execute() override;
    // Everything the command points at belongs to its renderer.
    void Destroy() override {}
    void ExecuteThenDestroy() override { Execute(); }

    GameObject* owner;
    // The renderer's own model member, so a model swapped after recording is the one drawn.
    Model** model;
    Material* material;
};

// Draws one mesh into the shadow map: transform uniforms only, no material.
class RenderShadowCommand final : public GraphicsCommandBase {
public:
    RenderShadowCommand(GameObject* owner, Model** model, Material* material);

    // Defined with the mesh renderer (MeshRenderer.cpp).
    void Execute() override;
    // Everything the command points at belongs to its renderer.
    void Destroy() override {}
    void ExecuteThenDestroy() override { Execute(); }

    GameObject* owner;
    // The renderer's own model member, read at execution like RenderMeshCommand's.
    Model** model;
    Material* material;
};

// Runs arbitrary GL work, such as the state changes between passes.
//
// The list records a lambda command as a RecordedLambdaCommand<Callable>, which knows the type of
// the callable it was built from; a LambdaGraphicsCommand constructed any other way (empty, or from
// a std::function) is exactly this class.
class LambdaGraphicsCommand : public GraphicsCommandBase {
public:
    LambdaGraphicsCommand() = default;

    // Builds `function` straight from the callable, in the arena: no temporary std::function to
    // move from and destroy on every recording.
    template <class Callable,
        class = std::enable_if_t<!std::is_base_of_v<LambdaGraphicsCommand, std::decay_t<Callable>>>>
    explicit LambdaGraphicsCommand(Callable&& callable)
        : function(std::forward<Callable>(callable))
    {
    }

    // Throws std::bad_function_call when `function` is empty.
    void Execute() final { function(); }

    // Destroys the callable (freeing a capture too large for std::function's own storage) and
    // leaves `function` empty, so the arena can later be overwritten without running a destructor.
    void Destroy() final { function = nullptr; }

    // Out of line, so a recorded command's fast path calls it without saving registers for it.
    void ExecuteThenDestroy() override;

    std::function<void()> function;
};

// A lambda command that knows its callable's type. Recorded by
// GraphicsCommandList::Enqueue<LambdaGraphicsCommand>(callable); it adds no fields, so it takes
// exactly the arena bytes of a LambdaGraphicsCommand.
//
// A capture-less callable is run straight from its type, with no call through std::function, and
// the emptied function is built over it without destroying it: it owns nothing. Asking std::function
// what it holds (target) is itself an indirect call, as dear as the two it would save, so the
// command compares bytes instead: a std::function still holding a capture-less Callable is, byte
// for byte, one built from Callable. Anything else that was put in `function` after recording (or
// an implementation that lays its std::function out otherwise) differs and runs the general way.
template <class Callable>
class RecordedLambdaCommand final : public LambdaGraphicsCommand {
public:
    template <class Argument>
    explicit RecordedLambdaCommand(Argument&& callable)
        : LambdaGraphicsCommand(std::forward<Argument>(callable))
    {
    }

    void ExecuteThenDestroy() override
    {
        if constexpr (kCaptureless) {
            if (std::memcmp(&function, kRecordedFunction.bytes, sizeof(function)) == 0) {
                Callable {}();
                // Like std::function itself, the callable must not replace its own command's
                // function while it runs.
                new (&function) std::function<void()>();
                return;
            }
        }
        LambdaGraphicsCommand::ExecuteThenDestroy();
    }

private:
    // Empty, built from nothing with nothing run, and with nothing to release: every instance
    // behaves alike, so the callable is run as a fresh one rather than looked up inside `function`.
    static constexpr bool kCaptureless
        = std::conjunction_v<std::is_empty<Callable>, std::is_trivially_default_constructible<Callable>,
            std::is_trivially_destructible<Callable>, std::is_nothrow_constructible<std::function<void()>, Callable>>;

    // The bytes of a std::function built from a Callable, over zeros like the arena's. It is never
    // destroyed: it holds a callable that owns nothing. Until it is built it is all zeros, which no
    // function holding a callable matches, so a command run that early takes the general way.
    struct RecordedFunctionBytes {
        RecordedFunctionBytes() { new (bytes) std::function<void()>(Callable {}); }

        alignas(std::function<void()>) unsigned char bytes[sizeof(std::function<void()>)] = {};
    };
    static inline const RecordedFunctionBytes kRecordedFunction;
};

// What Enqueue<T>(arguments) constructs: T itself, except that a lambda command built from a
// callable is recorded as the RecordedLambdaCommand of that callable's type.
template <class T, class... Arguments>
struct RecordedCommand {
    using type = T;
};

template <class Argument>
struct RecordedCommand<LambdaGraphicsCommand, Argument> {
    using Callable = std::decay_t<Argument>;
    using type = std::conditional_t<
        std::is_same_v<Callable, std::function<void()>> || std::is_base_of_v<LambdaGraphicsCommand, Callable>,
        LambdaGraphicsCommand, RecordedLambdaCommand<Callable>>;
};
