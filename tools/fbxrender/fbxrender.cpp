// fbxrender FILE OUT.png [--size N] [--view VIEW]... [--no-shadows] [--json]: a picture of an FBX file
// as the engine imports, lights and draws it, made with or without a display (ModelPicture.h). The
// exit status is the import status: 0 or 1 with the pictures written, 2, 3, 4 or 7 with nothing
// written; 5 when no OpenGL 4.6 context could be made, 6 when the shaders make no program to draw
// with, 64 for a command line it cannot follow, 70 when something unforeseen stopped it, 72 when its
// data folder is nowhere to be found, 73 when a picture cannot be written.
#include "Assets/FbxImport.h"
#include "Assets/ModelCache.h"
#include "BuildInfo.h"
#include "Core/DataFolder.h"
#include "ModelPicture.h"
#include "OutputFile.h"
#include "PngFile.h"

#include <OffscreenGl/OffscreenGl.h>
#include <Platform/ExecutablePath.h>
#include <Platform/StandardOutput.h>
#include <glad/gl.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <future>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// sysexits.h's EX_USAGE, EX_SOFTWARE and EX_CANTCREAT: the command line was wrong, something the tool
// did not foresee stopped it (memory ran out, say), or a picture could not be written. 5 is what the
// program itself ends with when it gets no OpenGL 4.6.
constexpr int kUsageStatus = 64;
constexpr int kNoGlStatus = 5;
constexpr int kInternalErrorStatus = 70;
constexpr int kNoProgramStatus = 6;
constexpr int kCannotWriteStatus = 73;
// sysexits.h's EX_OSFILE: a file the tool itself needs (its shaders and textures) is missing.
constexpr int kNoDataStatus = 72;

constexpr int kDefaultSize = 512;
// Beyond this a software rasteriser's framebuffer and the read-back copy run to gigabytes.
constexpr int kMaxSize = 8192;
constexpr std::string_view kPictureExtension = ".png";
constexpr std::string_view kAllViewsName = "all";

constexpr const char* kUsage
    = "usage: fbxrender FILE OUT.png [--size N] [--view front|back|left|right|top|bottom|iso|all]... "
      "[--no-shadows] [--json]\n"
      "       fbxrender --help | --version\n"
      "\n"
      "Draws FILE as the program would: imported as the model cache imports it, every mesh with the\n"
      "default material (its diffuse texture where it is found beside FILE, in a textures/ folder next\n"
      "to it or embedded in FILE), lit and shadowed by the scene's light. Orthographic, framing the whole file's box\n"
      "with a 5 % margin, N x N pixels (default 512), transparent where there is no model.\n"
      "front looks along +z (+x right, +y up), back along -z, left along +x, right along -x, top down\n"
      "-y (+z up), bottom up +y, iso from the (1, 1, -1) side. With --view all, or --view given more\n"
      "than once, the file is imported once and each view written to OUT with -VIEW before .png.\n"
      "Needs no display. Exit status: the import status (0 Ok, 1 OkWithWarnings: pictures written;\n"
      "2 ReadFailed, 3 NoImporter, 4 FileNotFound, 7 NoMeshes: nothing written), 5 when no OpenGL 4.6\n"
      "context could be made, 6 when the shaders do not link into a program (nothing written), 64 for\n"
      "a wrong command line, 70 when something unforeseen stopped it, 72 when its data folder (Assets/,\n"
      "Settings/) is found neither in the working directory nor installed with it, 73 when a picture\n"
      "cannot be written. --json prints one line on standard output (and nothing else goes there):\n"
      "status, width, height, coverage, box and each view's coverage.\n";

// A copy run from the build tree it was built in also finds the data in the source tree, so that a
// developer's fresh build draws from any folder. An installed copy never looks there.
constexpr const char* kSourceTree = TARNWICK_SOURCE_DIR;
constexpr const char* kBuildTree = TARNWICK_BINARY_DIR;

