#include "Assets/FbxImport.h"
#include "Assets/SkeletonImport.h"
#include "Assets/VertexHash.h"

#include "FbxImportFixture.h"
#include "HostileFbxFiles.h"
#include "MeshFixtures.h"
#include "fbxio/FbxSceneWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

using fbxio::LayerElement;
using fbxio::LayerKind;
using fbxio::Mapping;
using fbxio::MeshData;
using fbxio::Reference;
using fbxio::SceneWriter;
using meshfixtures::Layer;
using meshfixtures::Repeat;
using meshfixtures::SmoothOctahedron;
using meshfixtures::TwoTriangles;

// A unit cube from 8 control points with per-corner normals, tangents, binormals and UVs, flat on
// each face: the corners of one face share everything, different faces share nothing but positions.
MeshData Cube()
{
    MeshData mesh;
    mesh.points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1 };
    mesh.polygons = { { 0, 3, 2, 1 }, { 4, 5, 6, 7 }, { 0, 1, 5, 4 }, { 2, 3, 7, 6 }, { 0, 4, 7, 3 }, { 1, 2, 6, 5 } };
    const double normals[6][3] = { { 0, 0, -1 }, { 0, 0, 1 }, { 0, -1, 0 }, { 0, 1, 0 }, { -1, 0, 0 }, { 1, 0, 0 } };
    LayerElement n = Layer(LayerKind::Normal, Mapping::ByPolygonVertex, {});
    LayerElement t = Layer(LayerKind::Tangent, Mapping::ByPolygonVertex, {});
    LayerElement b = Layer(LayerKind::Binormal, Mapping::ByPolygonVertex, {});
    LayerElement uv = Layer(LayerKind::UV, Mapping::ByPolygonVertex, {});
    for (const auto& normal : normals)
        for (int corner = 0; corner < 4; ++corner) {
            n.values.insert(n.values.end(), { normal[0], normal[1], normal[2] });
            t.values.insert(t.values.end(), { normal[1], normal[2], normal[0] });
            b.values.insert(b.values.end(), { normal[2], normal[0], normal[1] });
            uv.values.insert(uv.values.end(), { normal[0] * 0.1 + 0.5, normal[1] * 0.1 + 0.5 });
        }
    mesh.layers = { n, t, b, uv };
    return mesh;
}

} // namespace

TEST_F(FbxImportTest, ACubeWithPerCornerNormalsGivesTwentyFourVerticesAndThirtySixIndices)
{
    SceneWriter scene;
    scene.AddMesh("Cube", Cube());
    ImportedModel model;
    ImportResult result = Import(scene, model);
    EXPECT_EQ(result.status, ImportStatus::Ok);
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].vertices.size(), 24u);
    EXPECT_EQ(model.meshes[0].indices.size(), 36u);
    EXPECT_EQ(model.meshes[0].name, "Cube");
    EXPECT_EQ(model.meshes[0].materialIndex, 0);
    for (std::uint32_t index : model.meshes[0].indices)
        EXPECT_LT(index, 24u);
}

TEST_F(FbxImportTest, SmoothMeshesShareVerticesAndDeduplicationOffKeepsEveryCorner)
{
    SceneWriter scene;
    scene.AddMesh("Octahedron", SmoothOctahedron());
    ImportedModel shared;
    EXPECT_EQ(Import(scene, shared).status, ImportStatus::Ok);
    ASSERT_EQ(shared.meshes.size(), 1u);
    EXPECT_EQ(shared.meshes[0].vertices.size(), 6u);
    EXPECT_EQ(shared.meshes[0].indices.size(), 24u);

    ImportedModel every;
    Import(scene, every, false, "again.fbx");
    ASSERT_EQ(every.meshes.size(), 1u);
    EXPECT_EQ(every.meshes[0].vertices.size(), 24u);
    for (std::uint32_t i = 0; i < every.meshes[0].indices.size(); ++i)
        EXPECT_EQ(every.meshes[0].indices[i], i);
}

