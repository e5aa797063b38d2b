#pragma once
// The component that lights the scene and casts its shadows: an orthographic camera looking from the
// light's side, a square depth texture (the shadow map, with a stencil beside the depth: the holes'
// masks cut their surfaces out of it as they cut them out of the picture) and the framebuffer that
// renders into it.
//
// The demo scene creates one and stores it in `sceneLight`; the graphics engine always uses that
// one. Its uniforms are sent once, by Start, to the materials registered at that moment. The shadow
// map and framebuffer are never deleted or resized. Main thread only, with the GL context current.

#include "Math/Matrix4x4.h"
#include "Math/Vector.h"
#include "Scene/Component.h"
#include "Scene/GameCamera.h"

#include <cstdint>

class DirectionalLight : public Component {
public:
    static constexpr float kShadowViewSize = 1024.0f;
    static constexpr float kShadowMapSize = 2048.0f;
    // The light looks down at 45 degrees, turned 45 degrees from +z towards +x.
    static constexpr float kPitchDegrees = -45.0f;
    static constexpr float kYawDegrees = 45.0f;
    // How far the shadow camera sits behind the light's game object, along the light direction.
    static constexpr float kShadowCameraDistance = 250.0f;
    // Room left between what the light covers and its shadow camera, in world units, when CoverBox
    // moves the camera further back than that.
    static constexpr float kShadowCameraClearance = 10.0f;

    DirectionalLight();

    // Places the shadow camera, sends the light's uniforms to every registered material and builds
    // the shadow map and its framebuffer.
    void Start() override;

    // Rebuilds the shadow camera's view when it asks for it.
    void EarlyUpdate(float deltaTime) override;

    // Aims the light at the box from `min` to `max` so that all of it casts shadows, for a scene larger
    // than the cabin: the light's game object moves to the box's middle, the shadow camera's view
    // widens from the cabin's to the box's diagonal when that is longer, and the camera stands back as
    // far as the box needs. Places the camera as Start does (Start places it the same way again); its
    // view is rebuilt by the next EarlyUpdate.
    void CoverBox(const Float3& min, const Float3& max);

    // The matrix taking world points into the shadow camera's clip space: its view times its
    // projection. Reads the camera through a copy.
    Matrix4x4 LightSpaceMatrix() const;

    float intensity = 1.0f;
    // How far the shadow camera sits behind the light's game object: kShadowCameraDistance, unless
    // CoverBox needed more.
    float shadowCameraDistance = kShadowCameraDistance;
    // Orthographic, 1024 x 1024 world units across, from 1 to 1,000,000 units ahead.
    GameCamera shadowCamera;
    Float3 lightColor { 1.0f, 1.0f, 1.0f };
    // Width and height of the shadow map in texels (truncated where used).
    float shadowMapSize = kShadowMapSize;
    std::uint32_t shadowMap = 0;
    std::uint32_t shadowFramebuffer = 0;

private:
    // The shadow camera at the game object's place, turned to the light's angles, then moved back
    // along the light direction by shadowCameraDistance.
    void PlaceShadowCamera();
};
