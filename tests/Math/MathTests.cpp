#include "Math/Matrix4x4.h"
#include "Math/Rotation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kTolerance = 1e-5f;

void ExpectNear(const Float3& actual, const Float3& expected)
{
    EXPECT_NEAR(actual.x, expected.x, kTolerance);
    EXPECT_NEAR(actual.y, expected.y, kTolerance);
    EXPECT_NEAR(actual.z, expected.z, kTolerance);
}

// q v q*, the way the physics library rotates a vector by a quaternion.
Float3 Rotate(const Quaternion& q, const Float3& v)
{
    Float3 u { q.x, q.y, q.z };
    return u * (2.0f * Dot(u, v)) + v * (q.w * q.w - Dot(u, u)) + Cross(u, v) * (2.0f * q.w);
}

} // namespace

TEST(Math, EulerMatrixMatchesTheHandExpandedProductOfTheThreeAxes)
{
    const float a = 0.3f, b = 0.5f, c = 0.7f;
    const float sa = std::sin(a), ca = std::cos(a), sb = std::sin(b), cb = std::cos(b), sc = std::sin(c),
                cc = std::cos(c);
    // Rx(a) x Ry(b) x Rz(c), multiplied out on paper.
    const float expected[3][3] = {
        { cb * cc, cb * sc, -sb },
        { sa * sb * cc - ca * sc, sa * sb * sc + ca * cc, sa * cb },
        { ca * sb * cc + sa * sc, ca * sb * sc - sa * cc, ca * cb },
    };
    Matrix4x4 r = EulerRotationMatrix(a, b, c);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(r.m[i][j], expected[i][j], kTolerance) << "[" << i << "][" << j << "]";
        EXPECT_EQ(r.m[i][3], 0.0f);
        EXPECT_EQ(r.m[3][i], 0.0f);
    }
    EXPECT_EQ(r.m[3][3], 1.0f);
}

TEST(Math, EulerMatrixRotatesRowVectorsAboutXThenYThenZ)
{
    const float half = std::numbers::pi_v<float> / 2.0f;
    // A quarter turn about y takes +x to -z and +z to +x (y up, left-handed view from +z).
    ExpectNear(TransformDirection({ 1, 0, 0 }, EulerRotationMatrix(0, half, 0)), { 0, 0, -1 });
    ExpectNear(TransformDirection({ 0, 0, 1 }, EulerRotationMatrix(0, half, 0)), { 1, 0, 0 });
    ExpectNear(TransformDirection({ 0, 1, 0 }, EulerRotationMatrix(half, 0, 0)), { 0, 0, 1 });
    ExpectNear(TransformDirection({ 1, 0, 0 }, EulerRotationMatrix(0, 0, half)), { 0, 1, 0 });
    // x first: +y goes to +z about x, then +z goes to +x about y.
    ExpectNear(TransformDirection({ 0, 1, 0 }, EulerRotationMatrix(half, half, 0)), { 1, 0, 0 });
}

TEST(Math, QuaternionFromEulerAnglesRotatesLikeTheEulerMatrix)
{
    const float angles[][3] = { { 0.3f, 0, 0 }, { 0, 0.5f, 0 }, { 0, 0, 0.7f }, { 0.3f, 0.5f, 0.7f },
        { -2.258f, -1.57f, -3.14159f }, { 0, std::numbers::pi_v<float>, 0 } };
    for (const auto& e : angles) {
        Quaternion q = EulerToQuaternion(e[0], e[1], e[2]);
        EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, kTolerance);
        Float3 v { 1, 2, 3 };
        ExpectNear(Rotate(q, v), TransformDirection(v, EulerRotationMatrix(e[0], e[1], e[2])));
    }
    Quaternion quarterY = EulerToQuaternion(0, std::numbers::pi_v<float> / 2.0f, 0);
    EXPECT_NEAR(quarterY.y, std::sqrt(0.5f), kTolerance);
    EXPECT_NEAR(quarterY.w, std::sqrt(0.5f), kTolerance);
    EXPECT_NEAR(quarterY.x, 0.0f, kTolerance);
    EXPECT_NEAR(quarterY.z, 0.0f, kTolerance);
}

TEST(Math, RigidInverseUndoesRotationAndTranslation)
{
    Matrix4x4 m = EulerRotationMatrix(0.4f, -1.1f, 2.0f);
    m.m[3][0] = 10.0f;
    m.m[3][1] = -20.0f;
    m.m[3][2] = 30.0f;
    Matrix4x4 inverse = RigidInverse(m);

    Matrix4x4 product = m * inverse;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(product.m[i][j], i == j ? 1.0f : 0.0f, kTolerance);

    Float3 p { 3, -4, 5 };
    ExpectNear(TransformPoint(TransformPoint(p, m), inverse), p);
    // For a direction the inverse is the transposed rotation alone.
    ExpectNear(TransformDirection(p, inverse), TransformDirection(p, Transpose(m)));
}

TEST(Math, ProductAppliesTheLeftMatrixFirst)
{
    Matrix4x4 translate = Matrix4x4::Identity();
    translate.m[3][0] = 5.0f;
    Matrix4x4 rotate = EulerRotationMatrix(0, std::numbers::pi_v<float> / 2.0f, 0);
    // Translate then rotate: (0,0,0) -> (5,0,0) -> (0,0,-5).
    ExpectNear(TransformPoint({ 0, 0, 0 }, translate * rotate), { 0, 0, -5 });
    Matrix4x4 inPlace = translate;
    MultiplyInPlace(inPlace, rotate);
    EXPECT_EQ(inPlace, translate * rotate);
    EXPECT_EQ(Matrix4x4::Identity() * rotate, rotate);
}

TEST(Math, DegreesToRadiansUsesTheSinglePrecisionFactor)
{
    EXPECT_EQ(DegreesToRadians(1.0f), 0.017453292f);
    EXPECT_NEAR(DegreesToRadians(180.0f), std::numbers::pi_v<float>, 1e-6f);
    EXPECT_EQ(DegreesToRadians(-45.0f), -45.0f * 0.017453292f);
}

TEST(Math, QuaternionToEulerUndoesEulerToQuaternion)
{
    const float angles[][3] = { { 0.3f, 0.5f, 0.7f }, { -1.2f, 0.4f, 2.9f }, { 0.0f, -1.5f, 0.0f } };
    for (const auto& e : angles) {
        Float3 back = QuaternionToEuler(EulerToQuaternion(e[0], e[1], e[2]));
        EXPECT_NEAR(back.x, e[0], 1e-4f);
        EXPECT_NEAR(back.y, e[1], 1e-4f);
        EXPECT_NEAR(back.z, e[2], 1e-4f);
    }
    // A quarter turn about y reads back as exactly +-pi/2, even when rounding pushes the sine past 1.
    const float half = std::numbers::pi_v<float> / 2.0f;
    EXPECT_NEAR(QuaternionToEuler(EulerToQuaternion(0, half, 0)).y, half, 1e-6f);
    EXPECT_NEAR(QuaternionToEuler(EulerToQuaternion(0, -half, 0)).y, -half, 1e-6f);
    Quaternion overshoot { 0.0f, 0.70710683f, 0.0f, 0.70710683f };
    EXPECT_FLOAT_EQ(QuaternionToEuler(overshoot).y, half);
}
