// Tangent and binormal generation from a UV set.
//
// Corners that share a control point and a UV share their tangent frame, so smooth surfaces get
// smooth tangents and UV seams keep theirs apart. The frame of a corner is then made perpendicular
// to the corner's normal, so it depends on exactly three things: control point, UV and normal.
// Corners alike in all three get one stored frame; when that is one frame per control point (no
// seams, no hard edges) the frames are stored by control point, otherwise by polygon vertex through
// an index. Either way every corner reads the frame it would have got on its own (but for the sign
// of a zero), for a fraction of the memory a frame per polygon vertex takes.
#include <fbxsdk.h>

#include "Platform/HugePages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>

namespace fbxsdk {

namespace {

// A bucket holding more distinct frames than this is searched through an ordered map instead of
// one by one, so a control point shared by many corners cannot make the search quadratic.
constexpr std::size_t kLinearSearchFrames = 16;
// Below this UV area determinant a triangle has no usable texture direction.
constexpr double kDegenerateUvArea = 1e-20;
constexpr double kDegenerateTangent = 1e-12;

struct Vec3 {
    double x = 0, y = 0, z = 0;

    Vec3 operator+(const Vec3& o) const { return { x + o.x, y + o.y, z + o.z }; }
    Vec3 operator-(const Vec3& o) const { return { x - o.x, y - o.y, z - o.z }; }
    Vec3 operator*(double s) const { return { x * s, y * s, z * s }; }
    double Dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
    Vec3 Cross(const Vec3& o) const { return { y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x }; }
    // Scales to unit length; returns the old length (a zero vector stays zero).
    double Normalize()
    {
        double length = std::sqrt(Dot(*this));
        if (length > 0)
            *this = *this * (1.0 / length);
        return length;
    }
    bool SameBits(const Vec3& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};

Vec3 ToVec3(const FbxVector4& v)
{
    return { v[0], v[1], v[2] };
}
// -0.0 becomes +0.0, so normals equal in value are equal in bits and share frames.
Vec3 WithoutNegativeZeros(const Vec3& v)
{
    return { v.x + 0.0, v.y + 0.0, v.z + 0.0 };
}
Vec3 ToVec3(const FbxVector2& v)
{
    return { v[0], v[1], 0 };
}
FbxVector4 ToVector4(const Vec3& v, double w)
{
    return FbxVector4(v.x, v.y, v.z, w);
}

// An element's index for a corner (its control point's or its own, through the index array unless
// the element is direct; -1 for any other mapping), with the modes and the index array looked up
// once: generation asks it several times for every corner. An index beyond the index array is 0.
class CornerIndex {
public:
    template <class E>
    explicit CornerIndex(const E* element)
    {
        if (element == nullptr)
            return;
        const FbxLayerElement::EMappingMode mapping = element->GetMappingMode();
        byControlPoint = mapping == FbxLayerElement::eByControlPoint;
        mapped = byControlPoint || mapping == FbxLayerElement::eByPolygonVertex;
        direct = element->GetReferenceMode() == FbxLayerElement::eDirect;
        const std::vector<int>& items = element->GetIndexArray().Items();
        indices = items.data();
        indexCount = items.size();
    }

    int operator()(int controlPoint, int corner) const
    {
        if (!mapped)
            return -1;
        const int index = byControlPoint ? controlPoint : corner;
        if (direct)
            return index;
        return static_cast<std::size_t>(index) < indexCount ? indices[index] : 0;
    }

private:
    bool mapped = false;
    bool byControlPoint = false;
    bool direct = true;
    const int* indices = nullptr;
    std::size_t indexCount = 0;
};

Vec3 AnyPerpendicular(const Vec3& n)
{
    Vec3 axis = std::fabs(n.x) < 0.9 ? Vec3 { 1, 0, 0 } : Vec3 { 0, 1, 0 };
    Vec3 t = axis - n * n.Dot(axis);
    t.Normalize();
    return t;
}

// The mesh's topology and the two elements generation reads, with the per-corner questions on them.
class TangentInput {
public:
    // `polygonStarts` is the mesh's first polygon vertex of each polygon, then the end: read
    // directly, as the loops over a million polygons would otherwise call for it twice a polygon.
    TangentInput(const FbxMesh& mesh, const int* polygonStarts, const FbxLayerElementUV& uv)
        : mesh(mesh)
        , polygonStarts(polygonStarts)
        , polygonCount(mesh.GetPolygonCount())
        , uv(uv)
        , normals(mesh.GetElementNormal(0))
        , points(mesh.GetControlPoints())
        , pointCount(mesh.GetControlPointsCount())
        , corners(mesh.GetPolygonVertices())
        , uvIndex(&uv)
        , uvValues(uv.GetDirectArray().Items().data())
        , uvCount(uv.GetDirectArray().Items().size())
        , normalIndex(normals)
        , normalValues(normals ? normals->GetDirectArray().Items().data() : nullptr)
        , normalCount(normals ? normals->GetDirectArray().Items().size() : 0)
    {
    }

