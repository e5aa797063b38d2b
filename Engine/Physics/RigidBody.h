#pragma once
// Gives a game object a dynamic actor of mass 1, to which the object's colliders attach their shapes.
// Every frame the actor's pose is copied into the object's Transform.
//
// The body owns its actor: the destructor removes it from the scene and releases it (with its
// shapes). Main thread only.

#include "Math/Vector.h"
#include "Scene/Component.h"

#include <PxPhysicsAPI.h>

class RigidBody : public Component {
public:
    static constexpr float kMass = 1.0f;

    ~RigidBody() override;

    // Creates the dynamic actor at the Transform's pose and adds it to the scene; does nothing when the
    // actor exists already (a collider may have started the body first).
    void Start() override;

    // Copies the actor's position and rotation into the Transform.
    void Update(float deltaTime) override;

    // The actor's linear velocity now, in units per second; zero before Start. Inside a collision
    // hook it is the velocity the step ended with.
    Float3 LinearVelocity() const;

    // The actor's position now; the origin before Start. Inside a collision hook it is where the step
    // left the body, while the Transform still holds where the frame before left it.
    Float3 Position() const;

    // The linear velocity the next physics step sets when the body is in the velocity queue.
    Float3 pendingVelocity;
    physx::PxRigidDynamic* actor = nullptr;
};
