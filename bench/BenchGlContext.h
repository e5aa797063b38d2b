#pragma once
// What the benchmarks that draw need: an OpenGL 4.6 core context with no window and no display, made
// as fbxrender and the GL tests make theirs (OffscreenGl), and a framebuffer of the benchmark's size
// that the graphics engine's main pass draws into, as the program's draws into its window. Mesa's
// software rasteriser is asked for 4.6 (it offers 4.5 unless overridden).
//
// Main thread; the context and the framebuffer last until the process ends.
#include "Graphics/GraphicsEngine.h"

#include <OffscreenGl/OffscreenGl.h>
#include <glad/gl.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

// False, with the reason on standard error, when no OpenGL 4.6 core context can be made.
inline bool StartBenchmarkGl(int width, int height, const char* benchmark)
{
    setenv("MESA_GL_VERSION_OVERRIDE", "4.6", 0);
    setenv("MESA_GLSL_VERSION_OVERRIDE", "460", 0);
    static std::unique_ptr<offscreengl::Context> context;
    std::string problem;
    context = offscreengl::CreateGl46Context(problem);
    if (context == nullptr) {
        std::cerr << benchmark << ": " << problem << std::endl;
        return false;
    }
    GLuint framebuffer = 0;
    GLuint renderbuffers[2] = {};
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(2, renderbuffers);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffers[0]);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, renderbuffers[1]);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::cerr << benchmark << ": the " << width << " x " << height << " framebuffer is incomplete" << std::endl;
        return false;
    }
    glViewport(0, 0, width, height);
    GraphicsEngine& engine = GraphicsEngine::GetInstance();
    engine.width = width;
    engine.height = height;
    engine.mainFramebuffer = framebuffer;
    return true;
}
