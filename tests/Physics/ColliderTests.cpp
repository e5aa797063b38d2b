#include "Math/Rotation.h"
#include "Physics/MeshCollider.h"
#include "Physics/Raycast.h"

#include "PhysicsTestWorld.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using namespace physx;

constexpr float kHalfPi = std::numbers::pi_v<float> / 2.0f;

std::vector<PxShape*> ShapesOf(const PxRigidActor& actor)
{
    std::vector<PxShape*> shapes(actor.getNbShapes());
    actor.getShapes(shapes.data(), static_cast<PxU32>(shapes.size()));
    return shapes;
}

PxBoxGeometry BoxOf(const PxShape& shape)
{
    PxBoxGeometry box;
    EXPECT_TRUE(shape.getBoxGeometry(box));
    return box;
}

void ExpectFilterData(const PxShape& shape, const PxFilterData& expected)
{
    EXPECT_EQ(shape.getSimulationFilterData(), expected);
    EXPECT_EQ(shape.getQueryFilterData(), expected);
}

void ExpectNear(const PxVec3& actual, const PxVec3& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// A row vector turned by the engine's Euler matrix, the rotation the renderer draws with.
PxVec3 TurnedAsDrawn(const PxVec3& v, const Float4& rotation)
{
    const Float3 turned = TransformDirection(
        { v.x, v.y, v.z }, EulerRotationMatrix(rotation.x, rotation.y, rotation.z));
    return { turned.x, turned.y, turned.z };
}

using Colliders = PhysicsWorld;

TEST_F(Colliders, ABodyWithTwoCollidersHasOneDynamicActorWithBothShapes)
{
    const PxU32 dynamicBefore = ActorsInScene(PxActorTypeFlag::eRIGID_DYNAMIC);
    const PxU32 staticBefore = ActorsInScene(PxActorTypeFlag::eRIGID_STATIC);

    GameObject& object = Object("crate", { 0.0f, 50.0f, 0.0f });
    // The body comes last, so the first collider's Start has to start it.
    auto* box = AddComponent<BoxCollider>(object, Float3 { 5.0f, 5.0f, 5.0f });
    auto* sphere = AddComponent<SphereCollider>(object, 3.0f);
    auto* body = AddComponent<RigidBody>(object);
    PxShape* boxShape = box->shape;
    PxShape* sphereShape = sphere->shape;
    Start(object);

    ASSERT_NE(body->actor, nullptr);
    EXPECT_EQ(body->actor->getConcreteType(), PxConcreteType::eRIGID_DYNAMIC);
    EXPECT_EQ(box->actor, body->actor);
    EXPECT_EQ(sphere->actor, body->actor);
    EXPECT_EQ(ShapesOf(*body->actor), (std::vector<PxShape*> { boxShape, sphereShape }));
    EXPECT_EQ(body->actor->userData, &object);
    EXPECT_EQ(body->actor->getScene(), Scene::GetInstance().physicsScene);
    EXPECT_FLOAT_EQ(body->actor->getMass(), 1.0f);
    ExpectNear(body->actor->getGlobalPose().p, { 0.0f, 50.0f, 0.0f });
    // The actor holds the only reference to each shape.
    EXPECT_EQ(boxShape->getReferenceCount(), 1u);
    EXPECT_EQ(sphereShape->getReferenceCount(), 1u);
    EXPECT_EQ(ActorsInScene(PxActorTypeFlag::eRIGID_DYNAMIC), dynamicBefore + 1);
    EXPECT_EQ(ActorsInScene(PxActorTypeFlag::eRIGID_STATIC), staticBefore);

    // The body owns the actor: deleting every component takes it out of the scene exactly once.
    Scene::GetInstance().DeleteAllComponents();
    EXPECT_EQ(ActorsInScene(PxActorTypeFlag::eRIGID_DYNAMIC), dynamicBefore);
}

TEST_F(Colliders, TwoCollidersWithoutABodyGiveTwoStaticActorsBothInTheScene)
{
    const PxU32 dynamicBefore = ActorsInScene(PxActorTypeFlag::eRIGID_DYNAMIC);
    const PxU32 staticBefore = ActorsInScene(PxActorTypeFlag::eRIGID_STATIC);

    GameObject& object = Object("wall");
    auto* box = AddComponent<BoxCollider>(object, Float3 { 5.0f, 5.0f, 5.0f });
    auto* sphere = AddComponent<SphereCollider>(object, 3.0f);
    Start(object);

    ASSERT_NE(box->actor, nullptr);
    ASSERT_NE(sphere->actor, nullptr);
    EXPECT_NE(box->actor, sphere->actor);
    for (Collider* collider : { static_cast<Collider*>(box), static_cast<Collider*>(sphere) }) {
        EXPECT_EQ(collider->actor->getConcreteType(), PxConcreteType::eRIGID_STATIC);
        EXPECT_EQ(ShapesOf(*collider->actor), (std::vector<PxShape*> { collider->shape }));
        EXPECT_EQ(collider->actor->userData, &object);
        EXPECT_EQ(collider->actor->getScene(), Scene::GetInstance().physicsScene);
        EXPECT_EQ(collider->shape->getReferenceCount(), 1u);
    }
    EXPECT_EQ(ActorsInScene(PxActorTypeFlag::eRIGID_STATIC), staticBefore + 2);
    EXPECT_EQ(ActorsInScene(PxActorTypeFlag::eRIGID_DYNAMIC), dynamicBefore);

    // Each collider owns its static actor and takes it out of the scene when deleted.
    Scene::GetInstance().DeleteAllComponents();
    EXPECT_EQ(ActorsInScene(PxActorTypeFlag::eRIGID_STATIC), staticBefore);
}

TEST_F(Colliders, AColliderKeptOutOfTheSceneIsPosedButNeverCollidesNorIsHit)
{
    const PxU32 staticBefore = ActorsInScene(PxActorTypeFlag::eRIGID_STATIC);
    GameObject& holeObject = Object("hole");
    auto* hole = AddComponent<BoxCollider>(holeObject, Float3 { 50.0f, 5.0f, 50.0f });
    hole->layer = kCabinLayer;
    hole->addToScene = false;
    Place(holeObject);

    ASSERT_NE(hole->actor, nullptr);
    EXPECT_EQ(hole->actor->getConcreteType(), PxConcreteType::eRIGID_STATIC);
    EXPECT_EQ(hole->actor->getScene(), nullptr);
    EXPECT_EQ(ActorsInScene(PxActorTypeFlag::eRIGID_STATIC), staticBefore);

    // A ball dropped onto it falls straight through, without a hook call.
    RigidBody* ball = Ball("ball", { 0.0f, 30.0f, 0.0f });
    AddComponent<HookProbe>(*ball->gameObject, "ball", &hooks);
    AddComponent<HookProbe>(holeObject, "hole", &hooks);
    Step(60);
    EXPECT_LT(ball->gameObject->transform->position.y, -100.0f);
    EXPECT_TRUE(hooks.empty());

    // A ray aimed straight at it finds nothing, though it is on the ray's layer.
    RaycastResult result;
    EXPECT_FALSE((Ray { { 0.0f, 100.0f, 0.0f }, { 0.0f, -1.0f, 0.0f } }).Cast(result, 1000.0f));
    EXPECT_EQ(result.hitCount, 0);
    EXPECT_TRUE(result.hits.empty());

    // It is still posed from its Transform every frame.
    holeObject.transform->position = { 7.0f, -8.0f, 9.0f, 1.0f };
    holeObject.transform->rotation = { 0.0f, 0.5f, 0.0f, 0.0f };
    holeObject.transform->dirty = true;
    Step();
    const PxTransform pose = hole->actor->getGlobalPose();
    ExpectNear(pose.p, { 7.0f, -8.0f, 9.0f });
    ExpectNear(
        pose.q.rotate({ 1.0f, 0.0f, 0.0f }), TurnedAsDrawn({ 1.0f, 0.0f, 0.0f }, holeObject.transform->rotation));

    // Deleting it releases an actor that was never in the scene.
    Scene::GetInstance().DeleteAllComponents();
    EXPECT_EQ(ActorsInScene(PxActorTypeFlag::eRIGID_STATIC), staticBefore);
}

TEST_F(Colliders, AStaticColliderFollowsItsTransformIncludingRotationEveryFrame)
{
    BoxCollider* box = StaticBox("box", { 1.0f, 2.0f, 3.0f }, { 4.0f, 2.0f, 1.0f });
    Transform& transform = *box->gameObject->transform;
    ExpectNear(box->actor->getGlobalPose().p, { 1.0f, 2.0f, 3.0f });

    const Float4 rotations[] = { { 0.3f, -1.1f, 0.7f, 0.0f }, { -2.5f, 0.4f, 3.0f, 0.0f }, { 0.0f, 0.0f, 1.2f, 0.0f } };
    float x = 10.0f;
    for (const Float4& rotation : rotations) {
        transform.position = { x, -20.0f, 30.0f, 1.0f };
        transform.rotation = rotation;
        transform.dirty = true;
        Step();
        const PxTransform pose = box->actor->getGlobalPose();
        ExpectNear(pose.p, { x, -20.0f, 30.0f });
        EXPECT_NEAR(pose.q.magnitude(), 1.0f, 1e-5f);
        // The collider turns as the object is drawn: each axis goes where the Euler matrix sends it.
        for (const PxVec3 axis : { PxVec3(1, 0, 0), PxVec3(0, 1, 0), PxVec3(0, 0, 1) })
            ExpectNear(pose.q.rotate(axis), TurnedAsDrawn(axis, rotation));
        x += 10.0f;
    }
}

TEST_F(Colliders, TheShapesLocalPoseIsAppliedAgainEveryFrame)
{
    BoxCollider* box = StaticBox("box", { 0.0f, 0.0f, 0.0f }, { 1.0f, 1.0f, 1.0f });
    box->SetLocalPosition({ 1.0f, 2.0f, 3.0f });
    ExpectNear(box->shape->getLocalPose().p, { 1.0f, 2.0f, 3.0f });
    EXPECT_TRUE(box->shape->getLocalPose().q.isIdentity());
    EXPECT_EQ(box->localPosition, (Float3 { 1.0f, 2.0f, 3.0f }));

    box->shape->setLocalPose(PxTransform(PxVec3(9.0f, 9.0f, 9.0f)));
    Step();
    ExpectNear(box->shape->getLocalPose().p, { 1.0f, 2.0f, 3.0f });
}

TEST_F(Colliders, SetLocalPositionKeepsTheLocalRotation)
{
    GameObject& object = Object("box");
    auto* box = AddComponent<BoxCollider>(object, Float3 { 1.0f, 1.0f, 1.0f });
    box->localRotation = { 0.0f, 0.0f, std::sin(0.25f), std::cos(0.25f) };
    // Before Start the shape exists already and takes the pose.
    box->SetLocalPosition({ -4.0f, 0.5f, 6.0f });
    const PxTransform local = box->shape->getLocalPose();
    ExpectNear(local.p, { -4.0f, 0.5f, 6.0f });
    EXPECT_FLOAT_EQ(local.q.z, std::sin(0.25f));
    EXPECT_FLOAT_EQ(local.q.w, std::cos(0.25f));
    // Started, the shape belongs to its actor and goes with it.
    Start(object);
}

TEST_F(Colliders, ADynamicBodyWritesItsTransformEveryFrame)
{
    RigidBody* ball = Ball("ball", { 0.0f, 100.0f, 0.0f });
    Transform& transform = *ball->gameObject->transform;

    Step();
    const float afterOne = transform.position.y;
    EXPECT_LT(afterOne, 100.0f);
    EXPECT_FLOAT_EQ(afterOne, ball->actor->getGlobalPose().p.y);
    EXPECT_EQ(transform.position.w, 1.0f);
    EXPECT_TRUE(transform.dirty);

    // A write to the Transform does not move the body; the next frame overwrites it.
    transform.position.x = 500.0f;
    transform.rotation = { 1.0f, 1.0f, 1.0f, 0.0f };
    Step();
    EXPECT_LT(transform.position.y, afterOne);
    EXPECT_NEAR(transform.position.x, 0.0f, 1e-3f);
    EXPECT_NEAR(transform.rotation.x, 0.0f, 1e-4f);
    EXPECT_NEAR(transform.rotation.y, 0.0f, 1e-4f);
    EXPECT_NEAR(transform.rotation.z, 0.0f, 1e-4f);

    // Rotation comes back as the Euler angles the Transform uses, w = 0.
    ball->actor->setAngularVelocity(PxVec3(0.0f), true);
    ball->actor->setGlobalPose(PxTransform(PxVec3(0.0f, 50.0f, 0.0f), PxQuat(0.4f, PxVec3(1.0f, 0.0f, 0.0f))), true);
    ball->Update(kFrame);
    EXPECT_NEAR(transform.rotation.x, 0.4f, 1e-4f);
    EXPECT_NEAR(transform.rotation.y, 0.0f, 1e-4f);
    EXPECT_NEAR(transform.rotation.z, 0.0f, 1e-4f);
    EXPECT_EQ(transform.rotation.w, 0.0f);
}

TEST_F(Colliders, ABodyTurnedAQuarterAboutYReadsBackAsPlusOrMinusHalfPi)
{
    for (float sign : { 1.0f, -1.0f }) {
        GameObject& object = Object("turned", { 0.0f, 0.0f, 0.0f }, { 0.0f, sign * kHalfPi, 0.0f });
        auto* body = AddComponent<RigidBody>(object);
        Start(object);
        body->Update(kFrame);
        // At the pole the sine of the angle about Y rounds past 1; it must be clamped, not become NaN.
        EXPECT_NEAR(object.transform->rotation.y, sign * kHalfPi, 1e-3f) << "sign " << sign;
        EXPECT_TRUE(std::isfinite(object.transform->rotation.x));
        EXPECT_TRUE(std::isfinite(object.transform->rotation.z));
    }
}

TEST_F(Colliders, SetLayerWritesTheLayerAndItsMaskToSimulationAndQueryFilterData)
{
    ClearCollisionMasks();
    LoadCollisionLayersFromText(R"({"Layer":[11,22,33,44,55]})");
    GameObject& object = Object("box");
    auto* box = AddComponent<BoxCollider>(object, Float3 { 1.0f, 1.0f, 1.0f });
    EXPECT_EQ(box->layer, 1);
    // Words 2 and 3 are the shape's own and survive.
    box->shape->setSimulationFilterData(PxFilterData(0, 0, 7, 9));

    box->SetLayer(4);
    EXPECT_EQ(box->layer, 4);
    ExpectFilterData(*box->shape, PxFilterData(4, 33, 7, 9));
    box->SetLayer(16);
    ExpectFilterData(*box->shape, PxFilterData(16, 55, 7, 9));
    // Layer 0 has no table entry and touches nothing.
    box->SetLayer(0);
    EXPECT_EQ(box->layer, 0);
    ExpectFilterData(*box->shape, PxFilterData(0, 0, 7, 9));

    // Start writes the stored layer.
    box->layer = 2;
    Start(object);
    ExpectFilterData(*box->shape, PxFilterData(2, 22, 7, 9));
}

TEST_F(Colliders, BoxesAndSpheresStartOnLayerOneAndMeshesOnLayerZero)
{
    GameObject& object = Object("defaults");
    auto* box = AddComponent<BoxCollider>(object, Float3 { 1.0f, 1.0f, 1.0f });
    auto* sphere = AddComponent<SphereCollider>(object, 2.0f);
    auto* mesh = AddComponent<MeshCollider>(object);
    EXPECT_EQ(box->layer, 1);
    EXPECT_EQ(sphere->layer, 1);
    EXPECT_EQ(mesh->layer, 0);
    EXPECT_TRUE(box->addToScene);
    EXPECT_EQ(box->actor, nullptr);
    EXPECT_EQ(mesh->shape, nullptr);
    PxSphereGeometry geometry;
    ASSERT_TRUE(sphere->shape->getSphereGeometry(geometry));
    EXPECT_EQ(geometry.radius, 2.0f);
    EXPECT_EQ(sphere->radius, 2.0f);
    EXPECT_EQ(sphere->shape->getFlags(),
        PxShapeFlag::eSIMULATION_SHAPE | PxShapeFlag::eSCENE_QUERY_SHAPE | PxShapeFlag::eVISUALIZATION);
    EXPECT_EQ(box->shape->getFlags(),
        PxShapeFlag::eSIMULATION_SHAPE | PxShapeFlag::eSCENE_QUERY_SHAPE | PxShapeFlag::eVISUALIZATION);
    EXPECT_TRUE(box->shape->isExclusive());
    EXPECT_TRUE(sphere->shape->isExclusive());
    Start(object);
}

TEST_F(Colliders, ABoxKeepsItsConstructedHalfExtentsUntilStart)
{
    GameObject& object = Object("box");
    auto* box = AddComponent<BoxCollider>(object, Float3 { 1.0f, 2.0f, 3.0f });
    ExpectNear(BoxOf(*box->shape).halfExtents, { 1.0f, 2.0f, 3.0f });
    box->halfExtents = { 4.0f, 5.0f, 6.0f };
    ExpectNear(BoxOf(*box->shape).halfExtents, { 1.0f, 2.0f, 3.0f });
    Start(object);
    ExpectNear(BoxOf(*box->shape).halfExtents, { 4.0f, 5.0f, 6.0f });
}

TEST_F(Colliders, AMeshColliderWithoutAModelStartsWithoutAShape)
{
    GameObject& object = Object("empty mesh", { 5.0f, 0.0f, 0.0f });
    auto* mesh = AddComponent<MeshCollider>(object);
    Start(object);
    EXPECT_EQ(mesh->shape, nullptr);
    if (mesh->actor != nullptr) {
        EXPECT_EQ(mesh->actor->getNbShapes(), 0u);
    }
    // It lives through frames, a layer change and a distance query.
    Step();
    mesh->SetLayer(kCabinLayer);
    EXPECT_EQ(mesh->layer, kCabinLayer);
    float distance = 1.0f;
    EXPECT_FALSE(mesh->PointDistance({ 5.0f, 0.0f, 0.0f }, distance));
    EXPECT_EQ(distance, Collider::kFarAway);
}

TEST_F(Colliders, AMeshColliderCooksAllMeshesOfItsModelAtTheObjectsXScale)
{
    std::unique_ptr<Model> cube = CubeModel(1.0f);
    GameObject& object = Object("cube", { 0.0f, 0.0f, 0.0f });
    object.transform->scale = { 3.0f, 7.0f, 9.0f, 1.0f };
    auto* mesh = AddComponent<MeshCollider>(object);
    mesh->model = cube.get();
    mesh->addToScene = false;
    Place(object);

    ASSERT_NE(mesh->shape, nullptr);
    ASSERT_NE(mesh->actor, nullptr);
    EXPECT_EQ(ShapesOf(*mesh->actor), (std::vector<PxShape*> { mesh->shape }));
    PxTriangleMeshGeometry geometry;
    ASSERT_TRUE(mesh->shape->getTriangleMeshGeometry(geometry));
    EXPECT_EQ(geometry.scale.scale, PxVec3(3.0f, 3.0f, 3.0f));
    EXPECT_TRUE(geometry.scale.rotation.isIdentity());
    ASSERT_NE(geometry.triangleMesh, nullptr);
    // Both meshes, in order; the second mesh's indices moved past the first mesh's eight vertices.
    EXPECT_EQ(geometry.triangleMesh->getNbVertices(), 16u);
    ASSERT_EQ(geometry.triangleMesh->getNbTriangles(), 12u);
    const auto* indices = static_cast<const PxU32*>(geometry.triangleMesh->getTriangles());
    for (PxU32 i = 0; i < 18; ++i)
        EXPECT_EQ(indices[i], cube->meshes[0].indices[i]) << "index " << i;
    for (PxU32 i = 0; i < 18; ++i)
        EXPECT_EQ(indices[18 + i], cube->meshes[1].indices[i] + 8) << "index " << 18 + i;
    ExpectFilterData(*mesh->shape, PxFilterData(0, 0, 0, 0));

    // A face of the second mesh lies at x = 3 (the scaled cube).
    float distance = 1.0f;
    EXPECT_TRUE(mesh->PointDistance({ 3.2f, 0.0f, 0.0f }, distance));
    EXPECT_NEAR(distance, 0.04f, 1e-4f);
}

TEST_F(Colliders, AModelThatCannotBeCookedLeavesTheMeshColliderWithoutAShape)
{
    Model empty;
    GameObject& object = Object("uncookable");
    auto* mesh = AddComponent<MeshCollider>(object);
    mesh->model = &empty;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Start(object);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "you failed\n");
    EXPECT_EQ(mesh->shape, nullptr);
    // The physics library's own error names no file; the collider names its model.
    EXPECT_NE(said.find("a mesh collider's model: cannot be cooked into a collision mesh; its mesh colliders have "
                        "no shape\n"),
        std::string::npos)
        << said;
    Step();

    // A vertex that is not a number is named before the physics library sees it, once however many
    // colliders use the model.
    std::unique_ptr<Model> cube = CubeModel(1.0f);
    cube->meshes[1].vertices[3].position.y = std::nanf("");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (const char* name : { "first", "second" }) {
        GameObject& user = Object(name);
        auto* collider = AddComponent<MeshCollider>(user);
        collider->model = cube.get();
        Start(user);
        EXPECT_EQ(collider->shape, nullptr);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        "a mesh collider's model: has a vertex whose position is not a finite number; its mesh colliders have no "
        "shape\n");
    Step();
}

