#include "GlTestContext.h"
#include "Graphics/Material.h"
#include "Graphics/Shader.h"
#include "Math/Matrix4x4.h"
#include "Math/Rotation.h"
#include "Scene/GameCamera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string ShaderLog(GLuint shader)
{
    char log[2048] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    return log;
}

std::string ProgramLog(GLuint program)
{
    char log[2048] = {};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    return log;
}

Matrix4x4 UniformMatrix(GLuint program, const char* name)
{
    Matrix4x4 m;
    glGetUniformfv(program, glGetUniformLocation(program, name), &m.m[0][0]);
    return m;
}

void LoadDefaultTextures(Material& material)
{
    LoadTexture("Assets/Textures/T_Default_C.png", material.textures[0]);
    LoadTexture("Assets/Textures/T_Default_N.png", material.textures[1]);
    for (int slot = 2; slot < Material::kTextureSlots; ++slot)
        LoadTexture("Assets/Textures/T_Default_M.png", material.textures[slot]);
}

void SetMatrix(GLuint program, const char* name, const Matrix4x4& matrix)
{
    glUniformMatrix4fv(glGetUniformLocation(program, name), 1, GL_FALSE, matrix.Data());
}

// A quad from (-1, -1) to (1, 1) in the object's x-y plane, as the GPU takes vertices: position at
// location 0 (w = 1) and a +z normal at location 7, nothing else.
class UnitQuad {
public:
    UnitQuad()
    {
        const float vertices[] = { -1, -1, 0, 1, 1, -1, 0, 1, 1, 1, 0, 1, -1, 1, 0, 1 };
        const unsigned indices[] = { 0, 1, 2, 0, 2, 3 };
        glGenVertexArrays(1, &vao);
        glBindVertexArray(vao);
        glGenBuffers(1, &vbo);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 16, nullptr);
        glEnableVertexAttribArray(0);
        glVertexAttrib3f(7, 0.0f, 0.0f, 1.0f);
        glGenBuffers(1, &ebo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
        glBindVertexArray(0);
    }
    ~UnitQuad()
    {
        glDeleteBuffers(1, &vbo);
        glDeleteBuffers(1, &ebo);
        glDeleteVertexArrays(1, &vao);
    }
    void Draw() const
    {
        glBindVertexArray(vao);
        glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr);
        glBindVertexArray(0);
    }

private:
    GLuint vao = 0;
    GLuint vbo = 0;
    GLuint ebo = 0;
};

bool IsDrawn(const std::vector<std::uint8_t>& pixel)
{
    return pixel[0] > 40 && pixel[1] < 10 && pixel[2] < 10;
}

bool IsCleared(const std::vector<std::uint8_t>& pixel)
{
    return pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
}

} // namespace

TEST(CompileShader, AFileThatCannotBeReadIsNamedOnceAndLeavesTheCreatedShader)
{
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path / "folder.glsl");
    const std::pair<std::string, std::string> unreadable[] = {
        { "Assets/Shaders/NoSuchShader.glsl", "not found" },
        { (folder.path / "folder.glsl").string(), "cannot be read: it is not a regular file" },
    };
    for (const auto& [path, problem] : unreadable) {
        SCOPED_TRACE(path);
        GLuint id = 0;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(CompileShader(path.c_str(), id, GL_VERTEX_SHADER));
        EXPECT_FALSE(CompileShader(path.c_str(), id, GL_VERTEX_SHADER));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), path + ": " + problem + "; its stage is left uncompiled\n");
        EXPECT_NE(id, 0u);
        EXPECT_TRUE(glIsShader(id));
        GLint sourceLength = -1;
        glGetShaderiv(id, GL_SHADER_SOURCE_LENGTH, &sourceLength);
        EXPECT_EQ(sourceLength, 0);
    }
}

TEST(CompileShader, AnUnknownStageCreatesNothingAndPrintsNothing)
{
    ScratchFolder folder;
    WriteFile(folder.path / "compute.glsl", "#version 460 core\nlayout(local_size_x = 1) in;\nvoid main() {}\n");
    GLuint id = 12345;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(CompileShader((folder.path / "compute.glsl").c_str(), id, GL_COMPUTE_SHADER));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(id, 12345u);
    while (glGetError() != GL_NO_ERROR) {}
}

