#include "Scene/GameCamera.h"

#include "Math/Rotation.h"

#include <cmath>

GameCamera* activeCamera = nullptr;

namespace {

// [row][column] of the row-vector matrix: clip-space w equals view-space z.
Matrix4x4 PerspectiveProjection(float fieldOfView, float aspect, float nearPlane, float farPlane)
{
    float f = 1.0f / std::tan(fieldOfView / 2.0f);
    Matrix4x4 p;
    p.m[0][0] = f;
    // The field of view is the horizontal one: the vertical extent follows from the aspect ratio.
    p.m[1][1] = f * aspect;
    p.m[2][2] = farPlane / (farPlane - nearPlane);
    p.m[2][3] = 1.0f;
    p.m[3][2] = -nearPlane * farPlane / (farPlane - nearPlane);
    p.m[3][3] = 0.0f;
    return p;
}

// A view volume centred on the view axis: -w/2...w/2 across, -h/2...h/2 up.
Matrix4x4 OrthographicProjection(Float2 size, float nearPlane, float farPlane)
{
    Matrix4x4 p;
    p.m[0][0] = 2.0f / size.x;
    p.m[1][1] = 2.0f / size.y;
    p.m[2][2] = 1.0f / (farPlane - nearPlane);
    p.m[3][2] = -nearPlane / (farPlane - nearPlane);
    p.m[3][3] = 1.0f;
    return p;
}

} // namespace

GameCamera::GameCamera(bool perspective, Float2 size)
    : GameCamera(perspective, size, Camera {}.nearPlane, Camera {}.farPlane)
{
}

GameCamera::GameCamera(bool perspective, Float2 size, float nearDepth, float farDepth)
{
    nearPlane = nearDepth;
    farPlane = farDepth;
    projection = perspective ? PerspectiveProjection(fieldOfView, size.x / size.y, nearPlane, farPlane)
                             : OrthographicProjection(size, nearPlane, farPlane);
}

void GameCamera::Update(float)
{
    UpdateView();
}

void GameCamera::UpdateView()
{
    float pitchRadians = pitch * kDegreesToRadians;
    float yawRadians = yaw * kDegreesToRadians;
    float rollRadians = roll * kDegreesToRadians;

    forward.x = std::sin(yawRadians) * std::cos(pitchRadians);
    forward.y = std::sin(pitchRadians);
    forward.z = std::cos(yawRadians) * std::cos(pitchRadians);
    // The right axis stays level: its y keeps the 0 it was built with.
    right.x = std::cos(yawRadians);
    right.z = -std::sin(yawRadians);
    up = Cross(forward, right);

    invViewMatrix = Matrix4x4::Identity();
    invViewMatrix.m[3][0] = -position.x;
    invViewMatrix.m[3][1] = -position.y;
    invViewMatrix.m[3][2] = -position.z;
    // The camera's rotation is pure, so its inverse is its transpose. Pitch is negated: a positive
    // pitch looks up, which is a negative turn about x in this rotation's sense.
    Matrix4x4 rotation = EulerRotationMatrix(-pitchRadians, yawRadians, rollRadians);
    MultiplyInPlace(invViewMatrix, Transpose(rotation));
}
