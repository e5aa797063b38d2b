// What the FBX reader sees in a file, copied out of the SDK's objects into plain values so that the
// text and JSON reports (FileReport.h) print the same facts and need no SDK calls of their own.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fbxinfo {

// One layer element of a mesh; mapping and reference are the SDK's enumerator names.
struct LayerInfo {
    std::string type; // normal, tangent, binormal, uv, color or material
    std::string mapping;
    std::string reference;
    int direct = 0; // entries in the direct array
    int index = 0; // entries in the index array
};

struct MeshInfo {
    int controlPoints = 0;
    int polygons = 0;
    int polygonVertices = 0;
    int materials = 0; // of the node that holds the mesh
    std::vector<LayerInfo> layers;
    std::vector<int> skinClusters; // the cluster count of each skin deformer
};

// A node of the tree, in depth-first order; the scene's root node itself is not listed.
struct NodeInfo {
    std::string name;
    int depth = 0; // 0 for the root's children
    std::string attribute; // the SDK's attribute type name, or "none"
    int children = 0;
    std::optional<MeshInfo> mesh;
    std::optional<std::vector<float>> lodThresholds; // set for LOD groups
};

struct MaterialInfo {
    std::string name;
    // Each channel that has a texture, in channel order: "file:NAME", "layered" or "procedural".
    std::vector<std::pair<std::string, std::string>> textures;
};

struct FileContents {
    bool read = false; // the file opened as FBX and its scene was built
    std::string error;
    int format = -1; // the importer's file format: 0 binary, 1 ASCII, -1 when not recognised
    int version = 0; // 7400 for FBX 7.4
    std::string upAxis; // X, Y or Z, with "-" in front when it points down that axis; "?" if unknown
    int frontAxis = 0; // the SDK's front vector (1 parity even, 2 parity odd), negative when reversed
    bool rightHanded = true;
    int originalUpAxis = 0; // the axis index the file was authored with, -1 when it does not say
    double unitScaleFactor = 0; // centimetres per unit
    double originalUnitScaleFactor = 0;
    std::vector<NodeInfo> nodes; // empty when the file was not read
    std::vector<MaterialInfo> materials;
};

FileContents ReadFileContents(const char* path);

} // namespace fbxinfo
