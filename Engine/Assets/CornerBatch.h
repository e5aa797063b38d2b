#pragma once
// The corners of a few triangles of one sub-mesh: what mesh extraction reads from the FBX SDK, and
// what the de-duplicator enters, in one go. A batch is filled and entered in place, never copied;
// one thread at a time owns it.
#include "Assets/Model.h"

// Meshes are triangulated before they are read: every polygon has three corners.
constexpr int kCornersPerTriangle = 3;

// Triangles are read and entered a batch at a time: the vertices that must be hashed are hashed
// side by side, which is faster, and the map slots of the whole batch are fetched from memory before
// the first is needed. 32 triangles are 96 vertices, 17 KB: the batch stays in the first-level cache.
constexpr int kBatchTriangles = 32;
constexpr int kBatchCorners = kBatchTriangles * kCornersPerTriangle;

struct CornerBatch {
    Vertex vertices[kBatchCorners];
    bool folded[kBatchCorners]; // the corner's influences beyond the fourth were folded in
    int controlPoints[kBatchCorners]; // the control point each corner was read from
    // The corner's vertex is byte for byte that of the previous corner of its control point in the
    // same sub-mesh, so it was not read: its entries in vertices and folded are left as they were.
    // Only set for a de-duplicator that AcceptsRepeats().
    bool repeats[kBatchCorners] = {};
    int count = 0; // corners filled, from the front
};
