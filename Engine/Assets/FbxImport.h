#pragma once
// The import of one FBX file into an ImportedModel: open it, convert it to the engine's axes (y up,
// left-handed) and unit (centimetres), triangulate it, and read its materials, skeleton, LOD groups
// and meshes. All FBX work goes through the FBX SDK's calls.
//
// Main thread only; the context has no lock. A large mesh's vertices are entered into its
// de-duplication map by a short-lived helper thread while this thread reads the next corners from
// the SDK; the helper never calls the SDK and has ended when ImportFbx returns or throws.

#include "Assets/ImportedModel.h"

#include <fbxsdk.h>

#include <filesystem>
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
// and the SDK's error text in the context's lastError; nothing half-built is kept.
ImportResult ImportFbx(const std::filesystem::path& path, ImportedModel& model, bool forceTangents, bool deduplicate);

// Every node below `node` whose attribute is a mesh, depth first, parents before children.
void CollectMeshNodes(fbxsdk::FbxNode* node, std::vector<fbxsdk::FbxNode*>& out, int depth = 0);

// Every LOD-group node below `node`, not descending into LOD groups.
void CollectLodGroupNodes(fbxsdk::FbxNode* node, std::vector<fbxsdk::FbxNode*>& out, int depth = 0);
