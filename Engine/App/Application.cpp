#include "App/Application.h"

#include "App/FrameOverlay.h"
#include "App/WorldStep.h"
#include "Assets/FbxImport.h"
#include "Core/Input.h"
#include "Core/Time.h"
#include "Graphics/GraphicsEngine.h"
#include "Physics/PhysicsEngine.h"
#include "Scene/InspectorCamera.h"
#include "Scene/Scene.h"
#include "Win32/MessageQueue.h"
#include "Win32/Win32.h"

#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include <iostream>

namespace {

constexpr int kGlVersionMajor = 4;
constexpr int kGlVersionMinor = 6;
constexpr const char* kWindowTitle = "Vorlane";
constexpr const char* kGlslVersion = "#version 460";
// The sky: what shows wherever nothing is drawn.
constexpr float kClearColour[4] = { 0.2f, 0.3f, 0.5f, 1.0f };
// The player's camera keeps a 16:9 projection for this resolution whatever the window's size.
constexpr Float2 kCameraResolution { 1920.0f, 1080.0f };

// Start-up failures are said on standard error as "Tarnwick cannot start: <why>".
constexpr const char* kCannotStart = "Tarnwick cannot start: ";

void ReportStartFailure(const char* why)
{
    std::cerr << kCannotStart << why << std::endl;
}

// Whatever GLFW finds wrong (no display, no such context version, ...) in its own words.
void ReportGlfwError(int code, const char* description)
{
    std::cerr << "GLFW error " << code << ": " << (description != nullptr ? description : "") << std::endl;
}

} // namespace

void StepFrameWorld(const Time& time, void (*gameStep)())
{
    StepWorld(time.deltaTime, gameStep, [&time] {
        // The real rate, not 1 / deltaTime: on frames slower than the cap that would read 30.03
        // whatever the rate was.
        DrawFpsWindow(time.frameTime);
        DrawControlsWindow();
    });
}

void FramebufferSizeCallback(GLFWwindow*, int width, int height)
{
    glViewport(0, 0, width, height);
}

bool Application::Init()
{
    if (input == nullptr)
        input = new Input();
    // The model importer is set up once, before any window exists.
    InitializeFbx();

    glfwSetErrorCallback(ReportGlfwError);
    if (!glfwInit()) {
        ReportStartFailure("GLFW could not be initialised (is there a display?)");
        return false;
    }

    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, kGlVersionMajor);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, kGlVersionMinor);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);

    monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = glfwGetVideoMode(monitor);
    if (mode == nullptr) {
        ReportStartFailure("the display has no monitor to open a window on");
        glfwTerminate();
        return false;
    }
    glfwWindowHint(GLFW_RED_BITS, mode->redBits);
    glfwWindowHint(GLFW_GREEN_BITS, mode->greenBits);
    glfwWindowHint(GLFW_BLUE_BITS, mode->blueBits);
    glfwWindowHint(GLFW_REFRESH_RATE, mode->refreshRate);

    GraphicsEngine& graphics = GraphicsEngine::GetInstance();
    graphics.width = mode->width;
    graphics.height = mode->height;

    // An ordinary window as large as the monitor's mode, not a full-screen one.
    window = glfwCreateWindow(mode->width, mode->height, kWindowTitle, nullptr, nullptr);
    if (window == nullptr) {
        ReportStartFailure("no window with an OpenGL 4.6 core context could be made");
        glfwTerminate();
        return false;
    }

    glfwMakeContextCurrent(window);
    glfwSwapInterval(0);
    glfwSetFramebufferSizeCallback(window, FramebufferSizeCallback);
    // Before the UI back end installs its callbacks, so that it chains to the ones feeding the
    // message queue.
    ConnectWindowMessages(window);

    if (gladLoadGL(glfwGetProcAddress) == 0) {
        std::cout << "Failed to initialize GLAD" << std::endl;
        return false;
    }

    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = uiSettingsFile.c_str();
    ImGui::StyleColorsDark();
    ImGui_ImplGlfw_InitForOpenGL(window, true);
    ImGui_ImplOpenGL3_Init(kGlslVersion);

    PhysicsEngine::GetInstance().Initialize();
    return true;
}

int Application::Run()
{
    if (game.buildScene != nullptr)
        game.buildScene();
    PhysicsEngine::GetInstance().CreateScene(Scene::GetInstance());

    InspectorCamera camera(kCameraResolution);
    // The axes are built now rather than at the first fly update, so a ball thrown before the camera
    // has ever moved still flies where the camera looks. The view is unchanged: at the origin with
    // zero angles the world-to-camera matrix stays the identity.
    camera.GameCamera::Update(0.0f);
    activeCamera = &camera;

    SetFixedGlState();

    Scene::GetInstance().StartAll();

    while (running)
        Frame();

    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    DisconnectWindowMessages();
    glfwDestroyWindow(window);
    glfwTerminate();
    activeCamera = nullptr;
    return 0;
}

void Application::Frame()
{
    input->UpdateMouse();
    Time& time = Time::GetInstance();
    time.Tick();

    MSG msg {};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        // The pump goes on until the queue is empty; the frame still runs to its end.
        if (msg.message == WM_QUIT)
            running = false;
        input->HandleMessage(msg.message, msg.wParam, msg.lParam);
    }

    if (input->GetKeyDown(VK_ESCAPE))
        running = false;

    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();

    glClearColor(kClearColour[0], kClearColour[1], kClearColour[2], kClearColour[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    // The camera looks and flies only while the right button is held; otherwise its matrices stay.
    if (input->GetKey(VK_RBUTTON))
        activeCamera->Update(time.deltaTime);

    StepFrameWorld(time, game.beforePhysics);

    GraphicsEngine::GetInstance().RecordFrame();
    firstFrame = false;

    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    glfwSwapBuffers(window);
}
