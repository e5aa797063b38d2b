#include "Physics/Collider.h"

#include "Math/Rotation.h"
#include "Physics/CollisionLayers.h"
#include "Physics/PhysXConversions.h"
#include "Physics/PhysicsEngine.h"
#include "Physics/RigidBody.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <cmath>

using namespace physx;

namespace {

// The Transform's pose: its position and the normalised quaternion of its Euler angles.
PxTransform PoseOf(const Transform& transform)
{
    Quaternion q = EulerToQuaternion(transform.rotation.x, transform.rotation.y, transform.rotation.z);
    return PxTransform(ToPx(XYZ(transform.position)), ToPx(q).getNormalized());
}

bool Outside(float value, float low, float high, float margin)
{
    return value < low - margin || value > high + margin;
}

} // namespace

Collider::Collider(std::int32_t layer, PxShape* shape)
    : layer(layer)
    , shape(shape)
{
}

Collider::~Collider()
{
    if (ownsActor && actor != nullptr) {
        PxScene* scene = Scene::GetInstance().physicsScene;
        if (actorInScene && scene != nullptr)
            scene->removeActor(*actor, true);
        actor->release();
    }
    actor = nullptr;
}

void Collider::Start()
{
    if (auto* body = gameObject->GetComponent<RigidBody>()) {
        if (body->actor == nullptr)
            body->Start();
        actor = body->actor;
    } else {
        PhysicsEngine& physics = PhysicsEngine::GetInstance();
        // Made where the object stands, not at the origin: a ball thrown before the first Update pass
        // must meet the cabin where it is drawn.
        actor = physics.physics->createRigidStatic(PoseOf(*gameObject->transform));
        actor->userData = gameObject;
        ownsActor = true;
    }
    // A collider without a shape (a mesh that could not be cooked) still gets its actor, posed as
    // usual, but nothing to attach. A mesh's shape is made by its Start, after the offset was set.
    if (shape != nullptr && actor != nullptr) {
        shape->setLocalPose(PxTransform(ToPx(localPosition), ToPx(localRotation)));
        actor->attachShape(*shape);
    }
    if (ownsActor && addToScene) {
        Scene::GetInstance().physicsScene->addActor(*actor);
        actorInScene = true;
    }
    SetLayer(layer);
    if (shape != nullptr && actor != nullptr)
        shape->release();
}

void Collider::Update(float)
{
    UpdatePose();
}

void Collider::UpdatePose()
{
    if (actor == nullptr)
        return;
    if (gameObject->GetComponent<RigidBody>() == nullptr)
        actor->setGlobalPose(PoseOf(*gameObject->transform), true);
    if (shape != nullptr)
        shape->setLocalPose(PxTransform(ToPx(localPosition), ToPx(localRotation)));
}

void Collider::SetLayer(std::int32_t newLayer)
{
    layer = newLayer;
    if (shape == nullptr)
        return;
    PxFilterData data = shape->getSimulationFilterData();
    data.word0 = static_cast<PxU32>(layer);
    data.word1 = static_cast<PxU32>(CollisionMaskOf(layer));
    shape->setSimulationFilterData(data);
    shape->setQueryFilterData(data);
}

void Collider::SetLocalPosition(const Float3& position)
{
    localPosition = position;
    if (shape != nullptr)
        shape->setLocalPose(PxTransform(ToPx(localPosition), ToPx(localRotation)));
}

bool Collider::PointDistance(const Float3& point, float& distance) const
{
    const float margin = distance;
    if (shape == nullptr || actor == nullptr) {
        distance = kFarAway;
        return false;
    }
    const PxTransform actorPose = actor->getGlobalPose();
    PxBounds3 bounds;
    PxGeometryQuery::computeGeomBounds(
        bounds, shape->getGeometry(), actorPose * shape->getLocalPose(), 0.0f, kBoundsInflation);
    if (Outside(point.x, bounds.minimum.x, bounds.maximum.x, margin)
        || Outside(point.y, bounds.minimum.y, bounds.maximum.y, margin)
        || Outside(point.z, bounds.minimum.z, bounds.maximum.z, margin))
        distance = kFarAway;
    else
        distance = PxGeometryQuery::pointDistance(ToPx(point), shape->getGeometry(), actorPose);
    return distance <= kTouching;
}

float Collider::Distance(const Float3& point, Float3* nearest) const
{
    if (shape == nullptr || actor == nullptr)
        return -1.0f;
    PxVec3 closest;
    const float squared = PxGeometryQuery::pointDistance(
        ToPx(point), shape->getGeometry(), actor->getGlobalPose() * shape->getLocalPose(), &closest);
    if (squared < 0.0f)
        return -1.0f;
    if (nearest != nullptr)
        *nearest = squared > 0.0f ? ToFloat3(closest) : point;
    return std::sqrt(squared);
}

bool Collider::Contains(const Float3& point, float margin) const
{
    if (shape == nullptr || actor == nullptr)
        return false;
    // Most points asked about are nowhere near: the bounds answer for them.
    PxBounds3 bounds;
    PxGeometryQuery::computeGeomBounds(
        bounds, shape->getGeometry(), actor->getGlobalPose() * shape->getLocalPose(), margin, kBoundsInflation);
    if (!bounds.contains(ToPx(point)))
        return false;
    const float distance = Distance(point);
    return distance >= 0.0f && distance <= margin;
}
