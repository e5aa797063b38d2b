#pragma once
// Builds FBX meshes for the program's models, authored in the engine's own frame (left-handed, y up,
// centimetres) and written as modelling tools write them (right-handed, y up, faces counter-clockwise
// seen from outside): z is negated on the way out, and the import's axis conversion negates it back.
//
// Faces are given in the engine's frame with the winding the renderer draws: the cross product of a
// face's first two edges points out of the face's visible side. Negating z turns that winding round,
// so each face's corners are written in the opposite order (first corner kept), and the import, which
// reverses them again when it mirrors the file into the engine's frame, gets back the faces as given.

#include "fbxio/FbxSceneWriter.h"

#include <array>
#include <vector>

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

inline Vec3 operator+(Vec3 a, Vec3 b)
{
    return { a.x + b.x, a.y + b.y, a.z + b.z };
}
inline Vec3 operator-(Vec3 a, Vec3 b)
{
    return { a.x - b.x, a.y - b.y, a.z - b.z };
}
inline Vec3 operator*(Vec3 a, double s)
{
    return { a.x * s, a.y * s, a.z * s };
}
double Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
Vec3 Normalized(Vec3 a);

// One corner of a face: where it is and its texture coordinate (v grows upwards in the image).
struct Corner {
    Vec3 position;
    double u = 0.0;
    double v = 0.0;
};

class MeshBuilder {
public:
    // A flat polygon (convex, corners in order around it) whose visible side faces `normal`. Its
    // corners are reordered if needed so the winding matches. The tangent frame follows the texture:
    // tangent along growing u, binormal along growing v.
    void AddFlatFace(std::vector<Corner> corners, Vec3 normal);

    // A polygon with its own per-corner normals, tangents and binormals (a curved surface).
    void AddSmoothFace(const std::vector<Corner>& corners, const std::vector<Vec3>& normals,
        const std::vector<Vec3>& tangents, const std::vector<Vec3>& binormals);

    // The mesh as the FBX writer takes it: per-polygon-vertex normals, tangents, binormals and UVs.
    fbxio::MeshData Build() const;

private:
    struct FaceCorner {
        Corner corner;
        Vec3 normal;
        Vec3 tangent;
        Vec3 binormal;
    };
    // A face's corners in the order the file takes them: counter-clockwise in its right-handed frame.
    static std::vector<FaceCorner> WrittenOrder(const std::vector<FaceCorner>& face);

    std::vector<std::vector<FaceCorner>> faces;
};

// The tangent and binormal of a flat face from its first three corners' positions and UVs.
void TangentFrame(const std::vector<Corner>& corners, Vec3 normal, Vec3& tangent, Vec3& binormal);
