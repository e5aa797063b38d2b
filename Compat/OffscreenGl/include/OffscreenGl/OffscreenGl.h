#pragma once
// An OpenGL 4.6 core context that needs no display: made through EGL on Mesa's surfaceless platform,
// with no default framebuffer, so everything is drawn into framebuffer objects. fbxrender, the GL
// tests and the benchmarks all make theirs with CreateGl46Context, display or not.
//
// The context is current on the thread that made it, from Create until it is destroyed; it is never
// made current elsewhere. One per process is what the callers need; nothing here stops a second.
// The environment is not touched: where the driver offers only 4.5 (Mesa's llvmpipe), the caller's
// environment must carry MESA_GL_VERSION_OVERRIDE=4.6 and MESA_GLSL_VERSION_OVERRIDE=460.

#include <memory>
#include <string>

namespace offscreengl {

// What a GL loader (glad's gladLoadGL) asks for: the address of a GL function by name, or null.
using Function = void (*)();
Function GetFunction(const char* name);

class Context {
public:
    // A new context, current on the calling thread, or null with the reason in `problem` (no EGL
    // display, no surfaceless platform, no 4.6 core context).
    static std::unique_ptr<Context> Create(std::string& problem);

    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

private:
    Context() = default;
    void* display = nullptr;
    void* context = nullptr;
};

// A new context as Context::Create makes it, with glad's OpenGL entry points loaded through it and the
// version checked: null with the reason in `problem` when there is no context or it is not 4.6 core.
std::unique_ptr<Context> CreateGl46Context(std::string& problem);

} // namespace offscreengl
