#include "ImportReport.h"

#include "JsonOutput.h"

#include "Assets/FbxImport.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
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

const char* UpAxisName(int axis)
{
    static const char* const names[] = { "X", "Y", "Z" };
    return axis >= 0 && axis <= 2 ? names[axis] : "?";
}

const char* UnitName(int unit)
{
    static const char* const names[] = { "other", "mm", "cm", "dm", "m", "inch", "foot", "mile", "yard" };
    return unit >= 0 && unit <= 8 ? names[unit] : "?";
}

struct SlotField {
    const char* name;
    TextureSlot ImportedMaterial::*slot;
};

constexpr SlotField kSlots[] = {
    { "emissive", &ImportedMaterial::emissive },
    { "ambient", &ImportedMaterial::ambient },
    { "diffuse", &ImportedMaterial::diffuse },
    { "specular", &ImportedMaterial::specular },
    { "shininess", &ImportedMaterial::shininess },
    { "bump", &ImportedMaterial::bump },
    { "normalMap", &ImportedMaterial::normalMap },
    { "transparentColor", &ImportedMaterial::transparentColor },
    { "reflection", &ImportedMaterial::reflection },
    { "displacementColor", &ImportedMaterial::displacementColor },
    { "vectorDisplacementColor", &ImportedMaterial::vectorDisplacementColor },
};

// The sockets live in a hash map; sorted by name the output is the same on every run.
std::vector<const Socket*> SortedSockets(const Skeleton& skeleton)
{
    std::vector<const Socket*> sockets;
    for (const auto& [name, socket] : skeleton.sockets)
        sockets.push_back(&socket);
    std::sort(sockets.begin(), sockets.end(), [](const Socket* a, const Socket* b) { return a->name < b->name; });
    return sockets;
}

// ---- JSON ----

void WriteVector3(JsonWriter& writer, const Float3& v)
{
    writer.StartArray();
    WriteNumber(writer, v.x);
    WriteNumber(writer, v.y);
    WriteNumber(writer, v.z);
    writer.EndArray();
}

void WriteBox(JsonWriter& writer, const BoundingBox& box)
{
    writer.StartObject();
    writer.Key("min");
    WriteVector3(writer, box.min);
    writer.Key("max");
    WriteVector3(writer, box.max);
    writer.Key("valid");
    writer.Bool(box.valid);
    writer.EndObject();
}

void WriteMesh(JsonWriter& writer, const Mesh& mesh)
{
    writer.StartObject();
    writer.Key("name");
    WriteString(writer, mesh.name);
    writer.Key("vertices");
    writer.Uint64(mesh.vertices.size());
    writer.Key("indices");
    writer.Uint64(mesh.indices.size());
    writer.Key("materialIndex");
    writer.Int(mesh.materialIndex);
    writer.Key("box");
    WriteBox(writer, mesh.box);
    writer.EndObject();
}

void WriteMeshes(JsonWriter& writer, const std::vector<Mesh>& meshes)
{
    writer.StartArray();
    for (const Mesh& mesh : meshes)
        WriteMesh(writer, mesh);
    writer.EndArray();
}

void WriteMaterial(JsonWriter& writer, const ImportedMaterial& material)
{
    writer.StartObject();
    writer.Key("name");
    WriteString(writer, material.name);
    for (const SlotField& field : kSlots) {
        const TextureSlot& slot = material.*field.slot;
        writer.Key(field.name);
        writer.StartObject();
        writer.Key("fileName");
        WriteString(writer, slot.fileName);
        writer.Key("filePath");
        WriteString(writer, slot.filePath);
        writer.Key("relativePath");
        WriteString(writer, slot.relativePath);
        writer.EndObject();
    }
    writer.EndObject();
}

// Bones and sockets alike: a name and the index of the bone they hang from.
void WriteNamedChild(JsonWriter& writer, const std::string& name, int parent)
{
    writer.StartObject();
    writer.Key("name");
    WriteString(writer, name);
    writer.Key("parent");
    writer.Int(parent);
    writer.EndObject();
}

