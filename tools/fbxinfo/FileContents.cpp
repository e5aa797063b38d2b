#include "FileContents.h"

#include <fbxsdk.h>

#include <iterator>

namespace fbxinfo {

namespace {

// Initialize's file format argument: let the importer tell binary from ASCII itself.
constexpr int kDetectFileFormat = -1;

// Indexed by the SDK's EUpVector: 1 to 3 for X to Z, 0 ("?") for a value it does not define. Whole
// names for either sign, picked and copied in one go: GCC 12 at -O3 reports a false -Wrestrict
// overlap when a one-character literal is assigned or appended to a string.
constexpr const char* kUpAxisNames[] = { "?", "X", "Y", "Z" };
constexpr const char* kDownAxisNames[] = { "-?", "-X", "-Y", "-Z" };
static_assert(std::size(kUpAxisNames) == std::size(kDownAxisNames));

// The importer hands the version back in parts; FBX files store it as one number, 7400 for 7.4.0.
constexpr int kMajorVersionStep = 1000;
constexpr int kMinorVersionStep = 100;
constexpr int kRevisionStep = 10;

// The material channels whose textures are listed, in the order the reports list them.
const char* const kSlots[] = { FbxSurfaceMaterial::sEmissive, FbxSurfaceMaterial::sAmbient,
    FbxSurfaceMaterial::sDiffuse, FbxSurfaceMaterial::sSpecular, FbxSurfaceMaterial::sShininess,
    FbxSurfaceMaterial::sBump, FbxSurfaceMaterial::sNormalMap, FbxSurfaceMaterial::sTransparentColor,
    FbxSurfaceMaterial::sReflection, FbxSurfaceMaterial::sDisplacementColor,
    FbxSurfaceMaterial::sVectorDisplacementColor };

// Comes before a file texture's relative file name, telling it from "layered" and "procedural".
constexpr const char* kFileTexturePrefix = "file:";

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
    if (!a)
        return "none";
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

// Normals, tangents, binormals, UVs, colours and materials, each kind in the mesh's order.
std::vector<LayerInfo> LayersOf(FbxMesh* mesh)
{
    std::vector<LayerInfo> layers;
    auto add = [&](const char* type, int count, auto element) {
        for (int k = 0; k < count; ++k) {
            auto* e = element(k);
            layers.push_back({ type, MappingName(e->GetMappingMode()), ReferenceName(e->GetReferenceMode()),
                e->GetDirectArray().GetCount(), e->GetIndexArray().GetCount() });
        }
    };
    add("normal", mesh->GetElementNormalCount(), [&](int k) { return mesh->GetElementNormal(k); });
    add("tangent", mesh->GetElementTangentCount(), [&](int k) { return mesh->GetElementTangent(k); });
    add("binormal", mesh->GetElementBinormalCount(), [&](int k) { return mesh->GetElementBinormal(k); });
    add("uv", mesh->GetElementUVCount(), [&](int k) { return mesh->GetElementUV(k); });
    add("color", mesh->GetElementVertexColorCount(), [&](int k) { return mesh->GetElementVertexColor(k); });
    add("material", mesh->GetElementMaterialCount(), [&](int k) { return mesh->GetElementMaterial(k); });
    return layers;
}

MeshInfo MeshOf(FbxNode* node, FbxMesh* mesh)
{
    MeshInfo info;
    info.controlPoints = mesh->GetControlPointsCount();
    info.polygons = mesh->GetPolygonCount();
    info.polygonVertices = mesh->GetPolygonVertexCount();
    info.materials = node->GetMaterialCount();
    info.layers = LayersOf(mesh);
    for (int d = 0; d < mesh->GetDeformerCount(FbxDeformer::eSkin); ++d)
        info.skinClusters.push_back(static_cast<FbxSkin*>(mesh->GetDeformer(d, FbxDeformer::eSkin))->GetClusterCount());
    return info;
}

// One entry per threshold the group reports; an entry it cannot give as a distance (thresholds
// given as percentages) stays at FbxDistance's default.
std::vector<float> ThresholdsOf(const FbxLODGroup* lod)
{
    std::vector<float> thresholds;
    for (int t = 0; t < lod->GetNumThresholds(); ++t) {
        FbxDistance d;
        lod->GetThreshold(t, d);
        thresholds.push_back(d.value());
    }
    return thresholds;
}

NodeInfo NodeOf(FbxNode* node, int depth)
{
    NodeInfo info;
    info.name = node->GetName();
    info.depth = depth;
    info.attribute = AttributeName(node);
    info.children = node->GetChildCount();
    if (FbxMesh* mesh = node->GetMesh())
        info.mesh = MeshOf(node, mesh);
    if (const FbxLODGroup* lod = node->GetLodGroup())
        info.lodThresholds = ThresholdsOf(lod);
    return info;
}

void CollectNodes(FbxNode* node, int depth, std::vector<NodeInfo>& out)
{
    for (int k = 0; k < node->GetChildCount(); ++k) {
        out.push_back(NodeOf(node->GetChild(k), depth));
        CollectNodes(node->GetChild(k), depth + 1, out);
    }
}

// "file:NAME", "layered", "procedural" or empty for one material channel.
std::string TextureOf(FbxSurfaceMaterial* material, const char* slot)
{
    FbxProperty p = material->FindProperty(slot);
    if (!p.IsValid())
        return "";
    if (p.GetSrcObjectCount(FbxCriteria::ObjectType(FbxLayeredTexture::ClassId)) > 0)
        return "layered";
    FbxObject* texture = p.GetSrcObject(FbxCriteria::ObjectType(FbxTexture::ClassId), 0);
    if (!texture)
        return "";
    if (!texture->GetClassId().Is(FbxFileTexture::ClassId))
        return "procedural";
    std::string name = kFileTexturePrefix;
    name += static_cast<FbxFileTexture*>(texture)->GetRelativeFileName();
    return name;
}

MaterialInfo MaterialOf(FbxSurfaceMaterial* material)
{
    MaterialInfo info;
    info.name = material->GetName();
    for (const char* slot : kSlots) {
        std::string texture = TextureOf(material, slot);
        if (!texture.empty())
            info.textures.emplace_back(slot, std::move(texture));
    }
    return info;
}

std::string UpAxisName(int up, int sign)
{
    const std::size_t index = up > 0 && up < int(std::size(kUpAxisNames)) ? std::size_t(up) : 0;
    return std::string((sign < 0 ? kDownAxisNames : kUpAxisNames)[index]);
}

void ReadSettings(FbxGlobalSettings& settings, FileContents& contents)
{
    int upSign = 1, frontSign = 1;
    FbxAxisSystem axes = settings.GetAxisSystem();
    int up = axes.GetUpVector(upSign);
    int front = axes.GetFrontVector(frontSign);
    contents.upAxis = UpAxisName(up, upSign);
    contents.frontAxis = frontSign * front;
    contents.rightHanded = axes.GetCoorSystem() == FbxAxisSystem::eRightHanded;
    contents.originalUpAxis = settings.GetOriginalUpAxis();
    contents.unitScaleFactor = settings.GetSystemUnit().GetScaleFactor();
    contents.originalUnitScaleFactor = settings.GetOriginalSystemUnit().GetScaleFactor();
}

} // namespace

FileContents ReadFileContents(const char* path)
{
    FbxManager* manager = FbxManager::Create();
    FbxImporter* importer = FbxImporter::Create(manager, "");
    FbxScene* scene = FbxScene::Create(manager, "The Scene");
    FileContents contents;
    contents.read = importer->Initialize(path, kDetectFileFormat, nullptr) && importer->IsFBX()
        && importer->Import(scene, false);
    if (importer->GetStatus().Error())
        contents.error = importer->GetStatus().GetErrorString();
    contents.format = importer->GetFileFormat();
    int major, minor, revision;
    importer->GetFileVersion(major, minor, revision);
    contents.version = major * kMajorVersionStep + minor * kMinorVersionStep + revision * kRevisionStep;
    ReadSettings(scene->GetGlobalSettings(), contents);
    // Only a file that was read has a tree to list; whatever a failed import left in the scene is not it.
    if (contents.read)
        CollectNodes(scene->GetRootNode(), 0, contents.nodes);
    for (int m = 0; m < scene->GetMaterialCount(); ++m)
        contents.materials.push_back(MaterialOf(scene->GetMaterial(m)));
    scene->Destroy(false);
    importer->Destroy(false);
    manager->Destroy();
    return contents;
}

} // namespace fbxinfo
