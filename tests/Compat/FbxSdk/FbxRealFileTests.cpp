// Files no one here wrote (Debian's assimp-testmodels), and every fixture and corpus file cut
// short and byte-patched: the reader either reads them or fails with a message, never crashes.
#include "FbxExercise.h"
#include "FbxTestSupport.h"
#include "FbxWriterFixtures.h"

#include <cstring>

namespace {

struct RealFile {
    const char* name;
    bool binary;
    int version;
    int meshes;
    int polygons; // over all meshes, as the files store them
    int polygonVertices;
};

// Counts checked against the files' PolygonVertexIndex arrays with an independent script.
const RealFile kRealFiles[] = {
    { "animation_with_skeleton.fbx", true, 7400, 1, 1056, 4224 },
    { "box.fbx", true, 7400, 1, 12, 36 },
    { "box_orphant_embedded_texture.fbx", false, 7500, 1, 6, 24 },
    { "close_to_identity_transforms.fbx", false, 7500, 4, 210, 840 },
    { "cubes_nonames.fbx", false, 7500, 4, 210, 840 },
    { "cubes_with_mirroring_and_pivot.fbx", false, 7500, 4, 210, 840 },
    { "cubes_with_names.fbx", false, 7500, 4, 210, 840 },
    { "cubes_with_outofrange_float.fbx", false, 7500, 4, 210, 840 },
    { "global_settings.fbx", true, 7400, 2, 848, 3048 },
    { "huesitos.fbx", true, 7400, 1, 68, 256 },
    { "maxPbrMaterial_metalRough.fbx", false, 7700, 1, 6, 24 },
    { "maxPbrMaterial_specGloss.fbx", false, 7700, 1, 6, 24 },
    { "phong_cube.fbx", true, 7400, 1, 6, 24 },
    { "spider.fbx", true, 7400, 19, 1368, 4104 },
    { "boxWithCompressedCTypeArray.FBX", true, 7500, 1, 6, 24 },
    { "boxWithUncompressedCTypeArray.FBX", true, 7500, 1, 6, 24 },
    { "embedded_ascii/box.FBX", false, 7400, 1, 6, 24 },
    { "embedded_ascii/box_embedded_texture_fragmented.fbx", false, 7500, 1, 6, 24 },
};

std::string ModelPath(const char* name)
{
    return std::string(ASSIMP_FBX_MODELS) + "/" + name;
}

std::vector<std::uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

} // namespace

TEST(FbxRealFiles, EveryAssimpTestModelOpensWithTheCountsItStores)
{
    for (const RealFile& f : kRealFiles) {
        fbxtest::Loaded file(ModelPath(f.name));
        ASSERT_TRUE(file.ok) << f.name << ": " << file.error;
        EXPECT_EQ(file.importer->GetFileFormat(), f.binary ? 0 : 1) << f.name;
        int major, minor, revision;
        file.importer->GetFileVersion(major, minor, revision);
        EXPECT_EQ(major * 1000 + minor * 100 + revision * 10, f.version) << f.name;
        int meshes = 0, polygons = 0, polygonVertices = 0;
        for (int n = 0; n < file.scene->GetNodeCount(); ++n)
            if (FbxMesh* mesh = file.scene->GetNode(n)->GetMesh()) {
                ++meshes;
                polygons += mesh->GetPolygonCount();
                polygonVertices += mesh->GetPolygonVertexCount();
            }
        EXPECT_EQ(meshes, f.meshes) << f.name;
        EXPECT_EQ(polygons, f.polygons) << f.name;
        EXPECT_EQ(polygonVertices, f.polygonVertices) << f.name;
    }
}

