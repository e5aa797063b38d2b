#include "CabinModels.h"

#include "MeshBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

// The scene scales the walls, roof slabs and gables by this much.
constexpr double kSceneScale = 5.0;

// The wall slab, in model units. The scene sizes each wall's and roof slab's box collider to this
// slab and centres it on the object's origin across the slab and half the slab's unscaled height above
// it, so the slab is made to be exactly that box: its height puts the origin at 40% of it, and it is
// centred across its thickness. Scaled by the scene's 5 it is 5 units thick, the walls' outer faces at
// +-37.5 from the middle and their inner faces at +-32.5. It reaches past the side walls' outer faces
// (x = +-37.5 in the world) by all but a sliver, so the corners close without coplanar faces. The top
// lies inside the roof slabs above it.
constexpr double kWallHalfWidth = 37.45 / kSceneScale;
constexpr double kWallHeight = 13.5;
constexpr double kWallBottom = -0.4 * kWallHeight;
constexpr double kWallTop = 0.6 * kWallHeight;
constexpr double kWallBack = -0.5;
constexpr double kWallFront = 0.5;

// World units of wall per texture repeat (the planks texture is square).
constexpr double kTextureWorldSize = 25.0;

// The gable's outline in the world: a bottom edge hidden inside the wall tops, sides at the roof
// slabs' pitch running along the middle of the slabs, the apex inside the ridge. The scene places
// gables at (-0.4, 44, +-35), the second turned half round, so the outline is symmetric about its
// origin and reaches no further than the walls (+-37.45) either way from it.
constexpr double kGableOriginX = -0.4;
constexpr double kGableOriginY = 44.0;
constexpr double kGableHalfWidth = kWallHalfWidth * kSceneScale + kGableOriginX;
constexpr double kGableBottom = 36.0;
constexpr double kGableApex = 69.3;
constexpr double kRoofPitch = 0.8135;

// The collision prism of a gable, in the world: the gable itself from just below the wall tops (whose
// boxes cover the rest) to the apex, between the gable's inner and outer faces. The scene lowers it 9
// units and scales it by 5.
constexpr double kColliderOffsetY = -9.0;
constexpr double kColliderBottom = 39.5;

// The floor: a 2 x 2 square lifted 2.5 units, so that scaled to the scene's floor at y = -5 it lies
// on the top of the floor's 5-unit-thick box collider.
constexpr double kFloorHeight = 2.5;
constexpr double kFloorTextureRepeat = 400.0;

constexpr int kSphereSegments = 32;
constexpr int kSphereRings = 16;

// The hole: a closed cylinder of radius 1 about z, from z = -2.5 to 2.5. The scene draws it scaled
// (6, 6, 3) and cooks its collider at a uniform 6; a contact anywhere inside that solid is cancelled.
constexpr int kCylinderSegments = 32;
constexpr double kCylinderHalfLength = 2.5;

// A box face from its four corners in order, textured by a planar projection of world positions.
void AddPlanarFace(MeshBuilder& mesh, std::vector<Vec3> corners, Vec3 normal, double scale, Vec3 worldOffset)
{
    // Project on the plane the face is most aligned with, so planks run horizontally on walls.
    std::vector<Corner> textured;
    for (Vec3 p : corners) {
        Vec3 world = p * scale + worldOffset;
        Corner corner { p, 0.0, 0.0 };
        if (std::abs(normal.y) > 0.7) {
            corner.u = world.x / kTextureWorldSize;
            corner.v = world.z / kTextureWorldSize;
        } else if (std::abs(normal.x) > 0.7) {
            corner.u = world.z / kTextureWorldSize;
            corner.v = world.y / kTextureWorldSize;
        } else {
            corner.u = world.x / kTextureWorldSize;
            corner.v = world.y / kTextureWorldSize;
        }
        textured.push_back(corner);
    }
    mesh.AddFlatFace(textured, normal);
}

