// fbxrender run as users run it: a child process with no display, its pictures read back with
// stb_image. The models are written by our FBX writer the way modelling tools write them.
#include "CommandRun.h"
#include "ModellingToolMeshes.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// What every run is given: the two Mesa overrides the README asks for on llvmpipe, no shader cache
// that could answer for another version, and no display of any kind.
constexpr const char* kEnvironment = "env -u DISPLAY -u WAYLAND_DISPLAY MESA_GL_VERSION_OVERRIDE=4.6 "
                                     "MESA_GLSL_VERSION_OVERRIDE=460 MESA_SHADER_CACHE_DISABLE=true ";
constexpr int kSize = 256;
// The model spans 1 / 1.1 of the picture: a 5 % margin on each side.
constexpr double kFramedShare = 1.0 / 1.1;
// The fragment shader's ambient term.
constexpr double kAmbient = 0.3;

using ToolRun = CommandRun;

// Runs the tool on `file` and `out` (quoted for the shell) with `options` after them.
ToolRun RunFbxRender(const std::string& file, const std::string& out, const std::string& options = "")
{
    // Appended piece by piece: gcc 12 at -O3 warns falsely (-Wrestrict) about "'" + std::string&&.
    std::string command = kEnvironment;
    command += FBXRENDER_PATH;
    for (const std::string* path : { &file, &out }) {
        command += " '";
        command += *path;
        command += "'";
    }
    command += " ";
    command += options;
    command += " 2>&1";
    return RunCommand(command);
}

// A fresh folder for one test's files, removed afterwards.
struct Folder {
    Folder()
    {
        std::random_device random;
        path = fs::temp_directory_path() / ("fbxrender-test-" + std::to_string(random()));
        fs::create_directories(path);
    }
    ~Folder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;

    const unsigned char* At(int x, int y) const { return &rgba[(std::size_t(y) * width + x) * 4]; }
    bool Opaque(int x, int y) const { return At(x, y)[3] == 255; }
    bool Clear(int x, int y) const { return At(x, y)[3] == 0; }
    double Brightness(int x, int y) const { return (At(x, y)[0] + At(x, y)[1] + At(x, y)[2]) / (3.0 * 255.0); }
    double Coverage() const
    {
        int covered = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                covered += Clear(x, y) ? 0 : 1;
        return double(covered) / (double(width) * height);
    }
};

Image ReadPng(const std::string& path)
{
    Image image;
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &image.width, &image.height, &channels, 4);
    if (pixels != nullptr) {
        image.rgba.assign(pixels, pixels + std::size_t(image.width) * image.height * 4);
        stbi_image_free(pixels);
    }
    return image;
}

// The opaque pixels' bounds: left, top, right, bottom, inclusive.
std::array<int, 4> OpaqueBounds(const Image& image)
{
    std::array<int, 4> bounds { image.width, image.height, -1, -1 };
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (!image.Clear(x, y))
                bounds = { std::min(bounds[0], x), std::min(bounds[1], y), std::max(bounds[2], x),
                    std::max(bounds[3], y) };
    return bounds;
}

std::string Save(const fbxio::SceneWriter& writer, const std::string& path)
{
    EXPECT_TRUE(writer.Save(path));
    return path;
}

// The brightness a surface of the default texture has from the ambient term alone.
double AmbientBrightness()
{
    int w = 0, h = 0, n = 0;
    unsigned char* colour = stbi_load("Assets/Textures/T_Default_C.png", &w, &h, &n, 3);
    unsigned char* mask = stbi_load("Assets/Textures/T_Default_M.png", &w, &h, &n, 3);
    EXPECT_NE(colour, nullptr);
    EXPECT_NE(mask, nullptr);
    const double value = (colour[0] + colour[1] + colour[2]) / (3.0 * 255.0) * kAmbient * (mask[0] / 255.0);
    stbi_image_free(colour);
    stbi_image_free(mask);
    return value;
}

std::string View(const Folder& folder, const std::string& model, const std::string& view)
{
    const std::string out = folder / (view + ".png");
    const ToolRun run = RunFbxRender(model, out, "--size " + std::to_string(kSize) + " --view " + view);
    EXPECT_LE(run.status, 1) << run.output;
    return out;
}

} // namespace

