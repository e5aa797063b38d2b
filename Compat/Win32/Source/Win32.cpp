// The non-Windows implementation of the Win32 subset declared in Win32.h.
#include "Win32/Win32.h"

#include "Win32/MessageQueue.h"

#include <GLFW/glfw3.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <deque>

namespace {

// The thread's message queue. Posted messages wait here until PeekMessageW removes them.
std::deque<MSG>& Queue()
{
    static std::deque<MSG> queue;
    return queue;
}

DWORD MillisecondsSinceStart()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (window != nullptr && msg.hwnd != window)
        return false;
    if (filterMin == 0 && filterMax == 0)
        return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

bool TakeMatching(MSG* out, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    auto& queue = Queue();
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!Matches(*it, window, filterMin, filterMax))
            continue;
        *out = *it;
        if (removeFlags & PM_REMOVE)
            queue.erase(it);
        return true;
    }
    return false;
}

} // namespace

BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (TakeMatching(msg, window, filterMin, filterMax, removeFlags))
        return TRUE;
    // Like Windows, look for new input before reporting an empty queue. Polling runs the GLFW
    // callbacks, which post the window's key and button messages.
    if (ConnectedMessageWindow() != nullptr) {
        glfwPollEvents();
        if (TakeMatching(msg, window, filterMin, filterMax, removeFlags))
            return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG*)
{
    // Character input reaches the UI through GLFW's own character callback, so there are no
    // WM_CHAR messages to generate.
    return FALSE;
}

LRESULT DispatchMessageW(const MSG*)
{
    // The window's callbacks already ran when GLFW was polled; nothing is left to dispatch.
    return 0;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = MillisecondsSinceStart();
    GetCursorPos(&msg.pt);
    Queue().push_back(msg);
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    PostMessageW(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

BOOL GetCursorPos(POINT* point)
{
    GLFWwindow* window = ConnectedMessageWindow();
    if (point == nullptr || window == nullptr)
        return FALSE;
    int windowX = 0;
    int windowY = 0;
    double cursorX = 0.0;
    double cursorY = 0.0;
    glfwGetWindowPos(window, &windowX, &windowY);
    glfwGetCursorPos(window, &cursorX, &cursorY);
    point->x = windowX + static_cast<LONG>(cursorX);
    point->y = windowY + static_cast<LONG>(cursorY);
    return TRUE;
}

BOOL AllocConsole()
{
    // The terminal the program was started from is its console.
    return TRUE;
}

BOOL SetConsoleOutputCP(UINT)
{
    // Terminals here take UTF-8 already.
    return TRUE;
}

HWND GetConsoleWindow()
{
    return nullptr;
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (window == nullptr || rect == nullptr)
        return FALSE;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    auto* glfwWindow = reinterpret_cast<GLFWwindow*>(window);
    glfwGetWindowPos(glfwWindow, &x, &y);
    glfwGetWindowSize(glfwWindow, &width, &height);
    *rect = RECT { x, y, x + width, y + height };
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL)
{
    if (window == nullptr)
        return FALSE;
    auto* glfwWindow = reinterpret_cast<GLFWwindow*>(window);
    glfwSetWindowPos(glfwWindow, x, y);
    glfwSetWindowSize(glfwWindow, width, height);
    return TRUE;
}

errno_t freopen_s(std::FILE** result, const char* path, const char* mode, std::FILE* stream)
{
    if (result == nullptr || path == nullptr || mode == nullptr || stream == nullptr)
        return EINVAL;
    if (std::strcmp(path, "CONOUT$") == 0 || std::strcmp(path, "CONIN$") == 0) {
        *result = stream;
        return 0;
    }
    *result = std::freopen(path, mode, stream);
    return *result != nullptr ? 0 : errno;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    count->QuadPart = static_cast<LONGLONG>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = 1000000000LL;
    return TRUE;
}
