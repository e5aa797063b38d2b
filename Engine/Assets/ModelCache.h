#pragma once
// Models by asset path ("Assets/Models/CabinWall.fbx"), imported and uploaded the first time a path
// is asked for and kept for the rest of the program.
//
// Main thread only, with the GL context current, after InitializeFbx and the GL loader. The registry
// owns the models; callers keep plain pointers.

#include "Assets/ImportedModel.h"
#include "Assets/Model.h"

#include <filesystem>
#include <memory>
#include <string>

// The model for `path` (compared byte for byte), or null when the path's extension is not exactly
// ".fbx" or the file yields no mesh to draw. Why a path gave no model is said once on the console.
// A failure is remembered with the file's size and modification time: asking again for an unchanged
// file costs nothing, and a file that changed (or appeared) is imported again.
Model* GetModel(const std::string& path);

// The path GetModel gave `model` for, to name its file in messages; empty for a model that did not
// come from the cache.
std::string ModelPath(const Model* model);

// Imports and uploads a new model that the caller owns, or returns null as GetModel does, with the
// reason in `problem` when it is given ("not found", "cannot be read: ..."). Its GL objects are not
// freed with it: they last as long as the context. An exception from the import (memory exhausted)
// is a failure like any other.
std::unique_ptr<Model> LoadModel(const std::string& path, std::string* problem = nullptr);

// Imports `path` as LoadModel does, without the upload: true with at least one mesh in `model`, or
// false with the reason in `problem`, worded as LoadModel words it. Main thread, after InitializeFbx;
// needs no GL context.
bool ImportModel(const std::string& path, ImportedModel& model, std::string& problem);

// The import every model of the program goes through: ImportFbx with the cache's settings (tangents
// kept where the file has them, equal vertices merged). Tools that must show what the program would
// draw import with this too. Main thread, after InitializeFbx; needs no GL context.
ImportResult ImportModelFile(const std::filesystem::path& path, ImportedModel& model);
