#include "Math/Matrix4x4.h"
#include "Scene/Transform.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

void ExpectNear(const Float3& actual, const Float3& expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

} // namespace

TEST(Transform, ScaleRotationAndPositionComposeInThatOrder)
{
    Transform t;
    t.scale = { 2.0f, 2.0f, 2.0f, 1.0f };
    t.rotation = { 0.0f, std::numbers::pi_v<float> / 2.0f, 0.0f, 0.0f };
    t.position = { 1.0f, 2.0f, 3.0f, 1.0f };
    t.dirty = true;
    t.Update(0.0f);

    ExpectNear(TransformPoint({ 1, 0, 0 }, t.worldMatrix), { 1, 2, 1 });
    ExpectNear(TransformPoint({ 1, 0, 0 }, t.worldMatrixNoScale), { 1, 2, 2 });
    EXPECT_EQ(t.worldMatrixNoScale.m[3][3], 1.0f);
    EXPECT_FALSE(t.dirty);
}

TEST(Transform, StartsAtTheOriginWithIdentityMatricesUntilTheFirstUpdate)
{
    Transform t;
    EXPECT_TRUE(t.dirty);
    EXPECT_EQ(t.position, (Float4 { 0, 0, 0, 1 }));
    EXPECT_EQ(t.rotation, (Float4 { 0, 0, 0, 1 }));
    EXPECT_EQ(t.scale.x, 1.0f);
    EXPECT_EQ(t.worldMatrix, Matrix4x4::Identity());
    EXPECT_EQ(t.worldMatrixNoScale, Matrix4x4::Identity());
}

TEST(Transform, RebuildsOnlyWhenDirty)
{
    Transform t;
    t.position = { 5.0f, 0.0f, 0.0f, 1.0f };
    t.dirty = true;
    t.Update(0.0f);
    EXPECT_EQ(t.worldMatrix.m[3][0], 5.0f);

    // A write without raising dirty leaves both matrices as they were, however often Update runs.
    t.position.x = 7.0f;
    t.scale.y = 3.0f;
    t.Update(0.0f);
    t.Update(0.0f);
    EXPECT_EQ(t.worldMatrix.m[3][0], 5.0f);
    EXPECT_EQ(t.worldMatrix.m[1][1], 1.0f);

    t.dirty = true;
    t.Update(0.0f);
    EXPECT_EQ(t.worldMatrix.m[3][0], 7.0f);
    EXPECT_EQ(t.worldMatrix.m[1][1], 3.0f);
    EXPECT_EQ(t.worldMatrixNoScale.m[1][1], 1.0f);
}
