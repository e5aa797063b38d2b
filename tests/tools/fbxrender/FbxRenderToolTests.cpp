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
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
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
// What no run may exceed, however hostile its file: generous bounds for a slow, busy machine. A
// sanitized Debug build keeps the sanitizers' shadow memory and quarantine and runs several times
// slower: it is held to bounds that allow for that.
#if defined(FBXRENDER_SANITIZED)
constexpr long kSanitizerMemoryAllowance = 3;
constexpr double kSanitizerTimeAllowance = 4.0;
#else
constexpr long kSanitizerMemoryAllowance = 1;
constexpr double kSanitizerTimeAllowance = 1.0;
#endif
constexpr long kPeakKilobytesLimit = 512 * 1024 * kSanitizerMemoryAllowance;
constexpr double kSecondsLimit = 10.0 * kSanitizerTimeAllowance;
constexpr int kOkWithWarnings = 1;
constexpr int kUsageStatus = 64;
constexpr int kCannotWriteStatus = 73;

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
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One run of the tool, measured from outside it by measured-run (tests/Support/MeasuredRun.cpp).
struct ToolRun {
    std::string output; // standard output
    std::string errors; // standard error
    bool exited = false; // ended by returning from main, not by a signal
    int status = -1;
    long peakKilobytes = -1; // the most memory it held resident
    double seconds = 0.0;

    std::string Said() const { return "standard output:\n" + output + "standard error:\n" + errors; }
};

// Runs the tool on `file` and `out` (quoted for the shell) with `options` after them, from the
// working directory `directory` (the project root when empty).
ToolRun RunFbxRender(
    const std::string& file, const std::string& out, const std::string& options = "", const std::string& directory = "")
{
    const Folder records;
    // Appended piece by piece: gcc 12 at -O3 warns falsely (-Wrestrict) about "'" + std::string&&.
    std::string command;
    if (!directory.empty()) {
        command += "cd '";
        command += directory;
        command += "' && ";
    }
    command += MEASURED_RUN_PATH;
    command += " 3 /usr/bin/";
    command += kEnvironment;
    command += FBXRENDER_PATH;
    for (const std::string* path : { &file, &out }) {
        command += " '";
        command += *path;
        command += "'";
    }
    command += " ";
    command += options;
    command += " 3>'" + (records / "report") + "' 2>'" + (records / "errors") + "'";
    const CommandRun run = RunCommand(command);

    ToolRun tool;
    tool.output = run.output;
    tool.errors = ReadText(records.path / "errors");
    char ending[8] = {};
    int code = -1;
    long long micros = 0;
    if (std::sscanf(ReadText(records.path / "report").c_str(), "%7s %d peak-kb %ld elapsed-us %lld", ending, &code,
            &tool.peakKilobytes, &micros)
        == 4) {
        tool.exited = std::string(ending) == "exit";
        tool.status = tool.exited ? code : -1;
        tool.seconds = double(micros) / 1e6;
    }
    return tool;
}

// The run ended by itself within the bounds no file may push it past.
void ExpectWithinBounds(const ToolRun& run, const std::string& what)
{
    EXPECT_TRUE(run.exited) << what << ": ended by a signal\n" << run.Said();
    EXPECT_GT(run.peakKilobytes, 0) << what;
    EXPECT_LT(run.peakKilobytes, kPeakKilobytesLimit) << what;
    EXPECT_LT(run.seconds, kSecondsLimit) << what;
}

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
    EXPECT_LE(run.status, 1) << run.Said();
    return out;
}

} // namespace

