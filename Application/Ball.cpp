#include "Application/Ball.h"

#include "Application/BallThrower.h"
#include "Application/ModelSurface.h"
#include "Assets/Model.h"
#include "Assets/ModelCache.h"
#include "Graphics/GraphicsEngine.h"
#include "Graphics/MeshRenderer.h"
#include "Math/Rotation.h"
#include "Physics/Collider.h"
#include "Physics/MeshCollider.h"
#include "Physics/PhysicsEngine.h"
#include "Physics/Raycast.h"
#include "Physics/RigidBody.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

// The points of the hole's cylinder at which the other surfaces are looked for: rings at a third, two
// thirds and all of its radius, this many points round each, in slices this far apart along its axis.
// A slab that crosses the cylinder anywhere, even a sliver of one at its rim, holds some of them.
constexpr int kReachRings = 3;
constexpr int kReachSpokes = 16;
constexpr float kReachSliceSpacing = 1.25f;
// How far back a ray that looks for a surface starts: clear of the surface, from behind the ball's
// centre or past where the ball entered it.
constexpr float kBackTrackStep = 1.0f;
// A ball whose centre is this near the surface it touched is where it met it: the step that reported
// the touch may have answered it already, moving the ball a few units off along the surface or back
// from it.
constexpr float kMetDistance = 2.0f * kBallRadius;
// A hit whose normal, in the object's own frame, has at least this much z is on one of the slab's
// faces; a smaller one is on a side face (the slab's end) or right on an edge.
constexpr float kFaceNormalZ = 0.9f;
// A ball this much further from a surface than its radius touches it: the physics makes contacts
// within a fiftieth of the ball's radius.
constexpr float kTouchSlack = 0.02f * kBallRadius;
// A ball launched touching a surface (this much further from it than its radius at most) that it heads
// into (at least this steeply: the cosine of the angle between its way and the way to the surface)
// meets it at once. The first step would otherwise answer the touch before reporting it: the ball
// slides along the surface, up to a step's worth of its speed.
constexpr float kStartReach = 2.0f * kTouchSlack;
constexpr float kLeastApproach = 0.087f;

// How far into a model's surface, at most, the hole through it reaches: past this the hole's collider
// (the cylinder model at the hole's radius on every axis, 30 units long) would not cancel the
// surface's contacts to the end of the hole. A part thicker than this is holed this deep, and the
// ball goes into it.
constexpr float kMostModelHoleDepth = 25.0f;
// A hole through a model's surface stands out this far in front of it and behind it, so that the
// contacts at the rims of both faces are inside it.
constexpr float kModelHoleMargin = 2.5f;

// Where a hole goes and how it is turned and stretched.
struct HolePose {
    Float3 centre;
    Float4 rotation;
    Float4 scale = Ball::kHoleScale;
};

// A cabin slab is holed through its thickness along its own z: the hole is turned as the slab is, and
// its centre is the hit point, moved into the slab when the ball came from its inner side (the local
// normal's z positive).
HolePose SlabHole(const RaycastHit& hit)
{
    const float depth = hit.localNormal.z > 0.0f ? Ball::kDepthFromInside : 0.0f;
    const Float4& angles = hit.gameObject->transform->rotation;
    return { hit.position - hit.normal * depth, { angles.x, angles.y, angles.z, 0.0f } };
}

