#pragma once
// What the FBX benchmarks share: the one-million-triangle binary file they all read, and the peak
// memory of one piece of work measured in a forked child.
//
// The file is a 708 x 708 height field written with our writer: normals by polygon vertex, UVs
// index-to-direct. Every corner of a control point carries that point's normal and UV, so a reader
// that merges equal vertices ends with one vertex per control point.
#include "fbxio/FbxReader.h"
#include "fbxio/FbxSceneWriter.h"

#include <malloc.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fbxbench {

constexpr int kGrid = 708; // 707 x 707 quads, two triangles each: 999,698 triangles
constexpr std::size_t kControlPoints = std::size_t(kGrid) * kGrid;
constexpr std::size_t kTriangles = std::size_t(kGrid - 1) * (kGrid - 1) * 2;

struct BenchFile {
    std::string path;
    std::vector<std::uint8_t> bytes;
    fbxio::Document document;
    std::size_t arrayBytes = 0; // inflated size of all arrays
};

inline void ForEachArray(const fbxio::Element& e, const std::function<void(const fbxio::Value&)>& f)
{
    for (const fbxio::Value& v : e.values)
        if (v.IsArray())
            f(v);
    for (const fbxio::Element& child : e.children)
        ForEachArray(child, f);
}

// Written once per process, on first use, so the time to build it stays out of every measurement.
inline const BenchFile& File()
{
    static BenchFile file = [] {
        BenchFile f;
        fbxio::MeshData mesh;
        fbxio::LayerElement normals, uv;
        normals.mapping = fbxio::Mapping::ByPolygonVertex;
        uv.kind = fbxio::LayerKind::UV;
        uv.reference = fbxio::Reference::IndexToDirect;
        for (int y = 0; y < kGrid; ++y)
            for (int x = 0; x < kGrid; ++x) {
                double h = 0.25 * std::sin(x * 0.05) * std::cos(y * 0.07);
                mesh.points.insert(mesh.points.end(), { double(x), double(y), h });
                uv.values.insert(uv.values.end(), { x / double(kGrid), y / double(kGrid) });
            }
        for (int y = 0; y + 1 < kGrid; ++y)
            for (int x = 0; x + 1 < kGrid; ++x) {
                int a = y * kGrid + x, b = a + 1, c = a + kGrid + 1, d = a + kGrid;
                for (auto tri : { std::array<int, 3> { a, b, c }, std::array<int, 3> { a, c, d } }) {
                    mesh.polygons.push_back({ tri[0], tri[1], tri[2] });
                    for (int v : tri) {
                        double nx = std::sin(v * 0.001), ny = std::cos(v * 0.001);
                        normals.values.insert(normals.values.end(), { nx * 0.1, ny * 0.1, 0.99 });
                        uv.indices.push_back(v);
                    }
                }
            }
        mesh.layers = { normals, uv };
        fbxio::SceneWriter writer;
        writer.AddMesh("Terrain", std::move(mesh));
        f.bytes = writer.ToBinary(7400, true);
        f.path = "/tmp/tarnwick_bench_1m_triangles.fbx";
        std::ofstream(f.path, std::ios::binary)
            .write(reinterpret_cast<const char*>(f.bytes.data()), std::streamsize(f.bytes.size()));
        std::string error;
        fbxio::ReadBinary(f.bytes.data(), f.bytes.size(), f.document, error);
        ForEachArray(f.document.root, [&](const fbxio::Value& v) { f.arrayBytes += v.count * v.ElementSize(); });
        return f;
    }();
    return file;
}

// Peak resident memory added by `work`, run once in a forked child.
inline double PeakMegabytes(const std::function<void()>& work)
{
    int channel[2];
    if (pipe(channel) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        auto field = [](const char* name) {
            std::ifstream status("/proc/self/status");
            std::string line;
            while (std::getline(status, line))
                if (line.rfind(name, 0) == 0)
                    return std::atol(line.c_str() + std::strlen(name));
            return 0L;
        };
        // Hand freed heap back first, so the work cannot hide in memory the parent left resident.
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5"; // resets the peak to the current size
        long before = field("VmRSS:");
        work();
        long peak = field("VmHWM:");
        double megabytes = (peak - before) / 1024.0;
        ssize_t written = write(channel[1], &megabytes, sizeof megabytes);
        _exit(written == sizeof megabytes ? 0 : 1);
    }
    double megabytes = -1;
    if (read(channel[0], &megabytes, sizeof megabytes) != sizeof megabytes)
        megabytes = -1;
    waitpid(child, nullptr, 0);
    close(channel[0]);
    close(channel[1]);
    return megabytes;
}

// PeakMegabytes(work) for the benchmark named `name`, measured the first time it is asked for in
// this process and remembered. Ask before the benchmark's first timed run: a fork write-protects
// every page of the parent, and the first write to each page after it costs a fault and a TLB flush
// on every core the process ran on, which would charge the timed runs that follow a fork (above all
// those of work that reuses its memory, as our reader's kept blocks do) for the benchmark's own fork.
inline double PeakMegabytesOnce(const std::string& name, const std::function<void()>& work)
{
    static std::map<std::string, double> peaks;
    auto known = peaks.find(name);
    if (known == peaks.end())
        known = peaks.emplace(name, PeakMegabytes(work)).first;
    return known->second;
}

} // namespace fbxbench
