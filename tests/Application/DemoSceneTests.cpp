#include "Application/DemoScene.h"
#include "Assets/FbxImport.h"
#include "Assets/ModelCache.h"
#include "DemoWorld.h"
#include "GlTestContext.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Physics/BoxCollider.h"
#include "Physics/MeshCollider.h"
#include "Physics/PhysicsEngine.h"
#include "Physics/Raycast.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

// The demo scene as Application::Run builds it, with the real models, physics and layers file.

namespace {

class DemoSceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // One frame's component passes without a physics step: the transforms' matrices are built.
        Scene& scene = Scene::GetInstance();
        scene.EarlyUpdatePass(0.0f);
        scene.UpdatePass(0.0f);
    }

    static const std::vector<Component*>& Group(const std::string& type)
    {
        static const std::vector<Component*> none;
        auto& groups = *Scene::GetInstance().componentsByType;
        return groups.count(type) != 0 ? groups.at(type) : none;
    }

    static std::vector<GameObject*> Objects()
    {
        std::vector<GameObject*> objects;
        for (Component* c : Group("MeshRenderer"))
            objects.push_back(c->gameObject);
        return objects;
    }

    DemoWorld world;
};

// Distance along the ray to the nearest drawn triangle of `object`, or infinity.
float DrawnDistance(const GameObject& object, const Float3& origin, const Float3& direction)
{
    const Model* model = object.GetComponent<MeshRenderer>()->model;
    const Mesh& mesh = model->meshes[0];
    const Matrix4x4& world = object.transform->worldMatrix;
    float nearest = std::numeric_limits<float>::infinity();
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        Float3 a = TransformPoint(XYZ(mesh.vertices[mesh.indices[i]].position), world);
        Float3 b = TransformPoint(XYZ(mesh.vertices[mesh.indices[i + 1]].position), world);
        Float3 c = TransformPoint(XYZ(mesh.vertices[mesh.indices[i + 2]].position), world);
        // Moller-Trumbore, both sides.
        Float3 e1 = b - a, e2 = c - a;
        Float3 p = Cross(direction, e2);
        float det = Dot(e1, p);
        if (std::abs(det) < 1e-9f)
            continue;
        Float3 t = origin - a;
        float u = Dot(t, p) / det;
        Float3 q = Cross(t, e1);
        float v = Dot(direction, q) / det;
        float distance = Dot(e2, q) / det;
        if (u >= 0 && v >= 0 && u + v <= 1 && distance > 0 && distance < nearest)
            nearest = distance;
    }
    return nearest;
}

// The centre of the object's drawn mesh in the world.
Float3 DrawnCentre(const GameObject& object)
{
    const BoundingBox& box = object.GetComponent<MeshRenderer>()->model->meshes[0].box;
    return TransformPoint((box.min + box.max) * 0.5f, object.transform->worldMatrix);
}

} // namespace

TEST_F(DemoSceneTest, TheRegistryHoldsTheCabinItsCollidersAndTheLight)
{
    EXPECT_EQ(Group("MeshRenderer").size(), 9u);
    EXPECT_EQ(Group("BoxCollider").size(), 7u);
    EXPECT_EQ(Group("MeshCollider").size(), 2u);
    EXPECT_EQ(Group("DirectionalLight").size(), 1u);
    EXPECT_EQ(Group("RigidBody").size(), 0u);
    ASSERT_NE(sceneLight, nullptr);
    EXPECT_EQ(sceneLight->gameObject->name, "Directional light");

    const char* names[] = { "Floor", "CabinwallZ", "CabinwallX", "CabinwallZ", "CabinwallX", "CabinRoof", "CabinRoof",
        "CabinRoofFace", "CabinRoofFace" };
    std::vector<GameObject*> objects = Objects();
    ASSERT_EQ(objects.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(objects[i]->name, names[i]);
    // Literal single-precision angles, and pi as the nearest float.
    EXPECT_EQ(objects[2]->transform->rotation.y, 1.57079f);
    EXPECT_EQ(objects[4]->transform->rotation.y, 3.14159265358979f);
    EXPECT_EQ(objects[5]->transform->rotation.x, -2.258f);
    EXPECT_EQ(objects[6]->transform->rotation.x, -2.25f);
    EXPECT_EQ(objects[6]->transform->position.x, -31.0f);
}

TEST_F(DemoSceneTest, TheFloorBoxSpansItsFiveUnitsBelowTheDrawnFloor)
{
    GameObject* floor = Objects()[0];
    auto* box = floor->GetComponent<BoxCollider>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->layer, 1);
    physx::PxBounds3 bounds;
    physx::PxGeometryQuery::computeGeomBounds(
        bounds, box->shape->getGeometry(), box->actor->getGlobalPose() * box->shape->getLocalPose(), 0.0f, 1.0f);
    EXPECT_NEAR(bounds.minimum.y, -7.5f, 1e-4f);
    EXPECT_NEAR(bounds.maximum.y, -2.5f, 1e-4f);
    // The drawn floor lies on the box's top.
    Float3 top = TransformPoint(
        XYZ(floor->GetComponent<MeshRenderer>()->model->meshes[0].vertices[0].position), floor->transform->worldMatrix);
    EXPECT_NEAR(top.y, -2.5f, 1e-4f);
}

