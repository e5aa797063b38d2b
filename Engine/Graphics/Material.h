#pragma once
// What a mesh is drawn with: a GL program, five textures on fixed units and three lighting
// constants sent with every draw.
//
// A plain value type: copies share the GL names, nothing is duplicated on the GL side and nothing GL
// is ever deleted. Only the default constructor builds a program and registers the material in
// MaterialRegistry (Shader.h); copies are not registered. A registered material leaves the registry
// when destroyed, so keep a constructor-built material alive for as long as copies of it draw: the
// scene-wide uniforms (camera, light) reach its program only through it.
// Main thread only, with the GL context current.

#include "Graphics/Texture.h"
#include "Math/Vector.h"

#include <cstdint>
#include <string>

// One stage of a material's program: its GLSL file and the GL shader object.
struct ShaderStage {
    std::string path;
    std::uint32_t id = 0;
};

class Material {
public:
    static constexpr int kTextureSlots = 5;
    static constexpr const char* kFragmentShaderPath = "Assets/Shaders/DefaultFS.glsl";
    static constexpr const char* kVertexShaderPath = "Assets/Shaders/DefaultVS.glsl";

    // Compiles and links a program of its own from the default shaders, points the five samplers at
    // units 0 to 4 and joins MaterialRegistry. Every texture slot starts empty.
    Material();
    Material(const Material& other);
    Material& operator=(const Material& other);
    ~Material();

    // Makes the program current and binds every non-zero texture slot i to unit i. The active unit
    // stays at the last slot bound.
    void Bind() const;

    // Slot i is bound to unit i: diffuse, normal, ambient occlusion, roughness, metallic.
    Texture textures[kTextureSlots];
    ShaderStage fragmentShader;
    ShaderStage vertexShader;
    std::uint32_t program = 0;
    Float4 albedo { 1.0f, 1.0f, 1.0f, 1.0f };
    float specularStrength = 0.5f;
    float shininess = 32.0f;

private:
    bool registered = false;
};
