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

TEST(CommandLine, EachModelTakesThePlaceAndSizeGivenAfterItAndNothingElse)
{
    const auto parsed = ParseCommandLine({ "--model", "wall.fbx", "--at", "150,-40", "--model=my chair.fbx",
        "--size=80", "--at", "-1e3,2.5", "--model", "-", "--model", "--help" });
    ASSERT_TRUE(std::holds_alternative<CommandLine>(parsed)) << std::get<UsageError>(parsed).problem;
    const CommandLine& line = std::get<CommandLine>(parsed);
    EXPECT_EQ(line.request, Request::Run);
    ASSERT_EQ(line.models.size(), 4u);
    EXPECT_EQ(line.models[0].file, "wall.fbx");
    EXPECT_EQ(line.models[0].shownAs, "wall.fbx");
    ASSERT_TRUE(line.models[0].at.has_value());
    EXPECT_EQ(*line.models[0].at, (Float2 { 150.0f, -40.0f }));
    EXPECT_FALSE(line.models[0].size.has_value());
    EXPECT_EQ(line.models[1].file, "my chair.fbx");
    EXPECT_EQ(line.models[1].size, 80.0f);
    EXPECT_EQ(*line.models[1].at, (Float2 { -1000.0f, 2.5f }));
    // A value is the next argument whatever it looks like: a model may be named "-" or "--help".
    EXPECT_EQ(line.models[2].file, "-");
    EXPECT_EQ(line.models[3].file, "--help");
    EXPECT_FALSE(line.models[3].at || line.models[3].size);

    const std::string noModel = "error: option \"--at\" belongs to a --model and must follow one";
    EXPECT_EQ(Parsed({ "--at", "1,2", "--model", "a.fbx" }), noModel);
    EXPECT_EQ(Parsed({ "--size", "3" }), "error: option \"--size\" belongs to a --model and must follow one");
    EXPECT_EQ(Parsed({ "--model" }), "error: option \"--model\" needs a value");
    EXPECT_EQ(Parsed({ "--model=" }), "error: option \"--model\" needs a file");
    const std::string place = "error: option \"--at\" takes X,Z: two numbers with a comma between them, as in 150,-40";
    for (const char* bad : { "1", "1,2,3", "1;2", ",2", "1,", "1,nan", "inf,0", "1e39,0", "0x10,2", " 1,2", "1,2 " })
        EXPECT_EQ(Parsed({ "--model", "a.fbx", "--at", bad }), place) << bad;
    const std::string size = "error: option \"--size\" takes a length greater than 0, as in 120";
    for (const char* bad : { "0", "-5", "-0", "big", "1e39", "nan", "2cm", "" })
        EXPECT_EQ(Parsed({ "--model", "a.fbx", "--size", bad }), size) << bad;
    EXPECT_EQ(Parsed({ "--model", "a.fbx", "--size", "2", "--size", "3" }),
        "error: option \"--size\" is given twice for the model \"a.fbx\"");
    EXPECT_EQ(Parsed({ "--model", "a.fbx", "--at", "0,0", "--model", "b.fbx", "--at", "5,5" }), "run");
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

    const CommandRun lonePlace = RunTarnwick("--at 10,10 --model wall.fbx");
    EXPECT_EQ(lonePlace.status, 64);
    EXPECT_EQ(lonePlace.output, "");
    EXPECT_EQ(lonePlace.errors.rfind("Tarnwick: option \"--at\" belongs to a --model and must follow one\n\n", 0), 0u)
        << lonePlace.errors;

    // Without options it starts as always: greets, then fails for want of a display.
    const CommandRun plain = RunTarnwick("cabin.fbx");
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.output, "Tarnwick starting...\n");
    EXPECT_NE(plain.errors.find("Tarnwick cannot start: "), std::string::npos) << plain.errors;
}
