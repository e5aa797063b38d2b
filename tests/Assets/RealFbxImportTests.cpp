#include "Assets/FbxImport.h"

#include <fbxsdk.h>
#include <gtest/gtest.h>

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

// Triangles the file's own polygons make (n - 2 for an n-gon, none for a polygon without area),
// read through the SDK before any conversion; -1 when the SDK cannot read the file.
long TrianglesInFile(const std::filesystem::path& path)
{
    using namespace fbxsdk;
    FbxContext& context = GetFbxContext();
    FbxImporter* importer = FbxImporter::Create(context.manager, "");
    long triangles = -1;
    if (importer->Initialize(path.string().c_str(), -1, context.ioSettings) && importer->IsFBX()) {
        FbxScene* scene = FbxScene::Create(context.manager, "count");
        if (importer->Import(scene, false)) {
            triangles = 0;
            for (int g = 0; g < scene->GetGeometryCount(); ++g) {
                FbxMesh* mesh = scene->GetMesh(g);
                // A mesh no node uses is not imported.
                if (mesh->GetNodeCount() == 0)
                    continue;
                for (int p = 0; p < mesh->GetPolygonCount(); ++p)
                    triangles += std::max(DistinctCorners(*mesh, p) - 2, 0) * mesh->GetNodeCount();
            }
        }
        scene->Destroy(false);
    }
    importer->Destroy(false);
    return triangles;
}

long TrianglesImported(const ImportedModel& model)
{
    long indices = 0;
    for (const Mesh& mesh : model.meshes)
        indices += static_cast<long>(mesh.indices.size());
    for (const auto& group : model.lodGroups)
        for (const LodLevel& level : group)
            for (const Mesh& mesh : level.meshes)
                indices += static_cast<long>(mesh.indices.size());
    return indices / 3;
}

} // namespace

TEST(RealFbxImport, EveryAssimpTestFileImportsWithAllItsTriangles)
{
    InitializeFbx();
    std::vector<std::filesystem::path> files = RealFiles();
    ASSERT_GE(files.size(), 15u) << "assimp-testmodels is not installed (tools/setup.sh installs it)";
    int corrupt = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        ImportedModel model;
        ImportResult result = ImportFbx(path, model, false, true);
        long expected = TrianglesInFile(path);
        if (expected < 0) {
            // The one file whose NUL bytes were replaced by spaces: it fails cleanly.
            ++corrupt;
            EXPECT_EQ(result.status, ImportStatus::ReadFailed);
            continue;
        }
        EXPECT_TRUE(result.status == ImportStatus::Ok || result.status == ImportStatus::OkWithWarnings)
            << "status " << static_cast<int>(result.status) << ": " << GetFbxContext().lastError;
        EXPECT_GT(expected, 0);
        EXPECT_EQ(TrianglesImported(model), expected);
        for (const Mesh& mesh : model.meshes)
            for (std::uint32_t index : mesh.indices)
                ASSERT_LT(index, mesh.vertices.size());
    }
    EXPECT_EQ(corrupt, 1);
}
