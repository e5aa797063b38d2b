#include "Scene/InspectorCamera.h"

#include "Core/Input.h"

#include <algorithm>

namespace {

// -1, 0 or 1 from a pair of opposing keys; both held cancel out.
float KeyAxis(int positiveKey, int negativeKey)
{
    return (input->GetKey(positiveKey) ? 1.0f : 0.0f) - (input->GetKey(negativeKey) ? 1.0f : 0.0f);
}

} // namespace

InspectorCamera::InspectorCamera(Float2 resolution)
    : GameCamera(true, resolution)
{
    ballMaterial.albedo = kBallAlbedo;
    ballMaterial.specularStrength = kBallSpecularStrength;
    ballMaterial.shininess = kBallShininess;
}

void InspectorCamera::Update(float deltaTime)
{
    pitch = std::clamp(pitch + static_cast<float>(input->mouseDelta.y) * lookSensitivityY, -kPitchLimit, kPitchLimit);
    // Never wrapped: the angle only feeds sines and cosines.
    yaw += static_cast<float>(input->mouseDelta.x) * lookSensitivityX;

    float along = KeyAxis('W', 'S');
    float side = KeyAxis('D', 'A');
    float lift = KeyAxis(VK_SPACE, 'C');

    float multiplier = 1.0f;
    if (boost)
        multiplier = kBoostMultiplier;
    else if (input->GetKey(VK_CONTROL))
        multiplier = kSlowMultiplier;

    // The move goes along the axes of the previous update (Application::Run builds them before the
    // first frame; a camera whose axes were never built only turns).
    Float3 move = (forward * along + right * side + up * lift) * deltaTime * moveSpeed * multiplier;
    position.x += move.x;
    position.y += move.y;
    position.z += move.z;

    boost = input->GetKey(VK_SHIFT);
    UpdateView();
}
