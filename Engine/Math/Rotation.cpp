#include "Math/Rotation.h"

#include <algorithm>
#include <cmath>

namespace {

Matrix4x4 RotationX(float a)
{
    Matrix4x4 r = Matrix4x4::Identity();
    float c = std::cos(a);
    float s = std::sin(a);
    r.m[1][1] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    r.m[2][2] = c;
    return r;
}

Matrix4x4 RotationY(float a)
{
    Matrix4x4 r = Matrix4x4::Identity();
    float c = std::cos(a);
    float s = std::sin(a);
    r.m[0][0] = c;
    r.m[0][2] = -s;
    r.m[2][0] = s;
    r.m[2][2] = c;
    return r;
}

Matrix4x4 RotationZ(float a)
{
    Matrix4x4 r = Matrix4x4::Identity();
    float c = std::cos(a);
    float s = std::sin(a);
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

} // namespace

Matrix4x4 EulerRotationMatrix(float x, float y, float z)
{
    return RotationX(x) * RotationY(y) * RotationZ(z);
}

Quaternion EulerToQuaternion(float x, float y, float z)
{
    float sx = std::sin(x * 0.5f);
    float cx = std::cos(x * 0.5f);
    float sy = std::sin(y * 0.5f);
    float cy = std::cos(y * 0.5f);
    float sz = std::sin(z * 0.5f);
    float cz = std::cos(z * 0.5f);

    Quaternion q;
    q.x = cy * sx * cz - sy * cx * sz;
    q.y = sy * cx * cz + cy * sx * sz;
    q.z = cy * cx * sz - sy * sx * cz;
    q.w = sy * sx * sz + cy * cx * cz;

    float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    q.x /= length;
    q.y /= length;
    q.z /= length;
    q.w /= length;
    return q;
}

Float3 QuaternionToEuler(const Quaternion& q)
{
    Float3 angles;
    angles.x = std::atan2(2.0f * (q.w * q.x + q.y * q.z), 1.0f - 2.0f * (q.x * q.x + q.y * q.y));
    angles.y = std::asin(std::clamp(2.0f * (q.w * q.y - q.z * q.x), -1.0f, 1.0f));
    angles.z = std::atan2(2.0f * (q.w * q.z + q.x * q.y), 1.0f - 2.0f * (q.y * q.y + q.z * q.z));
    return angles;
}