TEST(FbxRenderTool, UnitCubeFromTheFrontIsACentredLitSquareAndTheJsonDescribesIt)
{
    Folder folder;
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    const std::string cube = Save(writer, folder / "cube.fbx");
    const std::string out = folder / "front.png";

    const ToolRun run = RunFbxRender(cube, out, "--size 256 --view front --json");
    // The box has no UVs: the import warns, and the picture is still written.
    ASSERT_EQ(run.status, 1) << run.output;
    const Image image = ReadPng(out);
    ASSERT_EQ(image.width, kSize);
    ASSERT_EQ(image.height, kSize);

    const double side = kSize * kFramedShare;
    const auto [left, top, right, bottom] = OpaqueBounds(image);
    EXPECT_NEAR(right - left + 1, side, 1.0);
    EXPECT_NEAR(bottom - top + 1, side, 1.0);
    EXPECT_LE(std::abs(left - (kSize - 1 - right)), 1);
    EXPECT_LE(std::abs(top - (kSize - 1 - bottom)), 1);
    EXPECT_NEAR(image.Coverage(), kFramedShare * kFramedShare, 2.0 * side / (kSize * kSize));
    // Inside the silhouette every pixel is opaque; the margin is fully transparent.
    EXPECT_TRUE(image.Opaque(kSize / 2, kSize / 2));
    EXPECT_TRUE(image.Clear(2, 2));
    EXPECT_TRUE(image.Clear(kSize - 3, kSize / 2));
    // The face towards the camera looks at the light's side: lit beyond the ambient term.
    EXPECT_GT(image.Brightness(kSize / 2, kSize / 2), 1.5 * AmbientBrightness());

    rapidjson::Document json;
    json.Parse(run.output.c_str());
    ASSERT_TRUE(json.IsObject()) << run.output;
    EXPECT_EQ(json["status"].GetInt(), 1);
    EXPECT_EQ(json["width"].GetInt(), kSize);
    EXPECT_EQ(json["height"].GetInt(), kSize);
    EXPECT_NEAR(json["coverage"].GetDouble(), image.Coverage(), 1e-6);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_NEAR(json["box"]["max"][axis].GetDouble() - json["box"]["min"][axis].GetDouble(), 1.0, 1e-5);
}

TEST(FbxRenderTool, TopShowsTheLitTopFaceAndBottomTheUnlitBottomFace)
{
    Folder folder;
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    const std::string cube = Save(writer, folder / "cube.fbx");

    const Image front = ReadPng(View(folder, cube, "front"));
    const Image top = ReadPng(View(folder, cube, "top"));
    const Image bottom = ReadPng(View(folder, cube, "bottom"));
    ASSERT_EQ(top.width, kSize);
    ASSERT_EQ(bottom.width, kSize);
    const int c = kSize / 2;
    EXPECT_NEAR(top.Coverage(), kFramedShare * kFramedShare, 0.02);
    // The light comes down at 45 degrees: the top face takes more of it than the front face, the
    // bottom face none at all.
    EXPECT_GT(top.Brightness(c, c), front.Brightness(c, c) + 0.02);
    EXPECT_NEAR(bottom.Brightness(c, c), AmbientBrightness(), 0.03);
}

TEST(FbxRenderTool, FrontHasPlusXRightAndPlusYUpAndDrawsEveryMesh)
{
    Folder folder;
    fbxio::SceneWriter writer;
    writer.AddMesh("Big", toolmeshes::Box(2, 2, 2));
    // A small second mesh at the big one's +x, +y corner.
    fbxio::MeshData small = toolmeshes::Box(0.5, 0.5, 0.5);
    for (std::size_t i = 0; i < small.points.size(); i += 3) {
        small.points[i] += 2.5;
        small.points[i + 1] += 2.5;
    }
    writer.AddMesh("Small", small);
    const std::string model = Save(writer, folder / "two.fbx");

    const Image front = ReadPng(View(folder, model, "front"));
    ASSERT_EQ(front.width, kSize);
    // The whole is 3 x 3 units: the small box fills the top right sixth of the framed square.
    const double unit = kSize * kFramedShare / 3.0;
    const double margin = kSize * (1.0 - kFramedShare) / 2.0;
    const int smallX = int(margin + 2.75 * unit), smallY = int(margin + 0.25 * unit);
    EXPECT_TRUE(front.Opaque(smallX, smallY)) << "the small box is not at the top right";
    EXPECT_TRUE(front.Clear(int(margin + 0.25 * unit), smallY)) << "something is at the top left";
    EXPECT_TRUE(front.Clear(smallX, int(margin + 2.75 * unit))) << "something is at the bottom right";
    EXPECT_TRUE(front.Opaque(int(margin + unit), int(margin + 2 * unit)));

    // Seen from the back, +x is on the left.
    const Image back = ReadPng(View(folder, model, "back"));
    EXPECT_TRUE(back.Opaque(kSize - 1 - smallX, smallY));
    EXPECT_TRUE(back.Clear(smallX, smallY));
}

