// Node attributes, geometry, meshes and deformers.
#include <fbxsdk.h>

#include "Platform/RecycledBlocks.h"

#include <algorithm>

namespace fbxsdk {

void* internal::AllocateDecodeTarget(std::size_t bytes)
{
    return AcquireBlock(bytes);
}

void internal::ReleaseDecodeTarget(void* block, std::size_t bytes) noexcept
{
    ReleaseBlock(block, bytes);
}

FbxNode* FbxNodeAttribute::GetNode(int index) const
{
    return index >= 0 && index < GetNodeCount() ? mNodes[std::size_t(index)] : nullptr;
}

namespace {
const internal::PropertyList& LodGroupProperties()
{
    static const internal::PropertyList properties = [] {
        internal::PropertyList list;
        internal::PropertyRecord percentages;
        percentages.name = "ThresholdsUsedAsPercentage";
        percentages.type = "bool";
        list.Add(std::move(percentages));
        return list;
    }();
    return properties;
}
} // namespace

FbxLODGroup::FbxLODGroup(FbxManager* manager, const char* name)
    : FbxNodeAttribute(manager, name, eLODGroup, &LodGroupProperties())
{
    ThresholdsUsedAsPercentage = FbxPropertyT<bool>(ClassProperty("ThresholdsUsedAsPercentage"));
}

int FbxLODGroup::GetNumThresholds() const
{
    return static_cast<int>(ThresholdsUsedAsPercentage.Get() ? mPercentages.size() : mThresholds.size());
}

bool FbxLODGroup::GetThreshold(int index, FbxDistance& distance) const
{
    if (ThresholdsUsedAsPercentage.Get() || index < 0 || index >= static_cast<int>(mThresholds.size()))
        return false;
    distance = mThresholds[std::size_t(index)];
    return true;
}

bool FbxLODGroup::GetThreshold(int index, double& percentage) const
{
    if (!ThresholdsUsedAsPercentage.Get() || index < 0 || index >= static_cast<int>(mPercentages.size()))
        return false;
    percentage = mPercentages[std::size_t(index)];
    return true;
}

FbxVector4 FbxGeometryBase::GetControlPointAt(int index) const
{
    if (index < 0 || index >= GetControlPointsCount())
        return FbxVector4(0, 0, 0, 0);
    return mControlPoints[std::size_t(index)];
}

void FbxGeometryBase::SetControlPointAt(const FbxVector4& point, int index)
{
    if (index < 0)
        return;
    if (index >= GetControlPointsCount())
        mControlPoints.resize(std::size_t(index) + 1, FbxVector4(0, 0, 0, 1));
    mControlPoints[std::size_t(index)] = point;
}

int FbxGeometryBase::GetElementUVCount(FbxLayerElement::EType) const
{
    return static_cast<int>(mUVs.size());
}

FbxLayerElementUV* FbxGeometryBase::GetElementUV(int index, FbxLayerElement::EType)
{
    return At(mUVs, index);
}

const FbxLayerElementUV* FbxGeometryBase::GetElementUV(int index, FbxLayerElement::EType) const
{
    return At(mUVs, index);
}

FbxLayerElementUV* FbxGeometryBase::CreateElementUV(const char* uvSetName)
{
    FbxLayerElementUV* uv = Make(mUVs);
    uv->SetName(uvSetName);
    return uv;
}

int FbxGeometry::GetDeformerCount(FbxDeformer::EDeformerType type) const
{
    return static_cast<int>(std::count_if(
        mDeformers.begin(), mDeformers.end(), [type](FbxDeformer* d) { return d->GetDeformerType() == type; }));
}

FbxDeformer* FbxGeometry::GetDeformer(int index, FbxStatus* status) const
{
    if (index < 0 || index >= GetDeformerCount()) {
        if (status)
            status->SetCode(FbxStatus::eIndexOutOfRange, "deformer index out of range");
        return nullptr;
    }
    return mDeformers[std::size_t(index)];
}

FbxDeformer* FbxGeometry::GetDeformer(int index, FbxDeformer::EDeformerType type, FbxStatus* status) const
{
    int seen = 0;
    for (FbxDeformer* d : mDeformers)
        if (d->GetDeformerType() == type && seen++ == index)
            return d;
    if (status)
        status->SetCode(FbxStatus::eIndexOutOfRange, "deformer index out of range");
    return nullptr;
}

int FbxGeometry::AddDeformer(FbxDeformer* deformer)
{
    if (!deformer)
        return -1;
    mDeformers.push_back(deformer);
    ConnectSrcObject(deformer);
    return GetDeformerCount() - 1;
}

int FbxMesh::GetPolygonVertex(int polygon, int corner) const
{
    int size = GetPolygonSize(polygon);
    if (size < 0 || corner < 0 || corner >= size)
        return -1;
    return mPolygonVertices[std::size_t(mPolygonStarts[std::size_t(polygon)] + corner)];
}

int FbxMesh::GetTextureUVIndex(int polygon, int corner, FbxLayerElement::EType) const
{
    const FbxLayerElementUV* uv = GetElementUV(0);
    int size = GetPolygonSize(polygon);
    if (!uv || size < 0 || corner < 0 || corner >= size)
        return -1;
    if (uv->GetMappingMode() != FbxLayerElement::eByPolygonVertex)
        return -1;
    int polygonVertex = mPolygonStarts[std::size_t(polygon)] + corner;
    if (uv->GetReferenceMode() == FbxLayerElement::eDirect)
        return polygonVertex;
    return uv->GetIndexArray().GetAt(polygonVertex);
}

void FbxMesh::InitTextureUV(int count, FbxLayerElement::EType)
{
    FbxLayerElementUV* uv = GetElementUV(0);
    if (!uv) {
        uv = CreateElementUV("UVChannel_1");
        uv->SetMappingMode(FbxLayerElement::eByControlPoint);
        uv->SetReferenceMode(FbxLayerElement::eDirect);
    }
    uv->GetDirectArray().Resize(count);
}

void FbxMesh::BeginPolygon(int, int, int, bool)
{
}

void FbxMesh::AddPolygon(int index, int)
{
    mPolygonVertices.push_back(index);
}

void FbxMesh::EndPolygon()
{
    if (static_cast<int>(mPolygonVertices.size()) > mPolygonStarts.back())
        mPolygonStarts.push_back(static_cast<int>(mPolygonVertices.size()));
}

FbxCluster* FbxSkin::GetCluster(int index) const
{
    return index >= 0 && index < GetClusterCount() ? mClusters[std::size_t(index)] : nullptr;
}

bool FbxSkin::AddCluster(FbxCluster* cluster)
{
    if (!cluster)
        return false;
    mClusters.push_back(cluster);
    ConnectSrcObject(cluster);
    return true;
}

void FbxCluster::AddControlPointIndex(int index, double weight)
{
    mIndices.push_back(index);
    mWeights.push_back(weight);
}

} // namespace fbxsdk
