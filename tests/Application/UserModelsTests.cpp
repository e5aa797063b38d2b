// Models the user brings into the scene (Tarnwick --model): where they stand, what is drawn of them,
// how balls hole them, and what is said of files that cannot be used. The models are Blender's own
// exports (tests/Assets/BlenderFiles), with the transforms Blender puts on their nodes.
#include "Application/Ball.h"
#include "Application/DemoScene.h"
#include "Application/ModelSurface.h"
#include "Application/UserModels.h"
#include "Assets/Model.h"
#include "DemoWorld.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Math/Rotation.h"
#include "Physics/MeshCollider.h"
#include "Physics/Raycast.h"
#include "Physics/RigidBody.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"
#include "ScenePicture.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kBlenderFiles = "tests/Assets/BlenderFiles/";
constexpr float kFrame = 0.0333f;
// What Blender's figures are in: metres, where the scene is in centimetres.
constexpr float kCentimetresPerMetre = 100.0f;

ModelRequest Request(const std::string& file, std::optional<Float2> at = {}, std::optional<float> size = {})
{
    return { file, file, at, size };
}

ModelRequest BlenderModel(const char* name, std::optional<Float2> at = {}, std::optional<float> size = {})
{
    return Request(std::string(kBlenderFiles) + name, at, size);
}

// The objects of one brought model (named "<file stem>: <mesh>"), in creation order.
std::vector<GameObject*> MeshObjectsOf(const std::string& stem)
{
    std::vector<GameObject*> objects;
    auto& groups = *Scene::GetInstance().componentsByType;
    for (Component* component : groups["ModelSurface"])
        if (component->gameObject->name.rfind(stem + ": ", 0) == 0)
            objects.push_back(component->gameObject);
    return objects;
}

// The box of every vertex of `objects` where they are drawn.
BoundingBox DrawnBox(const std::vector<GameObject*>& objects)
{
    BoundingBox box;
    for (GameObject* object : objects) {
        const MeshRenderer* renderer = object->GetComponent<MeshRenderer>();
        for (const Vertex& vertex : renderer->model->meshes[0].vertices) {
            const Float3 p = TransformPoint(XYZ(vertex.position), object->transform->worldMatrix);
            box.min = box.valid
                ? Float3 { std::min(box.min.x, p.x), std::min(box.min.y, p.y), std::min(box.min.z, p.z) }
                : p;
            box.max = box.valid
                ? Float3 { std::max(box.max.x, p.x), std::max(box.max.y, p.y), std::max(box.max.z, p.z) }
                : p;
            box.valid = true;
        }
    }
    return box;
}

// The size of a file's meshes together as Blender's own importer read them back, in the scene's axes
// (Blender's z is the scene's y, its y the scene's z) and centimetres.
Float3 BlenderSize(const std::string& file)
{
    std::ifstream in(std::string(kBlenderFiles) + "blender_figures.json");
    std::stringstream text;
    text << in.rdbuf();
    rapidjson::Document figures;
    figures.Parse(text.str().c_str());
    Float3 low { 1e9f, 1e9f, 1e9f }, high { -1e9f, -1e9f, -1e9f };
    for (const auto& mesh : figures["files"][file.c_str()]["meshes"].GetObject()) {
        const auto& min = mesh.value["min"];
        const auto& max = mesh.value["max"];
        low = { std::min(low.x, min[0].GetFloat()), std::min(low.y, min[2].GetFloat()),
            std::min(low.z, min[1].GetFloat()) };
        high = { std::max(high.x, max[0].GetFloat()), std::max(high.y, max[2].GetFloat()),
            std::max(high.z, max[1].GetFloat()) };
    }
    return (high - low) * kCentimetresPerMetre;
}

Footprint FootprintOf(const BoundingBox& box)
{
    return { box.min.x, box.max.x, box.min.z, box.max.z };
}

const Footprint kCabin { -kCabinReachX, kCabinReachX, -kCabinReachZ, kCabinReachZ };

} // namespace

