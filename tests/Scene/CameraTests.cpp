#include "Scene/GameCamera.h"

#include <gtest/gtest.h>

namespace {

constexpr Float2 kFullHd { 1920.0f, 1080.0f };

// Clip-space depth z/w of a point at view depth `z` on the view axis.
float ClipDepth(const Matrix4x4& projection, float z)
{
    Float4 clip = MultiplyRowVector({ 0.0f, 0.0f, z, 1.0f }, projection);
    return clip.z / clip.w;
}

void ExpectNear(const Float3& actual, const Float3& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

} // namespace

TEST(GameCamera, PerspectiveProjectionHasANinetyDegreeHorizontalFieldOfView)
{
    GameCamera camera(true, kFullHd);
    const Matrix4x4& p = camera.projection;
    EXPECT_EQ(p.m[0][0], 1.0f);
    EXPECT_FLOAT_EQ(p.m[1][1], 1.7777778f);
    EXPECT_FLOAT_EQ(p.m[2][2], 1000000.0f / 999999.0f);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_FLOAT_EQ(p.m[3][2], -1000000.0f / 999999.0f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    EXPECT_EQ(p.m[0][1], 0.0f);
    EXPECT_EQ(p.m[3][0], 0.0f);
    // The near plane lands at depth 0 and the far plane at depth 1.
    EXPECT_NEAR(ClipDepth(p, 1.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(ClipDepth(p, 1000000.0f), 1.0f, 1e-6f);

    EXPECT_EQ(camera.fieldOfView, 1.5707964f);
    EXPECT_TRUE(camera.needsUpdate);
    EXPECT_EQ(camera.invViewMatrix, Matrix4x4::Identity());
    EXPECT_EQ(camera.forward, (Float3 { 0, 0, 0 }));
}

TEST(GameCamera, OrthographicProjectionSpansTheGivenVolume)
{
    GameCamera camera(false, { 1024.0f, 512.0f });
    const Matrix4x4& p = camera.projection;
    EXPECT_EQ(p.m[0][0], 2.0f / 1024.0f);
    EXPECT_EQ(p.m[1][1], 2.0f / 512.0f);
    EXPECT_EQ(p.m[2][2], 1.0f / 999999.0f);
    EXPECT_EQ(p.m[3][2], -1.0f / 999999.0f);
    EXPECT_EQ(p.m[3][3], 1.0f);
    EXPECT_EQ(p.m[2][3], 0.0f);
    EXPECT_EQ(p.m[3][0], 0.0f);
    Float4 corner = MultiplyRowVector({ 512.0f, -256.0f, 1.0f, 1.0f }, p);
    EXPECT_FLOAT_EQ(corner.x, 1.0f);
    EXPECT_FLOAT_EQ(corner.y, -1.0f);
    EXPECT_NEAR(corner.z, 0.0f, 1e-7f);
}

TEST(GameCamera, UpdateBuildsTheAxesAndTheWorldToCameraMatrix)
{
    GameCamera camera(true, kFullHd);
    camera.Update(0.0f);
    ExpectNear(camera.forward, { 0, 0, 1 });
    ExpectNear(camera.right, { 1, 0, 0 });
    ExpectNear(camera.up, { 0, 1, 0 });

    // Turned to look along +x from (10, 0, 0): a point 10 ahead is at view depth 10.
    camera.position = { 10.0f, 0.0f, 0.0f, 1.0f };
    camera.yaw = 90.0f;
    camera.Update(0.0f);
    ExpectNear(camera.forward, { 1, 0, 0 });
    ExpectNear(camera.right, { 0, 0, -1 });
    ExpectNear(TransformPoint({ 20, 0, 0 }, camera.invViewMatrix), { 0, 0, 10 });
    ExpectNear(TransformPoint({ 10, 0, -3 }, camera.invViewMatrix), { 3, 0, 0 });

    // Looking up: a point above the camera is straight ahead; world up leans towards the viewer.
    camera.position = { 0.0f, 0.0f, 0.0f, 1.0f };
    camera.yaw = 0.0f;
    camera.pitch = 90.0f;
    camera.Update(0.0f);
    ExpectNear(camera.forward, { 0, 1, 0 });
    ExpectNear(TransformPoint({ 0, 5, 0 }, camera.invViewMatrix), { 0, 0, 5 });
    ExpectNear(camera.up, { 0, 0, -1 });
    EXPECT_TRUE(camera.needsUpdate);
}
