#include "Graphics/DirectionalLight.h"

#include "Graphics/Shader.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <glad/gl.h>

#include <algorithm>

namespace {

// Samples outside the map read as the far plane: unshadowed.
constexpr GLfloat kShadowBorder[4] = { 1.0f, 1.0f, 1.0f, 1.0f };

} // namespace

DirectionalLight::DirectionalLight()
    : shadowCamera(false, { kShadowViewSize, kShadowViewSize })
{
}

void DirectionalLight::PlaceShadowCamera()
{
    const Transform& transform = *gameObject->transform;
    shadowCamera.position = transform.position;
    shadowCamera.pitch = kPitchDegrees;
    shadowCamera.yaw = kYawDegrees;
    shadowCamera.roll = 0.0f;
    shadowCamera.Update(0.0f);

    // Back along the light direction, so the scene around the light's object is in front of the
    // camera. The camera still asks for an update: the first frame rebuilds its view from here.
    shadowCamera.position.x -= shadowCameraDistance * shadowCamera.forward.x;
    shadowCamera.position.y -= shadowCameraDistance * shadowCamera.forward.y;
    shadowCamera.position.z -= shadowCameraDistance * shadowCamera.forward.z;
    shadowCamera.position.w -= 1.0f;
}

void DirectionalLight::CoverBox(const Float3& min, const Float3& max)
{
    const Float3 centre = (min + max) * 0.5f;
    const float diagonal = Length(max - min);
    Transform& transform = *gameObject->transform;
    transform.position = { centre.x, centre.y, centre.z, 1.0f };
    transform.dirty = true;
    const float view = std::max(kShadowViewSize, diagonal);
    shadowCamera = GameCamera(false, { view, view });
    shadowCameraDistance = std::max(kShadowCameraDistance, diagonal * 0.5f + kShadowCameraClearance);
    PlaceShadowCamera();
}

void DirectionalLight::Start()
{
    PlaceShadowCamera();

    SetGlobalInt("shadowMap", 5);
    SetGlobalFloat("light.intensity", intensity);
    SetGlobalVector3("light.lightColor", lightColor.x, lightColor.y, lightColor.z);
    SetGlobalVector3("light.lightDir", shadowCamera.forward.x, shadowCamera.forward.y, shadowCamera.forward.z);

    const auto size = static_cast<GLsizei>(shadowMapSize);
    glGenFramebuffers(1, &shadowFramebuffer);
    glGenTextures(1, &shadowMap);
    glBindTexture(GL_TEXTURE_2D, shadowMap);
    // Depth with a stencil beside it for the holes' masks, in four bytes a texel as the float depth
    // alone took: half of what float depth with a stencil takes to clear and to sample every frame.
    // The shadow camera's depth is linear over its million units, so 24 bits resolve 0.06 of a unit,
    // well within the shaders' bias. Shaders sample the depth.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH24_STENCIL8, size, size, 0, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, kShadowBorder);
    glBindFramebuffer(GL_FRAMEBUFFER, shadowFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, shadowMap, 0);
    // Depth only: no colour buffer is drawn or read.
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void DirectionalLight::EarlyUpdate(float)
{
    if (!shadowCamera.needsUpdate)
        return;
    shadowCamera.Update(0.0f);
    shadowCamera.needsUpdate = false;
}

Matrix4x4 DirectionalLight::LightSpaceMatrix() const
{
    GameCamera camera = shadowCamera;
    return camera.invViewMatrix * camera.projection;
}
