#pragma once
// The engine's model data and its upload to OpenGL buffers.
//
// Models are created and owned by the model cache and live until the program ends; callers keep
// plain pointers. Upload and drawing happen on the main thread with the GL context current.

#include "Math/Vector.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One interleaved vertex, copied byte for byte into the GPU vertex buffer: the offsets are binding
// (the attribute table of CreateGpuBuffers and the GLSL inputs rely on them). Fields the source file
// does not supply are zero.
struct Vertex {
    Float4 position;
    Float4 color0;
    Float4 color1;
    Float4 color2;
    Float4 color3;
    Float2 uv0; // (u, 1 - v)
    Float2 uv1;
    Float2 uv2;
    Float2 uv3;
    Float3 normal;
    Float3 tangent;
    Float3 binormal;
    std::int32_t boneIndices[4] = {};
    float boneWeights[4] = {};
};

static_assert(sizeof(Vertex) == 180, "a vertex is 180 bytes in the GPU buffer");
static_assert(offsetof(Vertex, position) == 0);
static_assert(offsetof(Vertex, color0) == 16);
static_assert(offsetof(Vertex, color1) == 32);
static_assert(offsetof(Vertex, color2) == 48);
static_assert(offsetof(Vertex, color3) == 64);
static_assert(offsetof(Vertex, uv0) == 80);
static_assert(offsetof(Vertex, uv1) == 88);
static_assert(offsetof(Vertex, uv2) == 96);
static_assert(offsetof(Vertex, uv3) == 104);
static_assert(offsetof(Vertex, normal) == 112);
static_assert(offsetof(Vertex, tangent) == 124);
static_assert(offsetof(Vertex, binormal) == 136);
static_assert(offsetof(Vertex, boneIndices) == 148);
static_assert(offsetof(Vertex, boneWeights) == 164);

struct BoundingBox {
    Float3 min;
    Float3 max;
    bool valid = false;
};

// Grows `box` to hold `point`; an empty box becomes the point.
void Include(BoundingBox& box, const Float3& point);
// Grows `box` to hold `other`, when that is not empty.
void Include(BoundingBox& box, const BoundingBox& other);

struct Extents {
    Float3 halfSize;
    Float3 centre;
    // The largest of the three half sizes.
    float radius = 0.0f;
};

// One drawable piece of a model.
struct Mesh {
    std::vector<Vertex> vertices;
    // Three per triangle, into this mesh's own vertices, in the order the corners were read.
    std::vector<std::uint32_t> indices;
    // Index into the imported file's material list.
    std::int32_t materialIndex = 0;
    std::string name;
    Extents extents;
    BoundingBox box;
};

class Model {
public:
    // Builds the vertex buffer, index buffer and vertex array of meshes[0] and sets indexCount; the
    // other meshes stay in memory only (the mesh collider uses all of them). A model without meshes
    // gets no GL objects and draws nothing. Main thread, GL context current; called once.
    void CreateGpuBuffers();

    // Whether the model has GL buffers to draw.
    bool HasGpuBuffers() const { return vao != 0; }

    std::vector<Mesh> meshes;
    std::uint32_t vao = 0;
    std::uint32_t vbo = 0;
    std::uint32_t ebo = 0;
    std::uint32_t indexCount = 0;
};
