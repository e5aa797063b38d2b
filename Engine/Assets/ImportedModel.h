#pragma once
// What an FBX import produces: the status with its counted warnings, and the file's meshes,
// materials, skeleton, LOD groups and bounds. The model cache keeps only the meshes.
// An ImportedModel holds no FBX SDK object once the import has returned.

#include "Assets/Model.h"
#include "Math/Matrix4x4.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

enum class ImportStatus : std::uint8_t {
    Ok = 0,
    OkWithWarnings = 1,
    // The file could not be opened or read, is not FBX, or the importer reported an error.
    ReadFailed = 2,
    NoImporter = 3,
    FileNotFound = 4,
    // Neither a mesh nor a LOD group.
    NoMeshes = 7,
};

enum class ImportWarning : std::uint8_t {
    // A new vertex had more than four bone influences with weight beyond the fourth.
    TooManyInfluences = 0,
    // A mesh had no UV layer; one was created.
    MissingUVs = 1,
    TangentsFailed = 2,
    // A bone's short name was already taken.
    DuplicateBoneName = 4,
    // A mesh had no normals; smooth ones were generated.
    MissingNormals = 5,
};

struct ImportResult {
    ImportStatus status = ImportStatus::Ok;
    std::unordered_map<ImportWarning, std::int32_t> warnings;
};

// Counts one more warning of `kind`.
void AddWarning(ImportResult& result, ImportWarning kind);

// How many warnings of `kind` the import counted.
std::int32_t WarningCount(const ImportResult& result, ImportWarning kind);

// Every warning kind with the name the tools print for it, in the order they list them.
struct ImportWarningName {
    ImportWarning kind;
    const char* name;
};
inline constexpr ImportWarningName kImportWarningNames[] = {
    { ImportWarning::TooManyInfluences, "TooManyInfluences" },
    { ImportWarning::MissingUVs, "MissingUVs" },
    { ImportWarning::TangentsFailed, "TangentsFailed" },
    { ImportWarning::DuplicateBoneName, "DuplicateBoneName" },
    { ImportWarning::MissingNormals, "MissingNormals" },
};

// The file texture connected to one material property; all empty when there is none.
struct TextureSlot {
    // The last "\"-separated component of relativePath.
    std::string fileName;
    std::string filePath;
    std::string relativePath;
};

struct ImportedMaterial {
    std::string name;
    TextureSlot emissive;
    TextureSlot ambient;
    TextureSlot diffuse;
    TextureSlot specular;
    TextureSlot shininess;
    TextureSlot bump;
    TextureSlot normalMap;
    TextureSlot transparentColor;
    TextureSlot reflection;
    TextureSlot displacementColor;
    TextureSlot vectorDisplacementColor;
};

struct Bone {
    // The inverse bind matrix, row by row; identity until a skin cluster names the bone.
    Matrix4x4 offset = Matrix4x4::Identity();
    std::int32_t parent = -1;
    std::string name;
    // The name after its last ":".
    std::string shortName;
    std::vector<std::int32_t> children;
};

struct Socket {
    Matrix4x4 transform;
    std::int32_t parent = -1;
    std::string name;
};

struct EventMarker {
    std::int32_t parent = -1;
    std::string name;
};

struct Skeleton {
    std::string name;
    // In depth-first discovery order; a bone's index is its position.
    std::vector<Bone> bones;
    std::unordered_map<std::string, Socket> sockets;
    std::unordered_map<std::string, std::int32_t> boneIndexByName;
};

struct LodLevel {
    // The child's position under its LOD-group node.
    std::int32_t index = 0;
    // The threshold that starts this level.
    float distance = 0.0f;
    std::vector<Mesh> meshes;
};

// An image the FBX file carries inside it (a video's content), with the name of the file it was
// embedded from, as the file gives it.
struct EmbeddedImage {
    std::string fileName;
    std::vector<std::uint8_t> bytes;
};

struct ImportedModel {
    std::string infoA;
    std::string infoB;
    // 0 = X, 1 = Y, 2 = Z.
    std::uint8_t fileUpAxis = 0;
    // 0 = none of the listed, 1 mm, 2 cm, 3 dm, 4 m, 5 inch, 6 foot, 7 mile, 8 yard.
    std::uint8_t fileUnit = 0;
    Skeleton skeleton;
    // The meshes that are not part of a LOD group.
    std::vector<Mesh> meshes;
    std::vector<ImportedMaterial> materials;
    std::vector<std::vector<LodLevel>> lodGroups;
    std::string sourcePath;
    Extents bounds;
    BoundingBox box;
    // The images the file embeds, in file order; a name embedded twice is kept once.
    std::vector<EmbeddedImage> embeddedImages;
};

// Grows `bounds` to contain `extents`: both taken as centre +- half size, the result spans the smaller
// minima and larger maxima; its radius is the largest new half size.
void MergeExtents(Extents& bounds, const Extents& extents);
