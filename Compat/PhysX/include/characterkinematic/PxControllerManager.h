#pragma once
// The character-controller manager of a scene. The stand-in provides the manager only, with no
// controllers: nothing in the program creates one.

#include "foundation/PxSimpleTypes.h"

namespace physx {

class PxScene;

class PxControllerManager {
public:
    virtual void release() = 0;
    virtual PxScene& getScene() const = 0;
    virtual PxU32 getNbControllers() const = 0;
    virtual void purgeControllers() = 0;

protected:
    virtual ~PxControllerManager() = default;
};

} // namespace physx

physx::PxControllerManager* PxCreateControllerManager(physx::PxScene& scene, bool lockingEnabled = false);

namespace physx {
using ::PxCreateControllerManager;
} // namespace physx
