// Point distance and bounds of a geometry at a pose. Computed directly from the geometry (and, for
// meshes, from the cooked vertices and triangles), so these queries need no scene and no Bullet
// objects and are safe to run from several threads at once.

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/PxGeometryQuery.h"
#include "geometry/PxTriangleMesh.h"

#include "Source/Objects.h"

namespace physx {
namespace {

// Closest point to p on triangle abc (Ericson, Real-Time Collision Detection, 5.1.5).
PxVec3 ClosestPointOnTriangle(const PxVec3& p, const PxVec3& a, const PxVec3& b, const PxVec3& c)
{
    const PxVec3 ab = b - a, ac = c - a, ap = p - a;
    const PxReal d1 = ab.dot(ap), d2 = ac.dot(ap);
    if (d1 <= 0.0f && d2 <= 0.0f)
        return a;
    const PxVec3 bp = p - b;
    const PxReal d3 = ab.dot(bp), d4 = ac.dot(bp);
    if (d3 >= 0.0f && d4 <= d3)
        return b;
    const PxReal vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0f && d1 >= 0.0f && d3 <= 0.0f)
        return a + ab * (d1 / (d1 - d3));
    const PxVec3 cp = p - c;
    const PxReal d5 = ab.dot(cp), d6 = ac.dot(cp);
    if (d6 >= 0.0f && d5 <= d6)
        return c;
    const PxReal vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0f && d2 >= 0.0f && d6 <= 0.0f)
        return a + ac * (d2 / (d2 - d6));
    const PxReal va = d3 * d6 - d5 * d4;
    if (va <= 0.0f && (d4 - d3) >= 0.0f && (d5 - d6) >= 0.0f)
        return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    const PxReal denom = 1.0f / (va + vb + vc);
    return a + ab * (vb * denom) + ac * (vc * denom);
}

PxU32 TriangleIndex(const void* indices, bool shortIndices, PxU32 i)
{
    return shortIndices ? static_cast<const PxU16*>(indices)[i] : static_cast<const PxU32*>(indices)[i];
}

PxReal SphereDistance(const PxVec3& point, const PxSphereGeometry& sphere, const PxTransform& pose, PxVec3* closest)
{
    const PxVec3 offset = point - pose.p;
    const PxReal distance = offset.magnitude() - sphere.radius;
    if (distance <= 0.0f)
        return 0.0f;
    if (closest != nullptr)
        *closest = pose.p + offset.getNormalized() * sphere.radius;
    return distance * distance;
}

PxReal BoxDistance(const PxVec3& point, const PxBoxGeometry& box, const PxTransform& pose, PxVec3* closest)
{
    const PxVec3 local = pose.transformInv(point);
    const PxVec3& e = box.halfExtents;
    const PxVec3 clamped(
        std::clamp(local.x, -e.x, e.x), std::clamp(local.y, -e.y, e.y), std::clamp(local.z, -e.z, e.z));
    const PxReal squared = (local - clamped).magnitudeSquared();
    if (squared > 0.0f && closest != nullptr)
        *closest = pose.transform(clamped);
    return squared;
}

// A mesh vertex as seen from the query point: its offset from the point (in the mesh's scaled local
// frame) and that offset's length. Vertices are shared by several triangles, so each is prepared once
// per query rather than once per triangle corner.
struct RelativeVertex {
    PxVec3 offset;
    double length;
};

RelativeVertex Relative(const PxVec3& vertex, const PxVec3& point)
{
    const PxVec3 d = vertex - point;
    const double x = d.x, y = d.y, z = d.z;
    return RelativeVertex { d, std::sqrt(x * x + y * y + z * z) };
}

// The sum of the angles of complex numbers x + iy, each in (-pi, pi], without an arc tangent per
// term: angles add as the arguments of a product. Each time the product passes the negative real
// axis a whole turn is counted, so that sums beyond +-pi survive; one arc tangent at the end reads
// the rest. The product is brought back to unit length every few terms, well before the terms'
// magnitudes (cubes of distances) could overflow or underflow it.
class AngleSum {
public:
    void Add(double x, double y)
    {
        // A zero term has no angle. It arises only for a point on a triangle's edge or corner, which
        // is at distance 0, where the sum is not consulted.
        if (x == 0.0 && y == 0.0)
            return;
        const double re = mRe * x - mIm * y;
        const double im = mRe * y + mIm * x;
        if (y >= 0.0 && mIm >= 0.0 && im < 0.0)
            ++mTurns; // turned counterclockwise past pi
        else if (y < 0.0 && mIm < 0.0 && im >= 0.0)
            --mTurns; // turned clockwise past -pi
        mRe = re;
        mIm = im;
        if (++mUnnormalized == kTermsPerNormalization) {
            const double inverse = 1.0 / std::sqrt(mRe * mRe + mIm * mIm);
            mRe *= inverse;
            mIm *= inverse;
            mUnnormalized = 0;
        }
    }
    double Total() const { return std::atan2(mIm, mRe) + kTwoPi * mTurns; }

private:
    static constexpr double kTwoPi = 2.0 * 3.14159265358979323846;
    static constexpr int kTermsPerNormalization = 4;
    double mRe = 1.0;
    double mIm = 0.0;
    int mTurns = 0;
    int mUnnormalized = 0;
};

