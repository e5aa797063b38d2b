#include "Win32/MessageQueue.h"

#include "Win32/Win32.h"

#include <GLFW/glfw3.h>

namespace {

GLFWwindow* connectedWindow = nullptr;

} // namespace

GLFWwindow* ConnectedMessageWindow()
{
    return connectedWindow;
}

void DisconnectWindowMessages()
{
    connectedWindow = nullptr;
}

int VirtualKeyFromGlfwKey(int glfwKey)
{
    // GLFW uses ASCII for letters, digits and the space bar, as Windows does.
    if ((glfwKey >= GLFW_KEY_A && glfwKey <= GLFW_KEY_Z) || (glfwKey >= GLFW_KEY_0 && glfwKey <= GLFW_KEY_9))
        return glfwKey;
    if (glfwKey >= GLFW_KEY_F1 && glfwKey <= GLFW_KEY_F24)
        return VK_F1 + (glfwKey - GLFW_KEY_F1);
    if (glfwKey >= GLFW_KEY_KP_0 && glfwKey <= GLFW_KEY_KP_9)
        return VK_NUMPAD0 + (glfwKey - GLFW_KEY_KP_0);

    switch (glfwKey) {
    case GLFW_KEY_SPACE: return VK_SPACE;
    case GLFW_KEY_ESCAPE: return VK_ESCAPE;
    case GLFW_KEY_ENTER: return VK_RETURN;
    case GLFW_KEY_KP_ENTER: return VK_RETURN;
    case GLFW_KEY_TAB: return VK_TAB;
    case GLFW_KEY_BACKSPACE: return VK_BACK;
    case GLFW_KEY_INSERT: return VK_INSERT;
    case GLFW_KEY_DELETE: return VK_DELETE;
    case GLFW_KEY_RIGHT: return VK_RIGHT;
    case GLFW_KEY_LEFT: return VK_LEFT;
    case GLFW_KEY_DOWN: return VK_DOWN;
    case GLFW_KEY_UP: return VK_UP;
    case GLFW_KEY_PAGE_UP: return VK_PRIOR;
    case GLFW_KEY_PAGE_DOWN: return VK_NEXT;
    case GLFW_KEY_HOME: return VK_HOME;
    case GLFW_KEY_END: return VK_END;
    case GLFW_KEY_CAPS_LOCK: return VK_CAPITAL;
    case GLFW_KEY_SCROLL_LOCK: return VK_SCROLL;
    case GLFW_KEY_NUM_LOCK: return VK_NUMLOCK;
    case GLFW_KEY_PRINT_SCREEN: return VK_SNAPSHOT;
    case GLFW_KEY_PAUSE: return VK_PAUSE;
    case GLFW_KEY_LEFT_SHIFT: return VK_SHIFT;
    case GLFW_KEY_RIGHT_SHIFT: return VK_SHIFT;
    case GLFW_KEY_LEFT_CONTROL: return VK_CONTROL;
    case GLFW_KEY_RIGHT_CONTROL: return VK_CONTROL;
    case GLFW_KEY_LEFT_ALT: return VK_MENU;
    case GLFW_KEY_RIGHT_ALT: return VK_MENU;
    case GLFW_KEY_LEFT_SUPER: return VK_LWIN;
    case GLFW_KEY_RIGHT_SUPER: return VK_RWIN;
    case GLFW_KEY_MENU: return VK_APPS;
    case GLFW_KEY_KP_DECIMAL: return VK_DECIMAL;
    case GLFW_KEY_KP_DIVIDE: return VK_DIVIDE;
    case GLFW_KEY_KP_MULTIPLY: return VK_MULTIPLY;
    case GLFW_KEY_KP_SUBTRACT: return VK_SUBTRACT;
    case GLFW_KEY_KP_ADD: return VK_ADD;
    case GLFW_KEY_SEMICOLON: return VK_OEM_1;
    case GLFW_KEY_EQUAL: return VK_OEM_PLUS;
    case GLFW_KEY_COMMA: return VK_OEM_COMMA;
    case GLFW_KEY_MINUS: return VK_OEM_MINUS;
    case GLFW_KEY_PERIOD: return VK_OEM_PERIOD;
    case GLFW_KEY_SLASH: return VK_OEM_2;
    case GLFW_KEY_GRAVE_ACCENT: return VK_OEM_3;
    case GLFW_KEY_LEFT_BRACKET: return VK_OEM_4;
    case GLFW_KEY_BACKSLASH: return VK_OEM_5;
    case GLFW_KEY_RIGHT_BRACKET: return VK_OEM_6;
    case GLFW_KEY_APOSTROPHE: return VK_OEM_7;
    case GLFW_KEY_WORLD_1: return VK_OEM_102;
    default: return 0;
    }
}

