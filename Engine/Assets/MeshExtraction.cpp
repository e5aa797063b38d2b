#include "Assets/MeshExtraction.h"

#include "Assets/BatchQueue.h"
#include "Assets/HashIndexMap.h"
#include "Assets/SkeletonImport.h"
#include "Platform/HugePages.h"
#include "Assets/VertexHash.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <thread>

using namespace fbxsdk;

namespace {

constexpr int kMaxUvSets = 4;
constexpr int kMaxColorSets = 4;
constexpr int kCornersPerTriangle = 3;

// The value of a direct or index-to-direct element at `index`.
template <class T>
inline T ReadValue(const FbxLayerElementTemplate<T>& element, int index)
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

// ReadLayerElement, kept where the corner loop can inline it: it runs three times per corner.
inline void ReadDirection(const FbxLayerElementTemplate<FbxVector4>& element, int controlPoint, int polygonVertex, Float3& out)
{
    FbxLayerElement::EMappingMode mapping = element.GetMappingMode();
    if (mapping != FbxLayerElement::eByControlPoint && mapping != FbxLayerElement::eByPolygonVertex)
        return;
    FbxVector4 value = ReadValue(element, MappedIndex(mapping, controlPoint, polygonVertex));
    out = { static_cast<float>(value[0]), static_cast<float>(value[1]), static_cast<float>(value[2]) };
}

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

// What a corner's vertex is read from, looked up once per mesh rather than once per corner.
struct CornerSources {
    FbxMesh* mesh;
    const FbxVector4* controlPoints;
    int controlPointCount;
    int uvSetCount = 0;
    const FbxLayerElementUV* uvSets[kMaxUvSets] = {};
    const FbxLayerElementNormal* normals = nullptr;
    const FbxLayerElementTangent* tangents = nullptr;
    const FbxLayerElementBinormal* binormals = nullptr;
    int colorSetCount = 0;
    const FbxLayerElementVertexColor* colorSets[kMaxColorSets] = {};
    const InfluenceTable* influences = nullptr; // null for an unskinned mesh

