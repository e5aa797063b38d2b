#include "Physics/SimulationCallbacks.h"

#include "Physics/Collider.h"
#include "Physics/PhysXConversions.h"
#include "Scene/GameObject.h"

#include <iostream>
#include <sstream>
#include <vector>

namespace {

// A contact within this squared distance of a hole collider is inside the hole.
constexpr float kHoleReach = 1.0f;
constexpr float kCancelledSeparation = 1.0f;

GameObject* OwnerOf(const physx::PxActor* actor)
{
    return actor != nullptr ? static_cast<GameObject*>(actor->userData) : nullptr;
}

Collider* FirstCollider(const physx::PxActor* actor)
{
    GameObject* owner = OwnerOf(actor);
    return owner != nullptr ? owner->GetComponent<Collider>() : nullptr;
}

void CollisionEnter(GameObject& object, GameObject* other, const Float3& contact)
{
    for (Component* component : object.components)
        component->OnCollisionEnter(other, contact);
}

void CollisionExit(GameObject& object, GameObject* other)
{
    for (Component* component : object.components)
        component->OnCollisionExit(other);
}

} // namespace

void MyErrorCallback::reportError(physx::PxErrorCode::Enum code, const char* message, const char* file, int line)
{
    // Built first and written at once, so reports from several threads do not interleave mid-line.
    std::ostringstream text;
    text << "PhysX error (" << static_cast<int>(code) << "): " << message << " in file " << file << " at line " << line;
    std::cerr << text.str() << std::endl;
}

void CollisionCallback::onContact(
    const physx::PxContactPairHeader& pairHeader, const physx::PxContactPair* pairs, physx::PxU32 nbPairs)
{
    GameObject* a = OwnerOf(pairHeader.actors[0]);
    GameObject* b = OwnerOf(pairHeader.actors[1]);
    for (physx::PxU32 i = 0; i < nbPairs; ++i) {
        const physx::PxContactPair& pair = pairs[i];
        if (pair.events & physx::PxPairFlag::eNOTIFY_TOUCH_FOUND) {
            // A pair can start touching without a contact point to report; its touch is then not
            // announced rather than announced at a point that does not exist.
            physx::PxContactPairPoint first {};
            if (pair.contactCount > 0 && pair.extractContacts(&first, 1) == 1) {
                Float3 point = ToFloat3(first.position);
                // A first point exactly at the origin ends the report: this pair and every later one.
                if (Length(point) == 0.0f)
                    return;
                if (a != nullptr && b != nullptr) {
                    CollisionEnter(*a, b, point);
                    CollisionEnter(*b, a, point);
                }
            }
        }
        if ((pair.events & physx::PxPairFlag::eNOTIFY_TOUCH_LOST) && a != nullptr && b != nullptr) {
            CollisionExit(*a, b);
            CollisionExit(*b, a);
        }
    }
}

void ContactModify::onContactModify(physx::PxContactModifyPair* const pairs, physx::PxU32 count)
{
    for (physx::PxU32 p = 0; p < count; ++p) {
        physx::PxContactModifyPair& pair = pairs[p];
        for (physx::PxU32 j = 0; j < pair.contacts.size(); ++j) {
            Collider* a = FirstCollider(pair.actor[0]);
            Collider* b = FirstCollider(pair.actor[1]);
            std::vector<Collider*> holes;
            if (a != nullptr)
                holes = a->ignoredColliders;
            if (b != nullptr)
                holes.insert(holes.end(), b->ignoredColliders.begin(), b->ignoredColliders.end());

            Float3 point = ToFloat3(pair.contacts.getPoint(j));
            for (Collider* hole : holes) {
                float distance = kHoleReach;
                hole->PointDistance(point, distance);
                if (distance <= kHoleReach) {
                    pair.contacts.setSeparation(j, kCancelledSeparation);
                    pair.contacts.setPoint(j, physx::PxVec3(0.0f, 0.0f, 0.0f));
                    pair.contacts.ignore(j);
                }
            }
        }
    }
}
