#pragma once
// The scale of the simulation's units. Tolerances derive from it: contact offset, bounce threshold,
// sleep threshold. Default (1, 10) suits metres; a centimetre world uses (100, 1000).

#include "foundation/PxSimpleTypes.h"

namespace physx {

class PxTolerancesScale {
public:
    explicit PxTolerancesScale(float defaultLength = 1.0f, float defaultSpeed = 10.0f)
        : length(defaultLength)
        , speed(defaultSpeed)
    {
    }
    bool isValid() const { return length > 0.0f && speed > 0.0f; }

    PxReal length;
    PxReal speed;
};

} // namespace physx
