#pragma once
// Small meshes for import tests, written through our FBX writer. Each is the least a case needs.

#include "fbxio/FbxSceneWriter.h"

#include <utility>
#include <vector>

namespace meshfixtures {

using fbxio::LayerElement;
using fbxio::LayerKind;
using fbxio::Mapping;
using fbxio::MeshData;

inline LayerElement Layer(LayerKind kind, Mapping mapping, std::vector<double> values)
{
    LayerElement layer;
    layer.kind = kind;
    layer.mapping = mapping;
    layer.values = std::move(values);
    return layer;
}

// `value` (of any width) repeated `count` times.
inline std::vector<double> Repeat(const std::vector<double>& value, int count)
{
    std::vector<double> out;
    for (int i = 0; i < count; ++i)
        out.insert(out.end(), value.begin(), value.end());
    return out;
}

// Two triangles side by side at x from 1 to 4, with a normal, tangent, binormal and UV (0.5, 0.25) per
// corner.
inline MeshData TwoTriangles()
{
    MeshData mesh;
    mesh.points = { 1, 0, 0, 2, 0, 0, 2, 1, 0, 3, 0, 0, 4, 0, 0, 4, 1, 0 };
    mesh.polygons = { { 0, 1, 2 }, { 3, 4, 5 } };
    mesh.layers = { Layer(LayerKind::Normal, Mapping::ByPolygonVertex, Repeat({ 0, 0, 1 }, 6)),
        Layer(LayerKind::Tangent, Mapping::ByPolygonVertex, Repeat({ 1, 0, 0 }, 6)),
        Layer(LayerKind::Binormal, Mapping::ByPolygonVertex, Repeat({ 0, 1, 0 }, 6)),
        Layer(LayerKind::UV, Mapping::ByPolygonVertex, Repeat({ 0.5, 0.25 }, 6)) };
    return mesh;
}

// An octahedron with one normal, tangent and binormal per control point and one UV everywhere: its 24
// corners collapse to 6 vertices only when equal vertices are merged.
inline MeshData SmoothOctahedron()
{
    MeshData mesh;
    mesh.points = { 1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1 };
    mesh.polygons = { { 0, 2, 4 }, { 2, 1, 4 }, { 1, 3, 4 }, { 3, 0, 4 }, { 2, 0, 5 }, { 1, 2, 5 }, { 3, 1, 5 },
        { 0, 3, 5 } };
    mesh.layers = { Layer(LayerKind::Normal, Mapping::ByControlPoint, mesh.points),
        Layer(LayerKind::Tangent, Mapping::ByControlPoint, Repeat({ 0, 1, 0 }, 6)),
        Layer(LayerKind::Binormal, Mapping::ByControlPoint, Repeat({ 0, 0, 1 }, 6)),
        Layer(LayerKind::UV, Mapping::ByPolygonVertex, Repeat({ 0.5, 0.5 }, 24)) };
    return mesh;
}

} // namespace meshfixtures
