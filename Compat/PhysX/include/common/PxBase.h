#pragma once
// Root of the released-by-the-user object classes, with PhysX's concrete type identifiers.

#include "foundation/PxFlags.h"

namespace physx {

struct PxConcreteType {
    enum Enum {
        eUNDEFINED,
        eHEIGHTFIELD,
        eCONVEX_MESH,
        eTRIANGLE_MESH_BVH33,
        eTRIANGLE_MESH_BVH34,
        eTETRAHEDRON_MESH,
        eSOFTBODY_MESH,
        eRIGID_DYNAMIC,
        eRIGID_STATIC,
        eSHAPE,
        eMATERIAL,
        eSOFTBODY_MATERIAL,
        eCLOTH_MATERIAL,
        ePBD_MATERIAL,
        eFLIP_MATERIAL,
        eMPM_MATERIAL,
        eCUSTOM_MATERIAL,
        eCONSTRAINT,
        eAGGREGATE,
        eARTICULATION_REDUCED_COORDINATE,
        eARTICULATION_LINK,
        eARTICULATION_JOINT_REDUCED_COORDINATE,
        ePHYSX_CORE_COUNT,
        eFIRST_PHYSX_EXTENSION = 256,
        eFIRST_VEHICLE_EXTENSION = 512,
        eFIRST_USER_EXTENSION = 1024
    };
};

struct PxBaseFlag {
    enum Enum { eOWNS_MEMORY = (1 << 0), eIS_RELEASABLE = (1 << 1) };
};
using PxBaseFlags = PxFlags<PxBaseFlag::Enum, PxU16>;
PX_FLAGS_OPERATORS(PxBaseFlag::Enum, PxU16)

class PxBase {
public:
    virtual void release() = 0;
    virtual const char* getConcreteTypeName() const = 0;
    PxU16 getConcreteType() const { return mConcreteType; }
    bool isReleasable() const { return true; }

    // Safe down-cast: null when the object is not a T.
    template <class T>
    T* is()
    {
        return dynamic_cast<T*>(this);
    }
    template <class T>
    const T* is() const
    {
        return dynamic_cast<const T*>(this);
    }

protected:
    explicit PxBase(PxU16 concreteType)
        : mConcreteType(concreteType)
    {
    }
    virtual ~PxBase() = default;

    PxU16 mConcreteType;
    PxBaseFlags mBaseFlags { PxBaseFlag::eOWNS_MEMORY | PxBaseFlag::eIS_RELEASABLE };
};

// Objects whose lifetime is shared between the user and the objects that use them.
class PxRefCounted : public PxBase {
public:
    virtual PxU32 getReferenceCount() const = 0;
    virtual void acquireReference() = 0;

protected:
    using PxBase::PxBase;
};

} // namespace physx