    CornerSources(FbxMesh* mesh, const InfluenceTable* influences)
        : mesh(mesh)
        , controlPoints(mesh->GetControlPoints())
        , controlPointCount(mesh->GetControlPointsCount())
        , influences(influences)
    {
        uvSetCount = std::min(mesh->GetElementUVCount(FbxLayerElement::eUnknown), kMaxUvSets);
        for (int set = 0; set < uvSetCount; ++set)
            uvSets[set] = mesh->GetElementUV(set, FbxLayerElement::eUnknown);
        if (mesh->GetElementNormalCount() > 0)
            normals = mesh->GetElementNormal(0);
        if (mesh->GetElementTangentCount() > 0)
            tangents = mesh->GetElementTangent(0);
        if (mesh->GetElementBinormalCount() > 0)
            binormals = mesh->GetElementBinormal(0);
        colorSetCount = std::min(mesh->GetElementVertexColorCount(), kMaxColorSets);
        for (int set = 0; set < colorSetCount; ++set)
            colorSets[set] = mesh->GetElementVertexColor(set);
    }
};

// The vertex of one corner, and its control point; `folded` tells whether its influences beyond the
// fourth were folded in.
int BuildVertex(const CornerSources& sources, int polygon, int corner, Vertex& vertex, bool& folded)
{
    // Copying a ready default record is a handful of wide stores; building one in place is not.
    static const Vertex kDefaultVertex {};
    std::memcpy(&vertex, &kDefaultVertex, sizeof vertex);
    FbxMesh* mesh = sources.mesh;
    const int controlPoint = mesh->GetPolygonVertex(polygon, corner);
    const int polygonVertex = polygon * kCornersPerTriangle + corner;

    const bool pointExists = controlPoint >= 0 && controlPoint < sources.controlPointCount;
    const FbxVector4& point = pointExists ? sources.controlPoints[controlPoint] : mesh->GetControlPointAt(controlPoint);
    vertex.position = { static_cast<float>(point[0]), static_cast<float>(point[1]), static_cast<float>(point[2]),
        static_cast<float>(point[3]) };

    const int uvIndex = mesh->GetTextureUVIndex(polygon, corner, FbxLayerElement::eTextureDiffuse);
    Float2* uvs[kMaxUvSets] = { &vertex.uv0, &vertex.uv1, &vertex.uv2, &vertex.uv3 };
    for (int set = 0; set < sources.uvSetCount; ++set) {
        if (sources.uvSets[set] == nullptr)
            continue;
        FbxVector2 uv = sources.uvSets[set]->GetDirectArray().GetAt(uvIndex);
        // Images are uploaded top row first, so v is turned over here.
        *uvs[set] = { static_cast<float>(uv[0]), static_cast<float>(1.0 - uv[1]) };
    }

    if (sources.normals)
        ReadDirection(*sources.normals, controlPoint, polygonVertex, vertex.normal);
    if (sources.tangents)
        ReadDirection(*sources.tangents, controlPoint, polygonVertex, vertex.tangent);
    if (sources.binormals)
        ReadDirection(*sources.binormals, controlPoint, polygonVertex, vertex.binormal);

    Float4* colors[kMaxColorSets] = { &vertex.color0, &vertex.color1, &vertex.color2, &vertex.color3 };
    for (int set = 0; set < sources.colorSetCount; ++set)
        if (sources.colorSets[set] != nullptr)
            *colors[set] = ColorAt(*sources.colorSets[set], controlPoint, polygonVertex);

    folded = sources.influences != nullptr && ApplyInfluences(*sources.influences, controlPoint, vertex);
    return controlPoint;
}

// Triangles are read and entered a batch at a time: the vertices that must be hashed are hashed
// side by side, which is faster, and the map slots of the whole batch are fetched from memory before
// the first is needed. 32 triangles are 96 vertices, 17 KB: the batch stays in the first-level cache.
constexpr int kBatchTriangles = 32;
constexpr int kBatchCorners = kBatchTriangles * kCornersPerTriangle;

struct CornerBatch {
    Vertex vertices[kBatchCorners];
    bool folded[kBatchCorners];
    int controlPoints[kBatchCorners];
    int count = 0;
};

// One sub-mesh: its vertices, de-duplicated by hash, and indices.
//
// Most corners of a mesh repeat a vertex that an earlier corner of the same control point already
// made. Each control point remembers the last vertex it gave; a new corner whose record is
// byte-for-byte that vertex has that vertex's hash, so the map would answer with that vertex's
// index: the corner takes it without being hashed or looked up. The result is exactly that of
// hashing every corner; only corners that differ from their control point's last vertex pay for
// the hash.
class SubMeshBuilder {
public:
    SubMeshBuilder(Mesh& mesh, bool deduplicate, std::size_t reserve, int controlPoints)
        : mesh(mesh)
        , deduplicate(deduplicate)
    {
        ReserveLarge(mesh.vertices, reserve);
        ReserveLarge(mesh.indices, reserve);
        if (deduplicate) {
            indexByHash.Reserve(reserve);
            // Vertex indices must stay clear of the in-batch mark; a mesh that could reach it (over
            // 700 million triangles) is simply hashed corner by corner.
            if (reserve < kInBatch)
                lastVertexOf.assign(static_cast<std::size_t>(std::max(controlPoints, 0)), kNoVertex);
        }
    }

    // Enters the batch's vertices in order and empties the batch.
    void Add(CornerBatch& batch)
    {
        if (deduplicate)
            AddDeduplicated(batch);
        else
            for (int i = 0; i < batch.count; ++i)
                Append(batch, i);
        batch.count = 0;
    }

private:
    // How a corner of the batch finds its index.
    enum class Source : std::uint8_t {
        Stored,        // a vertex already in the mesh, byte for byte
        EarlierCorner, // an earlier corner of the batch, byte for byte
        Hash,          // the de-duplication map
    };

    // lastVertexOf holds an index into the mesh's vertices, or while a batch is read, an index into
    // the batch marked with this bit.
    static constexpr std::uint32_t kInBatch = 0x80000000u;
    static constexpr std::uint32_t kNoVertex = 0xFFFFFFFFu;

