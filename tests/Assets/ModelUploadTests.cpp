#include "Assets/Model.h"
#include "GlTestContext.h"

#include <gtest/gtest.h>

namespace {

Mesh MakeMesh(int vertexCount, int indexCount)
{
    Mesh mesh;
    mesh.vertices.resize(static_cast<std::size_t>(vertexCount));
    for (int i = 0; i < indexCount; ++i)
        mesh.indices.push_back(static_cast<std::uint32_t>(i % vertexCount));
    return mesh;
}

GLint BufferSize(GLenum target, GLuint buffer)
{
    GLint size = -1;
    glBindBuffer(target, buffer);
    glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
    return size;
}

GLint Attribute(GLuint location, GLenum parameter)
{
    GLint value = -1;
    glGetVertexAttribiv(location, parameter, &value);
    return value;
}

} // namespace

TEST(ModelUpload, OnlyTheFirstMeshIsUploadedWithTheFixedVertexLayout)
{
    Model model;
    model.meshes.push_back(MakeMesh(5, 9));
    model.meshes.push_back(MakeMesh(7, 12));
    model.CreateGpuBuffers();

    ASSERT_TRUE(model.HasGpuBuffers());
    EXPECT_EQ(model.indexCount, 9u);
    EXPECT_EQ(BufferSize(GL_ARRAY_BUFFER, model.vbo), 5 * 180);
    EXPECT_EQ(BufferSize(GL_ELEMENT_ARRAY_BUFFER, model.ebo), 9 * 4);
    EXPECT_EQ(model.meshes.size(), 2u);
    EXPECT_EQ(model.meshes[1].vertices.size(), 7u);

    struct Expected {
        GLuint location;
        GLint components;
        std::uintptr_t offset;
    };
    const Expected layout[] = { { 0, 4, 0 }, { 1, 4, 16 }, { 2, 4, 32 }, { 3, 4, 48 }, { 4, 4, 64 }, { 5, 4, 80 },
        { 6, 4, 96 }, { 7, 3, 112 }, { 8, 3, 124 }, { 9, 3, 136 } };
    glBindVertexArray(model.vao);
    GLint elementBuffer = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBuffer);
    EXPECT_EQ(static_cast<GLuint>(elementBuffer), model.ebo);
    for (const Expected& attribute : layout) {
        SCOPED_TRACE(attribute.location);
        EXPECT_EQ(Attribute(attribute.location, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_TRUE);
        EXPECT_EQ(Attribute(attribute.location, GL_VERTEX_ATTRIB_ARRAY_SIZE), attribute.components);
        EXPECT_EQ(Attribute(attribute.location, GL_VERTEX_ATTRIB_ARRAY_STRIDE), 180);
        EXPECT_EQ(Attribute(attribute.location, GL_VERTEX_ATTRIB_ARRAY_TYPE), GL_FLOAT);
        EXPECT_EQ(Attribute(attribute.location, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED), GL_FALSE);
        EXPECT_EQ(static_cast<GLuint>(Attribute(attribute.location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING)), model.vbo);
        void* pointer = nullptr;
        glGetVertexAttribPointerv(attribute.location, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pointer), attribute.offset);
    }
    // Bone indices and weights have no location.
    EXPECT_EQ(Attribute(10, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE);
    glBindVertexArray(0);
}

TEST(ModelUpload, VertexBytesReachTheBufferUnchanged)
{
    Model model;
    model.meshes.push_back(MakeMesh(2, 3));
    model.meshes[0].vertices[1].normal = { 0.25f, -0.5f, 1.0f };
    model.meshes[0].vertices[1].boneIndices[2] = 42;
    model.CreateGpuBuffers();

    Vertex readBack[2];
    glBindBuffer(GL_ARRAY_BUFFER, model.vbo);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, sizeof readBack, readBack);
    EXPECT_EQ(readBack[1].normal, (Float3 { 0.25f, -0.5f, 1.0f }));
    EXPECT_EQ(readBack[1].boneIndices[2], 42);
}

TEST(ModelUpload, AModelWithoutMeshesGetsNoBuffersAndDrawsNothing)
{
    Model model;
    model.CreateGpuBuffers();
    EXPECT_FALSE(model.HasGpuBuffers());
    EXPECT_EQ(model.vbo, 0u);
    EXPECT_EQ(model.indexCount, 0u);
}
