// fbxinfo FILE [--json]: prints what the FBX reader sees in a file. With --json the output is
// one JSON object; "status" is 0 when the file was read and 2 when it was not.
// fbxinfo FILE --import [--json]: prints what the engine's import makes of the file instead
// (ImportReport.h); the exit status is the ImportStatus value.
#include "ImportReport.h"
#include "JsonText.h"

#include <fbxsdk.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Quote(const std::string& s) { return fbxinfo::JsonString(s); }

const char* MappingName(FbxLayerElement::EMappingMode m)
{
    switch (m) {
    case FbxLayerElement::eByControlPoint: return "eByControlPoint";
    case FbxLayerElement::eByPolygonVertex: return "eByPolygonVertex";
    case FbxLayerElement::eByPolygon: return "eByPolygon";
    case FbxLayerElement::eByEdge: return "eByEdge";
    case FbxLayerElement::eAllSame: return "eAllSame";
    default: return "eNone";
    }
}

const char* ReferenceName(FbxLayerElement::EReferenceMode r)
{
    switch (r) {
    case FbxLayerElement::eIndex: return "eIndex";
    case FbxLayerElement::eIndexToDirect: return "eIndexToDirect";
    default: return "eDirect";
    }
}

const char* AttributeName(const FbxNode* node)
{
    const FbxNodeAttribute* a = node->GetNodeAttribute();
    if (!a) return "none";
    switch (a->GetAttributeType()) {
    case FbxNodeAttribute::eNull: return "eNull";
    case FbxNodeAttribute::eSkeleton: return "eSkeleton";
    case FbxNodeAttribute::eMesh: return "eMesh";
    case FbxNodeAttribute::eLODGroup: return "eLODGroup";
    case FbxNodeAttribute::eCamera: return "eCamera";
    case FbxNodeAttribute::eLight: return "eLight";
    default: return "eUnknown";
    }
}

struct Layer {
    std::string type;
    FbxLayerElement::EMappingMode mapping;
    FbxLayerElement::EReferenceMode reference;
    int direct, index;
};

std::vector<Layer> LayersOf(FbxMesh* mesh)
{
    std::vector<Layer> layers;
    auto add = [&](const char* type, const FbxLayerElement* e, int direct, int index) {
        layers.push_back({type, e->GetMappingMode(), e->GetReferenceMode(), direct, index});
    };
    for (int k = 0; k < mesh->GetElementNormalCount(); ++k) {
        auto* e = mesh->GetElementNormal(k);
        add("normal", e, e->GetDirectArray().GetCount(), e->GetIndexArray().GetCount());
    }
    for (int k = 0; k < mesh->GetElementTangentCount(); ++k) {
        auto* e = mesh->GetElementTangent(k);
        add("tangent", e, e->GetDirectArray().GetCount(), e->GetIndexArray().GetCount());
    }
    for (int k = 0; k < mesh->GetElementBinormalCount(); ++k) {
        auto* e = mesh->GetElementBinormal(k);
        add("binormal", e, e->GetDirectArray().GetCount(), e->GetIndexArray().GetCount());
    }
    for (int k = 0; k < mesh->GetElementUVCount(); ++k) {
        auto* e = mesh->GetElementUV(k);
        add("uv", e, e->GetDirectArray().GetCount(), e->GetIndexArray().GetCount());
    }
    for (int k = 0; k < mesh->GetElementVertexColorCount(); ++k) {
        auto* e = mesh->GetElementVertexColor(k);
        add("color", e, e->GetDirectArray().GetCount(), e->GetIndexArray().GetCount());
    }
    for (int k = 0; k < mesh->GetElementMaterialCount(); ++k) {
        auto* e = mesh->GetElementMaterial(k);
        add("material", e, e->GetDirectArray().GetCount(), e->GetIndexArray().GetCount());
    }
    return layers;
}

void CollectNodes(FbxNode* node, int depth, std::vector<std::pair<FbxNode*, int>>& out)
{
    for (int k = 0; k < node->GetChildCount(); ++k) {
        out.emplace_back(node->GetChild(k), depth);
        CollectNodes(node->GetChild(k), depth + 1, out);
    }
}

const char* kSlots[] = {FbxSurfaceMaterial::sEmissive, FbxSurfaceMaterial::sAmbient,
                        FbxSurfaceMaterial::sDiffuse, FbxSurfaceMaterial::sSpecular,
                        FbxSurfaceMaterial::sShininess, FbxSurfaceMaterial::sBump,
                        FbxSurfaceMaterial::sNormalMap, FbxSurfaceMaterial::sTransparentColor,
                        FbxSurfaceMaterial::sReflection, FbxSurfaceMaterial::sDisplacementColor,
                        FbxSurfaceMaterial::sVectorDisplacementColor};

