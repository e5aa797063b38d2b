#include "Physics/BoxCollider.h"

#include "Physics/PhysXConversions.h"
#include "Physics/PhysicsEngine.h"

#include <imgui.h>

using namespace physx;

namespace {

const PxShapeFlags kShapeFlags = PxShapeFlag::eSIMULATION_SHAPE | PxShapeFlag::eSCENE_QUERY_SHAPE
    | PxShapeFlag::eVISUALIZATION;

PxShape* CreateBoxShape(const Float3& halfExtents)
{
    PhysicsEngine& physics = PhysicsEngine::GetInstance();
    return physics.physics->createShape(PxBoxGeometry(ToPx(halfExtents)), *physics.defaultMaterial, true, kShapeFlags);
}

} // namespace

BoxCollider::BoxCollider(const Float3& halfExtents)
    : Collider(kDefaultLayer, CreateBoxShape(halfExtents))
    , halfExtents(halfExtents)
{
}

void BoxCollider::Start()
{
    // A box the physics library refused (no size: its model did not load) has no shape to resize;
    // the collider still gets its actor.
    if (shape != nullptr)
        shape->setGeometry(PxBoxGeometry(ToPx(halfExtents)));
    Collider::Start();
}

void BoxCollider::DrawInspector()
{
    if (ImGui::DragFloat3("Half extents: ", &halfExtents.x, kInspectorDragSpeed) && shape != nullptr)
        shape->setGeometry(PxBoxGeometry(ToPx(halfExtents)));
}