    void AddDeduplicated(CornerBatch& batch)
    {
        Source source[kBatchCorners];
        std::uint32_t twin[kBatchCorners];
        const Vertex* toHash[kBatchCorners] = {};
        std::uint64_t hashes[kBatchCorners];
        int hashCount = 0;

        for (int i = 0; i < batch.count; ++i) {
            source[i] = FindTwin(batch, i, twin[i]);
            if (source[i] == Source::Hash)
                toHash[hashCount++] = &batch.vertices[i];
        }
        HashVertices(toHash, static_cast<std::size_t>(hashCount), hashes);
        for (int k = 0; k < hashCount; ++k)
            indexByHash.Prefetch(hashes[k]);

        std::uint32_t indexOf[kBatchCorners];
        for (int i = 0, k = 0; i < batch.count; ++i) {
            switch (source[i]) {
            case Source::Stored: indexOf[i] = twin[i]; break;
            case Source::EarlierCorner: indexOf[i] = indexOf[twin[i]]; break;
            case Source::Hash: {
                HashIndexMap::Entry entry = indexByHash.FindOrAdd(hashes[k++]);
                indexOf[i] = entry.index;
                if (entry.added) {
                    mesh.vertices.push_back(batch.vertices[i]);
                    if (batch.folded[i])
                        ++foldedVertices;
                }
                break;
            }
            }
            mesh.indices.push_back(indexOf[i]);
            if (std::size_t cp = static_cast<std::size_t>(batch.controlPoints[i]); cp < lastVertexOf.size())
                lastVertexOf[cp] = indexOf[i];
        }
    }

    // Whether corner i repeats its control point's last vertex (stored, or earlier in the batch);
    // `twin` is that vertex. A corner that does not becomes its control point's last vertex.
    Source FindTwin(const CornerBatch& batch, int i, std::uint32_t& twin)
    {
        const std::size_t cp = static_cast<std::size_t>(batch.controlPoints[i]);
        if (cp >= lastVertexOf.size())
            return Source::Hash;
        const std::uint32_t last = lastVertexOf[cp];
        if (last != kNoVertex) {
            const bool inBatch = (last & kInBatch) != 0;
            const Vertex& candidate = inBatch ? batch.vertices[last & ~kInBatch] : mesh.vertices[last];
            if (std::memcmp(&candidate, &batch.vertices[i], sizeof(Vertex)) == 0) {
                twin = last & ~kInBatch;
                return inBatch ? Source::EarlierCorner : Source::Stored;
            }
        }
        lastVertexOf[cp] = kInBatch | static_cast<std::uint32_t>(i);
        return Source::Hash;
    }

    void Append(const CornerBatch& batch, int i)
    {
        mesh.indices.push_back(static_cast<std::uint32_t>(mesh.vertices.size()));
        mesh.vertices.push_back(batch.vertices[i]);
        if (batch.folded[i])
            ++foldedVertices;
    }

public:
    // New vertices whose influences beyond the fourth were folded in: each counts a warning.
    int foldedVertices = 0;

private:
    Mesh& mesh;
    bool deduplicate;
    HashIndexMap indexByHash;
    std::vector<std::uint32_t> lastVertexOf; // by control point
};

// Which polygons of the node go to one material slot's mesh.
struct SlotPolygons {
    FbxNode* node;
    const FbxLayerElementMaterial* materialElement; // null: every polygon
    FbxSurfaceMaterial* slotMaterial;

