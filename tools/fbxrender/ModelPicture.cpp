#include "ModelPicture.h"

#include "Core/Problems.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Graphics/Shader.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <glad/gl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>

namespace {

// Beside the model, then here next to it: where exporters and people put a model's images.
constexpr const char* kTextureFolder = "textures";
// Room left between the model and the shadow camera, in world units, for a model larger than the
// distance the light keeps its camera back.
constexpr float kShadowCameraClearance = 10.0f;

// An RGBA8 colour target with depth and stencil, bound while it lives.
class RenderTarget {
public:
    explicit RenderTarget(int size)
    {
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glGenRenderbuffers(1, &color);
        glBindRenderbuffer(GL_RENDERBUFFER, color);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size, size);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
        glGenRenderbuffers(1, &depthStencil);
        glBindRenderbuffer(GL_RENDERBUFFER, depthStencil);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, size, size);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
    }
    ~RenderTarget()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteRenderbuffers(1, &color);
        glDeleteRenderbuffers(1, &depthStencil);
        glDeleteFramebuffers(1, &framebuffer);
    }
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    GLuint framebuffer = 0;

private:
    GLuint color = 0;
    GLuint depthStencil = 0;
};

// The last component of a path written with either separator: files made on Windows name their
// textures with backslashes.
std::string LastComponent(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The bounds of every mesh, for an import that did not give the whole file's.
BoundingBox MeshBounds(const std::vector<Mesh>& meshes)
{
    BoundingBox box;
    for (const Mesh& mesh : meshes)
        for (const Vertex& vertex : mesh.vertices) {
            const Float3 p { vertex.position.x, vertex.position.y, vertex.position.z };
            box.min = box.valid
                ? Float3 { std::min(box.min.x, p.x), std::min(box.min.y, p.y), std::min(box.min.z, p.z) }
                : p;
            box.max = box.valid
                ? Float3 { std::max(box.max.x, p.x), std::max(box.max.y, p.y), std::max(box.max.z, p.z) }
                : p;
            box.valid = true;
        }
    return box;
}

// Rows come from GL bottom first; pictures are written top first.
void FlipRows(std::vector<std::uint8_t>& rgba, int width, int height)
{
    const std::size_t row = std::size_t(width) * 4;
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(rgba.begin() + std::ptrdiff_t(top * row), rgba.begin() + std::ptrdiff_t((top + 1) * row),
            rgba.begin() + std::ptrdiff_t(bottom * row));
}

} // namespace

double Picture::Coverage() const
{
    const std::size_t pixels = rgba.size() / 4;
    if (pixels == 0)
        return 0.0;
    std::size_t covered = 0;
    for (std::size_t i = 0; i < pixels; ++i)
        covered += rgba[i * 4 + 3] != 0 ? 1 : 0;
    return double(covered) / double(pixels);
}

std::filesystem::path FindDiffuseTexture(const ImportedMaterial& material, const std::filesystem::path& modelFile)
{
    const std::filesystem::path folder = modelFile.parent_path();
    std::filesystem::path unusable;
    for (const std::string* named :
        { &material.diffuse.fileName, &material.diffuse.relativePath, &material.diffuse.filePath }) {
        const std::string name = LastComponent(*named);
        if (name.empty())
            continue;
        for (const std::filesystem::path& candidate : { folder / name, folder / kTextureFolder / name }) {
            std::error_code error;
            const auto status = std::filesystem::status(candidate, error);
            if (std::filesystem::is_regular_file(status))
                return candidate;
            // A folder or a device by that name: named as what it is, unless a file is found.
            if (std::filesystem::exists(status) && unusable.empty())
                unusable = candidate;
        }
    }
    return unusable;
}

const EmbeddedImage* FindEmbeddedImage(const ImportedMaterial& material, const std::vector<EmbeddedImage>& images)
{
    for (const std::string* named :
        { &material.diffuse.fileName, &material.diffuse.relativePath, &material.diffuse.filePath }) {
        const std::string name = LastComponent(*named);
        if (name.empty())
            continue;
        for (const EmbeddedImage& image : images)
            if (LastComponent(image.fileName) == name)
                return &image;
    }
    return nullptr;
}

