#pragma once
// A collider cooked from a model's triangles at the object's x scale. Layer 0 unless set otherwise.
// The creator sets `model` before Start.

#include "Physics/Collider.h"

class Model;

class MeshCollider : public Collider {
public:
    static constexpr std::int32_t kDefaultLayer = 0;

    MeshCollider();
    ~MeshCollider() override = default;

    // Cooks the shape from `model` (replacing any set earlier), attaches it when an actor exists
    // already, then Collider::Start. Without a model, or when cooking fails, the collider has no shape;
    // a model with a vertex that is not a finite number is not cooked. Either failure names the
    // model's file once on the console.
    void Start() override;

    // Not owned: models belong to the model cache.
    Model* model = nullptr;
};