// "file:NAME", "layered", "procedural" or empty for one material channel.
std::string TextureOf(FbxSurfaceMaterial* material, const char* slot)
{
    FbxProperty p = material->FindProperty(slot);
    if (!p.IsValid()) return "";
    if (p.GetSrcObjectCount(FbxCriteria::ObjectType(FbxLayeredTexture::ClassId)) > 0) return "layered";
    FbxObject* texture = p.GetSrcObject(FbxCriteria::ObjectType(FbxTexture::ClassId), 0);
    if (!texture) return "";
    if (texture->GetClassId().Is(FbxFileTexture::ClassId))
        return std::string("file:") + static_cast<FbxFileTexture*>(texture)->GetRelativeFileName();
    return "procedural";
}

}  // namespace

int main(int argc, char** argv)
{
    const char* path = nullptr;
    bool json = false;
    bool import = false;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--json") == 0) json = true;
        else if (std::strcmp(argv[k], "--import") == 0) import = true;
        else path = argv[k];
    }
    if (!path) {
        std::fprintf(stderr,
                     "usage: fbxinfo FILE [--json]\n"
                     "       fbxinfo FILE --import [--json]\n"
                     "\n"
                     "Without --import: what the FBX reader sees (format, version, axes, unit, node tree,\n"
                     "mesh layers, materials, LOD thresholds); exit status 0 when read, 2 when not.\n"
                     "With --import: runs the engine's import as the model cache does (tangents only\n"
                     "where missing, equal vertices merged) and prints the status and warnings, each\n"
                     "mesh's vertex and index counts, material index and box, the materials with their\n"
                     "eleven texture slots, the skeleton's bones and sockets, the LOD groups, the file's\n"
                     "up axis and unit and the whole-file box; exit status is the import status\n"
                     "(0 Ok, 1 OkWithWarnings, 2 ReadFailed, 3 NoImporter, 4 FileNotFound, 7 NoMeshes).\n"
                     "--json prints one JSON object instead of text.\n");
        return 64;
    }
    if (import) return fbxinfo::ReportImport(path, json);
    FbxManager* manager = FbxManager::Create();
    FbxImporter* importer = FbxImporter::Create(manager, "");
    FbxScene* scene = FbxScene::Create(manager, "The Scene");
    bool ok = importer->Initialize(path, -1, nullptr) && importer->IsFBX() && importer->Import(scene, false);
    int status = ok ? 0 : 2;
    std::string error = importer->GetStatus().Error() ? importer->GetStatus().GetErrorString() : "";
    int format = importer->GetFileFormat();
    int major, minor, revision;
    importer->GetFileVersion(major, minor, revision);
    int version = major * 1000 + minor * 100 + revision * 10;

    FbxGlobalSettings& settings = scene->GetGlobalSettings();
    int upSign = 1, frontSign = 1;
    FbxAxisSystem axes = settings.GetAxisSystem();
    int up = axes.GetUpVector(upSign);
    int front = axes.GetFrontVector(frontSign);
    bool rightHanded = axes.GetCoorSystem() == FbxAxisSystem::eRightHanded;
    const char* upNames[] = {"?", "X", "Y", "Z"};
    std::string upAxis = std::string(upSign < 0 ? "-" : "") + upNames[up >= 1 && up <= 3 ? up : 0];

    std::vector<std::pair<FbxNode*, int>> nodes;
    if (ok) CollectNodes(scene->GetRootNode(), 0, nodes);

    if (json) {
        std::string out = "{";
        out += "\"status\":" + std::to_string(status);
        out += ",\"error\":" + Quote(error);
        out += ",\"format\":" + Quote(format == 0 ? "binary" : format == 1 ? "ascii" : "");
        out += ",\"version\":" + std::to_string(ok || format >= 0 ? version : 0);
        out += ",\"upAxis\":" + Quote(upAxis);
        out += ",\"frontAxis\":" + std::to_string(frontSign * front);
        out += ",\"handedness\":" + Quote(rightHanded ? "right" : "left");
        out += ",\"originalUpAxis\":" + std::to_string(settings.GetOriginalUpAxis());
        out += ",\"unitScaleFactor\":" + fbxinfo::JsonNumber(settings.GetSystemUnit().GetScaleFactor(), 17);
        out += ",\"originalUnitScaleFactor\":" +
               fbxinfo::JsonNumber(settings.GetOriginalSystemUnit().GetScaleFactor(), 17);
        out += ",\"nodes\":[";
        for (std::size_t k = 0; k < nodes.size(); ++k) {
            FbxNode* n = nodes[k].first;
            out += std::string(k ? "," : "") + "{\"name\":" + Quote(n->GetName()) + ",\"depth\":" +
                   std::to_string(nodes[k].second) + ",\"attribute\":" + Quote(AttributeName(n)) +
                   ",\"children\":" + std::to_string(n->GetChildCount()) + "}";
        }
        out += "],\"meshes\":[";
        bool first = true;
        for (auto& [n, depth] : nodes) {
            FbxMesh* mesh = n->GetMesh();
            if (!mesh) continue;
            out += std::string(first ? "" : ",") + "{\"name\":" + Quote(n->GetName());
            first = false;
            out += ",\"controlPoints\":" + std::to_string(mesh->GetControlPointsCount());
            out += ",\"polygons\":" + std::to_string(mesh->GetPolygonCount());
            out += ",\"polygonVertices\":" + std::to_string(mesh->GetPolygonVertexCount());
            out += ",\"materials\":" + std::to_string(n->GetMaterialCount());
            out += ",\"skins\":[";
            for (int d = 0; d < mesh->GetDeformerCount(FbxDeformer::eSkin); ++d) {
                auto* skin = static_cast<FbxSkin*>(mesh->GetDeformer(d, FbxDeformer::eSkin));
                out += std::string(d ? "," : "") + "{\"clusters\":" + std::to_string(skin->GetClusterCount()) + "}";
            }
            out += "],\"layers\":[";
            auto layers = LayersOf(mesh);
            for (std::size_t k = 0; k < layers.size(); ++k)
                out += std::string(k ? "," : "") + "{\"type\":" + Quote(layers[k].type) + ",\"mapping\":" +
                       Quote(MappingName(layers[k].mapping)) + ",\"reference\":" +
                       Quote(ReferenceName(layers[k].reference)) + ",\"direct\":" + std::to_string(layers[k].direct) +
                       ",\"index\":" + std::to_string(layers[k].index) + "}";
            out += "]}";
        }
        out += "],\"materials\":[";
        for (int m = 0; m < scene->GetMaterialCount(); ++m) {
            FbxSurfaceMaterial* material = scene->GetMaterial(m);
            out += std::string(m ? "," : "") + "{\"name\":" + Quote(material->GetName()) + ",\"textures\":{";
            bool any = false;
            for (const char* slot : kSlots) {
                std::string t = TextureOf(material, slot);
                if (t.empty()) continue;
                out += std::string(any ? "," : "") + Quote(slot) + ":" + Quote(t);
                any = true;
            }
            out += "}}";
        }
        out += "],\"lodGroups\":[";
        first = true;
        for (auto& [n, depth] : nodes) {
            FbxLODGroup* lod = n->GetLodGroup();
            if (!lod) continue;
            out += std::string(first ? "" : ",") + "{\"name\":" + Quote(n->GetName()) + ",\"thresholds\":[";
            first = false;
            for (int t = 0; t < lod->GetNumThresholds(); ++t) {
                FbxDistance d;
                lod->GetThreshold(t, d);
                out += std::string(t ? "," : "") + fbxinfo::JsonNumber(double(d.value()));
            }
            out += "]}";
        }
        out += "]}";
        std::printf("%s\n", out.c_str());
    } else {
        std::printf("file: %s\nstatus: %d%s%s\n", path, status, error.empty() ? "" : "\nerror: ", error.c_str());
        if (format >= 0) std::printf("format: %s, version %d\n", format == 0 ? "binary" : "ascii", version);
        std::printf("axes: up %s, front %d, %s-handed; original up axis %d\n", upAxis.c_str(), frontSign * front,
                    rightHanded ? "right" : "left", settings.GetOriginalUpAxis());
        std::printf("unit: %g cm (original %g cm)\n", settings.GetSystemUnit().GetScaleFactor(),
                    settings.GetOriginalSystemUnit().GetScaleFactor());
        for (auto& [n, depth] : nodes) {
            std::printf("%*s%s [%s]", depth * 2, "", n->GetName(), AttributeName(n));
            if (FbxMesh* mesh = n->GetMesh()) {
                std::printf(" %d control points, %d polygons, %d polygon vertices, %d materials",
                            mesh->GetControlPointsCount(), mesh->GetPolygonCount(), mesh->GetPolygonVertexCount(),
                            n->GetMaterialCount());
                for (const Layer& l : LayersOf(mesh))
                    std::printf("\n%*s  %s %s %s (%d direct, %d index)", depth * 2, "", l.type.c_str(),
                                MappingName(l.mapping), ReferenceName(l.reference), l.direct, l.index);
                for (int d = 0; d < mesh->GetDeformerCount(FbxDeformer::eSkin); ++d)
                    std::printf("\n%*s  skin with %d clusters", depth * 2, "",
                                static_cast<FbxSkin*>(mesh->GetDeformer(d, FbxDeformer::eSkin))->GetClusterCount());
            }
            if (FbxLODGroup* lod = n->GetLodGroup()) std::printf(" %d thresholds", lod->GetNumThresholds());
            std::printf("\n");
        }
        for (int m = 0; m < scene->GetMaterialCount(); ++m) {
            FbxSurfaceMaterial* material = scene->GetMaterial(m);
            std::printf("material %s", material->GetName());
            for (const char* slot : kSlots) {
                std::string t = TextureOf(material, slot);
                if (!t.empty()) std::printf(" %s=%s", slot, t.c_str());
            }
            std::printf("\n");
        }
    }
    scene->Destroy(false);
    importer->Destroy(false);
    manager->Destroy();
    return status;
}
