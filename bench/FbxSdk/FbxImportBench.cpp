// Importing a one-million-triangle binary FBX into the engine's model, de-duplication on, against
// assimp doing the comparable work (triangulate, join identical vertices) on the same file, in the
// same run. Each benchmark reports the peak memory its work adds, measured in a forked child, and
// the vertex and triangle counts it produced; at the end the run prints ours over assimp's.
//
// Beside our own file, one as users bring them: a UV sphere of 1024 x 512 segments that Blender
// exports with its default settings (a flat face per polygon, normals by polygon vertex, UVs through
// an index, metres under a node scaled by 100 and turned from z up). It is made by Blender when the
// run starts, in a folder of the run's own (Blender takes minutes over a sphere this fine); without
// Blender those two benchmarks say so and are skipped. For it assimp also makes tangents, as our
// import does for a file without them.
#include "BenchFbxFile.h"

#include "Assets/FbxImport.h"

#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

using fbxbench::File;
using fbxbench::PeakMegabytesOnce;

constexpr const char* kOurs = "ImportWithEngine";
constexpr const char* kAssimp = "ImportWithAssimp";
constexpr const char* kOursBlender = "ImportBlenderSphereWithEngine";
constexpr const char* kAssimpBlender = "ImportBlenderSphereWithAssimp";

// The sphere Blender makes: 1024 segments by 512 rings, triangles at the poles and quads between.
constexpr int kSphereSegments = 1024;
constexpr int kSphereRings = 512;
constexpr std::size_t kSphereTriangles = std::size_t(kSphereSegments) * (kSphereRings - 2) * 2 + 2 * kSphereSegments;

// Blender's script: an empty scene, the sphere, the exporter's defaults.
constexpr const char* kSphereScript = R"(import bpy, sys
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.mesh.primitive_uv_sphere_add(segments=1024, ring_count=512, radius=1)
bpy.ops.export_scene.fbx(filepath=sys.argv[sys.argv.index("--") + 1])
)";

// The Blender sphere's file, made on first use in a folder of this run's own and removed with it;
// empty, with `why` set, when Blender is missing or fails.
class BlenderSphere {
public:
    static const BlenderSphere& Get()
    {
        static const BlenderSphere sphere;
        return sphere;
    }
    ~BlenderSphere()
    {
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
    }
    std::string path;
    std::string why;

private:
    BlenderSphere()
    {
        if (std::system("blender --version > /dev/null 2>&1") != 0) {
            why = "Blender is not installed (apt-get install blender): the Blender sphere is not measured";
            return;
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            why = "no temporary folder for the Blender sphere";
            return;
        }
        folder = pattern;
        const std::string script = (std::filesystem::path(folder) / "sphere.py").string();
        const std::string out = (std::filesystem::path(folder) / "sphere.fbx").string();
        std::ofstream(script) << kSphereScript;
        std::fprintf(stderr, "Blender is making its UV sphere of %d x %d segments (minutes)...\n", kSphereSegments,
            kSphereRings);
        const std::string command = "blender -b --factory-startup --python '" + script + "' -- '" + out
            + "' > /dev/null 2>&1";
        if (std::system(command.c_str()) != 0 || !std::filesystem::exists(out)) {
            why = "Blender could not export the sphere: " + command;
            return;
        }
        path = out;
    }
    std::string folder;
};

// What one import produced, so the two sides can be seen to have done the same work.
struct Produced {
    std::size_t vertices = 0;
    std::size_t triangles = 0;
    std::string error;
};

Produced ImportOurs(const std::string& path)
{
    Produced produced;
    ImportedModel model;
    ImportResult result = ImportFbx(path, model, false, true);
    if (result.status != ImportStatus::Ok && result.status != ImportStatus::OkWithWarnings)
        produced.error = "ImportFbx status " + std::to_string(int(result.status)) + ": " + GetFbxContext().lastError;
    for (const Mesh& mesh : model.meshes) {
        produced.vertices += mesh.vertices.size();
        produced.triangles += mesh.indices.size() / 3;
    }
    benchmark::DoNotOptimize(model.meshes.data());
    return produced;
}