TEST(FbxRenderTool, UnitCubeFromTheFrontIsACentredLitSquareAndTheJsonAndTheWarningsDescribeIt)
{
    Folder folder;
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    const std::string cube = Save(writer, folder / "cube.fbx");
    const std::string out = folder / "front.png";

    const ToolRun run = RunFbxRender(cube, out, "--size 256 --view front --json");
    // The box has no UVs: the import warns, and the picture is still written.
    ASSERT_EQ(run.status, kOkWithWarnings) << run.Said();
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

    // Standard output is the JSON line and nothing else.
    ASSERT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.Said();
    rapidjson::Document json;
    json.Parse(run.output.c_str());
    ASSERT_TRUE(json.IsObject()) << run.Said();
    EXPECT_EQ(json["status"].GetInt(), 1);
    EXPECT_EQ(json["width"].GetInt(), kSize);
    EXPECT_EQ(json["height"].GetInt(), kSize);
    EXPECT_NEAR(json["coverage"].GetDouble(), image.Coverage(), 1e-6);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_NEAR(json["box"]["max"][axis].GetDouble() - json["box"]["min"][axis].GetDouble(), 1.0, 1e-5);
    ASSERT_EQ(json["views"].Size(), 1u);
    EXPECT_STREQ(json["views"][0]["view"].GetString(), "front");
    EXPECT_NEAR(json["views"][0]["coverage"].GetDouble(), image.Coverage(), 1e-6);

    // The status of 1 says which warnings, and how many, on standard error: the cube's one mesh
    // lacks UVs and nothing else.
    EXPECT_NE(run.errors.find("warning MissingUVs: 1\n"), std::string::npos) << run.Said();
    EXPECT_EQ(run.errors.find("warning", run.errors.find("warning MissingUVs") + 1), std::string::npos) << run.Said();
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
    EXPECT_NE(run.errors.find("nowhere.png"), std::string::npos) << run.Said();
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
    EXPECT_EQ(run.status, 4) << run.Said();
    EXPECT_NE(run.errors.find("not found"), std::string::npos) << run.Said();
    EXPECT_TRUE(nothingWritten());

    fbxio::SceneWriter empty;
    empty.AddMaterial("Unused");
    run = RunFbxRender(Save(empty, folder / "empty.fbx"), target);
    EXPECT_EQ(run.status, 7) << run.Said();
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
    EXPECT_EQ(run.status, 2) << run.Said();
    EXPECT_FALSE(run.errors.empty());
    EXPECT_TRUE(nothingWritten());

    // A command line it cannot follow is not an import status.
    run = RunFbxRender(broken, target, "--view sideways");
    EXPECT_EQ(run.status, kUsageStatus);
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

// The brightest less the darkest of four points around a place on the model, a little way along the
// picture's diagonals from it: a flat face shows one shade there, a pyramid seen from its tip four.
double ShadesAround(const Image& image, double x, double y, double reach)
{
    double low = 1.0, high = 0.0;
    for (const double dx : { -reach, reach })
        for (const double dy : { -reach, reach }) {
            const double value = image.Brightness(int(x + dx), int(y + dy));
            low = std::min(low, value);
            high = std::max(high, value);
        }
    return high - low;
}

// The share of the opaque pixels whose colour has clipped to white.
double WhiteShare(const Image& image)
{
    int opaque = 0, white = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.Opaque(x, y)) {
                ++opaque;
                const unsigned char* pixel = image.At(x, y);
                white += pixel[0] == 255 && pixel[1] == 255 && pixel[2] == 255 ? 1 : 0;
            }
    return opaque == 0 ? 0.0 : double(white) / opaque;
}

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

