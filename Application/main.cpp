// The program's entry point: a console for diagnostic text, then the Application with the game's
// scene and ball throwing hooked in.
#include "Application/BallThrower.h"
#include "Application/DemoScene.h"
#include "Core/Application.h"
#include "Win32/Win32.h"

#include <cstdio>
#include <exception>
#include <iostream>

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

void RedirectToConsole(std::FILE* stream)
{
    std::FILE* file = nullptr;
    if (freopen_s(&file, "CONOUT$", "w", stream) == 0 && file != nullptr)
        std::setvbuf(file, nullptr, _IONBF, kConsoleBufferSize);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    AllocConsole();
    RedirectToConsole(stdout);
    RedirectToConsole(stderr);
    SetConsoleOutputCP(kUtf8CodePage);

    try {
        std::cout << "Tarnwick starting..." << std::endl;

        HWND console = GetConsoleWindow();
        RECT rect {};
        GetWindowRect(console, &rect);
        MoveWindow(console, rect.left, rect.top, kConsoleWidth, kConsoleHeight, TRUE);

        Application application;
        application.game = { BuildDemoScene, SpawnBall };
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
int main()
{
    return wWinMain(nullptr, nullptr, nullptr, 0);
}
#endif
