// fbxinfo --json and fbxinfo --import --json: the JSON objects other programs read.
#include "FbxTestSupport.h"

#include "MeshFixtures.h"

#include <rapidjson/document.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct ToolRun {
    std::string output;
    int exitStatus = -1;
};

// Runs fbxinfo on `path` with `options` appended (each already shell-safe).
ToolRun RunTool(const std::string& path, const std::string& options)
{
    std::string command = std::string(FBXINFO_PATH) + " '" + path + "' " + options;
    ToolRun run;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
        int status = pclose(pipe);
        if (WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
    }
    return run;
}

rapidjson::Document ParseJson(const std::string& text)
{
    rapidjson::Document json;
    // Strict: invalid UTF-8 in a string is a parse error, not something passed along.
    json.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str());
    return json;
}

rapidjson::Document RunFbxInfo(const std::string& path) { return ParseJson(RunTool(path, "--json").output); }

}  // namespace

TEST(FbxInfoTool, JsonDescribesFormatSettingsMeshesAndLayers)
{
    fbxio::MeshData mesh = fbxtest::Quad();
    fbxio::LayerElement uv;
    uv.kind = fbxio::LayerKind::UV;
    uv.mapping = fbxio::Mapping::ByPolygonVertex;
    uv.reference = fbxio::Reference::IndexToDirect;
    uv.values = {0, 0, 1, 1};
    uv.indices = {0, 1, 1, 0};
    mesh.layers.push_back(uv);
    mesh.materialIndices = {0};
    mesh.materialMapping = fbxio::Mapping::AllSame;
    fbxio::SceneWriter writer;
    writer.settings.upAxis = 2;
    writer.settings.frontAxis = 1;
    writer.settings.frontAxisSign = -1;
    writer.settings.unitScale = 100;
    auto node = writer.AddMesh("Floor \"A\"", mesh);
    writer.AssignMaterial(node, writer.AddMaterial("Tiles"));
    writer.AddLodGroup("Lod", {50});
    std::string path = fbxtest::WriteTempFile(writer.ToBinary(7500));
    rapidjson::Document json = RunFbxInfo(path);
    std::remove(path.c_str());
    ASSERT_TRUE(json.IsObject());
    EXPECT_EQ(json["status"].GetInt(), 0);
    EXPECT_STREQ(json["error"].GetString(), "");
    EXPECT_STREQ(json["format"].GetString(), "binary");
    EXPECT_EQ(json["version"].GetInt(), 7500);
    EXPECT_STREQ(json["upAxis"].GetString(), "Z");
    EXPECT_DOUBLE_EQ(json["unitScaleFactor"].GetDouble(), 100.0);
    const auto& meshes = json["meshes"];
    ASSERT_EQ(meshes.Size(), 1u);
    EXPECT_STREQ(meshes[0]["name"].GetString(), "Floor \"A\"");
    EXPECT_EQ(meshes[0]["controlPoints"].GetInt(), 4);
    EXPECT_EQ(meshes[0]["polygons"].GetInt(), 1);
    EXPECT_EQ(meshes[0]["polygonVertices"].GetInt(), 4);
    const auto& layers = meshes[0]["layers"];
    ASSERT_EQ(layers.Size(), 2u);
    EXPECT_STREQ(layers[0]["type"].GetString(), "uv");
    EXPECT_STREQ(layers[0]["mapping"].GetString(), "eByPolygonVertex");
    EXPECT_STREQ(layers[0]["reference"].GetString(), "eIndexToDirect");
    EXPECT_STREQ(layers[1]["type"].GetString(), "material");
    EXPECT_STREQ(layers[1]["mapping"].GetString(), "eAllSame");
    ASSERT_EQ(json["materials"].Size(), 1u);
    EXPECT_STREQ(json["materials"][0]["name"].GetString(), "Tiles");
    ASSERT_EQ(json["lodGroups"].Size(), 1u);
    EXPECT_DOUBLE_EQ(json["lodGroups"][0]["thresholds"][0].GetDouble(), 50.0);
}

TEST(FbxInfoTool, JsonReportsAFailedReadWithStatusTwoAndTheError)
{
    std::string path = fbxtest::WriteTempFile(fbxtest::Bytes("Kaydara FBX Binary  \x01 not really"));
    rapidjson::Document json = RunFbxInfo(path);
    std::remove(path.c_str());
    ASSERT_TRUE(json.IsObject());
    EXPECT_EQ(json["status"].GetInt(), 2);
    EXPECT_NE(std::string(json["error"].GetString()).find("offset 0x"), std::string::npos);
    EXPECT_EQ(json["meshes"].Size(), 0u);
}

