#pragma once
// Models by asset path ("Assets/Models/CabinWall.fbx"), imported and uploaded the first time a path
// is asked for and kept for the rest of the program.
//
// Main thread, with the GL context current, after InitializeFbx and the GL loader. The registry
// owns the models; callers keep plain pointers.

#include "Assets/Model.h"

#include <memory>
#include <string>

// The model for `path` (compared byte for byte), or null when the path's extension is not exactly
// ".fbx" or the file yields no mesh to draw. A null result is not kept, so a later call tries again.
Model* GetModel(const std::string& path);

// Imports and uploads a new model that the caller owns, or returns null as GetModel does. Its GL
// objects are not freed with it: they last as long as the context.
std::unique_ptr<Model> LoadModel(const std::string& path);
