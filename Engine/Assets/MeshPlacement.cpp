#include "Assets/MeshPlacement.h"

#include <cmath>
#include <utility>

using namespace fbxsdk;

namespace {

// The SDK evaluates a node at its rest pose when the time is zero; the engine has no animation.
const FbxTime kRestPose(0);

// x, y and z of `v` through the 3 x 3 `m`, made unit length; a zero vector stays zero.
Float3 TurnDirection(const double m[3][3], const Float3& v)
{
    const double x = m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z;
    const double y = m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z;
    const double z = m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z;
    const double squared = x * x + y * y + z * z;
    if (!(squared > 0.0))
        return {};
    const double unit = 1.0 / std::sqrt(squared);
    return { static_cast<float>(x * unit), static_cast<float>(y * unit), static_cast<float>(z * unit) };
}

} // namespace

MeshPlacement::MeshPlacement(FbxNode& node)
{
    const FbxAMatrix geometric(node.GetGeometricTranslation(FbxNode::eSourcePivot),
        node.GetGeometricRotation(FbxNode::eSourcePivot), node.GetGeometricScaling(FbxNode::eSourcePivot));
    meshToScene = node.EvaluateGlobalTransform(kRestPose, FbxNode::eSourcePivot, false, false) * geometric;
    identity = meshToScene == FbxAMatrix();
    if (identity)
        return;
    mirrors = meshToScene.Determinant() < 0.0;

    // The SDK's storage holds the matrix's columns: mData[c][r] is row r, column c.
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c)
            position[r][c] = meshToScene[c][r];
        for (int c = 0; c < 3; ++c)
            along[r][c] = meshToScene[c][r];
    }
    // The inverse transpose of the linear part; a singular one (a scale of zero) flattens the mesh,
    // and its normals are left to the linear part, which the renormalising then makes usable.
    const FbxAMatrix inverse = meshToScene.Inverse();
    const bool singular = !(std::fabs(meshToScene.Determinant()) > 0.0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            normal[r][c] = singular ? along[r][c] : inverse[r][c];
}

void MeshPlacement::Place(Mesh& mesh, RunningBox& box) const
{
    for (Vertex& v : mesh.vertices) {
        const double x = v.position.x, y = v.position.y, z = v.position.z;
        auto placed = [&](const double(&row)[4]) {
            return static_cast<float>(row[0] * x + row[1] * y + row[2] * z + row[3]);
        };
        v.position = { placed(position[0]), placed(position[1]), placed(position[2]), v.position.w };
        box.Add(v.position);
        v.normal = TurnDirection(normal, v.normal);
        v.tangent = TurnDirection(along, v.tangent);
        v.binormal = TurnDirection(along, v.binormal);
    }
    if (!mirrors)
        return;
    for (std::size_t k = 0; k + 2 < mesh.indices.size(); k += 3)
        std::swap(mesh.indices[k + 1], mesh.indices[k + 2]);
}
