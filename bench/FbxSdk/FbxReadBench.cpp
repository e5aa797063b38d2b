// Reading a one-million-triangle binary FBX: our importer against merely inflating the file's
// arrays, and against assimp's importer (no post-processing) on the same file. Each benchmark
// also reports the peak memory its work adds, measured in a forked child.
#include "BenchFbxFile.h"

#include <assimp/cimport.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>
#include <fbxsdk.h>
#include <libdeflate.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using fbxbench::BenchFile;
using fbxbench::File;
using fbxbench::ForEachArray;
using fbxbench::PeakMegabytesOnce;

void InflateAll()
{
    const BenchFile& f = File();
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::vector<std::uint8_t> scratch;
    ForEachArray(f.document.root, [&](const fbxio::Value& v) {
        std::size_t size = v.count * v.ElementSize();
        scratch.resize(size);
        if (v.compressed)
            libdeflate_zlib_decompress(d, v.Bytes(), v.ByteSize(), scratch.data(), size, nullptr);
        else
            std::memcpy(scratch.data(), v.Bytes(), size);
        benchmark::DoNotOptimize(scratch.data());
    });
    libdeflate_free_decompressor(d);
}

void ImportOurs()
{
    FbxManager* manager = FbxManager::Create();
    FbxImporter* importer = FbxImporter::Create(manager, "");
    FbxScene* scene = FbxScene::Create(manager, "The Scene");
    bool ok = importer->Initialize(File().path.c_str(), -1, nullptr) && importer->Import(scene, false);
    if (!ok)
        std::fprintf(stderr, "import failed: %s\n", importer->GetStatus().GetErrorString());
    benchmark::DoNotOptimize(scene->GetGeometryCount());
    manager->Destroy();
}

void ImportAssimp()
{
    const aiScene* scene = aiImportFile(File().path.c_str(), 0);
    if (!scene)
        std::fprintf(stderr, "assimp failed: %s\n", aiGetErrorString());
    benchmark::DoNotOptimize(scene);
    aiReleaseImport(scene);
}

// The peak of `work` on its own is measured before the first timed run (see PeakMegabytesOnce).
void Report(benchmark::State& state, double peak)
{
    state.counters["peak_MB"] = peak;
    state.counters["arrays_MB"] = File().arrayBytes / (1024.0 * 1024.0);
    state.counters["file_MB"] = File().bytes.size() / (1024.0 * 1024.0);
}

void InflateArraysOnly(benchmark::State& state)
{
    File();
    const double peak = PeakMegabytesOnce("InflateArraysOnly", InflateAll);
    for (auto _ : state)
        InflateAll();
    Report(state, peak);
}

void ReadWithOurImporter(benchmark::State& state)
{
    File();
    const double peak = PeakMegabytesOnce("ReadWithOurImporter", ImportOurs);
    for (auto _ : state)
        ImportOurs();
    Report(state, peak);
}

void ReadWithAssimp(benchmark::State& state)
{
    File();
    const double peak = PeakMegabytesOnce("ReadWithAssimp", ImportAssimp);
    for (auto _ : state)
        ImportAssimp();
    Report(state, peak);
}

} // namespace

// Our importer inflates a large mesh's arrays on several threads: CPU time is the whole process's,
// and the time shown is the wall clock.
BENCHMARK(InflateArraysOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(ReadWithOurImporter)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(ReadWithAssimp)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();
