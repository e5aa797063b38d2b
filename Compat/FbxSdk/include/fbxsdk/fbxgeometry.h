// Node attributes, geometry with its layer elements, meshes, skins and clusters.
#pragma once

#include "fbxobject.h"

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace fbxsdk {

class FbxNode;
class FbxSurfaceMaterial;
class FbxSkin;
class FbxCluster;

namespace internal {

// Storage of the arrays the file reader decodes into. A large array's block is kept when the array
// is freed and handed to the next large array it fits (the next mesh, the next import): a fresh
// block's pages would be cleared by the kernel as they are first written. Any thread.
void* AllocateDecodeTarget(std::size_t bytes);
void ReleaseDecodeTarget(void* block, std::size_t bytes) noexcept;

// The allocator of the arrays the file reader decodes into: growing one without a value leaves the
// new elements unwritten instead of value-initialising them, because the decoder writes every one of
// them next, and a million-triangle mesh's normals alone are 96 MB written twice otherwise. Only
// for types that may live in memory as it is (trivially copyable and destructible); growing with a
// value, as Resize does, still writes it. Storage comes from AllocateDecodeTarget.
template <class T>
struct DecodeTargetAllocator : std::allocator<T> {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    template <class U>
    struct rebind {
        using other = DecodeTargetAllocator<U>;
    };
    DecodeTargetAllocator() = default;
    template <class U>
    DecodeTargetAllocator(const DecodeTargetAllocator<U>&) noexcept
    {
    }
    template <class U>
    void construct(U*) noexcept
    {
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    T* allocate(std::size_t count)
    {
        if (count > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(AllocateDecodeTarget(count * sizeof(T)));
    }
    void deallocate(T* items, std::size_t count) noexcept { ReleaseDecodeTarget(items, count * sizeof(T)); }
};

// Index arrays are decoded by the reader's own routine into standard vectors.
template <class T>
using LayerElementStorage
    = std::conditional_t<std::is_same_v<T, int>, std::vector<int>, std::vector<T, DecodeTargetAllocator<T>>>;

} // namespace internal

// Array of a layer element. Reading outside the array gives a value-initialised element
// (zero vector, null pointer, index 0) instead of touching memory it does not own.
template <class T>
class FbxLayerElementArrayTemplate {
public:
    using Storage = internal::LayerElementStorage<T>;

    int GetCount() const { return static_cast<int>(mItems.size()); }
    T GetAt(int index) const { return index >= 0 && index < GetCount() ? mItems[std::size_t(index)] : T(); }
    T operator[](int index) const { return GetAt(index); }
    bool SetAt(int index, const T& value)
    {
        if (index < 0 || index >= GetCount())
            return false;
        mItems[std::size_t(index)] = value;
        return true;
    }
    int Add(const T& value)
    {
        mItems.push_back(value);
        return GetCount() - 1;
    }
    void Resize(int count) { mItems.resize(count > 0 ? std::size_t(count) : 0, T()); }
    void Clear() { mItems.clear(); }

    Storage& Items() { return mItems; }
    const Storage& Items() const { return mItems; }

private:
    Storage mItems;
};

// The untyped view the SDK exposes for counting.
using FbxLayerElementArray = FbxLayerElementArrayTemplate<int>;

class FbxLayerElement {
public:
    enum EType {
        eUnknown,
        eNormal,
        eBinormal,
        eTangent,
        eMaterial,
        ePolygonGroup,
        eUV,
        eVertexColor,
        eSmoothing,
        eVertexCrease,
        eEdgeCrease,
        eHole,
        eUserData,
        eVisibility,
        eTextureDiffuse,
        eTextureDiffuseFactor,
        eTextureEmissive,
        eTextureEmissiveFactor,
        eTextureAmbient,
        eTextureAmbientFactor,
        eTextureSpecular,
        eTextureSpecularFactor,
        eTextureShininess,
        eTextureNormalMap,
        eTextureBump,
        eTextureTransparency,
        eTextureTransparencyFactor,
        eTextureReflection,
        eTextureReflectionFactor,
        eTextureDisplacement,
        eTextureDisplacementVector,
        eTypeCount
    };
    enum EMappingMode { eNone, eByControlPoint, eByPolygonVertex, eByPolygon, eByEdge, eAllSame };
    enum EReferenceMode { eDirect, eIndex, eIndexToDirect };

    virtual ~FbxLayerElement() = default;
    EMappingMode GetMappingMode() const { return mMappingMode; }
    EReferenceMode GetReferenceMode() const { return mReferenceMode; }
    void SetMappingMode(EMappingMode mode) { mMappingMode = mode; }
    void SetReferenceMode(EReferenceMode mode) { mReferenceMode = mode; }
    const char* GetName() const { return mName.c_str(); }
    void SetName(const char* name) { mName = name ? name : ""; }

private:
    EMappingMode mMappingMode = eNone;
    EReferenceMode mReferenceMode = eDirect;
    std::string mName;
};

template <class T>
class FbxLayerElementTemplate : public FbxLayerElement {
public:
    FbxLayerElementArrayTemplate<T>& GetDirectArray() { return mDirect; }
    const FbxLayerElementArrayTemplate<T>& GetDirectArray() const { return mDirect; }
    FbxLayerElementArrayTemplate<int>& GetIndexArray() { return mIndex; }
    const FbxLayerElementArrayTemplate<int>& GetIndexArray() const { return mIndex; }

private:
    FbxLayerElementArrayTemplate<T> mDirect;
    FbxLayerElementArrayTemplate<int> mIndex;
};

class FbxLayerElementNormal : public FbxLayerElementTemplate<FbxVector4> {};
class FbxLayerElementBinormal : public FbxLayerElementTemplate<FbxVector4> {};
class FbxLayerElementTangent : public FbxLayerElementTemplate<FbxVector4> {};
class FbxLayerElementUV : public FbxLayerElementTemplate<FbxVector2> {};
class FbxLayerElementVertexColor : public FbxLayerElementTemplate<FbxColor> {};
// Materials are addressed through the index array; its values are the node's material slots.
class FbxLayerElementMaterial : public FbxLayerElementTemplate<FbxSurfaceMaterial*> {};

class FbxNodeAttribute : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxNodeAttribute, FbxObject)
    enum EType {
        eUnknown,
        eNull,
        eMarker,
        eSkeleton,
        eMesh,
        eNurbs,
        ePatch,
        eCamera,
        eCameraStereo,
        eCameraSwitcher,
        eLight,
        eOpticalReference,
        eOpticalMarker,
        eNurbsCurve,
        eTrimNurbsSurface,
        eBoundary,
        eNurbsSurface,
        eShape,
        eLODGroup,
        eSubDiv,
        eCachedEffect,
        eLine
    };
    virtual EType GetAttributeType() const { return mType; }
    FbxNode* GetNode(int index = 0) const;
    int GetNodeCount() const { return static_cast<int>(mNodes.size()); }

protected:
    FbxNodeAttribute(
        FbxManager* manager, const char* name, EType type, const internal::PropertyList* classProperties = nullptr)
        : FbxObject(manager, name, classProperties)
        , mType(type)
    {
    }

private:
    friend class FbxNode;
    EType mType;
    std::vector<FbxNode*> mNodes;
};

class FbxNull : public FbxNodeAttribute {
    FBXSDK_OBJECT_DECLARE(FbxNull, FbxNodeAttribute)
protected:
    FbxNull(FbxManager* manager, const char* name)
        : FbxNodeAttribute(manager, name, eNull)
    {
    }
};

class FbxSkeleton : public FbxNodeAttribute {
    FBXSDK_OBJECT_DECLARE(FbxSkeleton, FbxNodeAttribute)
    enum EType { eRoot, eLimb, eLimbNode, eEffector };
    EType GetSkeletonType() const { return mSkeletonType; }

protected:
    FbxSkeleton(FbxManager* manager, const char* name)
        : FbxNodeAttribute(manager, name, FbxNodeAttribute::eSkeleton)
    {
    }

private:
    EType mSkeletonType = eLimbNode;
};

class FbxLODGroup : public FbxNodeAttribute {
    FBXSDK_OBJECT_DECLARE(FbxLODGroup, FbxNodeAttribute)
    FbxPropertyT<bool> ThresholdsUsedAsPercentage;
    int GetNumThresholds() const;
    // Threshold `index` starts LOD level index + 1. False when there is no such threshold or
    // the thresholds are percentages.
    bool GetThreshold(int index, FbxDistance& distance) const;
    bool GetThreshold(int index, double& percentage) const;

protected:
    FbxLODGroup(FbxManager* manager, const char* name);

private:
    std::vector<FbxDistance> mThresholds;
    std::vector<double> mPercentages;
};

class FbxGeometryBase : public FbxNodeAttribute {
    FBXSDK_OBJECT_DECLARE(FbxGeometryBase, FbxNodeAttribute)
    int GetControlPointsCount() const { return static_cast<int>(mControlPoints.size()); }
    FbxVector4* GetControlPoints() { return mControlPoints.data(); }
    const FbxVector4* GetControlPoints() const { return mControlPoints.data(); }
    // Outside the array: the zero point.
    FbxVector4 GetControlPointAt(int index) const;
    void SetControlPointAt(const FbxVector4& point, int index);
    void InitControlPoints(int count)
    {
        mControlPoints.assign(count > 0 ? std::size_t(count) : 0, FbxVector4(0, 0, 0, 1));
    }

    int GetElementNormalCount() const { return static_cast<int>(mNormals.size()); }
    int GetElementBinormalCount() const { return static_cast<int>(mBinormals.size()); }
    int GetElementTangentCount() const { return static_cast<int>(mTangents.size()); }
    int GetElementVertexColorCount() const { return static_cast<int>(mColors.size()); }
    int GetElementMaterialCount() const { return static_cast<int>(mMaterials.size()); }
    // UV sets are not tied to a texture channel in FBX 7 files, so every type selects all.
    int GetElementUVCount(FbxLayerElement::EType type = FbxLayerElement::eUnknown) const;

    FbxLayerElementNormal* GetElementNormal(int index = 0) { return At(mNormals, index); }
    FbxLayerElementBinormal* GetElementBinormal(int index = 0) { return At(mBinormals, index); }
    FbxLayerElementTangent* GetElementTangent(int index = 0) { return At(mTangents, index); }
    FbxLayerElementVertexColor* GetElementVertexColor(int index = 0) { return At(mColors, index); }
    FbxLayerElementMaterial* GetElementMaterial(int index = 0) { return At(mMaterials, index); }
    FbxLayerElementUV* GetElementUV(int index = 0, FbxLayerElement::EType type = FbxLayerElement::eUnknown);
    const FbxLayerElementNormal* GetElementNormal(int index = 0) const { return At(mNormals, index); }
    const FbxLayerElementBinormal* GetElementBinormal(int index = 0) const { return At(mBinormals, index); }
    const FbxLayerElementTangent* GetElementTangent(int index = 0) const { return At(mTangents, index); }
    const FbxLayerElementVertexColor* GetElementVertexColor(int index = 0) const { return At(mColors, index); }
    const FbxLayerElementMaterial* GetElementMaterial(int index = 0) const { return At(mMaterials, index); }
    const FbxLayerElementUV* GetElementUV(int index = 0, FbxLayerElement::EType type = FbxLayerElement::eUnknown) const;

    FbxLayerElementNormal* CreateElementNormal() { return Make(mNormals); }
    FbxLayerElementBinormal* CreateElementBinormal() { return Make(mBinormals); }
    FbxLayerElementTangent* CreateElementTangent() { return Make(mTangents); }
    FbxLayerElementVertexColor* CreateElementVertexColor() { return Make(mColors); }
    FbxLayerElementMaterial* CreateElementMaterial() { return Make(mMaterials); }
    FbxLayerElementUV* CreateElementUV(const char* uvSetName);

protected:
    FbxGeometryBase(FbxManager* manager, const char* name, EType type)
        : FbxNodeAttribute(manager, name, type)
    {
    }

    template <class E>
    static E* At(const std::vector<std::unique_ptr<E>>& list, int index)
    {
        return index >= 0 && index < static_cast<int>(list.size()) ? list[std::size_t(index)].get() : nullptr;
    }
    template <class E>
    static E* Make(std::vector<std::unique_ptr<E>>& list)
    {
        list.push_back(std::make_unique<E>());
        return list.back().get();
    }

    internal::LayerElementStorage<FbxVector4> mControlPoints; // decoded into like a layer element's values
    std::vector<std::unique_ptr<FbxLayerElementNormal>> mNormals;
    std::vector<std::unique_ptr<FbxLayerElementBinormal>> mBinormals;
    std::vector<std::unique_ptr<FbxLayerElementTangent>> mTangents;
    std::vector<std::unique_ptr<FbxLayerElementUV>> mUVs;
    std::vector<std::unique_ptr<FbxLayerElementVertexColor>> mColors;
    std::vector<std::unique_ptr<FbxLayerElementMaterial>> mMaterials;
};

class FbxDeformer : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxDeformer, FbxObject)
    enum EDeformerType { eUnknown, eSkin, eBlendShape, eVertexCache };
    virtual EDeformerType GetDeformerType() const { return eUnknown; }

