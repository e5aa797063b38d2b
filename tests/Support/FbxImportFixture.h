#pragma once
// A test fixture for imports: each file is written by our FBX writer into a scratch folder of the
// test's own, imported through ImportFbx, and the folder is removed afterwards.

#include "Assets/FbxImport.h"
#include "fbxio/FbxSceneWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

class FbxImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitializeFbx();
        std::random_device random;
        folder = std::filesystem::temp_directory_path() / ("tarnwick-import-" + std::to_string(random()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path Save(const fbxio::SceneWriter& scene, const std::string& name)
    {
        std::filesystem::path path = folder / name;
        EXPECT_TRUE(scene.Save(path.string()));
        return path;
    }

    ImportResult Import(const fbxio::SceneWriter& scene, ImportedModel& model, bool deduplicate = true,
        const std::string& name = "fixture.fbx")
    {
        return ImportFbx(Save(scene, name), model, false, deduplicate);
    }

    std::filesystem::path folder;
};
