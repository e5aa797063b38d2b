#include "Application/DemoScene.h"
#include "Assets/FbxImport.h"
#include "Assets/Model.h"
#include "Assets/ModelCache.h"
#include "DemoWorld.h"
#include "GlTestContext.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Physics/BoxCollider.h"
#include "Physics/MeshCollider.h"
#include "Physics/PhysXConversions.h"
#include "Physics/PhysicsEngine.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

// The centre of the object's drawn mesh in the world.
Float3 DrawnCentre(const GameObject& object)
{
    const BoundingBox& box = object.GetComponent<MeshRenderer>()->model->meshes[0].box;
    return TransformPoint((box.min + box.max) * 0.5f, object.transform->worldMatrix);
}

struct Triangle {
    Float3 a, b, c;
};

// A cabin part as drawn: its mesh's triangles in the world. The parts are convex prisms, so a point is
// inside when it is behind every face's plane.
struct DrawnSolid {
    std::string name;
    std::vector<Triangle> triangles;
    Float3 middle;

    bool Inside(Float3 p, float depth = 1e-3f) const
    {
        for (const Triangle& t : triangles) {
            Float3 n = Normalize(Cross(t.b - t.a, t.c - t.a));
            if (Dot(n, middle - t.a) > 0.0f)
                n = -n;
            if (Dot(p - t.a, n) > -depth)
                return false;
        }
        return true;
    }

    // 0 inside, else the distance to the nearest triangle.
    float Distance(Float3 p) const
    {
        if (Inside(p, 0.0f))
            return 0.0f;
        float nearest = std::numeric_limits<float>::infinity();
        for (const Triangle& t : triangles)
            nearest = std::min(nearest, Length(p - NearestOnTriangle(p, t)));
        return nearest;
    }

    static Float3 NearestOnTriangle(Float3 p, const Triangle& t)
    {
        // Ericson, Real-Time Collision Detection, 5.1.5.
        const Float3 ab = t.b - t.a, ac = t.c - t.a, ap = p - t.a;
        const float d1 = Dot(ab, ap), d2 = Dot(ac, ap);
        if (d1 <= 0.0f && d2 <= 0.0f)
            return t.a;
        const Float3 bp = p - t.b;
        const float d3 = Dot(ab, bp), d4 = Dot(ac, bp);
        if (d3 >= 0.0f && d4 <= d3)
            return t.b;
        const float vc = d1 * d4 - d3 * d2;
        if (vc <= 0.0f && d1 >= 0.0f && d3 <= 0.0f)
            return t.a + ab * (d1 / (d1 - d3));
        const Float3 cp = p - t.c;
        const float d5 = Dot(ab, cp), d6 = Dot(ac, cp);
        if (d6 >= 0.0f && d5 <= d6)
            return t.c;
        const float vb = d5 * d2 - d1 * d6;
        if (vb <= 0.0f && d2 >= 0.0f && d6 <= 0.0f)
            return t.a + ac * (d2 / (d2 - d6));
        const float va = d3 * d6 - d5 * d4;
        if (va <= 0.0f && (d4 - d3) >= 0.0f && (d5 - d6) >= 0.0f)
            return t.b + (t.c - t.b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
        const float denominator = 1.0f / (va + vb + vc);
        return t.a + ab * (vb * denominator) + ac * (vc * denominator);
    }
};

DrawnSolid DrawnSolidOf(const GameObject& object)
{
    DrawnSolid solid;
    solid.name = object.name + " at x " + std::to_string(object.transform->position.x) + " z "
        + std::to_string(object.transform->position.z);
    const Mesh& mesh = object.GetComponent<MeshRenderer>()->model->meshes[0];
    const Matrix4x4& world = object.transform->worldMatrix;
    auto at = [&](std::size_t i) { return TransformPoint(XYZ(mesh.vertices[mesh.indices[i]].position), world); };
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3)
        solid.triangles.push_back({ at(i), at(i + 1), at(i + 2) });
    solid.middle = DrawnCentre(object);
    return solid;
}

// The faces of a wall's or roof slab's box, or of a gable's cooked prism, as triangles in the world.
std::vector<Triangle> ColliderFaces(const Collider& collider)
{
    std::vector<Triangle> faces;
    const physx::PxTransform pose = collider.actor->getGlobalPose() * collider.shape->getLocalPose();
    auto world = [&pose](Float3 p) { return ToFloat3(pose.transform(ToPx(p))); };
    if (const auto* mesh = dynamic_cast<const MeshCollider*>(&collider)) {
        const float scale = collider.gameObject->transform->scale.x;
        for (const Mesh& part : mesh->model->meshes)
            for (std::size_t i = 0; i + 2 < part.indices.size(); i += 3) {
                auto at = [&](std::size_t k) { return world(XYZ(part.vertices[part.indices[k]].position) * scale); };
                faces.push_back({ at(i), at(i + 1), at(i + 2) });
            }
        return faces;
    }
    physx::PxBoxGeometry box;
    collider.shape->getBoxGeometry(box);
    const Float3 h = ToFloat3(box.halfExtents);
    for (int axis = 0; axis < 3; ++axis)
        for (const float side : { -1.0f, 1.0f }) {
            // The face's two other axes, each at +-1.
            auto corner = [&](float u, float v) {
                float c[3];
                c[axis] = side;
                c[(axis + 1) % 3] = u;
                c[(axis + 2) % 3] = v;
                return world({ c[0] * h.x, c[1] * h.y, c[2] * h.z });
            };
            faces.push_back({ corner(-1, -1), corner(1, -1), corner(1, 1) });
            faces.push_back({ corner(-1, -1), corner(1, 1), corner(-1, 1) });
        }
    return faces;
}