// ---- fbxinfo --import: the engine's import of the file ----

namespace {

using fbxio::LayerElement;
using fbxio::LayerKind;
using fbxio::Mapping;
using fbxio::MeshData;
using fbxio::SceneWriter;
using meshfixtures::Layer;
using meshfixtures::Repeat;
using meshfixtures::SmoothOctahedron;
using meshfixtures::TwoTriangles;

struct ImportRun {
    rapidjson::Document json;
    ToolRun run;
};

ImportRun RunImport(const std::string& path, bool json = true)
{
    ImportRun result;
    result.run = RunTool(path, json ? "--import --json" : "--import");
    if (json) result.json = ParseJson(result.run.output);
    return result;
}

ImportRun RunImport(const SceneWriter& scene, bool json = true)
{
    std::string path = fbxtest::WriteTempFile(scene.ToBinary(7400));
    ImportRun result = RunImport(path, json);
    std::remove(path.c_str());
    return result;
}

void ExpectBox(const rapidjson::Value& box, std::array<float, 3> min, std::array<float, 3> max)
{
    ASSERT_TRUE(box.IsObject());
    ASSERT_EQ(box["min"].Size(), 3u);
    ASSERT_EQ(box["max"].Size(), 3u);
    for (rapidjson::SizeType k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(box["min"][k].GetFloat(), min[k]) << "min " << k;
        EXPECT_FLOAT_EQ(box["max"][k].GetFloat(), max[k]) << "max " << k;
    }
}

}  // namespace

TEST(FbxInfoImport, ReportsStatusWarningsMeshesBoxesAndTheFileSettings)
{
    SceneWriter scene;
    MeshData split = TwoTriangles();
    split.layers.pop_back();  // no UVs: one MissingUVs warning
    split.materialIndices = {0, 1};
    auto node = scene.AddMesh("Split", split);
    scene.AssignMaterial(node, scene.AddMaterial("Left"));
    scene.AssignMaterial(node, scene.AddMaterial("Right"));
    scene.AddMesh("Octahedron", SmoothOctahedron());
    ImportRun result = RunImport(scene);
    const rapidjson::Document& json = result.json;
    ASSERT_TRUE(json.IsObject()) << result.run.output;
    EXPECT_EQ(json["status"].GetInt(), 1);
    EXPECT_EQ(result.run.exitStatus, 1);
    EXPECT_STREQ(json["lastError"].GetString(), "");
    const auto& warnings = json["warnings"];
    EXPECT_EQ(warnings["MissingUVs"].GetInt(), 1);
    EXPECT_EQ(warnings["TooManyInfluences"].GetInt(), 0);
    EXPECT_EQ(warnings["TangentsFailed"].GetInt(), 0);
    EXPECT_EQ(warnings["DuplicateBoneName"].GetInt(), 0);

    const auto& meshes = json["meshes"];
    ASSERT_EQ(meshes.Size(), 3u);
    EXPECT_STREQ(meshes[0]["name"].GetString(), "Split");
    EXPECT_EQ(meshes[0]["materialIndex"].GetInt(), 0);
    EXPECT_EQ(meshes[1]["materialIndex"].GetInt(), 1);
    EXPECT_EQ(meshes[0]["vertices"].GetInt(), 3);
    EXPECT_EQ(meshes[0]["indices"].GetInt(), 3);
    EXPECT_EQ(meshes[1]["indices"].GetInt(), 3);
    // The first slot's box reaches its own triangle only; the second also covers the first's.
    ExpectBox(meshes[0]["box"], {0, 0, 0}, {2, 1, 0});
    ExpectBox(meshes[1]["box"], {0, 0, 0}, {4, 1, 0});
    EXPECT_TRUE(meshes[1]["box"]["valid"].GetBool());
    // Merged as the model cache merges: 6 vertices, not one per corner.
    EXPECT_STREQ(meshes[2]["name"].GetString(), "Octahedron");
    EXPECT_EQ(meshes[2]["vertices"].GetInt(), 6);
    EXPECT_EQ(meshes[2]["indices"].GetInt(), 24);
    ExpectBox(json["box"], {-1, -1, -1}, {4, 1, 1});
    EXPECT_EQ(json["fileUpAxis"].GetInt(), 1);
    EXPECT_EQ(json["fileUnit"].GetInt(), 2);
    EXPECT_EQ(json["lodGroups"].Size(), 0u);
    EXPECT_EQ(json["skeleton"]["bones"].Size(), 0u);

    // The text report says the same.
    ImportRun text = RunImport(scene, false);
    EXPECT_EQ(text.run.exitStatus, 1);
    EXPECT_NE(text.run.output.find("status: 1 (OkWithWarnings)\n"), std::string::npos) << text.run.output;
    EXPECT_NE(text.run.output.find("warning MissingUVs: 1\n"), std::string::npos);
    EXPECT_NE(text.run.output.find("mesh Octahedron: 6 vertices, 24 indices, material 0"), std::string::npos);

    // A file authored Z up in metres: both settings are the authored ones, each in its own field.
    SceneWriter metres;
    metres.settings.upAxis = 2;
    metres.settings.originalUpAxis = 2;
    metres.settings.frontAxis = 1;
    metres.settings.frontAxisSign = -1;
    metres.settings.unitScale = 100.0;
    metres.settings.originalUnitScale = 100.0;
    metres.AddMesh("Metres", TwoTriangles());
    ImportRun converted = RunImport(metres);
    ASSERT_TRUE(converted.json.IsObject());
    EXPECT_EQ(converted.json["status"].GetInt(), 0);
    EXPECT_EQ(converted.json["fileUpAxis"].GetInt(), 2);
    EXPECT_EQ(converted.json["fileUnit"].GetInt(), 4);
}

