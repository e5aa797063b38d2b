#pragma once
// Geometry values: box, sphere and triangle mesh. Geometries are plain values copied into the shapes
// that use them; a triangle-mesh geometry refers to a shared PxTriangleMesh.

#include "common/PxBase.h"
#include "foundation/PxTransform.h"

namespace physx {

class PxTriangleMesh;

struct PxGeometryType {
    enum Enum {
        eSPHERE,
        ePLANE,
        eCAPSULE,
        eBOX,
        eCONVEXMESH,
        ePARTICLESYSTEM,
        eTETRAHEDRONMESH,
        eTRIANGLEMESH,
        eHEIGHTFIELD,
        eHAIRSYSTEM,
        eCUSTOM,
        eGEOMETRY_COUNT,
        eINVALID = -1
    };
};

class PxGeometry {
public:
    PxGeometryType::Enum getType() const { return mType; }

protected:
    explicit PxGeometry(PxGeometryType::Enum type)
        : mType(type)
    {
    }
    PxGeometryType::Enum mType;
    float mTypePadding = 0.0f;
};

class PxBoxGeometry : public PxGeometry {
public:
    PxBoxGeometry()
        : PxGeometry(PxGeometryType::eBOX)
        , halfExtents(0.0f)
    {
    }
    PxBoxGeometry(PxReal hx, PxReal hy, PxReal hz)
        : PxGeometry(PxGeometryType::eBOX)
        , halfExtents(hx, hy, hz)
    {
    }
    explicit PxBoxGeometry(PxVec3 halfExtents_)
        : PxGeometry(PxGeometryType::eBOX)
        , halfExtents(halfExtents_)
    {
    }
    bool isValid() const
    {
        return mType == PxGeometryType::eBOX && halfExtents.isFinite() && halfExtents.x > 0.0f && halfExtents.y > 0.0f
            && halfExtents.z > 0.0f;
    }

    PxVec3 halfExtents;
};

class PxSphereGeometry : public PxGeometry {
public:
    PxSphereGeometry()
        : PxGeometry(PxGeometryType::eSPHERE)
        , radius(0.0f)
    {
    }
    explicit PxSphereGeometry(PxReal ir)
        : PxGeometry(PxGeometryType::eSPHERE)
        , radius(ir)
    {
    }
    bool isValid() const { return mType == PxGeometryType::eSPHERE && std::isfinite(radius) && radius > 0.0f; }

    PxReal radius;
};

#define PX_MESH_SCALE_MIN 1e-6f
#define PX_MESH_SCALE_MAX 1e6f

// Scale along the axes given by `rotation`: v' = rotation^-1 * (scale * (rotation * v)).
class PxMeshScale {
public:
    PxMeshScale()
        : scale(1.0f)
        , rotation(PxIdentity)
    {
    }
    explicit PxMeshScale(PxReal r)
        : scale(r)
        , rotation(PxIdentity)
    {
    }
    PxMeshScale(const PxVec3& s)
        : scale(s)
        , rotation(PxIdentity)
    {
    }
    PxMeshScale(const PxVec3& s, const PxQuat& r)
        : scale(s)
        , rotation(r)
    {
    }

    bool isIdentity() const { return scale.x == 1.0f && scale.y == 1.0f && scale.z == 1.0f; }
    PxMeshScale getInverse() const
    {
        return PxMeshScale(PxVec3(1.0f / scale.x, 1.0f / scale.y, 1.0f / scale.z), rotation);
    }
    PxVec3 transform(const PxVec3& v) const { return rotation.rotateInv(scale.multiply(rotation.rotate(v))); }
    bool hasNegativeDeterminant() const { return scale.x * scale.y * scale.z < 0.0f; }
    bool isValidForTriangleMesh() const
    {
        const PxVec3 a = scale.abs();
        return a.maxElement() <= PX_MESH_SCALE_MAX && a.minElement() >= PX_MESH_SCALE_MIN;
    }

    PxVec3 scale;
    PxQuat rotation;
};

struct PxMeshGeometryFlag {
    enum Enum { eTIGHT_BOUNDS = (1 << 0), eDOUBLE_SIDED = (1 << 1) };
};
using PxMeshGeometryFlags = PxFlags<PxMeshGeometryFlag::Enum, PxU8>;
PX_FLAGS_OPERATORS(PxMeshGeometryFlag::Enum, PxU8)

class PxTriangleMeshGeometry : public PxGeometry {
public:
    PxTriangleMeshGeometry(PxTriangleMesh* mesh = nullptr, const PxMeshScale& scaling = PxMeshScale(),
        PxMeshGeometryFlags flags = PxMeshGeometryFlags())
        : PxGeometry(PxGeometryType::eTRIANGLEMESH)
        , scale(scaling)
        , meshFlags(flags)
        , triangleMesh(mesh)
    {
    }
    bool isValid() const
    {
        return mType == PxGeometryType::eTRIANGLEMESH && triangleMesh != nullptr && scale.isValidForTriangleMesh();
    }

    PxMeshScale scale;
    PxMeshGeometryFlags meshFlags;
    PxU8 paddingFromFlags[3] = {};
    PxTriangleMesh* triangleMesh;
};

// Holds any of the geometries above by value.
class PxGeometryHolder {
public:
    PxGeometryHolder()
        : mSphere()
    {
    }
    explicit PxGeometryHolder(const PxGeometry& geometry)
        : mSphere()
    {
        storeAny(geometry);
    }

    PxGeometryType::Enum getType() const { return any().getType(); }
    const PxGeometry& any() const { return *reinterpret_cast<const PxGeometry*>(&mStorage); }
    PxGeometry& any() { return *reinterpret_cast<PxGeometry*>(&mStorage); }
    const PxBoxGeometry& box() const { return mBox; }
    const PxSphereGeometry& sphere() const { return mSphere; }
    const PxTriangleMeshGeometry& triangleMesh() const { return mMesh; }

    // Stores box, sphere and triangle-mesh geometry; other types leave the holder unchanged.
    void storeAny(const PxGeometry& geometry)
    {
        switch (geometry.getType()) {
        case PxGeometryType::eBOX: mBox = static_cast<const PxBoxGeometry&>(geometry); break;
        case PxGeometryType::eSPHERE: mSphere = static_cast<const PxSphereGeometry&>(geometry); break;
        case PxGeometryType::eTRIANGLEMESH: mMesh = static_cast<const PxTriangleMeshGeometry&>(geometry); break;
        default: break;
        }
    }

private:
    union {
        PxBoxGeometry mBox;
        PxSphereGeometry mSphere;
        PxTriangleMeshGeometry mMesh;
        unsigned char mStorage[sizeof(PxTriangleMeshGeometry)];
    };
};

} // namespace physx
