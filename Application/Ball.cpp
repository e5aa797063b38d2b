#include "Application/Ball.h"

#include "Assets/ModelCache.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Physics/Collider.h"
#include "Physics/MeshCollider.h"
#include "Physics/PhysicsEngine.h"
#include "Physics/Raycast.h"
#include "Physics/RigidBody.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <algorithm>
#include <cstring>

namespace {

// The hole's centre: the hit point moved along the surface normal `n` (pointing back at the ball),
// into the surface when the ball came from the object's inner side (its local normal's z positive).
Float3 HoleCentre(const RaycastHit& hit, const GameObject& target)
{
    const bool fromInside = hit.localNormal.z > 0.0f;
    const bool roof = target.name == Ball::kRoofName;
    float depth = 0.0f;
    if (roof)
        depth = fromInside ? Ball::kRoofDepthFromInside : Ball::kRoofDepthFromOutside;
    else if (fromInside)
        depth = Ball::kWallDepthFromInside;
    return hit.position - hit.normal * depth;
}

} // namespace

void Ball::OnCollisionEnter(GameObject* other, const Float3& contact)
{
    if (hasHit || other == nullptr)
        return;
    Collider* touched = other->GetComponent<Collider>();
    if (touched == nullptr || touched->layer != kHoleableLayer)
        return;

    // A contact at the ball's own centre gives no direction to look for the surface in; a later
    // touch may.
    const Float3 origin = XYZ(gameObject->transform->position);
    const Float3 towards = contact - origin;
    if (Length(towards) == 0.0f)
        return;

    Ray ray { origin, Normalize(towards) };
    RaycastResult result;
    if (!ray.Cast(result, kRayLength) || result.hits.empty()) {
        hasHit = true;
        return;
    }
    const RaycastHit& hit = result.hits.front();
    GameObject* target = hit.gameObject;
    // The hole needs the surface's renderer (for its mask group) and collider (for its contacts).
    MeshRenderer* surface = target != nullptr ? target->GetComponent<MeshRenderer>() : nullptr;
    Collider* surfaceCollider = target != nullptr ? target->GetComponent<Collider>() : nullptr;
    if (surface == nullptr || surfaceCollider == nullptr) {
        hasHit = true;
        return;
    }

    auto* hole = new GameObject(kHoleName);
    Transform& transform = *hole->transform;
    Float3 centre = HoleCentre(hit, *target);
    transform.position = { centre.x, centre.y, centre.z, 1.0f };
    transform.dirty = true;
    const Float4& angles = target->transform->rotation;
    transform.rotation = { angles.x, angles.y, angles.z, 0.0f };
    transform.scale = kHoleScale;
    transform.dirty = true;

    Model* cylinder = GetModel(kHoleModel);
    auto* mask = AddComponent<MeshRenderer>(*hole, cylinder, material);
    mask->material.albedo = kHoleAlbedo;
    mask->maskOf = surface->maskGroup;
    GraphicsEngine::GetInstance().RegisterRenderer(mask);

    auto* holeCollider = AddComponent<MeshCollider>(*hole);
    holeCollider->model = cylinder;
    holeCollider->addToScene = false;
    surfaceCollider->ignoredColliders.push_back(holeCollider);

    for (Component* component : hole->components)
        component->Start();

    SendThroughHole(hit);
    hasHit = true;
}

void Ball::SendThroughHole(const RaycastHit& hit)
{
    auto* body = gameObject->GetComponent<RigidBody>();
    if (body == nullptr)
        return;
    // Straight in at the speed it came with: slower, it would fall out of the hole's reach under
    // gravity before it was through (or stop in a roof slab it went up into).
    const float speed = std::max(kSpeedIntoHole, Length(body->LinearVelocity()));
    body->pendingVelocity = -hit.normal * speed;
    PhysicsEngine::GetInstance().pendingVelocityBodies.push_back(body);
}
