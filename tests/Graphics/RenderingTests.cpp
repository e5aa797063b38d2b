#include "GlTestContext.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/Shader.h"
#include "ProgramGlobals.h"
#include "Scene/GameCamera.h"
#include "Scene/Scene.h"
#include "SceneBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// What the command list holds, one word per command: "lambda", "mesh NAME" or "shadow NAME".
std::vector<std::string> Describe(const GraphicsCommandList& list)
{
    std::vector<std::string> out;
    GraphicsCommandBase* command = list.count != 0 ? list.head : nullptr;
    for (; command != nullptr; command = command->next) {
        if (auto* mesh = dynamic_cast<RenderMeshCommand*>(command))
            out.push_back("mesh " + mesh->owner->name);
        else if (auto* shadow = dynamic_cast<RenderShadowCommand*>(command))
            out.push_back("shadow " + shadow->owner->name);
        else
            out.push_back("lambda");
    }
    return out;
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// The commands a masked renderer gets in either pass: mask write state, its masks, test state, itself.
std::vector<std::string> Masked(const std::string& name, const std::vector<std::string>& masks = {})
{
    std::vector<std::string> out { "lambda" };
    for (const auto& mask : masks)
        out.push_back("mesh " + mask);
    out.push_back("lambda");
    out.push_back("mesh " + name);
    return out;
}

class RenderingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        activeCamera = &camera;
        camera.Update(0.0f);
    }

    void TearDown() override
    {
        GraphicsEngine& shared = GraphicsEngine::GetInstance();
        shared.renderers.clear();
        shared.maskRenderers.clear();
        shared.commandList.Reset();
        shared.mainFramebuffer = 0;
    }

    // Records both passes into `engine`'s list, as RecordFrame does before executing.
    std::vector<std::string> RecordPasses()
    {
        engine.commandList.Reset();
        engine.SortRenderers();
        engine.RenderShadows();
        engine.Render<RenderMeshCommand>();
        return Describe(engine.commandList);
    }

    Material material;
    ProgramGlobalsGuard globals;
    SceneBuilder scene;
    GameCamera camera { true, { 64.0f, 64.0f } };
    GraphicsEngine engine;
};

} // namespace

TEST_F(RenderingTest, AFrameWithoutRenderersRecordsOnlyThePassSetUps)
{
    EXPECT_EQ(RecordPasses(), (std::vector<std::string> { "lambda", "lambda" }));
}

TEST_F(RenderingTest, AMaskedRendererWithoutMasksIsStillWrappedAndDrawnWithItsMaterialInBothPasses)
{
    MeshRenderer* wall = scene.AddRenderer("wall", MakeWallModel(), material, { 0, 0, 10 });
    wall->maskGroup = 3;
    engine.RegisterRenderer(wall);
    EXPECT_EQ(RecordPasses(), Concat({ { "lambda" }, Masked("wall"), { "lambda" }, Masked("wall") }));
}

TEST_F(RenderingTest, MasksAreDrawnOnceForEachRendererOfTheirGroupInEachPass)
{
    Model* wall = MakeWallModel();
    MeshRenderer* a = scene.AddRenderer("a", wall, material, { 0, 0, 20 });
    MeshRenderer* b = scene.AddRenderer("b", wall, material, { 0, 0, 10 });
    MeshRenderer* hole = scene.AddRenderer("hole", MakeBoxModel(), material, { 0, 0, 15 });
    MeshRenderer* stray = scene.AddRenderer("stray", MakeBoxModel(), material, { 0, 0, 5 });
    a->maskGroup = b->maskGroup = 1;
    hole->maskOf = 1;
    stray->maskOf = 7;
    for (MeshRenderer* r : { a, b, hole, stray })
        engine.RegisterRenderer(r);

    EXPECT_EQ(engine.renderers.size(), 2u);
    EXPECT_EQ(engine.maskRenderers.at(1), (std::vector<MeshRenderer*> { hole }));
    auto pass = Concat({ Masked("a", { "hole" }), Masked("b", { "hole" }) });
    EXPECT_EQ(RecordPasses(), Concat({ { "lambda" }, pass, { "lambda" }, pass }));
}