namespace {

// A grid of (size - 1)^2 quads whose corners pick their normal at random from three, one of them +Z
// with a negative zero: control points give different vertices from corner to corner, and equal
// vertices come back far apart.
MeshData RandomNormalGrid(int size)
{
    MeshData mesh;
    LayerElement normals = Layer(LayerKind::Normal, Mapping::ByPolygonVertex, {});
    LayerElement uv = Layer(LayerKind::UV, Mapping::ByControlPoint, {});
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            mesh.points.insert(mesh.points.end(), { double(x), double(y), 0.0 });
            uv.values.insert(uv.values.end(), { x / 16.0, y / 16.0 });
        }
    const double choices[3][3] = { { 0, 0, 1 }, { -0.0, 0, 1 }, { 0, 1, 0 } };
    std::minstd_rand random(7);
    for (int y = 0; y + 1 < size; ++y)
        for (int x = 0; x + 1 < size; ++x) {
            const int a = y * size + x;
            mesh.polygons.push_back({ a, a + 1, a + size + 1 });
            mesh.polygons.push_back({ a, a + size + 1, a + size });
            for (int corner = 0; corner < 6; ++corner) {
                const double* n = choices[random() % 3];
                normals.values.insert(normals.values.end(), { n[0], n[1], n[2] });
            }
        }
    mesh.layers = { normals, uv };
    return mesh;
}

} // namespace

namespace {

// Checks that `merged` is what merging the corners of `every` (the same mesh imported without
// de-duplication) by their hashes alone gives: the same indices, and each vertex the record of the
// first corner with its hash.
void ExpectMergedByHash(const Mesh& merged, const Mesh& every)
{
    std::unordered_map<std::uint64_t, std::uint32_t> indexByHash;
    std::vector<std::uint32_t> expectedIndices;
    std::vector<const Vertex*> expectedVertices;
    for (const Vertex& vertex : every.vertices) {
        auto [entry, added] = indexByHash.emplace(
            HashVertex(vertex), static_cast<std::uint32_t>(expectedVertices.size()));
        if (added)
            expectedVertices.push_back(&vertex);
        expectedIndices.push_back(entry->second);
    }
    EXPECT_EQ(merged.indices, expectedIndices);
    ASSERT_EQ(merged.vertices.size(), expectedVertices.size());
    for (std::size_t i = 0; i < expectedVertices.size(); ++i)
        ASSERT_EQ(std::memcmp(&merged.vertices[i], expectedVertices[i], sizeof(Vertex)), 0) << i;
}

// RandomNormalGrid with seams: a second UV set by polygon vertex through indices, most corners taking
// their control point's UV, some a seam's, and a few an index outside the values; a colour set by
// polygon vertex, one of its colours with a negative zero; and its triangles split between two
// material slots at random. Corners of one control point then repeat each other, or differ in any
// one of these.
MeshData SeamedGrid(int size)
{
    MeshData mesh = RandomNormalGrid(size);
    const int points = size * size;
    const std::size_t corners = std::size_t(6) * (size - 1) * (size - 1);
    LayerElement uv = Layer(LayerKind::UV, Mapping::ByPolygonVertex, {});
    uv.reference = Reference::IndexToDirect;
    for (int point = 0; point < points; ++point)
        uv.values.insert(uv.values.end(), { point * 0.001, 0.5 });
    uv.values.insert(uv.values.end(), { 0.25, 0.75 }); // the seam's
    LayerElement color = Layer(LayerKind::Color, Mapping::ByPolygonVertex, {});
    const double colors[3][4] = { { 1, 0, 0, 1 }, { 1, -0.0, 0, 1 }, { 0, 0, 1, 0.5 } };
    std::minstd_rand random(11);
    std::size_t corner = 0;
    for (const std::vector<int>& polygon : mesh.polygons)
        for (int point : polygon) {
            const unsigned pick = random() % 16;
            uv.indices.push_back(pick == 0 ? points : pick == 1 ? points + 7 : point);
            const double* c = colors[pick < 12 ? 0 : pick % 3];
            color.values.insert(color.values.end(), { c[0], c[1], c[2], c[3] });
            ++corner;
        }
    EXPECT_EQ(corner, corners);
    mesh.layers.push_back(uv);
    mesh.layers.push_back(color);
    for (std::size_t polygon = 0; polygon < mesh.polygons.size(); ++polygon)
        mesh.materialIndices.push_back(random() % 4 == 0 ? 1 : 0);
    return mesh;
}

} // namespace