protected:
    FbxDeformer(FbxManager* manager, const char* name)
        : FbxObject(manager, name)
    {
    }
};

class FbxGeometry : public FbxGeometryBase {
    FBXSDK_OBJECT_DECLARE(FbxGeometry, FbxGeometryBase)
    int GetDeformerCount() const { return static_cast<int>(mDeformers.size()); }
    int GetDeformerCount(FbxDeformer::EDeformerType type) const;
    FbxDeformer* GetDeformer(int index, FbxStatus* status = nullptr) const;
    // The index-th deformer of that type (not the index-th deformer overall).
    FbxDeformer* GetDeformer(int index, FbxDeformer::EDeformerType type, FbxStatus* status = nullptr) const;
    int AddDeformer(FbxDeformer* deformer);

protected:
    FbxGeometry(FbxManager* manager, const char* name, EType type)
        : FbxGeometryBase(manager, name, type)
    {
    }

private:
    std::vector<FbxDeformer*> mDeformers;
};

class FbxMesh : public FbxGeometry {
    FBXSDK_OBJECT_DECLARE(FbxMesh, FbxGeometry)
    int GetPolygonCount() const { return static_cast<int>(mPolygonStarts.size()) - 1; }
    // -1 for a polygon that does not exist. Defined here, with GetPolygonVertexIndex, because the
    // checks that a mesh is all triangles call it for every polygon, several times in one import.
    int GetPolygonSize(int polygon) const
    {
        if (polygon < 0 || polygon >= GetPolygonCount())
            return -1;
        return mPolygonStarts[std::size_t(polygon) + 1] - mPolygonStarts[std::size_t(polygon)];
    }
    // -1 for a polygon or corner that does not exist.
    int GetPolygonVertex(int polygon, int corner) const;
    int GetPolygonVertexIndex(int polygon) const
    {
        if (polygon < 0 || polygon >= GetPolygonCount())
            return -1;
        return mPolygonStarts[std::size_t(polygon)];
    }
    int GetPolygonVertexCount() const { return static_cast<int>(mPolygonVertices.size()); }
    int* GetPolygonVertices() { return mPolygonVertices.data(); }
    const int* GetPolygonVertices() const { return mPolygonVertices.data(); }

