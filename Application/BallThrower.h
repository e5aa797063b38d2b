#pragma once
// Ball throwing: each press of the left mouse button throws a ball from the camera.

// The thrown ball: a sphere of this radius, leaving the camera at this speed along its view.
inline constexpr float kBallRadius = 5.0f;
inline constexpr float kThrowSpeed = 1500.0f;

// Frame step, after the camera update and before the physics step. Main thread.
void SpawnBall();