TEST(ModelPlacement, AModelStandsOnTheFloorAtItsPlaceAndSizeAndByDefaultInARowBesideTheCabin)
{
    // A box 40 wide, 40 tall and 20 deep whose file puts it off the origin and partly below it.
    const BoundingBox box { { -10.0f, -5.0f, 30.0f }, { 30.0f, 35.0f, 50.0f }, true };
    auto place = [&](const ModelRequest& request, std::vector<Footprint> taken = {}) {
        const auto placed = PlaceModel(box, request, taken);
        EXPECT_TRUE(std::holds_alternative<ModelPlacement>(placed)) << std::get<std::string>(placed);
        return std::holds_alternative<ModelPlacement>(placed) ? std::get<ModelPlacement>(placed) : ModelPlacement {};
    };

    // At its own size, its lowest point on the floor, the middle of its footprint where asked.
    const ModelPlacement at = place(Request("a.fbx", Float2 { 300.0f, -200.0f }));
    EXPECT_FLOAT_EQ(at.scale, 1.0f);
    EXPECT_FLOAT_EQ(at.bounds.min.y, kFloorTop);
    EXPECT_FLOAT_EQ(at.bounds.max.y, kFloorTop + 40.0f);
    EXPECT_FLOAT_EQ(0.5f * (at.bounds.min.x + at.bounds.max.x), 300.0f);
    EXPECT_FLOAT_EQ(0.5f * (at.bounds.min.z + at.bounds.max.z), -200.0f);
    EXPECT_FLOAT_EQ(at.footprint.maxX - at.footprint.minX, 40.0f);
    EXPECT_FLOAT_EQ(at.offset.y, kFloorTop + 5.0f);

    // With --size its largest side is that long, the others in proportion.
    const ModelPlacement sized = place(Request("a.fbx", Float2 { 0.0f, 500.0f }, 120.0f));
    EXPECT_FLOAT_EQ(sized.scale, 3.0f);
    EXPECT_FLOAT_EQ(sized.bounds.max.y - sized.bounds.min.y, 120.0f);
    EXPECT_FLOAT_EQ(sized.bounds.max.z - sized.bounds.min.z, 60.0f);
    EXPECT_FLOAT_EQ(sized.bounds.min.y, kFloorTop);

    // By default: beside the cabin, clear of it, and each next one clear of all placed before,
    // those placed with --at included.
    std::vector<Footprint> taken;
    for (int k = 0; k < 3; ++k) {
        const ModelPlacement next = place(Request("a.fbx"), taken);
        EXPECT_FLOAT_EQ(next.bounds.min.y, kFloorTop);
        EXPECT_FALSE(next.footprint.Overlaps(kCabin)) << k;
        for (const Footprint& before : taken)
            EXPECT_FALSE(next.footprint.Overlaps(before)) << k;
        taken.push_back(next.footprint);
        if (k == 0)
            taken.push_back(at.footprint);
    }
    EXPECT_GT(taken.back().minX, at.footprint.maxX);
}

TEST(ModelPlacement, ABoxWithNothingToStandOnOrTooLargeForTheFloorIsRefusedWithAMessage)
{
    const std::vector<Footprint> none;
    auto refusal = [&](const BoundingBox& box, const ModelRequest& request) {
        const auto placed = PlaceModel(box, request, none);
        return std::holds_alternative<std::string>(placed) ? std::get<std::string>(placed) : std::string("placed");
    };
    const BoundingBox cube { { 0.0f, 0.0f, 0.0f }, { 40.0f, 40.0f, 40.0f }, true };
    EXPECT_EQ(refusal({}, Request("a.fbx")), "has no vertex to stand on the floor");
    const float nan = std::nanf("");
    EXPECT_EQ(refusal({ { nan, 0.0f, 0.0f }, { 1.0f, 1.0f, 1.0f }, true }, Request("a.fbx")),
        "has a vertex that is not a finite number, so no place on the floor");
    EXPECT_EQ(refusal({ { 3.0f, 3.0f, 3.0f }, { 3.0f, 3.0f, 3.0f }, true }, Request("a.fbx")),
        "is a single point, with no side to stand on");
    // A flat model stands: it has sides.
    EXPECT_EQ(refusal({ { 0.0f, 0.0f, 0.0f }, { 40.0f, 0.0f, 40.0f }, true }, Request("a.fbx")), "placed");
    // The floor reaches 10000 units from the middle: a model larger than it, or put where it would
    // reach past its edge, has nowhere to stand.
    EXPECT_EQ(refusal(cube, Request("a.fbx", {}, 30000.0f)),
        "is 30000 x 30000 units across at (15104, 0), more than the floor holds (it reaches 10000 units from the "
        "middle along x and z)");
    EXPECT_EQ(refusal(cube, Request("a.fbx", Float2 { 0.0f, -9990.0f })),
        "is 40 x 40 units across at (0, -9990), more than the floor holds (it reaches 10000 units from the middle "
        "along x and z)");
    EXPECT_EQ(refusal(cube, Request("a.fbx", Float2 { 9980.0f, 0.0f })), "placed");
}

