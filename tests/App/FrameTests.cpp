#include "App/WorldStep.h"
#include "Assets/FbxImport.h"
#include "Assets/ModelCache.h"
#include "GlTestContext.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "ModellingToolMeshes.h"
#include "ProgramGlobals.h"
#include "Scene/GameCamera.h"
#include "Scene/Scene.h"
#include "SceneBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Whole frames through the graphics engine into a 64 x 64 framebuffer of the test's own, which the main
// pass draws into as the program's draws into the window's, with the GL state Application::Run sets for
// the whole run.

namespace {

constexpr int kSize = 64;
constexpr float kFrameTime = 0.016f;
constexpr float kClear[3] = { 0.2f, 0.3f, 0.5f };

struct Rgb {
    int r, g, b;
    int Sum() const { return r + g + b; }
};

std::ostream& operator<<(std::ostream& out, const Rgb& c)
{
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

bool IsClearColour(const Rgb& c)
{
    return std::abs(c.r - 51) <= 2 && std::abs(c.g - 77) <= 2 && std::abs(c.b - 128) <= 2;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GraphicsEngine& engine = GraphicsEngine::GetInstance();
        engine.width = kSize;
        engine.height = kSize;
        engine.mainFramebuffer = target.Name();
        activeCamera = &camera;
        SetFixedGlState();
        glDepthMask(GL_TRUE);
        glStencilMask(0xFF);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }

    void TearDown() override
    {
        GraphicsEngine& engine = GraphicsEngine::GetInstance();
        engine.renderers.clear();
        engine.maskRenderers.clear();
        engine.commandList.Reset();
        engine.mainFramebuffer = 0;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glStencilFunc(GL_ALWAYS, 0, 0xFF);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_CULL_FACE);
    }

    void AddLight()
    {
        GameObject* object = scene.AddObject("Directional light");
        sceneLight = AddComponent<DirectionalLight>(*object);
    }

    // Start for everything, then one frame as the frame loop runs it.
    void StartAndRunFrame()
    {
        Scene::GetInstance().StartAll();
        RunFrame();
    }

    void RunFrame()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, target.Name());
        glViewport(0, 0, kSize, kSize);
        glClearColor(kClear[0], kClear[1], kClear[2], 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        camera.Update(0.0f);
        StepWorld(kFrameTime, nullptr);
        GraphicsEngine::GetInstance().RecordFrame();
        firstFrame = false;
    }

    Rgb Pixel(int x, int y)
    {
        glBindFramebuffer(GL_FRAMEBUFFER, target.Name());
        const std::vector<std::uint8_t> rgba = target.Pixel(x, y);
        return { rgba[0], rgba[1], rgba[2] };
    }

    TestFramebuffer target { kSize, kSize };
    Material material;
    ProgramGlobalsGuard globals;
    SceneBuilder scene;
    GameCamera camera { true, { static_cast<float>(kSize), static_cast<float>(kSize) } };
};

} // namespace

TEST_F(FrameTest, TheBoxCastsItsShadowOnTheFloorAwayFromTheLight)
{
    // Looking straight down from 60 units: screen right is +x, screen up is +z, and the floor shows
    // 1.875 units per pixel. The light shines along (0.5, -0.71, 0.5), so a 20-unit box's shadow
    // reaches about 14 units further towards +x and +z than the box itself.
    camera.position = { 0, 60, 0, 1 };
    camera.pitch = -90.0f;
    AddLight();
    scene.AddRenderer("Floor", MakeFloorModel(), material, { 0, 0, 0 }, { 100, 1, 100 });
    scene.AddRenderer("Box", MakeBoxModel(), material, { 0, 10, 0 }, { 10, 10, 10 });
    StartAndRunFrame();

    // Pixel column (for x) or row (for z) of a floor point.
    auto floorAt = [](float coordinate, float) { return 32 + static_cast<int>(coordinate / 1.875f); };
    Rgb shadowed = Pixel(floorAt(18, 0), floorAt(18, 0));
    Rgb litBehind = Pixel(floorAt(-18, 0), floorAt(-18, 0));
    Rgb litSide = Pixel(floorAt(18, 0), floorAt(-18, 0));
    Rgb boxTop = Pixel(32, 32);
    EXPECT_LT(shadowed.Sum() * 10, litBehind.Sum() * 7) << "shadowed " << shadowed << ", lit " << litBehind;
    EXPECT_LT(shadowed.Sum() * 10, litSide.Sum() * 7) << "shadowed " << shadowed << ", lit " << litSide;
    EXPECT_GT(boxTop.Sum(), shadowed.Sum() * 3 / 2) << "box top " << boxTop << ", shadowed floor " << shadowed;
    // Shadowed faces keep an ambient share of their colour.
    EXPECT_GT(shadowed.Sum(), 60) << shadowed;
    // Lit floor on both sides away from the shadow is evenly lit: no acne.
    EXPECT_NEAR(litBehind.Sum(), litSide.Sum(), 12);
    EXPECT_NEAR(Pixel(floorAt(-25, 0), floorAt(25, 0)).Sum(), litBehind.Sum(), 12);
}

