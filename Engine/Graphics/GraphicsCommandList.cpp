#include "Graphics/GraphicsCommandList.h"

GraphicsCommandList::GraphicsCommandList()
    : capacity(kCommandArenaBytes)
    , used(0)
    , count(0)
    , buffer(new std::uint8_t[kCommandArenaBytes]())
    , head(reinterpret_cast<GraphicsCommandBase*>(buffer))
    , tail(&head)
    , executing(false)
    , executed(false)
{
}

GraphicsCommandList::~GraphicsCommandList()
{
    Reset();
    delete[] buffer;
    buffer = nullptr;
    head = nullptr;
    tail = nullptr;
}

void GraphicsCommandList::Execute()
{
    if (executing || executed)
        return;

    executing = true;
    if (count != 0) {
        GraphicsCommandBase* command = head;
        while (command != nullptr) {
            // Read before Destroy: nothing of a command is touched after it has been destroyed.
            GraphicsCommandBase* following = command->next;
            try {
                command->ExecuteThenDestroy();
            } catch (...) {
                // The thrower and the commands after it still own their captures: destroying them
                // here keeps "exactly once" true, and clearing `executing` lets Reset, and the
                // destructor at exit, run instead of finding the list stuck mid-execution.
                DestroyFrom(command);
                executing = false;
                executed = true;
                throw;
            }
            command = following;
        }
    }
    executing = false;
    executed = true;
}

void GraphicsCommandList::Reset()
{
    if (executing)
        throw std::runtime_error("Cannot reset command list whilst it is executing");

    if (count != 0) {
        // An executed list destroyed its commands as they ran.
        if (!executed)
            DestroyFrom(head);
        // The whole arena rather than the used bytes: a fixed cost per frame, and everything past
        // `used` is zero again however the previous frame wrote it.
        std::memset(buffer, 0, capacity);
        head = reinterpret_cast<GraphicsCommandBase*>(buffer);
        used = 0;
        count = 0;
        tail = &head;
    }
    executing = false;
    executed = false;
}

void GraphicsCommandList::DestroyFrom(GraphicsCommandBase* first)
{
    GraphicsCommandBase* command = first;
    while (command != nullptr) {
        GraphicsCommandBase* following = command->next;
        command->Destroy();
        command = following;
    }
}