TEST(FbxRenderTool, ABlenderHeadLooksAtTheFrontViewWithItsNoseOnItsRight)
{
    // Exported by Blender with its default settings (tests/Assets/BlenderFiles): a head 1 m wide,
    // 1.2 m tall and 0.8 m deep facing Blender's front, with a four-sided nose 0.4 m long whose tip is
    // 0.2 m to the right of the middle and 0.2 m above it. The file keeps metres under a node scaled by
    // 100 and turned from z up: a head read without its node would lie face down, a hundredth the size.
    Folder folder;
    const std::string head = "tests/Assets/BlenderFiles/head.fbx";
    const Image front = ReadPng(View(folder, head, "front"));
    const Image back = ReadPng(View(folder, head, "back"));
    ASSERT_EQ(front.width, kSize);
    ASSERT_EQ(back.width, kSize);

    // The head fills 100 x 120 cm across the front view, as Blender has it.
    const double pixelsPerCentimetre = kSize * kFramedShare / 120.0;
    const auto [left, top, right, bottom] = OpaqueBounds(front);
    EXPECT_NEAR(right - left + 1, 100.0 * pixelsPerCentimetre, 2.0);
    EXPECT_NEAR(bottom - top + 1, 120.0 * pixelsPerCentimetre, 2.0);

    // Seen from the front, the nose's four sides take the light four ways; where a nose on the wrong
    // side would be, the face is flat.
    const double centre = (kSize - 1) / 2.0;
    const double noseX = centre + 20.0 * pixelsPerCentimetre, noseY = centre - 20.0 * pixelsPerCentimetre;
    const double mirroredX = kSize - 1 - noseX;
    const double reach = 6.0 * pixelsPerCentimetre;
    EXPECT_GT(ShadesAround(front, noseX, noseY, reach), 0.15) << "no nose at the front";
    EXPECT_LT(ShadesAround(front, mirroredX, noseY, reach), 0.02) << "the face is mirrored";
    // From behind, the nose is hidden (on the picture's left, as the view is turned round): the back
    // of the head is flat everywhere.
    EXPECT_LT(ShadesAround(back, mirroredX, noseY, reach), 0.02) << "the head faces backwards";
    EXPECT_LT(ShadesAround(back, noseX, noseY, reach), 0.02) << "the head faces backwards";
}

TEST(FbxRenderTool, IsoSeesThreeSidesTheLightLightsEachDifferently)
{
    Folder folder;
    fbxio::SceneWriter cubeWriter;
    cubeWriter.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    const Image cube = ReadPng(View(folder, Save(cubeWriter, folder / "cube.fbx"), "iso"));
    ASSERT_EQ(cube.width, kSize);
    // Seen from (1, 1, -1): the top face above the centre, the front (-z) face below and to the left,
    // the right (+x) face below and to the right. The light comes down from the (-1, 1, -1) side: it
    // lights the top most, the front less and the right face not at all.
    const int c = kSize / 2, step = kSize / 6;
    const double top = cube.Brightness(c, c - step), front = cube.Brightness(c - step, c + step / 2),
                 right = cube.Brightness(c + step, c + step / 2);
    EXPECT_GT(top, front + 0.05);
    EXPECT_GT(front, right + 0.05);
    EXPECT_NEAR(right, AmbientBrightness(), 0.03);

    // A round model is not washed out: seen from near the light's own direction half of a sphere's
    // pixels clipped to white; from iso no more than from the front.
    fbxio::SceneWriter sphereWriter;
    sphereWriter.AddMesh("Sphere", toolmeshes::Sphere(50, 32, 48));
    const std::string sphere = Save(sphereWriter, folder / "sphere.fbx");
    const double isoWhite = WhiteShare(ReadPng(View(folder, sphere, "iso")));
    EXPECT_LT(isoWhite, WhiteShare(ReadPng(View(folder, sphere, "front"))) + 0.02);
    EXPECT_LT(isoWhite, 0.35);
}