void WriteSkeleton(JsonWriter& writer, const Skeleton& skeleton)
{
    writer.StartObject();
    writer.Key("name");
    WriteString(writer, skeleton.name);
    writer.Key("bones");
    writer.StartArray();
    for (const Bone& bone : skeleton.bones)
        WriteNamedChild(writer, bone.name, bone.parent);
    writer.EndArray();
    writer.Key("sockets");
    writer.StartArray();
    for (const Socket* socket : SortedSockets(skeleton))
        WriteNamedChild(writer, socket->name, socket->parent);
    writer.EndArray();
    writer.EndObject();
}

// One array per group, one object per level.
void WriteLodGroups(JsonWriter& writer, const std::vector<std::vector<LodLevel>>& groups)
{
    writer.StartArray();
    for (const std::vector<LodLevel>& group : groups) {
        writer.StartArray();
        for (const LodLevel& level : group) {
            writer.StartObject();
            writer.Key("index");
            writer.Int(level.index);
            writer.Key("distance");
            WriteNumber(writer, level.distance);
            writer.Key("meshes");
            WriteMeshes(writer, level.meshes);
            writer.EndObject();
        }
        writer.EndArray();
    }
    writer.EndArray();
}

void WriteJson(JsonWriter& writer, std::string_view path, const ImportResult& result, const ImportedModel& model)
{
    writer.StartObject();
    writer.Key("file");
    WriteString(writer, path);
    writer.Key("status");
    writer.Int(static_cast<int>(result.status));
    writer.Key("statusName");
    WriteString(writer, StatusName(result.status));
    writer.Key("lastError");
    WriteString(writer, GetFbxContext().lastError);
    writer.Key("warnings");
    writer.StartObject();
    for (const auto& [kind, name] : kImportWarningNames) {
        writer.Key(name);
        writer.Int(WarningCount(result, kind));
    }
    writer.EndObject();
    writer.Key("meshes");
    WriteMeshes(writer, model.meshes);
    writer.Key("materials");
    writer.StartArray();
    for (const ImportedMaterial& material : model.materials)
        WriteMaterial(writer, material);
    writer.EndArray();
    writer.Key("skeleton");
    WriteSkeleton(writer, model.skeleton);
    writer.Key("lodGroups");
    WriteLodGroups(writer, model.lodGroups);
    writer.Key("fileUpAxis");
    writer.Int(model.fileUpAxis);
    writer.Key("fileUnit");
    writer.Int(model.fileUnit);
    writer.Key("box");
    WriteBox(writer, model.box);
    writer.EndObject();
}

// ---- text ----

void PrintBox(const BoundingBox& box)
{
    if (!box.valid) {
        std::printf("no box");
        return;
    }
    std::printf("box (%g, %g, %g) to (%g, %g, %g)", box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z);
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
    std::printf(
        "file: %s\nstatus: %d (%s)\n", path.c_str(), static_cast<int>(result.status), StatusName(result.status));
    if (!GetFbxContext().lastError.empty())
        std::printf("error: %s\n", GetFbxContext().lastError.c_str());
    for (const auto& [kind, name] : kImportWarningNames)
        if (int count = WarningCount(result, kind))
            std::printf("warning %s: %d\n", name, count);
    std::printf("file up axis: %s, file unit: %s\n", UpAxisName(model.fileUpAxis), UnitName(model.fileUnit));
    std::printf("whole file: ");
    PrintBox(model.box);
    std::printf("\n");
    for (const Mesh& mesh : model.meshes)
        PrintMesh(mesh, 0);
    for (std::size_t k = 0; k < model.materials.size(); ++k) {
        const ImportedMaterial& material = model.materials[k];
        std::printf("material %zu: %s\n", k, material.name.c_str());
        for (const SlotField& field : kSlots) {
            const TextureSlot& slot = material.*field.slot;
            if (slot.fileName.empty() && slot.filePath.empty() && slot.relativePath.empty())
                continue;
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
            for (const Mesh& mesh : level.meshes)
                PrintMesh(mesh, 4);
        }
    }
}

} // namespace

int ReportImport(const char* path, bool json)
{
    InitializeFbx();
    ImportedModel model;
    ImportResult result = ImportFbx(path, model, kForceTangents, kDeduplicate);
    if (json)
        PrintJson([&](JsonWriter& writer) { WriteJson(writer, path, result, model); });
    else
        PrintReport(path, result, model);
    return static_cast<int>(result.status);
}

} // namespace fbxinfo
