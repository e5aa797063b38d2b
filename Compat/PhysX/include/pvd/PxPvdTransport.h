#pragma once
// The byte channel to the PhysX Visual Debugger.

#include "foundation/PxSimpleTypes.h"

namespace physx {

class PxPvdTransport {
public:
    virtual bool connect() = 0;
    virtual void disconnect() = 0;
    virtual bool isConnected() = 0;
    virtual bool write(const PxU8* inBytes, PxU32 inLength) = 0;
    virtual PxPvdTransport& lock() = 0;
    virtual void unlock() = 0;
    virtual void flush() = 0;
    virtual PxU64 getWrittenDataSize() = 0;
    virtual void release() = 0;

protected:
    virtual ~PxPvdTransport() = default;
};

// A TCP transport to host:port; connect() gives up after timeoutInMilliseconds.
PxPvdTransport* PxDefaultPvdSocketTransportCreate(const char* host, int port, unsigned int timeoutInMilliseconds);

} // namespace physx

using physx::PxDefaultPvdSocketTransportCreate;
