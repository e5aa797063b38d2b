// CPU cost of recording a frame as the scene grows: reset, sort farthest first, record the shadow
// pass and the main pass, for 1, 100 and 1,000 renderers. Recording and executing is measured apart:
// every renderer draws one small triangle, so execution is mostly the per-draw CPU work (program and
// texture binds, uniform look-ups by name) rather than rasterising.
#include "Assets/Model.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/Material.h"
#include "Graphics/MeshRenderer.h"
#include "Scene/GameCamera.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include "BenchGlContext.h"
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// Every tenth renderer is masked, with one mask in its group, as cabin walls are.
constexpr int kMaskedEvery = 10;
// The picture drawn into: small, so the figures are the CPU's work more than the rasteriser's.
constexpr int kTargetSize = 64;

struct BenchScene {
    explicit BenchScene(int rendererCount)
    {
        Material material;
        Mesh triangle;
        triangle.vertices.resize(3);
        triangle.vertices[1].position = { 1.0f, 0.0f, 0.0f, 1.0f };
        triangle.vertices[2].position = { 0.0f, 1.0f, 0.0f, 1.0f };
        triangle.indices = { 0, 1, 2 };
        model.meshes.push_back(triangle);
        model.CreateGpuBuffers();
        for (int i = 0; i < rendererCount; ++i) {
            objects.push_back(std::make_unique<GameObject>("renderer"));
            GameObject& object = *objects.back();
            object.transform->position = { static_cast<float>(i % 37), 0.0f, static_cast<float>(i / 37), 1.0f };
            auto* renderer = AddComponent<MeshRenderer>(object, &model, material);
            renderer->Start();
            if (i % kMaskedEvery == 0) {
                renderer->maskGroup = static_cast<std::uint32_t>(i / kMaskedEvery + 1);
                objects.push_back(std::make_unique<GameObject>("mask"));
                auto* mask = AddComponent<MeshRenderer>(*objects.back(), &model, material);
                mask->Start();
                mask->maskOf = renderer->maskGroup;
                GraphicsEngine::GetInstance().RegisterRenderer(mask);
            }
            GraphicsEngine::GetInstance().RegisterRenderer(renderer);
        }
    }

    ~BenchScene()
    {
        GraphicsEngine& engine = GraphicsEngine::GetInstance();
        engine.commandList.Reset();
        engine.renderers.clear();
        engine.maskRenderers.clear();
        Scene::GetInstance().DeleteAllComponents();
    }

    Model model;
    std::vector<std::unique_ptr<GameObject>> objects;
};

void RecordOnly(benchmark::State& state)
{
    BenchScene scene(static_cast<int>(state.range(0)));
    GameCamera camera(true, { 1920.0f, 1080.0f });
    activeCamera = &camera;
    GraphicsEngine& engine = GraphicsEngine::GetInstance();
    for (auto _ : state) {
        engine.commandList.Reset();
        engine.SortRenderers();
        engine.RenderShadows();
        engine.Render<RenderMeshCommand>();
        benchmark::DoNotOptimize(engine.commandList.count);
        // Leave the list executed, as a frame does, so the next Reset only zero-fills.
        engine.commandList.executed = true;
    }
    state.counters["commands"] = static_cast<double>(engine.commandList.count);
    activeCamera = nullptr;
}

void RecordAndExecute(benchmark::State& state)
{
    BenchScene scene(static_cast<int>(state.range(0)));
    GameCamera camera(true, { 1920.0f, 1080.0f });
    activeCamera = &camera;
    for (auto _ : state) {
        GraphicsEngine::GetInstance().RecordFrame();
        glFinish();
    }
    activeCamera = nullptr;
}

BENCHMARK(RecordOnly)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordAndExecute)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (!StartBenchmarkGl(kTargetSize, kTargetSize, "RecordFrameBench"))
        return 1;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
