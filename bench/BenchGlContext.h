#pragma once
// A hidden window with an OpenGL 4.6 core context for the benchmarks that draw, made current and
// loaded. Mesa's software rasteriser is asked for 4.6 (it offers 4.5 unless overridden).
#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <cstdlib>

// Null when there is no display or no OpenGL 4.6.
inline GLFWwindow* CreateBenchmarkWindow(int width, int height, const char* title)
{
    setenv("MESA_GL_VERSION_OVERRIDE", "4.6", 0);
    setenv("MESA_GLSL_VERSION_OVERRIDE", "460", 0);
    if (!glfwInit())
        return nullptr;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 6);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(width, height, title, nullptr, nullptr);
    if (window == nullptr)
        return nullptr;
    glfwMakeContextCurrent(window);
    gladLoadGL(glfwGetProcAddress);
    return window;
}
