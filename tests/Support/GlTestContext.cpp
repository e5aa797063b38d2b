#include "GlTestContext.h"

#include <OffscreenGl/OffscreenGl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

// Made once and never destroyed: destroying it unloads the GL driver, whose own leftovers
// LeakSanitizer would then report from an unknown module that no suppression can name. Held here, it
// stays reachable to the end.
offscreengl::Context* context = nullptr;

class GlEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (context != nullptr)
            return;
        // Mesa's software rasteriser offers 4.5 core: ask it for 4.6, with both overrides and no
        // shader cache that could answer for another version. Other drivers ignore these.
        setenv("MESA_GL_VERSION_OVERRIDE", "4.6", 0);
        setenv("MESA_GLSL_VERSION_OVERRIDE", "460", 0);
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
        std::string problem;
        context = offscreengl::CreateGl46Context(problem).release();
        if (context == nullptr) {
            // A failure here would only skip every test, and a run of skipped tests passes: end the
            // run as failed instead, with the reason.
            std::fprintf(stderr, "No OpenGL 4.6 core context for the GL tests: %s\n", problem.c_str());
            std::exit(EXIT_FAILURE);
        }
    }
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new GlEnvironment);

} // namespace

TestFramebuffer::TestFramebuffer(int width, int height)
    : width(width)
    , height(height)
{
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(1, &color);
    glBindRenderbuffer(GL_RENDERBUFFER, color);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
    glGenRenderbuffers(1, &depthStencil);
    glBindRenderbuffer(GL_RENDERBUFFER, depthStencil);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, width, height);
}

TestFramebuffer::~TestFramebuffer()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteRenderbuffers(1, &color);
    glDeleteRenderbuffers(1, &depthStencil);
    glDeleteFramebuffers(1, &framebuffer);
}

std::vector<std::uint8_t> TestFramebuffer::Pixel(int x, int y) const
{
    std::vector<std::uint8_t> rgba(4);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

ScratchFolder::ScratchFolder()
{
    std::random_device random;
    path = std::filesystem::temp_directory_path() / ("tarnwick-test-" + std::to_string(random()));
    std::filesystem::create_directories(path);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
