// fbxinfo FILE [--json]: prints what the FBX reader sees in a file (FileReport.h). With --json the
// output is one JSON object; "status" is 0 when the file was read and 2 when it was not.
// fbxinfo FILE --import [--json]: prints what the engine's import makes of the file instead
// (ImportReport.h); the exit status is the ImportStatus value.
#include "BuildInfo.h"
#include "FileReport.h"
#include "ImportReport.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// sysexits.h's EX_USAGE: the command line was wrong, not the file.
constexpr int kUsageStatus = 64;

constexpr const char* kUsage = "usage: fbxinfo FILE [--json]\n"
                               "       fbxinfo FILE --import [--json]\n"
                               "       fbxinfo --help | --version\n"
                               "\n"
                               "Without --import: what the FBX reader sees (format, version, axes, unit, node tree,\n"
                               "mesh layers, materials, LOD thresholds); exit status 0 when read, 2 when not.\n"
                               "With --import: runs the engine's import as the model cache does (tangents only\n"
                               "where missing, equal vertices merged) and prints the status and warnings, each\n"
                               "mesh's vertex and index counts, material index and box, the materials with their\n"
                               "eleven texture slots, the skeleton's bones and sockets, the LOD groups, the file's\n"
                               "up axis and unit and the whole-file box; exit status is the import status\n"
                               "(0 Ok, 1 OkWithWarnings, 2 ReadFailed, 3 NoImporter, 4 FileNotFound, 7 NoMeshes).\n"
                               "--json prints one JSON object instead of text. Put -- before a FILE whose name\n"
                               "begins with -.\n";

struct Options {
    const char* path = nullptr; // the last argument that is not an option
    bool json = false;
    bool import = false;
    bool help = false;
    bool version = false;
    std::string problem; // what is wrong with the command line
};

Options ParseOptions(int argc, char** argv)
{
    Options options;
    bool optionsEnded = false;
    for (int k = 1; k < argc; ++k) {
        const char* argument = argv[k];
        if (optionsEnded || argument[0] != '-' || argument[1] == '\0')
            options.path = argument;
        else if (std::strcmp(argument, "--") == 0)
            optionsEnded = true;
        else if (std::strcmp(argument, "--json") == 0)
            options.json = true;
        else if (std::strcmp(argument, "--import") == 0)
            options.import = true;
        else if (std::strcmp(argument, "--help") == 0)
            options.help = true;
        else if (std::strcmp(argument, "--version") == 0)
            options.version = true;
        else
            options.problem = std::string("unknown option \"") + argument + "\"";
        // What comes after a request to print something, or after a wrong option, is not looked at.
        if (options.help || options.version || !options.problem.empty())
            break;
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    if (!options.problem.empty()) {
        std::fprintf(stderr, "fbxinfo: %s\n\n%s", options.problem.c_str(), kUsage);
        return kUsageStatus;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("fbxinfo (%s) %s\n", buildinfo::kProduct, buildinfo::kVersion);
        return 0;
    }
    if (!options.path) {
        std::fputs(kUsage, stderr);
        return kUsageStatus;
    }
    if (options.import)
        return fbxinfo::ReportImport(options.path, options.json);
    return fbxinfo::ReportFile(options.path, options.json);
}