TEST_F(FbxImportTest, DeduplicationMergesExactlyTheCornersWhoseHashesAreEqual)
{
    // A small mesh (288 triangles) and a large one (20,000): both must give what merging by hash
    // alone gives.
    for (int size : { 13, 101 }) {
        SCOPED_TRACE(size);
        SceneWriter scene;
        scene.AddMesh("Grid", RandomNormalGrid(size));
        ImportedModel merged, every;
        ASSERT_EQ(Import(scene, merged, true, "merged.fbx").status, ImportStatus::Ok);
        ASSERT_EQ(Import(scene, every, false, "every.fbx").status, ImportStatus::Ok);
        ASSERT_EQ(merged.meshes.size(), 1u);
        ASSERT_EQ(every.meshes.size(), 1u);
        ASSERT_EQ(every.meshes[0].vertices.size(), std::size_t(6 * (size - 1) * (size - 1)));
        ExpectMergedByHash(merged.meshes[0], every.meshes[0]);
        // The two +Z normals are one: at most two vertices per control point.
        EXPECT_GT(merged.meshes[0].vertices.size(), std::size_t(size * size));
        EXPECT_LE(merged.meshes[0].vertices.size(), std::size_t(2 * size * size));
        EXPECT_EQ(merged.meshes[0].box.max.x, float(size - 1));
    }
}

TEST_F(FbxImportTest, CornersThatDifferFromTheirControlPointsOthersOnlyInSeamsOrColoursAreMergedByHashToo)
{
    for (int size : { 13, 101 }) {
        SCOPED_TRACE(size);
        SceneWriter scene;
        auto node = scene.AddMesh("Seamed", SeamedGrid(size));
        scene.AssignMaterial(node, scene.AddMaterial("Most"));
        scene.AssignMaterial(node, scene.AddMaterial("Some"));
        ImportedModel merged, every;
        ASSERT_EQ(Import(scene, merged, true, "merged.fbx").status, ImportStatus::Ok);
        ASSERT_EQ(Import(scene, every, false, "every.fbx").status, ImportStatus::Ok);
        ASSERT_EQ(merged.meshes.size(), 2u);
        ASSERT_EQ(every.meshes.size(), 2u);
        for (std::size_t slot = 0; slot < 2; ++slot) {
            SCOPED_TRACE(slot);
            ExpectMergedByHash(merged.meshes[slot], every.meshes[slot]);
            // Each slot keeps its own vertices, and the box of them.
            EXPECT_LT(merged.meshes[slot].vertices.size(), every.meshes[slot].vertices.size());
            EXPECT_EQ(merged.meshes[slot].box.max.x, float(size - 1));
        }
    }
}

TEST_F(FbxImportTest, UvsAreStoredWithVTurnedOverAndEveryBoxIsThatOfItsOwnVertices)
{
    SceneWriter scene;
    scene.AddMesh("Triangles", TwoTriangles());
    ImportedModel model;
    Import(scene, model);
    ASSERT_EQ(model.meshes.size(), 1u);
    const Mesh& mesh = model.meshes[0];
    EXPECT_FLOAT_EQ(mesh.vertices[0].uv0.x, 0.5f);
    EXPECT_FLOAT_EQ(mesh.vertices[0].uv0.y, 0.75f);
    // Every vertex lies at x from 1 to 4 and y from 0 to 1: the box is theirs, not grown from the origin.
    EXPECT_TRUE(mesh.box.valid);
    EXPECT_FLOAT_EQ(mesh.box.min.x, 1.0f);
    EXPECT_FLOAT_EQ(mesh.box.max.x, 4.0f);
    EXPECT_FLOAT_EQ(mesh.box.min.y, 0.0f);
    EXPECT_FLOAT_EQ(mesh.box.max.y, 1.0f);
    EXPECT_FLOAT_EQ(mesh.extents.halfSize.x, 1.5f);
    EXPECT_FLOAT_EQ(mesh.extents.centre.x, 2.5f);
    EXPECT_FLOAT_EQ(mesh.extents.radius, 1.5f);
    // So is the whole file's.
    EXPECT_FLOAT_EQ(model.box.min.x, 1.0f);
    EXPECT_FLOAT_EQ(model.box.max.x, 4.0f);
    EXPECT_EQ(model.fileUpAxis, 1);
    EXPECT_EQ(model.fileUnit, 2);

    // A triangle a million units from the origin keeps a box around itself, and so does the file.
    MeshData far = TwoTriangles();
    for (std::size_t k = 0; k < far.points.size(); ++k)
        far.points[k] += 1e6;
    SceneWriter distant;
    distant.AddMesh("Far", far);
    ImportedModel away;
    Import(distant, away, true, "far.fbx");
    ASSERT_EQ(away.meshes.size(), 1u);
    for (const BoundingBox& box : { away.meshes[0].box, away.box }) {
        EXPECT_FLOAT_EQ(box.min.x, 1e6f + 1.0f);
        EXPECT_FLOAT_EQ(box.max.x, 1e6f + 4.0f);
        EXPECT_FLOAT_EQ(box.min.y, 1e6f);
        // The engine's z is the file's turned round.
        EXPECT_FLOAT_EQ(box.max.z, -1e6f);
    }
}