    // The UV index of a corner in the first UV set; -1 unless that set maps by polygon vertex.
    int GetTextureUVIndex(
        int polygon, int corner, FbxLayerElement::EType type = FbxLayerElement::eTextureDiffuse) const;
    int GetUVLayerCount() const { return GetElementUVCount(); }
    // Creates a UV set (mapped by control point, direct) of `count` zero coordinates when the
    // mesh has none; otherwise resizes the first set's direct array.
    void InitTextureUV(int count, FbxLayerElement::EType type = FbxLayerElement::eTextureDiffuse);
    // Tangents and binormals from the UV set `uvSet`, the tangent's w holding its flip: stored by
    // control point (direct) when every corner of a point shares UV and normal, otherwise by polygon
    // vertex through an index. True when generated, or already present and not overwritten; false
    // without that UV set or with an unusable one.
    bool GenerateTangentsData(int uvSet, bool overwrite = false, bool ignoreTangentFlip = false);
    // Smooth normals (one per control point, area-weighted), in the first normal element: stored by
    // control point or, without `byControlPoint`, the same values by polygon vertex. Counter-clockwise
    // polygons get normals on the side they are counter-clockwise seen from; `clockwise` turns that
    // round. True when generated, or already present and not overwritten.
    bool GenerateNormals(bool overwrite = false, bool byControlPoint = false, bool clockwise = false);

