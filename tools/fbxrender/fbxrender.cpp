// fbxrender FILE OUT.png [--size N] [--view VIEW] [--no-shadows] [--json]: a picture of an FBX file as
// the engine imports, lights and draws it, made with or without a display (ModelPicture.h). The exit
// status is the import status: 0 or 1 with the picture written, 2, 3, 4 or 7 with nothing written;
// 5 when no OpenGL 4.6 context could be made, 72 when its data folder is nowhere to be found.
#include "Assets/FbxImport.h"
#include "Assets/ModelCache.h"
#include "BuildInfo.h"
#include "Core/DataFolder.h"
#include "ModelPicture.h"
#include "PngFile.h"

#include <OffscreenGl/OffscreenGl.h>
#include <Platform/ExecutablePath.h>
#include <glad/gl.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// sysexits.h's EX_USAGE and EX_CANTCREAT: the command line was wrong, or the picture could not be
// written. 5 is what the program itself ends with when it gets no OpenGL 4.6.
constexpr int kUsageStatus = 64;
constexpr int kNoGlStatus = 5;
constexpr int kCannotWriteStatus = 73;
// sysexits.h's EX_OSFILE: a file the tool itself needs (its shaders and textures) is missing.
constexpr int kNoDataStatus = 72;

constexpr int kDefaultSize = 512;
// Beyond this a software rasteriser's framebuffer and the read-back copy run to gigabytes.
constexpr int kMaxSize = 8192;

constexpr const char* kUsage
    = "usage: fbxrender FILE OUT.png [--size N] [--view front|back|left|right|top|bottom|iso] [--no-shadows] [--json]\n"
      "       fbxrender --help | --version\n"
      "\n"
      "Draws FILE as the program would: imported as the model cache imports it, every mesh with the\n"
      "default material (its diffuse texture where it is found beside FILE or in a textures/ folder\n"
      "next to it), lit and shadowed by the scene's light. Orthographic, framing the whole file's box\n"
      "with a 5 % margin, N x N pixels (default 512), transparent where there is no model.\n"
      "front looks along +z (+x right, +y up), back along -z, left along +x, right along -x, top down\n"
      "-y (+z up), bottom up +y, iso from the (-1, 1, -1) side.\n"
      "Needs no display. Exit status: the import status (0 Ok, 1 OkWithWarnings: picture written;\n"
      "2 ReadFailed, 3 NoImporter, 4 FileNotFound, 7 NoMeshes: nothing written), 5 when no OpenGL 4.6\n"
      "context could be made, 72 when its data folder (Assets/, Settings/) is found neither in the\n"
      "working directory nor installed with it. --json prints one line: status, width, height, coverage,\n"
      "box.\n";

// A copy run from the build tree it was built in also finds the data in the source tree, so that a
// developer's fresh build draws from any folder. An installed copy never looks there.
constexpr const char* kSourceTree = TARNWICK_SOURCE_DIR;
constexpr const char* kBuildTree = TARNWICK_BINARY_DIR;

struct Options {
    std::filesystem::path input;
    std::filesystem::path output;
    int size = kDefaultSize;
    View view = View::Front;
    bool shadows = true;
    bool json = false;
    bool help = false;
    bool version = false;
};

std::optional<int> ParseSize(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxSize)
        return std::nullopt;
    return value;
}

// Null with a message on standard error when the command line is wrong.
std::optional<Options> ParseOptions(int argc, char** argv)
{
    Options options;
    int positional = 0;
    for (int k = 1; k < argc; ++k) {
        const std::string_view argument = argv[k];
        const bool hasValue = k + 1 < argc;
        if (argument == "--help") {
            // Asked for text: the rest of the command line is not looked at.
            options.help = true;
            return options;
        } else if (argument == "--version") {
            options.version = true;
            return options;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--no-shadows") {
            options.shadows = false;
        } else if (argument == "--size" && hasValue) {
            const auto size = ParseSize(argv[++k]);
            if (!size) {
                std::cerr << "fbxrender: --size takes a whole number from 1 to " << kMaxSize << std::endl;
                return std::nullopt;
            }
            options.size = *size;
        } else if (argument == "--view" && hasValue) {
            const auto view = ViewNamed(argv[++k]);
            if (!view) {
                std::cerr << "fbxrender: unknown view \"" << argv[k] << "\"" << std::endl;
                return std::nullopt;
            }
            options.view = *view;
        } else if (argument.starts_with("-") && argument.size() > 1) {
            std::cerr << "fbxrender: unknown option \"" << argument << "\"" << std::endl;
            return std::nullopt;
        } else if (positional == 2) {
            std::cerr << "fbxrender: unexpected argument \"" << argument << "\"" << std::endl;
            return std::nullopt;
        } else {
            (positional++ == 0 ? options.input : options.output) = argument;
        }
    }
    if (positional != 2)
        return std::nullopt;
    return options;
}

