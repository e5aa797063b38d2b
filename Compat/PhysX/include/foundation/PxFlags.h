#pragma once
// A set of bits of one enumeration, with the conversions and operators PhysX code relies on
// (`flags & PxPairFlag::eNOTIFY_TOUCH_FOUND`, `PxShapeFlag::eSIMULATION_SHAPE | ...`).

#include "foundation/PxSimpleTypes.h"

namespace physx {

template <typename enumtype, typename storagetype = PxU32>
class PxFlags {
public:
    using InternalType = storagetype;

    constexpr PxFlags()
        : mBits(0)
    {
    }
    constexpr PxFlags(enumtype e)
        : mBits(static_cast<storagetype>(e))
    {
    }
    constexpr explicit PxFlags(storagetype b)
        : mBits(b)
    {
    }

    bool isSet(enumtype e) const { return (mBits & static_cast<storagetype>(e)) == static_cast<storagetype>(e); }
    PxFlags& set(enumtype e)
    {
        mBits = static_cast<storagetype>(e);
        return *this;
    }
    void raise(enumtype e) { mBits |= static_cast<storagetype>(e); }
    void clear(enumtype e) { mBits &= static_cast<storagetype>(~static_cast<storagetype>(e)); }

    bool operator==(enumtype e) const { return mBits == static_cast<storagetype>(e); }
    bool operator==(const PxFlags& f) const { return mBits == f.mBits; }
    bool operator==(bool b) const { return static_cast<bool>(*this) == b; }
    bool operator!=(enumtype e) const { return mBits != static_cast<storagetype>(e); }
    bool operator!=(const PxFlags& f) const { return mBits != f.mBits; }

    PxFlags& operator=(enumtype e)
    {
        mBits = static_cast<storagetype>(e);
        return *this;
    }

    PxFlags& operator|=(enumtype e)
    {
        mBits |= static_cast<storagetype>(e);
        return *this;
    }
    PxFlags& operator|=(const PxFlags& f)
    {
        mBits |= f.mBits;
        return *this;
    }
    PxFlags operator|(enumtype e) const
    {
        PxFlags r(*this);
        r |= e;
        return r;
    }
    PxFlags operator|(const PxFlags& f) const
    {
        PxFlags r(*this);
        r |= f;
        return r;
    }

    PxFlags& operator&=(enumtype e)
    {
        mBits &= static_cast<storagetype>(e);
        return *this;
    }
    PxFlags& operator&=(const PxFlags& f)
    {
        mBits &= f.mBits;
        return *this;
    }
    PxFlags operator&(enumtype e) const
    {
        PxFlags r(*this);
        r &= e;
        return r;
    }
    PxFlags operator&(const PxFlags& f) const
    {
        PxFlags r(*this);
        r &= f;
        return r;
    }

    PxFlags& operator^=(enumtype e)
    {
        mBits ^= static_cast<storagetype>(e);
        return *this;
    }
    PxFlags& operator^=(const PxFlags& f)
    {
        mBits ^= f.mBits;
        return *this;
    }
    PxFlags operator^(enumtype e) const
    {
        PxFlags r(*this);
        r ^= e;
        return r;
    }
    PxFlags operator^(const PxFlags& f) const
    {
        PxFlags r(*this);
        r ^= f;
        return r;
    }

    PxFlags operator~() const { return PxFlags(static_cast<storagetype>(~mBits)); }

    operator bool() const { return mBits != 0; }
    operator PxU8() const { return static_cast<PxU8>(mBits); }
    operator PxU16() const { return static_cast<PxU16>(mBits); }
    operator PxU32() const { return static_cast<PxU32>(mBits); }

private:
    storagetype mBits;
};

#define PX_FLAGS_OPERATORS(enumtype, storagetype)                                                                      \
    inline ::physx::PxFlags<enumtype, storagetype> operator|(enumtype a, enumtype b)                                   \
    {                                                                                                                  \
        ::physx::PxFlags<enumtype, storagetype> r(a);                                                                  \
        r |= b;                                                                                                        \
        return r;                                                                                                      \
    }                                                                                                                  \
    inline ::physx::PxFlags<enumtype, storagetype> operator&(enumtype a, enumtype b)                                   \
    {                                                                                                                  \
        ::physx::PxFlags<enumtype, storagetype> r(a);                                                                  \
        r &= b;                                                                                                        \
        return r;                                                                                                      \
    }                                                                                                                  \
    inline ::physx::PxFlags<enumtype, storagetype> operator~(enumtype a)                                               \
    {                                                                                                                  \
        return ~::physx::PxFlags<enumtype, storagetype>(a);                                                            \
    }

} // namespace physx