Produced ImportAssimp(const std::string& path, unsigned steps)
{
    Produced produced;
    const aiScene* scene = aiImportFile(path.c_str(), steps);
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
void Measure(benchmark::State& state, const char* name, const std::function<Produced()>& import, std::size_t triangles,
    double fileMegabytes)
{
    // The peak of one import on its own, measured before the first timed run (see PeakMegabytesOnce).
    const double peak = PeakMegabytesOnce(name, [&import] { benchmark::DoNotOptimize(import()); });
    Produced last;
    for (auto _ : state) {
        last = import();
        if (!last.error.empty()) {
            state.SkipWithError(last.error.c_str());
            return;
        }
    }
    if (last.triangles != triangles) {
        std::string message = std::to_string(last.triangles) + " triangles, the file has " + std::to_string(triangles);
        state.SkipWithError(message.c_str());
        return;
    }
    state.counters["peak_MB"] = peak;
    state.counters["vertices"] = double(last.vertices);
    state.counters["triangles"] = double(last.triangles);
    state.counters["file_MB"] = fileMegabytes;
}

double FileMegabytes(const std::string& path)
{
    std::error_code error;
    return double(std::filesystem::file_size(path, error)) / (1024.0 * 1024.0);
}

void ImportWithEngine(benchmark::State& state)
{
    InitializeFbx();
    const std::string path = File().path;
    Measure(
        state, kOurs, [&path] { return ImportOurs(path); }, fbxbench::kTriangles, FileMegabytes(path));
}

void ImportWithAssimp(benchmark::State& state)
{
    const std::string path = File().path;
    Measure(
        state, kAssimp, [&path] { return ImportAssimp(path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices); },
        fbxbench::kTriangles, FileMegabytes(path));
}

// The Blender sphere's path, or an empty one with the benchmark skipped and the reason given.
std::string BlenderSpherePath(benchmark::State& state)
{
    const BlenderSphere& sphere = BlenderSphere::Get();
    if (sphere.path.empty())
        state.SkipWithError(sphere.why.c_str());
    return sphere.path;
}

void ImportBlenderSphereWithEngine(benchmark::State& state)
{
    InitializeFbx();
    const std::string path = BlenderSpherePath(state);
    if (path.empty())
        return;
    Measure(
        state, kOursBlender, [&path] { return ImportOurs(path); }, kSphereTriangles, FileMegabytes(path));
}

void ImportBlenderSphereWithAssimp(benchmark::State& state)
{
    const std::string path = BlenderSpherePath(state);
    if (path.empty())
        return;
    const unsigned steps = aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_CalcTangentSpace;
    Measure(
        state, kAssimpBlender, [&path, steps] { return ImportAssimp(path, steps); }, kSphereTriangles,
        FileMegabytes(path));
}

// The console output, plus ours over assimp's for time and peak memory once both of a pair have run:
// the targets are a time ratio of at most 1/3 and a peak ratio of at most 1/2 for our file, and a CPU
// ratio of at most 0.33 and a peak ratio of at most 0.5 for Blender's sphere.
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
        PrintRatio("our file", kOurs, kAssimp);
        PrintRatio("Blender's sphere", kOursBlender, kAssimpBlender);
    }

private:
    void PrintRatio(const char* what, const char* oursName, const char* theirsName) const
    {
        auto ours = figures.find(oursName), theirs = figures.find(theirsName);
        if (ours == figures.end() || theirs == figures.end())
            return;
        const Figures& a = ours->second;
        const Figures& b = theirs->second;
        // Time is the wall clock, what a user waits. CPU time too, of every thread: it shows the work
        // the helper threads share, and on a shared machine it leaves out the time other processes held a core.
        std::printf("\n%s, ours / assimp: time %.1f ms / %.1f ms = %.3f, CPU %.1f ms / %.1f ms = %.3f, "
                    "peak %.1f MB / %.1f MB = %.3f\n",
            what, a.milliseconds, b.milliseconds, a.milliseconds / b.milliseconds, a.cpuMilliseconds, b.cpuMilliseconds,
            a.cpuMilliseconds / b.cpuMilliseconds, a.peakMegabytes, b.peakMegabytes, a.peakMegabytes / b.peakMegabytes);
    }

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
BENCHMARK(ImportBlenderSphereWithEngine)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(ImportBlenderSphereWithAssimp)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

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
