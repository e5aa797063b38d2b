#pragma once
// Collision filtering: the filter data of shapes, the pair and filter flags, and the filter shader
// a scene calls for each new pair of overlapping shapes.

#include "foundation/PxFlags.h"

namespace physx {

struct PxPairFlag {
    enum Enum {
        eSOLVE_CONTACT = (1 << 0),
        eMODIFY_CONTACTS = (1 << 1),
        eNOTIFY_TOUCH_FOUND = (1 << 2),
        eNOTIFY_TOUCH_PERSISTS = (1 << 3),
        eNOTIFY_TOUCH_LOST = (1 << 4),
        eNOTIFY_TOUCH_CCD = (1 << 5),
        eNOTIFY_THRESHOLD_FORCE_FOUND = (1 << 6),
        eNOTIFY_THRESHOLD_FORCE_PERSISTS = (1 << 7),
        eNOTIFY_THRESHOLD_FORCE_LOST = (1 << 8),
        eNOTIFY_CONTACT_POINTS = (1 << 9),
        eDETECT_DISCRETE_CONTACT = (1 << 10),
        eDETECT_CCD_CONTACT = (1 << 11),
        ePRE_SOLVER_VELOCITY = (1 << 12),
        ePOST_SOLVER_VELOCITY = (1 << 13),
        eCONTACT_EVENT_POSE = (1 << 14),
        eNEXT_FREE = (1 << 15),
        eCONTACT_DEFAULT = eSOLVE_CONTACT | eDETECT_DISCRETE_CONTACT,
        eTRIGGER_DEFAULT = eNOTIFY_TOUCH_FOUND | eNOTIFY_TOUCH_LOST | eDETECT_DISCRETE_CONTACT
    };
};
using PxPairFlags = PxFlags<PxPairFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxPairFlag::Enum, PxU16)

struct PxFilterFlag {
    enum Enum {
        eKILL = (1 << 0),
        eSUPPRESS = (1 << 1),
        eCALLBACK = (1 << 2),
        eNOTIFY = (1 << 3) | eCALLBACK,
        eDEFAULT = 0
    };
};
using PxFilterFlags = PxFlags<PxFilterFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxFilterFlag::Enum, PxU16)

struct PxFilterData {
    PxFilterData()
        : word0(0)
        , word1(0)
        , word2(0)
        , word3(0)
    {
    }
    PxFilterData(PxU32 w0, PxU32 w1, PxU32 w2, PxU32 w3)
        : word0(w0)
        , word1(w1)
        , word2(w2)
        , word3(w3)
    {
    }
    void setToDefault() { *this = PxFilterData(); }
    bool operator==(const PxFilterData& a) const
    {
        return a.word0 == word0 && a.word1 == word1 && a.word2 == word2 && a.word3 == word3;
    }
    bool operator!=(const PxFilterData& a) const { return !(a == *this); }

    PxU32 word0, word1, word2, word3;
};

struct PxFilterObjectType {
    enum Enum {
        eRIGID_STATIC,
        eRIGID_DYNAMIC,
        eARTICULATION,
        ePARTICLESYSTEM,
        eSOFTBODY,
        eFEMCLOTH,
        eHAIRSYSTEM,
        eMAX_TYPE_COUNT = 16,
        eUNDEFINED = eMAX_TYPE_COUNT - 1
    };
};

struct PxFilterObjectFlag {
    enum Enum { eKINEMATIC = (1 << 4), eTRIGGER = (1 << 5), eNEXT_FREE = (1 << 6) };
};

using PxFilterObjectAttributes = PxU32;

inline PxFilterObjectType::Enum PxGetFilterObjectType(PxFilterObjectAttributes attr)
{
    return static_cast<PxFilterObjectType::Enum>(attr & (PxFilterObjectType::eMAX_TYPE_COUNT - 1));
}
inline bool PxFilterObjectIsKinematic(PxFilterObjectAttributes attr)
{
    return (attr & PxFilterObjectFlag::eKINEMATIC) != 0;
}
inline bool PxFilterObjectIsTrigger(PxFilterObjectAttributes attr)
{
    return (attr & PxFilterObjectFlag::eTRIGGER) != 0;
}

// Called once for each new pair of overlapping shapes (again only after their bounds have stopped
// overlapping, or after one of them got new simulation filter data). The stand-in calls it on the
// thread running the simulation step; it must not touch the scene.
using PxSimulationFilterShader = PxFilterFlags (*)(PxFilterObjectAttributes attributes0, PxFilterData filterData0,
    PxFilterObjectAttributes attributes1, PxFilterData filterData1, PxPairFlags& pairFlags, const void* constantBlock,
    PxU32 constantBlockSize);

} // namespace physx
