#include "Graphics/Material.h"

#include "Core/Problems.h"
#include "Graphics/Shader.h"

#include <glad/gl.h>
#include <stb_image.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// Sampler uniform of each texture slot, in slot (and unit) order.
constexpr const char* kSamplerNames[Material::kTextureSlots] = {
    "material.diffuse",
    "material.normalTexture",
    "material.ambientOcculusionTexture",
    "material.roughnessTexture",
    "material.metallicTexture",
};

// GL_RGB for 3 components and GL_RGBA for 4; zero when there is no colour format for the count.
GLenum PixelFormat(int channels)
{
    switch (channels) {
    case 1: return GL_RED;
    case 2: return GL_RG;
    case 3: return GL_RGB;
    case 4: return GL_RGBA;
    default: return 0;
    }
}

// Single-channel images read as grey and two-channel ones as grey plus alpha, as they were meant.
void SwizzleToGrey(int channels)
{
    if (channels == 1) {
        const GLint grey[4] = { GL_RED, GL_RED, GL_RED, GL_ONE };
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, grey);
    } else if (channels == 2) {
        const GLint greyAlpha[4] = { GL_RED, GL_RED, GL_RED, GL_GREEN };
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, greyAlpha);
    }
}

} // namespace

Material::Material()
{
    fragmentShader.path = kFragmentShaderPath;
    CompileShader(fragmentShader.path.c_str(), fragmentShader.id, GL_FRAGMENT_SHADER);
    vertexShader.path = kVertexShaderPath;
    CompileShader(vertexShader.path.c_str(), vertexShader.id, GL_VERTEX_SHADER);

    program = glCreateProgram();
    glAttachShader(program, fragmentShader.id);
    glAttachShader(program, vertexShader.id);
    glLinkProgram(program);

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

namespace {

// What a decoded texture may be: beyond this a small compressed file could ask for gigabytes.
constexpr int kMaxTextureSide = 16384;
constexpr std::uint64_t kMaxTextureBytes = std::uint64_t(256) << 20;

// Why the image at `file` cannot be used, or empty when it can: checked from its header, before
// anything is decoded. stb_image seeks the file back to where it was.
std::string ImageProblem(std::FILE* file)
{
    int width = 0, height = 0, channels = 0;
    if (stbi_info_from_file(file, &width, &height, &channels) == 0)
        return std::string("is not an image that can be decoded (") + stbi_failure_reason() + ")";
    const std::uint64_t bytes = std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(channels);
    if (width > kMaxTextureSide || height > kMaxTextureSide || bytes > kMaxTextureBytes)
        return "is " + std::to_string(width) + " x " + std::to_string(height) + " pixels (" + std::to_string(bytes)
            + " bytes decoded), more than a texture may be (" + std::to_string(kMaxTextureSide) + " x "
            + std::to_string(kMaxTextureSide) + ", " + std::to_string(kMaxTextureBytes) + " bytes)";
    return {};
}

// Decodes the image at `path` into `texture`'s size fields, or says why it cannot.
stbi_uc* DecodeImage(const char* path, Texture& texture, std::string& problem)
{
    std::error_code error;
    const auto type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::not_found) {
        problem = "not found";
        return nullptr;
    }
    if (type != std::filesystem::file_type::regular) {
        problem = "cannot be read: it is not a regular file";
        return nullptr;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        problem = "cannot be read";
        return nullptr;
    }
    stbi_uc* pixels = nullptr;
    problem = ImageProblem(file);
    // Decoded from the open file: 8 bits per component (16-bit images are reduced), components as
    // stored, no vertical flip. stb_image seeks the file back over what it buffered but did not use.
    if (problem.empty()) {
        pixels = stbi_load_from_file(file, &texture.width, &texture.height, &texture.channels, 0);
        if (pixels == nullptr)
            problem = std::string("is not an image that can be decoded (") + stbi_failure_reason() + ")";
    }
    std::fclose(file);
    return pixels;
}

} // namespace

bool LoadTexture(const char* path, Texture& texture)
{
    std::string problem;
    stbi_uc* pixels = DecodeImage(path, texture, problem);
    texture.hasImage = false;
    if (pixels == nullptr)
        ReportFileProblem(path, problem + "; the default texture is drawn instead");

    glGenTextures(1, &texture.id);
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    // Without a usable component count there is no format to upload with; the texture stays empty.
    GLenum format = PixelFormat(texture.channels);
    if (pixels != nullptr && format != 0 && texture.width > 0 && texture.height > 0) {
        SwizzleToGrey(texture.channels);
        // Rows are tightly packed: an RGB row of odd width is not a multiple of GL's default 4.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), texture.width, texture.height, 0, format,
            GL_UNSIGNED_BYTE, pixels);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glGenerateMipmap(GL_TEXTURE_2D);
        texture.hasImage = true;
    }

    stbi_image_free(pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture.hasImage;
}
