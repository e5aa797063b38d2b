#pragma once
// A picture of an imported model drawn the way the program draws its scene: every mesh uploaded as a
// Model and drawn by a MeshRenderer with a material made as the program makes them (default shaders,
// default textures, the file's diffuse texture where it is found), lit and shadowed by the scene's
// DirectionalLight, through the graphics engine's shadow and main passes, into a framebuffer object
// with a transparent background.
//
// One thread only, the one whose OpenGL 4.6 core context is current and loaded, with the working
// directory at the project root (the shaders and default textures are read from Assets/). A
// ModelStage registers its renderers with the program's graphics engine and sets the program's scene
// light: one stage per process, kept alive while anything draws.

#include "Assets/ImportedModel.h"
#include "Assets/Model.h"
#include "Graphics/Material.h"
#include "ModelView.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

class DirectionalLight;
class GameObject;

struct Picture {
    int width = 0;
    int height = 0;
    // Four bytes a pixel (red, green, blue, alpha), top row first.
    std::vector<std::uint8_t> rgba;

    // The share of pixels that are not fully transparent.
    double Coverage() const;
};

class ModelStage {
public:
    // Makes what every picture needs before the model is known, so that it can be made while the
    // model is still being imported: the GL state, the material with its default textures, the light
    // with its shadow map. It then draws a triangle through both passes: the driver compiles the
    // shaders it runs at the first draw that needs them (llvmpipe spends a large part of a small
    // model's picture doing so), and that draw no longer waits for the model.
    ModelStage();
    ~ModelStage();
    ModelStage(const ModelStage&) = delete;
    ModelStage& operator=(const ModelStage&) = delete;

    // Takes the meshes of `model`, imported from `modelFile` (its folder is where diffuse textures are
    // looked for: beside it, then in its textures/ folder, then among the images it embeds), uploads them and aims the light at them.
    // Once per stage. The meshes drawn with one texture are uploaded together as one, and freed once
    // uploaded: only the GL buffers draw.
    void Show(ImportedModel model, const std::filesystem::path& modelFile);

    // Whether the stage's shaders made a program to draw with (a picture drawn without one is empty).
    bool Drawable() const;

    // Draws the model seen from `view` into a new size x size picture, with the light's shadows or,
    // when `shadows` is false, with everything lit.
    Picture Draw(View view, int size, bool shadows);

    // The box the camera frames: the import's bounds of the whole file.
    const BoundingBox& Box() const { return box; }

private:
    // Centres the light's shadow camera on `box`, widened and moved back for one larger than the
    // cabin, so that all of it lies in the shadow map.
    void AimLight(const BoundingBox& box);
    void DrawFirstTriangle();
    // Uploads `mesh` as a model of its own, drawn with `meshMaterial`.
    void Upload(Mesh mesh, const Material& meshMaterial);
    void AddRenderer(Model* model, const Material& meshMaterial);

    BoundingBox box;
    // Constructed, so registered: the light's and the cameras' uniforms reach the renderers' copies
    // through it. Its texture slots hold the default textures, loaded once for every renderer.
    Material material;
    std::vector<std::unique_ptr<Model>> models;
    // All three are the scene's: the objects are never deleted, the components belong to the Scene.
    GameObject* modelObject = nullptr;
    GameObject* lightObject = nullptr;
    DirectionalLight* light = nullptr;
};