TEST(FbxRenderTool, SeveralViewsImportTheFileOnceAndNameEachPictureForItsView)
{
    Folder folder;
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    const std::string cube = Save(writer, folder / "cube.fbx");

    const ToolRun all = RunFbxRender(cube, folder / "all.png", "--size 64 --view all --json");
    ASSERT_EQ(all.status, kOkWithWarnings) << all.Said();
    const char* const views[] = { "front", "back", "left", "right", "top", "bottom", "iso" };
    for (const char* view : views)
        EXPECT_EQ(ReadPng(folder / ("all-" + std::string(view) + ".png")).width, 64) << view;
    EXPECT_FALSE(fs::exists(folder.path / "all.png"));
    // One import: its warning is said once.
    const std::size_t warning = all.errors.find("warning MissingUVs");
    ASSERT_NE(warning, std::string::npos) << all.Said();
    EXPECT_EQ(all.errors.find("warning MissingUVs", warning + 1), std::string::npos) << all.Said();
    rapidjson::Document json;
    json.Parse(all.output.c_str());
    ASSERT_TRUE(json.IsObject()) << all.Said();
    ASSERT_EQ(json["views"].Size(), std::size(views));
    for (rapidjson::SizeType k = 0; k < json["views"].Size(); ++k)
        EXPECT_STREQ(json["views"][k]["view"].GetString(), views[k]);

    // Each picture is the one that view alone draws.
    const ToolRun iso = RunFbxRender(cube, folder / "iso.png", "--size 64 --view iso");
    ASSERT_EQ(iso.status, kOkWithWarnings) << iso.Said();
    EXPECT_EQ(ReadPng(folder / "all-iso.png").rgba, ReadPng(folder / "iso.png").rgba);

    // --view given twice: those two views, each named.
    const ToolRun two = RunFbxRender(cube, folder / "two.PNG", "--size 64 --view top --view left");
    ASSERT_EQ(two.status, kOkWithWarnings) << two.Said();
    EXPECT_EQ(ReadPng(folder / "two-top.PNG").width, 64);
    EXPECT_EQ(ReadPng(folder / "two-left.PNG").width, 64);
    EXPECT_EQ(ReadPng(folder / "all-top.png").rgba, ReadPng(folder / "two-top.PNG").rgba);
    EXPECT_FALSE(fs::exists(folder.path / "two-front.PNG"));
    EXPECT_FALSE(fs::exists(folder.path / "two.PNG"));
}

TEST(FbxRenderTool, CommandLinesItCannotFollowAreRefusedWithAMessageAndNothingWritten)
{
    Folder folder;
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    const std::string cube = Save(writer, folder / "cube.fbx");
    const auto refused = [&](const std::string& out, const std::string& options, const std::string& message) {
        const ToolRun run = RunFbxRender(cube, folder / out, options);
        EXPECT_EQ(run.status, kUsageStatus) << options << "\n" << run.Said();
        EXPECT_NE(run.errors.find(message), std::string::npos) << options << "\n" << run.Said();
        EXPECT_TRUE(run.output.empty()) << run.Said();
    };
    refused("picture.txt", "", "must end in .png");
    refused("picture", "--json", "must end in .png");
    refused("picture.png", "--size", "--size needs a value");
    refused("picture.png", "--view", "--view needs a value");
    refused("picture.png", "--size 0", "--size takes a whole number from 1 to 8192");
    refused("picture.png", "--view sideways", "unknown view \"sideways\"");
    for (const auto& entry : fs::directory_iterator(folder.path))
        EXPECT_EQ(entry.path().filename(), "cube.fbx");
}

