#pragma once
// The program's models, made to fit the demo scene's fixed transforms (engine frame, centimetres):
//
//   CabinWall          a wall slab, used scaled by 5 for the four walls and the two roof slabs
//   CabinRoofTopFace   a gable: the wall's slab cut to the roof's pitch, closing the triangle under the roof
//   Plane              the floor, scaled by 10000 across
//   TriangleCollider   the gables' collision prism, offset 9 units down by the scene
//   UVSphere           the ball, radius 1
//   Cylinder           the hole mask and hole collider, radius 1 about z
//
// Every model's local +z is the side facing into the cabin.

#include "fbxio/FbxSceneWriter.h"

#include <string>

// Writes every model into `folder` (Assets/Models); false when a file cannot be written.
bool WriteCabinModels(const std::string& folder);