TEST_F(FbxImportTest, LayerIndicesOutsideTheirArraysReadZeroAndMissingIndicesReadTheFirstEntry)
{
    // UVs through an index array that is short (four indices for six corners) and holds an index
    // beyond the two UVs and a negative one; normals by control point through the direct array,
    // which has values for only four of the six points.
    MeshData mesh = TwoTriangles();
    mesh.layers[0] = Layer(LayerKind::Normal, Mapping::ByControlPoint, { 0, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 1 });
    mesh.layers[3].reference = Reference::IndexToDirect;
    mesh.layers[3].values = { 0.1, 0.2, 0.3, 0.4 };
    mesh.layers[3].indices = { 1, 7, -2, 0 };
    SceneWriter scene;
    scene.AddMesh("Odd", mesh);
    ImportedModel model;
    ASSERT_EQ(Import(scene, model, false).status, ImportStatus::Ok);
    ASSERT_EQ(model.meshes.size(), 1u);
    const std::vector<Vertex>& v = model.meshes[0].vertices;
    ASSERT_EQ(v.size(), 6u);
    // The engine's axes mirror the file's, so each triangle's last two corners trade places, and the
    // short index array with them where it reaches: the first triangle reads indices 1, -2, 7.
    const float expectedUvs[6][2] = { { 0.3f, 0.6f }, { 0, 1 }, { 0, 1 }, { 0.1f, 0.8f }, { 0.1f, 0.8f },
        { 0.1f, 0.8f } };
    for (std::size_t i = 0; i < v.size(); ++i) {
        EXPECT_FLOAT_EQ(v[i].uv0.x, expectedUvs[i][0]) << "corner " << i;
        EXPECT_FLOAT_EQ(v[i].uv0.y, expectedUvs[i][1]) << "corner " << i;
    }
    // Control points 4 and 5 have no normal: theirs is zero. The others' z is turned over by the
    // mirror, which is why the first point's (0, 0, 1) arrives as (0, 0, -1).
    EXPECT_FLOAT_EQ(v[0].normal.z, -1.0f);
    for (std::size_t i : { std::size_t(4), std::size_t(5) }) {
        EXPECT_EQ(v[i].normal.x, 0.0f) << "corner " << i;
        EXPECT_EQ(v[i].normal.y, 0.0f) << "corner " << i;
        EXPECT_EQ(v[i].normal.z, 0.0f) << "corner " << i;
    }
}

TEST_F(FbxImportTest, EachMaterialSlotGetsItsOwnPolygonsAndTheBoxOfItsOwnVertices)
{
    SceneWriter scene;
    MeshData mesh = TwoTriangles();
    mesh.materialIndices = { 0, 1 };
    auto node = scene.AddMesh("Split", mesh);
    scene.AssignMaterial(node, scene.AddMaterial("Left"));
    scene.AssignMaterial(node, scene.AddMaterial("Right"));
    ImportedModel model;
    Import(scene, model);
    ASSERT_EQ(model.meshes.size(), 2u);
    EXPECT_EQ(model.materials.size(), 2u);
    EXPECT_EQ(model.meshes[0].materialIndex, 0);
    EXPECT_EQ(model.meshes[1].materialIndex, 1);
    EXPECT_EQ(model.meshes[0].indices.size(), 3u);
    EXPECT_EQ(model.meshes[1].indices.size(), 3u);
    EXPECT_LE(model.meshes[0].vertices[0].position.x, 2.0f);
    EXPECT_GE(model.meshes[1].vertices[0].position.x, 3.0f);
    EXPECT_FLOAT_EQ(model.meshes[0].box.min.x, 1.0f);
    EXPECT_FLOAT_EQ(model.meshes[0].box.max.x, 2.0f);
    // The second slot's box holds its own triangle only; the file's holds both.
    EXPECT_FLOAT_EQ(model.meshes[1].box.min.x, 3.0f);
    EXPECT_FLOAT_EQ(model.meshes[1].box.max.x, 4.0f);
    EXPECT_FLOAT_EQ(model.box.min.x, 1.0f);
    EXPECT_FLOAT_EQ(model.box.max.x, 4.0f);

    // Materials without a material element: every polygon goes into every slot's mesh.
    SceneWriter unassigned;
    auto plain = unassigned.AddMesh("Plain", TwoTriangles());
    unassigned.AssignMaterial(plain, unassigned.AddMaterial("A"));
    unassigned.AssignMaterial(plain, unassigned.AddMaterial("B"));
    ImportedModel both;
    Import(unassigned, both, true, "plain.fbx");
    ASSERT_EQ(both.meshes.size(), 2u);
    EXPECT_EQ(both.meshes[0].indices.size(), 6u);
    EXPECT_EQ(both.meshes[1].indices.size(), 6u);
}

