#pragma once
// The part of a frame that moves the world, in the frame loop's order: the game's own step (it may
// add objects, throw balls), the physics step (collision hooks run inside it), then the component
// passes (each owner's Transform::Update and EarlyUpdate, then Update). The frame loop, the tests and
// the benchmarks all step the world with this one function.
//
// Main thread, with the physics scene created.
#include <functional>

// `gameStep` and `afterPhysics` may be empty. `afterPhysics` runs between the physics step and the
// component passes: the frame loop builds its UI windows there.
void StepWorld(float deltaTime, void (*gameStep)(), const std::function<void()>& afterPhysics = {});
