// Sphere pairs that make contacts within the contact distance (see SpherePairAlgorithm.h).

#include "Source/SpherePairAlgorithm.h"

#include <BulletCollision/CollisionDispatch/btCollisionDispatcher.h>
#include <BulletCollision/CollisionDispatch/btManifoldResult.h>
#include <BulletCollision/CollisionShapes/btCollisionShape.h>

#include <new>

namespace physx::standin {

btScalar PairContactDistance(const btCollisionShape& a, const btCollisionShape& b)
{
    return btMin(a.getContactBreakingThreshold(gContactBreakingThreshold),
        b.getContactBreakingThreshold(gContactBreakingThreshold));
}

void SpherePairAlgorithm::processCollision(const btCollisionObjectWrapper* body0, const btCollisionObjectWrapper* body1,
    const btDispatcherInfo& dispatchInfo, btManifoldResult* resultOut)
{
    // Bullet's sphere pair makes a contact wherever the gap is within this threshold (0 by default).
    resultOut->m_closestPointDistanceThreshold = PairContactDistance(
        *body0->getCollisionShape(), *body1->getCollisionShape());
    btSphereSphereCollisionAlgorithm::processCollision(body0, body1, dispatchInfo, resultOut);
}

btCollisionAlgorithm* SpherePairAlgorithm::CreateFunc::CreateCollisionAlgorithm(
    btCollisionAlgorithmConstructionInfo& info, const btCollisionObjectWrapper* body0,
    const btCollisionObjectWrapper* body1)
{
    static_assert(sizeof(SpherePairAlgorithm) == sizeof(btSphereSphereCollisionAlgorithm));
    void* memory = info.m_dispatcher1->allocateCollisionAlgorithm(sizeof(SpherePairAlgorithm));
    return new (memory) SpherePairAlgorithm(nullptr, info, body0, body1);
}

} // namespace physx::standin
