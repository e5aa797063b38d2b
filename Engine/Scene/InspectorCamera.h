#pragma once
// The player's free-fly camera. While the right mouse button is held the frame loop calls Update:
// the mouse turns it, W/S/A/D and Space/C move it, Shift makes it five times faster and Ctrl ten
// times slower (Shift wins).
//
// A local of Application::Run, which makes it the activeCamera. Main thread only.

#include "Graphics/Material.h"
#include "Scene/GameCamera.h"

class InspectorCamera : public GameCamera {
public:
    static constexpr float kDefaultMoveSpeed = 25.0f;
    static constexpr float kDefaultLookSensitivity = 0.1f;
    static constexpr float kBoostMultiplier = 5.0f;
    static constexpr float kSlowMultiplier = 0.1f;
    static constexpr float kPitchLimit = 90.0f;
    static constexpr Float4 kBallAlbedo { 1.0f, 0.0f, 0.0f, 1.0f };
    static constexpr float kBallSpecularStrength = 0.5f;
    static constexpr float kBallShininess = 64.0f;

    // A perspective camera for `resolution`, with the default flight settings. Builds the ball
    // material's program, so the GL context must be current.
    explicit InspectorCamera(Float2 resolution);

    // Mouse look, keyboard flight, then the view recomputation. Reads `input`.
    void Update(float deltaTime) override;

    // World units per second at multiplier 1.
    float moveSpeed = kDefaultMoveSpeed;
    // Whether Shift was held at the previous Update: the boost starts with the update after Shift went down.
    bool boost = false;
    // Degrees per pixel of mouse movement.
    float lookSensitivityX = kDefaultLookSensitivity;
    float lookSensitivityY = kDefaultLookSensitivity;
    // The look of every thrown ball: red, fairly shiny.
    Material ballMaterial;
};
