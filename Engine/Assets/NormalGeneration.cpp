#include "Assets/NormalGeneration.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

using namespace fbxsdk;

namespace {

// Around a control point shared by more corners than this, faces are no longer compared pair by
// pair, which a file could make take quadratic time: each face there takes the point's smooth normal
// when it lies within the crease angle of it, and its own normal otherwise.
constexpr int kMaxComparedCorners = 128;

constexpr double kDegreesPerRadian = 57.29577951308232;

// A point no usable face reaches still gets a unit normal, so that nothing downstream divides by a
// zero length.
const FbxVector4 kFallbackNormal(0.0, 0.0, 1.0, 0.0);

struct Direction {
    double x = 0.0, y = 0.0, z = 0.0;

    void Add(const Direction& o, double weight)
    {
        x += o.x * weight;
        y += o.y * weight;
        z += o.z * weight;
    }
    double Dot(const Direction& o) const { return x * o.x + y * o.y + z * o.z; }
    bool IsZero() const { return x == 0.0 && y == 0.0 && z == 0.0; }
    // Unit length, or zero for a vector without a usable length.
    Direction Unit() const
    {
        const double length = std::sqrt(Dot(*this));
        if (!(length > 0.0) || !std::isfinite(length))
            return {};
        return { x / length, y / length, z / length };
    }
};

Direction Between(const FbxVector4& from, const FbxVector4& to)
{
    return { to[0] - from[0], to[1] - from[1], to[2] - from[2] };
}

Direction Cross(const Direction& a, const Direction& b)
{
    return { a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x };
}

// The corners of the mesh, and the faces they belong to: each polygon's unit normal (from the cross
// products of its fan, so counter-clockwise corners give the side they are counter-clockwise seen
// from) and each corner's angle in its polygon, which weighs the face at that corner. Weighing by
// angle makes a point's normal the same however its polygons were cut into triangles.
class Corners {
public:
    explicit Corners(const FbxMesh& mesh)
        : points(mesh.GetControlPoints())
        , pointCount(mesh.GetControlPointsCount())
        , corners(mesh.GetPolygonVertices())
        , polygonOf(static_cast<std::size_t>(mesh.GetPolygonVertexCount()), -1)
        , angle(static_cast<std::size_t>(mesh.GetPolygonVertexCount()), 0.0)
        , faceNormal(static_cast<std::size_t>(std::max(mesh.GetPolygonCount(), 0)))
    {
        for (int p = 0; p < mesh.GetPolygonCount(); ++p) {
            const int first = mesh.GetPolygonVertexIndex(p), size = mesh.GetPolygonSize(p);
            faceNormal[static_cast<std::size_t>(p)] = FaceNormal(first, size);
            for (int k = 0; k < size; ++k) {
                polygonOf[static_cast<std::size_t>(first + k)] = p;
                angle[static_cast<std::size_t>(first + k)] = CornerAngle(first, size, k);
            }
        }
    }

    bool Usable(int point) const { return point >= 0 && point < pointCount; }
    int PointCount() const { return pointCount; }
    int CornerCount() const { return static_cast<int>(polygonOf.size()); }
    int PointOf(int corner) const { return corners[corner]; }
    // The normal of the corner's polygon; none for a corner outside every polygon.
    Direction NormalOf(int corner) const
    {
        const int polygon = polygonOf[static_cast<std::size_t>(corner)];
        return polygon >= 0 ? faceNormal[static_cast<std::size_t>(polygon)] : Direction();
    }
    double AngleOf(int corner) const { return angle[static_cast<std::size_t>(corner)]; }

private:
    Direction FaceNormal(int first, int size) const
    {
        Direction area;
        int anchor = -1, previous = -1;
        for (int k = 0; k < size; ++k) {
            const int point = corners[first + k];
            if (!Usable(point))
                continue;
            if (anchor < 0) {
                anchor = point;
                continue;
            }
            if (previous >= 0)
                area.Add(Cross(Between(points[anchor], points[previous]), Between(points[anchor], points[point])), 1.0);
            previous = point;
        }
        return area.Unit();
    }

    // The angle between the corner's two edges; none at a corner or neighbour that is no point.
    double CornerAngle(int first, int size, int k) const
    {
        const int point = corners[first + k];
        const int before = corners[first + (k + size - 1) % size], after = corners[first + (k + 1) % size];
        if (!Usable(point) || !Usable(before) || !Usable(after))
            return 0.0;
        const Direction a = Between(points[point], points[before]).Unit();
        const Direction b = Between(points[point], points[after]).Unit();
        if (a.IsZero() || b.IsZero())
            return 0.0;
        return std::acos(std::clamp(a.Dot(b), -1.0, 1.0));
    }

