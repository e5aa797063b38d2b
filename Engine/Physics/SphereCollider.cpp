#include "Physics/SphereCollider.h"

#include "Physics/PhysicsEngine.h"

SphereCollider::SphereCollider(float radius)
    : Collider(kDefaultLayer, PhysicsEngine::GetInstance().CreateSphereShape(radius))
    , radius(radius)
{
}

void SphereCollider::Start()
{
    Collider::Start();
}
