#include "Assets/MeshExtraction.h"

#include "Assets/SkeletonImport.h"
#include "Assets/VertexHash.h"

#include <algorithm>
#include <unordered_map>

using namespace fbxsdk;

namespace {

constexpr int kMaxUvSets = 4;
constexpr int kMaxColorSets = 4;
constexpr int kCornersPerTriangle = 3;

// The value of a direct or index-to-direct element at `index`.
template <class T>
T ReadValue(const FbxLayerElementTemplate<T>& element, int index)
{
    switch (element.GetReferenceMode()) {
    case FbxLayerElement::eDirect: return element.GetDirectArray().GetAt(index);
    case FbxLayerElement::eIndexToDirect: return element.GetDirectArray().GetAt(element.GetIndexArray().GetAt(index));
    default: throw InvalidReferenceMode();
    }
}

// The index an element is read at for a corner, or -1 for a mapping mode that is not read.
int MappedIndex(FbxLayerElement::EMappingMode mapping, int controlPoint, int polygonVertex)
{
    if (mapping == FbxLayerElement::eByControlPoint)
        return controlPoint;
    if (mapping == FbxLayerElement::eByPolygonVertex)
        return polygonVertex;
    return -1;
}

struct MeshFeatures {
    bool normals;
    bool tangents;
    bool binormals;
};

// The running bounds of one node, from zero.
struct RunningBox {
    Float3 min;
    Float3 max;

    void Add(const Float4& p)
    {
        min = { std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z) };
        max = { std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z) };
    }
};

Float4 ColorAt(const FbxLayerElementVertexColor& element, int controlPoint, int polygonVertex)
{
    // Sets mapped any other way keep a default colour.
    FbxColor color;
    FbxLayerElement::EMappingMode mapping = element.GetMappingMode();
    if (mapping == FbxLayerElement::eByControlPoint || mapping == FbxLayerElement::eByPolygonVertex)
        color = ReadValue(element, MappedIndex(mapping, controlPoint, polygonVertex));
    return { static_cast<float>(color.mRed), static_cast<float>(color.mGreen), static_cast<float>(color.mBlue),
        static_cast<float>(color.mAlpha) };
}

Vertex BuildVertex(FbxMesh* mesh, int polygon, int corner, const MeshFeatures& features, const InfluenceTable* influences,
    bool& folded)
{
    Vertex vertex;
    const int controlPoint = mesh->GetPolygonVertex(polygon, corner);
    const int polygonVertex = polygon * kCornersPerTriangle + corner;

    FbxVector4 point = mesh->GetControlPointAt(controlPoint);
    vertex.position = { static_cast<float>(point[0]), static_cast<float>(point[1]), static_cast<float>(point[2]),
        static_cast<float>(point[3]) };

    const int uvSets = mesh->GetElementUVCount(FbxLayerElement::eUnknown);
    const int uvIndex = mesh->GetTextureUVIndex(polygon, corner, FbxLayerElement::eTextureDiffuse);
    Float2* uvs[kMaxUvSets] = { &vertex.uv0, &vertex.uv1, &vertex.uv2, &vertex.uv3 };
    for (int set = 0; set < uvSets && set < kMaxUvSets; ++set) {
        const FbxLayerElementUV* element = mesh->GetElementUV(set, FbxLayerElement::eUnknown);
        if (element == nullptr)
            continue;
        FbxVector2 uv = element->GetDirectArray().GetAt(uvIndex);
        // Images are uploaded top row first, so v is turned over here.
        *uvs[set] = { static_cast<float>(uv[0]), static_cast<float>(1.0 - uv[1]) };
    }

    if (features.normals)
        ReadLayerElement(mesh->GetElementNormal(0), controlPoint, polygonVertex, vertex.normal);
    if (features.tangents)
        ReadLayerElement(mesh->GetElementTangent(0), controlPoint, polygonVertex, vertex.tangent);
    if (features.binormals)
        ReadLayerElement(mesh->GetElementBinormal(0), controlPoint, polygonVertex, vertex.binormal);

    Float4* colors[kMaxColorSets] = { &vertex.color0, &vertex.color1, &vertex.color2, &vertex.color3 };
    for (int set = 0; set < mesh->GetElementVertexColorCount() && set < kMaxColorSets; ++set)
        if (const FbxLayerElementVertexColor* element = mesh->GetElementVertexColor(set))
            *colors[set] = ColorAt(*element, controlPoint, polygonVertex);

    folded = influences != nullptr && ApplyInfluences(*influences, controlPoint, vertex);
    return vertex;
}

// One sub-mesh: its vertices, de-duplicated by hash, and indices.
class SubMeshBuilder {
public:
    SubMeshBuilder(Mesh& mesh, bool deduplicate, ImportResult& result, std::size_t reserve)
        : mesh(mesh)
        , deduplicate(deduplicate)
        , result(result)
    {
        mesh.vertices.reserve(reserve);
        mesh.indices.reserve(reserve);
        if (deduplicate)
            indexByHash.reserve(reserve);
    }