    const FbxVector4* points;
    int pointCount;
    const int* corners;
    std::vector<int> polygonOf;
    std::vector<double> angle;
    std::vector<Direction> faceNormal;
};

// The corners at each control point, and the normals already made for each point, so that corners of
// one point with the same normal share one entry of the values.
class PointCorners {
public:
    explicit PointCorners(const Corners& corners)
        : starts(static_cast<std::size_t>(corners.PointCount()) + 1, 0)
        , firstEntry(static_cast<std::size_t>(corners.PointCount()), -1)
    {
        for (int c = 0; c < corners.CornerCount(); ++c)
            if (corners.Usable(corners.PointOf(c)))
                ++starts[static_cast<std::size_t>(corners.PointOf(c)) + 1];
        for (std::size_t v = 1; v < starts.size(); ++v)
            starts[v] += starts[v - 1];
        list.resize(static_cast<std::size_t>(starts.back()));
        std::vector<int> next(starts.begin(), starts.end() - 1);
        for (int c = 0; c < corners.CornerCount(); ++c)
            if (const int point = corners.PointOf(c); corners.Usable(point))
                list[static_cast<std::size_t>(next[static_cast<std::size_t>(point)]++)] = c;
    }

    const int* Begin(int point) const { return list.data() + starts[static_cast<std::size_t>(point)]; }
    const int* End(int point) const { return list.data() + starts[static_cast<std::size_t>(point) + 1]; }
    int Count(int point) const { return static_cast<int>(End(point) - Begin(point)); }

    // The entry of `normal` among the point's values, added to `values` when the point has no such
    // normal yet.
    template <class Values>
    int EntryOf(int point, const FbxVector4& normal, Values& values)
    {
        int last = -1;
        for (int entry = firstEntry[static_cast<std::size_t>(point)]; entry >= 0;
             entry = nextEntry[static_cast<std::size_t>(entry)]) {
            if (std::memcmp(&values[static_cast<std::size_t>(entry)], &normal, sizeof normal) == 0)
                return entry;
            last = entry;
        }
        const int added = Add(normal, values);
        (last < 0 ? firstEntry[static_cast<std::size_t>(point)] : nextEntry[static_cast<std::size_t>(last)]) = added;
        return added;
    }

    // A new entry of the values that no point shares, for a corner outside the points.
    template <class Values>
    int Add(const FbxVector4& normal, Values& values)
    {
        values.push_back(normal);
        nextEntry.push_back(-1);
        return static_cast<int>(values.size()) - 1;
    }

private:
    std::vector<int> starts;
    std::vector<int> list;
    std::vector<int> firstEntry;
    std::vector<int> nextEntry; // by entry of the values
};

FbxVector4 UnitOrFallback(const Direction& sum)
{
    const Direction unit = sum.Unit();
    return unit.IsZero() ? kFallbackNormal : FbxVector4(unit.x, unit.y, unit.z, 0.0);
}

} // namespace

void GenerateCreasedNormals(FbxMesh& mesh, double creaseDegrees)
{
    const Corners corners(mesh);
    PointCorners around(corners);
    // Every face around each point, weighed by its angle there.
    std::vector<Direction> smooth(static_cast<std::size_t>(corners.PointCount()));
    for (int v = 0; v < corners.PointCount(); ++v)
        for (const int* c = around.Begin(v); c != around.End(v); ++c)
            smooth[static_cast<std::size_t>(v)].Add(corners.NormalOf(*c), corners.AngleOf(*c));

    const double sharing = std::cos(creaseDegrees / kDegreesPerRadian);
    // The faces around the corner's point that share their normal with the corner's own face.
    auto cornerNormal = [&](int corner) {
        const int point = corners.PointOf(corner);
        const Direction own = corners.NormalOf(corner);
        const Direction& all = smooth[static_cast<std::size_t>(point)];
        if (own.IsZero())
            return all; // a face without area has no side of its own
        if (around.Count(point) > kMaxComparedCorners)
            return own.Dot(all.Unit()) >= sharing ? all : own;
        Direction sum;
        for (const int* c = around.Begin(point); c != around.End(point); ++c)
            if (own.Dot(corners.NormalOf(*c)) >= sharing)
                sum.Add(corners.NormalOf(*c), corners.AngleOf(*c));
        return sum;
    };

    if (mesh.GetElementNormalCount() == 0)
        mesh.CreateElementNormal();
    FbxLayerElementNormal& element = *mesh.GetElementNormal(0);
    element.SetMappingMode(FbxLayerElement::eByPolygonVertex);
    element.SetReferenceMode(FbxLayerElement::eIndexToDirect);
    auto& values = element.GetDirectArray().Items();
    auto& indices = element.GetIndexArray().Items();
    values.clear();
    indices.clear();
    indices.reserve(static_cast<std::size_t>(corners.CornerCount()));
    for (int c = 0; c < corners.CornerCount(); ++c) {
        const int point = corners.PointOf(c);
        if (!corners.Usable(point)) {
            indices.push_back(around.Add(kFallbackNormal, values));
            continue;
        }
        indices.push_back(around.EntryOf(point, UnitOrFallback(cornerNormal(c)), values));
    }
}
