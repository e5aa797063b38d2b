#include "Assets/FbxImport.h"

#include "MeshChecks.h"

#include <fbxsdk.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

// Every FBX file of Debian's assimp-testmodels, written by exporters no one here wrote.

namespace {

const std::filesystem::path kAssimpModels = "/usr/share/assimp/models/FBX";

std::vector<std::filesystem::path> RealFiles()
{
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::exists(kAssimpModels))
        return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kAssimpModels)) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (entry.is_regular_file() && extension == ".fbx")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Corners of polygon p left once corners that repeat the position before them (cyclically) are
// dropped: those only add zero-area slivers.
int DistinctCorners(const fbxsdk::FbxMesh& mesh, int p)
{
    std::vector<fbxsdk::FbxVector4> corners;
    for (int c = 0; c < mesh.GetPolygonSize(p); ++c) {
        fbxsdk::FbxVector4 point = mesh.GetControlPointAt(mesh.GetPolygonVertex(p, c));
        if (corners.empty() || !(corners.back() == point))
            corners.push_back(point);
    }
    while (corners.size() > 1 && corners.front() == corners.back())
        corners.pop_back();
    return static_cast<int>(corners.size());
}

// What the file says before any conversion, read through the SDK.
struct FileFacts {
    // Triangles the file's own polygons make (n - 2 for an n-gon, none for a polygon without area);
    // -1 when the SDK cannot read the file.
    long triangles = -1;
    // The box of every control point a used mesh's polygons reach, grown from the origin (as the
    // import's running box is), in the file's unit and axes.
    double min[3] = { 0, 0, 0 };
    double max[3] = { 0, 0, 0 };
    // Centimetres per file unit.
    double centimetresPerUnit = 1.0;
    // Triangles of polygons that, counter-clockwise being the front in a right-handed frame (and
    // clockwise in a left-handed one), face away from the sum of their corners' normals: faces the
    // file itself has inside out.
    long trianglesFacingAway = 0;
};

// The normal a corner reads from the mesh's first normal element, or zero.
fbxsdk::FbxVector4 CornerNormal(const fbxsdk::FbxMesh& mesh, int polygonVertex, int controlPoint)
{
    using fbxsdk::FbxLayerElement;
    const fbxsdk::FbxLayerElementNormal* normals = mesh.GetElementNormal(0);
    if (normals == nullptr)
        return {};
    int index = normals->GetMappingMode() == FbxLayerElement::eByControlPoint ? controlPoint : polygonVertex;
    if (normals->GetReferenceMode() != FbxLayerElement::eDirect)
        index = normals->GetIndexArray().GetAt(index);
    return normals->GetDirectArray().GetAt(index);
}

// Whether polygon p's corners, in a frame of the given handedness, turn the other way from its
// normals (true only for a polygon with area and normals).
bool FacesAway(const fbxsdk::FbxMesh& mesh, int p, bool rightHanded)
{
    const int first = mesh.GetPolygonVertexIndex(p);
    const fbxsdk::FbxVector4 a = mesh.GetControlPointAt(mesh.GetPolygonVertex(p, 0));
    double area[3] = { 0, 0, 0 }, normal[3] = { 0, 0, 0 };
    for (int c = 0; c < mesh.GetPolygonSize(p); ++c) {
        const fbxsdk::FbxVector4 n = CornerNormal(mesh, first + c, mesh.GetPolygonVertex(p, c));
        for (int axis = 0; axis < 3; ++axis)
            normal[axis] += n[axis];
        if (c < 2)
            continue;
        const fbxsdk::FbxVector4 b = mesh.GetControlPointAt(mesh.GetPolygonVertex(p, c - 1));
        const fbxsdk::FbxVector4 d = mesh.GetControlPointAt(mesh.GetPolygonVertex(p, c));
        const double e1[3] = { b[0] - a[0], b[1] - a[1], b[2] - a[2] };
        const double e2[3] = { d[0] - a[0], d[1] - a[1], d[2] - a[2] };
        area[0] += e1[1] * e2[2] - e1[2] * e2[1];
        area[1] += e1[2] * e2[0] - e1[0] * e2[2];
        area[2] += e1[0] * e2[1] - e1[1] * e2[0];
    }
    const double along = area[0] * normal[0] + area[1] * normal[1] + area[2] * normal[2];
    return rightHanded ? along < 0.0 : along > 0.0;
}