ModelStage::ModelStage(ImportedModel model, const std::filesystem::path& modelFile)
    : box(model.box.valid ? model.box : MeshBounds(model.meshes))
{
    SetFixedGlState();
    modelObject = new GameObject(modelFile.filename().string());

    // One texture per embedded image, however many meshes use it (LoadTexture shares a file's).
    std::map<const EmbeddedImage*, Texture> embeddedTextures;
    for (Mesh& mesh : model.meshes) {
        Material meshMaterial = material;
        const auto index = static_cast<std::size_t>(mesh.materialIndex);
        if (mesh.materialIndex >= 0 && index < model.materials.size()) {
            const ImportedMaterial& imported = model.materials[index];
            const std::filesystem::path texture = FindDiffuseTexture(imported, modelFile);
            const EmbeddedImage* embedded = texture.empty() ? FindEmbeddedImage(imported, model.embeddedImages)
                                                            : nullptr;
            if (!texture.empty()) {
                LoadTexture(texture.string().c_str(), meshMaterial.textures[0]);
            } else if (embedded != nullptr) {
                auto [slot, isNew] = embeddedTextures.try_emplace(embedded);
                if (isNew)
                    LoadTextureFromMemory(modelFile.string(), "embedded image \"" + imported.diffuse.fileName + "\"",
                        embedded->bytes.data(), embedded->bytes.size(), slot->second);
                meshMaterial.textures[0] = slot->second;
            } else if (!imported.diffuse.fileName.empty()) {
                ReportFileProblem(modelFile.string(),
                    "texture \"" + imported.diffuse.fileName + "\" is neither beside the file nor in its "
                        + kTextureFolder + "/ folder, nor embedded in it; the default texture is drawn instead");
            }
        }
        // The upload takes a model's first mesh: one model per mesh draws them all.
        auto uploaded = std::make_unique<Model>();
        uploaded->meshes.push_back(std::move(mesh));
        uploaded->CreateGpuBuffers();
        auto* renderer = AddComponent<MeshRenderer>(*modelObject, uploaded.get(), meshMaterial);
        renderer->Start();
        GraphicsEngine::GetInstance().RegisterRenderer(renderer);
        models.push_back(std::move(uploaded));
    }
    PlaceLight();
}

bool ModelStage::Drawable() const
{
    return ProgramLinked(material.program);
}

ModelStage::~ModelStage()
{
    // The renderers stay with the Scene, which owns them, but the engine stops drawing them.
    GraphicsEngine& engine = GraphicsEngine::GetInstance();
    for (Component* component : modelObject->components)
        std::erase(engine.renderers, component);
    if (sceneLight == light)
        sceneLight = nullptr;
}

void ModelStage::PlaceLight()
{
    const Float3 centre = (box.min + box.max) * 0.5f;
    const Float3 size = box.max - box.min;
    const float diagonal = std::sqrt(size.x * size.x + size.y * size.y + size.z * size.z);

    lightObject = new GameObject("Directional light");
    lightObject->transform->position = { centre.x, centre.y, centre.z, 1.0f };
    lightObject->transform->dirty = true;
    light = AddComponent<DirectionalLight>(*lightObject);
    // The light's own view covers a cabin; a larger model widens it so that all of it casts shadows.
    if (diagonal > DirectionalLight::kShadowViewSize)
        light->shadowCamera = GameCamera(false, { diagonal, diagonal });
    sceneLight = light;
    light->Start();
    // A model reaching further than the light keeps its camera back moves the camera further out.
    const float reach = diagonal * 0.5f + kShadowCameraClearance - DirectionalLight::kShadowCameraDistance;
    if (reach > 0.0f) {
        const Float3 forward = light->shadowCamera.forward;
        light->shadowCamera.position.x -= reach * forward.x;
        light->shadowCamera.position.y -= reach * forward.y;
        light->shadowCamera.position.z -= reach * forward.z;
    }
    // The program's first frame rebuilds the light's view from where Start put the camera.
    light->EarlyUpdate(0.0f);
}

Picture ModelStage::Draw(View view, int size, bool shadows)
{
    GameCamera camera = FramingCamera(box, view);
    GameCamera* const previousCamera = activeCamera;
    activeCamera = &camera;

    RenderTarget target(size);
    GraphicsEngine& engine = GraphicsEngine::GetInstance();
    engine.width = size;
    engine.height = size;
    engine.mainFramebuffer = target.framebuffer;
    engine.drawShadows = shadows;

    glViewport(0, 0, size, size);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    engine.RecordFrame();

    Picture picture;
    picture.width = size;
    picture.height = size;
    picture.rgba.resize(std::size_t(size) * std::size_t(size) * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    FlipRows(picture.rgba, size, size);

    engine.mainFramebuffer = 0;
    engine.drawShadows = true;
    activeCamera = previousCamera;
    return picture;
}
