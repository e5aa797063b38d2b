#pragma once
// The fixed content Application::Run builds before the first frame: a floor, a cabin and the light.

#include "Math/Vector.h"

#include <cstdint>

// The cabin's surfaces are on this collision layer: the only one a ball can hole.
constexpr std::int32_t kCabinLayer = 16;
// The top face of the floor, where everything on it stands (its box is 5 units thick below), and how
// far the floor reaches from the middle along x and along z.
constexpr float kFloorTop = -2.5f;
constexpr float kFloorReach = 10000.0f;
// What the cabin covers of the floor, x from -54 to 54 (the roof slabs' eaves) and z from -38 to 38
// (the walls' outer faces), with a little to spare.
constexpr float kCabinReachX = 54.0f;
constexpr float kCabinReachZ = 38.0f;
// The cabin's ridge, 71.6 units above the middle of the floor.
constexpr float kCabinTop = 72.0f;

// Creates every game object with its components; none has had Start yet. Main thread, once.
void BuildDemoScene();

// Where a wall's or roof slab's box collider goes: as large as the wall mesh (of size `meshSize` in
// model units) scaled by `scale`, centred half the unscaled mesh height above the object's origin.
// The wall model is made to be exactly this box, so a roof slab's box lies where the slab is drawn
// too: no further up the slope or further in than a wall's.
struct CabinBox {
    Float3 halfExtents;
    Float3 centre;
};
CabinBox CabinBoxCollider(Float3 meshSize, Float4 scale);
