#include "Assets/MeshExtraction.h"

#include "Assets/CornerBatch.h"
#include "Assets/MeshPlacement.h"
#include "Assets/RunningBox.h"
#include "Assets/SkeletonImport.h"
#include "Assets/VertexDeduplicator.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_map>

using namespace fbxsdk;

namespace {

constexpr int kMaxUvSets = 4;
constexpr int kMaxColorSets = 4;
// Normals, tangents and binormals: the directions a vertex reads from the mesh's first layer.
constexpr int kDirectionElements = 3;

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

// A layer element's mapping and reference mode, and its arrays, looked up once per mesh: the corner
// loop then reads a corner's value with a bounds check or two instead of calls and switches. It reads
// exactly what ReadValue reads: an index outside the index array reads entry 0, an entry outside the
// direct array is the zero value, and a reference mode that cannot be read throws at the first corner
// read, as it would have there.
template <class T>
class ElementReader {
public:
    ElementReader() = default;

    explicit ElementReader(const FbxLayerElementTemplate<T>* element)
    {
        if (element == nullptr)
            return;
        const FbxLayerElement::EMappingMode mapping = element->GetMappingMode();
        byControlPoint = mapping == FbxLayerElement::eByControlPoint;
        reads = byControlPoint || mapping == FbxLayerElement::eByPolygonVertex;
        const auto& direct = element->GetDirectArray().Items();
        values = direct.data();
        valueCount = direct.size();
        const std::vector<int>& index = element->GetIndexArray().Items();
        indices = index.data();
        indexCount = index.size();
        indexed = element->GetReferenceMode() == FbxLayerElement::eIndexToDirect;
        unreadable = !indexed && element->GetReferenceMode() != FbxLayerElement::eDirect;
    }

    // Whether the element has a value for each corner; one mapped any other way is not read.
    bool Reads() const { return reads; }

    // Whether corners of one control point may read different values.
    bool VariesByCorner() const { return reads && !byControlPoint; }

    // Whether two polygon vertices certainly read the same value: the same entry of the values, or
    // entries whose values are the same bits. Values out of range are taken to differ, which is never
    // wrong: a caller only saves work on a yes. Only for an element that VariesByCorner() and was
    // already read at both.
    bool SameAt(int polygonVertex, int otherPolygonVertex) const
    {
        const std::size_t entry = EntryOf(polygonVertex), otherEntry = EntryOf(otherPolygonVertex);
        if (entry == otherEntry)
            return true;
        return entry < valueCount && otherEntry < valueCount
            && std::memcmp(&values[entry], &values[otherEntry], sizeof(T)) == 0;
    }

    // The corner's value; only for an element that Reads().
    T At(int controlPoint, int polygonVertex) const
    {
        if (unreadable)
            throw InvalidReferenceMode();
        const std::size_t entry = EntryOf(byControlPoint ? controlPoint : polygonVertex);
        return entry < valueCount ? values[entry] : T();
    }

private:
    // Where the value read at a control point or polygon vertex lies in the values.
    std::size_t EntryOf(int at) const
    {
        const std::size_t entry = static_cast<std::size_t>(at);
        if (!indexed)
            return entry;
        return entry < indexCount ? static_cast<std::size_t>(indices[entry]) : 0;
    }

