#pragma once
// The fixed content Application::Run builds before the first frame: a floor, a cabin and the light.

// Creates every game object with its components; none has had Start yet. Main thread, once.
void BuildDemoScene();

#include "Math/Vector.h"

// Where a wall's or roof slab's box collider goes: as large as the wall mesh (of size `meshSize` in
// model units) scaled by `scale`, centred half the unscaled mesh height above the object's origin,
// and for a roof slab 7 further up its slope and 4 further in.
struct CabinBox {
    Float3 halfExtents;
    Float3 centre;
};
CabinBox CabinBoxCollider(Float3 meshSize, Float4 scale, bool roof);