// Half the signed solid angle triangle abc subtends at the query point, as the complex number whose
// argument it is (van Oosterom and Strackee). Summed over a mesh and divided by 2 pi it is the mesh's
// winding number about the point: +-1 inside a closed surface and 0 outside it, whatever the vertex
// sharing and the facing; a sheet that does not wrap around the point sums to less than one half in
// magnitude.
void AddHalfSolidAngle(AngleSum& sum, const RelativeVertex& a, const RelativeVertex& b, const RelativeVertex& c)
{
    const double ax = a.offset.x, ay = a.offset.y, az = a.offset.z;
    const double bx = b.offset.x, by = b.offset.y, bz = b.offset.z;
    const double cx = c.offset.x, cy = c.offset.y, cz = c.offset.z;
    const double la = a.length, lb = b.length, lc = c.length;
    const double triple = ax * (by * cz - bz * cy) + ay * (bz * cx - bx * cz) + az * (bx * cy - by * cx);
    const double denominator = la * lb * lc + (ax * bx + ay * by + az * bz) * lc + (ax * cx + ay * cy + az * cz) * lb
        + (bx * cx + by * cy + bz * cz) * la;
    sum.Add(denominator, triple);
}

// No point of a triangle is farther from any of its corners than its longest edge, so the triangle
// lies at least (its farthest corner's distance - the edge) from the query point. A triangle whose
// bound exceeds the nearest distance found so far cannot hold a nearer point, and its nearest point is
// not worked out. The slack keeps every triangle whose float distance could still come out nearer.
constexpr double kCullSlack = 1e-3;

bool CannotBeNearer(
    const RelativeVertex& a, const RelativeVertex& b, const RelativeVertex& c, double longestEdge, PxReal bestSquared)
{
    const double bound = std::max({ a.length, b.length, c.length }) - longestEdge;
    return bound > 0.0 && bound * bound > static_cast<double>(bestSquared) * (1.0 + kCullSlack);
}

// The most a mesh scale stretches any length: its largest factor, whatever its rotation.
double LargestScale(const PxMeshScale& scale)
{
    return std::max({ std::abs(scale.scale.x), std::abs(scale.scale.y), std::abs(scale.scale.z) });
}

// A point enclosed by the mesh: its winding number is at least one half in magnitude.
constexpr double kInsideWinding = 0.5;

// The distance to the nearest triangle; a point that the mesh encloses is inside a solid, at
// distance 0, as for boxes and spheres. Linear in the triangle count; the meshes measured this way
// are small. The scaled vertices and their offsets from the point live in a buffer of the call's own,
// so concurrent queries share nothing.
PxReal MeshDistance(const PxVec3& point, const PxTriangleMeshGeometry& geometry, const PxTransform& pose,
    PxVec3* closest, PxU32* closestIndex)
{
    const PxTriangleMesh& mesh = *geometry.triangleMesh;
    const PxVec3* vertices = mesh.getVertices();
    const PxU32 vertexCount = mesh.getNbVertices();
    const PxU32 triangleCount = mesh.getNbTriangles();
    const void* indices = mesh.getTriangles();
    const bool shortIndices = mesh.getTriangleMeshFlags() & PxTriangleMeshFlag::e16_BIT_INDICES;
    const PxVec3 local = pose.transformInv(point);
    std::vector<PxVec3> scaled(vertexCount);
    std::vector<RelativeVertex> relative(vertexCount);
    for (PxU32 v = 0; v < vertexCount; ++v) {
        scaled[v] = geometry.scale.transform(vertices[v]);
        relative[v] = Relative(scaled[v], local);
    }
    const double longestEdge = static_cast<const standin::TriangleMeshImpl&>(mesh).LongestEdge()
        * LargestScale(geometry.scale);
    PxReal best = PX_MAX_F32;
    PxVec3 bestPoint(0.0f);
    PxU32 bestTriangle = 0;
    AngleSum halfSolidAngles;
    for (PxU32 t = 0; t < triangleCount; ++t) {
        const PxU32 ia = TriangleIndex(indices, shortIndices, t * 3);
        const PxU32 ib = TriangleIndex(indices, shortIndices, t * 3 + 1);
        const PxU32 ic = TriangleIndex(indices, shortIndices, t * 3 + 2);
        AddHalfSolidAngle(halfSolidAngles, relative[ia], relative[ib], relative[ic]);
        if (CannotBeNearer(relative[ia], relative[ib], relative[ic], longestEdge, best))
            continue;
        const PxVec3 onTriangle = ClosestPointOnTriangle(local, scaled[ia], scaled[ib], scaled[ic]);
        const PxReal squared = (local - onTriangle).magnitudeSquared();
        if (squared < best) {
            best = squared;
            bestPoint = onTriangle;
            bestTriangle = t;
        }
    }
    constexpr double kTwoPi = 2.0 * 3.14159265358979323846;
    const double winding = halfSolidAngles.Total() / kTwoPi;
    if (best > 0.0f && std::abs(winding) >= kInsideWinding)
        return 0.0f;
    if (closest != nullptr)
        *closest = pose.transform(bestPoint);
    if (closestIndex != nullptr)
        *closestIndex = bestTriangle;
    return best;
}

