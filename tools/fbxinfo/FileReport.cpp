#include "FileReport.h"

#include "FileContents.h"
#include "JsonOutput.h"

#include <cstdio>

namespace fbxinfo {

namespace {

// The exit status, also the JSON's "status"; scripts tell a file we cannot read from one we can.
constexpr int kStatusRead = 0;
constexpr int kStatusNotRead = 2;

// The importer's file formats.
constexpr int kBinaryFormat = 0;
constexpr int kAsciiFormat = 1;

// Spaces per tree level in the text report.
constexpr int kIndentPerDepth = 2;

int StatusOf(const FileContents& contents)
{
    return contents.read ? kStatusRead : kStatusNotRead;
}

// ---- text ----

void PrintHeader(const char* path, const FileContents& contents)
{
    std::printf("file: %s\nstatus: %d%s%s\n", path, StatusOf(contents),
        contents.error.empty() ? "" : "\nerror: ", contents.error.c_str());
    if (contents.format >= 0)
        std::printf(
            "format: %s, version %d\n", contents.format == kBinaryFormat ? "binary" : "ascii", contents.version);
    // A file that was not read has no axes or unit of its own: the defaults would read as its own.
    if (!contents.read)
        return;
    std::printf("axes: up %s, front %d, %s-handed; original up axis %d\n", contents.upAxis.c_str(), contents.frontAxis,
        contents.rightHanded ? "right" : "left", contents.originalUpAxis);
    std::printf("unit: %g cm (original %g cm)\n", contents.unitScaleFactor, contents.originalUnitScaleFactor);
}

// The node's line; a mesh's layers and skins follow on lines of their own, indented under it.
void PrintNode(const NodeInfo& node)
{
    const int indent = node.depth * kIndentPerDepth;
    std::printf("%*s%s [%s]", indent, "", node.name.c_str(), node.attribute.c_str());
    if (node.mesh) {
        const MeshInfo& mesh = *node.mesh;
        std::printf(" %d control points, %d polygons, %d polygon vertices, %d materials", mesh.controlPoints,
            mesh.polygons, mesh.polygonVertices, mesh.materials);
        for (const LayerInfo& l : mesh.layers)
            std::printf("\n%*s  %s %s %s (%d direct, %d index)", indent, "", l.type.c_str(), l.mapping.c_str(),
                l.reference.c_str(), l.direct, l.index);
        for (int clusters : mesh.skinClusters)
            std::printf("\n%*s  skin with %d clusters", indent, "", clusters);
    }
    if (node.lodThresholds)
        std::printf(" %zu thresholds", node.lodThresholds->size());
    std::printf("\n");
}

void PrintMaterial(const MaterialInfo& material)
{
    std::printf("material %s", material.name.c_str());
    for (const auto& [slot, texture] : material.textures)
        std::printf(" %s=%s", slot.c_str(), texture.c_str());
    std::printf("\n");
}

void PrintText(const char* path, const FileContents& contents)
{
    PrintHeader(path, contents);
    for (const NodeInfo& node : contents.nodes)
        PrintNode(node);
    for (const MaterialInfo& material : contents.materials)
        PrintMaterial(material);
}

// ---- JSON ----

const char* FormatName(int format)
{
    switch (format) {
    case kBinaryFormat: return "binary";
    case kAsciiFormat: return "ascii";
    default: return "";
    }
}

void WriteNodes(JsonWriter& writer, const std::vector<NodeInfo>& nodes)
{
    writer.StartArray();
    for (const NodeInfo& node : nodes) {
        writer.StartObject();
        writer.Key("name");
        WriteString(writer, node.name);
        writer.Key("depth");
        writer.Int(node.depth);
        writer.Key("attribute");
        WriteString(writer, node.attribute);
        writer.Key("children");
        writer.Int(node.children);
        writer.EndObject();
    }
    writer.EndArray();
}

void WriteLayer(JsonWriter& writer, const LayerInfo& layer)
{
    writer.StartObject();
    writer.Key("type");
    WriteString(writer, layer.type);
    writer.Key("mapping");
    WriteString(writer, layer.mapping);
    writer.Key("reference");
    WriteString(writer, layer.reference);
    writer.Key("direct");
    writer.Int(layer.direct);
    writer.Key("index");
    writer.Int(layer.index);
    writer.EndObject();
}

void WriteMesh(JsonWriter& writer, const std::string& name, const MeshInfo& mesh)
{
    writer.StartObject();
    writer.Key("name");
    WriteString(writer, name);
    writer.Key("controlPoints");
    writer.Int(mesh.controlPoints);
    writer.Key("polygons");
    writer.Int(mesh.polygons);
    writer.Key("polygonVertices");
    writer.Int(mesh.polygonVertices);
    writer.Key("materials");
    writer.Int(mesh.materials);
    writer.Key("skins");
    writer.StartArray();
    for (int clusters : mesh.skinClusters) {
        writer.StartObject();
        writer.Key("clusters");
        writer.Int(clusters);
        writer.EndObject();
    }
    writer.EndArray();
    writer.Key("layers");
    writer.StartArray();
    for (const LayerInfo& layer : mesh.layers)
        WriteLayer(writer, layer);
    writer.EndArray();
    writer.EndObject();
}

void WriteMaterial(JsonWriter& writer, const MaterialInfo& material)
{
    writer.StartObject();
    writer.Key("name");
    WriteString(writer, material.name);
    writer.Key("textures");
    writer.StartObject();
    for (const auto& [slot, texture] : material.textures) {
        WriteString(writer, slot); // the writer takes a key as any other string
        WriteString(writer, texture);
    }
    writer.EndObject();
    writer.EndObject();
}

void WriteLodGroup(JsonWriter& writer, const std::string& name, const std::vector<float>& thresholds)
{
    writer.StartObject();
    writer.Key("name");
    WriteString(writer, name);
    writer.Key("thresholds");
    writer.StartArray();
    for (float threshold : thresholds)
        WriteNumber(writer, threshold);
    writer.EndArray();
    writer.EndObject();
}

void WriteJson(JsonWriter& writer, const FileContents& contents)
{
    writer.StartObject();
    writer.Key("status");
    writer.Int(StatusOf(contents));
    writer.Key("error");
    WriteString(writer, contents.error);
    writer.Key("format");
    WriteString(writer, FormatName(contents.format));
    // 0 says "no version" when the file was neither read nor recognised as FBX.
    writer.Key("version");
    writer.Int(contents.read || contents.format >= 0 ? contents.version : 0);
    writer.Key("upAxis");
    WriteString(writer, contents.upAxis);
    writer.Key("frontAxis");
    writer.Int(contents.frontAxis);
    writer.Key("handedness");
    WriteString(writer, contents.rightHanded ? "right" : "left");
    writer.Key("originalUpAxis");
    writer.Int(contents.originalUpAxis);
    writer.Key("unitScaleFactor");
    WriteNumber(writer, contents.unitScaleFactor);
    writer.Key("originalUnitScaleFactor");
    WriteNumber(writer, contents.originalUnitScaleFactor);
    writer.Key("nodes");
    WriteNodes(writer, contents.nodes);
    writer.Key("meshes");
    writer.StartArray();
    for (const NodeInfo& node : contents.nodes)
        if (node.mesh)
            WriteMesh(writer, node.name, *node.mesh);
    writer.EndArray();
    writer.Key("materials");
    writer.StartArray();
    for (const MaterialInfo& material : contents.materials)
        WriteMaterial(writer, material);
    writer.EndArray();
    writer.Key("lodGroups");
    writer.StartArray();
    for (const NodeInfo& node : contents.nodes)
        if (node.lodThresholds)
            WriteLodGroup(writer, node.name, *node.lodThresholds);
    writer.EndArray();
    writer.EndObject();
}

} // namespace

int ReportFile(const char* path, bool json)
{
    const FileContents contents = ReadFileContents(path);
    if (json)
        PrintJson([&](JsonWriter& writer) { WriteJson(writer, contents); });
    else
        PrintText(path, contents);
    return StatusOf(contents);
}

} // namespace fbxinfo