    // Polygon building, as the SDK offers it.
    void BeginPolygon(int material = -1, int texture = -1, int group = -1, bool legacy = true);
    void AddPolygon(int index, int textureUVIndex = -1);
    void EndPolygon();

protected:
    FbxMesh(FbxManager* manager, const char* name)
        : FbxGeometry(manager, name, eMesh)
    {
    }

private:
    friend class FbxGeometryConverter;
    std::vector<int> mPolygonVertices; // control point of each polygon vertex
    std::vector<int> mPolygonStarts = { 0 }; // first polygon vertex of each polygon, then the end
};

class FbxSkin : public FbxDeformer {
    FBXSDK_OBJECT_DECLARE(FbxSkin, FbxDeformer)
    EDeformerType GetDeformerType() const override { return eSkin; }
    int GetClusterCount() const { return static_cast<int>(mClusters.size()); }
    FbxCluster* GetCluster(int index) const;
    bool AddCluster(FbxCluster* cluster);

protected:
    FbxSkin(FbxManager* manager, const char* name)
        : FbxDeformer(manager, name)
    {
    }

private:
    std::vector<FbxCluster*> mClusters;
};

class FbxCluster : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxCluster, FbxObject)
    FbxNode* GetLink() const { return mLink; }
    void SetLink(FbxNode* node) { mLink = node; }
    // The mesh node's global transform at bind time.
    FbxAMatrix& GetTransformMatrix(FbxAMatrix& matrix) const { return matrix = mTransform; }
    // The bone's global transform at bind time.
    FbxAMatrix& GetTransformLinkMatrix(FbxAMatrix& matrix) const { return matrix = mTransformLink; }
    void SetTransformMatrix(const FbxAMatrix& m) { mTransform = m; }
    void SetTransformLinkMatrix(const FbxAMatrix& m) { mTransformLink = m; }
    int GetControlPointIndicesCount() const { return static_cast<int>(mIndices.size()); }
    int* GetControlPointIndices() const { return const_cast<int*>(mIndices.data()); }
    double* GetControlPointWeights() const { return const_cast<double*>(mWeights.data()); }
    void AddControlPointIndex(int index, double weight);

protected:
    FbxCluster(FbxManager* manager, const char* name)
        : FbxObject(manager, name)
    {
    }

private:
    FbxNode* mLink = nullptr;
    FbxAMatrix mTransform;
    FbxAMatrix mTransformLink;
    std::vector<int> mIndices;
    std::vector<double> mWeights;
};

} // namespace fbxsdk