    int ControlPoint(int corner) const { return corners[corner]; }
    Vec3 Position(int corner) const
    {
        const int cp = corners[corner];
        return ToVec3(cp >= 0 && cp < pointCount ? points[cp] : mesh.GetControlPointAt(cp));
    }
    int UvIndex(int corner) const { return uvIndex(corners[corner], corner); }
    Vec3 Uv(int corner) const
    {
        const int index = UvIndex(corner);
        return static_cast<std::size_t>(index) < uvCount ? ToVec3(uvValues[index]) : Vec3 {};
    }

    // The normal the frame of a corner is built around, before it is made unit length: the normal
    // element's, else its polygon's own.
    Vec3 RawNormal(int corner) const
    {
        Vec3 n;
        if (!ElementNormal(corner, n))
            n = FaceNormal(PolygonOf(corner));
        return WithoutNegativeZeros(n);
    }

    // The normal element's value for a corner, if it has one.
    bool ElementNormal(int corner, Vec3& n) const
    {
        const int index = normalIndex(corners[corner], corner);
        if (static_cast<std::size_t>(index) >= normalCount)
            return false;
        n = ToVec3(normalValues[index]);
        return true;
    }

    // The polygon a polygon vertex belongs to; only asked for corners without a usable normal.
    int PolygonOf(int corner) const
    {
        int low = 0, high = mesh.GetPolygonCount() - 1;
        while (low < high) {
            const int middle = low + (high - low + 1) / 2;
            if (mesh.GetPolygonVertexIndex(middle) <= corner)
                low = middle;
            else
                high = middle - 1;
        }
        return low;
    }

    // The unit normal of a raw one; +Z for a zero normal.
    static Vec3 UnitNormal(Vec3 n)
    {
        if (n.Normalize() == 0.0)
            n = { 0, 0, 1 };
        return WithoutNegativeZeros(n);
    }

    // The polygon's area-weighted normal over the triangles of its fan.
    Vec3 FaceNormal(int polygon) const
    {
        Vec3 sum;
        const int start = mesh.GetPolygonVertexIndex(polygon), size = mesh.GetPolygonSize(polygon);
        for (int k = 1; k + 1 < size; ++k) {
            Vec3 p0 = Position(start), p1 = Position(start + k), p2 = Position(start + k + 1);
            sum = sum + (p1 - p0).Cross(p2 - p0);
        }
        return sum;
    }

    int PolygonStart(int polygon) const { return polygonStarts[polygon]; }
    int PolygonSize(int polygon) const { return polygonStarts[polygon + 1] - polygonStarts[polygon]; }