    void Add(const Vertex& vertex, bool folded)
    {
        if (deduplicate) {
            std::uint64_t key = HashVertex(vertex);
            if (auto found = indexByHash.find(key); found != indexByHash.end()) {
                mesh.indices.push_back(found->second);
                return;
            }
            indexByHash.emplace(key, nextIndex);
        }
        mesh.vertices.push_back(vertex);
        mesh.indices.push_back(nextIndex);
        ++nextIndex;
        if (folded)
            AddWarning(result, ImportWarning::TooManyInfluences);
    }

private:
    Mesh& mesh;
    bool deduplicate;
    ImportResult& result;
    std::unordered_map<std::uint64_t, std::uint32_t> indexByHash;
    std::uint32_t nextIndex = 0;
};

// The position of `material` in the scene's material list, or -1.
int SceneMaterialIndex(FbxScene* scene, FbxSurfaceMaterial* material)
{
    for (int i = 0; i < scene->GetMaterialCount(); ++i)
        if (scene->GetMaterial(i) == material)
            return i;
    return -1;
}

void FinishBounds(Mesh& mesh, const RunningBox& box)
{
    Extents& e = mesh.extents;
    e.halfSize = { (box.max.x - box.min.x) * 0.5f, (box.max.y - box.min.y) * 0.5f, (box.max.z - box.min.z) * 0.5f };
    e.centre = { (box.max.x + box.min.x) * 0.5f, (box.max.y + box.min.y) * 0.5f, (box.max.z + box.min.z) * 0.5f };
    e.radius = std::max({ e.halfSize.x, e.halfSize.y, e.halfSize.z });
    mesh.box.min = e.centre - e.halfSize;
    mesh.box.max = e.centre + e.halfSize;
    mesh.box.valid = true;
}

} // namespace

void ReadLayerElement(const FbxLayerElementTemplate<FbxVector4>* element, int controlPoint, int polygonVertex, Float3& out)
{
    FbxLayerElement::EMappingMode mapping = element->GetMappingMode();
    if (mapping != FbxLayerElement::eByControlPoint && mapping != FbxLayerElement::eByPolygonVertex)
        return;
    FbxVector4 value = ReadValue(*element, MappedIndex(mapping, controlPoint, polygonVertex));
    out = { static_cast<float>(value[0]), static_cast<float>(value[1]), static_cast<float>(value[2]) };
}

bool ExtractMeshes(FbxScene* scene, FbxNode* node, Skeleton& skeleton, ImportResult& result, std::vector<Mesh>& meshes,
    bool deduplicate)
{
    FbxMesh* mesh = node->GetMesh();
    if (mesh == nullptr)
        return true;

    InfluenceTable influences;
    const bool skinned = !skeleton.bones.empty();
    if (skinned)
        ProcessSkins(node, skeleton, influences);

    const MeshFeatures features { mesh->GetElementNormalCount() > 0, mesh->GetElementTangentCount() > 0,
        mesh->GetElementBinormalCount() > 0 };
    RunningBox box;

    const int nodeMaterials = node->GetMaterialCount();
    const int slots = std::max(nodeMaterials, 1);
    for (int slot = 0; slot < slots; ++slot) {
        Mesh sub;
        sub.name = node->GetName();
        FbxSurfaceMaterial* slotMaterial = nullptr;
        if (nodeMaterials > 0) {
            FbxSurfaceMaterial* wanted = node->GetMaterial(slot);
            if (int index = SceneMaterialIndex(scene, wanted); index >= 0) {
                sub.materialIndex = index;
                slotMaterial = wanted;
            }
        }

        const FbxLayerElementMaterial* materialElement = mesh->GetElementMaterial(0);
        const int polygons = mesh->GetPolygonCount();
        SubMeshBuilder builder(sub, deduplicate, result, static_cast<std::size_t>(std::max(polygons, 0)) * kCornersPerTriangle);
        for (int polygon = 0; polygon < polygons; ++polygon) {
            if (nodeMaterials > 0 && materialElement != nullptr) {
                int polygonSlot = materialElement->GetIndexArray().GetAt(polygon);
                if (node->GetMaterial(polygonSlot) != slotMaterial)
                    continue;
            }
            for (int corner = 0; corner < kCornersPerTriangle; ++corner) {
                bool folded = false;
                Vertex vertex = BuildVertex(mesh, polygon, corner, features, skinned ? &influences : nullptr, folded);
                box.Add(vertex.position);
                builder.Add(vertex, folded);
            }
        }
        if (!sub.vertices.empty()) {
            FinishBounds(sub, box);
            meshes.push_back(std::move(sub));
        }
    }
    return true;
}
