#include "ModelPicture.h"

#include "Core/Problems.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Graphics/ModelTextures.h"
#include "Graphics/Shader.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <glad/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <utility>

namespace {

// Beside the model, then here next to it: where exporters and people put a model's images.
// The picture of the first triangle, drawn only to have the driver compile what the passes run.
constexpr int kFirstDrawSize = 8;
// Meshes drawn as one are copied into one buffer before the upload: a few batches of this size keep
// that copy small beside the meshes and the GL buffers, and cost a few draws more than one would.
constexpr std::uint64_t kMaxBatchVertices = (std::uint64_t(16) << 20) / sizeof(Vertex);
static_assert(kMaxBatchVertices <= std::numeric_limits<std::uint32_t>::max(), "indices are 32-bit");

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

// Where the batch of `group`'s meshes that starts at `first` ends: as many meshes as hold
// kMaxBatchVertices in all, and at least one.
std::size_t BatchEnd(const std::vector<Mesh>& meshes, const std::vector<std::size_t>& group, std::size_t first)
{
    std::uint64_t vertices = meshes[group[first]].vertices.size();
    std::size_t end = first + 1;
    for (; end < group.size(); ++end) {
        vertices += meshes[group[end]].vertices.size();
        if (vertices > kMaxBatchVertices)
            break;
    }
    return end;
}

// The meshes group[first] to group[end - 1] as one mesh, each one's indices moved past the vertices
// before it. Each mesh's memory is freed as it is taken, so the meshes and the batch are not held
// twice; a batch of one mesh is that mesh, moved.
Mesh Concatenate(std::vector<Mesh>& meshes, const std::vector<std::size_t>& group, std::size_t first, std::size_t end)
{
    if (end - first == 1)
        return std::move(meshes[group[first]]);
    Mesh batch;
    std::size_t vertices = 0, indices = 0;
    for (std::size_t k = first; k < end; ++k) {
        vertices += meshes[group[k]].vertices.size();
        indices += meshes[group[k]].indices.size();
    }
    batch.vertices.reserve(vertices);
    batch.indices.reserve(indices);
    for (std::size_t k = first; k < end; ++k) {
        Mesh& mesh = meshes[group[k]];
        const auto offset = static_cast<std::uint32_t>(batch.vertices.size());
        batch.vertices.insert(batch.vertices.end(), mesh.vertices.begin(), mesh.vertices.end());
        for (const std::uint32_t index : mesh.indices)
            batch.indices.push_back(index + offset);
        mesh = Mesh();
    }
    return batch;
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

ModelStage::ModelStage()
{
    SetFixedGlState();
    // Each default image once, however many slots and renderers show it: renderers find their slots
    // filled and load nothing themselves.
    std::map<std::string, Texture> defaults;
    for (int slot = 0; slot < Material::kTextureSlots; ++slot) {
        auto [loaded, isNew] = defaults.try_emplace(MeshRenderer::kDefaultTextures[slot]);
        if (isNew)
            LoadTexture(loaded->first.c_str(), loaded->second);
        material.textures[slot] = loaded->second;
    }
    modelObject = new GameObject("Model");
    lightObject = new GameObject("Directional light");
    light = AddComponent<DirectionalLight>(*lightObject);
    sceneLight = light;
    light->Start();
    DrawFirstTriangle();
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

void ModelStage::DrawFirstTriangle()
{
    // Both windings, so that each pass, culling one of them, still draws a triangle.
    Mesh triangle;
    for (const Float3 corner : { Float3 { 0, 0, 0 }, Float3 { 1, 0, 0 }, Float3 { 0, 1, 0 } }) {
        Vertex vertex;
        vertex.position = { corner.x, corner.y, corner.z, 1.0f };
        vertex.normal = { 0.0f, 0.0f, -1.0f };
        triangle.vertices.push_back(vertex);
    }
    triangle.indices = { 0, 1, 2, 0, 2, 1 };
    triangle.box = { { 0, 0, 0 }, { 1, 1, 0 }, true };
    box = triangle.box;
    auto model = std::make_unique<Model>();
    model->meshes.push_back(std::move(triangle));
    model->CreateGpuBuffers();
    AddRenderer(model.get(), material);
    AimLight(box);
    Draw(View::Front, kFirstDrawSize, true);

    GraphicsEngine& engine = GraphicsEngine::GetInstance();
    std::erase(engine.renderers, modelObject->components.back());
    models.push_back(std::move(model));
    box = {};
}

void ModelStage::AddRenderer(Model* model, const Material& meshMaterial)
{
    auto* renderer = AddComponent<MeshRenderer>(*modelObject, model, meshMaterial);
    renderer->Start();
    GraphicsEngine::GetInstance().RegisterRenderer(renderer);
}

void ModelStage::Show(ImportedModel model, const std::filesystem::path& modelFile)
{
    box = model.box.valid ? model.box : MeshBounds(model.meshes);
    const std::vector<Texture> diffuse = LoadDiffuseTextures(
        model, modelFile, modelFile.string(), material.textures[0]);
    const auto textureOf = [&](const Mesh& mesh) {
        const auto index = static_cast<std::size_t>(mesh.materialIndex);
        return mesh.materialIndex >= 0 && index < diffuse.size() ? diffuse[index] : material.textures[0];
    };

    // Meshes drawn with the same texture are drawn as one: the same material and the same (identity)
    // transform draw the same pixels from one buffer as from many, and a file of thousands of small
    // meshes then costs a few uploads and draws instead of thousands of each.
    std::vector<std::vector<std::size_t>> groups;
    std::map<std::uint32_t, std::size_t> groupOfTexture;
    for (std::size_t k = 0; k < model.meshes.size(); ++k) {
        const auto [group, isNew] = groupOfTexture.try_emplace(textureOf(model.meshes[k]).id, groups.size());
        if (isNew)
            groups.emplace_back();
        groups[group->second].push_back(k);
    }
    for (const std::vector<std::size_t>& group : groups) {
        Material groupMaterial = material;
        groupMaterial.textures[0] = textureOf(model.meshes[group.front()]);
        for (std::size_t first = 0; first < group.size();) {
            const std::size_t end = BatchEnd(model.meshes, group, first);
            Upload(Concatenate(model.meshes, group, first, end), groupMaterial);
            first = end;
        }
    }
    AimLight(box);
}

void ModelStage::Upload(Mesh mesh, const Material& meshMaterial)
{
    // The upload takes a model's first mesh. Only the GL buffers are drawn, so the mesh's own copy of
    // its vertices goes once they hold it.
    auto uploaded = std::make_unique<Model>();
    uploaded->meshes.push_back(std::move(mesh));
    uploaded->CreateGpuBuffers();
    uploaded->meshes.clear();
    uploaded->meshes.shrink_to_fit();
    AddRenderer(uploaded.get(), meshMaterial);
    models.push_back(std::move(uploaded));
}

void ModelStage::AimLight(const BoundingBox& target)
{
    light->CoverBox(target.min, target.max);
    // The program's first frame rebuilds the light's view from where the camera now stands.
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
