// Runs bytes through everything the model import does with a file: parse, build the scene,
// convert units, triangulate, make normals, UVs and tangents, convert axes, evaluate every transform and
// read every layer element. Shared by the hostile-input tests and the fuzzer.
#pragma once

#include "Source/FbxSceneBuilder.h"

namespace fbxtest {

struct ExerciseResult {
    bool read = false;
    std::string error;
    long polygons = 0;
};

inline ExerciseResult Exercise(FbxManager* manager, const std::uint8_t* data, std::size_t size)
{
    ExerciseResult result;
    FbxScene* scene = FbxScene::Create(manager, "The Scene");
    result.read = fbxsdk::internal::ImportFromMemory(data, size, *scene, result.error);
    if (result.read) {
        FbxSystemUnit::ConversionOptions options = { false, true, true, true, true, true };
        if (scene->GetGlobalSettings().GetSystemUnit() != FbxSystemUnit::cm)
            FbxSystemUnit::cm.ConvertScene(scene, options);
        FbxGeometryConverter converter(manager);
        converter.Triangulate(scene, true, true);
        for (int g = 0; g < scene->GetGeometryCount(); ++g) {
            FbxMesh* mesh = scene->GetMesh(g);
            if (mesh->GetElementNormalCount() == 0)
                mesh->GenerateNormals(false, true, false);
            if (mesh->GetUVLayerCount() == 0)
                mesh->InitTextureUV(1, FbxLayerElement::eTextureDiffuse);
            mesh->GenerateTangentsData(0, true, false);
            for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
                for (int c = 0; c < mesh->GetPolygonSize(p); ++c) {
                    int cp = mesh->GetPolygonVertex(p, c);
                    FbxVector4 point = mesh->GetControlPointAt(cp);
                    int uv = mesh->GetTextureUVIndex(p, c);
                    for (int s = 0; s < mesh->GetElementUVCount(); ++s)
                        point[3] += mesh->GetElementUV(s)->GetDirectArray().GetAt(uv)[0];
                    if (auto* n = mesh->GetElementNormal(0))
                        point[3] += n->GetDirectArray().GetAt(n->GetIndexArray().GetAt(cp))[0];
                    (void)point;
                }
                if (auto* m = mesh->GetElementMaterial(0))
                    (void)m->GetIndexArray().GetAt(p);
            }
            result.polygons += mesh->GetPolygonCount();
        }
        FbxAxisSystem(FbxAxisSystem::eDirectX).DeepConvertScene(scene);
        for (int n = 0; n < scene->GetNodeCount(); ++n)
            scene->GetNode(n)->EvaluateGlobalTransform();
    }
    scene->Destroy(false);
    return result;
}

} // namespace fbxtest
