#pragma once
// The two UI windows drawn over the scene every frame: the "FPS" read-out and the "Controls" help.
// Main thread, between ImGui::NewFrame and ImGui::Render.

#include <cstddef>

// Writes 1 / frameTime as a text output stream prints a float by default: six significant digits,
// trailing zeros dropped (144.5, 8.19672). Returns `buffer`.
const char* FormatFramesPerSecond(float frameTime, char* buffer, std::size_t size);

// The read-out of the frame rate: give it the real frame time (Time::frameTime), not the capped
// deltaTime, or every frame slower than the cap reads 30.03.
void DrawFpsWindow(float frameTime);
void DrawControlsWindow();