class UserModelsTest : public ::testing::Test {
protected:
    void RunFrames(int count, float deltaTime = kFrame)
    {
        for (int i = 0; i < count; ++i)
            world->Frame(deltaTime);
    }

    void Build(std::vector<ModelRequest> models)
    {
        world.reset();
        world = std::make_unique<DemoWorld>(models);
        // The first frame registers the renderers and brings every world matrix up to date.
        RunFrames(1);
    }

    std::unique_ptr<DemoWorld> world;
};

TEST_F(UserModelsTest, ModelsFromModellingToolsStandOnTheFloorAtTheirPlaceAndSizeDrawnAndCollidingAsTheyAre)
{
    Build({ BlenderModel("moved_rotated.fbx", Float2 { 300.0f, -200.0f }, 120.0f), BlenderModel("parent_child.fbx"),
        BlenderModel("thin_wall.fbx") });

    // Blender's slabs, moved and turned on their nodes: where asked, their largest side 120 units,
    // their proportions Blender's own, their lowest point on the floor.
    const std::vector<GameObject*> slabs = MeshObjectsOf("moved_rotated");
    ASSERT_EQ(slabs.size(), 2u);
    const BoundingBox placed = DrawnBox(slabs);
    const Float3 size = placed.max - placed.min;
    const Float3 blender = BlenderSize("moved_rotated.fbx");
    const float scale = 120.0f / std::max({ blender.x, blender.y, blender.z });
    EXPECT_NEAR(placed.min.y, kFloorTop, 1e-3f);
    EXPECT_NEAR(0.5f * (placed.min.x + placed.max.x), 300.0f, 1e-3f);
    EXPECT_NEAR(0.5f * (placed.min.z + placed.max.z), -200.0f, 1e-3f);
    EXPECT_NEAR(std::max({ size.x, size.y, size.z }), 120.0f, 1e-3f);
    EXPECT_NEAR(size.x, blender.x * scale, 0.01f);
    EXPECT_NEAR(size.y, blender.y * scale, 0.01f);
    EXPECT_NEAR(size.z, blender.z * scale, 0.01f);

    // The others by default, at their own size, each clear of the cabin and of the models before.
    const BoundingBox parentChild = DrawnBox(MeshObjectsOf("parent_child"));
    const BoundingBox wall = DrawnBox(MeshObjectsOf("thin_wall"));
    const Float3 wallSize = wall.max - wall.min;
    const Float3 blenderWall = BlenderSize("thin_wall.fbx");
    EXPECT_NEAR(wallSize.x, blenderWall.x, 0.01f);
    EXPECT_NEAR(wallSize.y, blenderWall.y, 0.01f);
    EXPECT_NEAR(wallSize.z, blenderWall.z, 0.01f);
    std::vector<Footprint> footprints { kCabin, FootprintOf(placed), FootprintOf(parentChild), FootprintOf(wall) };
    for (std::size_t a = 0; a < footprints.size(); ++a)
        for (std::size_t b = a + 1; b < footprints.size(); ++b)
            EXPECT_FALSE(footprints[a].Overlaps(footprints[b])) << a << " and " << b;
    EXPECT_NEAR(parentChild.min.y, kFloorTop, 1e-3f);
    EXPECT_NEAR(wall.min.y, kFloorTop, 1e-3f);

    // Every mesh is drawn, in a mask group of its own after the cabin's, and collides on the cabin's
    // layer where it is drawn: a ray down through the middle of each mesh meets that mesh at its top.
    std::set<std::uint32_t> groups;
    for (const char* stem : { "moved_rotated", "parent_child", "thin_wall" })
        for (GameObject* object : MeshObjectsOf(stem)) {
            const auto* renderer = object->GetComponent<MeshRenderer>();
            ASSERT_NE(renderer, nullptr);
            EXPECT_GT(renderer->maskGroup, 6u);
            EXPECT_TRUE(groups.insert(renderer->maskGroup).second) << object->name;
            const auto& drawn = GraphicsEngine::GetInstance().renderers;
            EXPECT_NE(std::find(drawn.begin(), drawn.end(), renderer), drawn.end()) << object->name;
            const auto* collider = object->GetComponent<MeshCollider>();
            ASSERT_NE(collider, nullptr);
            EXPECT_EQ(collider->layer, kCabinLayer);
            const BoundingBox box = DrawnBox({ object });
            const Float3 middle = (box.min + box.max) * 0.5f;
            const Ray down { { middle.x, box.max.y + 50.0f, middle.z }, { 0.0f, -1.0f, 0.0f } };
            RaycastResult result;
            ASSERT_TRUE(down.Cast(result, 1000.0f) && !result.hits.empty()) << object->name;
            EXPECT_EQ(result.hits.front().gameObject, object) << object->name;
            EXPECT_LE(result.hits.front().position.y, box.max.y + 0.01f) << object->name;
            EXPECT_GE(result.hits.front().position.y, middle.y) << object->name;
        }
    EXPECT_EQ(groups.size(), 2u + 2u + 1u);
}

