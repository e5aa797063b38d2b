#pragma once
// 4x4 single-precision matrix, row-major, row-vector convention: a point p = (x, y, z, 1) is
// transformed as p x M, the translation sits in the fourth row, and A x B applies A first.
// Matrices go to OpenGL as stored, with transpose GL_FALSE.

#include "Math/Vector.h"

struct Matrix4x4 {
    float m[4][4] = {};

    static constexpr Matrix4x4 Identity()
    {
        Matrix4x4 result;
        for (int i = 0; i < 4; ++i)
            result.m[i][i] = 1.0f;
        return result;
    }

    const float* Data() const { return &m[0][0]; }
};

bool operator==(const Matrix4x4& a, const Matrix4x4& b);

// The plain product: element [i][j] = sum over k of a[i][k] * b[k][j].
Matrix4x4 operator*(const Matrix4x4& a, const Matrix4x4& b);

// a = a x b.
void MultiplyInPlace(Matrix4x4& a, const Matrix4x4& b);

// The inverse of a rotation-plus-translation matrix: the negated translation followed by the
// transposed rotation. Scale is not divided out, so only rigid matrices come back exactly inverted.
Matrix4x4 RigidInverse(const Matrix4x4& matrix);

Matrix4x4 Transpose(const Matrix4x4& matrix);

// p x M for a point (w = 1) and for a direction (w = 0).
Float3 TransformPoint(const Float3& point, const Matrix4x4& matrix);
Float3 TransformDirection(const Float3& direction, const Matrix4x4& matrix);
Float4 MultiplyRowVector(const Float4& row, const Matrix4x4& matrix);