TEST_F(FrameTest, AMaskCutsOnlyItsOwnGroupShowingWhatLiesBehind)
{
    // Camera at the origin looking along +z. Group 1's wall (red) fills the left half at z = 20,
    // group 2's wall (green) the right half just behind it; the mask box straddles both in the middle.
    AddLight();
    Material red = material;
    red.albedo = { 1, 0, 0, 1 };
    Material green = material;
    green.albedo = { 0, 1, 0, 1 };
    Model* wall = MakeWallModel();
    MeshRenderer* left = scene.AddRenderer("left", wall, red, { -10, 0, 20 }, { 10, 10, 1 });
    MeshRenderer* right = scene.AddRenderer("right", wall, green, { 10, 0, 20.5f }, { 10, 10, 1 });
    MeshRenderer* hole = scene.AddRenderer("hole", MakeBoxModel(), material, { 0, 0, 20 }, { 4, 4, 4 });
    left->maskGroup = 1;
    right->maskGroup = 2;
    hole->maskOf = 1;
    StartAndRunFrame();

    // The mask's front face at z = 16 covers pixels 24 to 40 both ways.
    Rgb cut = Pixel(28, 32);
    Rgb untouched = Pixel(37, 32);
    Rgb leftOutside = Pixel(12, 32);
    Rgb leftAbove = Pixel(28, 44);
    EXPECT_TRUE(IsClearColour(cut)) << cut;
    EXPECT_GT(untouched.g, untouched.r + 30) << untouched;
    EXPECT_GT(leftOutside.r, leftOutside.g + 30) << leftOutside;
    EXPECT_GT(leftAbove.r, leftAbove.g + 30) << leftAbove;
    // The mask itself is never visible: it draws no colour.
    EXPECT_TRUE(IsClearColour(Pixel(28, 26))) << Pixel(28, 26);
}

