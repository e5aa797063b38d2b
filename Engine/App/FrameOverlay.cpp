#include "App/FrameOverlay.h"

#include <imgui.h>

#include <cstdio>

namespace {

// The read-out sits in the top-left corner, passes every input through and draws no background.
constexpr ImGuiWindowFlags kFpsWindowFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize
    | ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoBackground
    | ImGuiWindowFlags_NoMouseInputs | ImGuiWindowFlags_NoNavInputs | ImGuiWindowFlags_NoNavFocus;

constexpr ImGuiWindowFlags kControlsWindowFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize
    | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse
    | ImGuiWindowFlags_NoCollapse;

const ImVec2 kFpsWindowPosition { 0.0f, 0.0f };
const ImVec2 kControlsWindowPosition { 5.0f, 400.0f };
const ImVec2 kControlsWindowSize { 240.0f, 137.0f };
const ImVec2 kControlsHeadingGap { 0.0f, 20.0f };
const ImVec2 kControlsSectionGap { 0.0f, 4.0f };

constexpr std::size_t kFpsTextCapacity = 32;

} // namespace

const char* FormatFramesPerSecond(float frameTime, char* buffer, std::size_t size)
{
    // "%g" with the default precision is exactly what an output stream does with a float in its
    // default format, without the stream's allocation every frame.
    float framesPerSecond = 1.0f / frameTime;
    std::snprintf(buffer, size, "%g", static_cast<double>(framesPerSecond));
    return buffer;
}

void DrawFpsWindow(float frameTime)
{
    char text[kFpsTextCapacity];
    ImGui::SetNextWindowPos(kFpsWindowPosition, ImGuiCond_Always);
    ImGui::Begin("FPS", nullptr, kFpsWindowFlags);
    ImGui::TextUnformatted(FormatFramesPerSecond(frameTime, text, sizeof text));
    ImGui::End();
}

void DrawControlsWindow()
{
    ImGui::SetNextWindowPos(kControlsWindowPosition, ImGuiCond_Always);
    ImGui::SetNextWindowSize(kControlsWindowSize, ImGuiCond_Always);
    ImGui::Begin("Controls", nullptr, kControlsWindowFlags);
    ImGui::TextUnformatted("Controls");
    ImGui::Dummy(kControlsHeadingGap);
    ImGui::TextUnformatted("Move the camera");
    ImGui::Dummy(kControlsSectionGap);
    ImGui::TextUnformatted("Forward/Backwards: W/S");
    ImGui::TextUnformatted("Left/Right: A/D");
    ImGui::Dummy(kControlsSectionGap);
    ImGui::TextUnformatted("Throw a ball: Left Mouse Button");
    ImGui::End();
}