    bool reads = false;
    bool byControlPoint = false;
    bool indexed = false;
    bool unreadable = false;
    const T* values = nullptr;
    std::size_t valueCount = 0;
    const int* indices = nullptr;
    std::size_t indexCount = 0;
};

using DirectionReader = ElementReader<FbxVector4>;
using UvReader = ElementReader<FbxVector2>;
using ColorReader = ElementReader<FbxColor>;

inline void ReadDirection(const DirectionReader& reader, int controlPoint, int polygonVertex, Float3& out)
{
    if (!reader.Reads())
        return;
    const FbxVector4 value = reader.At(controlPoint, polygonVertex);
    out = { static_cast<float>(value[0]), static_cast<float>(value[1]), static_cast<float>(value[2]) };
}

// One UV set's coordinates for a corner, read through the set's own mapping and reference mode (sets
// differ: one may map by control point, another by polygon vertex through its own indices). A set
// mapped any other way leaves `out` as it is.
inline void ReadUv(const UvReader& set, int controlPoint, int polygonVertex, Float2& out)
{
    if (!set.Reads())
        return;
    const FbxVector2 uv = set.At(controlPoint, polygonVertex);
    // Images are uploaded top row first, so v is turned over here.
    out = { static_cast<float>(uv[0]), static_cast<float>(1.0 - uv[1]) };
}

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

// Whether every polygon of the mesh is a triangle, so corner k of polygon p is polygon vertex 3p + k.
bool AllTriangles(const FbxMesh& mesh)
{
    const int polygons = mesh.GetPolygonCount();
    if (mesh.GetPolygonVertexCount() != kCornersPerTriangle * polygons)
        return false;
    for (int polygon = 0; polygon < polygons; ++polygon)
        if (mesh.GetPolygonSize(polygon) != kCornersPerTriangle)
            return false;
    return true;
}

// What a corner's vertex is read from, looked up once per mesh rather than once per corner.
struct CornerSources {
    FbxMesh* mesh;
    const FbxVector4* controlPoints;
    int controlPointCount;
    // The control point of each polygon vertex when every polygon is a triangle, read directly;
    // null otherwise, and the mesh is asked corner by corner.
    const int* triangleCorners = nullptr;
    int uvSetCount = 0;
    UvReader uvSets[kMaxUvSets];
    DirectionReader normals;
    DirectionReader tangents;
    DirectionReader binormals;
    int colorSetCount = 0;
    const FbxLayerElementVertexColor* colorSets[kMaxColorSets] = {};
    const InfluenceTable* influences = nullptr; // null for an unskinned mesh
    // The elements whose values may differ between corners of one control point: everything else a
    // vertex holds is the control point's own. Kept by type, the readers being copies of the above.
    int varyingUvCount = 0;
    UvReader varyingUvs[kMaxUvSets];
    int varyingDirectionCount = 0;
    DirectionReader varyingDirections[kDirectionElements];
    int varyingColorCount = 0;
    ColorReader varyingColors[kMaxColorSets];

    CornerSources(FbxMesh* mesh, const InfluenceTable* influences)
        : mesh(mesh)
        , controlPoints(mesh->GetControlPoints())
        , controlPointCount(mesh->GetControlPointsCount())
        , influences(influences)
    {
        if (AllTriangles(*mesh))
            triangleCorners = mesh->GetPolygonVertices();
        uvSetCount = std::min(mesh->GetElementUVCount(FbxLayerElement::eUnknown), kMaxUvSets);
        for (int set = 0; set < uvSetCount; ++set)
            uvSets[set] = UvReader(mesh->GetElementUV(set, FbxLayerElement::eUnknown));
        if (mesh->GetElementNormalCount() > 0)
            normals = DirectionReader(mesh->GetElementNormal(0));
        if (mesh->GetElementTangentCount() > 0)
            tangents = DirectionReader(mesh->GetElementTangent(0));
        if (mesh->GetElementBinormalCount() > 0)
            binormals = DirectionReader(mesh->GetElementBinormal(0));
        colorSetCount = std::min(mesh->GetElementVertexColorCount(), kMaxColorSets);
        for (int set = 0; set < colorSetCount; ++set)
            colorSets[set] = mesh->GetElementVertexColor(set);

        for (int set = 0; set < uvSetCount; ++set)
            if (uvSets[set].VariesByCorner())
                varyingUvs[varyingUvCount++] = uvSets[set];
        for (const DirectionReader* reader : { &normals, &tangents, &binormals })
            if (reader->VariesByCorner())
                varyingDirections[varyingDirectionCount++] = *reader;
        for (int set = 0; set < colorSetCount; ++set)
            if (const ColorReader reader(colorSets[set]); reader.VariesByCorner())
                varyingColors[varyingColorCount++] = reader;
    }

    // Whether two corners of one control point, both read before, certainly have the same vertex,
    // byte for byte. A no may still be the same vertex.
    bool SameVertex(int polygonVertex, int otherPolygonVertex) const
    {
        for (int k = 0; k < varyingUvCount; ++k)
            if (!varyingUvs[k].SameAt(polygonVertex, otherPolygonVertex))
                return false;
        for (int k = 0; k < varyingDirectionCount; ++k)
            if (!varyingDirections[k].SameAt(polygonVertex, otherPolygonVertex))
                return false;
        for (int k = 0; k < varyingColorCount; ++k)
            if (!varyingColors[k].SameAt(polygonVertex, otherPolygonVertex))
                return false;
        return true;
    }

