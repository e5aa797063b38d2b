#pragma once
// Scene-query filtering. With non-zero query filter data, a shape is skipped unless
// (data.word0 & shape.word0) | (data.word1 & shape.word1) | (data.word2 & shape.word2) | (data.word3 & shape.word3)
// is non-zero. Without a filter callback every hit is blocking, so only the closest one is kept.

#include "PxFiltering.h"
#include "PxQueryReport.h"

namespace physx {

struct PxQueryFlag {
    enum Enum {
        eSTATIC = (1 << 0),
        eDYNAMIC = (1 << 1),
        ePREFILTER = (1 << 2),
        ePOSTFILTER = (1 << 3),
        eANY_HIT = (1 << 4),
        eNO_BLOCK = (1 << 5),
        eBATCH_QUERY_LEGACY_BEHAVIOUR = (1 << 6),
        eDISABLE_HARDCODED_FILTER = (1 << 6),
        eRESERVED = (1 << 15)
    };
};
using PxQueryFlags = PxFlags<PxQueryFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxQueryFlag::Enum, PxU16)

struct PxQueryHitType {
    enum Enum { eNONE = 0, eTOUCH = 1, eBLOCK = 2 };
};

struct PxQueryFilterData {
    explicit PxQueryFilterData()
        : flags(PxQueryFlag::eDYNAMIC | PxQueryFlag::eSTATIC)
    {
    }
    explicit PxQueryFilterData(const PxFilterData& fd, PxQueryFlags f)
        : data(fd)
        , flags(f)
    {
    }
    explicit PxQueryFilterData(PxQueryFlags f)
        : flags(f)
    {
    }

    PxFilterData data;
    PxQueryFlags flags;
};

class PxQueryFilterCallback {
public:
    virtual PxQueryHitType::Enum preFilter(
        const PxFilterData& filterData, const PxShape* shape, const PxRigidActor* actor, PxHitFlags& queryFlags)
        = 0;
    virtual PxQueryHitType::Enum postFilter(
        const PxFilterData& filterData, const PxQueryHit& hit, const PxShape* shape, const PxRigidActor* actor)
        = 0;
    virtual ~PxQueryFilterCallback() = default;
};

struct PxQueryCache;

} // namespace physx
