#pragma once
// Contacts between two spheres, made within the contact distance as for every other pair of shapes.
//
// Bullet's own sphere pair makes a contact only where the spheres overlap, while its box, mesh and
// convex pairs make them as soon as the shapes come within the contact distance (the smaller of the
// two shapes' contact breaking thresholds). Continuous collision relies on that distance: it stops a
// fast body half of it short of the surface it would pass, for the next step's narrow phase to find
// the touch and the solver to answer it. Between two spheres nothing would be found, and a fast ball
// closing on a slower one would be stopped short of it again every step, its speed never spent.

#include <BulletCollision/CollisionDispatch/btSphereSphereCollisionAlgorithm.h>

namespace physx::standin {

// The contact distance Bullet's manifold keeps for two shapes (the smaller of their thresholds).
btScalar PairContactDistance(const btCollisionShape& a, const btCollisionShape& b);

class SpherePairAlgorithm final : public btSphereSphereCollisionAlgorithm {
public:
    using btSphereSphereCollisionAlgorithm::btSphereSphereCollisionAlgorithm;

    void processCollision(const btCollisionObjectWrapper* body0, const btCollisionObjectWrapper* body1,
        const btDispatcherInfo& dispatchInfo, btManifoldResult* resultOut) override;

    // Registered with a dispatcher for sphere–sphere pairs; the dispatcher's algorithm pool holds it,
    // as it adds no state to Bullet's own sphere algorithm.
    struct CreateFunc final : btCollisionAlgorithmCreateFunc {
        btCollisionAlgorithm* CreateCollisionAlgorithm(btCollisionAlgorithmConstructionInfo& info,
            const btCollisionObjectWrapper* body0, const btCollisionObjectWrapper* body1) override;
    };
};

} // namespace physx::standin
