#include "Application/CommandLine.h"

#include <algorithm>

const char* const kTarnwickUsage
    = "usage: Tarnwick [--help] [--version]\n"
      "\n"
      "Opens a window on a log cabin lit by the sun. Hold the right mouse button to fly the camera\n"
      "(mouse to look, W/S forward and back, A/D left and right, Space/C up and down, Shift faster,\n"
      "Ctrl slower); click the left button to throw a ball; Escape quits.\n"
      "The data (Assets/, Settings/) is read from the working directory when it holds them, otherwise\n"
      "from the folder installed with the program (share/tarnwick beside its bin/ folder).\n"
      "\n"
      "  --help     print this text and exit\n"
      "  --version  print the program's name and version and exit\n";

namespace {

constexpr std::string_view kOptionPrefix = "--";
constexpr std::string_view kEndOfOptions = "--";
constexpr char kValueSeparator = '=';

std::string Request(CommandLine& commandLine, CommandLine::Request request)
{
    commandLine.request = request;
    return {};
}

const OptionSpec kOptions[] = {
    { "--help", false, [](CommandLine& c, std::string_view) { return Request(c, CommandLine::Request::ShowHelp); } },
    { "--version", false,
        [](CommandLine& c, std::string_view) { return Request(c, CommandLine::Request::ShowVersion); } },
};

bool IsOption(std::string_view argument)
{
    // "-" alone conventionally names standard input: an argument, not an option.
    return argument.size() > 1 && argument.front() == '-';
}

UsageError Problem(std::string_view option, std::string_view what)
{
    return { "option \"" + std::string(option) + "\" " + std::string(what) };
}

} // namespace

std::span<const OptionSpec> TarnwickOptions()
{
    return kOptions;
}

std::variant<CommandLine, UsageError> ParseCommandLine(
    const std::vector<std::string>& arguments, std::span<const OptionSpec> options)
{
    CommandLine commandLine;
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        const std::string_view argument = arguments[k];
        if (argument == kEndOfOptions)
            break;
        if (!IsOption(argument))
            continue;

        // "--name=value" carries its value; "--name value" takes the next argument.
        const std::size_t separator = argument.starts_with(kOptionPrefix) ? argument.find(kValueSeparator)
                                                                          : std::string_view::npos;
        const std::string_view name = argument.substr(0, separator);
        const auto spec = std::find_if(
            options.begin(), options.end(), [name](const OptionSpec& o) { return o.name == name; });
        if (spec == options.end())
            return UsageError { "unknown option \"" + std::string(name) + "\"" };

        std::string_view value;
        if (separator != std::string_view::npos) {
            if (!spec->takesValue)
                return Problem(name, "takes no value");
            value = argument.substr(separator + 1);
        } else if (spec->takesValue) {
            if (k + 1 == arguments.size())
                return Problem(name, "needs a value");
            value = arguments[++k];
        }
        if (std::string problem = spec->apply(commandLine, value); !problem.empty())
            return Problem(name, problem);
        if (commandLine.request != CommandLine::Request::Run)
            break;
    }
    return commandLine;
}
