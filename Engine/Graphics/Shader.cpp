#include "Graphics/Shader.h"

#include "Graphics/Material.h"
#include "Scene/GameCamera.h"

#include <fstream>
#include <iostream>
#include <memory>

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

// The whole file with a NUL after it, or null when it cannot be opened or read.
std::unique_ptr<char[]> ReadText(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
        return nullptr;
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    if (size < 0)
        return nullptr;
    file.seekg(0, std::ios::beg);
    auto text = std::make_unique<char[]>(static_cast<std::size_t>(size) + 1);
    file.read(text.get(), size);
    // A file that shrank while being read still gives a terminated text.
    text[static_cast<std::size_t>(file.gcount())] = '\0';
    return text;
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

    std::unique_ptr<char[]> text = ReadText(path);
    if (!text)
        return false;

    const char* source = text.get();
    glShaderSource(id, 1, &source, nullptr);
    glCompileShader(id);
    text.reset();

    GLint ok = 0;
    glGetShaderiv(id, GL_COMPILE_STATUS, &ok);
    if (ok != 0)
        return true;

    char log[kInfoLogCapacity] = {};
    glGetShaderInfoLog(id, kInfoLogCapacity, nullptr, log);
    if (const char* message = CompileFailureMessage(type))
        std::cout << message << log << std::endl;
    return false;
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
