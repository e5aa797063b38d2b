// Ray casts with PhysX's built-in query filtering, and geometry queries against analytic values.

#include <cmath>
#include <vector>

#include "PhysXTestWorld.h"

namespace tarnwick::test {
namespace {

constexpr PxHitFlags kRayFlags(static_cast<PxU16>(0x443)); // position | normal | mesh multiple | face index
const PxQueryFilterData kLayer16(PxFilterData(16, 0, 0, 0), PxQueryFlags(static_cast<PxU16>(3)));

using PhysXRaycast = PhysXWorld;

TEST_F(PhysXRaycast, ReportsOnlyTheNearestShapeSharingTheQueryBit)
{
    CreateScene();
    // Along +z from the origin: a layer-1 box nearest, then layer-16 boxes at 100 and 200, and a layer-16
    // static actor that was never added to the scene at 50.
    StaticBox(PxVec3(0.0f, 0.0f, 20.0f), PxVec3(10.0f), 1);
    PxRigidStatic* nearest = StaticBox(PxVec3(0.0f, 0.0f, 110.0f), PxVec3(10.0f), 16 | 1);
    StaticBox(PxVec3(0.0f, 0.0f, 210.0f), PxVec3(10.0f), 16);
    StaticBox(PxVec3(0.0f, 0.0f, 60.0f), PxVec3(10.0f), 16, kAllLayers, false);
    PxRaycastHit touches[256];
    PxRaycastBuffer buffer(touches, 256);
    ASSERT_TRUE(scene->raycast(PxVec3(0.0f), PxVec3(0.0f, 0.0f, 1.0f), 1000.0f, buffer, kRayFlags, kLayer16));
    ASSERT_TRUE(buffer.hasBlock);
    EXPECT_EQ(buffer.getNbTouches(), 0u) << "without a filter callback every hit blocks";
    EXPECT_EQ(buffer.block.actor, nearest);
    EXPECT_NE(buffer.block.shape, nullptr);
    EXPECT_NEAR(buffer.block.distance, 100.0f, 1e-2f);
    EXPECT_NEAR(buffer.block.position.z, 100.0f, 1e-2f);
    EXPECT_NEAR(buffer.block.normal.z, -1.0f, 1e-4f);
}

TEST_F(PhysXRaycast, MissesWhenOnlyFilteredShapesLieOnTheRay)
{
    CreateScene();
    StaticBox(PxVec3(0.0f, 0.0f, 20.0f), PxVec3(10.0f), 1);
    PxRigidDynamic* ball = Ball(PxVec3(0.0f, 0.0f, 60.0f), 5.0f, 16);
    PxRaycastBuffer buffer;
    const PxQueryFilterData staticOnly(PxFilterData(16, 0, 0, 0), PxQueryFlag::eSTATIC);
    EXPECT_FALSE(scene->raycast(PxVec3(0.0f), PxVec3(0.0f, 0.0f, 1.0f), 1000.0f, buffer, kRayFlags, staticOnly));
    EXPECT_FALSE(buffer.hasBlock);
    ASSERT_TRUE(scene->raycast(PxVec3(0.0f), PxVec3(0.0f, 0.0f, 1.0f), 1000.0f, buffer, kRayFlags, kLayer16));
    EXPECT_EQ(buffer.block.actor, ball);
    EXPECT_NEAR(buffer.block.distance, 55.0f, 1e-2f);
    EXPECT_FALSE(scene->raycast(PxVec3(0.0f), PxVec3(0.0f, 0.0f, 1.0f), 50.0f, buffer, kRayFlags, kLayer16))
        << "beyond reach";
}

TEST_F(PhysXRaycast, FilterCallbackTouchesAreListedUpToTheBlockingHit)
{
    struct TouchLayerOne : PxQueryFilterCallback {
        PxQueryHitType::Enum preFilter(
            const PxFilterData&, const PxShape* shape, const PxRigidActor*, PxHitFlags&) override
        {
            return shape->getQueryFilterData().word0 == 1 ? PxQueryHitType::eTOUCH : PxQueryHitType::eBLOCK;
        }
        PxQueryHitType::Enum postFilter(
            const PxFilterData&, const PxQueryHit&, const PxShape*, const PxRigidActor*) override
        {
            return PxQueryHitType::eNONE;
        }
    } filter;
    CreateScene();
    StaticBox(PxVec3(0.0f, 0.0f, 20.0f), PxVec3(5.0f), 1);
    StaticBox(PxVec3(0.0f, 0.0f, 50.0f), PxVec3(5.0f), 1);
    StaticBox(PxVec3(0.0f, 0.0f, 80.0f), PxVec3(5.0f), 2);
    StaticBox(PxVec3(0.0f, 0.0f, 110.0f), PxVec3(5.0f), 1);
    PxRaycastHit touches[8];
    PxRaycastBuffer buffer(touches, 8);
    const PxQueryFilterData data(PxQueryFlag::eSTATIC | PxQueryFlag::ePREFILTER);
    ASSERT_TRUE(scene->raycast(PxVec3(0.0f), PxVec3(0.0f, 0.0f, 1.0f), 1000.0f, buffer, kRayFlags, data, &filter));
    EXPECT_NEAR(buffer.block.distance, 75.0f, 1e-2f);
    ASSERT_EQ(buffer.getNbTouches(), 2u) << "the touch behind the blocking hit is dropped";
    EXPECT_NEAR(std::fmin(touches[0].distance, touches[1].distance), 15.0f, 1e-2f);
}

TEST_F(PhysXRaycast, HitsCookedMeshFromItsFrontWithItsFaceIndex)
{
    CreateScene();
    const std::vector<PxVec3> points = { { -1, 0, -1 }, { 1, 0, -1 }, { 1, 0, 1 }, { -1, 0, 1 } };
    const std::vector<PxU32> indices = { 0, 2, 1, 0, 3, 2 }; // facing +y
    PxTriangleMesh* mesh = CookMesh(points, indices);
    ASSERT_NE(mesh, nullptr);
    PxRigidStatic* floor = Own(physics->createRigidStatic(PxTransform(PxIdentity)),
        Shape(PxTriangleMeshGeometry(mesh, PxMeshScale(100.0f)), 16, kAllLayers));
    mesh->release();
    PxRaycastBuffer buffer;
    ASSERT_TRUE(
        scene->raycast(PxVec3(50.0f, 30.0f, 50.0f), PxVec3(0.0f, -1.0f, 0.0f), 100.0f, buffer, kRayFlags, kLayer16));
    EXPECT_EQ(buffer.block.actor, floor);
    EXPECT_NEAR(buffer.block.distance, 30.0f, 1e-2f);
    EXPECT_NEAR(buffer.block.normal.y, 1.0f, 1e-4f);
    EXPECT_LT(buffer.block.faceIndex, 2u);
    EXPECT_FALSE(
        scene->raycast(PxVec3(50.0f, -30.0f, 50.0f), PxVec3(0.0f, 1.0f, 0.0f), 100.0f, buffer, kRayFlags, kLayer16))
        << "meshes are one-sided for rays";
}

TEST(PhysXGeometryQuery, PointDistanceIsSquaredAndZeroInsideSolids)
{
    const PxTransform pose(
        PxVec3(10.0f, 0.0f, 0.0f), PxQuat(static_cast<float>(M_PI) / 2.0f, PxVec3(0.0f, 1.0f, 0.0f)));
    const PxBoxGeometry box(1.0f, 2.0f, 3.0f);
    // Rotated 90° about y, the box's local z runs along world x: it spans x in [7, 13].
    EXPECT_EQ(PxGeometryQuery::pointDistance(PxVec3(12.5f, 0.0f, 0.0f), box, pose), 0.0f);
    EXPECT_NEAR(PxGeometryQuery::pointDistance(PxVec3(15.0f, 0.0f, 0.0f), box, pose), 4.0f, 1e-4f);
    EXPECT_NEAR(PxGeometryQuery::pointDistance(PxVec3(10.0f, 5.0f, 4.0f), box, pose), 9.0f + 9.0f, 1e-4f);

    const PxSphereGeometry sphere(5.0f);
    EXPECT_EQ(PxGeometryQuery::pointDistance(PxVec3(12.0f, 1.0f, 0.0f), sphere, pose), 0.0f);
    PxVec3 closest;
    EXPECT_NEAR(PxGeometryQuery::pointDistance(PxVec3(10.0f, 0.0f, 8.0f), sphere, pose, &closest), 9.0f, 1e-4f);
    EXPECT_NEAR(closest.z, 5.0f, 1e-4f);
    EXPECT_LT(PxGeometryQuery::pointDistance(PxVec3(0.0f), PxSphereGeometry(-1.0f), pose), 0.0f) << "invalid geometry";
}

using PhysXMeshQuery = PhysXWorld;

// Square faces of a cube of half size 1, each with corners of its own (no two faces share a vertex,
// as imported models come): the face at n spanned by u and v, its two triangles counter-clockwise
// seen from u x v.
struct SeparateFaces {
    std::vector<PxVec3> points;
    std::vector<PxU32> indices;