    bool Has(int polygon) const
    {
        return materialElement == nullptr || node->GetMaterial(materialElement->GetIndexArray().GetAt(polygon)) == slotMaterial;
    }
};

// Reads the corners of the slot's polygons into batches, in order. `deliver` takes each full batch
// and gives the batch to fill next; the last batch, full or not, is left in the one returned.
template <class Deliver>
CornerBatch& ReadCorners(const CornerSources& sources, const SlotPolygons& slot, RunningBox& box, CornerBatch* batch,
    Deliver deliver)
{
    const int polygons = sources.mesh->GetPolygonCount();
    for (int polygon = 0; polygon < polygons; ++polygon) {
        if (!slot.Has(polygon))
            continue;
        for (int corner = 0; corner < kCornersPerTriangle; ++corner) {
            const int i = batch->count++;
            batch->controlPoints[i] = BuildVertex(sources, polygon, corner, batch->vertices[i], batch->folded[i]);
            box.Add(batch->vertices[i].position);
        }
        if (batch->count == kBatchCorners)
            batch = &deliver(*batch);
    }
    return *batch;
}

// Reading and entering take turns on this thread.
void BuildInTurn(const CornerSources& sources, const SlotPolygons& slot, RunningBox& box, SubMeshBuilder& builder)
{
    auto batch = std::make_unique<CornerBatch>();
    CornerBatch& last = ReadCorners(sources, slot, box, batch.get(), [&](CornerBatch& full) -> CornerBatch& {
        builder.Add(full);
        return full;
    });
    builder.Add(last);
}

// From this many polygons on, and with a second core to run it, a second thread enters the batches
// while this one reads the next: for a large mesh each side takes about as long as the other.
constexpr int kPipelinedPolygons = 16384;
// Batches travel between the threads in blocks of 16 (1,536 corners, 280 KB), so the threads meet
// once per block rather than once per batch; 8 blocks in flight let neither wait on the other's
// hiccups.
constexpr int kBlockBatches = 16;
constexpr std::size_t kQueuedBlocks = 8;

struct CornerBlock {
    CornerBatch batches[kBlockBatches];
    int count = 0; // batches filled
};

// Reading stays on the calling thread (the only one that talks to the FBX SDK); a helper thread
// enters the batches into the builder as they come. The builder is the helper's alone until it ends.
void BuildAlongside(const CornerSources& sources, const SlotPolygons& slot, RunningBox& box, SubMeshBuilder& builder)
{
    BatchQueue<CornerBlock, kQueuedBlocks> queue;
    std::exception_ptr failure;
    std::thread enterer([&] {
        while (CornerBlock* block = queue.Next()) {
            for (int i = 0; i < block->count && !failure; ++i) {
                try {
                    builder.Add(block->batches[i]);
                } catch (...) {
                    failure = std::current_exception(); // keep draining, so the reader never waits forever
                }
            }
            for (int i = 0; i < block->count; ++i)
                block->batches[i].count = 0;
            block->count = 0;
            queue.Release();
        }
    });
    // Whether reading ends normally or by an exception, the helper is told and waited for.
    struct Join {
        BatchQueue<CornerBlock, kQueuedBlocks>& queue;
        std::thread& thread;
        ~Join()
        {
            queue.Close();
            if (thread.joinable())
                thread.join();
        }
    } join { queue, enterer };

    CornerBlock* block = &queue.Claim();
    CornerBatch& last = ReadCorners(sources, slot, box, &block->batches[0], [&](CornerBatch&) -> CornerBatch& {
        if (++block->count == kBlockBatches) {
            queue.Publish();
            block = &queue.Claim();
        }
        return block->batches[block->count];
    });
    if (last.count > 0)
        ++block->count;
    if (block->count > 0)
        queue.Publish();
    queue.Close();
    enterer.join();
    if (failure)
        std::rethrow_exception(failure);
}

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
    ReadDirection(*element, controlPoint, polygonVertex, out);
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

    const CornerSources sources(mesh, skinned ? &influences : nullptr);
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

        const int polygons = mesh->GetPolygonCount();
        SubMeshBuilder builder(sub, deduplicate, static_cast<std::size_t>(std::max(polygons, 0)) * kCornersPerTriangle,
            mesh->GetControlPointsCount());
        const SlotPolygons slotPolygons { node, nodeMaterials > 0 ? mesh->GetElementMaterial(0) : nullptr, slotMaterial };
        if (polygons >= kPipelinedPolygons && std::thread::hardware_concurrency() > 1)
            BuildAlongside(sources, slotPolygons, box, builder);
        else
            BuildInTurn(sources, slotPolygons, box, builder);
        for (int i = 0; i < builder.foldedVertices; ++i)
            AddWarning(result, ImportWarning::TooManyInfluences);
        if (!sub.vertices.empty()) {
            FinishBounds(sub, box);
            meshes.push_back(std::move(sub));
        }
    }
    return true;
}
