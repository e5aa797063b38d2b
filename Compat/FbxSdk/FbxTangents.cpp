// Tangent and binormal generation from a UV set, per polygon vertex.
#include <fbxsdk.h>

#include <cmath>
#include <unordered_map>

namespace fbxsdk {

namespace {

template <class E>
int ElementIndex(const E& element, int controlPoint, int polygonVertex)
{
    int index;
    switch (element.GetMappingMode()) {
    case FbxLayerElement::eByControlPoint: index = controlPoint; break;
    case FbxLayerElement::eByPolygonVertex: index = polygonVertex; break;
    default: return -1;
    }
    if (element.GetReferenceMode() != FbxLayerElement::eDirect) index = element.GetIndexArray().GetAt(index);
    return index;
}

FbxVector4 AnyPerpendicular(const FbxVector4& n)
{
    FbxVector4 axis = std::fabs(n[0]) < 0.9 ? FbxVector4(1, 0, 0, 0) : FbxVector4(0, 1, 0, 0);
    FbxVector4 t = axis - n * n.DotProduct(axis);
    t.Normalize();
    return t;
}

}  // namespace

bool FbxMesh::GenerateTangentsData(int uvSet, bool overwrite, bool ignoreTangentFlip)
{
    if (!overwrite && GetElementTangentCount() > 0 && GetElementBinormalCount() > 0) return true;
    const FbxLayerElementUV* uv = GetElementUV(uvSet);
    if (!uv) return false;
    if (uv->GetMappingMode() != FbxLayerElement::eByControlPoint &&
        uv->GetMappingMode() != FbxLayerElement::eByPolygonVertex)
        return false;
    const FbxLayerElementNormal* normals = GetElementNormal(0);
    const std::size_t cornerCount = mPolygonVertices.size();

    // Corners sharing a control point and a UV share their tangent frame, so smooth surfaces
    // get smooth tangents and UV seams keep theirs apart.
    std::unordered_map<std::uint64_t, int> groups;
    std::vector<int> groupOf(cornerCount);
    std::vector<int> uvIndex(cornerCount);
    for (std::size_t pv = 0; pv < cornerCount; ++pv) {
        int cp = mPolygonVertices[pv];
        uvIndex[pv] = ElementIndex(*uv, cp, static_cast<int>(pv));
        std::uint64_t key = (std::uint64_t(std::uint32_t(cp)) << 32) | std::uint32_t(uvIndex[pv]);
        groupOf[pv] = groups.emplace(key, static_cast<int>(groups.size())).first->second;
    }
    std::vector<FbxVector4> tangentSum(groups.size(), FbxVector4(0, 0, 0, 0));
    std::vector<FbxVector4> binormalSum(groups.size(), FbxVector4(0, 0, 0, 0));
    std::vector<FbxVector4> faceNormal(std::size_t(GetPolygonCount()), FbxVector4(0, 0, 0, 0));

    for (int p = 0; p < GetPolygonCount(); ++p) {
        int start = mPolygonStarts[std::size_t(p)], size = GetPolygonSize(p);
        for (int k = 1; k + 1 < size; ++k) {
            int c[3] = {start, start + k, start + k + 1};
            FbxVector4 pos[3];
            FbxVector2 tex[3];
            for (int i = 0; i < 3; ++i) {
                pos[i] = GetControlPointAt(mPolygonVertices[std::size_t(c[i])]);
                tex[i] = uv->GetDirectArray().GetAt(uvIndex[std::size_t(c[i])]);
            }
            FbxVector4 e1 = pos[1] - pos[0], e2 = pos[2] - pos[0];
            faceNormal[std::size_t(p)] = faceNormal[std::size_t(p)] + e1.CrossProduct(e2);
            double du1 = tex[1][0] - tex[0][0], dv1 = tex[1][1] - tex[0][1];
            double du2 = tex[2][0] - tex[0][0], dv2 = tex[2][1] - tex[0][1];
            double r = du1 * dv2 - du2 * dv1;
            if (std::fabs(r) < 1e-20) continue;  // no UV area: this triangle says nothing
            FbxVector4 t = (e1 * dv2 - e2 * dv1) * (1.0 / r);
            FbxVector4 b = (e2 * du1 - e1 * du2) * (1.0 / r);
            for (int i = 0; i < 3; ++i) {
                int g = groupOf[std::size_t(c[i])];
                tangentSum[std::size_t(g)] = tangentSum[std::size_t(g)] + t;
                binormalSum[std::size_t(g)] = binormalSum[std::size_t(g)] + b;
            }
        }
    }

    FbxLayerElementTangent* tangents = GetElementTangent(0) ? GetElementTangent(0) : CreateElementTangent();
    FbxLayerElementBinormal* binormals = GetElementBinormal(0) ? GetElementBinormal(0) : CreateElementBinormal();
    for (FbxLayerElement* element : {static_cast<FbxLayerElement*>(tangents), static_cast<FbxLayerElement*>(binormals)}) {
        element->SetMappingMode(FbxLayerElement::eByPolygonVertex);
        element->SetReferenceMode(FbxLayerElement::eDirect);
    }
    tangents->GetIndexArray().Clear();
    binormals->GetIndexArray().Clear();
    auto& outT = tangents->GetDirectArray().Items();
    auto& outB = binormals->GetDirectArray().Items();
    outT.assign(cornerCount, FbxVector4(0, 0, 0, 0));
    outB.assign(cornerCount, FbxVector4(0, 0, 0, 0));
    for (int p = 0; p < GetPolygonCount(); ++p) {
        FbxVector4 face = faceNormal[std::size_t(p)];
        face.Normalize();
        int start = mPolygonStarts[std::size_t(p)], size = GetPolygonSize(p);
        for (int pv = start; pv < start + size; ++pv) {
            FbxVector4 n = face;
            if (normals) {
                int index = ElementIndex(*normals, mPolygonVertices[std::size_t(pv)], pv);
                if (index >= 0 && index < normals->GetDirectArray().GetCount()) n = normals->GetDirectArray().GetAt(index);
            }
            n[3] = 0;
            if (n.Normalize() == 0.0) n = FbxVector4(0, 0, 1, 0);
            int g = groupOf[std::size_t(pv)];
            FbxVector4 t = tangentSum[std::size_t(g)];
            t = t - n * n.DotProduct(t);  // Gram-Schmidt against the normal
            if (t.Normalize() < 1e-12) t = AnyPerpendicular(n);
            FbxVector4 b = n.CrossProduct(t);
            double flip = !ignoreTangentFlip && b.DotProduct(binormalSum[std::size_t(g)]) < 0 ? -1.0 : 1.0;
            b = b * flip;
            t[3] = flip;
            b[3] = 0;
            outT[std::size_t(pv)] = t;
            outB[std::size_t(pv)] = b;
        }
    }
    return true;
}

}  // namespace fbxsdk
