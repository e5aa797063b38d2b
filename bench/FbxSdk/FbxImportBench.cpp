// Importing a one-million-triangle binary FBX into the engine's model, de-duplication on, against
// assimp doing the comparable work (triangulate, join identical vertices) on the same file, in the
// same run. Each benchmark reports the peak memory its work adds, measured in a forked child, and
// the vertex and triangle counts it produced; at the end the run prints ours over assimp's.
#include "BenchFbxFile.h"

#include "Assets/FbxImport.h"

#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

namespace {

using fbxbench::File;
using fbxbench::PeakMegabytesOnce;

constexpr const char* kOurs = "ImportWithEngine";
constexpr const char* kAssimp = "ImportWithAssimp";

// What one import produced, so the two sides can be seen to have done the same work.
struct Produced {
    std::size_t vertices = 0;
    std::size_t triangles = 0;
    std::string error;
};

Produced ImportOurs()
{
    Produced produced;
    ImportedModel model;
    ImportResult result = ImportFbx(File().path, model, false, true);
    if (result.status != ImportStatus::Ok && result.status != ImportStatus::OkWithWarnings)
        produced.error = "ImportFbx status " + std::to_string(int(result.status)) + ": " + GetFbxContext().lastError;
    for (const Mesh& mesh : model.meshes) {
        produced.vertices += mesh.vertices.size();
        produced.triangles += mesh.indices.size() / 3;
    }
    benchmark::DoNotOptimize(model.meshes.data());
    return produced;
}

Produced ImportAssimp()
{
    Produced produced;
    const aiScene* scene = aiImportFile(File().path.c_str(), aiProcess_Triangulate | aiProcess_JoinIdenticalVertices);
    if (scene == nullptr) {
        produced.error = std::string("aiImportFile: ") + aiGetErrorString();
        return produced;
    }
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        produced.vertices += scene->mMeshes[i]->mNumVertices;
        produced.triangles += scene->mMeshes[i]->mNumFaces;
    }
    benchmark::DoNotOptimize(scene);
    aiReleaseImport(scene);
    return produced;
}

// Times `import`. A run that fails, or that does not give back every triangle of the file, is
// reported as an error rather than as a figure.
void Measure(benchmark::State& state, const char* name, Produced (*import)())
{
    File();
    // The peak of one import on its own, measured before the first timed run (see PeakMegabytesOnce).
    const double peak = PeakMegabytesOnce(name, [import] { benchmark::DoNotOptimize(import()); });
    Produced last;
    for (auto _ : state) {
        last = import();
        if (!last.error.empty()) {
            state.SkipWithError(last.error.c_str());
            return;
        }
    }
    if (last.triangles != fbxbench::kTriangles) {
        std::string message = std::to_string(last.triangles) + " triangles, the file has "
            + std::to_string(fbxbench::kTriangles);
        state.SkipWithError(message.c_str());
        return;
    }
    state.counters["peak_MB"] = peak;
    state.counters["vertices"] = double(last.vertices);
    state.counters["triangles"] = double(last.triangles);
    state.counters["file_MB"] = File().bytes.size() / (1024.0 * 1024.0);
}

void ImportWithEngine(benchmark::State& state)
{
    InitializeFbx();
    Measure(state, kOurs, ImportOurs);
}

void ImportWithAssimp(benchmark::State& state)
{
    Measure(state, kAssimp, ImportAssimp);
}

// The console output, plus ours over assimp's for time and peak memory once both have run: the
// target is a time ratio of at most 1/3 and a peak ratio of at most 1/2.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so a saved run reads as plain text.
    RatioReporter()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            auto peak = run.counters.find("peak_MB");
            if (peak == run.counters.end())
                continue;
            // With repetitions the fastest one stands for the benchmark; the peak is the same work each time.
            Figures& f = figures[run.run_name.function_name];
            f.milliseconds = std::min(f.milliseconds, ToMilliseconds(run, run.GetAdjustedRealTime()));
            f.cpuMilliseconds = std::min(f.cpuMilliseconds, ToMilliseconds(run, run.GetAdjustedCPUTime()));
            f.peakMegabytes = peak->second.value;
        }
    }

    void PrintRatios() const
    {
        auto ours = figures.find(kOurs), theirs = figures.find(kAssimp);
        if (ours == figures.end() || theirs == figures.end())
            return;
        const Figures& a = ours->second;
        const Figures& b = theirs->second;
        // Time is the wall clock, what a user waits. CPU time too, of every thread: it shows the work
        // the helper threads share, and on a shared machine it leaves out the time other processes held a core.
        std::printf("\nours / assimp: time %.1f ms / %.1f ms = %.3f, CPU %.1f ms / %.1f ms = %.3f, "
                    "peak %.1f MB / %.1f MB = %.3f\n",
            a.milliseconds, b.milliseconds, a.milliseconds / b.milliseconds, a.cpuMilliseconds, b.cpuMilliseconds,
            a.cpuMilliseconds / b.cpuMilliseconds, a.peakMegabytes, b.peakMegabytes, a.peakMegabytes / b.peakMegabytes);
    }

private:
    struct Figures {
        double milliseconds = 1e300;
        double cpuMilliseconds = 1e300;
        double peakMegabytes = 0;
    };

    // `time` is in the run's own unit.
    static double ToMilliseconds(const Run& run, double time)
    {
        return time * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond)
            / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }

    std::map<std::string, Figures> figures;
};

} // namespace

// The import uses helper threads, so CPU time is the whole process's, not the calling thread's.
BENCHMARK(ImportWithEngine)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(ImportWithAssimp)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
