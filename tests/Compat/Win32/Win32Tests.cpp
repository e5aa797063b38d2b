#include "Win32/MessageQueue.h"
#include "Win32/Win32.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace {

void DrainQueue()
{
    MSG msg {};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
}

} // namespace

TEST(Win32Compat, GlfwKeysBecomeWindowsVirtualKeys)
{
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_W), 'W');
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_A), 'A');
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_Z), 'Z');
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_0), '0');
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_SPACE), VK_SPACE);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_ESCAPE), VK_ESCAPE);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_LEFT_SHIFT), VK_SHIFT);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_RIGHT_SHIFT), VK_SHIFT);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_LEFT_CONTROL), VK_CONTROL);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_RIGHT_CONTROL), VK_CONTROL);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_LEFT_ALT), VK_MENU);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_F1), VK_F1);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_F10), VK_F10);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_KP_3), VK_NUMPAD0 + 3);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_ENTER), VK_RETURN);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_UNKNOWN), 0);
    EXPECT_EQ(VirtualKeyFromGlfwKey(GLFW_KEY_F25), 0);
    // Every code fits the 256-entry key table.
    for (int key = GLFW_KEY_SPACE; key <= GLFW_KEY_LAST; ++key) {
        int vk = VirtualKeyFromGlfwKey(key);
        EXPECT_GE(vk, 0);
        EXPECT_LT(vk, 256);
    }
}

TEST(Win32Compat, PostedMessagesComeOutInOrderOncePerRemoval)
{
    DrainQueue();
    PostMessageW(nullptr, WM_KEYDOWN, 'W', 1);
    PostMessageW(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    PostQuitMessage(3);

    MSG msg {};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, WPARAM('W'));
    EXPECT_EQ(msg.lParam, 1);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_LBUTTONDOWN);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, WPARAM(3));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(Win32Compat, MessageFiltersTakeOnlyTheirRange)
{
    DrainQueue();
    PostMessageW(nullptr, WM_KEYDOWN, 'A', 0);
    PostMessageW(nullptr, WM_RBUTTONDOWN, 0, 0);

    MSG msg {};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_LBUTTONDOWN, WM_MBUTTONUP, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_RBUTTONDOWN);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_LBUTTONDOWN, WM_MBUTTONUP, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
}

TEST(Win32Compat, ConsoleCallsKeepTheTerminalStreams)
{
    std::FILE* file = nullptr;
    EXPECT_EQ(freopen_s(&file, "CONOUT$", "w", stdout), 0);
    EXPECT_EQ(file, stdout);
    EXPECT_NE(freopen_s(&file, "CONOUT$", "w", nullptr), 0);
    EXPECT_TRUE(AllocConsole());
    EXPECT_TRUE(SetConsoleOutputCP(CP_UTF8));
    // There is no console window to move, and asking to move it is harmless.
    RECT rect {};
    EXPECT_EQ(GetConsoleWindow(), nullptr);
    EXPECT_FALSE(GetWindowRect(GetConsoleWindow(), &rect));
    EXPECT_FALSE(MoveWindow(GetConsoleWindow(), rect.left, rect.top, 1920, 1080, TRUE));
}

TEST(Win32Compat, PerformanceCounterCountsNanosecondsForward)
{
    LARGE_INTEGER frequency {};
    LARGE_INTEGER first {};
    LARGE_INTEGER second {};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000000);
    QueryPerformanceCounter(&first);
    QueryPerformanceCounter(&second);
    EXPECT_GE(second.QuadPart, first.QuadPart);
}