struct Options {
    std::filesystem::path input;
    std::filesystem::path output;
    int size = kDefaultSize;
    // Each view once, in the order asked for.
    std::vector<View> views;
    // Set by --view all or several --view: each picture's name then says its view.
    bool namedByView = false;
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

bool EndsWithPictureExtension(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    if (name.size() <= kPictureExtension.size())
        return false;
    const std::string_view end = std::string_view(name).substr(name.size() - kPictureExtension.size());
    return std::equal(end.begin(), end.end(), kPictureExtension.begin(),
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// Adds the views `name` stands for; false when it names none.
bool AddViews(std::string_view name, Options& options)
{
    std::vector<View> named;
    if (name == kAllViewsName)
        named.assign(std::begin(kAllViews), std::end(kAllViews));
    else if (const auto view = ViewNamed(name))
        named.push_back(*view);
    else
        return false;
    for (View view : named)
        if (std::find(options.views.begin(), options.views.end(), view) == options.views.end())
            options.views.push_back(view);
    return true;
}

// Null with a message on standard error when the command line is wrong.
std::optional<Options> ParseOptions(int argc, char** argv)
{
    Options options;
    int positional = 0;
    int viewOptions = 0;
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
        } else if (argument == "--size" || argument == "--view") {
            if (!hasValue) {
                std::cerr << "fbxrender: " << argument << " needs a value" << std::endl;
                return std::nullopt;
            }
            const std::string_view value = argv[++k];
            if (argument == "--size") {
                const auto size = ParseSize(value);
                if (!size) {
                    std::cerr << "fbxrender: --size takes a whole number from 1 to " << kMaxSize << std::endl;
                    return std::nullopt;
                }
                options.size = *size;
            } else {
                if (!AddViews(value, options)) {
                    std::cerr << "fbxrender: unknown view \"" << value << "\"" << std::endl;
                    return std::nullopt;
                }
                options.namedByView = options.namedByView || value == kAllViewsName || ++viewOptions > 1;
            }
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
    if (!EndsWithPictureExtension(options.output)) {
        std::cerr << "fbxrender: " << options.output.string() << ": a picture's name must end in " << kPictureExtension
                  << ": pictures are written as PNG" << std::endl;
        return std::nullopt;
    }
    if (options.views.empty())
        options.views.push_back(View::Front);
    return options;
}

// Where the picture of `view` goes: OUT itself, or OUT with the view's name before its extension when
// each view is named.
std::filesystem::path PictureFile(const Options& options, View view)
{
    if (!options.namedByView)
        return options.output;
    const std::string name = options.output.filename().string();
    const std::size_t stem = name.size() - kPictureExtension.size();
    return options.output.parent_path() / (name.substr(0, stem) + "-" + std::string(NameOf(view)) + name.substr(stem));
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

struct Imported {
    ImportStatus status = ImportStatus::ReadFailed;
    // Lines for standard error: why the import failed, or each kind of warning with its count.
    std::string report;
};

// Imports `file` into `model`; any thread.
Imported Import(const std::filesystem::path& file, ImportedModel& model)
{
    Imported imported;
    const std::string prefix = "fbxrender: " + file.string() + ": ";
    ImportResult result;
    try {
        result = ImportModelFile(file, model);
    } catch (const std::exception& error) {
        imported.report = prefix + "cannot be imported: " + error.what() + "\n";
        return imported;
    }
    imported.status = result.status;
    // A file whose only meshes are in LOD groups gives the program nothing to draw either.
    if (imported.status <= ImportStatus::OkWithWarnings && model.meshes.empty())
        imported.status = ImportStatus::NoMeshes;
    if (imported.status > ImportStatus::OkWithWarnings)
        imported.report = prefix + DescribeImportFailure(imported.status) + "\n";
    else
        for (const auto& [kind, name] : kImportWarningNames)
            if (const int count = WarningCount(result, kind))
                imported.report += prefix + "warning " + name + ": " + std::to_string(count) + "\n";
    return imported;
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

// Every picture's place, or an empty list with the reason said on standard error when one of them
// may not be written. Checked before the work of drawing: the places are checked again as they are
// written.
std::vector<std::filesystem::path> PlacesToWrite(const Options& options)
{
    std::vector<std::filesystem::path> places;
    for (View view : options.views) {
        const std::filesystem::path file = PictureFile(options, view);
        std::string problem;
        places.push_back(PlaceToWrite(file, problem));
        if (places.back().empty()) {
            std::cerr << "fbxrender: " << file.string() << ": cannot be written: " << problem << std::endl;
            return {};
        }
    }
    return places;
}

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// JSON has no infinity or NaN: a box reaching them is written with null there.
void WriteNumber(JsonWriter& writer, double value)
{
    if (std::isfinite(value))
        writer.Double(value);
    else
        writer.Null();
}

void WritePoint(JsonWriter& writer, const Float3& point)
{
    writer.StartArray();
    for (float coordinate : { point.x, point.y, point.z })
        WriteNumber(writer, coordinate);
    writer.EndArray();
}

std::string JsonLine(int status, const Options& options, const std::vector<double>& coverage, const BoundingBox& box)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("status");
    writer.Int(status);
    writer.Key("width");
    writer.Int(options.size);
    writer.Key("height");
    writer.Int(options.size);
    if (coverage.size() == 1) {
        writer.Key("coverage");
        WriteNumber(writer, coverage.front());
    }
    writer.Key("box");
    writer.StartObject();
    writer.Key("min");
    WritePoint(writer, box.min);
    writer.Key("max");
    WritePoint(writer, box.max);
    writer.EndObject();
    writer.Key("views");
    writer.StartArray();
    for (std::size_t k = 0; k < options.views.size(); ++k) {
        writer.StartObject();
        writer.Key("view");
        const std::string_view name = NameOf(options.views[k]);
        writer.String(name.data(), static_cast<rapidjson::SizeType>(name.size()));
        writer.Key("coverage");
        WriteNumber(writer, coverage[k]);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return buffer.GetString();
}

// The tool's whole run, from parsed options to exit status. `json` is the standard output the JSON
// line goes to (null when there is none).
int Run(Options options, std::FILE* json)
{
    // Both paths are the caller's, taken before the working directory may move to the data folder.
    std::error_code error;
    options.input = std::filesystem::absolute(options.input, error);
    options.output = std::filesystem::absolute(options.output, error);
    const std::vector<std::filesystem::path> places = PlacesToWrite(options);
    if (places.empty())
        return kCannotWriteStatus;

    if (!EnterTheDataFolder())
        return kNoDataStatus;

    // The import and the GL set-up share nothing: the import runs beside the context, the shaders and
    // the first draw, and the picture waits for both.
    InitializeFbx();
    ImportedModel model;
    auto importing = std::async(std::launch::async, [&] { return Import(options.input, model); });
    std::string glProblem;
    const auto context = offscreengl::CreateGl46Context(glProblem);
    std::optional<ModelStage> stage;
    if (context != nullptr)
        stage.emplace();

    const auto [status, report] = importing.get();
    // Said here, not from the import's thread: a line from each thread could interleave.
    std::cerr << report << std::flush;
    if (status > ImportStatus::OkWithWarnings)
        return static_cast<int>(status);
    if (context == nullptr) {
        std::cerr << "fbxrender: " << glProblem << std::endl;
        return kNoGlStatus;
    }

    if (!stage->Drawable()) {
        std::cerr << "fbxrender: the shaders in " << std::filesystem::current_path(error).string()
                  << "/Assets/Shaders make no program to draw with; nothing is written" << std::endl;
        return kNoProgramStatus;
    }
    stage->Show(std::move(model), options.input);
    std::vector<double> coverage;
    for (std::size_t k = 0; k < options.views.size(); ++k) {
        const Picture picture = stage->Draw(options.views[k], options.size, options.shadows);
        coverage.push_back(picture.Coverage());
        std::string problem;
        if (!WritePng(picture, places[k], problem)) {
            std::cerr << "fbxrender: " << PictureFile(options, options.views[k]).string()
                      << ": cannot be written: " << problem << std::endl;
            return kCannotWriteStatus;
        }
    }
    if (options.json && json != nullptr)
        std::fprintf(json, "%s\n", JsonLine(static_cast<int>(status), options, coverage, stage->Box()).c_str());
    return static_cast<int>(status);
}

} // namespace

int main(int argc, char** argv)
{
    // Standard output is for the JSON line alone: what anything else prints there (the engine's
    // shader compiler logs, a library's notes) goes to standard error.
    std::FILE* json = SetStandardOutputAside();
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return kUsageStatus;
    }
    // Asked for, not a failure: on the real standard output.
    std::FILE* text = json != nullptr ? json : stdout;
    if (options->help) {
        std::fputs(kUsage, text);
        return 0;
    }
    if (options->version) {
        std::fprintf(text, "fbxrender (%s) %s\n", buildinfo::kProduct, buildinfo::kVersion);
        return 0;
    }
    int status = kInternalErrorStatus;
    try {
        status = Run(*options, json);
    } catch (const std::exception& error) {
        std::cerr << "fbxrender: stopped: " << error.what() << std::endl;
    } catch (...) {
        std::cerr << "fbxrender: stopped by an unknown error" << std::endl;
    }
    if (json != nullptr && std::fclose(json) != 0 && status <= static_cast<int>(ImportStatus::OkWithWarnings)) {
        std::cerr << "fbxrender: the JSON line could not be written: " << std::strerror(errno) << std::endl;
        status = kCannotWriteStatus;
    }
    return status;
}