    const FbxMesh& mesh;
    const int* polygonStarts;
    int polygonCount;
    const FbxLayerElementUV& uv;
    const FbxLayerElementNormal* normals;
    const FbxVector4* points;
    int pointCount;
    const int* corners;

private:
    CornerIndex uvIndex;
    const FbxVector2* uvValues;
    std::size_t uvCount;
    CornerIndex normalIndex;
    const FbxVector4* normalValues;
    std::size_t normalCount;
};

// Corners alike in control point, UV and normal share one frame; frames of one control point and
// UV share one group, whose triangle directions are summed.
struct FrameTable {
    std::vector<int> frameOf; // by polygon vertex
    std::vector<int> groupOf; // by frame
    std::vector<Vec3> normalOf; // by frame
    int groupCount = 0;
};

// The polygon vertices sorted by control point (stably), with where each control point's run
// starts. Control points outside the mesh's points share one last bucket.
void BucketByControlPoint(const TangentInput& in, int cornerCount, std::vector<int>& order, std::vector<int>& start)
{
    const int buckets = in.pointCount + 1;
    auto bucketOf = [&](int corner) {
        int cp = in.ControlPoint(corner);
        return cp >= 0 && cp < in.pointCount ? cp : in.pointCount;
    };
    start.assign(std::size_t(buckets) + 1, 0);
    for (int c = 0; c < cornerCount; ++c)
        ++start[std::size_t(bucketOf(c)) + 1];
    for (int b = 0; b < buckets; ++b)
        start[std::size_t(b) + 1] += start[std::size_t(b)];
    order.resize(std::size_t(cornerCount));
    std::vector<int> next(start.begin(), start.end() - 1);
    for (int c = 0; c < cornerCount; ++c)
        order[std::size_t(next[std::size_t(bucketOf(c))]++)] = c;
}

FrameTable BuildFrames(const TangentInput& in)
{
    const int cornerCount = in.mesh.GetPolygonVertexCount();
    std::vector<int> order, start;
    BucketByControlPoint(in, cornerCount, order, start);

    FrameTable table;
    table.frameOf.assign(std::size_t(cornerCount), -1);
    struct Frame {
        int uvIndex;
        Vec3 normal; // raw
        int frame;
        int group;
    };
    // Frames are found by UV index and the raw normal's exact bits.
    using Key = std::tuple<int, std::uint64_t, std::uint64_t, std::uint64_t>;
    auto keyOf = [](int uvIndex, const Vec3& n) {
        std::uint64_t bits[3];
        std::memcpy(bits, &n, sizeof bits);
        return Key { uvIndex, bits[0], bits[1], bits[2] };
    };
    std::vector<Frame> frames;
    std::map<Key, std::size_t> manyFrames;
    std::map<int, int> manyGroups;

    const int buckets = in.pointCount + 1;
    for (int bucket = 0; bucket < buckets; ++bucket) {
        frames.clear();
        manyFrames.clear();
        manyGroups.clear();
        for (int i = start[std::size_t(bucket)]; i < start[std::size_t(bucket) + 1]; ++i) {
            const int corner = order[std::size_t(i)];
            const int uvIndex = in.UvIndex(corner);
            const Vec3 n = in.RawNormal(corner);
            const Frame* found = nullptr;
            int group = -1;
            if (frames.size() <= kLinearSearchFrames) {
                for (const Frame& f : frames) {
                    if (f.uvIndex != uvIndex)
                        continue;
                    group = f.group;
                    if (f.normal.SameBits(n)) {
                        found = &f;
                        break;
                    }
                }
            } else {
                if (auto it = manyFrames.find(keyOf(uvIndex, n)); it != manyFrames.end())
                    found = &frames[it->second];
                if (auto it = manyGroups.find(uvIndex); it != manyGroups.end())
                    group = it->second;
            }
            if (found) {
                table.frameOf[std::size_t(corner)] = found->frame;
                continue;
            }
            if (group < 0)
                group = table.groupCount++;
            const int frame = static_cast<int>(table.groupOf.size());
            table.groupOf.push_back(group);
            table.normalOf.push_back(TangentInput::UnitNormal(n));
            table.frameOf[std::size_t(corner)] = frame;
            frames.push_back({ uvIndex, n, frame, group });
            if (frames.size() == kLinearSearchFrames + 1)
                for (std::size_t k = 0; k < frames.size(); ++k) {
                    manyFrames.emplace(keyOf(frames[k].uvIndex, frames[k].normal), k);
                    manyGroups.emplace(frames[k].uvIndex, frames[k].group);
                }
            else if (frames.size() > kLinearSearchFrames + 1) {
                manyFrames.emplace(keyOf(uvIndex, n), frames.size() - 1);
                manyGroups.emplace(uvIndex, group);
            }
        }
    }
    return table;
}

// The frame of a corner from its group's summed directions and its unit normal, as (tangent with
// the flip in w, binormal).
void FinishFrame(const Vec3& tangentSum, const Vec3& binormalSum, const Vec3& n, bool ignoreTangentFlip,
    FbxVector4& tangentOut, FbxVector4& binormalOut)
{
    Vec3 t = tangentSum - n * n.Dot(tangentSum); // Gram-Schmidt against the normal
    if (t.Normalize() < kDegenerateTangent)
        t = AnyPerpendicular(n);
    Vec3 b = n.Cross(t);
    const double flip = !ignoreTangentFlip && b.Dot(binormalSum) < 0 ? -1.0 : 1.0;
    tangentOut = ToVector4(t, flip);
    binormalOut = ToVector4(b * flip, 0);
}

// Calls `add(corner, tangent, binormal)` for the three corners of every triangle of every polygon's
// fan with that triangle's texture directions.
template <class Add>
void ForEachTriangleDirection(const TangentInput& in, Add add)
{
    for (int p = 0; p < in.polygonCount; ++p) {
        const int start = in.PolygonStart(p), size = in.PolygonSize(p);
        for (int k = 1; k + 1 < size; ++k) {
            const int c[3] = { start, start + k, start + k + 1 };
            Vec3 pos[3], tex[3];
            for (int i = 0; i < 3; ++i) {
                pos[i] = in.Position(c[i]);
                tex[i] = in.Uv(c[i]);
            }
            Vec3 e1 = pos[1] - pos[0], e2 = pos[2] - pos[0];
            double du1 = tex[1].x - tex[0].x, dv1 = tex[1].y - tex[0].y;
            double du2 = tex[2].x - tex[0].x, dv2 = tex[2].y - tex[0].y;
            double r = du1 * dv2 - du2 * dv1;
            if (std::fabs(r) < kDegenerateUvArea)
                continue; // no UV area: this triangle says nothing
            Vec3 t = (e1 * dv2 - e2 * dv1) * (1.0 / r);
            Vec3 b = (e2 * du1 - e1 * du2) * (1.0 / r);
            for (int i = 0; i < 3; ++i)
                add(c[i], t, b);
        }
    }
}

// What all corners of a control point share when they agree: the normal (raw, its zeros positive)
// and the UV index. Plain values, so that an array of them is made without writing them.
struct PointNormal {
    double normal[3];
    int uvIndex;

