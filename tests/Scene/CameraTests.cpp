#include "Core/Input.h"
#include "Scene/GameCamera.h"
#include "Scene/InspectorCamera.h"

#include <gtest/gtest.h>

#include <memory>

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

class InspectorCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousInput = input;
        input = keyboard.get();
    }
    void TearDown() override { input = previousInput; }

    void Hold(int vk, bool down) { keyboard->HandleMessage(down ? WM_KEYDOWN : WM_KEYUP, vk, 0); }

    // The first update only turns the camera: its axes are still zero.
    void TurnOnce(InspectorCamera& camera)
    {
        camera.Update(0.1f);
        ExpectNear(XYZ(camera.position), { 0, 0, 0 });
    }

    std::unique_ptr<Input> keyboard = std::make_unique<Input>();
    Input* previousInput = nullptr;
};

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

TEST_F(InspectorCameraTest, WMovesTwentyFiveUnitsPerSecondAfterTheFirstTurningUpdate)
{
    InspectorCamera camera(kFullHd);
    EXPECT_EQ(camera.moveSpeed, 25.0f);
    EXPECT_EQ(camera.lookSensitivityX, 0.1f);
    EXPECT_FALSE(camera.boost);
    Hold('W', true);
    TurnOnce(camera);
    for (int i = 0; i < 10; ++i)
        camera.Update(0.1f);
    ExpectNear(XYZ(camera.position), { 0, 0, 25 });

    Hold('S', true);
    camera.Update(1.0f);
    ExpectNear(XYZ(camera.position), { 0, 0, 25 });
}

TEST_F(InspectorCameraTest, ShiftBoostsFromTheUpdateAfterItWentDownAndWinsOverCtrl)
{
    InspectorCamera camera(kFullHd);
    TurnOnce(camera);
    Hold('W', true);
    Hold(VK_SHIFT, true);
    Hold(VK_CONTROL, true);
    camera.Update(1.0f);
    // Shift was not held at the previous update: this one is slow (Ctrl), the next one is fast.
    EXPECT_NEAR(camera.position.z, 2.5f, 1e-4f);
    camera.Update(1.0f);
    EXPECT_NEAR(camera.position.z, 127.5f, 1e-3f);

    Hold(VK_SHIFT, false);
    camera.Update(1.0f);
    EXPECT_NEAR(camera.position.z, 252.5f, 1e-3f);
    camera.Update(1.0f);
    EXPECT_NEAR(camera.position.z, 255.0f, 1e-3f);
}

TEST_F(InspectorCameraTest, SideAndLiftFollowTheCameraAxes)
{
    InspectorCamera camera(kFullHd);
    TurnOnce(camera);
    Hold('D', true);
    Hold(VK_SPACE, true);
    camera.Update(1.0f);
    ExpectNear(XYZ(camera.position), { 25, 25, 0 });
    Hold('A', true);
    Hold('C', true);
    camera.Update(1.0f);
    ExpectNear(XYZ(camera.position), { 25, 25, 0 });
}

TEST_F(InspectorCameraTest, MouseTurnsTheCameraAndPitchStopsAtNinetyDegrees)
{
    InspectorCamera camera(kFullHd);
    keyboard->MoveCursorTo({ 900, 0 });
    keyboard->MoveCursorTo({ 1800, -1000 });
    camera.Update(0.0f);
    EXPECT_FLOAT_EQ(camera.yaw, 90.0f);
    EXPECT_EQ(camera.pitch, 90.0f);

    keyboard->MoveCursorTo({ 1800, 2000 });
    camera.Update(0.0f);
    EXPECT_EQ(camera.pitch, -90.0f);
    camera.Update(0.0f);
    EXPECT_EQ(camera.pitch, -90.0f);

    // Yaw keeps growing past a full turn.
    keyboard->MoveCursorTo({ 6300, 2000 });
    camera.Update(0.0f);
    EXPECT_FLOAT_EQ(camera.yaw, 540.0f);
}
