#include "Graphics/Shader.h"

#include "Core/FileContents.h"
#include "Core/Problems.h"
#include "Graphics/Material.h"
#include "Scene/GameCamera.h"

#include <iostream>
#include <optional>
#include <string>
#include <utility>

std::vector<Material*> MaterialRegistry;

namespace {

// Only this much of a compiler's info log is printed.
constexpr GLsizei kInfoLogCapacity = 512;

bool IsShaderStage(GLenum type)
{
    return type == GL_FRAGMENT_SHADER || type == GL_VERTEX_SHADER || type == GL_GEOMETRY_SHADER;
}

const char* CompileFailureMessage(GLenum type)
{
    switch (type) {
    case GL_FRAGMENT_SHADER: return "ERROR::SHADER::FRAGMENT/PIXEL::COMPILATION_FAILED\n";
    case GL_VERTEX_SHADER: return "ERROR::SHADER::VERTEX::COMPILATION_FAILED\n";
    case GL_GEOMETRY_SHADER: return "ERROR::SHADER::GEOMETRY::COMPILATION_FAILED\n";
    default: return nullptr;
    }
}

const char* StageName(GLenum type)
{
    switch (type) {
    case GL_FRAGMENT_SHADER: return "fragment";
    case GL_VERTEX_SHADER: return "vertex";
    case GL_GEOMETRY_SHADER: return "geometry";
    default: return "other";
    }
}

// The largest shader file read: GLSL sources are a few kilobytes.
constexpr std::size_t kMaxShaderFileBytes = std::size_t(4) << 20;

// The whole file, or nothing when it cannot be read, which is said once on the console.
std::optional<std::string> ReadShaderText(const char* path)
{
    FileContents file = ReadWholeFile(path, kMaxShaderFileBytes);
    if (!file.Ok()) {
        ReportFileProblem(path, file.Describe(kMaxShaderFileBytes) + "; its stage is left uncompiled");
        return std::nullopt;
    }
    return std::move(file.bytes);
}

// Makes each registered program current and hands its uniform location for `name` to `set`.
template <class Set>
void Broadcast(const char* name, Set set)
{
    for (Material* material : MaterialRegistry) {
        glUseProgram(material->program);
        set(glGetUniformLocation(material->program, name));
    }
}

} // namespace

bool CompileShader(const char* path, GLuint& id, GLenum type)
{
    if (IsShaderStage(type))
        id = glCreateShader(type);

    std::optional<std::string> text = ReadShaderText(path);
    if (!text)
        return false;

    // With its length: a NUL inside the file cannot cut the source short of what the compiler sees.
    const char* source = text->c_str();
    const auto length = static_cast<GLint>(text->size());
    glShaderSource(id, 1, &source, &length);
    glCompileShader(id);
    text.reset();

    GLint ok = 0;
    glGetShaderiv(id, GL_COMPILE_STATUS, &ok);
    if (ok != 0)
        return true;

    // Every material compiles the same files: a broken one is named, and its log printed, once.
    if (!ReportFileProblem(
            path, std::string("does not compile as a ") + StageName(type) + " shader; its compiler log follows"))
        return false;
    char log[kInfoLogCapacity] = {};
    glGetShaderInfoLog(id, kInfoLogCapacity, nullptr, log);
    if (const char* message = CompileFailureMessage(type))
        std::cout << message << log << std::endl;
    return false;
}

bool LinkProgram(GLuint program, const char* fragmentPath, const char* vertexPath, bool stagesCompiled)
{
    glLinkProgram(program);
    if (ProgramLinked(program))
        return true;
    // Every material links the same files: the failure is said, with its log, once.
    if (stagesCompiled
        && ReportFileProblem(std::string(fragmentPath) + " and " + vertexPath,
            "do not link into a program, so nothing drawn with them is seen; the linker's log follows")) {
        char log[kInfoLogCapacity] = {};
        glGetProgramInfoLog(program, kInfoLogCapacity, nullptr, log);
        std::cerr << "ERROR::SHADER::PROGRAM::LINKING_FAILED\n" << log << std::endl;
    }
    return false;
}

bool ProgramLinked(GLuint program)
{
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked != 0;
}

void SetGlobalMatrix(const char* name, const float* matrix)
{
    Broadcast(name, [matrix](GLint location) { glUniformMatrix4fv(location, 1, GL_FALSE, matrix); });
}

void SetGlobalInt(const char* name, GLint value)
{
    Broadcast(name, [value](GLint location) { glUniform1i(location, value); });
}

void SetGlobalFloat(const char* name, GLfloat value)
{
    Broadcast(name, [value](GLint location) { glUniform1f(location, value); });
}

void SetGlobalVector3(const char* name, GLfloat x, GLfloat y, GLfloat z)
{
    Broadcast(name, [x, y, z](GLint location) { glUniform3f(location, x, y, z); });
}

void UploadCameraUniforms(const GameCamera& camera)
{
    SetGlobalMatrix("projectionMatrix", camera.projection.Data());
    SetGlobalMatrix("invViewMatrix", camera.invViewMatrix.Data());
    SetGlobalVector3("viewPos", camera.position.x, camera.position.y, camera.position.z);
}