TEST(FbxInfoImport, ReportsMaterialSlotsAndTheSkeleton)
{
    SceneWriter scene;
    auto hip = scene.AddBone("RigA:Hip");
    scene.AddBone("RigB:Hip", hip);
    auto spine = scene.AddBone("RigA:Spine", hip);
    auto chest = scene.AddBone("RigA:Chest", spine);
    auto arm = scene.AddBone("RigA:Arm", chest);
    auto hand = scene.AddBone("RigA:Hand", arm);
    scene.AddNull("Hand_socket", hand);
    scene.AddNull("Grip_socket", arm);
    auto node = scene.AddMesh("Body", TwoTriangles());
    auto wood = scene.AddMaterial("Wood");
    scene.AssignMaterial(node, wood);
    scene.ConnectTexture(scene.AddFileTexture("Diffuse", "C:\\art\\textures\\wood.png", "textures\\wood.png"), wood,
                         "DiffuseColor");
    scene.ConnectTexture(scene.AddFileTexture("Bump", "/art/wood_b.png", "maps/wood_b.png"), wood, "Bump");
    scene.ConnectTexture(scene.AddProceduralTexture("Noise"), wood, "EmissiveColor");
    scene.AssignMaterial(node, scene.AddMaterial("Bare"));
    ImportRun result = RunImport(scene);
    const rapidjson::Document& json = result.json;
    ASSERT_TRUE(json.IsObject()) << result.run.output;
    EXPECT_EQ(json["status"].GetInt(), 1);
    EXPECT_EQ(json["warnings"]["DuplicateBoneName"].GetInt(), 1);

    const auto& materials = json["materials"];
    ASSERT_EQ(materials.Size(), 2u);
    EXPECT_STREQ(materials[0]["name"].GetString(), "Wood");
    const char* slots[] = {"emissive", "ambient", "diffuse", "specular", "shininess", "bump", "normalMap",
                           "transparentColor", "reflection", "displacementColor", "vectorDisplacementColor"};
    for (const auto& material : materials.GetArray())
        for (const char* slot : slots) {
            ASSERT_TRUE(material.HasMember(slot)) << slot;
            EXPECT_TRUE(material[slot]["fileName"].IsString()) << slot;
            EXPECT_TRUE(material[slot]["filePath"].IsString()) << slot;
            EXPECT_TRUE(material[slot]["relativePath"].IsString()) << slot;
        }
    const auto& diffuse = materials[0]["diffuse"];
    EXPECT_STREQ(diffuse["fileName"].GetString(), "wood.png");
    EXPECT_STREQ(diffuse["filePath"].GetString(), "C:\\art\\textures\\wood.png");
    EXPECT_STREQ(diffuse["relativePath"].GetString(), "textures\\wood.png");
    // Each slot reports its own texture: bump is not the diffuse one, and "/" keeps the whole name.
    EXPECT_STREQ(materials[0]["bump"]["fileName"].GetString(), "maps/wood_b.png");
    EXPECT_STREQ(materials[0]["emissive"]["filePath"].GetString(), "");
    EXPECT_STREQ(materials[0]["normalMap"]["fileName"].GetString(), "");
    EXPECT_STREQ(materials[1]["diffuse"]["filePath"].GetString(), "");

    const auto& skeleton = json["skeleton"];
    EXPECT_STREQ(skeleton["name"].GetString(), "RigA");
    const auto& bones = skeleton["bones"];
    ASSERT_EQ(bones.Size(), 6u);
    EXPECT_STREQ(bones[0]["name"].GetString(), "RigA:Hip");
    EXPECT_EQ(bones[0]["parent"].GetInt(), -1);
    EXPECT_EQ(bones[1]["parent"].GetInt(), 0);
    EXPECT_STREQ(bones[5]["name"].GetString(), "RigA:Hand");
    EXPECT_EQ(bones[5]["parent"].GetInt(), 4);
    // Sockets in name order, whatever order the hash map keeps them in.
    const auto& sockets = skeleton["sockets"];
    ASSERT_EQ(sockets.Size(), 2u);
    EXPECT_STREQ(sockets[0]["name"].GetString(), "Grip_socket");
    EXPECT_EQ(sockets[0]["parent"].GetInt(), 4);
    EXPECT_STREQ(sockets[1]["name"].GetString(), "Hand_socket");
    EXPECT_EQ(sockets[1]["parent"].GetInt(), 5);
}