// A prism: the outline (in x-y, in order) extruded from z = back to z = front, every face outwards.
void AddPrism(MeshBuilder& mesh, const std::vector<std::array<double, 2>>& outline, double back, double front,
    double scale, Vec3 worldOffset)
{
    std::vector<Vec3> frontFace;
    std::vector<Vec3> backFace;
    for (const auto& p : outline) {
        frontFace.push_back({ p[0], p[1], front });
        backFace.push_back({ p[0], p[1], back });
    }
    AddPlanarFace(mesh, frontFace, { 0, 0, 1 }, scale, worldOffset);
    AddPlanarFace(mesh, backFace, { 0, 0, -1 }, scale, worldOffset);

    // The sides' outward normals point away from the outline's centre.
    Vec3 centre;
    for (const Vec3& p : frontFace)
        centre = centre + p * (1.0 / static_cast<double>(frontFace.size()));
    for (std::size_t i = 0; i < outline.size(); ++i) {
        std::size_t j = (i + 1) % outline.size();
        Vec3 a = frontFace[i], b = frontFace[j], c = backFace[j], d = backFace[i];
        Vec3 edge = b - a;
        Vec3 normal = Normalized(Vec3 { edge.y, -edge.x, 0.0 });
        Vec3 middle = (a + b) * 0.5;
        if (Dot(normal, middle - centre) < 0.0)
            normal = normal * -1.0;
        AddPlanarFace(mesh, { a, b, c, d }, normal, scale, worldOffset);
    }
}

fbxio::MeshData CabinWall()
{
    MeshBuilder mesh;
    AddPrism(mesh,
        { { { -kWallHalfWidth, kWallBottom } }, { { kWallHalfWidth, kWallBottom } }, { { kWallHalfWidth, kWallTop } },
            { { -kWallHalfWidth, kWallTop } } },
        kWallBack, kWallFront, kSceneScale, {});
    return mesh.Build();
}

// The gable outline in model units, relative to its origin.
std::vector<std::array<double, 2>> GableOutline(double originY, double bottom, double halfWidth)
{
    auto local = [originY](double x, double y) {
        return std::array<double, 2> { x / kSceneScale, (y - originY) / kSceneScale };
    };
    double sideTop = kGableApex - halfWidth * kRoofPitch;
    return { local(-halfWidth, bottom), local(halfWidth, bottom), local(halfWidth, sideTop), local(0.0, kGableApex),
        local(-halfWidth, sideTop) };
}

fbxio::MeshData CabinRoofTopFace()
{
    MeshBuilder mesh;
    AddPrism(mesh, GableOutline(kGableOriginY, kGableBottom, kGableHalfWidth), kWallBack, kWallFront, kSceneScale,
        { kGableOriginX, kGableOriginY, 0.0 });
    return mesh.Build();
}

fbxio::MeshData TriangleCollider()
{
    // Only the triangle above the wall tops needs a collider: the walls' boxes cover the rest.
    double halfWidth = (kGableApex - kColliderBottom) / kRoofPitch;
    auto local = [](double x, double y) {
        return std::array<double, 2> { x / kSceneScale, (y - kGableOriginY - kColliderOffsetY) / kSceneScale };
    };
    MeshBuilder mesh;
    AddPrism(mesh, { local(-halfWidth, kColliderBottom), local(halfWidth, kColliderBottom), local(0.0, kGableApex) },
        kWallBack, kWallFront, kSceneScale, {});
    return mesh.Build();
}

fbxio::MeshData Plane()
{
    MeshBuilder mesh;
    std::vector<Corner> corners;
    for (auto [x, z] :
        { std::pair { -1.0, -1.0 }, std::pair { 1.0, -1.0 }, std::pair { 1.0, 1.0 }, std::pair { -1.0, 1.0 } })
        corners.push_back(
            { { x, kFloorHeight, z }, (x + 1.0) * 0.5 * kFloorTextureRepeat, (z + 1.0) * 0.5 * kFloorTextureRepeat });
    mesh.AddFlatFace(corners, { 0, 1, 0 });
    return mesh.Build();
}

// A point of the unit sphere from its longitude (around y, from +z towards +x) and latitude.
Vec3 SpherePoint(double longitude, double latitude)
{
    return { std::sin(longitude) * std::cos(latitude), std::sin(latitude), std::cos(longitude) * std::cos(latitude) };
}

