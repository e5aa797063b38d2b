#pragma once
// A sphere-shaped collider. Layer 1 unless set otherwise.

#include "Physics/Collider.h"

class SphereCollider : public Collider {
public:
    static constexpr std::int32_t kDefaultLayer = 1;

    explicit SphereCollider(float radius);
    ~SphereCollider() override = default;

    void Start() override;

    float radius;
};
