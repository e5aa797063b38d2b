#include "Assets/ModelCache.h"

#include "Assets/FbxImport.h"
#include "Core/Problems.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <utility>

namespace {

// Tangents the file carries are kept; equal vertices are merged, so each is uploaded once.
constexpr bool kForceTangents = false;
constexpr bool kDeduplicate = true;

// What a path looked like when its import failed: asked for again unchanged, it fails again.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified {};

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path)
{
    FileStamp stamp;
    std::error_code error;
    stamp.exists = std::filesystem::exists(path, error);
    if (!stamp.exists)
        return stamp;
    stamp.size = std::filesystem::is_regular_file(path, error) ? std::filesystem::file_size(path, error) : 0;
    stamp.modified = std::filesystem::last_write_time(path, error);
    return stamp;
}

std::unordered_map<std::string, std::unique_ptr<Model>>& Registry()
{
    static auto* registry = new std::unordered_map<std::string, std::unique_ptr<Model>>();
    return *registry;
}

std::unordered_map<std::string, FileStamp>& Failures()
{
    static auto* failures = new std::unordered_map<std::string, FileStamp>();
    return *failures;
}

std::string DescribeFailure(const ImportResult& result)
{
    switch (result.status) {
    case ImportStatus::FileNotFound: return "not found";
    case ImportStatus::ReadFailed: return "cannot be read: " + GetFbxContext().lastError;
    case ImportStatus::NoImporter: return "cannot be imported: the FBX importer could not be created";
    case ImportStatus::NoMeshes: return "has no mesh to draw";
    default: return {};
    }
}

std::unique_ptr<Model> UploadMeshes(const ImportedModel& imported)
{
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

} // namespace

Model* GetModel(const std::string& path)
{
    auto& registry = Registry();
    if (auto found = registry.find(path); found != registry.end())
        return found->second.get();
    auto& failures = Failures();
    const FileStamp stamp = StampOf(path);
    if (auto failed = failures.find(path); failed != failures.end() && failed->second == stamp)
        return nullptr;

    std::string problem;
    std::unique_ptr<Model> model = LoadModel(path, &problem);
    if (model == nullptr) {
        failures[path] = stamp;
        ReportFileProblem(path, problem + "; objects using it have no mesh");
        return nullptr;
    }
    failures.erase(path);
    return registry.emplace(path, std::move(model)).first->second.get();
}

std::string ModelPath(const Model* model)
{
    for (const auto& [path, cached] : Registry())
        if (cached.get() == model)
            return path;
    return {};
}

std::unique_ptr<Model> LoadModel(const std::string& path, std::string* problem)
{
    std::string unused;
    ImportedModel imported;
    if (!ImportModel(path, imported, problem != nullptr ? *problem : unused))
        return nullptr;
    return UploadMeshes(imported);
}

bool ImportModel(const std::string& path, ImportedModel& imported, std::string& why)
{
    const std::filesystem::path file(path);
    // Exactly ".fbx": the comparison is case-sensitive.
    if (file.extension().string() != ".fbx") {
        why = "is not a model: only \".fbx\" files are read";
        return false;
    }

    try {
        const ImportResult result = ImportModelFile(file, imported);
        why = DescribeFailure(result);
    } catch (const std::exception& error) {
        why = std::string("cannot be imported: ") + error.what();
        return false;
    }
    // Nothing to draw: the upload needs a first mesh.
    if (imported.meshes.empty()) {
        if (why.empty())
            why = "has no mesh to draw";
        return false;
    }
    why.clear();
    return true;
}

ImportResult ImportModelFile(const std::filesystem::path& path, ImportedModel& model)
{
    return ImportFbx(path, model, kForceTangents, kDeduplicate);
}