TEST(FbxRenderTool, SphereIsADiscBrighterTowardsTheLight)
{
    Folder folder;
    fbxio::SceneWriter writer;
    writer.AddMesh("Sphere", toolmeshes::Sphere(50, 32, 48));
    const std::string sphere = Save(writer, folder / "sphere.fbx");
    const Image image = ReadPng(View(folder, sphere, "front"));
    ASSERT_EQ(image.width, kSize);

    const double centre = (kSize - 1) / 2.0;
    const double radius = kSize * kFramedShare / 2.0;
    int misplaced = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const double distance = std::hypot(x - centre, y - centre);
            if (distance < 0.95 * radius && !image.Opaque(x, y))
                ++misplaced;
            if (distance > radius + 1.5 && !image.Clear(x, y))
                ++misplaced;
        }
    EXPECT_EQ(misplaced, 0);
    EXPECT_NEAR(image.Coverage(), 3.14159265 / 4.0 * kFramedShare * kFramedShare, 0.01);

    // The light comes from the left (-x), from above and from the camera's side; in the picture that
    // is up and to the left.
    const double towardsX = -0.5 / std::hypot(0.5, 0.7071), towardsUp = 0.7071 / std::hypot(0.5, 0.7071);
    const double reach = 0.6 * radius;
    const int litX = int(centre + reach * towardsX), litY = int(centre - reach * towardsUp);
    const int darkX = int(centre - reach * towardsX), darkY = int(centre + reach * towardsUp);
    EXPECT_GT(image.Brightness(litX, litY), image.Brightness(darkX, darkY) + 0.1);
}

namespace {

// A one-unit quad facing the front camera, with UVs over the whole of it and a material whose diffuse
// texture is `texture`.
std::string WriteTexturedQuad(const std::string& path, const std::string& texture)
{
    fbxio::MeshData quad;
    quad.points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0 };
    quad.polygons = { { 0, 1, 2, 3 } };
    fbxio::LayerElement normals { fbxio::LayerKind::Normal, fbxio::Mapping::ByControlPoint, fbxio::Reference::Direct,
        "", { 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1 }, {} };
    fbxio::LayerElement uv { fbxio::LayerKind::UV, fbxio::Mapping::ByControlPoint, fbxio::Reference::Direct, "",
        { 0, 0, 1, 0, 1, 1, 0, 1 }, {} };
    quad.layers = { normals, uv };
    quad.materialIndices = { 0 };
    quad.materialMapping = fbxio::Mapping::AllSame;
    fbxio::SceneWriter writer;
    const auto node = writer.AddMesh("Quad", quad);
    const auto material = writer.AddMaterial("Checker");
    writer.AssignMaterial(node, material);
    // As an exporter on another machine writes it: an absolute path that does not exist here.
    writer.ConnectTexture(
        writer.AddFileTexture("Checker", "C:\\art\\" + texture, "..\\art\\" + texture), material, "DiffuseColor");
    return Save(writer, path);
}

constexpr int kSquares = 4;

void WriteChecker(const std::string& path)
{
    constexpr int kSquarePixels = 16, kSide = kSquares * kSquarePixels;
    std::vector<unsigned char> rgb(kSide * kSide * 3);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const unsigned char value = ((x / kSquarePixels + y / kSquarePixels) % 2) != 0 ? 255 : 0;
            std::fill_n(rgb.begin() + (y * kSide + x) * 3, 3, value);
        }
    ASSERT_NE(stbi_write_png(path.c_str(), kSide, kSide, 3, rgb.data(), kSide * 3), 0);
}

// Brightness in the middle of each checker square, row by row from the top of the picture.
std::vector<double> SquareCentres(const Image& image)
{
    std::vector<double> values;
    const double margin = kSize * (1.0 - kFramedShare) / 2.0, square = kSize * kFramedShare / kSquares;
    for (int row = 0; row < kSquares; ++row)
        for (int column = 0; column < kSquares; ++column)
            values.push_back(
                image.Brightness(int(margin + (column + 0.5) * square), int(margin + (row + 0.5) * square)));
    return values;
}

