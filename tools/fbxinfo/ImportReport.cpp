#include "ImportReport.h"

#include "JsonText.h"

#include "Assets/FbxImport.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace fbxinfo {

namespace {

// The model cache's arguments: tangents only where the file lacks them, equal vertices merged.
constexpr bool kForceTangents = false;
constexpr bool kDeduplicate = true;

const char* StatusName(ImportStatus status)
{
    switch (status) {
    case ImportStatus::Ok: return "Ok";
    case ImportStatus::OkWithWarnings: return "OkWithWarnings";
    case ImportStatus::ReadFailed: return "ReadFailed";
    case ImportStatus::NoImporter: return "NoImporter";
    case ImportStatus::FileNotFound: return "FileNotFound";
    case ImportStatus::NoMeshes: return "NoMeshes";
    }
    return "Unknown";
}

// Every warning kind, so that the report lists the ones that did not occur as zero.
constexpr std::pair<ImportWarning, const char*> kWarnings[] = {
    {ImportWarning::TooManyInfluences, "TooManyInfluences"},
    {ImportWarning::MissingUVs, "MissingUVs"},
    {ImportWarning::TangentsFailed, "TangentsFailed"},
    {ImportWarning::DuplicateBoneName, "DuplicateBoneName"},
};

int WarningCount(const ImportResult& result, ImportWarning kind)
{
    auto found = result.warnings.find(kind);
    return found == result.warnings.end() ? 0 : found->second;
}

const char* UpAxisName(int axis)
{
    static const char* const names[] = {"X", "Y", "Z"};
    return axis >= 0 && axis <= 2 ? names[axis] : "?";
}

const char* UnitName(int unit)
{
    static const char* const names[] = {"other", "mm", "cm", "dm", "m", "inch", "foot", "mile", "yard"};
    return unit >= 0 && unit <= 8 ? names[unit] : "?";
}

struct SlotField {
    const char* name;
    TextureSlot ImportedMaterial::*slot;
};

constexpr SlotField kSlots[] = {
    {"emissive", &ImportedMaterial::emissive},
    {"ambient", &ImportedMaterial::ambient},
    {"diffuse", &ImportedMaterial::diffuse},
    {"specular", &ImportedMaterial::specular},
    {"shininess", &ImportedMaterial::shininess},
    {"bump", &ImportedMaterial::bump},
    {"normalMap", &ImportedMaterial::normalMap},
    {"transparentColor", &ImportedMaterial::transparentColor},
    {"reflection", &ImportedMaterial::reflection},
    {"displacementColor", &ImportedMaterial::displacementColor},
    {"vectorDisplacementColor", &ImportedMaterial::vectorDisplacementColor},
};

// The sockets live in a hash map; sorted by name the output is the same on every run.
std::vector<const Socket*> SortedSockets(const Skeleton& skeleton)
{
    std::vector<const Socket*> sockets;
    for (const auto& [name, socket] : skeleton.sockets) sockets.push_back(&socket);
    std::sort(sockets.begin(), sockets.end(), [](const Socket* a, const Socket* b) { return a->name < b->name; });
    return sockets;
}

// ---- JSON ----

std::string Vector3Json(const Float3& v)
{
    return "[" + JsonNumber(v.x) + "," + JsonNumber(v.y) + "," + JsonNumber(v.z) + "]";
}

std::string BoxJson(const BoundingBox& box)
{
    return "{\"min\":" + Vector3Json(box.min) + ",\"max\":" + Vector3Json(box.max) +
           ",\"valid\":" + (box.valid ? "true" : "false") + "}";
}

std::string MeshJson(const Mesh& mesh)
{
    return "{\"name\":" + JsonString(mesh.name) + ",\"vertices\":" + std::to_string(mesh.vertices.size()) +
           ",\"indices\":" + std::to_string(mesh.indices.size()) +
           ",\"materialIndex\":" + std::to_string(mesh.materialIndex) + ",\"box\":" + BoxJson(mesh.box) + "}";
}

std::string MeshesJson(const std::vector<Mesh>& meshes)
{
    std::string out = "[";
    for (std::size_t k = 0; k < meshes.size(); ++k) out += (k ? "," : "") + MeshJson(meshes[k]);
    return out + "]";
}

std::string MaterialJson(const ImportedMaterial& material)
{
    std::string out = "{\"name\":" + JsonString(material.name);
    for (const SlotField& field : kSlots) {
        const TextureSlot& slot = material.*field.slot;
        out += ",\"" + std::string(field.name) + "\":{\"fileName\":" + JsonString(slot.fileName) +
               ",\"filePath\":" + JsonString(slot.filePath) + ",\"relativePath\":" + JsonString(slot.relativePath) +
               "}";
    }
    return out + "}";
}

std::string SkeletonJson(const Skeleton& skeleton)
{
    std::string out = "{\"name\":" + JsonString(skeleton.name) + ",\"bones\":[";
    for (std::size_t k = 0; k < skeleton.bones.size(); ++k)
        out += std::string(k ? "," : "") + "{\"name\":" + JsonString(skeleton.bones[k].name) +
               ",\"parent\":" + std::to_string(skeleton.bones[k].parent) + "}";
    out += "],\"sockets\":[";
    bool first = true;
    for (const Socket* socket : SortedSockets(skeleton)) {
        out += std::string(first ? "" : ",") + "{\"name\":" + JsonString(socket->name) +
               ",\"parent\":" + std::to_string(socket->parent) + "}";
        first = false;
    }
    return out + "]}";
}

std::string LodGroupsJson(const std::vector<std::vector<LodLevel>>& groups)
{
    std::string out = "[";
    for (std::size_t g = 0; g < groups.size(); ++g) {
        out += g ? ",[" : "[";
        for (std::size_t l = 0; l < groups[g].size(); ++l) {
            const LodLevel& level = groups[g][l];
            out += std::string(l ? "," : "") + "{\"index\":" + std::to_string(level.index) +
                   ",\"distance\":" + JsonNumber(level.distance) + ",\"meshes\":" + MeshesJson(level.meshes) + "}";
        }
        out += "]";
    }
    return out + "]";
}

std::string ReportJson(const std::string& path, const ImportResult& result, const ImportedModel& model)
{
    std::string out = "{\"file\":" + JsonString(path);
    out += ",\"status\":" + std::to_string(static_cast<int>(result.status));
    out += ",\"statusName\":" + JsonString(StatusName(result.status));
    out += ",\"lastError\":" + JsonString(GetFbxContext().lastError);
    out += ",\"warnings\":{";
    for (std::size_t k = 0; k < std::size(kWarnings); ++k)
        out += std::string(k ? "," : "") + "\"" + kWarnings[k].second +
               "\":" + std::to_string(WarningCount(result, kWarnings[k].first));
    out += "},\"meshes\":" + MeshesJson(model.meshes);
    out += ",\"materials\":[";
    for (std::size_t k = 0; k < model.materials.size(); ++k) out += (k ? "," : "") + MaterialJson(model.materials[k]);
    out += "],\"skeleton\":" + SkeletonJson(model.skeleton);
    out += ",\"lodGroups\":" + LodGroupsJson(model.lodGroups);
    out += ",\"fileUpAxis\":" + std::to_string(model.fileUpAxis);
    out += ",\"fileUnit\":" + std::to_string(model.fileUnit);
    out += ",\"box\":" + BoxJson(model.box);
    return out + "}";
}

// ---- text ----

void PrintBox(const BoundingBox& box)
{
    if (!box.valid) {
        std::printf("no box");
        return;
    }
    std::printf("box (%g, %g, %g) to (%g, %g, %g)", box.min.x, box.min.y, box.min.z, box.max.x, box.max.y,
                box.max.z);
}

void PrintMesh(const Mesh& mesh, int indent)
{
    std::printf("%*smesh %s: %zu vertices, %zu indices, material %d, ", indent, "", mesh.name.c_str(),
                mesh.vertices.size(), mesh.indices.size(), mesh.materialIndex);
    PrintBox(mesh.box);
    std::printf("\n");
}

void PrintReport(const std::string& path, const ImportResult& result, const ImportedModel& model)
{
    std::printf("file: %s\nstatus: %d (%s)\n", path.c_str(), static_cast<int>(result.status),
                StatusName(result.status));
    if (!GetFbxContext().lastError.empty()) std::printf("error: %s\n", GetFbxContext().lastError.c_str());
    for (const auto& [kind, name] : kWarnings)
        if (int count = WarningCount(result, kind)) std::printf("warning %s: %d\n", name, count);
    std::printf("file up axis: %s, file unit: %s\n", UpAxisName(model.fileUpAxis), UnitName(model.fileUnit));
    std::printf("whole file: ");
    PrintBox(model.box);
    std::printf("\n");
    for (const Mesh& mesh : model.meshes) PrintMesh(mesh, 0);
    for (std::size_t k = 0; k < model.materials.size(); ++k) {
        const ImportedMaterial& material = model.materials[k];
        std::printf("material %zu: %s\n", k, material.name.c_str());
        for (const SlotField& field : kSlots) {
            const TextureSlot& slot = material.*field.slot;
            if (slot.fileName.empty() && slot.filePath.empty() && slot.relativePath.empty()) continue;
            std::printf("  %s: %s (file %s, relative %s)\n", field.name, slot.fileName.c_str(), slot.filePath.c_str(),
                        slot.relativePath.c_str());
        }
    }
    const Skeleton& skeleton = model.skeleton;
    if (!skeleton.bones.empty() || !skeleton.sockets.empty()) {
        std::printf("skeleton %s: %zu bones, %zu sockets\n", skeleton.name.c_str(), skeleton.bones.size(),
                    skeleton.sockets.size());
        for (std::size_t k = 0; k < skeleton.bones.size(); ++k)
            std::printf("  bone %zu: %s, parent %d\n", k, skeleton.bones[k].name.c_str(), skeleton.bones[k].parent);
        for (const Socket* socket : SortedSockets(skeleton))
            std::printf("  socket %s, parent %d\n", socket->name.c_str(), socket->parent);
    }
    for (std::size_t g = 0; g < model.lodGroups.size(); ++g) {
        std::printf("lod group %zu: %zu levels\n", g, model.lodGroups[g].size());
        for (const LodLevel& level : model.lodGroups[g]) {
            std::printf("  level %d from distance %g\n", level.index, level.distance);
            for (const Mesh& mesh : level.meshes) PrintMesh(mesh, 4);
        }
    }
}

}  // namespace

int ReportImport(const char* path, bool json)
{
    InitializeFbx();
    ImportedModel model;
    ImportResult result = ImportFbx(path, model, kForceTangents, kDeduplicate);
    if (json) std::printf("%s\n", ReportJson(path, result, model).c_str());
    else PrintReport(path, result, model);
    return static_cast<int>(result.status);
}

}  // namespace fbxinfo
