#pragma once
// The renderer's single instance. Once per frame it records the shadow pass into the light's depth
// map and the main pass into the window, then executes them; the UI is drawn afterwards, outside the
// command list.
//
// Created by the first GetInstance (start-up, which writes width and height) and destroyed at exit.
// Main thread only, with the GL context current.

#include "Graphics/GraphicsCommandList.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

class DirectionalLight;
class MeshRenderer;

class GraphicsEngine {
public:
    static GraphicsEngine& GetInstance();

    GraphicsEngine();
    GraphicsEngine(const GraphicsEngine&) = delete;
    GraphicsEngine& operator=(const GraphicsEngine&) = delete;

    // Adds `renderer` to the masks of its `maskOf` group, or to the drawn renderers when it is not a
    // mask. There is no way to unregister; registering twice draws twice.
    void RegisterRenderer(MeshRenderer* renderer);

    // The frame step: reset the list, sort the renderers farthest first from the active camera,
    // record the shadow pass and the main pass, execute. Needs activeCamera and sceneLight. A frame
    // with more draws than the list's arena holds runs what it recorded whenever the arena is full and
    // records the rest afresh, so any number of renderers is drawn.
    void RecordFrame();

    // Sorts `renderers` farthest first by the squared four-component distance between each
    // renderer's position and the active camera's.
    void SortRenderers();

    // Records the shadow pass: its set-up, its draws (none when drawShadows is false), then the set-up
    // of the main pass.
    void RenderShadows();

    // Records the draws of one pass: the unmasked renderers as T, then each masked renderer after its
    // group's masks, both as RenderMeshCommand. In the main pass a mask hides its renderer behind its
    // depth; in the shadow pass (T = RenderShadowCommand) it writes no depth and cuts its renderer out
    // of the shadow map through the stencil, so a hole casts no shadow and lets the light through. A full
    // list is run and emptied before the next draw.
    template <class T>
    void Render();

    GraphicsCommandList commandList;
    // Every registered renderer that is not a mask. Not owning.
    std::vector<MeshRenderer*> renderers;
    // The registered masks, by the group they belong to, each group in registration order. Not owning.
    std::unordered_map<std::uint32_t, std::vector<MeshRenderer*>> maskRenderers;
    // The main pass viewport in pixels: the primary monitor's mode at start-up, never changed after.
    std::int32_t width = 0;
    std::int32_t height = 0;
    // The framebuffer the main pass draws into: 0 is the window's. A program with no window (a tool
    // drawing into a framebuffer object) names its own.
    std::uint32_t mainFramebuffer = 0;
    // False: the shadow pass only clears the shadow map, so nothing is in shadow.
    bool drawShadows = true;
};

// The GL state every frame is drawn with, set once before the first: blending, the stencil and depth
// tests, multisampling, and face culling of front faces (the imported models are wound for it; the
// shadow pass turns it to back faces while it draws). The program, the tests and the benchmarks that
// draw frames all set it with this. Main thread, GL context current.
void SetFixedGlState();

// The scene's light, set by the demo scene.
extern DirectionalLight* sceneLight;
// True until the end of the first frame: renderers register themselves while it is set.
extern bool firstFrame;