TEST_F(RenderingTest, TheShadowPassClearsItsMaskMarksBeforeAMaskedRendererWouldReuseOne)
{
    // Each masked renderer of the shadow pass marks the stencil with a value of its own, 1 to 255: the
    // 256th finds them all used, and the marks are cleared (one more state command) first.
    Model* wall = MakeWallModel();
    constexpr int kMasked = 256;
    for (int i = 0; i < kMasked; ++i) {
        MeshRenderer* r = scene.AddRenderer("wall", wall, material, { 0, 0, 10.0f + static_cast<float>(i) });
        r->maskGroup = 1;
        engine.RegisterRenderer(r);
    }
    engine.commandList.Reset();
    engine.SortRenderers();
    engine.RenderShadows();
    const std::vector<std::string> shadowPass = Describe(engine.commandList);
    // Begin, then write state, test state and the renderer for each, the clear, and the main pass's begin.
    ASSERT_EQ(shadowPass.size(), static_cast<std::size_t>(1 + 3 * kMasked + 1 + 1));
    EXPECT_EQ(shadowPass[1 + 3 * 255], "lambda");
    EXPECT_EQ(shadowPass[1 + 3 * 255 + 1], "lambda");
    EXPECT_EQ(shadowPass[1 + 3 * 255 + 2], "lambda");
    EXPECT_EQ(shadowPass[1 + 3 * 255 + 3], "mesh wall");
    // The main pass needs no marks of its own: each renderer's masks hide it by their depth.
    engine.commandList.Reset();
    engine.Render<RenderMeshCommand>();
    EXPECT_EQ(engine.commandList.count, static_cast<std::size_t>(3 * kMasked));
}

TEST_F(RenderingTest, UnmaskedRenderersComeFirstAndEachKindIsDrawnFarthestFirst)
{
    Model* box = MakeBoxModel();
    camera.position = { 0, 0, 0, 1 };
    MeshRenderer* near = scene.AddRenderer("near", box, material, { 0, 0, 10 });
    MeshRenderer* far = scene.AddRenderer("far", box, material, { 0, 30, 0 });
    MeshRenderer* maskedNear = scene.AddRenderer("maskedNear", box, material, { 5, 0, 0 });
    MeshRenderer* maskedFar = scene.AddRenderer("maskedFar", box, material, { -50, 0, 0 });
    maskedNear->maskGroup = maskedFar->maskGroup = 2;
    for (MeshRenderer* r : { maskedNear, near, maskedFar, far })
        engine.RegisterRenderer(r);

    EXPECT_EQ(RecordPasses(),
        Concat({ { "lambda", "shadow far", "shadow near" }, Masked("maskedFar"), Masked("maskedNear"),
            { "lambda", "mesh far", "mesh near" }, Masked("maskedFar"), Masked("maskedNear") }));

    // The sort key includes w: a renderer whose position's w differs is that much farther.
    near->gameObject->transform->position.w = 100.0f;
    EXPECT_EQ(RecordPasses()[1], "shadow near");
}

TEST_F(RenderingTest, ARendererRegisteredTwiceIsDrawnTwiceAndSelfRegistrationStopsAfterTheFirstFrame)
{
    MeshRenderer* twice = scene.AddRenderer("twice", MakeBoxModel(), material, { 0, 0, 10 });
    engine.RegisterRenderer(twice);
    engine.RegisterRenderer(twice);
    EXPECT_EQ(RecordPasses(),
        (std::vector<std::string> { "lambda", "shadow twice", "shadow twice", "lambda", "mesh twice", "mesh twice" }));

    GraphicsEngine& shared = GraphicsEngine::GetInstance();
    firstFrame = true;
    twice->Update(0.0f);
    EXPECT_EQ(shared.renderers.size(), 1u);
    firstFrame = false;
    twice->Update(0.0f);
    EXPECT_EQ(shared.renderers.size(), 1u);
}

