// Files made to exhaust the reader rather than to describe a scene: each is refused with a message,
// quickly, and before the memory it declares is taken.
#include "FbxTestSupport.h"
#include "HostileFbxFiles.h"
#include "InstrumentedBuild.h"
#include "Source/FbxSceneBuilder.h"
#include "fbxio/FbxReader.h"

#include <chrono>
#include <filesystem>
#include <utility>

using fbxtest::Loaded;
using hostilefbx::IndexBomb;
using hostilefbx::NodeChain;
using hostilefbx::Packing;
using hostilefbx::Shape;

namespace {

using Clock = std::chrono::steady_clock;

// Far more than any of these files takes once refused early (milliseconds), far less than the
// minutes they took before; in the sanitizer build, that build's own slowness on top.
constexpr auto kTimeLimit = std::chrono::seconds(10) * instrumented::kTimeFactor;

// 160,000,002 corners over three control points, in a 6.5 MB file.
constexpr std::uint32_t kLargeBombTriples = 53'333'334;
// 15.9 million corners, packed tightly into about 125 KB.
constexpr std::uint32_t kSmallBombTriples = 5'300'000;

// Long enough that walking every node's ancestors for each link (the old way, quadratic) takes
// tens of seconds; short enough to build in a few seconds under the sanitizers.
constexpr int kLongChain = 50'000;

// A chain this long stays within the hierarchy's depth limit: with the scene's root it is 512
// levels deep.
constexpr int kDeepestChain = fbxio::kMaxNodeHierarchyDepth - 1;

std::pair<bool, std::string> ReadDocument(const std::vector<std::uint8_t>& bytes)
{
    fbxio::Document document;
    std::string error;
    const bool read = fbxio::ReadBinary(bytes.data(), bytes.size(), document, error);
    return { read, error };
}

fbxio::Value Id(std::int64_t id)
{
    return fbxio::Value::Int(id, 'L');
}

// Nulls named prefix0, prefix1, ..., each the child of the one before; prefix0 gets no parent.
void AddChain(fbxio::Element& document, const std::string& prefix, std::int64_t firstId, int length)
{
    fbxio::Element& objects = document.children[0];
    fbxio::Element& connections = document.children[1];
    for (int k = 0; k < length; ++k) {
        objects.Add("Model",
            { Id(firstId + k), fbxio::Value::String("Model::" + prefix + std::to_string(k)),
                fbxio::Value::String("Null") });
        if (k > 0)
            connections.Add("C", { fbxio::Value::String("OO"), Id(firstId + k), Id(firstId + k - 1) });
    }
}

void Link(fbxio::Element& document, std::int64_t child, std::int64_t parent)
{
    document.children[1].Add("C", { fbxio::Value::String("OO"), Id(child), Id(parent) });
}

} // namespace

TEST(FbxHostileFile, AMeshDeclaringMoreCornersThanItsFileAffordsIsRefusedBeforeTheyAreInflated)
{
    // The same construction, small: a valid file whose every corner arrives.
    {
        Loaded small(IndexBomb(1005, Packing::Loose, Shape::Triangles, 100));
        ASSERT_TRUE(small.ok) << small.error;
        FbxMesh* mesh = small.Mesh("Bomb");
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetControlPointsCount(), 3);
        EXPECT_EQ(mesh->GetPolygonCount(), 1005);
        EXPECT_EQ(mesh->GetPolygonVertex(1004, 2), 2);
    }
    for (auto [triples, packing] :
        { std::pair { kLargeBombTriples, Packing::Loose }, std::pair { kSmallBombTriples, Packing::Tight } }) {
        const std::vector<std::uint8_t> bytes = IndexBomb(triples, packing);
        // The document's own budget lets the array through: it is the scene that cannot afford it.
        auto [read, readError] = ReadDocument(bytes);
        EXPECT_TRUE(read) << readError;
        const auto start = Clock::now();
        Loaded file(bytes);
        EXPECT_LT(Clock::now() - start, kTimeLimit);
        EXPECT_FALSE(file.ok);
        EXPECT_NE(
            file.error.find(std::to_string(std::size_t(triples) * 3) + " polygon vertices need"), std::string::npos)
            << file.error;
        EXPECT_NE(file.error.find("more than the file's size allows (element 'PolygonVertexIndex'"), std::string::npos)
            << file.error;
        EXPECT_EQ(file.importer->GetStatus().GetCode(), FbxStatus::eInvalidFile);
    }

    // One polygon of six million corners is little enough to inflate, but fanned into triangles it
    // would need gigabytes; that is found as soon as its polygons are known.
    Loaded fan(IndexBomb(2'000'000, Packing::Loose, Shape::OnePolygon));
    EXPECT_FALSE(fan.ok);
    EXPECT_NE(fan.error.find("17999994 triangulated corners need"), std::string::npos) << fan.error;
}