// Calls `visit` with points spread over the triangle no further apart than `spacing`.
template <class Visit>
void ForPointsOn(const Triangle& t, float spacing, Visit visit)
{
    const float longest = std::max({ Length(t.b - t.a), Length(t.c - t.a), Length(t.c - t.b) });
    const int steps = std::max(1, static_cast<int>(std::ceil(longest / spacing)));
    for (int i = 0; i <= steps; ++i)
        for (int j = 0; i + j <= steps; ++j)
            visit(t.a + (t.b - t.a) * (static_cast<float>(i) / steps) + (t.c - t.a) * (static_cast<float>(j) / steps));
}

// The largest distance seen, and where.
struct Worst {
    float distance = 0.0f;
    Float3 point;
    std::string part;

    void Note(float d, Float3 p, const std::string& name)
    {
        if (d > distance) {
            distance = d;
            point = p;
            part = name;
        }
    }

    std::string Where() const
    {
        char text[96];
        std::snprintf(text, sizeof text, "(%.2f %.2f %.2f) on ", static_cast<double>(point.x),
            static_cast<double>(point.y), static_cast<double>(point.z));
        return text + part;
    }
};

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
    CabinBox two = CabinBoxCollider({ 4.0f, 2.0f, 1.0f }, { 5, 5, 5, 1 });
    EXPECT_EQ(two.halfExtents.y, 5.0f);
    EXPECT_EQ(two.centre, (Float3 { 0.0f, 1.0f, 0.0f }));
    EXPECT_EQ(two.halfExtents.x, 10.0f);

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

TEST_F(DemoSceneTest, EveryDrawnCabinSurfaceABallCanMeetHasItsColliderAndNoColliderStandsOutOfTheDrawing)
{
    // Points a unit or so apart on every drawn triangle of the walls, roof slabs and gables, and on
    // every face of their colliders. A drawn point a ball can meet (not hidden inside another part of
    // the cabin, not below the floor) has a collider within half a unit; a collider point lies inside
    // the drawn cabin or within half a unit of it.
    constexpr float kTolerance = 0.5f;
    constexpr float kSpacing = 1.5f;
    std::vector<DrawnSolid> drawn;
    std::vector<const Collider*> colliders;
    for (GameObject* object : Objects()) {
        if (object->name == "Floor")
            continue;
        drawn.push_back(DrawnSolidOf(*object));
        colliders.push_back(object->GetComponent<Collider>());
    }
    ASSERT_EQ(drawn.size(), 8u);

    auto nearestCollider = [&colliders](Float3 p) {
        float nearest = std::numeric_limits<float>::infinity();
        for (const Collider* collider : colliders)
            nearest = std::min(nearest, collider->Distance(p));
        return nearest;
    };
    auto nearestDrawing = [&drawn](Float3 p) {
        float nearest = std::numeric_limits<float>::infinity();
        for (const DrawnSolid& solid : drawn)
            nearest = std::min(nearest, solid.Distance(p));
        return nearest;
    };

    Worst uncovered;
    int drawnPoints = 0;
    for (std::size_t i = 0; i < drawn.size(); ++i)
        for (const Triangle& triangle : drawn[i].triangles)
            ForPointsOn(triangle, kSpacing, [&](Float3 p) {
                if (p.y < kFloorTop)
                    return;
                for (std::size_t j = 0; j < drawn.size(); ++j)
                    if (j != i && drawn[j].Inside(p))
                        return;
                ++drawnPoints;
                uncovered.Note(nearestCollider(p), p, drawn[i].name);
            });

    Worst standingOut;
    int colliderPoints = 0;
    for (const Collider* collider : colliders)
        for (const Triangle& triangle : ColliderFaces(*collider))
            ForPointsOn(triangle, kSpacing, [&](Float3 p) {
                ++colliderPoints;
                standingOut.Note(nearestDrawing(p), p, collider->gameObject->name);
            });

    std::printf("%d drawn points, farthest from a collider %.3f (%s); %d collider points, farthest from the "
                "drawing %.3f (%s)\n",
        drawnPoints, static_cast<double>(uncovered.distance), uncovered.Where().c_str(), colliderPoints,
        static_cast<double>(standingOut.distance), standingOut.Where().c_str());
    EXPECT_GT(drawnPoints, 10000);
    EXPECT_GT(colliderPoints, 10000);
    EXPECT_LE(uncovered.distance, kTolerance) << "a drawn point without a collider: " << uncovered.Where();
    EXPECT_LE(standingOut.distance, kTolerance) << "a collider point outside the drawing: " << standingOut.Where();
}
