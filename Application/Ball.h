#pragma once
// A thrown ball. The first time it touches a surface on the cabin's collision layer it punches a
// round hole there: a cylinder that hides the surface's pixels inside it (a stencil mask of the
// surface's group) and cancels the surface's contacts inside it (an ignored collider of the
// surface), so the ball, pushed into the surface, falls through. A ball makes at most one hole. A
// cabin slab is holed through its thickness along its own z; a mesh of a model the user brought in
// (ModelSurface) along the normal where the ball met it, through the model to the face behind.
//
// Created by SpawnBall; never destroyed while the program runs. Main thread only: the collision hook
// runs inside the physics step's fetchResults, when no physics worker is active.

#include "Graphics/Material.h"
#include "Scene/Component.h"

#include <cstdint>

struct RaycastHit;
class Collider;
class RigidBody;

class Ball : public Component {
public:
    static constexpr std::int32_t kHoleableLayer = 16;
    static constexpr float kRayLength = 100000000.0f;
    static constexpr const char* kHoleName = "House boolean";
    static constexpr const char* kHoleModel = "Assets/Models/Cylinder.fbx";
    static constexpr Float4 kHoleScale { 6.0f, 6.0f, 3.0f, 1.0f };
    static constexpr Float4 kHoleAlbedo { 0.0f, 0.0f, 0.0f, 1.0f };
    // How far behind the surface the hole's centre goes, along the surface normal, when the ball came
    // from the object's inner side: to its outer face, for walls and roof slabs alike (both are 5
    // thick, and their colliders lie where they are drawn). From outside the centre is on the surface.
    static constexpr float kDepthFromInside = 5.0f;
    // Once the hole is made the ball goes straight into the surface at the speed it came with, and
    // at least this fast.
    static constexpr float kSpeedIntoHole = 100.0f;
    // How far back along its way a ball that starts inside a surface looks for where it entered it.
    static constexpr float kMaxBackTrack = 100.0f;

    // Makes the hole at the first touch of a holeable surface (see above).
    void OnCollisionEnter(GameObject* other, const Float3& contact) override;

    // Notes the velocity the physics step ended with: the one the ball comes into the next step with.
    void Update(float deltaTime) override;

    // Sends the ball off at `velocity` from the next physics step on (the ball's RigidBody is queued).
    void Launch(const Float3& velocity);

    // A ball launched against a holeable surface, or from inside one, meets it before the physics step:
    // the step would answer the touch (turning the ball back, or sliding it along the surface) before
    // reporting it. The surface is the nearest one the ball touches and is not moving away from.
    void MeetSurfaceAtStart();

    // Each ball builds its own program; the hole's renderer draws with a copy.
    Material material;
    // Whether the ball has dealt with a touch of a holeable surface.
    bool hasHit = false;
    // The velocity the ball began the current physics step with. A touch is reported after the step
    // has answered it, when the ball may already have been stopped or turned back: this is the speed
    // it came with.
    Float3 incomingVelocity;

private:
    // What a touch of a holeable surface found: nothing yet (the ball is leaving the surface, or the
    // touch gives no direction to look in; a later touch may be a hit), no surface at all (the ball is
    // spent), or the surface to hole, in `hit`.
    enum class Finding { NotYet, Nothing, Surface };
    Finding FindSurface(const Collider& touched, const Float3& contact, RaycastHit& hit);
    // Makes the hole at `hit`, through every holeable surface it reaches; false, and no hole, when the
    // surface hit has no renderer or no collider.
    bool MakeHole(const RaycastHit& hit);
    RigidBody* Body();
    // Queues the ball's way into the hole just made at `hit`: along the surface's inward normal.
    void SendThroughHole(const RaycastHit& hit);

    RigidBody* body = nullptr;
};
