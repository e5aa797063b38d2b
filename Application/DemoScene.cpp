#include "Application/DemoScene.h"

#include "Assets/Model.h"
#include "Assets/ModelCache.h"
#include "Core/Problems.h"
#include "Graphics/DirectionalLight.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/Material.h"
#include "Graphics/MeshRenderer.h"
#include "Physics/BoxCollider.h"
#include "Physics/MeshCollider.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <cmath>
#include <numbers>
#include <sstream>

namespace {

constexpr const char* kWallModel = "Assets/Models/CabinWall.fbx";
constexpr const char* kGableModel = "Assets/Models/CabinRoofTopFace.fbx";
constexpr const char* kFloorModel = "Assets/Models/Plane.fbx";
constexpr const char* kGableColliderModel = "Assets/Models/TriangleCollider.fbx";
constexpr const char* kWallTexture = "Assets/Textures/CabinWallTexture.png";
constexpr const char* kWallNormalMap = "Assets/Textures/CabinWallTexture_N.png";

constexpr float kWallSpecularStrength = 0.2f;
constexpr float kWallShininess = 6.0f;
constexpr float kFloorSpecularStrength = 0.1f;
constexpr float kFloorShininess = 1.0f;

// The floor's box: 5 units thick, as wide as the floor, its top at kFloorTop.
constexpr Float3 kFloorHalfExtents { kFloorReach, 2.5f, kFloorReach };
constexpr Float3 kGableColliderOffset { 0.0f, -9.0f, 0.0f };

// The angles are the literal single-precision values the cabin was laid out with: 1.57079 is not
// pi / 2, and the two roof slabs are not mirror images of each other.
constexpr float kPi = std::numbers::pi_v<float>;

struct ObjectLayout {
    const char* name;
    enum class Shape { Floor, Wall, Roof, Gable } shape;
    std::uint32_t maskGroup;
    Float3 position;
    Float3 rotation;
    Float3 scale;
};

const ObjectLayout kLayout[] = {
    { "Floor", ObjectLayout::Shape::Floor, 0, { 0, -5, 0 }, { 0, 0, 0 }, { 10000, 1, 10000 } },
    { "CabinwallZ", ObjectLayout::Shape::Wall, 1, { 0, 0, -35 }, { 0, 0, 0 }, { 5, 5, 5 } },
    { "CabinwallX", ObjectLayout::Shape::Wall, 2, { -35, 0, 0 }, { 0, 1.57079f, 0 }, { 5, 5, 5 } },
    { "CabinwallZ", ObjectLayout::Shape::Wall, 3, { 35, 0, 0 }, { 0, -1.57079f, 0 }, { 5, 5, 5 } },
    { "CabinwallX", ObjectLayout::Shape::Wall, 4, { 0, 0, 35 }, { 0, kPi, 0 }, { 5, 5, 5 } },
    { "CabinRoof", ObjectLayout::Shape::Roof, 5, { 31.1f, 44, 0 }, { -2.258f, -1.57f, -3.14159f }, { 5, 5, 5 } },
    { "CabinRoof", ObjectLayout::Shape::Roof, 6, { -31, 44, 0 }, { -2.25f, 1.57f, -3.14159f }, { 5, 5, 5 } },
    { "CabinRoofFace", ObjectLayout::Shape::Gable, 1, { -0.4f, 44, -35 }, { 0, 0, 0 }, { 5, 5, 5 } },
    { "CabinRoofFace", ObjectLayout::Shape::Gable, 4, { -0.4f, 44, 35 }, { 0, kPi, 0 }, { 5, 5, 5 } },
};

// Written in the order position, rotation, scale, each write marking the transform changed.
void Place(Transform& transform, const ObjectLayout& layout)
{
    transform.position = { layout.position.x, layout.position.y, layout.position.z, 1.0f };
    transform.dirty = true;
    transform.rotation = { layout.rotation.x, layout.rotation.y, layout.rotation.z, 0.0f };
    transform.dirty = true;
    transform.scale = { layout.scale.x, layout.scale.y, layout.scale.z, 1.0f };
    transform.dirty = true;
}

// The size of the wall model's first mesh, per axis, in model units.
Float3 MeshSize(const Model* model)
{
    if (model == nullptr || model->meshes.empty())
        return {};
    const BoundingBox& box = model->meshes[0].box;
    return box.max - box.min;
}

Model* ModelFor(ObjectLayout::Shape shape, Model* wall, Model* gable)
{
    switch (shape) {
    case ObjectLayout::Shape::Floor: return GetModel(kFloorModel);
    case ObjectLayout::Shape::Gable: return gable;
    default: return wall;
    }
}

// Walls and roof slabs get a box as large as the scaled wall mesh, centred half the unscaled mesh
// height above the object; gables a cooked prism.
void AddCollider(GameObject& object, const ObjectLayout& layout, Float3 e)
{
    const Float4& scale = object.transform->scale;
    switch (layout.shape) {
    case ObjectLayout::Shape::Floor: AddComponent<BoxCollider>(object, kFloorHalfExtents); break;
    case ObjectLayout::Shape::Wall:
    case ObjectLayout::Shape::Roof: {
        // A box the physics library refuses would be reported without the file it came from.
        if (!(e.x > 0.0f && e.y > 0.0f && e.z > 0.0f && std::isfinite(e.x + e.y + e.z))) {
            std::ostringstream size;
            size << "is " << e.x << " x " << e.y << " x " << e.z
                 << " units, not a box that can collide; the walls and roof slabs have no collider";
            ReportFileProblem(kWallModel, size.str());
            break;
        }
        CabinBox layoutBox = CabinBoxCollider(e, scale);
        auto* box = AddComponent<BoxCollider>(object, layoutBox.halfExtents);
        box->SetLocalPosition(layoutBox.centre);
        box->SetLayer(kCabinLayer);
        break;
    }
    case ObjectLayout::Shape::Gable: {
        auto* mesh = AddComponent<MeshCollider>(object);
        mesh->model = GetModel(kGableColliderModel);
        mesh->SetLocalPosition(kGableColliderOffset);
        mesh->SetLayer(kCabinLayer);
        break;
    }
    }
}

} // namespace

