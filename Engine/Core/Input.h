#pragma once
// The process-wide keyboard and mouse state, fed from the raw Windows messages the frame loop takes
// out of the thread's queue and from the cursor position sampled once per frame. Keys and mouse
// buttons share one table indexed by Windows virtual-key code (VK_LBUTTON 1, VK_RBUTTON 2,
// VK_MBUTTON 4 for the buttons).
//
// One instance, created zero-filled (new Input(): every field 0) by Application::Init and reached through `input`; never freed.
// Main thread only.

#include "Win32/Win32.h"

#include <cstdint>

class Input {
public:
    static constexpr int kKeyCount = 256;

    // Applies one Windows message. Key and button messages first copy the whole table into
    // previousKeys, then set or clear their key; every other message is ignored.
    void HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Samples the cursor (GetCursorPos) and computes mouseDelta. Once per frame, before the pump.
    void UpdateMouse();

    // Takes `sample` as the new cursor position: mouseDelta is the move since the previous sample,
    // x growing to the right and y growing upwards (screen y reversed).
    void MoveCursorTo(POINT sample);

    // Whether the key or button is down.
    bool GetKey(int vk) const;

    // True when the key went down since it was last seen up; it then copies the key's state into
    // previousKeys, so a press is reported once.
    bool GetKeyDown(int vk);

    std::uint8_t keys[kKeyCount];
    std::uint8_t previousKeys[kKeyCount];
    POINT cursor;
    POINT lastCursor;
    POINT mouseDelta;

private:
    void SetKey(WPARAM vk, std::uint8_t down);
};

// The program's Input, created by Application::Init.
extern Input* input;