// -- PointDistance

using PointDistance = PhysicsWorld;

TEST_F(PointDistance, APointBeyondTheInflatedBoundsAndTheMarginIsFarAway)
{
    BoxCollider* box = StaticBox("box", { 100.0f, 0.0f, 0.0f }, { 5.0f, 5.0f, 5.0f });
    // The bounds reach 5 * 1.01 = 5.05 from the centre; the margin adds 1.
    const Float3 beyond[] = { { 106.1f, 0.0f, 0.0f }, { 93.9f, 0.0f, 0.0f }, { 100.0f, 6.1f, 0.0f },
        { 100.0f, -6.1f, 0.0f }, { 100.0f, 0.0f, 6.1f }, { 100.0f, 0.0f, -6.1f } };
    for (const Float3& point : beyond) {
        float distance = 1.0f;
        EXPECT_FALSE(box->PointDistance(point, distance));
        EXPECT_EQ(distance, 9999999.0f) << point.x << ", " << point.y << ", " << point.z;
    }
    // Within the margin the squared distance is computed: 0.95 from the face.
    float distance = 1.0f;
    EXPECT_FALSE(box->PointDistance({ 100.0f, 0.0f, 5.95f }, distance));
    EXPECT_NEAR(distance, 0.95f * 0.95f, 1e-4f);
    // The bounds are inflated before the margin is added: 1.03 from the face is still measured.
    distance = 1.0f;
    EXPECT_FALSE(box->PointDistance({ 106.03f, 0.0f, 0.0f }, distance));
    EXPECT_NEAR(distance, 1.03f * 1.03f, 1e-3f);
    // The margin is what the caller passes in.
    distance = 5.0f;
    EXPECT_FALSE(box->PointDistance({ 108.0f, 0.0f, 0.0f }, distance));
    EXPECT_NEAR(distance, 9.0f, 1e-3f);
}

