// Files as modelling tools write them (right-handed, counter-clockwise outward faces, y or z up,
// metres, inches or centimetres, UV sets and materials laid out every way the format allows) import
// whole, right side out and in centimetres.
#include "Assets/FbxImport.h"

#include "FbxImportFixture.h"
#include "MeshChecks.h"
#include "MeshFixtures.h"
#include "ModellingToolMeshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using fbxio::LayerElement;
using fbxio::LayerKind;
using fbxio::Mapping;
using fbxio::MeshData;
using fbxio::Reference;
using fbxio::SceneWriter;
using meshchecks::CountWindings;
using toolmeshes::FileFrame;
using toolmeshes::UpAxis;

constexpr float kCentimetreTolerance = 1e-3f;

LayerElement Layer(LayerKind kind, Mapping mapping, Reference reference, std::vector<double> values,
    std::vector<int> indices = {}, const std::string& name = "")
{
    LayerElement layer = meshfixtures::Layer(kind, mapping, std::move(values));
    layer.reference = reference;
    layer.indices = std::move(indices);
    layer.name = name;
    return layer;
}

void ExpectNear(Float3 actual, Float3 expected, float tolerance, const std::string& what)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

} // namespace

TEST_F(FbxImportTest, ACubeAndASphereFromAModellingToolFaceTheirNormalsAndPointOutwards)
{
    struct Case {
        const char* name;
        MeshData mesh;
        Float3 centre; // in the engine's axes: the file's z is turned round
    };
    const Case cases[] = {
        { "Cube", toolmeshes::Box(10, 10, 10), { 5, 5, -5 } },
        { "Sphere", toolmeshes::Sphere(10), { 0, 0, 0 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SceneWriter scene;
        scene.AddMesh(c.name, c.mesh);
        ImportedModel model;
        ImportResult result = Import(scene, model, true, std::string(c.name) + ".fbx");
        EXPECT_EQ(result.warnings.count(ImportWarning::MissingNormals), 0u);
        ASSERT_EQ(model.meshes.size(), 1u);
        const Mesh& mesh = model.meshes[0];
        meshchecks::WindingCount windings = CountWindings(mesh);
        EXPECT_EQ(windings.disagreeing, 0u);
        EXPECT_EQ(windings.degenerate, 0u);
        EXPECT_EQ(windings.agreeing, mesh.indices.size() / 3);
        for (const Vertex& v : mesh.vertices)
            EXPECT_GT(Dot(v.normal, XYZ(v.position) - c.centre), 0.0f) << "a normal points into the solid";
    }
}

TEST_F(FbxImportTest, TheSameBoxInAnyUpAxisAndUnitArrivesWithTheSameSizeInCentimetres)
{
    // 2 m wide, 1 m tall and half a metre deep: unequal sides, so a box turned the wrong way shows.
    constexpr double kWidth = 200, kHeight = 100, kDepth = 50;
    const FileFrame frames[] = { { UpAxis::Y, 1.0 }, { UpAxis::Y, 100.0 }, { UpAxis::Y, 2.54 }, { UpAxis::Z, 1.0 },
        { UpAxis::Z, 100.0 }, { UpAxis::Z, 2.54 } };
    for (const FileFrame& frame : frames) {
        SCOPED_TRACE(std::string(frame.up == UpAxis::Y ? "y up, " : "z up, ") + std::to_string(frame.centimetresPerUnit)
            + " cm per unit");
        SceneWriter scene;
        toolmeshes::SetFrame(scene, frame);
        scene.AddMesh("Box", toolmeshes::Box(kWidth, kHeight, kDepth, frame));
        ImportedModel model;
        Import(scene, model);
        ASSERT_EQ(model.meshes.size(), 1u);
        // Width along x, height along y, and depth towards the viewer, which is -z in the engine.
        ExpectNear(model.box.min, { 0, 0, -kDepth }, kCentimetreTolerance, "box min");
        ExpectNear(model.box.max, { kWidth, kHeight, 0 }, kCentimetreTolerance, "box max");
        EXPECT_EQ(model.fileUpAxis, frame.up == UpAxis::Y ? 1 : 2);
        EXPECT_EQ(CountWindings(model.meshes[0]).disagreeing, 0u);
    }
}

TEST_F(FbxImportTest, ASkinnedMeshInMetresKeepsItsBindPoseInCentimetres)
{
    // An arm bone 1 m up and 0.2 m towards the viewer, a socket half a metre above it, and a mesh
    // around the bone bound to it where it stands.
    SceneWriter scene;
    scene.settings.unitScale = 100.0;
    scene.settings.originalUnitScale = 100.0;
    auto arm = scene.AddBone("Rig:Arm");
    scene.TransformOf(arm).translation = { 0, 1, 0.2 };
    auto socket = scene.AddNull("Hand_socket", arm);
    scene.TransformOf(socket).translation = { 0, 0.5, 0 };
    MeshData mesh;
    mesh.points = { 0, 1, 0.2, 0.5, 1, 0.2, 0, 1.5, 0.2 };
    mesh.polygons = { { 0, 1, 2 } };
    mesh.layers = { Layer(
        LayerKind::Normal, Mapping::ByControlPoint, Reference::Direct, { 0, 0, 1, 0, 0, 1, 0, 0, 1 }) };
    auto node = scene.AddMesh("Arm", mesh);
    fbxio::Matrix link = fbxio::kIdentity;
    link[12] = 0, link[13] = 1, link[14] = 0.2;
    scene.AddCluster(scene.AddSkin(node), arm, { 0, 1, 2 }, { 1, 1, 1 }, fbxio::kIdentity, link);

    ImportedModel model;
    Import(scene, model);
    ASSERT_EQ(model.meshes.size(), 1u);
    ASSERT_EQ(model.skeleton.bones.size(), 1u);
    const Bone& bone = model.skeleton.bones[0];
    // In centimetres and the engine's axes, the bone stands at (0, 100, -20).
    const Float3 bonePosition { 0, 100, -20 };
    for (const Vertex& v : model.meshes[0].vertices) {
        const Float3 p = XYZ(v.position);
        // The offset takes a point into the bone's space: the same distance from the bone as before.
        ExpectNear(
            meshchecks::ThroughOffset(bone.offset, p), p - bonePosition, kCentimetreTolerance, "offset of a vertex");
        EXPECT_EQ(v.boneIndices[0], 0);
        EXPECT_FLOAT_EQ(v.boneWeights[0], 1.0f);
    }
    ExpectNear(XYZ(model.meshes[0].vertices[0].position), bonePosition, kCentimetreTolerance, "first vertex");
    ASSERT_EQ(model.skeleton.sockets.count("Hand_socket"), 1u);
    const Matrix4x4& socketTransform = model.skeleton.sockets.at("Hand_socket").transform;
    ExpectNear({ socketTransform.m[3][0], socketTransform.m[3][1], socketTransform.m[3][2] }, { 0, 150, -20 },
        kCentimetreTolerance, "socket");
}

TEST_F(FbxImportTest, EveryUvSetAndColourIsReadThroughItsOwnMappingAndIndices)
{
    // Two triangles over four control points; no corner's set-0 UV equals its set-1 UV.
    const std::vector<double> points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0 };
    const std::vector<std::vector<int>> polygons = { { 0, 1, 2 }, { 0, 2, 3 } };
    const std::vector<int> cornerPoints = { 0, 1, 2, 0, 2, 3 };
    // What each corner (in written order) should read from set 0 and set 1, in file coordinates.
    struct UvCase {
        const char* name;
        LayerElement set0, set1;
        std::vector<std::array<double, 2>> expected0, expected1;
    };
    const std::vector<double> table = { 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.15, 0.25, 0.35 };
    auto tableEntry = [&](int i) { return std::array<double, 2> { table[2 * i], table[2 * i + 1] }; };
    std::vector<UvCase> cases;
    {
        // By control point, direct; by polygon vertex, index to direct.
        UvCase c { "control point / polygon vertex indexed",
            Layer(LayerKind::UV, Mapping::ByControlPoint, Reference::Direct, { table.begin(), table.begin() + 8 }, {},
                "Base"),
            Layer(LayerKind::UV, Mapping::ByPolygonVertex, Reference::IndexToDirect, table, { 5, 4, 3, 2, 1, 0 },
                "Detail"),
            {}, {} };
        for (int k = 0; k < 6; ++k) {
            c.expected0.push_back(tableEntry(cornerPoints[static_cast<std::size_t>(k)]));
            c.expected1.push_back(tableEntry(5 - k));
        }
        cases.push_back(c);
    }
    {
        // By polygon vertex: direct, and index to direct with indices unlike set 0's.
        UvCase c { "polygon vertex direct / polygon vertex indexed",
            Layer(LayerKind::UV, Mapping::ByPolygonVertex, Reference::Direct, table, {}, "Base"),
            Layer(LayerKind::UV, Mapping::ByPolygonVertex, Reference::IndexToDirect, table, { 2, 2, 0, 1, 5, 4 },
                "Detail"),
            {}, {} };
        const int indices1[] = { 2, 2, 0, 1, 5, 4 };
        for (int k = 0; k < 6; ++k) {
            c.expected0.push_back(tableEntry(k));
            c.expected1.push_back(tableEntry(indices1[k]));
        }
        cases.push_back(c);
    }
    // Colours by polygon vertex through an index, one distinct colour per corner.
    const std::vector<double> colours = { 1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 0, 0.5, 0, 1, 1, 0.25, 1, 0, 1, 0 };
    const std::vector<int> colourIndices = { 5, 4, 3, 2, 1, 0 };

    for (const UvCase& c : cases) {
        SCOPED_TRACE(c.name);
        MeshData mesh;
        mesh.points = points;
        mesh.polygons = polygons;
        mesh.layers = { Layer(LayerKind::Normal, Mapping::ByControlPoint, Reference::Direct,
                            meshfixtures::Repeat({ 0, 0, 1 }, 4)),
            c.set0, c.set1,
            Layer(LayerKind::Color, Mapping::ByPolygonVertex, Reference::IndexToDirect, colours, colourIndices) };
        SceneWriter scene;
        scene.AddMesh("Uvs", mesh);
        ImportedModel model;
        // Without merging, each triangle's three vertices are its three corners, in some order.
        Import(scene, model, false);
        ASSERT_EQ(model.meshes.size(), 1u);
        const Mesh& imported = model.meshes[0];
        ASSERT_EQ(imported.vertices.size(), 6u);
        for (std::size_t v = 0; v < 6; ++v) {
            const Vertex& vertex = imported.vertices[v];
            const std::size_t polygon = v / 3;
            // The written corner of this polygon at the vertex's position (the file's z is 0).
            int corner = -1;
            for (int k = 0; k < 3; ++k) {
                const int point = polygons[polygon][static_cast<std::size_t>(k)];
                if (vertex.position.x == static_cast<float>(points[3 * point])
                    && vertex.position.y == static_cast<float>(points[3 * point + 1]))
                    corner = static_cast<int>(polygon) * 3 + k;
            }
            ASSERT_GE(corner, 0) << "vertex " << v << " is at no corner of its polygon";
            const auto& uv0 = c.expected0[static_cast<std::size_t>(corner)];
            const auto& uv1 = c.expected1[static_cast<std::size_t>(corner)];
            // v is turned over: images are uploaded top row first.
            EXPECT_FLOAT_EQ(vertex.uv0.x, static_cast<float>(uv0[0])) << "corner " << corner;
            EXPECT_FLOAT_EQ(vertex.uv0.y, static_cast<float>(1.0 - uv0[1])) << "corner " << corner;
            EXPECT_FLOAT_EQ(vertex.uv1.x, static_cast<float>(uv1[0])) << "corner " << corner;
            EXPECT_FLOAT_EQ(vertex.uv1.y, static_cast<float>(1.0 - uv1[1])) << "corner " << corner;
            const std::size_t colour = 4 * static_cast<std::size_t>(colourIndices[static_cast<std::size_t>(corner)]);
            EXPECT_FLOAT_EQ(vertex.color0.x, static_cast<float>(colours[colour])) << "corner " << corner;
            EXPECT_FLOAT_EQ(vertex.color0.y, static_cast<float>(colours[colour + 1])) << "corner " << corner;
            EXPECT_FLOAT_EQ(vertex.color0.z, static_cast<float>(colours[colour + 2])) << "corner " << corner;
            EXPECT_FLOAT_EQ(vertex.color0.w, static_cast<float>(colours[colour + 3])) << "corner " << corner;
        }
    }
}

TEST_F(FbxImportTest, AnAllSameMaterialOnTheSecondSlotTakesEveryPolygon)
{
    MeshData mesh = meshfixtures::TwoTriangles();
    mesh.materialMapping = Mapping::AllSame;
    mesh.materialIndices = { 1 };
    SceneWriter scene;
    auto node = scene.AddMesh("Both", mesh);
    scene.AssignMaterial(node, scene.AddMaterial("Unused"));
    scene.AssignMaterial(node, scene.AddMaterial("Painted"));
    ImportedModel model;
    Import(scene, model);
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].materialIndex, 1);
    EXPECT_EQ(model.materials[1].name, "Painted");
    EXPECT_EQ(model.meshes[0].indices.size(), 6u);
}