    int ControlPointOf(int polygon, int corner) const
    {
        return triangleCorners != nullptr ? triangleCorners[polygon * kCornersPerTriangle + corner]
                                          : mesh->GetPolygonVertex(polygon, corner);
    }
};

// A vertex's UV and colour sets by number. A switch rather than a table of the four members'
// addresses, which would be built anew for every corner.
inline Float2& UvSlot(Vertex& vertex, int set)
{
    switch (set) {
    case 0: return vertex.uv0;
    case 1: return vertex.uv1;
    case 2: return vertex.uv2;
    default: return vertex.uv3;
    }
}

inline Float4& ColorSlot(Vertex& vertex, int set)
{
    switch (set) {
    case 0: return vertex.color0;
    case 1: return vertex.color1;
    case 2: return vertex.color2;
    default: return vertex.color3;
    }
}

// The vertex of one corner, and its control point; `folded` tells whether its influences beyond the
// fourth were folded in.
int BuildVertex(const CornerSources& sources, int polygon, int corner, Vertex& vertex, bool& folded)
{
    // Copying a ready default record is a handful of wide stores; building one in place is not.
    static const Vertex kDefaultVertex {};
    std::memcpy(&vertex, &kDefaultVertex, sizeof vertex);
    FbxMesh* mesh = sources.mesh;
    const int controlPoint = sources.ControlPointOf(polygon, corner);
    const int polygonVertex = polygon * kCornersPerTriangle + corner;

    const bool pointExists = controlPoint >= 0 && controlPoint < sources.controlPointCount;
    const FbxVector4& point = pointExists ? sources.controlPoints[controlPoint] : mesh->GetControlPointAt(controlPoint);
    vertex.position = { static_cast<float>(point[0]), static_cast<float>(point[1]), static_cast<float>(point[2]),
        static_cast<float>(point[3]) };

    for (int set = 0; set < sources.uvSetCount; ++set)
        ReadUv(sources.uvSets[set], controlPoint, polygonVertex, UvSlot(vertex, set));

    ReadDirection(sources.normals, controlPoint, polygonVertex, vertex.normal);
    ReadDirection(sources.tangents, controlPoint, polygonVertex, vertex.tangent);
    ReadDirection(sources.binormals, controlPoint, polygonVertex, vertex.binormal);

    for (int set = 0; set < sources.colorSetCount; ++set)
        if (sources.colorSets[set] != nullptr)
            ColorSlot(vertex, set) = ColorAt(*sources.colorSets[set], controlPoint, polygonVertex);

    folded = sources.influences != nullptr && ApplyInfluences(*sources.influences, controlPoint, vertex);
    return controlPoint;
}

// Which polygons of the node go to one material slot's mesh.
struct SlotPolygons {
    FbxNode* node;
    const FbxLayerElementMaterial* materialElement; // null: every polygon
    FbxSurfaceMaterial* slotMaterial;

    // The node's material that the element gives the polygon (null for an index the node has no
    // material at).
    static FbxSurfaceMaterial* MaterialOf(FbxNode* node, const FbxLayerElementMaterial& element, int polygon)
    {
        // All the same: the element's one index holds for every polygon.
        const int entry = element.GetMappingMode() == FbxLayerElement::eAllSame ? 0 : polygon;
        return node->GetMaterial(element.GetIndexArray().GetAt(entry));
    }

    bool Has(int polygon) const
    {
        return materialElement == nullptr || MaterialOf(node, *materialElement, polygon) == slotMaterial;
    }
};

// Reads the corners of one slot's polygons in order, a batch at a time, and grows the slot's box by
// each. FBX SDK calls: the extracting thread only.
//
// Given a table of each control point's previous corner, a corner whose varying elements read the
// same as that corner's is marked as a repeat and not read at all: most corners of a smooth mesh
// repeat, and building and comparing their 180-byte records was most of the work.
// Skipping the box is safe too: the repeat's position is its control point's, already in the box.
class SlotCorners {
public:
    // `previousCornerOf` holds -1 for every control point of the mesh, or is null when corners are
    // not to be marked as repeats.
    SlotCorners(const CornerSources& sources, const SlotPolygons& slot, RunningBox& box, int* previousCornerOf)
        : sources(sources)
        , slot(slot)
        , box(box)
        , polygons(sources.mesh->GetPolygonCount())
        , previousCornerOf(previousCornerOf)
    {
    }