CabinBox CabinBoxCollider(Float3 e, Float4 scale)
{
    CabinBox box;
    box.halfExtents = { scale.x * 0.5f * e.x, scale.y * 0.5f * e.y, scale.z * 0.5f * e.z };
    // The offset is in the actor's frame, which carries no scale: e is used as it is.
    box.centre = { 0.0f, 0.5f * e.y, 0.0f };
    return box;
}

void BuildDemoScene()
{
    Model* wall = GetModel(kWallModel);
    Model* gable = GetModel(kGableModel);
    const Float3 e = MeshSize(wall);

    // The materials outlive the build: the renderers draw with copies of them, and scene-wide
    // uniforms reach those copies' programs through the originals.
    static Material wallMaterial;
    LoadTexture(kWallTexture, wallMaterial.textures[0]);
    LoadTexture(kWallNormalMap, wallMaterial.textures[1]);
    wallMaterial.specularStrength = kWallSpecularStrength;
    wallMaterial.shininess = kWallShininess;
    static Material floorMaterial;
    floorMaterial.specularStrength = kFloorSpecularStrength;
    floorMaterial.shininess = kFloorShininess;

    for (const ObjectLayout& layout : kLayout) {
        auto* object = new GameObject(layout.name);
        Place(*object->transform, layout);
        const Material& material = layout.shape == ObjectLayout::Shape::Floor ? floorMaterial : wallMaterial;
        auto* renderer = AddComponent<MeshRenderer>(*object, ModelFor(layout.shape, wall, gable), material);
        renderer->maskGroup = layout.maskGroup;
        AddCollider(*object, layout, e);
    }

    auto* light = new GameObject("Directional light");
    sceneLight = AddComponent<DirectionalLight>(*light);
}
