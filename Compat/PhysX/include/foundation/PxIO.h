#pragma once
// Byte streams used to carry cooked data.

#include "foundation/PxSimpleTypes.h"

namespace physx {

class PxInputStream {
public:
    virtual ~PxInputStream() = default;
    // Reads up to count bytes; returns how many were read.
    virtual PxU32 read(void* dest, PxU32 count) = 0;
};

class PxInputData : public PxInputStream {
public:
    virtual PxU32 getLength() const = 0;
    virtual void seek(PxU32 offset) = 0;
    virtual PxU32 tell() const = 0;
};

class PxOutputStream {
public:
    virtual ~PxOutputStream() = default;
    // Writes count bytes; returns how many were written.
    virtual PxU32 write(const void* src, PxU32 count) = 0;
};

} // namespace physx
