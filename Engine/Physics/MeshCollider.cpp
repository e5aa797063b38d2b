#include "Physics/MeshCollider.h"

#include "Assets/ModelCache.h"
#include "Core/Problems.h"
#include "Physics/PhysicsEngine.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <algorithm>
#include <cmath>

namespace {

bool PositionsAreFinite(const Model& model)
{
    return std::all_of(model.meshes.begin(), model.meshes.end(), [](const Mesh& mesh) {
        return std::all_of(mesh.vertices.begin(), mesh.vertices.end(), [](const Vertex& vertex) {
            return std::isfinite(vertex.position.x) && std::isfinite(vertex.position.y)
                && std::isfinite(vertex.position.z);
        });
    });
}

// The physics library cannot say which file a mesh it refuses came from: the collider names it.
void ReportUnusableModel(const Model& model, const std::string& problem)
{
    const std::string path = ModelPath(&model);
    ReportFileProblem(path.empty() ? "a mesh collider's model" : path, problem + "; its mesh colliders have no shape");
}

} // namespace

MeshCollider::MeshCollider()
    : Collider(kDefaultLayer, nullptr)
{
}

void MeshCollider::Start()
{
    shape = nullptr;
    if (model != nullptr && !PositionsAreFinite(*model)) {
        ReportUnusableModel(*model, "has a vertex whose position is not a finite number");
    } else if (model != nullptr) {
        shape = PhysicsEngine::GetInstance().CreateMeshShape(model, gameObject->transform->scale.x);
        if (shape == nullptr)
            ReportUnusableModel(*model, "cannot be cooked into a collision mesh");
    }
    if (shape != nullptr && actor != nullptr)
        actor->attachShape(*shape);
    Collider::Start();
}
