#pragma once
// Gives a game object one physics shape. With a RigidBody on the same object the shape joins the
// body's dynamic actor; without one the collider makes a static actor of its own, posed from the
// object's Transform every frame.
//
// Ownership: once attached, the actor holds the only reference to the shape (Start releases the
// collider's own). A collider owns the static actor it made and removes and releases it in its
// destructor; an actor made by a RigidBody is the body's. Every actor's user data is its game object.
// Main thread only, except PointDistance, which the contact modification callback calls from the
// physics worker threads during the step and which only reads the shape and the actor.

#include "Math/Quaternion.h"
#include "Math/Vector.h"
#include "Scene/Component.h"

#include <PxPhysicsAPI.h>

#include <cstdint>
#include <vector>

class Collider : public Component {
public:
    // What PointDistance reports for a point well outside the shape's bounds.
    static constexpr float kFarAway = 9999999.0f;
    // A point within this distance (squared) counts as touching the shape.
    static constexpr float kTouching = 0.1f;
    static constexpr float kBoundsInflation = 1.01f;

    ~Collider() override;

    // Finds the object's RigidBody (starting it first when it has no actor yet) and attaches the shape
    // to its actor, or makes a static actor of its own; then writes the layer's filter data and gives
    // up the collider's reference to the shape.
    void Start() override;

    // UpdatePose.
    void Update(float deltaTime) override;

    // A static collider's actor follows the Transform (position and rotation); the shape's local pose
    // is set again in every case.
    virtual void UpdatePose();

    // Never called.
    virtual void ReservedColliderHook() {}

    // Stores `layer` and writes word0 = layer and word1 = the layer's collision mask into the shape's
    // simulation and query filter data.
    void SetLayer(std::int32_t layer);

    // Stores the shape's offset in the actor's frame and applies it.
    void SetLocalPosition(const Float3& position);

    // Distance from a world point to the shape. `distance` carries a margin in and the result out:
    // kFarAway when the point lies more than the margin outside the shape's slightly inflated bounds,
    // else the squared distance to the geometry (0 inside a solid). Returns whether that is within
    // kTouching.
    bool PointDistance(const Float3& point, float& distance) const;

    // Distance from a world point to the shape where it is (at the actor's pose moved by the shape's
    // own offset): 0 inside a solid. `nearest`, when given, receives the shape's point nearest to it (the
    // point itself inside). Negative without a shape or an actor.
    float Distance(const Float3& point, Float3* nearest = nullptr) const;

    // Whether a world point lies inside the shape or within `margin` of it, the shape taken where it
    // is, as for Distance. False without a shape or an actor.
    bool Contains(const Float3& point, float margin = 0.0f) const;

    // The collision layer: one bit set.
    std::int32_t layer;
    physx::PxShape* shape = nullptr;
    // The actor the shape is attached to; null before Start.
    physx::PxRigidActor* actor = nullptr;
    Float3 localPosition;
    Quaternion localRotation;
    // Colliders whose volume cancels this collider's contacts (holes). Not owning.
    std::vector<Collider*> ignoredColliders;
    // Whether a static actor made by Start joins the scene. One that does not never collides and is
    // never hit by rays, but is still posed every frame and can be measured by PointDistance.
    bool addToScene = true;

protected:
    Collider(std::int32_t layer, physx::PxShape* shape);

private:
    bool ownsActor = false;
    bool actorInScene = false;
};