TEST_F(UserModelsTest, ABallThrownAtAThinModelHolesItOnceWhereItMeetsItAndEndsOnItsFarSide)
{
    // Blender's wall, 200 wide, 150 tall and 5 thick, behind the cabin with its faces at z -147.5 and
    // -152.5: thrown at from either side, at its middle, near its edges, slanting, near and far, at
    // the frame steps of a fast and of a slow machine.
    Build({ BlenderModel("thin_wall.fbx", Float2 { 0.0f, -150.0f }) });
    const std::vector<GameObject*> wall = MeshObjectsOf("thin_wall");
    ASSERT_EQ(wall.size(), 1u);
    const std::uint32_t group = wall[0]->GetComponent<MeshRenderer>()->maskGroup;
    constexpr float kNearFace = -147.5f, kFarFace = -152.5f, kBallRadius = 5.0f, kTouching = 0.05f;
    constexpr float kThrowSpeed = 1500.0f, kGravity = 981.0f;
    struct Throw {
        const char* what;
        Float3 at;
        float distance;
        float slant; // degrees from square, turned about y
        bool fromFar;
    };
    const Throw throws[] = {
        { "the middle", { 0.0f, 60.0f, 0.0f }, 60.0f, 0.0f, false },
        { "the middle from the far side", { 0.0f, 60.0f, 0.0f }, 60.0f, 0.0f, true },
        { "6 units in from its side edge", { 94.0f, 60.0f, 0.0f }, 40.0f, 0.0f, false },
        { "6 units under its top", { 0.0f, 141.5f, 0.0f }, 40.0f, 0.0f, false },
        { "10 units over the floor", { -30.0f, 7.5f, 0.0f }, 40.0f, 0.0f, false },
        { "slanting at 45 degrees", { 20.0f, 60.0f, 0.0f }, 60.0f, 45.0f, false },
        { "slanting at 70 degrees", { -20.0f, 60.0f, 0.0f }, 60.0f, 70.0f, true },
        { "from 400 units", { 10.0f, 60.0f, 0.0f }, 400.0f, 0.0f, true },
        { "from right against it", { 0.0f, 60.0f, 0.0f }, 5.5f, 0.0f, false },
    };
    for (const float step : { 0.005f, 0.0333f })
        for (const Throw& t : throws) {
            world->RemoveThrows();
            const std::string what = std::string(t.what) + " at " + std::to_string(step) + " s steps";
            const float face = t.fromFar ? kFarFace : kNearFace;
            const float away = t.fromFar ? -1.0f : 1.0f;
            const float slant = t.slant * 3.14159265f / 180.0f;
            const Float3 direction { std::sin(slant), 0.0f, -away * std::cos(slant) };
            const Float3 target { t.at.x, t.at.y, face };
            GameObject* ball = world->Throw(target - direction * t.distance, direction, step);
            ASSERT_NE(ball, nullptr) << what;
            const int frames = static_cast<int>(3.0f / step);
            for (int frame = 0; frame < frames; ++frame)
                world->Frame(step);
            const std::vector<GameObject*> holes = world->Holes();
            ASSERT_EQ(holes.size(), 1u) << what;
            const MeshRenderer* mask = holes[0]->GetComponent<MeshRenderer>();
            ASSERT_NE(mask, nullptr) << what;
            EXPECT_EQ(mask->maskOf, group) << what;
            // The hole is where the ball met the wall: on its way, fallen under gravity over its
            // flight at the throw's speed, at the face it came to.
            const Float3 hole = XYZ(holes[0]->transform->position);
            const float flight = t.distance / kThrowSpeed;
            const float fall = 0.5f * kGravity * flight * flight;
            EXPECT_NEAR(hole.y, t.at.y - fall, 1.0f + 0.1f * fall) << what;
            EXPECT_NEAR(hole.x, t.at.x, 2.0f + 5.0f * std::tan(slant)) << what;
            const Float3 end = ball->GetComponent<RigidBody>()->Position();
            // Beyond the wall, or against its far face (come back from the cabin beyond it).
            if (t.fromFar)
                EXPECT_GT(end.z, kNearFace + kBallRadius - kTouching) << what << ": the ball ended at z " << end.z;
            else
                EXPECT_LT(end.z, kFarFace - kBallRadius + kTouching) << what << ": the ball ended at z " << end.z;
        }
}

