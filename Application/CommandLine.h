#pragma once
// The program's command line: what it asks for, or why it cannot be followed. Parsing only; the entry
// point acts on the result (prints the usage or the version, or starts the program).
//
// Options are written "--name". One that takes a value takes it as "--name VALUE" or "--name=VALUE";
// the table of options (TarnwickOptions) says which do. The first request to print something
// (--help, --version) ends the parsing, as it ends the program. Arguments that are not options are
// ignored, as the program has always ignored its arguments (a launcher may pass a file name); "--"
// ends the options, and "-" alone is not one.
//
// Any thread; no shared state.

#include "Math/Vector.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// sysexits.h's EX_USAGE: the command line was wrong, not the program or its data.
constexpr int kUsageExitStatus = 64;

// A model the user brings into the scene with --model, and where and how large it is to stand.
struct ModelRequest {
    // The FBX file as given; the entry point makes it absolute before the working directory moves.
    std::string file;
    // The name the file is said by: as the user wrote it.
    std::string shownAs;
    // Where the middle of its footprint stands on the floor (x, z); by default beside the cabin.
    std::optional<Float2> at;
    // The length of its largest side in the scene's units; by default the size its file gives it.
    std::optional<float> size;
};

// What the command line asks for.
struct CommandLine {
    enum class Request { Run, ShowHelp, ShowVersion };
    Request request = Request::Run;
    // In the order given; --at and --size belong to the --model before them.
    std::vector<ModelRequest> models;
};

// A command line that cannot be followed, and why: "unknown option \"--fly\"".
struct UsageError {
    std::string problem;
};

// One option the program knows. `apply` records it in the command line, given its value (empty for an
// option that takes none), and returns what is wrong with the value, or an empty string.
struct OptionSpec {
    std::string_view name;
    bool takesValue = false;
    std::function<std::string(CommandLine&, std::string_view value)> apply;
};

// The program's options: --model FILE with its --at X,Z and --size N, --help and --version.
std::span<const OptionSpec> TarnwickOptions();

// `arguments` are the ones after the program's name.
std::variant<CommandLine, UsageError> ParseCommandLine(
    const std::vector<std::string>& arguments, std::span<const OptionSpec> options = TarnwickOptions());

// What --help prints on standard output, and a usage error on standard error after its problem.
extern const char* const kTarnwickUsage;
