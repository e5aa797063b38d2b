#pragma once
// The process-wide physics system: it owns the physics world, creates its scene and steps it once
// per frame.
//
// One instance (GetInstance), created on first use. Main thread only.

class PhysicsEngine {
public:
    static PhysicsEngine& GetInstance();

    // Starts the physics system. Called once by start-up, after the window, the GL loader and the UI.
    void Initialize();

    // Creates the simulation scene. Called once by Application::Run, after the demo scene's objects
    // exist and before any component's Start.
    void CreateScene();

    // One simulation step of Time's deltaTime. Called once per frame.
    void Simulate();
};