FileFacts ReadFileFacts(const std::filesystem::path& path)
{
    using namespace fbxsdk;
    FbxContext& context = GetFbxContext();
    FbxImporter* importer = FbxImporter::Create(context.manager, "");
    FileFacts facts;
    if (importer->Initialize(path.string().c_str(), -1, context.ioSettings) && importer->IsFBX()) {
        FbxScene* scene = FbxScene::Create(context.manager, "count");
        if (importer->Import(scene, false)) {
            facts.triangles = 0;
            FbxGlobalSettings& settings = scene->GetGlobalSettings();
            facts.centimetresPerUnit = settings.GetSystemUnit().GetConversionFactorTo(FbxSystemUnit::cm);
            const bool rightHanded = settings.GetAxisSystem().GetCoorSystem() == FbxAxisSystem::eRightHanded;
            for (int g = 0; g < scene->GetGeometryCount(); ++g) {
                FbxMesh* mesh = scene->GetMesh(g);
                // A mesh no node uses is not imported.
                if (mesh->GetNodeCount() == 0)
                    continue;
                for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
                    const long triangles = std::max(DistinctCorners(*mesh, p) - 2, 0) * mesh->GetNodeCount();
                    facts.triangles += triangles;
                    if (FacesAway(*mesh, p, rightHanded))
                        facts.trianglesFacingAway += triangles;
                    for (int c = 0; c < mesh->GetPolygonSize(p); ++c) {
                        FbxVector4 point = mesh->GetControlPointAt(mesh->GetPolygonVertex(p, c));
                        for (int axis = 0; axis < 3; ++axis) {
                            facts.min[axis] = std::min(facts.min[axis], point[axis]);
                            facts.max[axis] = std::max(facts.max[axis], point[axis]);
                        }
                    }
                }
            }
        }
        scene->Destroy(false);
    }
    importer->Destroy(false);
    return facts;
}

// Every mesh of the model, LOD levels included.
std::vector<const Mesh*> AllMeshes(const ImportedModel& model)
{
    std::vector<const Mesh*> meshes;
    for (const Mesh& mesh : model.meshes)
        meshes.push_back(&mesh);
    for (const auto& group : model.lodGroups)
        for (const LodLevel& level : group)
            for (const Mesh& mesh : level.meshes)
                meshes.push_back(&mesh);
    return meshes;
}

long TrianglesImported(const ImportedModel& model)
{
    long indices = 0;
    for (const Mesh* mesh : AllMeshes(model))
        indices += static_cast<long>(mesh->indices.size());
    return indices / 3;
}

// The box's three sizes, smallest first: axes may be swapped and turned round on the way into the
// engine's frame, sizes stay.
std::array<double, 3> SortedSizes(const double min[3], const double max[3], double scale)
{
    std::array<double, 3> sizes { (max[0] - min[0]) * scale, (max[1] - min[1]) * scale, (max[2] - min[2]) * scale };
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

} // namespace

TEST(RealFbxImport, EveryAssimpTestFileImportsWholeRightSideOutAndInCentimetres)
{
    InitializeFbx();
    std::vector<std::filesystem::path> files = RealFiles();
    ASSERT_GE(files.size(), 15u) << "assimp-testmodels is not installed (tools/setup.sh installs it)";
    int corrupt = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        ImportedModel model;
        ImportResult result = ImportFbx(path, model, false, true);
        FileFacts file = ReadFileFacts(path);
        if (file.triangles < 0) {
            // The one file whose NUL bytes were replaced by spaces: it fails cleanly.
            ++corrupt;
            EXPECT_EQ(result.status, ImportStatus::ReadFailed);
            continue;
        }
        EXPECT_TRUE(result.status == ImportStatus::Ok || result.status == ImportStatus::OkWithWarnings)
            << "status " << static_cast<int>(result.status) << ": " << GetFbxContext().lastError;
        EXPECT_GT(file.triangles, 0);
        EXPECT_EQ(TrianglesImported(model), file.triangles);
        meshchecks::WindingCount windings;
        for (const Mesh* mesh : AllMeshes(model)) {
            for (std::uint32_t index : mesh->indices)
                ASSERT_LT(index, mesh->vertices.size());
            meshchecks::WindingCount count = meshchecks::CountWindings(*mesh);
            windings.agreeing += count.agreeing;
            windings.disagreeing += count.disagreeing;
            windings.degenerate += count.degenerate;
        }
        // Drawn from outside, every face shows its lit side: every triangle faces its normals, but for
        // the few the file itself has inside out (4 of spider.fbx's 1312), which stay as they are.
        EXPECT_EQ(static_cast<long>(windings.disagreeing), file.trianglesFacingAway)
            << windings.agreeing << " agree, " << windings.degenerate << " degenerate";
        EXPECT_LE(file.trianglesFacingAway * 100, file.triangles)
            << "the file's own faces, read here, are mostly inside out";
        EXPECT_GT(windings.agreeing, 0u);

        ASSERT_TRUE(model.box.valid);
        const double importedMin[3] = { model.box.min.x, model.box.min.y, model.box.min.z };
        const double importedMax[3] = { model.box.max.x, model.box.max.y, model.box.max.z };
        std::array<double, 3> expected = SortedSizes(file.min, file.max, file.centimetresPerUnit);
        std::array<double, 3> imported = SortedSizes(importedMin, importedMax, 1.0);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(imported[axis], expected[axis], 1e-4 * expected[2] + 1e-3)
                << "size " << axis << " of " << expected[0] << " x " << expected[1] << " x " << expected[2] << " cm";
    }
    EXPECT_EQ(corrupt, 1);
}
