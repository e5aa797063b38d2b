#include "Assets/ModelCache.h"

#include "Assets/FbxImport.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <utility>

namespace {

std::unordered_map<std::string, std::unique_ptr<Model>>& Registry()
{
    static auto* registry = new std::unordered_map<std::string, std::unique_ptr<Model>>();
    return *registry;
}

} // namespace

Model* GetModel(const std::string& path)
{
    auto& registry = Registry();
    if (auto found = registry.find(path); found != registry.end())
        return found->second.get();
    std::unique_ptr<Model> model = LoadModel(path);
    if (model == nullptr)
        return nullptr;
    return registry.emplace(path, std::move(model)).first->second.get();
}

std::unique_ptr<Model> LoadModel(const std::string& path)
{
    const std::filesystem::path file(path);
    // Exactly ".fbx": the comparison is case-sensitive.
    if (file.extension().string() != ".fbx")
        return nullptr;

    ImportedModel imported;
    ImportFbx(file, imported, false, true);
    // Nothing to draw: the upload needs a first mesh.
    if (imported.meshes.empty())
        return nullptr;

    auto model = std::make_unique<Model>();
    model->meshes.resize(imported.meshes.size());
    for (std::size_t i = 0; i < imported.meshes.size(); ++i) {
        const Mesh& source = imported.meshes[i];
        Mesh& target = model->meshes[i];
        target.vertices.resize(source.vertices.size());
        std::memcpy(target.vertices.data(), source.vertices.data(), source.vertices.size() * sizeof(Vertex));
        target.indices = source.indices;
        target.box = source.box;
    }
    model->CreateGpuBuffers();
    return model;
}