// The shaders and default textures are read as the program reads them: from the working directory,
// the installed data folder, or for a build-tree copy the source tree.
std::vector<DataPlace> DataPlaces()
{
    std::vector<DataPlace> places = StandardDataPlaces(buildinfo::kDataFolderFromPrograms);
    // Both resolved, symbolic links and all, as the system names the executable.
    std::error_code error;
    const std::filesystem::path buildTree = std::filesystem::weakly_canonical(kBuildTree, error);
    const std::filesystem::path executable = ExecutablePath();
    const bool inBuildTree = !error && !executable.empty()
        && std::mismatch(buildTree.begin(), buildTree.end(), executable.begin(), executable.end()).first
            == buildTree.end();
    if (inBuildTree)
        places.push_back({ kSourceTree, "the source tree it was built from" });
    return places;
}

// False, with the places looked in said on standard error, when none holds the data.
bool EnterTheDataFolder()
{
    std::string problem;
    if (EnterDataFolder(DataPlaces(), problem))
        return true;
    std::cerr << "fbxrender: " << problem << std::endl;
    return false;
}

std::string DescribeImportFailure(ImportStatus status)
{
    switch (status) {
    case ImportStatus::FileNotFound: return "not found";
    case ImportStatus::ReadFailed: return "cannot be read: " + GetFbxContext().lastError;
    case ImportStatus::NoImporter: return "cannot be imported: the FBX importer could not be created";
    case ImportStatus::NoMeshes: return "has no mesh to draw";
    default: return "cannot be imported";
    }
}

// The import status, with the reason said on standard error when it failed.
ImportStatus Import(const std::filesystem::path& file, ImportedModel& model)
{
    ImportStatus status = ImportStatus::ReadFailed;
    try {
        status = ImportModelFile(file, model).status;
    } catch (const std::exception& error) {
        std::cerr << "fbxrender: " << file.string() << ": cannot be imported: " << error.what() << std::endl;
        return ImportStatus::ReadFailed;
    }
    // A file whose only meshes are in LOD groups gives the program nothing to draw either.
    if (status <= ImportStatus::OkWithWarnings && model.meshes.empty())
        status = ImportStatus::NoMeshes;
    if (status > ImportStatus::OkWithWarnings)
        std::cerr << "fbxrender: " << file.string() << ": " << DescribeImportFailure(status) << std::endl;
    return status;
}

// The context, current and loaded, or null with the reason said on standard error.
std::unique_ptr<offscreengl::Context> MakeGlContext()
{
    std::string problem;
    auto context = offscreengl::CreateGl46Context(problem);
    if (context == nullptr)
        std::cerr << "fbxrender: " << problem << std::endl;
    return context;
}

std::string JsonLine(int status, const Picture& picture, const BoundingBox& box)
{
    std::ostringstream json;
    json.precision(9);
    json << "{\"status\": " << status << ", \"width\": " << picture.width << ", \"height\": " << picture.height
         << ", \"coverage\": " << picture.Coverage() << ", \"box\": {\"min\": [" << box.min.x << ", " << box.min.y
         << ", " << box.min.z << "], \"max\": [" << box.max.x << ", " << box.max.y << ", " << box.max.z << "]}}";
    return json.str();
}

} // namespace

int main(int argc, char** argv)
{
    const std::optional<Options> parsed = ParseOptions(argc, argv);
    if (!parsed) {
        std::fputs(kUsage, stderr);
        return kUsageStatus;
    }
    if (parsed->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parsed->version) {
        std::cout << "fbxrender (" << buildinfo::kProduct << ") " << buildinfo::kVersion << std::endl;
        return 0;
    }
    Options options = *parsed;
    // Both paths are the caller's, taken before the working directory may move to the data folder.
    std::error_code error;
    options.input = std::filesystem::absolute(options.input, error);
    options.output = std::filesystem::absolute(options.output, error);

    InitializeFbx();
    ImportedModel model;
    const ImportStatus status = Import(options.input, model);
    if (status > ImportStatus::OkWithWarnings)
        return static_cast<int>(status);

    if (!EnterTheDataFolder())
        return kNoDataStatus;

    const auto context = MakeGlContext();
    if (context == nullptr)
        return kNoGlStatus;

    Picture picture;
    BoundingBox box;
    {
        ModelStage stage(std::move(model), options.input);
        picture = stage.Draw(options.view, options.size, options.shadows);
        box = stage.Box();
    }
    std::string problem;
    if (!WritePng(picture, options.output, problem)) {
        std::cerr << "fbxrender: " << options.output.string() << ": " << problem << std::endl;
        return kCannotWriteStatus;
    }
    if (options.json)
        std::cout << JsonLine(static_cast<int>(status), picture, box) << std::endl;
    return static_cast<int>(status);
}
