// fbxrender's cost on the one-million-triangle height field, with no display: the import (what every
// picture pays first) against drawing the imported model into 512 x 512 and 2048 x 2048 pictures
// through the engine's shadow and main passes, read back included. The upload happens once, before
// the draws are timed. Runs from anywhere: it moves to the project root for the shaders.
#include "FbxSdk/BenchFbxFile.h"

#include "Assets/FbxImport.h"
#include "Assets/ModelCache.h"
#include "ModelPicture.h"

#include <OffscreenGl/OffscreenGl.h>
#include <benchmark/benchmark.h>
#include <glad/gl.h>

#include <filesystem>
#include <iostream>
#include <memory>

namespace {

constexpr int kSmallPicture = 512;
constexpr int kLargePicture = 2048;

void ImportOneMillionTriangles(benchmark::State& state)
{
    const std::string& path = fbxbench::File().path;
    for (auto _ : state) {
        ImportedModel model;
        benchmark::DoNotOptimize(ImportModelFile(path, model));
    }
}

ModelStage& Stage()
{
    static ModelStage stage = [] {
        ImportedModel model;
        ImportModelFile(fbxbench::File().path, model);
        return ModelStage(std::move(model), fbxbench::File().path);
    }();
    return stage;
}

void DrawOneMillionTriangles(benchmark::State& state)
{
    ModelStage& stage = Stage();
    const int size = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(stage.Draw(View::Iso, size, true).rgba.data());
}

} // namespace

BENCHMARK(ImportOneMillionTriangles)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(DrawOneMillionTriangles)
    ->Arg(kSmallPicture)
    ->Arg(kLargePicture)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

int main(int argc, char** argv)
{
    std::filesystem::current_path(TARNWICK_PROJECT_ROOT);
    std::string problem;
    const auto context = offscreengl::CreateGl46Context(problem);
    if (context == nullptr) {
        std::cerr << "FbxRenderBench: " << problem << std::endl;
        return 1;
    }
    InitializeFbx();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