    void Add(PxVec3 n, PxVec3 u, PxVec3 v)
    {
        const PxU32 base = static_cast<PxU32>(points.size());
        for (PxVec3 corner : { n - u - v, n + u - v, n + u + v, n - u + v })
            points.push_back(corner);
        for (PxU32 i : { 0u, 1u, 2u, 0u, 2u, 3u })
            indices.push_back(base + i);
    }

    // A face of the cube of half size 1, named by where its outward normal points.
    enum class CubeFace { Back, Top, Bottom, Right, Left, Front };
    void Add(CubeFace face)
    {
        const PxVec3 x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
        switch (face) {
        case CubeFace::Back: Add(-z, y, x); break;
        case CubeFace::Top: Add(y, z, x); break;
        case CubeFace::Bottom: Add(-y, x, z); break;
        case CubeFace::Right: Add(x, y, z); break;
        case CubeFace::Left: Add(-x, z, y); break;
        case CubeFace::Front: Add(z, x, y); break;
        }
    }
};
using CubeFace = SeparateFaces::CubeFace;

TEST_F(PhysXMeshQuery, PointDistanceAndBoundsOfAScaledMeshAtAPose)
{
    const std::vector<PxVec3> points = { { -1, 0, -1 }, { 1, 0, -1 }, { 1, 0, 1 }, { -1, 0, 1 }, { 0, 1, 0 } };
    const std::vector<PxU32> indices = { 0, 2, 1, 0, 3, 2, 0, 1, 4 };
    PxTriangleMesh* mesh = CookMesh(points, indices);
    ASSERT_NE(mesh, nullptr);
    const PxTriangleMeshGeometry geometry(mesh, PxMeshScale(10.0f));
    const PxTransform pose(PxVec3(0.0f, 100.0f, 0.0f));
    PxU32 triangle = 99;
    // Above the middle of the quad at height 3: nearest is the slanted triangle or the quad; the quad
    // is 3 below, the slanted face (plane through (-10,0,-10),(10,0,-10),(0,10,0)) is farther.
    EXPECT_NEAR(
        PxGeometryQuery::pointDistance(PxVec3(5.0f, 103.0f, 8.0f), geometry, pose, nullptr, &triangle), 9.0f, 1e-3f);
    EXPECT_LT(triangle, 2u);
    // The mesh is a surface: a point under the quad has a distance too.
    EXPECT_NEAR(PxGeometryQuery::pointDistance(PxVec3(0.0f, 96.0f, 5.0f), geometry, pose), 16.0f, 1e-3f);
    // Beyond the quad's corner (10, 0, 10): distance to that corner.
    EXPECT_NEAR(PxGeometryQuery::pointDistance(PxVec3(13.0f, 100.0f, 14.0f), geometry, pose), 9.0f + 16.0f, 1e-3f);

    PxBounds3 bounds;
    PxGeometryQuery::computeGeomBounds(bounds, geometry, pose, 0.0f, 1.01f);
    EXPECT_NEAR(bounds.minimum.x, -10.1f, 1e-4f);
    EXPECT_NEAR(bounds.maximum.x, 10.1f, 1e-4f);
    EXPECT_NEAR(bounds.minimum.y, 100.0f - 0.05f, 1e-4f);
    EXPECT_NEAR(bounds.maximum.y, 110.0f + 0.05f, 1e-4f);
    mesh->release();
}

TEST_F(PhysXMeshQuery, APointEnclosedByAClosedMeshIsInsideItAsInsideABox)
{
    // A cube of half size 1 as imported models come: each face with corners of its own, so that no
    // two faces share a vertex. Enclosed points are at distance 0 however far they are from every
    // face. Two faces of it, bent like a page, enclose nothing: the same point is measured to the
    // nearest face.
    SeparateFaces faces;
    for (CubeFace face : { CubeFace::Back, CubeFace::Top })
        faces.Add(face);
    PxTriangleMesh* page = CookMesh(faces.points, faces.indices);
    for (CubeFace face : { CubeFace::Bottom, CubeFace::Right, CubeFace::Left, CubeFace::Front })
        faces.Add(face);
    PxTriangleMesh* cube = CookMesh(faces.points, faces.indices);
    ASSERT_NE(page, nullptr);
    ASSERT_NE(cube, nullptr);
    const PxTransform pose(PxVec3(0.0f, 50.0f, 0.0f), PxQuat(0.4f, PxVec3(0.0f, 1.0f, 0.0f)));
    const PxTriangleMeshGeometry solid(cube, PxMeshScale(6.0f));
    EXPECT_EQ(PxGeometryQuery::pointDistance(PxVec3(0.0f, 50.0f, 0.0f), solid, pose), 0.0f) << "the middle";
    EXPECT_EQ(PxGeometryQuery::pointDistance(PxVec3(1.0f, 53.0f, -2.0f), solid, pose), 0.0f);
    EXPECT_NEAR(PxGeometryQuery::pointDistance(PxVec3(0.0f, 59.0f, 0.0f), solid, pose), 9.0f, 1e-3f) << "above the top";
    const PxTriangleMeshGeometry bent(page, PxMeshScale(6.0f));
    EXPECT_NEAR(PxGeometryQuery::pointDistance(PxVec3(0.0f, 50.0f, 0.0f), bent, pose), 36.0f, 1e-3f);
    // Mirrored by a negative scale the cube still encloses its middle.
    const PxTriangleMeshGeometry mirrored(cube, PxMeshScale(PxVec3(-6.0f, 6.0f, 6.0f), PxQuat(PxIdentity)));
    EXPECT_EQ(PxGeometryQuery::pointDistance(PxVec3(0.0f, 50.0f, 0.0f), mirrored, pose), 0.0f);
    page->release();
    cube->release();
}

TEST_F(PhysXMeshQuery, AnOpenCupEnclosesWhatLiesBelowItsRimAndNotWhatIsAboveIt)
{
    // The cube of half size 1 without its top face. Inside it the five faces wrap around more than
    // half of every direction (five sixths at the middle), so points there count as enclosed; above
    // the rim they wrap around far less, and the point is measured to the rim.
    SeparateFaces faces;
    for (CubeFace face : { CubeFace::Back, CubeFace::Bottom, CubeFace::Right, CubeFace::Left, CubeFace::Front })
        faces.Add(face);
    PxTriangleMesh* cup = CookMesh(faces.points, faces.indices);
    ASSERT_NE(cup, nullptr);
    const PxTransform pose(PxVec3(0.0f, 50.0f, 0.0f), PxQuat(0.4f, PxVec3(0.0f, 1.0f, 0.0f)));
    const PxTriangleMeshGeometry geometry(cup, PxMeshScale(6.0f));
    EXPECT_EQ(PxGeometryQuery::pointDistance(PxVec3(0.0f, 50.0f, 0.0f), geometry, pose), 0.0f) << "the middle";
    EXPECT_EQ(PxGeometryQuery::pointDistance(PxVec3(0.0f, 47.0f, 0.0f), geometry, pose), 0.0f) << "near the bottom";
    EXPECT_EQ(PxGeometryQuery::pointDistance(PxVec3(0.0f, 54.0f, 0.0f), geometry, pose), 0.0f) << "near the rim";
    // 3 above the rim's plane, 6 in from the rim in the cup's own frame: 9 + 36.
    EXPECT_NEAR(PxGeometryQuery::pointDistance(PxVec3(0.0f, 59.0f, 0.0f), geometry, pose), 45.0f, 1e-3f);
    cup->release();
}

TEST(PhysXGeometryQuery, BoundsGrowByOffsetThenScaleByInflation)
{
    PxBounds3 bounds;
    PxGeometryQuery::computeGeomBounds(
        bounds, PxSphereGeometry(5.0f), PxTransform(PxVec3(1.0f, 2.0f, 3.0f)), 1.0f, 2.0f);
    EXPECT_NEAR(bounds.minimum.x, 1.0f - 12.0f, 1e-5f);
    EXPECT_NEAR(bounds.maximum.z, 3.0f + 12.0f, 1e-5f);

    // A 45° turn about y spreads the box's x and z half extents over both axes.
    const PxTransform turned(PxVec3(0.0f), PxQuat(static_cast<float>(M_PI) / 4.0f, PxVec3(0.0f, 1.0f, 0.0f)));
    PxGeometryQuery::computeGeomBounds(bounds, PxBoxGeometry(2.0f, 1.0f, 2.0f), turned, 0.0f, 1.01f);
    const PxReal diagonal = 2.0f * std::sqrt(2.0f) * 1.01f;
    EXPECT_NEAR(bounds.maximum.x, diagonal, 1e-4f);
    EXPECT_NEAR(bounds.minimum.z, -diagonal, 1e-4f);
    EXPECT_NEAR(bounds.maximum.y, 1.01f, 1e-5f);
}

TEST_F(PhysXMeshQuery, EveryPointOfAScaledGridFindsItsNearestTriangleWhereverItLiesInTheMesh)
{
    // A flat 10 x 10 grid of unit cells, two triangles each, scaled 20 times and lying along x at a
    // slant. Whichever triangle the nearest point is on, early or late in the mesh, the query finds
    // it: directly over a cell the distance is the height, beyond the grid's edge it is to the edge.
    constexpr int kCells = 10;
    constexpr float kScale = 20.0f;
    std::vector<PxVec3> points;
    std::vector<PxU32> indices;
    for (int i = 0; i <= kCells; ++i)
        for (int j = 0; j <= kCells; ++j)
            points.emplace_back(static_cast<float>(i), 0.0f, static_cast<float>(j));
    for (int i = 0; i < kCells; ++i)
        for (int j = 0; j < kCells; ++j) {
            const PxU32 a = static_cast<PxU32>(i * (kCells + 1) + j), b = a + kCells + 1;
            for (PxU32 k : { a, a + 1, b, b, a + 1, b + 1 })
                indices.push_back(k);
        }
    PxTriangleMesh* grid = CookMesh(points, indices);
    ASSERT_NE(grid, nullptr);
    const PxTransform pose(PxVec3(0.0f, 10.0f, 0.0f), PxQuat(0.3f, PxVec3(0.0f, 0.0f, 1.0f)));
    const PxTriangleMeshGeometry geometry(grid, PxMeshScale(kScale));
    const float extent = kCells * kScale;
    for (float x : { 5.0f, 71.0f, 133.0f, 197.0f })
        for (float z : { 3.0f, 99.0f, 188.0f })
            for (float height : { 0.5f, 7.0f, 60.0f }) {
                PxVec3 closest;
                const PxVec3 point = pose.transform(PxVec3(x, height, z));
                EXPECT_NEAR(PxGeometryQuery::pointDistance(point, geometry, pose, &closest), height * height,
                    1e-3f * height * height)
                    << x << ", " << z << " at " << height;
                EXPECT_LT((closest - pose.transform(PxVec3(x, 0.0f, z))).magnitude(), 1e-2f);
            }
    // Beyond the far corner, 30 out along x and 40 along z, 10 up.
    const PxVec3 beyond = pose.transform(PxVec3(extent + 30.0f, 10.0f, extent + 40.0f));
    EXPECT_NEAR(PxGeometryQuery::pointDistance(beyond, geometry, pose), 900.0f + 1600.0f + 100.0f, 0.5f);
    grid->release();
}

} // namespace
} // namespace tarnwick::test
