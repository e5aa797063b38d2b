#pragma once
// Error codes and the user's error sink. The stand-in reports its own invalid-use errors here, with
// PhysX's codes, the way the SDK reports its checks.

#include "foundation/PxSimpleTypes.h"

namespace physx {

struct PxErrorCode {
    enum Enum {
        eNO_ERROR = 0,
        eDEBUG_INFO = 1,
        eDEBUG_WARNING = 2,
        eINVALID_PARAMETER = 4,
        eINVALID_OPERATION = 8,
        eOUT_OF_MEMORY = 16,
        eINTERNAL_ERROR = 32,
        eABORT = 64,
        ePERF_WARNING = 128,
        eMASK_ALL = -1
    };
};

class PxErrorCallback {
public:
    virtual ~PxErrorCallback() = default;
    // Called on the thread that made the failing call; may be called from several threads at once.
    virtual void reportError(PxErrorCode::Enum code, const char* message, const char* file, int line) = 0;
};

} // namespace physx