fbxio::MeshData UVSphere()
{
    MeshBuilder mesh;
    const double pi = std::numbers::pi;
    for (int ring = 0; ring < kSphereRings; ++ring) {
        double latitudes[2] = { -pi / 2 + pi * ring / kSphereRings, -pi / 2 + pi * (ring + 1) / kSphereRings };
        for (int segment = 0; segment < kSphereSegments; ++segment) {
            double longitudes[2] = { 2 * pi * segment / kSphereSegments, 2 * pi * (segment + 1) / kSphereSegments };
            // Corners in order around the quad; the poles' quads collapse to triangles.
            std::vector<std::pair<int, int>> order { { 0, 0 }, { 1, 0 }, { 1, 1 }, { 0, 1 } };
            std::vector<Corner> corners;
            std::vector<Vec3> normals, tangents, binormals;
            for (auto [s, r] : order) {
                if ((r == 0 && ring == 0 && s == 1) || (r == 1 && ring == kSphereRings - 1 && s == 1))
                    continue;
                Vec3 p = SpherePoint(longitudes[s], latitudes[r]);
                corners.push_back({ p, (segment + s) / double(kSphereSegments), (ring + r) / double(kSphereRings) });
                normals.push_back(p);
                tangents.push_back({ std::cos(longitudes[s]), 0.0, -std::sin(longitudes[s]) });
                // North: towards growing latitude, as v grows.
                binormals.push_back(Normalized(Cross(p, tangents.back())));
            }
            Vec3 winding = Cross(corners[1].position - corners[0].position, corners[2].position - corners[0].position);
            if (Dot(winding, corners[0].position) < 0.0) {
                std::reverse(corners.begin(), corners.end());
                std::reverse(normals.begin(), normals.end());
                std::reverse(tangents.begin(), tangents.end());
                std::reverse(binormals.begin(), binormals.end());
            }
            mesh.AddSmoothFace(corners, normals, tangents, binormals);
        }
    }
    return mesh.Build();
}

void AddDisk(MeshBuilder& mesh, double z, Vec3 normal)
{
    std::vector<Corner> corners;
    for (int i = 0; i < kCylinderSegments; ++i) {
        double angle = 2 * std::numbers::pi * i / kCylinderSegments;
        corners.push_back(
            { { std::cos(angle), std::sin(angle), z }, 0.5 + 0.5 * std::cos(angle), 0.5 + 0.5 * std::sin(angle) });
    }
    mesh.AddFlatFace(corners, normal);
}

fbxio::MeshData Cylinder()
{
    MeshBuilder mesh;
    for (int i = 0; i < kCylinderSegments; ++i) {
        double a0 = 2 * std::numbers::pi * i / kCylinderSegments;
        double a1 = 2 * std::numbers::pi * (i + 1) / kCylinderSegments;
        Vec3 n0 { std::cos(a0), std::sin(a0), 0.0 };
        Vec3 n1 { std::cos(a1), std::sin(a1), 0.0 };
        double u0 = double(i) / kCylinderSegments, u1 = double(i + 1) / kCylinderSegments;
        std::vector<Corner> corners { { { n0.x, n0.y, -kCylinderHalfLength }, u0, 0.0 },
            { { n1.x, n1.y, -kCylinderHalfLength }, u1, 0.0 }, { { n1.x, n1.y, kCylinderHalfLength }, u1, 1.0 },
            { { n0.x, n0.y, kCylinderHalfLength }, u0, 1.0 } };
        Vec3 tangent0 { -n0.y, n0.x, 0.0 }, tangent1 { -n1.y, n1.x, 0.0 };
        std::vector<Vec3> normals { n0, n1, n1, n0 }, tangents { tangent0, tangent1, tangent1, tangent0 };
        std::vector<Vec3> binormals(4, Vec3 { 0.0, 0.0, 1.0 });
        Vec3 winding = Cross(corners[1].position - corners[0].position, corners[2].position - corners[0].position);
        if (Dot(winding, n0 + n1) < 0.0) {
            std::reverse(corners.begin(), corners.end());
            std::reverse(normals.begin(), normals.end());
            std::reverse(tangents.begin(), tangents.end());
        }
        mesh.AddSmoothFace(corners, normals, tangents, binormals);
    }
    AddDisk(mesh, kCylinderHalfLength, { 0, 0, 1 });
    AddDisk(mesh, -kCylinderHalfLength, { 0, 0, -1 });
    return mesh.Build();
}

bool WriteModel(const std::string& folder, const std::string& name, fbxio::MeshData mesh)
{
    fbxio::SceneWriter scene;
    scene.settings.title = name;
    scene.AddMesh(name, std::move(mesh));
    std::string path = folder + "/" + name + ".fbx";
    if (scene.Save(path))
        return true;
    std::fprintf(stderr, "make-assets: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

bool WriteCabinModels(const std::string& folder)
{
    bool ok = true;
    ok &= WriteModel(folder, "CabinWall", CabinWall());
    ok &= WriteModel(folder, "CabinRoofTopFace", CabinRoofTopFace());
    ok &= WriteModel(folder, "Plane", Plane());
    ok &= WriteModel(folder, "TriangleCollider", TriangleCollider());
    ok &= WriteModel(folder, "UVSphere", UVSphere());
    ok &= WriteModel(folder, "Cylinder", Cylinder());
    return ok;
}
