#include "Application/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <cmath>

const char* const kTarnwickUsage
    = "usage: Tarnwick [--model FILE [--at X,Z] [--size N]]... [--help] [--version]\n"
      "\n"
      "Opens a window on a log cabin lit by the sun. Hold the right mouse button to fly the camera\n"
      "(mouse to look, W/S forward and back, A/D left and right, Space/C up and down, Shift faster,\n"
      "Ctrl slower); click the left button to throw a ball; Escape quits.\n"
      "The data (Assets/, Settings/) is read from the working directory when it holds them, otherwise\n"
      "from the folder installed with the program (share/tarnwick beside its bin/ folder).\n"
      "\n"
      "  --model FILE  bring the model of an FBX file into the scene, standing on the floor beside the\n"
      "                cabin (each further one beside the one before), lit and shadowed by the sun; a\n"
      "                ball holes it where it meets it, as it holes the cabin; repeat for more models\n"
      "  --at X,Z      stand the model given just before with the middle of its footprint at X,Z\n"
      "  --size N      scale the model given just before so that its largest side is N units long\n"
      "                (otherwise it keeps the size its file gives it; a unit is a centimetre)\n"
      "  --help        print this text and exit\n"
      "  --version     print the program's name and version and exit\n";

namespace {

constexpr std::string_view kOptionPrefix = "--";
constexpr std::string_view kEndOfOptions = "--";
constexpr char kValueSeparator = '=';

std::string Request(CommandLine& commandLine, CommandLine::Request request)
{
    commandLine.request = request;
    return {};
}

// The whole of `text` as a finite number, or nothing.
std::optional<float> Number(std::string_view text)
{
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string AddModel(CommandLine& commandLine, std::string_view file)
{
    if (file.empty())
        return "needs a file";
    commandLine.models.push_back({ std::string(file), std::string(file), std::nullopt, std::nullopt });
    return {};
}

// The --model an --at or a --size belongs to: the last one given, when it has no such value yet.
template <class Value>
std::string SetForLastModel(CommandLine& commandLine, std::optional<Value> ModelRequest::*field,
    std::optional<Value> value, const char* expected)
{
    if (commandLine.models.empty())
        return "belongs to a --model and must follow one";
    ModelRequest& model = commandLine.models.back();
    if ((model.*field).has_value())
        return "is given twice for the model \"" + model.shownAs + "\"";
    if (!value)
        return expected;
    model.*field = value;
    return {};
}

std::string SetPlace(CommandLine& commandLine, std::string_view text)
{
    const std::size_t comma = text.find(',');
    std::optional<Float2> place;
    if (comma != std::string_view::npos) {
        const std::optional<float> x = Number(text.substr(0, comma));
        const std::optional<float> z = Number(text.substr(comma + 1));
        if (x && z)
            place = Float2 { *x, *z };
    }
    return SetForLastModel(
        commandLine, &ModelRequest::at, place, "takes X,Z: two numbers with a comma between them, as in 150,-40");
}

std::string SetSize(CommandLine& commandLine, std::string_view text)
{
    std::optional<float> size = Number(text);
    if (size && *size <= 0.0f)
        size.reset();
    return SetForLastModel(commandLine, &ModelRequest::size, size, "takes a length greater than 0, as in 120");
}

const OptionSpec kOptions[] = {
    { "--model", true, AddModel },
    { "--at", true, SetPlace },
    { "--size", true, SetSize },
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
