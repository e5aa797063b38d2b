#include "Physics/Raycast.h"

#include "Physics/PhysXConversions.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <algorithm>

using namespace physx;

namespace {

RaycastHit ToHit(const PxRaycastHit& hit)
{
    RaycastHit out;
    out.position = ToFloat3(hit.position);
    out.normal = ToFloat3(hit.normal);
    out.distance = hit.distance;
    out.gameObject = hit.actor != nullptr ? static_cast<GameObject*>(hit.actor->userData) : nullptr;
    if (out.gameObject != nullptr) {
        // A Transform written since the last frame pass (every object, before the first frame) is
        // brought up to date first, as that pass would.
        Transform& transform = *out.gameObject->transform;
        transform.Update(0.0f);
        out.localNormal = Normalize(TransformDirection(out.normal, RigidInverse(transform.worldMatrix)));
    }
    return out;
}

} // namespace

bool Ray::Cast(RaycastResult& result, float maxDistance) const
{
    if (Length(direction) == 0.0f)
        return false;
    PxScene* scene = Scene::GetInstance().physicsScene;
    if (scene == nullptr)
        return false;

    PxRaycastHit touches[kMaxTouches];
    PxRaycastBuffer buffer(touches, kMaxTouches);
    PxQueryFilterData filter;
    filter.data.word0 = kQueryLayers;
    filter.data.word1 = filter.data.word2 = filter.data.word3 = 0;
    filter.flags = PxQueryFlag::eSTATIC | PxQueryFlag::eDYNAMIC;
    const PxHitFlags flags = PxHitFlag::ePOSITION | PxHitFlag::eNORMAL | PxHitFlag::eMESH_MULTIPLE
        | PxHitFlag::eFACE_INDEX;
    bool hit = scene->raycast(ToPx(origin), ToPx(direction), maxDistance, buffer, flags, filter);

    result.hitCount = static_cast<std::int32_t>(buffer.nbTouches) + (buffer.hasBlock ? 1 : 0);
    for (PxU32 i = 0; i < buffer.nbTouches; ++i)
        result.hits.push_back(ToHit(buffer.touches[i]));
    if (buffer.hasBlock)
        result.hits.push_back(ToHit(buffer.block));
    std::sort(result.hits.begin(), result.hits.end(),
        [](const RaycastHit& a, const RaycastHit& b) { return a.distance < b.distance; });
    return hit;
}
