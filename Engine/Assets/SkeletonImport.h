#pragma once
// The skeleton of an FBX file (bones from skeleton nodes, sockets and event markers from suffixed null
// nodes), the bone offset matrices from the meshes' skin clusters, and up to four bone influences
// per vertex.

#include "Assets/ImportedModel.h"
#include "Assets/MeshPlacement.h"

#include <fbxsdk.h>

#include <string>
#include <unordered_map>
#include <vector>

struct Influence {
    std::int32_t boneIndex = 0;
    float weight = 0.0f;
};

// Control point index -> every influence a skin cluster gave it.
using InfluenceTable = std::unordered_multimap<std::int32_t, Influence>;

// At most this many influences per vertex.
constexpr int kMaxInfluences = 4;
// How deep the node tree is walked: deeper nodes are ignored rather than overflowing the stack.
constexpr int kMaxNodeDepth = 512;

// Walks the node tree depth first from `node`: skeleton nodes become bones (children of the
// enclosing bone), null nodes named "*_evt"/"*_event" event markers and "*_skt"/"*_socket" sockets.
// Counts DuplicateBoneName for a short name already taken. Returns whether any bone exists.
bool BuildSkeleton(fbxsdk::FbxNode* node, ImportResult& result, Skeleton& skeleton, std::vector<EventMarker>& events,
    std::vector<Socket>& sockets, std::int32_t parent, int depth = 0);

// The skeleton's name: the first bone's name before its first ":", else the file name of `path`
// (after the last "/" or "\") without its last four characters.
std::string SkeletonName(const Skeleton& skeleton, const std::string& path);

// The part of a node name after its last ":".
std::string ShortName(const std::string& name);

// Reads the mesh node's skin clusters: writes the named bones' offset matrices and fills `influences`.
// An offset takes a vertex as the import places it into its bone's space at bind time: transposed
// inverse(link) x transform x geometric, times the inverse of `placement` where the mesh is moved into
// the scene, so a placed vertex lands where the mesh's own one did.
void ProcessSkins(
    fbxsdk::FbxNode* node, const MeshPlacement& placement, Skeleton& skeleton, InfluenceTable& influences);

// The influences of control point `controlPoint`, largest weight first, folded into the vertex's four
// slots. Returns true when weight beyond the fourth was folded in (s x 0.25 added to each of the four).
bool ApplyInfluences(const InfluenceTable& influences, std::int32_t controlPoint, Vertex& vertex);