TEST_F(DemoSceneTest, WallBoxesTakeTheScaleAndHalfTheUnscaledHeight)
{
    CabinBox two = CabinBoxCollider({ 4.0f, 2.0f, 1.0f }, { 5, 5, 5, 1 }, false);
    EXPECT_EQ(two.halfExtents.y, 5.0f);
    EXPECT_EQ(two.centre.y, 1.0f);
    EXPECT_EQ(two.halfExtents.x, 10.0f);
    CabinBox roof = CabinBoxCollider({ 4.0f, 2.0f, 1.0f }, { 5, 5, 5, 1 }, true);
    EXPECT_EQ(roof.centre, (Float3 { 0.0f, 8.0f, 4.0f }));

    // The shipped walls: on layer 16, with the collision mask of that layer.
    for (GameObject* object : Objects())
        if (auto* box = object->GetComponent<BoxCollider>(); box != nullptr && object->name != "Floor") {
            EXPECT_EQ(box->layer, 16) << object->name;
            EXPECT_EQ(box->shape->getQueryFilterData().word0, 16u);
            EXPECT_EQ(box->shape->getSimulationFilterData().word1, 1u);
        }
}

TEST_F(DemoSceneTest, GablesShareTheMaskGroupsOfTheWallsBelowThem)
{
    std::vector<GameObject*> objects = Objects();
    auto group = [&](std::size_t i) { return objects[i]->GetComponent<MeshRenderer>()->maskGroup; };
    EXPECT_EQ(group(0), 0u);
    for (std::size_t i = 1; i <= 6; ++i)
        EXPECT_EQ(group(i), i);
    EXPECT_EQ(group(7), group(1));
    EXPECT_EQ(group(8), group(4));
    auto* gable = objects[7]->GetComponent<MeshCollider>();
    ASSERT_NE(gable, nullptr);
    EXPECT_EQ(gable->model, GetModel("Assets/Models/TriangleCollider.fbx"));
    EXPECT_EQ(gable->localPosition, (Float3 { 0, -9, 0 }));
    EXPECT_NE(gable->shape, nullptr);
}

TEST_F(DemoSceneTest, EveryCabinSurfaceIsMetByItsColliderWhereItIsDrawn)
{
    // From outside, along each surface's outward normal, at the middle of its drawn mesh: the ray
    // meets the collider within two units of the drawn surface.
    for (GameObject* object : Objects()) {
        if (object->name == "Floor")
            continue;
        SCOPED_TRACE(object->name + " at x " + std::to_string(object->transform->position.x) + " z "
            + std::to_string(object->transform->position.z));
        Float3 inward = Normalize(TransformDirection({ 0, 0, 1 }, object->transform->worldMatrixNoScale));
        Float3 centre = DrawnCentre(*object);
        Ray ray { centre - inward * 200.0f, inward };
        RaycastResult result;
        ASSERT_TRUE(ray.Cast(result, 1000.0f));
        float drawn = DrawnDistance(*object, ray.origin, ray.direction);
        ASSERT_TRUE(std::isfinite(drawn));
        EXPECT_EQ(result.hits[0].gameObject, object);
        EXPECT_NEAR(result.hits[0].distance, drawn, 2.001f);
    }
}
