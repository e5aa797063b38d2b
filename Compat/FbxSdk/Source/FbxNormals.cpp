// Normal generation for a mesh that has none.
//
// A file without normals says nothing of hard edges, so every control point gets one smooth normal:
// the sum of the area vectors of the polygons around it (a large face counts more than a sliver),
// made unit length. A polygon's area vector is the sum of its fan triangles' cross products, which
// for a counter-clockwise polygon points to the side it is seen counter-clockwise from.
#include <fbxsdk.h>

#include <cmath>

namespace fbxsdk {

namespace {

// A control point whose polygons' area vectors cancel (or that no polygon uses) still gets a unit
// normal, so that nothing downstream divides by a zero length.
const FbxVector4 kFallbackNormal(0.0, 0.0, 1.0, 0.0);

struct Sum {
    double x = 0.0, y = 0.0, z = 0.0;
};

bool Usable(int controlPoint, int pointCount)
{
    return controlPoint >= 0 && controlPoint < pointCount;
}

// Twice the polygon's area, as a vector along its normal. Corners pointing at no control point are
// left out of the fan.
Sum AreaVector(const FbxMesh& mesh, int polygon)
{
    const FbxVector4* points = mesh.GetControlPoints();
    const int pointCount = mesh.GetControlPointsCount();
    const int* corners = mesh.GetPolygonVertices() + mesh.GetPolygonVertexIndex(polygon);
    const int size = mesh.GetPolygonSize(polygon);
    Sum area;
    int first = 0;
    while (first < size && !Usable(corners[first], pointCount))
        ++first;
    if (first == size)
        return area;
    const FbxVector4& a = points[corners[first]];
    int previous = -1;
    for (int k = first + 1; k < size; ++k) {
        if (!Usable(corners[k], pointCount))
            continue;
        if (previous >= 0) {
            const FbxVector4 &b = points[previous], &c = points[corners[k]];
            const double e1[3] = { b[0] - a[0], b[1] - a[1], b[2] - a[2] };
            const double e2[3] = { c[0] - a[0], c[1] - a[1], c[2] - a[2] };
            area.x += e1[1] * e2[2] - e1[2] * e2[1];
            area.y += e1[2] * e2[0] - e1[0] * e2[2];
            area.z += e1[0] * e2[1] - e1[1] * e2[0];
        }
        previous = corners[k];
    }
    return area;
}

FbxVector4 UnitOrFallback(const Sum& sum)
{
    const double length = std::sqrt(sum.x * sum.x + sum.y * sum.y + sum.z * sum.z);
    if (!(length > 0.0) || !std::isfinite(length))
        return kFallbackNormal;
    return FbxVector4(sum.x / length, sum.y / length, sum.z / length, 0.0);
}

} // namespace

bool FbxMesh::GenerateNormals(bool overwrite, bool byControlPoint, bool clockwise)
{
    if (!mNormals.empty() && !overwrite)
        return true;

    const int pointCount = GetControlPointsCount();
    std::vector<Sum> sums(static_cast<std::size_t>(pointCount));
    const double sign = clockwise ? -1.0 : 1.0;
    for (int p = 0; p < GetPolygonCount(); ++p) {
        const Sum area = AreaVector(*this, p);
        const int start = GetPolygonVertexIndex(p);
        for (int k = 0; k < GetPolygonSize(p); ++k) {
            const int point = mPolygonVertices[static_cast<std::size_t>(start + k)];
            if (!Usable(point, pointCount))
                continue;
            Sum& sum = sums[static_cast<std::size_t>(point)];
            sum.x += sign * area.x;
            sum.y += sign * area.y;
            sum.z += sign * area.z;
        }
    }

    if (mNormals.empty())
        CreateElementNormal();
    FbxLayerElementNormal& element = *mNormals.front();
    element.SetReferenceMode(FbxLayerElement::eDirect);
    element.GetIndexArray().Clear();
    auto& values = element.GetDirectArray().Items();
    values.clear();
    if (byControlPoint) {
        element.SetMappingMode(FbxLayerElement::eByControlPoint);
        values.reserve(sums.size());
        for (const Sum& sum : sums)
            values.push_back(UnitOrFallback(sum));
    } else {
        // The same smooth normals, one per corner.
        element.SetMappingMode(FbxLayerElement::eByPolygonVertex);
        values.reserve(mPolygonVertices.size());
        for (int point : mPolygonVertices)
            values.push_back(
                Usable(point, pointCount) ? UnitOrFallback(sums[static_cast<std::size_t>(point)]) : kFallbackNormal);
    }
    return true;
}

} // namespace fbxsdk
