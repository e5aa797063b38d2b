#pragma once
// A picture of the scene as the frame loop draws it, into a framebuffer of the test's own.
//
// Main thread, with the GL context current and the scene built and started.

#include "GlTestContext.h"
#include "Graphics/GraphicsEngine.h"
#include "Math/Matrix4x4.h"
#include "Scene/GameCamera.h"

#include <cstdint>
#include <utility>
#include <vector>

// What a frame draws, as the frame loop draws it, into a framebuffer of the test's own with the aspect
// of the program's camera. Restores the engine's viewport and target afterwards.
class ScenePicture {
public:
    static constexpr int kWidth = 480;
    static constexpr int kHeight = 270;

    ScenePicture()
    {
        GLint bound = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
        GraphicsEngine& engine = GraphicsEngine::GetInstance();
        engine.width = kWidth;
        engine.height = kHeight;
        engine.mainFramebuffer = static_cast<std::uint32_t>(bound);
        SetFixedGlState();
        glClearColor(0.2f, 0.3f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        engine.RecordFrame();
    }

    ~ScenePicture()
    {
        GraphicsEngine& engine = GraphicsEngine::GetInstance();
        engine.width = engine.height = 0;
        engine.mainFramebuffer = 0;
        glStencilFunc(GL_ALWAYS, 0, 0xFF);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_CULL_FACE);
    }

    // The pixel (from the bottom left) where a world point is drawn, or (-1, -1) off the picture.
    static std::pair<int, int> PixelOf(const GameCamera& camera, Float3 world)
    {
        const Float4 clip = MultiplyRowVector(
            { world.x, world.y, world.z, 1.0f }, camera.invViewMatrix * camera.projection);
        if (clip.w <= 0.0f)
            return { -1, -1 };
        const int x = static_cast<int>((clip.x / clip.w * 0.5f + 0.5f) * kWidth);
        const int y = static_cast<int>((clip.y / clip.w * 0.5f + 0.5f) * kHeight);
        if (x < 1 || y < 1 || x >= kWidth - 1 || y >= kHeight - 1)
            return { -1, -1 };
        return { x, y };
    }

    // The summed red, green and blue of the 3 x 3 pixels around a world point, or -1 off the picture.
    int Brightness(const GameCamera& camera, Float3 world) const
    {
        const auto [x, y] = PixelOf(camera, world);
        if (x < 0)
            return -1;
        int sum = 0;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy) {
                const std::vector<std::uint8_t> rgba = target.Pixel(x + dx, y + dy);
                sum += rgba[0] + rgba[1] + rgba[2];
            }
        return sum / 9;
    }

private:
    TestFramebuffer target { kWidth, kHeight };
};