// Local bounds of the scaled mesh: scaling the corners of the cooked bounds is exact when the scale has
// no rotation; with one, the scaled vertices are bounded one by one.
PxBounds3 ScaledMeshBounds(const PxTriangleMeshGeometry& geometry)
{
    const PxTriangleMesh& mesh = *geometry.triangleMesh;
    PxBounds3 bounds;
    if (geometry.scale.rotation.isIdentity()) {
        const PxBounds3 local = mesh.getLocalBounds();
        bounds.include(local.minimum.multiply(geometry.scale.scale));
        bounds.include(local.maximum.multiply(geometry.scale.scale));
        return bounds;
    }
    for (PxU32 v = 0; v < mesh.getNbVertices(); ++v)
        bounds.include(geometry.scale.transform(mesh.getVertices()[v]));
    return bounds;
}

} // namespace

bool PxGeometryQuery::isValid(const PxGeometry& geom)
{
    switch (geom.getType()) {
    case PxGeometryType::eBOX: return static_cast<const PxBoxGeometry&>(geom).isValid();
    case PxGeometryType::eSPHERE: return static_cast<const PxSphereGeometry&>(geom).isValid();
    case PxGeometryType::eTRIANGLEMESH: return static_cast<const PxTriangleMeshGeometry&>(geom).isValid();
    default: return false;
    }
}

PxReal PxGeometryQuery::pointDistance(const PxVec3& point, const PxGeometry& geom, const PxTransform& pose,
    PxVec3* closestPoint, PxU32* closestIndex, PxGeometryQueryFlags)
{
    if (!pose.isValid() || !isValid(geom))
        return -1.0f;
    switch (geom.getType()) {
    case PxGeometryType::eSPHERE:
        return SphereDistance(point, static_cast<const PxSphereGeometry&>(geom), pose, closestPoint);
    case PxGeometryType::eBOX: return BoxDistance(point, static_cast<const PxBoxGeometry&>(geom), pose, closestPoint);
    case PxGeometryType::eTRIANGLEMESH:
        return MeshDistance(point, static_cast<const PxTriangleMeshGeometry&>(geom), pose, closestPoint, closestIndex);
    default: return -1.0f;
    }
}

void PxGeometryQuery::computeGeomBounds(PxBounds3& bounds, const PxGeometry& geom, const PxTransform& pose,
    float offset, float inflation, PxGeometryQueryFlags)
{
    PxVec3 center = pose.p;
    PxVec3 extents(0.0f);
    switch (geom.getType()) {
    case PxGeometryType::eSPHERE: extents = PxVec3(static_cast<const PxSphereGeometry&>(geom).radius); break;
    case PxGeometryType::eBOX:
        extents = PxBounds3::poseExtent(pose, static_cast<const PxBoxGeometry&>(geom).halfExtents).getExtents();
        break;
    case PxGeometryType::eTRIANGLEMESH: {
        const auto& mesh = static_cast<const PxTriangleMeshGeometry&>(geom);
        if (mesh.triangleMesh == nullptr)
            break;
        const PxBounds3 local = ScaledMeshBounds(mesh);
        const PxBounds3 world = PxBounds3::poseExtent(
            PxTransform(pose.transform(local.getCenter()), pose.q), local.getExtents());
        center = world.getCenter();
        extents = world.getExtents();
        break;
    }
    default: break;
    }
    bounds = PxBounds3::centerExtents(center, (extents + PxVec3(offset)) * inflation);
}

} // namespace physx
