#pragma once
// Marks a game object as a mesh of a model the user brought into the scene. A ball holes such a
// surface along the normal where it met it, through the model's thickness there; a cabin slab it
// holes through the slab's own thickness, along the slab's z.
//
// Added while the scene is built; owned by the Scene like every component. Main thread only.

#include "Scene/Component.h"

class ModelSurface : public Component {};