// A model's surface is holed along the normal where the ball met it, through the model to the face
// behind (found as the nearest face of the same object that a ray from deep inside, coming back,
// meets: faces are hit from their front only), or kMostModelHoleDepth deep when there is none.
HolePose ModelHole(const RaycastHit& hit, const Model* cylinder)
{
    const Float3 inward = -hit.normal;
    float depth = kMostModelHoleDepth;
    Ray back { hit.position + inward * kMostModelHoleDepth, hit.normal };
    RaycastResult behind;
    if (back.Cast(behind, kMostModelHoleDepth))
        for (const RaycastHit& face : behind.hits)
            if (face.gameObject == hit.gameObject)
                depth = std::min(depth, kMostModelHoleDepth - face.distance);
    // The cylinder's axis is its z: turned by x and then y (rows: z goes to
    // (cos x sin y, -sin x, cos x cos y)) it lies along the way in.
    HolePose pose;
    pose.centre = hit.position + inward * (0.5f * depth);
    pose.rotation = { std::asin(std::clamp(-inward.y, -1.0f, 1.0f)), std::atan2(inward.x, inward.z), 0.0f, 0.0f };
    if (cylinder != nullptr && !cylinder->meshes.empty()) {
        const BoundingBox& box = cylinder->meshes[0].box;
        const float length = box.max.z - box.min.z;
        if (length > 0.0f)
            pose.scale.z = (depth + 2.0f * kModelHoleMargin) / length;
    }
    return pose;
}

bool IsModelSurface(const GameObject* object)
{
    return object != nullptr && object->GetComponent<ModelSurface>() != nullptr;
}

// The solid the hole's mask draws: the cylinder model's box, scaled and turned as the hole is.
struct HoleVolume {
    Float3 centre;
    Float3 axis;
    Float3 across;
    Float3 up;
    float radius = 0.0f;
    float halfLength = 0.0f;
};

HoleVolume VolumeOf(const Transform& hole, const Model* cylinder)
{
    HoleVolume volume;
    if (cylinder == nullptr || cylinder->meshes.empty())
        return volume;
    const BoundingBox& box = cylinder->meshes[0].box;
    const Float3 half = (box.max - box.min) * 0.5f;
    const Float3 middle = (box.max + box.min) * 0.5f;
    const Matrix4x4 turn = EulerRotationMatrix(hole.rotation.x, hole.rotation.y, hole.rotation.z);
    volume.across = TransformDirection({ 1.0f, 0.0f, 0.0f }, turn);
    volume.up = TransformDirection({ 0.0f, 1.0f, 0.0f }, turn);
    volume.axis = TransformDirection({ 0.0f, 0.0f, 1.0f }, turn);
    const Float4& scale = hole.scale;
    volume.centre = XYZ(hole.position) + volume.across * (middle.x * scale.x) + volume.up * (middle.y * scale.y)
        + volume.axis * (middle.z * scale.z);
    volume.radius = std::max(half.x * scale.x, half.y * scale.y);
    volume.halfLength = half.z * scale.z;
    return volume;
}

// Whether any of the cylinder's sample points lies in the collider's solid.
bool Reaches(const HoleVolume& hole, const Collider& collider)
{
    const float reach = std::sqrt(hole.radius * hole.radius + hole.halfLength * hole.halfLength);
    // Most surfaces are nowhere near the hole.
    if (!collider.Contains(hole.centre, reach))
        return false;
    const int slices = 1 + 2 * static_cast<int>(std::ceil(hole.halfLength / kReachSliceSpacing));
    for (int slice = 0; slice < slices; ++slice) {
        const float along = slices > 1 ? -hole.halfLength + 2.0f * hole.halfLength * slice / (slices - 1) : 0.0f;
        const Float3 middle = hole.centre + hole.axis * along;
        if (collider.Contains(middle))
            return true;
        for (int ring = 1; ring <= kReachRings; ++ring) {
            const float radius = hole.radius * static_cast<float>(ring) / kReachRings;
            for (int spoke = 0; spoke < kReachSpokes; ++spoke) {
                const float angle = 2.0f * std::numbers::pi_v<float> * static_cast<float>(spoke) / kReachSpokes;
                const Float3 point = middle + (hole.across * std::cos(angle) + hole.up * std::sin(angle)) * radius;
                if (collider.Contains(point))
                    return true;
            }
        }
    }
    return false;
}