TEST_F(FbxImportTest, AMeshWithoutUvsGetsALayerAndAWarning)
{
    SceneWriter scene;
    MeshData mesh = TwoTriangles();
    mesh.layers.pop_back();
    scene.AddMesh("NoUv", mesh);
    ImportedModel model;
    ImportResult result = Import(scene, model);
    EXPECT_EQ(result.status, ImportStatus::OkWithWarnings);
    EXPECT_EQ(result.warnings.at(ImportWarning::MissingUVs), 1);
    EXPECT_EQ(model.meshes.size(), 1u);
}

TEST_F(FbxImportTest, LodGroupsKeepTheirLevelsAndDirectChildrenStayOrdinaryMeshes)
{
    SceneWriter scene;
    auto lod = scene.AddLodGroup("Lod", { 100.0, 400.0 });
    auto level0 = scene.AddNull("Level0", lod);
    scene.AddMesh("Fine", TwoTriangles(), level0);
    auto level1 = scene.AddNull("Level1", lod);
    scene.AddMesh("Coarse", TwoTriangles(), level1);
    ImportedModel model;
    ImportResult result = Import(scene, model);
    EXPECT_TRUE(result.status == ImportStatus::Ok || result.status == ImportStatus::OkWithWarnings);
    EXPECT_TRUE(model.meshes.empty());
    ASSERT_EQ(model.lodGroups.size(), 1u);
    ASSERT_EQ(model.lodGroups[0].size(), 2u);
    EXPECT_EQ(model.lodGroups[0][0].index, 0);
    EXPECT_EQ(model.lodGroups[0][0].distance, 0.0f);
    EXPECT_EQ(model.lodGroups[0][1].distance, 100.0f);
    EXPECT_EQ(model.lodGroups[0][1].meshes.size(), 1u);

    // A mesh node that is itself a child of the group is not below a child: an ordinary mesh.
    SceneWriter direct;
    auto group = direct.AddLodGroup("Lod", { 50.0 });
    direct.AddMesh("Direct", TwoTriangles(), group);
    ImportedModel directModel;
    Import(direct, directModel, true, "direct.fbx");
    ASSERT_EQ(directModel.meshes.size(), 1u);
    EXPECT_EQ(directModel.meshes[0].name, "Direct");
    ASSERT_EQ(directModel.lodGroups.size(), 1u);
    EXPECT_TRUE(directModel.lodGroups[0][0].meshes.empty());
}

