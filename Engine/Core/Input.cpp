#include "Core/Input.h"

#include <cstring>

Input* input = nullptr;

namespace {

bool IsKeyIndex(WPARAM vk)
{
    return vk < static_cast<WPARAM>(Input::kKeyCount);
}

} // namespace

void Input::HandleMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_KEYDOWN: SetKey(wParam, 1); break;
    case WM_KEYUP: SetKey(wParam, 0); break;
    case WM_LBUTTONDOWN: SetKey(VK_LBUTTON, 1); break;
    case WM_LBUTTONUP: SetKey(VK_LBUTTON, 0); break;
    case WM_RBUTTONDOWN: SetKey(VK_RBUTTON, 1); break;
    case WM_RBUTTONUP: SetKey(VK_RBUTTON, 0); break;
    case WM_MBUTTONDOWN: SetKey(VK_MBUTTON, 1); break;
    case WM_MBUTTONUP: SetKey(VK_MBUTTON, 0); break;
    default: break;
    }
}

void Input::SetKey(WPARAM vk, std::uint8_t down)
{
    // The previous state is the whole table as it was before this message, which is what makes a
    // press followed by any other key message in the same frame invisible to GetKeyDown.
    std::memcpy(previousKeys, keys, sizeof keys);
    // Windows never sends a key code above 255; a message that does is not a key we track.
    if (IsKeyIndex(vk))
        keys[vk] = down;
}

void Input::UpdateMouse()
{
    POINT sample = cursor;
    GetCursorPos(&sample);
    MoveCursorTo(sample);
}

void Input::MoveCursorTo(POINT sample)
{
    lastCursor = cursor;
    cursor = sample;
    mouseDelta.x = cursor.x - lastCursor.x;
    mouseDelta.y = lastCursor.y - cursor.y;
}

bool Input::GetKey(int vk) const
{
    return vk >= 0 && vk < kKeyCount && keys[vk] != 0;
}

bool Input::GetKeyDown(int vk)
{
    if (vk < 0 || vk >= kKeyCount)
        return false;
    bool pressed = previousKeys[vk] == 0 && keys[vk] == 1;
    previousKeys[vk] = keys[vk];
    return pressed;
}