    Vec3 Normal() const { return { normal[0], normal[1], normal[2] }; }
};

// How far generation has come with a control point.
enum class PointState : std::uint8_t {
    Unused, // no corner uses it
    Used, // its normal and UV are known
    Summed, // and its frame's sums hold at least one triangle's directions
};

// Each control point's state, and its normal and UV where every corner of each control point has the
// same UV and the same normal (no seams, no hard edges, the common case of smooth meshes). The
// normals, and the frames' sums in the output arrays, are left unwritten when made: each point's are
// written when the point is first reached, which its state tells, so clearing megabytes up front
// would only cost a pass over them.
struct SharedNormals {
    bool shared = false;
    std::vector<PointState> stateOf;
    std::unique_ptr<PointNormal[]> pointNormals;
};

// The normal is kept beside the point rather than read again through its first corner: the corners'
// normals are tens of megabytes, and going back to them point by point cost more than all the
// arithmetic of the frames.
SharedNormals SharedNormalOfEachPoint(const TangentInput& in)
{
    const int cornerCount = in.mesh.GetPolygonVertexCount();
    SharedNormals result;
    result.stateOf.assign(std::size_t(in.pointCount), PointState::Unused);
    result.pointNormals.reset(new PointNormal[std::size_t(in.pointCount)]);
    for (int corner = 0; corner < cornerCount; ++corner) {
        const int cp = in.ControlPoint(corner);
        Vec3 n;
        if (cp < 0 || cp >= in.pointCount || !in.ElementNormal(corner, n))
            return {};
        n = WithoutNegativeZeros(n);
        PointNormal& point = result.pointNormals[std::size_t(cp)];
        const int uvIndex = in.UvIndex(corner);
        if (result.stateOf[std::size_t(cp)] == PointState::Unused) {
            result.stateOf[std::size_t(cp)] = PointState::Used;
            point = { { n.x, n.y, n.z }, uvIndex };
            continue;
        }
        if (uvIndex != point.uvIndex || !n.SameBits(point.Normal()))
            return {};
    }
    result.shared = true;
    return result;
}

// One frame per control point, summed straight into the output arrays and then finished in place.
void FramesByControlPoint(const TangentInput& in, SharedNormals& points, bool ignoreTangentFlip,
    FbxLayerElementTangent& tangents, FbxLayerElementBinormal& binormals)
{
    auto& outT = tangents.GetDirectArray().Items();
    auto& outB = binormals.GetDirectArray().Items();
    for (auto* out : { &outT, &outB }) {
        out->clear();
        ReserveLarge(*out, std::size_t(in.pointCount));
        out->resize(std::size_t(in.pointCount)); // unwritten: see SharedNormals
    }
    // The directions are taken by value: through references they could be the sums being written,
    // and would be read again after every addition. A point's first directions are added to zero
    // rather than copied, so its sums are exactly what summing from zero gives, zeros' signs too.
    ForEachTriangleDirection(in, [&](int corner, const Vec3 t, const Vec3 b) {
        const std::size_t cp = std::size_t(in.ControlPoint(corner));
        double* tangentSum = outT[cp].mData;
        double* binormalSum = outB[cp].mData;
        if (points.stateOf[cp] != PointState::Summed) {
            points.stateOf[cp] = PointState::Summed;
            for (double* sum : { tangentSum, binormalSum })
                sum[0] = sum[1] = sum[2] = 0.0;
        }
        tangentSum[0] += t.x;
        tangentSum[1] += t.y;
        tangentSum[2] += t.z;
        binormalSum[0] += b.x;
        binormalSum[1] += b.y;
        binormalSum[2] += b.z;
    });
    const FbxVector4 kNoFrame(0, 0, 0, 0);
    for (std::size_t cp = 0; cp < points.stateOf.size(); ++cp) {
        const PointState state = points.stateOf[cp];
        if (state == PointState::Unused) {
            outT[cp] = outB[cp] = kNoFrame;
            continue;
        }
        const Vec3 n = TangentInput::UnitNormal(points.pointNormals[cp].Normal());
        const Vec3 tangentSum = state == PointState::Summed ? ToVec3(outT[cp]) : Vec3 {};
        const Vec3 binormalSum = state == PointState::Summed ? ToVec3(outB[cp]) : Vec3 {};
        FinishFrame(tangentSum, binormalSum, n, ignoreTangentFlip, outT[cp], outB[cp]);
    }
}

// One frame per distinct (control point, UV, normal), read through an index per polygon vertex.
void FramesByPolygonVertex(const TangentInput& in, bool ignoreTangentFlip, FbxLayerElementTangent& tangents,
    FbxLayerElementBinormal& binormals)
{
    FrameTable table = BuildFrames(in);
    std::vector<Vec3> tangentSum(std::size_t(table.groupCount)), binormalSum(std::size_t(table.groupCount));
    ForEachTriangleDirection(in, [&](int corner, const Vec3& t, const Vec3& b) {
        const std::size_t g = std::size_t(table.groupOf[std::size_t(table.frameOf[std::size_t(corner)])]);
        tangentSum[g] = tangentSum[g] + t;
        binormalSum[g] = binormalSum[g] + b;
    });
    const std::size_t frames = table.groupOf.size();
    auto& outT = tangents.GetDirectArray().Items();
    auto& outB = binormals.GetDirectArray().Items();
    outT.resize(frames);
    outB.resize(frames);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const std::size_t g = std::size_t(table.groupOf[frame]);
        FinishFrame(tangentSum[g], binormalSum[g], table.normalOf[frame], ignoreTangentFlip, outT[frame], outB[frame]);
    }
    tangents.GetIndexArray().Items() = table.frameOf;
    binormals.GetIndexArray().Items() = std::move(table.frameOf);
}

} // namespace

bool FbxMesh::GenerateTangentsData(int uvSet, bool overwrite, bool ignoreTangentFlip)
{
    if (!overwrite && GetElementTangentCount() > 0 && GetElementBinormalCount() > 0)
        return true;
    const FbxLayerElementUV* uv = GetElementUV(uvSet);
    if (!uv)
        return false;
    if (uv->GetMappingMode() != FbxLayerElement::eByControlPoint
        && uv->GetMappingMode() != FbxLayerElement::eByPolygonVertex)
        return false;

    const TangentInput in(*this, mPolygonStarts.data(), *uv);
    FbxLayerElementTangent* tangents = GetElementTangent(0) ? GetElementTangent(0) : CreateElementTangent();
    FbxLayerElementBinormal* binormals = GetElementBinormal(0) ? GetElementBinormal(0) : CreateElementBinormal();
    SharedNormals points = SharedNormalOfEachPoint(in);
    const bool byControlPoint = points.shared;
    for (FbxLayerElement* element :
        { static_cast<FbxLayerElement*>(tangents), static_cast<FbxLayerElement*>(binormals) }) {
        element->SetMappingMode(byControlPoint ? FbxLayerElement::eByControlPoint : FbxLayerElement::eByPolygonVertex);
        element->SetReferenceMode(byControlPoint ? FbxLayerElement::eDirect : FbxLayerElement::eIndexToDirect);
    }
    tangents->GetIndexArray().Clear();
    binormals->GetIndexArray().Clear();
    if (byControlPoint)
        FramesByControlPoint(in, points, ignoreTangentFlip, *tangents, *binormals);
    else
        FramesByPolygonVertex(in, ignoreTangentFlip, *tangents, *binormals);
    return true;
}

} // namespace fbxsdk
