#pragma once
// The running program: start-up (Init), the frame loop (Run, Frame) and shutdown.
//
// One instance, a local of wWinMain. Everything runs on the main thread, which owns the window and
// the GL context for the whole run. Game objects, components and physics objects are never torn
// down here; the singletons live until the process ends.

#include <string>

struct GLFWwindow;
struct GLFWmonitor;
class Time;

// What the program adds to the engine, installed before Run: its scene, and its step of every frame.
// Either may be null.
struct GameHooks {
    // Creates the scene's objects and components; Run calls it once, before the physics scene exists
    // and before any Start.
    void (*buildScene)() = nullptr;
    // Every frame, after the camera update and before the physics step.
    void (*beforePhysics)() = nullptr;
};

class Application {
public:
    // Brings up the window, the GL context, the UI and the physics system. Returns false at the first
    // step that fails; nothing has been drawn then.
    bool Init();

    // Builds the game's scene, runs frames until `running` is cleared, then shuts the UI and the
    // window down. Returns the exit code, 0.
    int Run();

    // One iteration of the loop: input, time, UI frame, camera, the game's step, physics, component
    // updates, rendering, UI, swap — in that order.
    void Frame();

    GameHooks game;
    // Where the UI library keeps its window settings, read at Init and written while the program runs.
    // A relative path is taken from the working directory; the entry point makes it absolute before it
    // moves into the data folder, so the file stays where the user started the program.
    std::string uiSettingsFile = "imgui.ini";
    bool running = true;
    GLFWwindow* window = nullptr;
    GLFWmonitor* monitor = nullptr;
};

// The part of a frame between the camera and the rendering: the game's step, the physics step, the
// "FPS" and "Controls" windows, then the component passes. Everything that moves advances by
// `time.deltaTime` (capped); the "FPS" read-out shows the rate of the real frame time, `time.frameTime`.
// Main thread, inside a UI frame, with the physics scene created.
void StepFrameWorld(const Time& time, void (*gameStep)());

// Keeps the GL viewport at the framebuffer's size when the window is resized.
void FramebufferSizeCallback(GLFWwindow* window, int width, int height);
