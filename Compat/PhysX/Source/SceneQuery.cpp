// Ray casts against the scene's Bullet world, with PhysX's query filtering on top.

#include <BulletCollision/NarrowPhaseCollision/btRaycastCallback.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Source/Errors.h"
#include "Source/SceneImpl.h"

namespace physx::standin {
namespace {

// Bullet's ray test works on a segment; an "infinite" ray is cut here to stay within float range.
constexpr PxReal kMaxRayLength = 1e9f;

bool HardcodedFilterPasses(const PxFilterData& query, const PxFilterData& shape)
{
    if ((query.word0 | query.word1 | query.word2 | query.word3) == 0)
        return true;
    return ((query.word0 & shape.word0) | (query.word1 & shape.word1) | (query.word2 & shape.word2)
               | (query.word3 & shape.word3))
        != 0;
}

class RayCallback final : public btCollisionWorld::RayResultCallback {
public:
    RayCallback(const PxVec3& origin, const PxVec3& dir, PxReal length, PxHitFlags hitFlags,
        const PxQueryFilterData& filterData, PxQueryFilterCallback* filterCall)
        : mOrigin(origin)
        , mDir(dir)
        , mLength(length)
        , mHitFlags(hitFlags)
        , mFilterData(filterData)
        , mFilterCall(filterCall)
    {
        // Meshes are hit from their front side only unless both sides are asked for, as in PhysX.
        if (!(hitFlags & PxHitFlag::eMESH_BOTH_SIDES))
            m_flags |= btTriangleRaycastCallback::kF_FilterBackfaces;
    }

    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        const BulletProxy* p = ProxyOf(static_cast<const btCollisionObject*>(proxy->m_clientObject));
        if (p == nullptr)
            return false;
        const PxQueryFlag::Enum wanted = p->actor->dynamic ? PxQueryFlag::eDYNAMIC : PxQueryFlag::eSTATIC;
        if (!(mFilterData.flags & wanted))
            return false;
        return p->shape == nullptr || StaticallyPasses(*p->shape);
    }

    btScalar addSingleResult(btCollisionWorld::LocalRayResult& result, bool normalInWorldSpace) override
    {
        const BulletProxy* p = ProxyOf(result.m_collisionObject);
        const int part = result.m_localShapeInfo != nullptr ? result.m_localShapeInfo->m_triangleIndex : -1;
        ShapeImpl* shape = p->ShapeAt(part);
        if (shape == nullptr || !StaticallyPasses(*shape))
            return m_closestHitFraction;
        PxHitFlags flags = mHitFlags;
        PxQueryHitType::Enum type = PxQueryHitType::eBLOCK;
        if (mFilterCall != nullptr && (mFilterData.flags & PxQueryFlag::ePREFILTER))
            type = mFilterCall->preFilter(mFilterData.data, shape, &p->actor->self, flags);
        if (type == PxQueryHitType::eNONE)
            return m_closestHitFraction;

        PxRaycastHit hit;
        hit.actor = &p->actor->self;
        hit.shape = shape;
        hit.distance = result.m_hitFraction * mLength;
        hit.position = mOrigin + mDir * hit.distance;
        const btVector3 normal = normalInWorldSpace
            ? result.m_hitNormalLocal
            : result.m_collisionObject->getWorldTransform().getBasis() * result.m_hitNormalLocal;
        hit.normal = ToPx(normal.normalized());
        hit.faceIndex = shape->Geometry().getType() == PxGeometryType::eTRIANGLEMESH ? static_cast<PxU32>(part)
                                                                                     : 0xffffffffu;
        hit.flags = mHitFlags & (PxHitFlag::ePOSITION | PxHitFlag::eNORMAL | PxHitFlag::eFACE_INDEX);
        if (mFilterCall != nullptr && (mFilterData.flags & PxQueryFlag::ePOSTFILTER))
            type = mFilterCall->postFilter(mFilterData.data, hit, shape, &p->actor->self);
        if (mFilterData.flags & PxQueryFlag::eNO_BLOCK && type == PxQueryHitType::eBLOCK)
            type = PxQueryHitType::eTOUCH;

        if (type == PxQueryHitType::eTOUCH) {
            touches.push_back(hit);
        } else if (type == PxQueryHitType::eBLOCK && (!hasBlock || hit.distance < block.distance)) {
            block = hit;
            hasBlock = true;
            m_closestHitFraction = result.m_hitFraction;
            m_collisionObject = result.m_collisionObject;
        }
        if (mFilterData.flags & PxQueryFlag::eANY_HIT)
            m_closestHitFraction = 0;
        return m_closestHitFraction;
    }

    std::vector<PxRaycastHit> touches;
    PxRaycastHit block;
    bool hasBlock = false;

private:
    bool StaticallyPasses(const ShapeImpl& shape) const
    {
        if (!shape.Queryable())
            return false;
        return (mFilterData.flags & PxQueryFlag::eDISABLE_HARDCODED_FILTER)
            || HardcodedFilterPasses(mFilterData.data, shape.getQueryFilterData());
    }

    PxVec3 mOrigin, mDir;
    PxReal mLength;
    PxHitFlags mHitFlags;
    PxQueryFilterData mFilterData;
    PxQueryFilterCallback* mFilterCall;
};

} // namespace

bool SceneImpl::raycast(const PxVec3& origin, const PxVec3& unitDir, const PxReal distance, PxRaycastCallback& hitCall,
    PxHitFlags hitFlags, const PxQueryFilterData& filterData, PxQueryFilterCallback* filterCall, const PxQueryCache*,
    PxGeometryQueryFlags) const
{
    hitCall.hasBlock = false;
    hitCall.nbTouches = 0;
    if (!origin.isFinite() || !unitDir.isNormalized() || !(distance >= 0.0f)) {
        PX_STANDIN_ERROR(
            PxErrorCode::eINVALID_PARAMETER, "PxScene::raycast(): origin, unitDir or distance is not valid.");
        return false;
    }
    const PxReal length = std::min(distance, kMaxRayLength);
    if (length > 0.0f) {
        RayCallback callback(origin, unitDir, length, hitFlags, filterData, filterCall);
        mWorld->rayTest(ToBullet(origin), ToBullet(origin + unitDir * length), callback);
        if (callback.hasBlock) {
            hitCall.block = callback.block;
            hitCall.hasBlock = true;
        }
        // Touches beyond the blocking hit are not reported.
        for (const PxRaycastHit& touch : callback.touches) {
            if (callback.hasBlock && touch.distance > callback.block.distance)
                continue;
            if (hitCall.nbTouches == hitCall.maxNbTouches) {
                if (hitCall.maxNbTouches == 0 || !hitCall.processTouches(hitCall.touches, hitCall.nbTouches))
                    break;
                hitCall.nbTouches = 0;
            }
            hitCall.touches[hitCall.nbTouches++] = touch;
        }
    }
    hitCall.finalizeQuery();
    return hitCall.hasAnyHits();
}

} // namespace physx::standin
