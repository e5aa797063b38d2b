// fbxrender FILE OUT.png [--size N] [--view VIEW] [--no-shadows] [--json]: a picture of an FBX file as
// the engine imports, lights and draws it, made with or without a display (ModelPicture.h). The exit
// status is the import status: 0 or 1 with the picture written, 2, 3, 4 or 7 with nothing written;
// 5 when no OpenGL 4.6 context could be made, 6 when the shaders make no program to draw with.
#include "Assets/FbxImport.h"
#include "Assets/ModelCache.h"
#include "Graphics/Material.h"
#include "ModelPicture.h"
#include "PngFile.h"

#include <OffscreenGl/OffscreenGl.h>
#include <glad/gl.h>

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

namespace {

// sysexits.h's EX_USAGE and EX_CANTCREAT: the command line was wrong, or the picture could not be
// written. 5 is what the program itself ends with when it gets no OpenGL 4.6.
constexpr int kUsageStatus = 64;
constexpr int kNoGlStatus = 5;
constexpr int kNoProgramStatus = 6;
constexpr int kCannotWriteStatus = 73;

constexpr int kDefaultSize = 512;
// Beyond this a software rasteriser's framebuffer and the read-back copy run to gigabytes.
constexpr int kMaxSize = 8192;
constexpr int kGlVersionNeeded = 46;

constexpr const char* kUsage
    = "usage: fbxrender FILE OUT.png [--size N] [--view front|back|left|right|top|bottom|iso] [--no-shadows] [--json]\n"
      "\n"
      "Draws FILE as the program would: imported as the model cache imports it, every mesh with the\n"
      "default material (its diffuse texture where it is found beside FILE or in a textures/ folder\n"
      "next to it), lit and shadowed by the scene's light. Orthographic, framing the whole file's box\n"
      "with a 5 % margin, N x N pixels (default 512), transparent where there is no model.\n"
      "front looks along +z (+x right, +y up), back along -z, left along +x, right along -x, top down\n"
      "-y (+z up), bottom up +y, iso from the (-1, 1, -1) side.\n"
      "Needs no display. Exit status: the import status (0 Ok, 1 OkWithWarnings: picture written;\n"
      "2 ReadFailed, 3 NoImporter, 4 FileNotFound, 7 NoMeshes: nothing written), 5 when no OpenGL 4.6\n"
      "context could be made, 6 when the shaders do not make a program (nothing written).\n"
      "--json prints one line: status, width, height, coverage, box.\n";

// The shaders and default textures are read from the project root, as the program reads them.
constexpr const char* kProjectRoot = TARNWICK_PROJECT_ROOT;

struct Options {
    std::filesystem::path input;
    std::filesystem::path output;
    int size = kDefaultSize;
    View view = View::Front;
    bool shadows = true;
    bool json = false;
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
        if (argument == "--json") {
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
        } else if (argument.starts_with("--") || positional == 2) {
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
    auto context = offscreengl::Context::Create(problem);
    if (context == nullptr) {
        std::cerr << "fbxrender: " << problem << std::endl;
        return nullptr;
    }
    const int version = gladLoadGL(offscreengl::GetFunction);
    if (GLAD_VERSION_MAJOR(version) * 10 + GLAD_VERSION_MINOR(version) < kGlVersionNeeded) {
        std::cerr << "fbxrender: the OpenGL context is not 4.6 core (on Mesa's llvmpipe set "
                     "MESA_GL_VERSION_OVERRIDE=4.6 and MESA_GLSL_VERSION_OVERRIDE=460)"
                  << std::endl;
        return nullptr;
    }
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
    Options options = *parsed;
    // Both paths are the caller's, taken before the working directory may move to the project root.
    std::error_code error;
    options.input = std::filesystem::absolute(options.input, error);
    options.output = std::filesystem::absolute(options.output, error);

    InitializeFbx();
    ImportedModel model;
    const ImportStatus status = Import(options.input, model);
    if (status > ImportStatus::OkWithWarnings)
        return static_cast<int>(status);

    if (!std::filesystem::exists(Material::kVertexShaderPath, error))
        std::filesystem::current_path(kProjectRoot, error);

    const auto context = MakeGlContext();
    if (context == nullptr)
        return kNoGlStatus;

    Picture picture;
    BoundingBox box;
    {
        ModelStage stage(std::move(model), options.input);
        if (!stage.Drawable()) {
            std::cerr << "fbxrender: the shaders in " << std::filesystem::current_path(error).string()
                      << "/Assets/Shaders make no program to draw with; nothing is written" << std::endl;
            return kNoProgramStatus;
        }
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
