#pragma once
// The demo scene as the program builds it (the real models, textures, collision layers and physics),
// run frame by frame as the frame loop runs it, without input from a window, UI or drawing.
//
// One DemoWorld per test: the constructor builds a fresh scene in a fresh physics scene; the
// destructor deletes every component, releases the physics scene and puts back the program-wide
// values it changed (activeCamera, sceneLight, firstFrame, input), so tests run in one process do not
// see each other's balls and holes. The physics system itself is started once per process: a process
// holds only one foundation. Needs the GL context current. Main thread only.

#include "Application/CommandLine.h"
#include "Core/Input.h"
#include "Math/Vector.h"
#include "ProgramGlobals.h"
#include "Scene/InspectorCamera.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

class GameObject;

class DemoWorld {
public:
    // The program's camera resolution.
    static constexpr Float2 kResolution { 1920.0f, 1080.0f };

    // The demo scene with the user's `models` brought in, as the program builds it.
    explicit DemoWorld(std::span<const ModelRequest> models = {});
    ~DemoWorld();
    DemoWorld(const DemoWorld&) = delete;
    DemoWorld& operator=(const DemoWorld&) = delete;

    // One frame of `deltaTime` seconds: balls, the physics step, the two component passes.
    void Frame(float deltaTime);

    // Puts the camera at `position` looking along `direction` and holds the left button for
    // `frames` frames of `deltaTime`, as a person's click lasts longer than a frame. Returns the
    // ball thrown, or null when none was.
    GameObject* Throw(Float3 position, Float3 direction, float deltaTime, int frames = 2);

    // Balls and holes in creation order.
    std::vector<GameObject*> Balls() const;
    std::vector<GameObject*> Holes() const;

    // The scene object with this name whose Transform stands at `position`, or null.
    GameObject* ObjectAt(const std::string& name, Float3 position) const;

    // Removes every ball and hole: the cabin is whole again, as at the start.
    void RemoveThrows();

    InspectorCamera& Camera() { return *camera; }

private:
    ProgramGlobalsGuard globals;
    Input keyboard {};
    std::unique_ptr<InspectorCamera> camera;
};
