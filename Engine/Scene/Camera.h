#pragma once
// The data of a camera: a projection, a position with three Euler angles in degrees, the axes and the
// world-to-camera matrix built from them. GameCamera (GameCamera.h) builds and updates it.
//
// The world is left-handed with y up: at zero angles a camera looks along +z, its right is +x and its
// up is +y. Pitch is positive upwards; yaw turns from +z towards +x.

#include "Math/Matrix4x4.h"
#include "Math/Vector.h"

class Camera {
public:
    // Built once by the GameCamera constructor.
    Matrix4x4 projection;
    // Horizontal field of view in radians (perspective only): 90 degrees.
    float fieldOfView = 1.5707964f;
    float nearPlane = 1.0f;
    float farPlane = 1000000.0f;
    // Raised at construction; an owner that drives the camera runs Update when it is set, then clears it.
    bool needsUpdate = true;
    // The camera's axes in world space, computed by Update; zero until then.
    Float3 forward;
    Float3 right;
    Float3 up;
    // World position in x, y, z; w is 1 unless an owner changes it (the render-list sort reads all four).
    Float4 position { 0.0f, 0.0f, 0.0f, 1.0f };
    // Euler angles in degrees.
    float pitch = 0.0f;
    float yaw = 0.0f;
    float roll = 0.0f;
    float unusedAngle = 0.0f;
    // World-to-camera matrix, uploaded as "invViewMatrix".
    Matrix4x4 invViewMatrix = Matrix4x4::Identity();
};
