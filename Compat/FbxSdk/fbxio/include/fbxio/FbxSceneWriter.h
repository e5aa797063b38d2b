// Writes FBX scenes: nodes with their transforms, meshes with layer elements of any mapping
// and reference mode, materials and textures, skins, LOD groups and the global settings.
// Tests build their fixtures with it; the demo scene's models are made with it too.
//
//   fbxio::SceneWriter scene;
//   scene.settings.unitScale = 100.0;                        // metres
//   fbxio::MeshData quad;
//   quad.points = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
//   quad.polygons = {{0, 1, 2, 3}};
//   auto node = scene.AddMesh("Quad", quad);
//   scene.AssignMaterial(node, scene.AddMaterial("Wood"));
//   scene.Save("quad.fbx");
#pragma once

#include "fbxio/FbxDocument.h"

#include <array>
#include <deque>

namespace fbxio {

using ObjectId = std::int64_t;
inline constexpr ObjectId kSceneRoot = 0;

enum class Mapping { ByControlPoint, ByPolygonVertex, ByPolygon, AllSame, ByEdge, None };
enum class Reference { Direct, Index, IndexToDirect };
enum class LayerKind { Normal, Tangent, Binormal, UV, Color };

struct LayerElement {
    LayerKind kind = LayerKind::Normal;
    Mapping mapping = Mapping::ByPolygonVertex;
    Reference reference = Reference::Direct;
    std::string name;
    std::vector<double> values; // 3 per normal, tangent or binormal, 2 per UV, 4 per colour
    std::vector<int> indices; // written when not empty, whatever the reference mode says
};

struct MeshData {
    std::vector<double> points; // x, y, z per control point
    std::vector<std::vector<int>> polygons; // control point indices, any size
    std::vector<LayerElement> layers;
    // Material slots of the polygons; no element is written when materialIndices is empty.
    Mapping materialMapping = Mapping::ByPolygon;
    Reference materialReference = Reference::IndexToDirect;
    std::vector<int> materialIndices;
};

using Vector3 = std::array<double, 3>;
using Matrix = std::array<double, 16>; // SDK storage order: translation at 12, 13, 14
inline constexpr Matrix kIdentity = { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1 };

struct Transform {
    Vector3 translation { 0, 0, 0 }, rotation { 0, 0, 0 }, scaling { 1, 1, 1 };
    Vector3 rotationOffset { 0, 0, 0 }, rotationPivot { 0, 0, 0 }, scalingOffset { 0, 0, 0 }, scalingPivot { 0, 0, 0 };
    Vector3 preRotation { 0, 0, 0 }, postRotation { 0, 0, 0 };
    Vector3 geometricTranslation { 0, 0, 0 }, geometricRotation { 0, 0, 0 }, geometricScaling { 1, 1, 1 };
    int rotationOrder = 0; // EFbxRotationOrder
    int inheritType = 0; // EFbxInheritType
};

struct SceneSettings {
    // Axis indices 0-2 with signs, as GlobalSettings stores them. Default: Y up, right-handed.
    int upAxis = 1, upAxisSign = 1, frontAxis = 2, frontAxisSign = 1, coordAxis = 0, coordAxisSign = 1;
    int originalUpAxis = 1;
    double unitScale = 1.0; // centimetres per unit
    double originalUnitScale = 1.0;
    std::string title, author, application = "Tarnwick";
};

class SceneWriter {
public:
    SceneSettings settings;

    // Nodes; `parent` is another node or kSceneRoot. Children keep the order they are added.
    ObjectId AddNull(const std::string& name, ObjectId parent = kSceneRoot);
    ObjectId AddBone(const std::string& name, ObjectId parent = kSceneRoot);
    ObjectId AddMesh(const std::string& name, MeshData mesh, ObjectId parent = kSceneRoot);
    ObjectId AddLodGroup(const std::string& name, std::vector<double> thresholds, ObjectId parent = kSceneRoot);
    Transform& TransformOf(ObjectId node);

    ObjectId AddMaterial(const std::string& name, const std::string& shadingModel = "Phong");
    void AssignMaterial(ObjectId node, ObjectId material); // the next material slot of the node
    ObjectId AddFileTexture(const std::string& name, const std::string& fileName, const std::string& relativeFileName);
    ObjectId AddProceduralTexture(const std::string& name);
    ObjectId AddLayeredTexture(const std::string& name, const std::vector<ObjectId>& layers);
    void ConnectTexture(ObjectId texture, ObjectId material, const std::string& property);

    ObjectId AddSkin(ObjectId meshNode);
    void AddCluster(ObjectId skin, ObjectId bone, std::vector<int> indices, std::vector<double> weights,
        const Matrix& transform = kIdentity, const Matrix& transformLink = kIdentity);

    Element BuildDocument(int version = 7400) const;
    std::vector<std::uint8_t> ToBinary(int version = 7400, bool compress = true) const;
    std::string ToAscii(int version = 7400) const;
    bool Save(const std::string& path, int version = 7400, bool compress = true) const;

private:
    struct Node {
        ObjectId id, attribute = 0, geometry = 0;
        std::string name, kind; // Model kind: Mesh, Null, LimbNode, LodGroup
        Transform transform;
        MeshData mesh;
        std::vector<double> thresholds;
    };
    struct Object {
        ObjectId id;
        std::string element, name, kind;
        std::string fileName, relativeFileName, shadingModel;
        std::vector<int> indices;
        std::vector<double> weights;
        Matrix transform = kIdentity, transformLink = kIdentity;
    };
    struct Link {
        ObjectId source, destination;
        std::string property;
    };

    ObjectId AddNode(const std::string& name, const std::string& kind, ObjectId parent);
    ObjectId NextId() { return ++mLastId; }

    ObjectId mLastId = 1000;
    std::deque<Node> mNodes;
    std::deque<Object> mObjects;
    std::vector<Link> mLinks;
};

} // namespace fbxio
