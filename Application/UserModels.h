#pragma once
// Models the user brings into the scene (Tarnwick --model FILE [--at X,Z] [--size N]): each stands on
// the floor, every mesh drawn with the default material and its diffuse texture, lit and shadowed by
// the sun, and each mesh a static triangle-mesh collider on the cabin's layer with a mask group of its
// own, so a thrown ball holes it as it holes the cabin.
//
// Main thread, with the GL context current, after InitializeFbx; while the scene is built, before the
// physics scene exists and before any Start.

#include "Application/CommandLine.h"
#include "Assets/Model.h"

#include <span>
#include <string>
#include <variant>
#include <vector>

// What a model covers of the floor, in world units.
struct Footprint {
    float minX = 0.0f;
    float maxX = 0.0f;
    float minZ = 0.0f;
    float maxZ = 0.0f;

    bool Overlaps(const Footprint& other) const;
};

// How a model stands: its vertices (in its file's units, centimetres) are scaled by `scale` about the
// origin and moved by `offset`, both the same for every mesh of the file.
struct ModelPlacement {
    float scale = 1.0f;
    Float3 offset;
    Footprint footprint;
    // The model's box where it stands.
    BoundingBox bounds;
};

// Where the model whose vertices span `box` stands: at the size asked for (its largest side that
// long) or its own, its lowest point on the floor's top, the middle of its footprint at the place
// asked for or, by default, in a row beside the cabin along +x, clear of the cabin and of every
// footprint in `taken`. Or why it cannot stand anywhere: a box that is empty, not finite or a single
// point, or a model that does not fit on the floor at its place.
std::variant<ModelPlacement, std::string> PlaceModel(
    const BoundingBox& box, const ModelRequest& request, std::span<const Footprint> taken);

// Imports each requested file and puts its meshes into the scene where PlaceModel says. A file that
// cannot be used is said once on standard error, named as the user wrote it, and left out; the others
// are placed all the same. When any is placed, the scene's light is aimed at the cabin and the models
// together, so that all of them cast shadows. Returns where the models placed stand, in order.
std::vector<ModelPlacement> BringModels(std::span<const ModelRequest> requests);

// The program's whole scene: the demo scene, then the user's models. The program and its tests build
// the scene through this.
void BuildSceneWithModels(std::span<const ModelRequest> requests);
