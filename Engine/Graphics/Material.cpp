#include "Graphics/Material.h"

#include "Graphics/Shader.h"

#include <glad/gl.h>

#include <algorithm>

namespace {

// Sampler uniform of each texture slot, in slot (and unit) order.
constexpr const char* kSamplerNames[Material::kTextureSlots] = {
    "material.diffuse",
    "material.normalTexture",
    "material.ambientOcculusionTexture",
    "material.roughnessTexture",
    "material.metallicTexture",
};

} // namespace

Material::Material()
{
    fragmentShader.path = kFragmentShaderPath;
    const bool fragmentCompiled = CompileShader(fragmentShader.path.c_str(), fragmentShader.id, GL_FRAGMENT_SHADER);
    vertexShader.path = kVertexShaderPath;
    const bool vertexCompiled = CompileShader(vertexShader.path.c_str(), vertexShader.id, GL_VERTEX_SHADER);

    program = glCreateProgram();
    glAttachShader(program, fragmentShader.id);
    glAttachShader(program, vertexShader.id);
    LinkProgram(program, kFragmentShaderPath, kVertexShaderPath, fragmentCompiled && vertexCompiled);

    glUseProgram(program);
    for (int unit = 0; unit < kTextureSlots; ++unit)
        glUniform1i(glGetUniformLocation(program, kSamplerNames[unit]), unit);

    MaterialRegistry.push_back(this);
    registered = true;
}

Material::Material(const Material& other)
    : fragmentShader(other.fragmentShader)
    , vertexShader(other.vertexShader)
    , program(other.program)
    , albedo(other.albedo)
    , specularStrength(other.specularStrength)
    , shininess(other.shininess)
{
    std::copy(std::begin(other.textures), std::end(other.textures), std::begin(textures));
}

Material& Material::operator=(const Material& other)
{
    // A registered material stays registered under its own address; it now carries `other`'s program.
    std::copy(std::begin(other.textures), std::end(other.textures), std::begin(textures));
    fragmentShader = other.fragmentShader;
    vertexShader = other.vertexShader;
    program = other.program;
    albedo = other.albedo;
    specularStrength = other.specularStrength;
    shininess = other.shininess;
    return *this;
}

Material::~Material()
{
    if (registered)
        std::erase(MaterialRegistry, this);
}

void Material::Bind() const
{
    glUseProgram(program);
    for (int slot = 0; slot < kTextureSlots; ++slot) {
        if (textures[slot].id == 0)
            continue;
        glActiveTexture(GL_TEXTURE0 + slot);
        glBindTexture(GL_TEXTURE_2D, textures[slot].id);
    }
}
