// fbxinfo --json and fbxinfo --import --json: the JSON objects other programs read.
#include "CommandRun.h"
#include "FbxTestSupport.h"
#include "InstrumentedBuild.h"

#include "HostileFbxFiles.h"
#include "MeshFixtures.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using ToolRun = CommandRun;

// Runs fbxinfo on `path` with `options` appended (each already shell-safe).
ToolRun RunTool(const std::string& path, const std::string& options)
{
    return RunCommand(std::string(FBXINFO_PATH) + " '" + path + "' " + options);
}

rapidjson::Document ParseJson(const std::string& text)
{
    rapidjson::Document json;
    // Strict: invalid UTF-8 in a string is a parse error, not something passed along.
    json.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str());
    return json;
}

rapidjson::Document RunFbxInfo(const std::string& path)
{
    return ParseJson(RunTool(path, "--json").output);
}

} // namespace

TEST(FbxInfoTool, JsonDescribesFormatSettingsMeshesAndLayers)
{
    fbxio::MeshData mesh = fbxtest::Quad();
    fbxio::LayerElement uv;
    uv.kind = fbxio::LayerKind::UV;
    uv.mapping = fbxio::Mapping::ByPolygonVertex;
    uv.reference = fbxio::Reference::IndexToDirect;
    uv.values = { 0, 0, 1, 1 };
    uv.indices = { 0, 1, 1, 0 };
    mesh.layers.push_back(uv);
    mesh.materialIndices = { 0 };
    mesh.materialMapping = fbxio::Mapping::AllSame;
    fbxio::SceneWriter writer;
    writer.settings.upAxis = 2;
    writer.settings.frontAxis = 1;
    writer.settings.frontAxisSign = -1;
    writer.settings.unitScale = 100;
    auto node = writer.AddMesh("Floor \"A\"", mesh);
    writer.AssignMaterial(node, writer.AddMaterial("Tiles"));
    writer.AddLodGroup("Lod", { 50 });
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
    if (json)
        result.json = ParseJson(result.run.output);
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

} // namespace

TEST(FbxInfoImport, ReportsStatusWarningsMeshesBoxesAndTheFileSettings)
{
    SceneWriter scene;
    MeshData split = TwoTriangles();
    split.layers.pop_back(); // no UVs: one MissingUVs warning
    split.materialIndices = { 0, 1 };
    auto node = scene.AddMesh("Split", split);
    scene.AssignMaterial(node, scene.AddMaterial("Left"));
    scene.AssignMaterial(node, scene.AddMaterial("Right"));
    scene.AddMesh("Octahedron", SmoothOctahedron());
    ImportRun result = RunImport(scene);
    const rapidjson::Document& json = result.json;
    ASSERT_TRUE(json.IsObject()) << result.run.output;
    EXPECT_EQ(json["status"].GetInt(), 1);
    EXPECT_EQ(result.run.status, 1);
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
    // Each slot's box is the box of its own triangle.
    ExpectBox(meshes[0]["box"], { 1, 0, 0 }, { 2, 1, 0 });
    ExpectBox(meshes[1]["box"], { 3, 0, 0 }, { 4, 1, 0 });
    EXPECT_TRUE(meshes[1]["box"]["valid"].GetBool());
    // Merged as the model cache merges: 6 vertices, not one per corner.
    EXPECT_STREQ(meshes[2]["name"].GetString(), "Octahedron");
    EXPECT_EQ(meshes[2]["vertices"].GetInt(), 6);
    EXPECT_EQ(meshes[2]["indices"].GetInt(), 24);
    ExpectBox(json["box"], { -1, -1, -1 }, { 4, 1, 1 });
    EXPECT_EQ(json["fileUpAxis"].GetInt(), 1);
    EXPECT_EQ(json["fileUnit"].GetInt(), 2);
    EXPECT_EQ(json["lodGroups"].Size(), 0u);
    EXPECT_EQ(json["skeleton"]["bones"].Size(), 0u);

    // The text report says the same.
    ImportRun text = RunImport(scene, false);
    EXPECT_EQ(text.run.status, 1);
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
    scene.ConnectTexture(
        scene.AddFileTexture("Diffuse", "C:\\art\\textures\\wood.png", "textures\\wood.png"), wood, "DiffuseColor");
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
    const char* slots[] = { "emissive", "ambient", "diffuse", "specular", "shininess", "bump", "normalMap",
        "transparentColor", "reflection", "displacementColor", "vectorDisplacementColor" };
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
    auto lod = scene.AddLodGroup("Lod", { 100.0, 400.0 });
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
    ExpectBox(level1["meshes"][0]["box"], { -1, -1, -1 }, { 1, 1, 1 });
}

