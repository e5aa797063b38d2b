// Nodes: hierarchy, attributes, materials and the transform chain.
#include "Source/FbxTransformMath.h"

#include <fbxsdk.h>

namespace fbxsdk {

namespace {
FbxVector4 Vec(const FbxPropertyT<FbxDouble3>& p)
{
    FbxDouble3 v = p.Get();
    return FbxVector4(v[0], v[1], v[2], 0.0);
}

FbxAMatrix Translation(const FbxVector4& t)
{
    FbxAMatrix m;
    m.SetT(t);
    return m;
}

FbxAMatrix Rotation(const FbxVector4& degrees, EFbxRotationOrder order)
{
    const double angles[3] = { degrees[0], degrees[1], degrees[2] };
    return internal::Compose(internal::EulerToMatrix(angles, order), FbxVector4(0, 0, 0));
}

FbxAMatrix Scaling(const FbxVector4& s)
{
    FbxAMatrix m;
    m[0][0] = s[0];
    m[1][1] = s[1];
    m[2][2] = s[2];
    return m;
}
} // namespace

namespace {
// What every node has, with the defaults a file's template or the node's own values replace.
const internal::PropertyList& NodeProperties()
{
    static const internal::PropertyList properties = [] {
        internal::PropertyList list;
        auto add = [&list](const char* name, const char* type, double value, int count) {
            internal::PropertyRecord record;
            record.name = name;
            record.type = type;
            for (int k = 0; k < count; ++k)
                record.values[k] = value;
            list.Add(std::move(record));
        };
        add("Lcl Translation", "Lcl Translation", 0, 3);
        add("Lcl Rotation", "Lcl Rotation", 0, 3);
        add("Lcl Scaling", "Lcl Scaling", 1, 3);
        add("RotationOffset", "Vector3D", 0, 3);
        add("RotationPivot", "Vector3D", 0, 3);
        add("ScalingOffset", "Vector3D", 0, 3);
        add("ScalingPivot", "Vector3D", 0, 3);
        add("PreRotation", "Vector3D", 0, 3);
        add("PostRotation", "Vector3D", 0, 3);
        add("RotationActive", "bool", 0, 1);
        add("RotationOrder", "enum", 0, 1);
        add("InheritType", "enum", 0, 1);
        add("GeometricTranslation", "Vector3D", 0, 3);
        add("GeometricRotation", "Vector3D", 0, 3);
        add("GeometricScaling", "Vector3D", 1, 3);
        list.IndexNames();
        return list;
    }();
    return properties;
}
} // namespace

FbxNode::FbxNode(FbxManager* manager, const char* name)
    : FbxObject(manager, name, &NodeProperties())
{
    auto vector3 = [this](const char* n) { return FbxPropertyT<FbxDouble3>(ClassProperty(n)); };
    LclTranslation = vector3("Lcl Translation");
    LclRotation = vector3("Lcl Rotation");
    LclScaling = vector3("Lcl Scaling");
    RotationOffset = vector3("RotationOffset");
    RotationPivot = vector3("RotationPivot");
    ScalingOffset = vector3("ScalingOffset");
    ScalingPivot = vector3("ScalingPivot");
    PreRotation = vector3("PreRotation");
    PostRotation = vector3("PostRotation");
    RotationActive = FbxPropertyT<FbxBool>(ClassProperty("RotationActive"));
    RotationOrder = FbxPropertyT<EFbxRotationOrder>(ClassProperty("RotationOrder"));
    InheritType = FbxPropertyT<EFbxInheritType>(ClassProperty("InheritType"));
    GeometricTranslation = vector3("GeometricTranslation");
    GeometricRotation = vector3("GeometricRotation");
    GeometricScaling = vector3("GeometricScaling");
}

int FbxNode::GetChildCount(bool recursive) const
{
    int count = static_cast<int>(mChildren.size());
    if (recursive)
        for (const FbxNode* child : mChildren)
            count += child->GetChildCount(true);
    return count;
}

FbxNode* FbxNode::GetChild(int index) const
{
    return index >= 0 && index < static_cast<int>(mChildren.size()) ? mChildren[std::size_t(index)] : nullptr;
}

FbxMesh* FbxNode::GetMesh() const
{
    return mAttribute && mAttribute->GetAttributeType() == FbxNodeAttribute::eMesh ? static_cast<FbxMesh*>(mAttribute)
                                                                                   : nullptr;
}

FbxLODGroup* FbxNode::GetLodGroup() const
{
    return mAttribute && mAttribute->GetAttributeType() == FbxNodeAttribute::eLODGroup
        ? static_cast<FbxLODGroup*>(mAttribute)
        : nullptr;
}

FbxSkeleton* FbxNode::GetSkeleton() const
{
    return mAttribute && mAttribute->GetAttributeType() == FbxNodeAttribute::eSkeleton
        ? static_cast<FbxSkeleton*>(mAttribute)
        : nullptr;
}

FbxNull* FbxNode::GetNull() const
{
    return mAttribute && mAttribute->GetAttributeType() == FbxNodeAttribute::eNull ? static_cast<FbxNull*>(mAttribute)
                                                                                   : nullptr;
}

FbxSurfaceMaterial* FbxNode::GetMaterial(int index) const
{
    return index >= 0 && index < GetMaterialCount() ? mMaterials[std::size_t(index)] : nullptr;
}

FbxVector4 FbxNode::GetRotationOffset(EPivotSet) const
{
    return Vec(RotationOffset);
}
FbxVector4 FbxNode::GetRotationPivot(EPivotSet) const
{
    return Vec(RotationPivot);
}
FbxVector4 FbxNode::GetScalingOffset(EPivotSet) const
{
    return Vec(ScalingOffset);
}
FbxVector4 FbxNode::GetScalingPivot(EPivotSet) const
{
    return Vec(ScalingPivot);
}
FbxVector4 FbxNode::GetPreRotation(EPivotSet) const
{
    return Vec(PreRotation);
}
FbxVector4 FbxNode::GetPostRotation(EPivotSet) const
{
    return Vec(PostRotation);
}
FbxVector4 FbxNode::GetGeometricTranslation(EPivotSet) const
{
    return Vec(GeometricTranslation);
}
FbxVector4 FbxNode::GetGeometricRotation(EPivotSet) const
{
    return Vec(GeometricRotation);
}
FbxVector4 FbxNode::GetGeometricScaling(EPivotSet) const
{
    return Vec(GeometricScaling);
}

void FbxNode::GetRotationOrder(EPivotSet, EFbxRotationOrder& order) const
{
    int value = static_cast<int>(RotationOrder.Get());
    order = value >= eEulerXYZ && value <= eSphericXYZ ? static_cast<EFbxRotationOrder>(value) : eEulerXYZ;
}

void FbxNode::GetTransformationInheritType(EFbxInheritType& type) const
{
    int value = static_cast<int>(InheritType.Get());
    type = value >= eInheritRrSs && value <= eInheritRrs ? static_cast<EFbxInheritType>(value) : eInheritRrSs;
}

FbxAMatrix& FbxNode::EvaluateLocalTransform(FbxTime, EPivotSet set, bool, bool)
{
    const internal::NodeRotation rotation = internal::EffectiveRotation(*this, set);
    const FbxVector4 pivot = GetRotationPivot(set), scalingPivot = GetScalingPivot(set);
    mLocalCache = Translation(Vec(LclTranslation)) * Translation(GetRotationOffset(set)) * Translation(pivot)
        * Rotation(rotation.pre, eEulerXYZ) * Rotation(Vec(LclRotation), rotation.order)
        * Rotation(rotation.post, eEulerXYZ).Inverse() * Translation(pivot * -1.0) * Translation(GetScalingOffset(set))
        * Translation(scalingPivot) * Scaling(Vec(LclScaling)) * Translation(scalingPivot * -1.0);
    return mLocalCache;
}

// The SDK's global transform: the translation is the parent's global transform applied to the local
// translation (pivots and offsets included), while rotation and scaling combine by the node's inherit
// type. With RSrs that is the plain product of parent and local; RrSs puts the parent's scaling after
// the child's rotation, so no shear arises; Rrs leaves the parent's own scaling out.
FbxAMatrix& FbxNode::EvaluateGlobalTransform(FbxTime time, EPivotSet set, bool applyTarget, bool forceEval)
{
    // Walk down from the topmost ancestor without recursion; the reader bounds the depth.
    std::vector<FbxNode*> chain;
    for (FbxNode* n = this; n; n = n->mParent)
        chain.push_back(n);
    FbxAMatrix global;
    bool first = true;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        FbxNode* node = *it;
        FbxAMatrix local = node->EvaluateLocalTransform(time, set, applyTarget, forceEval);
        if (first) {
            global = local;
            first = false;
            continue;
        }
        EFbxInheritType inherit;
        node->GetTransformationInheritType(inherit);
        internal::Matrix3 parentRotation = internal::RotationPart(global);
        internal::Matrix3 parentLinear = internal::LinearPart(global);
        internal::Matrix3 parentScale = internal::Inverse(parentRotation) * parentLinear;
        const internal::NodeRotation rotation = internal::EffectiveRotation(*node, set);
        const FbxVector4 angles = Vec(node->LclRotation), scaling = Vec(node->LclScaling);
        const double preAngles[3] = { rotation.pre[0], rotation.pre[1], rotation.pre[2] };
        const double postAngles[3] = { rotation.post[0], rotation.post[1], rotation.post[2] };
        const double lclAngles[3] = { angles[0], angles[1], angles[2] };
        internal::Matrix3 localRotation = internal::EulerToMatrix(preAngles, eEulerXYZ)
            * internal::EulerToMatrix(lclAngles, rotation.order)
            * internal::EulerToMatrix(postAngles, eEulerXYZ).Transposed();
        internal::Matrix3 localScale = internal::Matrix3::Identity();
        for (int k = 0; k < 3; ++k)
            localScale.m[k][k] = scaling[k];
        internal::Matrix3 linear;
        switch (inherit) {
        case eInheritRSrs: linear = parentLinear * localRotation * localScale; break;
        case eInheritRrs: {
            // The parent's own scaling is compensated; its ancestors' still applies.
            FbxNode* parent = node->mParent;
            FbxVector4 ps = Vec(parent->LclScaling);
            internal::Matrix3 inverseParentLocal = internal::Matrix3::Identity();
            for (int k = 0; k < 3; ++k)
                inverseParentLocal.m[k][k] = ps[k] != 0.0 ? 1.0 / ps[k] : 1.0;
            linear = parentRotation * localRotation * (parentScale * inverseParentLocal) * localScale;
            break;
        }
        default: linear = parentRotation * localRotation * parentScale * localScale; break;
        }
        FbxVector4 translation = global.MultT(local.GetT());
        global = internal::Compose(linear, translation);
    }
    mGlobalCache = global;
    return mGlobalCache;
}

namespace internal {

NodeRotation EffectiveRotation(const FbxNode& node, FbxNode::EPivotSet set)
{
    NodeRotation rotation;
    if (!node.RotationActive.Get())
        return rotation;
    node.GetRotationOrder(set, rotation.order);
    rotation.pre = node.GetPreRotation(set);
    rotation.post = node.GetPostRotation(set);
    return rotation;
}

} // namespace internal

} // namespace fbxsdk
