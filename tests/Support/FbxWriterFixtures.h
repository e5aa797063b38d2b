// Small files made by our writer that between them use every feature the reader knows:
// the fuzzer's seeds and the hostile-input tests' starting points.
#pragma once

#include "fbxio/FbxSceneWriter.h"

#include <string>
#include <vector>

namespace fbxtest {

inline fbxio::MeshData QuadForFixtures()
{
    fbxio::MeshData m;
    m.points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0 };
    m.polygons = { { 0, 1, 2, 3 } };
    return m;
}

inline std::vector<std::vector<std::uint8_t>> WriterFixtures()
{
    fbxio::SceneWriter writer;
    fbxio::MeshData mesh = QuadForFixtures();
    mesh.polygons = { { 0, 1, 2, 3 }, { 0, 2, 3 } };
    mesh.materialIndices = { 0, 1 };
    fbxio::LayerElement uv;
    uv.kind = fbxio::LayerKind::UV;
    uv.reference = fbxio::Reference::IndexToDirect;
    uv.values = { 0, 0, 1, 0, 1, 1, 0, 1 };
    uv.indices = { 0, 1, 2, 3, 0, 2, 3 };
    mesh.layers.push_back(uv);
    fbxio::LayerElement normals;
    normals.mapping = fbxio::Mapping::ByControlPoint;
    normals.values = { 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1 };
    mesh.layers.push_back(normals);
    auto bone = writer.AddBone("Rig:Root");
    auto node = writer.AddMesh("Quad", mesh, writer.AddLodGroup("Lod", { 100 }));
    writer.AddNull("Hand_socket", bone);
    auto material = writer.AddMaterial("M");
    writer.AssignMaterial(node, material);
    writer.AssignMaterial(node, writer.AddMaterial("N"));
    writer.ConnectTexture(writer.AddFileTexture("T", "t.png", "tex\\t.png"), material, "DiffuseColor");
    writer.AddCluster(writer.AddSkin(node), bone, { 0, 1 }, { 0.5, 0.5 });
    writer.settings.upAxis = 2;
    writer.settings.frontAxis = 1;
    writer.settings.frontAxisSign = -1;
    writer.settings.unitScale = 2.54;
    std::string ascii = writer.ToAscii();
    return { writer.ToBinary(7400), writer.ToBinary(7500), writer.ToBinary(7400, false),
        { ascii.begin(), ascii.end() } };
}

} // namespace fbxtest