TEST(FbxInfoImport, ReportsLodGroupsWithTheirLevels)
{
    SceneWriter scene;
    auto lod = scene.AddLodGroup("Lod", {100.0, 400.0});
    scene.AddMesh("Fine", TwoTriangles(), scene.AddNull("Level0", lod));
    scene.AddMesh("Coarse", SmoothOctahedron(), scene.AddNull("Level1", lod));
    ImportRun result = RunImport(scene);
    const rapidjson::Document& json = result.json;
    ASSERT_TRUE(json.IsObject()) << result.run.output;
    EXPECT_LE(json["status"].GetInt(), 1);
    EXPECT_EQ(json["meshes"].Size(), 0u);
    const auto& groups = json["lodGroups"];
    ASSERT_EQ(groups.Size(), 1u);
    ASSERT_EQ(groups[0].Size(), 2u);
    const auto& level0 = groups[0][0];
    const auto& level1 = groups[0][1];
    EXPECT_EQ(level0["index"].GetInt(), 0);
    EXPECT_EQ(level0["distance"].GetDouble(), 0.0);
    EXPECT_EQ(level1["index"].GetInt(), 1);
    EXPECT_EQ(level1["distance"].GetDouble(), 100.0);
    ASSERT_EQ(level0["meshes"].Size(), 1u);
    ASSERT_EQ(level1["meshes"].Size(), 1u);
    EXPECT_STREQ(level0["meshes"][0]["name"].GetString(), "Fine");
    EXPECT_EQ(level0["meshes"][0]["indices"].GetInt(), 6);
    EXPECT_STREQ(level1["meshes"][0]["name"].GetString(), "Coarse");
    EXPECT_EQ(level1["meshes"][0]["vertices"].GetInt(), 6);
    ExpectBox(level1["meshes"][0]["box"], {-1, -1, -1}, {1, 1, 1});
}

