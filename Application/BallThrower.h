#pragma once
// Ball throwing: each press of the left mouse button throws a ball from the camera.

// The thrown ball: a sphere of this radius, leaving the camera at this speed along its view.
inline constexpr float kBallRadius = 5.0f;
inline constexpr float kThrowSpeed = 1500.0f;

#include "Math/Vector.h"

class GameObject;
class InspectorCamera;

// Frame step, after the camera update and before the physics step: a press of the left mouse button
// makes a ball at the camera and sends it along the camera's view. Main thread.
void SpawnBall();

// A "Metal Ball" at `position`, as a throw makes one: the sphere model with the camera's ball
// material (registered with the graphics engine), a Ball, a RigidBody and a SphereCollider, all
// started, at rest. The object lives until the process ends. Main thread.
GameObject* MakeBall(const InspectorCamera& camera, const Float3& position);
