#pragma once
// Everything a scene is created from. The constructor sets PhysX's defaults for the given scale.

#include "PxFiltering.h"
#include "common/PxTolerancesScale.h"
#include "foundation/PxVec3.h"

namespace physx {

class PxSimulationEventCallback;
class PxContactModifyCallback;
class PxCpuDispatcher;

struct PxSceneFlag {
    enum Enum {
        eENABLE_ACTIVE_ACTORS = (1 << 0),
        eENABLE_CCD = (1 << 1),
        eDISABLE_CCD_RESWEEP = (1 << 2),
        eENABLE_PCM = (1 << 6),
        eDISABLE_CONTACT_REPORT_BUFFER_RESIZE = (1 << 7),
        eDISABLE_CONTACT_CACHE = (1 << 8),
        eREQUIRE_RW_LOCK = (1 << 9),
        eENABLE_STABILIZATION = (1 << 10),
        eENABLE_AVERAGE_POINT = (1 << 11),
        eEXCLUDE_KINEMATICS_FROM_ACTIVE_ACTORS = (1 << 12),
        eENABLE_GPU_DYNAMICS = (1 << 13),
        eENABLE_ENHANCED_DETERMINISM = (1 << 14),
        eENABLE_FRICTION_EVERY_ITERATION = (1 << 15),
        eENABLE_EXTERNAL_FORCES_EVERY_ITERATION_TGS = (1 << 16),
        eSUPPRESS_READBACK = (1 << 17),
        eFORCE_READBACK = (1 << 18),
        eMUTABLE_FLAGS = eENABLE_ACTIVE_ACTORS | eEXCLUDE_KINEMATICS_FROM_ACTIVE_ACTORS | eSUPPRESS_READBACK
    };
};
using PxSceneFlags = PxFlags<PxSceneFlag::Enum, PxU32>;
PX_FLAGS_OPERATORS(PxSceneFlag::Enum, PxU32)

struct PxSolverType {
    enum Enum { ePGS, eTGS };
};

class PxSceneDesc {
public:
    explicit PxSceneDesc(const PxTolerancesScale& scale)
        : gravity(0.0f)
        , bounceThresholdVelocity(0.2f * scale.speed)
        , frictionOffsetThreshold(0.04f * scale.length)
        , ccdMaxSeparation(0.04f * scale.length)
        , tolerancesScale(scale)
    {
    }

    void setToDefault(const PxTolerancesScale& scale) { *this = PxSceneDesc(scale); }
    // A scene needs a filter shader and a CPU dispatcher.
    bool isValid() const
    {
        return filterShader != nullptr && cpuDispatcher != nullptr && gravity.isFinite()
            && bounceThresholdVelocity > 0.0f && (filterShaderData != nullptr || filterShaderDataSize == 0)
            && tolerancesScale.isValid();
    }
    const PxTolerancesScale& getTolerancesScale() const { return tolerancesScale; }

    PxVec3 gravity;
    PxSimulationEventCallback* simulationEventCallback = nullptr;
    PxContactModifyCallback* contactModifyCallback = nullptr;
    const void* filterShaderData = nullptr;
    PxU32 filterShaderDataSize = 0;
    PxSimulationFilterShader filterShader = nullptr;
    PxSolverType::Enum solverType = PxSolverType::ePGS;
    PxReal bounceThresholdVelocity;
    PxReal frictionOffsetThreshold;
    PxReal ccdMaxSeparation;
    PxSceneFlags flags = PxSceneFlag::eENABLE_PCM;
    PxCpuDispatcher* cpuDispatcher = nullptr;
    void* userData = nullptr;
    PxU32 solverBatchSize = 128;
    PxU32 nbContactDataBlocks = 0;
    PxU32 maxNbContactDataBlocks = 1 << 16;

private:
    PxTolerancesScale tolerancesScale;
};

} // namespace physx
