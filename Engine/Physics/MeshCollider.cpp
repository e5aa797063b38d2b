#include "Physics/MeshCollider.h"

#include "Physics/PhysicsEngine.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

MeshCollider::MeshCollider()
    : Collider(kDefaultLayer, nullptr)
{
}

void MeshCollider::Start()
{
    shape = model != nullptr ? PhysicsEngine::GetInstance().CreateMeshShape(model, gameObject->transform->scale.x)
                             : nullptr;
    if (shape != nullptr && actor != nullptr)
        actor->attachShape(*shape);
    Collider::Start();
}
