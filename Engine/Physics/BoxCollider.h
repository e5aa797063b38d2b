#pragma once
// A box-shaped collider. Layer 1 unless set otherwise.

#include "Physics/Collider.h"

class BoxCollider : public Collider {
public:
    static constexpr std::int32_t kDefaultLayer = 1;
    static constexpr float kInspectorDragSpeed = 0.1f;

    // Creates the shape at once, with these half extents.
    explicit BoxCollider(const Float3& halfExtents);
    ~BoxCollider() override = default;

    // Sets the shape to the current half extents, then Collider::Start.
    void Start() override;

    // A drag control for the half extents; a change resizes the shape. Nothing in the program calls it.
    void DrawInspector() override;

    Float3 halfExtents;
};
