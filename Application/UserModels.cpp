#include "Application/UserModels.h"

#include "Application/DemoScene.h"
#include "Application/ModelSurface.h"
#include "Assets/ImportedModel.h"
#include "Assets/ModelCache.h"
#include "Core/Problems.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/Material.h"
#include "Graphics/MeshRenderer.h"
#include "Graphics/ModelTextures.h"
#include "Physics/MeshCollider.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <sstream>

namespace {

// A model placed by default stands this far beside the cabin, or beside the model before it.
constexpr float kGapBeside = 50.0f;

bool Finite(const Float3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

std::string Describe(const Footprint& footprint)
{
    std::ostringstream text;
    text << "is " << footprint.maxX - footprint.minX << " x " << footprint.maxZ - footprint.minZ << " units across at ("
         << 0.5f * (footprint.minX + footprint.maxX) << ", " << 0.5f * (footprint.minZ + footprint.maxZ)
         << "), more than the floor holds (it reaches " << kFloorReach << " units from the middle along x and z)";
    return text.str();
}

// The box of every mesh's vertices together.
BoundingBox BoxOfMeshes(const std::vector<Mesh>& meshes)
{
    BoundingBox box;
    for (const Mesh& mesh : meshes) {
        if (!mesh.box.valid)
            continue;
        box.min = box.valid ? Float3 { std::min(box.min.x, mesh.box.min.x), std::min(box.min.y, mesh.box.min.y),
            std::min(box.min.z, mesh.box.min.z) }
                            : mesh.box.min;
        box.max = box.valid ? Float3 { std::max(box.max.x, mesh.box.max.x), std::max(box.max.y, mesh.box.max.y),
            std::max(box.max.z, mesh.box.max.z) }
                            : mesh.box.max;
        box.valid = true;
    }
    return box;
}

// The models' meshes, one model each (a model draws its first mesh only), kept for the rest of the
// program as the model cache keeps its own: renderers and colliders hold plain pointers to them.
std::vector<std::unique_ptr<Model>>& BroughtMeshes()
{
    static auto* meshes = new std::vector<std::unique_ptr<Model>>();
    return *meshes;
}

// The first mask group no renderer of the scene uses yet: each of a model's meshes takes one of its
// own, after the cabin's.
std::uint32_t FirstFreeMaskGroup()
{
    std::uint32_t highest = 0;
    auto& groups = *Scene::GetInstance().componentsByType;
    if (auto renderers = groups.find("MeshRenderer"); renderers != groups.end())
        for (const Component* component : renderers->second) {
            const auto* renderer = static_cast<const MeshRenderer*>(component);
            highest = std::max({ highest, renderer->maskGroup, renderer->maskOf });
        }
    return highest + 1;
}

void AddMeshObject(Mesh mesh, const Material& material, const ModelPlacement& placement, std::uint32_t maskGroup,
    const std::string& name)
{
    auto model = std::make_unique<Model>();
    model->meshes.push_back(std::move(mesh));
    model->CreateGpuBuffers();

    auto* object = new GameObject(name);
    Transform& transform = *object->transform;
    transform.position = { placement.offset.x, placement.offset.y, placement.offset.z, 1.0f };
    transform.scale = { placement.scale, placement.scale, placement.scale, 1.0f };
    transform.dirty = true;

    auto* renderer = AddComponent<MeshRenderer>(*object, model.get(), material);
    renderer->maskGroup = maskGroup;
    // Without a body of its own the collider makes a static actor at Start, from the transform: the
    // collider's triangles are the drawn ones, scaled alike (the scale is the same on every axis).
    auto* collider = AddComponent<MeshCollider>(*object);
    collider->model = model.get();
    collider->SetLayer(kCabinLayer);
    AddComponent<ModelSurface>(*object);
    BroughtMeshes().push_back(std::move(model));
}

// Imports one requested model and puts it in the scene where it stands among those placed before, or
// says why it cannot.
std::optional<ModelPlacement> BringModel(const ModelRequest& request, std::span<const Footprint> taken)
{
    ImportedModel imported;
    std::string problem;
    if (!ImportModel(request.file, imported, problem)) {
        ReportFileProblem(request.shownAs, problem + "; the model is left out");
        return std::nullopt;
    }
    const auto placed = PlaceModel(BoxOfMeshes(imported.meshes), request, taken);
    if (const auto* refusal = std::get_if<std::string>(&placed)) {
        ReportFileProblem(request.shownAs, *refusal + "; the model is left out");
        return std::nullopt;
    }
    const ModelPlacement& placement = std::get<ModelPlacement>(placed);

    // Built once, kept alive: the scene-wide uniforms reach the renderers' copies through it. Its
    // texture slots stay empty, so each renderer loads the default images into them at Start.
    static Material modelMaterial;
    const std::vector<Texture> diffuse = LoadDiffuseTextures(imported, request.file, request.shownAs, Texture {});
    const std::string stem = std::filesystem::path(request.shownAs).stem().string();
    std::uint32_t maskGroup = FirstFreeMaskGroup();
    for (Mesh& mesh : imported.meshes) {
        Material meshMaterial = modelMaterial;
        const auto index = static_cast<std::size_t>(mesh.materialIndex);
        if (mesh.materialIndex >= 0 && index < diffuse.size())
            meshMaterial.textures[0] = diffuse[index];
        const std::string name = stem + ": " + (mesh.name.empty() ? "mesh" : mesh.name);
        AddMeshObject(std::move(mesh), meshMaterial, placement, maskGroup++, name);
    }
    return placement;
}

// The light's shadow camera covers the cabin; models beside it widen what it must cover.
void AimTheLight(std::span<const ModelPlacement> placed)
{
    if (sceneLight == nullptr || placed.empty())
        return;
    Float3 low { -kCabinReachX, kFloorTop, -kCabinReachZ };
    Float3 high { kCabinReachX, kCabinTop, kCabinReachZ };
    for (const ModelPlacement& placement : placed) {
        low = { std::min(low.x, placement.bounds.min.x), std::min(low.y, placement.bounds.min.y),
            std::min(low.z, placement.bounds.min.z) };
        high = { std::max(high.x, placement.bounds.max.x), std::max(high.y, placement.bounds.max.y),
            std::max(high.z, placement.bounds.max.z) };
    }
    sceneLight->CoverBox(low, high);
}

} // namespace

bool Footprint::Overlaps(const Footprint& other) const
{
    return minX < other.maxX && other.minX < maxX && minZ < other.maxZ && other.minZ < maxZ;
}

std::variant<ModelPlacement, std::string> PlaceModel(
    const BoundingBox& box, const ModelRequest& request, std::span<const Footprint> taken)
{
    if (!box.valid)
        return std::string("has no vertex to stand on the floor");
    if (!Finite(box.min) || !Finite(box.max))
        return std::string("has a vertex that is not a finite number, so no place on the floor");
    const Float3 extent = box.max - box.min;
    const float largest = std::max({ extent.x, extent.y, extent.z });
    if (!(largest > 0.0f))
        return std::string("is a single point, with no side to stand on");

    ModelPlacement placement;
    placement.scale = request.size ? *request.size / largest : 1.0f;
    const float halfX = 0.5f * extent.x * placement.scale;
    const float halfZ = 0.5f * extent.z * placement.scale;
    Float2 middle { 0.0f, 0.0f };
    if (request.at) {
        middle = *request.at;
    } else {
        // In a row along +x beside the cabin: right of it and of every model placed before.
        float right = kCabinReachX;
        for (const Footprint& footprint : taken)
            right = std::max(right, footprint.maxX);
        middle = { right + kGapBeside + halfX, 0.0f };
    }
    placement.offset = { middle.x - placement.scale * 0.5f * (box.min.x + box.max.x),
        kFloorTop - placement.scale * box.min.y, middle.y - placement.scale * 0.5f * (box.min.z + box.max.z) };
    placement.footprint = { middle.x - halfX, middle.x + halfX, middle.y - halfZ, middle.y + halfZ };
    placement.bounds = { box.min * placement.scale + placement.offset, box.max * placement.scale + placement.offset,
        true };
    const Footprint& f = placement.footprint;
    if (!Finite(placement.offset)
        || !(f.minX >= -kFloorReach && f.maxX <= kFloorReach && f.minZ >= -kFloorReach && f.maxZ <= kFloorReach))
        return Describe(f);
    return placement;
}

std::vector<ModelPlacement> BringModels(std::span<const ModelRequest> requests)
{
    std::vector<ModelPlacement> placed;
    std::vector<Footprint> taken;
    for (const ModelRequest& request : requests)
        if (std::optional<ModelPlacement> placement = BringModel(request, taken)) {
            taken.push_back(placement->footprint);
            placed.push_back(*placement);
        }
    AimTheLight(placed);
    return placed;
}

void BuildSceneWithModels(std::span<const ModelRequest> requests)
{
    BuildDemoScene();
    BringModels(requests);
}