TEST_F(FbxImportTest, FilesThatCannotBeReadEndWithTheirStatus)
{
    ImportedModel missing;
    EXPECT_EQ(ImportFbx(folder / "absent.fbx", missing, false, true).status, ImportStatus::FileNotFound);

    std::ofstream(folder / "text.fbx") << "this is not an FBX file at all\n";
    ImportedModel text;
    EXPECT_EQ(ImportFbx(folder / "text.fbx", text, false, true).status, ImportStatus::ReadFailed);
    EXPECT_FALSE(GetFbxContext().lastError.empty());

    SceneWriter empty;
    empty.AddNull("Nothing");
    ImportedModel nothing;
    EXPECT_EQ(Import(empty, nothing, true, "empty.fbx").status, ImportStatus::NoMeshes);

    // A folder exists but is not a file.
    ImportedModel directory;
    EXPECT_EQ(ImportFbx(folder, directory, false, true).status, ImportStatus::ReadFailed);
    EXPECT_EQ(GetFbxContext().lastError, "cannot read '" + folder.string() + "': not a regular file");

    // Files the SDK refuses once opened: not NoMeshes, however little of them was built.
    const std::pair<std::vector<std::uint8_t>, const char*> refused[] = {
        { hostilefbx::NodeChain(600), "node 'N511' lies deeper than 512 levels" },
        { hostilefbx::IndexBomb(53'333'334, hostilefbx::Packing::Loose), "160000002 polygon vertices need" },
    };
    for (const auto& [bytes, message] : refused) {
        const std::filesystem::path path = folder / "refused.fbx";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ImportedModel model;
        EXPECT_EQ(ImportFbx(path, model, false, true).status, ImportStatus::ReadFailed) << message;
        EXPECT_NE(GetFbxContext().lastError.find(message), std::string::npos) << GetFbxContext().lastError;
        EXPECT_TRUE(model.meshes.empty());
    }
}

namespace {

// "M<index>", appended rather than added: gcc 12 at -O3 warns falsely (-Wrestrict) about "M" + a
// temporary string.
std::string MaterialName(int index)
{
    std::string name = "M";
    name += std::to_string(index);
    return name;
}

} // namespace

TEST_F(FbxImportTest, VerticesAreCountedForEachSlotsOwnPolygonsAndMustFitTheFilesSize)
{
    constexpr int kTriangles = 10'000;
    constexpr int kSlots = 40;
    MeshData strip;
    for (int k = 0; k < kTriangles + 2; ++k)
        strip.points.insert(strip.points.end(), { double(k / 2), double(k % 2), 0.0 });
    for (int k = 0; k < kTriangles; ++k) {
        strip.polygons.push_back({ k, k + 1, k + 2 });
        strip.materialIndices.push_back(k % kSlots);
    }

    // Forty materials sharing the polygons: together their vertices are one mesh's worth, and fit.
    SceneWriter shared;
    auto sharedNode = shared.AddMesh("Strip", strip);
    for (int m = 0; m < kSlots; ++m)
        shared.AssignMaterial(sharedNode, shared.AddMaterial(MaterialName(m)));
    ImportedModel sharedModel;
    EXPECT_EQ(Import(shared, sharedModel, true, "shared.fbx").status, ImportStatus::OkWithWarnings)
        << GetFbxContext().lastError;
    ASSERT_EQ(sharedModel.meshes.size(), std::size_t(kSlots));
    std::size_t indices = 0;
    for (const Mesh& mesh : sharedModel.meshes)
        indices += mesh.indices.size();
    EXPECT_EQ(indices, std::size_t(kTriangles) * 3);

    // One material in forty slots: each slot takes every polygon, forty copies of the mesh that a
    // file of this size cannot ask for.
    std::fill(strip.materialIndices.begin(), strip.materialIndices.end(), 0);
    SceneWriter repeated;
    auto repeatedNode = repeated.AddMesh("Strip", strip);
    const auto only = repeated.AddMaterial("Only");
    for (int m = 0; m < kSlots; ++m)
        repeated.AssignMaterial(repeatedNode, only);
    const std::filesystem::path path = Save(repeated, "repeated.fbx");
    ImportedModel repeatedModel;
    EXPECT_EQ(ImportFbx(path, repeatedModel, false, true).status, ImportStatus::ReadFailed);
    EXPECT_EQ(GetFbxContext().lastError.rfind(path.string() + ": its meshes would need more than the ", 0), 0u)
        << GetFbxContext().lastError;
    EXPECT_TRUE(repeatedModel.meshes.empty());
}

