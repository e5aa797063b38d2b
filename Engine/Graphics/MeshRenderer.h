#pragma once
// The component that makes a game object visible: a model drawn with a material. The graphics
// engine records a draw command for it in every pass once it is registered: by its own Update during
// the first frame, or by the code that creates it later.
//
// Registered renderers are never unregistered, so a registered renderer must never be destroyed
// (nothing in the program destroys one). Main thread only, with the GL context current.

#include "Graphics/Material.h"
#include "Scene/Component.h"

#include <cstdint>

class Model;

class MeshRenderer : public Component {
public:
    // The default images for empty texture slots: colour, normal map, and one "mask" image for
    // ambient occlusion, roughness and metallic.
    static constexpr const char* kDefaultTextures[Material::kTextureSlots] = {
        "Assets/Textures/T_Default_C.png",
        "Assets/Textures/T_Default_N.png",
        "Assets/Textures/T_Default_M.png",
        "Assets/Textures/T_Default_M.png",
        "Assets/Textures/T_Default_M.png",
    };

    // Keeps a copy of `material`, sharing its program and textures.
    MeshRenderer(Model* model, const Material& material);

    // Loads the default image into every texture slot the material left empty or whose file gave no
    // image (one load, and one GL texture, per slot).
    void Start() override;

    // Registers the renderer with the graphics engine during the first frame.
    void Update(float deltaTime) override;

    Material material;
    // Not owned: models belong to the model cache.
    Model* model;
    // Non-zero: drawn after the masks of this group have been drawn into the stencil buffer.
    std::uint32_t maskGroup = 0;
    // Non-zero: this renderer is a mask of that group, drawn only with the group's renderers.
    std::uint32_t maskOf = 0;
};
