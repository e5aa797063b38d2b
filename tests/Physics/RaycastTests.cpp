#include "Physics/Raycast.h"

#include "Math/Rotation.h"

#include "PhysicsTestWorld.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using RayCast = PhysicsWorld;

const Float3 kDown { 0.0f, -1.0f, 0.0f };

void ExpectNear(const Float3& actual, const Float3& expected, float tolerance = 1e-3f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST_F(RayCast, AZeroDirectionReturnsFalseAndLeavesTheResultUntouched)
{
    BoxCollider* box = StaticBox("target", { 0.0f, 0.0f, 0.0f }, { 10.0f, 10.0f, 10.0f }, kCabinLayer);
    RaycastResult result;
    result.hitCount = 7;
    RaycastHit earlier;
    earlier.distance = 42.0f;
    earlier.gameObject = box->gameObject;
    result.hits.push_back(earlier);

    testing::internal::CaptureStderr();
    // The origin is inside the target: any cast at all would hit it.
    EXPECT_FALSE((Ray { { 0.0f, 0.0f, 0.0f }, { 0.0f, 0.0f, 0.0f } }).Cast(result, 1000.0f));
    EXPECT_FALSE((Ray { { 0.0f, 100.0f, 0.0f }, { -0.0f, 0.0f, -0.0f } }).Cast(result, 1000.0f));
    // Nothing reached the library, which would have complained about the direction.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(result.hitCount, 7);
    ASSERT_EQ(result.hits.size(), 1u);
    EXPECT_EQ(result.hits[0].distance, 42.0f);
    EXPECT_EQ(result.hits[0].gameObject, box->gameObject);
}

TEST_F(RayCast, ShapesOffLayerSixteenAreIgnoredHoweverClose)
{
    // Every other layer, stacked right under the ray's origin; the cabin's layer far below them.
    float y = 90.0f;
    for (std::int32_t layer : { 1, 2, 4, 8, 32, 1 | 8 }) {
        StaticBox("layer " + std::to_string(layer), { 0.0f, y, 0.0f }, { 10.0f, 1.0f, 10.0f }, layer);
        y -= 5.0f;
    }
    BoxCollider* cabin = StaticBox("cabin", { 0.0f, -200.0f, 0.0f }, { 10.0f, 10.0f, 10.0f }, kCabinLayer);

    RaycastResult result;
    ASSERT_TRUE((Ray { { 0.0f, 95.0f, 0.0f }, kDown }).Cast(result, 1000.0f));
    EXPECT_EQ(result.hitCount, 1);
    ASSERT_EQ(result.hits.size(), 1u);
    EXPECT_EQ(result.hits[0].gameObject, cabin->gameObject);
    EXPECT_NEAR(result.hits[0].distance, 285.0f, 0.01f);

    // A ray past the other layers only finds nothing.
    RaycastResult missed;
    EXPECT_FALSE((Ray { { 0.0f, 95.0f, 0.0f }, kDown }).Cast(missed, 200.0f));
    EXPECT_EQ(missed.hitCount, 0);
    EXPECT_TRUE(missed.hits.empty());
}

TEST_F(RayCast, TheNearestHitComesFirstAndHitCountCountsTheHits)
{
    // The far box is made first, so the library's own order would put it first.
    BoxCollider* far = StaticBox("far", { 0.0f, -100.0f, 0.0f }, { 10.0f, 10.0f, 10.0f }, kCabinLayer);
    BoxCollider* near = StaticBox("near", { 0.0f, 0.0f, 0.0f }, { 10.0f, 5.0f, 10.0f }, kCabinLayer);

    RaycastResult result;
    ASSERT_TRUE((Ray { { 1.0f, 100.0f, -2.0f }, kDown }).Cast(result, 1000.0f));
    ASSERT_FALSE(result.hits.empty());
    EXPECT_EQ(result.hitCount, static_cast<std::int32_t>(result.hits.size()));
    for (std::size_t i = 1; i < result.hits.size(); ++i)
        EXPECT_LE(result.hits[i - 1].distance, result.hits[i].distance);
    const RaycastHit& hit = result.hits[0];
    EXPECT_EQ(hit.gameObject, near->gameObject);
    EXPECT_NE(hit.gameObject, far->gameObject);
    EXPECT_NEAR(hit.distance, 95.0f, 0.01f);
    ExpectNear(hit.position, { 1.0f, 5.0f, -2.0f });
    ExpectNear(hit.normal, { 0.0f, 1.0f, 0.0f });
    ExpectNear(hit.localNormal, { 0.0f, 1.0f, 0.0f });

    // Not beyond maxDistance.
    RaycastResult short_;
    EXPECT_FALSE((Ray { { 1.0f, 100.0f, -2.0f }, kDown }).Cast(short_, 90.0f));
    EXPECT_EQ(short_.hitCount, 0);
}

TEST_F(RayCast, MovingBodiesOnTheCabinLayerAreHitToo)
{
    GameObject& object = Object("falling crate", { 30.0f, 0.0f, 0.0f });
    AddComponent<RigidBody>(object);
    auto* box = AddComponent<BoxCollider>(object, Float3 { 5.0f, 5.0f, 5.0f });
    box->layer = kCabinLayer;
    Start(object);
    RaycastResult result;
    ASSERT_TRUE((Ray { { 30.0f, 50.0f, 0.0f }, kDown }).Cast(result, 100.0f));
    ASSERT_EQ(result.hits.size(), 1u);
    EXPECT_EQ(result.hits[0].gameObject, &object);
    EXPECT_NEAR(result.hits[0].distance, 45.0f, 0.01f);
}

// The normal in the object's own frame: the world normal as a row vector times the transpose of the
// upper-left 3x3 of the object's world matrix, normalised. Scale is not divided out, so for a box the
// result is the axis of the face that was hit whatever the (positive) scale.
Float3 ExpectedLocalNormal(const Float3& normal, const Matrix4x4& world)
{
    Float3 local;
    local.x = normal.x * world.m[0][0] + normal.y * world.m[0][1] + normal.z * world.m[0][2];
    local.y = normal.x * world.m[1][0] + normal.y * world.m[1][1] + normal.z * world.m[1][2];
    local.z = normal.x * world.m[2][0] + normal.y * world.m[2][1] + normal.z * world.m[2][2];
    return Normalize(local);
}

TEST_F(RayCast, TheLocalNormalOfARotatedScaledBoxIsInTheBoxsOwnFrame)
{
    const Float3 centre { 30.0f, -20.0f, 10.0f };
    const Float3 rotation { 0.3f, 0.8f, -0.2f };
    for (const Float4 scale : { Float4 { 1.0f, 1.0f, 1.0f, 1.0f }, Float4 { 2.0f, 0.5f, 3.0f, 1.0f } }) {
        GameObject& object = Object("cabin part", centre, rotation);
        object.transform->scale = scale;
        object.transform->dirty = true;
        auto* box = AddComponent<BoxCollider>(object, Float3 { 10.0f, 10.0f, 10.0f });
        box->layer = kCabinLayer;
        Place(object);

        for (const Float3 offset : { Float3 { 1.0f, 100.0f, 2.0f }, Float3 { 100.0f, 3.0f, -1.0f } }) {
            RaycastResult result;
            ASSERT_TRUE((Ray { centre + offset, Normalize(-offset) }).Cast(result, 1000.0f));
            ASSERT_EQ(result.hits.size(), 1u);
            const RaycastHit& hit = result.hits[0];
            ASSERT_EQ(hit.gameObject, &object);

            ExpectNear(hit.localNormal, ExpectedLocalNormal(hit.normal, object.transform->worldMatrix));
            EXPECT_NEAR(Length(hit.localNormal), 1.0f, 1e-4f);
            // It is a face axis of the box, which the box's rotation carries to the world normal.
            const float largest = std::max(
                { std::abs(hit.localNormal.x), std::abs(hit.localNormal.y), std::abs(hit.localNormal.z) });
            EXPECT_NEAR(largest, 1.0f, 1e-3f);
            ExpectNear(TransformDirection(hit.localNormal, EulerRotationMatrix(rotation.x, rotation.y, rotation.z)),
                hit.normal);
        }
        Scene::GetInstance().DeleteAllComponents();
    }
}

TEST_F(RayCast, TheLocalNormalKeepsTheObjectsScale)
{
    // On a sphere the normal need not be a face axis, so the scale shows: it is not divided out.
    const Float3 centre { -40.0f, 15.0f, 25.0f };
    const Float3 rotation { -0.5f, 0.2f, 1.1f };
    GameObject& object = Object("dome", centre, rotation);
    object.transform->scale = { 2.0f, 0.5f, 3.0f, 1.0f };
    object.transform->dirty = true;
    auto* sphere = AddComponent<SphereCollider>(object, 10.0f);
    sphere->layer = kCabinLayer;
    Place(object);

    const Float3 offset { 3.0f, 100.0f, -4.0f };
    RaycastResult result;
    ASSERT_TRUE((Ray { centre + offset + Float3 { 6.0f, 0.0f, 0.0f }, Normalize(-offset) }).Cast(result, 1000.0f));
    ASSERT_EQ(result.hits.size(), 1u);
    const RaycastHit& hit = result.hits[0];
    const Float3 expected = ExpectedLocalNormal(hit.normal, object.transform->worldMatrix);
    const Float3 withoutScale = ExpectedLocalNormal(hit.normal, object.transform->worldMatrixNoScale);
    ASSERT_GT(Length(expected - withoutScale), 0.1f) << "the case must tell the two matrices apart";
    ExpectNear(hit.localNormal, expected);
}

TEST_F(RayCast, TheLocalNormalFollowsATransformWrittenSinceTheLastFramePass)
{
    // Started but not yet through a frame pass, as every cabin object is in the first frame: the
    // Transform's matrices are still the identity, yet the local normal is in the object's own frame.
    const Float3 centre { 0.0f, 0.0f, 35.0f };
    GameObject& object = Object("wall", centre, { 0.0f, 3.1415927f, 0.0f });
    auto* box = AddComponent<BoxCollider>(object, Float3 { 30.0f, 30.0f, 2.5f });
    box->layer = kCabinLayer;
    Start(object);
    ASSERT_TRUE(object.transform->dirty);
    RaycastResult result;
    ASSERT_TRUE((Ray { { 0.0f, 0.0f, 0.0f }, { 0.0f, 0.0f, 1.0f } }).Cast(result, 1000.0f));
    ASSERT_EQ(result.hits.size(), 1u);
    ExpectNear(result.hits[0].normal, { 0.0f, 0.0f, -1.0f });
    // The wall is turned half round: its own +z faces the ray.
    ExpectNear(result.hits[0].localNormal, { 0.0f, 0.0f, 1.0f });
}

} // namespace
