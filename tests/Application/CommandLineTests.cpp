// The program's command line: the parser, and the program itself asked for its usage and version.
#include "Application/CommandLine.h"
#include "BuildInfo.h"
#include "CommandRun.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <variant>
#include <vector>

namespace {

using Request = CommandLine::Request;

// The request, or a marker that the command line was refused.
std::string Parsed(const std::vector<std::string>& arguments, std::span<const OptionSpec> options = TarnwickOptions())
{
    const auto parsed = ParseCommandLine(arguments, options);
    if (const auto* error = std::get_if<UsageError>(&parsed))
        return "error: " + error->problem;
    switch (std::get<CommandLine>(parsed).request) {
    case Request::Run: return "run";
    case Request::ShowHelp: return "help";
    case Request::ShowVersion: return "version";
    }
    return "?";
}

// Runs the program with `arguments`, with no display: anything that started it would fail to open a
// window and say so.
CommandRun RunTarnwick(const std::string& arguments)
{
    return RunCommandWithErrors(std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + TARNWICK_PATH + "' " + arguments);
}

} // namespace

TEST(CommandLine, HelpAndVersionAreAnsweredAndEverythingElseRunsTheProgram)
{
    EXPECT_EQ(Parsed({}), "run");
    EXPECT_EQ(Parsed({ "--help" }), "help");
    EXPECT_EQ(Parsed({ "--version" }), "version");
    // Arguments that are not options are ignored, as they always were: a launcher may pass a file.
    EXPECT_EQ(Parsed({ "cabin.fbx", "-", "" }), "run");
    EXPECT_EQ(Parsed({ "cabin.fbx", "--version" }), "version");
    // The first request to print something ends the parsing, as it ends the program.
    EXPECT_EQ(Parsed({ "--help", "--version" }), "help");
    EXPECT_EQ(Parsed({ "--version", "--no-such-option" }), "version");
    // After "--" nothing is an option.
    EXPECT_EQ(Parsed({ "--", "--help", "--no-such-option" }), "run");
}

TEST(CommandLine, UnknownOptionsAndValuesGivenToOptionsWithoutOneAreRefused)
{
    EXPECT_EQ(Parsed({ "--fly" }), "error: unknown option \"--fly\"");
    EXPECT_EQ(Parsed({ "--fly=fast" }), "error: unknown option \"--fly\"");
    EXPECT_EQ(Parsed({ "--fly", "--help" }), "error: unknown option \"--fly\"");
    EXPECT_EQ(Parsed({ "-h" }), "error: unknown option \"-h\"");
    EXPECT_EQ(Parsed({ "--helpme" }), "error: unknown option \"--helpme\"");
    EXPECT_EQ(Parsed({ "--HELP" }), "error: unknown option \"--HELP\"");
    EXPECT_EQ(Parsed({ "--help=yes" }), "error: option \"--help\" takes no value");
    EXPECT_EQ(Parsed({ "--version=" }), "error: option \"--version\" takes no value");
}

TEST(CommandLine, AnOptionWithAValueTakesItJoinedOrFromTheNextArgument)
{
    // An option as the program's next ones will be: it takes a value, and may refuse it.
    static std::vector<std::string> values;
    values.clear();
    const OptionSpec options[] = {
        { "--help", false,
            [](CommandLine& c, std::string_view) {
                c.request = Request::ShowHelp;
                return std::string();
            } },
        { "--size", true,
            [](CommandLine&, std::string_view value) {
                values.emplace_back(value);
                return value == "huge" ? std::string("wants a number") : std::string();
            } },
    };
    EXPECT_EQ(Parsed({ "--size", "5", "--size=6", "--size=", "--size", "--help" }, options), "run");
    EXPECT_EQ(values, (std::vector<std::string> { "5", "6", "", "--help" }));
    EXPECT_EQ(Parsed({ "--size" }, options), "error: option \"--size\" needs a value");
    EXPECT_EQ(Parsed({ "--size", "huge" }, options), "error: option \"--size\" wants a number");
    EXPECT_EQ(Parsed({ "--size=huge", "--help" }, options), "error: option \"--size\" wants a number");
}

TEST(TarnwickProgram, AnswersHelpAndVersionOnStandardOutputWithoutStarting)
{
    const CommandRun help = RunTarnwick("--help");
    EXPECT_EQ(help.status, 0) << help.errors;
    EXPECT_EQ(help.output, kTarnwickUsage);
    EXPECT_EQ(help.errors, "");

    const CommandRun version = RunTarnwick("--version extra arguments");
    EXPECT_EQ(version.status, 0) << version.errors;
    EXPECT_EQ(version.output, "Tarnwick " + std::string(buildinfo::kVersion) + "\n");
    EXPECT_TRUE(std::regex_match(buildinfo::kVersion, std::regex("[0-9]+\\.[0-9]+\\.[0-9]+"))) << buildinfo::kVersion;
    EXPECT_EQ(version.errors, "");
}

TEST(TarnwickProgram, AnUnknownOptionIsSaidWithTheUsageOnStandardErrorAndEndsWithStatus64)
{
    const CommandRun run = RunTarnwick("--fullscreen");
    EXPECT_EQ(run.status, 64);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors, "Tarnwick: unknown option \"--fullscreen\"\n\n" + std::string(kTarnwickUsage));

    // Without options it starts as always: greets, then fails for want of a display.
    const CommandRun plain = RunTarnwick("cabin.fbx");
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.output, "Tarnwick starting...\n");
    EXPECT_NE(plain.errors.find("Tarnwick cannot start: "), std::string::npos) << plain.errors;
}
