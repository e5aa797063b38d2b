// The program's entry point: a console for diagnostic text, the command line, the data folder, then
// the Application with the game's scene and ball throwing hooked in.
#include "App/Application.h"
#include "Application/BallThrower.h"
#include "Application/CommandLine.h"
#include "Application/DemoScene.h"
#include "Application/UserModels.h"
#include "BuildInfo.h"
#include "Core/DataFolder.h"
#include "Win32/Win32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace {

// The console is made this size, at the place the system first put it.
constexpr int kConsoleWidth = 1920;
constexpr int kConsoleHeight = 1080;
constexpr UINT kUtf8CodePage = 65001;
constexpr std::size_t kConsoleBufferSize = 1024;
// Init failed: nothing was drawn, the program ends without building the scene.
constexpr int kExitInitFailed = 1;
constexpr int kExitStandardException = -1;
constexpr int kExitUnknownException = -2;
// The UI library's file of window settings, kept in the folder the program was started in.
constexpr const char* kUiSettingsFile = "imgui.ini";

void RedirectToConsole(std::FILE* stream)
{
    std::FILE* file = nullptr;
    if (freopen_s(&file, "CONOUT$", "w", stream) == 0 && file != nullptr)
        std::setvbuf(file, nullptr, _IONBF, kConsoleBufferSize);
}

#ifdef _WIN32
// The arguments after the program's name, in UTF-8: the C runtime splits a wide entry point's command
// line into __wargv.
std::vector<std::string> ProgramArguments()
{
    std::vector<std::string> arguments;
    for (int k = 1; k < __argc; ++k) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, __wargv[k], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(size > 1 ? size - 1 : 0, '\0');
        if (size > 1)
            WideCharToMultiByte(CP_UTF8, 0, __wargv[k], -1, argument.data(), size, nullptr, nullptr);
        arguments.push_back(std::move(argument));
    }
    return arguments;
}
#else
// Handed over by main, which calls wWinMain as the C runtime does on Windows.
std::vector<std::string> programArguments;

std::vector<std::string> ProgramArguments()
{
    return programArguments;
}
#endif

// The models the command line brings in, for the scene's build.
std::vector<ModelRequest> requestedModels;

void BuildScene()
{
    BuildSceneWithModels(requestedModels);
}

// The model files as the user named them, taken from the folder the program was started in: the
// working directory moves to the data folder before the scene is built.
void TakeModelPathsFromHere(std::vector<ModelRequest>& models)
{
    for (ModelRequest& model : models) {
        std::error_code error;
        const std::filesystem::path given(std::u8string(model.file.begin(), model.file.end()));
        const std::filesystem::path absolute = std::filesystem::absolute(given, error);
        if (!error) {
            const std::u8string text = absolute.u8string();
            model.file.assign(text.begin(), text.end());
        }
    }
}

// Acts on a command line that asks for text instead of the program: returns the exit status then, and
// nothing when the program is to run.
std::optional<int> AnswerCommandLine(const std::variant<CommandLine, UsageError>& parsed)
{
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        std::cerr << "Tarnwick: " << error->problem << "\n\n" << kTarnwickUsage << std::flush;
        return kUsageExitStatus;
    }
    switch (std::get<CommandLine>(parsed).request) {
    case CommandLine::Request::ShowHelp: std::cout << kTarnwickUsage << std::flush; return EXIT_SUCCESS;
    case CommandLine::Request::ShowVersion:
        std::cout << buildinfo::kProduct << " " << buildinfo::kVersion << std::endl;
        return EXIT_SUCCESS;
    case CommandLine::Request::Run: break;
    }
    return std::nullopt;
}

// The data folder becomes the working directory; without one the program goes on where it was started,
// and every file it cannot find is named as it is asked for.
void EnterTheDataFolder()
{
    std::string problem;
    if (!EnterDataFolder(StandardDataPlaces(buildinfo::kDataFolderFromPrograms), problem))
        std::cerr << "Tarnwick: " << problem << "; every model, texture, shader and setting will be missing"
                  << std::endl;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    AllocConsole();
    RedirectToConsole(stdout);
    RedirectToConsole(stderr);
    SetConsoleOutputCP(kUtf8CodePage);

    try {
        const auto parsed = ParseCommandLine(ProgramArguments());
        if (const std::optional<int> status = AnswerCommandLine(parsed))
            return *status;
        requestedModels = std::get<CommandLine>(parsed).models;
        TakeModelPathsFromHere(requestedModels);

        std::cout << "Tarnwick starting..." << std::endl;

        HWND console = GetConsoleWindow();
        RECT rect {};
        GetWindowRect(console, &rect);
        MoveWindow(console, rect.left, rect.top, kConsoleWidth, kConsoleHeight, TRUE);

        Application application;
        std::error_code error;
        const std::filesystem::path startFolder = std::filesystem::current_path(error);
        if (!error) {
            // The UI library takes file names in UTF-8 on every system.
            const std::u8string settings = (startFolder / kUiSettingsFile).u8string();
            application.uiSettingsFile.assign(settings.begin(), settings.end());
        }
        EnterTheDataFolder();

        application.game = { BuildScene, SpawnBall };
        if (!application.Init())
            return kExitInitFailed;
        return application.Run();
    } catch (const std::exception& error) {
        // Whatever the program was doing could not go on; say what stopped it before ending.
        std::cerr << "Tarnwick stopped: " << error.what() << std::endl;
        return kExitStandardException;
    } catch (...) {
        std::cerr << "Tarnwick stopped: an unknown exception" << std::endl;
        return kExitUnknownException;
    }
}

#ifndef _WIN32
int main(int argc, char** argv)
{
    programArguments.assign(argv + std::min(argc, 1), argv + argc);
    return wWinMain(nullptr, nullptr, nullptr, 0);
}
#endif
