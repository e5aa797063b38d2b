#include "Assets/FbxImport.h"
#include "Assets/SkeletonImport.h"

#include "FbxTestSupport.h"
#include "MeshFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using fbxio::SceneWriter;
using meshfixtures::TwoTriangles;

bool IsType(FbxNode* node, FbxNodeAttribute::EType type)
{
    return node->GetNodeAttribute() != nullptr && node->GetNodeAttribute()->GetAttributeType() == type;
}

bool IsMesh(FbxNode* node)
{
    return IsType(node, FbxNodeAttribute::eMesh);
}

bool IsLodGroup(FbxNode* node)
{
    return IsType(node, FbxNodeAttribute::eLODGroup);
}

std::vector<std::string> Names(const std::vector<FbxNode*>& nodes)
{
    std::vector<std::string> names;
    for (FbxNode* node : nodes)
        names.push_back(node->GetName());
    return names;
}

} // namespace

TEST(CollectNodes, WalksDepthFirstParentsFirstAndStopsBelowCollectedNodesOnlyWhenAsked)
{
    SceneWriter writer;
    auto outer = writer.AddMesh("Outer", TwoTriangles());
    auto inner = writer.AddMesh("Inner", TwoTriangles(), outer);
    writer.AddMesh("Innermost", TwoTriangles(), inner);
    auto group = writer.AddNull("Group", outer);
    writer.AddMesh("InGroup", TwoTriangles(), group);
    auto lod = writer.AddLodGroup("Lod", { 100.0 });
    auto level = writer.AddNull("Level0", lod);
    writer.AddMesh("Fine", TwoTriangles(), level);
    writer.AddLodGroup("NestedLod", { 50.0 }, level);
    auto holder = writer.AddNull("Holder");
    writer.AddLodGroup("HeldLod", { 10.0 }, holder);
    writer.AddMesh("Last", TwoTriangles());
    fbxtest::Loaded loaded(writer.ToBinary());
    ASSERT_TRUE(loaded.ok) << loaded.error;
    FbxNode* root = loaded.scene->GetRootNode();

    std::vector<FbxNode*> meshes;
    CollectNodes(root, IsMesh, BelowCollected::Descend, meshes);
    EXPECT_EQ(Names(meshes), (std::vector<std::string> { "Outer", "Inner", "Innermost", "InGroup", "Fine", "Last" }));

    // The walk starts below the node it is given.
    std::vector<FbxNode*> belowOuter;
    CollectNodes(loaded.Node("Outer"), IsMesh, BelowCollected::Descend, belowOuter);
    EXPECT_EQ(Names(belowOuter), (std::vector<std::string> { "Inner", "Innermost", "InGroup" }));

    std::vector<FbxNode*> groups;
    CollectNodes(root, IsLodGroup, BelowCollected::Stop, groups);
    EXPECT_EQ(Names(groups), (std::vector<std::string> { "Lod", "HeldLod" }));

    std::vector<FbxNode*> topMeshes;
    CollectNodes(root, IsMesh, BelowCollected::Stop, topMeshes);
    EXPECT_EQ(Names(topMeshes), (std::vector<std::string> { "Outer", "Fine", "Last" }));

    std::vector<FbxNode*> none;
    CollectNodes(nullptr, IsMesh, BelowCollected::Descend, none);
    EXPECT_TRUE(none.empty());
}

TEST(CollectNodes, LooksNoDeeperThanTheNodeDepthLimit)
{
    // The SDK does not load a tree as deep as the limit, so the walk is started as if the chain's
    // root lay that deep already: it looks below nodes down to kMaxNodeDepth levels.
    SceneWriter writer;
    fbxio::ObjectId parent = fbxio::kSceneRoot;
    for (int level = 1; level <= 20; ++level)
        parent = writer.AddMesh("Level" + std::to_string(level), TwoTriangles(), parent);
    fbxtest::Loaded loaded(writer.ToBinary());
    ASSERT_TRUE(loaded.ok) << loaded.error;
    FbxNode* root = loaded.scene->GetRootNode();

    std::vector<FbxNode*> all;
    CollectNodes(root, IsMesh, BelowCollected::Descend, all);
    EXPECT_EQ(all.size(), 20u);

    std::vector<FbxNode*> cut;
    CollectNodes(root, IsMesh, BelowCollected::Descend, cut, kMaxNodeDepth - 5);
    EXPECT_EQ(Names(cut), (std::vector<std::string> { "Level1", "Level2", "Level3", "Level4", "Level5", "Level6" }));

    std::vector<FbxNode*> atTheLimit;
    CollectNodes(root, IsMesh, BelowCollected::Descend, atTheLimit, kMaxNodeDepth);
    EXPECT_EQ(Names(atTheLimit), (std::vector<std::string> { "Level1" }));

    std::vector<FbxNode*> past;
    CollectNodes(root, IsMesh, BelowCollected::Descend, past, kMaxNodeDepth + 1);
    EXPECT_TRUE(past.empty());
}