TEST_F(UserModelsTest, ABallThrownSquareAtASlabTurnedEveryWayGoesThroughItAlongItsNormal)
{
    // Blender's "Turned" (100 x 40 x 20, turned in its ZXY order on its node): a ball thrown square at
    // its broad face, at its middle and towards its ends, goes through its thickness and out beyond.
    Build({ BlenderModel("moved_rotated.fbx", Float2 { 0.0f, -250.0f }) });
    GameObject* turned = nullptr;
    for (GameObject* object : MeshObjectsOf("moved_rotated"))
        if (object->name == "moved_rotated: Turned")
            turned = object;
    ASSERT_NE(turned, nullptr);
    // The broad face's outward normal: the largest triangle's, pointing up.
    const Mesh& mesh = turned->GetComponent<MeshRenderer>()->model->meshes[0];
    auto corner = [&](std::size_t k) {
        return TransformPoint(XYZ(mesh.vertices[mesh.indices[k]].position), turned->transform->worldMatrix);
    };
    Float3 normal;
    float largest = 0.0f;
    for (std::size_t k = 0; k + 2 < mesh.indices.size(); k += 3) {
        const Float3 across = Cross(corner(k + 1) - corner(k), corner(k + 2) - corner(k));
        if (Length(across) > largest) {
            largest = Length(across);
            normal = Normalize(across);
        }
    }
    if (normal.y < 0.0f)
        normal = -normal;
    const BoundingBox box = DrawnBox({ turned });
    const Float3 middle = (box.min + box.max) * 0.5f;
    float half = 0.0f;
    for (std::size_t k = 0; k < mesh.indices.size(); ++k)
        half = std::max(half, Dot(corner(k) - middle, normal));
    ASSERT_NEAR(half, 10.0f, 0.1f);
    const Float3 along = Normalize(Cross(normal, { 0.0f, 0.0f, 1.0f }));
    const std::uint32_t group = turned->GetComponent<MeshRenderer>()->maskGroup;
    for (const float offset : { 0.0f, -25.0f, 25.0f }) {
        world->RemoveThrows();
        const Float3 target = middle + normal * half + along * offset;
        GameObject* ball = world->Throw(target + normal * 40.0f, -normal, kFrame);
        ASSERT_NE(ball, nullptr);
        RunFrames(static_cast<int>(3.0f / kFrame));
        const std::vector<GameObject*> holes = world->Holes();
        ASSERT_EQ(holes.size(), 1u) << offset;
        EXPECT_EQ(holes[0]->GetComponent<MeshRenderer>()->maskOf, group) << offset;
        // Drawn as a round hole square through the slab: the cylinder (5 units long before its scale)
        // along the normal, through the whole thickness.
        const Transform& hole = *holes[0]->transform;
        const Float3 axis = TransformDirection(
            { 0.0f, 0.0f, 1.0f }, EulerRotationMatrix(hole.rotation.x, hole.rotation.y, hole.rotation.z));
        EXPECT_GT(std::abs(Dot(axis, normal)), 0.999f) << offset;
        EXPECT_GE(hole.scale.z * 5.0f, 2.0f * half) << offset;
        EXPECT_NEAR(Dot(XYZ(hole.position) - middle, normal), 0.0f, 0.5f) << offset;
        const Float3 end = ball->GetComponent<RigidBody>()->Position();
        EXPECT_LT(Dot(end - middle, normal), -half - 4.9f)
            << "thrown " << offset << " along: the ball ended at (" << end.x << ", " << end.y << ", " << end.z << ")";
    }
}