TEST_F(RenderingTest, AFrameOfMoreDrawsThanOneListHoldsRunsInSeveralListsAndDrawsEveryRenderer)
{
    // More renderers than the arena has room for, with a draw in each pass.
    const std::size_t count = GraphicsCommandList::kCommandArenaBytes / (2 * sizeof(RenderMeshCommand)) + 100;
    Model* box = MakeBoxModel();
    Material textured = material;
    for (int slot = 0; slot < Material::kTextureSlots; ++slot)
        LoadTexture(MeshRenderer::kDefaultTextures[slot], textured.textures[slot]);
    for (std::size_t k = 0; k < count; ++k)
        engine.RegisterRenderer(AddComponent<MeshRenderer>(*scene.AddObject("box"), box, textured));
    // The last renderer is masked: its state commands follow the last unmasked draw of each pass.
    engine.renderers.back()->maskGroup = 1;

    // Drawn somewhere real: a context made without a window has no framebuffer of its own. The
    // passes bind the program's engine's target; with no light, the shadow pass draws into the bound one.
    TestFramebuffer target(64, 64);
    GraphicsEngine::GetInstance().mainFramebuffer = target.Name();
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    std::vector<std::string> last;
    ASSERT_NO_THROW(last = RecordPasses());
    engine.commandList.Execute();
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint primitives = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &primitives);
    glDeleteQueries(1, &query);

    EXPECT_EQ(primitives, 2 * count * (box->indexCount / 3));
    // Part of the frame ran before the end of the recording, and the main pass ends as it always does.
    EXPECT_LT(last.size(), 2 * count + 2);
    ASSERT_GE(last.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(last.end() - 3, last.end()), Masked("box"));
}

TEST_F(RenderingTest, StartFillsOnlyTheEmptySlotsWithTheDefaultImages)
{
    Material walls;
    LoadTexture("Assets/Textures/T_Default_C.png", walls.textures[0]);
    LoadTexture("Assets/Textures/T_Default_N.png", walls.textures[1]);
    GameObject* object = scene.AddObject("wall");
    auto* renderer = AddComponent<MeshRenderer>(*object, MakeWallModel(), walls);
    EXPECT_EQ(renderer->material.program, walls.program);
    EXPECT_EQ(renderer->material.textures[2].id, Texture::kEmpty);
    renderer->Start();
    EXPECT_EQ(renderer->material.textures[0].id, walls.textures[0].id);
    EXPECT_EQ(renderer->material.textures[1].id, walls.textures[1].id);
    std::vector<std::uint32_t> filled;
    for (int slot : { 2, 3, 4 }) {
        EXPECT_NE(renderer->material.textures[slot].id, Texture::kEmpty);
        EXPECT_EQ(renderer->material.textures[slot].width, 4);
        filled.push_back(renderer->material.textures[slot].id);
    }
    // The mask image is decoded and uploaded once: its three slots, and every later renderer's, show
    // the one texture.
    EXPECT_EQ(filled[0], filled[1]);
    EXPECT_EQ(filled[1], filled[2]);
    auto* another = AddComponent<MeshRenderer>(*scene.AddObject("another wall"), MakeWallModel(), walls);
    another->Start();
    EXPECT_EQ(another->material.textures[4].id, filled[0]);
    // The original material's slots stay as they were.
    EXPECT_EQ(walls.textures[2].id, Texture::kEmpty);
}

TEST_F(RenderingTest, ASlotWhoseFileGaveNoImageIsDrawnWithTheDefaultImage)
{
    Material walls;
    testing::internal::CaptureStderr();
    LoadTexture("Assets/Textures/Missing.png", walls.textures[0]);
    testing::internal::GetCapturedStderr();
    LoadTexture("Assets/Textures/T_Default_N.png", walls.textures[1]);
    ASSERT_FALSE(walls.textures[0].hasImage);
    GameObject* object = scene.AddObject("wall");
    auto* renderer = AddComponent<MeshRenderer>(*object, MakeWallModel(), walls);
    renderer->Start();
    EXPECT_TRUE(renderer->material.textures[0].hasImage);
    EXPECT_EQ(renderer->material.textures[0].width, 4);
    EXPECT_NE(renderer->material.textures[0].id, walls.textures[0].id);
    // A slot that loaded keeps its own image.
    EXPECT_EQ(renderer->material.textures[1].id, walls.textures[1].id);
}