TEST(FbxInfoImport, FilesThatCannotBeImportedReportTheirStatusAndError)
{
    std::string absent = testing::TempDir() + "fbxinfo_absent_" + std::to_string(getpid()) + ".fbx";
    ImportRun missing = RunImport(absent);
    ASSERT_TRUE(missing.json.IsObject()) << missing.run.output;
    EXPECT_EQ(missing.json["status"].GetInt(), 4);
    EXPECT_EQ(missing.run.status, 4);
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
    mesh.layers[0].indices = { 0, 1, 2, 3, 4, 5 };
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

// ---- files made to exhaust the reader ----

namespace {

// What one run of fbxinfo cost, measured from outside it.
struct MeasuredRun {
    std::string output; // standard output and standard error
    bool exited = false; // ended by returning from main, not by a signal
    int status = -1;
    long peakKilobytes = -1; // the most memory it held resident, in KiB
    std::chrono::steady_clock::duration elapsed {};
};

// Runs fbxinfo on `path` with `options` through measured-run (tests/Support/MeasuredRun.cpp), which
// reports the peak memory and time of fbxinfo alone.
MeasuredRun RunMeasured(const std::string& path, std::vector<std::string> options)
{
    MeasuredRun run;
    int output[2], report[2];
    if (pipe(output) != 0)
        return run;
    if (pipe(report) != 0) {
        close(output[0]);
        close(output[1]);
        return run;
    }
    std::vector<std::string> arguments = { MEASURED_RUN_PATH, std::to_string(report[1]), FBXINFO_PATH, path };
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(output[1], STDOUT_FILENO);
        dup2(output[1], STDERR_FILENO);
        close(output[0]);
        close(output[1]);
        close(report[0]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(output[1]);
    close(report[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(output[0], buffer, sizeof buffer)) > 0)
        run.output.append(buffer, std::size_t(n));
    close(output[0]);
    std::string line;
    while ((n = read(report[0], buffer, sizeof buffer)) > 0)
        line.append(buffer, std::size_t(n));
    close(report[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    char ending[8] = {};
    int code = -1;
    long long micros = 0;
    if (std::sscanf(line.c_str(), "%7s %d peak-kb %ld elapsed-us %lld", ending, &code, &run.peakKilobytes, &micros)
        == 4) {
        run.exited = std::string(ending) == "exit";
        run.status = run.exited ? code : -1;
        run.elapsed = std::chrono::microseconds(micros);
    }
    return run;
}

// Before, these files took up to 29 GB, or minutes; refused, they take a few megabytes and
// milliseconds. The bounds leave room for a slow, busy machine.
constexpr long kPeakKilobytesLimit = 512 * 1024;
constexpr auto kElapsedLimit = std::chrono::seconds(10);
constexpr int kReadFailed = 2;

void ExpectRefusedCheaply(const MeasuredRun& run, const std::string& what)
{
    EXPECT_TRUE(run.exited) << what << ": ended by a signal\n" << run.output;
    EXPECT_EQ(run.status, kReadFailed) << what << "\n" << run.output;
    EXPECT_GT(run.peakKilobytes, 0) << what;
    EXPECT_LT(run.peakKilobytes, kPeakKilobytesLimit) << what;
    EXPECT_LT(run.elapsed, kElapsedLimit) << what;
}

} // namespace

TEST(FbxInfoImport, HostileFilesAreReportedUnreadableWithinBoundedMemoryAndTime)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* error;
    };
    const Case cases[] = {
        { "160 million corners in 6.5 MB", hostilefbx::IndexBomb(53'333'334, hostilefbx::Packing::Loose),
            "160000002 polygon vertices need" },
        { "15.9 million corners in 125 KB", hostilefbx::IndexBomb(5'300'000, hostilefbx::Packing::Tight),
            "15900000 polygon vertices need" },
        { "a chain of 20,000 nodes", hostilefbx::NodeChain(20'000), "deeper than 512 levels" },
    };
    for (const Case& c : cases) {
        std::string path = fbxtest::WriteTempFile(c.bytes);
        MeasuredRun run = RunMeasured(path, { "--import" });
        std::remove(path.c_str());
        ExpectRefusedCheaply(run, c.what);
        EXPECT_NE(run.output.find("status: 2 (ReadFailed)\n"), std::string::npos) << c.what << "\n" << run.output;
        EXPECT_NE(run.output.find(c.error), std::string::npos) << c.what << "\n" << run.output;
    }
}

TEST(FbxInfoImport, FilesOfManyPropertiesConnectionsAndObjectsImportWithinBoundedMemoryAndTime)
{
    // Each took more than 512 MB or 10 s when templates were copied into every object, properties
    // and connections were found by walking lists, and objects cost nothing against the file's
    // budget (from 650 MB to 1.7 GB, or 17 s to 55 s, in the optimised build).
    struct Case {
        const char* what;
        std::string path;
    };
    auto binary = [](const fbxio::Element& document) { return fbxtest::WriteTempFile(fbxio::WriteBinary(document)); };
    auto ascii = [](const fbxio::Element& document) {
        const std::string text = fbxio::WriteAscii(document);
        return fbxtest::WriteTempFile({ text.begin(), text.end() });
    };
    const Case cases[] = {
        { "a template of 200 properties over 20,000 objects, binary", binary(hostilefbx::TemplateBomb(200, 20'000)) },
        { "a template of 300 properties over 12,000 objects, ASCII", ascii(hostilefbx::TemplateBomb(300, 12'000)) },
        { "50,000 properties on one object", binary(hostilefbx::ManyProperties(50'000)) },
        { "50,000 connections to properties of distinct names", binary(hostilefbx::ManyPropertyConnections(50'000)) },
        { "50,000 videos embedding files of distinct names", binary(hostilefbx::ManyEmbeddedVideos(50'000)) },
        { "150,000 unconnected objects, ASCII", ascii(hostilefbx::ManyModels(150'000)) },
    };
    for (const Case& c : cases) {
        MeasuredRun run = RunMeasured(c.path, { "--import" });
        std::remove(c.path.c_str());
        EXPECT_TRUE(run.exited) << c.what << ": ended by a signal\n" << run.output;
        // The quad imports (its missing UVs are a warning).
        EXPECT_EQ(run.status, 1) << c.what << "\n" << run.output;
        EXPECT_NE(run.output.find("mesh Quad: 4 vertices, 6 indices"), std::string::npos) << c.what << "\n"
                                                                                          << run.output;
        EXPECT_GT(run.peakKilobytes, 0) << c.what;
        EXPECT_LT(run.peakKilobytes, kPeakKilobytesLimit * instrumented::kMemoryFactor) << c.what;
        EXPECT_LT(run.elapsed, kElapsedLimit * instrumented::kTimeFactor) << c.what;
    }
}

TEST(FbxInfoTool, ADirectoryIsReportedUnreadableByBothReports)
{
    const std::string folder = testing::TempDir() + "fbxinfo_folder_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string message = "cannot read '" + folder + "': not a regular file";
    MeasuredRun import = RunMeasured(folder, { "--import" });
    ExpectRefusedCheaply(import, "--import");
    EXPECT_NE(import.output.find("status: 2 (ReadFailed)\nerror: " + message + "\n"), std::string::npos)
        << import.output;
    MeasuredRun read = RunMeasured(folder, {});
    ExpectRefusedCheaply(read, "the reader's report");
    EXPECT_NE(read.output.find("error: " + message + "\n"), std::string::npos) << read.output;
    rapidjson::Document json = ParseJson(RunTool(folder, "--import --json").output);
    rmdir(folder.c_str());
    ASSERT_TRUE(json.IsObject());
    EXPECT_EQ(json["status"].GetInt(), kReadFailed);
    EXPECT_EQ(std::string(json["lastError"].GetString()), message);
}

TEST(FbxInfoImport, AChainTooDeepToReadIsReadFailedNotNoMeshes)
{
    std::string path = fbxtest::WriteTempFile(hostilefbx::NodeChain(600));
    ImportRun result = RunImport(path);
    std::remove(path.c_str());
    ASSERT_TRUE(result.json.IsObject()) << result.run.output;
    EXPECT_EQ(result.json["status"].GetInt(), kReadFailed);
    EXPECT_EQ(result.run.status, kReadFailed);
    EXPECT_NE(std::string(result.json["lastError"].GetString()).find("node 'N511' lies deeper than 512 levels"),
        std::string::npos);
}

TEST(FbxInfoImport, JsonStaysValidForAnyNameAndForNonFiniteNumbers)
{
    // Quote, backslash, control characters, valid UTF-8 of two to four bytes, and a lone Latin-1 byte.
    const std::string name = "a\"b\\c\n\t\x02\x1f\x7f Gr\xc3\xbc\xc3\x9f"
                             "e \xe2\x82\xac \xf0\x9f\x8c\xb2 caf\xe9!";
    SceneWriter scene;
    MeshData mesh = TwoTriangles();
    mesh.points[12] = 1e300; // beyond float: the box becomes infinite
    scene.AddMesh(name, mesh);
    ImportRun result = RunImport(scene);
    const rapidjson::Document& json = result.json;
    ASSERT_TRUE(json.IsObject()) << result.run.output;
    for (char c : result.run.output)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << "output is not plain ASCII";
    ASSERT_EQ(json["meshes"].Size(), 1u);
    // Valid UTF-8 comes back as it was; the stray byte 0xE9 comes back as U+00E9.
    const std::string expected = "a\"b\\c\n\t\x02\x1f\x7f Gr\xc3\xbc\xc3\x9f"
                                 "e \xe2\x82\xac \xf0\x9f\x8c\xb2 caf\xc3\xa9!";
    EXPECT_EQ(
        std::string(json["meshes"][0]["name"].GetString(), json["meshes"][0]["name"].GetStringLength()), expected);
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
    EXPECT_EQ(result.run.status, 0);
    ASSERT_EQ(json["meshes"].Size(), 1u);
    const auto& wall = json["meshes"][0];
    EXPECT_STREQ(wall["name"].GetString(), "CabinWall");
    EXPECT_EQ(wall["vertices"].GetInt(), 24);
    EXPECT_EQ(wall["indices"].GetInt(), 36);
    ExpectBox(wall["box"], { -7.49f, -5.4f, -0.5f }, { 7.49f, 8.1f, 0.5f });
    ExpectBox(json["box"], { -7.49f, -5.4f, -0.5f }, { 7.49f, 8.1f, 0.5f });
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

// ---- what both reports write, whatever the file holds ----

namespace {

std::string Lowercase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string StringOf(const rapidjson::Value& value)
{
    return { value.GetString(), value.GetStringLength() };
}

void ExpectAscii(const std::string& output)
{
    for (char c : output)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << "output is not plain ASCII";
}

// Something on every line the text reports have: a tree three deep, a layer of every kind, a skin,
// a LOD group with two levels, sockets, and materials with a file, a layered and a procedural
// texture and none at all.
SceneWriter ReportFixture()
{
    SceneWriter scene;
    scene.settings.upAxis = 2;
    scene.settings.upAxisSign = -1;
    scene.settings.frontAxis = 1;
    scene.settings.frontAxisSign = -1;
    scene.settings.coordAxisSign = -1;
    scene.settings.originalUpAxis = 2;
    scene.settings.unitScale = 2.54;
    scene.settings.originalUnitScale = 100;
    auto root = scene.AddBone("Rig:Root");
    scene.AddNull("Hand_socket", scene.AddBone("Rig:Hand", root));
    auto lod = scene.AddLodGroup("Lod", { 100, 250.5 });
    MeshData quad = fbxtest::Quad();
    quad.polygons = { { 0, 1, 2, 3 }, { 0, 2, 3 } };
    LayerElement uv = Layer(LayerKind::UV, Mapping::ByPolygonVertex, { 0, 0, 1, 0, 1, 1 });
    uv.reference = fbxio::Reference::IndexToDirect;
    uv.indices = { 0, 1, 2, 0, 0, 2, 1 };
    quad.layers = { Layer(LayerKind::Normal, Mapping::ByControlPoint, Repeat({ 0, 0, 1 }, 4)),
        Layer(LayerKind::Tangent, Mapping::ByPolygonVertex, Repeat({ 1, 0, 0 }, 7)),
        Layer(LayerKind::Binormal, Mapping::ByPolygon, Repeat({ 0, 1, 0 }, 2)), uv,
        Layer(LayerKind::Color, Mapping::AllSame, { 1, 0.5, 0.25, 1 }) };
    quad.materialIndices = { 0, 1 };
    auto fine = scene.AddMesh("Quad", quad, scene.AddNull("Level0", lod));
    scene.AddMesh("Coarse", TwoTriangles(), scene.AddNull("Level1", lod));
    auto wood = scene.AddMaterial("Wood");
    scene.AssignMaterial(fine, wood);
    scene.AssignMaterial(fine, scene.AddMaterial("Bare"));
    scene.ConnectTexture(
        scene.AddFileTexture("Diffuse", "C:\\art\\wood.png", "textures\\wood.png"), wood, "DiffuseColor");
    scene.ConnectTexture(scene.AddProceduralTexture("Noise"), wood, "Bump");
    scene.ConnectTexture(scene.AddLayeredTexture("Stack", { scene.AddFileTexture("Base", "base.png", "base.png") }),
        wood, "SpecularColor");
    scene.AddCluster(scene.AddSkin(fine), root, { 0, 1 }, { 0.5, 0.5 });
    return scene;
}

} // namespace

TEST(FbxInfoTool, TextReportsReadAsTheyAlwaysHave)
{
    // As fbxinfo printed it before its JSON output moved to RapidJSON: the text stays as it was. The
    // file is in inches, so the imported boxes are 2.54 times the file's numbers.
    std::string path = fbxtest::WriteTempFile(ReportFixture().ToBinary(7400));
    ToolRun read = RunTool(path, "");
    ToolRun imported = RunTool(path, "--import");
    std::remove(path.c_str());
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.output, "file: " + path + "\n" + R"(status: 0
format: binary, version 7400
axes: up -Z, front -2, right-handed; original up axis 2
unit: 2.54 cm (original 100 cm)
Rig:Root [eSkeleton]
  Rig:Hand [eSkeleton]
    Hand_socket [eNull]
Lod [eLODGroup] 2 thresholds
  Level0 [eNull]
    Quad [eMesh] 4 control points, 2 polygons, 7 polygon vertices, 2 materials
      normal eByControlPoint eDirect (4 direct, 0 index)
      tangent eByPolygonVertex eDirect (7 direct, 0 index)
      binormal eByPolygon eDirect (2 direct, 0 index)
      uv eByPolygonVertex eIndexToDirect (3 direct, 7 index)
      color eAllSame eDirect (1 direct, 0 index)
      material eByPolygon eIndexToDirect (0 direct, 2 index)
      skin with 1 clusters
  Level1 [eNull]
    Coarse [eMesh] 6 control points, 2 polygons, 6 polygon vertices, 0 materials
      normal eByPolygonVertex eDirect (6 direct, 0 index)
      tangent eByPolygonVertex eDirect (6 direct, 0 index)
      binormal eByPolygonVertex eDirect (6 direct, 0 index)
      uv eByPolygonVertex eDirect (6 direct, 0 index)
material Wood DiffuseColor=file:textures\wood.png SpecularColor=layered Bump=procedural
material Bare
)");
    EXPECT_EQ(imported.status, 0);
    EXPECT_EQ(imported.output, "file: " + path + "\n" + R"(status: 0 (Ok)
file up axis: Z, file unit: m
whole file: box (-10.16, 0, 0) to (0, 0, 2.54)
material 0: Wood
  diffuse: wood.png (file C:\art\wood.png, relative textures\wood.png)
material 1: Bare
skeleton Rig: 2 bones, 1 sockets
  bone 0: Rig:Root, parent -1
  bone 1: Rig:Hand, parent 0
  socket Hand_socket, parent 1
lod group 0: 2 levels
  level 0 from distance 0
    mesh Quad: 4 vertices, 6 indices, material 0, box (-2.54, 0, 0) to (0, 0, 2.54)
    mesh Quad: 3 vertices, 3 indices, material 1, box (-2.54, 0, 0) to (0, 0, 2.54)
  level 1 from distance 100
    mesh Coarse: 6 vertices, 6 indices, material 0, box (-10.16, 0, 0) to (-2.54, 0, 2.54)
)");

    std::string garbage = fbxtest::WriteTempFile(fbxtest::Bytes("Kaydara FBX Binary  \x01 not really"));
    ToolRun failed = RunTool(garbage, "");
    std::remove(garbage.c_str());
    EXPECT_EQ(failed.status, 2);
    // A file that was not read has no axes or unit to report: none are made up.
    EXPECT_EQ(failed.output,
        "file: " + garbage + "\nstatus: 2\nerror: " + garbage
            + ": the binary FBX header is damaged (bytes 20-22 are not 00 1A 00) (at offset 0x14)\n");
}

TEST(FbxInfoTool, AnswersHelpAndVersionOnStandardOutputAndRefusesUnknownOptionsWith64)
{
    const CommandRun help = RunCommandWithErrors(std::string(FBXINFO_PATH) + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: fbxinfo FILE [--json]\n", 0), 0u) << help.output;
    EXPECT_EQ(help.errors, "");
    // Asked for its usage, it opens no file of that name.
    EXPECT_EQ(help.output.find("file: "), std::string::npos) << help.output;

    const CommandRun version = RunCommandWithErrors(std::string(FBXINFO_PATH) + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "fbxinfo (Tarnwick) " + std::string(TARNWICK_VERSION) + "\n");
    EXPECT_EQ(version.errors, "");

    const CommandRun unknown = RunCommandWithErrors(std::string(FBXINFO_PATH) + " model.fbx --verbose");
    EXPECT_EQ(unknown.status, 64);
    EXPECT_EQ(unknown.output, "");
    EXPECT_EQ(unknown.errors, "fbxinfo: unknown option \"--verbose\"\n\n" + help.output);

    // After "--" a name that begins with "-" is a file's.
    const CommandRun dashed = RunCommandWithErrors(std::string(FBXINFO_PATH) + " -- --verbose");
    EXPECT_EQ(dashed.status, 2);
    EXPECT_EQ(dashed.output.rfind("file: --verbose\nstatus: 2\n", 0), 0u) << dashed.output;
}

TEST(FbxInfoTool, JsonTurnsAnyBytesIntoAsciiEscapesOfTheirCodePoints)
{
    // Valid UTF-8 of two, three and four bytes, then what is not UTF-8: a stray continuation byte,
    // 0xFF, '/' overlong in two and in three bytes, a UTF-16 surrogate half, a value beyond U+10FFFF,
    // a sequence cut short by an ASCII byte and one cut short by the end of the name.
    const std::string name = "\xc3\xbc\xe2\x82\xac\xf0\x9f\x8c\xb2|\x80|\xff|\xc0\xaf|\xe0\x80\xaf|\xed\xa0\x80|"
                             "\xf4\x90\x80\x80|\xe2\x82x|\xf0\x9f\x8c";
    // Valid sequences stay; each other byte is read as Latin-1, the code point of its value.
    const std::string expected = "\xc3\xbc\xe2\x82\xac\xf0\x9f\x8c\xb2|\xc2\x80|\xc3\xbf|\xc3\x80\xc2\xaf|"
                                 "\xc3\xa0\xc2\x80\xc2\xaf|\xc3\xad\xc2\xa0\xc2\x80|"
                                 "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80|\xc3\xa2\xc2\x82x|\xc3\xb0\xc2\x9f\xc2\x8c";
    // U+1F332 is beyond the Basic Multilingual Plane: one surrogate pair.
    const std::string escaped = R"(\u00fc\u20ac\ud83c\udf32|\u0080|\u00ff|\u00c0\u00af|\u00e0\u0080\u00af|)"
                                R"(\u00ed\u00a0\u0080|\u00f4\u0090\u0080\u0080|\u00e2\u0082x|\u00f0\u009f\u008c)";
    SceneWriter scene;
    auto node = scene.AddMesh(name, TwoTriangles());
    auto material = scene.AddMaterial(name);
    scene.AssignMaterial(node, material);
    scene.ConnectTexture(scene.AddFileTexture("Diffuse", name, name), material, "DiffuseColor");
    scene.AddLodGroup(name, { 10 });
    std::string path = fbxtest::WriteTempFile(scene.ToBinary(7400));
    ToolRun read = RunTool(path, "--json");
    ToolRun imported = RunTool(path, "--import --json");
    std::remove(path.c_str());

    ExpectAscii(read.output);
    EXPECT_NE(Lowercase(read.output).find(escaped), std::string::npos) << read.output;
    rapidjson::Document json = ParseJson(read.output);
    ASSERT_FALSE(json.HasParseError()) << read.output;
    ASSERT_EQ(json["nodes"].Size(), 2u);
    EXPECT_EQ(StringOf(json["nodes"][0]["name"]), expected);
    EXPECT_EQ(StringOf(json["nodes"][1]["name"]), expected);
    ASSERT_EQ(json["meshes"].Size(), 1u);
    EXPECT_EQ(StringOf(json["meshes"][0]["name"]), expected);
    ASSERT_EQ(json["materials"].Size(), 1u);
    EXPECT_EQ(StringOf(json["materials"][0]["name"]), expected);
    EXPECT_EQ(StringOf(json["materials"][0]["textures"]["DiffuseColor"]), "file:" + expected);
    ASSERT_EQ(json["lodGroups"].Size(), 1u);
    EXPECT_EQ(StringOf(json["lodGroups"][0]["name"]), expected);

    ExpectAscii(imported.output);
    EXPECT_NE(Lowercase(imported.output).find(escaped), std::string::npos) << imported.output;
    rapidjson::Document import = ParseJson(imported.output);
    ASSERT_FALSE(import.HasParseError()) << imported.output;
    ASSERT_EQ(import["meshes"].Size(), 1u);
    EXPECT_EQ(StringOf(import["meshes"][0]["name"]), expected);
    ASSERT_EQ(import["materials"].Size(), 1u);
    EXPECT_EQ(StringOf(import["materials"][0]["name"]), expected);
    EXPECT_EQ(StringOf(import["materials"][0]["diffuse"]["filePath"]), expected);
    EXPECT_EQ(StringOf(import["materials"][0]["diffuse"]["relativePath"]), expected);
}

TEST(FbxInfoTool, JsonWritesNonFiniteNumbersAsNullAndFiniteOnesExactly)
{
    const double infinity = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    SceneWriter scene;
    scene.settings.unitScale = infinity;
    scene.settings.originalUnitScale = 1.0 / 3.0;
    scene.AddLodGroup("Lod", { nan, infinity, -infinity, 1.0 / 3.0, 1e-7 });
    std::string path = fbxtest::WriteTempFile(scene.ToBinary(7400));
    ToolRun read = RunTool(path, "--json");
    std::remove(path.c_str());
    rapidjson::Document json = ParseJson(read.output);
    ASSERT_FALSE(json.HasParseError()) << read.output;
    // An infinite unit says nothing: the file is read in the default centimetres.
    EXPECT_EQ(json["unitScaleFactor"].GetDouble(), 1.0);
    // A double keeps every digit it needs; a float (the thresholds) reads back as the same float.
    EXPECT_EQ(json["originalUnitScaleFactor"].GetDouble(), 1.0 / 3.0);
    const auto& thresholds = json["lodGroups"][0]["thresholds"];
    ASSERT_EQ(thresholds.Size(), 5u);
    EXPECT_TRUE(thresholds[0].IsNull());
    EXPECT_TRUE(thresholds[1].IsNull());
    EXPECT_TRUE(thresholds[2].IsNull());
    EXPECT_EQ(thresholds[3].GetFloat(), static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(thresholds[4].GetFloat(), static_cast<float>(1e-7));

    // The import's level distances come from the same thresholds.
    SceneWriter lods;
    auto lod = lods.AddLodGroup("Lod", { infinity });
    lods.AddMesh("Fine", TwoTriangles(), lods.AddNull("Level0", lod));
    lods.AddMesh("Coarse", TwoTriangles(), lods.AddNull("Level1", lod));
    ImportRun imported = RunImport(lods);
    ASSERT_TRUE(imported.json.IsObject()) << imported.run.output;
    ASSERT_EQ(imported.json["lodGroups"].Size(), 1u);
    ASSERT_EQ(imported.json["lodGroups"][0].Size(), 2u);
    EXPECT_EQ(imported.json["lodGroups"][0][0]["distance"].GetDouble(), 0.0);
    EXPECT_TRUE(imported.json["lodGroups"][0][1]["distance"].IsNull()) << imported.run.output;
}
