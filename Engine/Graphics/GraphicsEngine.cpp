#include "Graphics/GraphicsEngine.h"

#include "Graphics/DirectionalLight.h"
#include "Graphics/MeshRenderer.h"
#include "Graphics/Shader.h"
#include "Scene/GameCamera.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <glad/gl.h>

#include <algorithm>
#include <type_traits>

DirectionalLight* sceneLight = nullptr;
bool firstFrame = true;

namespace {

constexpr std::size_t kInitialMaskGroupBuckets = 8;
constexpr float kMaxMaskGroupLoadFactor = 1.0f;
// Material textures use units 0 to 4; the shadow map keeps this one for the whole main pass.
constexpr GLenum kShadowMapUnit = GL_TEXTURE5;
// Masks write 2 into the stencil buffer and the masked renderer is then drawn where the stencil is
// not 1, so the stencil alone never hides a pixel. What cuts the hole is the mask's depth: drawn with
// colour writes off, it makes the renderer fail the depth test wherever the mask lies in front of it.
constexpr GLint kMaskWriteReference = 2;
constexpr GLint kMaskTestReference = 1;
// In the shadow pass the masks cut by the stencil alone: they write no depth (so a hole casts no
// shadow of its own) and mark the stencil, and their renderer is drawn only where it is not marked (so
// the light passes through the hole). Each masked renderer of the pass marks with a value of its own,
// 1 to this, so the marks of one never cut another; past it the stencil is cleared and they start again.
constexpr GLint kLastShadowMark = 0xFF;

float SquaredDistance(const Float4& a, const Float4& b)
{
    float dx = a.x - b.x;
    float dy = a.y - b.y;
    float dz = a.z - b.z;
    float dw = a.w - b.w;
    return dx * dx + dy * dy + dz * dz + dw * dw;
}

// The lambdas below capture nothing (the shadow pass's mask states, only their stencil mark): they fit
// std::function's own storage, so recording them allocates nothing, and they read the program-wide
// camera and light when they run.
void BeginShadowPass()
{
    if (sceneLight == nullptr)
        return;
    const DirectionalLight& light = *sceneLight;
    UploadCameraUniforms(light.shadowCamera);
    const auto size = static_cast<GLsizei>(light.shadowMapSize);
    glViewport(0, 0, size, size);
    glBindFramebuffer(GL_FRAMEBUFFER, light.shadowFramebuffer);
    glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glCullFace(GL_BACK);
    // Only the masked renderers' draws need the stencil here; the others go without the test.
    glDisable(GL_STENCIL_TEST);
}

void BeginMainPass()
{
    glEnable(GL_STENCIL_TEST);
    glCullFace(GL_FRONT);
    UploadCameraUniforms(*activeCamera);
    if (sceneLight != nullptr) {
        Matrix4x4 lightSpace = sceneLight->LightSpaceMatrix();
        SetGlobalMatrix("lightSpaceMatrix", lightSpace.Data());
    }
    const GraphicsEngine& engine = GraphicsEngine::GetInstance();
    glViewport(0, 0, engine.width, engine.height);
    glBindFramebuffer(GL_FRAMEBUFFER, engine.mainFramebuffer);
    glActiveTexture(kShadowMapUnit);
    glBindTexture(GL_TEXTURE_2D, sceneLight != nullptr ? sceneLight->shadowMap : 0);
}

void BeginMaskWrite()
{
    glEnable(GL_DEPTH_TEST);
    glStencilFunc(GL_ALWAYS, kMaskWriteReference, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
}

void BeginMaskTest()
{
    glEnable(GL_DEPTH_TEST);
    glStencilFunc(GL_NOTEQUAL, kMaskTestReference, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

// The shadow pass's mask states, for the masks of the masked renderer whose mark is `mark`.
void BeginShadowMaskWrite(GLint mark)
{
    glEnable(GL_STENCIL_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glStencilFunc(GL_ALWAYS, mark, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
}

void BeginShadowMaskTest(GLint mark)
{
    glDepthMask(GL_TRUE);
    glStencilFunc(GL_NOTEQUAL, mark, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

void ClearShadowMarks()
{
    glClear(GL_STENCIL_BUFFER_BIT);
}

// The passes record at most this many lambda commands between two draws (a mask test state right after
// a mask write state), with room to spare.
constexpr std::size_t kLambdasBetweenDraws = 4;

// A frame with more draws than one arena holds runs in as many lists as it needs: when a draw would
// leave no room for the state commands that may follow it, what is recorded runs and the list starts
// again empty. GL state carries from one list to the next, so the frame draws as from one list.
template <class T>
void EnqueueDraw(GraphicsCommandList& list, MeshRenderer& renderer)
{
    constexpr std::uint64_t kRoomNeeded = sizeof(T) + kLambdasBetweenDraws * sizeof(LambdaGraphicsCommand);
    if (list.capacity - list.used < kRoomNeeded) {
        list.Execute();
        list.Reset();
    }
    list.Enqueue<T>(renderer.gameObject, &renderer.model, &renderer.material);
}

} // namespace

void SetFixedGlState()
{
    glEnable(GL_BLEND);
    glEnable(GL_STENCIL_TEST);
    glEnable(GL_MULTISAMPLE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
}

GraphicsEngine& GraphicsEngine::GetInstance()
{
    static GraphicsEngine instance;
    return instance;
}

GraphicsEngine::GraphicsEngine()
    : maskRenderers(kInitialMaskGroupBuckets)
{
    maskRenderers.max_load_factor(kMaxMaskGroupLoadFactor);
}

void GraphicsEngine::RegisterRenderer(MeshRenderer* renderer)
{
    if (renderer->maskOf != 0)
        maskRenderers[renderer->maskOf].push_back(renderer);
    else
        renderers.push_back(renderer);
}

void GraphicsEngine::RecordFrame()
{
    GraphicsEngine& engine = GetInstance();
    engine.commandList.Reset();
    engine.SortRenderers();
    engine.RenderShadows();
    engine.Render<RenderMeshCommand>();
    engine.commandList.Execute();
}

void GraphicsEngine::SortRenderers()
{
    const Float4 eye = activeCamera->position;
    std::sort(renderers.begin(), renderers.end(), [&eye](const MeshRenderer* a, const MeshRenderer* b) {
        return SquaredDistance(a->gameObject->transform->position, eye)
            > SquaredDistance(b->gameObject->transform->position, eye);
    });
}

void GraphicsEngine::RenderShadows()
{
    commandList.Enqueue<LambdaGraphicsCommand>(BeginShadowPass);
    if (drawShadows)
        Render<RenderShadowCommand>();
    commandList.Enqueue<LambdaGraphicsCommand>(BeginMainPass);
}

template <class T>
void GraphicsEngine::Render()
{
    for (MeshRenderer* renderer : renderers)
        if (renderer->maskGroup == 0)
            EnqueueDraw<T>(commandList, *renderer);

    // Masked renderers and their masks draw with the full material in both passes.
    constexpr bool kShadowPass = std::is_same_v<T, RenderShadowCommand>;
    GLint mark = 0;
    for (MeshRenderer* renderer : renderers) {
        if (renderer->maskGroup == 0)
            continue;
        if constexpr (kShadowPass) {
            if (mark == kLastShadowMark) {
                commandList.Enqueue<LambdaGraphicsCommand>(ClearShadowMarks);
                mark = 0;
            }
            ++mark;
            commandList.Enqueue<LambdaGraphicsCommand>([mark] { BeginShadowMaskWrite(mark); });
        } else {
            commandList.Enqueue<LambdaGraphicsCommand>(BeginMaskWrite);
        }
        if (auto masks = maskRenderers.find(renderer->maskGroup); masks != maskRenderers.end())
            for (MeshRenderer* mask : masks->second)
                EnqueueDraw<RenderMeshCommand>(commandList, *mask);
        if constexpr (kShadowPass)
            commandList.Enqueue<LambdaGraphicsCommand>([mark] { BeginShadowMaskTest(mark); });
        else
            commandList.Enqueue<LambdaGraphicsCommand>(BeginMaskTest);
        EnqueueDraw<RenderMeshCommand>(commandList, *renderer);
    }
}

template void GraphicsEngine::Render<RenderMeshCommand>();
template void GraphicsEngine::Render<RenderShadowCommand>();
