#pragma once
// The two UI windows drawn over the scene every frame: the "FPS" read-out and the "Controls" help.
// Main thread, between ImGui::NewFrame and ImGui::Render.

#include <cstddef>

// Writes 1 / deltaTime as a text output stream prints a float by default: six significant digits,
// trailing zeros dropped (144.5, 30.03). Returns `buffer`.
const char* FormatFramesPerSecond(float deltaTime, char* buffer, std::size_t size);

void DrawFpsWindow(float deltaTime);
void DrawControlsWindow();