// Neighbouring squares differ clearly, and squares of one colour match.
void ExpectChecker(const Image& image)
{
    const std::vector<double> values = SquareCentres(image);
    ASSERT_EQ(values.size(), std::size_t(kSquares * kSquares));
    for (int row = 0; row < kSquares; ++row)
        for (int column = 0; column < kSquares; ++column) {
            const double value = values[row * kSquares + column];
            const double reference = values[(row + column) % 2];
            EXPECT_NEAR(value, reference, 0.02) << "square " << row << ", " << column;
        }
    EXPECT_GT(std::abs(values[0] - values[1]), 0.2);
}

} // namespace

TEST(FbxRenderTool, DiffuseTextureBesideTheFileOrInItsTexturesFolderIsDrawn)
{
    Folder folder;
    const std::string beside = WriteTexturedQuad(folder / "beside.fbx", "checker.png");
    WriteChecker(folder / "checker.png");
    ExpectChecker(ReadPng(View(folder, beside, "front")));

    Folder nested;
    fs::create_directories(nested.path / "textures");
    const std::string inFolder = WriteTexturedQuad(nested / "nested.fbx", "grid.png");
    WriteChecker((nested.path / "textures" / "grid.png").string());
    ExpectChecker(ReadPng(View(nested, inFolder, "front")));

    // Without the image the quad is drawn with the default texture, and the tool says why.
    const std::string missing = WriteTexturedQuad(folder / "missing.fbx", "nowhere.png");
    const ToolRun run = RunFbxRender(missing, folder / "missing.png", "--size 256");
    EXPECT_LE(run.status, 1);
    EXPECT_NE(run.output.find("nowhere.png"), std::string::npos) << run.output;
    const std::vector<double> plain = SquareCentres(ReadPng(folder / "missing.png"));
    EXPECT_NEAR(*std::max_element(plain.begin(), plain.end()), *std::min_element(plain.begin(), plain.end()), 0.05);
}

TEST(FbxRenderTool, FailedImportsEndWithTheirStatusAndWriteNothing)
{
    Folder folder;
    const std::string out = folder / "out.png";
    const auto nothingWritten = [&folder] { return fs::is_empty(folder.path / "out"); };
    fs::create_directories(folder.path / "out");
    const std::string target = (folder.path / "out" / "picture.png").string();

    ToolRun run = RunFbxRender(folder / "absent.fbx", target);
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_NE(run.output.find("not found"), std::string::npos) << run.output;
    EXPECT_TRUE(nothingWritten());

    fbxio::SceneWriter empty;
    empty.AddMaterial("Unused");
    run = RunFbxRender(Save(empty, folder / "empty.fbx"), target);
    EXPECT_EQ(run.status, 7) << run.output;
    EXPECT_TRUE(nothingWritten());

    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    std::vector<std::uint8_t> bytes = writer.ToBinary();
    bytes.resize(bytes.size() / 3);
    const std::string broken = folder / "broken.fbx";
    {
        std::FILE* file = std::fopen(broken.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    run = RunFbxRender(broken, target);
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_FALSE(run.output.empty());
    EXPECT_TRUE(nothingWritten());

    // A command line it cannot follow is not an import status.
    run = RunFbxRender(broken, target, "--view sideways");
    EXPECT_EQ(run.status, 64);
    EXPECT_TRUE(nothingWritten());
}

TEST(FbxRenderTool, WritesThePictureWithNoDisplayAtAll)
{
    Folder folder;
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    const std::string cube = Save(writer, folder / "cube.fbx");
    // Run from elsewhere, with relative paths, as a thumbnailer would.
    const std::string command = "cd '" + folder.path.string() + "' && " + kEnvironment + FBXRENDER_PATH
        + " cube.fbx cube.png --view iso --no-shadows 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const Image image = ReadPng(folder / "cube.png");
    EXPECT_EQ(image.width, 512);
    EXPECT_GT(image.Coverage(), 0.3);
    EXPECT_TRUE(image.Clear(0, 0));
}

namespace {

// How many opaque pixels are clearly red, and how many clearly blue.
std::pair<int, int> RedAndBluePixels(const Image& image)
{
    int red = 0, blue = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (!image.Opaque(x, y))
                continue;
            const unsigned char* pixel = image.At(x, y);
            red += pixel[0] > 2 * pixel[2] + 20 ? 1 : 0;
            blue += pixel[2] > 2 * pixel[0] + 20 ? 1 : 0;
        }
    return { red, blue };
}

} // namespace

TEST(FbxRenderTool, AnImageEmbeddedInTheFileIsDrawnWhenNoFileHasIt)
{
    // Blender's cube with a red and blue checker that exists only inside the file, whatever way up
    // the cube arrives.
    Folder folder;
    const std::string cube = folder / "cube.fbx";
    fs::copy_file(EMBEDDED_TEXTURE_FILES "/cube-embedded-checker.fbx", cube);
    ToolRun run = RunFbxRender(cube, folder / "embedded.png", "--size 128 --view iso");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    const auto [red, blue] = RedAndBluePixels(ReadPng(folder / "embedded.png"));
    EXPECT_GT(red, 100);
    EXPECT_GT(blue, 100);

    // A file of that name beside the model is drawn instead; something by that name that is not a
    // file is said to be so, and the embedded image is not what the message is about.
    WriteChecker(folder / "checker.png");
    run = RunFbxRender(cube, folder / "beside.png", "--size 128 --view iso");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(RedAndBluePixels(ReadPng(folder / "beside.png")), std::make_pair(0, 0));
    fs::remove(folder / "checker.png");
    ASSERT_EQ(mkfifo((folder / "checker.png").c_str(), 0600), 0);
    run = RunFbxRender(cube, folder / "fifo.png", "--size 128 --view iso");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output,
        folder / "checker.png" + ": cannot be read: it is not a regular file; the default texture is drawn instead\n");
}

