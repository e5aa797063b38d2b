#pragma once
// The import of one FBX file into an ImportedModel: open it, convert it to the engine's axes (y up,
// left-handed) and unit (centimetres), triangulate it, and read its materials, skeleton, LOD groups
// and meshes. All FBX work goes through the FBX SDK's calls.
//
// Main thread only; the context has no lock.

#include "Assets/ImportedModel.h"

#include <fbxsdk.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The process-wide FBX SDK objects: created by InitializeFbx, never destroyed.
struct FbxContext {
    fbxsdk::FbxManager* manager = nullptr;
    fbxsdk::FbxIOSettings* ioSettings = nullptr;
    fbxsdk::FbxGeometryConverter* converter = nullptr;
    fbxsdk::FbxAxisSystem axisSystem;
    // The text of the most recent SDK error an import saw.
    std::string lastError;
};

FbxContext& GetFbxContext();

// Creates the SDK manager and the import settings (textures neither imported nor extracted: the
// engine loads its own). Once at start-up, before the window; a second call does nothing.
void InitializeFbx();

// Imports `path` into `model`, which must be empty. forceTangents regenerates tangents even where the
// file has them; deduplicate merges equal vertices. A file that cannot be read ends with ReadFailed
// and the reason in the context's lastError (the SDK's error text, or that its meshes would need more
// memory than a file of its size may claim); nothing half-built is kept. A path that does not exist
// ends with FileNotFound.
ImportResult ImportFbx(const std::filesystem::path& path, ImportedModel& model, bool forceTangents, bool deduplicate);

// Whether the walk of CollectNodes goes on below the nodes it collects.
enum class BelowCollected { Descend, Stop };

// Appends every node below `node` that `wanted` accepts, depth first, parents before children. A node
// that is not collected is always descended into. `depth` is how far below the walk's start `node`
// lies: the children of nodes deeper than kMaxNodeDepth are not looked at.
void CollectNodes(fbxsdk::FbxNode* node, const std::function<bool(fbxsdk::FbxNode*)>& wanted, BelowCollected below,
    std::vector<fbxsdk::FbxNode*>& out, int depth = 0);
