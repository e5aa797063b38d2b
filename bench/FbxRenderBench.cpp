// fbxrender's cost on the one-million-triangle height field, with no display: the import (what every
// picture pays first) against drawing the imported model into 512 x 512 and 2048 x 2048 pictures
// through the engine's shadow and main passes, read back included (the upload happens once, before the
// draws are timed); and whole runs as users see them: an fbxrender process against an
// `fbxinfo FILE --import` process, the two run in turn so that both meet the same machine, with
// fbxrender's wall and CPU time over fbxinfo's. Runs from anywhere: it moves to the project root for
// the shaders. The child processes inherit the environment (the Mesa overrides on llvmpipe).
#include "FbxSdk/BenchFbxFile.h"

#include "Assets/FbxImport.h"
#include "Assets/ModelCache.h"
#include "ModelPicture.h"

#include <OffscreenGl/OffscreenGl.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <glad/gl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

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
    static ModelStage stage;
    static const bool shown = [] {
        ImportedModel model;
        ImportModelFile(fbxbench::File().path, model);
        stage.Show(std::move(model), fbxbench::File().path);
        return true;
    }();
    (void)shown;
    return stage;
}

void DrawOneMillionTriangles(benchmark::State& state)
{
    ModelStage& stage = Stage();
    const int size = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(stage.Draw(View::Iso, size, true).rgba.data());
}

struct ProcessCost {
    double wallSeconds = 0.0;
    // User and system time of the process and its threads.
    double cpuSeconds = 0.0;
};

double Seconds(const timeval& time)
{
    return double(time.tv_sec) + double(time.tv_usec) * 1e-6;
}

// Runs `arguments` (a program's path first) with its output going to `log`, and measures it.
ProcessCost RunProcess(std::vector<std::string> arguments, const std::string& log)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (output >= 0) {
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    ProcessCost cost;
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        cost.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cost.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    }
    return cost;
}

void WholeRunAgainstImportAlone(benchmark::State& state)
{
    const std::string& model = fbxbench::File().path;
    char folderTemplate[] = "/tmp/fbxrender-bench-XXXXXX";
    const char* folder = mkdtemp(folderTemplate);
    if (folder == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string picture = std::string(folder) + "/picture.png", log = std::string(folder) + "/log";
    ProcessCost info, render;
    for (auto _ : state) {
        const ProcessCost importing = RunProcess({ FBXINFO_PATH, model, "--import" }, log);
        const ProcessCost drawing = RunProcess(
            { FBXRENDER_PATH, model, picture, "--size", std::to_string(state.range(0)) }, log);
        state.SetIterationTime(drawing.wallSeconds);
        info.wallSeconds += importing.wallSeconds;
        info.cpuSeconds += importing.cpuSeconds;
        render.wallSeconds += drawing.wallSeconds;
        render.cpuSeconds += drawing.cpuSeconds;
    }
    std::filesystem::remove_all(folder);
    const double runs = double(state.iterations());
    state.counters["fbxinfo_ms"] = 1e3 * info.wallSeconds / runs;
    state.counters["fbxinfo_cpu_ms"] = 1e3 * info.cpuSeconds / runs;
    state.counters["fbxrender_cpu_ms"] = 1e3 * render.cpuSeconds / runs;
    state.counters["wall_ratio"] = render.wallSeconds / info.wallSeconds;
    state.counters["cpu_ratio"] = render.cpuSeconds / info.cpuSeconds;
}

} // namespace

BENCHMARK(WholeRunAgainstImportAlone)
    ->Arg(kSmallPicture)
    ->Arg(kLargePicture)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseManualTime();
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
