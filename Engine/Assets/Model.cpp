#include "Assets/Model.h"

#include <algorithm>

#include <glad/gl.h>

namespace {

struct VertexAttribute {
    GLuint location;
    GLint components;
    std::size_t offset;
};

constexpr GLsizei kVertexStride = sizeof(Vertex);

// Locations 5 and 6 carry two UV sets each (x, y and z, w). Bone indices and weights have no location.
constexpr VertexAttribute kVertexAttributes[] = {
    { 0, 4, offsetof(Vertex, position) },
    { 1, 4, offsetof(Vertex, color0) },
    { 2, 4, offsetof(Vertex, color1) },
    { 3, 4, offsetof(Vertex, color2) },
    { 4, 4, offsetof(Vertex, color3) },
    { 5, 4, offsetof(Vertex, uv0) },
    { 6, 4, offsetof(Vertex, uv2) },
    { 7, 3, offsetof(Vertex, normal) },
    { 8, 3, offsetof(Vertex, tangent) },
    { 9, 3, offsetof(Vertex, binormal) },
};

} // namespace

void Model::CreateGpuBuffers()
{
    if (meshes.empty())
        return;
    const Mesh& mesh = meshes[0];

    indexCount = static_cast<std::uint32_t>(mesh.indices.size());
    glGenBuffers(1, &vbo);
    glGenBuffers(1, &ebo);

    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.vertices.size() * sizeof(Vertex)), mesh.vertices.data(),
        GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indexCount * sizeof(std::uint32_t)),
        mesh.indices.data(), GL_STATIC_DRAW);

    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    for (const VertexAttribute& attribute : kVertexAttributes) {
        glVertexAttribPointer(attribute.location, attribute.components, GL_FLOAT, GL_FALSE, kVertexStride,
            reinterpret_cast<const void*>(attribute.offset));
        glEnableVertexAttribArray(attribute.location);
    }
    glBindVertexArray(0);
}

void Include(BoundingBox& box, const Float3& point)
{
    box.min = box.valid
        ? Float3 { std::min(box.min.x, point.x), std::min(box.min.y, point.y), std::min(box.min.z, point.z) }
        : point;
    box.max = box.valid
        ? Float3 { std::max(box.max.x, point.x), std::max(box.max.y, point.y), std::max(box.max.z, point.z) }
        : point;
    box.valid = true;
}

void Include(BoundingBox& box, const BoundingBox& other)
{
    if (!other.valid)
        return;
    Include(box, other.min);
    Include(box, other.max);
}
