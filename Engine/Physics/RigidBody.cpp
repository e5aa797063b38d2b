#include "Physics/RigidBody.h"

#include "Math/Rotation.h"
#include "Physics/PhysXConversions.h"
#include "Physics/PhysicsEngine.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

using namespace physx;

RigidBody::~RigidBody()
{
    if (actor == nullptr)
        return;
    actor->userData = nullptr;
    if (PxScene* scene = Scene::GetInstance().physicsScene)
        scene->removeActor(*actor, true);
    actor->release();
    actor = nullptr;
}

void RigidBody::Start()
{
    if (actor != nullptr)
        return;
    actor = PhysicsEngine::GetInstance().physics->createRigidDynamic(PxTransform(PxIdentity));
    Scene::GetInstance().physicsScene->addActor(*actor);
    actor->userData = gameObject;
    actor->setMass(kMass);
    const Transform& transform = *gameObject->transform;
    Quaternion q = EulerToQuaternion(transform.rotation.x, transform.rotation.y, transform.rotation.z);
    actor->setGlobalPose(PxTransform(ToPx(XYZ(transform.position)), ToPx(q).getNormalized()), true);
}

void RigidBody::Update(float)
{
    if (actor == nullptr)
        return;
    const PxTransform pose = actor->getGlobalPose();
    Transform& transform = *gameObject->transform;
    transform.position = { pose.p.x, pose.p.y, pose.p.z, 1.0f };
    transform.dirty = true;
    Float3 angles = QuaternionToEuler(ToQuaternion(pose.q));
    transform.rotation = { angles.x, angles.y, angles.z, 0.0f };
    transform.dirty = true;
}

Float3 RigidBody::LinearVelocity() const
{
    return actor != nullptr ? ToFloat3(actor->getLinearVelocity()) : Float3 {};
}

Float3 RigidBody::Position() const
{
    return actor != nullptr ? ToFloat3(actor->getGlobalPose().p) : Float3 {};
}