TEST(FbxRealFiles, KnownContentsOfSomeFilesAreRead)
{
    fbxtest::Loaded box(ModelPath("embedded_ascii/box.FBX"));
    ASSERT_TRUE(box.ok) << box.error;
    int sign = 0;
    EXPECT_EQ(box.scene->GetGlobalSettings().GetAxisSystem().GetUpVector(sign), FbxAxisSystem::eZAxis);
    EXPECT_EQ(box.scene->GetGlobalSettings().GetOriginalUpAxis(), 2);
    EXPECT_TRUE(box.scene->GetGlobalSettings().GetOriginalSystemUnit() == FbxSystemUnit::Inch);
    ASSERT_EQ(box.scene->GetMaterialCount(), 1);
    auto* texture
        = box.scene->GetMaterial(0)->FindProperty(FbxSurfaceMaterial::sDiffuse).GetSrcObject<FbxFileTexture>(0);
    ASSERT_NE(texture, nullptr);
    EXPECT_STREQ(texture->GetRelativeFileName(), "..\\..\\..\\Desktop\\uv_test.png");

    fbxtest::Loaded bones(ModelPath("huesitos.fbx"));
    ASSERT_TRUE(bones.ok) << bones.error;
    FbxMesh* cylinder = bones.Mesh("Cylinder");
    ASSERT_NE(cylinder, nullptr);
    ASSERT_EQ(cylinder->GetDeformerCount(FbxDeformer::eSkin), 1);
    auto* skin = static_cast<FbxSkin*>(cylinder->GetDeformer(0, FbxDeformer::eSkin));
    ASSERT_GT(skin->GetClusterCount(), 0);
    EXPECT_NE(skin->GetCluster(0)->GetLink(), nullptr);
    EXPECT_EQ(bones.Node("Bone")->GetNodeAttribute()->GetAttributeType(), FbxNodeAttribute::eSkeleton);
}

TEST(FbxRealFiles, EveryInputAFuzzerCrashedOnNowReadsOrFailsWithAMessage)
{
    // Under the sanitizers a regression shows as the fault itself (a read past the buffer, a NaN
    // turned into an int), not only as a wrong answer.
    const struct {
        const char* name;
        const char* error;
    } findings[] = {
        { "record-ends-inside-its-header.fbx", "inside its own header" },
        { "record-ends-inside-its-header-2.fbx", "inside its own header" },
        { "axis-setting-not-a-number.fbx", nullptr },
        // A property named by a NUL byte: made under its C-string name, then looked for under the
        // whole one, and not found.
        { "property-name-with-a-nul-byte.fbx", nullptr },
    };
    FbxManager* manager = FbxManager::Create();
    for (const auto& finding : findings) {
        SCOPED_TRACE(finding.name);
        const std::vector<std::uint8_t> bytes = ReadAll(std::string(FUZZ_FINDINGS) + "/" + finding.name);
        ASSERT_FALSE(bytes.empty());
        const auto result = fbxtest::Exercise(manager, bytes.data(), bytes.size());
        if (finding.error != nullptr) {
            EXPECT_FALSE(result.read);
            EXPECT_NE(result.error.find(finding.error), std::string::npos) << result.error;
        } else if (!result.read) {
            EXPECT_FALSE(result.error.empty());
        }
    }
    manager->Destroy();
}

TEST(FbxRealFiles, TheFileWhoseNulBytesBecameSpacesFailsCleanly)
{
    fbxtest::Loaded file(ModelPath("transparentTest.fbx"));
    EXPECT_FALSE(file.ok);
    EXPECT_TRUE(file.importer->GetStatus().Error());
    EXPECT_NE(file.error.find("header is damaged"), std::string::npos) << file.error;
}

TEST(FbxRealFiles, EveryFixtureAndCorpusFileSurvivesTruncationAndBytePatches)
{
    std::vector<std::vector<std::uint8_t>> files = fbxtest::WriterFixtures();
    for (const RealFile& f : kRealFiles)
        files.push_back(ReadAll(ModelPath(f.name)));
    FbxManager* manager = FbxManager::Create();
    for (const auto& good : files) {
        ASSERT_TRUE(fbxtest::Exercise(manager, good.data(), good.size()).read);
        bool binary = good.size() > 18 && std::memcmp(good.data(), "Kaydara FBX Binary", 18) == 0;
        const std::size_t cuts = 40;
        for (std::size_t k = 0; k < cuts; ++k) {
            std::size_t length = good.size() * k / cuts;
            auto result = fbxtest::Exercise(manager, good.data(), length);
            // A binary file cut anywhere before its footer is invalid; ASCII may end on a
            // boundary that still parses.
            if (binary && length + 200 < good.size()) {
                EXPECT_FALSE(result.read) << "length " << length;
                EXPECT_FALSE(result.error.empty());
            }
        }
        for (std::size_t k = 0; k < 60; ++k) {
            auto bytes = good;
            std::size_t at = (k * 7919u + 13) % bytes.size();
            bytes[at] = std::uint8_t(bytes[at] ^ (0x11u << (k % 4)));
            auto result = fbxtest::Exercise(manager, bytes.data(), bytes.size());
            if (!result.read) {
                EXPECT_FALSE(result.error.empty());
            }
        }
    }
    manager->Destroy();
}

