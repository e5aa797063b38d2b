#include "SceneBuilder.h"

#include "Scene/Scene.h"

namespace {

std::vector<std::unique_ptr<Model>>& ModelStore()
{
    static std::vector<std::unique_ptr<Model>> store;
    return store;
}

Vertex MakeVertex(Float3 position, Float3 normal)
{
    Vertex v;
    v.position = { position.x, position.y, position.z, 1.0f };
    v.normal = normal;
    v.uv0 = { 0.5f, 0.5f };
    return v;
}

// Appends the quad a, b, c, d (in order around its edge) as two triangles wound so that the edge
// cross product points along `outward`: clockwise on screen for a viewer on that side.
void AddQuad(Mesh& mesh, Float3 a, Float3 b, Float3 c, Float3 d, Float3 outward)
{
    if (Dot(Cross(b - a, c - b), outward) < 0.0f)
        std::swap(b, d);
    auto base = static_cast<std::uint32_t>(mesh.vertices.size());
    for (Float3 corner : { a, b, c, d })
        mesh.vertices.push_back(MakeVertex(corner, outward));
    for (std::uint32_t i : { 0u, 1u, 2u, 0u, 2u, 3u })
        mesh.indices.push_back(base + i);
}

Model* Upload(Mesh mesh)
{
    auto model = std::make_unique<Model>();
    model->meshes.push_back(std::move(mesh));
    model->CreateGpuBuffers();
    ModelStore().push_back(std::move(model));
    return ModelStore().back().get();
}

} // namespace

Model* MakeFloorModel()
{
    Mesh mesh;
    AddQuad(mesh, { -1, 0, -1 }, { -1, 0, 1 }, { 1, 0, 1 }, { 1, 0, -1 }, { 0, 1, 0 });
    return Upload(std::move(mesh));
}

Model* MakeWallModel()
{
    Mesh mesh;
    AddQuad(mesh, { -1, -1, 0 }, { -1, 1, 0 }, { 1, 1, 0 }, { 1, -1, 0 }, { 0, 0, -1 });
    return Upload(std::move(mesh));
}

Model* MakeBoxModel()
{
    Mesh mesh;
    for (int axis = 0; axis < 3; ++axis)
        for (float sign : { -1.0f, 1.0f }) {
            // Corners of the face whose normal is sign times the axis.
            auto corner = [axis, sign](float s, float t) {
                float p[3];
                p[axis] = sign;
                p[(axis + 1) % 3] = s;
                p[(axis + 2) % 3] = t;
                return Float3 { p[0], p[1], p[2] };
            };
            float n[3] = { 0, 0, 0 };
            n[axis] = sign;
            AddQuad(mesh, corner(-1, -1), corner(-1, 1), corner(1, 1), corner(1, -1), { n[0], n[1], n[2] });
        }
    return Upload(std::move(mesh));
}

SceneBuilder::~SceneBuilder()
{
    // Components belong to the Scene registry; objects and their transforms to the builder.
    Scene::GetInstance().DeleteAllComponents();
}

GameObject* SceneBuilder::AddObject(const std::string& name)
{
    objects.push_back(std::make_unique<GameObject>(name));
    return objects.back().get();
}

MeshRenderer* SceneBuilder::AddRenderer(
    const std::string& name, Model* model, const Material& material, Float3 position, Float3 scale)
{
    GameObject* object = AddObject(name);
    object->transform->position = { position.x, position.y, position.z, 1.0f };
    object->transform->scale = { scale.x, scale.y, scale.z, 1.0f };
    object->transform->dirty = true;
    object->transform->Update(0.0f);
    auto* renderer = AddComponent<MeshRenderer>(*object, model, material);
    renderer->Start();
    return renderer;
}
