#include "Assets/FbxImport.h"

#include "Assets/FbxMaterials.h"
#include "Assets/MeshExtraction.h"
#include "Assets/NormalGeneration.h"
#include "Assets/SkeletonImport.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <system_error>
#include <unordered_set>

using namespace fbxsdk;

namespace {

constexpr const char* kImportTextures = "Import|AdvOptGrp|FileFormat|Fbx|Texture";
constexpr const char* kExtractEmbeddedData = "Import|AdvOptGrp|FileFormat|Fbx|ExtractEmbeddedData";
constexpr int kDetectFileFormat = -1;

// An import may hold as much memory as the FBX reader lets a file claim: a fixed allowance plus a
// multiple of the file's size. The SDK's own arrays are counted by the SDK; these count what the
// extraction reserves for the engine's vertices, indices and de-duplication maps.
constexpr std::size_t kImportAllowanceBytes = std::size_t(64) << 20;
constexpr std::size_t kImportBytesPerFileByte = 128;

bool HasAttribute(FbxNode* node, FbxNodeAttribute::EType type)
{
    FbxNodeAttribute* attribute = node->GetNodeAttribute();
    return attribute != nullptr && attribute->GetAttributeType() == type;
}

bool IsMeshNode(FbxNode* node)
{
    return HasAttribute(node, FbxNodeAttribute::eMesh);
}

bool IsLodGroupNode(FbxNode* node)
{
    return HasAttribute(node, FbxNodeAttribute::eLODGroup);
}

std::uint8_t UpAxisCode(int axis)
{
    return axis == 0 || axis == 1 ? static_cast<std::uint8_t>(axis) : 2;
}

std::uint8_t UnitCode(const FbxSystemUnit& unit)
{
    const FbxSystemUnit* units[] = { &FbxSystemUnit::mm, &FbxSystemUnit::cm, &FbxSystemUnit::dm, &FbxSystemUnit::m,
        &FbxSystemUnit::Inch, &FbxSystemUnit::Foot, &FbxSystemUnit::Mile, &FbxSystemUnit::Yard };
    for (std::uint8_t i = 0; i < 8; ++i)
        if (unit == *units[i])
            return static_cast<std::uint8_t>(i + 1);
    return 0;
}

std::string Utf8(const std::filesystem::path& path)
{
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Every mesh without a UV layer gets one; normals, then tangents (which are built around the
// normals), are generated where the file has none.
void PrepareMeshes(const std::vector<FbxNode*>& meshNodes, bool forceTangents, ImportResult& result)
{
    for (FbxNode* node : meshNodes) {
        FbxMesh* mesh = node->GetMesh();
        if (mesh == nullptr)
            continue;
        if (mesh->GetElementNormalCount() == 0) {
            AddWarning(result, ImportWarning::MissingNormals);
            // Still in the file's own axes: its polygons are counter-clockwise seen from outside.
            GenerateCreasedNormals(*mesh);
        }
        if (mesh->GetUVLayerCount() == 0) {
            AddWarning(result, ImportWarning::MissingUVs);
            mesh->InitTextureUV(1, FbxLayerElement::eTextureDiffuse);
        }
        if (mesh->GetElementBinormalCount() == 0 || mesh->GetElementTangentCount() == 0 || forceTangents)
            if (!mesh->GenerateTangentsData(0, false, false))
                AddWarning(result, ImportWarning::TangentsFailed);
    }
}

std::size_t ImportBudget(const std::filesystem::path& path)
{
    std::error_code error;
    const std::uintmax_t fileBytes = std::filesystem::file_size(path, error);
    if (error || fileBytes > (SIZE_MAX - kImportAllowanceBytes) / kImportBytesPerFileByte)
        return error ? kImportAllowanceBytes : SIZE_MAX;
    return kImportAllowanceBytes + static_cast<std::size_t>(fileBytes) * kImportBytesPerFileByte;
}

// Whether extracting the mesh nodes fits the file's budget; when it does not, says so in the
// context's lastError. Counted from the triangulated meshes before anything is reserved, so a file
// whose corners would need gigabytes is refused without them.
bool ExtractionFitsBudget(
    FbxScene* scene, const std::vector<FbxNode*>& meshNodes, const std::filesystem::path& path, bool deduplicate)
{
    const std::size_t budget = ImportBudget(path);
    std::size_t needed = 0;
    for (FbxNode* node : meshNodes) {
        needed += std::min(ExtractionBytes(scene, node, deduplicate), SIZE_MAX - needed);
        if (needed > budget) {
            GetFbxContext().lastError = Utf8(path) + ": its meshes would need more than the " + std::to_string(budget)
                + " bytes of memory a file of its size may claim";
            return false;
        }
    }
    return true;
}

struct Gathered {
    std::vector<Mesh> meshes;
    std::vector<std::vector<LodLevel>> lodGroups;
    Skeleton skeleton;
    std::vector<ImportedMaterial> materials;
    // The box of every mesh extracted so far; none before the first.
    Extents bounds;
    bool hasBounds = false;
};

void ExtractInto(
    FbxScene* scene, FbxNode* node, Gathered& gathered, ImportResult& result, bool deduplicate, std::vector<Mesh>& out)
{
    std::vector<Mesh> meshes;
    ExtractMeshes(scene, node, gathered.skeleton, result, meshes, deduplicate);
    for (Mesh& mesh : meshes) {
        if (gathered.hasBounds)
            MergeExtents(gathered.bounds, mesh.extents);
        else
            gathered.bounds = mesh.extents;
        gathered.hasBounds = true;
        out.push_back(std::move(mesh));
    }
}

void ExtractLodGroups(FbxScene* scene, const std::vector<FbxNode*>& lodNodes, std::vector<FbxNode*>& meshNodes,
    Gathered& gathered, ImportResult& result, bool deduplicate)
{
    for (FbxNode* lodNode : lodNodes) {
        std::vector<LodLevel> group;
        FbxLODGroup* lod = lodNode->GetLodGroup();
        for (int i = 0; i < lodNode->GetChildCount(false); ++i) {
            FbxDistance distance;
            if (i > 0 && lod != nullptr)
                lod->GetThreshold(i - 1, distance);
            LodLevel level { i, distance.value(), {} };
            std::vector<FbxNode*> below;
            CollectNodes(lodNode->GetChild(i), IsMeshNode, BelowCollected::Descend, below);
            for (FbxNode* node : below) {
                auto same = std::find_if(meshNodes.begin(), meshNodes.end(),
                    [node](FbxNode* n) { return n->GetUniqueID() == node->GetUniqueID(); });
                if (same != meshNodes.end())
                    meshNodes.erase(same);
                ExtractInto(scene, node, gathered, result, deduplicate, level.meshes);
            }
            group.push_back(std::move(level));
        }
        gathered.lodGroups.push_back(std::move(group));
    }
}

// Everything an import does between opening the file and reporting: reading the scene, converting
// it to the engine's axes and unit, triangulating, materials, skeleton, LOD groups and meshes.
// Returns false, with the reason in the context's lastError, when the file cannot be read: the
// importer could not import it into the scene, or its meshes would need more memory than its size
// allows.
bool ReadScene(FbxImporter* importer, FbxScene* scene, const std::filesystem::path& path, ImportedModel& model,
    bool forceTangents, bool deduplicate, ImportResult& result)
{
    FbxContext& context = GetFbxContext();
    if (!importer->Import(scene, false)) {
        context.lastError = importer->GetStatus().GetErrorString();
        return false;
    }

    if (FbxDocumentInfo* info = importer->GetSceneInfo()) {
        model.infoA = info->Original_ApplicationName.Get().Buffer();
        model.infoB = info->Original_FileName.Get().Buffer();
    }
    FbxGlobalSettings& settings = scene->GetGlobalSettings();
    model.fileUpAxis = UpAxisCode(settings.GetOriginalUpAxis());
    model.fileUnit = UnitCode(settings.GetOriginalSystemUnit());

    if (settings.GetSystemUnit() != FbxSystemUnit::cm) {
        const FbxSystemUnit::ConversionOptions options { false, true, true, true, true, true };
        FbxSystemUnit::cm.ConvertScene(scene, options);
    }
    scene->ConnectMaterials();
    if (!context.converter->Triangulate(scene, true, true))
        context.converter->Triangulate(scene, true, false);

    Gathered gathered;
    gathered.materials.resize(static_cast<std::size_t>(std::max(scene->GetMaterialCount(), 0)));
    for (int i = 0; i < scene->GetMaterialCount(); ++i)
        ReadMaterial(scene->GetMaterial(i), gathered.materials[static_cast<std::size_t>(i)]);

    std::vector<FbxNode*> meshNodes;
    std::vector<FbxNode*> lodNodes;
    CollectNodes(scene->GetRootNode(), IsMeshNode, BelowCollected::Descend, meshNodes);
    // A LOD group's meshes are collected level by level, never a group within a group.
    CollectNodes(scene->GetRootNode(), IsLodGroupNode, BelowCollected::Stop, lodNodes);
    if (!ExtractionFitsBudget(scene, meshNodes, path, deduplicate))
        return false;
    PrepareMeshes(meshNodes, forceTangents, result);
    context.axisSystem.DeepConvertScene(scene);

    std::vector<EventMarker> events;
    std::vector<Socket> sockets;
    if (BuildSkeleton(scene->GetRootNode(), result, gathered.skeleton, events, sockets, -1)) {
        gathered.skeleton.name = SkeletonName(gathered.skeleton, path.string());
        for (Socket& socket : sockets)
            gathered.skeleton.sockets.emplace(socket.name, socket);
    }

    ExtractLodGroups(scene, lodNodes, meshNodes, gathered, result, deduplicate);
    for (FbxNode* node : meshNodes)
        ExtractInto(scene, node, gathered, result, deduplicate, gathered.meshes);

    if (!gathered.meshes.empty() || !gathered.lodGroups.empty()) {
        model.meshes = std::move(gathered.meshes);
        model.lodGroups = std::move(gathered.lodGroups);
        model.skeleton = std::move(gathered.skeleton);
        model.materials = std::move(gathered.materials);
        model.sourcePath = path.string();
        model.bounds = gathered.bounds;
        model.box.min = gathered.bounds.centre - gathered.bounds.halfSize;
        model.box.max = gathered.bounds.centre + gathered.bounds.halfSize;
        model.box.valid = true;
    }
    return true;
}

// What the embedded-file callback keeps for one import: a copy of each image the file embeds, for
// whoever draws the model's materials (the SDK extracts nothing to disk), the first of each name.
struct EmbeddedImageSink {
    ImportedModel& model;
    std::unordered_set<std::string> names;
};

FbxCallback::State KeepEmbeddedImage(
    void* userData, FbxClassId dataHint, const char* fileName, const void* fileBuffer, size_t sizeInBytes)
{
    if (dataHint != FbxVideo::ClassId)
        return FbxCallback::eNotHandled;
    auto& sink = *static_cast<EmbeddedImageSink*>(userData);
    std::string name = fileName != nullptr ? fileName : "";
    if (sink.names.insert(name).second) {
        const auto* bytes = static_cast<const std::uint8_t*>(fileBuffer);
        sink.model.embeddedImages.push_back({ std::move(name), std::vector<std::uint8_t>(bytes, bytes + sizeInBytes) });
    }
    return FbxCallback::eHandled;
}

// The context's one callback, pointed at `sink` for the next import. Main thread only, as imports
// are; the sink must outlive the import.
FbxEmbeddedFileCallback* EmbeddedImagesInto(EmbeddedImageSink& sink)
{
    static FbxEmbeddedFileCallback* callback = FbxEmbeddedFileCallback::Create(GetFbxContext().manager, "Embedded");
    callback->RegisterReadFunction(KeepEmbeddedImage, &sink);
    return callback;
}

// The end of an import that could not read its file: nothing of it is kept.
ImportResult ReadFailed(FbxScene* scene, FbxImporter* importer, ImportedModel& model, ImportResult& result)
{
    model.meshes.clear();
    model.lodGroups.clear();
    model.embeddedImages.clear();
    if (scene != nullptr)
        scene->Destroy(false);
    importer->Destroy(false);
    result.status = ImportStatus::ReadFailed;
    return result;
}

} // namespace

FbxContext& GetFbxContext()
{
    static auto* context = new FbxContext();
    return *context;
}

void InitializeFbx()
{
    FbxContext& context = GetFbxContext();
    if (context.manager != nullptr)
        return;
    context.manager = FbxManager::Create();
    context.ioSettings = FbxIOSettings::Create(context.manager, "Pel");
    context.ioSettings->SetBoolProp(kImportTextures, false);
    context.ioSettings->SetBoolProp(kExtractEmbeddedData, false);
    context.converter = new FbxGeometryConverter(context.manager);
    context.axisSystem = FbxAxisSystem(FbxAxisSystem::eDirectX);
}

ImportResult ImportFbx(const std::filesystem::path& path, ImportedModel& model, bool forceTangents, bool deduplicate)
{
    ImportResult result;
    // A path whose state cannot be learnt (no permission, a name too long) is left to the importer,
    // which reports why it cannot open it.
    std::error_code unknown;
    if (!std::filesystem::exists(path, unknown) && !unknown) {
        result.status = ImportStatus::FileNotFound;
        return result;
    }
    FbxContext& context = GetFbxContext();
    FbxImporter* importer = FbxImporter::Create(context.manager, "");
    if (importer == nullptr) {
        result.status = ImportStatus::NoImporter;
        return result;
    }
    if (!importer->Initialize(Utf8(path).c_str(), kDetectFileFormat, context.ioSettings) || !importer->IsFBX()) {
        context.lastError = importer->GetStatus().GetErrorString();
        return ReadFailed(nullptr, importer, model, result);
    }

    FbxScene* scene = FbxScene::Create(context.manager, "The Scene");
    EmbeddedImageSink embedded { model, {} };
    importer->SetEmbeddedFileReadCallback(EmbeddedImagesInto(embedded));
    try {
        if (!ReadScene(importer, scene, path, model, forceTangents, deduplicate, result))
            return ReadFailed(scene, importer, model, result);
    } catch (const InvalidReferenceMode& error) {
        // The file cannot be read as a whole: keep nothing of it rather than a half-built mesh.
        context.lastError = error.what();
        return ReadFailed(scene, importer, model, result);
    } catch (const std::bad_alloc&) {
        // The budget counts what the file's sizes announce; should memory still run out, the
        // program goes on without this model.
        context.lastError = Utf8(path) + ": not enough memory to import it";
        return ReadFailed(scene, importer, model, result);
    }

    result.status = result.warnings.empty() ? ImportStatus::Ok : ImportStatus::OkWithWarnings;
    if (importer->GetStatus().Error()) {
        context.lastError = importer->GetStatus().GetErrorString();
        return ReadFailed(scene, importer, model, result);
    }
    scene->Destroy(false);
    importer->Destroy(false);
    if (model.meshes.empty() && model.lodGroups.empty())
        result.status = ImportStatus::NoMeshes;
    return result;
}

void CollectNodes(FbxNode* node, const std::function<bool(FbxNode*)>& wanted, BelowCollected below,
    std::vector<FbxNode*>& out, int depth)
{
    if (node == nullptr || depth > kMaxNodeDepth)
        return;
    for (int i = 0; i < node->GetChildCount(false); ++i) {
        FbxNode* child = node->GetChild(i);
        if (child == nullptr)
            continue;
        const bool collected = wanted(child);
        if (collected)
            out.push_back(child);
        if (!collected || below == BelowCollected::Descend)
            CollectNodes(child, wanted, below, out, depth + 1);
    }
}