TEST_F(UserModelsTest, EveryMeshOfAModelIsDrawnLitAndCastsItsShadowOnTheFloor)
{
    // Blender's three shapes side by side (a block, a ball and a cone) behind the cabin, seen from
    // between the two. Each part shows where it stands, and the floor where the sun's way to a point
    // inside each part meets it is darker than with no model there.
    auto look = [&]() -> const GameCamera& {
        InspectorCamera& camera = world->Camera();
        camera.position = { 0.0f, 150.0f, -60.0f, 1.0f };
        camera.yaw = 180.0f;
        camera.pitch = -35.0f;
        camera.GameCamera::Update(0.0f);
        return camera;
    };
    Build({ BlenderModel("three_parts.fbx", Float2 { 0.0f, -300.0f }) });
    const std::vector<GameObject*> parts = MeshObjectsOf("three_parts");
    ASSERT_EQ(parts.size(), 3u);
    const Float3 sun = Normalize(sceneLight->shadowCamera.forward);
    std::vector<std::pair<std::string, Float3>> points;
    for (GameObject* part : parts) {
        const BoundingBox box = DrawnBox({ part });
        const Float3 middle = (box.min + box.max) * 0.5f;
        points.emplace_back(part->name, Float3 { middle.x, middle.y, box.max.z - 1.0f });
        // Three quarters of the way up its middle, inside every one of the three shapes.
        const Float3 inside { middle.x, box.min.y + 0.75f * (box.max.y - box.min.y), middle.z };
        points.emplace_back(part->name + " shadow", inside + sun * ((kFloorTop - inside.y) / sun.y));
    }
    std::map<std::string, int> with, without;
    {
        const GameCamera& camera = look();
        ScenePicture drawn;
        for (const auto& [name, point] : points)
            with[name] = drawn.Brightness(camera, point);
    }
    Build({});
    {
        const GameCamera& camera = look();
        ScenePicture drawn;
        for (const auto& [name, point] : points)
            without[name] = drawn.Brightness(camera, point);
    }
    for (const auto& [name, point] : points) {
        ASSERT_GE(with[name], 0) << name << " is off the picture";
        if (name.ends_with(" shadow"))
            EXPECT_LT(with[name] * 10, without[name] * 8)
                << name << ": " << with[name] << " with the model, " << without[name] << " without";
        else
            EXPECT_GT(std::abs(with[name] - without[name]), 30)
                << name << " is not drawn: " << with[name] << " with the model, " << without[name] << " without";
    }
}

TEST_F(UserModelsTest, AFileThatCannotBeUsedIsSaidOnceAndTheOthersAreBroughtIn)
{
    std::string made = (fs::temp_directory_path() / "tarnwick-models-XXXXXX").string();
    ASSERT_NE(mkdtemp(made.data()), nullptr);
    const fs::path folder = made;
    fs::create_directories(folder / "a folder.fbx");
    const std::string junk = (folder / "junk.fbx").string();
    std::ofstream(junk) << "not a model";
    const std::string missing = (folder / "missing.fbx").string();
    const std::string notFbx = (folder / "model.obj").string();
    std::ofstream(notFbx) << "v 0 0 0\n";
    const std::string directory = (folder / "a folder.fbx").string();

    testing::internal::CaptureStderr();
    Build({ Request(junk), Request(missing), Request(directory), Request(notFbx),
        BlenderModel("thin_wall.fbx", {}, 30000.0f), BlenderModel("thin_wall.fbx", Float2 { 0.0f, -300.0f }) });
    const std::string said = testing::internal::GetCapturedStderr();
    fs::remove_all(folder);

    std::vector<std::string> lines;
    std::istringstream stream(said);
    for (std::string line; std::getline(stream, line);)
        if (!line.empty())
            lines.push_back(line);
    auto onceStarting = [&](const std::string& start) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; });
    };
    EXPECT_EQ(onceStarting(junk + ": cannot be read"), 1) << said;
    EXPECT_EQ(onceStarting(missing + ": not found; the model is left out"), 1) << said;
    EXPECT_EQ(onceStarting(directory + ": "), 1) << said;
    EXPECT_EQ(onceStarting(notFbx + ": is not a model"), 1) << said;
    EXPECT_EQ(onceStarting(std::string(kBlenderFiles) + "thin_wall.fbx: is 30000 x 750"), 1) << said;
    EXPECT_EQ(lines.size(), 5u) << said;
    for (const std::string& line : lines)
        EXPECT_TRUE(line.ends_with("; the model is left out")) << line;
    // Only the last wall was brought in, where it was asked to stand.
    const std::vector<GameObject*> walls = MeshObjectsOf("thin_wall");
    ASSERT_EQ(walls.size(), 1u);
    const BoundingBox box = DrawnBox(walls);
    EXPECT_NEAR(0.5f * (box.min.z + box.max.z), -300.0f, 1e-3f);
}