TEST(FbxInfoImport, FilesThatCannotBeImportedReportTheirStatusAndError)
{
    std::string absent = testing::TempDir() + "fbxinfo_absent_" + std::to_string(getpid()) + ".fbx";
    ImportRun missing = RunImport(absent);
    ASSERT_TRUE(missing.json.IsObject()) << missing.run.output;
    EXPECT_EQ(missing.json["status"].GetInt(), 4);
    EXPECT_EQ(missing.run.exitStatus, 4);
    EXPECT_EQ(missing.json["meshes"].Size(), 0u);
    EXPECT_FALSE(missing.json["box"]["valid"].GetBool());

    std::string text = fbxtest::WriteTempFile(fbxtest::Bytes("this is not an FBX file at all\n"));
    ImportRun notFbx = RunImport(text);
    std::remove(text.c_str());
    ASSERT_TRUE(notFbx.json.IsObject()) << notFbx.run.output;
    EXPECT_EQ(notFbx.json["status"].GetInt(), 2);
    EXPECT_STRNE(notFbx.json["lastError"].GetString(), "");

    SceneWriter broken;
    MeshData mesh = TwoTriangles();
    mesh.layers[0].reference = fbxio::Reference::Index;
    mesh.layers[0].indices = {0, 1, 2, 3, 4, 5};
    broken.AddMesh("Broken", mesh);
    ImportRun reference = RunImport(broken);
    ASSERT_TRUE(reference.json.IsObject()) << reference.run.output;
    EXPECT_EQ(reference.json["status"].GetInt(), 2);
    EXPECT_STREQ(reference.json["lastError"].GetString(), "Invalid Reference Mode!");
    EXPECT_EQ(reference.json["meshes"].Size(), 0u);

    SceneWriter empty;
    empty.AddNull("Nothing");
    ImportRun nothing = RunImport(empty);
    ASSERT_TRUE(nothing.json.IsObject()) << nothing.run.output;
    EXPECT_EQ(nothing.json["status"].GetInt(), 7);
}

TEST(FbxInfoImport, JsonStaysValidForAnyNameAndForNonFiniteNumbers)
{
    // Quote, backslash, control characters, valid UTF-8 of two to four bytes, and a lone Latin-1 byte.
    const std::string name = "a\"b\\c\n\t\x02\x1f\x7f Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac \xf0\x9f\x8c\xb2 caf\xe9!";
    SceneWriter scene;
    MeshData mesh = TwoTriangles();
    mesh.points[12] = 1e300;  // beyond float: the box becomes infinite
    scene.AddMesh(name, mesh);
    ImportRun result = RunImport(scene);
    const rapidjson::Document& json = result.json;
    ASSERT_TRUE(json.IsObject()) << result.run.output;
    for (char c : result.run.output)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << "output is not plain ASCII";
    ASSERT_EQ(json["meshes"].Size(), 1u);
    // Valid UTF-8 comes back as it was; the stray byte 0xE9 comes back as U+00E9.
    const std::string expected = "a\"b\\c\n\t\x02\x1f\x7f Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac \xf0\x9f\x8c\xb2 caf\xc3\xa9!";
    EXPECT_EQ(std::string(json["meshes"][0]["name"].GetString(), json["meshes"][0]["name"].GetStringLength()),
              expected);
    const auto& box = json["meshes"][0]["box"];
    EXPECT_TRUE(box["max"][0].IsNull());
    EXPECT_TRUE(json["box"]["max"][0].IsNull());
    EXPECT_FLOAT_EQ(box["max"][1].GetFloat(), 1.0f);
}

TEST(FbxInfoImport, TheCabinWallImportsAsOneBoxOfTwelveTriangles)
{
    const std::string path = "Assets/Models/CabinWall.fbx";
    ImportRun result = RunImport(path);
    const rapidjson::Document& json = result.json;
    ASSERT_TRUE(json.IsObject()) << result.run.output;
    EXPECT_EQ(json["status"].GetInt(), 0);
    EXPECT_EQ(result.run.exitStatus, 0);
    ASSERT_EQ(json["meshes"].Size(), 1u);
    const auto& wall = json["meshes"][0];
    EXPECT_STREQ(wall["name"].GetString(), "CabinWall");
    EXPECT_EQ(wall["vertices"].GetInt(), 24);
    EXPECT_EQ(wall["indices"].GetInt(), 36);
    ExpectBox(wall["box"], {-7.09f, -5.4f, -0.1f}, {7.09f, 8.1f, 0.9f});
    ExpectBox(json["box"], {-7.09f, -5.4f, -0.1f}, {7.09f, 8.1f, 0.9f});
    EXPECT_EQ(json["fileUpAxis"].GetInt(), 1);
    EXPECT_EQ(json["fileUnit"].GetInt(), 2);

    // The import's triangles are the reader's polygons triangulated: n - 2 for a polygon of n corners.
    rapidjson::Document read = RunFbxInfo(path);
    ASSERT_TRUE(read.IsObject());
    int triangles = 0;
    for (const auto& mesh : read["meshes"].GetArray())
        triangles += mesh["polygonVertices"].GetInt() - 2 * mesh["polygons"].GetInt();
    EXPECT_EQ(wall["indices"].GetInt(), 3 * triangles);
}