TEST_F(FbxImportTest, AMeshWithoutNormalsGetsOutwardUnitNormalsCreasedAtSharpEdgesAndAWarning)
{
    struct Case {
        const char* name;
        MeshData mesh;
        std::size_t vertices; // how many distinct vertices the creases leave
    };
    // A box's faces meet at 90 degrees: each keeps its own normal. The sphere's neighbouring faces
    // differ by 30 degrees at most, the cylinder's sides by 22.5: smooth, but for the caps' rims.
    Case cases[] = { { "box", toolmeshes::Box(20, 20, 20), 24 }, { "sphere", toolmeshes::Sphere(10), 2 + 7 * 12 },
        { "cylinder", toolmeshes::Cylinder(10, 30, 16), 4 * 16 } };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.mesh.layers.clear();
        SceneWriter scene;
        scene.AddMesh("Bare", c.mesh);
        scene.AddMesh("AlsoBare", c.mesh);
        ImportedModel model;
        ImportResult result = Import(scene, model);
        EXPECT_EQ(result.status, ImportStatus::OkWithWarnings);
        ASSERT_EQ(result.warnings.count(ImportWarning::MissingNormals), 1u);
        EXPECT_EQ(result.warnings.at(ImportWarning::MissingNormals), 2);
        ASSERT_EQ(model.meshes.size(), 2u);
        const Mesh& imported = model.meshes[0];
        EXPECT_EQ(imported.vertices.size(), c.vertices);
        for (const Vertex& v : imported.vertices) {
            const Float3 p = XYZ(v.position);
            EXPECT_NEAR(Length(v.normal), 1.0f, 1e-5f);
            // Tangents are built around the generated normal, not around nothing.
            EXPECT_NEAR(Length(v.tangent), 1.0f, 1e-4f);
            EXPECT_NEAR(Dot(v.tangent, v.normal), 0.0f, 1e-4f);
            if (c.name == std::string("sphere")) {
                EXPECT_GT(Dot(v.normal, Normalize(p)), 0.97f);
            } else if (c.name == std::string("cylinder") && std::fabs(v.normal.y) < 0.5f) {
                // The side: straight out from the axis, the same whichever way its quads were cut.
                EXPECT_GT(Dot(v.normal, Normalize(Float3 { p.x, 0, p.z })), 0.9999f);
            } else {
                // A flat face (the box's, a cap): the normal is an axis out of the solid.
                const float largest = std::max({ std::fabs(v.normal.x), std::fabs(v.normal.y), std::fabs(v.normal.z) });
                EXPECT_FLOAT_EQ(largest, 1.0f);
            }
        }
        // Every triangle faces its normals, and a flat face's corners all share its normal.
        EXPECT_EQ(CountWindings(imported).disagreeing, 0u);
        EXPECT_EQ(CountWindings(imported).degenerate, 0u);
    }
}