TEST_F(FbxImportTest, AnUnreadableReferenceModeEndsTheImportOfThatFileOnly)
{
    SceneWriter scene;
    MeshData mesh = TwoTriangles();
    mesh.layers[0].reference = Reference::Index;
    mesh.layers[0].indices = { 0, 1, 2, 3, 4, 5 };
    scene.AddMesh("Broken", mesh);
    ImportedModel model;
    ImportResult result = Import(scene, model);
    EXPECT_EQ(result.status, ImportStatus::ReadFailed);
    EXPECT_EQ(GetFbxContext().lastError, "Invalid Reference Mode!");
    EXPECT_TRUE(model.meshes.empty());

    // The next file imports normally.
    SceneWriter good;
    good.AddMesh("Good", TwoTriangles());
    ImportedModel next;
    EXPECT_EQ(Import(good, next, true, "good.fbx").status, ImportStatus::Ok);

    // A large mesh (20,000 triangles) ends the same way: the import returns, and the next one works.
    MeshData large = RandomNormalGrid(101);
    large.layers[0].reference = Reference::Index;
    for (std::size_t i = 0; i < large.layers[0].values.size() / 3; ++i)
        large.layers[0].indices.push_back(static_cast<int>(i));
    SceneWriter broken;
    broken.AddMesh("LargeBroken", large);
    ImportedModel none;
    EXPECT_EQ(Import(broken, none, true, "large.fbx").status, ImportStatus::ReadFailed);
    EXPECT_EQ(GetFbxContext().lastError, "Invalid Reference Mode!");
    EXPECT_TRUE(none.meshes.empty());
    ImportedModel again;
    EXPECT_EQ(Import(good, again, true, "good-again.fbx").status, ImportStatus::Ok);
}

TEST_F(FbxImportTest, SixInfluencesAreFoldedIntoFourAndCountedOnce)
{
    SceneWriter scene;
    const char* names[6] = { "B0", "B1", "B2", "B3", "B4", "B5" };
    const double weights[6] = { 0.2, 0.05, 0.4, 0.1, 0.15, 0.1 };
    auto root = scene.AddBone("Root");
    fbxio::ObjectId bones[6];
    for (int i = 0; i < 6; ++i)
        bones[i] = scene.AddBone(names[i], root);
    MeshData mesh = TwoTriangles();
    auto node = scene.AddMesh("Skinned", mesh);
    auto skin = scene.AddSkin(node);
    for (int i = 0; i < 6; ++i)
        scene.AddCluster(skin, bones[i], { 0 }, { weights[i] });
    ImportedModel model;
    ImportResult result = Import(scene, model);
    EXPECT_EQ(result.status, ImportStatus::OkWithWarnings);
    EXPECT_EQ(result.warnings.at(ImportWarning::TooManyInfluences), 1);
    ASSERT_EQ(model.meshes.size(), 1u);
    const Vertex& v = model.meshes[0].vertices[0];
    const float expected[4] = { 0.4375f, 0.2375f, 0.1875f, 0.1375f };
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(v.boneWeights[i], expected[i], 1e-6f) << i;
    // Largest first: B2 (0.4), B0 (0.2), B4 (0.15), then one of the 0.1s.
    EXPECT_EQ(v.boneIndices[0], model.skeleton.boneIndexByName.at("B2"));
    EXPECT_EQ(v.boneIndices[1], model.skeleton.boneIndexByName.at("B0"));
    EXPECT_EQ(v.boneIndices[2], model.skeleton.boneIndexByName.at("B4"));
    // A control point without influences keeps zeros.
    EXPECT_EQ(model.meshes[0].vertices[1].boneWeights[0], 0.0f);
    EXPECT_EQ(model.skeleton.bones.size(), 7u);
    EXPECT_EQ(model.skeleton.bones[1].parent, 0);
    EXPECT_EQ(model.skeleton.bones[0].children.size(), 6u);
}

TEST_F(FbxImportTest, ExactlyFourInfluencesAreKeptAsSorted)
{
    InfluenceTable table;
    table.emplace(3, Influence { 1, 0.1f });
    table.emplace(3, Influence { 2, 0.4f });
    table.emplace(3, Influence { 3, 0.3f });
    table.emplace(3, Influence { 4, 0.2f });
    Vertex v;
    EXPECT_FALSE(ApplyInfluences(table, 3, v));
    EXPECT_EQ(v.boneIndices[0], 2);
    EXPECT_EQ(v.boneIndices[3], 1);
    EXPECT_EQ(v.boneWeights[0], 0.4f);
    EXPECT_EQ(v.boneWeights[3], 0.1f);
}