TEST(CompileShader, ACompileErrorPrintsTheStageMessageAndTheLog)
{
    ScratchFolder folder;
    WriteFile(folder.path / "broken.glsl", "#version 460 core\nvoid main() { gl_Position = undeclared; }\n");
    GLuint id = 0;
    const std::string path = (folder.path / "broken.glsl").string();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(CompileShader(path.c_str(), id, GL_VERTEX_SHADER));
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        path + ": does not compile as a vertex shader; its compiler log follows\n");
    std::string log = ShaderLog(id);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(printed, "ERROR::SHADER::VERTEX::COMPILATION_FAILED\n" + log.substr(0, 511) + "\n");

    // The same file as the same stage again (every material compiles it): said once only.
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(CompileShader(path.c_str(), id, GL_VERTEX_SHADER));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(CompileShader(path.c_str(), id, GL_FRAGMENT_SHADER));
    EXPECT_EQ(
        testing::internal::GetCapturedStdout().rfind("ERROR::SHADER::FRAGMENT/PIXEL::COMPILATION_FAILED\n", 0), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        path + ": does not compile as a fragment shader; its compiler log follows\n");
}

TEST(LinkProgram, StagesThatCompileButDoNotLinkAreNamedOnceWithTheLinkersLog)
{
    ScratchFolder folder;
    const std::string vertex = (folder.path / "vertex.glsl").string();
    const std::string fragment = (folder.path / "fragment.glsl").string();
    WriteFile(vertex, "#version 460 core\nvoid main() { gl_Position = vec4(0.0); }\n");
    // No main: it compiles, and the program cannot link.
    WriteFile(fragment, "#version 460 core\nout vec4 colour;\n");
    GLuint vertexShader = 0, fragmentShader = 0;
    ASSERT_TRUE(CompileShader(vertex.c_str(), vertexShader, GL_VERTEX_SHADER));
    ASSERT_TRUE(CompileShader(fragment.c_str(), fragmentShader, GL_FRAGMENT_SHADER));
    auto program = [&] {
        const GLuint p = glCreateProgram();
        glAttachShader(p, fragmentShader);
        glAttachShader(p, vertexShader);
        return p;
    };

    const GLuint first = program();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LinkProgram(first, fragment.c_str(), vertex.c_str(), true));
    EXPECT_FALSE(ProgramLinked(first));
    const std::string log = ProgramLog(first);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        fragment + " and " + vertex
            + ": do not link into a program, so nothing drawn with them is seen; the linker's log follows\n"
              "ERROR::SHADER::PROGRAM::LINKING_FAILED\n"
            + log.substr(0, 511) + "\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // Every material links the same files: said once. A stage that did not compile has been said
    // already.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LinkProgram(program(), fragment.c_str(), vertex.c_str(), true));
    EXPECT_FALSE(LinkProgram(program(), "other.glsl", vertex.c_str(), false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    WriteFile(fragment, "#version 460 core\nout vec4 colour;\nvoid main() { colour = vec4(1.0); }\n");
    ASSERT_TRUE(CompileShader(fragment.c_str(), fragmentShader, GL_FRAGMENT_SHADER));
    EXPECT_TRUE(LinkProgram(program(), fragment.c_str(), vertex.c_str(), true));
}

TEST(Shaders, TheDefaultShadersCompileAndLinkWithoutWarnings)
{
    testing::internal::CaptureStdout();
    Material material;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    for (GLuint shader : { material.fragmentShader.id, material.vertexShader.id }) {
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        EXPECT_EQ(ok, GL_TRUE);
        EXPECT_EQ(ShaderLog(shader), "");
    }
    GLint linked = 0;
    glGetProgramiv(material.program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    EXPECT_EQ(ProgramLog(material.program), "");

    // Every sampler points at its own unit, and the whole uniform interface is declared.
    const char* samplers[] = { "material.diffuse", "material.normalTexture", "material.ambientOcculusionTexture",
        "material.roughnessTexture", "material.metallicTexture" };
    for (int unit = 0; unit < 5; ++unit) {
        GLint value = -1;
        GLint location = glGetUniformLocation(material.program, samplers[unit]);
        glGetUniformiv(material.program, location, &value);
        EXPECT_EQ(value, unit) << samplers[unit];
    }
    for (const char* name : { "projectionMatrix", "invViewMatrix", "viewPos", "lightSpaceMatrix",
             "objectBuffer.OB_matrix", "objectBuffer.OB_matrixNoScale", "material.albedo", "material.specularStrength",
             "material.shininess", "shadowMap", "light.intensity", "light.lightColor", "light.lightDir" })
        EXPECT_NE(glGetUniformLocation(material.program, name), -1) << name;
}

TEST(Shaders, TwoMaterialsOwnTwoProgramsAndBothReceiveBroadcasts)
{
    std::size_t before = MaterialRegistry.size();
    Material first;
    Material second;
    EXPECT_NE(first.program, second.program);
    ASSERT_EQ(MaterialRegistry.size(), before + 2);
    EXPECT_EQ(MaterialRegistry[before], &first);
    EXPECT_EQ(MaterialRegistry[before + 1], &second);

    Matrix4x4 m = EulerRotationMatrix(0.1f, 0.2f, 0.3f);
    m.m[3][0] = 7.0f;
    SetGlobalMatrix("projectionMatrix", m.Data());
    EXPECT_EQ(UniformMatrix(first.program, "projectionMatrix"), m);
    EXPECT_EQ(UniformMatrix(second.program, "projectionMatrix"), m);

    GameCamera camera(true, { 1920.0f, 1080.0f });
    camera.position = { 1.0f, 2.0f, 3.0f, 1.0f };
    camera.yaw = 30.0f;
    camera.Update(0.0f);
    UploadCameraUniforms(camera);
    for (GLuint program : { first.program, second.program }) {
        EXPECT_EQ(UniformMatrix(program, "projectionMatrix"), camera.projection);
        EXPECT_EQ(UniformMatrix(program, "invViewMatrix"), camera.invViewMatrix);
        float viewPos[3] = {};
        glGetUniformfv(program, glGetUniformLocation(program, "viewPos"), viewPos);
        EXPECT_EQ(viewPos[2], 3.0f);
    }

    // A copy draws with the same program but is not registered; a destroyed material leaves.
    {
        Material copy = first;
        EXPECT_EQ(copy.program, first.program);
        EXPECT_EQ(MaterialRegistry.size(), before + 2);
        Material third;
        EXPECT_EQ(MaterialRegistry.size(), before + 3);
    }
    EXPECT_EQ(MaterialRegistry.size(), before + 2);
    EXPECT_EQ(std::count(MaterialRegistry.begin(), MaterialRegistry.end(), &first), 1);
}

TEST(Shaders, ObjectMatricesPlaceAQuadWhereTheRowVectorConventionSays)
{
    TestFramebuffer target(64, 64);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_BLEND);
    Material material;
    LoadDefaultTextures(material);
    material.Bind();
    const GLuint p = material.program;
    glUniform4f(glGetUniformLocation(p, "material.albedo"), 1.0f, 0.0f, 0.0f, 1.0f);
    UnitQuad quad;

    // Scale by a quarter, then move right and up by half: with row vectors the translation sits in the
    // fourth row; if the shaders read the matrices the other way round, nothing lands here.
    Matrix4x4 world = Matrix4x4::Identity();
    world.m[0][0] = world.m[1][1] = 0.25f;
    world.m[3][0] = 0.5f;
    world.m[3][1] = 0.5f;
    world.m[3][2] = 0.5f;
    SetMatrix(p, "objectBuffer.OB_matrix", world);
    SetMatrix(p, "objectBuffer.OB_matrixNoScale", Matrix4x4::Identity());
    SetMatrix(p, "invViewMatrix", Matrix4x4::Identity());
    SetMatrix(p, "projectionMatrix", Matrix4x4::Identity());
    SetMatrix(p, "lightSpaceMatrix", Matrix4x4::Identity());
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    quad.Draw();

    // Clip x and y from 0.25 to 0.75: pixels 40 to 56 of 64.
    EXPECT_TRUE(IsDrawn(target.Pixel(48, 48)));
    EXPECT_TRUE(IsDrawn(target.Pixel(41, 41)));
    EXPECT_TRUE(IsDrawn(target.Pixel(54, 54)));
    EXPECT_TRUE(IsCleared(target.Pixel(38, 48)));
    EXPECT_TRUE(IsCleared(target.Pixel(48, 58)));
    EXPECT_TRUE(IsCleared(target.Pixel(24, 24)));

    // Through the engine's camera: ten units in front of a camera at z = -10 that looks along +z, a
    // 2-unit quad spans 1/10 of the half-width on each side of the centre (90 degree field of view).
    GameCamera camera(true, { 64.0f, 64.0f });
    camera.position = { 0.0f, 0.0f, -10.0f, 1.0f };
    camera.Update(0.0f);
    world = Matrix4x4::Identity();
    world.m[3][0] = 3.0f;
    SetMatrix(p, "objectBuffer.OB_matrix", world);
    SetMatrix(p, "invViewMatrix", camera.invViewMatrix);
    SetMatrix(p, "projectionMatrix", camera.projection);
    glClear(GL_COLOR_BUFFER_BIT);
    quad.Draw();
    // x from 2 to 4 units: clip 0.2 to 0.4, pixels 38.4 to 44.8; y from -1 to 1: pixels 28.8 to 35.2.
    EXPECT_TRUE(IsDrawn(target.Pixel(41, 32)));
    EXPECT_TRUE(IsDrawn(target.Pixel(39, 29)));
    EXPECT_TRUE(IsDrawn(target.Pixel(44, 34)));
    EXPECT_TRUE(IsCleared(target.Pixel(37, 32)));
    EXPECT_TRUE(IsCleared(target.Pixel(46, 32)));
    EXPECT_TRUE(IsCleared(target.Pixel(41, 37)));
    EXPECT_TRUE(IsCleared(target.Pixel(32, 32)));
}
