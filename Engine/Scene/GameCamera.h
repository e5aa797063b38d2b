#pragma once
// The general camera, perspective or orthographic. Copied by value where a snapshot is needed (the
// shadow pass copies the light's camera). Main thread only.

#include "Scene/Camera.h"

class GameCamera : public Camera {
public:
    // `size` is (width, height): for a perspective camera the resolution whose aspect ratio is used,
    // for an orthographic one the extent of the view volume in world units. View depth near...far
    // maps to 0...1.
    GameCamera(bool perspective, Float2 size);
    // The same with its own depth range: a view of a small object keeps the depth buffer's
    // precision for it instead of spreading it over a million units.
    GameCamera(bool perspective, Float2 size, float nearDepth, float farDepth);
    virtual ~GameCamera() = default;
    GameCamera(const GameCamera&) = default;
    GameCamera& operator=(const GameCamera&) = default;

    // Recomputes the axes and invViewMatrix from position and the angles. deltaTime is not used;
    // projection and needsUpdate are not touched.
    virtual void Update(float deltaTime);

protected:
    void UpdateView();
};

// The camera of the main pass, set by Application::Run.
extern GameCamera* activeCamera;