TEST_F(RenderingTest, TheLightPlacesItsShadowCameraAndBroadcastsOnlyToMaterialsThatExistAlready)
{
    Material before;
    GameObject* object = scene.AddObject("Directional light");
    auto* light = AddComponent<DirectionalLight>(*object);
    EXPECT_EQ(light->intensity, 1.0f);
    EXPECT_EQ(light->shadowMapSize, 2048.0f);
    light->Start();
    Material after;

    EXPECT_NEAR(light->shadowCamera.position.x, -125.0f, 1e-3f);
    EXPECT_NEAR(light->shadowCamera.position.y, 176.7767f, 1e-3f);
    EXPECT_NEAR(light->shadowCamera.position.z, -125.0f, 1e-3f);
    EXPECT_EQ(light->shadowCamera.position.w, 0.0f);
    EXPECT_NEAR(light->shadowCamera.forward.x, 0.5f, 1e-6f);
    EXPECT_NEAR(light->shadowCamera.forward.y, -0.70710677f, 1e-6f);

    float direction[3] = {};
    glGetUniformfv(before.program, glGetUniformLocation(before.program, "light.lightDir"), direction);
    EXPECT_NEAR(direction[0], 0.5f, 1e-6f);
    EXPECT_NEAR(direction[1], -0.70710677f, 1e-6f);
    EXPECT_NEAR(direction[2], 0.5f, 1e-6f);
    float intensity = -1.0f;
    glGetUniformfv(before.program, glGetUniformLocation(before.program, "light.intensity"), &intensity);
    EXPECT_EQ(intensity, 1.0f);
    GLint unit = -1;
    glGetUniformiv(before.program, glGetUniformLocation(before.program, "shadowMap"), &unit);
    EXPECT_EQ(unit, 5);
    glGetUniformfv(after.program, glGetUniformLocation(after.program, "light.intensity"), &intensity);
    EXPECT_EQ(intensity, 0.0f);
    glGetUniformfv(after.program, glGetUniformLocation(after.program, "light.lightDir"), direction);
    EXPECT_EQ(direction[1], 0.0f);

    // The first frame rebuilds the view from the moved position: the camera sits at the view's origin.
    EXPECT_TRUE(light->shadowCamera.needsUpdate);
    light->EarlyUpdate(0.016f);
    EXPECT_FALSE(light->shadowCamera.needsUpdate);
    Float3 eye = TransformPoint(XYZ(light->shadowCamera.position), light->shadowCamera.invViewMatrix);
    EXPECT_NEAR(eye.x, 0.0f, 1e-3f);
    EXPECT_NEAR(eye.z, 0.0f, 1e-3f);
    Float3 target = TransformPoint({ 0, 0, 0 }, light->shadowCamera.invViewMatrix);
    EXPECT_NEAR(target.z, 250.0f, 1e-2f);
    Matrix4x4 lightSpace = light->LightSpaceMatrix();
    EXPECT_EQ(lightSpace, light->shadowCamera.invViewMatrix * light->shadowCamera.projection);
}

TEST_F(RenderingTest, TheShadowMapIsASquareDepthTextureWithAStencilAWhiteBorderAndNoColourBuffer)
{
    GameObject* object = scene.AddObject("Directional light");
    auto* light = AddComponent<DirectionalLight>(*object);
    light->Start();
    glBindTexture(GL_TEXTURE_2D, light->shadowMap);
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 2048);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &value);
    EXPECT_EQ(value, 2048);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_DEPTH_SIZE, &value);
    EXPECT_EQ(value, 24);
    // A stencil beside the depth, for the holes' masks to cut their surfaces out of the map.
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_STENCIL_SIZE, &value);
    EXPECT_EQ(value, 8);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_BORDER);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_BORDER);
    float border[4] = {};
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    EXPECT_EQ(border[0], 1.0f);
    EXPECT_EQ(border[3], 1.0f);

    glBindFramebuffer(GL_FRAMEBUFFER, light->shadowFramebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glGetIntegerv(GL_DRAW_BUFFER, &value);
    EXPECT_EQ(value, GL_NONE);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}