    // Fills the empty batch with the next corners; a batch left short of full holds the last of them.
    void Fill(CornerBatch& batch)
    {
        // A local cursor: the batch's int arrays could otherwise be taken to alias the member.
        int polygon = nextPolygon;
        for (; polygon < polygons && batch.count < kBatchCorners; ++polygon) {
            if (!slot.Has(polygon))
                continue;
            for (int corner = 0; corner < kCornersPerTriangle; ++corner) {
                const int i = batch.count++;
                if (previousCornerOf != nullptr && Repeats(polygon, corner, batch.controlPoints[i])) {
                    batch.repeats[i] = true;
                    continue;
                }
                batch.repeats[i] = false;
                batch.controlPoints[i] = BuildVertex(sources, polygon, corner, batch.vertices[i], batch.folded[i]);
                box.Add(batch.vertices[i].position);
                if (previousCornerOf != nullptr && IsPoint(batch.controlPoints[i]))
                    previousCornerOf[batch.controlPoints[i]] = polygon * kCornersPerTriangle + corner;
            }
        }
        nextPolygon = polygon;
    }

private:
    bool IsPoint(int controlPoint) const { return controlPoint >= 0 && controlPoint < sources.controlPointCount; }

    // Whether the corner repeats its control point's previous corner; `controlPoint` is set when it
    // does, and the corner becomes the previous one.
    bool Repeats(int polygon, int corner, int& controlPoint)
    {
        const int point = sources.ControlPointOf(polygon, corner);
        if (!IsPoint(point))
            return false;
        const int previous = previousCornerOf[point];
        const int polygonVertex = polygon * kCornersPerTriangle + corner;
        if (previous < 0 || !sources.SameVertex(polygonVertex, previous))
            return false;
        previousCornerOf[point] = polygonVertex;
        controlPoint = point;
        return true;
    }

    const CornerSources& sources;
    const SlotPolygons& slot;
    RunningBox& box;
    const int polygons;
    int* const previousCornerOf;
    int nextPolygon = 0;
};

// The position of `material` in the scene's material list, or -1.
int SceneMaterialIndex(FbxScene* scene, FbxSurfaceMaterial* material)
{
    for (int i = 0; i < scene->GetMaterialCount(); ++i)
        if (scene->GetMaterial(i) == material)
            return i;
    return -1;
}

// The material a slot's polygons are matched against: the node's material in that slot when the
// scene lists it (`sceneIndex` is then its place there), otherwise none.
FbxSurfaceMaterial* SlotMaterial(FbxScene* scene, FbxNode* node, int slot, int& sceneIndex)
{
    sceneIndex = -1;
    if (node->GetMaterialCount() == 0)
        return nullptr;
    FbxSurfaceMaterial* wanted = node->GetMaterial(slot);
    sceneIndex = SceneMaterialIndex(scene, wanted);
    return sceneIndex >= 0 ? wanted : nullptr;
}

const FbxLayerElementMaterial* MaterialElement(FbxNode* node, FbxMesh* mesh)
{
    return node->GetMaterialCount() > 0 ? mesh->GetElementMaterial(0) : nullptr;
}

// The corners each of the node's material slots will hold: three for each triangle of the slot. A
// slot holds the polygons whose material is its own, so with several slots the polygons are counted
// by material once; a node with one slot at most holds them all.
std::vector<std::size_t> CornersBySlot(FbxScene* scene, FbxNode* node, FbxMesh* mesh)
{
    const std::size_t polygons = static_cast<std::size_t>(std::max(mesh->GetPolygonCount(), 0));
    const int slots = std::max(node->GetMaterialCount(), 1);
    const FbxLayerElementMaterial* element = MaterialElement(node, mesh);
    std::vector<std::size_t> corners(static_cast<std::size_t>(slots), polygons * kCornersPerTriangle);
    if (slots == 1 || element == nullptr)
        return corners;
    std::unordered_map<FbxSurfaceMaterial*, std::size_t> polygonsOf;
    for (std::size_t polygon = 0; polygon < polygons; ++polygon)
        ++polygonsOf[SlotPolygons::MaterialOf(node, *element, static_cast<int>(polygon))];
    for (int slot = 0; slot < slots; ++slot) {
        int sceneIndex;
        auto found = polygonsOf.find(SlotMaterial(scene, node, slot, sceneIndex));
        corners[static_cast<std::size_t>(slot)] = found == polygonsOf.end() ? 0 : found->second * kCornersPerTriangle;
    }
    return corners;
}

std::size_t PreviousCornerBytes(FbxMesh* mesh)
{
    return static_cast<std::size_t>(std::max(mesh->GetControlPointsCount(), 0)) * sizeof(int);
}

// The mesh's extents and box from the box of its vertices. Vertices that are none of them numbers
// (a broken file's) give the point at the origin rather than a box of infinities.
void FinishBounds(Mesh& mesh, RunningBox box)
{
    if (!box.HasPoints())
        box.min = box.max = {};
    Extents& e = mesh.extents;
    e.halfSize = { (box.max.x - box.min.x) * 0.5f, (box.max.y - box.min.y) * 0.5f, (box.max.z - box.min.z) * 0.5f };
    e.centre = { (box.max.x + box.min.x) * 0.5f, (box.max.y + box.min.y) * 0.5f, (box.max.z + box.min.z) * 0.5f };
    e.radius = std::max({ e.halfSize.x, e.halfSize.y, e.halfSize.z });
    mesh.box.min = e.centre - e.halfSize;
    mesh.box.max = e.centre + e.halfSize;
    mesh.box.valid = true;
}

} // namespace

