// Frame cost as balls pile up: the demo scene with 0, 100 and 300 balls at rest on the floor, one
// whole frame each iteration (physics step, the two component passes, recording and executing both
// passes), as the frame loop runs it. Drawn into a small picture, so the figure tracks the engine's
// work per ball more than the software rasteriser's fill rate.
#include "App/WorldStep.h"
#include "Application/BallThrower.h"
#include "Application/DemoScene.h"
#include "Assets/FbxImport.h"
#include "Assets/ModelCache.h"
#include "Core/Time.h"
#include "Graphics/GraphicsEngine.h"
#include "Physics/PhysicsEngine.h"
#include "Scene/InspectorCamera.h"
#include "Scene/Scene.h"

#include "BenchGlContext.h"
#include <benchmark/benchmark.h>

namespace {

constexpr int kTargetWidth = 640;
constexpr int kTargetHeight = 360;
constexpr float kFrame = 1.0f / 60.0f;
// Balls rest in rows on the floor in front of the cabin, far enough apart not to touch.
constexpr int kBallsPerRow = 20;
constexpr float kBallSpacing = 12.0f;
// The floor's top face, where the balls rest.
constexpr float kFloorTop = -2.5f;

InspectorCamera* camera = nullptr;
int ballCount = 0;

void RunFrame()
{
    Time::GetInstance().deltaTime = kFrame;
    StepWorld(kFrame, nullptr);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    GraphicsEngine::GetInstance().RecordFrame();
    firstFrame = false;
}

// A ball as a throw makes one, placed on the floor and at rest.
void PlaceBall()
{
    float x = -114.0f + (ballCount % kBallsPerRow) * kBallSpacing;
    float z = 60.0f + (ballCount / kBallsPerRow) * kBallSpacing;
    MakeBall(*camera, { x, kFloorTop + kBallRadius, z });
    ++ballCount;
}

void FrameWithBalls(benchmark::State& state)
{
    while (ballCount < state.range(0))
        PlaceBall();
    // Let the new balls settle before measuring.
    for (int i = 0; i < 30; ++i)
        RunFrame();
    for (auto _ : state) {
        RunFrame();
        glFinish();
    }
    state.counters["balls"] = ballCount;
}

BENCHMARK(FrameWithBalls)->Arg(0)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv)
{
    if (!StartBenchmarkGl(kTargetWidth, kTargetHeight, "BallFrameBench"))
        return 1;

    // Start-up as Application::Init and Run do it, looking at the cabin and the balls from outside.
    InitializeFbx();
    PhysicsEngine::GetInstance().Initialize();
    BuildDemoScene();
    PhysicsEngine::GetInstance().CreateScene(Scene::GetInstance());
    camera = new InspectorCamera({ 1920.0f, 1080.0f });
    camera->position = { 0.0f, 60.0f, 250.0f, 1.0f };
    camera->yaw = 180.0f;
    camera->pitch = -15.0f;
    camera->GameCamera::Update(0.0f);
    activeCamera = camera;
    SetFixedGlState();
    Scene::GetInstance().StartAll();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
