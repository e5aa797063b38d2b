#pragma once
// Base of everything that can be added to a scene.

#include "common/PxBase.h"
#include "foundation/PxBounds3.h"

namespace physx {

class PxScene;

struct PxActorType {
    enum Enum {
        eRIGID_STATIC,
        eRIGID_DYNAMIC,
        eARTICULATION_LINK,
        eSOFTBODY,
        eFEMCLOTH,
        ePBD_PARTICLESYSTEM,
        eHAIRSYSTEM
    };
};

struct PxActorTypeFlag {
    enum Enum { eRIGID_STATIC = (1 << 0), eRIGID_DYNAMIC = (1 << 1) };
};
using PxActorTypeFlags = PxFlags<PxActorTypeFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxActorTypeFlag::Enum, PxU16)

struct PxActorFlag {
    enum Enum {
        eVISUALIZATION = (1 << 0),
        eDISABLE_GRAVITY = (1 << 1),
        eSEND_SLEEP_NOTIFIES = (1 << 2),
        eDISABLE_SIMULATION = (1 << 3)
    };
};
using PxActorFlags = PxFlags<PxActorFlag::Enum, PxU8>;
PX_FLAGS_OPERATORS(PxActorFlag::Enum, PxU8)

class PxActor : public PxBase {
public:
    virtual PxActorType::Enum getType() const = 0;
    // The scene the actor is in, or null.
    virtual PxScene* getScene() const = 0;
    virtual PxBounds3 getWorldBounds(float inflation = 1.01f) const = 0;
    virtual void setName(const char* name) = 0;
    virtual const char* getName() const = 0;
    virtual void setActorFlag(PxActorFlag::Enum flag, bool value) = 0;
    virtual PxActorFlags getActorFlags() const = 0;

    void* userData = nullptr;

protected:
    using PxBase::PxBase;
};

} // namespace physx