// Every surface a ball can hole, as the objects' first colliders (the ones whose ignored colliders
// cancel the objects' contacts) that have a renderer for a hole's mask to cut.
std::vector<Collider*> HoleableSurfaces()
{
    std::vector<Collider*> surfaces;
    for (const auto& [type, components] : *Scene::GetInstance().componentsByType)
        for (Component* component : components) {
            auto* collider = dynamic_cast<Collider*>(component);
            if (collider == nullptr || collider->layer != Ball::kHoleableLayer)
                continue;
            const GameObject& owner = *collider->gameObject;
            if (owner.GetComponent<Collider>() == collider && owner.GetComponent<MeshRenderer>() != nullptr)
                surfaces.push_back(collider);
        }
    return surfaces;
}

// Every other holeable surface that reaches into the hole: the hole cuts them too, so a ball through
// a hole at a seam (a corner, the top of a wall under the roof, a gable under the ridge) is not stopped
// by the surface beside the one it met, and the hole shows through both.
std::vector<Collider*> OtherSurfacesReached(const HoleVolume& hole, const Collider& target)
{
    std::vector<Collider*> reached;
    if (hole.radius <= 0.0f)
        return reached;
    for (Collider* collider : HoleableSurfaces())
        if (collider != &target && Reaches(hole, *collider))
            reached.push_back(collider);
    return reached;
}

// The ray that finds the surface the ball met. It starts at the ball's centre where the step left it.
// A ball near the surface looks at the surface's point nearest to it, so the hole opens where the ball
// is: the contact reported may be from before the step moved the ball on. When the centre is inside
// the surface (the ball started there, or was pushed in) a ray from inside the solid would find
// nothing, so the ray starts just behind where the ball's way entered it. Otherwise, as for a report
// that does not fit where the ball is, the ray goes towards the contact; a contact at the centre gives
// no direction.
bool LookingRay(const Float3& centre, const Float3& contact, const Float3& way, const Collider& touched, Ray& ray)
{
    Float3 nearest;
    const float distance = touched.Distance(centre, &nearest);
    if (distance > 0.0f && distance <= kMetDistance) {
        // From a step further back: a ray that starts right at a surface can slip past it.
        const Float3 along = Normalize(nearest - centre);
        ray = { centre - along * kBackTrackStep, along };
        return true;
    }
    const Float3 towards = contact - centre;
    if (distance == 0.0f) {
        const Float3 back = Length(way) > 0.0f ? way : towards;
        if (Length(back) == 0.0f)
            return false;
        const Float3 along = Normalize(back);
        for (float step = kBackTrackStep; step <= Ball::kMaxBackTrack; step += kBackTrackStep)
            if (!touched.Contains(centre - along * step)) {
                ray = { centre - along * (step + kBackTrackStep), along };
                return true;
            }
    }
    if (Length(towards) == 0.0f)
        return false;
    ray = { centre, Normalize(towards) };
    return true;
}

// The holeable surface the ball met in this step: of those it touches (each reported in turn), the
// first on its way from where the step began; else the one reported. A ball that meets a seam, or
// slides along one surface into another, touches both in one step.
const Collider& SurfaceMet(const Float3& start, const Float3& centre, const Float3& way, const Collider& touched)
{
    if (Length(way) == 0.0f)
        return touched;
    Ray ray { start, Normalize(way) };
    RaycastResult result;
    if (!ray.Cast(result, Ball::kRayLength) || result.hits.empty())
        return touched;
    const GameObject* first = result.hits.front().gameObject;
    const Collider* collider = first != nullptr ? first->GetComponent<Collider>() : nullptr;
    if (collider == nullptr || collider->layer != Ball::kHoleableLayer)
        return touched;
    const float distance = collider->Distance(centre);
    return distance >= 0.0f && distance <= kBallRadius + kTouchSlack ? *collider : touched;
}

// Whether the ball is leaving the surface rather than meeting it: it started against it and is moving
// away from it.
bool MovingAway(const Collider& surface, const Float3& centre, const Float3& way)
{
    Float3 nearest;
    return Length(way) > 0.0f && surface.Distance(centre, &nearest) > 0.0f && Dot(way, nearest - centre) <= 0.0f;
}

