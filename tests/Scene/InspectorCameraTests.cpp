#include "Core/Input.h"
#include "GlTestContext.h"
#include "ProgramGlobals.h"
#include "Scene/InspectorCamera.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr Float2 kFullHd { 1920.0f, 1080.0f };

void ExpectNear(const Float3& actual, const Float3& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

class InspectorCameraTest : public ::testing::Test {
protected:
    void SetUp() override { input = keyboard.get(); }

    void Hold(int vk, bool down) { keyboard->HandleMessage(down ? WM_KEYDOWN : WM_KEYUP, vk, 0); }

    // The first update only turns the camera: its axes are still zero.
    void TurnOnce(InspectorCamera& camera)
    {
        camera.Update(0.1f);
        ExpectNear(XYZ(camera.position), { 0, 0, 0 });
    }

    ProgramGlobalsGuard globals;
    std::unique_ptr<Input> keyboard = std::make_unique<Input>();
};

} // namespace

TEST_F(InspectorCameraTest, CarriesARedShinyBallMaterialWithItsOwnProgram)
{
    InspectorCamera camera(kFullHd);
    EXPECT_EQ(camera.ballMaterial.albedo, (Float4 { 1, 0, 0, 1 }));
    EXPECT_EQ(camera.ballMaterial.specularStrength, 0.5f);
    EXPECT_EQ(camera.ballMaterial.shininess, 64.0f);
    EXPECT_NE(camera.ballMaterial.program, 0u);
    EXPECT_EQ(camera.ballMaterial.textures[0].id, Texture::kEmpty);
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
