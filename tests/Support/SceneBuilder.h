#pragma once
// Small scenes for rendering tests, built in code: models wound the way the renderer expects
// (clockwise as seen from outside, since the main pass culls front faces), objects with
// renderers, a light. Everything built here is released when the builder goes away.

#include "Assets/Model.h"
#include "Graphics/Material.h"
#include "Graphics/MeshRenderer.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <memory>
#include <string>
#include <vector>

// A flat square of side 2 centred on the origin in the x-z plane, seen from +y.
Model* MakeFloorModel();

// A cube of side 2 centred on the origin, seen from outside.
Model* MakeBoxModel();

// A square of side 2 centred on the origin in the x-y plane, seen from -z.
Model* MakeWallModel();

class SceneBuilder {
public:
    ~SceneBuilder();

    // A game object with a transform and a MeshRenderer of `model` drawn with a copy of `material`,
    // started (its empty texture slots filled) but not registered.
    MeshRenderer* AddRenderer(
        const std::string& name, Model* model, const Material& material, Float3 position, Float3 scale = { 1, 1, 1 });

    GameObject* AddObject(const std::string& name);

private:
    std::vector<std::unique_ptr<GameObject>> objects;
    std::vector<std::unique_ptr<Model>> models;
};