TEST(FbxRenderTool, AnEmbeddedImageThatCannotBeUsedIsNamedWithItsFile)
{
    // The same cube with the embedded PNG's header saying 60000 x 60000 RGB pixels: refused from its
    // header, as a file would be.
    std::ifstream in(EMBEDDED_TEXTURE_FILES "/cube-embedded-checker.fbx", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t ihdr = bytes.find("IHDR");
    ASSERT_NE(ihdr, std::string::npos);
    const std::string side = { '\0', '\0', '\xEA', '\x60' }; // 60000, big-endian
    bytes.replace(ihdr + 4, 4, side);
    bytes.replace(ihdr + 8, 4, side);
    Folder folder;
    const std::string cube = folder / "cube.fbx";
    std::ofstream(cube, std::ios::binary) << bytes;
    const ToolRun run = RunFbxRender(cube, folder / "out.png", "--size 64");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output,
        cube
            + ": embedded image \"cube-embedded-checker.fbm/checker.png\" is 60000 x 60000 pixels (10800000000 bytes "
              "decoded), more than a texture may be (16384 x 16384, 268435456 bytes); the default texture is drawn "
              "instead\n");
}

TEST(FbxRenderTool, ShadersThatDoNotLinkEndItWithStatusSixAndWriteNothing)
{
    // The program's shaders, the fragment one without its main function: each compiles, the two do
    // not link.
    Folder folder;
    fs::create_directories(folder.path / "Assets" / "Shaders");
    fs::copy_file("Assets/Shaders/DefaultVS.glsl", folder.path / "Assets/Shaders/DefaultVS.glsl");
    std::ofstream(folder.path / "Assets/Shaders/DefaultFS.glsl") << "#version 460 core\nout vec4 colour;\n";
    fs::copy("Assets/Textures", folder.path / "Assets/Textures");
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    Save(writer, folder / "cube.fbx");
    const ToolRun run = RunCommand(
        "cd '" + folder.path.string() + "' && " + kEnvironment + FBXRENDER_PATH + " cube.fbx cube.png 2>&1");
    EXPECT_EQ(run.status, 6) << run.output;
    EXPECT_EQ(run.output.rfind("Assets/Shaders/DefaultFS.glsl and Assets/Shaders/DefaultVS.glsl: do not link into a "
                               "program, so nothing drawn with them is seen; the linker's log follows\n"
                               "ERROR::SHADER::PROGRAM::LINKING_FAILED\n",
                  0),
        0u)
        << run.output;
    EXPECT_NE(run.output.find("make no program to draw with; nothing is written\n"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(folder.path / "cube.png"));
}
