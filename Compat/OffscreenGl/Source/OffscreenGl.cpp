#include "OffscreenGl/OffscreenGl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <glad/gl.h>

#include <cstdio>
#include <cstring>

namespace offscreengl {

namespace {

constexpr EGLint kMajorVersion = 4;
constexpr EGLint kMinorVersion = 6;
constexpr const char* kMesaOverrideHint
    = "on Mesa's llvmpipe set MESA_GL_VERSION_OVERRIDE=4.6 and MESA_GLSL_VERSION_OVERRIDE=460";

// Whether the space-separated extension list `extensions` names `name` exactly.
bool HasExtension(const char* extensions, const char* name)
{
    if (extensions == nullptr)
        return false;
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(extensions, name); at != nullptr; at = std::strstr(at + 1, name)) {
        const bool startsWord = at == extensions || at[-1] == ' ';
        const bool endsWord = at[length] == '\0' || at[length] == ' ';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

std::string EglError(const char* what)
{
    return std::string(what) + " (EGL error 0x" + [] {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(eglGetError()));
        return std::string(hex);
    }() + ")";
}

// The surfaceless display, initialised, or EGL_NO_DISPLAY with `problem` set.
EGLDisplay OpenSurfacelessDisplay(std::string& problem)
{
    // Client extensions are asked of no display; the surfaceless platform is Mesa's.
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        problem = "EGL offers no surfaceless platform (EGL_MESA_platform_surfaceless)";
        return EGL_NO_DISPLAY;
    }
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        problem = "EGL has no eglGetPlatformDisplayEXT";
        return EGL_NO_DISPLAY;
    }
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        problem = EglError("the surfaceless EGL display could not be opened");
        return EGL_NO_DISPLAY;
    }
    EGLint major = 0, minor = 0;
    if (eglInitialize(display, &major, &minor) == EGL_FALSE) {
        problem = EglError("the surfaceless EGL display could not be initialised");
        return EGL_NO_DISPLAY;
    }
    return display;
}

// A 4.6 core context with no config: it has no default framebuffer to match one against.
EGLContext CreateCoreContext(EGLDisplay display, std::string& problem)
{
    if (!HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_no_config_context")) {
        problem = "EGL cannot make a context without a config (EGL_KHR_no_config_context)";
        return EGL_NO_CONTEXT;
    }
    if (eglBindAPI(EGL_OPENGL_API) == EGL_FALSE) {
        problem = EglError("EGL offers no desktop OpenGL");
        return EGL_NO_CONTEXT;
    }
    const EGLint attributes[] = {
        EGL_CONTEXT_MAJOR_VERSION,
        kMajorVersion,
        EGL_CONTEXT_MINOR_VERSION,
        kMinorVersion,
        EGL_CONTEXT_OPENGL_PROFILE_MASK,
        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
        EGL_NONE,
    };
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT)
        problem = EglError(
            (std::string("no OpenGL 4.6 core context could be made (") + kMesaOverrideHint + ")").c_str());
    return context;
}

} // namespace

Function GetFunction(const char* name)
{
    return eglGetProcAddress(name);
}

std::unique_ptr<Context> Context::Create(std::string& problem)
{
    EGLDisplay display = OpenSurfacelessDisplay(problem);
    if (display == EGL_NO_DISPLAY)
        return nullptr;
    EGLContext context = CreateCoreContext(display, problem);
    if (context == EGL_NO_CONTEXT) {
        eglTerminate(display);
        return nullptr;
    }
    if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) == EGL_FALSE) {
        problem = EglError("the OpenGL context could not be made current without a surface");
        eglDestroyContext(display, context);
        eglTerminate(display);
        return nullptr;
    }
    std::unique_ptr<Context> made(new Context);
    made->display = display;
    made->context = context;
    return made;
}

std::unique_ptr<Context> CreateGl46Context(std::string& problem)
{
    std::unique_ptr<Context> context = Context::Create(problem);
    if (context == nullptr)
        return nullptr;
    const int version = gladLoadGL(GetFunction);
    if (version == 0) {
        problem = "the OpenGL entry points could not be loaded through EGL";
        return nullptr;
    }
    if (GLAD_VERSION_MAJOR(version) < kMajorVersion
        || (GLAD_VERSION_MAJOR(version) == kMajorVersion && GLAD_VERSION_MINOR(version) < kMinorVersion)) {
        problem = std::string("the OpenGL context is not 4.6 core (") + kMesaOverrideHint + ")";
        return nullptr;
    }
    return context;
}

Context::~Context()
{
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
    eglTerminate(display);
}

} // namespace offscreengl