TEST_F(FrameTest, DrawsReadTheMaterialAndTransformWhenTheListRunsNotWhenItWasRecorded)
{
    AddLight();
    MeshRenderer* wall = scene.AddRenderer("wall", MakeWallModel(), material, { 0, 0, 20 }, { 10, 10, 1 });
    Scene::GetInstance().StartAll();
    GraphicsEngine& engine = GraphicsEngine::GetInstance();
    engine.RegisterRenderer(wall);
    firstFrame = false;

    glBindFramebuffer(GL_FRAMEBUFFER, target.Name());
    glClearColor(kClear[0], kClear[1], kClear[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    camera.Update(0.0f);
    Scene::GetInstance().EarlyUpdatePass(0.0f);
    engine.commandList.Reset();
    engine.SortRenderers();
    engine.RenderShadows();
    engine.Render<RenderMeshCommand>();
    // After recording: turn the wall blue and move it to the right half of the view.
    wall->material.albedo = { 0, 0, 1, 1 };
    wall->gameObject->transform->position.x = 15.0f;
    wall->gameObject->transform->dirty = true;
    wall->gameObject->transform->Update(0.0f);
    engine.commandList.Execute();

    Rgb moved = Pixel(48, 32);
    EXPECT_GT(moved.b, moved.r + 20) << moved;
    EXPECT_GT(moved.b, moved.g + 20) << moved;
    EXPECT_TRUE(IsClearColour(Pixel(16, 32))) << Pixel(16, 32);
}

TEST_F(FrameTest, ARendererWithoutAModelOrWithAnEmptyModelDrawsNothing)
{
    AddLight();
    static Model empty;
    MeshRenderer* none = scene.AddRenderer("none", nullptr, material, { 0, 0, 20 });
    MeshRenderer* hollow = scene.AddRenderer("hollow", &empty, material, { 0, 0, 10 });
    (void)none;
    (void)hollow;
    StartAndRunFrame();
    EXPECT_TRUE(IsClearColour(Pixel(32, 32))) << Pixel(32, 32);
    EXPECT_EQ(GraphicsEngine::GetInstance().renderers.size(), 2u);
}

TEST_F(FrameTest, ModelsFromAModellingToolAreLitOnTheOutsideAsTheEnginesOwnBoxIs)
{
    // A cube and a sphere written as modelling tools write them (right-handed, counter-clockwise
    // outward faces), imported from files, beside the engine's own box. Each is 20 units across and
    // centred at y = 0, z = 0: the engine's box at x = -22, the cube at 0, the sphere at 22.
    InitializeFbx();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tarnwick-frame-tool-models";
    std::filesystem::create_directories(folder);
    fbxio::SceneWriter cubeFile, sphereFile;
    cubeFile.AddMesh("Cube", toolmeshes::Box(2, 2, 2));
    sphereFile.AddMesh("Sphere", toolmeshes::Sphere(1, 12, 24));
    ASSERT_TRUE(cubeFile.Save((folder / "cube.fbx").string()));
    ASSERT_TRUE(sphereFile.Save((folder / "sphere.fbx").string()));
    const std::unique_ptr<Model> cube = LoadModel((folder / "cube.fbx").string());
    const std::unique_ptr<Model> sphere = LoadModel((folder / "sphere.fbx").string());
    std::filesystem::remove_all(folder);
    ASSERT_NE(cube, nullptr);
    ASSERT_NE(sphere, nullptr);

    AddLight();
    // Grey, so that a lit face does not saturate, and without highlights, which differ with the angle
    // to the camera.
    Material grey = material;
    grey.albedo = { 0.5f, 0.5f, 0.5f, 1.0f };
    grey.specularStrength = 0.0f;
    scene.AddRenderer("Own box", MakeBoxModel(), grey, { -22, 0, 0 }, { 10, 10, 10 });
    // The imported cube spans (0, 0, -2) to (2, 2, 0) in the engine's axes.
    scene.AddRenderer("Cube", cube.get(), grey, { -10, -10, 10 }, { 10, 10, 10 });
    scene.AddRenderer("Sphere", sphere.get(), grey, { 22, 0, 0 }, { 10, 10, 10 });
    Scene::GetInstance().StartAll();

    // From above (the tops face the light), from in front (the light falls on the -z faces too) and
    // from below (the bottoms face away: ambient only). The nearest faces are 50 units away: 1.5625
    // units per pixel, the centres at columns 18, 32 and 46, row 32.
    struct View {
        const char* name;
        Float4 position;
        float pitch;
        bool lit;
    };
    const View views[] = { { "from above", { 0, 60, 0, 1 }, -90.0f, true },
        { "from in front", { 0, 0, -60, 1 }, 0.0f, true }, { "from below", { 0, -60, 0, 1 }, 90.0f, false } };
    int ambient = 0;
    std::vector<int> lit;
    for (const View& view : views) {
        SCOPED_TRACE(view.name);
        camera.position = view.position;
        camera.pitch = view.pitch;
        RunFrame();
        Rgb own = Pixel(18, 32);
        Rgb imported = Pixel(32, 32);
        Rgb round = Pixel(46, 32);
        EXPECT_FALSE(IsClearColour(own)) << own;
        // Drawn inside out, the cube would show the inside of its far face: dark where the own box
        // is lit, lit where it is dark.
        EXPECT_NEAR(imported.Sum(), own.Sum(), 9) << "imported " << imported << ", own " << own;
        // The sphere's smooth normal at the pixel is close to the box face's.
        EXPECT_NEAR(round.Sum(), own.Sum(), own.Sum() / 8) << "sphere " << round << ", own " << own;
        if (view.lit)
            lit.push_back(imported.Sum());
        else
            ambient = imported.Sum();
    }
    for (int sum : lit)
        EXPECT_GT(sum, ambient * 3 / 2) << "a face towards the light is no brighter than one away from it";
}
