#pragma once
// Ball throwing: each press of the left mouse button throws a ball from the camera.

// Frame step, after the camera update and before the physics step. Main thread.
void SpawnBall();
