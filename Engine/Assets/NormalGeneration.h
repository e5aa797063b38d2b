#pragma once
// Normals for a mesh whose file has none. The file says nothing of which edges are hard, so the
// angle between faces decides: faces that meet at more than the crease angle keep their own normals
// along the edge, smoother ones share one. A box gets flat faces, a cylinder a smooth side and flat
// caps, a sphere one normal per point.
//
// Main thread, with the rest of the import: the mesh is changed through the FBX SDK's calls.
#include <fbxsdk.h>

// Faces meeting at more than this many degrees keep their own normals along their edge.
constexpr double kCreaseAngleDegrees = 60.0;

// Fills the mesh's first normal element (made when missing) by polygon vertex through an index: each
// corner's normal is the sum of the normals of the faces around its control point that lie within
// `creaseDegrees` of the corner's own face, each weighed by its angle at the point, made unit length.
// Polygons counter-clockwise seen from a side get normals on that side.
void GenerateCreasedNormals(fbxsdk::FbxMesh& mesh, double creaseDegrees = kCreaseAngleDegrees);