TEST(FbxRenderTool, OnlyARegularFileIsEverReplacedAndAPictureThatCannotBeWrittenSaysWhy)
{
    Folder folder;
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    const std::string cube = Save(writer, folder / "cube.fbx");
    const auto render = [&](const std::string& out) {
        const ToolRun run = RunFbxRender(cube, folder / out, "--size 32");
        ExpectWithinBounds(run, out);
        return run;
    };
    const auto refused = [&](const std::string& out, const std::string& reason) {
        const ToolRun run = render(out);
        EXPECT_EQ(run.status, kCannotWriteStatus) << out << "\n" << run.Said();
        EXPECT_NE(run.errors.find(folder / out), std::string::npos) << run.Said();
        EXPECT_NE(run.errors.find(reason), std::string::npos) << out << "\n" << run.Said();
    };

    // A FIFO, a folder and a device stay what they were. The device is made in the test's own folder
    // (as /dev/null is made) where the test may make one: as root.
    ASSERT_EQ(mkfifo((folder / "fifo.png").c_str(), 0600), 0);
    refused("fifo.png", "FIFO");
    EXPECT_TRUE(fs::is_fifo(folder.path / "fifo.png"));
    fs::create_directory(folder.path / "folder.png");
    refused("folder.png", "folder");
    EXPECT_TRUE(fs::is_directory(folder.path / "folder.png"));
    EXPECT_TRUE(fs::is_empty(folder.path / "folder.png"));
    if (geteuid() == 0) {
        ASSERT_EQ(mknod((folder / "null.png").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        refused("null.png", "character device");
        EXPECT_TRUE(fs::is_character_file(folder.path / "null.png"));
    }

    // A link is written through: the link stays, the file it names gets the picture, made anew or
    // replaced. A link to what may not be replaced is refused like it.
    fs::create_symlink("named.png", folder.path / "link.png");
    EXPECT_EQ(render("link.png").status, kOkWithWarnings);
    EXPECT_TRUE(fs::is_symlink(folder.path / "link.png"));
    EXPECT_EQ(ReadPng(folder / "named.png").width, 32);
    std::ofstream(folder.path / "old.png") << "old";
    fs::create_symlink(folder.path / "old.png", folder.path / "absolute.png");
    EXPECT_EQ(render("absolute.png").status, kOkWithWarnings);
    EXPECT_TRUE(fs::is_symlink(folder.path / "absolute.png"));
    EXPECT_EQ(ReadPng(folder / "old.png").width, 32);
    fs::create_symlink("fifo.png", folder.path / "to-fifo.png");
    refused("to-fifo.png", "FIFO");
    EXPECT_TRUE(fs::is_fifo(folder.path / "fifo.png"));
    fs::create_symlink("loop-b.png", folder.path / "loop-a.png");
    fs::create_symlink("loop-a.png", folder.path / "loop-b.png");
    refused("loop-a.png", "symbolic links");

    // A regular file is replaced by a rename, never written in place: another name for the old file
    // keeps the old bytes.
    std::ofstream(folder.path / "picture.png") << "old";
    fs::create_hard_link(folder.path / "picture.png", folder.path / "other-name.png");
    EXPECT_EQ(render("picture.png").status, kOkWithWarnings);
    EXPECT_EQ(ReadPng(folder / "picture.png").width, 32);
    EXPECT_EQ(ReadText(folder.path / "other-name.png"), "old");

    // A folder that is not there is named with the system's reason.
    refused("missing/picture.png", "No such file or directory");
    refused("old.png/picture.png", "Not a directory");

    // No temporary file is left behind by any of it.
    for (const auto& entry : fs::directory_iterator(folder.path))
        EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos) << entry.path();
}

TEST(FbxRenderTool, TwentyThousandMeshesAreAllDrawnWithinBoundedMemoryAndTime)
{
    // A quad each, in rows of 200 two units apart, facing the front view.
    constexpr int kMeshes = 20000, kColumns = 200, kRows = kMeshes / kColumns, kPicture = 1024;
    Folder folder;
    fbxio::SceneWriter writer;
    for (int k = 0; k < kMeshes; ++k) {
        fbxio::MeshData quad;
        const double x = 2.0 * (k % kColumns), y = 2.0 * (k / kColumns);
        quad.points = { x, y, 0, x + 1, y, 0, x, y + 1, 0, x + 1, y + 1, 0 };
        // The file's +z is the engine's -z: towards the front view's camera.
        quad.polygons = { { 0, 1, 3, 2 } };
        quad.layers = { { fbxio::LayerKind::Normal, fbxio::Mapping::ByControlPoint, fbxio::Reference::Direct, "",
            { 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1 }, {} } };
        writer.AddMesh("Quad" + std::to_string(k), std::move(quad));
    }
    const std::string model = Save(writer, folder / "quads.fbx");

    const ToolRun run = RunFbxRender(model, folder / "quads.png", "--size " + std::to_string(kPicture));
    ExpectWithinBounds(run, "20,000 meshes");
    ASSERT_EQ(run.status, kOkWithWarnings) << run.Said();
    const Image image = ReadPng(folder / "quads.png");
    ASSERT_EQ(image.width, kPicture);

    // The model spans 399 x 199 units; the picture frames its width. Every quad's middle is drawn,
    // and the gap to its right is not.
    const double unit = kPicture * kFramedShare / (2.0 * kColumns - 1.0);
    const double left = kPicture * (1.0 - kFramedShare) / 2.0;
    const double bottom = kPicture / 2.0 + unit * (2.0 * kRows - 1.0) / 2.0;
    int missing = 0, smeared = 0;
    for (int k = 0; k < kMeshes; ++k) {
        const double x = left + unit * (2.0 * (k % kColumns) + 0.5), y = bottom - unit * (2.0 * (k / kColumns) + 0.5);
        missing += image.Opaque(int(x), int(y)) ? 0 : 1;
        smeared += k % kColumns != kColumns - 1 && !image.Clear(int(x + unit), int(y)) ? 1 : 0;
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(smeared, 0);
}

TEST(FbxRenderTool, StandardOutputHoldsTheJsonAloneWithNullForWhatIsNotANumber)
{
    Folder folder;
    // Two triangles, one with a corner beyond what a float holds: the box reaches infinity.
    fbxio::MeshData far;
    far.points = { 0, 0, 0, 1, 0, 0, 0, 1, 0, 1e39, 0, 0 };
    far.polygons = { { 0, 1, 2 }, { 1, 3, 2 } };
    fbxio::SceneWriter writer;
    writer.AddMesh("Far", far);
    const std::string farModel = Save(writer, folder / "far.fbx");
    const ToolRun run = RunFbxRender(farModel, folder / "far.png", "--size 32 --json");
    ExpectWithinBounds(run, "an infinite box");
    ASSERT_LE(run.status, kOkWithWarnings) << run.Said();
    ASSERT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.Said();
    rapidjson::Document json;
    json.Parse(run.output.c_str());
    ASSERT_TRUE(json.IsObject()) << run.Said();
    EXPECT_TRUE(json["box"]["max"][0].IsNull()) << run.output;
    EXPECT_EQ(json["box"]["max"][1].GetDouble(), 1.0) << run.output;

    // A shader that does not compile, read from the working directory as the program reads it: its
    // compiler log goes to standard error, and standard output holds nothing but the JSON line.
    const fs::path shaders = folder.path / "Assets" / "Shaders", textures = folder.path / "Assets" / "Textures";
    fs::create_directories(shaders);
    fs::create_directories(folder.path / "Settings");
    fs::copy("Assets/Textures", textures);
    fs::copy("Assets/Shaders/DefaultFS.glsl", shaders / "DefaultFS.glsl");
    std::ofstream(shaders / "DefaultVS.glsl") << "#version 460 core\nvoid main() { undeclared = 1.0; }\n";
    fbxio::SceneWriter cubeWriter;
    cubeWriter.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    const std::string cube = Save(cubeWriter, folder / "cube.fbx");
    const ToolRun broken = RunFbxRender(cube, folder / "broken.png", "--size 32 --json", folder.path.string());
    ExpectWithinBounds(broken, "a broken shader");
    EXPECT_NE(broken.errors.find("undeclared"), std::string::npos) << broken.Said();
    EXPECT_EQ(broken.output.find("undeclared"), std::string::npos) << broken.Said();
    // Without a program to draw with nothing is drawn: a failure, with no picture and no JSON line.
    EXPECT_EQ(broken.status, 6) << broken.Said();
    EXPECT_EQ(broken.output, "") << broken.Said();
    EXPECT_FALSE(fs::exists(folder.path / "broken.png"));
}

TEST(FbxRenderTool, AnswersHelpAndVersionOnStandardOutputAndRefusesUnknownOptionsWith64)
{
    const std::string tool = std::string(kEnvironment) + FBXRENDER_PATH;
    const CommandRun help = RunCommandWithErrors(tool + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: fbxrender FILE OUT.png", 0), 0u) << help.output;
    EXPECT_EQ(help.errors, "");

    const CommandRun version = RunCommandWithErrors(tool + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "fbxrender (Tarnwick) " + std::string(TARNWICK_VERSION) + "\n");
    EXPECT_EQ(version.errors, "");

    Folder folder;
    const CommandRun unknown = RunCommandWithErrors(tool + " model.fbx '" + (folder / "out.png") + "' --fast");
    EXPECT_EQ(unknown.status, 64);
    EXPECT_EQ(unknown.output, "");
    EXPECT_EQ(unknown.errors, "fbxrender: unknown option \"--fast\"\n" + help.output);
    EXPECT_TRUE(fs::is_empty(folder.path));
}

TEST(FbxRenderTool, ACopyAwayFromItsBuildAndItsDataSaysWhereItLookedAndEndsWith72)
{
    // A copy in a bin/ folder of its own, with no share/tarnwick beside it, run from a folder without
    // the data: nowhere to find its shaders, and nothing drawn without them.
    Folder folder;
    fs::create_directories(folder.path / "bin");
    fs::create_directories(folder.path / "work");
    fs::copy_file(FBXRENDER_PATH, folder.path / "bin" / "fbxrender");
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    Save(writer, folder / "work/cube.fbx");
    const CommandRun run = RunCommandWithErrors(
        "cd '" + (folder / "work") + "' && " + kEnvironment + "../bin/fbxrender cube.fbx cube.png");
    EXPECT_EQ(run.status, 72) << run.errors;
    EXPECT_EQ(run.errors,
        "fbxrender: no data folder (Assets/ and Settings/) in " + (folder / "work") + " (the working directory) or "
            + (folder / "share/tarnwick") + " (installed with the program)\n");
    EXPECT_FALSE(fs::exists(folder.path / "work" / "cube.png"));

    // With the data installed beside it, the same copy draws from the same folder.
    fs::create_directories(folder.path / "share" / "tarnwick");
    for (const char* part : { "Assets", "Settings" })
        fs::copy(fs::current_path() / part, folder.path / "share" / "tarnwick" / part, fs::copy_options::recursive);
    const CommandRun installed = RunCommandWithErrors(
        "cd '" + (folder / "work") + "' && " + kEnvironment + "../bin/fbxrender cube.fbx cube.png");
    EXPECT_EQ(installed.status, 1) << installed.errors;
    EXPECT_GT(ReadPng(folder / "work/cube.png").Coverage(), 0.3);
}

TEST(FbxRenderTool, AnImageEmbeddedInTheFileIsDrawnWhenNoFileHasIt)
{
    // Blender's cube with a red and blue checker that exists only inside the file, whatever way up
    // the cube arrives.
    Folder folder;
    const std::string cube = folder / "cube.fbx";
    fs::copy_file(EMBEDDED_TEXTURE_FILES "/cube-embedded-checker.fbx", cube);
    ToolRun run = RunFbxRender(cube, folder / "embedded.png", "--size 128 --view iso");
    EXPECT_EQ(run.status, 0) << run.Said();
    EXPECT_EQ(run.errors, "");
    const auto [red, blue] = RedAndBluePixels(ReadPng(folder / "embedded.png"));
    EXPECT_GT(red, 100);
    EXPECT_GT(blue, 100);

    // A file of that name beside the model is drawn instead; something by that name that is not a
    // file is said to be so, and the embedded image is not what the message is about.
    WriteChecker(folder / "checker.png");
    run = RunFbxRender(cube, folder / "beside.png", "--size 128 --view iso");
    EXPECT_EQ(run.status, 0) << run.Said();
    EXPECT_EQ(RedAndBluePixels(ReadPng(folder / "beside.png")), std::make_pair(0, 0));
    fs::remove(folder / "checker.png");
    ASSERT_EQ(mkfifo((folder / "checker.png").c_str(), 0600), 0);
    run = RunFbxRender(cube, folder / "fifo.png", "--size 128 --view iso");
    EXPECT_EQ(run.status, 0) << run.Said();
    EXPECT_EQ(run.errors,
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
    EXPECT_EQ(run.status, 0) << run.Said();
    EXPECT_EQ(run.errors,
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
    fs::create_directories(folder.path / "Settings");
    fs::copy_file("Assets/Shaders/DefaultVS.glsl", folder.path / "Assets/Shaders/DefaultVS.glsl");
    std::ofstream(folder.path / "Assets/Shaders/DefaultFS.glsl") << "#version 460 core\nout vec4 colour;\n";
    fs::copy("Assets/Textures", folder.path / "Assets/Textures");
    fbxio::SceneWriter writer;
    writer.AddMesh("Cube", toolmeshes::Box(1, 1, 1));
    Save(writer, folder / "cube.fbx");
    const CommandRun run = RunCommand(
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
