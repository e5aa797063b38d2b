#pragma once
// Questions about imported meshes that several tests ask.

#include "Assets/Model.h"
#include "Math/Matrix4x4.h"

#include <cstddef>

namespace meshchecks {

// Triangles whose area is below this share of their longest edge squared are slivers: their winding
// says nothing.
constexpr float kSliverShare = 1e-6f;

struct WindingCount {
    std::size_t agreeing = 0;
    std::size_t disagreeing = 0;
    std::size_t degenerate = 0;
};

// Counts the triangles whose winding agrees with their corners' normals in the engine's convention:
// the cross product of the first two edges, (b - a) x (c - a), points out of the drawn side. A
// triangle is degenerate when it has no area or its corners' normals sum to nothing along it.
inline WindingCount CountWindings(const Mesh& mesh)
{
    WindingCount count;
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const Vertex& a = mesh.vertices[mesh.indices[t]];
        const Vertex& b = mesh.vertices[mesh.indices[t + 1]];
        const Vertex& c = mesh.vertices[mesh.indices[t + 2]];
        const Float3 ab = XYZ(b.position) - XYZ(a.position), ac = XYZ(c.position) - XYZ(a.position);
        const Float3 bc = XYZ(c.position) - XYZ(b.position);
        const Float3 face = Cross(ab, ac);
        float longest = Dot(ab, ab);
        longest = Dot(ac, ac) > longest ? Dot(ac, ac) : longest;
        longest = Dot(bc, bc) > longest ? Dot(bc, bc) : longest;
        const float normalAlong = Dot(face, a.normal + b.normal + c.normal);
        if (Length(face) <= kSliverShare * longest || normalAlong == 0.0f)
            ++count.degenerate;
        else if (normalAlong > 0.0f)
            ++count.agreeing;
        else
            ++count.disagreeing;
    }
    return count;
}

// p' = M p for a bone offset, which is stored for column vectors (the translation in the last column).
inline Float3 ThroughOffset(const Matrix4x4& m, Float3 p)
{
    return { m.m[0][0] * p.x + m.m[0][1] * p.y + m.m[0][2] * p.z + m.m[0][3],
        m.m[1][0] * p.x + m.m[1][1] * p.y + m.m[1][2] * p.z + m.m[1][3],
        m.m[2][0] * p.x + m.m[2][1] * p.y + m.m[2][2] * p.z + m.m[2][3] };
}

} // namespace meshchecks
