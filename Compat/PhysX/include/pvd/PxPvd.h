#pragma once
// The visual-debugger connection. The stand-in opens the TCP connection (so a missing debugger is
// noticed exactly as with the SDK) but streams nothing over it.

#include "foundation/PxFlags.h"

namespace physx {

class PxFoundation;
class PxPvdTransport;

struct PxPvdInstrumentationFlag {
    enum Enum { eDEBUG = 1 << 0, ePROFILE = 1 << 1, eMEMORY = 1 << 2, eALL = (eDEBUG | ePROFILE | eMEMORY) };
};
using PxPvdInstrumentationFlags = PxFlags<PxPvdInstrumentationFlag::Enum, PxU8>;
PX_FLAGS_OPERATORS(PxPvdInstrumentationFlag::Enum, PxU8)

class PxPvd {
public:
    // True when the transport connected.
    virtual bool connect(PxPvdTransport& transport, PxPvdInstrumentationFlags flags) = 0;
    virtual void disconnect() = 0;
    virtual bool isConnected(bool useCachedStatus = true) = 0;
    virtual PxPvdTransport* getTransport() = 0;
    virtual PxPvdInstrumentationFlags getInstrumentationFlags() = 0;
    virtual void release() = 0;

protected:
    virtual ~PxPvd() = default;
};

PxPvd* PxCreatePvd(PxFoundation& foundation);

} // namespace physx

using physx::PxCreatePvd;
