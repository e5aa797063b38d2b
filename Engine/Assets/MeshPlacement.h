#pragma once
// Where one mesh node's vertices sit in the scene: the node's global transform at time 0 times its
// geometric transform (the geometric transform moves the node's geometry alone, not its children).
// Meshes are read in their own space and placed afterwards, once their equal corners have been
// merged, so a node costs one pass over its vertices, and an identity node none.
//
// Evaluated through the FBX SDK once the scene has been converted to the engine's axes and unit: the
// conversions change node transforms and geometry alike, so the placed vertices are in the engine's
// axes and centimetres.
//
// Main thread, like the rest of the import: the node is read once, at construction.
#include "Assets/Model.h"
#include "Assets/RunningBox.h"

#include <fbxsdk.h>

class MeshPlacement {
public:
    explicit MeshPlacement(fbxsdk::FbxNode& node);

    // Whether the mesh's own space is the scene's: its vertices stay exactly as read.
    bool IsIdentity() const { return identity; }

    // Whether the transform mirrors (a negative determinant): faces would turn inside out.
    bool Mirrors() const { return mirrors; }

    // From the mesh's space to the scene's, as the SDK's matrices are (p' = M p).
    const fbxsdk::FbxAMatrix& MeshToScene() const { return meshToScene; }

    // Moves the mesh's vertices into the scene in one pass and grows `box` by each placed position.
    // Positions take the whole transform; normals the inverse transpose of its linear part, so they
    // stay square to the surface; tangents and binormals the linear part itself, as they run along
    // the surface like its edges. Every direction is made unit length again (a zero one stays zero).
    // A mirror also swaps the last two corners of every triangle, so faces still face their normals.
    void Place(Mesh& mesh, RunningBox& box) const;

private:
    fbxsdk::FbxAMatrix meshToScene;
    bool identity = true;
    bool mirrors = false;
    // Row r maps a point's x, y, z and 1 to its coordinate r.
    double position[3][4] = {};
    double normal[3][3] = {};
    double along[3][3] = {};
};
