#include "MeshBuilder.h"

#include <algorithm>
#include <cmath>

double Dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 Cross(Vec3 a, Vec3 b)
{
    return { a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x };
}

Vec3 Normalized(Vec3 a)
{
    double length = std::sqrt(Dot(a, a));
    return length > 0.0 ? a * (1.0 / length) : a;
}

void TangentFrame(const std::vector<Corner>& corners, Vec3 normal, Vec3& tangent, Vec3& binormal)
{
    const Corner& a = corners[0];
    const Corner& b = corners[1];
    const Corner& c = corners[2];
    Vec3 e1 = b.position - a.position;
    Vec3 e2 = c.position - a.position;
    double du1 = b.u - a.u, dv1 = b.v - a.v, du2 = c.u - a.u, dv2 = c.v - a.v;
    double determinant = du1 * dv2 - du2 * dv1;
    if (std::abs(determinant) < 1e-12) {
        tangent = Normalized(e1);
        binormal = Normalized(Cross(normal, tangent));
        return;
    }
    double r = 1.0 / determinant;
    tangent = Normalized((e1 * dv2 - e2 * dv1) * r);
    binormal = Normalized((e2 * du1 - e1 * du2) * r);
}

void MeshBuilder::AddFlatFace(std::vector<Corner> corners, Vec3 normal)
{
    normal = Normalized(normal);
    Vec3 winding = Cross(corners[1].position - corners[0].position, corners[2].position - corners[0].position);
    if (Dot(winding, normal) < 0.0)
        std::reverse(corners.begin(), corners.end());
    Vec3 tangent;
    Vec3 binormal;
    TangentFrame(corners, normal, tangent, binormal);
    std::vector<FaceCorner> face;
    for (const Corner& corner : corners)
        face.push_back({ corner, normal, tangent, binormal });
    faces.push_back(std::move(face));
}

void MeshBuilder::AddSmoothFace(const std::vector<Corner>& corners, const std::vector<Vec3>& normals,
    const std::vector<Vec3>& tangents, const std::vector<Vec3>& binormals)
{
    std::vector<FaceCorner> face;
    for (std::size_t i = 0; i < corners.size(); ++i)
        face.push_back({ corners[i], normals[i], tangents[i], binormals[i] });
    faces.push_back(std::move(face));
}

std::vector<MeshBuilder::FaceCorner> MeshBuilder::WrittenOrder(const std::vector<FaceCorner>& face)
{
    std::vector<FaceCorner> written(face);
    std::reverse(written.begin() + 1, written.end());
    return written;
}

fbxio::MeshData MeshBuilder::Build() const
{
    // z is negated into the file's right-handed frame: positions and every direction alike.
    auto flip = [](Vec3 v) { return std::array<double, 3> { v.x, v.y, -v.z }; };
    fbxio::MeshData mesh;
    fbxio::LayerElement normals { fbxio::LayerKind::Normal, fbxio::Mapping::ByPolygonVertex, fbxio::Reference::Direct,
        "", {}, {} };
    fbxio::LayerElement tangents { fbxio::LayerKind::Tangent, fbxio::Mapping::ByPolygonVertex, fbxio::Reference::Direct,
        "", {}, {} };
    fbxio::LayerElement binormals { fbxio::LayerKind::Binormal, fbxio::Mapping::ByPolygonVertex,
        fbxio::Reference::Direct, "", {}, {} };
    fbxio::LayerElement uvs { fbxio::LayerKind::UV, fbxio::Mapping::ByPolygonVertex, fbxio::Reference::IndexToDirect,
        "UVMap", {}, {} };
    for (const auto& face : faces) {
        std::vector<int> polygon;
        for (const FaceCorner& corner : WrittenOrder(face)) {
            polygon.push_back(static_cast<int>(mesh.points.size() / 3));
            for (double value : flip(corner.corner.position))
                mesh.points.push_back(value);
            for (double value : flip(corner.normal))
                normals.values.push_back(value);
            for (double value : flip(corner.tangent))
                tangents.values.push_back(value);
            for (double value : flip(corner.binormal))
                binormals.values.push_back(value);
            uvs.indices.push_back(static_cast<int>(uvs.values.size() / 2));
            uvs.values.push_back(corner.corner.u);
            uvs.values.push_back(corner.corner.v);
        }
        mesh.polygons.push_back(std::move(polygon));
    }
    mesh.layers = { normals, tangents, binormals, uvs };
    return mesh;
}
