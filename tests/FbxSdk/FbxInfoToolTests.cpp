// fbxinfo --json: the one JSON object other programs read.
#include "FbxTestSupport.h"

#include <rapidjson/document.h>

#include <cstdio>

namespace {

rapidjson::Document RunFbxInfo(const std::string& path)
{
    std::string command = std::string(FBXINFO_PATH) + " '" + path + "' --json";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        pclose(pipe);
    }
    rapidjson::Document json;
    json.Parse(output.c_str());
    return json;
}

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
