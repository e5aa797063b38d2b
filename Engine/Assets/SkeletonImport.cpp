#include "Assets/SkeletonImport.h"

#include <algorithm>

using namespace fbxsdk;

namespace {

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Row r, component c of an FBX matrix, in single precision and not transposed.
Matrix4x4 ToMatrix(const FbxAMatrix& matrix)
{
    Matrix4x4 out;
    for (int r = 0; r < 4; ++r) {
        FbxVector4 row = matrix.GetRow(r);
        for (int c = 0; c < 4; ++c)
            out.m[r][c] = static_cast<float>(row[c]);
    }
    return out;
}

void VisitNull(FbxNode* node, std::int32_t parent, std::vector<EventMarker>& events, std::vector<Socket>& sockets)
{
    std::string name = node->GetName();
    if (EndsWith(name, "_evt") || EndsWith(name, "_event")) {
        events.push_back({ parent, name });
    } else if (EndsWith(name, "_skt") || EndsWith(name, "_socket")) {
        FbxAMatrix global = node->EvaluateGlobalTransform(FbxTime(0), FbxNode::eSourcePivot, false, false);
        sockets.push_back({ ToMatrix(global), parent, name });
    }
}

std::int32_t AddBone(FbxNode* node, std::int32_t parent, ImportResult& result, Skeleton& skeleton)
{
    Bone bone;
    bone.parent = parent;
    bone.name = node->GetName();
    bone.shortName = ShortName(bone.name);
    auto index = static_cast<std::int32_t>(skeleton.bones.size());
    if (skeleton.boneIndexByName.count(bone.shortName) != 0)
        AddWarning(result, ImportWarning::DuplicateBoneName);
    // The first bone with a short name keeps it.
    skeleton.boneIndexByName.emplace(bone.shortName, index);
    skeleton.bones.push_back(std::move(bone));
    if (parent >= 0)
        skeleton.bones[static_cast<std::size_t>(parent)].children.push_back(index);
    return index;
}

} // namespace

std::string ShortName(const std::string& name)
{
    std::size_t colon = name.rfind(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

bool BuildSkeleton(FbxNode* node, ImportResult& result, Skeleton& skeleton, std::vector<EventMarker>& events,
    std::vector<Socket>& sockets, std::int32_t parent, int depth)
{
    if (node == nullptr || depth > kMaxNodeDepth)
        return !skeleton.bones.empty();
    if (FbxNodeAttribute* attribute = node->GetNodeAttribute()) {
        switch (attribute->GetAttributeType()) {
        case FbxNodeAttribute::eNull: VisitNull(node, parent, events, sockets); break;
        case FbxNodeAttribute::eSkeleton: parent = AddBone(node, parent, result, skeleton); break;
        default: break;
        }
    }
    for (int i = 0; i < node->GetChildCount(false); ++i)
        BuildSkeleton(node->GetChild(i), result, skeleton, events, sockets, parent, depth + 1);
    return !skeleton.bones.empty();
}

std::string SkeletonName(const Skeleton& skeleton, const std::string& path)
{
    const std::string& first = skeleton.bones.front().name;
    if (std::size_t colon = first.find(':'); colon != std::string::npos)
        return first.substr(0, colon);
    std::string file = path;
    std::replace(file.begin(), file.end(), '/', '\\');
    if (std::size_t separator = file.rfind('\\'); separator != std::string::npos)
        file = file.substr(separator + 1);
    return file.size() >= 4 ? file.substr(0, file.size() - 4) : file;
}

void ProcessSkins(FbxNode* node, const MeshPlacement& placement, Skeleton& skeleton, InfluenceTable& influences)
{
    FbxMesh* mesh = node->GetMesh();
    if (mesh == nullptr)
        return;
    FbxAMatrix geometric(node->GetGeometricTranslation(FbxNode::eSourcePivot),
        node->GetGeometricRotation(FbxNode::eSourcePivot), node->GetGeometricScaling(FbxNode::eSourcePivot));
    // The placed vertices are taken back to the mesh's own space first; nothing to undo for an
    // identity node, whose offsets then stay exactly what the clusters give.
    if (!placement.IsIdentity())
        geometric = geometric * placement.MeshToScene().Inverse();
    for (int d = 0; d < mesh->GetDeformerCount(); ++d) {
        auto* skin = static_cast<FbxSkin*>(mesh->GetDeformer(d, FbxDeformer::eSkin, nullptr));
        if (skin == nullptr)
            continue;
        for (int k = 0; k < skin->GetClusterCount(); ++k) {
            FbxCluster* cluster = skin->GetCluster(k);
            if (cluster == nullptr)
                continue;
            FbxAMatrix link;
            FbxAMatrix transform;
            cluster->GetTransformLinkMatrix(link);
            cluster->GetTransformMatrix(transform);
            FbxAMatrix offset = (link.Inverse() * transform * geometric).Transpose();

            std::string name = cluster->GetLink() != nullptr ? ShortName(cluster->GetLink()->GetName()) : std::string();
            // A cluster whose bone is unknown addresses bone 0, as its name is entered with index 0.
            auto [entry, inserted] = skeleton.boneIndexByName.emplace(name, 0);
            std::int32_t bone = entry->second;
            if (bone >= 0 && static_cast<std::size_t>(bone) < skeleton.bones.size())
                skeleton.bones[static_cast<std::size_t>(bone)].offset = ToMatrix(offset);

            const int* indices = cluster->GetControlPointIndices();
            const double* weights = cluster->GetControlPointWeights();
            for (int j = 0; j < cluster->GetControlPointIndicesCount(); ++j)
                influences.emplace(indices[j], Influence { bone, static_cast<float>(weights[j]) });
        }
    }
}

bool ApplyInfluences(const InfluenceTable& influences, std::int32_t controlPoint, Vertex& vertex)
{
    auto [first, last] = influences.equal_range(controlPoint);
    if (first == last)
        return false;
    std::vector<Influence> list;
    for (auto it = first; it != last; ++it)
        list.push_back(it->second);
    std::sort(list.begin(), list.end(), [](const Influence& a, const Influence& b) { return a.weight > b.weight; });

    bool folded = false;
    if (list.size() > kMaxInfluences) {
        float excess = 0.0f;
        for (std::size_t i = kMaxInfluences; i < list.size(); ++i)
            excess += list[i].weight;
        if (excess > 0.0f) {
            for (int i = 0; i < kMaxInfluences; ++i)
                list[static_cast<std::size_t>(i)].weight += excess * 0.25f;
            folded = true;
        }
        list.resize(kMaxInfluences);
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        vertex.boneIndices[i] = list[i].boneIndex;
        vertex.boneWeights[i] = list[i].weight;
    }
    return folded;
}