// A surface is holed through its thickness, along its local z (the hole's axis, and the way the ball
// is sent through). A ray that met one of its side faces instead (an edge hidden in a seam, a roof
// slab's end) is cast again from `origin` along that axis towards the surface, and the face it then
// meets is the one holed, when there is one.
RaycastHit ThroughFace(const RaycastHit& hit, const Float3& origin)
{
    if (hit.gameObject == nullptr || std::abs(hit.localNormal.z) >= kFaceNormalZ)
        return hit;
    Float3 axis = TransformDirection({ 0.0f, 0.0f, 1.0f }, hit.gameObject->transform->worldMatrixNoScale);
    if (Dot(axis, hit.position - origin) < 0.0f)
        axis = -axis;
    Ray along { origin, Normalize(axis) };
    RaycastResult result;
    if (!along.Cast(result, Ball::kRayLength) || result.hits.empty()
        || std::abs(result.hits.front().localNormal.z) < kFaceNormalZ)
        return hit;
    return result.hits.front();
}

void AddMask(GameObject& hole, Model* cylinder, const Material& material, std::uint32_t group)
{
    auto* mask = AddComponent<MeshRenderer>(hole, cylinder, material);
    mask->material.albedo = Ball::kHoleAlbedo;
    mask->maskOf = group;
    GraphicsEngine::GetInstance().RegisterRenderer(mask);
}

} // namespace

void Ball::OnCollisionEnter(GameObject* other, const Float3& contact)
{
    if (hasHit || other == nullptr)
        return;
    const Collider* touched = other->GetComponent<Collider>();
    if (touched == nullptr || touched->layer != kHoleableLayer)
        return;

    RaycastHit hit;
    switch (FindSurface(*touched, contact, hit)) {
    case Finding::NotYet: return;
    case Finding::Nothing: break;
    case Finding::Surface:
        if (MakeHole(hit))
            SendThroughHole(hit);
        break;
    }
    hasHit = true;
}

Ball::Finding Ball::FindSurface(const Collider& touched, const Float3& contact, RaycastHit& hit)
{
    // The ball's Transform still holds where the step began; its body, where the step left it.
    const RigidBody* rigidBody = Body();
    const Float3 start = XYZ(gameObject->transform->position);
    const Float3 ballCentre = rigidBody != nullptr ? rigidBody->Position() : start;
    const Collider& met = SurfaceMet(start, ballCentre, incomingVelocity, touched);
    // A later touch may be a hit: one of a surface the ball is leaving is not, and a contact at the
    // ball's own centre gives no direction to look for the surface in.
    if (MovingAway(met, ballCentre, incomingVelocity))
        return Finding::NotYet;
    Ray ray;
    if (!LookingRay(ballCentre, contact, incomingVelocity, met, ray))
        return Finding::NotYet;
    RaycastResult result;
    if (!ray.Cast(result, kRayLength) || result.hits.empty())
        return Finding::Nothing;
    // A model has no slab's z to go through: it is holed where the ray met it.
    hit = IsModelSurface(result.hits.front().gameObject) ? result.hits.front()
                                                         : ThroughFace(result.hits.front(), ray.origin);
    // A ball inside the surface is holed where it is, level with it on the face its way came in by.
    if (met.Contains(ballCentre))
        hit.position = ballCentre + hit.normal * Dot(hit.position - ballCentre, hit.normal);
    return Finding::Surface;
}