TEST_F(PointDistance, InsideIsZeroAndOutsideIsTheSquaredDistance)
{
    BoxCollider* box = StaticBox("box", { 100.0f, 0.0f, 0.0f }, { 5.0f, 5.0f, 5.0f });
    float distance = 1.0f;
    EXPECT_TRUE(box->PointDistance({ 101.0f, 1.0f, -2.0f }, distance));
    EXPECT_EQ(distance, 0.0f);

    // Within 0.1 (squared) counts as touching.
    distance = 1.0f;
    EXPECT_TRUE(box->PointDistance({ 100.0f, 5.3f, 0.0f }, distance));
    EXPECT_NEAR(distance, 0.09f, 1e-4f);
    distance = 1.0f;
    EXPECT_FALSE(box->PointDistance({ 100.0f, 5.5f, 0.0f }, distance));
    EXPECT_NEAR(distance, 0.25f, 1e-4f);
    // Off a corner: 0.6 and 0.8 outside along two axes.
    distance = 1.0f;
    EXPECT_FALSE(box->PointDistance({ 105.6f, 5.8f, 0.0f }, distance));
    EXPECT_NEAR(distance, 1.0f, 1e-4f);

    // A sphere measures from its surface.
    GameObject& ballObject = Object("ball", { -50.0f, 0.0f, 0.0f });
    auto* sphere = AddComponent<SphereCollider>(ballObject, 5.0f);
    Place(ballObject);
    distance = 1.0f;
    EXPECT_FALSE(sphere->PointDistance({ -50.0f, 5.7f, 0.0f }, distance));
    EXPECT_NEAR(distance, 0.49f, 1e-4f);
    distance = 1.0f;
    EXPECT_TRUE(sphere->PointDistance({ -50.0f, 0.0f, 1.0f }, distance));
    EXPECT_EQ(distance, 0.0f);
}

TEST_F(PointDistance, TheBoundsFollowTheColliderAsItMoves)
{
    BoxCollider* box = StaticBox("box", { 0.0f, 0.0f, 0.0f }, { 5.0f, 5.0f, 5.0f });
    Transform& transform = *box->gameObject->transform;
    transform.position = { 0.0f, 0.0f, 40.0f, 1.0f };
    // A quarter turn about Y: the box is still a 10-unit cube around its centre.
    transform.rotation = { 0.0f, kHalfPi, 0.0f, 0.0f };
    transform.dirty = true;
    Step();
    float distance = 1.0f;
    EXPECT_TRUE(box->PointDistance({ 0.0f, 0.0f, 44.0f }, distance));
    EXPECT_EQ(distance, 0.0f);
    distance = 1.0f;
    EXPECT_FALSE(box->PointDistance({ 0.0f, 0.0f, 4.0f }, distance));
    EXPECT_EQ(distance, Collider::kFarAway);
}

} // namespace
