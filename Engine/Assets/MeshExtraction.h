#pragma once
// Turns one mesh node of a converted, triangulated FBX scene into engine meshes: one per material slot
// of the node, each with its own de-duplicated vertices, 32-bit indices and bounds.

#include "Assets/ImportedModel.h"

#include <fbxsdk.h>

#include <stdexcept>
#include <vector>

// A layer element whose reference mode cannot be read (neither direct nor index-to-direct). It ends
// the import of the file.
class InvalidReferenceMode : public std::runtime_error {
public:
    InvalidReferenceMode()
        : std::runtime_error("Invalid Reference Mode!")
    {
    }
};

// Appends the node's meshes to `meshes`, one per material slot, each placed in the scene by the
// node's transform (MeshPlacement) and bounded by the box of its own vertices. With the skeleton's
// bones, the node's skins give each vertex its bone influences. Throws InvalidReferenceMode; returns
// true otherwise.
//
// On the thread that owns the FBX SDK, and on it alone: it reads the corners and enters them itself.
bool ExtractMeshes(fbxsdk::FbxScene* scene, fbxsdk::FbxNode* node, Skeleton& skeleton, ImportResult& result,
    std::vector<Mesh>& meshes, bool deduplicate);

// The memory ExtractMeshes reserves for the node's meshes (each material slot's vertices, indices and
// de-duplication map), from the counts of its triangulated mesh: an import can refuse a file
// before extracting anything from it.
std::size_t ExtractionBytes(fbxsdk::FbxScene* scene, fbxsdk::FbxNode* node, bool deduplicate);

// x, y and z of the element's value for control point `controlPoint` or polygon vertex
// `polygonVertex`, by the element's mapping mode; `out` is left as it was for any other mapping.
// Throws InvalidReferenceMode for a reference mode other than direct or index-to-direct.
void ReadLayerElement(const fbxsdk::FbxLayerElementTemplate<fbxsdk::FbxVector4>* element, int controlPoint,
    int polygonVertex, Float3& out);
