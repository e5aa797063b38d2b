#pragma once
// Rays into the physics scene, as the ball uses them to find where it met a surface.

#include "Math/Vector.h"

#include <cstdint>
#include <vector>

class GameObject;

struct RaycastHit {
    // World space.
    Float3 position;
    // The world surface normal as the physics library reports it.
    Float3 normal;
    // The normal in the hit object's own frame (through the rigid inverse of its world matrix, brought
    // up to date first; scale is not divided out), normalised.
    Float3 localNormal;
    float distance = 0.0f;
    // The object that owns the hit actor.
    GameObject* gameObject = nullptr;
};

struct RaycastResult {
    std::int32_t hitCount = 0;
    // Nearest first.
    std::vector<RaycastHit> hits;
};

struct Ray {
    // Room for this many touching hits, on the stack of Cast.
    static constexpr int kMaxTouches = 256;
    // Only shapes on collision layer 16 (query filter word0 bit 4) can be hit.
    static constexpr std::uint32_t kQueryLayers = 16;

    Float3 origin;
    // Expected to be of unit length; not normalised here.
    Float3 direction;

    // Casts into the scene's physics scene up to maxDistance. A zero direction returns false and
    // leaves `result` untouched. Otherwise fills `result` and returns the physics library's answer.
    // Main thread, outside the simulation step.
    bool Cast(RaycastResult& result, float maxDistance) const;
};
