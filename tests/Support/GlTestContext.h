#pragma once
// Every test of this executable runs with one OpenGL 4.6 core context current, made before the first
// test (a GoogleTest environment) through EGL with no window and no display at all, as fbxrender makes
// its own: there is no default framebuffer, so whatever a test reads back it draws into a
// TestFramebuffer. The working directory is the project root, so the shaders and default textures are
// found as the program finds them.

#include <glad/gl.h>

#include <cstdint>
#include <filesystem>
#include <vector>

// An offscreen RGBA8 colour target with depth and stencil, bound while it lives.
class TestFramebuffer {
public:
    TestFramebuffer(int width, int height);
    ~TestFramebuffer();
    TestFramebuffer(const TestFramebuffer&) = delete;
    TestFramebuffer& operator=(const TestFramebuffer&) = delete;

    // RGBA bytes of the pixel at (x, y), y counted from the bottom as GL does. Reads the framebuffer
    // bound for reading: this one, unless the test has bound another since.
    std::vector<std::uint8_t> Pixel(int x, int y) const;

    // The GL name, for the graphics engine's mainFramebuffer.
    GLuint Name() const { return framebuffer; }

    int width;
    int height;

private:
    GLuint framebuffer = 0;
    GLuint color = 0;
    GLuint depthStencil = 0;
};

// A fresh empty folder under the system's temporary folder, removed by the destructor.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    std::filesystem::path path;
};
