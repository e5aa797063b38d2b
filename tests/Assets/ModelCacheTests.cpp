#include "Assets/FbxImport.h"
#include "Assets/ModelCache.h"
#include "GlTestContext.h"

#include "fbxio/FbxSceneWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace {

// A single triangle, written by our FBX writer.
void WriteTriangle(const std::filesystem::path& path)
{
    fbxio::SceneWriter scene;
    fbxio::MeshData mesh;
    mesh.points = { 0, 0, 0, 1, 0, 0, 0, 1, 0 };
    mesh.polygons = { { 0, 1, 2 } };
    scene.AddMesh("Triangle", mesh);
    ASSERT_TRUE(scene.Save(path.string()));
}

} // namespace

TEST(ModelCache, APathIsImportedOnceAndAlwaysGivesTheSameModel)
{
    InitializeFbx();
    ScratchFolder folder;
    std::filesystem::path path = folder.path / "triangle.fbx";
    WriteTriangle(path);
    Model* first = GetModel(path.string());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->HasGpuBuffers());
    EXPECT_EQ(first->indexCount, 3u);
    EXPECT_TRUE(first->meshes[0].box.valid);

    // Gone from disk, the model still comes from the registry: it is not imported again.
    std::filesystem::remove(path);
    EXPECT_EQ(GetModel(path.string()), first);
    // The registry compares paths byte for byte.
    EXPECT_EQ(GetModel((folder.path / "." / "triangle.fbx").string()), nullptr);
}

TEST(ModelCache, OnlyTheExactExtensionFbxIsLoaded)
{
    InitializeFbx();
    ScratchFolder folder;
    WriteTriangle(folder.path / "upper.FBX");
    WriteTriangle(folder.path / "none");
    EXPECT_EQ(GetModel((folder.path / "upper.FBX").string()), nullptr);
    EXPECT_EQ(GetModel((folder.path / "none").string()), nullptr);
    EXPECT_EQ(LoadModel((folder.path / "upper.FBX").string()), nullptr);
}

TEST(ModelCache, AFileWithoutAMeshGivesNoModelAndIsTriedAgainLater)
{
    InitializeFbx();
    ScratchFolder folder;
    std::filesystem::path path = folder.path / "later.fbx";
    EXPECT_EQ(GetModel(path.string()), nullptr);
    fbxio::SceneWriter empty;
    empty.AddNull("Nothing");
    ASSERT_TRUE(empty.Save(path.string()));
    EXPECT_EQ(GetModel(path.string()), nullptr);

    WriteTriangle(path);
    Model* model = GetModel(path.string());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->indexCount, 3u);
}

TEST(ModelCache, TheShippedModelsLoadWithTheirBounds)
{
    InitializeFbx();
    for (const char* path :
        { "Assets/Models/CabinWall.fbx", "Assets/Models/CabinRoofTopFace.fbx", "Assets/Models/Plane.fbx",
            "Assets/Models/TriangleCollider.fbx", "Assets/Models/UVSphere.fbx", "Assets/Models/Cylinder.fbx" }) {
        Model* model = GetModel(path);
        ASSERT_NE(model, nullptr) << path;
        EXPECT_GT(model->indexCount, 0u) << path;
        EXPECT_TRUE(model->meshes[0].box.valid) << path;
        // Normals, tangents and UVs came with every model.
        EXPECT_NE(model->meshes[0].vertices[0].normal, (Float3 {})) << path;
        EXPECT_NE(model->meshes[0].vertices[0].tangent, (Float3 {})) << path;
    }
    // The sphere has radius 1; the cylinder radius 1 about z.
    const BoundingBox& sphere = GetModel("Assets/Models/UVSphere.fbx")->meshes[0].box;
    EXPECT_NEAR(sphere.max.y, 1.0f, 1e-5f);
    EXPECT_NEAR(sphere.min.y, -1.0f, 1e-5f);
    const BoundingBox& cylinder = GetModel("Assets/Models/Cylinder.fbx")->meshes[0].box;
    EXPECT_NEAR(cylinder.max.x, 1.0f, 1e-5f);
    EXPECT_NEAR(cylinder.min.y, -1.0f, 1e-5f);
}

TEST(ModelCache, AFailedPathIsNamedOnceAndNotReadAgainUntilItsFileChanges)
{
    InitializeFbx();
    ScratchFolder folder;
    const std::filesystem::path broken = folder.path / "broken.fbx";
    std::ofstream(broken, std::ios::binary) << "Kaydara FBX Binary  \0\x1a\0 and nothing after it";
    const std::filesystem::path directory = folder.path / "directory.fbx";
    std::filesystem::create_directory(directory);

    for (const auto& [path, said] :
        { std::pair { broken, ": cannot be read: " }, std::pair { directory, ": cannot be read: " } }) {
        SCOPED_TRACE(path.string());
        testing::internal::CaptureStderr();
        EXPECT_EQ(GetModel(path.string()), nullptr);
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(printed.rfind(path.string() + said, 0), 0u) << printed;
        EXPECT_NE(printed.find("; objects using it have no mesh\n"), std::string::npos) << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;

        // Asked for again, unchanged: not imported again (the import would set its error text) and
        // nothing more is said.
        GetFbxContext().lastError = "untouched";
        testing::internal::CaptureStderr();
        EXPECT_EQ(GetModel(path.string()), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(GetFbxContext().lastError, "untouched");
    }

    // Once the file changes it is imported again.
    std::filesystem::remove(broken);
    WriteTriangle(broken);
    Model* mended = GetModel(broken.string());
    ASSERT_NE(mended, nullptr);
    EXPECT_EQ(mended->indexCount, 3u);
}

TEST(ModelCache, AMissingModelAndOneWithoutMeshesSayWhy)
{
    InitializeFbx();
    ScratchFolder folder;
    const std::filesystem::path missing = folder.path / "missing.fbx";
    const std::filesystem::path empty = folder.path / "empty.fbx";
    fbxio::SceneWriter nothing;
    nothing.AddNull("Nothing");
    ASSERT_TRUE(nothing.Save(empty.string()));
    const std::filesystem::path upper = folder.path / "upper.FBX";
    WriteTriangle(upper);

    testing::internal::CaptureStderr();
    EXPECT_EQ(GetModel(missing.string()), nullptr);
    EXPECT_EQ(GetModel(empty.string()), nullptr);
    EXPECT_EQ(GetModel(upper.string()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        missing.string() + ": not found; objects using it have no mesh\n" + empty.string()
            + ": has no mesh to draw; objects using it have no mesh\n" + upper.string()
            + ": is not a model: only \".fbx\" files are read; objects using it have no mesh\n");
}