void ReadLayerElement(
    const FbxLayerElementTemplate<FbxVector4>* element, int controlPoint, int polygonVertex, Float3& out)
{
    ReadDirection(DirectionReader(element), controlPoint, polygonVertex, out);
}

std::size_t ExtractionBytes(FbxScene* scene, FbxNode* node, bool deduplicate)
{
    FbxMesh* mesh = node->GetMesh();
    if (mesh == nullptr)
        return 0;
    // The previous corner of each control point, when repeats are looked for.
    std::size_t bytes = deduplicate ? PreviousCornerBytes(mesh) : 0;
    for (std::size_t corners : CornersBySlot(scene, node, mesh)) {
        const std::size_t slotBytes = VertexDeduplicator::ReservedBytes(
            deduplicate, corners, mesh->GetControlPointsCount());
        bytes += std::min(slotBytes, SIZE_MAX - bytes); // however many slots a file gives a node
    }
    return bytes;
}

bool ExtractMeshes(FbxScene* scene, FbxNode* node, Skeleton& skeleton, ImportResult& result, std::vector<Mesh>& meshes,
    bool deduplicate)
{
    FbxMesh* mesh = node->GetMesh();
    if (mesh == nullptr)
        return true;

    const MeshPlacement placement(*node);
    InfluenceTable influences;
    const bool skinned = !skeleton.bones.empty();
    if (skinned)
        ProcessSkins(node, placement, skeleton, influences);

    const CornerSources sources(mesh, skinned ? &influences : nullptr);

    const std::vector<std::size_t> slotCorners = CornersBySlot(scene, node, mesh);
    std::vector<int> previousCornerOf;
    const auto batch = std::make_unique<CornerBatch>(); // 17 KB: too large for the stack
    for (std::size_t slot = 0; slot < slotCorners.size(); ++slot) {
        Mesh sub;
        sub.name = node->GetName();
        int sceneIndex;
        FbxSurfaceMaterial* slotMaterial = SlotMaterial(scene, node, static_cast<int>(slot), sceneIndex);
        if (slotMaterial != nullptr)
            sub.materialIndex = sceneIndex;

        VertexDeduplicator deduplicator(sub, deduplicate, slotCorners[slot], mesh->GetControlPointsCount());
        const SlotPolygons slotPolygons { node, MaterialElement(node, mesh), slotMaterial };
        int* previous = nullptr;
        if (deduplicator.AcceptsRepeats()) {
            // Allocated once per node: every slot starts with no previous corners.
            previousCornerOf.assign(static_cast<std::size_t>(sources.controlPointCount), -1);
            previous = previousCornerOf.data();
        }
        RunningBox box;
        SlotCorners corners(sources, slotPolygons, box, previous);
        // Reading and entering take turns on this thread: a corner's record is hashed and copied
        // while it is still in this core's cache. Entered on a second core instead, every record
        // crossed between the cores, and that cost more CPU than the overlap saved in time.
        bool last = false;
        while (!last) {
            corners.Fill(*batch);
            last = batch->count < kBatchCorners;
            deduplicator.Add(*batch);
        }
        for (int i = 0; i < deduplicator.FoldedVertices(); ++i)
            AddWarning(result, ImportWarning::TooManyInfluences);
        if (!sub.vertices.empty()) {
            if (!placement.IsIdentity()) {
                // The box read with the corners is the mesh's own; the placed vertices give the scene's.
                box = RunningBox();
                placement.Place(sub, box);
            }
            FinishBounds(sub, box);
            meshes.push_back(std::move(sub));
        }
    }
    return true;
}