bool Ball::MakeHole(const RaycastHit& hit)
{
    GameObject* target = hit.gameObject;
    // The hole needs the surface's renderer (for its mask group) and collider (for its contacts).
    MeshRenderer* surface = target != nullptr ? target->GetComponent<MeshRenderer>() : nullptr;
    Collider* surfaceCollider = target != nullptr ? target->GetComponent<Collider>() : nullptr;
    if (surface == nullptr || surfaceCollider == nullptr)
        return false;

    Model* cylinder = GetModel(kHoleModel);
    const HolePose pose = IsModelSurface(target) ? ModelHole(hit, cylinder) : SlabHole(hit);
    auto* hole = new GameObject(kHoleName);
    Transform& transform = *hole->transform;
    transform.position = { pose.centre.x, pose.centre.y, pose.centre.z, 1.0f };
    transform.dirty = true;
    transform.rotation = pose.rotation;
    transform.scale = pose.scale;
    transform.dirty = true;

    const std::vector<Collider*> neighbours = OtherSurfacesReached(VolumeOf(transform, cylinder), *surfaceCollider);
    // One mask for the target's group, then one for each other group the hole cuts into.
    std::vector<std::uint32_t> groups { surface->maskGroup };
    AddMask(*hole, cylinder, material, surface->maskGroup);
    for (Collider* neighbour : neighbours) {
        const std::uint32_t group = neighbour->gameObject->GetComponent<MeshRenderer>()->maskGroup;
        if (group == 0 || std::find(groups.begin(), groups.end(), group) != groups.end())
            continue;
        groups.push_back(group);
        AddMask(*hole, cylinder, material, group);
    }

    auto* holeCollider = AddComponent<MeshCollider>(*hole);
    holeCollider->model = cylinder;
    holeCollider->addToScene = false;
    surfaceCollider->ignoredColliders.push_back(holeCollider);
    for (Collider* neighbour : neighbours)
        neighbour->ignoredColliders.push_back(holeCollider);

    for (Component* component : hole->components)
        component->Start();
    return true;
}

void Ball::MeetSurfaceAtStart()
{
    const RigidBody* rigidBody = Body();
    const Float3 centre = rigidBody != nullptr ? rigidBody->Position() : XYZ(gameObject->transform->position);
    const Float3 way = Length(incomingVelocity) > 0.0f ? Normalize(incomingVelocity) : Float3 {};
    // Of the surfaces the ball touches, the one it is deepest in.
    Collider* deepest = nullptr;
    Float3 contact = centre;
    float nearest = kBallRadius + kStartReach;
    for (Collider* surface : HoleableSurfaces()) {
        Float3 point;
        const float distance = surface->Distance(centre, &point);
        if (distance < 0.0f || distance > nearest)
            continue;
        // Inside it, or heading into it: a ball that merely skims a surface is left to the physics.
        if (distance > 0.0f && Dot(way, Normalize(point - centre)) < kLeastApproach)
            continue;
        deepest = surface;
        nearest = distance;
        contact = point;
    }
    if (deepest != nullptr)
        OnCollisionEnter(deepest->gameObject, contact);
}

void Ball::Update(float)
{
    if (RigidBody* rigidBody = Body())
        incomingVelocity = rigidBody->LinearVelocity();
}

void Ball::Launch(const Float3& velocity)
{
    RigidBody* rigidBody = Body();
    if (rigidBody == nullptr)
        return;
    rigidBody->pendingVelocity = velocity;
    PhysicsEngine::GetInstance().pendingVelocityBodies.push_back(rigidBody);
    incomingVelocity = velocity;
}

RigidBody* Ball::Body()
{
    if (body == nullptr)
        body = gameObject->GetComponent<RigidBody>();
    return body;
}

void Ball::SendThroughHole(const RaycastHit& hit)
{
    const RigidBody* rigidBody = Body();
    if (rigidBody == nullptr)
        return;
    // Straight in at the speed it came with (the step that reported the touch may already have stopped
    // or turned it): slower, it would fall out of the hole's reach under gravity before it was through
    // (or stop in a roof slab it went up into), and a ball thrown from outside would not fly on into the
    // cabin as one thrown from inside flies out.
    const float speed = std::max({ kSpeedIntoHole, Length(incomingVelocity), Length(rigidBody->LinearVelocity()) });
    Launch(-hit.normal * speed);
}
