#include "Math/Matrix4x4.h"

bool operator==(const Matrix4x4& a, const Matrix4x4& b)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (a.m[i][j] != b.m[i][j])
                return false;
    return true;
}

Matrix4x4 operator*(const Matrix4x4& a, const Matrix4x4& b)
{
    Matrix4x4 result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            result.m[i][j] = sum;
        }
    return result;
}

void MultiplyInPlace(Matrix4x4& a, const Matrix4x4& b)
{
    a = a * b;
}

Matrix4x4 Transpose(const Matrix4x4& matrix)
{
    Matrix4x4 result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result.m[i][j] = matrix.m[j][i];
    return result;
}

Matrix4x4 RigidInverse(const Matrix4x4& matrix)
{
    Matrix4x4 negatedTranslation = Matrix4x4::Identity();
    for (int j = 0; j < 3; ++j)
        negatedTranslation.m[3][j] = -matrix.m[3][j];

    Matrix4x4 transposedRotation = Matrix4x4::Identity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            transposedRotation.m[i][j] = matrix.m[j][i];

    return negatedTranslation * transposedRotation;
}

Float4 MultiplyRowVector(const Float4& row, const Matrix4x4& matrix)
{
    const float in[4] = { row.x, row.y, row.z, row.w };
    float out[4] = {};
    for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 4; ++k)
            out[j] += in[k] * matrix.m[k][j];
    return { out[0], out[1], out[2], out[3] };
}

Float3 TransformPoint(const Float3& point, const Matrix4x4& matrix)
{
    return XYZ(MultiplyRowVector({ point.x, point.y, point.z, 1.0f }, matrix));
}

Float3 TransformDirection(const Float3& direction, const Matrix4x4& matrix)
{
    return XYZ(MultiplyRowVector({ direction.x, direction.y, direction.z, 0.0f }, matrix));
}