#ifdef _WIN32

void ConnectWindowMessages(GLFWwindow* window)
{
    // The real queue already carries the window's messages to GLFW's window procedure.
    connectedWindow = window;
}

#else

namespace {

// Bit layout of a key message's lParam, as Windows fills it.
constexpr LPARAM kRepeatCountOne = 1;
constexpr int kScanCodeShift = 16;
constexpr LPARAM kAltDownBit = LPARAM(1) << 29;
constexpr LPARAM kWasDownBit = LPARAM(1) << 30;
constexpr LPARAM kReleasingBit = LPARAM(1) << 31;
// X11 key codes are evdev codes plus 8; evdev codes of the main block are the PC scan codes.
constexpr int kX11KeycodeOffset = 8;

HWND Handle(GLFWwindow* window)
{
    return reinterpret_cast<HWND>(window);
}

LPARAM KeyParameter(int scancode, int action, bool altDown)
{
    int pcScanCode = scancode >= kX11KeycodeOffset ? (scancode - kX11KeycodeOffset) & 0xFF : 0;
    LPARAM lParam = kRepeatCountOne | (LPARAM(pcScanCode) << kScanCodeShift);
    if (altDown)
        lParam |= kAltDownBit;
    if (action == GLFW_REPEAT)
        lParam |= kWasDownBit;
    if (action == GLFW_RELEASE)
        lParam |= kWasDownBit | kReleasingBit;
    return lParam;
}

void OnKey(GLFWwindow* window, int key, int scancode, int action, int mods)
{
    int vk = VirtualKeyFromGlfwKey(key);
    if (vk == 0)
        return;
    // Windows sends Alt, F10 and anything pressed with Alt held as system keys.
    bool altDown = (mods & GLFW_MOD_ALT) != 0;
    bool system = vk == VK_MENU || vk == VK_F10 || altDown;
    UINT message = 0;
    if (action == GLFW_RELEASE)
        message = system ? WM_SYSKEYUP : WM_KEYUP;
    else
        message = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    PostMessageW(Handle(window), message, static_cast<WPARAM>(vk), KeyParameter(scancode, action, altDown));
}

WPARAM MouseKeyState(GLFWwindow* window, int mods)
{
    WPARAM state = 0;
    if (glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS)
        state |= MK_LBUTTON;
    if (glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS)
        state |= MK_RBUTTON;
    if (glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_MIDDLE) == GLFW_PRESS)
        state |= MK_MBUTTON;
    if (mods & GLFW_MOD_SHIFT)
        state |= MK_SHIFT;
    if (mods & GLFW_MOD_CONTROL)
        state |= MK_CONTROL;
    return state;
}

LPARAM ClientPointParameter(GLFWwindow* window)
{
    double x = 0.0;
    double y = 0.0;
    glfwGetCursorPos(window, &x, &y);
    auto low = static_cast<std::uint16_t>(static_cast<std::int16_t>(x));
    auto high = static_cast<std::uint16_t>(static_cast<std::int16_t>(y));
    return static_cast<LPARAM>(static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16));
}

void OnMouseButton(GLFWwindow* window, int button, int action, int mods)
{
    bool down = action == GLFW_PRESS;
    UINT message = 0;
    WPARAM extraButton = 0;
    switch (button) {
    case GLFW_MOUSE_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case GLFW_MOUSE_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case GLFW_MOUSE_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    case GLFW_MOUSE_BUTTON_4:
        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
        extraButton = XBUTTON1;
        break;
    case GLFW_MOUSE_BUTTON_5:
        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
        extraButton = XBUTTON2;
        break;
    default: return;
    }
    WPARAM wParam = MouseKeyState(window, mods) | (extraButton << 16);
    PostMessageW(Handle(window), message, wParam, ClientPointParameter(window));
}

} // namespace

void ConnectWindowMessages(GLFWwindow* window)
{
    connectedWindow = window;
    glfwSetKeyCallback(window, OnKey);
    glfwSetMouseButtonCallback(window, OnMouseButton);
}

#endif
