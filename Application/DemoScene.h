#pragma once
// The fixed content Application::Run builds before the first frame: a floor, a cabin and the light.

// Creates every game object with its components; none has had Start yet. Main thread, once.
void BuildDemoScene();

#include "Math/Vector.h"

// Where a wall's or roof slab's box collider goes: as large as the wall mesh (of size `meshSize` in
// model units) scaled by `scale`, centred half the unscaled mesh height above the object's origin.
// The wall model is made to be exactly this box, so a roof slab's box lies where the slab is drawn
// too: no further up the slope or further in than a wall's.
struct CabinBox {
    Float3 halfExtents;
    Float3 centre;
};
CabinBox CabinBoxCollider(Float3 meshSize, Float4 scale);