namespace {

struct EmbeddedFile {
    FbxClassId hint;
    std::string name;
    std::vector<std::uint8_t> bytes;
};

FbxCallback::State Keep(void* files, FbxClassId hint, const char* name, const void* buffer, size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    static_cast<std::vector<EmbeddedFile>*>(files)->push_back({ hint, name, { bytes, bytes + size } });
    return FbxCallback::eHandled;
}

// The files a file embeds, as the importer hands them to its callback.
std::vector<EmbeddedFile> EmbeddedFiles(const std::string& path)
{
    std::vector<EmbeddedFile> files;
    FbxManager* manager = FbxManager::Create();
    FbxImporter* importer = FbxImporter::Create(manager, "");
    FbxEmbeddedFileCallback* callback = FbxEmbeddedFileCallback::Create(manager, "Embedded");
    EXPECT_EQ(callback->RegisterReadFunction(Keep, &files), 0);
    EXPECT_TRUE(importer->Initialize(path.c_str(), -1, nullptr)) << importer->GetStatus().GetErrorString();
    importer->SetEmbeddedFileReadCallback(callback);
    EXPECT_TRUE(importer->Import(FbxScene::Create(manager, "The Scene"), false));
    // Initialize forgets the callback, as the SDK's does.
    EXPECT_TRUE(importer->Initialize(path.c_str(), -1, nullptr));
    EXPECT_EQ(importer->GetEmbeddedFileReadCallback(), nullptr);
    manager->Destroy();
    return files;
}

bool StartsWithPngSignature(const std::vector<std::uint8_t>& bytes)
{
    return bytes.size() > 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
}

} // namespace

TEST(FbxRealFiles, EmbeddedImagesReachTheImportersCallbackWhole)
{
    // Blender's binary export: the PNG as it was written, IEND chunk and all.
    std::vector<EmbeddedFile> blender = EmbeddedFiles(EMBEDDED_TEXTURE_FILES "/cube-embedded-checker.fbx");
    ASSERT_EQ(blender.size(), 1u);
    EXPECT_EQ(blender[0].hint, FbxVideo::ClassId);
    EXPECT_NE(blender[0].name.find("checker.png"), std::string::npos) << blender[0].name;
    EXPECT_TRUE(StartsWithPngSignature(blender[0].bytes));
    EXPECT_EQ(std::string(blender[0].bytes.end() - 8, blender[0].bytes.end() - 4), "IEND");

    // ASCII files carry base64, one string or many: the fragments join into one image.
    for (const char* name : { "embedded_ascii/box.FBX", "embedded_ascii/box_embedded_texture_fragmented.fbx" }) {
        SCOPED_TRACE(name);
        std::vector<EmbeddedFile> files = EmbeddedFiles(ModelPath(name));
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(StartsWithPngSignature(files[0].bytes));
        EXPECT_EQ(std::string(files[0].bytes.end() - 8, files[0].bytes.end() - 4), "IEND");
    }

    // Two videos of one name, one of them with content (a TGA): only the content is handed over.
    std::vector<EmbeddedFile> orphan = EmbeddedFiles(ModelPath("box_orphant_embedded_texture.fbx"));
    ASSERT_EQ(orphan.size(), 1u);
    EXPECT_EQ(orphan[0].name, "U:/Some/Absolute/Primitives/GridGrey.tga");
    EXPECT_GT(orphan[0].bytes.size(), 18u); // more than a TGA header
}
