#pragma once
// Euler angles: the rotation matrix and quaternion every part of the engine agrees on.

#include "Math/Matrix4x4.h"
#include "Math/Quaternion.h"

// pi / 180 in single precision.
constexpr float kDegreesToRadians = 0.017453292f;

constexpr float DegreesToRadians(float degrees)
{
    return degrees * kDegreesToRadians;
}

// R = Rx(x) x Ry(y) x Rz(z) for angles in radians, in row-vector form, so a row vector is rotated
// about x first, then y, then z:
//   Rx(a) rows (1, 0, 0), (0, cos a, sin a), (0, -sin a, cos a)
//   Ry(a) rows (cos a, 0, -sin a), (0, 1, 0), (sin a, 0, cos a)
//   Rz(a) rows (cos a, sin a, 0), (-sin a, cos a, 0), (0, 0, 1)
Matrix4x4 EulerRotationMatrix(float x, float y, float z);

// The quaternion of Euler angles x, y, z in radians, normalised.
Quaternion EulerToQuaternion(float x, float y, float z);

// The Euler angles x, y, z in radians of a unit quaternion: the inverse of EulerToQuaternion, with the
// angle about y within -pi/2...pi/2 (its sine clamped to -1...1 against rounding).
Float3 QuaternionToEuler(const Quaternion& q);
