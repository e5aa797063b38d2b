// Loading writer-made FBX bytes through the SDK calls, as the model import does.
#pragma once

#include "fbxio/FbxSceneWriter.h"

#include <fbxsdk.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fbxtest {

inline std::string WriteTempFile(const std::vector<std::uint8_t>& bytes, const char* extension = ".fbx")
{
    static std::atomic<int> counter { 0 };
    std::string path = testing::TempDir() + "fbxsdk_" + std::to_string(getpid()) + "_" + std::to_string(counter++)
        + extension;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

inline std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return { text.begin(), text.end() };
}

// A manager, importer and scene for one file; everything is released with the object.
class Loaded {
    std::string temp; // a file this object wrote and removes

public:
    explicit Loaded(const std::string& path)
        : Loaded(path, false)
    {
    }
    explicit Loaded(const std::vector<std::uint8_t>& bytes)
        : Loaded(WriteTempFile(bytes), true)
    {
    }
    Loaded(const std::string& path, bool removeAfterwards)
        : temp(removeAfterwards ? path : std::string())
    {
        manager = FbxManager::Create();
        importer = FbxImporter::Create(manager, "");
        scene = FbxScene::Create(manager, "The Scene");
        ok = importer->Initialize(path.c_str(), -1, nullptr) && importer->IsFBX() && importer->Import(scene, false);
        error = importer->GetStatus().GetErrorString();
    }
    ~Loaded()
    {
        if (!temp.empty())
            std::remove(temp.c_str());
        manager->Destroy();
    }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;

    FbxNode* Node(const char* name) const
    {
        for (int k = 0; k < scene->GetNodeCount(); ++k)
            if (std::string(scene->GetNode(k)->GetName()) == name)
                return scene->GetNode(k);
        return nullptr;
    }
    FbxMesh* Mesh(const char* name) const
    {
        FbxNode* node = Node(name);
        return node ? node->GetMesh() : nullptr;
    }

    FbxManager* manager;
    FbxImporter* importer;
    FbxScene* scene;
    bool ok;
    std::string error;
};

// A unit quad in the XY plane facing +Z, with one normal per corner.
inline fbxio::MeshData Quad()
{
    fbxio::MeshData m;
    m.points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0 };
    m.polygons = { { 0, 1, 2, 3 } };
    return m;
}

inline void ExpectVector(const FbxVector4& v, double x, double y, double z, double tolerance = 1e-9)
{
    EXPECT_NEAR(v[0], x, tolerance);
    EXPECT_NEAR(v[1], y, tolerance);
    EXPECT_NEAR(v[2], z, tolerance);
}

} // namespace fbxtest
