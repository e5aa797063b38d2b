// Meshes written the way modelling tools write them, not the way our asset tool does: right-handed
// axes, polygons counter-clockwise seen from outside, normals pointing out, and a choice of up axis
// and unit. Written out by hand, corner by corner, so that they do not share a mistake with the
// import or the asset tool.
#pragma once

#include "fbxio/FbxSceneWriter.h"

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace toolmeshes {

// Where a file's y-up coordinates go when the file is written z-up as Blender writes it (x right,
// z up, -y towards the viewer): a rotation, so faces keep their winding.
inline std::array<double, 3> YUpToZUp(double x, double y, double z)
{
    return { x, -z, y };
}

enum class UpAxis { Y, Z };

// How a file is written: its up axis and how many centimetres one of its units is.
struct FileFrame {
    UpAxis up = UpAxis::Y;
    double centimetresPerUnit = 1.0;
};

inline void SetFrame(fbxio::SceneWriter& scene, const FileFrame& frame)
{
    scene.settings.unitScale = frame.centimetresPerUnit;
    scene.settings.originalUnitScale = frame.centimetresPerUnit;
    if (frame.up == UpAxis::Z) {
        scene.settings.upAxis = 2;
        scene.settings.upAxisSign = 1;
        scene.settings.frontAxis = 1;
        scene.settings.frontAxisSign = -1;
        scene.settings.coordAxis = 0;
        scene.settings.coordAxisSign = 1;
        scene.settings.originalUpAxis = 2;
    }
}

// A point or direction given in y-up centimetres, as the file stores it.
inline void AppendInFrame(std::vector<double>& out, std::array<double, 3> v, const FileFrame& frame, bool isPoint)
{
    if (frame.up == UpAxis::Z)
        v = YUpToZUp(v[0], v[1], v[2]);
    const double scale = isPoint ? 1.0 / frame.centimetresPerUnit : 1.0;
    for (double value : v)
        out.push_back(value * scale);
}

// A box from the origin to (width, height, depth) centimetres in y-up coordinates (width along the
// right axis, height up, depth towards the viewer), with one flat normal per corner.
inline fbxio::MeshData Box(double width, double height, double depth, const FileFrame& frame = {})
{
    // Control point i has x = width when bit 0 is set, y = height for bit 1, z = depth for bit 2.
    fbxio::MeshData mesh;
    for (int i = 0; i < 8; ++i)
        AppendInFrame(
            mesh.points, { (i & 1) ? width : 0.0, (i & 2) ? height : 0.0, (i & 4) ? depth : 0.0 }, frame, true);
    struct Face {
        std::vector<int> corners;
        std::array<double, 3> normal;
    };
    // Each counter-clockwise as seen from the side its normal points to.
    const Face faces[] = {
        { { 0, 2, 3, 1 }, { 0, 0, -1 } },
        { { 4, 5, 7, 6 }, { 0, 0, 1 } },
        { { 0, 1, 5, 4 }, { 0, -1, 0 } },
        { { 2, 6, 7, 3 }, { 0, 1, 0 } },
        { { 0, 4, 6, 2 }, { -1, 0, 0 } },
        { { 1, 3, 7, 5 }, { 1, 0, 0 } },
    };
    fbxio::LayerElement normals { fbxio::LayerKind::Normal, fbxio::Mapping::ByPolygonVertex, fbxio::Reference::Direct,
        "", {}, {} };
    for (const Face& face : faces) {
        mesh.polygons.push_back(face.corners);
        for (std::size_t k = 0; k < face.corners.size(); ++k)
            AppendInFrame(normals.values, face.normal, frame, false);
    }
    mesh.layers.push_back(normals);
    return mesh;
}

// A UV sphere of `radius` centimetres around the origin, y up: quads between the rings, triangles at
// the poles, smooth normals by control point.
inline fbxio::MeshData Sphere(double radius, int rings = 8, int segments = 12, const FileFrame& frame = {})
{
    const double pi = std::numbers::pi;
    fbxio::MeshData mesh;
    fbxio::LayerElement normals { fbxio::LayerKind::Normal, fbxio::Mapping::ByControlPoint, fbxio::Reference::Direct,
        "", {}, {} };
    auto addPoint = [&](std::array<double, 3> unit) {
        AppendInFrame(mesh.points, { unit[0] * radius, unit[1] * radius, unit[2] * radius }, frame, true);
        AppendInFrame(normals.values, unit, frame, false);
        return static_cast<int>(mesh.points.size() / 3 - 1);
    };
    const int south = addPoint({ 0, -1, 0 });
    const int north = addPoint({ 0, 1, 0 });
    // Rings 1 .. rings - 1 between the poles, each with `segments` points; longitude turns from +z
    // towards +x.
    auto ringPoint = [&](int ring, int segment) {
        return ring == 0 ? south : ring == rings ? north : 2 + (ring - 1) * segments + segment % segments;
    };
    for (int ring = 1; ring < rings; ++ring) {
        const double latitude = -pi / 2 + pi * ring / rings;
        for (int segment = 0; segment < segments; ++segment) {
            const double longitude = 2 * pi * segment / segments;
            addPoint({ std::cos(latitude) * std::sin(longitude), std::sin(latitude),
                std::cos(latitude) * std::cos(longitude) });
        }
    }
    // Going east (growing longitude) then north is counter-clockwise seen from outside.
    for (int ring = 0; ring < rings; ++ring)
        for (int segment = 0; segment < segments; ++segment) {
            const int a = ringPoint(ring, segment), b = ringPoint(ring, segment + 1);
            const int c = ringPoint(ring + 1, segment + 1), d = ringPoint(ring + 1, segment);
            if (ring == 0)
                mesh.polygons.push_back({ a, c, d });
            else if (ring == rings - 1)
                mesh.polygons.push_back({ a, b, c });
            else
                mesh.polygons.push_back({ a, b, c, d });
        }
    mesh.layers.push_back(normals);
    return mesh;
}

// A cylinder of `radius` about the y axis from y = 0 to `height` centimetres, as Blender makes one:
// quads around the side and one polygon of `segments` corners for each cap, no normals.
inline fbxio::MeshData Cylinder(double radius, double height, int segments)
{
    const double pi = std::numbers::pi;
    fbxio::MeshData mesh;
    // Point 2s is on the bottom ring, 2s + 1 above it; longitude turns from +z towards +x, which is
    // counter-clockwise seen from above.
    for (int segment = 0; segment < segments; ++segment) {
        const double longitude = 2 * pi * segment / segments;
        for (double y : { 0.0, height })
            mesh.points.insert(mesh.points.end(), { radius * std::sin(longitude), y, radius * std::cos(longitude) });
    }
    std::vector<int> top, bottom;
    for (int segment = 0; segment < segments; ++segment) {
        const int next = (segment + 1) % segments;
        mesh.polygons.push_back({ 2 * segment, 2 * next, 2 * next + 1, 2 * segment + 1 });
        top.push_back(2 * segment + 1);
        bottom.insert(bottom.begin(), 2 * segment);
    }
    mesh.polygons.push_back(top);
    mesh.polygons.push_back(bottom);
    return mesh;
}

} // namespace toolmeshes
