#pragma once
// A thrown ball. The first time it touches a surface on the cabin's collision layer it punches a
// round hole there: a cylinder that hides the surface's pixels inside it (a stencil mask of the
// surface's group) and cancels the surface's contacts inside it (an ignored collider of the
// surface), so the ball, pushed into the surface, falls through. A ball makes at most one hole.
//
// Created by SpawnBall; never destroyed while the program runs. Main thread only: the collision hook
// runs inside the physics step's fetchResults, when no physics worker is active.

#include "Graphics/Material.h"
#include "Scene/Component.h"

#include <cstdint>

struct RaycastHit;

class Ball : public Component {
public:
    static constexpr std::int32_t kHoleableLayer = 16;
    static constexpr float kRayLength = 100000000.0f;
    static constexpr const char* kHoleName = "House boolean";
    static constexpr const char* kHoleModel = "Assets/Models/Cylinder.fbx";
    static constexpr Float4 kHoleScale { 6.0f, 6.0f, 3.0f, 1.0f };
    static constexpr Float4 kHoleAlbedo { 0.0f, 0.0f, 0.0f, 1.0f };
    // How far behind the surface the hole's centre goes, along the surface normal. Roof slabs are
    // thicker and their colliders sit further in, so their holes go deeper.
    static constexpr const char* kRoofName = "CabinRoof";
    static constexpr float kRoofDepthFromInside = 8.0f;
    static constexpr float kRoofDepthFromOutside = -4.0f;
    static constexpr float kWallDepthFromInside = 5.0f;
    // Once the hole is made the ball goes straight into the surface at the speed it came with, and
    // at least this fast.
    static constexpr float kSpeedIntoHole = 100.0f;

    // Makes the hole at the first touch of a holeable surface (see above).
    void OnCollisionEnter(GameObject* other, const Float3& contact) override;

    // Each ball builds its own program; the hole's renderer draws with a copy.
    Material material;
    // Whether the ball has dealt with a touch of a holeable surface.
    bool hasHit = false;

private:
    // Queues the ball's way into the hole just made at `hit`: along the surface's inward normal.
    void SendThroughHole(const RaycastHit& hit);
};