TEST_F(FbxImportTest, BonesSocketsAndEventMarkersComeFromTheNodeTree)
{
    SceneWriter scene;
    auto a = scene.AddBone("RigA:Hip");
    scene.AddBone("RigB:Hip", a);
    auto b2 = scene.AddBone("RigA:Spine", a);
    auto b3 = scene.AddBone("RigA:Chest", b2);
    auto b4 = scene.AddBone("RigA:Arm", b3);
    auto b5 = scene.AddBone("RigA:Hand", b4);
    scene.AddNull("Hand_socket", b5);
    scene.AddNull("Step_evt", b5);
    scene.AddNull("Pivot", b5);
    scene.AddMesh("Body", TwoTriangles());
    ImportedModel model;
    ImportResult result = Import(scene, model);
    EXPECT_EQ(result.warnings.at(ImportWarning::DuplicateBoneName), 1);
    EXPECT_EQ(model.skeleton.boneIndexByName.at("Hip"), 0);
    EXPECT_EQ(model.skeleton.name, "RigA");
    ASSERT_EQ(model.skeleton.bones.size(), 6u);
    EXPECT_EQ(model.skeleton.bones[5].name, "RigA:Hand");
    ASSERT_EQ(model.skeleton.sockets.size(), 1u);
    EXPECT_EQ(model.skeleton.sockets.at("Hand_socket").parent, 5);

    // Without a ":" in the first bone's name, the skeleton is named after the file.
    SceneWriter hero;
    hero.AddBone("Root");
    hero.AddMesh("Body", TwoTriangles());
    ImportedModel heroModel;
    Import(hero, heroModel, true, "Hero.fbx");
    EXPECT_EQ(heroModel.skeleton.name, "Hero");
    EXPECT_EQ(SkeletonName(heroModel.skeleton, "Assets/Characters/Hero.fbx"), "Hero");
    // A file name shorter than four characters is kept whole.
    EXPECT_EQ(SkeletonName(heroModel.skeleton, "C:\\Art\\abc"), "abc");
    EXPECT_EQ(SkeletonName(heroModel.skeleton, "C:/Art/abcd"), "");
}

TEST_F(FbxImportTest, MaterialSlotsRecordFileTexturesOnly)
{
    SceneWriter scene;
    auto node = scene.AddMesh("Textured", TwoTriangles());
    auto wood = scene.AddMaterial("Wood");
    scene.AssignMaterial(node, wood);
    scene.ConnectTexture(
        scene.AddFileTexture("Diffuse", "C:\\art\\textures\\wood.png", "textures\\wood.png"), wood, "DiffuseColor");
    scene.ConnectTexture(
        scene.AddFileTexture("Normal", "/art/textures/wood_n.png", "textures/wood_n.png"), wood, "NormalMap");
    auto layered = scene.AddLayeredTexture("Layers", { scene.AddFileTexture("Under", "under.png", "under.png") });
    scene.ConnectTexture(layered, wood, "SpecularColor");
    scene.ConnectTexture(scene.AddFileTexture("Plain", "plain.png", "plain.png"), wood, "SpecularColor");
    scene.ConnectTexture(scene.AddProceduralTexture("Noise"), wood, "EmissiveColor");
    auto bare = scene.AddMaterial("Bare");
    scene.AssignMaterial(node, bare);

    ImportedModel model;
    Import(scene, model);
    ASSERT_EQ(model.materials.size(), 2u);
    const ImportedMaterial& m = model.materials[0];
    EXPECT_EQ(m.name, "Wood");
    EXPECT_EQ(m.diffuse.fileName, "wood.png");
    EXPECT_EQ(m.diffuse.relativePath, "textures\\wood.png");
    EXPECT_EQ(m.diffuse.filePath, "C:\\art\\textures\\wood.png");
    EXPECT_EQ(m.normalMap.fileName, "textures/wood_n.png");
    EXPECT_EQ(m.specular.fileName, "");
    EXPECT_EQ(m.specular.filePath, "");
    EXPECT_EQ(m.emissive.fileName, "");
    EXPECT_EQ(model.materials[1].name, "Bare");
    EXPECT_EQ(model.materials[1].diffuse.filePath, "");
}

TEST_F(FbxImportTest, UnitsAreConvertedToCentimetresAndRecordedAsAuthored)
{
    SceneWriter scene;
    scene.settings.unitScale = 100.0;
    scene.settings.originalUnitScale = 100.0;
    scene.AddMesh("Metres", TwoTriangles());
    ImportedModel model;
    Import(scene, model);
    EXPECT_EQ(model.fileUnit, 4);
    ASSERT_EQ(model.meshes.size(), 1u);
    // The triangles reach 4 m along x: 400 cm.
    EXPECT_FLOAT_EQ(model.meshes[0].box.max.x, 400.0f);
    EXPECT_FLOAT_EQ(model.box.max.y, 100.0f);
}
