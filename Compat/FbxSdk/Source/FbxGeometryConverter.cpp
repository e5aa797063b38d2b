// Triangulation: each polygon becomes triangles in place, by ear clipping in the polygon's
// best-fitting plane so concave polygons keep their shape.
#include <fbxsdk.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fbxsdk {

namespace {

// Ear clipping is quadratic to cubic in the corner count; beyond this a hostile or freak
// polygon is fanned instead so a file cannot make triangulation take hours.
constexpr int kMaxEarClippingCorners = 64;

struct Point2 {
    double x, y;
};

double Cross(const Point2& a, const Point2& b, const Point2& c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool InsideTriangle(const Point2& p, const Point2& a, const Point2& b, const Point2& c)
{
    // Strictly inside or on an edge: a corner touching the ear would make the cut cross it.
    return Cross(a, b, p) >= 0 && Cross(b, c, p) >= 0 && Cross(c, a, p) >= 0;
}

// Twice the polygon's vector area (Newell's method); zero for a polygon without area.
void NewellNormal(const FbxMesh& mesh, const std::vector<int>& corners, const std::vector<int>& vertices, double n[3])
{
    const FbxVector4* points = mesh.GetControlPoints();
    n[0] = n[1] = n[2] = 0;
    std::size_t m = corners.size();
    for (std::size_t k = 0; k < m; ++k) {
        const FbxVector4& a = points[vertices[std::size_t(corners[k])]];
        const FbxVector4& b = points[vertices[std::size_t(corners[(k + 1) % m])]];
        n[0] += (a[1] - b[1]) * (a[2] + b[2]);
        n[1] += (a[2] - b[2]) * (a[0] + b[0]);
        n[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
}

bool HasArea(const FbxMesh& mesh, const std::vector<int>& corners, const std::vector<int>& vertices)
{
    const FbxVector4* points = mesh.GetControlPoints();
    double n[3], extent = 0;
    NewellNormal(mesh, corners, vertices, n);
    const FbxVector4& origin = points[vertices[std::size_t(corners[0])]];
    for (int c : corners)
        for (int axis = 0; axis < 3; ++axis)
            extent = std::max(extent, std::fabs(points[vertices[std::size_t(c)]][axis] - origin[axis]));
    return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) > 1e-12 * extent * extent;
}

// Projects the corners onto the plane their Newell normal faces, oriented counter-clockwise.
std::vector<Point2> Project(const FbxMesh& mesh, const std::vector<int>& corners, const std::vector<int>& vertices)
{
    const FbxVector4* points = mesh.GetControlPoints();
    double n[3];
    NewellNormal(mesh, corners, vertices, n);
    std::size_t m = corners.size();
    int drop = std::fabs(n[0]) > std::fabs(n[1]) ? (std::fabs(n[0]) > std::fabs(n[2]) ? 0 : 2)
                                                 : (std::fabs(n[1]) > std::fabs(n[2]) ? 1 : 2);
    int u = (drop + 1) % 3, v = (drop + 2) % 3;
    bool flip = n[drop] < 0;
    std::vector<Point2> result;
    result.reserve(m);
    for (int c : corners) {
        const FbxVector4& p = points[vertices[std::size_t(c)]];
        result.push_back({ p[u], flip ? -p[v] : p[v] });
    }
    return result;
}

// Emits triangles as triples of polygon-vertex indices.
void EarClip(const FbxMesh& mesh, std::vector<int> corners, const std::vector<int>& vertices, std::vector<int>& out)
{
    if (corners.size() > std::size_t(kMaxEarClippingCorners)) {
        for (std::size_t k = 1; k + 1 < corners.size(); ++k)
            out.insert(out.end(), { corners[0], corners[k], corners[k + 1] });
        return;
    }
    std::vector<Point2> points = Project(mesh, corners, vertices);
    while (corners.size() > 3) {
        std::size_t m = corners.size(), ear = m;
        for (std::size_t k = 0; k < m && ear == m; ++k) {
            std::size_t prev = (k + m - 1) % m, next = (k + 1) % m;
            if (Cross(points[prev], points[k], points[next]) <= 0)
                continue; // reflex or flat
            bool blocked = false;
            for (std::size_t j = 0; j < m && !blocked; ++j)
                if (j != prev && j != k && j != next)
                    blocked = InsideTriangle(points[j], points[prev], points[k], points[next]);
            if (!blocked)
                ear = k;
        }
        // A self-intersecting or flat remainder has no proper ear; cut the first corner anyway
        // so the loop always ends.
        if (ear == m)
            ear = 1 % m;
        std::size_t prev = (ear + m - 1) % m, next = (ear + 1) % m;
        out.insert(out.end(), { corners[prev], corners[ear], corners[next] });
        corners.erase(corners.begin() + std::ptrdiff_t(ear));
        points.erase(points.begin() + std::ptrdiff_t(ear));
    }
    out.insert(out.end(), { corners[0], corners[1], corners[2] });
}

template <class E>
void Remap(E* element, const std::vector<int>& cornerSource, const std::vector<int>& polygonSource)
{
    if (!element)
        return;
    const std::vector<int>* source = nullptr;
    if (element->GetMappingMode() == FbxLayerElement::eByPolygonVertex)
        source = &cornerSource;
    else if (element->GetMappingMode() == FbxLayerElement::eByPolygon)
        source = &polygonSource;
    if (!source)
        return;
    auto remapArray = [source](auto& array) {
        auto old = std::move(array.Items());
        auto& items = array.Items();
        items.clear();
        items.reserve(source->size());
        for (int k : *source)
            items.push_back(k >= 0 && std::size_t(k) < old.size() ? old[std::size_t(k)]
                                                                  : typename std::decay_t<decltype(old)>::value_type());
    };
    if (element->GetReferenceMode() == FbxLayerElement::eDirect)
        remapArray(element->GetDirectArray());
    else
        remapArray(element->GetIndexArray());
}

// A direct per-corner element whose corners repeat the value of the corner before them (a flat
// face's normal on each of its corners, as Blender writes every mesh) is laid out again as its
// distinct runs of values and an index per new corner, when that takes less memory than a value per
// new corner: the values each corner reads are the same either way. True when it was.
template <class E>
bool RemapAsRuns(E* element, const std::vector<int>& cornerSource)
{
    if (!element || element->GetMappingMode() != FbxLayerElement::eByPolygonVertex
        || element->GetReferenceMode() != FbxLayerElement::eDirect)
        return false;
    auto& values = element->GetDirectArray().Items();
    using Value = typename std::decay_t<decltype(values)>::value_type;
    std::size_t runs = values.empty() ? 0 : 1;
    for (std::size_t k = 1; k < values.size(); ++k)
        runs += std::memcmp(&values[k], &values[k - 1], sizeof(Value)) != 0 ? 1 : 0;
    // One more value for corners that read outside the array: the zero value, as Remap gives them.
    if ((runs + 1) * sizeof(Value) + cornerSource.size() * sizeof(int) >= cornerSource.size() * sizeof(Value))
        return false;
    std::vector<int> runOf(values.size());
    auto old = std::move(values);
    values.clear();
    values.reserve(runs + 1);
    for (std::size_t k = 0; k < old.size(); ++k) {
        if (k == 0 || std::memcmp(&old[k], &old[k - 1], sizeof(Value)) != 0)
            values.push_back(old[k]);
        runOf[k] = static_cast<int>(values.size()) - 1;
    }
    const int outside = static_cast<int>(values.size());
    values.push_back(Value());
    std::vector<int>& indices = element->GetIndexArray().Items();
    indices.resize(cornerSource.size());
    for (std::size_t k = 0; k < cornerSource.size(); ++k) {
        const int source = cornerSource[k];
        indices[k] = source >= 0 && std::size_t(source) < runOf.size() ? runOf[std::size_t(source)] : outside;
    }
    element->SetReferenceMode(FbxLayerElement::eIndexToDirect);
    return true;
}

// Remap, keeping a direct per-corner element's runs of repeated values once each where that is smaller.
template <class E>
void RemapDirections(E* element, const std::vector<int>& cornerSource, const std::vector<int>& polygonSource)
{
    if (!RemapAsRuns(element, cornerSource))
        Remap(element, cornerSource, polygonSource);
}

} // namespace

bool FbxGeometryConverter::Triangulate(FbxScene* scene, bool replace, bool legacy)
{
    if (!scene)
        return false;
    bool all = true;
    for (int g = 0; g < scene->GetGeometryCount(); ++g)
        all = Triangulate(scene->GetMesh(g), replace, legacy) != nullptr && all;
    return all;
}

namespace {

// Every polygon is a triangle with three distinct corners: nothing would change, and the layer
// elements need not be copied again.
bool AlreadyTriangles(const FbxMesh& mesh, const std::vector<int>& vertices, const FbxVector4* points)
{
    for (int p = 0; p < mesh.GetPolygonCount(); ++p) {
        if (mesh.GetPolygonSize(p) != 3)
            return false;
        int start = mesh.GetPolygonVertexIndex(p);
        int a = vertices[std::size_t(start)], b = vertices[std::size_t(start + 1)],
            c = vertices[std::size_t(start + 2)];
        if (a == b || b == c || a == c)
            return false;
        if (points[a] == points[b] || points[b] == points[c] || points[a] == points[c])
            return false;
    }
    return true;
}

} // namespace

FbxNodeAttribute* FbxGeometryConverter::Triangulate(FbxNodeAttribute* attribute, bool, bool)
{
    auto* mesh = dynamic_cast<FbxMesh*>(attribute);
    if (!mesh)
        return nullptr;
    const std::vector<int>& vertices = mesh->mPolygonVertices;
    const FbxVector4* points = mesh->GetControlPoints();
    if (AlreadyTriangles(*mesh, vertices, points))
        return mesh;
    std::vector<int> triangles; // polygon-vertex indices, three per triangle
    std::vector<int> polygonSource;
    triangles.reserve(vertices.size() * 3 / 2 + 3);
    std::vector<int> corners;
    for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
        int start = mesh->mPolygonStarts[std::size_t(p)], size = mesh->GetPolygonSize(p);
        // Corners repeating their predecessor (same control point or same position) add
        // nothing but zero-area triangles; drop them first.
        corners.clear();
        for (int c = 0; c < size; ++c) {
            int pv = start + c;
            if (!corners.empty()) {
                int last = vertices[std::size_t(corners.back())], current = vertices[std::size_t(pv)];
                if (last == current || points[last] == points[current])
                    continue;
            }
            corners.push_back(pv);
        }
        while (corners.size() > 1) {
            int first = vertices[std::size_t(corners.front())], last = vertices[std::size_t(corners.back())];
            if (first != last && !(points[first] == points[last]))
                break;
            corners.pop_back();
        }
        if (corners.size() < 3)
            continue; // degenerate: no area to cover
        if (corners.size() > 3 && !HasArea(*mesh, corners, vertices))
            continue;
        std::size_t before = triangles.size();
        if (corners.size() == 3)
            triangles.insert(triangles.end(), corners.begin(), corners.end());
        else
            EarClip(*mesh, corners, vertices, triangles);
        polygonSource.insert(polygonSource.end(), (triangles.size() - before) / 3, p);
    }
    std::vector<int> newVertices(triangles.size()), newStarts;
    newStarts.reserve(triangles.size() / 3 + 1);
    for (std::size_t k = 0; k < triangles.size(); ++k)
        newVertices[k] = vertices[std::size_t(triangles[k])];
    for (std::size_t k = 0; k <= triangles.size(); k += 3)
        newStarts.push_back(static_cast<int>(k));
    mesh->mPolygonVertices = std::move(newVertices);
    mesh->mPolygonStarts = std::move(newStarts);
    for (int e = 0; e < mesh->GetElementNormalCount(); ++e)
        RemapDirections(mesh->GetElementNormal(e), triangles, polygonSource);
    for (int e = 0; e < mesh->GetElementTangentCount(); ++e)
        RemapDirections(mesh->GetElementTangent(e), triangles, polygonSource);
    for (int e = 0; e < mesh->GetElementBinormalCount(); ++e)
        RemapDirections(mesh->GetElementBinormal(e), triangles, polygonSource);
    for (int e = 0; e < mesh->GetElementUVCount(); ++e)
        RemapDirections(mesh->GetElementUV(e), triangles, polygonSource);
    for (int e = 0; e < mesh->GetElementVertexColorCount(); ++e)
        RemapDirections(mesh->GetElementVertexColor(e), triangles, polygonSource);
    for (int e = 0; e < mesh->GetElementMaterialCount(); ++e)
        Remap(mesh->GetElementMaterial(e), triangles, polygonSource);
    return mesh;
}

} // namespace fbxsdk