TEST(FbxHostileFile, NodeChainsAreMeasuredInTimeLinearInTheirLength)
{
    Loaded deepest(NodeChain(kDeepestChain));
    ASSERT_TRUE(deepest.ok) << deepest.error;
    EXPECT_EQ(deepest.Node(("N" + std::to_string(kDeepestChain - 1)).c_str())->GetParent(),
        deepest.Node(("N" + std::to_string(kDeepestChain - 2)).c_str()));

    for (int length : { kDeepestChain + 1, kLongChain }) {
        const auto start = Clock::now();
        Loaded chain(NodeChain(length));
        EXPECT_LT(Clock::now() - start, kTimeLimit) << length;
        EXPECT_FALSE(chain.ok) << length;
        // The first node past the limit, in file order, is the one named.
        EXPECT_NE(chain.error.find("node 'N511' lies deeper than 512 levels"), std::string::npos) << chain.error;
        EXPECT_EQ(chain.importer->GetStatus().GetCode(), FbxStatus::eInvalidFile);
    }
}

TEST(FbxHostileFile, ParentLinksThatWouldCloseALoopAreIgnoredHoweverLongTheLoop)
{
    // Two chains of 200: B hangs below the end of A, which makes one tree of them; then A's top is
    // linked below B's end, which would close a loop 400 nodes long, and finally below the root.
    constexpr std::int64_t kFirstA = 1000, kFirstB = 5000;
    constexpr int kLength = 200;
    fbxio::Element document;
    document.Add("Objects");
    document.Add("Connections");
    AddChain(document, "A", kFirstA, kLength);
    AddChain(document, "B", kFirstB, kLength);
    Link(document, kFirstB, kFirstA + kLength - 1);
    Link(document, kFirstA, kFirstB + kLength - 1);
    Link(document, kFirstA, fbxio::kSceneRoot);
    Loaded file(fbxio::WriteBinary(document));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.Node("A0")->GetParent(), file.scene->GetRootNode());
    EXPECT_EQ(file.Node("B0")->GetParent(), file.Node("A199"));
    EXPECT_EQ(file.Node("B199")->GetChildCount(), 0);
    EXPECT_EQ(file.scene->GetRootNode()->GetChildCount(), 1);
}

TEST(FbxHostileFile, APathThatIsNotARegularFileOrIsOver2GiBFailsInitializeWithAMessage)
{
    FbxManager* manager = FbxManager::Create();
    FbxImporter* importer = FbxImporter::Create(manager, "");
    FbxScene* scene = FbxScene::Create(manager, "The Scene");
    // A directory, and a device: seeking to their ends reports sizes that mean nothing.
    for (const std::string& path : { testing::TempDir(), std::string("/dev/zero") }) {
        EXPECT_FALSE(importer->Initialize(path.c_str(), -1, nullptr)) << path;
        EXPECT_FALSE(importer->IsFBX());
        EXPECT_EQ(importer->GetStatus().GetErrorString(), "cannot read '" + path + "': not a regular file");
        EXPECT_FALSE(importer->Import(scene, false));
    }
    // A file of 3 GiB, sparse on disk: refused by its size, before a byte of it is read.
    const std::string huge = fbxtest::WriteTempFile({});
    std::filesystem::resize_file(huge, std::uintmax_t(3) << 30);
    const auto start = Clock::now();
    EXPECT_FALSE(importer->Initialize(huge.c_str(), -1, nullptr));
    EXPECT_LT(Clock::now() - start, kTimeLimit);
    std::remove(huge.c_str());
    EXPECT_EQ(importer->GetStatus().GetErrorString(),
        "cannot read '" + huge + "': its 3221225472 bytes are more than the 2147483648 a file may have");
    manager->Destroy();
}

TEST(FbxHostileFile, ObjectsPropertiesAndConnectionsArePaidForFromTheFilesBudget)
{
    // 100,000 nulls cost the scene about 100 MB: well within what their file of 3 MB may claim, more
    // than the fixed allowance a file of no size would have.
    constexpr int kObjects = 100'000;
    const fbxio::Element root = hostilefbx::ManyModels(kObjects);
    fbxio::Document document;
    document.root = root;
    document.version = 7400;
    const std::size_t fileSize = fbxio::WriteBinary(root).size();

    FbxManager* manager = FbxManager::Create();
    FbxScene* scene = FbxScene::Create(manager, "The Scene");
    std::string error;
    EXPECT_TRUE(fbxsdk::internal::SceneBuilder::Build(document, fileSize, *scene, error)) << error;
    EXPECT_EQ(scene->GetNodeCount(), kObjects + 2); // with the root and the quad's node

    FbxScene* refused = FbxScene::Create(manager, "Refused");
    EXPECT_FALSE(fbxsdk::internal::SceneBuilder::Build(document, 0, *refused, error));
    EXPECT_NE(error.find("connections read so far need more memory than the file's size allows (element 'Model'"),
        std::string::npos)
        << error;
    manager->Destroy();
}
